#include "checkpoint.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "files/output_file.h"
#include "formats/checkpoint.h"

namespace dla::cli {

void saveCheckpoint(const std::string& path, const Run& run) {
    OutputFile file(path);
    writeCheckpoint(file, run);
    file.commit();
}

std::unique_ptr<Run> loadCheckpoint(const std::string& path) {
    if (path == kStandardStream) return readCheckpoint(std::cin, "standard input");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read '" + path +
                                 "': " + std::strerror(errno != 0 ? errno : EIO));
    }
    return readCheckpoint(in, path);
}

}  // namespace dla::cli
