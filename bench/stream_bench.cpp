// The live stream's cost, measured in one run:
//
//  (a) ingest: the fake device on 127.0.0.1 sends 704 x 480 frames as fast as
//      the client reads them; frames per second that the client receives,
//      parses, decodes into the image ring and hands to the show thread (counted
//      when the kernel-message thread is asked to draw them);
//  (b) TurboJPEG alone decoding the same frames in a loop on one core;
//  (c) at 25 frames per second, CPU time per frame of the pipeline's threads
//      (receive, compose, show, kernel-message) against decoding alone, both
//      in a tight loop and paced at 25 frames per second like the stream;
//  (d) the same with the real main window on Qt's offscreen platform: the
//      kernel-message thread draws each frame with the window's DrawVideoFrame
//      and this thread, as the GUI thread, paints it (windowed 704 x 480,
//      line-doubled 704 x 240, full screen 1920 x 1080), against decoding the
//      same frames alone at the same pace, interleaved over several rounds:
//      CPU per frame of every thread of the road (the GUI thread included),
//      the time from the last byte of a frame received to the end of the
//      paint that shows it (p50, p99), and the system calls and context
//      switches per frame of each thread (counted by the kernel);
//
// and counts the heap allocations per thread while the stream runs (every
// malloc-level call, the libraries' included, and operator new's apart), and
// those of TurboJPEG decoding alone.

#include <benchmark/benchmark.h>
#include <linux/perf_event.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "bench/paced_decode.h"
#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "core/state/system_buffers.h"
#include "liveview/window/main_window.h"
#include "media/frame_header.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "media/stream_receiver.h"
#include "platform/program_folder.h"
#include "tests/support/fake_device.h"
#include "tests/support/fake_stream.h"
#include "tests/support/temp_dir.h"
#include "tools/skingen/main_skin.h"
#include "tools/streamgen/device_jpeg.h"
#include "tools/streamgen/frame_header_writer.h"

// ---- counting heap allocations ---------------------------------------------------

// Every heap allocation of the process goes through malloc, calloc, realloc
// or the aligned allocators, also those of the libraries (TurboJPEG, Qt) and
// operator new's. The benchmark defines them itself, forwarding to glibc's
// allocator, and counts calls per pipeline thread while counting is on; it
// counts operator new apart as well, to tell our code's allocations from the
// libraries'. (Not with AddressSanitizer, which brings its own allocator.)

namespace {

// The pipeline's threads by name (platform::Thread names them); every other
// thread (the fake device, the benchmark's own) counts as "other".
constexpr std::array<std::string_view, 4> kPipelineThreads{"receive", "compose", "show",
                                                           "kernelmsg"};
constexpr std::size_t kOtherThreads = kPipelineThreads.size();
using Counts = std::array<std::atomic<std::uint64_t>, kPipelineThreads.size() + 1>;

std::atomic<bool> g_counting{false};
Counts g_newCalls{};
Counts g_allocCalls{};

// The thread's name comes from prctl for the calling thread: nothing here
// allocates.
void CountIn(Counts& counts) {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    std::size_t slot = kOtherThreads;
    for (std::size_t i = 0; i < kPipelineThreads.size(); ++i) {
        if (kPipelineThreads[i] == name)
            slot = i;
    }
    counts[slot].fetch_add(1, std::memory_order_relaxed);
}

void CountAllocation() {
    if (g_counting.load(std::memory_order_relaxed))
        CountIn(g_allocCalls);
}

void ResetCounts() {
    for (auto& calls : g_newCalls) calls = 0;
    for (auto& calls : g_allocCalls) calls = 0;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCountsAllocations = false;
#else
constexpr bool kCountsAllocations = true;

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) noexcept {
    CountAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    CountAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
    CountAllocation();
    return __libc_realloc(p, size);
}
void free(void* p) noexcept {
    __libc_free(p);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    CountAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    CountAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    CountAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}
}
#endif

void* operator new(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed))
        CountIn(g_newCalls);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace std::chrono_literals;
using streamgen::FrameHeaderLayout;
using test_support::FakeDevice;
using test_support::FakeStream;
using test_support::FrameCycle;

constexpr int kWidth = 704;
constexpr int kHeight = 480;
constexpr std::size_t kCycleFrames = 16;
constexpr std::int64_t kWarmUpFrames = 30;
constexpr std::int64_t kIngestFrames = 1500;
constexpr std::int64_t kPacedFrames = 150;  // 6 s at 25 frames per second

// The frames of a size, encoded once (on the benchmark's thread).
const streamgen::DeviceJpegCycle& Jpegs(int width = kWidth, int height = kHeight) {
    static std::map<std::pair<int, int>, std::unique_ptr<streamgen::DeviceJpegCycle>> cycles;
    auto& cycle = cycles[{width, height}];
    if (!cycle)
        cycle = std::make_unique<streamgen::DeviceJpegCycle>(width, height, kCycleFrames);
    return *cycle;
}

std::uint64_t Nanoseconds(const timespec& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

std::uint64_t ThisThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return Nanoseconds(t);
}

std::uint64_t ProcessCpuNs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& v) {
        return static_cast<std::uint64_t>(v.tv_sec) * 1'000'000u +
               static_cast<std::uint64_t>(v.tv_usec);
    };
    return (us(usage.ru_utime) + us(usage.ru_stime)) * 1000u;
}

