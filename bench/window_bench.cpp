// The main window's cost per live frame against decoding that frame.
//
// For each case the same JPEG frames (the simulator's generator) are
//  (a) decoded by TurboJPEG alone into a bottom-up BGR picture, and
//  (b) drawn by CDravelinDlg::DrawVideoFrame (line doubling or full-screen
//      scaling, hand-over to the GUI thread) and painted by the window's
//      paint handler into its backing store,
// both on this thread, interleaved case by case. The window runs on Qt's
// offscreen platform: the paint lands in a memory backing store and is never
// flushed to a display. The ratio is (b) / (a) of the same case.
//
// After those, the pipeline table: per case, decode alone against
// decode_then_draw (the decode into the one image slot, then the drawing and
// the paint of that picture, as the pipeline runs them, so the picture is in
// the cache when it is drawn), interleaved in short runs on this thread's CPU
// clock. The drawing's ratio is (decode_then_draw - decode) / decode, given
// as min / median / max over the repetitions. A display would add one more
// pass over the painted rectangle (the backing store's copy to the display
// server); the table gives a memcpy of that many bytes as its estimate.
// --benchmark_filter=none leaves just the table.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <time.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "liveview/window/main_window.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "tools/skingen/main_skin.h"
#include "tools/streamgen/device_jpeg.h"

namespace {

constexpr std::size_t kCycleFrames = 32;

struct Case {
    const char* name;
    int width;
    int height;
    bool fullScreen;
};
constexpr Case kCases[] = {
    {"windowed_704x480", 704, 480, false},
    {"doubled_704x240", 704, 240, false},
    {"fullscreen_1920x1080_from_704x480", 704, 480, true},
};

const streamgen::DeviceJpegCycle& Jpegs(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<streamgen::DeviceJpegCycle>> cycles;
    auto& cycle = cycles[{width, height}];
    if (!cycle)
        cycle = std::make_unique<streamgen::DeviceJpegCycle>(width, height, kCycleFrames);
    return *cycle;
}

std::vector<std::vector<std::uint8_t>> DecodedFrames(int width, int height) {
    tjhandle handle = tjInitDecompress();
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t n = 0; n < kCycleFrames; ++n) {
        const auto jpeg = Jpegs(width, height).Frame(n);
        std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
        tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), picture.data(),
                      width, 0, height, TJPF_BGR, TJFLAG_BOTTOMUP);
        frames.push_back(std::move(picture));
    }
    tjDestroy(handle);
    return frames;
}

void BM_Decode(benchmark::State& state, Case c) {
    tjhandle handle = tjInitDecompress();
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(c.width) * c.height * 3);
    std::size_t n = 0;
    for (auto _ : state) {
        const auto jpeg = Jpegs(c.width, c.height).Frame(n++ % kCycleFrames);
        tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), picture.data(),
                      c.width, 0, c.height, TJPF_BGR, TJFLAG_BOTTOMUP);
        benchmark::DoNotOptimize(picture.data());
    }
    tjDestroy(handle);
}

// The main window laid out for a case, drawing the pictures it is given as
// the show thread and the GUI thread would.
class CaseWindow {
public:
    explicit CaseWindow(const Case& c) : m_case(c) {
        AppGlobalState& app = *g_lpApp;
        m_window.SetWorkArea(QRect(0, 0, 1920, 1080));
        app.w_ViewMode = 6;  // 704 x 480 picture rectangle
        app.f_VideoConnected = true;
        Select();
        m_window.resize(c.fullScreen ? QSize(1920, 1080) : QSize(722, 608));
        m_window.show();
        if (c.fullScreen)
            m_window.OnFitScreen();
    }
    ~CaseWindow() { g_lpApp->lp_CurrentImage = nullptr; }
    CaseWindow(const CaseWindow&) = delete;
    CaseWindow& operator=(const CaseWindow&) = delete;

    void Select() {
        g_lpApp->w_ImageWidth = static_cast<std::uint16_t>(m_case.width);
        g_lpApp->w_ImageHeight = static_cast<std::uint16_t>(m_case.height);
    }

    void Draw(std::uint8_t* picture) {
        g_lpApp->lp_CurrentImage = picture;
        m_window.DrawVideoFrame();
        // The GUI thread's part: the posted message, then the paint of the
        // picture's rectangle that it asks for.
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    }

    // The first frames lay the window out, load the fonts and paint the
    // whole surface once; the figures are the steady state that follows.
    void WarmUp(std::uint8_t* picture) {
        for (int n = 0; n < 8; ++n) Draw(picture);
    }

private:
    Case m_case;
    CDravelinDlg m_window;
};

// With oneSlot the picture is always read from the same buffer, as the
// pipeline's single image slot is (the decoder has just written it, so it is
// in the cache); otherwise it cycles through the decoded frames, every one
// read from memory.
void BM_DrawAndPaint(benchmark::State& state, Case c, bool oneSlot) {
    auto frames = DecodedFrames(c.width, c.height);
    if (oneSlot)
        frames.resize(1);
    CaseWindow window(c);
    std::size_t n = 0;
    window.WarmUp(frames[0].data());
    for (auto _ : state) window.Draw(frames[n++ % frames.size()].data());
}

