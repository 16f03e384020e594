#pragma once

// How the General page reaches the server-log download and its dialogs,
// which live in the maintenance tools above this layer. The program
// registers them at start-up; until it does, "Server Log" starts nothing and
// the button stays as it is.

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/application/window_messages.h"
#include "platform/sync.h"
#include "platform/window.h"

// The download posts WM_LOGDOWNLOADSTATE (core/application/window_messages.h)
// to the General page: wParam 1 the log is complete, 2 or 4 the download
// ended without a log to show.

// One download's shared state: what the page asks for and where the
// download puts what it received. The page keeps it alive as long as the
// download may touch it.
struct ServerLogJob {
    static constexpr std::size_t kBufferBytes = 65'536;  // 2048 records of 32 bytes
    static constexpr std::size_t kRecordBytes = 32;

    platform::WindowHandle page = 0;  // where WM_LOGDOWNLOADSTATE goes
    int maxEntries = 300;
    // Set: the download stops as soon as it can.
    platform::Event endEvent{false, false};
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBufferBytes, 0);
    std::atomic<std::uint32_t> recordCount{0};
};

// A running download. Destroying it ends the download: it asks, waits a
// bounded time, and never blocks the GUI thread without limit.
class ServerLogDownload {
public:
    virtual ~ServerLogDownload() = default;
};

struct ServerLogHooks {
    // Starts a download for the job; none when it could not start.
    std::function<std::unique_ptr<ServerLogDownload>(std::shared_ptr<ServerLogJob>)> start;
    // Runs the family's log dialog over a complete job, modally.
    std::function<void(QWidget* parent, bool dvrFamily, const ServerLogJob& job)> showLog;
};

// Replaces the hooks (empty members: the stand-in above).
void SetServerLogHooks(ServerLogHooks hooks);
ServerLogHooks GetServerLogHooks();
