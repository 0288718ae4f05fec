#include <QClipboard>
#include <QLineEdit>
#include <QLocale>
#include <QPaintEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "canvas.h"
#include "frm_principal.h"
#include "growth.h"
#include "ui_test_support.h"

using dla::FRMPrincipal;
using dla::test::click;
using dla::test::control;
using dla::test::MessageCatcher;
using dla::test::YieldScript;

namespace {

const QString kInvalid = QStringLiteral("Número inválido para N!");
const QString kTooLarge =
    QStringLiteral("Sistema muito grande! É necessária uma alteração no código fonte!");
const QString kRefusal =
    QStringLiteral("Por favor inicie o sistema ou verique seu tamanho (N >= 100)!");
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kGreen = qRgb(0, 128, 0);
constexpr QRgb kLightGreen = qRgb(0, 255, 0);

struct Plot {
    std::int16_t a;
    std::int16_t b;
};

// Keeps the sites a run plots and lets it go on at every yield.
class PlotRecorder final : public dla::Toolkit {
  public:
    std::vector<Plot> plots;
    void setStatusText(std::string_view) override {}
    bool yield() override { return true; }
    void retangulo(std::int16_t a, std::int16_t b, dla::Rgb) override { plots.push_back({a, b}); }
    void messageBox(std::string_view, dla::MessageStyle) override {}
};

// The same run without a window. A seeded generator moves to a new stream at every
// re-initialisation, and the window's load step has used the first one.
struct HeadlessRun {
    dla::GrowthResult result;
    std::uint64_t hash = 0;
    std::vector<Plot> plots;
};

HeadlessRun runHeadless(std::uint64_t seed, std::int32_t n) {
    PlotRecorder recorder;
    dla::RandomSource<dla::FastGenerator> random(dla::FastGenerator::seeded(seed), recorder);
    (void)random.Random(-1);
    dla::Lattice lattice;
    HeadlessRun run;
    run.result = dla::Gerar_DLA(n, lattice, random, recorder);
    run.hash = lattice.hash();
    run.plots = std::move(recorder.plots);
    return run;
}

bool hasParticleBeyond(const dla::Lattice& lattice, int halfSide) {
    for (int y = -dla::Lattice::kExtent; y <= dla::Lattice::kExtent; ++y)
        for (int x = -dla::Lattice::kExtent; x <= dla::Lattice::kExtent; ++x)
            if ((std::abs(x) > halfSide || std::abs(y) > halfSide) && lattice.isOccupied(x, y))
                return true;
    return false;
}

void typeKey(QWidget* widget, Qt::Key key, const QString& text,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::sendKeyEvent(QTest::Press, widget, key, text, modifiers);
    QTest::sendKeyEvent(QTest::Release, widget, key, text, modifiers);
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        window_ = std::make_unique<FRMPrincipal>(dla::FastGenerator::seeded(2003));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void loadSetsSizeAndInitialisesTheSource() {
        QCOMPARE(window_->systemSize(), 1);
        // A table that was never initialised holds zeros only.
        QVERIFY(window_->shuffleTable().v[1] != 0.0 || window_->shuffleTable().v[97] != 0.0);
    }

    void keyFilter_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("digit 5") << int(Qt::Key_5) << "5" << 0 << "2005";
        QTest::newRow("digit 0") << int(Qt::Key_0) << "0" << 0 << "2000";
        QTest::newRow("digit 9") << int(Qt::Key_9) << "9" << 0 << "2009";
        QTest::newRow("keypad 7") << int(Qt::Key_7) << "7" << int(Qt::KeypadModifier) << "2007";
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << 0 << "20";
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << 0 << "200";
        QTest::newRow("capital") << int(Qt::Key_A) << "A" << int(Qt::ShiftModifier) << "200";
        QTest::newRow("minus") << int(Qt::Key_Minus) << "-" << 0 << "200";
        QTest::newRow("plus") << int(Qt::Key_Plus) << "+" << 0 << "200";
        QTest::newRow("point") << int(Qt::Key_Period) << "." << 0 << "200";
        QTest::newRow("comma") << int(Qt::Key_Comma) << "," << 0 << "200";
        QTest::newRow("blank") << int(Qt::Key_Space) << " " << 0 << "200";
        QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << 0 << "200";
        QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << 0 << "200";
        QTest::newRow("accented") << int(Qt::Key_Eacute) << "é" << 0 << "200";
        QTest::newRow("superscript two") << int(Qt::Key_twosuperior) << "²" << 0 << "200";
        QTest::newRow("arabic-indic digit") << int(Qt::Key_unknown) << "\u0663" << 0 << "200";
    }

