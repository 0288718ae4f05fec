#include "formats/byte_count.h"

#include <cstdio>
#include <iterator>

namespace dla {

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

}  // namespace dla
