#pragma once

// Writes pictures as the frames of a new AVI movie. The operator chooses the
// compressor when the first frame comes; each frame is stored as a key frame
// in 32-bit bitmap layout before compression.

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/avi_file_writer.h"
#include "platform/video_compressor.h"

class CAviWriter {
public:
    // A negative width or height takes the first frame's and keeps it.
    CAviWriter(std::filesystem::path fileName, int width, int height);
    // Completes the movie written so far.
    ~CAviWriter() = default;
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // Adds one frame. False for a frame of another size (the writer stays
    // usable) and on any failure: the file exists already, the compressor
    // choice was cancelled or names none of this machine, a write fails or
    // the movie is full. A failure clears the OK flag, and every later call
    // returns false. The first frame's rate fixes the movie's: frames per
    // second × 100 over a scale of 100.
    bool AddFrame(const QImage& bitmap, double framesPerSecond);

    bool IsOK() const { return m_bOK; }

private:
    bool Open(const platform::BitmapInfoHeader& format, double framesPerSecond);
    bool Fail();

    std::filesystem::path m_fileName;
    int m_width;
    int m_height;
    platform::AviFileWriter m_file;
    platform::AviStreamInfo m_streamInfo;
    platform::CompressionOptions m_options;
    std::unique_ptr<platform::VideoCompressor> m_compressor;
    std::uint32_t m_frameCount = 0;
    bool m_bOK = true;
};
