#include "liveview/window/termination_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/state/global_state_setup.h"
#include "platform/stop_token.h"

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
// A bound on the modal windows closed per signal, in case one re-opens.
constexpr int kMaxWindowsClosed = 32;
// How long the end of the bound gives the settings to be written before the
// process ends without them (a disk that hangs must not keep it alive).
constexpr std::chrono::seconds kLastSaveWait{2};
// The guard's one message to itself.

std::atomic<int> g_signalPipe{-1};
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const int fd = g_signalPipe.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // Async-signal-safe; a full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

// Waits for either descriptor to become readable or for the time-out (a
// negative one: none). The index of the readable one, or -1.
int WaitReadable(int first, int second, int timeoutMs) {
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{first, POLLIN, 0}, pollfd{second, POLLIN, 0}};
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;  // the wait's length is not kept to the millisecond
        if (ready <= 0)
            return -1;
        return fds[0].revents != 0 ? 0 : 1;
    }
}

}  // namespace

TerminationSignalGuard::TerminationSignalGuard(std::chrono::milliseconds bound)
    : m_bound(bound), m_handle(platform::RegisterWindow(this)) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        WriteTraceLine("termination signals: no pipe, signals keep their default action");
        return;
    }
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        for (int& fd : m_pipe) {
            ::close(fd);
            fd = -1;
        }
        WriteTraceLine("termination signals: no eventfd, signals keep their default action");
        return;
    }
    m_previousToken = platform::CurrentStopToken();
    platform::SetCurrentStopToken(m_guiStop.get_token());
    m_watcher = std::thread([this] { Watch(); });

    g_signalPipe.store(m_pipe[1]);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignalGuard::~TerminationSignalGuard() {
    if (m_pipe[1] >= 0) {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
        g_signalPipe.store(-1);
    }
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }
    if (m_watcher.joinable()) {
        m_watcher.join();
        platform::SetCurrentStopToken(m_previousToken);
    }
    delete m_closeTimer;
    // A close still on its way is dropped.
    platform::UnregisterWindow(m_handle);
    for (int fd : {m_pipe[0], m_pipe[1], m_wake}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignalGuard::Watch() {
    if (WaitReadable(m_pipe[0], m_wake, -1) != 0)
        return;  // the guard goes
    unsigned char byte = 0;
    int last = 0;
    while (::read(m_pipe[0], &byte, 1) == 1) last = byte;
    if (last == 0)
        return;
    OnSignal(last);
    BoundTheClose(last);
}

void TerminationSignalGuard::OnSignal(int signal) {
    m_signal = signal;
    WriteTraceLine("signal " + std::to_string(signal) + " received, closing");
    // The GUI thread may be held up in a device command: that ends now.
    m_guiStop.request_stop();
    platform::PostWindowMessage(m_handle, WM_BEGINCLOSE, 0, 0);
}

void TerminationSignalGuard::BoundTheClose(int signal) {
    const auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(m_bound).count();
    if (WaitReadable(m_wake, m_wake, static_cast<int>(bound)) == 0)
        return;  // the program ended its own way
    WriteTraceLine("shutdown after signal did not end in time, leaving");
    // The settings are written on a thread of their own: a save held up as
    // well does not keep the process alive past the last wait.
    auto written = std::make_shared<std::promise<void>>();
    std::future<void> done = written->get_future();
    std::thread([written] {
        SaveSettingsWhileStateExists(kLastSaveWait);
        written->set_value();
    }).detach();
    done.wait_for(kLastSaveWait * 2);
    ::_exit(128 + signal);
}

void TerminationSignalGuard::HandleWindowMessage(std::uint32_t message, std::uint64_t,
                                                 std::uint64_t) {
    if (message == WM_BEGINCLOSE && m_closeTimer == nullptr)
        BeginClose();
}

void TerminationSignalGuard::BeginClose() {
    // The blocking work the stop ended is over; the close runs its own
    // bounded waits, which a stopped token would cut short.
    platform::SetCurrentStopToken(std::stop_token{});
    CloseModalWindows();
    m_closeTimer = new QTimer;
    QObject::connect(m_closeTimer, &QTimer::timeout, [this] { CloseModalWindows(); });
    m_closeTimer->start(100);
}

void TerminationSignalGuard::CloseModalWindows() {
    // Closing the top modal window ends its loop; the next one becomes the
    // active modal window. The main window's close runs DestroyWindow.
    for (int i = 0; i < kMaxWindowsClosed; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            break;
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;  // it refused
    }
}
