#pragma once

// Runs xorriso as a child process: separate arguments, never a shell. Its
// output (standard output and errors together) is read line by line; a
// caller's stop request ends the child, first asking (SIGTERM), then, when it
// does not end within a bounded time, forcing it. The child is also ended by
// the kernel when the thread that started it goes away, so it never outlives
// the program.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xorriso {

// The xorriso program along PATH, or nullopt when it is not installed.
std::optional<std::string> FindProgram();

struct RunResult {
    bool started = false;
    bool stopped = false;  // ended on the caller's request
    int exitCode = -1;     // -1 when it did not exit normally
    std::string output;    // at most kOutputLimit bytes of it
};

inline constexpr std::size_t kOutputLimit = 4u << 20;

RunResult Run(const std::vector<std::string>& arguments,
              const std::function<void(std::string_view line)>& onLine = {},
              const std::function<bool()>& shouldStop = {});

}  // namespace xorriso
