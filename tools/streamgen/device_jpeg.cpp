#include "tools/streamgen/device_jpeg.h"

#include <turbojpeg.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace streamgen {

namespace {

constexpr int kMaxSide = 65'535;

void CheckSize(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        throw std::invalid_argument("streamgen: bad picture size " + std::to_string(width) + "x" +
                                    std::to_string(height));
    }
}

std::size_t PictureBytes(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

int LibrarySubsampling(Chroma chroma) {
    switch (chroma) {
        case Chroma::k444:
            return TJSAMP_444;
        case Chroma::k422:
            return TJSAMP_422;
        case Chroma::k420:
            return TJSAMP_420;
        case Chroma::kGray:
            return TJSAMP_GRAY;
    }
    return TJSAMP_422;
}

// Colour bars, left to right, as a test pattern generator paints them.
constexpr std::array<Bgr, 8> kBars = {{
    {235, 235, 235},  // white
    {16, 235, 235},   // yellow
    {235, 235, 16},   // cyan
    {16, 235, 16},    // green
    {235, 16, 235},   // magenta
    {16, 16, 235},    // red
    {235, 16, 16},    // blue
    {16, 16, 16},     // black
}};

constexpr Bgr kCounterOne = {235, 235, 235};
constexpr Bgr kCounterZero = {40, 40, 40};
constexpr Bgr kCounterGround = {16, 16, 16};

constexpr bool IsApplicationOrComment(std::uint8_t marker) {
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

}  // namespace

namespace {

// The side of one counter or mark block: as large as the counter's row of
// blocks fits across and an eighth of the height allows.
int BlockSide(int width, int height) {
    return std::max(2, std::min(width / (kCounterBits + 2), height / 8));
}

// A row of `bits` blocks on a dark strip whose top is picture row `top`:
// the value's most significant bit first, light for a 1.
template <typename RowOf>
void PaintBlocks(const RowOf& row, int width, int height, int top, int bits, std::uint32_t value) {
    const auto put = [](std::uint8_t* at, Bgr c) {
        at[0] = c.b;
        at[1] = c.g;
        at[2] = c.r;
    };
    const int block = BlockSide(width, height);
    const int stripBottom = std::min(height, top + block * 2);
    const int stripWidth = std::min(width, block * (bits + 1));
    for (int y = top; y < stripBottom; ++y) {
        std::uint8_t* r = row(y);
        for (int x = 0; x < stripWidth; ++x) {
            put(r + static_cast<std::size_t>(x) * 3, kCounterGround);
        }
    }
    for (int bit = 0; bit < bits; ++bit) {
        const bool one = ((value >> (bits - 1 - bit)) & 1u) != 0;
        const Bgr colour = one ? kCounterOne : kCounterZero;
        const int left = block / 2 + bit * block;
        for (int y = top + block / 2; y < std::min(stripBottom, top + block / 2 + block - 1); ++y) {
            std::uint8_t* r = row(y);
            for (int x = left; x < std::min(stripWidth, left + block - 1); ++x) {
                put(r + static_cast<std::size_t>(x) * 3, colour);
            }
        }
    }
}

// The top row of the channel mark's strip.
int ChannelStripTop(int width, int height) {
    return std::max(0, height - BlockSide(width, height) * 2);
}

}  // namespace

void PaintTestPicture(std::span<std::uint8_t> picture, int width, int height,
                      std::uint32_t frameNumber, int channel) {
    CheckSize(width, height);
    if (picture.size() < PictureBytes(width, height)) {
        throw std::invalid_argument("streamgen: picture buffer too small");
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    // Rows are stored bottom-up: picture row y (from the top) is buffer row
    // height - 1 - y.
    auto row = [&](int y) {
        return picture.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    };
    auto put = [](std::uint8_t* at, Bgr c) {
        at[0] = c.b;
        at[1] = c.g;
        at[2] = c.r;
    };

    // Bars sliding right by 4 pixels a frame; a channel turns them by one
    // bar per channel.
    const int barWidth = std::max(1, width / static_cast<int>(kBars.size()));
    const std::uint32_t turn =
        channel > 0 ? static_cast<std::uint32_t>(channel) * static_cast<std::uint32_t>(barWidth)
                    : 0u;
    const int shift =
        static_cast<int>((frameNumber * 4u + turn) % static_cast<std::uint32_t>(width));
    std::uint8_t* first = row(0);
    for (int x = 0; x < width; ++x) {
        const int source = (x - shift + width) % width;
        const std::size_t bar = std::min<std::size_t>(source / barWidth, kBars.size() - 1);
        put(first + static_cast<std::size_t>(x) * 3, kBars[bar]);
    }
    for (int y = 1; y < height; ++y) {
        std::copy_n(first, rowBytes, row(y));
    }

    // A light band sliding down by 2 rows a frame: half-way to white.
    const int bandHeight = std::max(2, height / 16);
    const int bandTop = static_cast<int>((frameNumber * 2u) % static_cast<std::uint32_t>(height));
    for (int y = bandTop; y < std::min(height, bandTop + bandHeight); ++y) {
        std::uint8_t* r = row(y);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            r[i] = static_cast<std::uint8_t>((r[i] + 255) / 2);
        }
    }

    // The frame number, one block per bit, on a dark strip at the top; the
    // channel likewise at the bottom.
    PaintBlocks(row, width, height, 0, kCounterBits, frameNumber);
    if (channel >= 0) {
        PaintBlocks(row, width, height, ChannelStripTop(width, height), kChannelBits,
                    static_cast<std::uint32_t>(channel));
    }
}

int ReadChannelMark(int width, int height, const std::function<bool(int x, int y)>& light) {
    if (width <= 0 || height <= 0) {
        return -1;
    }
    const int block = BlockSide(width, height);
    const int top = ChannelStripTop(width, height);
    // The strip's ground shows left of the first block and below the blocks.
    if (light(block / 4, top + block / 4) ||
        light(block / 4, std::min(height - 1, top + block * 7 / 4))) {
        return -1;
    }
    int value = 0;
    const int y = top + block / 2 + (block - 1) / 2;
    for (int bit = 0; bit < kChannelBits; ++bit) {
        const int x = block / 2 + bit * block + (block - 1) / 2;
        value = value * 2 + (light(x, y) ? 1 : 0);
    }
    return value;
}

std::vector<std::uint8_t> StripApplicationSegments(std::span<const std::uint8_t> jpeg) {
    if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        return {};
    }
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && IsApplicationOrComment(jpeg[pos + 1])) {
        const std::size_t length = (static_cast<std::size_t>(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
        if (length < 2 || pos + 2 + length > jpeg.size()) {
            return {};
        }
        pos += 2 + length;
    }
    std::vector<std::uint8_t> out;
    out.reserve(2 + jpeg.size() - pos);
    out.push_back(0xFF);
    out.push_back(0xD8);
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(pos), jpeg.end());
    return out;
}

