#pragma once

#include <string>

#include "files/output_file.h"
#include "formats/picture.h"

/// Pictures as PNG files, through libpng.
namespace dla {

/// Writes `image` as an 8-bit RGB PNG to `file`, with `software` and `comment` (what made it) as
/// its "Software" and "Comment" text chunks when given. Throws FileError naming the cause (the
/// system's reason for a failed write, or libpng's message).
void writePng(OutputFile& file, const Image& image, const std::string& software = {},
              const std::string& comment = {});

/// writePng to `path`, whole or not at all (see OutputFile).
void savePng(const Image& image, const std::string& path, const std::string& software = {},
             const std::string& comment = {});

}  // namespace dla
