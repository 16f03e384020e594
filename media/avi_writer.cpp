#include "media/avi_writer.h"

#include <cmath>
#include <limits>
#include <vector>

#include "media/dib_bits.h"

namespace {

constexpr std::uint32_t kRateScale = 100;

// Frames per second × 100, truncated; 1 when that is 0. Rates that are not a
// number or negative count as 0; larger ones than the field holds saturate.
std::uint32_t StreamRate(double framesPerSecond) {
    const double rate = framesPerSecond * kRateScale;
    if (!(rate >= 1.0)) {
        return 1;
    }
    if (rate >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(rate);
}

}  // namespace

CAviWriter::CAviWriter(std::filesystem::path fileName, int width, int height)
    : m_fileName(std::move(fileName)), m_width(width), m_height(height) {}

bool CAviWriter::Fail() {
    m_bOK = false;
    if (m_frameCount == 0) {
        m_file.Discard();  // nothing worth keeping was written
    }
    return false;
}

bool CAviWriter::Open(const platform::BitmapInfoHeader& format, double framesPerSecond) {
    if (!m_file.Create(m_fileName)) {
        return false;
    }
    m_streamInfo = {};
    m_streamInfo.type = platform::kStreamTypeVideo;
    m_streamInfo.handler = 0;
    m_streamInfo.scale = kRateScale;
    m_streamInfo.rate = StreamRate(framesPerSecond);
    m_streamInfo.suggestedBufferSize = format.sizeImage;
    m_streamInfo.frame = {0, 0, static_cast<std::int16_t>(format.width),
                          static_cast<std::int16_t>(format.height)};
    m_options = {};
    m_options.type = platform::kStreamTypeVideo;
    m_options.handler = platform::MakeFourCC('m', 'p', 'g', '4');
    m_options.flags = platform::kCompressValid;
    if (!platform::ChooseCompression(m_options)) {
        return false;
    }
    m_compressor = platform::OpenVideoCompressor(m_options.handler);
    if (!m_compressor) {
        return false;
    }
    const std::optional<platform::BitmapInfoHeader> stored = m_compressor->OutputFormat(format);
    if (!stored) {
        return false;
    }
    m_streamInfo.handler = m_compressor->StreamHandler();
    return m_file.SetVideoStream(m_streamInfo, *stored);
}

bool CAviWriter::AddFrame(const QImage& bitmap, double framesPerSecond) {
    if (!m_bOK) {
        return false;
    }
    const std::optional<platform::BitmapInfoHeader> format =
        bitmap.isNull() ? std::nullopt : DibHeader(bitmap.width(), bitmap.height(), 32);
    if (!format) {
        return Fail();
    }
    if ((m_width >= 0 && format->width != m_width) ||
        (m_height >= 0 && format->height != m_height)) {
        return false;
    }
    m_width = format->width;
    m_height = format->height;
    std::vector<std::uint8_t> bits(format->sizeImage);
    if (!ImageToDibBits(bitmap, *format, bits)) {
        return Fail();
    }
    if (m_frameCount == 0 && !m_file.IsOpen() && !Open(*format, framesPerSecond)) {
        return Fail();
    }
    bool keyFrame = true;
    const auto stored = m_compressor->Compress(bits, keyFrame);
    // Every frame goes in as a key frame.
    if (!stored ||
        m_file.WriteFrame(*stored, true) != platform::AviFileWriter::FrameResult::Written) {
        return Fail();
    }
    ++m_frameCount;
    return true;
}
