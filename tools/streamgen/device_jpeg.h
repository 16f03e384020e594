#pragma once

// JPEG frames as the device sends them on its live stream: baseline JPEG
// whose start-of-image marker is followed at once by the quantisation tables
// (FF D8 FF DB), without a JFIF or any other application segment.
//
// The picture moves with the frame number (colour bars sliding sideways, a
// light band sliding down, the frame number drawn as a row of blocks), so a
// viewer shows motion and a test can tell frames apart.
//
// Self-contained on purpose: this library links TurboJPEG only, never a
// library of the program.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace streamgen {

struct FrameSize {
    int width;
    int height;
};

// Picture sizes the device sends in its view modes (frame and field heights).
inline constexpr std::array<FrameSize, 8> kDeviceFrameSizes = {{
    {704, 480},
    {704, 240},
    {640, 480},
    {320, 240},
    {720, 576},
    {352, 240},
    {640, 240},
    {320, 120},
}};

// Chroma subsampling of the generated JPEG.
enum class Chroma { k444, k422, k420, kGray };

struct Bgr {
    std::uint8_t b;
    std::uint8_t g;
    std::uint8_t r;
};

// Blocks of the frame-number counter along the top of the picture, most
// significant bit first: a light block for a 1, a dark block for a 0.
inline constexpr int kCounterBits = 16;

// Blocks of the channel mark along the bottom left of a channel's picture,
// drawn like the counter: channels 0 to 31.
inline constexpr int kChannelBits = 5;

// Paints the test picture of frame `frameNumber` into `picture`: 3 bytes per
// pixel, blue-green-red, rows of width × 3 bytes, bottom row first.
// `picture` must hold width × height × 3 bytes. A `channel` of 0 or more
// turns the bars by one bar per channel and draws the channel mark, so the
// pictures of a recorder's channels differ at a glance and a test can read
// which channel it shows; -1 paints neither.
void PaintTestPicture(std::span<std::uint8_t> picture, int width, int height,
                      std::uint32_t frameNumber, int channel = -1);

// Reads the channel mark of a picture painted at `width` × `height`, shown
// at any size: `light(x, y)` tells whether the shown pixel at (x, y) of the
// painted picture (from its top left) is light. -1 when the mark's ground
// is not dark, so the picture carries no mark.
int ReadChannelMark(int width, int height, const std::function<bool(int x, int y)>& light);

// Removes every application segment (APP0 to APP15, FF E0 to FF EF) and
// comment (FF FE) that lies between the start-of-image marker and the first
// other marker. Empty when `jpeg` does not start with FF D8 or a segment
// runs past the end.
std::vector<std::uint8_t> StripApplicationSegments(std::span<const std::uint8_t> jpeg);

// Encodes pictures the way the device does. Keeps one TurboJPEG handle and
// its picture and output buffers for reuse; one thread per object.
class DeviceJpegEncoder {
public:
    explicit DeviceJpegEncoder(int quality = 70, Chroma chroma = Chroma::k422);
    ~DeviceJpegEncoder();
    DeviceJpegEncoder(const DeviceJpegEncoder&) = delete;
    DeviceJpegEncoder& operator=(const DeviceJpegEncoder&) = delete;

    // The test picture of frame `frameNumber` at the given size, of a
    // channel (see PaintTestPicture).
    std::vector<std::uint8_t> EncodeFrame(int width, int height, std::uint32_t frameNumber,
                                          int channel = -1);

    // One colour over the whole picture.
    std::vector<std::uint8_t> EncodeSolid(int width, int height, Bgr colour);

    // A caller's picture (bottom-up, blue-green-red, rows without gaps).
    std::vector<std::uint8_t> EncodePicture(std::span<const std::uint8_t> picture, int width,
                                            int height);

private:
    std::span<std::uint8_t> PictureBuffer(int width, int height);

    void* m_handle = nullptr;
    int m_quality;
    Chroma m_chroma;
    std::vector<std::uint8_t> m_picture;
    std::vector<std::uint8_t> m_output;
};

// A cycle of pre-encoded frames of one size, so a simulator or a test can
// send thousands of frames per second without encoding: frame n is the
// encoded test picture of frame n modulo the cycle length (of `channel`,
// see PaintTestPicture).
class DeviceJpegCycle {
public:
    DeviceJpegCycle(int width, int height, std::size_t frames, int quality = 70,
                    Chroma chroma = Chroma::k422, int channel = -1);

    std::span<const std::uint8_t> Frame(std::uint64_t n) const;
    std::size_t size() const { return m_frames.size(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The longest frame of the cycle, in bytes.
    std::size_t LargestFrameBytes() const;

private:
    int m_width;
    int m_height;
    std::vector<std::vector<std::uint8_t>> m_frames;
};

}  // namespace streamgen
