#include "media/avi_movie_writer.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <new>

#include "core/application/string_table.h"
#include "media/dib_bits.h"

namespace {

constexpr platform::FourCC kMpeg4Handler = platform::MakeFourCC('M', 'P', 'G', '4');
constexpr std::uint32_t kKeyFrameEvery = 15;
constexpr unsigned kTextRenderingFailed = 4025;  // under caption 4024

// Pixels of the primary screen, 0 without one.
std::uint64_t ScreenPixels() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const QScreen* screen = app != nullptr ? QGuiApplication::primaryScreen() : nullptr;
    if (screen == nullptr) {
        return 0;
    }
    const QSize size = screen->size();
    return static_cast<std::uint64_t>(std::max(size.width(), 0)) *
           static_cast<std::uint64_t>(std::max(size.height(), 0));
}

// The stored depth of a picture: 32 bits when it carries more than colour.
int BitmapBitCount(const QImage& bitmap) {
    return bitmap.hasAlphaChannel() || bitmap.depth() == 32 ? 32 : 24;
}

}  // namespace

CAviMovieWriter::CAviMovieWriter(std::filesystem::path fileName)
    : m_fileName(std::move(fileName)) {}

CAviMovieWriter::~CAviMovieWriter() {
    Release();
}

void CAviMovieWriter::Release() {
    if (m_file.IsOpen()) {
        if (m_frameCount > 0) {
            m_file.Close();
        } else {
            m_file.Discard();
        }
    }
    m_compressor.reset();
    m_pixels = {};
}

HRESULT CAviMovieWriter::AppendBitmap(const QImage& bitmap) {
    return (this->*kBitmapOperations[static_cast<std::size_t>(m_state)])(bitmap);
}

HRESULT CAviMovieWriter::AppendBuffer(int width, int height, std::span<const std::uint8_t> pixels,
                                      int bitsPerPixel) {
    return (this->*kBufferOperations[static_cast<std::size_t>(m_state)])(
        RawFrame{width, height, pixels, bitsPerPixel});
}

HRESULT CAviMovieWriter::OpenFailed() {
    Release();
    m_state = kStateFailed;
    ShowMessage(kTextRenderingFailed);
    return kResultFail;
}

HRESULT CAviMovieWriter::Open(const platform::BitmapInfoHeader& format) {
    // The conversion buffer holds the larger of the screen and the frame, at
    // 4 bytes per pixel.
    const std::uint64_t framePixels =
        static_cast<std::uint64_t>(format.width) * static_cast<std::uint64_t>(format.height);
    const std::uint64_t bufferBytes = std::max(ScreenPixels(), framePixels) * 4;
    if (bufferBytes > platform::AviFileWriter::kMaxRiffBytes) {
        return OpenFailed();
    }
    try {
        m_pixels.assign(static_cast<std::size_t>(bufferBytes), 0);
    } catch (const std::bad_alloc&) {
        return OpenFailed();
    }
    if (!m_file.Create(m_fileName)) {
        return OpenFailed();
    }
    m_streamInfo = {};
    m_streamInfo.type = platform::kStreamTypeVideo;
    m_streamInfo.handler = kMpeg4Handler;
    m_streamInfo.scale = 1;
    m_streamInfo.rate = 1;
    m_streamInfo.quality = 0xFFFFFFFF;
    m_streamInfo.suggestedBufferSize = static_cast<std::uint32_t>(m_pixels.size());
    m_streamInfo.frame = {0, 0, static_cast<std::int16_t>(format.width),
                          static_cast<std::int16_t>(format.height)};
    m_streamInfo.name = "Video Stream";
    m_options = {};
    m_options.type = platform::kStreamTypeVideo;
    m_options.handler = kMpeg4Handler;
    m_options.keyFrameEvery = kKeyFrameEvery;
    m_options.flags = platform::kCompressKeyFrames | platform::kCompressValid;
    m_compressor = platform::OpenVideoCompressor(m_options.handler);
    if (!m_compressor) {
        return OpenFailed();  // no MPEG-4 compressor on this machine
    }
    const std::optional<platform::BitmapInfoHeader> stored = m_compressor->OutputFormat(format);
    if (!stored) {
        return OpenFailed();
    }
    m_streamInfo.handler = m_compressor->StreamHandler();
    if (!m_file.SetVideoStream(m_streamInfo, *stored)) {
        return OpenFailed();
    }
    m_format = format;
    m_state = kStateWriting;
    return kResultOk;
}

HRESULT CAviMovieWriter::WriteFrame(std::span<const std::uint8_t> bits) {
    if (!m_compressor) {
        return kResultFail;  // released
    }
    bool keyFrame = false;
    const auto stored = m_compressor->Compress(bits, keyFrame);
    if (!stored ||
        m_file.WriteFrame(*stored, keyFrame) != platform::AviFileWriter::FrameResult::Written) {
        return kResultFail;
    }
    ++m_frameCount;
    return kResultOk;
}

HRESULT CAviMovieWriter::OpenFromBitmap(const QImage& bitmap) {
    const std::optional<platform::BitmapInfoHeader> format =
        bitmap.isNull() ? std::nullopt
                        : DibHeader(bitmap.width(), bitmap.height(), BitmapBitCount(bitmap));
    if (!format || Open(*format) != kResultOk) {
        return m_state == kStateFailed ? kResultFail : OpenFailed();
    }
    // The first frame is part of opening.
    return WriteBitmap(bitmap) == kResultOk ? kResultOk : OpenFailed();
}

HRESULT CAviMovieWriter::WriteBitmap(const QImage& bitmap) {
    if (m_pixels.size() < m_format.sizeImage ||
        !ImageToDibBits(bitmap, m_format, {m_pixels.data(), m_format.sizeImage})) {
        return kResultFail;  // another size than the movie's, or released
    }
    return WriteFrame({m_pixels.data(), m_format.sizeImage});
}

HRESULT CAviMovieWriter::OpenFromBuffer(const RawFrame& frame) {
    std::optional<platform::BitmapInfoHeader> format =
        DibHeader(frame.width, frame.height, frame.bitsPerPixel);
    if (format) {
        // Raw buffers come without row padding.
        format->sizeImage = static_cast<std::uint32_t>(static_cast<std::uint64_t>(frame.width) *
                                                       frame.height * (frame.bitsPerPixel / 8));
    }
    if (!format || Open(*format) != kResultOk) {
        return m_state == kStateFailed ? kResultFail : OpenFailed();
    }
    return WriteBuffer(frame) == kResultOk ? kResultOk : OpenFailed();
}

HRESULT CAviMovieWriter::WriteBuffer(const RawFrame& frame) {
    if (frame.width != m_format.width || frame.height != m_format.height ||
        frame.bitsPerPixel != m_format.bitCount || frame.pixels.size() < m_format.sizeImage) {
        return kResultFail;
    }
    return WriteFrame(frame.pixels.first(m_format.sizeImage));
}
