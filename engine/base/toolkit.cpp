#include "base/toolkit.h"

#include <array>

namespace dla {

Rgb paletteColour(int number) {
    static constexpr std::array<Rgb, 16> kPalette{{
        {0, 0, 0},
        {0, 0, 128},
        {0, 128, 0},
        {0, 128, 128},
        {128, 0, 0},
        {128, 0, 128},
        {128, 128, 0},
        {192, 192, 192},
        {128, 128, 128},
        {0, 0, 255},
        {0, 255, 0},
        {0, 255, 255},
        {255, 0, 0},
        {255, 0, 255},
        {255, 255, 0},
        {255, 255, 255},
    }};
    if (number < 0 || number >= static_cast<int>(kPalette.size())) return {};
    return kPalette[static_cast<std::size_t>(number)];
}

}  // namespace dla
