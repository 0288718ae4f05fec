// Any set of files either merges or is refused with MergeError (one line, naming a file); no
// other exception, crash, undefined behaviour or hang.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "merge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The files are separated by NUL bytes; each is an unnamed file in memory.
    std::vector<int> descriptors;
    for (std::size_t start = 0; start <= size && descriptors.size() < 4;) {
        const auto* nul =
            static_cast<const std::uint8_t*>(std::memchr(data + start, 0, size - start));
        const std::size_t end = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;
        descriptors.push_back(::memfd_create("part", 0));
        const auto length = static_cast<ssize_t>(end - start);
        if (::write(descriptors.back(), data + start, end - start) != length) std::abort();
        start = end + 1;
    }
    std::vector<std::string> paths;
    for (const int fd : descriptors) paths.push_back("/proc/self/fd/" + std::to_string(fd));
    try {
        const dla::cli::Merged merged = dla::cli::mergeOutputs(paths);
        if (merged.summary.all.runs < 1 || merged.plan.empty()) std::abort();
    } catch (const dla::cli::MergeError& e) {
        if (std::string(e.what()).find('\n') != std::string::npos) std::abort();
    }
    for (const int fd : descriptors) ::close(fd);
    return 0;
}