// CPU time of each of the pipeline's threads, from their per-thread CPU
// clocks.
using ThreadTimes = std::array<std::uint64_t, kPipelineThreads.size()>;
ThreadTimes PipelineThreadsCpuNs() {
    ThreadTimes times{};
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        const auto found = std::find(kPipelineThreads.begin(), kPipelineThreads.end(), name);
        if (found == kPipelineThreads.end())
            continue;
        const auto tid = static_cast<clockid_t>(std::stol(entry.path().filename().string()));
        // The kernel's per-thread scheduler clock of a thread of this process.
        const clockid_t clock = (~tid << 3) | 6;
        timespec t{};
        if (clock_gettime(clock, &t) == 0) {
            times[static_cast<std::size_t>(found - kPipelineThreads.begin())] += Nanoseconds(t);
        }
    }
    return times;
}

std::uint64_t Sum(const ThreadTimes& times) {
    std::uint64_t total = 0;
    for (std::uint64_t t : times) total += t;
    return total;
}

// The main window of the benchmark: counts the frames it is asked to draw.
class CountingLiveView : public PlaceholderLiveView {
public:
    int DrawVideoFrame() override {
        {
            std::lock_guard lock(m_lock);
            ++m_drawn;
        }
        m_changed.notify_all();
        return PlaceholderLiveView::DrawVideoFrame();
    }
    std::uint64_t WaitForDrawn(std::uint64_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_drawn >= count; });
        return m_drawn;
    }
    std::uint64_t Drawn() {
        std::lock_guard lock(m_lock);
        return m_drawn;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_drawn = 0;
};

// The whole live pipeline against the fake device, as the program runs it
// after a login.
class LivePipeline {
public:
    // `liveView` draws the frames (nullptr: one that only counts them);
    // `onReceive` sees the result of every receive of the stream.
    explicit LivePipeline(
        double framesPerSecond, LiveViewServices* liveView = nullptr,
        const streamgen::DeviceJpegCycle& jpegs = Jpegs(), std::function<void(int)> onReceive = {},
        const std::function<void(const std::filesystem::path&)>& prepareFolder = {})
        : m_stream(FrameCycle::FromJpegs(jpegs, FrameHeaderLayout::kNew), framesPerSecond) {
        platform::SetProgramFolder(m_folder.path());
        if (prepareFolder)
            prepareFolder(m_folder.path());
        SetLiveViewServices(liveView != nullptr ? liveView : &m_liveView);
        CreateGlobalState();
        AppGlobalState& app = *g_lpApp;
        InitTraceLog(300, m_folder.path());
        AllocateSystemBuffer();
        InitialSemaphore();
        app.CSettingINI.m_strServerName = "127.0.0.1";
        app.CSettingINI.m_wWebPort = m_device.port();
        g_szSessionCookie.Set("BENCH");
        g_strHostIP.Set("127.0.0.1");
        StreamReceiveSettings receive;
        receive.onReceive = std::move(onReceive);
        SetStreamReceiveSettings(receive);
        C_FrameHeaderParser.SetNewLayout(true);
        m_device.SetHandler("/Getvideo.cgi", m_stream.Handler());
        InitProcessResource();
        InitLoginResource();
        SignalStreamStartEvents();
    }
    ~LivePipeline() {
        StopThreads();
        FreeSystemBuffer();
        FreeSystemSemaphore();
        CloseTraceLog();
        DeleteGlobalState();
        SetLiveViewServices(nullptr);
        platform::ResetProgramFolder();
    }

    // Ends the pipeline's threads and the device (before a window that they
    // draw into goes away); the rest is released by the destructor.
    void StopThreads() {
        if (std::exchange(m_stopped, true))
            return;
        ExitLoginResource();
        ExitProcessResource();
        m_device.Stop();
    }

    std::uint64_t WaitForDrawn(std::uint64_t count) { return m_liveView.WaitForDrawn(count); }
    // A user recording into the pipeline's own folder, as the record button starts it.
    bool StartUserRecording() {
        return GetMediaState().C_UserRecord.StartRecord(m_folder.path().string()) != 0;
    }
    void StopUserRecording() { GetMediaState().C_UserRecord.StopRecord(); }
    std::uint64_t SenderCpuNs() const { return m_stream.SenderCpuNanoseconds(); }

private:
    bool m_stopped = false;
    test_support::TempDir m_folder;
    CountingLiveView m_liveView;
    ScopedMediaServices m_media;
    FakeDevice m_device;
    FakeStream m_stream;
};

// System calls and context switches of chosen threads of this process,
// counted by the kernel (perf events on the system-call trace points; root
// or a low perf_event_paranoid). Not available: Start says so, nothing is
// counted.
class ThreadEventCounters {
public:
    static constexpr std::array<const char*, 6> kEvents{"syscalls", "futex",    "poll",
                                                        "ppoll",    "recvfrom", "cswitch"};
    using Counts = std::array<std::uint64_t, kEvents.size()>;

    ~ThreadEventCounters() { Close(); }

