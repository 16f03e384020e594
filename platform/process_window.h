#pragma once

// Windows of other processes.
//
// A process that runs a message loop makes its window reachable by creating
// an endpoint: a SOCK_SEQPACKET Unix socket named player-<pid>.sock in the
// runtime folder (platform/runtime_folder.h), mode 0600. Another process
// finds the window by finding that endpoint; the endpoint's pid is checked
// with SO_PEERCRED, so a file left behind by a process that died (or a socket
// planted under another process's name) is never taken for a live window.
//
// Each operation opens its own connection, but for the posts of a
// ProcessWindowPoster, which share one. Packets, little-endian:
//   posted message  {u32 message, u32 0, u64 wParam, u64 lParam}       24 bytes
//   copy-data       {u32 0x4A, u32 dwData, u32 cbData, cbData bytes}
//   its answer      {u32 0x4A, u32 0, u64 result}                      16 bytes
// The endpoint reads connections in the order they were made and each
// connection's packets in the order sent, so messages posted one after
// another by one thread arrive in that order; a copy-data is answered only
// after everything posted before it was received.
//
// Nothing here waits without a limit: posting never blocks, a copy-data waits
// for its answer only up to its time-out, and every wait watches the calling
// thread's stop token (and honours a clock source that lets time-outs elapse
// at once, see platform/clock.h).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/posix_io.h"
#include "platform/sync.h"

namespace platform {

inline constexpr std::uint32_t kCopyDataMessage = 0x4A;
// Largest copy-data payload either side accepts.
inline constexpr std::size_t kMaxCopyDataBytes = 64 * 1024;
inline constexpr std::chrono::milliseconds kDefaultCopyDataTimeout{5000};

// A window of another process, known by the process's id; 0 is none.
struct ProcessWindowHandle {
    std::uint32_t pid = 0;

    explicit operator bool() const { return pid != 0; }
    bool operator==(const ProcessWindowHandle&) const = default;
};

// The endpoint file of process `pid` (whether or not it exists), or nullopt
// when there is no usable runtime folder.
std::optional<std::filesystem::path> ProcessWindowPath(std::uint32_t pid);

struct ProcessWindowInfo {
    std::uint32_t pid = 0;
    std::string className;  // the endpoint's kind, "player"
    ProcessWindowHandle handle;
};

// The live windows of other processes of this user, in the order of their
// process ids. An endpoint counts only when it answers and SO_PEERCRED names
// the process its file name gives, running as this user.
std::vector<ProcessWindowInfo> EnumerateProcessWindows();

// The window's endpoint answers (as above).
bool IsProcessWindow(ProcessWindowHandle window);

// The title of a live window, read now: the name its process runs under
// (the kernel's command name, at most 15 characters). Empty when the window
// is not live.
std::string ProcessWindowTitle(ProcessWindowHandle window);

// Queues a message for the window without waiting for it to be handled.
// False when the window is not live or its queue is full, and for message
// 0x4A, which carries data and must be sent with SendProcessWindowCopyData.
bool PostProcessWindowMessage(ProcessWindowHandle window, std::uint32_t message,
                              std::uint64_t wParam, std::uint64_t lParam);

// Posts a run of messages to a window over one connection that it keeps, so
// that each costs a single send instead of finding and checking the window
// again. The connection was checked when it was made (SO_PEERCRED) and
// reaches only that process; it is made anew for another window, when the
// window has gone (one new try, as PostProcessWindowMessage would), and when
// its queue is full, the new one then carrying this and the later messages
// so that they still arrive in posting order. Used by one thread at a time.
class ProcessWindowPoster {
public:
    // As PostProcessWindowMessage.
    bool Post(ProcessWindowHandle window, std::uint32_t message, std::uint64_t wParam,
              std::uint64_t lParam);
    // Lets the connection go.
    void Close() { m_fd.Reset(); }

private:
    UniqueFd m_fd;
    std::uint32_t m_pid = 0;
};

enum class CopyDataStatus {
    Acknowledged,  // the window answered; result holds its answer
    NoWindow,      // no live endpoint for the handle
    TimedOut,      // no answer within the time-out
    Stopped,       // the calling thread was asked to stop
    Failed,        // too much data, or the window closed without a valid answer
};

struct CopyDataReply {
    CopyDataStatus status = CopyDataStatus::Failed;
    std::uint64_t result = 0;
};

// Sends data to the window and waits up to `timeout` for its answer. A
// negative time-out is taken as zero: the answer is never waited for
// without a limit.
CopyDataReply SendProcessWindowCopyData(
    ProcessWindowHandle window, std::uint32_t dwData, std::span<const std::uint8_t> data,
    std::chrono::milliseconds timeout = kDefaultCopyDataTimeout);

// The calling process's own window endpoint, serving its message loop.
class ProcessWindowEndpoint {
public:
    struct Received {
        enum class Kind { Message, CopyData };
        Kind kind = Kind::Message;
        std::uint32_t message = 0;  // kCopyDataMessage for copy-data
        std::uint64_t wParam = 0;
        std::uint64_t lParam = 0;
        std::uint32_t dwData = 0;
        std::vector<std::uint8_t> data;
        std::uint64_t replyId = 0;  // identifies the sender awaiting an answer
    };

    // Creates the endpoint of this process, replacing a file that a dead
    // process of the same id left behind. Throws std::system_error when the
    // runtime folder is refused or the socket cannot be made.
    ProcessWindowEndpoint();
    // Closes every connection and removes the endpoint's file.
    ~ProcessWindowEndpoint();
    ProcessWindowEndpoint(const ProcessWindowEndpoint&) = delete;
    ProcessWindowEndpoint& operator=(const ProcessWindowEndpoint&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    // Waits up to `timeout` (negative: until stopped) for the next message
    // or copy-data. Connections from other users, malformed or oversized
    // packets are dropped. Signaled when `out` was filled.
    WaitResult Receive(std::chrono::milliseconds timeout, Received& out);

    // Answers a received copy-data (once). False when its sender has gone
    // or it was answered already.
    bool Acknowledge(const Received& copyData, std::uint64_t result);

private:
    struct Connection {
        int fd = -1;
        std::uint64_t awaitedReply = 0;
    };

    void AcceptPending();
    bool TakePacket(Received& out);
    void Drop(std::size_t index);

    int m_listen = -1;
    std::filesystem::path m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::vector<Connection> m_connections;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_nextReply = 1;
};

}  // namespace platform
