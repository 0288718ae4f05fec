#include "runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "base/toolkit.h"
#include "large_measure.h"

namespace dla::cli {

namespace {

// Headless toolkit: nothing is shown; every plotted site is remembered, since the growth plots
// the seed and then each particle as it sticks.
class ArrivalToolkit final : public Toolkit {
  public:
    ArrivalToolkit(std::atomic<std::int64_t>* particles, const std::atomic<bool>* stop)
        : particles_(particles), stop_(stop) {}

    void setStatusText(std::string_view) override {}
    bool yield() override { return stop_ == nullptr || !stop_->load(std::memory_order_relaxed); }
    void retangulo(std::int16_t a, std::int16_t b, Rgb) override {
        if (!plotted_.empty() && particles_ != nullptr)
            particles_->fetch_add(1, std::memory_order_relaxed);
        plotted_.push_back({a, b});
    }
    void messageBox(std::string_view, MessageStyle) override {}

    /// The plotted sites without repeats: a walker released onto an occupied cell is plotted
    /// again there, but the cell keeps the place of its first arrival.
    std::vector<Site> distinctArrivals() const {
        std::vector<Site> sites;
        sites.reserve(plotted_.size());
        std::unordered_set<std::int64_t> seen;
        seen.reserve(plotted_.size() * 2);
        for (const Site& s : plotted_) {
            if (seen.insert(static_cast<std::int64_t>(s.x) * 4096 + s.y).second) sites.push_back(s);
        }
        return sites;
    }

