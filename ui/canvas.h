#pragma once

#include <QFrame>
#include <QImage>
#include <QRgb>
#include <cstdint>

#include "raster_canvas.h"

namespace dla {

/// The picture box `Tela`: a drawing area with a logical coordinate system whose origin is the
/// top-left corner, x growing to the right and y downward, spanning scaleWidth() by
/// scaleHeight() units. The picture lives in a backing image (a RasterCanvas, which the page
/// draws with too), so it survives the window being covered and uncovered, and each drawing
/// operation repaints only the pixels it changed.
///
/// A sunken 2-pixel border surrounds the drawing area; before anything is drawn the area shows
/// the window's background colour, and its scale is its size in twips.
class Canvas : public QFrame {
    Q_OBJECT

  public:
    /// Fill style 0: closed figures are filled with the fill colour.
    static constexpr std::int16_t kSolid = RasterCanvas::kSolid;
    /// Fill style 1: closed figures are drawn as outlines only.
    static constexpr std::int16_t kTransparent = RasterCanvas::kTransparent;

    explicit Canvas(QWidget* parent = nullptr);

    /// Logical extent, in units; values <= 0 leave nothing drawable until set again.
    void setScaleWidth(float width);
    void setScaleHeight(float height);
    float scaleWidth() const { return raster_.scaleWidth(); }
    float scaleHeight() const { return raster_.scaleHeight(); }

    /// Paints the rectangle between the corners, border and interior, in `colour`.
    void fillBox(float x1, float y1, float x2, float y2, QRgb colour);

    void setFillStyle(std::int16_t style) { raster_.setFillStyle(style); }
    std::int16_t fillStyle() const { return raster_.fillStyle(); }
    void setFillColour(QRgb colour) { raster_.setFillColour(colour); }
    QRgb fillColour() const { return raster_.fillColour(); }

    /// A full circle centred at (x, y) with `radius` logical units, its outline in `outline`,
    /// filled with the fill colour when the fill style is solid. A circle too small to cover the
    /// centre of any pixel still colours the pixel that holds its centre. Clipped to the area.
    void circle(float x, float y, float radius, QRgb outline);

    /// The pixels and scale themselves, for drawing that reports what it changed to changed().
    RasterCanvas& raster();
    /// Schedules a repaint of the pixels in `rect` (device pixels).
    void changed(const PixelRect& rect);

    /// A copy of the drawing area's pixels (device pixels, format RGB32), which later drawing
    /// leaves as it is.
    QImage image() const { return image_.copy(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    /// Gives the backing image the drawing area's size; a widget that was never shown has had
    /// no resize event yet.
    void ensureImageSize();
    RasterCanvas raster_;
    QImage image_;  ///< raster_'s pixels, not a copy
};

}  // namespace dla
