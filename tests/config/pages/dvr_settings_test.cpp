// The readers of the recorder's date and recording replies, the rate table
// and the two set requests built from the pages' values.

#include "config/pages/dvr_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

DvrDateValues Date(const std::string& reply) {
    DvrDateValues values;
    ParseDvrDateReply(Bytes(reply), values);
    return values;
}

RecordSettingValues Record(const std::string& reply) {
    RecordSettingValues values;
    ParseRecordSettingReply(Bytes(reply), values);
    return values;
}

// ---- reply items: a key matches only at an item's start and before "=" ----------

struct DateMatchCase {
    const char* name;
    std::string reply;
    int day, hour, month, daylight;
};

class DateItemMatching : public ::testing::TestWithParam<DateMatchCase> {};

TEST_P(DateItemMatching, KeysMatchWholeItemsOnly) {
    const auto& c = GetParam();
    const DvrDateValues v = Date(c.reply);
    EXPECT_EQ(v.day, c.day);
    EXPECT_EQ(v.hour, c.hour);
    EXPECT_EQ(v.month, c.month);
    EXPECT_EQ(v.daylightSaving, c.daylight);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DateItemMatching,
    ::testing::Values(
        DateMatchCase{"DaylightBeforeDay", "DAYLIGHTSAVING=1;DAY=9;", 9, 0, 0, 1},
        DateMatchCase{"DaylightWithoutDay", "DAYLIGHTSAVING=1;", 0, 0, 0, 1},
        DateMatchCase{"LongerKeysFirst", "STARTHOUR=2;STARTMONTH=5;HOUR=14;MONTH=3;", 0, 14, 3, 0},
        DateMatchCase{"OnlyLongerKeys", "STARTHOUR=2;ENDMONTH=10;", 0, 0, 0, 0},
        DateMatchCase{"KeyWithoutEquals", "DAY;DAY=4;", 4, 0, 0, 0},
        DateMatchCase{"SpacesAfterSemicolon", "YEAR=2007; DAY=12;\r\nHOUR=7;", 12, 7, 0, 0},
        DateMatchCase{"KeyInsideValue", "X=DAY=5;", 0, 0, 0, 0},
        DateMatchCase{"Empty", "", 0, 0, 0, 0}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(DvrDateReply, ReadsEveryKeyAndSaturates) {
    const DvrDateValues v = Date(
        "YEAR=2007;MONTH=3;DAY=9;HOUR=14;MINUTE=5;SECOND=0;FORMAT=2;DAYLIGHTSAVING=1;"
        "STARTWEEKINDEX=1;STARTDAYOFWEEK=0;STARTMONTH=2;STARTHOUR=2;STARTMINUTE=30;"
        "ENDWEEKINDEX=4;ENDDAYOFWEEK=6;ENDMONTH=10;ENDHOUR=3;ENDMINUTE=15;ADJUSTHOUR=1;"
        "ADJUSTMINUTE=45;");
    EXPECT_EQ(v,
              (DvrDateValues{2007, 3, 9, 14, 5, 0, 2, 1, 1, 0, 2, 2, 30, 4, 6, 10, 3, 15, 1, 45}));
    // Beyond a member's range the value saturates; a negative one reads 0.
    const DvrDateValues big = Date("YEAR=70000;FORMAT=300;DAY=-4;");
    EXPECT_EQ(big.year, 65535);
    EXPECT_EQ(big.format, 255);
    EXPECT_EQ(big.day, 0);
    // A missing key leaves its member as it was.
    DvrDateValues kept;
    kept.format = 2;
    ParseDvrDateReply(Bytes("YEAR=2010;"), kept);
    EXPECT_EQ(kept.format, 2);
    EXPECT_EQ(kept.year, 2010);
}

TEST(RecordSettingReply, RateKeysDoNotFeedTheShortKeys) {
    const RecordSettingValues v = Record(
        "MANUALRATETYPE=2;MOTIONRATETYPE=3;TIMERRATETYPE=1;MANUAL=0;EVENT=1;TIMER=1;"
        "VIDEOTYPE=1;RECMODE=2;OVERWRITE=1;QUALITY=10;RECORDFIX=0;SUPPORTMODE=3;"
        "SUPPORTIPSSHARE=3;");
    EXPECT_EQ(v, (RecordSettingValues{0, 1, 1, 1, 2, 2, 3, 1, 1, 10, 0, 3, 3}));
    const RecordSettingValues onlyRates = Record("MANUALRATETYPE=2;TIMERRATETYPE=3;");
    EXPECT_EQ(onlyRates.manual, 0);
    EXPECT_EQ(onlyRates.timer, 0);
    EXPECT_EQ(onlyRates.manualRateType, 2);
}

TEST(RecordSettingReply, UsableOnlyWithKnownModeAndType) {
    struct Case {
        int recMode, videoType;
        bool usable;
    };
    for (const Case c : {Case{0, 0, true}, Case{2, 1, true}, Case{3, 0, false}, Case{255, 0, false},
                         Case{0, 2, false}}) {
        RecordSettingValues v;
        v.recMode = static_cast<std::uint8_t>(c.recMode);
        v.videoType = static_cast<std::uint8_t>(c.videoType);
        EXPECT_EQ(RecordSettingUsable(v), c.usable) << c.recMode << " " << c.videoType;
    }
}

// ---- rate table -------------------------------------------------------------

TEST(IpsTable, RatesByChannelsTypeAndMode) {
    struct Case {
        int channels, videoType, recMode;
        std::array<int, 4> rates;
    };
    for (const Case& c : {Case{16, 0, 0, {120, 60, 30, 15}}, Case{8, 1, 2, {200, 100, 50, 25}},
                          Case{4, 1, 0, {25, 12, 6, 3}}, Case{8, 0, 1, {120, 60, 30, 15}},
                          Case{8, 0, 2, {240, 120, 60, 30}}, Case{0, 0, 0, {30, 15, 7, 3}},
                          Case{16, 1, 2, {400, 200, 100, 50}}}) {
        EXPECT_EQ(IpsRates(c.channels, c.videoType, c.recMode), c.rates) << c.channels;
    }
    EXPECT_FALSE(IpsRates(16, 2, 0));
    EXPECT_FALSE(IpsRates(16, 0, 3));
    EXPECT_FALSE(IpsRates(16, 0, -1));
}

TEST(IpsTable, QualityRows) {
    EXPECT_EQ(QualityIndexOf(6), 0);
    EXPECT_EQ(QualityIndexOf(16), 3);
    EXPECT_EQ(QualityIndexOf(12), -1);
}

// ---- "/SetDvrDate.cgi" -----------------------------------------------------------

DvrDateValues DeviceDate() {
    return DvrDateValues{2007, 3, 9, 14, 5, 0, 2, 1, 1, 0, 2, 2, 0, 0, 0, 10, 2, 0, 1, 0};
}

// The page as it shows the device's values: 9 March 2007 was a Friday.
DvrDateEdits Unchanged() {
    DvrDateEdits e;
    e.year = 2007;
    e.month = 3;
    e.day = 9;
    e.dayOfWeek = 5;
    e.hour = 14;
    e.minute = 5;
    e.formatIndex = 2;
    e.daylight = 1;
    e.startWeekIndex = 1;
    e.startMonthIndex = 2;
    e.startHour = 2;
    e.endMonthIndex = 10;
    e.endHour = 2;
    e.adjustHour = 1;
    return e;
}

struct DateSaveCase {
    const char* name;
    void (*edit)(DvrDateEdits&);
    const char* target;  // empty: nothing is sent
};

class DateSave : public ::testing::TestWithParam<DateSaveCase> {};

TEST_P(DateSave, EditsGiveTheRequest) {
    DvrDateValues read = DeviceDate();
    DvrDateEdits page = Unchanged();
    GetParam().edit(page);
    const auto target = BuildSetDvrDate(read, page, "c00k1e");
    if (std::string(GetParam().target).empty()) {
        EXPECT_FALSE(target.has_value());
    } else {
        ASSERT_TRUE(target.has_value());
        EXPECT_EQ(*target, GetParam().target);
    }
}

constexpr const char* kTail =
    "&STARTWEEKINDEX=1&STARTDAYOFWEEK=0&STARTMONTH=2&STARTHOUR=2&STARTMINUTE=0&ENDWEEKINDEX=0"
    "&ENDDAYOFWEEK=0&ENDMONTH=10&ENDHOUR=2&ENDMINUTE=0&ADJUSTHOUR=1&ADJUSTMINUTE=0";

const std::string kFormatOnly =
    std::string(
        "/SetDvrDate.cgi?Cookie=c00k1e&YEAR=2007&MONTH=3&DAY=9&DAYOFWEEK=5&HOUR=14"
        "&MINUTE=5&SECOND=0&FORMAT=1&DAYLIGHTSAVING=1&CHDATE=0&CHFORMAT=1&CHDAYLIGHT=0"
        "&CHDAYLIGHTTIME=0") +
    kTail;
const std::string kNewDate =
    std::string(
        "/SetDvrDate.cgi?Cookie=c00k1e&YEAR=2008&MONTH=2&DAY=29&DAYOFWEEK=5&HOUR=14"
        "&MINUTE=5&SECOND=0&FORMAT=2&DAYLIGHTSAVING=1&CHDATE=1&CHFORMAT=0&CHDAYLIGHT=0"
        "&CHDAYLIGHTTIME=0") +
    kTail;
const std::string kDaylightOff =
    std::string(
        "/SetDvrDate.cgi?Cookie=c00k1e&YEAR=2007&MONTH=3&DAY=9&DAYOFWEEK=5&HOUR=14"
        "&MINUTE=5&SECOND=0&FORMAT=2&DAYLIGHTSAVING=0&CHDATE=0&CHFORMAT=0&CHDAYLIGHT=1"
        "&CHDAYLIGHTTIME=0") +
    kTail;
const std::string kAdjust =
    "/SetDvrDate.cgi?Cookie=c00k1e&YEAR=2007&MONTH=3&DAY=9&DAYOFWEEK=5&HOUR=14&MINUTE=5"
    "&SECOND=0&FORMAT=2&DAYLIGHTSAVING=1&CHDATE=0&CHFORMAT=0&CHDAYLIGHT=0&CHDAYLIGHTTIME=1"
    "&STARTWEEKINDEX=1&STARTDAYOFWEEK=0&STARTMONTH=2&STARTHOUR=2&STARTMINUTE=0&ENDWEEKINDEX=0"
    "&ENDDAYOFWEEK=0&ENDMONTH=10&ENDHOUR=2&ENDMINUTE=0&ADJUSTHOUR=0&ADJUSTMINUTE=30";
const std::string kEndWeek =
    "/SetDvrDate.cgi?Cookie=c00k1e&YEAR=2007&MONTH=3&DAY=9&DAYOFWEEK=5&HOUR=14&MINUTE=5"
    "&SECOND=0&FORMAT=2&DAYLIGHTSAVING=1&CHDATE=0&CHFORMAT=0&CHDAYLIGHT=0&CHDAYLIGHTTIME=1"
    "&STARTWEEKINDEX=1&STARTDAYOFWEEK=0&STARTMONTH=2&STARTHOUR=2&STARTMINUTE=0&ENDWEEKINDEX=4"
    "&ENDDAYOFWEEK=0&ENDMONTH=10&ENDHOUR=2&ENDMINUTE=0&ADJUSTHOUR=1&ADJUSTMINUTE=0";

INSTANTIATE_TEST_SUITE_P(
    Edits, DateSave,
    ::testing::Values(
        DateSaveCase{"Nothing", [](DvrDateEdits&) {}, ""},
        DateSaveCase{"FormatOnly", [](DvrDateEdits& e) { e.formatIndex = 1; }, kFormatOnly.c_str()},
        DateSaveCase{"Date",
                     [](DvrDateEdits& e) {
                         e.year = 2008;
                         e.month = 2;
                         e.day = 29;
                     },
                     kNewDate.c_str()},
        DateSaveCase{"DaylightOff", [](DvrDateEdits& e) { e.daylight = 0; }, kDaylightOff.c_str()},
        DateSaveCase{"AdjustTime",
                     [](DvrDateEdits& e) {
                         e.adjustHour = 0;
                         e.adjustMinute = 30;
                     },
                     kAdjust.c_str()},
        DateSaveCase{"EndWeek", [](DvrDateEdits& e) { e.endWeekIndex = 4; }, kEndWeek.c_str()}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(DateSaveState, SentDateAndTimesBecomeTheDevicesButTheFormatDoesNot) {
    DvrDateValues read = DeviceDate();
    DvrDateEdits page = Unchanged();
    page.hour = 15;
    page.formatIndex = 0;
    page.endHour = 4;
    ASSERT_TRUE(BuildSetDvrDate(read, page, ""));
    EXPECT_EQ(read.hour, 15);
    EXPECT_EQ(read.endHour, 4);
    EXPECT_EQ(read.format, 2);
    // Without a cookie the request starts with its values.
    const auto again = BuildSetDvrDate(read, page, "");
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->starts_with("/SetDvrDate.cgi?YEAR=2007&"));
    EXPECT_NE(again->find("CHDATE=0&CHFORMAT=1&CHDAYLIGHT=0&CHDAYLIGHTTIME=0"), std::string::npos);
}

// ---- "/SetRecordSetting.cgi" -------------------------------------------------------

RecordSettingValues DeviceRecord() {
    return RecordSettingValues{1, 1, 0, 0, 1, 0, 1, 2, 1, 8, 1, 7, 3};
}

RecordSettingEdits Working() {
    RecordSettingEdits e;
    e.manual = 1;
    e.event = 1;
    e.timer = 0;
    e.overwrite = 1;
    e.quality = 8;
    e.recMode = 1;
    e.recordFix = 1;
    e.eventRateIndex = 1;
    e.manualRateIndex = 0;
    e.timerRateIndex = 2;
    return e;
}

struct RecordSaveCase {
    const char* name;
    void (*edit)(RecordSettingEdits&);
    const char* query;  // after the cookie
};

class RecordSave : public ::testing::TestWithParam<RecordSaveCase> {};

TEST_P(RecordSave, EditsGiveTheRequest) {
    RecordSettingEdits page = Working();
    GetParam().edit(page);
    EXPECT_EQ(BuildSetRecordSetting(DeviceRecord(), page, "k"),
              std::string("/SetRecordSetting.cgi?Cookie=k&") + GetParam().query);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, RecordSave,
    ::testing::Values(
        RecordSaveCase{"Nothing", [](RecordSettingEdits&) {},
                       "CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=0"
                       "&CHMOTIONRATE=0&CHMANUALRATE=0&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=1"},
        RecordSaveCase{"ManualRate", [](RecordSettingEdits& e) { e.manualRateIndex = 3; },
                       "CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=0"
                       "&CHMOTIONRATE=0&CHMANUALRATE=1&MANUALRATETYPE=3&CHTIMERRATE=0"
                       "&CHIPSSHARE=1&RECORDFIX=1"},
        RecordSaveCase{"CifWithRates",
                       [](RecordSettingEdits& e) {
                           e.recMode = 2;
                           e.eventRateIndex = e.manualRateIndex = e.timerRateIndex = 0;
                       },
                       "CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=1"
                       "&RECMODE=2&CHMOTIONRATE=1&MOTIONRATETYPE=0&CHMANUALRATE=0"
                       "&CHTIMERRATE=1&TIMERRATETYPE=0&CHIPSSHARE=1&RECORDFIX=1"},
        RecordSaveCase{"SwitchesAndQuality",
                       [](RecordSettingEdits& e) {
                           e.manual = 0;
                           e.timer = 1;
                           e.overwrite = 0;
                           e.quality = 16;
                           e.recordFix = 0;
                       },
                       "CHMANUALREC=1&MANUAL=0&CHEVENTREC=0&CHTIMERREC=1&TIMER=1&CHOV=1"
                       "&OVERWRITE=0&CHQT=1&QUALITY=16&CHRECMODE=0&CHMOTIONRATE=0"
                       "&CHMANUALRATE=0&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=0"},
        RecordSaveCase{"RateWithoutSelection", [](RecordSettingEdits& e) { e.timerRateIndex = -1; },
                       "CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=0"
                       "&CHMOTIONRATE=0&CHMANUALRATE=0&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=1"}),
    [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
