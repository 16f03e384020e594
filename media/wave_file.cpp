#include "media/wave_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "platform/byte_order.h"
#include "platform/posix_io.h"

namespace {

// RIFF header: "RIFF", u32 size, "WAVE". Each chunk: 4-byte id, u32 body
// size, the body, and one pad byte after a body of odd size.
constexpr std::uint64_t kRiffHeaderBytes = 12;
constexpr std::uint64_t kChunkHeaderBytes = 8;
// The part of the format chunk the program uses: tag, channels, rate, byte
// rate, block alignment, bits per sample.
constexpr std::uint32_t kFormatBytes = 16;

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& path)
        // Non-blocking, so that a FIFO named by the settings cannot hang the
        // open; regular files ignore the flag.
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}

    // The size of a regular file; nothing for anything else.
    std::optional<std::uint64_t> RegularFileSize() const {
        struct stat info {};
        if (!m_fd || ::fstat(m_fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(info.st_size);
    }

    // Reads exactly size bytes at offset; false on an error or an early end.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
        return platform::ReadExactlyAt(m_fd.Get(), out, size, offset);
    }

private:
    platform::UniqueFd m_fd;
};

bool IdIs(const std::uint8_t* id, std::string_view name) {
    return std::equal(name.begin(), name.end(), id);
}

// Chunk ids compared without regard to case: some writers put "DATA".
bool IdIsAnyCase(const std::uint8_t* id, std::string_view name) {
    const auto lower = [](unsigned char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lower(id[i]) != lower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

struct Chunk {
    std::uint64_t bodyOffset;
    std::uint32_t bodySize;
};

struct ChunkWalk {
    std::optional<Chunk> format;
    std::optional<Chunk> data;
    bool readFailed = false;
};

// Walks the chunks after the RIFF header, within the file's size, and keeps
// the first "fmt " and the first "data" chunk. Every step moves forward by at
// least a chunk header, so the walk ends at the end of the file whatever the
// sizes say.
ChunkWalk FindChunks(const ReadOnlyFile& file, std::uint64_t fileSize) {
    ChunkWalk walk;
    std::uint64_t offset = kRiffHeaderBytes;
    while (offset + kChunkHeaderBytes <= fileSize && !(walk.format && walk.data)) {
        std::array<std::uint8_t, kChunkHeaderBytes> header{};
        if (!file.ReadAt(offset, header.data(), header.size())) {
            walk.readFailed = true;
            break;
        }
        const Chunk chunk{offset + kChunkHeaderBytes, platform::LoadLe32(header, 4)};
        if (!walk.format && IdIsAnyCase(header.data(), "fmt ")) {
            walk.format = chunk;
        } else if (!walk.data && IdIsAnyCase(header.data(), "data")) {
            walk.data = chunk;
        }
        // 64-bit arithmetic: a 4 GiB size cannot wrap the offset.
        offset = chunk.bodyOffset + chunk.bodySize + (chunk.bodySize & 1u);
    }
    return walk;
}

WaveFileContents Fail(WaveReadStatus status) {
    WaveFileContents result;
    result.status = status;
    return result;
}

}  // namespace

WaveFileContents ReadWaveFile(const std::filesystem::path& path) {
    const ReadOnlyFile file(path);
    const std::optional<std::uint64_t> fileSize = file.RegularFileSize();
    if (!fileSize) {
        return Fail(WaveReadStatus::CannotOpen);
    }

    std::array<std::uint8_t, kRiffHeaderBytes> riff{};
    if (*fileSize < kRiffHeaderBytes || !file.ReadAt(0, riff.data(), riff.size())) {
        return Fail(WaveReadStatus::NotWave);
    }
    if (!IdIs(riff.data(), "RIFF") || !IdIs(riff.data() + 8, "WAVE")) {
        return Fail(WaveReadStatus::NotWave);
    }

    const ChunkWalk walk = FindChunks(file, *fileSize);
    if (walk.readFailed) {
        return Fail(WaveReadStatus::ReadError);
    }
    if (!walk.format || walk.format->bodySize < kFormatBytes) {
        return Fail(WaveReadStatus::BadFormat);
    }
    if (walk.format->bodyOffset + walk.format->bodySize > *fileSize) {
        return Fail(WaveReadStatus::Truncated);
    }

    WaveFileContents result;
    std::array<std::uint8_t, kFormatBytes> fmt{};
    if (!file.ReadAt(walk.format->bodyOffset, fmt.data(), fmt.size())) {
        return Fail(WaveReadStatus::ReadError);
    }
    platform::LeReader format(fmt);
    result.format.formatTag = format.U16();
    result.format.channels = format.U16();
    result.format.samplesPerSecond = format.U32();
    result.format.averageBytesPerSecond = format.U32();
    result.format.blockAlign = format.U16();
    result.format.bitsPerSample = format.U16();
    result.format.extraSize = 0;
    if (!platform::IsPlayablePcmFormat(result.format)) {
        return Fail(WaveReadStatus::BadFormat);
    }

    if (!walk.data || walk.data->bodySize == 0) {
        return Fail(WaveReadStatus::NoData);
    }
    const std::uint32_t dataSize = walk.data->bodySize;
    if (walk.data->bodyOffset + dataSize > *fileSize || dataSize % result.format.blockAlign != 0) {
        return Fail(WaveReadStatus::Truncated);
    }
    if (dataSize > kMaxWaveSampleBytes) {
        return Fail(WaveReadStatus::TooLarge);
    }
    result.samples.resize(dataSize);
    if (!file.ReadAt(walk.data->bodyOffset, result.samples.data(), dataSize)) {
        return Fail(WaveReadStatus::ReadError);
    }
    result.status = WaveReadStatus::Loaded;
    return result;
}
