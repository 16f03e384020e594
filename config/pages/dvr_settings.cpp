#include "config/pages/dvr_settings.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"

namespace {

template <class T>
void Take(const ReplyItems& items, std::string_view key, T& member) {
    if (const auto value = items.Number(key)) {
        member = static_cast<T>(std::clamp<int>(*value, 0, std::numeric_limits<T>::max()));
    }
}

constexpr std::size_t kReplyBufferBytes = 1024;
constexpr std::uint16_t kTimeoutSeconds = 15;

}  // namespace

void ParseDvrDateReply(std::span<const std::uint8_t> reply, DvrDateValues& v) {
    const ReplyItems items(reply);
    Take(items, "YEAR", v.year);
    Take(items, "MONTH", v.month);
    Take(items, "DAY", v.day);
    Take(items, "HOUR", v.hour);
    Take(items, "MINUTE", v.minute);
    Take(items, "SECOND", v.second);
    Take(items, "FORMAT", v.format);
    Take(items, "DAYLIGHTSAVING", v.daylightSaving);
    Take(items, "STARTWEEKINDEX", v.startWeek);
    Take(items, "STARTDAYOFWEEK", v.startWeekday);
    Take(items, "STARTMONTH", v.startMonth);
    Take(items, "STARTHOUR", v.startHour);
    Take(items, "STARTMINUTE", v.startMinute);
    Take(items, "ENDWEEKINDEX", v.endWeek);
    Take(items, "ENDDAYOFWEEK", v.endWeekday);
    Take(items, "ENDMONTH", v.endMonth);
    Take(items, "ENDHOUR", v.endHour);
    Take(items, "ENDMINUTE", v.endMinute);
    Take(items, "ADJUSTHOUR", v.adjustHour);
    Take(items, "ADJUSTMINUTE", v.adjustMinute);
}

void ParseRecordSettingReply(std::span<const std::uint8_t> reply, RecordSettingValues& v) {
    const ReplyItems items(reply);
    Take(items, "MANUAL", v.manual);
    Take(items, "EVENT", v.event);
    Take(items, "TIMER", v.timer);
    Take(items, "VIDEOTYPE", v.videoType);
    Take(items, "RECMODE", v.recMode);
    Take(items, "MANUALRATETYPE", v.manualRateType);
    Take(items, "MOTIONRATETYPE", v.motionRateType);
    Take(items, "TIMERRATETYPE", v.timerRateType);
    Take(items, "OVERWRITE", v.overwrite);
    Take(items, "QUALITY", v.quality);
    Take(items, "RECORDFIX", v.recordFix);
    Take(items, "SUPPORTMODE", v.supportMode);
    Take(items, "SUPPORTIPSSHARE", v.supportIpsShare);
}

bool RecordSettingUsable(const RecordSettingValues& values) {
    return values.recMode <= 2 && values.videoType <= 1;
}

std::optional<std::array<int, 4>> IpsRates(int channels, int videoType, int recMode) {
    if (videoType < 0 || videoType > 1 || recMode < 0 || recMode > 2) {
        return std::nullopt;
    }
    int base = videoType == 0 ? 30 : 25;
    if (channels == 16) {
        base *= 4;
    } else if (channels == 8) {
        base *= 2;
    }
    const int r = base << recMode;
    return std::array<int, 4>{r, r / 2, r / 4, r / 8};
}

int QualityIndexOf(std::uint8_t code) {
    const auto* it = std::find(kQualityCodes.begin(), kQualityCodes.end(), code);
    return it == kQualityCodes.end() ? -1 : static_cast<int>(it - kQualityCodes.begin());
}

