#include "canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <type_traits>

namespace dla {

namespace {

constexpr int kBorderWidth = 2;

// QRgb and the raster's pixels are both 0xAARRGGBB, so the raster's memory is an RGB32 image.
static_assert(std::is_same_v<QRgb, Pixel>);

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
    raster_.reset(size.width(), size.height(), palette().color(QPalette::Window).rgb(),
                  static_cast<float>(contentsRect().width() * kTwipsPerPixel),
                  static_cast<float>(contentsRect().height() * kTwipsPerPixel));
    image_ = QImage(reinterpret_cast<const uchar*>(raster_.pixels()), raster_.width(),
                    raster_.height(), QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
}

// The image comes first, so that making it cannot overwrite the scale with its default.
void Canvas::setScaleWidth(float width) {
    ensureImageSize();
    raster_.setScaleWidth(width);
}
void Canvas::setScaleHeight(float height) {
    ensureImageSize();
    raster_.setScaleHeight(height);
}

void Canvas::fillBox(float x1, float y1, float x2, float y2, QRgb colour) {
    ensureImageSize();
    changed(raster_.fillBox(x1, y1, x2, y2, colour));
}

void Canvas::circle(float x, float y, float radius, QRgb outline) {
    ensureImageSize();
    changed(raster_.circle(x, y, radius, outline));
}

RasterCanvas& Canvas::raster() {
    ensureImageSize();
    return raster_;
}

void Canvas::changed(const PixelRect& rect) {
    if (rect.empty()) return;
    const qreal ratio = image_.devicePixelRatio();
    const QRectF device(rect.left, rect.top, rect.right - rect.left + 1,
                        rect.bottom - rect.top + 1);
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
