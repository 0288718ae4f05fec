#include "canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace dla {

namespace {

constexpr int kBorderWidth = 2;
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

Canvas::Canvas(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorderWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Canvas::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    ensureImageSize();
}

void Canvas::ensureImageSize() {
    const qreal ratio = devicePixelRatioF();
    const QSize size = contentsRect().size() * ratio;
    if (size == image_.size()) return;
    // The canvas has a fixed size in the window, so its size changes only while it is being
    // laid out, before anything is drawn: the picture starts afresh.
    image_ = QImage(size, QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    image_.fill(palette().color(QPalette::Window));
    scaleWidth_ = static_cast<float>(contentsRect().width() * kTwipsPerPixel);
    scaleHeight_ = static_cast<float>(contentsRect().height() * kTwipsPerPixel);
}

// The image comes first, so that making it cannot overwrite the scale with its default.
void Canvas::setScaleWidth(float width) {
    ensureImageSize();
    scaleWidth_ = width;
}
void Canvas::setScaleHeight(float height) {
    ensureImageSize();
    scaleHeight_ = height;
}

double Canvas::pixelsPerUnitX() const {
    return scaleWidth_ > 0.0f ? image_.width() / static_cast<double>(scaleWidth_) : 0.0;
}
double Canvas::pixelsPerUnitY() const {
    return scaleHeight_ > 0.0f ? image_.height() / static_cast<double>(scaleHeight_) : 0.0;
}

void Canvas::setPixel(int x, int y, QRgb colour) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = colour;
}

void Canvas::fillBox(float x1, float y1, float x2, float y2, QRgb colour) {
    ensureImageSize();
    const double sx = pixelsPerUnitX();
    const double sy = pixelsPerUnitY();
    if (sx <= 0.0 || sy <= 0.0) return;
    const PixelSpan xs =
        coveredPixels(std::min(x1, x2) * sx, std::max(x1, x2) * sx, image_.width());
    const PixelSpan ys =
        coveredPixels(std::min(y1, y2) * sy, std::max(y1, y2) * sy, image_.height());
    if (xs.first > xs.last || ys.first > ys.last) return;
    for (int y = ys.first; y <= ys.last; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(row + xs.first, row + xs.last + 1, colour);
    }
    repaintImageRect(xs.first, ys.first, xs.last, ys.last);
}

void Canvas::circle(float x, float y, float radius, QRgb outline) {
    ensureImageSize();
    const double sx = pixelsPerUnitX();
    const double sy = pixelsPerUnitY();
    if (sx <= 0.0 || sy <= 0.0 || radius < 0.0f) return;
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
    repaintImageRect(std::max(left, 0), std::max(top, 0), std::min(right, image_.width() - 1),
                     std::min(bottom, image_.height() - 1));
}

void Canvas::repaintImageRect(int left, int top, int right, int bottom) {
    if (left > right || top > bottom) return;
    const qreal ratio = image_.devicePixelRatio();
    const QRectF device(left, top, right - left + 1, bottom - top + 1);
    const QRectF logical(device.topLeft() / ratio, device.size() / ratio);
    update(logical.toAlignedRect().translated(contentsRect().topLeft()));
}

void Canvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QRect dirty = event->rect() & area;
    if (!dirty.isEmpty()) {
        const qreal ratio = image_.devicePixelRatio();
        const QRect local = dirty.translated(-area.topLeft());
        const QRectF source(local.x() * ratio, local.y() * ratio, local.width() * ratio,
                            local.height() * ratio);
        painter.drawImage(QRectF(dirty), image_, source);
    }
    if (!area.contains(event->rect())) drawFrame(&painter);
}

}  // namespace dla
