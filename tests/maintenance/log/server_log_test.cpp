#include "maintenance/log/server_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace maintenance;
using Bytes = std::vector<std::uint8_t>;

Bytes Record(std::uint32_t id, std::uint8_t channel = 0, const std::string& detail = {},
             std::uint8_t ddns = 0, std::uint8_t second = 0) {
    Bytes r(32, 0);
    for (int i = 0; i < 4; ++i) {
        r[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
    }
    const std::uint8_t time[6] = {24, 5, 17, 8, 30, second};
    std::memcpy(r.data() + 4, time, 6);
    r[10] = channel;
    std::memcpy(r.data() + 11, detail.data(), std::min<std::size_t>(detail.size(), 16));
    r[27] = ddns;
    return r;
}

Bytes Page(std::size_t records) {
    Bytes out;
    for (std::size_t i = 0; i < records; ++i) {
        const Bytes r = Record(0x1, 1, {}, 0, static_cast<std::uint8_t>(i % 60));
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

Bytes TextBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(ServerLogTest, CountReplies) {
    struct Case {
        std::string reply;
        std::optional<std::uint32_t> count;
    };
    for (const Case& c : std::vector<Case>{
             {"COUNT=500;", 500u},
             {"X=1;COUNT=0;", 0u},
             {"COUNT=99999999999999999999;", 0xFFFFFFFFu},
             {"COUNT=12", std::nullopt},
             {"COUNT=;", std::nullopt},
             {"COUNT=1x2;", std::nullopt},
             {"COUNT=-3;", std::nullopt},
             {"NUMBER=3;", std::nullopt},
             {"", std::nullopt},
         }) {
        EXPECT_EQ(ParseLogCount(TextBytes(c.reply)), c.count) << c.reply;
    }
    // The value ends at the buffer, never past it.
    const Bytes noTerminator = TextBytes("COUNT=4");
    EXPECT_FALSE(ParseLogCount(std::span(noTerminator).first(7)));
}

TEST(ServerLogTest, DetailIsReadWithinItsSixteenBytes) {
    Bytes r = Record(0x100, 0, "");
    std::memset(r.data() + 11, 'A', 16);  // no NUL in the field
    r[27] = 'Z';
    const ServerLogRecord record = ParseServerLogRecord(std::span(r).first<32>());
    EXPECT_EQ(record.detail, std::string(16, 'A'));
    EXPECT_EQ(EventName(ServerLogFamily::kDvr, record),
              "REMOTE LOGIN ( " + std::string(16, 'A') + " )");
}

struct NameCase {
    ServerLogFamily family;
    std::uint32_t id;
    std::uint8_t channel;
    std::uint8_t ddns;
    const char* name;
};

TEST(ServerLogTest, EventNames) {
    const auto dvr = ServerLogFamily::kDvr;
    const auto vs = ServerLogFamily::kVideoServer;
    for (const NameCase& c : std::vector<NameCase>{
             {dvr, 0x1, 0, 0, "POWER ON"},
             {dvr, 0x4, 0, 0, "HDD FULL"},
             {dvr, 0x800, 0, 0, "USB_ERROR"},
             {dvr, 0x4000, 0, 1, "DDNS UPDATE SUCCESS"},
             {dvr, 0x4000, 0, 0, "DDNS UPDATE FAIL"},
             {dvr, 0x1000, 0, 0, "NO EVENT"},
             {dvr, 0x100, 0, 0, "REMOTE LOGIN ( admin )"},
             {vs, 0x4, 0x06, 0, "ALARM (2)"},
             {vs, 0x4, 0, 0, "ALARM"},
             {vs, 0x20, 0, 0, "REMOTE LOGOUT ( admin )"},
             {vs, 0x100, 0, 0, "EMAIL SUCCESS"},
             {vs, 0x400, 0, 0, "NO EVENT"},
         }) {
        const Bytes r = Record(c.id, c.channel, "admin", c.ddns);
        EXPECT_EQ(EventName(c.family, ParseServerLogRecord(std::span(r).first<32>())), c.name)
            << std::hex << c.id;
    }
}

TEST(ServerLogTest, MasksAndRows) {
    const auto parse = [](const Bytes& r) {
        return ParseServerLogRecord(std::span(r).first<32>());
    };
    const std::uint32_t dvrMask = InitialEventMask(ServerLogFamily::kDvr);
    EXPECT_TRUE(ListedUnderMask(parse(Record(0x800)), dvrMask & ~0x4u));
    EXPECT_FALSE(ListedUnderMask(parse(Record(0x1000)), dvrMask));
    EXPECT_FALSE(ListedUnderMask(parse(Record(0xFFFF)), 0xFFFFFFFFu));
    EXPECT_EQ(LogRow(ServerLogFamily::kDvr, parse(Record(0x2, 0)), 0).channel, "NO");
    EXPECT_EQ(LogRow(ServerLogFamily::kDvr, parse(Record(0x2, 7)), 4).channel, "7");
    EXPECT_EQ(LogRow(ServerLogFamily::kDvr, parse(Record(0x2, 7)), 4).number, " 5");
    EXPECT_EQ(LogRow(ServerLogFamily::kDvr, parse(Record(0x2, 7, {}, 0, 9)), 0).time,
              "24-05-17 08:30:09");
    EXPECT_EQ(LogRow(ServerLogFamily::kVideoServer, parse(Record(0x1)), 0).time, "");
    EXPECT_EQ(LogFilterBoxes(ServerLogFamily::kDvr).size(), 14u);
    EXPECT_EQ(LogFilterBoxes(ServerLogFamily::kVideoServer).size(), 11u);
}

struct DownloadCase {
    const char* name;
    std::string countReply;
    std::uint32_t maxNumber;
    std::vector<std::size_t> pages;  // records per page reply; the last repeats
    std::optional<std::uint32_t> code;
    std::size_t pageRequests;
    std::uint32_t records;
};

class ServerLogDownloadTest : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(ServerLogDownloadTest, ReadsPagesIntoTheBuffer) {
    const DownloadCase& c = GetParam();
    std::size_t pageRequests = 0;
    const auto send = [&](const std::string& target, std::span<std::uint8_t> reply,
                          std::uint32_t& length) {
        Bytes bytes;
        if (target.find("STATE=COUNT") != std::string::npos) {
            bytes = TextBytes(c.countReply);
        } else {
            EXPECT_NE(target.find(pageRequests == 0 ? "STATE=LAST" : "STATE=PRE"),
                      std::string::npos);
            bytes = Page(c.pages.at(std::min(pageRequests, c.pages.size() - 1)));
            ++pageRequests;
        }
        if (bytes.size() > reply.size()) {
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        return true;
    };
    auto buffer = std::make_unique<ServerLogBuffer>();
    int progressEnds = 0;
    const auto code = DownloadServerLog(
        c.maxNumber, "abc", {}, send,
        [&](std::uint32_t command, std::int32_t) { progressEnds += command == 4 ? 1 : 0; },
        *buffer);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(pageRequests, c.pageRequests);
    EXPECT_EQ(buffer->count, c.records);
    EXPECT_LE(buffer->count, kMaxServerLogRecords);
    EXPECT_EQ(progressEnds, c.pageRequests > 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, ServerLogDownloadTest,
    ::testing::ValuesIn(std::vector<DownloadCase>{
        {"EmptyLog", "COUNT=0;", 300, {30}, kLogEmpty, 0, 0},
        {"MalformedCount", "COUNT=abc;", 300, {30}, kLogFailed, 0, 0},
        {"MissingCount", "STATE=OK;", 300, {30}, kLogFailed, 0, 0},
        {"CutToMaxNumber", "COUNT=500;", 300, {30}, kLogDownloaded, 10, 300},
        {"MaxNumberZeroReadsOnePage", "COUNT=500;", 0, {30}, kLogDownloaded, 1, 0},
        {"ShortPageEnds", "COUNT=500;", 300, {30, 29}, kLogDownloaded, 2, 59},
        {"EmptyPageEnds", "COUNT=500;", 300, {30, 0}, kLogDownloaded, 2, 30},
        {"FirstPageFillsTheCount", "COUNT=20;", 300, {40}, kLogDownloaded, 1, 20},
        {"WellFormedPagesStopAtTheBuffer", "COUNT=5000;", 5000, {30}, kLogDownloaded, 69, 2048},
        {"BigPagesStopAtTheBuffer", "COUNT=5000;", 5000, {127}, kLogDownloaded, 17, 2048},
        {"SmallLogOnePage", "COUNT=5;", 300, {5}, kLogDownloaded, 1, 5},
    }),
    [](const ::testing::TestParamInfo<DownloadCase>& instance) {
        return std::string(instance.param.name);
    });

TEST(ServerLogDownloadStopTest, AStopDuringARequestPostsNothing) {
    bool stop = false;
    const auto send = [&](const std::string& target, std::span<std::uint8_t> reply,
                          std::uint32_t& length) {
        const Bytes bytes =
            target.find("COUNT") != std::string::npos ? TextBytes("COUNT=100;") : Page(30);
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        stop = target.find("LAST") != std::string::npos;
        return true;
    };
    auto buffer = std::make_unique<ServerLogBuffer>();
    EXPECT_FALSE(DownloadServerLog(
        300, "", [&] { return stop; }, send, {}, *buffer));
    EXPECT_EQ(buffer->count, 0u);
}

TEST(ServerLogDownloadStopTest, AFailedPageIsCodeFour) {
    const auto send = [](const std::string& target, std::span<std::uint8_t> reply,
                         std::uint32_t& length) {
        if (target.find("COUNT") == std::string::npos) {
            return false;
        }
        const Bytes bytes = TextBytes("COUNT=100;");
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        return true;
    };
    auto buffer = std::make_unique<ServerLogBuffer>();
    EXPECT_EQ(DownloadServerLog(300, "", {}, send, {}, *buffer), kLogFailed);
}

}  // namespace
