#pragma once

// Shared pieces of the live-stream tests: device frames, scripts of them,
// and reading trace.log.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "media/frame_header.h"
#include "tests/support/fake_stream.h"
#include "tests/support/file_contents.h"
#include "tools/streamgen/device_jpeg.h"
#include "tools/streamgen/frame_header_writer.h"

namespace stream_test {

using streamgen::FrameHeaderDescription;
using streamgen::FrameHeaderLayout;
using test_support::ScriptFrame;
using test_support::StreamScript;

inline const char* LayoutName(FrameHeaderLayout layout) {
    return layout == FrameHeaderLayout::kNew ? "New" : "Old";
}

// Small device JPEGs (one read or less), and larger ones (several reads).
inline const streamgen::DeviceJpegCycle& SmallJpegs() {
    static const streamgen::DeviceJpegCycle jpegs(48, 32, 4);
    return jpegs;
}
inline const streamgen::DeviceJpegCycle& LargeJpegs() {
    static const streamgen::DeviceJpegCycle jpegs(160, 120, 3, 90);
    return jpegs;
}

inline std::vector<std::uint8_t> ToVector(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

// The header of frame n: channel index and time value tell frames apart
// (the stored time value is the raw one times 5).
inline FrameHeaderDescription Describe(std::size_t n) {
    FrameHeaderDescription d;
    d.channelIndex = static_cast<std::uint8_t>(n % 16);
    d.timeValue = static_cast<std::uint32_t>(n + 1);
    return d;
}

inline std::uint32_t StoredTimeValueOf(std::size_t n) {
    return static_cast<std::uint32_t>((n + 1) * 5);
}

// Appends frame n with its header from Describe(n).
inline std::size_t AddFrame(StreamScript& script, std::size_t n,
                            std::span<const std::uint8_t> jpeg) {
    return script.AddFrame(Describe(n), jpeg);
}

// A script of `count` frames of the small cycle, one write each.
inline StreamScript SmallFrames(FrameHeaderLayout layout, std::size_t count) {
    StreamScript script(layout);
    for (std::size_t n = 0; n < count; ++n) AddFrame(script, n, SmallJpegs().Frame(n));
    return script;
}

// The image with its first marker after FF D8 turned into an application
// marker (FF E0): the device never sends such an image.
inline std::vector<std::uint8_t> WithApplicationMarker(std::span<const std::uint8_t> jpeg) {
    std::vector<std::uint8_t> image = ToVector(jpeg);
    image.at(3) = 0xE0;
    return image;
}

// One image the receiver handed over, as the compose thread would see it.
struct ReceivedFrame {
    FrameHeaderInfo record{};
    std::vector<std::uint8_t> image;
};

inline std::vector<std::string> TraceLines(const std::filesystem::path& folder) {
    std::vector<std::string> lines;
    const std::string all = test_support::ReadAll(folder / "trace.log");
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(all.substr(start, end - start));
    }
    return lines;
}

}  // namespace stream_test
