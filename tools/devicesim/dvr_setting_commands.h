#pragma once

// The recorder's clock and recording settings, which travel as commands of
// their own rather than as configuration sections: "/GetDvrDate.cgi",
// "/SetDvrDate.cgi", "/GetRecordSetting.cgi" and "/SetRecordSetting.cgi".
// Only the DVR family (Q8A7, Q8A5, Q8A3) answers them. Each set request is
// kept and logged as it arrived; a value is taken only where its change flag
// is 1. Thread-safe; the device model routes these paths here once the
// session is checked.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/http_request.h"

namespace devicesim {

struct Response;

// The clock, date format and daylight-saving rule a recorder reports.
struct DvrDateSetting {
    int year = 2026, month = 3, day = 14, hour = 9, minute = 41, second = 27;
    int format = 0;  // 0 Y-M-D, 1 M-D-Y, 2 D-M-Y
    int daylightSaving = 1;
    int startWeekIndex = 1, startDayOfWeek = 0, startMonth = 2, startHour = 2, startMinute = 0;
    int endWeekIndex = 0, endDayOfWeek = 0, endMonth = 10, endHour = 2, endMinute = 0;
    int adjustHour = 1, adjustMinute = 0;
};

// The recording settings a recorder reports.
struct DvrRecordSetting {
    int manual = 1, event = 1, timer = 0;
    int videoType = 0;  // 0 NTSC, 1 PAL
    int recMode = 1;    // 0 FRAME, 1 FIELD, 2 CIF
    int manualRateType = 0, motionRateType = 1, timerRateType = 2;
    int overwrite = 1;
    int quality = 8;  // 6 BEST, 8 HIGH, 10 NORMAL, 16 BASIC
    int recordFix = 1;
    int supportMode = 7;  // bit 0 FRAME, 1 FIELD, 2 CIF
    int supportIpsShare = 3;
};

class DvrSettingCommands {
public:
    // A recorder of the DVR family gets its family's settings; any other
    // product answers none of the paths (404).
    explicit DvrSettingCommands(std::string_view productId);

    static bool Handles(std::string_view path);
    // The reply for one of the paths above; nullopt for any other path.
    std::optional<Response> Answer(const HttpRequest& request);

    void SetLogger(std::function<void(std::string_view)> logger);

    // Set-up and inspection for tests. A raw reply, when set, is sent as the
    // body of the get command instead of the settings.
    void SetDate(const DvrDateSetting& date);
    DvrDateSetting Date() const;
    void SetRecord(const DvrRecordSetting& record);
    DvrRecordSetting Record() const;
    void SetRawDateReply(std::optional<std::string> body);
    void SetRawRecordReply(std::optional<std::string> body);
    // The query of every set request, in arrival order.
    std::vector<NameValueList> DateRequests() const;
    std::vector<NameValueList> RecordRequests() const;

    static std::string DateReplyOf(const DvrDateSetting& date);
    static std::string RecordReplyOf(const DvrRecordSetting& record);

private:
    Response GetDate(const HttpRequest& request);
    Response SetDvrDate(const HttpRequest& request);
    Response GetRecord(const HttpRequest& request);
    Response SetRecordSetting(const HttpRequest& request);
    void Log(std::string_view text) const;

    const bool m_dvr;
    mutable std::mutex m_mutex;
    DvrDateSetting m_date;
    DvrRecordSetting m_record;
    std::optional<std::string> m_rawDate;
    std::optional<std::string> m_rawRecord;
    std::vector<NameValueList> m_dateRequests;
    std::vector<NameValueList> m_recordRequests;
    std::function<void(std::string_view)> m_logger;
};

}  // namespace devicesim
