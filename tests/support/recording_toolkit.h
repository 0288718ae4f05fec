#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit.h"

namespace dla::test {

/// Logs every toolkit call in order. `onYield` (if set) runs inside each yield, as a window event
/// would, and its answer is the yield's; without it every yield lets the run go on.
class RecordingToolkit final : public Toolkit {
  public:
    enum class Kind { Status, Yield, Plot, Message };
    struct Call {
        Kind kind = Kind::Yield;
        std::string text;  ///< status or message text
        int a = 0, b = 0;  ///< plotted site
        Rgb colour = {};
        MessageStyle style = MessageStyle::None;
        friend bool operator==(const Call&, const Call&) = default;
    };

    std::vector<Call> calls;
    std::function<bool()> onYield;
    std::string separator = ".";

    void setStatusText(std::string_view text) override { log(Kind::Status, text); }
    bool yield() override {
        log(Kind::Yield);
        return !onYield || onYield();
    }
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor) override {
        log(Kind::Plot, {}, a, b, cor);
    }
    void messageBox(std::string_view text, MessageStyle style) override {
        log(Kind::Message, text, 0, 0, {}, style);
    }
    std::string decimalSeparator() const override { return separator; }

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const Call& c : calls)
            if (c.kind == Kind::Message) out.push_back(c.text);
        return out;
    }

  private:
    void log(Kind kind, std::string_view text = {}, int a = 0, int b = 0, Rgb colour = {},
             MessageStyle style = MessageStyle::None) {
        Call& c = calls.emplace_back();
        c.kind = kind;
        c.text = text;
        c.a = a;
        c.b = b;
        c.colour = colour;
        c.style = style;
    }
};

}  // namespace dla::test
