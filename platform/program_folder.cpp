#include "platform/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

namespace platform {

namespace {

std::mutex g_lock;
std::optional<std::filesystem::path> g_fixed;   // SetProgramFolder
std::optional<std::filesystem::path> g_chosen;  // remembered choice

std::optional<std::string> Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

bool Writable(const std::filesystem::path& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::filesystem::path> DataFolder() {
    if (auto xdg = Env("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
        return std::filesystem::path(*xdg) / "kestrune";
    }
    if (auto home = Env("HOME")) {
        return std::filesystem::path(*home) / ".local" / "share" / "kestrune";
    }
    return std::nullopt;
}

// Copies what the data folder lacks from the first assets folder that exists.
// Failures are left for the reader of each file to report.
void Seed(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& assets) {
    for (const auto& source : assets) {
        std::error_code ec;
        if (source.empty() || !std::filesystem::is_directory(source, ec)) {
            continue;
        }
        std::filesystem::copy(
            source, folder,
            std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing,
            ec);
        return;
    }
}

}  // namespace

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path();
}

std::filesystem::path RunningExecutable() {
    return "/proc/self/exe";
}

ProgramFolderSources DefaultProgramFolderSources() {
    ProgramFolderSources sources;
    sources.executableFolder = ExecutableFolder();
    if (!sources.executableFolder.empty()) {
        sources.assetFolders.push_back(sources.executableFolder / "assets");
    }
#ifdef KESTRUNE_ASSETS_DIR
    sources.assetFolders.emplace_back(KESTRUNE_ASSETS_DIR);
#endif
    return sources;
}

std::filesystem::path ResolveProgramFolder(const ProgramFolderSources& sources) {
    if (auto home = Env("KESTRUNE_HOME")) {
        return std::filesystem::path(*home);
    }
    if (Writable(sources.executableFolder)) {
        return sources.executableFolder;
    }
    if (auto data = DataFolder()) {
        std::error_code ec;
        std::filesystem::create_directories(*data, ec);
        Seed(*data, sources.assetFolders);
        return *data;
    }
    return sources.executableFolder;
}

std::filesystem::path ProgramFolder() {
    std::lock_guard lock(g_lock);
    if (g_fixed) {
        return *g_fixed;
    }
    if (!g_chosen) {
        g_chosen = ResolveProgramFolder(DefaultProgramFolderSources());
    }
    return *g_chosen;
}

void SetProgramFolder(std::filesystem::path folder) {
    std::lock_guard lock(g_lock);
    g_fixed = std::move(folder);
}

void ResetProgramFolder() {
    std::lock_guard lock(g_lock);
    g_fixed.reset();
    g_chosen.reset();
}

}  // namespace platform
