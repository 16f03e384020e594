#pragma once

// The download of one backup: "/NetworkBk.cgi" on a connection of its own,
// the block stream appended to the backup file block by block under the
// mutex shared with the player, the states reported to the progress dialog,
// the progress to the configuration sheet and the data notices to the
// player, and the burn of the finished file when one was asked for.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/application/window_messages.h"
#include "core/net/blocking_socket.h"
#include "maintenance/backup/player_handoff.h"
#include "platform/posix_io.h"
#include "platform/thread.h"

class QWidget;

namespace maintenance {

using ::WM_DOWNLOADSTATE;

enum DownloadState : std::uint32_t {
    kDownloadSendFailed = 1,
    kDownloadFileFailed = 2,
    kDownloadReadFailed = 3,
    kDownloadNoData = 4,
    kDownloadComplete = 5,
    kDownloadProgress = 6,
    kDownloadBusy = 7,
    kDownloadBurning = 8,
    // The backup's disk is full; the file keeps what was written.
    kDownloadDiskFull = 9,
};

// What the operator is told when the backup's disk is full.
inline constexpr char kDiskFullText[] = "The disk is full.";

// True for the errors of a full disk or a used-up quota.
bool IsDiskFull(int error);

// What is asked of the device.
struct BackupSpan {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint8_t hddNumber = 0;
    std::uint32_t channelIndex = 0;  // channel - 1
    std::int32_t sizeMb = 5;
};

// "Cookie=%s&Year=%d&...&Size=%d" of a span.
std::string BuildNetworkBackupQuery(std::string_view cookie, const BackupSpan& span);

// The share of `sizeMb` that `total` bytes are, in percent, never above 100.
std::uint32_t BackupPercentage(std::uint64_t total, std::int32_t sizeMb);

// What the preparation of a burn came to.
enum class BurnPreparation {
    kBurn,          // the file is burned once it is downloaded
    kNoBurn,        // the user chose no disc, or no disc suits
    kEngineFailed,  // the burning engine did not start
};

// Writes a finished backup to disc. The disc writer fills this in; without
// one, no disc is written (as when the user did not ask for one).
class BackupBurner {
public:
    virtual ~BackupBurner() = default;
    // On the GUI thread at Start: starts the engine and lets the user choose
    // the drive and disc (`parent` for its dialogs).
    virtual BurnPreparation Prepare(QWidget* parent, const std::filesystem::path& file,
                                    std::uint64_t sizeBytes) = 0;
    // Runs on the download thread until the disc is written or aborted.
    virtual void Burn(const std::filesystem::path& file) = 0;
    // From the GUI thread: asks a running Burn to stop soon.
    virtual void RequestAbort() = 0;
};
void SetBackupBurner(std::shared_ptr<BackupBurner> burner);
std::shared_ptr<BackupBurner> CurrentBackupBurner();

struct BackupDownloadTimings {
    std::chrono::milliseconds connect = CBlockingSocket::kDefaultConnectTimeout;
    std::chrono::milliseconds send{10'000};
    std::chrono::milliseconds read{10'000};
    // The file's mutex is tried this often, and given up (a file failure)
    // when the player has held it this long.
    std::chrono::milliseconds lockTry{200};
    std::chrono::milliseconds lockBound{30'000};
};

// Where the download reports. Every function is called on the download
// thread and must not block for long; empty ones are skipped.
struct BackupDownloadReports {
    std::function<void(std::uint32_t state, std::uint32_t percent)> state;
    std::function<void(std::uint32_t command, std::int32_t argument)> progress;
};

struct BackupDownloadJob {
    std::string server;  // dotted address
    std::uint16_t port = 80;
    std::string cookie;
    std::string hostIp;
    BackupSpan span;
    std::filesystem::path file;
    bool copyToCd = false;
};

class BackupDownload {
public:
    BackupDownload(BackupDownloadJob job, PlayerSession& player, BackupDownloadReports reports,
                   BackupDownloadTimings timings = {});
    // Cancels, asks a running burn to stop and joins the thread.
    ~BackupDownload();
    BackupDownload(const BackupDownload&) = delete;
    BackupDownload& operator=(const BackupDownload&) = delete;

    bool Start();
    // Ends the download at its next step; a wait on the network or on the
    // mutex ends at once.
    void Cancel();
    // Cancel, then wait for the thread (a running burn is asked to stop).
    void Stop();

    // Set when the stream ended normally or without data.
    bool Ended() const { return m_ended.load(); }
    bool Running() const { return m_thread.Running(); }
    std::uint64_t BytesWritten() const { return m_total.load(); }

private:
    std::uint32_t Run();
    bool Cancelled() const { return m_cancel.load(); }
    void State(std::uint32_t state, std::uint32_t percent = 0);
    void Progress(std::uint32_t command, std::int32_t argument = 0);
    bool PostPlayer(std::uint32_t message, std::uint64_t wParam, std::uint64_t lParam,
                    bool attachedOnly);
    enum class LockResult { kHeld, kNone, kCancelled, kGaveUp };
    LockResult LockFile(platform::NamedMutex* mutex);
    // 0, or the errno of the failure.
    int AppendBlock(std::span<const std::uint8_t> payload);

    const BackupDownloadJob m_job;
    PlayerSession& m_player;
    const BackupDownloadReports m_reports;
    const BackupDownloadTimings m_timings;
    std::unique_ptr<platform::NamedMutex> m_mutex;  // the download thread's claim
    // The backup file's folder, opened once, and the file's name in it; the
    // download thread's own.
    platform::UniqueFd m_folder;
    std::string m_fileName;
    platform::ProcessWindowPoster m_poster;  // the player notices' connection
    CBlockingSocket m_socket;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_ended{false};
    std::atomic<std::uint64_t> m_total{0};
    std::mutex m_burnLock;
    std::shared_ptr<BackupBurner> m_burner;  // the one burning now
    platform::Thread m_thread;
};

}  // namespace maintenance
