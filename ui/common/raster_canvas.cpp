#include "raster_canvas.h"

#include <algorithm>
#include <cmath>

namespace dla {

namespace {

// Below this radius in pixels a disc is drawn as a small square.
constexpr double kSmallRadius = 1.5;

// Pixel index range [first, last] covered by the span [low, high] of device coordinates, or an
// empty range (first > last) when nothing is covered.
struct PixelSpan {
    int first;
    int last;
};

PixelSpan coveredPixels(double low, double high, int limit) {
    const double lo = std::max(std::floor(low), 0.0);
    const double hi = std::min(std::ceil(high) - 1.0, static_cast<double>(limit - 1));
    if (!(lo <= hi)) return {0, -1};
    return {static_cast<int>(lo), static_cast<int>(hi)};
}

}  // namespace

PixelRect PixelRect::joined(const PixelRect& other) const {
    if (empty()) return other;
    if (other.empty()) return *this;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

void RasterCanvas::reset(int width, int height, Pixel background, float defaultScaleWidth,
                         float defaultScaleHeight) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                   background);
    scaleWidth_ = defaultScaleWidth;
    scaleHeight_ = defaultScaleHeight;
}

double RasterCanvas::pixelsPerUnitX() const {
    return scaleWidth_ > 0.0f ? width_ / static_cast<double>(scaleWidth_) : 0.0;
}
double RasterCanvas::pixelsPerUnitY() const {
    return scaleHeight_ > 0.0f ? height_ / static_cast<double>(scaleHeight_) : 0.0;
}

void RasterCanvas::setPixel(int x, int y, Pixel colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
}

PixelRect RasterCanvas::fillBox(float x1, float y1, float x2, float y2, Pixel colour) {
    const double sx = pixelsPerUnitX();
    const double sy = pixelsPerUnitY();
    if (sx <= 0.0 || sy <= 0.0) return {};
    const PixelSpan xs = coveredPixels(std::min(x1, x2) * sx, std::max(x1, x2) * sx, width_);
    const PixelSpan ys = coveredPixels(std::min(y1, y2) * sy, std::max(y1, y2) * sy, height_);
    if (xs.first > xs.last || ys.first > ys.last) return {};
    for (int y = ys.first; y <= ys.last; ++y) {
        Pixel* row = pixels_.data() + static_cast<std::size_t>(y * width_);
        std::fill(row + xs.first, row + xs.last + 1, colour);
    }
    return {xs.first, ys.first, xs.last, ys.last};
}

PixelRect RasterCanvas::circle(float x, float y, float radius, Pixel outline) {
    const double sx = pixelsPerUnitX();
    const double sy = pixelsPerUnitY();
    if (sx <= 0.0 || sy <= 0.0 || radius < 0.0f) return {};
    const double cx = x * sx;
    const double cy = y * sy;
    const double rx = radius * sx;
    const double ry = radius * sy;
    bool coversAny = false;
    int left, right, top, bottom;
    if (rx < kSmallRadius && ry < kSmallRadius) {
        // A disc a pixel or two across is drawn as the pixels whose centres lie in its bounding
        // square, half-open to the right and down: discs one diameter apart then tile a row
        // without gaps or overlaps, where round pixel discs would leave a dotted line.
        left = static_cast<int>(std::ceil(cx - rx - 0.5));
        right = static_cast<int>(std::ceil(cx + rx - 0.5)) - 1;
        top = static_cast<int>(std::ceil(cy - ry - 0.5));
        bottom = static_cast<int>(std::ceil(cy + ry - 0.5)) - 1;
        for (int py = top; py <= bottom; ++py) {
            for (int px = left; px <= right; ++px) {
                setPixel(px, py, outline);
                coversAny = true;
            }
        }
    } else {
        // A pixel belongs to the circle when its centre lies inside it: to the outline when
        // that centre is less than a pixel from the circle's edge, to the interior otherwise.
        // Nothing reaches beyond the circle, so the discs of neighbouring sites only touch.
        const double rMin = std::min(rx, ry);
        const double interior = 1.0 - 1.0 / rMin;
        const bool solid = fillStyle_ == kSolid;
        left = static_cast<int>(std::floor(cx - rx));
        right = static_cast<int>(std::ceil(cx + rx));
        top = static_cast<int>(std::floor(cy - ry));
        bottom = static_cast<int>(std::ceil(cy + ry));
        for (int py = top; py <= bottom; ++py) {
            const double dy = (py + 0.5 - cy) / ry;
            for (int px = left; px <= right; ++px) {
                const double dx = (px + 0.5 - cx) / rx;
                const double d2 = dx * dx + dy * dy;
                if (d2 > 1.0) continue;
                coversAny = true;
                if (d2 < interior * interior) {
                    if (solid) setPixel(px, py, fillColour_);
                } else {
                    setPixel(px, py, outline);
                }
            }
        }
    }
    if (!coversAny) {
        // Too small to reach a pixel centre (a large logical extent): one pixel keeps it visible.
        left = right = static_cast<int>(std::floor(cx));
        top = bottom = static_cast<int>(std::floor(cy));
        setPixel(left, top, outline);
    }
    return {std::max(left, 0), std::max(top, 0), std::min(right, width_ - 1),
            std::min(bottom, height_ - 1)};
}

}  // namespace dla
