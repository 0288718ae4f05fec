#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "base/toolkit.h"
#include "canvas.h"
#include "qt_toolkit.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "window/lattice.h"
#include "window_steps.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace dla {

/// The caption of the main window (two blanks before "28").
inline constexpr char16_t kWindowCaption[] = u"DLA (Quirandel)  28 de abril de 2003";
/// The fixed text of `TXTInforme`, one line break (CR LF) after each line.
inline constexpr char16_t kInformationText[] =
    u"Norvessa\r\n28/Abr/03\r\nSimulação \r\nNumérica em \r\nFísica \r\nda Matéria \r\n"
    u"Condensada.\r\nProf. Ormesto.\r\n";

/// The one window of the program. It owns all state: `SystemSize`, the random source with its
/// `ShuffleTable`, and the `Lattice`; its handlers validate the entry box, scale and clear the
/// canvas and start the growth and the fractal-dimension estimate, which reach the window back
/// through its toolkit.
///
/// Everything runs on the GUI thread. A run hands control to the event loop after every stuck
/// particle, and nothing is disabled meanwhile: a click on "Executar" during a run starts a
/// nested run that clears the Lattice and regrows it (the outer run then resumes on what the
/// nested one left), and "Dimensão Fractal" measures the aggregate as grown so far. Nested runs
/// share the one stack, so at most kMostNestedRuns are in progress at once: a press of
/// "Executar" beyond that is ignored, until one of them returns. Closing the window makes every
/// yield answer "stop", so all runs in progress unwind at once.
class FRMPrincipal : public QWidget {
    Q_OBJECT

  public:
    /// Runs in progress at most, the outermost one counted (see dla::kMostNestedRuns).
    static constexpr int kMostNestedRuns = dla::kMostNestedRuns;

    /// Draws its deviates from a clock-seeded generator, as the program does.
    explicit FRMPrincipal(QWidget* parent = nullptr);
    /// Draws from `generator` (a seeded one makes runs repeatable, for tests and benchmarks).
    explicit FRMPrincipal(FastGenerator generator, QWidget* parent = nullptr);
    ~FRMPrincipal() override;

    /// Runs once from the constructor, before the window is first shown: N = 1 and the random
    /// source initialised.
    void Form_Load();
    /// The key filter of `TXTN`: sets `KeyAscii` to 0 (cancel) unless it is a digit or backspace.
    void TXTN_KeyPress(std::int16_t& KeyAscii);
    /// "Executar": validates the text of `TXTN` and runs the growth on a cleared canvas.
    void CMDexecutar_Click();
    /// "Dimensão Fractal": the estimate on the Lattice of the last (or current) run.
    void CMDLxM_Click();
    /// Draws lattice site (a, b) as a disc of radius 1 centred at (2a + N - 1, 2b + N - 1) on
    /// the 2N x 2N canvas, N being `SystemSize`.
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor);

    /// The system size N: 1 after load and after a refused size, else the last accepted one.
    std::int32_t systemSize() const { return SystemSize; }
    const dla::Lattice& lattice() const { return Lattice; }

    // The toolkit operations that the engine reaches through QtToolkit.
    void setStatusText(const QString& text);
    /// Lets every pending window event run; false once the window has been closed.
    bool yieldToEvents();
    /// Modal box with the application's title, one OK button and the icon of `style`.
    void showMessage(const QString& text, MessageStyle style);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class FRMPrincipalProbe;  // the window's tests read the run state through it
    void createControls();
    void applyWindowFont();

    std::int32_t SystemSize = 0;
    dla::Lattice Lattice;
    QtToolkit toolkit_{*this};
    RandomSource<FastGenerator> random_;
    bool closing_ = false;
    int runDepth_ = 0;  ///< runs in progress, nested ones counted

    // The controls, in tab order; each also carries its name as its Qt object name.
    QPushButton* CMDExecutar = nullptr;
    Canvas* Tela = nullptr;
    QLineEdit* TXTN = nullptr;
    QLabel* LBLN = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* CMDLxM = nullptr;
    QPlainTextEdit* TXTInforme = nullptr;
    QLineEdit* TXTPercentual = nullptr;
};

}  // namespace dla
