#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Starts `program` (a path; no search along PATH) with `arguments` as its
// argv[1..], each passed as it is, never split on spaces or read by a shell.
// The program runs detached: in a session of its own, with default signal
// handling and an empty signal mask, and it is not our child, so it never
// lingers as a zombie of ours. Returns true when the program was started,
// false when it could not be (missing, not executable, an argument holding a
// NUL byte, no process left).
bool SpawnDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// The same, returning the started program's process id (nothing when it
// could not be started), for a caller that looks for the program's window.
std::optional<std::uint32_t> SpawnDetachedProcess(const std::filesystem::path& program,
                                                  const std::vector<std::string>& arguments);

}  // namespace platform
