// The saved form of a LargeGrowth: everything that makes the rest of the run. The distance
// structure is not saved: it is a function of the occupied cells and is rebuilt. The bytes carry
// no checksum of their own; the file that holds them checks them as one whole.

#include <bit>
#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "large/large_growth.h"

namespace dla {

namespace {

static_assert(std::endian::native == std::endian::little, "saved states are little-endian");

constexpr std::string_view kMagic = "DLALARGE";
// The layout's version. Layout 3 adds the walker's version after it; layout 2, which is layout
// 3 without it, was only ever written by the walker's version 1.
constexpr std::uint32_t kVersion = 3;
constexpr std::uint32_t kVersionBeforeWalkers = 2;

class Writer {
  public:
    explicit Writer(std::ostream& out) : out_(out) {}
    template <class T>
    void put(T value) {
        static_assert(std::is_trivially_copyable_v<T>);
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        out_.write(bytes, sizeof(T));
    }
    template <class T>
    void putOptional(const std::optional<T>& value) {
        put<std::uint8_t>(value.has_value());
        put<T>(value.value_or(T{}));
    }
    void finish() {
        out_.flush();
        if (!out_) throw std::ios_base::failure("could not write the saved state");
    }

  private:
    std::ostream& out_;
};

[[noreturn]] void refuse(const char* why) {
    throw std::runtime_error(std::string("saved state refused: ") + why);
}

class Reader {
  public:
    explicit Reader(std::istream& in) : in_(in) {}
    template <class T>
    T get() {
        char bytes[sizeof(T)];
        if (!in_.read(bytes, sizeof(T))) throw std::runtime_error("saved state cut short");
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    template <class T>
    std::optional<T> getOptional() {
        const auto present = get<std::uint8_t>();
        const T value = get<T>();
        if (present > 1) refuse("a flag that is neither 0 nor 1");
        return present ? std::optional<T>(value) : std::nullopt;
    }
    std::int64_t count() {
        const auto value = get<std::int64_t>();
        if (value < 0 || value >= kMostCounted) refuse("a count outside 0..2^62");
        return value;
    }

  private:
    std::istream& in_;
};

bool allZero(const std::array<std::uint64_t, 4>& words) {
    return (words[0] | words[1] | words[2] | words[3]) == 0;
}

// The farthest launch radius that a grown aggregate of `cells` cells reaches, with room to
// spare. Grown aggregates reach about cells^0.585 (at most 2 cells^0.585 in 40 runs of each of
// 10 to 10^5 particles, 1.02 at 10^5, the spread shrinking as they grow). Cells that a growth
// could only make by a chance no run meets, in a line, would reach `cells`; the block levels,
// which cover the square of the reach, would then take memory that no grown run of that many
// cells takes.
double farthestGrownRadius(std::uint64_t cells) {
    return 16.0 + 1.5 * std::pow(static_cast<double>(cells), 0.6);
}

// The magic, the layout and the walker version that must match this program's.
void readHeader(Reader& r) {
    for (char c : kMagic) {
        if (r.get<char>() != c) throw std::runtime_error("not a saved large-aggregate state");
    }
    const auto layout = r.get<std::uint32_t>();
    if (layout != kVersion && layout != kVersionBeforeWalkers)
        throw std::runtime_error("unknown saved-state version");
    const std::int32_t walker = layout == kVersion ? r.get<std::int32_t>() : 1;
    if (walker != kJumpWalkerVersion)
        throw std::runtime_error("saved state written by the jump walker's version " +
                                 std::to_string(walker) + "; this program's walker is version " +
                                 std::to_string(kJumpWalkerVersion) +
                                 ", whose moves would not continue that run");
}

// The xoshiro state, which must be able to move.
FastGenerator::State readGenerator(Reader& r) {
    FastGenerator::State g;
    for (std::uint64_t& word : g.engine) word = r.get<std::uint64_t>();
    for (std::uint64_t& word : g.streamBase) word = r.get<std::uint64_t>();
    g.seed = r.getOptional<std::uint64_t>();
    // An all-zero xoshiro state draws 0 forever, and a new stream taken from it is zero again.
    if (allZero(g.engine) || allZero(g.streamBase)) refuse("a generator that cannot move");
    return g;
}

ShuffleTable readShuffleTable(Reader& r) {
    ShuffleTable table;
    for (double& v : table.v) v = r.get<double>();
    table.y = r.get<double>();
    // Only values a draw gives: the walkers take the stored deviates as integer ticks, and the
    // source hands them out as deviates in [0, 1).
    if (!table.holdsTicks()) refuse("deviates that no draw gives");
    return table;
}

}  // namespace

void LargeGrowth::save(std::ostream& out) const {
    Writer w(out);
    for (char c : kMagic) w.put(c);
    w.put(kVersion);
    w.put(kJumpWalkerVersion);
    w.putOptional(options_.systemSize);
    w.putOptional(options_.particleLimit);
    w.put(options_.killFactor);
    w.put(options_.largestJump);
    w.put(radius_);
    w.put<std::uint8_t>(finished_);
    for (std::int64_t c :
         {counters_.particles, counters_.walkersKilled, counters_.steps, counters_.jumps}) {
        w.put(c);
    }
    const RandomSource<FastGenerator>& random = this->random();
    const FastGenerator::State g = random.generator().state();
    for (std::uint64_t word : g.engine) w.put(word);
    for (std::uint64_t word : g.streamBase) w.put(word);
    w.putOptional(g.seed);
    for (double v : random.table().v) w.put(v);
    w.put(random.table().y);
    w.put(static_cast<std::uint64_t>(lattice_.occupiedCount()));
    for (const Site& s : lattice_.arrivals()) {
        w.put(s.x);
        w.put(s.y);
    }
    w.finish();
}

std::unique_ptr<LargeGrowth> LargeGrowth::restore(std::istream& in) {
    Reader r(in);
    readHeader(r);
    LargeGrowthOptions options;
    options.systemSize = r.getOptional<std::int32_t>();
    options.particleLimit = r.getOptional<std::int64_t>();
    options.killFactor = r.get<double>();
    options.largestJump = r.get<std::int32_t>();
    const auto radius = r.get<std::int32_t>();
    const auto finished = r.get<std::uint8_t>();
    if (finished > 1) refuse("a flag that is neither 0 nor 1");
    LargeGrowthCounters counters;
    for (std::int64_t* c :
         {&counters.particles, &counters.walkersKilled, &counters.steps, &counters.jumps}) {
        *c = r.count();
    }
    if (options.particleLimit && counters.particles > *options.particleLimit)
        refuse("more particles than its limit");
    const FastGenerator::State g = readGenerator(r);
    // A seeded run draws from the one stream its seed gives it when it starts (the constructor's
    // re-initialisation): a seed that does not give that stream would be reported with another
    // seed's aggregate.
    if (g.seed) {
        FastGenerator start = FastGenerator::seeded(*g.seed);
        start.reseed();
        if (start.state().streamBase != g.streamBase) refuse("a seed that its generator is not of");
    }
    const ShuffleTable table = readShuffleTable(r);
    const auto cells = r.get<std::uint64_t>();
    // Every particle adds at most one cell to the seed.
    if (cells < 1 || cells - 1 > static_cast<std::uint64_t>(counters.particles))
        refuse("more cells than particles");
    if (radius < 4) refuse("a launch radius below 4");
    if (radius > farthestGrownRadius(cells)) refuse("a launch radius that grown cells never reach");

    std::unique_ptr<LargeGrowth> run;
    try {
        run.reset(new LargeGrowth(Restoring{}, options, FastGenerator::restored(g)));
        run->setRadius(radius);
    } catch (const std::logic_error& e) {
        refuse(e.what());
    }
    run->random_.restoreTable(table);
    run->counters_ = counters;

    // The cells as a growth makes them: the seed first, each later one next to an earlier one
    // (a walker sticks beside the aggregate), none twice, R following them as the run moves it.
    // Cells scattered anywhere would each take a tile of their own; these take what the run
    // that grew them took.
    LargeLattice& lattice = run->lattice_;
    std::int32_t replayed = 4;
    bool endReached = false;
    for (std::uint64_t i = 0; i < cells; ++i) {
        const Site s{r.get<std::int32_t>(), r.get<std::int32_t>()};
        if (i == 0 && (s.x != 0 || s.y != 0)) refuse("a first cell that is not the seed");
        // Within R of the origin, so the lattice's reach is far away.
        if (std::int64_t{s.x} * s.x + std::int64_t{s.y} * s.y >= std::int64_t{radius} * radius)
            refuse("a cell outside the launch circle");
        if (i > 0 && !(lattice.isOccupied(s.x + 1, s.y) || lattice.isOccupied(s.x - 1, s.y) ||
                       lattice.isOccupied(s.x, s.y + 1) || lattice.isOccupied(s.x, s.y - 1)))
            refuse("a cell that touches none before it");
        if (endReached) refuse("cells after the run's end");
        if (!lattice.occupy(s.x, s.y)) refuse("a cell twice");
        if (i > 0) {
            replayed = launchRadiusAfter(replayed, s);
            endReached = run->outsideSquare(s);
        }
    }
    if (replayed != radius) refuse("a launch radius its cells do not give");
    const bool limitReached = options.particleLimit && counters.particles == *options.particleLimit;
    if ((finished != 0) != (endReached || limitReached))
        refuse(finished ? "a finished run that has not reached its end"
                        : "a run past its end that is not finished");
    run->finished_ = finished != 0;
    return run;
}

}  // namespace dla
