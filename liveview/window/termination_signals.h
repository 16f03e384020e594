#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <stop_token>
#include <thread>

#include "platform/window.h"

class QTimer;

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logout, Ctrl-C in a terminal,
// a service stop) into the same orderly close as the window's Close button.
//
// The signal handler only writes the signal number into a pipe. A watcher
// thread of the guard reads it, so the signal is noticed even while the GUI
// thread is held up in a device command (a device that never answers the
// main window's opening reads):
//   1. it stops the GUI thread's stop token, which the guard installs on the
//      GUI thread: every blocking device command and every wait of the GUI
//      thread ends at once, as failed;
//   2. it asks the GUI thread to close the open modal windows from the top,
//      so the main window runs DestroyWindow (recording closed with its
//      index, Setting.ini saved) and the program leaves through its normal
//      exit routine. Before it closes them the GUI thread takes a token that
//      is not stopped, so the close runs its own bounded waits as usual;
//      windows that open later (the main window after a login) are closed as
//      soon as their loop runs;
//   3. it bounds the whole road: `bound` after the signal, should the
//      process still run, it saves Setting.ini itself and ends the process
//      with exit status 128 + the signal.
// A second signal while the first is handled changes nothing.
//
// One guard at a time, created and destroyed on the GUI thread after the Qt
// application object exists. The destructor restores the previous handlers
// and the GUI thread's previous stop token.
class TerminationSignalGuard : public platform::MessageTarget {
public:
    explicit TerminationSignalGuard(std::chrono::milliseconds bound = std::chrono::seconds(20));
    ~TerminationSignalGuard() override;
    TerminationSignalGuard(const TerminationSignalGuard&) = delete;
    TerminationSignalGuard& operator=(const TerminationSignalGuard&) = delete;

    // The first signal received, 0 while none was.
    int ReceivedSignal() const { return m_signal.load(); }

    // The watcher's request to begin the close, on the GUI thread.
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

private:
    void Watch();
    void OnSignal(int signal);
    // Waits `bound` from the signal unless the guard goes first; then saves
    // the settings and ends the process.
    void BoundTheClose(int signal);
    // GUI thread.
    void BeginClose();
    void CloseModalWindows();

    std::chrono::milliseconds m_bound;
    int m_pipe[2] = {-1, -1};
    int m_wake = -1;  // ends the watcher when the guard goes

    std::stop_source m_guiStop;
    std::stop_token m_previousToken;
    // The watcher reaches the GUI thread through the program's own posted
    // messages.
    platform::WindowHandle m_handle = 0;
    // After a signal, keeps closing modal windows that open later.
    QTimer* m_closeTimer = nullptr;

    std::atomic<int> m_signal{0};
    std::thread m_watcher;
};
