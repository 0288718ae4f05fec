// Any bytes given to --resume are either refused with std::runtime_error or give a run that
// goes on growing; no other exception, crash, hang or undefined behaviour. The first byte
// chooses whether a valid header goes in front, so that the run's own state is reached.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "checkpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 1) bytes = dla::cli::checkpointHeader(7, 1.5) + bytes;
    std::istringstream in(bytes);
    dla::cli::Checkpoint checkpoint;
    try {
        checkpoint = dla::cli::readCheckpoint(in, "fuzz");
    } catch (const std::runtime_error&) {
        return 0;
    }
    // A few more particles at most; a run that has outgrown its lattice says so.
    std::atomic<bool> stop{false};
    int left = 20;
    try {
        checkpoint.growth->grow(
            [&](const dla::LargeGrowth&, const dla::StuckParticle&) { stop = --left == 0; },
            &stop);
    } catch (const std::length_error&) {
    }
    return 0;
}
