#include "media/record_file.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <new>

#include "core/net/text_parse.h"
#include "platform/byte_order.h"
#include "platform/posix_io.h"

namespace {

// A name taken in the same second gets _2, _3 ... up to this suffix.
constexpr int kMaxNameSuffix = 999;

void PutTime(platform::LeWriter& out, const FrameTime& t) {
    for (std::uint16_t v :
         {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) {
        out.U16(v);
    }
}

bool IsAsciiLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "yymmddThhmiss" of a record file name.
std::string DateTimeText(const FrameTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u%02u%02uT%02u%02u%02u", t.year % 100u, t.month % 100u,
                  t.day % 100u, t.hour % 100u, t.minute % 100u, t.second % 100u);
    return text;
}

}  // namespace

std::array<std::uint8_t, kRecFileHeaderBytes> RecFileHeader::ToBytes() const {
    std::array<std::uint8_t, kRecFileHeaderBytes> bytes{};
    platform::LeWriter out(bytes);
    out.U16(magic);
    out.U16(headerLength);
    out.Chars(product);
    out.Bytes(std::array<std::uint8_t, 16>{});
    PutTime(out, created);
    out.U32(firstTimeValue);
    out.U32(lastTimeValue);
    out.U32(frameCount);
    out.Bytes(deviceAddress);
    out.U16(23);
    out.U8(0);
    out.U8(static_cast<std::uint8_t>(kind));
    out.Chars(userName);
    out.U32(2);
    return bytes;
}

void SetHeaderIdentity(RecFileHeader& header, std::string_view serverName,
                       std::string_view userName) {
    header.deviceAddress = {};
    SplitToInts(serverName, header.deviceAddress, ".");
    header.userName = {};
    userName = userName.substr(0, header.userName.size());
    std::copy(userName.begin(), userName.end(), header.userName.begin());
}

std::size_t BuildFrameMark(const FrameMarkEntry& entry, std::uint32_t frameNumber,
                           std::span<std::uint8_t, kVideoLossFrameMarkBytes> out) {
    // Each field after the flags word has a flag bit; the flags word is the
    // OR of the bits of the fields present. Only the video-loss byte is ever
    // left out.
    platform::LeWriter mark(out);
    std::uint32_t flags = 0;
    mark.U32(0);  // the flags word, stored below
    mark.U32(frameNumber);
    mark.U32(entry.length);
    mark.U16(entry.width);
    mark.U16(entry.height);
    mark.U32(entry.timeValue);
    mark.U8(entry.channel);
    mark.U8(entry.markByte);
    mark.U8(5);
    flags |= 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x80;
    if (entry.videoLoss != 0) {
        mark.U8(1);
        flags |= 0x800;
    }
    mark.U16(kRecordMagic);
    // The mark length is the offset of the terminator, behind this field and
    // the byte sum.
    mark.U16(static_cast<std::uint16_t>(mark.Size() + 4));
    flags |= 0x20000000 | 0x40000000 | 0x80000000;  // magic, mark length, byte sum
    mark.U32At(0, flags);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < mark.Size(); ++i) sum = static_cast<std::uint16_t>(sum + out[i]);
    mark.U16(sum);
    mark.U16(0xFFFF);
    return mark.Size();
}

FrameTime LocalRecordTime(std::chrono::system_clock::time_point when) {
    return LocalFrameTime(when, true);
}

std::string UserRecordFileStem(const FrameTime& time) {
    return "USER_MJPEG_" + DateTimeText(time) + "_UR";
}

std::string AlarmRecordFileStem(const FrameTime& time, std::string_view sessionCookie) {
    std::string stem = "ALARM_MJPEG_" + DateTimeText(time) + "_";
    for (char c : sessionCookie.substr(0, 4)) {
        if (IsAsciiLetterOrDigit(c))
            stem += c;
    }
    return stem;
}

std::string ScheduleRecordFileStem(const FrameTime& time) {
    return "SCH_MJPEG_" + DateTimeText(time);
}

// ---- CRecordFile -----------------------------------------------------------

CRecordFile::~CRecordFile() {
    Abandon();
}

