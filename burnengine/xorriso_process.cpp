#include "burnengine/xorriso_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace xorriso {

namespace {

constexpr int kPollMs = 100;
// After SIGTERM, polls until SIGKILL (5 s).
constexpr int kTermPolls = 50;

}  // namespace

std::optional<std::string> FindProgram() {
    const char* path = ::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t end = rest.find(':');
        const std::string_view folder = rest.substr(0, end);
        if (!folder.empty()) {
            const std::string candidate = std::string(folder) + "/xorriso";
            struct stat info {};
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return std::nullopt;
}

RunResult Run(const std::vector<std::string>& arguments,
              const std::function<void(std::string_view line)>& onLine,
              const std::function<bool()>& shouldStop) {
    RunResult result;
    const std::optional<std::string> program = FindProgram();
    if (!program) {
        return result;
    }
    std::vector<std::string> words;
    words.push_back(*program);
    for (const std::string& argument : arguments) {
        if (argument.find('\0') != std::string::npos) {
            return result;
        }
        words.push_back(argument);
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        if (devNull >= 0) {
            ::dup2(devNull, 0);
        }
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (devNull >= 0) {
        ::close(devNull);
    }
    if (pid < 0) {
        ::close(pipeFds[0]);
        return result;
    }
    result.started = true;

    std::string pending;
    int termPolls = -1;  // counting down once SIGTERM was sent
    const auto deliver = [&](std::string_view line) {
        if (result.output.size() + line.size() + 1 <= kOutputLimit) {
            result.output.append(line);
            result.output += '\n';
        }
        if (onLine) {
            onLine(line);
        }
    };
    for (;;) {
        if (!result.stopped && shouldStop && shouldStop()) {
            result.stopped = true;
            ::kill(pid, SIGTERM);
            termPolls = kTermPolls;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            char buffer[4096];
            const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            std::size_t newline;
            while ((newline = pending.find('\n')) != std::string::npos) {
                deliver(std::string_view(pending).substr(0, newline));
                pending.erase(0, newline + 1);
            }
            // A line without its end that grows without bound is cut.
            if (pending.size() > 65536) {
                deliver(pending);
                pending.clear();
            }
        }
        if (termPolls > 0 && --termPolls == 0) {
            ::kill(pid, SIGKILL);
        }
    }
    if (!pending.empty()) {
        deliver(pending);
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace xorriso
