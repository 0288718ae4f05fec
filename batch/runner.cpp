#include "batch/runner.h"

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

#include "window/lattice.h"

namespace dla {

namespace {

// Counts each particle for the progress display of runs on other threads.
class ParticleCount final : public dla::RunObserver {
  public:
    explicit ParticleCount(std::atomic<std::int64_t>& particles) : particles_(particles) {}
    void stuck(const Run&) override { particles_.fetch_add(1, std::memory_order_relaxed); }

  private:
    std::atomic<std::int64_t>& particles_;
};

}  // namespace

RunRecord recordOf(const RunPlan& plan, Run& run, const BatchSettings& batch) {
    RunRecord record{plan, run.settings(), run.result(), {}, {}};
    const std::deque<Site>& arrivals = run.arrivals();
    if (batch.keepArrivals) record.arrivals.assign(arrivals.begin(), arrivals.end());
    if (batch.imageSize > 0) record.picture = renderDownsampled(arrivals, batch.imageSize);
    return record;
}

void runAll(const std::vector<RunPlan>& plans, const BatchSettings& batch, int threads,
            const BatchObserver& observer) {
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
                if (batch.growth.walker == Walker::Literal && !lattice)
                    lattice = std::make_unique<Lattice>();
                Run run(runSettings(plans[i], batch.growth), lattice.get());
                ParticleCount count(particles);
                run.grow(&count, &stop);
                RunRecord record = recordOf(plans[i], run, batch);
                if (batch.exportRun) batch.exportRun(plans[i], run);
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

}  // namespace dla
