#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "toolkit.h"
#include "walk.h"

/// The aggregate as a picture: one square of `scale` pixels per site, coloured by arrival order,
/// written as PNG through libpng.
namespace dla::cli {

/// 8-bit RGB pixels, row by row from the top, three bytes a pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Rgb at(int x, int y) const;
    void set(int x, int y, Rgb colour);
};

/// The viridis colour map (dark violet at 0, through blue and green, to yellow at 1), by linear
/// interpolation between ten stops taken at equal steps along it. `t` is clamped to [0, 1].
Rgb viridis(double t);

/// The colour that marks the seed: red, which the colour map never reaches.
inline constexpr Rgb kSeedMark{255, 0, 0};

/// Draws the sites on black, the first of `arrivals` (the seed) in kSeedMark and the others by
/// viridis of their place in the order, early dark and late bright. A ring of kSeedMark, radius
/// max(6, 4 scale) pixels around the seed's centre, is drawn over black pixels only. The picture is
/// centred on the seed and just wide enough for the site farthest out along either axis, e: it
/// shows 2e + 1 sites a side, `scale` pixels each; x grows to the right and y downward, as on the
/// window's canvas. `scale` >= 1.
Image renderAggregate(const std::vector<Site>& arrivals, int scale);

/// Writes `image` as an 8-bit RGB PNG to `stream`; throws std::runtime_error when libpng fails.
void writePng(const Image& image, std::FILE* stream);

/// Writes `image` to `path` whole or not at all (see writeFileAtomically).
void savePng(const Image& image, const std::string& path);

}  // namespace dla::cli
