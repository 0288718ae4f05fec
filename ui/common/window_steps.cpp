#include "window_steps.h"

namespace dla {

namespace {

constexpr std::int16_t kBackspace = 8;

}  // namespace

void initialiseRandomSource(RandomSource<FastGenerator>& random) {
    (void)random.Random(-1);
}

void filterKey(std::int16_t& KeyAscii) {
    if ((KeyAscii < 48 || KeyAscii > 57) && KeyAscii != kBackspace) KeyAscii = 0;
}

PixelRect clearCanvasForRun(RasterCanvas& canvas, std::int32_t SystemSize) {
    canvas.setScaleHeight(static_cast<float>(2 * SystemSize));
    canvas.setScaleWidth(static_cast<float>(2 * SystemSize));
    return canvas.fillBox(0.0f, 0.0f, canvas.scaleWidth(), canvas.scaleHeight(), pixelOf(0, 0, 0));
}

PixelRect plotSite(RasterCanvas& canvas, std::int32_t SystemSize, std::int16_t a, std::int16_t b,
                   Rgb cor) {
    canvas.setFillStyle(RasterCanvas::kSolid);
    canvas.setFillColour(pixelOf(cor));
    // N is at most kLargestSystemSize (the run command's limit), so 2N and the sums stay small
    // and whole.
    const double halfExtent = static_cast<double>(2 * SystemSize) / 2.0;
    const auto aMinus1 = static_cast<std::int16_t>(a - 1);
    const auto bMinus1 = static_cast<std::int16_t>(b - 1);
    const auto x = static_cast<float>(1.0 + 2 * aMinus1 + halfExtent);
    const auto y = static_cast<float>(1.0 + 2 * bMinus1 + halfExtent);
    return canvas.circle(x, y, 1.0f, pixelOf(cor));
}

}  // namespace dla
