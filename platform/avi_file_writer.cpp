#include "platform/avi_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/byte_order.h"
#include "platform/posix_io.h"

namespace platform {

namespace {

constexpr std::size_t kMainHeaderBytes = 56;
constexpr std::size_t kStreamHeaderBytes = 56;
constexpr std::size_t kIndexEntryBytes = 16;
constexpr std::size_t kMaxStreamNameBytes = 255;
constexpr FourCC kVideoChunkId = MakeFourCC('0', '0', 'd', 'c');

std::uint32_t Saturate32(std::uint64_t v) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(v, std::numeric_limits<std::uint32_t>::max()));
}

std::uint64_t Padded(std::uint64_t size) {
    return size + (size & 1);
}

}  // namespace

std::vector<std::uint8_t> BitmapInfoHeader::Serialize() const {
    std::vector<std::uint8_t> out;
    out.reserve(kBytes);
    LeWriter w(out);
    w.U32(static_cast<std::uint32_t>(kBytes));
    w.I32(width);
    w.I32(height);
    w.U16(planes);
    w.U16(bitCount);
    w.U32(compression);
    w.U32(sizeImage);
    w.I32(xPelsPerMeter);
    w.I32(yPelsPerMeter);
    w.U32(clrUsed);
    w.U32(clrImportant);
    return out;
}

AviFileWriter::AviFileWriter(std::uint64_t maxFileBytes) : m_maxFileBytes(maxFileBytes) {}

AviFileWriter::~AviFileWriter() {
    if (m_fd >= 0) {
        Close();
    }
}

bool AviFileWriter::Create(const std::filesystem::path& path) {
    if (m_fd >= 0) {
        return false;
    }
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        return false;
    }
    m_path = path;
    m_hasStream = false;
    m_failed = false;
    m_moviStart = 0;
    m_end = 0;
    m_largestFrame = 0;
    m_index.clear();
    return true;
}

std::vector<std::uint8_t> AviFileWriter::Headers() const {
    const std::uint32_t frames = FrameCount();
    const std::uint64_t nameBytes = m_info.name.empty() ? 0 : m_info.name.size() + 1;
    const std::uint64_t strlBytes = 4 + (8 + kStreamHeaderBytes) + (8 + BitmapInfoHeader::kBytes) +
                                    (nameBytes > 0 ? 8 + Padded(nameBytes) : 0);
    const std::uint64_t hdrlBytes = 4 + (8 + kMainHeaderBytes) + (8 + strlBytes);
    // The file as Close leaves it: headers, frames, then the index.
    const std::uint64_t fileEnd = m_end + 8 + kIndexEntryBytes * frames;
    const std::uint32_t suggested = std::max(m_info.suggestedBufferSize, m_largestFrame);

    std::vector<std::uint8_t> out;
    LeWriter w(out);
    w.U32(MakeFourCC('R', 'I', 'F', 'F'));
    w.U32(Saturate32(fileEnd - 8));
    w.U32(MakeFourCC('A', 'V', 'I', ' '));

    w.U32(MakeFourCC('L', 'I', 'S', 'T'));
    w.U32(static_cast<std::uint32_t>(hdrlBytes));
    w.U32(MakeFourCC('h', 'd', 'r', 'l'));

    w.U32(MakeFourCC('a', 'v', 'i', 'h'));
    w.U32(static_cast<std::uint32_t>(kMainHeaderBytes));
    w.U32(Saturate32(std::uint64_t{1000000} * m_info.scale / m_info.rate));  // µs per frame
    w.U32(Saturate32(std::uint64_t{m_largestFrame} * m_info.rate /
                     m_info.scale));  // bytes per second
    w.U32(0);                         // padding granularity
    w.U32(kAviHasIndex);
    w.U32(frames);
    w.U32(0);  // initial frames
    w.U32(1);  // streams
    w.U32(suggested);
    w.U32(static_cast<std::uint32_t>(m_format.width));
    w.U32(static_cast<std::uint32_t>(
        m_format.height < 0 ? -static_cast<std::int64_t>(m_format.height) : m_format.height));
    for (int i = 0; i < 4; ++i) {
        w.U32(0);
    }

    w.U32(MakeFourCC('L', 'I', 'S', 'T'));
    w.U32(static_cast<std::uint32_t>(strlBytes));
    w.U32(MakeFourCC('s', 't', 'r', 'l'));

    w.U32(MakeFourCC('s', 't', 'r', 'h'));
    w.U32(static_cast<std::uint32_t>(kStreamHeaderBytes));
    w.U32(m_info.type);
    w.U32(m_info.handler);
    w.U32(m_info.flags);
    w.U16(0);  // priority
    w.U16(0);  // language
    w.U32(0);  // initial frames
    w.U32(m_info.scale);
    w.U32(m_info.rate);
    w.U32(0);  // start
    w.U32(frames);
    w.U32(suggested);
    w.U32(m_info.quality);
    w.U32(0);  // sample size: frames vary
    w.I16(m_info.frame.left);
    w.I16(m_info.frame.top);
    w.I16(m_info.frame.right);
    w.I16(m_info.frame.bottom);

    w.U32(MakeFourCC('s', 't', 'r', 'f'));
    w.U32(static_cast<std::uint32_t>(BitmapInfoHeader::kBytes));
    w.Bytes(m_format.Serialize());

    if (nameBytes > 0) {
        w.U32(MakeFourCC('s', 't', 'r', 'n'));
        w.U32(static_cast<std::uint32_t>(nameBytes));
        w.Bytes({reinterpret_cast<const std::uint8_t*>(m_info.name.data()), m_info.name.size()});
        out.push_back(0);
        if ((nameBytes & 1) != 0) {
            out.push_back(0);
        }
    }

    w.U32(MakeFourCC('L', 'I', 'S', 'T'));
    const std::uint64_t moviStart = out.size() - 4;
    w.U32(Saturate32(std::max(m_end, moviStart + 12) - (moviStart + 8)));
    w.U32(MakeFourCC('m', 'o', 'v', 'i'));
    return out;
}

