#pragma once

// The device's server log: the 32-byte records, the COUNT reply, the page
// by page download newest page first (GetLogThread) and the event texts of
// the two device families.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "platform/thread.h"
#include "platform/window.h"

namespace maintenance {

using ::WM_LOGDOWNLOADSTATE;
enum LogDownloadCode : std::uint32_t {
    kLogDownloaded = 1,
    kLogEmpty = 2,
    kLogFailed = 4,
};

inline constexpr std::size_t kServerLogRecordBytes = 32;
inline constexpr std::size_t kServerLogBufferBytes = 65'536;
inline constexpr std::uint32_t kMaxServerLogRecords = kServerLogBufferBytes / kServerLogRecordBytes;
// A page with fewer records than this was the last.
inline constexpr std::uint32_t kServerLogFullPage = 30;
inline constexpr std::uint32_t kNeverListedEvent = 0xFFFF;

struct ServerLogRecord {
    std::uint32_t event_id = 0;
    std::array<std::uint8_t, 6> event_time{};
    std::uint8_t channel = 0;
    std::string detail;  // at most 16 characters: up to a NUL within the field
    std::uint8_t ddns_ok = 0;
};

ServerLogRecord ParseServerLogRecord(std::span<const std::uint8_t, kServerLogRecordBytes> bytes);

// The records a buffer holds (count clamped to what the buffer has room for).
std::vector<ServerLogRecord> ServerLogRecords(std::span<const std::uint8_t> buffer,
                                              std::uint32_t count);

// The number of the "COUNT=<digits>;" item; nothing when the item, its
// digits or its ";" are missing or anything else stands before the ";".
// A number too large for 32 bits saturates.
std::optional<std::uint32_t> ParseLogCount(std::span<const std::uint8_t> reply);

// One request; fills `reply` and its length, false on failure.
using LogSender = std::function<bool(const std::string& target, std::span<std::uint8_t> reply,
                                     std::uint32_t& length)>;

struct ServerLogBuffer {
    std::array<std::uint8_t, kServerLogBufferBytes> bytes{};
    std::uint32_t count = 0;
};

// The download itself. Returns the code to post, or nothing when
// `stopped` said so (then nothing is posted).
std::optional<std::uint32_t> DownloadServerLog(
    std::uint32_t maxNumber, const std::string& cookie, const std::function<bool()>& stopped,
    const LogSender& send, const std::function<void(std::uint32_t, std::int32_t)>& progress,
    ServerLogBuffer& buffer);

// GetLogThread: the download on its own thread, for the General page. The
// result goes to `window` as WM_LOGDOWNLOADSTATE; the buffer is read only
// after code 1 arrived.
class ServerLogDownload {
public:
    ServerLogDownload() = default;
    ~ServerLogDownload() { Stop(); }
    ServerLogDownload(const ServerLogDownload&) = delete;
    ServerLogDownload& operator=(const ServerLogDownload&) = delete;

    // Zeroes the buffer and starts; false while one runs. `finished`, when
    // given, sees the buffer on the download's thread once the download
    // ended with a code, before the code is posted.
    bool Start(platform::WindowHandle window, std::uint32_t maxNumber,
               std::function<void(const ServerLogBuffer&)> finished = {});
    // Asks it to stop (nothing is posted then) and joins it.
    void Stop();
    bool Running() const { return m_thread.Running(); }
    const ServerLogBuffer& Buffer() const { return *m_buffer; }

    // The sender (tests replace it); by default the command client.
    static void SetSender(LogSender sender);

private:
    std::unique_ptr<ServerLogBuffer> m_buffer = std::make_unique<ServerLogBuffer>();
    std::atomic<bool> m_stop{false};
    platform::Thread m_thread;
};

// ---- the dialogs' texts

enum class ServerLogFamily { kDvr, kVideoServer };

struct LogFilterBox {
    int id;
    std::uint32_t bit;
    const char* text;
};

std::uint32_t InitialEventMask(ServerLogFamily family);
std::span<const LogFilterBox> LogFilterBoxes(ServerLogFamily family);
std::string EventName(ServerLogFamily family, const ServerLogRecord& record);
bool ListedUnderMask(const ServerLogRecord& record, std::uint32_t mask);

struct LogRowTexts {
    std::string number;
    std::string event;
    std::string time;
    std::string channel;  // DVR only
};
LogRowTexts LogRow(ServerLogFamily family, const ServerLogRecord& record, int row);

}  // namespace maintenance
