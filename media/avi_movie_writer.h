#pragma once

// Records pictures or raw pixel buffers as an MPEG-4 AVI movie.
//
// Each append runs the operation of the writer's state from a table: in
// state 1 (not yet opened) it opens the movie from the first frame, in state
// 2 (writing) it writes the frame, in state 0 (failed) it fails. A failure
// while opening releases everything, sets state 0 and shows message 4025.
// Without an MPEG-4 compressor on the machine, opening fails.

#include <QImage>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "platform/avi_file_writer.h"
#include "platform/video_compressor.h"

using HRESULT = std::int32_t;
inline constexpr HRESULT kResultOk = 0;
inline constexpr HRESULT kResultFail = static_cast<HRESULT>(0x80004005u);  // E_FAIL

class CAviMovieWriter {
public:
    enum State : int { kStateFailed = 0, kStateNotOpened = 1, kStateWriting = 2 };

    explicit CAviMovieWriter(std::filesystem::path fileName);
    // Releases the movie (completing what was written).
    ~CAviMovieWriter();
    CAviMovieWriter(const CAviMovieWriter&) = delete;
    CAviMovieWriter& operator=(const CAviMovieWriter&) = delete;

    // Completes and closes the movie and frees the pixel buffer; later
    // appends fail.
    void Release();

    // Appends a picture, stored in 32-bit layout when it has an alpha
    // channel or 32-bit depth, else in 24-bit layout.
    HRESULT AppendBitmap(const QImage& bitmap);

    // Appends width × height pixels of bitsPerPixel (24 or 32) bits, bottom
    // row first, rows without padding: width × height × bitsPerPixel / 8
    // bytes, checked against `pixels`.
    HRESULT AppendBuffer(int width, int height, std::span<const std::uint8_t> pixels,
                         int bitsPerPixel);

    int GetState() const { return m_state; }

private:
    struct RawFrame {
        int width;
        int height;
        std::span<const std::uint8_t> pixels;
        int bitsPerPixel;
    };
    using BitmapOperation = HRESULT (CAviMovieWriter::*)(const QImage&);
    using BufferOperation = HRESULT (CAviMovieWriter::*)(const RawFrame&);

    HRESULT FailBitmap(const QImage&) { return kResultFail; }
    HRESULT OpenFromBitmap(const QImage& bitmap);
    HRESULT WriteBitmap(const QImage& bitmap);
    HRESULT FailBuffer(const RawFrame&) { return kResultFail; }
    HRESULT OpenFromBuffer(const RawFrame& frame);
    HRESULT WriteBuffer(const RawFrame& frame);

    HRESULT Open(const platform::BitmapInfoHeader& format);
    HRESULT OpenFailed();
    HRESULT WriteFrame(std::span<const std::uint8_t> bits);

    static constexpr std::array<BitmapOperation, 3> kBitmapOperations = {
        &CAviMovieWriter::FailBitmap, &CAviMovieWriter::OpenFromBitmap,
        &CAviMovieWriter::WriteBitmap};
    static constexpr std::array<BufferOperation, 3> kBufferOperations = {
        &CAviMovieWriter::FailBuffer, &CAviMovieWriter::OpenFromBuffer,
        &CAviMovieWriter::WriteBuffer};

    std::vector<std::uint8_t> m_pixels;  // conversion buffer
    std::filesystem::path m_fileName;
    platform::AviFileWriter m_file;
    platform::AviStreamInfo m_streamInfo;
    platform::CompressionOptions m_options;
    std::unique_ptr<platform::VideoCompressor> m_compressor;
    platform::BitmapInfoHeader m_format;  // of the frames appended
    std::uint32_t m_frameCount = 0;
    int m_state = kStateNotOpened;
};
