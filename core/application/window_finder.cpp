#include "core/application/window_finder.h"

#include <algorithm>

#include "platform/clock.h"

namespace {

// What the filter flags look at. Endpoints have no parent and, existing only
// while their process runs its message loop, are always visible.
constexpr bool kEndpointVisible = true;
constexpr bool kEndpointHasParent = false;

}  // namespace

bool CWindowFinder::Passes(const platform::ProcessWindowInfo& window) const {
    const std::uint32_t flags = m_dwFilterFlags;
    if ((flags & kRecordVisibleOnly) != 0) {
        if (!kEndpointVisible) {
            return false;
        }
    } else if ((flags & kRecordHiddenOnly) != 0 && kEndpointVisible) {
        return false;
    }
    if ((flags & kRecordTopLevelOnly) != 0) {
        if (kEndpointHasParent) {
            return false;
        }
    } else if ((flags & kRecordChildOnly) != 0 && !kEndpointHasParent) {
        return false;
    }
    if ((flags & kSkipExcludedClasses) != 0 &&
        std::ranges::find(m_excludedClassNames, window.className) != m_excludedClassNames.end()) {
        return false;
    }
    return true;
}

void CWindowFinder::Enumerate() {
    for (const platform::ProcessWindowInfo& window : platform::EnumerateProcessWindows()) {
        if (!Passes(window)) {
            continue;
        }
        WindowRecord record;
        record.strClassName = window.className.substr(0, kMaxClassNameChars);
        record.dwProcessId = window.pid;
        record.hWnd = window.handle;
        m_records.push_back(std::move(record));
    }
}

platform::ProcessWindowHandle CWindowFinder::FindWindowOfProcess(std::uint32_t processId) {
    m_records.clear();
    Enumerate();
    // An empty snapshot means no process has a window yet (the player may
    // still be starting); look again a bounded number of times.
    for (int retry = 0; m_records.empty() && retry < kMaxEmptyRetries; ++retry) {
        if (!platform::Sleep(kEmptyRetryPause)) {
            return {};
        }
        Enumerate();
    }
    const auto it = std::ranges::find(m_records, processId, &WindowRecord::dwProcessId);
    return it != m_records.end() ? it->hWnd : platform::ProcessWindowHandle{};
}

const WindowRecord* CWindowFinder::GetRecord(std::size_t index) const {
    return index < m_records.size() ? &m_records[index] : nullptr;
}

const WindowRecord* CWindowFinder::FindRecord(platform::ProcessWindowHandle window) const {
    if (!window) {
        return nullptr;
    }
    const auto it = std::ranges::find(m_records, window, &WindowRecord::hWnd);
    return it != m_records.end() ? &*it : nullptr;
}

std::string CWindowFinder::GetClassName(std::size_t index) const {
    const WindowRecord* record = GetRecord(index);
    return record != nullptr ? record->strClassName : std::string();
}

std::string CWindowFinder::GetClassName(platform::ProcessWindowHandle window) const {
    const WindowRecord* record = FindRecord(window);
    return record != nullptr ? record->strClassName : std::string();
}

namespace {

std::string LiveTitle(const WindowRecord* record) {
    if (record == nullptr) {
        return {};
    }
    std::string title = platform::ProcessWindowTitle(record->hWnd);
    title.resize(std::min(title.size(), CWindowFinder::kMaxTitleChars));
    return title;
}

}  // namespace

std::string CWindowFinder::GetWindowTitle(std::size_t index) const {
    return LiveTitle(GetRecord(index));
}

std::string CWindowFinder::GetWindowTitle(platform::ProcessWindowHandle window) const {
    return LiveTitle(FindRecord(window));
}

std::string CWindowFinder::GetModuleName(std::size_t index) const {
    const WindowRecord* record = GetRecord(index);
    return record != nullptr ? record->strModuleName : std::string();
}

std::string CWindowFinder::GetModuleName(platform::ProcessWindowHandle window) const {
    const WindowRecord* record = FindRecord(window);
    return record != nullptr ? record->strModuleName : std::string();
}

platform::ProcessWindowHandle CWindowFinder::GetHandle(std::size_t index) const {
    const WindowRecord* record = GetRecord(index);
    return record != nullptr ? record->hWnd : platform::ProcessWindowHandle{};
}

void CWindowFinder::AddExcludedClassName(std::string className) {
    m_excludedClassNames.push_back(std::move(className));
}
