#include "run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unordered_set>

#include "base/toolkit.h"
#include "estimate/fractal_dimension.h"
#include "estimate/large_estimate.h"
#include "large/large_growth.h"
#include "measure/growth_history.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "window/growth.h"
#include "window/lattice.h"

namespace dla {

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// The literal walker's run: the window's growth on a Lattice, told through a toolkit that draws
// nothing and keeps the cells as they are plotted (the seed, then each particle as it sticks).
struct Run::Literal final : Toolkit {
    Literal(const RunSettings& settings, Lattice* workspace)
        : own(workspace ? nullptr : std::make_unique<Lattice>()),
          lattice(workspace ? *workspace : *own),
          random(FastGenerator::of(settings.seed), *this) {}

    void setStatusText(std::string_view) override {}
    bool yield() override { return stop == nullptr || !stop->load(std::memory_order_relaxed); }
    void retangulo(std::int16_t a, std::int16_t b, Rgb) override {
        // A walker released onto an occupied cell is plotted there again; the cell keeps the
        // place of its first arrival.
        if (seen.insert(static_cast<std::int64_t>(a) * 4096 + b).second) arrivals.push_back({a, b});
        if (plotted++ > 0 && observer != nullptr) observer->stuck(*run);
    }
    void messageBox(std::string_view, MessageStyle) override {}

