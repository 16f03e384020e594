#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The few per-user values the program keeps between runs outside its own
// folder, in an INI file: one section per key path, one entry per value name,
// both matched without regard to ASCII case (as registry keys are). The file
// is $XDG_CONFIG_HOME/kestrune/registry.ini, or ~/.config/kestrune/registry.ini
// when XDG_CONFIG_HOME is unset or not absolute.
//
// Reads and writes of this process are serialised; each write rewrites the
// file atomically (see WriteFileAtomically), creating its folder if needed.

// The value `name` of `key`; nullopt when the key or the value is missing or
// there is no configuration folder.
std::optional<std::string> ReadValue(std::string_view key, std::string_view name);

// Creates or replaces the value. False when there is no configuration folder,
// the key, name or value cannot be stored (line breaks, see ProfileFile), or
// the file cannot be written.
bool WriteValue(std::string_view key, std::string_view name, std::string_view value);

// The file in use: the override if one is set, else the default above (empty
// when neither XDG_CONFIG_HOME nor HOME gives a folder).
std::filesystem::path RegistryFilePath();

// Points the store at another file (tests); an empty path restores the default.
void SetRegistryFile(std::filesystem::path file);

// Sets the store's file for the lifetime of the object, then restores the
// previous choice.
class ScopedRegistryFile {
public:
    explicit ScopedRegistryFile(std::filesystem::path file);
    ~ScopedRegistryFile();
    ScopedRegistryFile(const ScopedRegistryFile&) = delete;
    ScopedRegistryFile& operator=(const ScopedRegistryFile&) = delete;

private:
    std::filesystem::path m_previous;
};

// The user's Desktop folder: XDG_DESKTOP_DIR from user-dirs.dirs in the
// configuration folder ("$HOME/..." or an absolute path; the last assignment
// wins, as when the file is sourced by a shell), else $HOME/Desktop. nullopt
// when HOME is unset or empty — the program then has no Desktop folder at all.
std::optional<std::filesystem::path> DesktopFolder();

}  // namespace platform
