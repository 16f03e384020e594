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

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QApplication>
#include <algorithm>
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

// With oneSlot the picture is always read from the same buffer, as the
// pipeline's single image slot is (the decoder has just written it, so it is
// in the cache); otherwise it cycles through the decoded frames, every one
// read from memory.
void BM_DrawAndPaint(benchmark::State& state, Case c, bool oneSlot) {
    AppGlobalState& app = *g_lpApp;
    auto frames = DecodedFrames(c.width, c.height);
    if (oneSlot)
        frames.resize(1);
    CDravelinDlg window;
    window.SetWorkArea(QRect(0, 0, 1920, 1080));
    app.w_ViewMode = 6;  // 704 x 480 picture rectangle
    app.f_VideoConnected = true;
    app.w_ImageWidth = static_cast<std::uint16_t>(c.width);
    app.w_ImageHeight = static_cast<std::uint16_t>(c.height);
    window.resize(c.fullScreen ? QSize(1920, 1080) : QSize(722, 608));
    window.show();
    if (c.fullScreen)
        window.OnFitScreen();
    std::size_t n = 0;
    // The first frames lay the window out, load the fonts and paint the
    // whole surface once; the figure is the steady state that follows.
    const auto drawOne = [&] {
        app.lp_CurrentImage = frames[n++ % frames.size()].data();
        window.DrawVideoFrame();
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    };
    for (int warmUp = 0; warmUp < 8; ++warmUp) drawOne();
    for (auto _ : state) {
        app.lp_CurrentImage = frames[n++ % frames.size()].data();
        window.DrawVideoFrame();
        // The GUI thread's part: the posted message, then the paint of the
        // picture's rectangle that it asks for.
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    }
    app.lp_CurrentImage = nullptr;
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
    benchmark::Shutdown();
    delete g_lpApp;
    g_lpApp = nullptr;
    return 0;
}
