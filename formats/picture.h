#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/growth_law.h"
#include "base/site_list.h"
#include "base/toolkit.h"

/// The aggregate as a picture: one square of `scale` pixels per site, or one pixel a block of
/// sites, coloured by arrival order. Standard library only, for every front end.
namespace dla {

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

/// The aggregate in at most `longest` pixels a side (longest >= 1), for aggregates too large for
/// one pixel a site: the square of 2e + 1 sites around the seed (e the largest |x| or |y|) is
/// cut into blocks of b x b sites, b = ceil((2e + 1) / longest), one pixel each. A pixel takes
/// viridis of the mean arrival order of its block's sites (as renderAggregate colours one site),
/// its brightness scaled by 0.25 + 0.75 sqrt(f), f the fraction of the block that is occupied,
/// so that the dense core shows against the sparse tips; empty blocks are black and the seed's
/// pixel is kSeedMark. Memory: 15 bytes a pixel, whatever the aggregate's extent.
Image renderDownsampled(const SiteList& arrivals, int longest);
/// The largest scale a picture is drawn at, in pixels a side a site.
inline constexpr int kLargestImageScale = 64;
/// The longest sides a downsampled picture is asked for, in pixels.
inline constexpr int kSmallestImageSize = 16;
inline constexpr int kLargestImageSize = 8000;

/// The most memory a picture may take: 1 GB, a full-size aggregate (N = 1000) at up to 18 pixels
/// a site. Larger pictures are refused before any run rather than failing after one.
inline constexpr std::uint64_t kLargestImageBytes = 1'000'000'000;

/// The largest |x| or |y| of `sites`: renderAggregate draws 2e + 1 sites a side.
template <class Sites>
std::int64_t extentOf(const Sites& sites) {
    std::int64_t extent = 0;
    for (const Site& s : sites)
        extent = std::max<std::int64_t>(
            {extent, std::abs(std::int64_t{s.x}), std::abs(std::int64_t{s.y})});
    return extent;
}

/// Bytes of renderAggregate's picture of sites of extent `extent`, at `scale`.
std::uint64_t aggregateImageBytes(std::int64_t extent, int scale);

/// Bytes of the picture of a run of size `systemSize` (>= 1) at `scale`: a run ends with a
/// particle one site beyond the square of half-side h = round(N / 2), so its picture is
/// 2h + 3 sites a side.
std::uint64_t imageBytes(std::int32_t systemSize, int scale);

}  // namespace dla
