// The simulated recorder's clock and recording commands: what each family
// reports, set requests taking only the flagged values, refusals of values
// out of range, and products outside the family answering none of them.

#include "tools/devicesim/dvr_setting_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devicesim/device_model.h"

namespace {

using devicesim::DvrSettingCommands;
using devicesim::HttpRequest;

HttpRequest Request(std::string path, std::string query = {}) {
    HttpRequest request;
    request.path = std::move(path);
    request.query = devicesim::ParseQuery(query);
    return request;
}

int Status(DvrSettingCommands& commands, const std::string& path, const std::string& query = {}) {
    const auto reply = commands.Answer(Request(path, query));
    return reply ? reply->status : -1;
}

TEST(DvrSettingSim, FamiliesReportTheirSettings) {
    struct Case {
        const char* product;
        int videoType, recMode, supportMode, share, format;
    };
    for (const Case c :
         {Case{"Q8A7", 0, 1, 7, 3, 0}, Case{"Q8A5", 1, 0, 7, 3, 2}, Case{"Q8A3", 0, 0, 3, 0, 0}}) {
        DvrSettingCommands commands(c.product);
        EXPECT_EQ(commands.Record().videoType, c.videoType) << c.product;
        EXPECT_EQ(commands.Record().recMode, c.recMode) << c.product;
        EXPECT_EQ(commands.Record().supportMode, c.supportMode) << c.product;
        EXPECT_EQ(commands.Record().supportIpsShare, c.share) << c.product;
        EXPECT_EQ(commands.Date().format, c.format) << c.product;
        const auto date = commands.Answer(Request("/GetDvrDate.cgi"));
        ASSERT_TRUE(date && date->status == 200);
        EXPECT_EQ(date->body, DvrSettingCommands::DateReplyOf(commands.Date()));
        EXPECT_TRUE(date->body.starts_with("YEAR=2026;MONTH=3;DAY=14;"));
    }
    for (const char* other : {"Q3A2", "Q7B5", "Q9C0"}) {
        DvrSettingCommands commands(other);
        for (const char* path : {"/GetDvrDate.cgi", "/SetDvrDate.cgi", "/GetRecordSetting.cgi",
                                 "/SetRecordSetting.cgi"}) {
            EXPECT_EQ(Status(commands, path), 404) << other << path;
        }
    }
    DvrSettingCommands commands("Q8A7");
    EXPECT_FALSE(commands.Answer(Request("/GetColor.cgi")));
}

TEST(DvrSettingSim, SetRequestsTakeOnlyFlaggedValues) {
    DvrSettingCommands commands("Q8A7");
    std::vector<std::string> log;
    commands.SetLogger([&](std::string_view line) { log.emplace_back(line); });
    EXPECT_EQ(Status(commands, "/SetDvrDate.cgi",
                     "Cookie=x&YEAR=2030&MONTH=1&DAY=2&DAYOFWEEK=3&HOUR=4&MINUTE=5&SECOND=6"
                     "&FORMAT=2&DAYLIGHTSAVING=0&CHDATE=0&CHFORMAT=1&CHDAYLIGHT=0"
                     "&CHDAYLIGHTTIME=0"),
              200);
    EXPECT_EQ(commands.Date().year, 2026);
    EXPECT_EQ(commands.Date().format, 2);
    EXPECT_EQ(commands.Date().daylightSaving, 1);
    EXPECT_EQ(Status(commands, "/SetRecordSetting.cgi",
                     "CHMANUALREC=1&MANUAL=0&CHEVENTREC=0&CHQT=1&QUALITY=16&CHIPSSHARE=1"
                     "&RECORDFIX=0"),
              200);
    EXPECT_EQ(commands.Record().manual, 0);
    EXPECT_EQ(commands.Record().event, 1);
    EXPECT_EQ(commands.Record().quality, 16);
    EXPECT_EQ(commands.Record().recordFix, 0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].find("/SetDvrDate.cgi received: YEAR=2030&"), 0u);
    EXPECT_EQ(commands.DateRequests().size(), 1u);
    EXPECT_EQ(commands.RecordRequests().size(), 1u);
}

TEST(DvrSettingSim, RefusesFlaggedValuesOutOfRange) {
    DvrSettingCommands commands("Q8A5");
    for (const char* query :
         {"CHDATE=1&YEAR=2030&MONTH=13&DAY=1&HOUR=0&MINUTE=0&SECOND=0", "CHFORMAT=1&FORMAT=3",
          "CHDAYLIGHTTIME=1&STARTWEEKINDEX=-1", "CHFORMAT=1"}) {
        EXPECT_EQ(Status(commands, "/SetDvrDate.cgi", query), 400) << query;
    }
    for (const char* query : {"CHRECMODE=1&RECMODE=3", "CHMANUALRATE=1&MANUALRATETYPE=-1",
                              "CHMOTIONRATE=1&MOTIONRATETYPE=4", "CHOV=1"}) {
        EXPECT_EQ(Status(commands, "/SetRecordSetting.cgi", query), 400) << query;
    }
    EXPECT_EQ(commands.Date().month, 3);
    EXPECT_EQ(commands.Record().recMode, 0);
}

}  // namespace