    bool Start(const std::vector<pid_t>& threads) {
        Close();
        const std::array<std::pair<const char*, const char*>, 5> tracepoints{{
            {"raw_syscalls", "sys_enter"},
            {"syscalls", "sys_enter_futex"},
            {"syscalls", "sys_enter_poll"},
            {"syscalls", "sys_enter_ppoll"},
            {"syscalls", "sys_enter_recvfrom"},
        }};
        for (pid_t tid : threads) {
            std::array<int, kEvents.size()> fds{};
            fds.fill(-1);
            for (std::size_t e = 0; e < kEvents.size(); ++e) {
                perf_event_attr attr{};
                attr.size = sizeof attr;
                if (e < tracepoints.size()) {
                    const long id = TracepointId(tracepoints[e].first, tracepoints[e].second);
                    if (id < 0)
                        continue;
                    attr.type = PERF_TYPE_TRACEPOINT;
                    attr.config = static_cast<std::uint64_t>(id);
                } else {
                    attr.type = PERF_TYPE_SOFTWARE;
                    attr.config = PERF_COUNT_SW_CONTEXT_SWITCHES;
                }
                fds[e] = static_cast<int>(::syscall(SYS_perf_event_open, &attr, tid, -1, -1, 0));
            }
            m_fds.push_back(fds);
        }
        m_available = !m_fds.empty() && std::all_of(m_fds.begin(), m_fds.end(), [](auto& fds) {
            return std::all_of(fds.begin(), fds.end(), [](int fd) { return fd >= 0; });
        });
        return m_available;
    }
    bool available() const { return m_available; }

    // The counts of each thread (in Start's order) since Start.
    std::vector<Counts> Read() const {
        std::vector<Counts> counts;
        for (const auto& fds : m_fds) {
            Counts c{};
            for (std::size_t e = 0; e < fds.size(); ++e) {
                std::uint64_t value = 0;
                if (fds[e] >= 0 && ::read(fds[e], &value, sizeof value) == sizeof value)
                    c[e] = value;
            }
            counts.push_back(c);
        }
        return counts;
    }

    void Close() {
        for (const auto& fds : m_fds) {
            for (int fd : fds) {
                if (fd >= 0)
                    ::close(fd);
            }
        }
        m_fds.clear();
        m_available = false;
    }

private:
    static long TracepointId(const char* group, const char* name) {
        for (const char* root :
             {"/sys/kernel/tracing/events", "/sys/kernel/debug/tracing/events"}) {
            std::ifstream file(std::string(root) + "/" + group + "/" + name + "/id");
            long id = -1;
            if (file >> id)
                return id;
        }
        return -1;
    }

    std::vector<std::array<int, kEvents.size()>> m_fds;
    bool m_available = false;
};

// The kernel's id of each pipeline thread of this process, by name (0 where
// none runs).
std::array<pid_t, kPipelineThreads.size()> PipelineThreadIds() {
    std::array<pid_t, kPipelineThreads.size()> ids{};
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        const auto found = std::find(kPipelineThreads.begin(), kPipelineThreads.end(), name);
        if (found != kPipelineThreads.end()) {
            ids[static_cast<std::size_t>(found - kPipelineThreads.begin())] =
                static_cast<pid_t>(std::stol(entry.path().filename().string()));
        }
    }
    return ids;
}

// Figures for the summary.
struct Figures {
    double decodeFps = 0;
    double decodeCpuNsPerFrame = 0;
    double pacedDecodeCpuNsPerFrame = 0;
    double ingestFps = 0;
    double recordingIngestFps = 0;
    double pacedPipelineCpuNsPerFrame = 0;
    double pacedProcessCpuNsPerFrame = 0;
    std::array<double, kPipelineThreads.size()> pacedThreadCpuNsPerFrame{};
    std::array<double, kPipelineThreads.size()> ingestThreadCpuNsPerFrame{};
    std::array<std::uint64_t, kPipelineThreads.size() + 1> newCalls{};
    std::array<std::uint64_t, kPipelineThreads.size() + 1> allocCalls{};
    std::uint64_t newCallFrames = 0;
    double decodeAllocsPerFrame = 0;
    // System calls and switches per frame of each pipeline thread at 25
    // frames per second, when counted.
    std::vector<ThreadEventCounters::Counts> pacedEvents;
    double pacedEventFrames = 0;
};
Figures g_figures;

void BM_TurboJpegDecodeAlone(benchmark::State& state) {
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> picture(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::size_t n = 0;
    ResetCounts();
    g_counting = true;
    const std::uint64_t cpuStart = ThisThreadCpuNs();
    for (auto _ : state) {
        const std::span<const std::uint8_t> jpeg = Jpegs().Frame(n++);
        if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          picture.data(), kWidth, 0, kHeight, TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(picture.data());
    }
    const std::uint64_t cpu = ThisThreadCpuNs() - cpuStart;
    g_counting = false;
    g_figures.decodeAllocsPerFrame =
        static_cast<double>(g_allocCalls[kOtherThreads]) / static_cast<double>(state.iterations());
    tjDestroy(handle);
    state.SetItemsProcessed(state.iterations());
    g_figures.decodeCpuNsPerFrame =
        static_cast<double>(cpu) / static_cast<double>(state.iterations());
    g_figures.decodeFps = 1e9 / g_figures.decodeCpuNsPerFrame;
    state.counters["cpu_ms_per_frame"] = g_figures.decodeCpuNsPerFrame / 1e6;
}

// The same decode once every 40 ms, as the pipeline decodes at 25 frames per
// second: caches and the core's state are cold again for every frame.
void BM_TurboJpegDecodeAlonePaced(benchmark::State& state) {
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> picture(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::size_t n = 0;
    std::uint64_t cpu = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * (n + 1));
        const std::uint64_t before = ThisThreadCpuNs();
        const std::span<const std::uint8_t> jpeg = Jpegs().Frame(n++);
        if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          picture.data(), kWidth, 0, kHeight, TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(picture.data());
        cpu += ThisThreadCpuNs() - before;
    }
    tjDestroy(handle);
    state.SetItemsProcessed(state.iterations());
    g_figures.pacedDecodeCpuNsPerFrame =
        static_cast<double>(cpu) / static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_frame"] = g_figures.pacedDecodeCpuNsPerFrame / 1e6;
}

