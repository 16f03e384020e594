// The device command client against a scripted device on 127.0.0.1: request
// bytes, reply handling under faults, the pending hand-over, the host-name
// rewrite, and the small parsers it is built on.

#include "core/net/cgi_command.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/application/subsystem_services.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"

namespace command_test {
namespace {

using namespace std::string_literals;
using test_support::Delivery;
using test_support::LengthHeader;

// ---- request bytes ------------------------------------------------------------

struct GoldenCase {
    const char* name;
    std::uint8_t index;
    std::string target;
    std::string body;
    std::string path;  // where the fake answers
    std::string expected;
    friend void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }
};

class CommandRequestBytes : public DeviceCommandTest,
                            public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(CommandRequestBytes, AreExactlyAsSent) {
    const GoldenCase& c = GetParam();
    device.SetReply(c.path, Reply::Ok("OK=1;"));
    const Outcome outcome = Send(c.index, c.target, 4096, kTimeouts, c.body);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(RawRequest(), c.expected);
}

CCgiUrl DeviceInfoUrl() {
    // As the session login thread builds it for a current DVR.
    CCgiUrl url(kCgiGetDeviceInfo);
    url.AddParam("Cookie", "5F3A9C0D11E2B7A4");
    url.AddParamInt("RES", 2);
    url.AddParamInt("QUA", 1);
    url.AddParamInt("CH", 3);
    url.AddParamInt("NEWHR", 1);
    return url;
}

INSTANTIATE_TEST_SUITE_P(
    Golden, CommandRequestBytes,
    ::testing::Values(
        GoldenCase{"DeviceInfo", kCgiGetDeviceInfo, DeviceInfoUrl().GetUrl(), "",
                   "/Getdeviceinfo.cgi",
                   "GET /Getdeviceinfo.cgi?Cookie=5F3A9C0D11E2B7A4&RES=2&QUA=1&CH=3&NEWHR=1 "
                   "HTTP/1.1\r\n" +
                       FixedHeaders()},
        GoldenCase{
            "BinaryBody", 11, "/RS485Cmd.cgi?Cookie=AB", "\x01\x00\xFF"s, "/RS485Cmd.cgi",
            "GET /RS485Cmd.cgi?Cookie=AB HTTP/1.1\r\n" + FixedHeaders("3") + "\x01\x00\xFF"s},
        GoldenCase{"SpaceAndAmpersandUnchanged", 23, "/GetSearchList.cgi?NAME=a b&c", "",
                   "/GetSearchList.cgi",
                   "GET /GetSearchList.cgi?NAME=a b&c HTTP/1.1\r\n" + FixedHeaders()}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(DeviceCommandTest, RebootCountsAsDoneOnceSentAndReadsNoReply) {
    Reply silence = Reply::Ok();
    silence.delivery = Delivery::kSilence;  // a rebooting device never answers
    device.SetReply("/Reboot.cgi", silence);
    CCgiUrl url(kCgiReboot);
    url.AddParam("Cookie", "C00C1E");
    const Outcome outcome = Send(kCgiReboot, url.GetUrlBuffer());
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.length, 0u);
    EXPECT_EQ(RawRequest(), "GET /Reboot.cgi?Cookie=C00C1E HTTP/1.1\r\n" + FixedHeaders());
}

TEST_F(DeviceCommandTest, TargetWithLineBreakOrNulIsNeverSent) {
    for (const std::string& value : {"x\r\nHost: evil"s, "x\ny"s, "x\ry"s, "x\0y"s}) {
        CCgiUrl url(kCgiGetDeviceInfo);
        EXPECT_EQ(url.AddParam("Cookie", value), 0);
        EXPECT_TRUE(url.IsRefused());
        EXPECT_EQ(Send(kCgiGetDeviceInfo, url.GetUrlBuffer()).result, 0);
    }
    EXPECT_EQ(device.RequestCount(), 0u);
}

// ---- hostile replies ----------------------------------------------------------------

struct ReplyCase {
    const char* name;
    Reply reply;
    std::string raw;  // when set, these bytes are sent in place of the reply
    std::size_t capacity;
    int result;
    std::string body;          // on success
    std::uint32_t status = 0;  // the status record's second field afterwards
    bool shortReceiveTimeout = false;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }
};

Reply WithHeader(std::string body, std::string name, std::string value) {
    Reply reply = Reply::Ok(std::move(body));
    reply.headers = {{std::move(name), std::move(value)}};
    return reply;
}

Reply WithLength(std::string body, LengthHeader length) {
    Reply reply = Reply::Ok(std::move(body));
    reply.length = length;
    return reply;
}

Reply Delivered(std::string body, Delivery delivery) {
    Reply reply = Reply::Ok(std::move(body));
    reply.delivery = delivery;
    return reply;
}

Reply StallAfterHeadPlus(std::string body, std::size_t extra) {
    Reply reply = Reply::Ok(std::move(body));
    reply.stallAfter = reply.HeadSize() + extra;
    return reply;
}

Reply ResetAfterBody(std::string body, std::size_t count) {
    Reply reply = Reply::Ok(std::move(body));
    reply.resetAfterBody = count;
    return reply;
}

Reply NoBlankLine() {
    Reply reply = Reply::Ok();
    reply.blankLine = false;
    return reply;
}

Reply StallAtOnce() {
    Reply reply = Reply::Ok("A=1;");
    reply.stallAfter = 0;
    return reply;
}

class HostileReply : public DeviceCommandTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(HostileReply, FailsCleanlyOrSucceedsExactly) {
    const ReplyCase& c = GetParam();
    if (c.raw.empty()) {
        device.SetReply("/Getlog.cgi", c.reply);
    } else {
        device.SetHandler("/Getlog.cgi",
                          [raw = c.raw](const auto&, auto& connection) { connection.Send(raw); });
    }
    const CommandTimeouts timeouts =
        c.shortReceiveTimeout
            ? CommandTimeouts{std::chrono::seconds(10), std::chrono::milliseconds(50)}
            : kTimeouts;
    const Outcome outcome = Send(15, "/Getlog.cgi", c.capacity, timeouts);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.status.first, kCommandRequestSent);  // the request went out whole
    EXPECT_EQ(outcome.status.status, c.status);
    if (c.result == 1) {
        EXPECT_EQ(outcome.length, c.body.size());
        EXPECT_EQ(outcome.body, c.body);
    } else {
        EXPECT_EQ(outcome.length, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileReply,
    ::testing::Values(
        ReplyCase{"Whole", Reply::Ok("A=1;B=2;"), "", 4096, 1, "A=1;B=2;"},
        ReplyCase{"ReasonWithSpaces", Reply::Status(200, "Fine By Me", "x"), "", 4096, 1, "x"},
        ReplyCase{"LengthZero", Reply::Ok(""), "", 4096, 1, ""},
        ReplyCase{"NoContentLength", WithLength("A=1;", LengthHeader::kMissing), "", 4096, 1, ""},
        ReplyCase{"LowerCaseContentLength", WithLength("A=1;", LengthHeader::kLowerCase), "", 4096,
                  1, "A=1;"},
        ReplyCase{"HugeContentLength", WithLength("A=1;", LengthHeader::kHuge), "", 4096, 0, ""},
        ReplyCase{"Status202", Reply::Status(202, "Accepted", "busy"), "", 4096, 0, "", 202},
        ReplyCase{"Status404", Reply::Status(404, "Not Found"), "", 4096, 0, "", 404},
        ReplyCase{"NoBlankLine", NoBlankLine(), "", 4096, 0, ""},
        ReplyCase{"ByteByByte", Delivered("LIFETIME=-1;MULTICH=0;", Delivery::kByteByByte), "",
                  4096, 1, "LIFETIME=-1;MULTICH=0;"},
        ReplyCase{"ResetMidBody", ResetAfterBody("0123456789", 4), "", 4096, 0, ""},
        ReplyCase{"CloseWithoutAnswer", Delivered("A=1;", Delivery::kCloseWithoutAnswer), "", 4096,
                  0, ""},
        ReplyCase{"BodyLargerThanBuffer", Reply::Ok("12345"), "", 4, 0, ""},
        ReplyCase{"BodyFillsBuffer", Reply::Ok("1234"), "", 4, 1, "1234"},
        ReplyCase{"BodyLargerThanReceiveBuffer", Reply::Ok(std::string(4109, 'x')), "", 8192, 0,
                  ""},
        ReplyCase{"BodyOfReceiveBufferSize", Reply::Ok(std::string(4108, 'x')), "", 4108, 1,
                  std::string(4108, 'x')},
        ReplyCase{"HeaderBeyondReceiveBuffer", WithHeader("ok", "X-Pad", std::string(4200, 'p')),
                  "", 4096, 0, ""},
        ReplyCase{"NegativeContentLength", WithHeader("hello", "Content-Length", "-5"), "", 4096, 0,
                  ""},
        ReplyCase{"OverflowingContentLength",
                  WithHeader("hello", "Content-Length", "18446744073709551621"), "", 4096, 0, ""},
        ReplyCase{"ContentLengthWithText", WithHeader("hello", "Content-Length", "5abc"), "", 4096,
                  0, ""},
        ReplyCase{"EmptyContentLength", WithHeader("hello", "Content-Length", ""), "", 4096, 0, ""},
        ReplyCase{"ContentLengthWithoutSpace",
                  {},
                  "HTTP/1.1 200 OK\r\nContent-Length:5\r\n\r\nhello",
                  4096,
                  1,
                  "hello"},
        ReplyCase{"ContentLengthWithTabs",
                  {},
                  "HTTP/1.1 200 OK\r\nCONTENT-LENGTH \t:\t5 \r\n\r\nhello",
                  4096,
                  1,
                  "hello"},
        ReplyCase{
            "ContentLengthOnlyInBody", {}, "HTTP/1.1 200 OK\r\n\r\nContent-Length: 3", 4096, 1, ""},
        ReplyCase{"MoreBytesThanAnnounced",
                  {},
                  "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef",
                  4096,
                  1,
                  "abc"},
        ReplyCase{
            "BodyCutShort", {}, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd", 4096, 0, ""},
        // The reason phrase may be left out; the code needs three digits
        // followed by a space or the end of the line.
        ReplyCase{"StatusLineWithOneSpace",
                  {},
                  "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok",
                  4096,
                  1,
                  "ok"},
        ReplyCase{"StatusWithEmptyReason",
                  {},
                  "HTTP/1.1 200 \r\nContent-Length: 2\r\n\r\nok",
                  4096,
                  1,
                  "ok"},
        ReplyCase{"Status202WithoutReason", {}, "HTTP/1.1 202\r\n\r\n", 4096, 0, "", 202},
        ReplyCase{"StatusCodeOfTwoDigits", {}, "HTTP/1.1 20\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StatusCodeOfFourDigits", {}, "HTTP/1.1 2000 OK\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StatusCodeRunIntoText", {}, "HTTP/1.1 200OK\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StatusCodeWithLetter", {}, "HTTP/1.1 2O0 OK\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StatusLineWithoutCode", {}, "HTTP/1.1\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StatusAfterTwoSpaces", {}, "HTTP/1.1  200 OK\r\n\r\n", 4096, 0, ""},
        ReplyCase{"StallBeforeAnswer", StallAtOnce(), "", 4096, 0, "", 0, true},
        ReplyCase{"StallInBody", StallAfterHeadPlus("0123456789", 3), "", 4096, 0, "", 0, true}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A device that trickles its reply, each byte well within the receive
// time-out, is cut off once the whole reply's budget is spent, in the header
// as in the body. The budget is twice the receive time-out: a trickling
// device fails like a silent one, not after many of its time-outs.
TEST_F(DeviceCommandTest, TricklingReplyIsCutOffAtTheReplyDeadline) {
    EXPECT_EQ(CommandTimeouts::Seconds(15, 15).ReplyBudget(), std::chrono::seconds(30));
    EXPECT_EQ(CommandTimeouts::Seconds(45, 45).ReplyBudget(), std::chrono::seconds(90));
    EXPECT_EQ(
        (CommandTimeouts{std::chrono::seconds(1), std::chrono::milliseconds(50)}.ReplyBudget()),
        std::chrono::milliseconds(100));

    struct Case {
        const char* name;
        std::string head;  // sent at once; then one byte at a time
    };
    const Case cases[] = {
        {"body", "HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n"},
        {"header", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nX-Pad: "},
    };
    // Each read may wait an hour; the whole reply may take 300 ms.
    const CommandTimeouts givenBudget{std::chrono::seconds(10), std::chrono::hours(1),
                                      CBlockingSocket::kDefaultConnectTimeout,
                                      std::chrono::milliseconds(300)};
    // The budget that goes with a receive time-out of 100 ms: 200 ms.
    const CommandTimeouts ownBudget{std::chrono::seconds(10), std::chrono::milliseconds(100)};
    for (const Case& c : cases) {
        device.SetHandler("/Getlog.cgi", [head = c.head](const auto&, auto& connection) {
            if (!connection.Send(head))
                return;
            // 4000 bytes, one every 5 ms: 20 s in all unless cut off.
            for (int i = 0; i < 4000 && connection.Pause(std::chrono::milliseconds(5)); ++i) {
                if (!connection.Send("p"))
                    return;
            }
        });
        for (const CommandTimeouts& timeouts : {givenBudget, ownBudget}) {
            const Outcome outcome = Send(15, "/Getlog.cgi", 4096, timeouts);
            EXPECT_EQ(outcome.result, 0) << c.name;
            EXPECT_EQ(outcome.length, 0u) << c.name;
        }
    }
}

// A dotted address that is no IPv4 address is never used: the command fails
// with "IP Address is wrong.", shown once per streak of such failures, and
// sends nothing.
TEST_F(DeviceCommandTest, MalformedDottedAddressWarnsOncePerFailureStreak) {
    device.SetReply("/Login.cgi", Reply::Ok("Session-ID=1;"));
    const auto attempt = [this](const std::string& server) {
        settings().m_strServerName = server;
        return Send(kCgiLogin, "/Login.cgi").result;
    };
    std::size_t warnings = 0;
    for (const std::string bad : {"300.1.1.1", "1.2.3", "...", "1.2.3.4.5", "01234567890123456"}) {
        EXPECT_EQ(attempt(bad), 0) << bad;
        EXPECT_EQ(attempt(bad), 0) << bad;
        ++warnings;
        ASSERT_EQ(boxes.sink().Entries().size(), warnings) << bad;
        EXPECT_EQ(boxes.sink().Entries().back().text, "IP Address is wrong.") << bad;
        EXPECT_EQ(attempt("127.0.0.1"), 1) << bad;  // ends the streak
    }
    EXPECT_EQ(device.RequestCount(), warnings);  // only the good ones
}

TEST_F(DeviceCommandTest, ReplySplitAtEveryOffsetIsReassembled) {
    const std::string body = "LIFETIME=-1;MULTICH=0;";
    const std::size_t size = Reply::Ok(body).Bytes().size();
    for (std::size_t cut = 1; cut < size; ++cut) {
        Reply reply = Reply::Ok(body);
        reply.delivery = Delivery::kPieces;
        reply.splitAt = {cut};
        device.SetReply("/Getlog.cgi", reply);
        const Outcome outcome = Send(15, "/Getlog.cgi");
        ASSERT_EQ(outcome.result, 1) << "cut at " << cut;
        ASSERT_EQ(outcome.body, body) << "cut at " << cut;
    }
}

TEST_F(DeviceCommandTest, NoReplyBufferReadsNoBody) {
    device.SetReply("/SetColor.cgi", Reply::Ok("CON=1;"));
    EXPECT_EQ(TirelSendCommand(21, "/SetColor.cgi", {}, nullptr, {}, nullptr, kTimeouts), 1);
}

TEST_F(DeviceCommandTest, EmptyServerAddressSendsNothing) {
    settings().m_strServerName = "";
    EXPECT_EQ(Send(15, "/Getlog.cgi").result, 0);
    EXPECT_EQ(device.RequestCount(), 0u);
    EXPECT_TRUE(boxes.Ids().empty());
}

// ---- pending hand-over ------------------------------------------------------------------

TEST_F(DeviceCommandTest, PendingPortTakesEffectAfterTheNextStatus200) {
    FakeDevice moved;
    device.SetReply("/Getlog.cgi", Reply::Status(404, "Not Found"));
    moved.SetReply("/Getlog.cgi", Reply::Ok("NEW=1;"));
    g_wPendingWebPort = moved.port();
    g_bPendingWebPort = true;

    EXPECT_EQ(Send(15, "/Getlog.cgi").result, 0);  // not a 200: nothing changes
    EXPECT_TRUE(g_bPendingWebPort);
    EXPECT_EQ(settings().m_wWebPort.load(), device.port());

    device.SetReply("/Getlog.cgi", Reply::Ok("OLD=1;"));
    EXPECT_EQ(Send(15, "/Getlog.cgi").body, "OLD=1;");  // still the old port
    EXPECT_FALSE(g_bPendingWebPort);
    EXPECT_EQ(settings().m_wWebPort.load(), moved.port());
    EXPECT_EQ(Send(15, "/Getlog.cgi").body, "NEW=1;");
    EXPECT_EQ(Send(15, "/Getlog.cgi").body, "NEW=1;");
    EXPECT_EQ(device.RequestCount(), 2u);
    EXPECT_EQ(moved.RequestCount(), 2u);
}

TEST_F(DeviceCommandTest, PendingServerNameReplacesAddressAndForgetsResolvedHost) {
    device.SetReply("/Getlog.cgi", Reply::Ok("A=1;"));
    settings().m_szResolvedHost = "old-recorder";
    g_strPendingServerName.Set("localhost");
    g_bPendingServerName = true;

    EXPECT_EQ(Send(15, "/Getlog.cgi").result, 1);
    EXPECT_FALSE(g_bPendingServerName);
    EXPECT_EQ(settings().m_strServerName.Get(), "localhost");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());
}

// ---- host names ------------------------------------------------------------------

TEST_F(DeviceCommandTest, LoginByHostNameKeepsTheNameAndStoresTheAddress) {
    device.SetReply("/Getlog.cgi", Reply::Ok("A=1;"));
    device.SetReply("/Login.cgi", Reply::Ok("Session-ID=1;"));
    settings().m_strServerName = "localhost";

    EXPECT_EQ(Send(15, "/Getlog.cgi").result, 1);  // only a login rewrites
    EXPECT_EQ(settings().m_strServerName.Get(), "localhost");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());

    EXPECT_EQ(Send(kCgiLogin, "/Login.cgi").result, 1);
    EXPECT_EQ(settings().m_strServerName.Get(), "127.0.0.1");
    EXPECT_EQ(settings().m_szResolvedHost.Get(), "localhost");
    EXPECT_EQ(GetAddressKind(settings().m_strServerName.Get()), 2);  // no lookup from now on
    EXPECT_EQ(Send(15, "/Getlog.cgi").result, 1);

    SetServerAddress("127.0.0.1");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());
}

TEST_F(DeviceCommandTest, UnresolvableNameWarnsOncePerFailureStreak) {
    device.SetReply("/Login.cgi", Reply::Ok("Session-ID=1;"));
    const auto attempt = [this](const char* server) {
        settings().m_strServerName = server;
        return Send(kCgiLogin, "/Login.cgi").result;
    };
    EXPECT_EQ(attempt("dvr.1"), 0);
    EXPECT_EQ(attempt("dvr.1"), 0);
    EXPECT_EQ(attempt("dvr.1"), 0);
    ASSERT_EQ(boxes.sink().Entries().size(), 1u);
    EXPECT_EQ(boxes.sink().Entries()[0].textId, 0u);
    EXPECT_EQ(boxes.sink().Entries()[0].text, "IP Address is wrong.");
    EXPECT_EQ(device.RequestCount(), 0u);

    EXPECT_EQ(attempt("localhost"), 1);
    EXPECT_EQ(attempt("dvr.1"), 0);
    EXPECT_EQ(boxes.Ids().size(), 2u);
}

TEST_F(DeviceCommandTest, ConnectFailureShowsStatusTextOnlyForFlaggedLogin) {
    test_support::RecordingLiveView liveView;
    test_support::ScopedLiveViewRegistration registered{liveView};
    settings().m_wWebPort = ClosedPort();
    struct Case {
        std::uint8_t index;
        int flag;
        std::size_t texts;
    };
    for (const Case c : {Case{kCgiLogin, 0, 0}, Case{15, 1, 0}, Case{kCgiLogin, 1, 1}}) {
        EXPECT_EQ(
            TirelSendCommand(c.index, "/Login.cgi", {}, nullptr, {}, nullptr, kTimeouts, c.flag),
            0);
        EXPECT_EQ(liveView.StatusTexts().size(), c.texts);
    }
    EXPECT_EQ(liveView.StatusTexts().at(0), "Create connection is time out");
}

// ---- small parsers ------------------------------------------------------------------

TEST(CgiCommandTable, IndexesArePositionsAndRow26RepeatsRow24) {
    for (std::size_t i = 0; i < kCgiCommandTable.size(); ++i) {
        EXPECT_EQ(kCgiCommandTable[i].index, i);
        EXPECT_TRUE(kCgiCommandTable[i].path.starts_with('/'));
    }
    EXPECT_EQ(CgiCommandPath(26), CgiCommandPath(24));
    EXPECT_EQ(CgiCommandPath(39), "/SearchPlayBack.cgi");
    EXPECT_THROW(CCgiUrl(40), std::out_of_range);
}

TEST(CgiUrl, BuildsTargetsInOrderWithoutEscaping) {
    CCgiUrl url(kCgiSetSysCfg);
    EXPECT_EQ(url.GetUrl(), "/SetSysCfg.cgi");
    EXPECT_EQ(url.AddParam("Option", "DNS"), 1);
    EXPECT_EQ(url.AddParamInt("Size", -12), 1);
    EXPECT_EQ(url.AddParamInt("Min", INT_MIN), 1);
    EXPECT_EQ(url.AddParam("Name", "a b&c=d%20"), 1);
    EXPECT_EQ(url.GetUrl(), "/SetSysCfg.cgi?Option=DNS&Size=-12&Min=-2147483648&Name=a b&c=d%20");
    EXPECT_EQ(url.GetUrlLength(), url.GetUrl().size());
    EXPECT_EQ(url.GetParamCount(), 4);
    EXPECT_FALSE(url.IsRefused());

    EXPECT_EQ(url.AddParam("Bad\n", "x"), 0);
    EXPECT_TRUE(url.IsRefused());
    EXPECT_EQ(url.ResetPath(), 1);
    EXPECT_EQ(url.GetUrl(), "/SetSysCfg.cgi");
    EXPECT_FALSE(url.IsRefused());
    url.AddParam("Option", "IP");
    EXPECT_EQ(url.GetUrl(), "/SetSysCfg.cgi?Option=IP");
}

// The session cookie travels only while there is a session, first or last
// as the caller places it, and is refused like any other parameter when it
// could break the request line.
TEST(CgiUrl, SessionCookieOnlyWhenThereIsOne) {
    struct Case {
        const char* cookie;
        int result;
        const char* url;
        bool refused;
    };
    for (const Case& c : {Case{"", 1, "/Reboot.cgi?SET=1", false},
                          Case{"5F3A", 1, "/Reboot.cgi?SET=1&Cookie=5F3A", false},
                          Case{"5F\r\n3A", 0, "/Reboot.cgi?SET=1&Cookie=5F\r\n3A", true}}) {
        SCOPED_TRACE(c.cookie);
        CCgiUrl url(kCgiReboot);
        url.AddParam("SET", "1");
        EXPECT_EQ(url.AddSessionCookie(c.cookie), c.result);
        EXPECT_EQ(url.GetUrl(), c.url);
        EXPECT_EQ(url.IsRefused(), c.refused);
    }
}

TEST(AddressKind, DigitsAndDotsAreAnAddress) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"192.168.1.10", 2}, {"", 2},          {"...", 2},        {"300.1", 2}, {"recorder", 1},
        {"192.168.1.1a", 1}, {" 10.0.0.1", 1}, {"10.0.0.1\n", 1}, {"-1", 1},
    };
    for (const auto& [text, kind] : cases) {
        EXPECT_EQ(GetAddressKind(text), kind) << "'" << text << "'";
    }
}

