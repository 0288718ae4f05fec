#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lattice.h"

namespace dla {

/// For every cell of the Lattice, the Chebyshev distance max(|dx|, |dy|) to the nearest cell that
/// has an occupied neighbour (flag Lattice::Near), capped at cap(): a value d means that no cell
/// within distance d - 1 has an occupied neighbour, so a walker there can take d - 1 steps in any
/// order without meeting the aggregate.
///
/// It follows one Lattice: addOccupied() updates it after each newly occupied cell in
/// (2 cap + 1)^2 cell operations; any other change (a clear, or cells occupied by a run nested
/// inside this one) is noticed through Lattice::version() by sync(), which then rebuilds it.
class DistanceMap {
  public:
    /// `cap` in 1..255. Every cell starts at `cap`, as for an empty Lattice.
    explicit DistanceMap(int cap);

    int cap() const { return cap_; }

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

    std::uint8_t at(int x, int y) const {
        return map_[static_cast<std::size_t>(Lattice::index(x, y))];
    }
    /// The map, addressed by Lattice::index().
    const std::uint8_t* data() const { return map_.data(); }

  private:
    struct Box {
        int low = 0, high = -1;    ///< x range
        int bottom = 0, top = -1;  ///< y range
        bool empty() const { return low > high || bottom > top; }
    };
    void widenDirty(int low, int high, int bottom, int top);

    int cap_;
    std::vector<std::uint8_t> map_;
    /// The plus-shaped stamp of one newly occupied cell: distance to the nearest of its four
    /// neighbours, capped, over the (2 cap + 1)^2 square around it.
    std::vector<std::uint8_t> stamp_;
    /// Every cell below cap lies in this box.
    Box dirty_;
    std::uint64_t version_ = 0;
    bool synced_ = false;
};

}  // namespace dla
