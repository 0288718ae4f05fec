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
    const SiteList& arrivals = run.arrivals();
    if (batch.keepArrivals) record.arrivals.assign(arrivals.begin(), arrivals.end());
    if (batch.imageSize > 0) record.picture = renderDownsampled(arrivals, batch.imageSize);
    if (batch.exportRun) batch.exportRun(plan, run);
    return record;
}

namespace {

// The shared state of one runAll: workers take the plans in order, and the calling thread hands
// the records on in that order.
class Pool {
  public:
    Pool(const std::vector<RunPlan>& plans, const BatchSettings& batch, std::size_t workers)
        : plans_(plans), batch_(batch), window_(static_cast<std::int64_t>(4 * workers)) {}

    // One worker: runs until the plans are all taken or the batch stops.
    void work() {
        // Made at the first literal run, inside the handling of its failure: the jump walker
        // does not need it.
        std::unique_ptr<Lattice> lattice;
        for (;;) {
            const std::size_t i = next_.fetch_add(1);
            if (i >= plans_.size() || !waitForWindow(static_cast<std::int64_t>(i))) return;
            try {
                const bool kept = static_cast<bool>(batch_.keepRun);
                if (batch_.growth.walker == Walker::Literal && !lattice && !kept)
                    lattice = std::make_unique<Lattice>();
                auto run = std::make_unique<Run>(runSettings(plans_[i], batch_.growth),
                                                 kept ? nullptr : lattice.get());
                ParticleCount count(particles_);
                run->grow(&count, &stop_);
                RunRecord record = recordOf(plans_[i], *run, batch_);
                if (kept) batch_.keepRun(plans_[i], std::move(run));
                const std::lock_guard lock(mutex_);
                finished_.emplace(static_cast<std::int64_t>(i), std::move(record));
            } catch (...) {
                {
                    const std::lock_guard lock(mutex_);
                    if (!failure_) failure_ = std::current_exception();
                }
                stop();
            }
            changed_.notify_one();
        }
    }

    // On the calling thread: hands every record on in the plans' order, with progress between.
    void handOn(const BatchObserver& observer) {
        const auto total = static_cast<std::int64_t>(plans_.size());
        // At once, so that the display starts before the first run is done.
        if (observer.progress) observer.progress(0, 0);
        std::unique_lock lock(mutex_);
        while (handed_ < total && !failure_) {
            // The timeout only paces the progress display; completion is signalled.
            changed_.wait_for(lock, std::chrono::milliseconds(200),
                              [&] { return failure_ || finished_.contains(handed_); });
            while (!failure_ && finished_.contains(handed_)) {
                RunRecord record = std::move(finished_.at(handed_));
                finished_.erase(handed_);
                ++handed_;
                lock.unlock();
                handedOn_.notify_all();
                if (observer.record) observer.record(std::move(record));
                lock.lock();
            }
            if (observer.progress && handed_ < total) {
                const auto done = handed_ + static_cast<std::int64_t>(finished_.size());
                lock.unlock();
                observer.progress(done, particles_.load(std::memory_order_relaxed));
                lock.lock();
            }
        }
    }

    // The workers drop the runs they are in at their next particle and take no more.
    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        handedOn_.notify_all();
    }

    void rethrowFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }

  private:
    // Run i starts only once run i - window has been handed on, so that the runs finished
    // behind a slow one stay few however many runs there are. False: the batch stopped.
    bool waitForWindow(std::int64_t i) {
        std::unique_lock lock(mutex_);
        handedOn_.wait(lock, [&] { return stop_ || i < handed_ + window_; });
        return !stop_;
    }

    const std::vector<RunPlan>& plans_;
    const BatchSettings& batch_;
    const std::int64_t window_;
    std::mutex mutex_;
    std::condition_variable changed_;             // a run finished, or the batch failed
    std::condition_variable handedOn_;            // the window moved, or the batch stopped
    std::map<std::int64_t, RunRecord> finished_;  // by position in plans, waiting to be handed on
    std::int64_t handed_ = 0;
    std::exception_ptr failure_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> particles_{0};
};

}  // namespace

void runAll(const std::vector<RunPlan>& plans, const BatchSettings& batch, int threads,
            const BatchObserver& observer) {
    const auto workers = static_cast<std::size_t>(
        std::max(1, std::min<int>(threads, static_cast<int>(plans.size()))));
    Pool pool(plans, batch, workers);
    std::vector<std::jthread> threadsStarted;
    threadsStarted.reserve(workers);
    try {
        for (std::size_t t = 0; t < workers; ++t)
            threadsStarted.emplace_back([&pool] { pool.work(); });
    } catch (const std::system_error&) {
        // Where no more threads can start (memory, a limit of processes), the ones that did
        // make every run; the results do not depend on their number.
        if (threadsStarted.empty()) throw;
    }
    try {
        pool.handOn(observer);
    } catch (...) {
        pool.stop();
        throw;
    }
    pool.stop();
    threadsStarted.clear();
    pool.rethrowFailure();
}

}  // namespace dla
