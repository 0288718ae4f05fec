#include "window_font.h"

#include <QFontMetrics>
#include <array>

namespace dla {

bool captionsFit(const QFont& font, const std::vector<CaptionSpace>& captions) {
    const QFontMetrics metrics(font);
    for (const CaptionSpace& caption : captions) {
        if (metrics.horizontalAdvance(caption.text) > caption.room.width()) return false;
        if (metrics.height() > caption.room.height()) return false;
    }
    return true;
}

QFont msSansSerif(double pointSize) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

QFont chooseWindowFont(const std::vector<CaptionSpace>& captions) {
    struct Variant {
        double pointSize;
        int stretch;
    };
    // Smaller before narrower: a squeezed face reads worse than a slightly smaller one.
    static constexpr std::array<Variant, 7> kVariants{{
        {8.25, QFont::Unstretched},
        {8.25, QFont::SemiCondensed},
        {7.5, QFont::Unstretched},
        {7.5, QFont::SemiCondensed},
        {7.0, QFont::SemiCondensed},
        {7.0, QFont::Condensed},
        {6.5, QFont::Condensed},
    }};
    QFont font;
    for (const Variant& variant : kVariants) {
        font = msSansSerif(variant.pointSize);
        font.setStretch(variant.stretch);
        if (captionsFit(font, captions)) break;
    }
    return font;
}

}  // namespace dla
