#include "formats/picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "window/growth.h"

namespace dla {

namespace {

// One seed cell is lost in a picture of thousands, so a thin ring around it is drawn too,
// through the background only, so that no particle is hidden.
void markSeed(Image& image, int left, int top, int scale) {
    const double cx = left + scale / 2.0, cy = top + scale / 2.0;
    const double radius = std::max(6.0, 4.0 * scale);
    const int reach = static_cast<int>(radius) + 2;
    for (int y = std::max(0, top - reach); y < std::min(image.height, top + scale + reach); ++y) {
        for (int x = std::max(0, left - reach); x < std::min(image.width, left + scale + reach);
             ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (std::abs(d - radius) < 0.6 && image.at(x, y) == Rgb{}) image.set(x, y, kSeedMark);
        }
    }
}

}  // namespace

Rgb Image::at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

void Image::set(int x, int y, Rgb colour) {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          3;
    rgb[i] = colour.red;
    rgb[i + 1] = colour.green;
    rgb[i + 2] = colour.blue;
}

Rgb viridis(double t) {
    static constexpr std::array<Rgb, 10> kStops{{
        {68, 1, 84},
        {72, 40, 120},
        {62, 74, 137},
        {49, 104, 142},
        {38, 130, 142},
        {31, 158, 137},
        {53, 183, 121},
        {109, 205, 89},
        {180, 222, 44},
        {253, 231, 37},
    }};
    const double position = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * (kStops.size() - 1);
    const auto lower = std::min(static_cast<std::size_t>(position), kStops.size() - 2);
    const double f = position - static_cast<double>(lower);
    const auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
    };
    const Rgb a = kStops[lower];
    const Rgb b = kStops[lower + 1];
    return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

Image renderAggregate(const std::vector<Site>& arrivals, int scale) {
    const auto extent = static_cast<int>(extentOf(arrivals));
    Image image;
    image.width = image.height = (2 * extent + 1) * scale;
    image.rgb.assign(
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, 0);

    const std::size_t particles = arrivals.empty() ? 0 : arrivals.size() - 1;
    for (std::size_t k = 0; k < arrivals.size(); ++k) {
        Rgb colour = kSeedMark;
        if (k > 0) {
            colour = viridis(particles > 1
                                 ? static_cast<double>(k - 1) / static_cast<double>(particles - 1)
                                 : 0.0);
        }
        const int left = (arrivals[k].x + extent) * scale;
        const int top = (arrivals[k].y + extent) * scale;
        for (int dy = 0; dy < scale; ++dy) {
            for (int dx = 0; dx < scale; ++dx) image.set(left + dx, top + dy, colour);
        }
    }
    if (!arrivals.empty())
        markSeed(image, (arrivals.front().x + extent) * scale,
                 (arrivals.front().y + extent) * scale, scale);
    return image;
}

Image renderDownsampled(const SiteList& arrivals, int longest) {
    std::int64_t extent = 0;
    for (const Site& s : arrivals)
        extent = std::max<std::int64_t>(
            {extent, std::abs(std::int64_t{s.x}), std::abs(std::int64_t{s.y})});
    const std::int64_t sites = 2 * extent + 1;
    const std::int64_t block = (sites + longest - 1) / longest;
    const std::int64_t side = (sites + block - 1) / block;
    const auto pixels = static_cast<std::size_t>(side * side);
    std::vector<std::uint32_t> count(pixels, 0);
    std::vector<double> orderSum(pixels, 0.0);
    const auto pixelOf = [&](const Site& s) {
        return static_cast<std::size_t>((s.y + extent) / block * side + (s.x + extent) / block);
    };
    // Arrival order as renderAggregate has it: the first particle 0, the last 1.
    const std::size_t particles = arrivals.empty() ? 0 : arrivals.size() - 1;
    const double last = particles > 1 ? static_cast<double>(particles - 1) : 1.0;
    std::size_t k = 0;
    for (const Site& s : arrivals) {
        if (k > 0) {
            ++count[pixelOf(s)];
            orderSum[pixelOf(s)] += static_cast<double>(k - 1) / last;
        }
        ++k;
    }
    Image image;
    image.width = image.height = static_cast<int>(side);
    image.rgb.assign(pixels * 3, 0);
    const double blockSites = static_cast<double>(block * block);
    for (std::size_t p = 0; p < pixels; ++p) {
        if (count[p] == 0) continue;
        const Rgb colour = viridis(orderSum[p] / count[p]);
        const double brightness = 0.25 + 0.75 * std::sqrt(count[p] / blockSites);
        const auto dim = [brightness](std::uint8_t c) {
            return static_cast<std::uint8_t>(std::lround(c * brightness));
        };
        image.set(static_cast<int>(p % static_cast<std::size_t>(side)),
                  static_cast<int>(p / static_cast<std::size_t>(side)),
                  {dim(colour.red), dim(colour.green), dim(colour.blue)});
    }
    if (!arrivals.empty()) {
        const std::size_t seed = pixelOf(arrivals.front());
        const int x = static_cast<int>(seed % static_cast<std::size_t>(side));
        const int y = static_cast<int>(seed / static_cast<std::size_t>(side));
        image.set(x, y, kSeedMark);
        markSeed(image, x, y, 1);
    }
    return image;
}

std::uint64_t aggregateImageBytes(std::int64_t extent, int scale) {
    const std::uint64_t side =
        (2 * static_cast<std::uint64_t>(extent) + 1) * static_cast<std::uint64_t>(scale);
    return side * side * 3;
}

std::uint64_t imageBytes(std::int32_t systemSize, int scale) {
    return aggregateImageBytes(std::int64_t{halfSideOf(systemSize)} + 1, scale);
}

}  // namespace dla