std::optional<std::string> BuildSetDvrDate(DvrDateValues& read, const DvrDateEdits& page,
                                           std::string_view cookie) {
    const auto u16 = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); };
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };

    bool chDate = false;
    if (u16(page.year) != read.year || u16(page.month) != read.month || u16(page.day) != read.day ||
        u16(page.hour) != read.hour || u16(page.minute) != read.minute ||
        u16(page.second) != read.second) {
        read.year = u16(page.year);
        read.month = u16(page.month);
        read.day = u16(page.day);
        read.hour = u16(page.hour);
        read.minute = u16(page.minute);
        read.second = u16(page.second);
        chDate = true;
    }
    const bool chFormat = page.formatIndex != read.format;
    const bool chDaylight = read.daylightSaving != page.daylight;
    bool chDaylightTime =
        read.startWeek != page.startWeekIndex || read.endWeek != page.endWeekIndex ||
        read.endWeekday != page.endWeekdayIndex || read.startWeekday != page.startWeekdayIndex ||
        read.endMonth != page.endMonthIndex || read.startMonth != page.startMonthIndex;
    const auto time = [&](int hour, int minute, std::uint8_t& readHour, std::uint8_t& readMinute) {
        if (u8(hour) != readHour || u8(minute) != readMinute) {
            readHour = u8(hour);
            readMinute = u8(minute);
            chDaylightTime = true;
        }
    };
    time(page.startHour, page.startMinute, read.startHour, read.startMinute);
    time(page.endHour, page.endMinute, read.endHour, read.endMinute);
    time(page.adjustHour, page.adjustMinute, read.adjustHour, read.adjustMinute);
    if (!chDate && !chFormat && !chDaylight && !chDaylightTime) {
        return std::nullopt;
    }

    CCgiUrl url(CgiCommand::kSetDvrDate);
    url.AddSessionCookie(cookie);
    url.AddParamInt("YEAR", read.year);
    url.AddParamInt("MONTH", read.month);
    url.AddParamInt("DAY", read.day);
    url.AddParamInt("DAYOFWEEK", page.dayOfWeek);
    url.AddParamInt("HOUR", read.hour);
    url.AddParamInt("MINUTE", read.minute);
    url.AddParamInt("SECOND", read.second);
    url.AddParamInt("FORMAT", page.formatIndex);
    url.AddParamInt("DAYLIGHTSAVING", page.daylight);
    url.AddParamInt("CHDATE", chDate ? 1 : 0);
    url.AddParamInt("CHFORMAT", chFormat ? 1 : 0);
    url.AddParamInt("CHDAYLIGHT", chDaylight ? 1 : 0);
    url.AddParamInt("CHDAYLIGHTTIME", chDaylightTime ? 1 : 0);
    url.AddParamInt("STARTWEEKINDEX", page.startWeekIndex);
    url.AddParamInt("STARTDAYOFWEEK", page.startWeekdayIndex);
    url.AddParamInt("STARTMONTH", page.startMonthIndex);
    url.AddParamInt("STARTHOUR", read.startHour);
    url.AddParamInt("STARTMINUTE", read.startMinute);
    url.AddParamInt("ENDWEEKINDEX", page.endWeekIndex);
    url.AddParamInt("ENDDAYOFWEEK", page.endWeekdayIndex);
    url.AddParamInt("ENDMONTH", page.endMonthIndex);
    url.AddParamInt("ENDHOUR", read.endHour);
    url.AddParamInt("ENDMINUTE", read.endMinute);
    url.AddParamInt("ADJUSTHOUR", read.adjustHour);
    url.AddParamInt("ADJUSTMINUTE", read.adjustMinute);
    return url.GetUrl();
}

std::string BuildSetRecordSetting(const RecordSettingValues& read, const RecordSettingEdits& page,
                                  std::string_view cookie) {
    CCgiUrl url(CgiCommand::kSetRecordSetting);
    url.AddSessionCookie(cookie);
    const auto pair = [&](std::string_view flag, std::string_view key, int working, int readValue) {
        if (working != readValue) {
            url.AddParamInt(flag, 1);
            url.AddParamInt(key, working);
        } else {
            url.AddParamInt(flag, 0);
        }
    };
    // A rate list left without a selection keeps the device's rate.
    const auto rate = [](int index, std::uint8_t readValue) {
        return index < 0 ? static_cast<int>(readValue) : index;
    };
    pair("CHMANUALREC", "MANUAL", page.manual, read.manual);
    pair("CHEVENTREC", "EVENT", page.event, read.event);
    pair("CHTIMERREC", "TIMER", page.timer, read.timer);
    pair("CHOV", "OVERWRITE", page.overwrite, read.overwrite);
    pair("CHQT", "QUALITY", page.quality, read.quality);
    pair("CHRECMODE", "RECMODE", page.recMode, read.recMode);
    pair("CHMOTIONRATE", "MOTIONRATETYPE", rate(page.eventRateIndex, read.motionRateType),
         read.motionRateType);
    pair("CHMANUALRATE", "MANUALRATETYPE", rate(page.manualRateIndex, read.manualRateType),
         read.manualRateType);
    pair("CHTIMERRATE", "TIMERRATETYPE", rate(page.timerRateIndex, read.timerRateType),
         read.timerRateType);
    url.AddParamInt("CHIPSSHARE", 1);
    url.AddParamInt("RECORDFIX", page.recordFix);
    return url.GetUrl();
}

int SendDvrSettingCommand(CgiCommand command, std::string_view target) {
    return TirelSendCommand(command, target, {}, nullptr, {}, nullptr, kTimeoutSeconds,
                            kTimeoutSeconds, 0);
}

std::optional<std::string> QueryDvrSetting(CgiCommand command) {
    CCgiUrl url(command);
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::vector<std::uint8_t> reply(kReplyBufferBytes);
    std::uint32_t length = 0;
    if (TirelSendCommand(command, url.GetUrlBuffer(), {}, nullptr, reply, &length, kTimeoutSeconds,
                         kTimeoutSeconds, 0) != 1) {
        return std::nullopt;
    }
    return std::string(reply.begin(), reply.begin() + std::min<std::size_t>(length, reply.size()));
}
