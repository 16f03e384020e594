// The firmware upload's speed, measured in one run against the simulated
// device on 127.0.0.1 (its model in-process, checking every piece):
//
//  (a) a 32 MiB packed file (three records) uploaded by the old protocol
//      ("/UpgradeFW.cgi", one connection per 900-byte piece) and by the new
//      one ("/UpgradeFW2.cgi", one connection per record), with every pause
//      set to zero;
//  (b) a plain raw-socket copy of the same bytes to a reader that only
//      counts them, as the reference;
//
// in interleaved rounds (the order rotates each round), printing min, median
// and max time, the rate, and each protocol's median against the copy's.
// The old protocol runs twice per round: as the client closes its piece
// connections (it lets the device, whose reply says "Connection: close",
// close first) and closing at once. During and after the first upload of
// each it counts the TIME_WAIT sockets of its connections from
// /proc/net/tcp, on the client's side and on the device's.
//
// usage: firmware_bench [rounds]   (5 by default)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "maintenance/firmware/firmware_upload.h"
#include "maintenance/firmware/packed_firmware.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFileBytes = 32u << 20;

struct NullObserver final : maintenance::UploadObserver {
    void DisableUpgrade() override {}
    void EnableUpgrade() override {}
    void CloseDialog() override {}
    void SetProgress(int, bool) override {}
    void ShowMessage(unsigned) override {}
};

// 32 MiB in all: KERNEL, BOOT and HTML records with their header words.
std::vector<std::uint8_t> PackedFile() {
    const std::uint32_t boot = 1u << 20;
    const std::uint32_t kernel = 16u << 20;
    const std::uint32_t html = static_cast<std::uint32_t>(kFileBytes) - 12 - boot - kernel;
    std::vector<std::uint8_t> file;
    file.reserve(kFileBytes);
    std::uint64_t state = 88172645463325252ull;
    for (const auto& [length, type] : {std::pair{kernel, 1u}, {boot, 0u}, {html, 4u}}) {
        const std::uint32_t word = length << 4 | type;
        for (int shift = 0; shift < 32; shift += 8) {
            file.push_back(static_cast<std::uint8_t>(word >> shift));
        }
        for (std::uint32_t i = 0; i < length; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            file.push_back(static_cast<std::uint8_t>(state));
        }
    }
    return file;
}

// A reader that takes one connection's bytes until the writer shuts down,
// then answers one byte: the reference copy's other end.
class RawSink {
public:
    RawSink() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listen, 4) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("raw sink");
            std::exit(1);
        }
        m_port = ntohs(address.sin_port);
    }
    ~RawSink() { ::close(m_listen); }

    // Copies `bytes` over one new connection; the time until the reader has
    // all of them and said so.
    double Copy(const std::vector<std::uint8_t>& bytes) {
        std::uint64_t got = 0;
        std::thread reader([this, &got] {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            std::vector<char> buffer(64 * 1024);
            for (;;) {
                const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) {
                    break;
                }
                got += static_cast<std::uint64_t>(n);
            }
            const char ack = 1;
            (void)::send(fd, &ack, 1, MSG_NOSIGNAL);
            ::close(fd);
        });
        const auto start = Clock::now();
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            std::perror("raw copy");
            std::exit(1);
        }
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                std::perror("raw copy");
                std::exit(1);
            }
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        char ack = 0;
        (void)::recv(fd, &ack, 1, 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ::close(fd);
        reader.join();
        if (got != bytes.size()) {
            std::fprintf(stderr, "raw copy lost bytes\n");
            std::exit(1);
        }
        return seconds;
    }

private:
    int m_listen = -1;
    std::uint16_t m_port = 0;
};

// TIME_WAIT sockets (state 06) of connections to or from `port`, by side.
struct TimeWaits {
    int client = 0;  // local end is the client's (remote port = the device's)
    int device = 0;  // local end is the device's listening port
};

TimeWaits CountTimeWaits(std::uint16_t port) {
    TimeWaits counts;
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state != "06") {
            continue;
        }
        const auto portOf = [](const std::string& end) {
            return static_cast<std::uint16_t>(
                std::stoul(end.substr(end.find(':') + 1), nullptr, 16));
        };
        if (portOf(remote) == port) {
            ++counts.client;
        } else if (portOf(local) == port) {
            ++counts.device;
        }
    }
    return counts;
}

struct Series {
    const char* name;
    std::vector<double> seconds;

    double Median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double Min() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double Max() const { return *std::max_element(seconds.begin(), seconds.end()); }
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    devicesim::DeviceProfile profile = *devicesim::ProfileForProduct("Q3A2");
    devicesim::DeviceModel model("tresk", "tresk", profile);
    auto& firmware = model.firmware();
    firmware.SetKeepBytes(false);
    const auto serve = [&model](const devicesim::HttpRequest& request,
                                devicesim::Connection& connection) {
        if (model.firmware().Serve(request, connection)) {
            return;
        }
        const auto reply =
            model.Answer(request).value_or(devicesim::Response{404, "Not Found", "text/plain", {}});
        connection.Send(
            devicesim::FormatResponse(reply.status, reply.reason, reply.contentType, reply.body));
    };
    // One listening port per way of closing, so that each one's TIME_WAIT
    // sockets are told apart by port.
    devicesim::HttpServer server(serve);
    devicesim::HttpServer closeAtOnceServer(serve);