void BM_PipelineIngest(benchmark::State& state) {
    LivePipeline pipeline(0);
    std::uint64_t drawn = pipeline.WaitForDrawn(kWarmUpFrames);
    const ThreadTimes threadsStart = PipelineThreadsCpuNs();
    ResetCounts();
    g_counting = true;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        drawn = pipeline.WaitForDrawn(drawn + 1);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    g_counting = false;
    const ThreadTimes threadsEnd = PipelineThreadsCpuNs();
    for (std::size_t i = 0; i < threadsEnd.size(); ++i) {
        g_figures.ingestThreadCpuNsPerFrame[i] =
            static_cast<double>(threadsEnd[i] - threadsStart[i]) /
            static_cast<double>(state.iterations());
    }
    for (std::size_t i = 0; i < g_newCalls.size(); ++i) {
        g_figures.newCalls[i] = g_newCalls[i];
        g_figures.allocCalls[i] = g_allocCalls[i];
    }
    g_figures.newCallFrames = static_cast<std::uint64_t>(state.iterations());
    g_figures.ingestFps = static_cast<double>(state.iterations()) / elapsed.count();
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = g_figures.ingestFps;
}

// The same ingest with a user recording writing every frame to disk.
void BM_PipelineIngestRecording(benchmark::State& state) {
    LivePipeline pipeline(0);
    std::uint64_t drawn = pipeline.WaitForDrawn(kWarmUpFrames);
    if (!pipeline.StartUserRecording()) {
        state.SkipWithError("the user recording did not start");
        return;
    }
    drawn = pipeline.WaitForDrawn(drawn + 10);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        drawn = pipeline.WaitForDrawn(drawn + 1);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    pipeline.StopUserRecording();
    g_figures.recordingIngestFps = static_cast<double>(state.iterations()) / elapsed.count();
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = g_figures.recordingIngestFps;
}

void BM_PipelineAt25Fps(benchmark::State& state) {
    LivePipeline pipeline(25.0);
    std::uint64_t drawn = pipeline.WaitForDrawn(kWarmUpFrames / 3);
    const ThreadTimes threadsStart = PipelineThreadsCpuNs();
    const std::uint64_t processStart = ProcessCpuNs();
    const std::uint64_t senderStart = pipeline.SenderCpuNs();
    const std::uint64_t drawnStart = drawn;
    const auto ids = PipelineThreadIds();
    ThreadEventCounters counters;
    const bool counted = counters.Start(std::vector<pid_t>(ids.begin(), ids.end()));
    for (auto _ : state) {
        drawn = pipeline.WaitForDrawn(drawn + 1);
    }
    const double frames = static_cast<double>(drawn - drawnStart);
    if (counted) {
        g_figures.pacedEvents = counters.Read();
        g_figures.pacedEventFrames = frames;
    }
    const ThreadTimes threadsEnd = PipelineThreadsCpuNs();
    const std::uint64_t process = ProcessCpuNs() - processStart;
    const std::uint64_t sender = pipeline.SenderCpuNs() - senderStart;
    for (std::size_t i = 0; i < threadsEnd.size(); ++i) {
        g_figures.pacedThreadCpuNsPerFrame[i] =
            static_cast<double>(threadsEnd[i] - threadsStart[i]) / frames;
    }
    g_figures.pacedPipelineCpuNsPerFrame =
        static_cast<double>(Sum(threadsEnd) - Sum(threadsStart)) / frames;
    g_figures.pacedProcessCpuNsPerFrame =
        static_cast<double>(process > sender ? process - sender : 0) / frames;
    state.SetItemsProcessed(state.iterations());
    state.counters["pipeline_cpu_ms_per_frame"] = g_figures.pacedPipelineCpuNsPerFrame / 1e6;
}

// ---- the real drawing road -------------------------------------------------------

std::uint64_t SteadyNs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// From the last byte of a frame received to the end of the paint that shows
// it. The receive thread stamps every receive that brought bytes; when the
// kernel-message thread starts drawing a frame, the frame's arrival is the
// last of those stamps (at 25 frames per second the next frame's bytes come
// 40 ms later). The window's frame-ready message is posted after the picture
// is exchanged, so the first paint that ends after the GUI thread handled it
// shows the frame.
class LatencyLog {
public:
    void Received() { m_lastReceive.store(SteadyNs(), std::memory_order_relaxed); }

    // Kernel-message thread: a frame is about to be drawn.
    void Drawing() {
        std::lock_guard lock(m_lock);
        m_drawArrival = m_lastReceive.load(std::memory_order_relaxed);
        ++m_drawn;
    }
    // GUI thread: the window took the frame-ready message.
    void FrameReady() {
        std::lock_guard lock(m_lock);
        if (m_ready && !m_readyPainted)
            ++m_neverPainted;
        m_ready = true;
        m_readyPainted = false;
        m_readyArrival = m_drawArrival;
    }
    // GUI thread: a paint ended.
    void Painted(std::uint64_t now) {
        std::lock_guard lock(m_lock);
        if (!m_ready || m_readyPainted)
            return;
        m_readyPainted = true;
        ++m_painted;
        if (m_recording)
            m_samples.push_back(now - m_readyArrival);
    }

