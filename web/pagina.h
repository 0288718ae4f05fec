#pragma once

#include <cstdint>
#include <string_view>

#include "base/toolkit.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "raster_canvas.h"
#include "window/lattice.h"

namespace dla {

class Pagina;

/// The toolkit operations as the page does them: the status box and the message box through the
/// page's script, the canvas in a RasterCanvas that the script copies to the screen.
///
/// A browser runs the page's events only when the program has handed control back to it, which
/// takes a task of its own (a fraction of a millisecond), and shows a new picture at most once a
/// frame. So the yield hands control back once kSliceSeconds has passed since the last time,
/// after copying what was drawn meanwhile to the screen, and then runs the events that arrived,
/// as the window's yield does: every particle is drawn, events wait at most a slice, and a run is
/// not slowed by thousands of hand-overs a second.
class WebToolkit final : public Toolkit {
  public:
    static constexpr double kSliceSeconds = 0.015;

    explicit WebToolkit(Pagina& page) : page_(page) {}
    void setStatusText(std::string_view text) override;
    bool yield() override;
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor) override;
    void messageBox(std::string_view text, MessageStyle style) override;
    std::string decimalSeparator() const override;

  private:
    Pagina& page_;
    double lastHandOver_ = 0.0;
};

/// The page's window: the state and the four handlers of the program's one window, on the same
/// engine and the same drawing steps, with the page's controls. Commands that arrive while a run
/// is in progress run inside its yield, nested as in the window.
class Pagina {
  public:
    /// Draws from `generator`; the page seeds it from the clock, or from the address's
    /// "semente" for a run that can be repeated.
    explicit Pagina(FastGenerator generator);

    void Form_Load();
    void TXTN_KeyPress(std::int16_t& KeyAscii);
    void CMDexecutar_Click();
    void CMDLxM_Click();
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor);

    /// Runs every command the page's script has queued, in order.
    void runQueuedCommands();
    /// Copies what was drawn since the last copy to the canvas on screen.
    void showDrawing();

    std::int32_t systemSize() const { return SystemSize; }
    const RasterCanvas& canvas() const { return Tela; }

  private:
    std::int32_t SystemSize = 0;
    dla::Lattice Lattice;
    WebToolkit toolkit_{*this};
    RandomSource<FastGenerator> random_;
    RasterCanvas Tela;
    PixelRect drawn_;  ///< drawn since the last copy to the screen
    int runDepth_ = 0;
};

}  // namespace dla