    void keyFilter() {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        entry->setFocus();
        entry->end(false);
        YieldScript yields(*window_);
        typeKey(entry, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(entry->text(), expected);
        QCOMPARE(yields.count(), 0);  // Enter starts no run
    }

    // The handler sees the code, signed 16-bit, and cancels with 0.
    void keyPressHandler_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("after");
        QTest::newRow("backspace") << 8 << 8;
        QTest::newRow("0") << 48 << 48;
        QTest::newRow("9") << 57 << 57;
        QTest::newRow("slash, below 0") << 47 << 0;
        QTest::newRow("colon, above 9") << 58 << 0;
        QTest::newRow("enter") << 13 << 0;
        QTest::newRow("tab") << 9 << 0;
        QTest::newRow("negative") << -1 << 0;
        QTest::newRow("most negative") << -32768 << 0;
        QTest::newRow("largest") << 32767 << 0;
    }

    void keyPressHandler() {
        QFETCH(int, code);
        QFETCH(int, after);
        auto KeyAscii = static_cast<std::int16_t>(code);
        window_->TXTN_KeyPress(KeyAscii);
        QCOMPARE(int(KeyAscii), after);
    }

    void shortcutsAndPastingAreNotFiltered() {
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        entry->setFocus();
        typeKey(entry, Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);  // select all
        typeKey(entry, Qt::Key_7, QStringLiteral("7"));
        QCOMPARE(entry->text(), QStringLiteral("7"));

        QApplication::clipboard()->setText(QStringLiteral(" -12.5e3 x"));
        entry->selectAll();
        typeKey(entry, Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
        QCOMPARE(entry->text(), QStringLiteral(" -12.5e3 x"));

        MessageCatcher catcher;
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        QCOMPARE(catcher.messages()[0].text, kInvalid);
    }

    void enterAndEscapePressNoButton() {
        YieldScript yields(*window_);
        MessageCatcher catcher;
        for (const char* name : {"CMDExecutar", "CMDLxM"}) {
            auto* button = control<QPushButton>(*window_, name);
            button->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(button, key);
        }
        QTest::keyClick(window_.get(), Qt::Key_Return);
        QTest::keyClick(window_.get(), Qt::Key_Escape);
        QCOMPARE(yields.count(), 0);
        QCOMPARE(catcher.messages().size(), std::size_t{0});
    }

    // Each row starts after an accepted run with N = 20, to tell "unchanged" from "reset".
    void refusedTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("sizeAfter");
        QTest::addColumn<QString>("focusAfter");
        QTest::newRow("empty") << "" << kInvalid << 20 << "TXTN";
        QTest::newRow("letters") << "abc" << kInvalid << 20 << "TXTN";
        QTest::newRow("zero") << "0" << kInvalid << 20 << "TXTN";
        QTest::newRow("negative") << "-5" << kInvalid << 20 << "TXTN";
        QTest::newRow("very negative") << "-99999" << kInvalid << 20 << "TXTN";
        QTest::newRow("fraction") << "2.5" << kInvalid << 20 << "TXTN";
        QTest::newRow("exponent") << "1e3" << kInvalid << 20 << "TXTN";
        QTest::newRow("1001") << "1001" << kTooLarge << 1 << "CMDExecutar";
        QTest::newRow("beyond 32 bits") << "2147483648" << kTooLarge << 1 << "CMDExecutar";
        QTest::newRow("eleven digits") << "99999999999" << kTooLarge << 1 << "CMDExecutar";
    }