    std::uint64_t Drawn() const {
        std::lock_guard lock(m_lock);
        return m_drawn;
    }
    std::uint64_t Painted() const {
        std::lock_guard lock(m_lock);
        return m_painted;
    }
    // Starts keeping latencies (and counting frames never painted) afresh.
    void StartRecording() {
        std::lock_guard lock(m_lock);
        m_recording = true;
        m_samples.clear();
        m_neverPainted = 0;
    }
    std::vector<std::uint64_t> Samples() const {
        std::lock_guard lock(m_lock);
        return m_samples;
    }
    std::uint64_t NeverPainted() const {
        std::lock_guard lock(m_lock);
        return m_neverPainted;
    }

private:
    std::atomic<std::uint64_t> m_lastReceive{0};
    mutable std::mutex m_lock;
    std::uint64_t m_drawArrival = 0;
    bool m_ready = false;
    bool m_readyPainted = false;
    bool m_recording = false;
    std::uint64_t m_readyArrival = 0;
    std::uint64_t m_drawn = 0;
    std::uint64_t m_painted = 0;
    std::uint64_t m_neverPainted = 0;
    std::vector<std::uint64_t> m_samples;
};

// The program's main window, with the frame-ready message and the end of
// every paint noted.
class TimedWindow : public CDravelinDlg {
public:
    explicit TimedWindow(LatencyLog& log) : m_log(log) {}

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override {
        if (message == WM_FRAMEREADY)
            m_log.FrameReady();
        CDravelinDlg::HandleWindowMessage(message, wParam, lParam);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        CDravelinDlg::paintEvent(event);
        m_log.Painted(SteadyNs());
    }

private:
    LatencyLog& m_log;
};

// The live view as the program's: the kernel-message thread draws each frame
// with the window's DrawVideoFrame.
class WindowLiveView : public PlaceholderLiveView {
public:
    explicit WindowLiveView(LatencyLog& log) : m_log(log) {}
    void SetWindow(CDravelinDlg* window) { m_window.store(window); }

    int DrawVideoFrame() override {
        CDravelinDlg* window = m_window.load();
        if (window == nullptr)
            return PlaceholderLiveView::DrawVideoFrame();
        m_log.Drawing();
        return window->DrawVideoFrame();
    }

private:
    LatencyLog& m_log;
    std::atomic<CDravelinDlg*> m_window{nullptr};
};

// With oneCore every thread of the run (and the decode alone it is compared
// with) is kept on the core the benchmark runs on: what the same work costs
// when no picture and no wake-up crosses between cores.
struct DrawCase {
    const char* name;
    int width;
    int height;
    bool fullScreen;
    bool oneCore;
};
constexpr std::array<DrawCase, 6> kDrawCases{{
    {"windowed_704x480", 704, 480, false, false},
    {"doubled_704x240", 704, 240, false, false},
    {"fullscreen_1920x1080", 704, 480, true, false},
    {"windowed_704x480_one_core", 704, 480, false, true},
    {"doubled_704x240_one_core", 704, 240, false, true},
    {"fullscreen_1920x1080_one_core", 704, 480, true, true},
}};

// Keeps this thread, and every thread it starts, on one core while it lives.
class OneCore {
public:
    explicit OneCore(bool on) {
        if (!on || ::sched_getaffinity(0, sizeof m_saved, &m_saved) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(std::max(::sched_getcpu(), 0), &one);
        m_pinned = ::sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneCore() {
        if (m_pinned)
            ::sched_setaffinity(0, sizeof m_saved, &m_saved);
    }
    OneCore(const OneCore&) = delete;
    OneCore& operator=(const OneCore&) = delete;

private:
    cpu_set_t m_saved{};
    bool m_pinned = false;
};
constexpr int kDrawRounds = 3;

// The figures of one round of one case.
struct DrawRound {
    double decodeCpuNsPerFrame = 0;    // decoding alone, one frame every 40 ms
    double pipelineCpuNsPerFrame = 0;  // receive .. kernel-message + GUI thread
    std::array<double, kPipelineThreads.size() + 1> threadCpuNsPerFrame{};  // + GUI
    std::vector<std::uint64_t> latencies;
    std::uint64_t neverPainted = 0;
    std::vector<ThreadEventCounters::Counts> events;  // per thread, + GUI
    double frames = 0;
    bool eventsCounted = false;
    double ingestFps = 0;        // the top rate, drawn and painted (windowed)
    double ingestDecodeFps = 0;  // decoding alone in a tight loop, same size
};
std::map<std::string, std::array<DrawRound, kDrawRounds>> g_drawRounds;

// The window as the program shows it for a Q8A7 in the 704 x 480 view mode,
// or over a 1920 x 1080 work area in full screen.
std::unique_ptr<TimedWindow> OpenWindow(const DrawCase& c, LatencyLog& log) {
    AppGlobalState& app = *g_lpApp;
    app.str_ProductID.Set("Q8A7");
    app.w_ViewMode = 6;
    constexpr std::size_t kFullScreenBytes = 1920 * 1080 * 3;
    app.lp_FullScreenBuffer.reset(new std::uint8_t[kFullScreenBytes]());
    app.dw_FullScreenBufferBytes = kFullScreenBytes;
    auto window = std::make_unique<TimedWindow>(log);
    window->SetWorkArea(QRect(0, 0, 1920, 1080));
    window->resize(c.fullScreen ? QSize(1920, 1080) : QSize(722, 608));
    window->show();
    if (c.fullScreen)
        window->OnFitScreen();
    return window;
}

// Runs the GUI thread's event loop until `done` holds; false after a minute.
template <typename Done>
bool PumpUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    QTimer wake;
    wake.start(100);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double DecodeAloneFps(const streamgen::DeviceJpegCycle& jpegs, std::int64_t frames) {
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> picture(static_cast<std::size_t>(jpegs.width()) * jpegs.height() *
                                       3);
    const std::uint64_t start = ThisThreadCpuNs();
    for (std::int64_t n = 0; n < frames; ++n) {
        const std::span<const std::uint8_t> jpeg = jpegs.Frame(static_cast<std::uint64_t>(n));
        tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), picture.data(),
                      jpegs.width(), 0, jpegs.height(), TJPF_BGR, TJFLAG_BOTTOMUP);
        benchmark::DoNotOptimize(picture.data());
    }
    tjDestroy(handle);
    return 1e9 * static_cast<double>(frames) / static_cast<double>(ThisThreadCpuNs() - start);
}

