#include "maintenance/backup/backup_download.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/net/cgi_command.h"
#include "maintenance/backup/backup_block_stream.h"
#include "platform/posix_io.h"

namespace maintenance {

namespace {

std::mutex g_burnerLock;
std::shared_ptr<BackupBurner> g_burner;

// The folder of the backup file, opened once for the whole download: every
// block goes to the file of that name in this folder, whatever is renamed or
// put in the folder's place meanwhile. A path without a folder is in the
// working folder.
platform::UniqueFd OpenFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    return platform::UniqueFd(platform::OpenAt(AT_FDCWD, folder.empty() ? "." : folder.c_str(),
                                               O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The file's own name in its folder, or empty when the path names none.
std::string FileNameOf(const std::filesystem::path& file) {
    std::string name = file.filename().native();
    return (name == "." || name == "..") ? std::string() : name;
}

// Opens the backup file in its folder for appending one block: it must
// exist already, and a link put in its place is not followed.
int OpenForAppend(int folder, const char* name) {
    return platform::OpenAt(folder, name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
}

// Empties the file the page created, or creates it when it has gone; a
// file put in its place meanwhile as a link is not followed. 0, or the
// errno of the failure.
int CreateAnew(int folder, const char* name) {
    platform::UniqueFd fd(
        platform::OpenAt(folder, name, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
    if (!fd && errno == ENOENT) {
        fd.Reset(platform::OpenAt(folder, name,
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    }
    if (!fd) {
        return errno;
    }
    return fd.Close() ? 0 : errno;
}

}  // namespace

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

std::string BuildNetworkBackupQuery(std::string_view cookie, const BackupSpan& span) {
    char numbers[192];
    std::snprintf(numbers, sizeof numbers,
                  "&Year=%d&Month=%d&Day=%d&Hour=%d&Minute=%d&Second=%d&Num=%d&CH=%d&Size=%d",
                  span.year, span.month, span.day, span.hour, span.minute, span.second,
                  static_cast<int>(span.hddNumber), static_cast<int>(span.channelIndex),
                  static_cast<int>(span.sizeMb));
    return "Cookie=" + std::string(cookie) + numbers;
}

std::uint32_t BackupPercentage(std::uint64_t total, std::int32_t sizeMb) {
    if (sizeMb <= 0) {
        return 100;
    }
    // total is far below 2^57 for any backup, so total * 100 cannot overflow.
    const std::uint64_t percent =
        ((std::min<std::uint64_t>(total, std::uint64_t{1} << 56) * 100) >> 20) /
        static_cast<std::uint64_t>(sizeMb);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(percent, 100));
}

void SetBackupBurner(std::shared_ptr<BackupBurner> burner) {
    std::lock_guard lock(g_burnerLock);
    g_burner = std::move(burner);
}

std::shared_ptr<BackupBurner> CurrentBackupBurner() {
    std::lock_guard lock(g_burnerLock);
    return g_burner;
}

BackupDownload::BackupDownload(BackupDownloadJob job, PlayerSession& player,
                               BackupDownloadReports reports, BackupDownloadTimings timings)
    : m_job(std::move(job)), m_player(player), m_reports(std::move(reports)), m_timings(timings) {}

BackupDownload::~BackupDownload() {
    Stop();
}

bool BackupDownload::Start() {
    // The mutex object is the thread's own claim on the player's mutex; it
    // is opened here, before the thread reads anything of the session.
    if (!m_player.mutexName.empty()) {
        try {
            m_mutex = std::make_unique<platform::NamedMutex>(m_player.mutexName);
        } catch (const std::exception&) {
            m_mutex.reset();
        }
    }
    return m_thread.Start([this] { return Run(); }, "NetworkBackup");
}

void BackupDownload::Cancel() {
    m_cancel = true;
    m_socket.Shutdown();
}

void BackupDownload::Stop() {
    Cancel();
    {
        std::lock_guard lock(m_burnLock);
        if (m_burner) {
            m_burner->RequestAbort();
        }
    }
    // A running burn is given the time it needs to stop; the thread is
    // always joined before anything it uses goes away.
    m_thread.Stop(std::chrono::milliseconds(200));
}

void BackupDownload::State(std::uint32_t state, std::uint32_t percent) {
    if (m_reports.state) {
        m_reports.state(state, percent);
    }
}

void BackupDownload::Progress(std::uint32_t command, std::int32_t argument) {
    if (m_reports.progress) {
        m_reports.progress(command, argument);
    }
}

bool BackupDownload::PostPlayer(std::uint32_t message, std::uint64_t wParam, std::uint64_t lParam,
                                bool attachedOnly) {
    const platform::ProcessWindowHandle window = m_player.Window();
    if (!window || (attachedOnly && !m_player.Attached())) {
        return false;
    }
    return m_poster.Post(window, message, wParam, lParam);
}

BackupDownload::LockResult BackupDownload::LockFile(platform::NamedMutex* mutex) {
    if (mutex == nullptr) {
        return LockResult::kNone;
    }
    // A free mutex (the player is mostly not reading) is taken by the first
    // Lock at once.
    const auto giveUp = std::chrono::steady_clock::now() + m_timings.lockBound;
    for (;;) {
        if (Cancelled()) {
            return LockResult::kCancelled;
        }
        switch (mutex->Lock(m_timings.lockTry)) {
            case platform::WaitResult::Signaled:
                return LockResult::kHeld;
            case platform::WaitResult::Stopped:
                return LockResult::kCancelled;
            case platform::WaitResult::Timeout:
                break;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            return LockResult::kGaveUp;
        }
    }
}

int BackupDownload::AppendBlock(std::span<const std::uint8_t> payload) {
    const int fd = OpenForAppend(m_folder.Get(), m_fileName.c_str());
    if (fd < 0) {
        return errno;
    }
    // What a failing write did put in the file stays there.
    const int error = payload.empty() || platform::WriteAll(fd, payload) ? 0 : errno;
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    return error != 0 ? error : closeError;
}

std::uint32_t BackupDownload::Run() {
    if (Cancelled()) {
        return 0;
    }
    // The notices share one connection to the player, and the blocks one
    // descriptor of the folder, for as long as the download runs.
    struct LetGo {
        BackupDownload& download;
        ~LetGo() {
            download.m_poster.Close();
            download.m_folder.Reset();
        }
    } letGo{*this};
    const auto failConnection = [this] {
        m_socket.CloseQuietly();
        if (Cancelled()) {
            PostPlayer(WM_PLAYER_DATAEND, 1, 0, true);
            return;
        }
        State(kDownloadSendFailed);
        PostPlayer(WM_PLAYER_ERROR, 0, kPlayerErrorConnection, false);
    };
    try {
        m_socket.Create();
        m_socket.Connect(CSocketAddress(m_job.server, m_job.port), m_timings.connect);
        const std::string request = BuildKeepAliveGet(
            "/NetworkBk.cgi?" + BuildNetworkBackupQuery(m_job.cookie, m_job.span), m_job.hostIp);
        if (request.empty()) {
            throw CBlockingSocketException("Request", EINVAL);
        }
        m_socket.Write(request.data(), static_cast<int>(request.size()), m_timings.send);
    } catch (const CBlockingSocketException&) {
        failConnection();
        return 0;
    }

    // A full disk is said as such; any other failure of the file is the
    // file's.
    const auto fileFailed = [this](int error) {
        m_socket.CloseQuietly();
        State(IsDiskFull(error) ? kDownloadDiskFull : kDownloadFileFailed);
        PostPlayer(WM_PLAYER_ERROR, 0, kPlayerErrorFile, false);
    };
    m_fileName = FileNameOf(m_job.file);
    m_folder = OpenFolder(m_job.file);
    if (m_fileName.empty() || !m_folder) {
        fileFailed(0);
        return 0;
    }
    if (const int error = CreateAnew(m_folder.Get(), m_fileName.c_str()); error != 0) {
        fileFailed(error);
        return 0;
    }

    Progress(1);
    Progress(2, 100);
    std::uint64_t total = 0;
    std::uint64_t notified = 0;
    std::uint32_t shownPercent = 0xFFFFFFFFu;
    BackupBlockReader reader([this](std::span<std::uint8_t> buffer) {
        return m_socket.Receive(buffer.data(), static_cast<int>(buffer.size()), m_timings.read);
    });
    const auto end = [this] {
        m_socket.CloseQuietly();
        Progress(4);
    };
    const auto endCancelled = [&] {
        PostPlayer(WM_PLAYER_DATAEND, 1, 0, true);
        end();
    };
    const auto endFileFailed = [&](int error) {
        fileFailed(error);
        Progress(4);
    };
    // Waits until the player has let go of the file, so that an ending the
    // player learns of never overtakes its last read.
    const auto syncWithPlayer = [this] {
        if (LockFile(m_mutex.get()) == LockResult::kHeld) {
            m_mutex->Unlock();
        }
    };

    for (;;) {
        const BackupBlockKind kind = reader.Next([this] { return Cancelled(); });
        if (kind == BackupBlockKind::kCancelled) {
            endCancelled();
            return 0;
        }
        if (kind == BackupBlockKind::kReadFailed || kind == BackupBlockKind::kTooLong ||
            kind == BackupBlockKind::kGarbage) {
            m_socket.CloseQuietly();
            State(kDownloadReadFailed);
            PostPlayer(WM_PLAYER_ERROR, 0, kPlayerErrorConnection, false);
            Progress(4);
            return 0;
        }
        if (kind == BackupBlockKind::kBusy) {
            syncWithPlayer();
            m_socket.CloseQuietly();
            State(kDownloadBusy);
            PostPlayer(WM_PLAYER_DATAEND, 1, 0, true);
            Progress(4);
            return 0;
        }
        if (kind == BackupBlockKind::kEnd) {
            break;
        }

        const std::span<const std::uint8_t> payload = reader.Payload();
        const LockResult lock = LockFile(m_mutex.get());
        if (lock == LockResult::kCancelled) {
            endCancelled();
            return 0;
        }
        // A player that held the file too long is a failure of the file.
        const int error = lock == LockResult::kGaveUp ? EBUSY : AppendBlock(payload);
        if (lock == LockResult::kHeld) {
            m_mutex->Unlock();
        }
        if (error != 0) {
            endFileFailed(error);
            return 0;
        }
        total += payload.size();
        m_total = total;
        // A notice the player's queue did not take is not lost: the next one
        // carries its bytes too.
        if (total > notified + m_player.notifyStep.load() && m_player.Attached() &&
            PostPlayer(WM_PLAYER_NEWDATA, 0, total - notified, true)) {
            notified = total;
        }
        const std::uint32_t percent = BackupPercentage(total, m_job.span.sizeMb);
        if (percent != shownPercent) {
            shownPercent = percent;
            State(kDownloadProgress, percent);
            Progress(3, static_cast<std::int32_t>(percent));
        }
    }

    syncWithPlayer();
    m_socket.CloseQuietly();
    if (total == 0) {
        State(kDownloadNoData);
        PostPlayer(WM_PLAYER_DATAEND, 1, 0, true);
        m_ended = true;
        Progress(4);
        return 0;
    }
    if (total > notified) {
        PostPlayer(WM_PLAYER_NEWDATA, 0, total - notified, true);
    }
    PostPlayer(WM_PLAYER_DATAEND, 0, 0, true);
    m_ended = true;
    Progress(4);
    if (m_job.copyToCd) {
        std::shared_ptr<BackupBurner> burner = CurrentBackupBurner();
        if (burner && !Cancelled()) {
            {
                std::lock_guard lock(m_burnLock);
                m_burner = burner;
            }
            State(kDownloadBurning);
            burner->Burn(m_job.file);
            std::lock_guard lock(m_burnLock);
            m_burner.reset();
        }
    }
    State(kDownloadComplete);
    return 0;
}

}  // namespace maintenance
