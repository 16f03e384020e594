// The backup download's throughput, measured in one run against the
// simulator's recorder on 127.0.0.1 (no pacing), 200 MB per run:
//
//  (a) the download thread with the fake player attached: every 2,048-byte
//      block is appended under the player's mutex (lock, open, append,
//      close, unlock), the player gets a notice every 100 KB, the progress
//      state is reported when the percentage changes;
//  (b) the same download without a player (no mutex to take): what the
//      per-block lock costs;
//  (c) the baseline: the same request and the same stream copied from a
//      plain socket to a file with 64 KB reads and writes;
//  (d), (e) the file side alone, from memory: what the per-block lock, open,
//      append, close and unlock cost against appending to one open file.
//
// All run interleaved (a, b, c, d, e, a, b, ...); each prints its
// minimum, median and maximum in MB/s and the medians' ratios to (c).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/net/blocking_socket.h"
#include "core/net/cgi_command.h"
#include "maintenance/backup/backup_download.h"
#include "maintenance/backup/player_handoff.h"
#include "platform/named_mutex.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/temp_dir.h"
#include "tools/devicesim/http_server.h"
#include "tools/devicesim/recorded_data.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kSizeMb = 200;
constexpr int kRounds = 5;

maintenance::BackupSpan Span() {
    return {2024, 5, 17, 8, 30, 0, 0, 0, kSizeMb};
}

double DownloadRun(std::uint16_t port, const fs::path& file, maintenance::PlayerSession& player) {
    maintenance::BackupDownloadJob job;
    job.server = "127.0.0.1";
    job.port = port;
    job.cookie = "bench";
    job.hostIp = "127.0.0.1";
    job.span = Span();
    job.file = file;
    std::atomic<std::uint32_t> ending{0};
    maintenance::BackupDownload download(job, player,
                                         {[&](std::uint32_t state, std::uint32_t) {
                                              if (state != maintenance::kDownloadProgress) {
                                                  ending = state;
                                              }
                                          },
                                          {}});
    const auto start = Clock::now();
    download.Start();
    while (download.Running()) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    download.Stop();
    if (ending != maintenance::kDownloadComplete || fs::file_size(file) != kSizeMb * 1'048'576ull) {
        std::fprintf(stderr, "download ended with state %u\n", ending.load());
        std::exit(1);
    }
    fs::remove(file);
    return kSizeMb / seconds;
}

double PlainCopyRun(std::uint16_t port, const fs::path& file) {
    const auto start = Clock::now();
    CBlockingSocket socket;
    socket.Create();
    socket.Connect(CSocketAddress("127.0.0.1", port));
    const std::string request = BuildKeepAliveGet(
        "/NetworkBk.cgi?" + maintenance::BuildNetworkBackupQuery("bench", Span()), "127.0.0.1");
    socket.Write(request.data(), static_cast<int>(request.size()), std::chrono::seconds(10));
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> buffer(64 * 1024);
    std::uint64_t total = 0;
    for (;;) {
        const int got = socket.Receive(buffer.data(), static_cast<int>(buffer.size()),
                                       std::chrono::seconds(10));
        if (got <= 0) {
            break;
        }
        if (::write(fd, buffer.data(), static_cast<std::size_t>(got)) != got) {
            std::exit(1);
        }
        total += static_cast<std::uint64_t>(got);
    }
    ::close(fd);
    socket.CloseQuietly();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    benchmark::DoNotOptimize(total);
    fs::remove(file);
    return kSizeMb / seconds;
}

// The file side alone, from memory: 2,048-byte blocks appended (d) each
// under the mutex with its own open and close, (e) to one open file.
double AppendRun(const fs::path& file, platform::NamedMutex* mutex) {
    const std::vector<char> block(2048, 'x');
    const std::uint64_t blocks = kSizeMb * 1'048'576ull / block.size();
    ::close(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const auto start = Clock::now();
    int kept = -1;
    if (mutex == nullptr) {
        kept = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    }
    for (std::uint64_t i = 0; i < blocks; ++i) {
        if (mutex != nullptr) {
            mutex->Lock(std::chrono::seconds(1));
            const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
                std::exit(1);
            }
            ::close(fd);
            mutex->Unlock();
        } else if (::write(kept, block.data(), block.size()) !=
                   static_cast<ssize_t>(block.size())) {
            std::exit(1);
        }
    }
    if (kept >= 0) {
        ::close(kept);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(file);
    return kSizeMb / seconds;
}

struct Figures {
    const char* name;
    std::vector<double> runs;
    double Median() const {
        std::vector<double> v = runs;
        std::ranges::sort(v);
        return v[v.size() / 2];
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    test_support::ScopedRuntimeDir runtime;
    test_support::TempDir dir;
    devicesim::RecordedData recorder;
    devicesim::HttpServer server(
        [&recorder](const devicesim::HttpRequest& request, devicesim::Connection& connection) {
            recorder.Serve(request, connection);
        });

    // The player: attached and ready, holding nothing, sharing the mutex.
    maintenance::PlayerSession attached;
    attached.mutexName = "NETWORKBK_1";
    test_support::FakePlayer player(dir / "player.log");
    attached.processId = static_cast<std::uint32_t>(player.Pid());
    attached.window = static_cast<std::uint32_t>(player.Pid());
    attached.started = true;
    attached.ready = true;
    attached.notifyStep = maintenance::kDefaultNotifyStep;
    maintenance::PlayerSession none;

    Figures withPlayer{"download, player attached (lock/open/append/close per block)", {}};
    Figures withoutPlayer{"download, no player (open/append/close per block)", {}};
    Figures plain{"plain socket-to-file copy (64 KB reads)", {}};
    Figures perBlock{"file only: lock/open/append/close/unlock per 2 KB block", {}};
    Figures oneFile{"file only: 2 KB appends to one open file", {}};
    platform::NamedMutex mutex("NETWORKBK_2");
    for (int round = 0; round < kRounds; ++round) {
        withPlayer.runs.push_back(DownloadRun(server.port(), dir / "a.dvr", attached));
        withoutPlayer.runs.push_back(DownloadRun(server.port(), dir / "b.dvr", none));
        plain.runs.push_back(PlainCopyRun(server.port(), dir / "c.raw"));
        perBlock.runs.push_back(AppendRun(dir / "d.dvr", &mutex));
        oneFile.runs.push_back(AppendRun(dir / "e.dvr", nullptr));
    }
    server.Stop();

    std::printf("backup download of %d MB from the simulator on 127.0.0.1, %d interleaved rounds\n",
                kSizeMb, kRounds);
    for (const Figures* f : {&withPlayer, &withoutPlayer, &plain, &perBlock, &oneFile}) {
        std::printf("  %-62s min %7.1f  median %7.1f  max %7.1f MB/s  ratio %.2f\n", f->name,
                    std::ranges::min(f->runs), f->Median(), std::ranges::max(f->runs),
                    f->Median() / plain.Median());
    }
    const auto microsPerBlock = [](double mbPerSecond) {
        return 2048.0 / (mbPerSecond * 1'048'576.0) * 1e6;
    };
    std::printf(
        "  per-block file handling: %.2f us per block against %.2f us appending to an open file\n",
        microsPerBlock(perBlock.Median()), microsPerBlock(oneFile.Median()));
    std::size_t notices = 0;
    for (const std::string& line : player.LogLines()) {
        notices += line.starts_with("message 1202") ? 1 : 0;
    }
    std::printf("  player notices received: %zu (%d downloads)\n", notices, kRounds);
    benchmark::Shutdown();
    return 0;
}