// Decoding alone at 25 frames per second, this round's baseline of the case.
void BM_DecodeAlonePacedFor(benchmark::State& state, DrawCase c, int round) {
    const streamgen::DeviceJpegCycle& jpegs = Jpegs(c.width, c.height);
    const OneCore pin(c.oneCore);
    double cpu = 0;
    for (auto _ : state) cpu = bench::PacedDecodeCpuNs(jpegs, kPacedFrames);
    g_drawRounds[c.name][static_cast<std::size_t>(round)].decodeCpuNsPerFrame = cpu;
    state.counters["cpu_ms_per_frame"] = cpu / 1e6;
}

// The whole road at 25 frames per second into the real window.
// The pipeline drawing into the real window, torn down in order: the
// threads stop before the window they draw into goes.
struct DrawnPipeline {
    DrawnPipeline(const DrawCase& c, double framesPerSecond, bool logReceives)
        : liveView(log),
          pipeline(framesPerSecond, &liveView, Jpegs(c.width, c.height),
                   logReceives ? std::function<void(int)>([this](int result) {
                       if (result > 0)
                           log.Received();
                   })
                               : std::function<void(int)>{},
                   [](const std::filesystem::path& folder) { skingen::WriteMainSkin(folder); }),
          window(OpenWindow(c, log)) {
        liveView.SetWindow(window.get());
    }
    ~DrawnPipeline() { End(); }
    void End() {
        pipeline.StopThreads();
        liveView.SetWindow(nullptr);
        window.reset();
    }

    LatencyLog log;
    WindowLiveView liveView;
    LivePipeline pipeline;
    std::unique_ptr<TimedWindow> window;
};

void BM_PipelineDrawnAt25Fps(benchmark::State& state, DrawCase c, int round) {
    DrawRound& figures = g_drawRounds[c.name][static_cast<std::size_t>(round)];
    const OneCore pin(c.oneCore);
    DrawnPipeline drawn(c, 25.0, true);
    LatencyLog& log = drawn.log;
    if (!PumpUntil([&] { return log.Painted() >= 12; })) {
        drawn.End();
        state.SkipWithError("the window painted no frames");
        return;
    }

    const auto ids = PipelineThreadIds();
    std::vector<pid_t> threads(ids.begin(), ids.end());
    threads.push_back(static_cast<pid_t>(::gettid()));
    ThreadEventCounters counters;
    figures.eventsCounted = counters.Start(threads);
    log.StartRecording();
    const ThreadTimes threadsStart = PipelineThreadsCpuNs();
    const std::uint64_t guiStart = ThisThreadCpuNs();
    const std::uint64_t paintedStart = log.Painted();
    std::uint64_t painted = paintedStart;
    for (auto _ : state) {
        if (!PumpUntil([&] { return log.Painted() > painted; })) {
            state.SkipWithError("the stream stopped");
            break;
        }
        painted = log.Painted();
    }
    const std::uint64_t gui = ThisThreadCpuNs() - guiStart;
    const ThreadTimes threadsEnd = PipelineThreadsCpuNs();
    if (figures.eventsCounted)
        figures.events = counters.Read();
    counters.Close();
    figures.latencies = log.Samples();
    figures.neverPainted = log.NeverPainted();
    drawn.End();

    const double frames = static_cast<double>(painted - paintedStart);
    figures.frames = frames;
    for (std::size_t i = 0; i < threadsEnd.size(); ++i) {
        figures.threadCpuNsPerFrame[i] =
            static_cast<double>(threadsEnd[i] - threadsStart[i]) / frames;
    }
    figures.threadCpuNsPerFrame[kPipelineThreads.size()] = static_cast<double>(gui) / frames;
    figures.pipelineCpuNsPerFrame =
        static_cast<double>(Sum(threadsEnd) - Sum(threadsStart) + gui) / frames;
    state.counters["pipeline_cpu_ms_per_frame"] = figures.pipelineCpuNsPerFrame / 1e6;
}

// The top rate into the real window (frames drawn per second, the GUI
// thread painting as often as it gets to), against decoding alone.
void BM_PipelineDrawnIngest(benchmark::State& state, DrawCase c, int round) {
    DrawRound& figures = g_drawRounds[c.name][static_cast<std::size_t>(round)];
    figures.ingestDecodeFps = DecodeAloneFps(Jpegs(c.width, c.height), kIngestFrames / 2);
    DrawnPipeline pipeline(c, 0, false);
    LatencyLog& log = pipeline.log;
    if (!PumpUntil([&] { return log.Drawn() >= kWarmUpFrames; })) {
        pipeline.End();
        state.SkipWithError("the window drew no frames");
        return;
    }
    std::uint64_t drawn = log.Drawn();
    const std::uint64_t drawnStart = drawn;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!PumpUntil([&] { return log.Drawn() > drawn; })) {
            state.SkipWithError("the stream stopped");
            break;
        }
        drawn = log.Drawn();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    pipeline.End();
    figures.ingestFps = static_cast<double>(drawn - drawnStart) / elapsed.count();
    state.counters["fps"] = figures.ingestFps;
}

