#include "maintenance/log/server_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "config/sheet/sheet_progress.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/byte_order.h"

namespace maintenance {

namespace {

constexpr std::size_t kCountReplyBytes = 256;

std::mutex g_senderLock;
LogSender g_sender;

bool SendByCommandClient(const std::string& target, std::span<std::uint8_t> reply,
                         std::uint32_t& length) {
    return TirelSendCommand(CgiCommand::kGetLog, target, {}, nullptr, reply, &length, 15, 15, 0) ==
           1;
}

LogSender CurrentSender() {
    std::lock_guard lock(g_senderLock);
    return g_sender ? g_sender : LogSender(SendByCommandClient);
}

std::string LogTarget(const std::string& cookie, const char* state) {
    CCgiUrl url(CgiCommand::kGetLog);
    url.AddSessionCookie(cookie);
    url.AddParam("STATE", state);
    return url.GetUrl();
}

}  // namespace

ServerLogRecord ParseServerLogRecord(std::span<const std::uint8_t, kServerLogRecordBytes> bytes) {
    ServerLogRecord record;
    record.event_id = platform::LoadLe32(bytes, 0);
    std::copy_n(bytes.begin() + 4, record.event_time.size(), record.event_time.begin());
    record.channel = bytes[10];
    const auto* detail = reinterpret_cast<const char*>(bytes.data() + 11);
    record.detail.assign(detail, strnlen(detail, 16));
    record.ddns_ok = bytes[27];
    return record;
}

std::vector<ServerLogRecord> ServerLogRecords(std::span<const std::uint8_t> buffer,
                                              std::uint32_t count) {
    const std::size_t fits = std::min<std::size_t>(count, buffer.size() / kServerLogRecordBytes);
    std::vector<ServerLogRecord> records;
    records.reserve(fits);
    for (std::size_t i = 0; i < fits; ++i) {
        records.push_back(ParseServerLogRecord(
            buffer.subspan(i * kServerLogRecordBytes).first<kServerLogRecordBytes>()));
    }
    return records;
}

std::optional<std::uint32_t> ParseLogCount(std::span<const std::uint8_t> reply) {
    if (reply.empty()) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(reply.data()),
                                strnlen(reinterpret_cast<const char*>(reply.data()), reply.size()));
    const std::size_t key = text.find("COUNT=");
    if (key == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t begin = key + 6;
    const std::size_t end = text.find(';', begin);
    if (end == std::string_view::npos || end == begin) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text.substr(begin, end - begin)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value =
            std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 0xFFFFFFFFu);
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> DownloadServerLog(
    std::uint32_t maxNumber, const std::string& cookie, const std::function<bool()>& stopped,
    const LogSender& send, const std::function<void(std::uint32_t, std::int32_t)>& progress,
    ServerLogBuffer& buffer) {
    const auto report = [&progress](std::uint32_t command, std::int32_t argument) {
        if (progress) {
            progress(command, argument);
        }
    };
    const auto isStopped = [&stopped] { return stopped && stopped(); };

    std::array<std::uint8_t, kCountReplyBytes> countReply{};
    std::uint32_t length = 0;
    if (!send(LogTarget(cookie, "COUNT"), countReply, length)) {
        return kLogFailed;
    }
    const std::optional<std::uint32_t> count = ParseLogCount(
        std::span(countReply).first(std::min<std::size_t>(length, countReply.size())));
    if (!count) {
        return kLogFailed;
    }
    if (*count == 0) {
        return kLogEmpty;
    }
    const std::uint32_t n = std::min(*count, maxNumber);
    report(1, 0);
    report(2, static_cast<std::int32_t>(n));

    std::uint32_t received = 0;
    // A page is read whole, then as much of it kept as the buffer has room for.
    std::vector<std::uint8_t> page(kCommandReceiveBufferBytes);
    for (bool first = true;; first = false) {
        if (isStopped()) {
            report(4, 0);
            return std::nullopt;
        }
        std::uint32_t pageLength = 0;
        const bool sent = send(LogTarget(cookie, first ? "LAST" : "PRE"), page, pageLength);
        if (!sent) {
            report(4, 0);
            if (isStopped()) {
                return std::nullopt;
            }
            return kLogFailed;
        }
        if (isStopped()) {
            report(4, 0);
            return std::nullopt;
        }
        const std::uint32_t k =
            std::min<std::uint32_t>(pageLength, static_cast<std::uint32_t>(page.size())) /
            static_cast<std::uint32_t>(kServerLogRecordBytes);
        if (k == 0) {
            break;
        }
        const std::uint32_t kept = std::min(k, kMaxServerLogRecords - received);
        std::memcpy(
            buffer.bytes.data() + static_cast<std::size_t>(received) * kServerLogRecordBytes,
            page.data(), static_cast<std::size_t>(kept) * kServerLogRecordBytes);
        received += kept;
        buffer.count = received;
        if (k < kServerLogFullPage) {
            break;
        }
        report(3, static_cast<std::int32_t>(received));
        if (received >= kMaxServerLogRecords || received >= n) {
            break;
        }
    }
    buffer.count = std::min({buffer.count, kMaxServerLogRecords, n});
    report(4, 0);
    return kLogDownloaded;
}

void ServerLogDownload::SetSender(LogSender sender) {
    std::lock_guard lock(g_senderLock);
    g_sender = std::move(sender);
}

bool ServerLogDownload::Start(platform::WindowHandle window, std::uint32_t maxNumber,
                              std::function<void(const ServerLogBuffer&)> finished) {
    if (m_thread.Running()) {
        return false;
    }
    Stop();
    m_stop = false;
    *m_buffer = ServerLogBuffer{};
    const std::string cookie = g_szSessionCookie.Get();
    const LogSender send = CurrentSender();
    return m_thread.Start(
        [this, window, maxNumber, cookie, send, finished = std::move(finished)] {
            const std::optional<std::uint32_t> code = DownloadServerLog(
                maxNumber, cookie, [this] { return m_stop.load(); }, send,
                [](std::uint32_t command, std::int32_t argument) {
                    PostSheetProgress(command, argument);
                },
                *m_buffer);
            if (code) {
                if (finished) {
                    finished(*m_buffer);
                }
                platform::PostWindowMessage(window, WM_LOGDOWNLOADSTATE, *code, 0);
            }
            return 0u;
        },
        "GetLogThread");
}

void ServerLogDownload::Stop() {
    m_stop = true;
    m_thread.Stop(std::chrono::milliseconds(110));
}

// ---- the dialogs' texts

namespace {

struct EventText {
    std::uint32_t id;
    const char* text;
};

constexpr std::array<EventText, 15> kDvrEvents{{
    {0x1, "POWER ON"},
    {0x2, "VIDEO LOSS"},
    {0x4, "HDD FULL"},
    {0x8, "EMAIL FAILED"},
    {0x10, "FTP FAILED"},
    {0x20, "KEY LOCK"},
    {0x40, "KEY UNLOCK"},
    {0x80, "RESET DEFAULT"},
    {0x100, "REMOTE LOGIN"},
    {0x200, "HDD ERROR"},
    {0x400, "HDD DMA ERROR"},
    {0x800, "USB_ERROR"},
    {0x4000, "DDNS"},
    {0x8000, "PPPOE SUCCESS"},
    {0x10000, "DHCP SUCCESS"},
}};

constexpr std::array<EventText, 12> kVideoServerEvents{{
    {0x1, "POWER ON"},
    {0x2, "RESET DEFAULT"},
    {0x4, "ALARM"},
    {0x10, "REMOTE LOGIN"},
    {0x20, "REMOTE LOGOUT"},
    {0x100, "EMAIL SUCCESS"},
    {0x200, "FTP SUCCESS"},
    {0x1000, "PPPOE SUCCESS"},
    {0x10000, "EMAIL FAILED"},
    {0x20000, "FTP FAILED"},
    {0x40000, "SNTP FAILED"},
    {0x100000, "PPPOE FAILED"},
}};

constexpr std::array<LogFilterBox, 14> kDvrBoxes{{
    {1442, 0x1, "POWER ON"},
    {1443, 0x2, "VIDEO LOSS"},
    {1445, 0x4, "HDD FULL"},
    {1449, 0x8, "EMAIL FAILED"},
    {1450, 0x10, "FTP FAILED"},
    {1446, 0x20, "KEY LOCK"},
    {1447, 0x40, "KEY UNLOCK"},
    {1448, 0x80, "RESET DEFAULT"},
    {1444, 0x100, "REMOTE LOGIN"},
    {1451, 0x200, "HDD ERROR"},
    {1452, 0x400, "HDD DMA ERROR"},
    {1453, 0x4000, "DDNS"},
    {1454, 0x8000, "PPPOE"},
    {1455, 0x10000, "DHCP"},
}};

constexpr std::array<LogFilterBox, 11> kVideoServerBoxes{{
    {1442, 0x1, "POWER ON"},
    {1448, 0x2, "RESET DEFAULT"},
    {1462, 0x4, "ALARM"},
    {1444, 0x10, "REMOTE LOGIN"},
    {1445, 0x20, "REMOTE LOGOUT"},
    {1446, 0x100, "MAIL SUCCESS"},
    {1447, 0x200, "FTP_SUCCESS"},
    {1451, 0x1000, "PPPOE SUCCESS"},
    {1449, 0x10000, "MAIL FAILED"},
    {1450, 0x20000, "FTP FAILED"},
    {1452, 0x100000, "PPPOE FAILED"},
}};

std::string WithDetail(const char* event, const std::string& detail) {
    return std::string(event) + " ( " + detail + " )";
}

}  // namespace

std::uint32_t InitialEventMask(ServerLogFamily family) {
    return family == ServerLogFamily::kDvr ? 0x1CFFFu : 0x7F7F37u;
}

std::span<const LogFilterBox> LogFilterBoxes(ServerLogFamily family) {
    if (family == ServerLogFamily::kDvr) {
        return kDvrBoxes;
    }
    return kVideoServerBoxes;
}

std::string EventName(ServerLogFamily family, const ServerLogRecord& record) {
    const std::span<const EventText> table = family == ServerLogFamily::kDvr
                                                 ? std::span<const EventText>(kDvrEvents)
                                                 : std::span<const EventText>(kVideoServerEvents);
    const auto it = std::ranges::find(table, record.event_id, &EventText::id);
    if (it == table.end()) {
        return "NO EVENT";
    }
    if (family == ServerLogFamily::kDvr) {
        if (record.event_id == 0x100) {
            return WithDetail(it->text, record.detail);
        }
        if (record.event_id == 0x4000) {
            return record.ddns_ok != 0 ? "DDNS UPDATE SUCCESS" : "DDNS UPDATE FAIL";
        }
        return it->text;
    }
    if (record.event_id == 0x10 || record.event_id == 0x20) {
        return WithDetail(it->text, record.detail);
    }
    if (record.event_id == 0x4) {
        for (int bit = 0; bit < 8; ++bit) {
            if ((record.channel >> bit) & 1) {
                char text[16];
                std::snprintf(text, sizeof text, "ALARM (%.1d)", bit + 1);
                return text;
            }
        }
        return "ALARM";
    }
    return it->text;
}

bool ListedUnderMask(const ServerLogRecord& record, std::uint32_t mask) {
    return (record.event_id & mask) != 0 && record.event_id != kNeverListedEvent;
}

LogRowTexts LogRow(ServerLogFamily family, const ServerLogRecord& record, int row) {
    LogRowTexts texts;
    char number[16];
    std::snprintf(number, sizeof number, "%2d", row + 1);
    texts.number = number;
    texts.event = EventName(family, record);
    const auto& t = record.event_time;
    char time[40];
    std::snprintf(time, sizeof time, "%.2d-%.2d-%.2d %.2d:%.2d:%.2d", t[0], t[1], t[2], t[3], t[4],
                  t[5]);
    if (family == ServerLogFamily::kDvr) {
        texts.time = time;
        texts.channel = record.channel == 0 ? "NO" : std::to_string(record.channel);
    } else if ((record.event_id & 0x1) == 0) {
        texts.time = time;
    }
    return texts;
}

}  // namespace maintenance
