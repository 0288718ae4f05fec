// The saved form of a LargeGrowth: everything that makes the rest of the run, and a checksum.
// The distance structure is not saved: it is a function of the occupied cells and is rebuilt.

#include <bit>
#include <cstring>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string_view>
#include <type_traits>

#include "large_growth.h"

namespace dla {

namespace {

static_assert(std::endian::native == std::endian::little, "saved states are little-endian");

constexpr std::string_view kMagic = "DLALARGE";
constexpr std::uint32_t kVersion = 1;

// FNV-1a over every byte written or read before the checksum itself.
class Checksum {
  public:
    void add(const char* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            value_ ^= static_cast<unsigned char>(bytes[i]);
            value_ *= 0x100000001b3ULL;
        }
    }
    std::uint64_t value() const { return value_; }

  private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

class Writer {
  public:
    explicit Writer(std::ostream& out) : out_(out) {}
    template <class T>
    void put(T value) {
        static_assert(std::is_trivially_copyable_v<T>);
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        sum_.add(bytes, sizeof(T));
        out_.write(bytes, sizeof(T));
    }
    template <class T>
    void putOptional(const std::optional<T>& value) {
        put<std::uint8_t>(value.has_value());
        put<T>(value.value_or(T{}));
    }
    void finish() {
        put(sum_.value());
        out_.flush();
        if (!out_) throw std::ios_base::failure("could not write the saved state");
    }

  private:
    std::ostream& out_;
    Checksum sum_;
};

class Reader {
  public:
    explicit Reader(std::istream& in) : in_(in) {}
    template <class T>
    T get() {
        char bytes[sizeof(T)];
        if (!in_.read(bytes, sizeof(T))) throw std::runtime_error("saved state cut short");
        sum_.add(bytes, sizeof(T));
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    template <class T>
    std::optional<T> getOptional() {
        const auto present = get<std::uint8_t>();
        const T value = get<T>();
        if (present > 1) throw std::runtime_error("saved state damaged");
        return present ? std::optional<T>(value) : std::nullopt;
    }
    void finish() {
        const std::uint64_t expected = sum_.value();
        if (get<std::uint64_t>() != expected) throw std::runtime_error("saved state damaged");
    }

  private:
    std::istream& in_;
    Checksum sum_;
};

}  // namespace

void LargeGrowth::save(std::ostream& out) const {
    Writer w(out);
    for (char c : kMagic) w.put(c);
    w.put(kVersion);
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
    const FastGenerator::State g = random_.generator().state();
    for (std::uint64_t word : g.engine) w.put(word);
    for (std::uint64_t word : g.streamBase) w.put(word);
    w.putOptional(g.seed);
    for (double v : random_.table().v) w.put(v);
    w.put(random_.table().y);
    w.put(static_cast<std::uint64_t>(lattice_.occupiedCount()));
    for (const Site& s : lattice_.arrivals()) {
        w.put(s.x);
        w.put(s.y);
    }
    w.finish();
}

std::unique_ptr<LargeGrowth> LargeGrowth::restore(std::istream& in) {
    Reader r(in);
    for (char c : kMagic) {
        if (r.get<char>() != c) throw std::runtime_error("not a saved large-aggregate state");
    }
    if (r.get<std::uint32_t>() != kVersion) throw std::runtime_error("unknown saved-state version");
    LargeGrowthOptions options;
    options.systemSize = r.getOptional<std::int32_t>();
    options.particleLimit = r.getOptional<std::int64_t>();
    options.killFactor = r.get<double>();
    options.largestJump = r.get<std::int32_t>();
    const auto radius = r.get<std::int32_t>();
    const auto finished = r.get<std::uint8_t>();
    LargeGrowthCounters counters;
    for (std::int64_t* c :
         {&counters.particles, &counters.walkersKilled, &counters.steps, &counters.jumps}) {
        *c = r.get<std::int64_t>();
        if (*c < 0) throw std::runtime_error("saved state damaged");
    }
    FastGenerator::State g;
    for (std::uint64_t& word : g.engine) word = r.get<std::uint64_t>();
    for (std::uint64_t& word : g.streamBase) word = r.get<std::uint64_t>();
    g.seed = r.getOptional<std::uint64_t>();
    ShuffleTable table;
    for (double& v : table.v) v = r.get<double>();
    table.y = r.get<double>();
    // Only values a draw gives: the walkers take the stored deviates as integer ticks, and the
    // source hands them out as deviates in [0, 1). Other values (which a checksum alone cannot
    // keep out of a file written by hand) are refused here.
    if (!table.holdsTicks()) throw std::runtime_error("saved state damaged");

    std::unique_ptr<LargeGrowth> run;
    try {
        run.reset(new LargeGrowth(Restoring{}, options, FastGenerator::restored(g)));
        if (radius < 4 || finished > 1) throw std::runtime_error("saved state damaged");
        run->setRadius(radius);
    } catch (const std::logic_error& e) {
        throw std::runtime_error(std::string("saved state refused: ") + e.what());
    }
    run->random_.restoreTable(table);
    run->counters_ = counters;
    run->finished_ = finished != 0;

    // Every stuck cell lies inside the circle of the R it left, the seed first, none twice.
    const auto cells = r.get<std::uint64_t>();
    const std::int64_t inside = std::int64_t{radius} * radius;
    if (cells < 1 || cells - 1 > static_cast<std::uint64_t>(counters.particles)) {
        throw std::runtime_error("saved state damaged");
    }
    for (std::uint64_t i = 0; i < cells; ++i) {
        const auto x = r.get<std::int32_t>();
        const auto y = r.get<std::int32_t>();
        const bool seed = x == 0 && y == 0;
        if ((i == 0) != seed || std::int64_t{x} * x + std::int64_t{y} * y >= inside ||
            !run->lattice_.occupy(x, y)) {
            throw std::runtime_error("saved state damaged");
        }
    }
    r.finish();
    return run;
}

}  // namespace dla
