#include "png_image.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <vector>

#include "output_file.h"
#include "window/growth.h"

namespace dla::cli {

namespace {

// Where libpng's output and complaints go. A failed write keeps the OutputFile's message, which
// names the system's reason; libpng's own text goes nowhere near the terminal.
struct PngSink {
    OutputFile* file;
    std::string failure;  // the OutputFile's message, or another exception's
    char complaint[200];  // libpng's message
};

// Nothing may leave through libpng's C frames: an exception here ends the program instead.
bool put(PngSink& sink, const png_bytep data, std::size_t size) noexcept {
    try {
        sink.file->write({reinterpret_cast<const char*>(data), size});
        return true;
    } catch (const std::exception& e) {
        sink.failure = e.what();
        return false;
    }
}

// libpng reports errors by longjmp, through C code that must not see a C++ exception; these
// callbacks hold no object with a destructor where they jump.
extern "C" void writeToSink(png_structp png, png_bytep data, std::size_t size) {
    if (!put(*static_cast<PngSink*>(png_get_io_ptr(png)), data, size))
        png_error(png, "write failed");
}

extern "C" void flushNothing(png_structp) {}

extern "C" void keepComplaint(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->complaint, sizeof sink->complaint, "%s", message);
    png_longjmp(png, 1);
}

extern "C" void ignoreWarning(png_structp, png_const_charp) {}

bool writePngRows(PngSink& sink, int width, int height, const std::uint8_t* rgb,
                  std::vector<png_text>& text) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, keepComplaint, ignoreWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, writeToSink, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!text.empty()) png_set_text(png, info, text.data(), static_cast<int>(text.size()));
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) png_write_row(png, rgb + static_cast<std::size_t>(y) * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

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
    int extent = 0;
    for (const Site& s : arrivals) extent = std::max({extent, std::abs(s.x), std::abs(s.y)});
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

Image renderDownsampled(const std::deque<Site>& arrivals, int longest) {
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

std::uint64_t imageBytes(std::int32_t systemSize, int scale) {
    const auto h = static_cast<std::uint64_t>(halfSideOf(systemSize));
    const std::uint64_t side = (2 * h + 3) * static_cast<std::uint64_t>(scale);
    return side * side * 3;
}

std::string formatBytes(std::uint64_t bytes) {
    const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
    auto value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 999.5 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g %s", value, units[unit]);
    return text;
}

void writePng(OutputFile& file, const Image& image, const std::string& software,
              const std::string& comment) {
    PngSink sink{&file, {}, "out of memory"};
    std::vector<png_text> text;
    for (const auto& [key, value] :
         {std::pair{"Software", &software}, std::pair{"Comment", &comment}}) {
        if (value->empty()) continue;
        png_text chunk{};
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = const_cast<char*>(key);
        chunk.text = const_cast<char*>(value->c_str());
        chunk.text_length = value->size();
        text.push_back(chunk);
    }
    if (!writePngRows(sink, image.width, image.height, image.rgb.data(), text)) {
        throw FileError(!sink.failure.empty()
                            ? sink.failure
                            : "cannot write '" + file.path() + "': libpng: " + sink.complaint);
    }
}

void savePng(const Image& image, const std::string& path, const std::string& software,
             const std::string& comment) {
    OutputFile file(path);
    writePng(file, image, software, comment);
    file.commit();
}

}  // namespace dla::cli
