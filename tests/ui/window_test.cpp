#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "canvas.h"
#include "frm_principal.h"
#include "recording_toolkit.h"
#include "system_size_text.h"
#include "window/growth.h"

namespace dla {

/// The run state a window keeps to itself.
class FRMPrincipalProbe {
  public:
    static int runDepth(const FRMPrincipal& window) { return window.runDepth_; }
    static bool closing(const FRMPrincipal& window) { return window.closing_; }
};

}  // namespace dla

using namespace dla;
using Verdict = SizeReading::Verdict;
using Pixels = std::set<std::pair<int, int>>;
Q_DECLARE_METATYPE(Verdict)

namespace {

const QString kInvalid = QStringLiteral("Número inválido para N!");
const QString kTooLarge =
    QStringLiteral("Sistema muito grande! É necessária uma alteração no código fonte!");
const QString kRefusal =
    QStringLiteral("Por favor inicie o sistema ou verique seu tamanho (N >= 100)!");
constexpr QRgb kBlack = qRgb(0, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255);

template <class T>
T* control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// Closes every modal message box as soon as it shows (its timer runs inside the box's own event
// loop) and keeps the box's text, title and icon, and whether OK was its one button.
struct MessageCatcher {
    struct Shown {
        QString text, title;
        QMessageBox::Icon icon;
        bool okOnly;
    };
    std::vector<Shown> shown;
    QTimer timer;
    MessageCatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.push_back(
                    {box->text(), box->windowTitle(), box->icon(),
                     box->buttons() == QList<QAbstractButton*>{box->button(QMessageBox::Ok)}});
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(0);
    }
};

// Calls `action` in every pass of the event loop from now on, as a user event arriving then
// would: an event that posts itself again, which each pass handles once (Qt leaves events posted
// during a pass to the next). A run passes through the loop once at each of its yields, so
// `action` runs once a yield (a message box's loop makes passes of its own).
class EveryPass : public QObject {
  public:
    explicit EveryPass(std::function<void()> action) : action_(std::move(action)) { post(); }
    int passes = 0;

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) return QObject::event(event);
        post();
        ++passes;
        action_();
        return true;
    }

  private:
    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    std::function<void()> action_;
};

Pixels notBlack(const QImage& image) {
    Pixels found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kBlack) found.insert({x, y});
    return found;
}

