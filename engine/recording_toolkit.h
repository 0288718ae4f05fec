#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit.h"

namespace dla {

/// Logs every toolkit call in order, for tests. `onYield` (if set) runs inside each yield, as a
/// window event handler would, and its answer is the yield's; without it every yield goes on.
class RecordingToolkit final : public Toolkit {
  public:
    enum class Kind { StatusText, Yield, Plot, Message };

    struct Call {
        Kind kind = Kind::Yield;
        std::string text;  ///< status or message text
        std::int16_t a = 0;
        std::int16_t b = 0;
        Rgb colour;
        MessageStyle style = MessageStyle::None;
        friend bool operator==(const Call&, const Call&) = default;

        static Call status(std::string_view text) {
            Call c;
            c.kind = Kind::StatusText;
            c.text = text;
            return c;
        }
        static Call yielded() { return Call{}; }
        static Call plot(std::int16_t a, std::int16_t b, Rgb colour) {
            Call c;
            c.kind = Kind::Plot;
            c.a = a;
            c.b = b;
            c.colour = colour;
            return c;
        }
        static Call message(std::string_view text, MessageStyle style) {
            Call c;
            c.kind = Kind::Message;
            c.text = text;
            c.style = style;
            return c;
        }
    };

    std::vector<Call> calls;
    std::function<bool()> onYield;
    std::string separator = ".";
    /// When false, plots are counted but not logged (long runs).
    bool logPlots = true;
    std::int64_t plotCount = 0;

    void setStatusText(std::string_view text) override { calls.push_back(Call::status(text)); }
    bool yield() override {
        calls.push_back(Call::yielded());
        return onYield ? onYield() : true;
    }
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor) override {
        ++plotCount;
        if (logPlots) calls.push_back(Call::plot(a, b, cor));
    }
    void messageBox(std::string_view text, MessageStyle style) override {
        calls.push_back(Call::message(text, style));
    }
    std::string decimalSeparator() const override { return separator; }

    /// The texts of the message boxes shown so far.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const Call& c : calls)
            if (c.kind == Kind::Message) out.push_back(c.text);
        return out;
    }
};

}  // namespace dla
