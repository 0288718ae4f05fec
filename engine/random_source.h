#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "generators.h"
#include "toolkit.h"

namespace dla {

/// The state of the shuffled random source: 97 stored deviates v(1)..v(97) (index 0 is never
/// used) and the working value y. Everything is 0 until the first re-initialisation.
struct ShuffleTable {
    static constexpr int kSize = 97;
    std::array<double, kSize + 1> v{};
    double y = 0.0;
};

/// Generators whose every draw lies in [0, 1) by construction, so that the index guard of
/// Random can never act.
template <class G>
concept DrawsInUnitInterval = UniformGenerator<G> && G::kDrawsInUnitInterval;

/// Random(0) on a copy of a source's whole state (RandomSource::detach()), for loops that draw
/// many deviates in a row: held by value, the generator's state stays in registers, where a
/// source that others can reach goes through memory at every draw.
template <UniformGenerator G>
requires DrawsInUnitInterval<G>
struct DetachedSource {
    G generator;
    ShuffleTable table;

    double next() {
        const double y = generator.draw();
        const auto j = static_cast<std::size_t>(1 + static_cast<int>(97.0 * y));
        table.y = table.v[j];
        table.v[j] = generator.draw();
        return table.y;
    }
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
    /// draw from this source in between.
    DetachedSource<G> detach() const requires DrawsInUnitInterval<G> {
        return {generator_, table_};
    }
    void attach(const DetachedSource<G>& detached) requires DrawsInUnitInterval<G> {
        generator_ = detached.generator;
        table_ = detached.table;
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
