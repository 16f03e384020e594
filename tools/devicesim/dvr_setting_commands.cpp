#include "tools/devicesim/dvr_setting_commands.h"

#include <array>
#include <cstdint>

#include "tools/devicesim/device_model.h"

namespace devicesim {

namespace {

constexpr std::array<std::string_view, 4> kPaths{"/GetDvrDate.cgi", "/SetDvrDate.cgi",
                                                 "/GetRecordSetting.cgi", "/SetRecordSetting.cgi"};

Response Ok(std::string body = {}) {
    return Response{200, "OK", "text/plain", std::move(body)};
}

// A plain decimal parameter within [low, high]; nothing otherwise.
std::optional<int> Number(const HttpRequest& request, std::string_view name, int low, int high) {
    const auto text = request.Param(name);
    if (!text) {
        return std::nullopt;
    }
    const auto value = ParseDecimal(*text);
    if (!value || *value > static_cast<std::uint64_t>(high) || static_cast<int>(*value) < low) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::string Items(std::initializer_list<std::pair<std::string_view, int>> items) {
    std::string text;
    for (const auto& [key, value] : items) {
        text.append(key).append("=").append(std::to_string(value)).append(";");
    }
    return text;
}

std::string QueryText(const HttpRequest& request) {
    std::string text;
    for (const auto& [name, value] : request.query) {
        if (name == "Cookie") {
            continue;
        }
        text.append(text.empty() ? "" : "&").append(name).append("=").append(value);
    }
    return text;
}

// The settings each recorder leaves the factory with.
DvrRecordSetting RecordOf(std::string_view productId) {
    DvrRecordSetting record;
    if (productId == "Q8A5") {
        record.videoType = 1;  // a PAL recorder
        record.recMode = 0;
        record.quality = 6;
        record.recordFix = 0;
    } else if (productId == "Q8A3") {
        record.recMode = 0;
        record.supportMode = 3;  // FRAME and FIELD
        record.supportIpsShare = 0;
        record.quality = 10;
        record.timer = 1;
    }
    return record;
}

}  // namespace

DvrSettingCommands::DvrSettingCommands(std::string_view productId)
    : m_dvr(productId == "Q8A7" || productId == "Q8A5" || productId == "Q8A3"),
      m_record(RecordOf(productId)) {
    if (productId == "Q8A5") {
        m_date.format = 2;
        m_date.daylightSaving = 0;
    }
}

bool DvrSettingCommands::Handles(std::string_view path) {
    for (const auto known : kPaths) {
        if (known == path) {
            return true;
        }
    }
    return false;
}

std::optional<Response> DvrSettingCommands::Answer(const HttpRequest& request) {
    using Handler = Response (DvrSettingCommands::*)(const HttpRequest&);
    static constexpr std::array<Handler, kPaths.size()> kHandlers{
        &DvrSettingCommands::GetDate, &DvrSettingCommands::SetDvrDate,
        &DvrSettingCommands::GetRecord, &DvrSettingCommands::SetRecordSetting};
    for (std::size_t i = 0; i < kPaths.size(); ++i) {
        if (kPaths[i] == request.path) {
            if (!m_dvr) {
                return Response{404, "Not Found", "text/plain", {}};
            }
            return (this->*kHandlers[i])(request);
        }
    }
    return std::nullopt;
}

std::string DvrSettingCommands::DateReplyOf(const DvrDateSetting& d) {
    return Items({{"YEAR", d.year},
                  {"MONTH", d.month},
                  {"DAY", d.day},
                  {"HOUR", d.hour},
                  {"MINUTE", d.minute},
                  {"SECOND", d.second},
                  {"FORMAT", d.format},
                  {"DAYLIGHTSAVING", d.daylightSaving},
                  {"STARTWEEKINDEX", d.startWeekIndex},
                  {"STARTDAYOFWEEK", d.startDayOfWeek},
                  {"STARTMONTH", d.startMonth},
                  {"STARTHOUR", d.startHour},
                  {"STARTMINUTE", d.startMinute},
                  {"ENDWEEKINDEX", d.endWeekIndex},
                  {"ENDDAYOFWEEK", d.endDayOfWeek},
                  {"ENDMONTH", d.endMonth},
                  {"ENDHOUR", d.endHour},
                  {"ENDMINUTE", d.endMinute},
                  {"ADJUSTHOUR", d.adjustHour},
                  {"ADJUSTMINUTE", d.adjustMinute}});
}

std::string DvrSettingCommands::RecordReplyOf(const DvrRecordSetting& r) {
    // The longer keys come first, as the recorders send them.
    return Items({{"MANUALRATETYPE", r.manualRateType},
                  {"MOTIONRATETYPE", r.motionRateType},
                  {"TIMERRATETYPE", r.timerRateType},
                  {"MANUAL", r.manual},
                  {"EVENT", r.event},
                  {"TIMER", r.timer},
                  {"VIDEOTYPE", r.videoType},
                  {"RECMODE", r.recMode},
                  {"OVERWRITE", r.overwrite},
                  {"QUALITY", r.quality},
                  {"RECORDFIX", r.recordFix},
                  {"SUPPORTMODE", r.supportMode},
                  {"SUPPORTIPSSHARE", r.supportIpsShare}});
}

Response DvrSettingCommands::GetDate(const HttpRequest&) {
    std::lock_guard lock(m_mutex);
    return Ok(m_rawDate ? *m_rawDate : DateReplyOf(m_date));
}

Response DvrSettingCommands::GetRecord(const HttpRequest&) {
    std::lock_guard lock(m_mutex);
    return Ok(m_rawRecord ? *m_rawRecord : RecordReplyOf(m_record));
}

Response DvrSettingCommands::SetDvrDate(const HttpRequest& request) {
    {
        std::lock_guard lock(m_mutex);
        m_dateRequests.push_back(request.query);
    }
    Log("/SetDvrDate.cgi received: " + QueryText(request));
    const auto flag = [&](std::string_view name) { return Number(request, name, 0, 1) == 1; };
    struct Field {
        std::string_view name;
        int low, high;
        int DvrDateSetting::*member;
        std::string_view changeFlag;
    };
    static constexpr std::array<Field, 20> kFields{{
        {"YEAR", 2000, 2099, &DvrDateSetting::year, "CHDATE"},
        {"MONTH", 1, 12, &DvrDateSetting::month, "CHDATE"},
        {"DAY", 1, 31, &DvrDateSetting::day, "CHDATE"},
        {"HOUR", 0, 23, &DvrDateSetting::hour, "CHDATE"},
        {"MINUTE", 0, 59, &DvrDateSetting::minute, "CHDATE"},
        {"SECOND", 0, 59, &DvrDateSetting::second, "CHDATE"},
        {"FORMAT", 0, 2, &DvrDateSetting::format, "CHFORMAT"},
        {"DAYLIGHTSAVING", 0, 1, &DvrDateSetting::daylightSaving, "CHDAYLIGHT"},
        {"STARTWEEKINDEX", 0, 4, &DvrDateSetting::startWeekIndex, "CHDAYLIGHTTIME"},
        {"STARTDAYOFWEEK", 0, 6, &DvrDateSetting::startDayOfWeek, "CHDAYLIGHTTIME"},
        {"STARTMONTH", 0, 11, &DvrDateSetting::startMonth, "CHDAYLIGHTTIME"},
        {"STARTHOUR", 0, 23, &DvrDateSetting::startHour, "CHDAYLIGHTTIME"},
        {"STARTMINUTE", 0, 59, &DvrDateSetting::startMinute, "CHDAYLIGHTTIME"},
        {"ENDWEEKINDEX", 0, 4, &DvrDateSetting::endWeekIndex, "CHDAYLIGHTTIME"},
        {"ENDDAYOFWEEK", 0, 6, &DvrDateSetting::endDayOfWeek, "CHDAYLIGHTTIME"},
        {"ENDMONTH", 0, 11, &DvrDateSetting::endMonth, "CHDAYLIGHTTIME"},
        {"ENDHOUR", 0, 23, &DvrDateSetting::endHour, "CHDAYLIGHTTIME"},
        {"ENDMINUTE", 0, 59, &DvrDateSetting::endMinute, "CHDAYLIGHTTIME"},
        {"ADJUSTHOUR", 0, 23, &DvrDateSetting::adjustHour, "CHDAYLIGHTTIME"},
        {"ADJUSTMINUTE", 0, 59, &DvrDateSetting::adjustMinute, "CHDAYLIGHTTIME"},
    }};
    DvrDateSetting next = Date();
    for (const Field& field : kFields) {
        if (!flag(field.changeFlag)) {
            continue;
        }
        const auto value = Number(request, field.name, field.low, field.high);
        if (!value) {
            Log("refused /SetDvrDate.cgi: " + std::string(field.name) + " missing or out of range");
            return Response{400, "Bad Request", "text/plain", {}};
        }
        next.*field.member = *value;
    }
    SetDate(next);
    return Ok();
}

Response DvrSettingCommands::SetRecordSetting(const HttpRequest& request) {
    {
        std::lock_guard lock(m_mutex);
        m_recordRequests.push_back(request.query);
    }
    Log("/SetRecordSetting.cgi received: " + QueryText(request));
    struct Field {
        std::string_view changeFlag;
        std::string_view name;
        int low, high;
        int DvrRecordSetting::*member;
    };
    static constexpr std::array<Field, 9> kFields{{
        {"CHMANUALREC", "MANUAL", 0, 1, &DvrRecordSetting::manual},
        {"CHEVENTREC", "EVENT", 0, 1, &DvrRecordSetting::event},
        {"CHTIMERREC", "TIMER", 0, 1, &DvrRecordSetting::timer},
        {"CHOV", "OVERWRITE", 0, 1, &DvrRecordSetting::overwrite},
        {"CHQT", "QUALITY", 0, 255, &DvrRecordSetting::quality},
        {"CHRECMODE", "RECMODE", 0, 2, &DvrRecordSetting::recMode},
        {"CHMOTIONRATE", "MOTIONRATETYPE", 0, 3, &DvrRecordSetting::motionRateType},
        {"CHMANUALRATE", "MANUALRATETYPE", 0, 3, &DvrRecordSetting::manualRateType},
        {"CHTIMERRATE", "TIMERRATETYPE", 0, 3, &DvrRecordSetting::timerRateType},
    }};
    DvrRecordSetting next = Record();
    for (const Field& field : kFields) {
        if (Number(request, field.changeFlag, 0, 1) != 1) {
            continue;
        }
        const auto value = Number(request, field.name, field.low, field.high);
        if (!value) {
            Log("refused /SetRecordSetting.cgi: " + std::string(field.name) +
                " missing or out of range");
            return Response{400, "Bad Request", "text/plain", {}};
        }
        next.*field.member = *value;
    }
    if (Number(request, "CHIPSSHARE", 0, 1) == 1) {
        if (const auto fix = Number(request, "RECORDFIX", 0, 255)) {
            next.recordFix = *fix != 0 ? 1 : 0;
        }
    }
    SetRecord(next);
    return Ok();
}

void DvrSettingCommands::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

void DvrSettingCommands::Log(std::string_view text) const {
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
    }
    if (logger) {
        logger(text);
    }
}

void DvrSettingCommands::SetDate(const DvrDateSetting& date) {
    std::lock_guard lock(m_mutex);
    m_date = date;
}
DvrDateSetting DvrSettingCommands::Date() const {
    std::lock_guard lock(m_mutex);
    return m_date;
}
void DvrSettingCommands::SetRecord(const DvrRecordSetting& record) {
    std::lock_guard lock(m_mutex);
    m_record = record;
}
DvrRecordSetting DvrSettingCommands::Record() const {
    std::lock_guard lock(m_mutex);
    return m_record;
}
void DvrSettingCommands::SetRawDateReply(std::optional<std::string> body) {
    std::lock_guard lock(m_mutex);
    m_rawDate = std::move(body);
}
void DvrSettingCommands::SetRawRecordReply(std::optional<std::string> body) {
    std::lock_guard lock(m_mutex);
    m_rawRecord = std::move(body);
}
std::vector<NameValueList> DvrSettingCommands::DateRequests() const {
    std::lock_guard lock(m_mutex);
    return m_dateRequests;
}
std::vector<NameValueList> DvrSettingCommands::RecordRequests() const {
    std::lock_guard lock(m_mutex);
    return m_recordRequests;
}

}  // namespace devicesim
