// Any command line either gives options inside their documented ranges or is refused with
// UsageError; no other exception, crash or undefined behaviour.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "options.h"
#include "output_paths.h"
#include "png_image.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dla::cli;
    // The arguments are separated by NUL bytes, as they reach main().
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() <= 32; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    Options o;
    try {
        o = parseOptions(args, 4);
        if (!o.help) checkDistinctOutputs(o);
    } catch (const UsageError&) {
        return 0;
    }
    require(!o.sizes.empty());
    const bool literal = o.growth.walk == dla::Walk::Literal;
    require(!o.particles || (o.sizes == std::vector<std::int32_t>{kNoSize} && !literal &&
                             *o.particles >= 1 && *o.particles <= kMostParticles));
    for (const std::int32_t n : o.sizes) {
        if (o.particles) break;
        require(n >= 1 && n <= (literal ? 1000 : kLargestJumpSize) &&
                std::count(o.sizes.begin(), o.sizes.end(), n) == 1);
        require(o.imagePath.empty() || o.imageSize > 0 ||
                imageBytes(n, o.scale) <= kLargestImageBytes);
    }
    require(!o.killFactor || (!literal && *o.killFactor >= 2 && *o.killFactor <= 16));
    require(o.imageSize == 0 || (!o.imagePath.empty() && o.scale == 1 &&
                                 o.imageSize >= 16 && o.imageSize <= kLargestImageSize));
    require((o.checkpointPath.empty() && o.resumePath.empty()) || o.totalRuns() == 1);
    require(o.runs >= 1 && o.runs <= kMostRuns && o.threads >= 1 && o.threads <= kMostThreads);
    require(o.scale >= 1 && o.scale <= kLargestScale);
    require(!o.seed || *o.seed <= std::numeric_limits<std::uint64_t>::max() -
                                      static_cast<std::uint64_t>(o.totalRuns() - 1));
    for (const std::string* path :
         {&o.imagePath, &o.fitPath, &o.plotPath, &o.checkpointPath, &o.resumePath})
        require(!path->starts_with("--"));
    return 0;
}
