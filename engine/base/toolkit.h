#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The operations through which the engine reaches the window: the status box, the event-loop
/// yield, the plotting of one site and the modal message box. The window implements them with
/// its toolkit; tests record them; the headless tool ignores them.
namespace dla {

/// Icon of a message box, by the style number its callers pass.
enum class MessageStyle : std::int16_t {
    None = 0,
    Exclamation = 48,
    Information = 64,
};

/// A 24-bit colour.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

/// The fixed 16-colour palette. `number` in 0..15; 2 is green (0, 128, 0), 10 light green
/// (0, 255, 0). Any other number gives black.
Rgb paletteColour(int number);

/// Colour numbers the growth plots with.
inline constexpr int kSeedColour = 2;
inline constexpr int kParticleColour = 10;

class Toolkit {
  public:
    virtual ~Toolkit() = default;

    /// Replaces the text of the status box.
    virtual void setStatusText(std::string_view text) = 0;

    /// Lets every pending window event run, then returns. The answer is false when the run in
    /// progress should end now (the window is closing); the caller then returns at once.
    [[nodiscard]] virtual bool yield() = 0;

    /// Draws lattice site (a, b) on the canvas in colour `cor`.
    virtual void retangulo(std::int16_t a, std::int16_t b, Rgb cor) = 0;

    /// Shows a modal message box with the application's title and one OK button; returns when
    /// the user has closed it. `text` is UTF-8.
    virtual void messageBox(std::string_view text, MessageStyle style) = 0;

    /// The decimal separator of the user's number settings, UTF-8.
    [[nodiscard]] virtual std::string decimalSeparator() const { return "."; }
};

/// Does nothing and never asks a run to stop: for headless runs.
class SilentToolkit final : public Toolkit {
  public:
    void setStatusText(std::string_view) override {}
    bool yield() override { return true; }
    void retangulo(std::int16_t, std::int16_t, Rgb) override {}
    void messageBox(std::string_view, MessageStyle) override {}
};

}  // namespace dla
