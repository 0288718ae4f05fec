#pragma once

#include <atomic>
#include <string>

/// dla-cli's one answer to SIGINT, SIGTERM and SIGHUP: the hidden files that exist are removed
/// and the process ends by the signal, as it would have without a handler. While an
/// InterruptRequest exists, the first SIGINT or SIGTERM only sets its flag, so that the run can
/// stop between two particles and be saved; a second one ends the process. A signal that was
/// ignored when the handler was installed stays ignored.
namespace dla {

/// Installs the handler (again: nothing more).
void installSignalHandling();

/// Remembers a hidden file's name for the handler, until forgetHiddenFile(slot); -1 when it
/// cannot (more than a few at once, or a name too long), and the file is then removed only by
/// its owner.
int rememberHiddenFile(const std::string& name);
void forgetHiddenFile(int slot);

/// While one exists (one at a time), SIGINT and SIGTERM set requested() instead of ending the
/// process.
class InterruptRequest {
  public:
    InterruptRequest();
    ~InterruptRequest();
    InterruptRequest(const InterruptRequest&) = delete;
    InterruptRequest& operator=(const InterruptRequest&) = delete;

    const std::atomic<bool>& requested() const;
    /// The signal that set requested(), or 0.
    int signal() const;
};

}  // namespace dla