TEST(SaturatingInt, ReadsLikeTheCLibraryWithoutOverflow) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"42", 42},
        {"-1", -1},
        {"+7", 7},
        {"  \t12x", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"99999999999999999999", INT_MAX},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseSaturatingInt(text), value) << "'" << text << "'";
    }
}

struct ItemCase {
    std::string body;
    std::string key;
    std::optional<std::string> value;
};

TEST(ReplyItemsReader, FindsKeysOnlyWhereAnItemStarts) {
    const std::string longValue(300, 'v');
    const std::vector<ItemCase> cases = {
        {"A=1;B=2;", "B", "2"},
        {"A=1;B=2;", "B=", "2"},
        {"Session-ID=77;", "Session-ID=", "77"},
        {"DAYLIGHTSAVING=1;DAY=3;", "DAY", "3"},
        {"SUNDAY=1;", "DAY", std::nullopt},
        {"DAYLIGHTSAVING=1;", "DAY", std::nullopt},
        {"X=DAY=5;", "DAY", std::nullopt},
        {"AB=1;A=2;", "A", "2"},
        {"A=1;\r\n B=2;", "B", "2"},
        {"  A=1;", "A", "1"},
        {"A=1", "A", "1"},  // no ";": to the end of the body
        {"A=;", "A", ""},
        {"A=1\0B=2;"s, "B", std::nullopt},  // the text ends at a zero byte
        {"A=" + longValue + ";", "A", std::string(255, 'v')},
        {"A=1;", "C", std::nullopt},
        {"A=1;", "", std::nullopt},
        {"A", "A", std::nullopt},
    };
    for (const ItemCase& c : cases) {
        EXPECT_EQ(ReplyItems(c.body).Find(c.key), c.value) << c.body << " / " << c.key;
    }
    EXPECT_EQ(ReplyItems("A=" + longValue + ";").Raw("A")->size(), 300u);
}

