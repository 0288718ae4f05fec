#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>

#include "base/ticks.h"

/// Uniform generators that the shuffled random source draws from. Each gives deviates in
/// [0, 1) through draw() and starts a new stream through reseed(), which the source calls on
/// every re-initialisation.
namespace dla {

template <class G>
concept UniformGenerator = requires(G& g) {
    { g.draw() } -> std::same_as<double>;
    g.reseed();
};

/// xoshiro256+ (Blackman and Vigna), the generator its authors recommend for floating-point
/// deviates: 256 bits of state, period 2^256 - 1, passes BigCrush on the upper 53 bits used
/// here, and costs about a nanosecond a draw. State words are filled through SplitMix64.
class Xoshiro256Plus {
  public:
    explicit Xoshiro256Plus(std::uint64_t seed = 0) { seedWith(seed); }

    void seedWith(std::uint64_t seed);
    std::uint64_t next() {
        const std::uint64_t result = s_[0] + s_[3];
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    /// Advances the state by 2^128 draws: streams made by successive jumps never overlap.
    void jump();

    /// The four state words, to save and restore a run.
    const std::array<std::uint64_t, 4>& state() const { return s_; }
    void setState(const std::array<std::uint64_t, 4>& state) { s_ = state; }

  private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<std::uint64_t, 4> s_{};
};

/// The fast platform generator. Clock-seeded (as the window uses it), every reseed takes a new
/// clock reading; seeded, the first stream comes from the seed and every reseed moves to the
/// next disjoint stream (2^128 draws further), so a seeded run repeats exactly and no two
/// re-initialisations share a stream.
class FastGenerator {
  public:
    static FastGenerator clockSeeded();
    static FastGenerator seeded(std::uint64_t seed);
    /// seeded(*seed) when a seed is given, else clockSeeded().
    static FastGenerator of(std::optional<std::uint64_t> seed);

    double draw() { return toUnitInterval(engine_.next()); }
    /// The same draw as the integer k in 0..2^53 - 1 whose multiple k 2^-53 draw() gives.
    std::uint64_t drawTicks() { return engine_.next() >> 11; }
    void reseed();

    /// Everything the generator carries, so that a saved run goes on with the same draws.
    struct State {
        std::array<std::uint64_t, 4> engine{};
        std::array<std::uint64_t, 4> streamBase{};
        std::optional<std::uint64_t> seed;
    };
    State state() const { return {engine_.state(), streamBase_.state(), seed_}; }
    static FastGenerator restored(const State& state);

  private:
    explicit FastGenerator(std::optional<std::uint64_t> seed);
    Xoshiro256Plus engine_;
    Xoshiro256Plus streamBase_;
    std::optional<std::uint64_t> seed_;
};

}  // namespace dla
