#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace test_support {

// Points XDG_RUNTIME_DIR at a fresh temporary folder for its lifetime, so
// the window endpoints and lock files of a test (and of the programs it
// starts, which inherit the variable) are its own. Only for the test's main
// thread, before any thread starts.
class ScopedRuntimeDir {
public:
    ScopedRuntimeDir();
    ~ScopedRuntimeDir();
    ScopedRuntimeDir(const ScopedRuntimeDir&) = delete;
    ScopedRuntimeDir& operator=(const ScopedRuntimeDir&) = delete;

    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::optional<std::string> m_old;
};

// The fake player program (tests/support/fake_player.cpp), started as a
// child of the test. Construction returns once its endpoint is up (and it
// holds its mutex, when asked to); it throws std::runtime_error when the
// program does not get there. The destructor closes it with its exit message
// or, failing that, kills it; it is always reaped.
class FakePlayer {
public:
    struct Options {
        bool acknowledge = true;  // answer copy-data
        std::uint32_t exitOn = 0x10;
        std::string holdMutex;  // a named mutex to hold while running
    };

    explicit FakePlayer(std::filesystem::path log, Options options);
    explicit FakePlayer(std::filesystem::path log) : FakePlayer(std::move(log), Options{}) {}
    ~FakePlayer();
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    pid_t Pid() const { return m_pid; }
    std::vector<std::string> LogLines() const;

    // Ends it at once with SIGKILL and reaps it; its endpoint file stays.
    void Kill();
    // Waits up to `bound` for it to end by itself; true (and reaped) when it did.
    bool WaitForExit(std::chrono::milliseconds bound);
    // Its exit status once reaped.
    std::optional<int> ExitStatus() const { return m_status; }

private:
    std::filesystem::path m_log;
    Options m_options;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// The fake player program itself, for tests that start it as the player.
std::filesystem::path FakePlayerProgram();

}  // namespace test_support
