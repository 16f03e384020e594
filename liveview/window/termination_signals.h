#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QSocketNotifier;
class QTimer;

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logout, Ctrl-C in a terminal,
// a service stop) into the same orderly close as the window's Close button:
// the signal handler only writes the signal number into a pipe; the GUI
// thread reads it and closes the open modal windows from the top, so the main
// window runs DestroyWindow (recording closed with its index, Setting.ini
// saved) and the program leaves through its normal exit routine.
//
// The orderly road is bounded: from the first signal a watchdog allows
// `bound` for the whole shutdown and then ends the process with exit status
// 128 + the signal, so a stuck shutdown never ignores a logout for good.
// A second signal while the first is handled changes nothing. Windows that
// open after the signal (the main window after a login) are closed as soon
// as their loop runs.
//
// One guard at a time, created and destroyed on the GUI thread after the Qt
// application object exists. The destructor restores the previous handlers.
class TerminationSignalGuard {
public:
    explicit TerminationSignalGuard(std::chrono::milliseconds bound = std::chrono::seconds(20));
    ~TerminationSignalGuard();
    TerminationSignalGuard(const TerminationSignalGuard&) = delete;
    TerminationSignalGuard& operator=(const TerminationSignalGuard&) = delete;

    // The first signal received, 0 while none was.
    int ReceivedSignal() const { return m_signal; }

private:
    void OnSignalReadable();
    void CloseModalWindows();
    void StartWatchdog(int signal);

    std::chrono::milliseconds m_bound;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    // After a signal, keeps closing modal windows that open later (the main
    // window opening right after the login dialog closed).
    QTimer* m_closeTimer = nullptr;
    int m_signal = 0;

    std::mutex m_watchdogLock;
    std::condition_variable m_watchdogWake;
    bool m_stopWatchdog = false;
    std::thread m_watchdog;
};
