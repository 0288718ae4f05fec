#pragma once

/// "dla-cli <version>", which every output carries (the build defines DLA_VERSION).
namespace dla {

inline constexpr const char* kProgram = "dla-cli " DLA_VERSION;

}  // namespace dla
