#include "platform/registry_store.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/profile_file.h"

namespace platform {

namespace {

std::mutex g_lock;  // guards g_override and every read-modify-write of the file
std::filesystem::path g_override;

// user-dirs.dirs is a few hundred bytes; anything far beyond is not ours.
constexpr std::size_t kMaxUserDirsBytes = 64 * 1024;

std::optional<std::string> Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::filesystem::path> ConfigHome() {
    if (auto xdg = Env("XDG_CONFIG_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
        return std::filesystem::path(*xdg);
    }
    if (auto home = Env("HOME")) {
        return std::filesystem::path(*home) / ".config";
    }
    return std::nullopt;
}

std::filesystem::path CurrentFileLocked() {
    if (!g_override.empty()) {
        return g_override;
    }
    if (auto config = ConfigHome()) {
        return *config / "kestrune" / "registry.ini";
    }
    return {};
}

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    std::string content(kMaxUserDirsBytes, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

// The value of a shell assignment's right-hand side: a double-quoted text
// with backslash escapes, or a bare word.
std::optional<std::string> ShellValue(std::string_view text) {
    if (text.empty() || text.front() != '"') {
        const auto end = text.find_first_of(" \t\r#");
        return std::string(text.substr(0, end));
    }
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            return out;
        }
        if (c == '\\' && i + 1 < text.size()) {
            ++i;
        }
        out.push_back(text[i]);
    }
    return std::nullopt;  // no closing quote
}

std::optional<std::filesystem::path> ExpandUserDir(const std::string& value,
                                                   const std::string& home) {
    for (std::string_view prefix : {std::string_view("$HOME"), std::string_view("${HOME}")}) {
        if (value.compare(0, prefix.size(), prefix) == 0 &&
            (value.size() == prefix.size() || value[prefix.size()] == '/')) {
            return std::filesystem::path(home + value.substr(prefix.size()));
        }
    }
    if (!value.empty() && value.front() == '/') {
        return std::filesystem::path(value);
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> DesktopFromUserDirs(const std::filesystem::path& file,
                                                         const std::string& home) {
    constexpr std::string_view kName = "XDG_DESKTOP_DIR=";
    const std::string content = ReadSmallFile(file);
    std::optional<std::filesystem::path> found;
    std::string_view rest = content;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            continue;
        }
        line.remove_prefix(start);
        if (line.substr(0, kName.size()) != kName) {
            continue;
        }
        const auto value = ShellValue(line.substr(kName.size()));
        if (!value) {
            continue;
        }
        if (auto path = ExpandUserDir(*value, home)) {
            found = std::move(path);
        }
    }
    return found;
}

std::filesystem::path WithoutTrailingSlashes(std::filesystem::path path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<std::string> ReadValue(std::string_view key, std::string_view name) {
    std::lock_guard lock(g_lock);
    const std::filesystem::path file = CurrentFileLocked();
    if (file.empty()) {
        return std::nullopt;
    }
    return ProfileFile::Load(file).Find(key, name);
}

bool WriteValue(std::string_view key, std::string_view name, std::string_view value) {
    std::lock_guard lock(g_lock);
    const std::filesystem::path file = CurrentFileLocked();
    if (file.empty()) {
        return false;
    }
    ProfileFile doc = ProfileFile::Load(file);
    if (!doc.SetString(key, name, value)) {
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return doc.Save();
}

std::filesystem::path RegistryFilePath() {
    std::lock_guard lock(g_lock);
    return CurrentFileLocked();
}

void SetRegistryFile(std::filesystem::path file) {
    std::lock_guard lock(g_lock);
    g_override = std::move(file);
}

ScopedRegistryFile::ScopedRegistryFile(std::filesystem::path file) {
    std::lock_guard lock(g_lock);
    m_previous = std::exchange(g_override, std::move(file));
}

ScopedRegistryFile::~ScopedRegistryFile() {
    std::lock_guard lock(g_lock);
    g_override = std::move(m_previous);
}

std::optional<std::filesystem::path> DesktopFolder() {
    const auto home = Env("HOME");
    if (!home) {
        return std::nullopt;
    }
    if (const auto config = ConfigHome()) {
        if (auto desktop = DesktopFromUserDirs(*config / "user-dirs.dirs", *home)) {
            return WithoutTrailingSlashes(std::move(*desktop));
        }
    }
    return WithoutTrailingSlashes(std::filesystem::path(*home) / "Desktop");
}

}  // namespace platform
