#pragma once

// The recorder's clock and recording settings, which travel as commands of
// their own: the readers of the "/GetDvrDate.cgi" and "/GetRecordSetting.cgi"
// replies, the rate table of the recording page, and the requests APPLY
// sends back ("/SetDvrDate.cgi", "/SetRecordSetting.cgi") with a change flag
// beside each value.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/net/cgi_command.h"

// ---- "/GetDvrDate.cgi" --------------------------------------------------------

// The values of the date reply; a key the reply lacks stays 0.
struct DvrDateValues {
    std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t format = 0;
    std::uint8_t daylightSaving = 0;
    std::uint8_t startWeek = 0, startWeekday = 0, startMonth = 0;
    std::uint8_t startHour = 0, startMinute = 0;
    std::uint8_t endWeek = 0, endWeekday = 0, endMonth = 0;
    std::uint8_t endHour = 0, endMinute = 0;
    std::uint8_t adjustHour = 0, adjustMinute = 0;
    bool operator==(const DvrDateValues&) const = default;
};

// Reads the items of a date reply into `values`. Keys match only where an
// item starts and when "=" follows them, so "DAY" is never taken from
// "DAYLIGHTSAVING". Numbers beyond a member's range saturate.
void ParseDvrDateReply(std::span<const std::uint8_t> reply, DvrDateValues& values);

// ---- "/GetRecordSetting.cgi" ---------------------------------------------------

// The thirteen values of the recording reply, in the reply's table order.
struct RecordSettingValues {
    std::uint8_t manual = 0, event = 0, timer = 0;
    std::uint8_t videoType = 0;  // 0 NTSC, 1 PAL
    std::uint8_t recMode = 0;    // 0 FRAME, 1 FIELD, 2 CIF
    std::uint8_t manualRateType = 0, motionRateType = 0, timerRateType = 0;
    std::uint8_t overwrite = 0;
    std::uint8_t quality = 0;  // 6 BEST, 8 HIGH, 10 NORMAL, 16 BASIC
    std::uint8_t recordFix = 0;
    std::uint8_t supportMode = 0;      // bit 0 FRAME, 1 FIELD, 2 CIF
    std::uint8_t supportIpsShare = 0;  // 3: the FIX / GROUP choice is offered
    bool operator==(const RecordSettingValues&) const = default;
};

void ParseRecordSettingReply(std::span<const std::uint8_t> reply, RecordSettingValues& values);

// Whether the page can show the reply: the record mode is a shift of 0 to 2
// and the video type a row 0 or 1 of the rate table.
bool RecordSettingUsable(const RecordSettingValues& values);

// The four rates (images per second) offered for a channel count, video
// type (0 NTSC, 1 PAL) and record mode (0 FRAME, 1 FIELD, 2 CIF): r, r / 2,
// r / 4, r / 8 with r = 30 or 25, times 4 for 16 channels and 2 for 8,
// doubled per record mode step. Nothing for a type or mode outside the table.
std::optional<std::array<int, 4>> IpsRates(int channels, int videoType, int recMode);

// The quality codes of the quality list's rows.
inline constexpr std::array<std::uint8_t, 4> kQualityCodes{6, 8, 10, 16};
// The row of a quality code; -1 for any other code.
int QualityIndexOf(std::uint8_t code);

// ---- the requests ----------------------------------------------------------------

// What the Date page shows when APPLY reads it: the date and time pickers,
// the lists' indexes and the three small time pickers.
struct DvrDateEdits {
    int year = 0, month = 0, day = 0;
    int dayOfWeek = 0;  // 0 Sunday
    int hour = 0, minute = 0, second = 0;
    int formatIndex = 0;
    std::uint8_t daylight = 0;
    int startWeekIndex = 0, startWeekdayIndex = 0, startMonthIndex = 0;
    int endWeekIndex = 0, endWeekdayIndex = 0, endMonthIndex = 0;
    int startHour = 0, startMinute = 0;
    int endHour = 0, endMinute = 0;
    int adjustHour = 0, adjustMinute = 0;
};

// The "/SetDvrDate.cgi" request target for the page's edits, or nothing
// when nothing changed. Changed date, time and daylight times are stored
// into `read` (they are what the device holds after the send); the format
// and the week, weekday and month values are not.
std::optional<std::string> BuildSetDvrDate(DvrDateValues& read, const DvrDateEdits& page,
                                           std::string_view cookie);

// What the Record Setting page holds when APPLY reads it.
struct RecordSettingEdits {
    std::uint8_t manual = 0, event = 0, timer = 0, overwrite = 0;
    std::uint8_t quality = 0;
    std::uint8_t recMode = 0;
    std::uint8_t recordFix = 0;
    int eventRateIndex = -1, manualRateIndex = -1, timerRateIndex = -1;
};

// The "/SetRecordSetting.cgi" request target: one change flag per setting,
// followed by the value when it changed; then the share setting, always. A
// rate list without a selection (-1) counts as unchanged.
std::string BuildSetRecordSetting(const RecordSettingValues& read, const RecordSettingEdits& page,
                                  std::string_view cookie);

// Sends one of the commands above without reply body (send and receive
// time-outs 15 s): 1 on success, 0 on failure.
int SendDvrSettingCommand(CgiCommand command, std::string_view target);

// Asks the device for the reply of "/GetDvrDate.cgi" or
// "/GetRecordSetting.cgi" (1,024-byte reply buffer, 15 s time-outs); nothing
// when the command failed.
std::optional<std::string> QueryDvrSetting(CgiCommand command);
