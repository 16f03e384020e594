#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

// trace.log: a bounded diagnostic log in the program's folder. Each line is
// the caller's text and CR LF, oldest first. The file holds at most the
// configured number of lines, where a line longer than 99 characters counts
// once per started 99-character piece; the oldest whole lines are dropped to
// make room. trace.log survives between runs and is never read back by the
// program.

// Remembers the maximum line count and the file folder/"trace.log". Creates
// no file. Called once at start-up.
void InitTraceLog(int maxLines, const std::filesystem::path& folder);

// Adds `text` as the newest line. One writer at a time reads and rewrites the
// whole file. A line that cannot be written is lost silently; it never blocks
// later writers. Does nothing before InitTraceLog or after CloseTraceLog.
void WriteTraceLine(std::string_view text);

// Forgets the path; later lines are dropped.
void CloseTraceLog();

// DebugTrace.log: a log file created empty when opened and held open until
// closed. Lines are appended with CR LF; after 1,048,576 lines the file is
// started anew.
class CDebugTrace {
public:
    CDebugTrace() = default;
    ~CDebugTrace();
    CDebugTrace(const CDebugTrace&) = delete;
    CDebugTrace& operator=(const CDebugTrace&) = delete;

    // Sets the path to folder/"DebugTrace.log" and, unless a file is already
    // open, creates it anew (emptying an existing one). False when the file
    // cannot be created.
    bool Open(const std::filesystem::path& folder);

    // Appends text and CR LF. Waits at most 10 s for another writer; true when
    // the line was written.
    bool WriteLine(std::string_view text);

    // Closes the file if open. Always true.
    bool Close();

    // Deletes the file at the path. Always true.
    bool DeleteLogFile();

private:
    // A mutex whose lock can wait a bounded time. std::timed_mutex would do,
    // but its bounded wait (pthread_mutex_clocklock) is invisible to
    // ThreadSanitizer, which then reports the unlock as one of an unlocked
    // mutex and loses the ordering the lock gives; a flag under a plain
    // mutex is seen.
    class BoundedWaitMutex {
    public:
        void lock() {
            std::unique_lock state(m_state);
            m_released.wait(state, [this] { return !m_held; });
            m_held = true;
        }
        template <class Rep, class Period>
        bool try_lock_for(const std::chrono::duration<Rep, Period>& timeout) {
            std::unique_lock state(m_state);
            if (!m_released.wait_for(state, timeout, [this] { return !m_held; }))
                return false;
            m_held = true;
            return true;
        }
        void unlock() {
            {
                std::lock_guard state(m_state);
                m_held = false;
            }
            m_released.notify_one();
        }

    private:
        std::mutex m_state;
        std::condition_variable m_released;
        bool m_held = false;
    };

    bool CreateFileLocked();
    void CloseFileLocked();

    BoundedWaitMutex m_writeLock;
    std::filesystem::path m_path;
    int m_fd = -1;
    std::uint32_t m_lineCount = 0;
};