    void refusedTexts() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, sizeAfter);
        QFETCH(QString, focusAfter);
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        auto* canvas = control<dla::Canvas>(*window_, "Tela");
        entry->setText(QStringLiteral("20"));
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QCOMPARE(window_->systemSize(), 20);
        const std::uint64_t lattice = window_->lattice().hash();
        const QImage picture = canvas->image();

        entry->setText(text);
        MessageCatcher catcher;
        YieldScript yields(*window_);
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        const dla::test::ShownMessage& shown = catcher.messages()[0];
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.icon, QMessageBox::Warning);
        QCOMPARE(shown.title, QStringLiteral("DLA"));
        QCOMPARE(shown.buttonCount, 1);
        QVERIFY(shown.okButton);
        QCOMPARE(window_->systemSize(), sizeAfter);
        QVERIFY(window_->focusWidget());
        QCOMPARE(window_->focusWidget()->objectName(), focusAfter);
        QCOMPARE(yields.count(), 0);
        QCOMPARE(entry->text(), text);
        QCOMPARE(window_->lattice().hash(), lattice);
        QCOMPARE(canvas->image(), picture);
        QCOMPARE(canvas->scaleWidth(), 40.0f);
    }

    void acceptedTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::newRow("leading zeros") << "0050" << 50;
        QTest::newRow("pasted blanks") << " 120 " << 120;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("one") << "1" << 1;
    }

    void acceptedTexts() {
        QFETCH(QString, text);
        QFETCH(int, size);
        control<QLineEdit>(*window_, "TXTN")->setText(text);
        MessageCatcher catcher;
        YieldScript yields(*window_);
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QCOMPARE(catcher.messages().size(), std::size_t{0});
        QCOMPARE(window_->systemSize(), size);
        auto* canvas = control<dla::Canvas>(*window_, "Tela");
        QCOMPARE(canvas->scaleWidth(), float(2 * size));
        QCOMPARE(canvas->scaleHeight(), float(2 * size));
        QVERIFY(yields.count() >= 3);
        QVERIFY(hasParticleBeyond(window_->lattice(), dla::halfSideFor(size)));
    }

    // A whole run with N = 200 through the window: the same aggregate as without a window, one
    // yield a particle, and a canvas showing it.
    void wholeRun() {
        auto* canvas = control<dla::Canvas>(*window_, "Tela");
        dla::test::PaintSpy spy;
        QCoreApplication::processEvents();
        canvas->installEventFilter(&spy);
        YieldScript yields(*window_);
        MessageCatcher catcher;
        click(control<QPushButton>(*window_, "CMDExecutar"));
        canvas->removeEventFilter(&spy);

        const HeadlessRun twin = runHeadless(2003, 200);
        QVERIFY(twin.result.finished);
        QCOMPARE(window_->lattice().hash(), twin.hash);
        QCOMPARE(yields.count(), 2 + int(twin.result.particles));
        QCOMPARE(catcher.messages().size(), std::size_t{0});
        QCOMPARE(window_->systemSize(), 200);
        QCOMPARE(canvas->scaleWidth(), 400.0f);
        QCOMPARE(control<QLineEdit>(*window_, "TXTPercentual")->text(), QString());
        QCOMPARE(canvas->fillStyle(), dla::Canvas::kSolid);
        QCOMPARE(canvas->fillColour(), kLightGreen);

        // The picture: black with the seed's 2 x 2 pixel disc in green at the centre and every
        // particle in light green, and nothing else.
        const QImage image = canvas->grab()
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32)
                                 .copy(canvas->contentsRect());
        QCOMPARE(image, canvas->image());
        std::map<QRgb, int> histogram;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) ++histogram[image.pixel(x, y)];
        QCOMPARE(histogram.size(), std::size_t{3});
        QCOMPARE(histogram[kGreen], 4);
        QVERIFY(histogram[kLightGreen] > 2 * int(twin.result.particles));
        QVERIFY(histogram[kBlack] > image.width() * image.height() / 2);
        const double scale = image.width() / 400.0;
        std::size_t onCanvas = 0;
        for (const auto& plot : twin.plots) {
            const int px = int(std::floor((2 * plot.a + 199) * scale));
            const int py = int(std::floor((2 * plot.b + 199) * scale));
            if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
            const QRgb expected = plot.a == 0 && plot.b == 0 ? kGreen : kLightGreen;
            QCOMPARE(image.pixel(px, py), expected);
            ++onCanvas;
        }

        // Only the clearing repaints the whole canvas; every plot repaints its few pixels.
        int whole = 0;
        for (const QRect& r : spy.rects) {
            if (r.width() > 4 || r.height() > 4) {
                ++whole;
                QVERIFY(r.contains(canvas->contentsRect()));
            }
        }
        QCOMPARE(whole, 1);
        // Each plot on the canvas is shown at its own yield.
        QVERIFY(spy.rects.size() >= onCanvas);
        QVERIFY(onCanvas > std::size_t(twin.result.particles) / 2);
    }

    void estimate() {
        const QString separator = QLocale::system().decimalPoint();
        const QRegularExpression result(QStringLiteral("^Dimensão Fractal = -?\\d+") +
                                        QRegularExpression::escape(separator) +
                                        QStringLiteral("\\d{4}$"));
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        auto* estimate = control<QPushButton>(*window_, "CMDLxM");
        MessageCatcher catcher;

        click(estimate);  // before any run: N = 1
        entry->setText(QStringLiteral("150"));
        click(executar);
        click(estimate);
        entry->clear();
        click(executar);  // refused: N stays 150
        click(estimate);
        entry->setText(QStringLiteral("1001"));
        click(executar);  // refused: N becomes 1
        click(estimate);
        entry->setText(QStringLiteral("99"));
        click(executar);
        click(estimate);

        const auto& shown = catcher.messages();
        QCOMPARE(shown.size(), std::size_t{7});
        QCOMPARE(shown[0].text, kRefusal);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QVERIFY2(result.match(shown[1].text).hasMatch(), qPrintable(shown[1].text));
        QCOMPARE(shown[1].icon, QMessageBox::Information);
        QCOMPARE(shown[1].title, QStringLiteral("DLA"));
        QCOMPARE(shown[1].buttonCount, 1);
        QCOMPARE(shown[2].text, kInvalid);
        QVERIFY2(result.match(shown[3].text).hasMatch(), qPrintable(shown[3].text));
        QCOMPARE(shown[4].text, kTooLarge);
        QCOMPARE(shown[5].text, kRefusal);
        QCOMPARE(shown[6].text, kRefusal);  // N = 99
        QCOMPARE(window_->systemSize(), 99);
    }

    void estimateLeavesCanvasAlone() {
        control<QLineEdit>(*window_, "TXTN")->setText(QStringLiteral("100"));
        click(control<QPushButton>(*window_, "CMDExecutar"));
        auto* canvas = control<dla::Canvas>(*window_, "Tela");
        const QImage picture = canvas->image();
        const std::uint64_t lattice = window_->lattice().hash();
        MessageCatcher catcher;
        YieldScript yields(*window_);
        click(control<QPushButton>(*window_, "CMDLxM"));
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        QCOMPARE(canvas->image(), picture);
        QCOMPARE(window_->lattice().hash(), lattice);
        QCOMPARE(yields.count(), 0);
    }

    // A click on "Executar" during a run starts a second run inside the first; the first then
    // resumes on the Lattice and the canvas extent the second left, and ends by its own h.
    void nestedRun() {
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        YieldScript yields(*window_);
        yields.at(50, [&] {
            entry->setText(QStringLiteral("100"));
            click(executar);
        });
        click(executar);
        QCOMPARE(yields.maxDepth(), 2);
        QCOMPARE(window_->runDepth(), 0);
        QCOMPARE(window_->systemSize(), 100);
        QCOMPARE(control<dla::Canvas>(*window_, "Tela")->scaleWidth(), 200.0f);
        QVERIFY(window_->lattice().isOccupied(0, 0));
        QVERIFY(hasParticleBeyond(window_->lattice(), 100));  // the outer run's end
    }

    // A refused text during a run only shows its message; the run then goes on.
    void refusedDuringRun() {
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        MessageCatcher catcher;
        YieldScript yields(*window_);
        yields.at(30, [&] {
            entry->setText(QStringLiteral("5000"));
            click(executar);
        });
        click(executar);
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        QCOMPARE(catcher.messages()[0].text, kTooLarge);
        QCOMPARE(yields.maxDepth(), 1);
        QCOMPARE(window_->systemSize(), 1);
        QVERIFY(yields.count() > 30);
        QVERIFY(hasParticleBeyond(window_->lattice(), 100));
    }

    void estimateDuringRun() {
        MessageCatcher catcher;
        YieldScript yields(*window_);
        std::int64_t particlesAtEstimate = 0;
        yields.at(300, [&] {
            particlesAtEstimate = window_->lattice().occupiedCount();
            click(control<QPushButton>(*window_, "CMDLxM"));
        });
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QVERIFY(particlesAtEstimate > 100);
        QVERIFY(particlesAtEstimate < window_->lattice().occupiedCount());  // the run went on
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        QVERIFY(catcher.messages()[0].text.startsWith(QStringLiteral("Dimensão Fractal = ")));
        QCOMPARE(catcher.messages()[0].icon, QMessageBox::Information);
        QVERIFY(yields.count() > 300);
        QVERIFY(hasParticleBeyond(window_->lattice(), 100));
    }

    // At the first yield of the first run the Lattice is still empty: the estimate refuses
    // instead of searching forever, and a nested run grows its aggregate; the outer run then
    // clears the Lattice and grows its own.
    void bothDuringTheFirstYield() {
        auto* entry = control<QLineEdit>(*window_, "TXTN");
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        MessageCatcher catcher;
        YieldScript yields(*window_);
        yields.at(1, [&] {
            QCOMPARE(window_->lattice().occupiedCount(), std::int64_t{0});
            click(control<QPushButton>(*window_, "CMDLxM"));
            entry->setText(QStringLiteral("60"));
            click(executar);
        });
        click(executar);
        QCOMPARE(catcher.messages().size(), std::size_t{1});
        QCOMPARE(catcher.messages()[0].text, kRefusal);
        QCOMPARE(catcher.messages()[0].icon, QMessageBox::Warning);
        QCOMPARE(yields.maxDepth(), 2);
        QCOMPARE(window_->runDepth(), 0);
        QCOMPARE(window_->systemSize(), 60);
        QVERIFY(hasParticleBeyond(window_->lattice(), 100));
    }

    void closeDuringRun() {
        YieldScript yields(*window_);
        yields.at(20, [&] { window_->close(); });
        click(control<QPushButton>(*window_, "CMDExecutar"));
        QVERIFY(window_->isClosing());
        QVERIFY(!window_->isVisible());
        QCOMPARE(window_->runDepth(), 0);
        QCOMPARE(yields.count(), 20);
        QCOMPARE(yields.yieldsAfterClose(), 0);
        // The run stopped after its 18th particle, long before its end.
        QVERIFY(window_->lattice().occupiedCount() <= 19);
        QVERIFY(!hasParticleBeyond(window_->lattice(), 100));
    }

    void closeDuringNestedRun() {
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        YieldScript yields(*window_);
        yields.at(10, [&] { click(executar); });
        yields.at(30, [&] { window_->close(); });
        click(executar);
        QCOMPARE(yields.maxDepth(), 2);
        QCOMPARE(window_->runDepth(), 0);
        QCOMPARE(yields.count(), 30);
        QCOMPARE(yields.yieldsAfterClose(), 0);
    }

    // As in the program: the click arrives through the event loop, and closing the window
    // during the run ends the loop with exit code 0.
    void closeEndsTheProgram() {
        auto* executar = control<QPushButton>(*window_, "CMDExecutar");
        YieldScript yields(*window_);
        yields.at(40, [&] { window_->close(); });
        QTimer::singleShot(0, executar, [executar] { click(executar); });
        // Only a fault could leave the loop running: end it with another code then.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        guard.start(60000);
        const int code = QApplication::exec();
        QCOMPARE(code, 0);
        QCOMPARE(yields.count(), 40);
        QCOMPARE(window_->runDepth(), 0);
    }

  private:
    std::unique_ptr<FRMPrincipal> window_;
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
