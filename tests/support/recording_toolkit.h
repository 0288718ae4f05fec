#pragma once

#include <string>
#include <vector>

#include "base/toolkit.h"

namespace dla::test {

/// Logs every toolkit call in order; every yield lets the run go on.
class RecordingToolkit final : public Toolkit {
  public:
    enum class Kind { Status, Yield, Plot, Message };
    struct Call {
        Kind kind;
        std::string text;  ///< status or message text
        int a, b;          ///< plotted site
        Rgb colour;
        MessageStyle style;
        friend bool operator==(const Call&, const Call&) = default;
    };
    std::vector<Call> calls;
    std::string separator = ".";

    void setStatusText(std::string_view text) override {
        calls.push_back({Kind::Status, std::string(text), 0, 0, {}, MessageStyle::None});
    }
    bool yield() override {
        calls.push_back({Kind::Yield, {}, 0, 0, {}, MessageStyle::None});
        return true;
    }
    void retangulo(std::int16_t a, std::int16_t b, Rgb cor) override {
        calls.push_back({Kind::Plot, {}, a, b, cor, MessageStyle::None});
    }
    void messageBox(std::string_view text, MessageStyle style) override {
        calls.push_back({Kind::Message, std::string(text), 0, 0, {}, style});
    }
    std::string decimalSeparator() const override { return separator; }
};

}  // namespace dla::test