bool CRecordFile::ReserveIndex(std::uint32_t frames) {
    if (frames > kRecMaxFrames)
        frames = kRecMaxFrames;
    try {
        m_index.reserve(std::size_t{frames} * kRecIndexEntryBytes + 4);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

void CRecordFile::ReleaseIndex() {
    if (IsOpen())
        return;
    std::vector<std::uint8_t>().swap(m_index);
}

void CRecordFile::Reset() {
    m_fd = -1;
    m_failed = false;
    m_headerWritten = false;
    m_header = RecFileHeader{};
    m_length = 0;
    m_frameCount = 0;
    m_lastTimeValue = 0;
    m_index.clear();
}

bool CRecordFile::Create(const std::filesystem::path& folder, std::string_view stem) {
    if (IsOpen() || folder.empty())
        return false;
    for (int n = 1; n <= kMaxNameSuffix; ++n) {
        std::string name(stem);
        if (n > 1)
            name += "_" + std::to_string(n);
        name += kRecordFileExtension;
        const std::filesystem::path path = folder / name;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            Reset();
            m_fd = fd;
            m_path = path;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void CRecordFile::Fail() {
    m_failed = true;
}

bool CRecordFile::WriteAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return platform::WriteAllAt(m_fd, bytes, offset);
}

bool CRecordFile::RewriteHeader() {
    // pwrite leaves the file position at the end, where the next frame goes.
    const auto bytes = m_header.ToBytes();
    if (WriteAt(bytes, 0))
        return true;
    Fail();
    return false;
}

bool CRecordFile::WriteHeader(const RecFileHeader& header) {
    if (!IsOpen() || m_failed || m_headerWritten)
        return false;
    m_header = header;
    m_header.firstTimeValue = 0;
    m_header.lastTimeValue = 0;
    m_header.frameCount = 0;
    const auto headerBytes = m_header.ToBytes();
    static constexpr std::array<std::uint8_t, 10> kExtension{0xFF, 0xFF, 0xFF, 0xFF, 0,
                                                             0,    0,    0,    0xFF, 0xFF};
    std::array<iovec, 2> parts{platform::WritePart(headerBytes), platform::WritePart(kExtension)};
    if (!platform::WriteAllVectors(m_fd, parts)) {
        Fail();
        return false;
    }
    m_headerWritten = true;
    m_length = kRecFramesOffset;
    return true;
}

bool CRecordFile::WriteFrame(const FrameMarkEntry& entry, std::span<const std::uint8_t> jpeg) {
    if (!IsOpen() || m_failed || !m_headerWritten)
        return false;
    std::array<std::uint8_t, kVideoLossFrameMarkBytes> mark;
    // The mark's length field and the JPEG must agree.
    FrameMarkEntry described = entry;
    described.length = static_cast<std::uint32_t>(jpeg.size());
    const std::uint32_t number = m_frameCount + 1;
    const std::size_t markLength = BuildFrameMark(described, number, mark);
    const std::uint64_t end = std::uint64_t{m_length} + markLength + jpeg.size();
    if (m_frameCount >= kRecMaxFrames || jpeg.size() > std::numeric_limits<std::uint32_t>::max() ||
        end > std::numeric_limits<std::uint32_t>::max()) {
        Fail();
        return false;
    }
    if (number == 1) {
        m_header.firstTimeValue = entry.timeValue;
        if (!RewriteHeader())
            return false;
    }
    std::array<iovec, 2> parts{platform::WritePart(std::span(mark).first(markLength)),
                               platform::WritePart(jpeg)};
    if (!platform::WriteAllVectors(m_fd, parts)) {
        Fail();
        return false;
    }
    std::array<std::uint8_t, kRecIndexEntryBytes> indexEntry{};
    platform::StoreLe32(indexEntry, 0, m_length);
    m_index.insert(m_index.end(), indexEntry.begin(), indexEntry.end());
    m_length = static_cast<std::uint32_t>(end);
    m_frameCount = number;
    m_lastTimeValue = entry.timeValue;
    return true;
}

bool CRecordFile::Close(const RecFileHeader& headerIfMissing) {
    if (!IsOpen())
        return false;
    if (!m_failed && !m_headerWritten)
        WriteHeader(headerIfMissing);
    if (m_failed) {
        Abandon();
        return false;
    }
    m_header.lastTimeValue = m_lastTimeValue;
    m_header.frameCount = m_frameCount;
    bool written = RewriteHeader();
    if (written) {
        std::array<std::uint8_t, 4> count{};
        platform::StoreLe32(count, 0, m_frameCount);
        std::array<iovec, 2> parts{platform::WritePart(m_index), platform::WritePart(count)};
        written = platform::WriteAllVectors(m_fd, parts);
    }
    if (!written) {
        Fail();
        Abandon();
        return false;
    }
    const bool closed = ::close(m_fd) == 0;
    Reset();
    return closed;
}

void CRecordFile::Abandon() {
    if (!IsOpen())
        return;
    if (m_failed) {
        // Cut a frame that was written only in part, and whatever closing
        // information may have made it; the header still says 0 frames.
        if (::ftruncate(m_fd, static_cast<off_t>(m_length)) == 0 && m_headerWritten) {
            m_header.lastTimeValue = 0;
            m_header.frameCount = 0;
            const auto bytes = m_header.ToBytes();
            WriteAt(bytes, 0);
        }
    }
    ::close(m_fd);
    Reset();
}