    std::unique_ptr<Lattice> own;
    Lattice& lattice;
    RandomSource<FastGenerator> random;
    GrowthResult grown;
    SiteList arrivals;
    std::unordered_set<std::int64_t> seen;
    std::int64_t plotted = 0;
    bool started = false;
    // While grow() runs.
    const Run* run = nullptr;
    RunObserver* observer = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

namespace {

// Observes a large run for a RunObserver.
LargeGrowth::Observer told(const Run& run, RunObserver* observer) {
    if (observer == nullptr) return {};
    return [&run, observer](const LargeGrowth&, const StuckParticle&) { observer->stuck(run); };
}

}  // namespace

double expectedParticles(std::int32_t systemSize) {
    return 0.66 * std::pow(static_cast<double>(systemSize), 1.634);
}

double expectedPeakBytes(double particles) {
    return 8e6 + 13.0 * particles;
}

std::string hashText(std::uint64_t hash) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

SettingError SettingError::atLeast(std::string_view setting, std::string_view least,
                                   std::string_view got) {
    return SettingError(std::string(setting) + " must be at least " + std::string(least) +
                        ", got " + std::string(got));
}

SettingError SettingError::atMost(std::string_view setting, std::string_view most,
                                  std::string_view got) {
    return SettingError(std::string(setting) + " must be at most " + std::string(most) + ", got " +
                        std::string(got));
}

WholeRange sizeRange(Walker walker) {
    return {1, walker == Walker::Literal ? kLargestSystemSize : kLargestJumpSize};
}

WholeRange particlesRange() {
    return {1, kMostParticles};
}

void checkWhole(std::string_view setting, const WholeRange& range, std::int64_t value,
                std::string_view got) {
    if (value < range.least) throw SettingError::atLeast(setting, std::to_string(range.least), got);
    if (value > range.most) throw SettingError::atMost(setting, std::to_string(range.most), got);
}

void checkSettings(const RunSettings& settings) {
    const bool literal = settings.walker == Walker::Literal;
    if (literal && settings.particles) throw SettingError("particles needs the jump walk");
    if (settings.size) {
        checkWhole("size", sizeRange(settings.walker), *settings.size,
                   std::to_string(*settings.size));
    } else if (literal) {
        throw SettingError("the literal walk needs a size");
    }
    if (settings.particles) {
        checkWhole("particles", particlesRange(), *settings.particles,
                   std::to_string(*settings.particles));
    }
    const double k = settings.killFactor;
    if (literal && k != kWindowKillFactor) throw SettingError("kill_factor needs the jump walk");
    if (!(k >= kWindowKillFactor && k <= kLargestKillFactor)) {
        // The shortest text that reads back as k (the page's library has no to_chars of a
        // double).
        char got[32];
        for (int digits = 1; digits <= 17; ++digits) {
            std::snprintf(got, sizeof got, "%.*g", digits, k);
            if (std::strtod(got, nullptr) == k) break;
        }
        char text[96];
        std::snprintf(text, sizeof text, "kill_factor must be from %g to %g, got %s",
                      kWindowKillFactor, kLargestKillFactor, got);
        throw SettingError(text);
    }
    if (!literal && !settings.size && !settings.particles)
        throw SettingError("size or particles must be given");
}

PacedObserver::PacedObserver(std::int64_t particles, double seconds)
    : particles_(std::max<std::int64_t>(particles, 1)), seconds_(seconds), start_(now()) {}

double PacedObserver::elapsed() const {
    return now() - start_;
}

void PacedObserver::stuck(const Run& run) {
    if (++unchecked_ < particles_) return;
    unchecked_ = 0;
    const double now = elapsed();
    if (now - last_ < seconds_) return;
    last_ = now;
    beat(run, now);
}

Run::Run(const RunSettings& settings, Lattice* workspace) : settings_(settings) {
    checkSettings(settings);
    if (settings.walker == Walker::Literal) {
        literal_ = std::make_unique<Literal>(settings, workspace);
        return;
    }
    LargeGrowthOptions options;
    options.systemSize = settings.size;
    options.particleLimit = settings.particles;
    options.killFactor = settings.killFactor;
    large_ = std::make_unique<LargeGrowth>(options, FastGenerator::of(settings.seed));
}

Run::~Run() = default;

std::unique_ptr<Run> Run::restore(std::istream& in, double grownSeconds) {
    std::unique_ptr<Run> run(new Run());
    run->large_ = LargeGrowth::restore(in);
    const LargeGrowthOptions& options = run->large_->options();
    run->settings_ = {Walker::Jump, options.systemSize, options.particleLimit, options.killFactor,
                      run->large_->random().generator().state().seed};
    run->grownSeconds_ = grownSeconds;
    return run;
}

void Run::save(std::ostream& out) const {
    if (!large_) throw std::logic_error("only a jump walker's run is saved");
    large_->save(out);
}

bool Run::grow(RunObserver* observer, const std::atomic<bool>* stop) {
    if (finished()) return true;
    growStart_ = now();
    struct Stopwatch {
        Run& run;
        ~Stopwatch() {
            run.grownSeconds_ += now() - *run.growStart_;
            run.growStart_.reset();
        }
    } stopwatch{*this};
    if (large_) return large_->grow(told(*this, observer), stop);
    // The window's growth starts anew whenever it is called: a literal run grows once.
    if (literal_->started) return false;
    literal_->started = true;
    literal_->run = this;
    literal_->observer = observer;
    literal_->stop = stop;
    literal_->grown = Gerar_DLA(*settings_.size, literal_->lattice, literal_->random, *literal_);
    literal_->observer = nullptr;
    literal_->stop = nullptr;
    return literal_->grown.finished;
}

bool Run::walksAsItsSettings() const {
    return !large_ || large_->options().largestJump == LargeGrowthOptions{}.largestJump;
}

bool Run::finished() const {
    return large_ ? large_->finished() : literal_->grown.finished;
}

std::int64_t Run::particles() const {
    if (large_) return large_->counters().particles;
    return literal_->plotted > 0 ? literal_->plotted - 1 : 0;
}

double Run::growSeconds() const {
    return grownSeconds_ + (growStart_ ? now() - *growStart_ : 0.0);
}

const SiteList& Run::arrivals() const {
    return large_ ? large_->lattice().arrivals() : literal_->arrivals;
}

RunCounts Run::counts() const {
    if (large_) {
        const LargeGrowthCounters& c = large_->counters();
        return {large_->halfSide(),
                large_->launchRadius(),
                c.particles,
                c.walkersKilled,
                0,
                c.steps,
                c.jumps,
                large_->finished()};
    }
    const GrowthResult& g = literal_->grown;
    return {g.halfSide,      g.launchRadius, g.particles, g.walkersKilled,
            g.walkersAtEdge, g.steps,        0,           g.finished};
}

const RunResult& Run::result() {
    if (result_) return *result_;
    RunResult& r = result_.emplace();
    r.counts = counts();
    r.growSeconds = growSeconds();
    const SiteList& sites = arrivals();
    r.sites = static_cast<std::int64_t>(sites.size());
    r.radiusOfGyration = radiusOfGyration(sites);
    if (large_) {
        r.walkerVersion = kJumpWalkerVersion;
        r.hash = large_->lattice().hash();
        r.latticeBytes = large_->lattice().memoryBytes();
    }
    r.measuredSize = settings_.size.value_or(0);
    if (!finished()) return r;

    const double start = now();
    if (large_) {
        // From a copy of the run's source, re-initialised by the estimate as the window's is
        // after its run; a run without a size is measured at the size that spans it.
        SilentToolkit toolkit;
        RandomSource<FastGenerator> random(large_->random().generator(), toolkit);
        // The estimate reads the arrivals alone: the lattice's cells make way for its memory.
        large_->shedCells();
        if (!settings_.size) r.measuredSize = spanningSystemSize(large_->lattice());
        r.estimate = largeBoxMassEstimate(r.measuredSize, large_->lattice(), random);
    } else {
        r.estimate =
            Dimensão_Fractal(*settings_.size, literal_->lattice, literal_->random, *literal_);
    }
    if (r.estimate) r.fit = fitLine(r.estimate->points);
    const GrowthHistory history = GrowthHistory::of(sites);
    r.historyDimension = history.dimension();
    r.history = history.points();
    if (r.history.empty() || r.history.back().sites != history.sites())
        r.history.push_back(history.now());
    r.anisotropy = measureAnisotropy(sites);
    r.estimateSeconds = now() - start;
    return r;
}

}  // namespace dla
