#include "tools/devicesim/recorded_data.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace devicesim {

namespace {

constexpr std::uint64_t kMegabyte = 1'048'576;
constexpr std::uint32_t kMaxSizeMb = 500;

void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

std::string BlockHeader(std::uint32_t length, std::uint32_t type) {
    std::string out;
    PutLe32(out, length);
    PutLe32(out, type);
    return out;
}

std::uint32_t Number(const HttpRequest& request, std::string_view name) {
    const auto value = request.Param(name);
    return value ? static_cast<std::uint32_t>(
                       std::min<std::uint64_t>(ParseDecimal(*value).value_or(0), 0xFFFFFFFFu))
                 : 0;
}

std::uint64_t Seed(const HttpRequest& request) {
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    for (const char* name : {"Year", "Month", "Day", "Hour", "Minute", "Second", "Num", "CH"}) {
        seed = (seed ^ Number(request, name)) * 0x100000001B3ull;
    }
    return seed;
}

// The event kinds a recorder lists, in the order the generator cycles them.
constexpr std::array<std::uint8_t, 7> kEventTypes = {0x00, 0x12, 48, 32, 0x05, 240, 0x1F};

std::string EventRecord(std::size_t index, std::uint8_t type) {
    std::string r(16, '\0');
    r[7] = static_cast<char>(type);
    // Events every 10 minutes back from 2024-05-17 23:50.
    const std::size_t minutes = 24 * 60 - 10 - (index * 10) % (24 * 60);
    const std::size_t day = 17 - std::min<std::size_t>(index * 10 / (24 * 60), 16);
    const char time[6] = {24,
                          5,
                          static_cast<char>(day),
                          static_cast<char>(minutes / 60),
                          static_cast<char>(minutes % 60),
                          0};
    r.replace(8, 6, time, 6);
    return r;
}

bool TypeMatches(std::uint8_t type, std::optional<std::uint32_t> filter) {
    if (!filter || *filter == 8) {
        return true;
    }
    switch (*filter) {
        case 0:
            return type <= 15;
        case 1:
            return type >= 16 && type <= 31;
        case 3:
            return type == 48;
        case 15:
            return type == 240;
        default:
            return false;
    }
}

std::string LogRecord(std::size_t index) {
    static constexpr std::array<std::uint32_t, 8> kIds = {0x1,    0x2,    0x4,   0x100,
                                                          0x4000, 0x8000, 0x800, 0x20};
    std::string r(32, '\0');
    const std::uint32_t id = kIds[index % kIds.size()];
    for (int i = 0; i < 4; ++i) {
        r[static_cast<std::size_t>(i)] = static_cast<char>((id >> (8 * i)) & 0xFF);
    }
    const char time[6] = {24,
                          5,
                          static_cast<char>(1 + index / 24 % 28),
                          static_cast<char>(index % 24),
                          15,
                          static_cast<char>(index % 60)};
    r.replace(4, 6, time, 6);
    r[10] = static_cast<char>(index % 17);
    r.replace(11, 5, "admin");
    r[27] = static_cast<char>(index % 2);
    return r;
}

}  // namespace

std::chrono::microseconds PaceDelay(std::uint64_t bytesPerSecond, std::uint64_t sent,
                                    std::chrono::microseconds elapsed) {
    if (bytesPerSecond == 0)
        return std::chrono::microseconds(0);
    // Whole seconds and the rest apart, so that neither product overflows
    // for rates up to kMaxBackupRate.
    const std::uint64_t rate = std::min(bytesPerSecond, kMaxBackupRate);
    constexpr std::uint64_t kMicros = 1'000'000;
    const std::uint64_t seconds = std::min<std::uint64_t>(sent / rate, 1ull << 40);
    const std::uint64_t rest = sent % rate;
    const auto due = std::chrono::microseconds(
        static_cast<std::int64_t>(seconds * kMicros + (rest * kMicros) / rate));
    return due > elapsed ? due - elapsed : std::chrono::microseconds(0);
}

RecordedData::RecordedData(RecordedDataOptions options) : m_options(options) {
    for (std::size_t i = 0; i < m_options.logRecords; ++i) {
        m_log.push_back(LogRecord(i));
    }
}

bool RecordedData::Handles(std::string_view path) {
    return path == "/NetworkBk.cgi" || path == "/CancelNB.cgi" || path == "/GetSearchList.cgi" ||
           path == "/Getlog.cgi" || path == "/ClearLog.cgi";
}

std::uint64_t RecordedData::RecordingSize(const HttpRequest& request) {
    return std::min(Number(request, "Size"), kMaxSizeMb) * kMegabyte;
}

