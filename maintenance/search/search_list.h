#pragma once

// The recorded-event lists of a recorder's disks: the "/GetSearchList.cgi"
// reply pages, the record kinds and their texts, the list filters, and the
// search that reads the pages newest first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace maintenance {

inline constexpr std::size_t kSearchListReplyBytes = 2048;
inline constexpr std::size_t kSearchListHeaderBytes = 4;
inline constexpr std::size_t kSearchListRecordBytes = 16;
inline constexpr std::uint32_t kMaxSearchListNumber = 2048;
// A reply with fewer records than this was the last page.
inline constexpr std::size_t kSearchListFullPage = 10;

struct SearchListRecord {
    std::uint8_t event_type = 0;
    std::array<std::uint8_t, 6> rec_time{};  // year - 2000, month, day, hour, minute, second
};

// The records of one reply: min(wBuffeSize, bytes received - 4) / 16 of
// them, so bytes the device did not send are never taken for records.
std::vector<SearchListRecord> ParseSearchListReply(std::span<const std::uint8_t> reply);

enum class RecordKind { kAlarm, kMotion, kTimer, kManual, kSystem, kNone };
RecordKind KindOfEvent(std::uint8_t eventType);

// The "TYPE" parameter of a list type; none for 5 and above.
std::optional<int> ListTypeParameter(int listType);
std::string_view ListTitle(int listType);

struct RecordFilters {
    bool alarm = false;
    bool manual = false;
    bool motion = false;
    bool system = false;
};
RecordFilters FiltersForListType(int listType);
bool ShownUnderFilters(const SearchListRecord& record, const RecordFilters& filters);

struct RecordRowTexts {
    std::string event;
    std::string channel;
    std::string time;
};
// A record whose time is no date of the calendar (a month 13, a day 31 of
// a 30-day month, an hour 24...) shows kUnknownRecordTime as its time. The
// record stays listed and its bytes go to the backup page as received, since
// they are the device's own key for the recording.
RecordRowTexts RowTexts(const SearchListRecord& record);
inline constexpr std::string_view kUnknownRecordTime = "unknown";
bool RecordTimeValid(const std::array<std::uint8_t, 6>& recTime);

// The position in `records` of the (row + 1)-th shown record; 0 when none.
std::size_t RowToRecord(std::span<const SearchListRecord> records, const RecordFilters& filters,
                        std::size_t row);

// The 12-byte request that hands a record to the backup page.
using PendingDownloadBytes = std::array<std::uint8_t, 12>;
PendingDownloadBytes MakePendingDownloadRequest(const SearchListRecord& record,
                                                std::uint8_t hddSelection);

// The one pending request, handed from the record list to the backup page.
void PostPendingDownloadRequest(const PendingDownloadBytes& request);
// The pending request, zeroed as it is taken; nothing when none is pending.
std::optional<PendingDownloadBytes> TakePendingDownloadRequest();
void ClearPendingDownloadRequest();

// "Search List Max Number" as typed or stored: its digits as a saturating
// number, at most kMaxSearchListNumber; nothing when there is no digit.
std::optional<std::uint32_t> ParseMaxListNumber(std::string_view text);

// One request of the search; fills `reply` and its length, false on failure.
using SearchListSender = std::function<bool(const std::string& target,
                                            std::span<std::uint8_t> reply, std::uint32_t& length)>;
using ProgressSink = std::function<void(std::uint32_t command, std::int32_t argument)>;

struct EventSearchQuery {
    std::string cookie;
    int hddNumber = 0;
    int listType = 0;
    std::uint32_t maxNumber = 0;
};

struct EventSearchResult {
    bool sendFailed = false;
    std::vector<SearchListRecord> records;
};

// The request target of one page.
std::string SearchListTarget(const EventSearchQuery& query, bool first);

// Reads pages until the max number is reached or a page is short. `pause`
// is the wait after a short page.
EventSearchResult RunEventSearch(const EventSearchQuery& query, const SearchListSender& send,
                                 const ProgressSink& progress,
                                 const std::function<void()>& pause = {});

}  // namespace maintenance
