// What the page must show for a seed: the window's first run of size N from that seed, drawn by
// the shared drawing steps, and the estimate's message after it. Writes the canvas's pixels as
// RGBA bytes to the file named second, and the message, UTF-8, to standard output.
//
//   page_reference N SEED PIXELS
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "estimate/fractal_dimension.h"
#include "raster_canvas.h"
#include "window/growth.h"
#include "window_steps.h"

namespace {

class DrawingToolkit final : public dla::Toolkit {
  public:
    DrawingToolkit(dla::RasterCanvas& canvas, std::int32_t size) : canvas_(canvas), size_(size) {}
    void setStatusText(std::string_view) override {}
    bool yield() override { return true; }
    void retangulo(std::int16_t a, std::int16_t b, dla::Rgb cor) override {
        (void)dla::plotSite(canvas_, size_, a, b, cor);
    }
    void messageBox(std::string_view text, dla::MessageStyle) override { message = text; }
    std::string message;

  private:
    dla::RasterCanvas& canvas_;
    std::int32_t size_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: page_reference N SEED PIXELS\n");
        return 2;
    }
    const auto size = static_cast<std::int32_t>(std::atoi(argv[1]));
    const auto seed = std::strtoull(argv[2], nullptr, 10);
    constexpr int kSide = dla::kTelaDrawingPixels;
    dla::RasterCanvas canvas;
    canvas.reset(kSide, kSide, dla::pixelOf(0, 0, 0), kSide * dla::kTwipsPerPixel,
                 kSide * dla::kTwipsPerPixel);
    DrawingToolkit toolkit(canvas, size);
    dla::Lattice lattice;
    dla::RandomSource<dla::FastGenerator> random(dla::FastGenerator::of(seed), toolkit);
    dla::initialiseRandomSource(random);
    (void)dla::clearCanvasForRun(canvas, size);
    (void)dla::Gerar_DLA(size, lattice, random, toolkit);
    (void)dla::Dimensão_Fractal(size, lattice, random, toolkit);

    std::ofstream out(argv[3], std::ios::binary);
    for (int i = 0; i < kSide * kSide; ++i) {
        const dla::Pixel p = canvas.pixels()[i];
        const char rgba[4] = {static_cast<char>(p >> 16 & 0xFF), static_cast<char>(p >> 8 & 0xFF),
                              static_cast<char>(p & 0xFF), static_cast<char>(p >> 24 & 0xFF)};
        out.write(rgba, 4);
    }
    std::printf("%s\n", toolkit.message.c_str());
    return out ? 0 : 1;
}
