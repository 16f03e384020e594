#include "liveview/window/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>

#include "core/application/trace_log.h"

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
// A bound on the modal windows closed per signal, in case one re-opens.
constexpr int kMaxWindowsClosed = 32;

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

}  // namespace

TerminationSignalGuard::TerminationSignalGuard(std::chrono::milliseconds bound) : m_bound(bound) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        WriteTraceLine("termination signals: no pipe, signals keep their default action");
        return;
    }
    g_signalPipe.store(m_pipe[1]);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [this] { OnSignalReadable(); });
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
    delete m_notifier;
    delete m_closeTimer;
    {
        std::lock_guard lock(m_watchdogLock);
        m_stopWatchdog = true;
    }
    m_watchdogWake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignalGuard::OnSignalReadable() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(m_pipe[0], &byte, 1) == 1) last = byte;
    if (last == 0)
        return;
    if (m_signal != 0)
        return;  // already on the way out
    m_signal = last;
    WriteTraceLine("signal " + std::to_string(last) + " received, closing");
    StartWatchdog(last);
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

void TerminationSignalGuard::StartWatchdog(int signal) {
    m_watchdog = std::thread([this, signal] {
        std::unique_lock lock(m_watchdogLock);
        if (m_watchdogWake.wait_for(lock, m_bound, [this] { return m_stopWatchdog; }))
            return;
        WriteTraceLine("shutdown after signal did not end in time, leaving");
        ::_exit(128 + signal);
    });
}
