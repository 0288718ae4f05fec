#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lattice.h"

namespace dla {

/// How far a walker is from the aggregate: for a cell c, D(c) is the Chebyshev distance
/// max(|dx|, |dy|) to the nearest cell that has an occupied neighbour (flag Lattice::Near). No
/// cell within distance D(c) - 1 of c has an occupied neighbour, so a walker there can take
/// D(c) - 1 steps in any order without meeting the aggregate.
///
/// Two layers, both lower bounds of D:
/// - fine: one byte a cell, min(D, fineCap), with fineCap = min(cap, kFineCap);
/// - coarse: one byte per block of kBlock x kBlock cells (blocks aligned at x, y = -1000), the
///   least min(D, cap) over the block's cells.
/// bound() reads the coarse layer, small enough to stay in cache, and the fine one only close to
/// the aggregate, where the coarse value is below a threshold (cap + 1 when cap <= kFineCap, else
/// kFineCap - kBlock + 1); there the fine value is exact (D < threshold + kBlock - 1 <= fineCap).
/// So bound() is always <= min(D, cap), equal to it near the aggregate, and at most kBlock - 1
/// below it elsewhere; it is 0 exactly on the cells with an occupied neighbour.
///
/// The map follows one Lattice: addOccupied() updates both layers after each newly occupied
/// cell (about (2 fineCap + 1)^2 + (2 cap / kBlock + 5)^2 byte operations); any other change (a
/// clear, or cells occupied by a run nested inside this one) is noticed through
/// Lattice::version() by sync(), which then rebuilds it.
class DistanceMap {
  public:
    static constexpr int kBlock = 4;
    static constexpr int kBlockShift = 2;
    static constexpr int kFineCap = 20;
    static constexpr int kBlocksPerAxis = (Lattice::kSide + kBlock - 1) / kBlock;

    /// `cap` in 1..255. Every cell starts at `cap`, as for an empty Lattice.
    explicit DistanceMap(int cap);

    /// Rebuilds the map when the Lattice has changed since the map last followed it.
    void sync(const Lattice& lattice) {
        if (!synced_ || lattice.version() != version_) rebuild(lattice);
    }

    /// To be called right after lattice.occupy(x, y). Updates the map for the new occupied
    /// neighbours of its four neighbours; if the Lattice has changed in any other way since the
    /// last sync, rebuilds instead.
    void addOccupied(const Lattice& lattice, int x, int y);

    /// Recomputes the whole map from the Lattice's flags.
    void rebuild(const Lattice& lattice);

    /// A lower bound of min(D, cap) at (x, y), whose Lattice::index() is `at`; see above.
    int bound(int x, int y, std::ptrdiff_t at) const {
        const int c = coarse_[blockIndex(x, y)];
        return c >= threshold_ ? c : fine_[static_cast<std::size_t>(at)];
    }

  private:
    static std::size_t blockIndex(int x, int y) {
        return static_cast<std::size_t>(((y + Lattice::kExtent) >> kBlockShift) * kBlocksPerAxis +
                                        ((x + Lattice::kExtent) >> kBlockShift));
    }
    struct Box {
        int low = 0, high = -1;    ///< x range
        int bottom = 0, top = -1;  ///< y range
        bool empty() const { return low > high || bottom > top; }
    };
    void widenDirty(int low, int high, int bottom, int top);
    void stampFine(int x, int y);
    void stampCoarse(int x, int y);

    int cap_;
    int fineCap_;
    int threshold_;
    std::vector<std::uint8_t> fine_;
    std::vector<std::uint8_t> coarse_;
    /// The fine layer's plus-shaped stamp of one newly occupied cell: distance to the nearest of
    /// its four neighbours, capped, over the (2 fineCap + 1)^2 square around it.
    std::vector<std::uint8_t> fineStamp_;
    /// The coarse layer's stamps, one for each position of the cell inside its block, over
    /// (2 coarseReach + 1)^2 blocks around the cell's block.
    std::vector<std::uint8_t> coarseStamp_;
    int coarseReach_;
    /// Every fine cell below fineCap lies in this box.
    Box dirty_;
    std::uint64_t version_ = 0;
    bool synced_ = false;
};

}  // namespace dla
