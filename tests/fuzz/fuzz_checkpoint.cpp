// Any bytes given to --resume are either refused with std::runtime_error or give a run that
// goes on growing; no other exception, crash, hang or undefined behaviour. The first byte
// chooses whether the bytes are framed as a checkpoint (its first line in front, its CRC-32
// behind), so that the run's own state is reached past the check of the whole.
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "formats/checkpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 1) {
        bytes = "dla-cli checkpoint 2\n" + bytes;
        const auto crc = static_cast<std::uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        bytes.append(reinterpret_cast<const char*>(&crc), sizeof crc);
    }
    std::istringstream in(bytes);
    std::unique_ptr<dla::Run> run;
    try {
        run = dla::readCheckpoint(in, "fuzz");
    } catch (const std::runtime_error&) {
        return 0;
    }
    // A few more particles at most; a run that has outgrown its lattice says so.
    struct Few final : dla::RunObserver {
        std::atomic<bool> stop{false};
        int left = 20;
        void stuck(const dla::Run&) override { stop = --left == 0; }
    } few;
    try {
        run->grow(&few, &few.stop);
    } catch (const std::length_error&) {
    }
    return 0;
}
