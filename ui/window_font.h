#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <vector>

namespace dla {

/// A caption and the room its control gives it, in pixels.
struct CaptionSpace {
    QString text;
    QSize room;
};

/// Whether every caption fits its room whole in `font`: its advance within the width and its
/// line height within the height.
bool captionsFit(const QFont& font, const std::vector<CaptionSpace>& captions);

/// "MS Sans Serif" at `pointSize`, falling back to the platform's sans serif where it is missing.
QFont msSansSerif(double pointSize);

/// The window's default font: the small sans serif the layout was drawn for, "MS Sans Serif"
/// 8.25 pt, or where that face is missing (its substitute is usually wider) the first of a few
/// smaller and narrower variants in which every caption fits whole.
QFont chooseWindowFont(const std::vector<CaptionSpace>& captions);

}  // namespace dla