    g_lpApp = new AppGlobalState();
    g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
    g_lpApp->CSettingINI.m_wWebPort = server.port();
    g_strHostIP.Set("127.0.0.1");
    std::array<std::uint8_t, 1024> reply{};
    std::uint32_t replyLength = 0;
    if (TirelSendCommand(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk", {}, nullptr, reply,
                         &replyLength, CommandTimeouts::Seconds(5, 5)) != 1) {
        std::fprintf(stderr, "login to the simulated device failed\n");
        return 1;
    }
    const std::string cookie =
        ReplyItems(std::span(reply).first(replyLength)).Find("Session-ID").value_or("");

    const std::vector<std::uint8_t> file = PackedFile();
    maintenance::UploadTarget target{"127.0.0.1", server.port(), cookie, "127.0.0.1"};
    maintenance::UploadTimings timings;
    timings.packedNewPauseAfterSide = timings.folderNewPauseAfterRequest = timings.pauseAtEnd =
        std::chrono::milliseconds(0);

    RawSink sink;
    Series raw{"raw socket copy", {}};
    Series newProtocol{"new protocol (raw unit per connection)", {}};
    struct OldVariant {
        Series series;
        std::chrono::milliseconds peerClose;
        std::uint16_t port;
        std::optional<TimeWaits> after;
        TimeWaits peak;
    };
    OldVariant oldVariants[] = {
        {{"old protocol, device closes first", {}}, timings.oldPeerClose, server.port(), {}, {}},
        {{"old protocol, client closes at once", {}},
         std::chrono::milliseconds::zero(),
         closeAtOnceServer.port(),
         {},
         {}},
    };

    const auto upload = [&](maintenance::UploadProtocol protocol, std::uint16_t port,
                            std::chrono::milliseconds peerClose) {
        auto parsed = maintenance::ParsePackedFirmware(file, protocol);
        if (!parsed.Ok()) {
            std::fprintf(stderr, "the packed file was refused\n");
            std::exit(1);
        }
        const maintenance::UploadPlan plan = maintenance::PackedUploadPlan(parsed.image, protocol);
        const std::size_t unitsBefore = firmware.Units().size();
        NullObserver observer;
        maintenance::UploadTarget to = target;
        to.port = port;
        g_lpApp->CSettingINI.m_wWebPort = port;
        maintenance::UploadTimings with = timings;
        with.oldPeerClose = peerClose;
        const auto start = Clock::now();
        const auto outcome = maintenance::RunFirmwareUpload(plan, to, with, observer, {}, {});
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto units = firmware.Units();
        bool whole = outcome == maintenance::UploadOutcome::kSucceeded &&
                     units.size() == unitsBefore + plan.units.size();
        for (std::size_t i = 0; whole && i < plan.units.size(); ++i) {
            const auto& data = plan.units[i].data;
            const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
            whole = units[unitsBefore + i].complete &&
                    units[unitsBefore + i].checksum == devicesim::FirmwareCommands::Checksum(bytes);
        }
        if (!whole || !firmware.Violations().empty()) {
            std::fprintf(stderr, "the upload did not arrive whole\n");
            std::exit(1);
        }
        return seconds;
    };

    // The first upload of each old variant is watched: TIME_WAIT sockets live
    // for a minute, so the peak is sampled while it runs as well as the
    // count at its end.
    const auto uploadOld = [&](OldVariant& variant) {
        std::atomic<bool> done{false};
        std::thread sampler;
        if (!variant.after) {
            sampler = std::thread([&] {
                while (!done.load()) {
                    const TimeWaits now = CountTimeWaits(variant.port);
                    variant.peak.client = std::max(variant.peak.client, now.client);
                    variant.peak.device = std::max(variant.peak.device, now.device);
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                }
            });
        }
        variant.series.seconds.push_back(
            upload(maintenance::UploadProtocol::kOld, variant.port, variant.peerClose));
        done = true;
        if (sampler.joinable()) {
            sampler.join();
            variant.after = CountTimeWaits(variant.port);
        }
    };

    for (int round = 0; round < rounds; ++round) {
        for (int step = 0; step < 4; ++step) {
            switch ((round + step) % 4) {
                case 0:
                    raw.seconds.push_back(sink.Copy(file));
                    break;
                case 1:
                    newProtocol.seconds.push_back(upload(maintenance::UploadProtocol::kNew,
                                                         server.port(), timings.oldPeerClose));
                    break;
                default:
                    uploadOld(oldVariants[(round + step) % 4 - 2]);
                    break;
            }
        }
    }

    const double mib = static_cast<double>(file.size()) / (1 << 20);
    std::printf("32 MiB packed file, %d interleaved rounds, pauses zero, 127.0.0.1\n", rounds);
    std::printf("%-40s %9s %9s %9s %11s %9s\n", "", "min s", "median s", "max s", "MiB/s (med)",
                "vs copy");
    for (const Series* s : {&raw, &newProtocol, &oldVariants[0].series, &oldVariants[1].series}) {
        std::printf("%-40s %9.3f %9.3f %9.3f %11.1f %8.1fx\n", s->name, s->Min(), s->Median(),
                    s->Max(), mib / s->Median(), s->Median() / raw.Median());
    }
    std::size_t pieces = 0;
    for (const std::size_t record :
         {std::size_t{16} << 20, std::size_t{1} << 20, kFileBytes - 12 - (std::size_t{17} << 20)}) {
        pieces += (record + 899) / 900;
    }
    std::printf("old protocol: %zu connections per upload\n", pieces);
    for (const OldVariant& variant : oldVariants) {
        std::printf(
            "%s, TIME_WAIT at the end of its first upload: client side %d, device side %d;"
            " peak (0.5 s samples): client %d, device %d\n",
            variant.series.name, variant.after->client, variant.after->device, variant.peak.client,
            variant.peak.device);
    }
    closeAtOnceServer.Stop();
    server.Stop();
    delete g_lpApp;
    g_lpApp = nullptr;
    return 0;
}
