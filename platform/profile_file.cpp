#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>

#include "platform/posix_io.h"

namespace platform {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view Unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == text.back() &&
        (text.front() == '"' || text.front() == '\'')) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

std::string IndexKey(std::string_view section, std::string_view key) {
    std::string out = Lower(section);
    out.push_back('\n');
    out += Lower(key);
    return out;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool ValidSection(std::string_view section) {
    return !HasLineBreakOrNul(section) && section.find(']') == std::string_view::npos &&
           Trim(section) == section;
}

bool ValidKey(std::string_view key) {
    return !key.empty() && !HasLineBreakOrNul(key) && key.find('=') == std::string_view::npos &&
           Trim(key) == key && key.front() != ';' && key.front() != '[';
}

// Reads at most `limit` bytes of a regular file. nullopt when the file exists
// but cannot be read; an empty text with `missing` set when it does not exist.
std::optional<std::string> ReadBounded(const std::filesystem::path& path, std::size_t limit,
                                       bool& missing, bool& cut) {
    missing = false;
    cut = false;
    // O_NONBLOCK so that a FIFO in the file's place cannot hang us; anything
    // but a regular file is refused after the open.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR) {
            missing = true;
            return std::string();
        }
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    std::array<char, 64 * 1024> chunk{};
    while (content.size() <= limit) {
        const ssize_t got = ReadFull(fd.Get(), chunk.data(), chunk.size());
        if (got < 0) {
            return std::nullopt;
        }
        content.append(chunk.data(), static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < chunk.size()) {
            break;  // the end of the file
        }
    }
    if (content.size() > limit) {
        content.resize(limit);
        cut = true;
    }
    return content;
}

std::atomic<unsigned> g_tempCounter{0};
std::mutex g_singleWriteLock;

}  // namespace

std::optional<std::int64_t> ParseProfileInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    if (i >= value.size() || value[i] < '0' || value[i] > '9') {
        return std::nullopt;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    // Accumulate on the side of the sign so that the minimum is reachable.
    std::int64_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        const int digit = value[i] - '0';
        if (negative) {
            if (result < (kMin + digit) / 10) {
                result = kMin;
            } else {
                result = result * 10 - digit;
            }
        } else {
            if (result > (kMax - digit) / 10) {
                result = kMax;
            } else {
                result = result * 10 + digit;
            }
        }
    }
    return result;
}

ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {}

ProfileFile ProfileFile::Load(const std::filesystem::path& path) {
    ProfileFile doc(path);
    bool missing = false;
    bool cut = false;
    auto content = ReadBounded(path, kMaxFileBytes, missing, cut);
    if (!content) {
        doc.m_readFailed = true;
        return doc;
    }
    if (cut) {
        // Keep only complete lines; the partial last one is junk by definition.
        const auto lastEnd = content->rfind('\n');
        content->resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }
    doc.Parse(*content);
    return doc;
}

ProfileFile::Line ProfileFile::ParseLine(std::string text) {
    Line line;
    const std::string_view trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.front() == '[') {
        const auto close = trimmed.find(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::kSection;
            line.name = std::string(Trim(trimmed.substr(1, close - 1)));
        }
    } else if (!trimmed.empty() && trimmed.front() != ';') {
        const auto eq = trimmed.find('=');
        if (eq != std::string_view::npos) {
            const std::string_view key = Trim(trimmed.substr(0, eq));
            if (!key.empty()) {
                line.kind = LineKind::kKey;
                line.name = std::string(key);
                line.value = std::string(Unquote(Trim(trimmed.substr(eq + 1))));
            }
        }
    }
    line.text = std::move(text);
    return line;
}

void ProfileFile::Parse(std::string_view content) {
    m_lines.clear();
    while (!content.empty() && m_lines.size() < kMaxLines) {
        const auto end = content.find('\n');
        std::string_view raw = content.substr(0, end);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        m_lines.push_back(ParseLine(std::string(raw)));
        if (end == std::string_view::npos) {
            break;
        }
        content.remove_prefix(end + 1);
    }
    Reindex();
}

