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
#include <vector>

#include "tools/devicesim/command_line.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"
#include "tools/devicesim/lan_responder.h"
#include "tools/devicesim/live_stream.h"
#include "tools/devicesim/recorded_data.h"

namespace {

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
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const devicesim::CommandLine commandLine = devicesim::ParseCommandLine(arguments);
    if (!commandLine.options) {
        std::fprintf(stderr, "devicesim: %s\n%s", commandLine.error.c_str(),
                     devicesim::Usage().c_str());
        return 2;
    }
    const devicesim::SimulatorOptions& args = *commandLine.options;

    // Block the stop signals before any thread starts, so that only the
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        devicesim::DeviceModel model(args.user, args.password, args.profile);
        model.SetLogger([](std::string_view event) { LogLine("  " + Printable(event)); });
        model.firmware().SetFaults(args.firmwareFaults);
        model.firmware().SetKeepBytes(false);  // the log's checksums say what arrived

        devicesim::LiveStream stream(model, args.stream);
        devicesim::RecordedData recorded({.backupBytesPerSecond = args.backupBytesPerSecond});

        const auto handle = [&model, &stream, &recorded](const devicesim::HttpRequest& request,
                                                         devicesim::Connection& connection) {
            LogRequest(request, {});
            if (recorded.Serve(request, connection) ||
                model.firmware().Serve(request, connection)) {
                return;
            }
            if (model.Stalls(request)) {
                LogLine("  holding the read unanswered");
                connection.HoldUntilPeerCloses();
                LogRequest(request, "given up by the client");
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
        options.port = args.port;
        options.idleTimeout = std::chrono::seconds(30);
        devicesim::HttpServer server(handle, rejected, options);

        const devicesim::DeviceProfile& profile = model.profile();
        std::string device = profile.productId + " firmware " + profile.firmwareVersion +
                             (profile.videoMode != 0 ? ", PAL" : ", NTSC");
        if (profile.multiChannel != 0)
            device += ", " + std::to_string(devicesim::RecorderChannelCount(profile.productId)) +
                      " channels";
        if (profile.lifetimeSeconds >= 0)
            device += ", sessions of " + std::to_string(profile.lifetimeSeconds) + " s";
        LogLine("devicesim listening on 127.0.0.1:" + std::to_string(server.port()) + " as " +
                device + ", user \"" + Printable(args.user) + "\"");

        std::optional<devicesim::LanResponder> search;
        if (args.searchPort) {
            devicesim::LanResponderOptions lan;
            lan.bindAddress = "0.0.0.0";  // broadcasts reach only a socket bound to any address
            lan.searchPort = *args.searchPort;
            lan.replyPort = args.replyPort;
            lan.user = args.user;
            lan.password = args.password;
            lan.settings.mac = MacBytes(model.profile().macAddress);
            lan.settings.webPort = server.port();
            search.emplace(lan);
            search->SetLogger([](std::string_view keyword) {
                LogLine("LAN search datagram " + Printable(keyword));
            });
            LogLine("answering LAN searches on port " + std::to_string(search->searchPort()) +
                    ", replies to port " + std::to_string(args.replyPort));
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
