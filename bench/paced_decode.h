#pragma once

// Decoding alone, the baseline of the benches that measure the live view:
// the device's frames of a cycle decoded by TurboJPEG into a bottom-up
// blue-green-red picture as the pipeline decodes them, one every 40 ms (25
// frames per second), so that caches and the core's state are as cold for
// every frame as they are in the pipeline.

#include <benchmark/benchmark.h>
#include <time.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <thread>
#include <vector>

#include "tools/streamgen/device_jpeg.h"

namespace bench {

inline std::uint64_t ThreadCpuNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

// CPU time of this thread per decode, in nanoseconds, over `frames` frames
// of the cycle taken in turn.
inline double PacedDecodeCpuNs(const streamgen::DeviceJpegCycle& jpegs, std::int64_t frames) {
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> picture(static_cast<std::size_t>(jpegs.width()) * jpegs.height() *
                                       3);
    std::uint64_t cpu = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t n = 0; n < frames; ++n) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * (n + 1));
        const std::uint64_t before = ThreadCpuNanoseconds();
        const std::span<const std::uint8_t> jpeg = jpegs.Frame(static_cast<std::uint64_t>(n));
        tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), picture.data(),
                      jpegs.width(), 0, jpegs.height(), TJPF_BGR, TJFLAG_BOTTOMUP);
        benchmark::DoNotOptimize(picture.data());
        cpu += ThreadCpuNanoseconds() - before;
    }
    tjDestroy(handle);
    return static_cast<double>(cpu) / static_cast<double>(frames);
}

}  // namespace bench