// ------------------------------------------------------------------ encoder

DeviceJpegEncoder::DeviceJpegEncoder(int quality, Chroma chroma)
    : m_handle(tjInitCompress()), m_quality(quality), m_chroma(chroma) {
    if (m_handle == nullptr) {
        throw std::runtime_error("streamgen: no TurboJPEG compressor");
    }
    if (quality < 1 || quality > 100) {
        tjDestroy(m_handle);
        throw std::invalid_argument("streamgen: JPEG quality out of range");
    }
}

DeviceJpegEncoder::~DeviceJpegEncoder() {
    tjDestroy(m_handle);
}

std::span<std::uint8_t> DeviceJpegEncoder::PictureBuffer(int width, int height) {
    CheckSize(width, height);
    const std::size_t bytes = PictureBytes(width, height);
    if (m_picture.size() < bytes) {
        m_picture.resize(bytes);
    }
    return std::span(m_picture).first(bytes);
}

std::vector<std::uint8_t> DeviceJpegEncoder::EncodeFrame(int width, int height,
                                                         std::uint32_t frameNumber, int channel) {
    const std::span<std::uint8_t> picture = PictureBuffer(width, height);
    PaintTestPicture(picture, width, height, frameNumber, channel);
    return EncodePicture(picture, width, height);
}

std::vector<std::uint8_t> DeviceJpegEncoder::EncodeSolid(int width, int height, Bgr colour) {
    const std::span<std::uint8_t> picture = PictureBuffer(width, height);
    for (std::size_t i = 0; i < picture.size(); i += 3) {
        picture[i] = colour.b;
        picture[i + 1] = colour.g;
        picture[i + 2] = colour.r;
    }
    return EncodePicture(picture, width, height);
}

std::vector<std::uint8_t> DeviceJpegEncoder::EncodePicture(std::span<const std::uint8_t> picture,
                                                           int width, int height) {
    CheckSize(width, height);
    if (picture.size() < PictureBytes(width, height)) {
        throw std::invalid_argument("streamgen: picture shorter than its size");
    }
    const int subsampling = LibrarySubsampling(m_chroma);
    const unsigned long worstCase = tjBufSize(width, height, subsampling);
    if (worstCase == static_cast<unsigned long>(-1)) {
        throw std::runtime_error("streamgen: no JPEG buffer size for this picture");
    }
    if (m_output.size() < worstCase) {
        m_output.resize(worstCase);
    }
    unsigned char* out = m_output.data();
    unsigned long size = static_cast<unsigned long>(m_output.size());
    if (tjCompress2(m_handle, picture.data(), width, width * 3, height, TJPF_BGR, &out, &size,
                    subsampling, m_quality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0) {
        throw std::runtime_error(std::string("streamgen: encoding failed: ") +
                                 tjGetErrorStr2(m_handle));
    }
    std::vector<std::uint8_t> stripped =
        StripApplicationSegments(std::span<const std::uint8_t>(out, size));
    if (stripped.size() < 4 || stripped[2] != 0xFF || stripped[3] != 0xDB) {
        throw std::runtime_error("streamgen: encoder output does not start with FF D8 FF DB");
    }
    return stripped;
}

// ------------------------------------------------------------------ cycle

DeviceJpegCycle::DeviceJpegCycle(int width, int height, std::size_t frames, int quality,
                                 Chroma chroma, int channel)
    : m_width(width), m_height(height) {
    if (frames == 0) {
        throw std::invalid_argument("streamgen: a cycle needs at least one frame");
    }
    DeviceJpegEncoder encoder(quality, chroma);
    m_frames.reserve(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        m_frames.push_back(
            encoder.EncodeFrame(width, height, static_cast<std::uint32_t>(n), channel));
    }
}

std::span<const std::uint8_t> DeviceJpegCycle::Frame(std::uint64_t n) const {
    return m_frames[static_cast<std::size_t>(n % m_frames.size())];
}

std::size_t DeviceJpegCycle::LargestFrameBytes() const {
    std::size_t largest = 0;
    for (const auto& frame : m_frames) {
        largest = std::max(largest, frame.size());
    }
    return largest;
}

}  // namespace streamgen
