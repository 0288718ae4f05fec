// Whatever text is pasted into the entry box, the reading is one of the three verdicts, and it
// agrees with the rule read independently: blanks around, one leading "+", then ASCII digits whose
// value decides.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "system_size_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Verdict = dla::SizeReading::Verdict;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const dla::SizeReading reading = dla::readSystemSize(text);

    QString digits = text.trimmed();
    if (digits.startsWith(u'+')) digits.remove(0, 1);
    const bool number = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == u'0') ++first;
    const QString significant = number ? digits.mid(first) : QString();
    Verdict expected = Verdict::NotANumber;
    if (number && !significant.isEmpty())
        expected = significant.size() <= 4 && significant.toInt() <= 1000 ? Verdict::Accepted
                                                                          : Verdict::TooLarge;
    if (reading.verdict != expected) std::abort();
    if (expected == Verdict::Accepted && reading.value != significant.toInt()) std::abort();
    return 0;
}
