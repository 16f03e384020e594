#include "maintenance/search/search_list.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "core/net/cgi_command.h"
#include "platform/byte_order.h"

namespace maintenance {

std::vector<SearchListRecord> ParseSearchListReply(std::span<const std::uint8_t> reply) {
    std::vector<SearchListRecord> records;
    reply = reply.first(std::min(reply.size(), kSearchListReplyBytes));
    if (reply.size() < kSearchListHeaderBytes) {
        return records;
    }
    const std::size_t announced = platform::LoadLe16(reply, 2);
    const std::size_t present = std::min(announced, reply.size() - kSearchListHeaderBytes);
    const std::size_t count = present / kSearchListRecordBytes;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto bytes = reply.subspan(kSearchListHeaderBytes + i * kSearchListRecordBytes,
                                         kSearchListRecordBytes);
        SearchListRecord record;
        record.event_type = bytes[7];
        std::copy_n(bytes.begin() + 8, record.rec_time.size(), record.rec_time.begin());
        records.push_back(record);
    }
    return records;
}

RecordKind KindOfEvent(std::uint8_t eventType) {
    if (eventType <= 15) {
        return RecordKind::kAlarm;
    }
    if (eventType <= 31) {
        return RecordKind::kMotion;
    }
    switch (eventType) {
        case 32:
            return RecordKind::kTimer;
        case 48:
            return RecordKind::kManual;
        case 240:
            return RecordKind::kSystem;
        default:
            return RecordKind::kNone;
    }
}

namespace {

struct ListTypeRow {
    int parameter;
    std::string_view title;
    RecordFilters filters;
};

constexpr std::array<ListTypeRow, 5> kListTypes{{
    {8, "Full Record List", {true, true, true, true}},
    {3, "Manual Record List", {false, true, false, false}},
    {15, "System Record List", {false, false, false, true}},
    {0, "Alarm Record List", {true, false, false, false}},
    {1, "Motion Record List", {false, false, true, false}},
}};

}  // namespace

std::optional<int> ListTypeParameter(int listType) {
    if (listType < 0 || listType >= static_cast<int>(kListTypes.size())) {
        return std::nullopt;
    }
    return kListTypes[static_cast<std::size_t>(listType)].parameter;
}

std::string_view ListTitle(int listType) {
    if (listType >= 0 && listType < static_cast<int>(kListTypes.size())) {
        return kListTypes[static_cast<std::size_t>(listType)].title;
    }
    return listType == 5 ? "Timer Record List" : "";
}

RecordFilters FiltersForListType(int listType) {
    if (listType >= 0 && listType < static_cast<int>(kListTypes.size())) {
        return kListTypes[static_cast<std::size_t>(listType)].filters;
    }
    return {};
}

bool ShownUnderFilters(const SearchListRecord& record, const RecordFilters& filters) {
    switch (KindOfEvent(record.event_type)) {
        case RecordKind::kAlarm:
            return filters.alarm;
        case RecordKind::kMotion:
            return filters.motion;
        case RecordKind::kManual:
            return filters.manual;
        case RecordKind::kSystem:
            return filters.system;
        case RecordKind::kTimer:
            return filters.alarm && filters.manual && filters.motion && filters.system;
        case RecordKind::kNone:
            break;
    }
    return false;
}

RecordRowTexts RowTexts(const SearchListRecord& record) {
    RecordRowTexts texts;
    char channel[16];
    std::snprintf(channel, sizeof channel, "%2d", (record.event_type & 0xF) + 1);
    switch (KindOfEvent(record.event_type)) {
        case RecordKind::kAlarm:
            texts = {"ALARM", channel, {}};
            break;
        case RecordKind::kMotion:
            texts = {"MOTION", channel, {}};
            break;
        case RecordKind::kTimer:
            texts = {"TIMER", "ALL", {}};
            break;
        case RecordKind::kManual:
            texts = {"MANUAL", "ALL", {}};
            break;
        case RecordKind::kSystem:
            texts = {"SYSTEM", "ALL", {}};
            break;
        case RecordKind::kNone:
            break;
    }
    if (!RecordTimeValid(record.rec_time)) {
        texts.time = kUnknownRecordTime;
        return texts;
    }
    const auto& t = record.rec_time;
    char time[48];
    std::snprintf(time, sizeof time, "%.4d-%.2d-%.2d  %.2d:%.2d:%.2d", t[0] + 2000, t[1], t[2],
                  t[3], t[4], t[5]);
    texts.time = time;
    return texts;
}

