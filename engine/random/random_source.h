#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "base/toolkit.h"
#include "random/generators.h"

namespace dla {

/// The state of the shuffled random source: 97 stored deviates v(1)..v(97) (index 0 is never
/// used) and the working value y. Everything is 0 until the first re-initialisation.
struct ShuffleTable {
    static constexpr int kSize = 97;
    std::array<double, kSize + 1> v{};
    double y = 0.0;

    /// Whether every value is a multiple of 2^-53 in [0, 1), as the fast generator's draws are:
    /// what a table read from outside must be before a source draws from it.
    bool holdsTicks() const {
        const auto tick = [](double u) {
            return u >= 0.0 && u < 1.0 && fromTicks(toTicks(u)) == u;
        };
        for (const double u : v)
            if (!tick(u)) return false;
        return tick(y);
    }
};

/// Generators whose every draw lies on the grid of 2^-53 in [0, 1) and that also give it as its
/// count of ticks (drawTicks() = draw() * 2^53, drawn the same): the index guard of Random can
/// never act, and a loop can keep the deviates as integers.
template <class G>
concept DrawsTicks = UniformGenerator<G> && requires(G& g) {
    { g.drawTicks() } -> std::same_as<std::uint64_t>;
};

/// Random(0) on a copy of a source's whole state (RandomSource::detach()), for loops that draw
/// many deviates in a row: held by value, the generator's state stays in registers, where a
/// source that others can reach goes through memory at every draw. The stored deviates are kept
/// as ticks, so that a caller that only cuts [0, 1) into powers of two never converts them.
template <DrawsTicks G>
struct DetachedSource {
    /// floor(97 y) as Random takes it for y = t 2^-53: 97.0 * y rounds 97 t to 53 bits and scales
    /// it by 2^-53, and the rounding only matters when it carries 97 t up to the next multiple of
    /// 2^53. 97 t < 2^60, so it moves 97 t by 2^6 at most: beyond that the integer quotient is
    /// the answer, and within it the double is computed.
    static std::size_t shuffleIndex(std::uint64_t t) {
        const std::uint64_t p = 97 * t;
        if ((p >> 53) == ((p + 64) >> 53)) [[likely]]
            return static_cast<std::size_t>(p >> 53);
        return static_cast<std::size_t>(fromTicks(p));
    }

    G generator;
    std::array<std::uint64_t, ShuffleTable::kSize + 1> v;
    std::uint64_t y;

    /// Random(0) as ticks.
    std::uint64_t nextTicks() {
        const std::size_t j = 1 + shuffleIndex(generator.drawTicks());
        const std::uint64_t out = v[j];
        v[j] = generator.drawTicks();
        y = out;
        return out;
    }
    double next() { return fromTicks(nextTicks()); }
};

/// `Random`: a shuffling layer over an injected uniform generator. Each call picks a stored
/// deviate with a fresh draw, returns it and puts another fresh draw in its place; a negative
/// argument first reseeds the generator, throws away a warm-up of 97 draws and refills the
/// table. An ordinary call makes 2 draws, a re-initialising one 197.
template <UniformGenerator G>
class RandomSource {
  public:
    /// `toolkit` shows the "Error" message of the index guard; it must outlive the source.
    RandomSource(G generator, Toolkit& toolkit)
        : generator_(std::move(generator)), toolkit_(&toolkit) {}

    /// `idum` is read once; only its sign matters; it is never written. Result in [0, 1) while
    /// the generator keeps to [0, 1).
    double Random(const std::int16_t& idum) {
        if (idum < 0) reinitialise();
        return next();
    }

    /// Random(0), the per-call step alone: the hot path of the walk.
    double next() {
        table_.y = generator_.draw();
        std::size_t j;
        // For y in [0, 1), 1 + floor(97 y) is 1 + the truncation of 97 y, and lies in 1..97.
        if (table_.y >= 0.0 && table_.y < 1.0) [[likely]] {
            j = 1 + static_cast<std::size_t>(97.0 * table_.y);
        } else {
            j = guardIndex(1.0 + std::floor(97.0 * table_.y));
        }
        table_.y = table_.v[j];
        table_.v[j] = generator_.draw();
        return table_.y;
    }

    /// The state by value, to draw from in a loop and give back through attach(); nothing may
    /// draw from this source in between. Every stored deviate is a multiple of 2^-53 in [0, 1)
    /// (or the 0 before the first re-initialisation), so its ticks are exact. (auto, so that the
    /// class can also be made for a generator without ticks.)
    auto detach() const requires DrawsTicks<G> {
        DetachedSource<G> detached{generator_, {}, toTicks(table_.y)};
        for (std::size_t i = 0; i < table_.v.size(); ++i) detached.v[i] = toTicks(table_.v[i]);
        return detached;
    }
    void attach(const auto& detached) requires DrawsTicks<G> {
        generator_ = detached.generator;
        for (std::size_t i = 0; i < table_.v.size(); ++i) table_.v[i] = fromTicks(detached.v[i]);
        table_.y = fromTicks(detached.y);
    }

    const ShuffleTable& table() const { return table_; }
    /// Puts back a table that table() gave, to continue a saved run.
    void restoreTable(const ShuffleTable& table) { table_ = table; }
    const G& generator() const { return generator_; }

  private:
    void reinitialise() {
        generator_.reseed();
        for (int i = 0; i < ShuffleTable::kSize; ++i) (void)generator_.draw();
        for (int i = 1; i <= ShuffleTable::kSize; ++i)
            table_.v[static_cast<std::size_t>(i)] = generator_.draw();
        table_.y = generator_.draw();
    }

    // Only a generator that leaves [0, 1) gets here. After the message the index is clamped to
    // the nearest entry, so the call still returns a stored deviate and refills it, and the
    // table stays whole.
    [[gnu::cold]] std::size_t guardIndex(double index) {
        toolkit_->messageBox("Error", MessageStyle::None);
        if (!(index >= 1.0)) return 1;  // also catches NaN
        return ShuffleTable::kSize;
    }

    ShuffleTable table_;
    G generator_;
    Toolkit* toolkit_;
};

}  // namespace dla
