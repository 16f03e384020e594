// devicesim: a simulated recorder on 127.0.0.1 for running the client
// without hardware. Serves until SIGINT or SIGTERM and logs one line per
// request to standard output.

#include <signal.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"
#include "tools/devicesim/lan_responder.h"
#include "tools/devicesim/live_stream.h"
#include "tools/devicesim/recorded_data.h"

namespace {

struct Arguments {
    std::uint16_t port = 8080;
    std::string user = "tresk";  // the client's built-in defaults
    std::string password = "tresk";
    devicesim::LiveStreamOptions stream;
    // The LAN search endpoint: off unless a search port is given.
    std::optional<std::uint16_t> searchPort;
    std::uint16_t replyPort = 3332;
    devicesim::DeviceProfile profile;
    bool productGiven = false;  // --product given: its own linked devices stay
    devicesim::FirmwareFaults firmwareFaults;
    std::optional<std::string> firmwareVersion;  // --firmware: replaces the profile's
};

void PrintUsage() {
    std::fputs(
        "usage: devicesim [--port N] [--user NAME] [--password TEXT] [--fps N]\n"
        "                 [--alarm-period SECONDS [--alarm-length SECONDS]]\n"
        "                 [--search-port N [--reply-port N]]\n"
        "                 [--product Q8A7|Q8A5|Q8A3|Q3A2|Q7B7|Q7B5|Q7B3|Q9C0]\n"
        "                 [--user-level 30|20|10|0]\n"
        "                 [--firmware VERSION (four digits)]\n"
        "                 [--fw-refuse-at N] [--fw-close-at N] [--fw-stall-at N]\n"
        "  --fw-*-at N: at the Nth piece of a firmware upload (old protocol: request;\n"
        "  new protocol: unit) answer 500, close without a reply, or stall\n",
        stderr);
}

std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const std::string_view value = argv[++i];
        if (name == "--port") {
            const auto port = devicesim::ParseDecimal(value);
            if (!port || *port == 0 || *port > 65535) {
                return std::nullopt;
            }
            args.port = static_cast<std::uint16_t>(*port);
        } else if (name == "--search-port" || name == "--reply-port") {
            const auto port = devicesim::ParseDecimal(value);
            if (!port || *port == 0 || *port > 65535) {
                return std::nullopt;
            }
            if (name == "--search-port") {
                args.searchPort = static_cast<std::uint16_t>(*port);
            } else {
                args.replyPort = static_cast<std::uint16_t>(*port);
            }
        } else if (name == "--product") {
            const auto profile = devicesim::ProfileForProduct(value);
            if (!profile)
                return std::nullopt;
            const int level = args.profile.userLevel;
            args.profile = *profile;
            args.profile.userLevel = level;
            args.productGiven = true;
        } else if (name == "--user-level") {
            if (value != "30" && value != "20" && value != "10" && value != "0")
                return std::nullopt;
            args.profile.userLevel = std::stoi(std::string(value));
        } else if (name == "--firmware") {
            if (value.size() != 4 || !devicesim::ParseDecimal(value)) {
                return std::nullopt;
            }
            args.firmwareVersion = value;
        } else if (name == "--fw-refuse-at" || name == "--fw-close-at" || name == "--fw-stall-at") {
            const auto piece = devicesim::ParseDecimal(value);
            if (!piece || *piece == 0 || *piece > 0xFFFFFFFFu) {
                return std::nullopt;
            }
            const auto n = static_cast<std::uint32_t>(*piece);
            auto& faults = args.firmwareFaults;
            (name == "--fw-refuse-at"  ? faults.refuseAt
             : name == "--fw-close-at" ? faults.closeAt
                                       : faults.stallAt) = n;
        } else if (name == "--user") {
            args.user = value;
        } else if (name == "--password") {
            args.password = value;
        } else if (name == "--fps" || name == "--alarm-period" || name == "--alarm-length") {
            const auto number = devicesim::ParseDecimal(value);
            if (!number || *number > 3600 || (name == "--fps" && *number == 0)) {
                return std::nullopt;
            }
            const int n = static_cast<int>(*number);
            if (name == "--fps")
                args.stream.framesPerSecond = n;
            if (name == "--alarm-period")
                args.stream.alarmPeriod = std::chrono::seconds(n);
            if (name == "--alarm-length")
                args.stream.alarmLength = std::chrono::seconds(n);
        } else {
            return std::nullopt;
        }
    }
    return args;
}

// Request text comes from the network: control bytes are shown escaped so
// that a log line stays one line and cannot drive the terminal.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const auto length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03lld", static_cast<long long>(millis));
    return text;
}

