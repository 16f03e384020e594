#pragma once

// Finds the window of another process (the external player's) so that
// messages and copy-data can be sent to it. A window of another process is
// its endpoint (platform/process_window.h); every endpoint is a top-level,
// visible window without a parent, and its class name is the endpoint's
// kind ("player").

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/process_window.h"

struct WindowRecord {
    std::string strWindowTitle;  // left empty by the enumeration
    std::string strClassName;    // at most kMaxClassNameChars characters
    std::string strModuleName;   // left empty by the enumeration
    std::uint32_t dwProcessId = 0;
    platform::ProcessWindowHandle hWnd;
};

// Filter flags: a window that a set flag rejects is not recorded.
enum WindowFilterFlags : std::uint32_t {
    kRecordVisibleOnly = 0x01,
    kRecordHiddenOnly = 0x02,     // examined only when kRecordVisibleOnly is clear
    kRecordTopLevelOnly = 0x04,   // windows without a parent
    kRecordChildOnly = 0x08,      // examined only when kRecordTopLevelOnly is clear
    kSkipExcludedClasses = 0x10,  // class names equal (case-sensitive) to an excluded one
};

class CWindowFinder {
public:
    static constexpr std::size_t kMaxClassNameChars = 259;
    static constexpr std::size_t kMaxTitleChars = 259;
    // While an enumeration records no window at all, the finder pauses this
    // long and enumerates again, at most kMaxEmptyRetries times.
    static constexpr std::chrono::milliseconds kEmptyRetryPause{3000};
    static constexpr int kMaxEmptyRetries = 5;

    CWindowFinder() = default;
    virtual ~CWindowFinder() = default;

    // Takes a new snapshot of the windows and returns the handle of the
    // first one that belongs to `processId`, or a null handle when none does.
    // An empty snapshot is retried (see above); the pauses are interruptible,
    // and a thread asked to stop gets a null handle at once.
    platform::ProcessWindowHandle FindWindowOfProcess(std::uint32_t processId);

    // Accessors of the last snapshot. Out-of-range positions and unknown
    // handles give empty texts, a null handle and a null record.
    std::string GetClassName(std::size_t index) const;
    std::string GetClassName(platform::ProcessWindowHandle window) const;
    // The title of the record's window, read from the window now (not from
    // the snapshot), at most kMaxTitleChars characters; empty when there is
    // no such record or its window has gone.
    std::string GetWindowTitle(std::size_t index) const;
    std::string GetWindowTitle(platform::ProcessWindowHandle window) const;
    std::string GetModuleName(std::size_t index) const;
    std::string GetModuleName(platform::ProcessWindowHandle window) const;
    platform::ProcessWindowHandle GetHandle(std::size_t index) const;
    const WindowRecord* GetRecord(std::size_t index) const;

    void AddExcludedClassName(std::string className);
    void SetFilterFlags(std::uint32_t flags) { m_dwFilterFlags = flags; }

private:
    void Enumerate();
    bool Passes(const platform::ProcessWindowInfo& window) const;
    const WindowRecord* FindRecord(platform::ProcessWindowHandle window) const;

    std::vector<WindowRecord> m_records;
    std::vector<std::string> m_excludedClassNames;
    std::uint32_t m_dwFilterFlags = 0;
};