// A canvas whose drawing area is 400 x 400 pixels, scaled to `extent` units and painted black,
// with a solid green fill.
void prepare(Canvas& canvas, float extent) {
    canvas.resize(404, 404);  // a 2-pixel border
    canvas.setScaleHeight(extent);
    canvas.setScaleWidth(extent);
    canvas.fillBox(0.0f, 0.0f, canvas.scaleWidth(), canvas.scaleHeight(), kBlack);
    canvas.setFillStyle(Canvas::kSolid);
    canvas.setFillColour(kGreen);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FRMPrincipal> w;
    QLineEdit* entry() const { return control<QLineEdit>(*w, "TXTN"); }
    Canvas* canvas() const { return control<Canvas>(*w, "Tela"); }
    void press(const char* button) {
        QTest::mouseClick(control<QPushButton>(*w, button), Qt::LeftButton);
    }
    void run(const QString& size) {
        entry()->setText(size);
        press("CMDExecutar");
    }

  private slots:
    void init() {
        w = std::make_unique<FRMPrincipal>(FastGenerator::seeded(2003));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void cleanup() { w.reset(); }

    // The focus starts on "Executar", where Enter presses nothing, and Tab goes round the
    // controls that take it; the information text is bold.
    void focus() {
        QVERIFY(control<QPlainTextEdit>(*w, "TXTInforme")->font().bold());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w->lattice().occupiedCount(), std::int64_t{0});
        for (const char* next : {"CMDExecutar", "TXTN", "CMDLxM", "TXTInforme", "TXTPercentual"}) {
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    // Typed characters pass the filter of digits and backspace; pasted text is not filtered.
    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("after");
        QTest::newRow("0") << int(Qt::Key_0) << "0" << 0 << "2000";
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << 0 << "20";
        QTest::newRow("slash") << int(Qt::Key_Slash) << "/" << 0 << "200";
        QTest::newRow("colon") << int(Qt::Key_Colon) << ":" << 0 << "200";
        QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << 0 << "200";
        QTest::newRow("pasting") << int(Qt::Key_V) << "\x16" << int(Qt::ControlModifier)
                                 << "200-1.5";
    }

    void keys() {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QApplication::clipboard()->setText(QStringLiteral("-1.5"));
        entry()->setFocus();
        entry()->end(false);
        QTest::sendKeyEvent(QTest::Press, entry(), Qt::Key(key), text,
                            Qt::KeyboardModifiers(modifiers));
        QTEST(entry()->text(), "after");
        QCOMPARE(w->lattice().occupiedCount(), std::int64_t{0});
    }

    // Pasting can bring any text: blanks around it and one plus sign are ignored, the rest must
    // be ASCII digits, 1 to the largest size, however many digits a larger one has.
    void sizeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<int>("value");
        QTest::newRow("1000") << "1000" << Verdict::Accepted << 1000;
        QTest::newRow("zeros") << "0000000000000050" << Verdict::Accepted << 50;
        QTest::newRow("blanks, plus") << " \t+7 " << Verdict::Accepted << 7;
        QTest::newRow("wide blanks")
            << QString::fromUtf8("\u00A042\u3000") << Verdict::Accepted << 42;
        for (const char* text : {"1001", "+1001", "123456789012345678901234567890"})
            QTest::newRow(text) << text << Verdict::TooLarge << 0;
        for (const char* text : {"", "0", "   ", "+", "++5", "-5", "-0", "2.5", "2,5", "1e3",
                                 "2 00", "12a", "\u0662\u0660\u0660", "\uFF12\uFF10\uFF10"})
            QTest::newRow(text) << QString::fromUtf8(text) << Verdict::NotANumber << 0;
    }

    void sizeText() {
        QFETCH(QString, text);
        const SizeReading reading = readSystemSize(text.toStdU16String());
        QTEST(reading.verdict, "verdict");
        if (reading.verdict == Verdict::Accepted) QTEST(int(reading.value), "value");
    }

    void refused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("sizeAfter");
        QTest::addColumn<QString>("focusAfter");
        for (const char* text : {"", "abc", "0", "-5"})
            QTest::newRow(text) << text << kInvalid << 20 << "TXTN";
        QTest::newRow("1001") << "1001" << kTooLarge << 1 << "CMDExecutar";
    }

    // After a run with N = 20, a refused text shows its message in a "DLA" box with one OK
    // button and changes nothing else, except that a size above the largest sets N to 1; the
    // focus goes to the entry box after an invalid text.
    void refused() {
        run(QStringLiteral("20"));
        const std::uint64_t lattice = w->lattice().hash();
        const QImage picture = canvas()->image();
        MessageCatcher catcher;
        QFETCH(QString, text);
        run(text);
        QCOMPARE(catcher.shown.size(), std::size_t{1});
        QTEST(catcher.shown[0].text, "message");
        QCOMPARE(catcher.shown[0].icon, QMessageBox::Warning);
        QCOMPARE(catcher.shown[0].title, QStringLiteral("DLA"));
        QVERIFY(catcher.shown[0].okOnly);
        QTEST(int(w->systemSize()), "sizeAfter");
        QTEST(w->focusWidget()->objectName(), "focusAfter");
        QCOMPARE(w->lattice().hash(), lattice);
        QCOMPARE(canvas()->image(), picture);
    }

    // A whole run through the window grows what the same seed grows without it after the
    // window's load step, yields once a particle, and shows on its 400-unit canvas the seed's
    // four green pixels and a light-green pixel at every particle's centre, on black.
    void wholeRun() {
        test::RecordingToolkit twin;
        Lattice lattice;
        RandomSource random(FastGenerator::seeded(2003), twin);
        initialiseRandomSource(random);
        const std::int64_t particles = Gerar_DLA(200, lattice, random, twin).particles;
        EveryPass yields([] {});
        press("CMDExecutar");
        QCOMPARE(w->lattice().hash(), lattice.hash());
        QCOMPARE(yields.passes, 2 + int(particles));
        QCOMPARE(QSizeF(canvas()->scaleWidth(), canvas()->scaleHeight()), QSizeF(400, 400));
        QCOMPARE(canvas()->fillColour(), kGreen);
        QCOMPARE(control<QLineEdit>(*w, "TXTPercentual")->text(), QString());
        const QImage image = canvas()
                                 ->grab()
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32)
                                 .copy(canvas()->contentsRect());
        std::map<QRgb, int> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) ++colours[image.pixel(x, y)];
        QCOMPARE(colours.size(), std::size_t{3});
        QCOMPARE(colours[qRgb(0, 128, 0)], 4);
        QVERIFY(colours[kBlack] > image.width() * image.height() / 2);
        const auto pixel = [&image](int a) {
            return int(std::floor((2 * a + 199) * image.width() / 400.0));
        };
        for (const auto& call : twin.calls)
            if (call.kind == test::RecordingToolkit::Kind::Plot &&
                image.rect().contains(pixel(call.a), pixel(call.b)))
                QCOMPARE(image.pixel(pixel(call.a), pixel(call.b)),
                         qRgb(call.colour.red, call.colour.green, call.colour.blue));
    }

    // At N = 20 a site's disc is twenty pixels across: filled in its colour, not only outlined,
    // the seed's dark green and every particle's light green (0, 255, 0).
    void filledDiscs() {
        run(QStringLiteral("20"));
        const QImage image = canvas()->image();
        const double perUnit = image.width() / 40.0;
        const int half = int(perUnit / 2);
        int discs = 0;
        for (int b = -11; b <= 11; ++b) {
            for (int a = -11; a <= 11; ++a) {
                const int x = int((2 * a + 19) * perUnit), y = int((2 * b + 19) * perUnit);
                if (!w->lattice().isOccupied(a, b) || !image.rect().contains(x + half, y + half))
                    continue;
                const QRgb colour = a == 0 && b == 0 ? qRgb(0, 128, 0) : kGreen;
                for (const auto& [dx, dy] : {std::pair{0, 0}, {half, 0}, {0, -half}, {-half, half}})
                    QCOMPARE(image.pixel(x + dx, y + dy), colour);
                ++discs;
            }
        }
        QVERIFY(discs > 20);
    }

    // The estimate before any run (N is 1), and after one, in an information box, leaving the
    // Lattice and the canvas alone.
    void estimate() {
        MessageCatcher catcher;
        press("CMDLxM");
        run(QStringLiteral("150"));
        const QImage picture = canvas()->image();
        const std::uint64_t lattice = w->lattice().hash();
        press("CMDLxM");
        QVERIFY(canvas()->image() == picture && w->lattice().hash() == lattice);
        QCOMPARE(catcher.shown.size(), std::size_t{2});
        QCOMPARE(catcher.shown[0].text, kRefusal);
        const QString separator = QRegularExpression::escape(QLocale::system().decimalPoint());
        QVERIFY(QRegularExpression("^Dimensão Fractal = -?\\d+" + separator + "\\d{4}$")
                    .match(catcher.shown[1].text)
                    .hasMatch());
        QCOMPARE(catcher.shown[1].icon, QMessageBox::Information);
    }

    // Each press of "Executar" during a run nests a run (N = 20), which clears and regrows the
    // Lattice, up to kMostNestedRuns runs in progress; a press at that depth is ignored. The
    // outer run (N = 200) then goes on, on what the nested ones left, to its own end.
    void nestedRuns() {
        std::vector<std::pair<int, bool>> presses;  // depth, whether a run was nested
        std::map<int, int> passesAt;                // a nested run yields one deeper
        EveryPass yields([&] {
            const int depth = FRMPrincipalProbe::runDepth(*w);
            ++passesAt[depth];
            if (depth == 0 || presses.size() == 40) return;
            entry()->setText(QStringLiteral("20"));
            const int deeper = passesAt[depth + 1];
            const std::size_t mine = presses.size();
            presses.emplace_back(depth, false);
            press("CMDExecutar");
            presses[mine].second = passesAt[depth + 1] != deeper;
        });
        press("CMDExecutar");
        int deepest = 0;
        for (const auto& [depth, nested] : presses) {
            QCOMPARE(nested, depth < FRMPrincipal::kMostNestedRuns);
            deepest = std::max(deepest, depth);
        }
        QCOMPARE(deepest, FRMPrincipal::kMostNestedRuns);
        QCOMPARE(FRMPrincipalProbe::runDepth(*w), 0);
        QCOMPARE(canvas()->scaleWidth(), 40.0f);
        QVERIFY(w->lattice().occupiedCount() > 1000);
    }

    // Closing the window during nested runs ends them all at their next yield, and the event
    // loop with status 0, as in the program.
    void closeDuringNestedRuns() {
        int yields = 0, afterClose = 0;
        EveryPass passes([&] {
            if (FRMPrincipalProbe::runDepth(*w) == 0) return;
            afterClose += FRMPrincipalProbe::closing(*w);
            if (++yields == 10) press("CMDExecutar");
            if (yields == 30) w->close();
        });
        QTimer::singleShot(0, w.get(), [this] { press("CMDExecutar"); });
        QTimer::singleShot(60000, w.get(), [] { QCoreApplication::exit(3); });  // only a fault
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(yields, 30);
        QCOMPARE(afterClose, 0);
        QCOMPARE(FRMPrincipalProbe::runDepth(*w), 0);
    }

    // A box covers its corners, given in any order, and is clipped to the area; a large circle
    // has its outline inside its edge and its interior in the fill colour only when solid; a
    // circle a fifth of a pixel across (N = 1000) still shows as the pixel of its centre.
    void boxAndCircles() {
        Canvas canvas;
        prepare(canvas, 2000.0f);
        canvas.circle(999.0f, 999.0f, 1.0f, kGreen);
        QCOMPARE(notBlack(canvas.image()), (Pixels{{199, 199}}));
        prepare(canvas, 40.0f);  // 10 pixels a unit
        canvas.fillBox(3.0f, 2.0f, 1.0f, 4.0f, kBlue);
        Pixels box;
        for (int y = 20; y < 40; ++y)
            for (int x = 10; x < 30; ++x) box.insert({x, y});
        QCOMPARE(notBlack(canvas.image()), box);
        canvas.fillBox(-5.0f, -5.0f, 50.0f, 50.0f, kBlack);
        QCOMPARE(notBlack(canvas.image()), Pixels{});
        canvas.setFillColour(kBlue);
        canvas.circle(20.0f, 20.0f, 1.0f, kGreen);
        canvas.setFillStyle(Canvas::kTransparent);
        canvas.circle(10.0f, 10.0f, 1.0f, kGreen);
        for (const auto& [x, y, colour] : {std::tuple{200, 200, kBlue},
                                           {209, 200, kGreen},
                                           {211, 200, kBlack},
                                           {100, 100, kBlack},
                                           {109, 100, kGreen}})
            QCOMPARE(canvas.image().pixel(x, y), colour);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
