#pragma once

#include <cstdint>
#include <vector>

namespace dla {

/// Twips (1/1440 inch) to a pixel at 96 dots per inch: the unit in which the window is laid out,
/// and a canvas's scale before one is set.
inline constexpr int kTwipsPerPixel = 15;

/// A colour as the window's pixels hold it: 0xAARRGGBB with alpha 0xFF.
using Pixel = std::uint32_t;

constexpr Pixel pixelOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return 0xFF000000u | (Pixel{red} << 16) | (Pixel{green} << 8) | Pixel{blue};
}

/// A rectangle of pixels, both corners included; empty when left > right or top > bottom.
struct PixelRect {
    int left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return left > right || top > bottom; }
    /// The smallest rectangle holding both.
    PixelRect joined(const PixelRect& other) const;
};

/// The drawing area of the picture box `Tela`, in pixels, with its logical coordinate system:
/// the origin at the top-left corner, x growing to the right and y downward, spanning
/// scaleWidth() by scaleHeight() units. The window's canvas shows it on screen and the page
/// copies it to its canvas element, so both draw the same pixels for the same calls.
class RasterCanvas {
  public:
    /// Fill style 0: closed figures are filled with the fill colour.
    static constexpr std::int16_t kSolid = 0;
    /// Fill style 1: closed figures are drawn as outlines only.
    static constexpr std::int16_t kTransparent = 1;

    /// Gives the area `width` by `height` pixels (at least 0) painted in `background`, and the
    /// logical scale `defaultScaleWidth` by `defaultScaleHeight`. Anything drawn is gone.
    void reset(int width, int height, Pixel background, float defaultScaleWidth,
               float defaultScaleHeight);

    int width() const { return width_; }
    int height() const { return height_; }
    /// Row by row from the top, width() pixels a row.
    const Pixel* pixels() const { return pixels_.data(); }
    Pixel pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

    /// Logical extent, in units; values <= 0 leave nothing drawable until set again.
    void setScaleWidth(float width) { scaleWidth_ = width; }
    void setScaleHeight(float height) { scaleHeight_ = height; }
    float scaleWidth() const { return scaleWidth_; }
    float scaleHeight() const { return scaleHeight_; }

    void setFillStyle(std::int16_t style) { fillStyle_ = style; }
    std::int16_t fillStyle() const { return fillStyle_; }
    void setFillColour(Pixel colour) { fillColour_ = colour; }
    Pixel fillColour() const { return fillColour_; }

    /// Paints the rectangle between the corners, border and interior, in `colour`. Returns the
    /// pixels it changed.
    PixelRect fillBox(float x1, float y1, float x2, float y2, Pixel colour);

    /// A full circle centred at (x, y) with `radius` logical units, its outline in `outline`,
    /// filled with the fill colour when the fill style is solid. A circle too small to cover the
    /// centre of any pixel still colours the pixel that holds its centre. Clipped to the area.
    /// Returns the pixels it may have changed.
    PixelRect circle(float x, float y, float radius, Pixel outline);

  private:
    double pixelsPerUnitX() const;
    double pixelsPerUnitY() const;
    void setPixel(int x, int y, Pixel colour);

    int width_ = 0, height_ = 0;
    std::vector<Pixel> pixels_;
    float scaleWidth_ = 0.0f;
    float scaleHeight_ = 0.0f;
    std::int16_t fillStyle_ = kTransparent;
    Pixel fillColour_ = pixelOf(0, 0, 0);
};

}  // namespace dla