void ProfileFile::Reindex() {
    m_keyIndex.clear();
    m_sectionIndex.clear();
    std::optional<std::string> section;  // none before the first header
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::kSection) {
            section = Lower(line.name);
            m_sectionIndex.emplace(*section, i);
        } else if (line.kind == LineKind::kKey && section) {
            std::string key = *section;
            key.push_back('\n');
            key += Lower(line.name);
            m_keyIndex.emplace(std::move(key), i);
        }
    }
}

std::optional<std::size_t> ProfileFile::FindKeyLine(std::string_view section,
                                                    std::string_view key) const {
    const auto it = m_keyIndex.find(IndexKey(section, key));
    if (it == m_keyIndex.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
    const auto line = FindKeyLine(section, key);
    if (!line) {
        return std::nullopt;
    }
    return m_lines[*line].value;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue, std::size_t capacity) const {
    const auto line = FindKeyLine(section, key);
    std::string_view value = line ? std::string_view(m_lines[*line].value) : defaultValue;
    if (capacity == 0) {
        return {};
    }
    if (value.size() > capacity - 1) {
        value = value.substr(0, capacity - 1);
    }
    return std::string(value);
}

std::int64_t ProfileFile::GetInt(std::string_view section, std::string_view key,
                                 std::int64_t defaultValue) const {
    const auto line = FindKeyLine(section, key);
    if (!line) {
        return defaultValue;
    }
    return ParseProfileInt(m_lines[*line].value).value_or(defaultValue);
}

bool ProfileFile::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (!ValidSection(section) || !ValidKey(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    std::string text(key);
    text.push_back('=');
    text += value;

    if (const auto existing = FindKeyLine(section, key)) {
        m_lines[*existing] = ParseLine(std::move(text));
        return true;
    }

    const auto header = m_sectionIndex.find(Lower(section));
    if (header == m_sectionIndex.end()) {
        std::string headerText = "[";
        headerText += section;
        headerText.push_back(']');
        m_lines.push_back(ParseLine(std::move(headerText)));
        m_lines.push_back(ParseLine(std::move(text)));
    } else {
        // After the last key of the section's first block, so comments and
        // blank lines that lead into the next section stay with it.
        std::size_t insertAfter = header->second;
        for (std::size_t i = header->second + 1;
             i < m_lines.size() && m_lines[i].kind != LineKind::kSection; ++i) {
            if (m_lines[i].kind == LineKind::kKey) {
                insertAfter = i;
            }
        }
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1),
                       ParseLine(std::move(text)));
    }
    Reindex();
    return true;
}

bool ProfileFile::SetInt(std::string_view section, std::string_view key, std::int64_t value) {
    return SetString(section, key, std::to_string(value));
}

std::string ProfileFile::Serialize() const {
    std::string out;
    std::size_t size = 0;
    for (const Line& line : m_lines) {
        size += line.text.size() + 2;
    }
    out.reserve(size);
    for (const Line& line : m_lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

bool ProfileFile::Save() const {
    if (m_path.empty() || m_readFailed) {
        return false;
    }
    return WriteFileAtomically(m_path, Serialize());
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    if (path.empty() || !path.has_filename()) {
        return false;
    }
    std::error_code ec;
    std::filesystem::path target = path;
    // Write through a symbolic link to the file it names rather than replace
    // the link with a plain file.
    if (std::filesystem::is_symlink(path, ec)) {
        auto resolved = std::filesystem::canonical(path, ec);
        if (!ec) {
            target = std::move(resolved);
        }
    }

    struct stat st {};
    bool keepMode = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return false;
        }
        keepMode = true;
    }

    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string base =
        "." + target.filename().string() + ".tmp-" + std::to_string(::getpid());

    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / (base + "-" + std::to_string(g_tempCounter.fetch_add(1)));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }

    bool ok = true;
    if (keepMode && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ok = false;
    }
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0) {
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here does not undo the write.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t capacity,
                                    const std::filesystem::path& file) {
    return ProfileFile::Load(file).GetString(section, key, defaultValue, capacity);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::filesystem::path& file) {
    const std::int64_t value = ProfileFile::Load(file).GetInt(section, key, defaultValue);
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file) {
    // Read-modify-write: two writers of this process must not lose each
    // other's keys.
    std::lock_guard lock(g_singleWriteLock);
    ProfileFile doc = ProfileFile::Load(file);
    return doc.SetString(section, key, value) && doc.Save();
}

}  // namespace platform
