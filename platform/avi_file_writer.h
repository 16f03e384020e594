#pragma once

// A small writer of AVI movie files (RIFF 'AVI ', the classic 1 GB form) with
// one video stream:
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih'  main header (56 bytes)
//       LIST 'strl'
//         'strh'  stream header (56 bytes)
//         'strf'  BITMAPINFOHEADER (40 bytes)
//         'strn'  stream name, NUL-terminated (when the stream has one)
//     LIST 'movi'
//       '00dc'  one chunk per frame
//     'idx1'  16 bytes per frame: id, flags, offset from 'movi', size
//
// Every chunk's size field holds its data size; odd sizes are followed by
// one pad byte. The headers are written with the stream and rewritten with
// the final counts by Close; every write is checked. A frame that would take
// the file past the RIFF limit is refused (the movie written so far stays
// complete and valid).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace platform {

using FourCC = std::uint32_t;

constexpr FourCC MakeFourCC(char a, char b, char c, char d) {
    return static_cast<FourCC>(static_cast<unsigned char>(a)) |
           (static_cast<FourCC>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<FourCC>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<FourCC>(static_cast<unsigned char>(d)) << 24);
}

inline constexpr FourCC kStreamTypeVideo = MakeFourCC('v', 'i', 'd', 's');
inline constexpr std::uint32_t kBitmapCompressionRgb = 0;  // BI_RGB
inline constexpr std::uint32_t kAviIndexKeyFrame = 0x10;   // AVIIF_KEYFRAME
inline constexpr std::uint32_t kAviHasIndex = 0x10;        // AVIF_HASINDEX

// The 40-byte bitmap header that describes a frame.
struct BitmapInfoHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive: bottom row first
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kBitmapCompressionRgb;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;

    static constexpr std::size_t kBytes = 40;
    std::vector<std::uint8_t> Serialize() const;
};

struct AviRect {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
};

// The stream header's settable fields.
struct AviStreamInfo {
    FourCC type = kStreamTypeVideo;
    FourCC handler = 0;
    std::uint32_t flags = 0;
    std::uint32_t scale = 1;
    std::uint32_t rate = 1;              // frames per second = rate / scale
    std::uint32_t quality = 0xFFFFFFFF;  // -1: the compressor's default
    std::uint32_t suggestedBufferSize = 0;
    AviRect frame;
    std::string name;  // written as 'strn' when not empty
};

class AviFileWriter {
public:
    // The size of an AVI 1.0 file: RIFF offsets beyond it are not read back
    // by common players.
    static constexpr std::uint64_t kMaxRiffBytes = std::uint64_t{1} << 30;

    enum class FrameResult { Written, Full, Failed };

    // `maxFileBytes` bounds the whole file (tests use small limits).
    explicit AviFileWriter(std::uint64_t maxFileBytes = kMaxRiffBytes);
    // Closes (finalises) an open file.
    ~AviFileWriter();
    AviFileWriter(const AviFileWriter&) = delete;
    AviFileWriter& operator=(const AviFileWriter&) = delete;

    // Creates a new file; an existing file is never replaced. False on failure.
    bool Create(const std::filesystem::path& path);

    // Sets the one video stream and writes the headers. Once, before the
    // first frame. False when no file is open, a stream was set already, the
    // scale or rate is 0, or a write fails.
    bool SetVideoStream(const AviStreamInfo& info, const BitmapInfoHeader& format);

    // Appends a frame as the next '00dc' chunk. Full when it would take the
    // file past its limit (nothing is written); Failed when no stream is set
    // or a write fails (the writer then takes no more frames).
    FrameResult WriteFrame(std::span<const std::uint8_t> data, bool keyFrame);

    // Writes the index and the final headers and closes the file. A file
    // without a stream is removed instead. False when anything failed.
    bool Close();

    // Closes and removes the file.
    void Discard();

    bool IsOpen() const { return m_fd >= 0; }
    std::uint32_t FrameCount() const { return static_cast<std::uint32_t>(m_index.size()); }

private:
    struct IndexEntry {
        std::uint32_t offset;  // from the 'movi' identifier
        std::uint32_t size;
        std::uint32_t flags;
    };

    std::vector<std::uint8_t> Headers() const;
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool CloseFd();

    const std::uint64_t m_maxFileBytes;
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_hasStream = false;
    bool m_failed = false;
    AviStreamInfo m_info;
    BitmapInfoHeader m_format;
    std::uint64_t m_moviStart = 0;  // offset of the 'LIST' of 'movi'
    std::uint64_t m_end = 0;        // end of the data written
    std::uint32_t m_largestFrame = 0;
    std::vector<IndexEntry> m_index;
};

}  // namespace platform