TEST(ReplyItemsReader, NumbersSaturateAndDefaultToZero) {
    const ReplyItems items("LIFETIME=-1;BIG=99999999999;SMALL=-99999999999;TEXT=abc;MIX=12ab;");
    EXPECT_EQ(items.Number("LIFETIME"), -1);
    EXPECT_EQ(items.Number("BIG"), INT_MAX);
    EXPECT_EQ(items.Number("SMALL"), INT_MIN);
    EXPECT_EQ(items.Number("TEXT"), 0);
    EXPECT_EQ(items.Number("MIX"), 12);
    EXPECT_EQ(items.Number("NONE"), std::nullopt);
}

TEST(ReplyItemsReader, RepeatedGroupsAreReadFromAMovingPosition) {
    const std::string body =
        "MASTERNUM=2;MID=1;MTYPE=24;MID=3;MTYPE=1;SLAVENUM=2;SID=4;STYPE=1;SPROTOCOL=1;SID=5;";
    const ReplyItems items(body);
    std::size_t position = 0;
    std::vector<std::pair<int, int>> masters;
    for (int i = 0; i < items.Number("MASTERNUM").value_or(0); ++i) {
        const int id = items.Number("MID", position).value_or(-1);
        const int type = items.Number("MTYPE", position).value_or(-1);
        masters.emplace_back(id, type);
    }
    EXPECT_EQ(masters, (std::vector<std::pair<int, int>>{{1, 24}, {3, 1}}));
    EXPECT_EQ(body[position], ';');
    EXPECT_EQ(body.substr(position - 7, 7), "MTYPE=1");

    position = 0;
    EXPECT_EQ(items.Number("SID", position), 4);
    EXPECT_EQ(items.Number("STYPE", position), 1);
    EXPECT_EQ(items.Number("SPROTOCOL", position), 1);
    EXPECT_EQ(items.Number("SID", position), 5);
    const std::size_t last = position;
    EXPECT_EQ(items.Number("STYPE", position), std::nullopt);  // missing: the position stays
    EXPECT_EQ(position, last);
    position = body.size() + 5;
    EXPECT_EQ(items.Find("SID", position), std::nullopt);
}

}  // namespace
}  // namespace command_test