bool AviFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return WriteAllAt(m_fd, bytes, offset);
}

bool AviFileWriter::SetVideoStream(const AviStreamInfo& info, const BitmapInfoHeader& format) {
    if (m_fd < 0 || m_hasStream || m_failed || info.scale == 0 || info.rate == 0 ||
        info.name.size() > kMaxStreamNameBytes || info.name.find('\0') != std::string::npos) {
        return false;
    }
    m_info = info;
    m_format = format;
    // The headers' length depends only on the stream; the second pass fills
    // in the sizes that follow from it.
    m_end = Headers().size();
    m_moviStart = m_end - 12;
    const std::vector<std::uint8_t> headers = Headers();
    if (m_end + 8 > m_maxFileBytes || !WriteAt(0, headers)) {
        m_failed = true;
        return false;
    }
    m_hasStream = true;
    return true;
}

AviFileWriter::FrameResult AviFileWriter::WriteFrame(std::span<const std::uint8_t> data,
                                                     bool keyFrame) {
    if (m_fd < 0 || !m_hasStream || m_failed) {
        return FrameResult::Failed;
    }
    const std::uint64_t size = data.size();
    const std::uint64_t end = m_end + 8 + Padded(size);
    const std::uint64_t fileEnd = end + 8 + kIndexEntryBytes * (std::uint64_t{FrameCount()} + 1);
    if (size > std::numeric_limits<std::uint32_t>::max() || fileEnd > m_maxFileBytes) {
        return FrameResult::Full;
    }
    std::vector<std::uint8_t> header;
    LeWriter w(header);
    w.U32(kVideoChunkId);
    w.U32(static_cast<std::uint32_t>(size));
    static constexpr std::uint8_t kPad[1] = {0};
    if (!WriteAt(m_end, header) || !WriteAt(m_end + 8, data) ||
        ((size & 1) != 0 && !WriteAt(m_end + 8 + size, kPad))) {
        m_failed = true;
        return FrameResult::Failed;
    }
    m_index.push_back({static_cast<std::uint32_t>(m_end - (m_moviStart + 8)),
                       static_cast<std::uint32_t>(size), keyFrame ? kAviIndexKeyFrame : 0u});
    m_largestFrame = std::max(m_largestFrame, static_cast<std::uint32_t>(size));
    m_end = end;
    return FrameResult::Written;
}

bool AviFileWriter::Close() {
    if (m_fd < 0) {
        return false;
    }
    if (!m_hasStream) {
        Discard();
        return false;
    }
    bool ok = !m_failed;
    std::vector<std::uint8_t> index;
    index.reserve(8 + kIndexEntryBytes * m_index.size());
    LeWriter w(index);
    w.U32(MakeFourCC('i', 'd', 'x', '1'));
    w.U32(static_cast<std::uint32_t>(kIndexEntryBytes * m_index.size()));
    for (const IndexEntry& entry : m_index) {
        w.U32(kVideoChunkId);
        w.U32(entry.flags);
        w.U32(entry.offset);
        w.U32(entry.size);
    }
    ok = WriteAt(m_end, index) && ok;
    ok = WriteAt(0, Headers()) && ok;
    // Drops whatever a failed frame write may have left past the index.
    ok = ::ftruncate(m_fd, static_cast<off_t>(m_end + index.size())) == 0 && ok;
    ok = CloseFd() && ok;
    return ok;
}

bool AviFileWriter::CloseFd() {
    if (m_fd < 0) {
        return true;
    }
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0;
}

void AviFileWriter::Discard() {
    if (m_fd < 0) {
        return;
    }
    CloseFd();
    ::unlink(m_path.c_str());
    m_hasStream = false;
}

}  // namespace platform
