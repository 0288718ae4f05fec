#include "system_size_text.h"

#include "window/growth.h"

namespace dla {

namespace {

// Unicode's white space, the characters the window's toolkit trims: the controls, the space
// separators and the line and paragraph separators.
bool isWhiteSpace(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace

SizeReading readSystemSize(std::u16string_view text) {
    using Verdict = SizeReading::Verdict;
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == u'+') text.remove_prefix(1);
    if (text.empty()) return {};
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return {};
    }
    // Read digit by digit and stopped as soon as it passes the limit, the value never
    // overflows, however many digits there are.
    std::int32_t value = 0;
    for (const char16_t c : text) {
        value = value * 10 + (c - u'0');
        if (value > kLargestSystemSize) return {Verdict::TooLarge, 0};
    }
    if (value == 0) return {};
    return {Verdict::Accepted, value};
}

}  // namespace dla
