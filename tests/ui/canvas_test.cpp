#include "canvas.h"

#include <QPaintEvent>
#include <QtTest>
#include <set>
#include <utility>

#include "ui_test_support.h"

using dla::Canvas;
using PixelSet = std::set<std::pair<int, int>>;

namespace {

// A canvas whose drawing area is 400 x 400 pixels (its border takes 2 pixels a side).
constexpr int kArea = 400;
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kGreen = qRgb(0, 128, 0);
constexpr QRgb kLightGreen = qRgb(0, 255, 0);

void prepare(Canvas& canvas, float extent) {
    canvas.resize(kArea + 4, kArea + 4);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    canvas.setScaleHeight(extent);
    canvas.setScaleWidth(extent);
    canvas.fillBox(0.0f, 0.0f, canvas.scaleWidth(), canvas.scaleHeight(), kBlack);
}

PixelSet pixelsNotOf(const QImage& image, QRgb background) {
    PixelSet found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) found.insert({x, y});
    return found;
}

PixelSet block(int x0, int x1, int y0, int y1) {
    PixelSet s;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) s.insert({x, y});
    return s;
}

}  // namespace

Q_DECLARE_METATYPE(PixelSet)

class CanvasTest : public QObject {
    Q_OBJECT

  private slots:
    void drawingAreaIsInsideTheBorder() {
        Canvas canvas;
        canvas.resize(402, 402);
        canvas.fillBox(0.0f, 0.0f, 1.0f, 1.0f, kBlack);  // drawing works before the first show
        QCOMPARE(canvas.contentsRect(), QRect(2, 2, 398, 398));
        QCOMPARE(canvas.image().size(), QSize(398, 398));
    }

    // Discs of radius 1 at the places that sites of the edge cases reach on a 2N x 2N extent.
    void discPixels_data() {
        QTest::addColumn<float>("extent");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<PixelSet>("expected");

        // N = 200, one unit a pixel: a disc is the 2 x 2 block around its centre.
        QTest::newRow("N=200 seed (199,199)")
            << 400.0f << 199.0f << 199.0f << block(198, 199, 198, 199);
        QTest::newRow("N=200 site (100,100) touches right and bottom")
            << 400.0f << 399.0f << 399.0f << block(398, 399, 398, 399);
        QTest::newRow("N=200 site (-99,0) touches left")
            << 400.0f << 1.0f << 199.0f << block(0, 1, 198, 199);
        QTest::newRow("N=200 site (-100,0) lies beyond the left edge")
            << 400.0f << -1.0f << 199.0f << PixelSet{};
        QTest::newRow("N=200 site beyond the bottom edge")
            << 400.0f << 199.0f << 401.0f << PixelSet{};
        // N = 100, two pixels a unit: a disc of radius 2 pixels.
        QTest::newRow("N=100 seed (99,99)")
            << 200.0f << 99.0f << 99.0f
            << PixelSet{{197, 196}, {198, 196}, {196, 197}, {197, 197}, {198, 197}, {199, 197},
                        {196, 198}, {197, 198}, {198, 198}, {199, 198}, {197, 199}, {198, 199}};
        // N = 1000: a disc is a fifth of a pixel wide, and still shows as one pixel.
        QTest::newRow("N=1000 seed (999,999)")
            << 2000.0f << 999.0f << 999.0f << PixelSet{{199, 199}};
        QTest::newRow("N=1000 corner site (1,1)") << 2000.0f << 1.0f << 1.0f << PixelSet{{0, 0}};
        QTest::newRow("N=1000 site beyond the edge") << 2000.0f << -1.0f << 999.0f << PixelSet{};
    }

    void discPixels() {
        QFETCH(float, extent);
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(PixelSet, expected);
        Canvas canvas;
        prepare(canvas, extent);
        canvas.setFillStyle(Canvas::kSolid);
        canvas.setFillColour(kLightGreen);
        canvas.circle(x, y, 1.0f, kLightGreen);
        QCOMPARE(pixelsNotOf(canvas.image(), kBlack), expected);
    }