// ---- the pipeline table ---------------------------------------------------

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Spread {
    double min;
    double median;
    double max;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

// Per case and repetition: decode alone and decode_then_draw, each in
// kRuns runs of kRunFrames frames taken in turn, and a copy of the painted
// rectangle's bytes; the figures are microseconds a frame.
void RunPipelineTable() {
    constexpr int kRepetitions = 5;
    constexpr int kRuns = 8;
    constexpr int kRunFrames = 40;
    constexpr std::size_t kCaseCount = std::size(kCases);
    std::printf("\npipeline: decode alone vs decode_then_draw, %d repetitions, thread CPU time\n",
                kRepetitions);
    std::printf("%-36s %26s %26s %20s %20s\n", "case", "decode us (min/med/max)",
                "decode_then_draw us", "draw ratio", "display copy ratio");
    tjhandle handle = tjInitDecompress();
    std::vector<std::uint8_t> slot(kImageSlotBytes);
    // The rectangle a frame repaints, as 32-bit pixels: what a display's
    // backing store would copy to the server once more.
    std::vector<std::uint8_t> from(std::size_t{1920} * 1080 * 4, 1), to(from.size());
    struct Figures {
        std::vector<double> decodeUs, pipelineUs, ratios, copyRatios;
    };
    std::array<Figures, kCaseCount> figures;
    // Repetitions outside the cases: a spell of load on the machine spoils
    // one repetition of every case, not every repetition of one.
    for (int r = 0; r < kRepetitions; ++r) {
        for (std::size_t i = 0; i < kCaseCount; ++i) {
            const Case& c = kCases[i];
            const auto& jpegs = Jpegs(c.width, c.height);
            std::size_t n = 0;
            const auto decode = [&] {
                const auto jpeg = jpegs.Frame(n++ % kCycleFrames);
                tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                              slot.data(), c.width, 0, c.height, TJPF_BGR, TJFLAG_BOTTOMUP);
                benchmark::DoNotOptimize(slot.data());
            };
            const std::size_t paintedBytes =
                c.fullScreen ? std::size_t{1920} * 1080 * 4 : std::size_t{704} * 480 * 4;
            CaseWindow window(c);
            decode();
            window.WarmUp(slot.data());
            double decodeSeconds = 0.0, pipelineSeconds = 0.0, copySeconds = 0.0;
            for (int run = 0; run < kRuns; ++run) {
                double t0 = ThreadSeconds();
                for (int f = 0; f < kRunFrames; ++f) decode();
                double t1 = ThreadSeconds();
                decodeSeconds += t1 - t0;
                t0 = ThreadSeconds();
                for (int f = 0; f < kRunFrames; ++f) {
                    decode();
                    window.Draw(slot.data());
                }
                t1 = ThreadSeconds();
                pipelineSeconds += t1 - t0;
                t0 = ThreadSeconds();
                for (int f = 0; f < kRunFrames; ++f) {
                    std::memcpy(to.data(), from.data(), paintedBytes);
                    benchmark::DoNotOptimize(to.data());
                }
                t1 = ThreadSeconds();
                copySeconds += t1 - t0;
            }
            const double frames = kRuns * kRunFrames;
            Figures& f = figures[i];
            f.decodeUs.push_back(decodeSeconds / frames * 1e6);
            f.pipelineUs.push_back(pipelineSeconds / frames * 1e6);
            f.ratios.push_back((pipelineSeconds - decodeSeconds) / decodeSeconds);
            f.copyRatios.push_back(copySeconds / decodeSeconds);
        }
    }
    for (std::size_t i = 0; i < kCaseCount; ++i) {
        const Spread d = SpreadOf(figures[i].decodeUs);
        const Spread p = SpreadOf(figures[i].pipelineUs);
        const Spread q = SpreadOf(figures[i].ratios);
        const Spread x = SpreadOf(figures[i].copyRatios);
        std::printf(
            "%-36s %8.0f/%8.0f/%8.0f %8.0f/%8.0f/%8.0f %6.2f/%6.2f/%6.2f %6.2f/%6.2f/%6.2f\n",
            kCases[i].name, d.min, d.median, d.max, p.min, p.median, p.max, q.min, q.median, q.max,
            x.min, x.median, x.max);
    }
    tjDestroy(handle);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    const auto folder = std::filesystem::temp_directory_path() / "kestrune_window_bench";
    std::filesystem::create_directories(folder);
    skingen::WriteMainSkin(folder);
    platform::SetProgramFolder(folder);
    g_lpApp = new AppGlobalState();
    g_lpApp->str_ProductID.Set("Q8A7");
    g_lpApp->lp_DoubleLineBuffer.reset(new std::uint8_t[kImageSlotBytes]());
    g_lpApp->lp_FullScreenBuffer.reset(new std::uint8_t[1920 * 1080 * 3]());
    g_lpApp->dw_FullScreenBufferBytes = 1920 * 1080 * 3;

    // Interleaved: each case's decode right before its drawing.
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("decode/") + c.name).c_str(), BM_Decode, c)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(false);
        benchmark::RegisterBenchmark((std::string("draw_and_paint/") + c.name).c_str(),
                                     BM_DrawAndPaint, c, false)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(false);
        benchmark::RegisterBenchmark((std::string("draw_and_paint_one_slot/") + c.name).c_str(),
                                     BM_DrawAndPaint, c, true)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(false);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    RunPipelineTable();
    benchmark::Shutdown();
    delete g_lpApp;
    g_lpApp = nullptr;
    return 0;
}
