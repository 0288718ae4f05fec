#pragma once

#include <cstdint>
#include <string_view>

namespace dla {

/// What the run command makes of the text of the entry box.
struct SizeReading {
    enum class Verdict {
        Accepted,    ///< `value` is the system size, 1..kLargestSystemSize
        TooLarge,    ///< a whole number above kLargestSystemSize, however many digits
        NotANumber,  ///< anything else, including "0" and every negative or fractional number
    };
    Verdict verdict = Verdict::NotANumber;
    std::int32_t value = 0;  ///< only meaningful when Accepted
};

/// Reads a system size from `text` (UTF-16, as the window's and the page's text boxes hold it).
/// Typing lets only digits into the box, but pasting can bring anything, so the rule is stated
/// for every text: white space around the number is ignored, one leading "+" is allowed, and
/// what remains must be ASCII decimal digits. Its value decides: 1..kLargestSystemSize is
/// accepted ("0050" is 50), anything larger (also beyond 2^31 - 1, with any number of digits) is
/// too large, and 0 is not a number of particles. A sign "-", a decimal point or comma, an
/// exponent, inner blanks, separators and other digit scripts make the text not a number: a
/// system size is a count, and guessing what "2.5e2" was meant to be would surprise more users
/// than the message does.
SizeReading readSystemSize(std::u16string_view text);

}  // namespace dla
