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
//
// and counts the heap allocations per thread while the stream runs (every
// malloc-level call, the libraries' included, and operator new's apart), and
// those of TurboJPEG decoding alone.

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <turbojpeg.h>

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
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "core/state/system_buffers.h"
#include "media/frame_header.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "media/stream_receiver.h"
#include "platform/program_folder.h"
#include "tests/support/fake_device.h"
#include "tests/support/fake_stream.h"
#include "tests/support/temp_dir.h"
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

const streamgen::DeviceJpegCycle& Jpegs() {
    static const streamgen::DeviceJpegCycle jpegs(kWidth, kHeight, kCycleFrames);
    return jpegs;
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
    explicit LivePipeline(double framesPerSecond)
        : m_stream(FrameCycle::FromJpegs(Jpegs(), FrameHeaderLayout::kNew), framesPerSecond) {
        platform::SetProgramFolder(m_folder.path());
        SetLiveViewServices(&m_liveView);
        CreateGlobalState();
        AppGlobalState& app = *g_lpApp;
        InitTraceLog(300, m_folder.path());
        AllocateSystemBuffer();
        InitialSemaphore();
        app.CSettingINI.m_strServerName = "127.0.0.1";
        app.CSettingINI.m_wWebPort = m_device.port();
        g_szSessionCookie.Set("BENCH");
        g_strHostIP.Set("127.0.0.1");
        SetStreamReceiveSettings({});
        C_FrameHeaderParser.SetNewLayout(true);
        m_device.SetHandler("/Getvideo.cgi", m_stream.Handler());
        InitProcessResource();
        InitLoginResource();
        SignalStreamStartEvents();
    }
    ~LivePipeline() {
        ExitLoginResource();
        ExitProcessResource();
        m_device.Stop();
        FreeSystemBuffer();
        FreeSystemSemaphore();
        CloseTraceLog();
        DeleteGlobalState();
        SetLiveViewServices(nullptr);
        platform::ResetProgramFolder();
    }

    std::uint64_t WaitForDrawn(std::uint64_t count) { return m_liveView.WaitForDrawn(count); }
    // A user recording into the pipeline's own folder, as the record button starts it.
    bool StartUserRecording() {
        return GetMediaState().C_UserRecord.StartRecord(m_folder.path().string()) != 0;
    }
    void StopUserRecording() { GetMediaState().C_UserRecord.StopRecord(); }
    std::uint64_t SenderCpuNs() const { return m_stream.SenderCpuNanoseconds(); }

private:
    test_support::TempDir m_folder;
    CountingLiveView m_liveView;
    ScopedMediaServices m_media;
    FakeDevice m_device;
    FakeStream m_stream;
};

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
    for (auto _ : state) {
        drawn = pipeline.WaitForDrawn(drawn + 1);
    }
    const double frames = static_cast<double>(drawn - drawnStart);
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Jpegs();  // encoded before any measurement
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
