#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/toolkit.h"

namespace dla {

class FRMPrincipal;

/// The toolkit operations of the engine, carried out by the main window: the status text goes
/// into `TXTPercentual`, plots into `Tela` through `retangulo`, messages into modal boxes with the
/// application's title, and the yield runs every pending window event.
class QtToolkit final : public Toolkit {
  public:
    explicit QtToolkit(FRMPrincipal& window) : window_(window) {}

    void setStatusText(std::string_view text) override;
    /// False once the window has been closed: every run in progress, nested ones included,
    /// then returns at its next yield.
    [[nodiscard]] bool yield() override;
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor) override;
    void messageBox(std::string_view text, MessageStyle style) override;
    /// The decimal point of the system locale.
    [[nodiscard]] std::string decimalSeparator() const override;

  private:
    FRMPrincipal& window_;
};

}  // namespace dla