template <typename T>
std::array<T, 3> MinMedianMax(std::vector<T> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

double Percentile(std::vector<std::uint64_t> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return static_cast<double>(values[std::min(index, values.size() - 1)]);
}

void PrintDrawingSummary() {
    if (g_drawRounds.empty())
        return;
    std::printf(
        "\nThe real drawing road (main window, offscreen platform), %d rounds, each case's "
        "pipeline and decode-alone runs interleaved; min/median/max over the rounds\n",
        kDrawRounds);
    for (const DrawCase& c : kDrawCases) {
        const auto found = g_drawRounds.find(c.name);
        if (found == g_drawRounds.end())
            continue;
        const auto& rounds = found->second;
        std::vector<double> ratios, decode, pipeline, p50, p99, ingest, ingestRatio;
        std::vector<std::uint64_t> pooled;
        std::uint64_t neverPainted = 0;
        for (const DrawRound& r : rounds) {
            if (r.frames > 0 && r.decodeCpuNsPerFrame > 0) {
                ratios.push_back(r.pipelineCpuNsPerFrame / r.decodeCpuNsPerFrame);
                decode.push_back(r.decodeCpuNsPerFrame / 1e6);
                pipeline.push_back(r.pipelineCpuNsPerFrame / 1e6);
                p50.push_back(Percentile(r.latencies, 0.50) / 1e6);
                p99.push_back(Percentile(r.latencies, 0.99) / 1e6);
                pooled.insert(pooled.end(), r.latencies.begin(), r.latencies.end());
                neverPainted += r.neverPainted;
            }
            if (r.ingestFps > 0 && r.ingestDecodeFps > 0) {
                ingest.push_back(r.ingestFps);
                ingestRatio.push_back(r.ingestFps / r.ingestDecodeFps);
            }
        }
        const auto show = [](const char* label, const std::vector<double>& v, const char* unit) {
            const auto m = MinMedianMax(v);
            std::printf("    %-46s %.3f / %.3f / %.3f%s\n", label, m[0], m[1], m[2], unit);
        };
        std::printf("  %s (%d x %d frames):\n", c.name, c.width, c.height);
        if (!ratios.empty()) {
            show("decode alone at 25 fps, CPU ms per frame", decode, "");
            show("pipeline + GUI thread at 25 fps, CPU ms/frame", pipeline, "");
            show("pipeline / decode alone (same round)", ratios, "x");
            show("arrival to end of paint, p50", p50, " ms");
            show("arrival to end of paint, p99", p99, " ms");
            std::printf("    %-46s %.3f ms p50, %.3f ms p99 over %zu frames; %llu never painted\n",
                        "all rounds together", Percentile(pooled, 0.5) / 1e6,
                        Percentile(pooled, 0.99) / 1e6, pooled.size(),
                        static_cast<unsigned long long>(neverPainted));
            std::printf("    CPU ms per frame by thread (median round):");
            for (std::size_t t = 0; t <= kPipelineThreads.size(); ++t) {
                std::vector<double> v;
                for (const DrawRound& r : rounds) {
                    if (r.frames > 0)
                        v.push_back(r.threadCpuNsPerFrame[t] / 1e6);
                }
                std::printf(
                    " %s %.3f",
                    t < kPipelineThreads.size() ? std::string(kPipelineThreads[t]).c_str() : "gui",
                    MinMedianMax(v)[1]);
            }
            std::printf("\n");
            // System calls and switches per frame, each thread, all rounds.
            std::vector<ThreadEventCounters::Counts> sums(kPipelineThreads.size() + 1);
            double frames = 0;
            for (const DrawRound& r : rounds) {
                if (!r.eventsCounted || r.events.size() != sums.size())
                    continue;
                frames += r.frames;
                for (std::size_t t = 0; t < sums.size(); ++t) {
                    for (std::size_t e = 0; e < sums[t].size(); ++e) sums[t][e] += r.events[t][e];
                }
            }
            if (frames > 0) {
                std::printf("    per frame (kernel counts, all rounds):");
                for (const char* name : ThreadEventCounters::kEvents) std::printf(" %s", name);
                std::printf("\n");
                ThreadEventCounters::Counts total{};
                for (std::size_t t = 0; t < sums.size(); ++t) {
                    std::printf("      %-10s", t < kPipelineThreads.size()
                                                   ? std::string(kPipelineThreads[t]).c_str()
                                                   : "gui");
                    for (std::size_t e = 0; e < sums[t].size(); ++e) {
                        std::printf(" %7.2f", static_cast<double>(sums[t][e]) / frames);
                        total[e] += sums[t][e];
                    }
                    std::printf("\n");
                }
                std::printf("      %-10s", "all");
                for (std::uint64_t v : total)
                    std::printf(" %7.2f", static_cast<double>(v) / frames);
                std::printf("\n");
            } else {
                std::printf("    system calls: not counted (no perf events here)\n");
            }
        }
        if (!ingest.empty()) {
            show("top rate into the window, frames/s", ingest, "");
            show("top rate / decoding alone (same round)", ingestRatio, "x");
        }
    }
}

BENCHMARK(BM_TurboJpegDecodeAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_TurboJpegDecodeAlonePaced)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(kPacedFrames);
BENCHMARK(BM_PipelineIngest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(kIngestFrames);
BENCHMARK(BM_PipelineIngestRecording)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(kIngestFrames);
BENCHMARK(BM_PipelineAt25Fps)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(kPacedFrames);

void PrintSummary() {
    const Figures& f = g_figures;
    std::size_t jpegBytes = 0;
    for (std::size_t n = 0; n < Jpegs().size(); ++n) jpegBytes += Jpegs().Frame(n).size();
    std::printf("\nLive stream, %d x %d frames, mean JPEG %zu bytes\n", kWidth, kHeight,
                jpegBytes / Jpegs().size());
    std::printf("  (a) ingest through receive, compose and show: %.1f frames/s\n", f.ingestFps);
    std::printf(
        "  (b) TurboJPEG decoding alone on one core:     %.1f frames/s (%.3f ms CPU/frame)\n",
        f.decodeFps, f.decodeCpuNsPerFrame / 1e6);
    std::printf("      ingest / decode alone: %.1f %% (goal >= 90 %%)\n",
                100.0 * f.ingestFps / f.decodeFps);
    if (f.recordingIngestFps > 0) {
        std::printf(
            "      ingest with a user recording running: %.1f frames/s, %.1f %% of without "
            "(goal >= 95 %%)\n",
            f.recordingIngestFps, 100.0 * f.recordingIngestFps / f.ingestFps);
    }
    std::printf("  (c) at 25 frames/s, CPU per frame of the pipeline threads: %.3f ms\n",
                f.pacedPipelineCpuNsPerFrame / 1e6);
    std::printf("      (whole process less the fake device's sender: %.3f ms)\n",
                f.pacedProcessCpuNsPerFrame / 1e6);
    const auto perThread = [](const char* label, const auto& times) {
        std::printf("      %s CPU ms per frame:", label);
        for (std::size_t i = 0; i < kPipelineThreads.size(); ++i) {
            std::printf(" %s %.3f", std::string(kPipelineThreads[i]).c_str(), times[i] / 1e6);
        }
        std::printf("\n");
    };
    perThread("at 25 frames/s,", f.pacedThreadCpuNsPerFrame);
    perThread("at full ingest,", f.ingestThreadCpuNsPerFrame);
    std::printf("      decode alone, one frame every 40 ms: %.3f ms CPU/frame\n",
                f.pacedDecodeCpuNsPerFrame / 1e6);
    std::printf("      pipeline / decode alone at 25 frames/s: %.2fx (goal <= 1.2x)\n",
                f.pacedPipelineCpuNsPerFrame / f.pacedDecodeCpuNsPerFrame);
    std::printf("      pipeline / decode alone in a tight loop: %.2fx\n",
                f.pacedPipelineCpuNsPerFrame / f.decodeCpuNsPerFrame);
    if (f.pacedEventFrames > 0) {
        std::printf("      per frame at 25 frames/s (kernel counts):");
        for (const char* name : ThreadEventCounters::kEvents) std::printf(" %s", name);
        std::printf("\n");
        for (std::size_t t = 0; t < f.pacedEvents.size() && t < kPipelineThreads.size(); ++t) {
            std::printf("        %-10s", std::string(kPipelineThreads[t]).c_str());
            for (std::uint64_t v : f.pacedEvents[t])
                std::printf(" %7.2f", static_cast<double>(v) / f.pacedEventFrames);
            std::printf("\n");
        }
    }
    const auto perFrame = [&](std::uint64_t calls) {
        return static_cast<double>(calls) / static_cast<double>(f.newCallFrames);
    };
    const auto allocations = [&](const char* label, const auto& calls) {
        std::printf("      %s:", label);
        for (std::size_t i = 0; i < kPipelineThreads.size(); ++i) {
            std::printf(" %s %llu (%.2f/frame),", std::string(kPipelineThreads[i]).c_str(),
                        static_cast<unsigned long long>(calls[i]), perFrame(calls[i]));
        }
        std::printf(" other threads %llu\n", static_cast<unsigned long long>(calls[kOtherThreads]));
    };
    std::printf("  heap allocations during %llu steady-state frames of (a):\n",
                static_cast<unsigned long long>(f.newCallFrames));
    if (kCountsAllocations) {
        allocations("malloc-level calls, libraries and operator new included", f.allocCalls);
    } else {
        std::printf("      malloc-level calls: not counted in a sanitizer build\n");
    }
    allocations("of which operator new", f.newCalls);
    if (kCountsAllocations) {
        std::printf(
            "      TurboJPEG decoding alone (tjDecompress2 on a kept handle): %.2f "
            "malloc-level calls/frame\n",
            f.decodeAllocsPerFrame);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    // Every case's frames encoded before any measurement.
    Jpegs();
    for (const DrawCase& c : kDrawCases) Jpegs(c.width, c.height);
    // The drawing road: per round, each case's decode alone and pipeline one
    // after the other; the windowed top rate once per round.
    for (int round = 0; round < kDrawRounds; ++round) {
        for (const DrawCase& c : kDrawCases) {
            const std::string suffix = std::string(c.name) + "/round:" + std::to_string(round + 1);
            benchmark::RegisterBenchmark(("decode_alone_25fps/" + suffix).c_str(),
                                         BM_DecodeAlonePacedFor, c, round)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1);
            benchmark::RegisterBenchmark(("drawn_25fps/" + suffix).c_str(), BM_PipelineDrawnAt25Fps,
                                         c, round)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(kPacedFrames);
        }
        const DrawCase& windowed = kDrawCases[0];
        benchmark::RegisterBenchmark(
            ("drawn_ingest/" + std::string(windowed.name) + "/round:" + std::to_string(round + 1))
                .c_str(),
            BM_PipelineDrawnIngest, windowed, round)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(kIngestFrames);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    PrintDrawingSummary();
    return 0;
}
