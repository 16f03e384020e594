#include "media/frame_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <ctime>
#include <limits>

#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/posix_io.h"

namespace {

SystemTime LocalNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    SystemTime t;
    t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    t.day = static_cast<std::uint16_t>(local.tm_mday);
    t.hour = static_cast<std::uint16_t>(local.tm_hour);
    t.minute = static_cast<std::uint16_t>(local.tm_min);
    t.second = static_cast<std::uint16_t>(local.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(ms < 0 ? 0 : ms);
    return t;
}

}  // namespace

CFrameFileWriter::CFrameFileWriter(std::filesystem::path fileName, std::uint32_t value1,
                                   std::uint32_t value2, std::uint32_t value3)
    : m_fileName(std::move(fileName)), m_value1(value1), m_value2(value2), m_value3(value3) {}

CFrameFileWriter::~CFrameFileWriter() {
    if (m_fd >= 0) {
        RewriteHeader();
        ::close(m_fd);
    }
}

bool CFrameFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return platform::WriteAllAt(m_fd, bytes, offset);
}

bool CFrameFileWriter::RewriteHeader() {
    if (m_fd < 0) {
        return true;
    }
    std::array<std::uint8_t, kHeaderBytes> header{};
    platform::StoreLe32(header, 0, m_frameCount);
    platform::StoreLe32(header, 8, m_timeSeconds);
    return WriteAt(0, header);
}

bool CFrameFileWriter::CreateFile() {
    m_fd = ::open(m_fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        return false;
    }
    m_end = kHeaderBytes;
    return RewriteHeader();
}

int CFrameFileWriter::WriteFrame(std::span<const std::uint8_t> data, std::uint8_t value1,
                                 std::uint8_t value2, std::uint8_t value3, std::uint32_t timeMs,
                                 const SystemTime& dateTime) {
    if (m_failed || data.size() > std::numeric_limits<std::uint32_t>::max() ||
        m_frameCount == std::numeric_limits<std::uint32_t>::max()) {
        return -1;
    }
    if (m_fd < 0 && !CreateFile()) {
        m_failed = true;
        return -1;
    }
    std::array<std::uint8_t, kMarkBytes> mark{};
    platform::StoreLe32(mark, 0, m_frameCount);
    platform::StoreLe32(mark, 4, timeMs);
    platform::StoreLe32(mark, 8, static_cast<std::uint32_t>(data.size()));
    platform::StoreLe32(mark, 12, kFrameMagic);
    mark[16] = value1;
    mark[17] = value2;
    mark[18] = value3;
    const std::array<std::uint16_t, 8> fields = {
        dateTime.year, dateTime.month,  dateTime.dayOfWeek, dateTime.day,
        dateTime.hour, dateTime.minute, dateTime.second,    dateTime.milliseconds};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        platform::StoreLe16(mark, 24 + 2 * i, fields[i]);
    }
    const std::uint64_t start = m_end;
    if (!WriteAt(start, mark) || !WriteAt(start + kMarkBytes, data) ||
        !WriteAt(start + kMarkBytes + data.size(), mark)) {
        // A frame cut short would mislead every reader; take it off again.
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, static_cast<off_t>(start));
        m_failed = true;
        return -1;
    }
    m_end = start + 2 * kMarkBytes + data.size();
    ++m_frameCount;
    m_timeSeconds = timeMs / 1000;
    if (m_frameCount % kHeaderRewriteEvery == 0 && !RewriteHeader()) {
        m_failed = true;
        return -1;
    }
    return 0;
}

int CFrameFileWriter::WriteFrameNow(std::span<const std::uint8_t> data, std::uint8_t value1,
                                    std::uint8_t value3) {
    return WriteFrame(data, value1, 0, value3, platform::TickCount(), LocalNow());
}
