#include "maintenance/search/search_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

using namespace maintenance;
using Bytes = std::vector<std::uint8_t>;

// A reply announcing `announced` bytes of records, holding `records` of them.
Bytes Reply(std::uint16_t announced, std::size_t records, std::uint8_t firstType = 0x12) {
    Bytes out = {0, 0, static_cast<std::uint8_t>(announced),
                 static_cast<std::uint8_t>(announced >> 8)};
    for (std::size_t i = 0; i < records; ++i) {
        Bytes record(16, 0);
        record[7] = static_cast<std::uint8_t>(firstType + i);
        record[8] = 24;
        record[9] = 5;
        record[10] = 17;
        record[11] = 8;
        record[12] = 30;
        record[13] = static_cast<std::uint8_t>(i % 60);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

struct PageCase {
    const char* name;
    Bytes reply;
    std::size_t expected;
};

class SearchListPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(SearchListPageTest, TakesOnlyRecordsTheReplyHolds) {
    EXPECT_EQ(ParseSearchListReply(GetParam().reply).size(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, SearchListPageTest,
                         ::testing::ValuesIn(std::vector<PageCase>{
                             {"Empty", {}, 0},
                             {"HeaderOnly", Reply(0, 0), 0},
                             {"ShortOfHeader", {0, 0, 16}, 0},
                             {"Exact", Reply(3 * 16, 3), 3},
                             {"PartialRecordDropped", Reply(3 * 16 + 15, 4), 3},
                             {"AnnouncesMoreThanSent", Reply(10 * 16, 2), 2},
                             {"HostileSize", Reply(0xFFFF, 5), 5},
                             {"FullBuffer", Reply(127 * 16, 127), 127},
                             {"AnnouncesLessThanSent", Reply(16, 5), 1},
                         }),
                         [](const ::testing::TestParamInfo<PageCase>& instance) {
                             return std::string(instance.param.name);
                         });

TEST(SearchListTest, RecordFieldsAndRowTexts) {
    const std::vector<SearchListRecord> records = ParseSearchListReply(Reply(16, 1, 0x12));
    ASSERT_EQ(records.size(), 1u);
    const RecordRowTexts texts = RowTexts(records[0]);
    EXPECT_EQ(texts.event, "MOTION");
    EXPECT_EQ(texts.channel, " 3");
    EXPECT_EQ(texts.time, "2024-05-17  08:30:00");
}

TEST(SearchListTest, TimeThatIsNoCalendarDateShowsAsUnknown) {
    struct Case {
        std::array<std::uint8_t, 6> time;
        const char* shown;
    };
    const Case cases[] = {
        {{24, 5, 17, 8, 30, 0}, "2024-05-17  08:30:00"},
        {{0, 1, 1, 0, 0, 0}, "2000-01-01  00:00:00"},
        {{255, 12, 31, 23, 59, 59}, "2255-12-31  23:59:59"},
        {{24, 2, 29, 12, 0, 0}, "2024-02-29  12:00:00"},
        {{23, 2, 29, 12, 0, 0}, "unknown"},
        {{100, 2, 29, 12, 0, 0}, "unknown"},  // 2100 is no leap year
        {{24, 4, 31, 12, 0, 0}, "unknown"},
        {{24, 0, 10, 12, 0, 0}, "unknown"},
        {{24, 13, 10, 12, 0, 0}, "unknown"},
        {{24, 5, 0, 12, 0, 0}, "unknown"},
        {{24, 5, 17, 24, 0, 0}, "unknown"},
        {{24, 5, 17, 8, 60, 0}, "unknown"},
        {{24, 5, 17, 8, 30, 60}, "unknown"},
        {{255, 255, 255, 255, 255, 255}, "unknown"},
    };
    for (const Case& c : cases) {
        SearchListRecord record;
        record.event_type = 48;
        record.rec_time = c.time;
        const RecordRowTexts texts = RowTexts(record);
        EXPECT_EQ(texts.time, c.shown)
            << int(c.time[0]) << '-' << int(c.time[1]) << '-' << int(c.time[2]) << ' '
            << int(c.time[3]) << ':' << int(c.time[4]) << ':' << int(c.time[5]);
        EXPECT_EQ(texts.event, "MANUAL");
        // The backup page gets the record's own bytes, whatever they say.
        const PendingDownloadBytes pending = MakePendingDownloadRequest(record, 0);
        EXPECT_TRUE(std::equal(c.time.begin(), c.time.end(), pending.begin() + 2));
    }
}

TEST(SearchListTest, KindsTextsAndPendingRequests) {
    struct Row {
        std::uint8_t type;
        const char* event;
        const char* channel;
        std::uint8_t kind;
        std::uint8_t channelByte;
    };
    const Row rows[] = {
        {0x00, "ALARM", " 1", 0, 1}, {0x0F, "ALARM", "16", 0, 16}, {0x12, "MOTION", " 3", 1, 3},
        {32, "TIMER", "ALL", 0, 0},  {48, "MANUAL", "ALL", 3, 0},  {240, "SYSTEM", "ALL", 15, 0},
        {0x40, "", "", 0, 0},
    };
    for (const Row& row : rows) {
        SearchListRecord record;
        record.event_type = row.type;
        record.rec_time = {24, 1, 2, 3, 4, 5};
        EXPECT_EQ(RowTexts(record).event, row.event) << int(row.type);
        EXPECT_EQ(RowTexts(record).channel, row.channel) << int(row.type);
        const PendingDownloadBytes pending = MakePendingDownloadRequest(record, 2);
        EXPECT_EQ(pending,
                  (PendingDownloadBytes{1, row.kind, 24, 1, 2, 3, 4, 5, 2, row.channelByte, 0, 0}))
            << int(row.type);
    }
}

TEST(SearchListTest, FiltersByListType) {
    auto record = [](std::uint8_t type) {
        SearchListRecord r;
        r.event_type = type;
        return r;
    };
    const std::vector<SearchListRecord> list = {record(0),  record(0x10), record(32),
                                                record(48), record(240),  record(0x77)};
    struct Case {
        int listType;
        std::vector<std::size_t> shown;
    };
    for (const Case& c :
         std::vector<Case>{{0, {0, 1, 2, 3, 4}}, {1, {3}}, {2, {4}}, {3, {0}}, {4, {1}}, {7, {}}}) {
        std::vector<std::size_t> shown;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (ShownUnderFilters(list[i], FiltersForListType(c.listType))) {
                shown.push_back(i);
            }
        }
        EXPECT_EQ(shown, c.shown) << c.listType;
        for (std::size_t row = 0; row < c.shown.size(); ++row) {
            EXPECT_EQ(RowToRecord(list, FiltersForListType(c.listType), row), c.shown[row]);
        }
    }
    EXPECT_EQ(ListTitle(0), "Full Record List");
    EXPECT_EQ(ListTitle(5), "Timer Record List");
    EXPECT_EQ(ListTitle(6), "");
    EXPECT_FALSE(ListTypeParameter(5));
}

TEST(SearchListTest, MaxListNumberSaturatesAndClamps) {
    EXPECT_EQ(ParseMaxListNumber("5000"), 2048u);
    EXPECT_EQ(ParseMaxListNumber("12a"), 12u);
    EXPECT_EQ(ParseMaxListNumber("99999999999999999999999"), 2048u);
    EXPECT_EQ(ParseMaxListNumber("0"), 0u);
    EXPECT_FALSE(ParseMaxListNumber("abc"));
}

TEST(SearchListTest, SearchTargets) {
    EventSearchQuery query{"abc", 5, 3, 10};
    EXPECT_EQ(SearchListTarget(query, true),
              "/GetSearchList.cgi?Cookie=abc&STATE=LAST&HDD=5&TYPE=0");
    query.cookie.clear();
    query.listType = 5;
    EXPECT_EQ(SearchListTarget(query, false), "/GetSearchList.cgi?STATE=PREV&HDD=5");
}

struct SearchCase {
    const char* name;
    std::uint32_t maxNumber;
    std::vector<std::size_t> pages;  // records per reply
    std::size_t requests;
    std::size_t listed;
    bool paused;
};

class EventSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(EventSearchTest, ReadsPagesUntilShortOrFull) {
    const SearchCase& c = GetParam();
    std::size_t requests = 0;
    bool paused = false;
    const auto send = [&](const std::string& target, std::span<std::uint8_t> reply,
                          std::uint32_t& length) {
        EXPECT_NE(target.find(requests == 0 ? "STATE=LAST" : "STATE=PREV"), std::string::npos);
        const std::size_t records = c.pages.at(std::min(requests, c.pages.size() - 1));
        ++requests;
        const Bytes bytes = Reply(static_cast<std::uint16_t>(records * 16), records);
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        return true;
    };
    std::vector<std::pair<std::uint32_t, std::int32_t>> progress;
    const EventSearchResult result = RunEventSearch(
        {"", 0, 0, c.maxNumber}, send,
        [&](std::uint32_t command, std::int32_t argument) {
            progress.emplace_back(command, argument);
        },
        [&] { paused = true; });
    EXPECT_FALSE(result.sendFailed);
    EXPECT_EQ(requests, c.requests);
    EXPECT_EQ(result.records.size(), c.listed);
    EXPECT_EQ(paused, c.paused);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().first, 1u);
    EXPECT_EQ(progress.back().first, 4u);
}

INSTANTIATE_TEST_SUITE_P(Searches, EventSearchTest,
                         ::testing::ValuesIn(std::vector<SearchCase>{
                             {"ZeroMaxSendsNothing", 0, {12}, 0, 0, false},
                             {"ShortThirdPage", 300, {127, 127, 9}, 3, 263, true},
                             {"TwelvesUntilMax", 30, {12}, 3, 30, false},
                             {"EmptyFirstPage", 100, {0}, 1, 0, true},
                             {"MaxAboveLimitClamped", 5000, {127}, 17, 2048, false},
                         }),
                         [](const ::testing::TestParamInfo<SearchCase>& instance) {
                             return std::string(instance.param.name);
                         });

TEST(EventSearchFailureTest, KeepsRecordsBeforeAFailedRequest) {
    int calls = 0;
    const auto send = [&](const std::string&, std::span<std::uint8_t> reply,
                          std::uint32_t& length) {
        if (calls++ > 0) {
            return false;
        }
        const Bytes bytes = Reply(12 * 16, 12);
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        return true;
    };
    const EventSearchResult result = RunEventSearch({"", 0, 0, 100}, send, {});
    EXPECT_TRUE(result.sendFailed);
    EXPECT_EQ(result.records.size(), 12u);
}

}  // namespace
