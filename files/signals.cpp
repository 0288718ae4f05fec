#include "files/signals.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <csignal>
#include <cstring>

namespace dla {

namespace {

// What the handler reads: lock-free atomics and fixed buffers; it calls only unlink, signal
// and raise.
struct HiddenName {
    std::atomic<int> state{0};  // 0 free, 1 taken, 2 ready to be removed
    char name[PATH_MAX];
};
std::array<HiddenName, 8> hiddenNames;
std::atomic<bool> interruptWanted{false};
std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};

extern "C" void onSignal(int signal) {
    if ((signal == SIGINT || signal == SIGTERM) && interruptWanted.load() &&
        !interruptRequested.exchange(true)) {
        interruptSignal.store(signal);
        return;
    }
    for (HiddenName& hidden : hiddenNames) {
        if (hidden.state.load(std::memory_order_acquire) == 2) ::unlink(hidden.name);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void installSignalHandling() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN ||
            action.sa_handler == onSignal)
            continue;
        action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

int rememberHiddenFile(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < hiddenNames.size(); ++i) {
        int expected = 0;
        if (hiddenNames[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(hiddenNames[i].name, name.c_str(), name.size() + 1);
            hiddenNames[i].state.store(2, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void forgetHiddenFile(int slot) {
    if (slot >= 0) hiddenNames[static_cast<std::size_t>(slot)].state.store(0);
}

InterruptRequest::InterruptRequest() {
    installSignalHandling();
    interruptRequested = false;
    interruptSignal = 0;
    interruptWanted = true;
}

InterruptRequest::~InterruptRequest() {
    interruptWanted = false;
}

const std::atomic<bool>& InterruptRequest::requested() const {
    return interruptRequested;
}

int InterruptRequest::signal() const {
    return interruptSignal.load();
}

}  // namespace dla
