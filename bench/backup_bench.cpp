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
//      append, close and unlock cost against appending to one open file;
//  (f) the same per-block steps as the download takes them (the mutex held
//      on its open lock file, openat in the opened folder), each timed on
//      its own: lock, open, write, close, unlock in microseconds per block,
//      beside an empty system call and flock on the lock file for scale.
//
// All run interleaved (a, b, c, d, e, f, a, b, ...); each prints its
// minimum, median and maximum in MB/s and the medians' ratios to (c).
// Options: --only=<cases> (letters, e.g. --only=ac), --rounds=N (5).
// A download whose last player notice did not arrive (the player's queue
// was full) is run again, at most twice, and the retries are counted.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
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
constexpr int kDefaultRounds = 5;

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

std::uint64_t NowNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

// (f): each per-block step timed on its own, in microseconds per block, the
// cost of a clock read taken off.
struct StepTimes {
    static constexpr std::array<const char*, 8> kNames = {
        "lock",   "openat",        "write",      "close",
        "unlock", "empty syscall", "flock lock", "flock unlock"};
    std::array<double, kNames.size()> micros{};
};

StepTimes StepRun(const fs::path& folder, platform::NamedMutex& mutex) {
    const std::vector<char> block(2048, 'x');
    const std::uint64_t blocks = kSizeMb * 1'048'576ull / block.size();
    const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const char* name = "f.dvr";
    ::close(::openat(dir, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const int flockFd = ::open((folder / "f.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    std::array<std::uint64_t, StepTimes::kNames.size()> ns{};
    std::uint64_t clockNs = 0;
    for (std::uint64_t i = 0; i < blocks; ++i) {
        std::uint64_t t0 = NowNs();
        std::uint64_t t1 = NowNs();
        clockNs += t1 - t0;
        t0 = t1;
        if (!mutex.TryLock()) {
            std::exit(1);
        }
        t1 = NowNs();
        ns[0] += t1 - t0;
        t0 = t1;
        const int fd = ::openat(dir, name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        t1 = NowNs();
        ns[1] += t1 - t0;
        t0 = t1;
        if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
            std::exit(1);
        }
        t1 = NowNs();
        ns[2] += t1 - t0;
        t0 = t1;
        ::close(fd);
        t1 = NowNs();
        ns[3] += t1 - t0;
        t0 = t1;
        mutex.Unlock();
        t1 = NowNs();
        ns[4] += t1 - t0;
        t0 = t1;
        ::syscall(SYS_getppid);
        t1 = NowNs();
        ns[5] += t1 - t0;
        t0 = t1;
        ::flock(flockFd, LOCK_EX | LOCK_NB);
        t1 = NowNs();
        ns[6] += t1 - t0;
        t0 = t1;
        ::flock(flockFd, LOCK_UN);
        t1 = NowNs();
        ns[7] += t1 - t0;
    }
    ::close(flockFd);
    ::close(dir);
    fs::remove(folder / name);
    StepTimes times;
    const double clock = static_cast<double>(clockNs) / static_cast<double>(blocks);
    for (std::size_t i = 0; i < ns.size(); ++i) {
        times.micros[i] =
            std::max(0.0, static_cast<double>(ns[i]) / static_cast<double>(blocks) - clock) /
            1000.0;
    }
    return times;
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

// The notices of the player's log from line `from` on: the new bytes they
// announce, and whether the end of a download was among them.
struct NoticeTally {
    std::uint64_t bytes = 0;
    bool ended = false;
};

NoticeTally TallyNotices(const std::vector<std::string>& lines, std::size_t from) {
    NoticeTally tally;
    for (std::size_t i = from; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.starts_with("message 1202 0 ")) {
            tally.bytes += std::stoull(line.substr(15), nullptr, 16);
        } else if (line.starts_with("message 1203 0 0")) {
            tally.ended = true;
        }
    }
    return tally;
}

double Median(std::vector<double> v) {
    std::ranges::sort(v);
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string only = "abcdef";
    int rounds = kDefaultRounds;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--only=")) {
            only = arg.substr(7);
        } else if (arg.starts_with("--rounds=")) {
            rounds = std::max(1, std::atoi(argv[i] + 9));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    const auto wanted = [&only](char c) { return only.find(c) != std::string::npos; };
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

    Figures withPlayer{"(a) download, player attached (lock/open/append/close per block)", {}};
    Figures withoutPlayer{"(b) download, no player (open/append/close per block)", {}};
    Figures plain{"(c) plain socket-to-file copy (64 KB reads)", {}};
    Figures perBlock{"(d) file only: lock/open/append/close/unlock per 2 KB block", {}};
    Figures oneFile{"(e) file only: 2 KB appends to one open file", {}};
    std::vector<StepTimes> steps;
    platform::NamedMutex mutex("NETWORKBK_2");
    int retries = 0;
    std::size_t logFrom = 0;
    for (int round = 0; round < rounds; ++round) {
        if (wanted('a')) {
            for (int attempt = 0;; ++attempt) {
                const double rate = DownloadRun(server.port(), dir / "a.dvr", attached);
                // The player's end notice comes last; its queue may still be
                // behind the download.
                NoticeTally tally;
                for (int wait = 0; wait < 500 && !tally.ended; ++wait) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    tally = TallyNotices(player.LogLines(), logFrom);
                }
                logFrom = player.LogLines().size();
                if ((tally.ended && tally.bytes == kSizeMb * 1'048'576ull) || attempt == 2) {
                    withPlayer.runs.push_back(rate);
                    break;
                }
                ++retries;
            }
        }
        if (wanted('b')) {
            withoutPlayer.runs.push_back(DownloadRun(server.port(), dir / "b.dvr", none));
        }
        if (wanted('c')) {
            plain.runs.push_back(PlainCopyRun(server.port(), dir / "c.raw"));
        }
        if (wanted('d')) {
            perBlock.runs.push_back(AppendRun(dir / "d.dvr", &mutex));
        }
        if (wanted('e')) {
            oneFile.runs.push_back(AppendRun(dir / "e.dvr", nullptr));
        }
        if (wanted('f')) {
            steps.push_back(StepRun(dir.path(), mutex));
        }
    }
    server.Stop();

    std::printf("backup download of %d MB from the simulator on 127.0.0.1, %d interleaved rounds\n",
                kSizeMb, rounds);
    const auto microsPerBlock = [](double mbPerSecond) {
        return 2048.0 / (mbPerSecond * 1'048'576.0) * 1e6;
    };
    for (const Figures* f : {&withPlayer, &withoutPlayer, &plain, &perBlock, &oneFile}) {
        if (f->runs.empty()) {
            continue;
        }
        std::printf("  %-66s min %7.1f  median %7.1f  max %7.1f MB/s  %5.2f us/block", f->name,
                    std::ranges::min(f->runs), f->Median(), std::ranges::max(f->runs),
                    microsPerBlock(f->Median()));
        if (!plain.runs.empty()) {
            std::printf("  ratio %.2f (min %.2f max %.2f)", f->Median() / plain.Median(),
                        std::ranges::min(f->runs) / plain.Median(),
                        std::ranges::max(f->runs) / plain.Median());
        }
        std::printf("\n");
    }
    if (!steps.empty()) {
        std::printf("  (f) per-block steps, us per block (median of %zu rounds):\n", steps.size());
        double required = 0;
        for (std::size_t i = 0; i < StepTimes::kNames.size(); ++i) {
            std::vector<double> values;
            for (const StepTimes& t : steps) {
                values.push_back(t.micros[i]);
            }
            const double median = Median(values);
            required += i < 5 ? median : 0.0;
            std::printf("      %-14s min %5.2f  median %5.2f  max %5.2f\n", StepTimes::kNames[i],
                        std::ranges::min(values), median, std::ranges::max(values));
        }
        std::printf("      the five required steps: %.2f us per block\n", required);
    }
    if (wanted('a')) {
        std::size_t notices = 0;
        for (const std::string& line : player.LogLines()) {
            notices += line.starts_with("message 1202") ? 1 : 0;
        }
        std::printf("  player notices received: %zu; downloads run again for a lost notice: %d\n",
                    notices, retries);
    }
    benchmark::Shutdown();
    return 0;
}