// Six bytes from the profile's 12 hexadecimal digits; zeros where a digit
// is missing or not hexadecimal.
std::array<std::uint8_t, 6> MacBytes(std::string_view text) {
    std::array<std::uint8_t, 6> mac{};
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    for (std::size_t i = 0; i < mac.size() && 2 * i + 1 < text.size(); ++i) {
        const int high = digit(text[2 * i]);
        const int low = digit(text[2 * i + 1]);
        if (high >= 0 && low >= 0) {
            mac[i] = static_cast<std::uint8_t>(high * 16 + low);
        }
    }
    return mac;
}

std::mutex g_logMutex;

void LogLine(std::string_view line) {
    std::lock_guard lock(g_logMutex);
    std::printf("%s %s\n", Now().c_str(), std::string(line).c_str());
    std::fflush(stdout);
}

void LogRequest(const devicesim::HttpRequest& request, std::string_view note) {
    std::string line =
        request.peer + " " + Printable(request.method) + " " + Printable(request.target);
    if (!note.empty()) {
        line.append(" (").append(note).append(")");
    }
    LogLine(line);
}

}  // namespace

int main(int argc, char** argv) {
    const auto args = ParseArguments(argc, argv);
    if (!args) {
        PrintUsage();
        return 2;
    }

    // Block the stop signals before any thread starts, so that only the
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        // With periodic alarms the recorder reports itself as a linked DVR
        // ("ZRT 417 DVR", type 19): the client evaluates the alarm bits of
        // such devices and records them.
        devicesim::DeviceProfile profile = args->profile;
        profile.firmwareVersion = args->firmwareVersion.value_or(profile.firmwareVersion);
        // Alarms are only evaluated by the client for a linked DVR.
        if (args->stream.alarmPeriod.count() > 0 && !args->productGiven)
            profile.masters = {{0, 19, 0}};
        devicesim::DeviceModel model(args->user, args->password, profile);
        model.SetLogger([](std::string_view event) { LogLine("  " + Printable(event)); });
        model.firmware().SetFaults(args->firmwareFaults);
        model.firmware().SetKeepBytes(false);  // the log's checksums say what arrived

        devicesim::LiveStream stream(model, args->stream);
        devicesim::RecordedData recorded({std::chrono::milliseconds(5)});

        const auto handle = [&model, &stream, &recorded](const devicesim::HttpRequest& request,
                                                         devicesim::Connection& connection) {
            LogRequest(request, {});
            if (recorded.Serve(request, connection) ||
                model.firmware().Serve(request, connection)) {
                return;
            }
            if (request.path == "/Getvideo.cgi") {
                stream.Serve(request, connection);
                LogRequest(request, "stream ended");
                return;
            }
            const auto reply = model.Answer(request).value_or(
                devicesim::Response{404, "Not Found", "text/plain", {}});
            connection.Send(devicesim::FormatResponse(reply.status, reply.reason, reply.contentType,
                                                      reply.body));
        };
        const auto rejected = [](const devicesim::HttpRequest& request) {
            LogRequest(request, request.error);
        };
        devicesim::ServerOptions options;
        options.port = args->port;
        options.idleTimeout = std::chrono::seconds(30);
        devicesim::HttpServer server(handle, rejected, options);

        LogLine("devicesim listening on 127.0.0.1:" + std::to_string(server.port()) + " as " +
                model.profile().productId + " firmware " + model.profile().firmwareVersion +
                ", user \"" + Printable(args->user) + "\"");

        std::optional<devicesim::LanResponder> search;
        if (args->searchPort) {
            devicesim::LanResponderOptions lan;
            lan.bindAddress = "0.0.0.0";  // broadcasts reach only a socket bound to any address
            lan.searchPort = *args->searchPort;
            lan.replyPort = args->replyPort;
            lan.user = args->user;
            lan.password = args->password;
            lan.settings.mac = MacBytes(model.profile().macAddress);
            lan.settings.webPort = server.port();
            search.emplace(lan);
            search->SetLogger([](std::string_view keyword) {
                LogLine("LAN search datagram " + Printable(keyword));
            });
            LogLine("answering LAN searches on port " + std::to_string(search->searchPort()) +
                    ", replies to port " + std::to_string(args->replyPort));
        }

        int received = 0;
        sigwait(&stopSignals, &received);
        LogLine(std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
        if (search) {
            search->Stop();
        }
        server.Stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "devicesim: %s\n", error.what());
        return 1;
    }
    return 0;
}
