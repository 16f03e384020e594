// Speed of ResizeImage_8u_C3R against OpenCV's cv::resize on the same 8-bit
// three-channel pictures, for the live view's two jobs and the other kinds.
// Prints Google Benchmark's own lines and then a table of both times.
//
//   resample_bench [--opencv_threads=N] [benchmark flags]
//
// OpenCV runs on one thread by default, like the resize routine; pass
// --opencv_threads=-1 to let it use its own thread pool (N > 1: N threads).

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "resample/resize.h"

namespace {

struct Case {
    const char* id;  // benchmark name after "ours/" or "opencv/"
    const char* label;
    int srcW, srcH, dstW, dstH;
    int interpolation;    // ours
    int cvInterpolation;  // OpenCV's
    double goal;          // our time / OpenCV's time at most
};

const Case kCases[] = {
    {"doubling_linear", "line doubling 704x240 -> 704x480, linear", 704, 240, 704, 480,
     kResizeLinear, cv::INTER_LINEAR, 1.0},
    {"fullscreen_nearest", "full screen 704x480 -> 1920x1080, nearest", 704, 480, 1920, 1080,
     kResizeNearest, cv::INTER_NEAREST, 1.0},
    {"up_linear", "704x480 -> 1920x1080, linear", 704, 480, 1920, 1080, kResizeLinear,
     cv::INTER_LINEAR, 1.5},
    {"up_cubic", "704x480 -> 1920x1080, cubic", 704, 480, 1920, 1080, kResizeCubic, cv::INTER_CUBIC,
     1.5},
    {"up_lanczos", "704x480 -> 1920x1080, Lanczos", 704, 480, 1920, 1080, kResizeLanczos,
     cv::INTER_LANCZOS4, 1.5},
    {"super_half", "1920x1080 -> 960x540, supersampling", 1920, 1080, 960, 540, kResizeSuper,
     cv::INTER_AREA, 1.5},
    {"super_third", "1920x1080 -> 640x360, supersampling", 1920, 1080, 640, 360, kResizeSuper,
     cv::INTER_AREA, 1.5},
};

cv::Mat RandomPicture(int w, int h) {
    cv::Mat m(h, w, CV_8UC3);
    std::mt19937 rng(12345);
    for (int y = 0; y < h; ++y) {
        auto* row = m.ptr<std::uint8_t>(y);
        for (int i = 0; i < w * 3; ++i) {
            row[i] = static_cast<std::uint8_t>(rng() >> 24);
        }
    }
    return m;
}

void Ours(benchmark::State& state, const Case& c) {
    const cv::Mat src = RandomPicture(c.srcW, c.srcH);
    cv::Mat dst(c.dstH, c.dstW, CV_8UC3);
    const double xf = static_cast<double>(c.dstW) / c.srcW;
    const double yf = static_cast<double>(c.dstH) / c.srcH;
    for (auto _ : state) {
        const ResizeStatus s = ResizeImage_8u_C3R(
            src.ptr<std::uint8_t>(), {c.srcW, c.srcH}, static_cast<int>(src.step),
            {0, 0, c.srcW, c.srcH}, dst.ptr<std::uint8_t>(), static_cast<int>(dst.step),
            {c.dstW, c.dstH}, xf, yf, c.interpolation);
        if (s != kResizeOk) {
            state.SkipWithError("resize failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
}

void OpenCv(benchmark::State& state, const Case& c) {
    const cv::Mat src = RandomPicture(c.srcW, c.srcH);
    cv::Mat dst(c.dstH, c.dstW, CV_8UC3);
    for (auto _ : state) {
        cv::resize(src, dst, cv::Size(c.dstW, c.dstH), 0, 0, c.cvInterpolation);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
}

// Keeps Google Benchmark's console output and remembers the median time of
// every benchmark for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) {
                continue;
            }
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
            if (median || single) {
                const double ms =
                    r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e3;
                m_ms[r.run_name.function_name] = ms;
            }
        }
    }

    void PrintTable() const {
        std::printf("\n%-44s %12s %12s %8s %8s  %s\n", "case", "ours (ms)", "OpenCV (ms)", "ratio",
                    "goal", "met");
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            const auto ours = m_ms.find(std::string("ours/") + kCases[i].id);
            const auto cv = m_ms.find(std::string("opencv/") + kCases[i].id);
            if (ours == m_ms.end() || cv == m_ms.end()) {
                continue;
            }
            const double ratio = ours->second / cv->second;
            std::printf("%-44s %12.3f %12.3f %8.2f %8.2f  %s\n", kCases[i].label, ours->second,
                        cv->second, ratio, kCases[i].goal, ratio <= kCases[i].goal ? "yes" : "NO");
        }
    }

private:
    std::map<std::string, double> m_ms;
};

// Takes --opencv_threads=N out of the arguments.
int OpenCvThreads(int& argc, char** argv) {
    int threads = 1;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        constexpr const char kFlag[] = "--opencv_threads=";
        if (std::strncmp(argv[i], kFlag, sizeof(kFlag) - 1) == 0) {
            threads = std::atoi(argv[i] + sizeof(kFlag) - 1);
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    return threads;
}

}  // namespace

int main(int argc, char** argv) {
    const int threads = OpenCvThreads(argc, argv);
    cv::setNumThreads(threads);
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const Case& c = kCases[i];
        for (const bool ours : {true, false}) {
            const std::string name = (ours ? "ours/" : "opencv/") + std::string(c.id);
            auto* b = ours ? benchmark::RegisterBenchmark(name.c_str(), Ours, c)
                           : benchmark::RegisterBenchmark(name.c_str(), OpenCv, c);
            b->Unit(benchmark::kMicrosecond)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    std::printf("OpenCV threads: %d\n", cv::getNumThreads());
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
