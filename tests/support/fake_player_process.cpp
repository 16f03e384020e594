#include "tests/support/fake_player_process.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "platform/process_window.h"

extern char** environ;

namespace test_support {

namespace {

constexpr auto kStartBound = std::chrono::seconds(30);
constexpr auto kCloseBound = std::chrono::seconds(10);

}  // namespace

ScopedRuntimeDir::ScopedRuntimeDir() {
    if (const char* old = ::getenv("XDG_RUNTIME_DIR")) {
        m_old = old;
    }
    ::setenv("XDG_RUNTIME_DIR", m_dir.path().c_str(), 1);
}

ScopedRuntimeDir::~ScopedRuntimeDir() {
    if (m_old) {
        ::setenv("XDG_RUNTIME_DIR", m_old->c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
}

FakePlayer::FakePlayer(std::filesystem::path log, Options options)
    : m_log(std::move(log)), m_options(std::move(options)) {
    std::vector<std::string> args = {KESTRUNE_FAKE_PLAYER,
                                     "--log",
                                     m_log.string(),
                                     "--parent",
                                     std::to_string(::getpid()),
                                     "--exit-on",
                                     std::to_string(m_options.exitOn)};
    if (!m_options.acknowledge) {
        args.emplace_back("--no-ack");
    }
    if (!m_options.holdMutex.empty()) {
        args.emplace_back("--hold-mutex");
        args.push_back(m_options.holdMutex);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
        throw std::runtime_error("fake player could not be started");
    }
    const auto giveUp = std::chrono::steady_clock::now() + kStartBound;
    while (std::chrono::steady_clock::now() < giveUp) {
        const std::vector<std::string> lines = LogLines();
        if (std::ranges::find(lines, "ready") != lines.end()) {
            return;
        }
        if (WaitForExit(std::chrono::milliseconds(5))) {
            throw std::runtime_error("fake player ended before it was ready");
        }
    }
    Kill();
    throw std::runtime_error("fake player did not become ready");
}

FakePlayer::~FakePlayer() {
    if (m_pid <= 0 || m_status) {
        return;
    }
    platform::PostProcessWindowMessage(
        platform::ProcessWindowHandle{static_cast<std::uint32_t>(m_pid)}, m_options.exitOn, 0, 0);
    if (!WaitForExit(kCloseBound)) {
        Kill();
    }
}

std::vector<std::string> FakePlayer::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(m_log);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void FakePlayer::Kill() {
    if (m_pid <= 0 || m_status) {
        return;
    }
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_status = status;
}

bool FakePlayer::WaitForExit(std::chrono::milliseconds bound) {
    if (m_status) {
        return true;
    }
    if (m_pid <= 0) {
        return false;
    }
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = status;
            return true;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::filesystem::path FakePlayerProgram() {
    return KESTRUNE_FAKE_PLAYER;
}

}  // namespace test_support
