#include "random/generators.h"

#include <atomic>
#include <chrono>

namespace dla {

namespace {

std::uint64_t splitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Two reseeds within one clock tick must still differ, in one thread or in several.
std::uint64_t clockSeed() {
    static std::atomic<std::uint64_t> counter{0};
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::uint64_t mix =
        static_cast<std::uint64_t>(ticks) ^ (counter.fetch_add(1) * 0xD1B54A32D192ED03ULL);
    return splitMix64(mix);
}

}  // namespace

void Xoshiro256Plus::seedWith(std::uint64_t seed) {
    std::uint64_t state = seed;
    for (auto& word : s_) word = splitMix64(state);
}

void Xoshiro256Plus::jump() {
    static constexpr std::array<std::uint64_t, 4> kJump{0x180ec6d33cfd0aba, 0xd5a61266f0c9392c,
                                                        0xa9582618e03fc9aa, 0x39abdc4529b1661c};
    std::array<std::uint64_t, 4> acc{};
    for (std::uint64_t word : kJump) {
        for (int bit = 0; bit < 64; ++bit) {
            if (word & (std::uint64_t{1} << bit)) {
                for (std::size_t i = 0; i < 4; ++i) acc[i] ^= s_[i];
            }
            next();
        }
    }
    s_ = acc;
}

FastGenerator::FastGenerator(std::optional<std::uint64_t> seed) : seed_(seed) {
    streamBase_.seedWith(seed ? *seed : clockSeed());
    engine_ = streamBase_;
}

FastGenerator FastGenerator::clockSeeded() {
    return FastGenerator(std::nullopt);
}

FastGenerator FastGenerator::seeded(std::uint64_t seed) {
    return FastGenerator(seed);
}

FastGenerator FastGenerator::of(std::optional<std::uint64_t> seed) {
    return FastGenerator(seed);
}

FastGenerator FastGenerator::restored(const State& state) {
    FastGenerator g(std::uint64_t{0});
    g.engine_.setState(state.engine);
    g.streamBase_.setState(state.streamBase);
    g.seed_ = state.seed;
    return g;
}

void FastGenerator::reseed() {
    if (seed_) {
        streamBase_.jump();
    } else {
        streamBase_.seedWith(clockSeed());
    }
    engine_ = streamBase_;
}

}  // namespace dla
