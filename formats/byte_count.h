#pragma once

#include <cstdint>
#include <string>

namespace dla {

/// A byte count for people: "12.4 GB", "510 MB".
std::string formatBytes(std::uint64_t bytes);

}  // namespace dla
