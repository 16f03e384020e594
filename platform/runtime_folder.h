#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// The private folder that holds the program's window endpoints and lock
// files: $XDG_RUNTIME_DIR/kestrune when XDG_RUNTIME_DIR names an absolute
// folder, else /tmp/kestrune-<uid>. The folder is made by EnsurePrivateFolder
// (below); nullopt when it cannot be made or is refused.
std::optional<std::filesystem::path> RuntimeFolder();

// Makes `folder` (its parent must exist) with mode 0700 when missing and
// checks it: it must be a real folder (a symbolic link is refused) owned by
// the calling user. A folder of ours that others may enter is narrowed to
// 0700. False when the folder is refused or cannot be made.
bool EnsurePrivateFolder(const std::filesystem::path& folder);

}  // namespace platform
