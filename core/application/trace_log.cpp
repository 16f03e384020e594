#include "core/application/trace_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "platform/posix_io.h"

namespace {

// A line is counted once per started piece of this many characters, the way
// the log has always been counted (a reader taking at most 99 characters or
// up to a line feed at a time).
constexpr std::size_t kPieceChars = 99;

constexpr std::string_view kLineEnd = "\r\n";

struct TraceLogState {
    std::mutex lock;
    std::filesystem::path path;
    std::size_t maxPieces = 0;
};

TraceLogState& TraceState() {
    static TraceLogState state;
    return state;
}

// Reads what of the file can still matter. A file that holds no more than
// maxPieces pieces is never longer than maxPieces * 99 bytes, so of a longer
// file (grown by hand or by another program) only that many trailing bytes
// are read, starting after the first line feed so that no partial line is
// kept.
bool ReadKeptContent(int fd, std::size_t maxPieces, std::string& content) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0) {
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    const std::size_t cap = maxPieces * kPieceChars;
    if (size <= cap) {
        content.resize(size);
        return platform::ReadExactlyAt(fd, content.data(), size, 0);
    }
    // One byte more than the cap, so that a tail starting exactly at a line
    // boundary is recognised by the line feed just before it.
    content.resize(cap + 1);
    if (!platform::ReadExactlyAt(fd, content.data(), content.size(), size - cap - 1)) {
        return false;
    }
    const std::size_t firstLineFeed = content.find('\n');
    content.erase(0, firstLineFeed == std::string::npos ? content.size() : firstLineFeed + 1);
    return true;
}

std::size_t PiecesOf(std::size_t lineLength) {
    return (lineLength + kPieceChars - 1) / kPieceChars;
}

// Lengths of the lines of `content`, each ending after a line feed or at the
// end of the text.
std::vector<std::size_t> LineLengths(std::string_view content) {
    std::vector<std::size_t> lengths;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t lineFeed = content.find('\n', start);
        const std::size_t end = lineFeed == std::string_view::npos ? content.size() : lineFeed + 1;
        lengths.push_back(end - start);
        start = end;
    }
    return lengths;
}

// Drops the oldest whole lines until the content holds at most maxPieces
// pieces. A single line longer than the whole allowance keeps only its last
// maxPieces pieces, so even then the file stays within bounds and ends with
// the new line's CR LF.
void TrimToPieces(std::string& content, std::size_t maxPieces) {
    const std::vector<std::size_t> lengths = LineLengths(content);
    std::size_t total = 0;
    for (std::size_t length : lengths) {
        total += PiecesOf(length);
    }
    std::size_t dropBytes = 0;
    for (std::size_t i = 0; total > maxPieces && i + 1 < lengths.size(); ++i) {
        total -= PiecesOf(lengths[i]);
        dropBytes += lengths[i];
    }
    if (total > maxPieces) {
        dropBytes += (total - maxPieces) * kPieceChars;
    }
    content.erase(0, dropBytes);
}

}  // namespace

void InitTraceLog(int maxLines, const std::filesystem::path& folder) {
    TraceLogState& state = TraceState();
    std::lock_guard lock(state.lock);
    // The log always has room for the newest line.
    state.maxPieces = static_cast<std::size_t>(std::max(maxLines, 1));
    state.path = folder / "trace.log";
}

void WriteTraceLine(std::string_view text) {
    TraceLogState& state = TraceState();
    std::lock_guard lock(state.lock);
    if (state.path.empty()) {
        return;
    }
    const platform::UniqueFd file(::open(state.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!file.Valid()) {
        return;  // the line is lost; the lock is released on return
    }
    std::string content;
    if (!ReadKeptContent(file.Get(), state.maxPieces, content)) {
        return;
    }
    content.append(text);
    content.append(kLineEnd);
    TrimToPieces(content, state.maxPieces);
    if (platform::WriteAllAt(file.Get(), content, 0)) {
        (void)::ftruncate(file.Get(), static_cast<off_t>(content.size()));
    }
}

void CloseTraceLog() {
    TraceLogState& state = TraceState();
    std::lock_guard lock(state.lock);
    state.path.clear();
    state.maxPieces = 0;
}

namespace {
constexpr std::uint32_t kDebugTraceMaxLines = 1'048'576;
constexpr auto kDebugTraceWriteWait = std::chrono::milliseconds(10'000);
}  // namespace

CDebugTrace::~CDebugTrace() {
    Close();
}

bool CDebugTrace::CreateFileLocked() {
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

void CDebugTrace::CloseFileLocked() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CDebugTrace::Open(const std::filesystem::path& folder) {
    std::lock_guard lock(m_writeLock);
    m_path = folder / "DebugTrace.log";
    if (m_fd >= 0) {
        return true;
    }
    return CreateFileLocked();
}

bool CDebugTrace::WriteLine(std::string_view text) {
    // Another writer stuck for 10 s costs this line rather than a race on the
    // file.
    std::unique_lock lock(m_writeLock, kDebugTraceWriteWait);
    if (!lock.owns_lock()) {
        return false;
    }
    std::string line(text);
    line.append(kLineEnd);
    if (++m_lineCount > kDebugTraceMaxLines) {
        CloseFileLocked();
        if (!CreateFileLocked()) {
            return false;
        }
        m_lineCount = 0;
    }
    return m_fd >= 0 && platform::WriteAll(m_fd, line);
}

bool CDebugTrace::Close() {
    std::lock_guard lock(m_writeLock);
    CloseFileLocked();
    return true;
}

bool CDebugTrace::DeleteLogFile() {
    std::lock_guard lock(m_writeLock);
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
    return true;
}
