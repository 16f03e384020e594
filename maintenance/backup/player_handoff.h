#pragma once

// The hand-off of backups to the external player: starting it (with the
// growing file or with a finished one), finding its window, the named mutex
// that guards the backup file between the two processes, the copy-data
// payloads and the window messages 0x1200 to 0x1204.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "platform/named_mutex.h"
#include "platform/process_window.h"

namespace maintenance {

using ::WM_PLAYER_ATTACH;
using ::WM_PLAYER_DATAEND;
using ::WM_PLAYER_ERROR;
using ::WM_PLAYER_NEWDATA;
using ::WM_PLAYER_READY;

inline constexpr std::uint64_t kPlayerErrorConnection = 0xf0000002;
inline constexpr std::uint64_t kPlayerErrorFile = 0xf0000003;

inline constexpr std::uint32_t kCopyDataNewFile = 1;
inline constexpr std::uint32_t kCopyDataMutexName = 2;
inline constexpr std::size_t kMutexNameBytes = 32;
inline constexpr std::size_t kFilePathBytes = 1024;
inline constexpr std::uint32_t kDefaultNotifyStep = 102'400;

inline constexpr char kPlayerProgramName[] = "VideoPlayer.exe";
inline constexpr char kDynamicLoadArgument[] = "DYNAMICLOAD=1";

// The player of the running program. The GUI thread writes everything but
// the flags it shares with the download thread, which are atomics.
struct PlayerSession {
    std::atomic<std::uint32_t> processId{0};
    std::atomic<std::uint32_t> window{0};  // the process whose endpoint is the window
    std::atomic<bool> started{false};
    std::atomic<bool> ready{false};
    std::atomic<bool> error{false};
    std::atomic<std::uint32_t> notifyStep{0};
    // The name of the mutex shared with the player; empty when none was made.
    // Written on the GUI thread only while no download runs.
    std::string mutexName;
    std::unique_ptr<platform::NamedMutex> mutex;

    bool Attached() const { return ready.load() && !error.load(); }
    platform::ProcessWindowHandle Window() const { return {window.load()}; }
    // Closes the mutex and forgets the process and its window.
    void Forget();
};

// The program's one session.
PlayerSession& ThePlayerSession();

// Waits and pauses of the hand-off; tests shorten them.
struct PlayerTimings {
    // How long a new player has to open its window.
    std::chrono::milliseconds readyBound{10'000};
    std::chrono::milliseconds readyPoll{20};
    std::chrono::milliseconds copyDataTimeout{5'000};
};

// "NETWORKBK_<tick>": the tick count in milliseconds as a signed decimal.
std::string MakeNetworkBackupMutexName(std::int64_t tickMilliseconds);

// The 32-byte and 1,024-byte zero-filled copy-data payloads; a text too
// long for its payload is refused (nullopt), never cut.
std::optional<std::vector<std::uint8_t>> ZeroFilledPayload(const std::string& text,
                                                           std::size_t bytes);

// What happened at a Start with Dynamic Download.
enum class PlayerStartResult {
    kReused,          // a running player got the new file by copy-data
    kStarted,         // a new player runs and has the mutex name
    kMutexFailed,     // "Create mutex error": the backup must not start
    kSpawnFailed,     // 4108; the download goes on without a player
    kNotReady,        // 4108 (the window did not appear in time)
    kNoWindow,        // 4113
    kCopyDataFailed,  // the player did not take the copy-data in time
};

// Sends the program's main window behind the other windows (the player's),
// without activating, moving or resizing it. GUI thread.
void SendMainWindowToBottom();

// The hand-off of one Start. `programDir` holds VideoPlayer.exe.
class PlayerHandoff {
public:
    explicit PlayerHandoff(PlayerSession& session, PlayerTimings timings = {})
        : m_session(session), m_timings(timings) {}

    // Forgets a player whose window has gone or belongs to another process.
    void CheckStartedPlayer();
    // Dynamic Download: re-uses the running player or starts a new one.
    PlayerStartResult StartOrReuse(const std::filesystem::path& programDir,
                                   const std::filesystem::path& backupFile);

    // When the progress dialog opens: resets the flags and attaches the
    // player (if any) to `dialogWindow`, the id it answers to.
    void Attach(std::uint64_t dialogWindow);
    // WM_PLAYER_READY: only from the recorded player window.
    void OnPlayerReady(std::uint64_t wParam, std::uint64_t lParam);
    void OnPlayerError();

private:
    PlayerSession& m_session;
    PlayerTimings m_timings;
};

}  // namespace maintenance
