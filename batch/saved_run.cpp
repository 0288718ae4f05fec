#include "batch/saved_run.h"

namespace dla {

namespace {

// A look every 64 particles: progress five times a second, a save once `every` seconds have
// passed since the end of the last one.
class Watch final : public PacedObserver {
  public:
    Watch(const SaveSchedule& schedule, const std::function<void(const Run&)>& progress)
        : PacedObserver(64, 0.0), schedule_(schedule), progress_(progress) {}

  private:
    void beat(const Run& run, double elapsed) override {
        if (progress_ && elapsed - lastProgress_ >= 0.2) {
            progress_(run);
            lastProgress_ = elapsed;
        }
        if (schedule_.save && elapsed - lastSave_ >= schedule_.every) {
            schedule_.save(run);
            lastSave_ = this->elapsed();
        }
    }

    const SaveSchedule& schedule_;
    const std::function<void(const Run&)>& progress_;
    double lastSave_ = 0.0, lastProgress_ = 0.0;
};

}  // namespace

void growSaved(Run& run, const SaveSchedule& schedule,
               const std::function<void(const Run&)>& progress, const std::atomic<bool>* stop) {
    Watch watch(schedule, progress);
    run.grow(&watch, stop);
    if (schedule.save) schedule.save(run);
}

}  // namespace dla