std::string RecordedData::RecordingBytes(const HttpRequest& request, std::size_t offset,
                                         std::size_t length) {
    // A cheap stream that differs per span and per position: a 64-bit
    // linear congruential step per 8 bytes, seeded by the span and the offset.
    std::string out(length, '\0');
    const std::uint64_t seed = Seed(request);
    for (std::size_t i = 0; i < length; i += 8) {
        std::uint64_t word =
            (seed + (offset + i) / 8) * 6364136223846793005ull + 1442695040888963407ull;
        word ^= word >> 29;
        const std::size_t n = std::min<std::size_t>(8, length - i);
        std::memcpy(out.data() + i, &word, n);
    }
    return out;
}

bool RecordedData::Serve(const HttpRequest& request, Connection& connection) {
    if (request.path == "/NetworkBk.cgi") {
        NetworkBackup(request, connection);
        return true;
    }
    std::string body;
    if (request.path == "/CancelNB.cgi") {
        std::lock_guard lock(m_mutex);
        ++m_cancelGeneration;
        ++m_cancels;
    } else if (request.path == "/ClearLog.cgi") {
        std::lock_guard lock(m_mutex);
        m_log.clear();
        m_logCursor = 0;
        ++m_clears;
    } else if (request.path == "/GetSearchList.cgi") {
        body = SearchList(request);
    } else if (request.path == "/Getlog.cgi") {
        body = Log(request);
    } else {
        return false;
    }
    connection.Send(FormatResponse(200, "OK", "application/octet-stream", body));
    return true;
}

void RecordedData::NetworkBackup(const HttpRequest& request, Connection& connection) {
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_backupRunning) {
            connection.Send(BlockHeader(0, 6));  // busy
            return;
        }
        m_backupRunning = true;
        generation = m_cancelGeneration;
    }
    const std::uint64_t size = RecordingSize(request);
    std::uint64_t sent = 0;
    bool cancelled = false;
    const auto started = std::chrono::steady_clock::now();
    std::string block;
    while (sent < size) {
        {
            std::lock_guard lock(m_mutex);
            cancelled = m_cancelGeneration != generation;
        }
        if (cancelled) {
            break;
        }
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, size - sent));
        block = BlockHeader(static_cast<std::uint32_t>(length), 3);
        block += RecordingBytes(request, static_cast<std::size_t>(sent), length);
        if (!connection.Send(block)) {
            cancelled = true;
            break;
        }
        sent += length;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(PaceDelay(
            m_options.backupBytesPerSecond, sent,
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  started)));
        if (wait.count() > 0 && !connection.Pause(wait)) {
            cancelled = true;
            break;
        }
    }
    if (!cancelled) {
        connection.Send(BlockHeader(0, 1));
    }
    std::lock_guard lock(m_mutex);
    m_backupRunning = false;
}

std::string RecordedData::SearchList(const HttpRequest& request) {
    const auto state = request.Param("STATE");
    const auto typeText = request.Param("TYPE");
    const std::optional<std::uint32_t> type =
        typeText ? std::optional<std::uint32_t>(Number(request, "TYPE")) : std::nullopt;
    const std::uint32_t disk = Number(request, "HDD");
    std::vector<std::string> events;
    for (std::size_t i = 0; i < m_options.events; ++i) {
        const std::uint8_t kind = kEventTypes[(i + disk) % kEventTypes.size()];
        if (TypeMatches(kind, type)) {
            events.push_back(EventRecord(i, kind));
        }
    }
    std::lock_guard lock(m_mutex);
    if (!state || *state == "LAST") {
        m_searchCursor = 0;
    }
    const std::size_t page = std::min<std::size_t>(m_options.searchPage, 127);
    const std::size_t from = std::min(m_searchCursor, events.size());
    const std::size_t count = std::min(page, events.size() - from);
    m_searchCursor = from + count;
    std::string body(2, '\0');
    const std::uint16_t bytes = static_cast<std::uint16_t>(count * 16);
    body.push_back(static_cast<char>(bytes & 0xFF));
    body.push_back(static_cast<char>(bytes >> 8));
    for (std::size_t i = from; i < from + count; ++i) {
        body += events[i];
    }
    return body;
}

std::string RecordedData::Log(const HttpRequest& request) {
    const auto state = request.Param("STATE").value_or("");
    std::lock_guard lock(m_mutex);
    if (state == "COUNT") {
        return "COUNT=" + std::to_string(m_log.size()) + ";";
    }
    if (state == "LAST") {
        m_logCursor = 0;
    }
    // Newest page first: the newest 30 records, then the 30 before them.
    constexpr std::size_t kPage = 30;
    const std::size_t from = std::min(m_logCursor, m_log.size());
    const std::size_t count = std::min(kPage, m_log.size() - from);
    m_logCursor = from + count;
    std::string body;
    for (std::size_t i = 0; i < count; ++i) {
        body += m_log[m_log.size() - 1 - (from + i)];
    }
    return body;
}

int RecordedData::Cancels() const {
    std::lock_guard lock(m_mutex);
    return m_cancels;
}

int RecordedData::Clears() const {
    std::lock_guard lock(m_mutex);
    return m_clears;
}

}  // namespace devicesim
