#pragma once

#include <QFrame>
#include <QImage>
#include <QRgb>
#include <cstdint>

namespace dla {

/// Twips (1/1440 inch) to a pixel at 96 dots per inch: the unit in which the window is laid out,
/// and a canvas's scale before one is set.
inline constexpr int kTwipsPerPixel = 15;

/// The picture box `Tela`: a drawing area with a logical coordinate system whose origin is the
/// top-left corner, x growing to the right and y downward, spanning scaleWidth() by
/// scaleHeight() units. The picture lives in a backing image, so it survives the window being
/// covered and uncovered, and each drawing operation repaints only the pixels it changed.
///
/// A sunken 2-pixel border surrounds the drawing area; before anything is drawn the area shows
/// the window's background colour, and its scale is its size in twips.
class Canvas : public QFrame {
    Q_OBJECT

  public:
    /// Fill style 0: closed figures are filled with the fill colour.
    static constexpr std::int16_t kSolid = 0;
    /// Fill style 1: closed figures are drawn as outlines only.
    static constexpr std::int16_t kTransparent = 1;

    explicit Canvas(QWidget* parent = nullptr);

    /// Logical extent, in units; values <= 0 leave nothing drawable until set again.
    void setScaleWidth(float width);
    void setScaleHeight(float height);
    float scaleWidth() const { return scaleWidth_; }
    float scaleHeight() const { return scaleHeight_; }

    /// Paints the rectangle between the corners, border and interior, in `colour`.
    void fillBox(float x1, float y1, float x2, float y2, QRgb colour);

    void setFillStyle(std::int16_t style) { fillStyle_ = style; }
    std::int16_t fillStyle() const { return fillStyle_; }
    void setFillColour(QRgb colour) { fillColour_ = colour; }
    QRgb fillColour() const { return fillColour_; }

    /// A full circle centred at (x, y) with `radius` logical units, its outline in `outline`,
    /// filled with the fill colour when the fill style is solid. A circle too small to cover the
    /// centre of any pixel still colours the pixel that holds its centre. Clipped to the area.
    void circle(float x, float y, float radius, QRgb outline);

    /// The drawing area's pixels (device pixels, format RGB32).
    const QImage& image() const { return image_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    /// Gives the backing image the drawing area's size; a widget that was never shown has had
    /// no resize event yet.
    void ensureImageSize();
    double pixelsPerUnitX() const;
    double pixelsPerUnitY() const;
    void setPixel(int x, int y, QRgb colour);
    /// Schedules a repaint of the image rectangle (device pixels) that has changed.
    void repaintImageRect(int left, int top, int right, int bottom);

    QImage image_;
    float scaleWidth_ = 0.0f;
    float scaleHeight_ = 0.0f;
    std::int16_t fillStyle_ = kTransparent;
    QRgb fillColour_ = qRgb(0, 0, 0);
};

}  // namespace dla
