#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/growth_law.h"
#include "files/output_file.h"
#include "measure/growth_history.h"

/// A run's data for other programs: its sites in arrival order (CSV or numpy's .npy) and its
/// growth history (CSV), each readable by numpy.loadtxt or numpy.load alone and carrying
/// `about` (the program, the run and its seed) in its header.
namespace dla {

/// How `rows` sites go out to `path`: numpy's .npy when it ends in ".npy" (an array of shape
/// (rows, 3), `about` a comment in its header), in int32, or in int64 where an arrival index
/// would not fit in int32 (more than 2^31 rows); else CSV with '#' lines first.
enum class SitesFormat { Csv, Npy32, Npy64 };
SitesFormat sitesFormat(const std::string& path, std::int64_t rows);
/// What comes before the rows of `rows` sites.
std::string sitesHeader(SitesFormat format, std::int64_t rows, const std::string& about);
/// The row of site `s`, arrival index `arrival` (the seed 0).
void writeSiteRow(OutputFile& file, SitesFormat format, const Site& s, std::int64_t arrival);

/// x, y and arrival index (the seed 0) of every one of `sites`, a range of Site in arrival
/// order, to `file`. Throws FileError.
template <class Sites>
void writeSites(OutputFile& file, const Sites& sites, const std::string& about) {
    const auto rows = static_cast<std::int64_t>(sites.size());
    const SitesFormat format = sitesFormat(file.path(), rows);
    file.write(sitesHeader(format, rows, about));
    std::int64_t arrival = 0;
    for (const Site& s : sites) writeSiteRow(file, format, s, arrival++);
}

/// One CSV row a recorded count: sites, radius of gyration, and the arms' reach along +x, -x,
/// +y, -y. Throws FileError.
void writeHistory(OutputFile& file, const std::vector<HistoryPoint>& history,
                  const std::string& about);

}  // namespace dla
