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
    // Read digit by digit and stopped as soon as it passes the limit, the value never
    // overflows, however many digits there are.
    std::int32_t value = 0;
    for (const QChar c : digits) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > kLargestSystemSize) return {Verdict::TooLarge, 0};
    }
    if (value == 0) return {};
    return {Verdict::Accepted, value};
}

}  // namespace dla
