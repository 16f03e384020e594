// A stand-in for the external player: it opens its window endpoint, logs
// every message and copy-data it receives, answers copy-data, and ends on a
// chosen message, when the test process that started it is gone, or after
// a fixed lifetime at the latest.
//
//   fake_player --log FILE [--parent PID] [--exit-on MESSAGE] [--no-ack]
//               [--hold-mutex NAME]
//
// Log lines (one write each, so a reader never sees half a line):
//   ready
//   message <message> <wParam> <lParam>        numbers in hex
//   copydata <dwData> <cbData> <bytes in hex>
//   exit
// A copy-data is answered with its byte count, after its line was written.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/named_mutex.h"
#include "platform/process_window.h"

namespace {

constexpr auto kLifetime = std::chrono::seconds(120);
constexpr auto kPollSlice = std::chrono::milliseconds(100);

struct Options {
    std::string log;
    pid_t parent = 0;
    std::uint32_t exitOn = 0x10;  // WM_CLOSE
    bool acknowledge = true;
    std::string holdMutex;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--log" && hasValue) {
            options.log = argv[++i];
        } else if (arg == "--parent" && hasValue) {
            options.parent = static_cast<pid_t>(std::strtol(argv[++i], nullptr, 10));
        } else if (arg == "--exit-on" && hasValue) {
            options.exitOn = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else if (arg == "--no-ack") {
            options.acknowledge = false;
        } else if (arg == "--hold-mutex" && hasValue) {
            options.holdMutex = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    if (options.log.empty()) {
        return std::nullopt;
    }
    return options;
}

class Log {
public:
    explicit Log(const std::string& path)
        : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {}
    ~Log() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool ok() const { return m_fd >= 0; }
    void Line(const std::string& text) {
        const std::string line = text + "\n";
        [[maybe_unused]] const ssize_t n = ::write(m_fd, line.data(), line.size());
    }

private:
    int m_fd;
};

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIx64, v);
    return text;
}

bool ParentAlive(pid_t parent) {
    return parent <= 0 || ::kill(parent, 0) == 0 || errno == EPERM;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: fake_player --log FILE [--parent PID] [--exit-on MESSAGE] "
                     "[--no-ack] [--hold-mutex NAME]\n");
        return 2;
    }
    Log log(options->log);
    if (!log.ok()) {
        return 3;
    }
    try {
        std::unique_ptr<platform::NamedMutex> mutex;
        if (!options->holdMutex.empty()) {
            mutex = std::make_unique<platform::NamedMutex>(options->holdMutex);
            if (!mutex->TryLock()) {
                return 4;
            }
        }
        platform::ProcessWindowEndpoint endpoint;
        log.Line("ready");
        const auto endOfLife = std::chrono::steady_clock::now() + kLifetime;
        while (std::chrono::steady_clock::now() < endOfLife && ParentAlive(options->parent)) {
            platform::ProcessWindowEndpoint::Received in;
            if (endpoint.Receive(kPollSlice, in) != platform::WaitResult::Signaled) {
                continue;
            }
            if (in.kind == platform::ProcessWindowEndpoint::Received::Kind::CopyData) {
                std::string bytes;
                for (const std::uint8_t b : in.data) {
                    char pair[3];
                    std::snprintf(pair, sizeof pair, "%02x", b);
                    bytes += pair;
                }
                log.Line("copydata " + Hex(in.dwData) + " " + Hex(in.data.size()) + " " + bytes);
                if (options->acknowledge) {
                    endpoint.Acknowledge(in, in.data.size());
                }
                continue;
            }
            log.Line("message " + Hex(in.message) + " " + Hex(in.wParam) + " " + Hex(in.lParam));
            if (in.message == options->exitOn) {
                log.Line("exit");
                return 0;
            }
        }
    } catch (const std::exception& e) {
        log.Line(std::string("error ") + e.what());
        return 5;
    }
    return 0;
}
