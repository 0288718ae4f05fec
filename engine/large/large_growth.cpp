#include "large/large_growth.h"

#include <cmath>
#include <stdexcept>

#include "base/conversions.h"
#include "large/large_walker.h"

namespace dla {

std::int64_t killSquare(double killFactor, std::int32_t radius) {
    const double reach = killFactor * radius;
    if (!(reach >= 0.0 && reach <= kLargestKillRadius)) {
        throw std::length_error("kill radius beyond what the lattice can hold");
    }
    // Below 2^53 a square root is monotone in its exact integer argument, so the set of S with
    // sqrt(S) <= K R is 0..the answer; start next to it and step to its end.
    auto s = static_cast<std::int64_t>(reach * reach);
    while (s > 0 && std::sqrt(static_cast<double>(s)) > reach) --s;
    while (std::sqrt(static_cast<double>(s + 1)) <= reach) ++s;
    return s;
}

LargeGrowth::LargeGrowth(Restoring, const LargeGrowthOptions& options, FastGenerator generator)
    : options_(options), random_(std::move(generator), toolkit_) {
    const double k = options.killFactor;
    if (!(k >= kWindowKillFactor && k <= kLargestKillFactor)) {
        throw std::invalid_argument("kill factor outside 2..16");
    }
    if (options.largestJump < 1 || options.largestJump > ExitLadder::kLargest) {
        throw std::invalid_argument("largest jump outside 1..2^17");
    }
    if (options.particleLimit &&
        (*options.particleLimit < 1 || *options.particleLimit > kMostParticles)) {
        throw std::invalid_argument("particle limit outside 1..10^10");
    }
    if (options.systemSize && (*options.systemSize < 1 || *options.systemSize > kLargestJumpSize)) {
        throw std::invalid_argument("system size outside 1..10^6");
    }
    // Without an end the run would never stop.
    if (!options.systemSize && !options.particleLimit) {
        throw std::invalid_argument("neither a system size nor a particle limit");
    }
    if (options.systemSize) {
        halfSide_ = halfSideOf(*options.systemSize);
    }
}

LargeGrowth::LargeGrowth(const LargeGrowthOptions& options, FastGenerator generator)
    : LargeGrowth(Restoring{}, options, std::move(generator)) {
    lattice_.occupy(0, 0);
    (void)random_.Random(-1);
    setRadius(4);
}

void LargeGrowth::setRadius(std::int32_t radius) {
    killDisc_ = KillDisc(killSquare(options_.killFactor, radius));
    radius_ = radius;
    // No square inside the disc is wider than 1 + sqrt(S / 2): rungs beyond that are never taken.
    const double widest = 2.0 + std::sqrt(static_cast<double>(killDisc_.square()) / 2.0);
    ladder_.extendTo(static_cast<int>(std::min<double>(widest, options_.largestJump)));
}

bool LargeGrowth::outsideSquare(Site site) const {
    if (!halfSide_) return false;
    const std::int32_t h = *halfSide_;
    return site.x > h || site.x < -h || site.y > h || site.y < -h;
}

bool LargeGrowth::ended(Site site) const {
    return outsideSquare(site) ||
           (options_.particleLimit && counters_.particles >= *options_.particleLimit);
}

bool LargeGrowth::grow(const Observer& observer, const std::atomic<bool>* stop) {
    const LargeWalker<> walker(lattice_, ladder_, options_.largestJump);
    const double pi = std::atan(1.0) * 4.0;
    // The walkers draw from a detached copy of the source, with its generator in registers; it
    // is given back on the way out, an exception's too, and to whoever asks for the source
    // meanwhile (random()).
    DetachedSource<FastGenerator> source = random_.detach();
    struct GivenBack {
        LargeGrowth& run;
        const DetachedSource<FastGenerator>& source;
        ~GivenBack() {
            run.random_.attach(source);
            run.detached_ = nullptr;
        }
    } givenBack{*this, source};
    detached_ = &source;
    while (!finished_) {
        if (stop && stop->load(std::memory_order_relaxed)) return false;
        const Site release = releasePoint(radius_, source.next(), pi);
        const LargeWalkEnd end =
            walker.walk(source, release, killDisc_, counters_.steps, counters_.jumps);
        if (end.outcome != WalkOutcome::Stuck) {
            ++counters_.walkersKilled;
            continue;
        }
        const std::int32_t radius = launchRadiusAfter(radius_, end.at);
        if (radius != radius_) setRadius(radius);  // throws before anything changes
        lattice_.occupy(end.at.x, end.at.y);
        ++counters_.particles;
        finished_ = ended(end.at);
        if (observer) observer(*this, {end.at, counters_.particles});
    }
    return true;
}

}  // namespace dla
