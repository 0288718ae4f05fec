#include "system_size_text.h"

namespace dla {

SizeReading readSystemSize(const QString& text) {
    using Verdict = SizeReading::Verdict;
    QStringView digits = QStringView(text).trimmed();
    if (digits.startsWith(u'+')) digits = digits.mid(1);
    if (digits.isEmpty()) return {};
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return {};
    }
    while (digits.size() > 1 && digits.front() == u'0') digits = digits.mid(1);
    // Four significant digits hold every accepted size; more can only be too large, and must not
    // be converted, since they may not fit any integer type.
    if (digits.size() > 4) return {Verdict::TooLarge, 0};
    std::int32_t value = 0;
    for (const QChar c : digits) value = value * 10 + (c.unicode() - u'0');
    if (value == 0) return {};
    if (value > kLargestAcceptedSize) return {Verdict::TooLarge, 0};
    return {Verdict::Accepted, value};
}

}  // namespace dla
