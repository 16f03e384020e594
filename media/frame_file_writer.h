#pragma once

// A file of frames, each framed by a 40-byte mark before and after it.
//
// Layout, little-endian: an 80-byte header (u32 frame count, u32 reserved,
// u32 time of the last frame in seconds, 68 reserved bytes), then for each
// frame: mark, data, the same mark again. A mark holds u32 frame index, u32
// time in milliseconds, u32 data length, u32 magic 0xADFBCE23, the caller's
// three byte values, 5 reserved bytes and the date and time as 8 × u16
// (year, month, day of week, day, hour, minute, second, milliseconds).
//
// The file is created, as a new file only, by the first write. The header on
// disk is brought up to date after every 10th frame, by RewriteHeader and by
// the destructor. Every write is checked; a frame that cannot be written
// whole is cut off again, and the writer takes no more frames.

#include <cstdint>
#include <filesystem>
#include <span>

#include "core/state/system_time.h"

class CFrameFileWriter {
public:
    static constexpr std::uint32_t kFrameMagic = 0xADFBCE23;
    static constexpr std::size_t kHeaderBytes = 80;
    static constexpr std::size_t kMarkBytes = 40;
    static constexpr std::uint32_t kHeaderRewriteEvery = 10;

    CFrameFileWriter(std::filesystem::path fileName, std::uint32_t value1, std::uint32_t value2,
                     std::uint32_t value3);
    // Rewrites the header and closes the file when one is open.
    ~CFrameFileWriter();
    CFrameFileWriter(const CFrameFileWriter&) = delete;
    CFrameFileWriter& operator=(const CFrameFileWriter&) = delete;

    // Appends one frame. Returns 0, or -1 when the file cannot be created
    // (it exists already, the folder refuses it), the frame is longer than a
    // mark can state, or a write fails.
    int WriteFrame(std::span<const std::uint8_t> data, std::uint8_t value1, std::uint8_t value2,
                   std::uint8_t value3, std::uint32_t timeMs, const SystemTime& dateTime);

    // As WriteFrame with the second value 0, the milliseconds since the
    // computer started as the time, and the local date and time.
    int WriteFrameNow(std::span<const std::uint8_t> data, std::uint8_t value1, std::uint8_t value3);

    // Writes the header at offset 0. True when no file is open yet.
    bool RewriteHeader();

private:
    bool CreateFile();
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);

    std::filesystem::path m_fileName;
    std::uint32_t m_value1;
    std::uint32_t m_value2;
    std::uint32_t m_value3;
    std::uint32_t m_frameCount = 0;   // in the header: frames written
    std::uint32_t m_timeSeconds = 0;  // in the header: the last frame's time
    int m_fd = -1;
    bool m_failed = false;
    std::uint64_t m_end = 0;
};
