#include "formats/exports.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace dla {

static_assert(std::endian::native == std::endian::little, "the .npy header says little-endian");

SitesFormat sitesFormat(const std::string& path, std::int64_t rows) {
    if (!path.ends_with(".npy")) return SitesFormat::Csv;
    // Arrival indices run from 0 to rows - 1.
    return rows - 1 > std::numeric_limits<std::int32_t>::max() ? SitesFormat::Npy64
                                                               : SitesFormat::Npy32;
}

// The format of numpy's .npy files, version 1.0: a magic string, the header's length and a
// Python dict literal padded to a multiple of 64 bytes, then the array's bytes. numpy reads the
// dict with ast.literal_eval, which takes a comment after it.
std::string sitesHeader(SitesFormat format, std::int64_t rows, const std::string& about) {
    // Every CSV file: the columns' names first, where numpy.genfromtxt(names=True), pandas and
    // spreadsheets look for them, then what made it, as comments.
    if (format == SitesFormat::Csv) return "x,y,arrival\n# " + about + "\n";
    std::string dict = std::string("{'descr': '") + (format == SitesFormat::Npy64 ? "<i8" : "<i4") +
                       "', 'fortran_order': False, 'shape': (" + std::to_string(rows) +
                       ", 3), } # " + about;
    const std::size_t fixed = 6 + 2 + 2 + 1;  // magic, version, length, newline
    dict.append((64 - (fixed + dict.size()) % 64) % 64, ' ');
    dict += '\n';
    const auto length = static_cast<std::uint16_t>(dict.size());
    std::string header = "\x93NUMPY\x01";
    header += '\0';
    header += static_cast<char>(length & 0xFF);
    header += static_cast<char>(length >> 8);
    return header + dict;
}

void writeSiteRow(OutputFile& file, SitesFormat format, const Site& s, std::int64_t arrival) {
    if (format == SitesFormat::Npy32) {
        const std::int32_t row[3]{s.x, s.y, static_cast<std::int32_t>(arrival)};
        file.write({reinterpret_cast<const char*>(row), sizeof row});
        return;
    }
    if (format == SitesFormat::Npy64) {
        const std::int64_t row[3]{s.x, s.y, arrival};
        file.write({reinterpret_cast<const char*>(row), sizeof row});
        return;
    }
    char line[48];
    const int n =
        std::snprintf(line, sizeof line, "%d,%d,%lld\n", s.x, s.y, static_cast<long long>(arrival));
    file.write({line, static_cast<std::size_t>(n)});
}

void writeHistory(OutputFile& file, const std::vector<HistoryPoint>& history,
                  const std::string& about) {
    file.write("sites,radius_of_gyration,arm_plus_x,arm_minus_x,arm_plus_y,arm_minus_y\n# " +
               about + "\n");
    char line[160];
    for (const HistoryPoint& p : history) {
        // The radius as the shortest text that reads back to the same double, as in JSON.
        char radius[32];
        const auto end = std::to_chars(radius, radius + sizeof radius, p.radiusOfGyration).ptr;
        const int n = std::snprintf(line, sizeof line, "%lld,%.*s,%d,%d,%d,%d\n",
                                    static_cast<long long>(p.sites), static_cast<int>(end - radius),
                                    radius, p.arms[0], p.arms[1], p.arms[2], p.arms[3]);
        file.write({line, static_cast<std::size_t>(n)});
    }
}

}  // namespace dla