  private:
    std::atomic<std::int64_t>* particles_;
    const std::atomic<bool>* stop_;
    std::vector<Site> plotted_;
};

}  // namespace

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<RunPlan> planRuns(const Options& options) {
    std::vector<RunPlan> plans;
    const Shard& shard = options.shard;
    plans.reserve(static_cast<std::size_t>((options.totalRuns() + shard.count - 1) / shard.count));
    std::int64_t index = 0;
    for (const std::int32_t size : options.sizes) {
        for (std::int64_t k = 0; k < options.runs; ++k, ++index) {
            if (!shard.holds(index)) continue;
            RunPlan plan{index, size, std::nullopt};
            if (options.seed) plan.seed = *options.seed + static_cast<std::uint64_t>(index);
            plans.push_back(plan);
        }
    }
    return plans;
}

RunSettings runSettings(const Options& options) {
    RunSettings settings;
    settings.walk = options.walk;
    settings.particleLimit = options.particles;
    settings.killFactor = options.killFactor.value_or(kWindowKillFactor);
    settings.keepArrivals = !options.imagePath.empty() && options.imageSize == 0;
    settings.imageSize = options.imagePath.empty() ? 0 : options.imageSize;
    return settings;
}

LargeGrowthOptions largeOptions(const RunPlan& plan, const RunSettings& settings) {
    LargeGrowthOptions options;
    if (plan.size != kNoSize) options.systemSize = plan.size;
    options.particleLimit = settings.particleLimit;
    options.killFactor = settings.killFactor;
    return options;
}

RunRecord recordOf(const RunPlan& plan, const LargeGrowth& growth, const RunSettings& settings,
                   double growSeconds) {
    RunRecord record;
    record.plan = plan;
    const LargeGrowthCounters& counts = growth.counters();
    record.growth = {
        growth.halfSide(), growth.launchRadius(), counts.particles, counts.walkersKilled, 0,
        counts.steps,      counts.jumps,          growth.finished()};
    record.killFactor = growth.options().killFactor;
    record.particleLimit = growth.options().particleLimit;
    record.hash = growth.lattice().hash();
    record.latticeBytes = growth.lattice().memoryBytes();
    record.growSeconds = growSeconds;
    const std::deque<Site>& arrivals = growth.lattice().arrivals();
    record.sites = growth.lattice().occupiedCount();
    record.radiusOfGyration = radiusOfGyration(arrivals);
    if (settings.keepArrivals) record.arrivals.assign(arrivals.begin(), arrivals.end());
    if (settings.imageSize > 0) record.picture = renderDownsampled(arrivals, settings.imageSize);

    if (growth.finished()) measureLarge(growth, record);
    return record;
}

RunRecord runOne(const RunPlan& plan, const RunSettings& settings, Lattice* lattice,
                 std::atomic<std::int64_t>* particles, const std::atomic<bool>* stop) {
    if (settings.walk == Walk::Jump) {
        const auto start = std::chrono::steady_clock::now();
        LargeGrowth growth(largeOptions(plan, settings), FastGenerator::of(plan.seed));
        LargeGrowth::Observer count;
        if (particles != nullptr) {
            count = [particles](const LargeGrowth&, const StuckParticle&) {
                particles->fetch_add(1, std::memory_order_relaxed);
            };
        }
        growth.grow(count, stop);
        return recordOf(plan, growth, settings, secondsSince(start));
    }

    ArrivalToolkit toolkit(particles, stop);
    RandomSource<FastGenerator> random(FastGenerator::of(plan.seed), toolkit);
    RunRecord record;
    record.plan = plan;
    record.measuredSize = plan.size;

    auto start = std::chrono::steady_clock::now();
    const GrowthResult g = Gerar_DLA(plan.size, *lattice, random, toolkit);
    record.growSeconds = secondsSince(start);
    record.growth = {g.halfSide,      g.launchRadius, g.particles, g.walkersKilled,
                     g.walkersAtEdge, g.steps,        0,           g.finished};

    record.sites = lattice->occupiedCount();
    record.arrivals = toolkit.distinctArrivals();
    record.radiusOfGyration = radiusOfGyration(record.arrivals);
    measureShape(record.arrivals, record);
    if (!settings.keepArrivals) std::vector<Site>().swap(record.arrivals);
    if (!record.growth.finished) return record;

    start = std::chrono::steady_clock::now();
    record.estimate = Dimensão_Fractal(plan.size, *lattice, random, toolkit);
    record.estimateSeconds = secondsSince(start);
    if (record.estimate) record.fit = fitLine(record.estimate->points);
    return record;
}

void runAll(const std::vector<RunPlan>& plans, const RunSettings& settings, int threads,
            const RunObserver& observer) {
    const auto workers = static_cast<std::size_t>(
        std::max(1, std::min<int>(threads, static_cast<int>(plans.size()))));
    // Run i starts only once run i - window has been handed on, so that the runs finished
    // behind a slow one stay few however many runs there are.
    const auto window = static_cast<std::int64_t>(4 * workers);
    std::mutex mutex;
    std::condition_variable changed;             // a run finished, or the batch failed
    std::condition_variable handedOn;            // the window moved, or the batch stopped
    std::map<std::int64_t, RunRecord> finished;  // by position in plans, waiting to be handed on
    std::int64_t handed = 0;
    std::exception_ptr failure;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> particles{0};
    const auto stopAll = [&] {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        handedOn.notify_all();
    };

    auto work = [&] {
        // Made at the first literal run, inside the handling of its failure: the jump walker
        // does not need it.
        std::unique_ptr<Lattice> lattice;
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= plans.size()) return;
            {
                std::unique_lock lock(mutex);
                handedOn.wait(
                    lock, [&] { return stop || static_cast<std::int64_t>(i) < handed + window; });
                if (stop) return;
            }
            try {
                if (settings.walk == Walk::Literal && !lattice)
                    lattice = std::make_unique<Lattice>();
                RunRecord record = runOne(plans[i], settings, lattice.get(), &particles, &stop);
                const std::lock_guard lock(mutex);
                finished.emplace(static_cast<std::int64_t>(i), std::move(record));
            } catch (...) {
                {
                    const std::lock_guard lock(mutex);
                    if (!failure) failure = std::current_exception();
                }
                stopAll();
            }
            changed.notify_one();
        }
    };

    std::vector<std::jthread> pool;
    pool.reserve(workers);
    try {
        for (std::size_t t = 0; t < workers; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // Where no more threads can start (memory, a limit of processes), the ones that did
        // make every run; the results do not depend on their number.
        if (pool.empty()) throw;
    }

    try {
        const auto total = static_cast<std::int64_t>(plans.size());
        // At once, so that the display starts before the first run is done.
        if (observer.progress) observer.progress(0, 0);
        std::unique_lock lock(mutex);
        while (handed < total && !failure) {
            // The timeout only paces the progress display; completion is signalled.
            changed.wait_for(lock, std::chrono::milliseconds(200),
                             [&] { return failure || finished.contains(handed); });
            while (!failure && finished.contains(handed)) {
                RunRecord record = std::move(finished.at(handed));
                finished.erase(handed);
                ++handed;
                lock.unlock();
                handedOn.notify_all();
                if (observer.record) observer.record(std::move(record));
                lock.lock();
            }
            if (observer.progress && handed < total) {
                const auto done = handed + static_cast<std::int64_t>(finished.size());
                lock.unlock();
                observer.progress(done, particles.load(std::memory_order_relaxed));
                lock.lock();
            }
        }
    } catch (...) {
        // The workers drop the runs they are in at their next particle and take no more.
        stopAll();
        throw;
    }
    stopAll();
    pool.clear();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dla::cli