bool RecordTimeValid(const std::array<std::uint8_t, 6>& recTime) {
    // Every year byte names a real year (2000 to 2255); the rest must be a
    // day of the calendar and a time of that day.
    const std::chrono::year_month_day date{std::chrono::year{recTime[0] + 2000},
                                           std::chrono::month{recTime[1]},
                                           std::chrono::day{recTime[2]}};
    return date.ok() && recTime[3] < 24 && recTime[4] < 60 && recTime[5] < 60;
}

std::size_t RowToRecord(std::span<const SearchListRecord> records, const RecordFilters& filters,
                        std::size_t row) {
    std::size_t shown = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (ShownUnderFilters(records[i], filters)) {
            if (shown == row) {
                return i;
            }
            ++shown;
        }
    }
    return 0;
}

PendingDownloadBytes MakePendingDownloadRequest(const SearchListRecord& record,
                                                std::uint8_t hddSelection) {
    PendingDownloadBytes bytes{};
    const std::uint8_t type = record.event_type;
    switch (KindOfEvent(type)) {
        case RecordKind::kMotion:
            bytes[1] = 1;
            break;
        case RecordKind::kManual:
            bytes[1] = 3;
            break;
        case RecordKind::kSystem:
            bytes[1] = 15;
            break;
        default:
            bytes[1] = 0;
            break;
    }
    std::copy(record.rec_time.begin(), record.rec_time.end(), bytes.begin() + 2);
    bytes[8] = hddSelection;
    bytes[9] = type <= 31 ? static_cast<std::uint8_t>((type & 0xF) + 1) : 0;
    bytes[0] = 1;
    return bytes;
}

namespace {

std::mutex g_pendingLock;
PendingDownloadBytes g_pending{};

}  // namespace

void PostPendingDownloadRequest(const PendingDownloadBytes& request) {
    std::lock_guard lock(g_pendingLock);
    g_pending = request;
}

std::optional<PendingDownloadBytes> TakePendingDownloadRequest() {
    std::lock_guard lock(g_pendingLock);
    if (g_pending[0] == 0) {
        return std::nullopt;
    }
    const PendingDownloadBytes taken = g_pending;
    g_pending = {};
    return taken;
}

void ClearPendingDownloadRequest() {
    std::lock_guard lock(g_pendingLock);
    g_pending = {};
}

std::optional<std::uint32_t> ParseMaxListNumber(std::string_view text) {
    std::uint64_t value = 0;
    bool digits = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'),
                                            kMaxSearchListNumber);
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string SearchListTarget(const EventSearchQuery& query, bool first) {
    CCgiUrl url(CgiCommand::kGetSearchList);
    url.AddSessionCookie(query.cookie);
    url.AddParam("STATE", first ? "LAST" : "PREV");
    url.AddParamInt("HDD", query.hddNumber);
    if (const std::optional<int> type = ListTypeParameter(query.listType)) {
        url.AddParamInt("TYPE", *type);
    }
    return url.GetUrl();
}

EventSearchResult RunEventSearch(const EventSearchQuery& query, const SearchListSender& send,
                                 const ProgressSink& progress, const std::function<void()>& pause) {
    const auto report = [&progress](std::uint32_t command, std::int32_t argument) {
        if (progress) {
            progress(command, argument);
        }
    };
    const std::uint32_t maxNumber = std::min(query.maxNumber, kMaxSearchListNumber);
    EventSearchResult result;
    report(1, 0);
    report(2, static_cast<std::int32_t>(maxNumber));
    while (result.records.size() < maxNumber) {
        std::array<std::uint8_t, kSearchListReplyBytes> reply{};
        std::uint32_t length = 0;
        if (!send(SearchListTarget(query, result.records.empty()), reply, length)) {
            report(4, 0);
            result.sendFailed = true;
            return result;
        }
        const std::vector<SearchListRecord> page = ParseSearchListReply(
            std::span(reply).first(std::min<std::size_t>(length, reply.size())));
        for (const SearchListRecord& record : page) {
            if (result.records.size() >= maxNumber) {
                break;
            }
            result.records.push_back(record);
        }
        if (!page.empty()) {
            report(3, static_cast<std::int32_t>(result.records.size()));
        }
        if (page.size() < kSearchListFullPage) {
            if (pause) {
                pause();
            }
            break;
        }
    }
    report(4, 0);
    return result;
}

}  // namespace maintenance
