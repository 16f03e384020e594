#include "platform/process_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace platform {

namespace {

// The spawn attributes of a detached program, released on every path.
class SpawnAttributes {
public:
    SpawnAttributes() { m_ok = ::posix_spawnattr_init(&m_attr) == 0; }
    ~SpawnAttributes() {
        if (m_ok) {
            ::posix_spawnattr_destroy(&m_attr);
        }
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    bool Configure() {
        if (!m_ok) {
            return false;
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        return ::posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&m_attr, &all) == 0 &&
               ::posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                       POSIX_SPAWN_SETSID) == 0;
    }
    const posix_spawnattr_t* get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr{};
    bool m_ok = false;
};

constexpr int kStarted = 0;
constexpr int kNotStarted = 1;

}  // namespace

bool SpawnDetached(const std::filesystem::path& program,
                   const std::vector<std::string>& arguments) {
    return SpawnDetachedProcess(program, arguments).has_value();
}

std::optional<std::uint32_t> SpawnDetachedProcess(const std::filesystem::path& program,
                                                  const std::vector<std::string>& arguments) {
    const std::string path = program.string();
    const auto hasNul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
    if (path.empty() || hasNul(path) || std::any_of(arguments.begin(), arguments.end(), hasNul)) {
        return std::nullopt;
    }
    // Everything the intermediate process needs is prepared here: after fork
    // it must not allocate.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    SpawnAttributes attributes;
    if (!attributes.Configure()) {
        return std::nullopt;
    }
    // The intermediate hands the program's id back through a pipe.
    int ids[2] = {-1, -1};
    if (::pipe2(ids, O_CLOEXEC) != 0) {
        return std::nullopt;
    }

    // A short-lived intermediate process starts the program and exits at
    // once, telling through its exit status whether the start worked. The
    // program is thereby handed to init (or the session's subreaper), which
    // reaps it; we reap only the intermediate, right here.
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        ::close(ids[0]);
        ::close(ids[1]);
        return std::nullopt;
    }
    if (intermediate == 0) {
        pid_t started = 0;
        const int result =
            ::posix_spawn(&started, path.c_str(), nullptr, attributes.get(), argv.data(), environ);
        if (result == 0) {
            [[maybe_unused]] const ssize_t n = ::write(ids[1], &started, sizeof started);
        }
        ::_exit(result == 0 ? kStarted : kNotStarted);
    }
    ::close(ids[1]);
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(intermediate, &status, 0);
    } while (waited < 0 && errno == EINTR);
    pid_t started = 0;
    ssize_t got = 0;
    do {
        got = ::read(ids[0], &started, sizeof started);
    } while (got < 0 && errno == EINTR);
    ::close(ids[0]);
    if (waited != intermediate || !WIFEXITED(status) || WEXITSTATUS(status) != kStarted ||
        got != static_cast<ssize_t>(sizeof started) || started <= 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(started);
}

}  // namespace platform