    // N = 101: site (51, 0) is centred on the right edge; only its left half is on the canvas.
    void discCutByTheEdge() {
        Canvas canvas;
        prepare(canvas, 202.0f);
        canvas.setFillStyle(Canvas::kSolid);
        canvas.setFillColour(kLightGreen);
        canvas.circle(202.0f, 100.0f, 1.0f, kLightGreen);
        const PixelSet drawn = pixelsNotOf(canvas.image(), kBlack);
        QVERIFY(!drawn.empty());
        for (const auto& [px, py] : drawn) {
            QVERIFY2(px >= kArea - 2, "only the half inside the right edge is drawn");
            QVERIFY(std::abs(py - 198) <= 2);
        }
    }

    void outlineAndFill() {
        Canvas canvas;
        prepare(canvas, 40.0f);  // ten pixels a unit: radius 1 is 10 pixels
        const QRgb fill = qRgb(0, 0, 255);
        canvas.setFillColour(fill);
        canvas.setFillStyle(Canvas::kSolid);
        canvas.circle(20.0f, 20.0f, 1.0f, kGreen);
        QCOMPARE(canvas.image().pixel(200, 200), fill);
        QCOMPARE(canvas.image().pixel(209, 200), kGreen);  // the outline, inside the circle
        QCOMPARE(canvas.image().pixel(211, 200), kBlack);  // nothing beyond it

        canvas.setFillStyle(Canvas::kTransparent);
        canvas.circle(10.0f, 10.0f, 1.0f, kGreen);
        QCOMPARE(canvas.image().pixel(100, 100), kBlack);
        QCOMPARE(canvas.image().pixel(109, 100), kGreen);
    }

    void fillBoxCoversItsCorners() {
        Canvas canvas;
        prepare(canvas, 400.0f);
        QCOMPARE(pixelsNotOf(canvas.image(), kBlack), PixelSet{});
        canvas.fillBox(30.0f, 20.0f, 10.0f, 40.0f, kGreen);  // corners in any order
        QCOMPARE(pixelsNotOf(canvas.image(), kBlack), block(10, 29, 20, 39));
        canvas.fillBox(-50.0f, -50.0f, 5000.0f, 5000.0f, kLightGreen);  // clipped, no fault
        QCOMPARE(pixelsNotOf(canvas.image(), kLightGreen), PixelSet{});
    }

    void nothingDrawnWithoutAnExtent() {
        Canvas canvas;
        prepare(canvas, 400.0f);
        canvas.setScaleWidth(0.0f);
        canvas.circle(10.0f, 10.0f, 1.0f, kGreen);
        canvas.fillBox(0.0f, 0.0f, 10.0f, 10.0f, kGreen);
        QCOMPARE(pixelsNotOf(canvas.image(), kBlack), PixelSet{});
    }

    // The picture is kept in the backing image: a repaint after being hidden shows it again,
    // and a plot asks for the repaint of its own few pixels only.
    void repaintsFromTheBackingImage() {
        Canvas canvas;
        prepare(canvas, 400.0f);
        canvas.setFillStyle(Canvas::kSolid);
        canvas.setFillColour(kLightGreen);
        canvas.circle(199.0f, 199.0f, 1.0f, kLightGreen);
        canvas.hide();
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(2 + 198, 2 + 198), kLightGreen);
        QCOMPARE(shown.pixel(2 + 100, 2 + 100), kBlack);
    }

    void plotRepaintsOnlyItsRectangle() {
        Canvas canvas;
        prepare(canvas, 400.0f);
        QCoreApplication::processEvents();
        dla::test::PaintSpy spy;
        canvas.installEventFilter(&spy);
        canvas.setFillStyle(Canvas::kSolid);
        canvas.circle(300.0f, 100.0f, 1.0f, kLightGreen);
        QCoreApplication::processEvents();
        QCOMPARE(spy.rects.size(), std::size_t{1});
        QVERIFY(spy.rects[0].width() <= 4 && spy.rects[0].height() <= 4);
        QVERIFY(spy.rects[0].contains(2 + 299, 2 + 99));
    }
};

QTEST_MAIN(CanvasTest)
#include "canvas_test.moc"
