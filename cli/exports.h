#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "base/growth_law.h"
#include "measure/growth_history.h"

/// A run's data for other programs: its sites in arrival order (CSV or numpy's .npy) and its
/// growth history (CSV), each readable by numpy.loadtxt or numpy.load alone and carrying
/// `about` (the program, the run and its seed) in its header. Written whole or not at all.
namespace dla::cli {

/// x, y and arrival index (the seed 0) of every site; .npy (an int32 array of shape (M, 3),
/// `about` a comment in its header) when `path` ends in ".npy", else CSV with '#' lines first.
/// Throws FileError.
void writeSites(const std::string& path, const std::deque<Site>& sites, const std::string& about);

/// One CSV row a recorded count: sites, radius of gyration, and the arms' reach along +x, -x,
/// +y, -y. Throws FileError.
void writeHistory(const std::string& path, const std::vector<HistoryPoint>& history,
                  const std::string& about);

}  // namespace dla::cli
