#pragma once

#include <atomic>
#include <functional>

#include "run.h"

/// One run grown alone on the calling thread, so that it can be saved between two particles
/// and continued later.
namespace dla {

/// When and how such a run is saved.
struct SaveSchedule {
    /// Seconds from the end of one save to the start of the next.
    double every = 60.0;
    /// Writes the run's whole state; empty: the run is never saved.
    std::function<void(const Run&)> save;
};

/// Grows `run` until it ends or `*stop` (if given) is set, calling progress(run) about five
/// times a second. With a save, it saves every `schedule.every` seconds and once more when the
/// growth stops, whether at the run's end or at `*stop`; an exception from a save ends the
/// growth.
void growSaved(Run& run, const SaveSchedule& schedule,
               const std::function<void(const Run&)>& progress, const std::atomic<bool>* stop);

}  // namespace dla
