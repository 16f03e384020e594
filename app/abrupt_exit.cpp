#include "app/abrupt_exit.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/application/trace_log.h"
#include "core/state/global_state_setup.h"

namespace {

// The longest the ending waits for the settings' lock.
constexpr std::chrono::milliseconds kSaveBound{2000};

std::atomic<bool> g_armed{false};

// An exit handler. `first` is non-null when it runs ahead of every other
// handler, so that the trace log still stands.
void LeaveNow(int status, void* first) {
    if (!g_armed.exchange(false))
        return;
    // The save runs on a thread of its own: a save held up elsewhere does
    // not keep the process alive past the bound.
    auto written = std::make_shared<std::promise<bool>>();
    std::future<bool> done = written->get_future();
    std::thread([written] {
        written->set_value(SaveSettingsWhileStateExists(kSaveBound));
    }).detach();
    const bool saved = done.wait_for(kSaveBound * 2) == std::future_status::ready && done.get();
    if (first != nullptr) {
        WriteTraceLine("exit(" + std::to_string(status) + ") while the program ran: settings " +
                       (saved ? "saved" : "not saved") + ", leaving");
    }
    std::fflush(nullptr);
    ::_exit(status);
}

int g_first = 1;

struct Sentinel {
    ~Sentinel() {
        // Runs when the GUI thread ends, or at its exit() before any static
        // object goes; a handler registered now runs first.
        if (g_armed.load())
            ::on_exit(LeaveNow, &g_first);
    }
};

thread_local Sentinel t_sentinel;

}  // namespace

AbruptExitGuard::AbruptExitGuard() {
    static std::once_flag registered;
    std::call_once(registered, [] { ::on_exit(LeaveNow, nullptr); });
    // Creating the sentinel registers its destructor for this thread.
    [[maybe_unused]] Sentinel& sentinel = t_sentinel;
    g_armed.store(true);
}

AbruptExitGuard::~AbruptExitGuard() {
    g_armed.store(false);
}
