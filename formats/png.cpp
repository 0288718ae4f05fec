#include "formats/png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace dla {

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

}  // namespace

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

}  // namespace dla
