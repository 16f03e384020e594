#include "maintenance/backup/player_handoff.h"

#include <cstdio>

#include "core/application/window_finder.h"
#include "core/state/app_global_state.h"
#include "platform/clock.h"
#include "platform/process_spawn.h"

namespace maintenance {

void PlayerSession::Forget() {
    mutex.reset();
    processId = 0;
    window = 0;
}

void SendMainWindowToBottom() {
    if (g_lpApp != nullptr) {
        platform::SendWindowToBottom(g_lpApp->h_MainDialogHandle.load());
    }
}

PlayerSession& ThePlayerSession() {
    static PlayerSession session;
    return session;
}

std::string MakeNetworkBackupMutexName(std::int64_t tickMilliseconds) {
    char name[kMutexNameBytes + 8];
    std::snprintf(name, sizeof name, "%s_%lld", "NETWORKBK",
                  static_cast<long long>(tickMilliseconds));
    return name;
}

std::optional<std::vector<std::uint8_t>> ZeroFilledPayload(const std::string& text,
                                                           std::size_t bytes) {
    // Room is kept for the terminating zero the player reads up to.
    if (text.size() >= bytes || text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> payload(bytes, 0);
    std::copy(text.begin(), text.end(), payload.begin());
    return payload;
}

void PlayerHandoff::CheckStartedPlayer() {
    const platform::ProcessWindowHandle window = m_session.Window();
    if (!window) {
        return;
    }
    // A window is the endpoint of its own process: it belongs to the
    // recorded process exactly when it is named for it and still answers.
    if (window.pid != m_session.processId.load() || !platform::IsProcessWindow(window)) {
        m_session.Forget();
    }
}

PlayerStartResult PlayerHandoff::StartOrReuse(const std::filesystem::path& programDir,
                                              const std::filesystem::path& backupFile) {
    if (m_session.started.load() && m_session.processId.load() != 0 &&
        m_session.window.load() != 0) {
        const auto payload = ZeroFilledPayload(backupFile.string(), kFilePathBytes);
        if (!payload) {
            return PlayerStartResult::kCopyDataFailed;
        }
        SendMainWindowToBottom();
        const platform::CopyDataReply reply = platform::SendProcessWindowCopyData(
            m_session.Window(), kCopyDataNewFile, *payload, m_timings.copyDataTimeout);
        return reply.status == platform::CopyDataStatus::Acknowledged
                   ? PlayerStartResult::kReused
                   : PlayerStartResult::kCopyDataFailed;
    }

    m_session.Forget();
    m_session.mutexName =
        MakeNetworkBackupMutexName(static_cast<std::int32_t>(platform::TickCount()));
    try {
        m_session.mutex = std::make_unique<platform::NamedMutex>(m_session.mutexName);
    } catch (const std::exception&) {
        m_session.mutexName.clear();
        return PlayerStartResult::kMutexFailed;
    }

    const std::optional<std::uint32_t> pid = platform::SpawnDetachedProcess(
        programDir / kPlayerProgramName, {backupFile.string(), kDynamicLoadArgument});
    if (!pid) {
        return PlayerStartResult::kSpawnFailed;
    }
    m_session.started = true;
    m_session.processId = *pid;
    SendMainWindowToBottom();

    // Ready for input: the player has opened its window's endpoint.
    const auto giveUp = std::chrono::steady_clock::now() + m_timings.readyBound;
    while (!platform::IsProcessWindow({*pid})) {
        if (std::chrono::steady_clock::now() >= giveUp || !platform::Sleep(m_timings.readyPoll)) {
            m_session.processId = 0;
            return PlayerStartResult::kNotReady;
        }
    }
    CWindowFinder finder;
    const platform::ProcessWindowHandle window = finder.FindWindowOfProcess(*pid);
    if (!window) {
        m_session.processId = 0;
        return PlayerStartResult::kNoWindow;
    }
    m_session.window = window.pid;

    const auto payload = ZeroFilledPayload(m_session.mutexName, kMutexNameBytes);
    const platform::CopyDataReply reply = platform::SendProcessWindowCopyData(
        window, kCopyDataMutexName, *payload, m_timings.copyDataTimeout);
    return reply.status == platform::CopyDataStatus::Acknowledged
               ? PlayerStartResult::kStarted
               : PlayerStartResult::kCopyDataFailed;
}

void PlayerHandoff::Attach(std::uint64_t dialogWindow) {
    m_session.ready = false;
    m_session.error = false;
    m_session.notifyStep = 0;
    if (const platform::ProcessWindowHandle window = m_session.Window()) {
        platform::PostProcessWindowMessage(window, WM_PLAYER_ATTACH, 0, dialogWindow);
    }
}

void PlayerHandoff::OnPlayerReady(std::uint64_t wParam, std::uint64_t lParam) {
    if (m_session.window.load() == 0 || lParam != m_session.window.load()) {
        return;
    }
    // The step is in KB; a step that would not fit 32 bits is the default's.
    const std::uint64_t step = wParam * 1024;
    m_session.notifyStep =
        (wParam == 0 || step > 0xFFFFFFFFu) ? kDefaultNotifyStep : static_cast<std::uint32_t>(step);
    m_session.ready = true;
}

void PlayerHandoff::OnPlayerError() {
    m_session.error = true;
}

}  // namespace maintenance
