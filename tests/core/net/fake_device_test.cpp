// Tests of the scripted fake device itself, driven by a raw POSIX client.

#include "tests/support/fake_device.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace test_support {
namespace {

using namespace std::string_literals;

// A blocking client socket. The receive time-out only keeps a broken fake
// from hanging the suite; no test waits for it.
class RawClient {
public:
    explicit RawClient(std::uint16_t port)
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        EXPECT_GE(m_fd, 0);
        const timeval safety{30, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &safety, sizeof safety);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ASSERT_GT(sent, 0) << "send failed: " << errno;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    // Reads until the peer closes (or resets) the connection.
    std::string ReadAll() {
        std::string bytes;
        char chunk[1024];
        for (;;) {
            const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (got > 0) {
                bytes.append(chunk, static_cast<std::size_t>(got));
                continue;
            }
            m_reset = got < 0 && errno == ECONNRESET;
            EXPECT_TRUE(got == 0 || m_reset) << "recv failed: " << errno;
            return bytes;
        }
    }

    std::string ReadExactly(std::size_t count) {
        std::string bytes;
        char chunk[1024];
        while (bytes.size() < count) {
            const ssize_t got =
                ::recv(m_fd, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
            if (got <= 0) {
                ADD_FAILURE() << "connection ended after " << bytes.size() << " bytes";
                break;
            }
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // Whether bytes are waiting right now.
    bool HasPendingBytes() {
        pollfd ready{m_fd, POLLIN, 0};
        return ::poll(&ready, 1, 0) > 0;
    }

    bool reset() const { return m_reset; }

private:
    int m_fd;
    bool m_reset = false;
};

// A request laid out as the client lays out its commands.
std::string ClientRequest(std::string_view target, std::string_view body = {}) {
    std::string request =
        "GET "s.append(target) + " HTTP/1.1\r\nAccept: */* \r\n" + "Accept-Language: zh-tw\r\n";
    if (!body.empty()) {
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    request +=
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
        "1.1.4322)\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n";
    request.append(body);
    return request;
}

struct Answer {
    int status = 0;
    std::string body;
};

Answer Exchange(const FakeDevice& device, std::string_view target, std::string_view body = {}) {
    RawClient client(device.port());
    client.Send(ClientRequest(target, body));
    const std::string reply = client.ReadAll();
    Answer answer;
    const auto space = reply.find(' ');
    if (space != std::string::npos) {
        answer.status = std::atoi(reply.c_str() + space + 1);
    }
    const auto end = reply.find("\r\n\r\n");
    if (end != std::string::npos) {
        answer.body = reply.substr(end + 4);
    }
    return answer;
}

const std::string kStandardHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\nConnection: close\r\n\r\n";

TEST(FakeDevice, ScriptedReplyArrivesAsWritten) {
    FakeDevice device;
    device.SetReply("/GetVersion.cgi", Reply::Ok("A=1;"));

    RawClient client(device.port());
    client.Send(ClientRequest("/GetVersion.cgi?Cookie=C1"));
    EXPECT_EQ(client.ReadAll(), kStandardHead + "A=1;");
    EXPECT_FALSE(client.reset());
}

TEST(FakeDevice, UnscriptedPathGetsTheDefaultReply) {
    FakeDevice device;
    EXPECT_EQ(Exchange(device, "/Anything.cgi").status, 404);
    device.SetDefaultReply(Reply::Status(500, "Internal Server Error"));
    EXPECT_EQ(Exchange(device, "/Anything.cgi").status, 500);
}

struct HeaderCase {
    const char* name;
    Reply reply;
    std::string wire;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class FakeDeviceHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(FakeDeviceHeader, WireBytesFollowTheScript) {
    FakeDevice device;
    device.SetReply("/X.cgi", GetParam().reply);
    RawClient client(device.port());
    client.Send(ClientRequest("/X.cgi"));
    EXPECT_EQ(client.ReadAll(), GetParam().wire);
}

Reply With(Reply reply, auto change) {
    change(reply);
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FakeDeviceHeader,
    testing::Values(
        HeaderCase{"LowerCaseLength",
                   With(Reply::Ok("A=1;"), [](Reply& r) { r.length = LengthHeader::kLowerCase; }),
                   "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\ncontent-length: 4\r\n"
                   "Connection: close\r\n\r\nA=1;"},
        HeaderCase{"MissingLength",
                   With(Reply::Ok("A=1;"), [](Reply& r) { r.length = LengthHeader::kMissing; }),
                   "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nA=1;"},
        HeaderCase{"HugeLength",
                   With(Reply::Ok("A=1;"), [](Reply& r) { r.length = LengthHeader::kHuge; }),
                   "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4294967296\r\n"
                   "Connection: close\r\n\r\nA=1;"},
        HeaderCase{"NoBlankLine", With(Reply::Ok("A=1;"), [](Reply& r) { r.blankLine = false; }),
                   "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n"
                   "Connection: close\r\n"},
        HeaderCase{"OverriddenAndExtraHeaders",
                   With(Reply::Ok("A=1;"),
                        [](Reply& r) {
                            r.headers = {{"CONTENT-LENGTH", "100"}, {"Server", "dvr"}};
                        }),
                   "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nCONTENT-LENGTH: 100\r\n"
                   "Connection: close\r\nServer: dvr\r\n\r\nA=1;"},
        HeaderCase{"OtherStatus", Reply::Status(202, "Accepted"),
                   "HTTP/1.1 202 Accepted\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n"
                   "Connection: close\r\n\r\n"},
        HeaderCase{
            "CloseWithoutAnswer",
            With(Reply::Ok("A=1;"), [](Reply& r) { r.delivery = Delivery::kCloseWithoutAnswer; }),
            ""}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(FakeDevice, PiecesAndSingleBytesDeliverTheWholeReply) {
    for (const auto delivery : {Delivery::kPieces, Delivery::kByteByByte}) {
        FakeDevice device;
        Reply reply = Reply::Ok("Session-ID=1234;Product-ID=Q8A7;");
        reply.delivery = delivery;
        reply.splitAt = {1, 17, 40, 41, 9999};
        device.SetReply("/Login.cgi", reply);
        RawClient client(device.port());
        client.Send(ClientRequest("/Login.cgi?Username=a&Password=b"));
        EXPECT_EQ(client.ReadAll(), reply.Bytes());
    }
}

TEST(FakeDevice, StallAtASplitHoldsBackTheRestUntilReleased) {
    FakeDevice device;
    Reply reply = Reply::Ok("0123456789");
    reply.delivery = Delivery::kPieces;
    const std::size_t cut = reply.HeadSize() + 3;  // inside the body
    reply.splitAt = {5, cut};
    reply.stallAfter = cut;
    device.SetReply("/GetSysCfg.cgi", reply);

    RawClient client(device.port());
    client.Send(ClientRequest("/GetSysCfg.cgi?Option=IP&Size=24"));
    ASSERT_TRUE(device.WaitForStalls(1));
    EXPECT_EQ(client.ReadExactly(cut), reply.Bytes().substr(0, cut));
    EXPECT_FALSE(client.HasPendingBytes());  // the device holds everything behind the cut

    device.ReleaseStalls();
    EXPECT_EQ(client.ReadAll(), reply.Bytes().substr(cut));
    EXPECT_EQ(device.StalledCount(), 0u);
}

TEST(FakeDevice, ResetMidBodyAfterTheGivenBodyBytes) {
    FakeDevice device;
    Reply reply = Reply::Ok(std::string(100, 'x'));
    reply.resetAfterBody = 10;
    device.SetReply("/Getlog.cgi", reply);

    RawClient client(device.port());
    client.Send(ClientRequest("/Getlog.cgi"));
    EXPECT_EQ(client.ReadAll(), reply.Bytes().substr(0, reply.HeadSize() + 10));
    EXPECT_TRUE(client.reset());
}

TEST(FakeDevice, QueuedRepliesAnswerInOrderAndTheLastRepeats) {
    FakeDevice device;
    device.AddReply("/Login.cgi", Reply::Status(202, "Accepted"));
    device.AddReply("/Login.cgi", Reply::Ok("Session-ID=S;"));
    EXPECT_EQ(Exchange(device, "/Login.cgi").status, 202);
    EXPECT_EQ(Exchange(device, "/Login.cgi").body, "Session-ID=S;");
    EXPECT_EQ(Exchange(device, "/Login.cgi").body, "Session-ID=S;");
}

TEST(FakeDevice, RecordsTheRawRequestByteForByte) {
    FakeDevice device;
    device.SetReply("/SetSysCfg.cgi", Reply::Ok());
    // A value with a space and a header line carrying a literal "/r/n", as
    // the client's own requests may; a binary body with CR LF inside.
    const std::string body = "\x00\x01\xFF\r\n\r\n"s;
    const std::string sent =
        "GET /SetSysCfg.cgi?Option=SYSTEM&Name=a b&Flag&Cookie=C1 HTTP/1.1\r\n"
        "Accept: */* \r\nAccept-Language: zh-tw/r/nAccept-Encoding: gzip, deflate\r\n"
        "Content-Length: 7\r\nHost: 127.0.0.1\r\n\r\n" +
        body;
    RawClient client(device.port());
    client.Send(sent);
    client.ReadAll();

    const auto request = device.WaitForRequest(0);
    ASSERT_TRUE(request.has_value());
    EXPECT_TRUE(request->ok());
    EXPECT_EQ(request->raw, sent);
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->target, "/SetSysCfg.cgi?Option=SYSTEM&Name=a b&Flag&Cookie=C1");
    EXPECT_EQ(request->path, "/SetSysCfg.cgi");
    EXPECT_EQ(request->version, "HTTP/1.1");
    const NameValueList query = {
        {"Option", "SYSTEM"}, {"Name", "a b"}, {"Flag", ""}, {"Cookie", "C1"}};
    EXPECT_EQ(request->query, query);
    const NameValueList headers = {
        {"Accept", "*/*"},
        {"Accept-Language", "zh-tw/r/nAccept-Encoding: gzip, deflate"},
        {"Content-Length", "7"},
        {"Host", "127.0.0.1"},
    };
    EXPECT_EQ(request->headers, headers);
    EXPECT_EQ(request->Header("content-LENGTH"), "7");
    EXPECT_EQ(request->body, body);
    EXPECT_EQ(device.RequestsTo("/SetSysCfg.cgi").size(), 1u);
}

struct RefusedCase {
    const char* name;
    std::string request;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class FakeDeviceRefuses : public testing::TestWithParam<RefusedCase> {};

TEST_P(FakeDeviceRefuses, WithStatus400AndRecordsTheRequest) {
    devicesim::ServerOptions limits;
    limits.maxHeaderBytes = 512;
    limits.maxBodyBytes = 64;
    FakeDevice device(limits);
    RawClient client(device.port());
    client.Send(GetParam().request);
    EXPECT_TRUE(client.ReadAll().starts_with("HTTP/1.1 400 "));
    const auto request = device.WaitForRequest(0);
    ASSERT_TRUE(request.has_value());
    EXPECT_FALSE(request->ok());
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, FakeDeviceRefuses,
    testing::Values(
        RefusedCase{"HeaderTooLarge", "GET /x.cgi?" + std::string(600, 'a') + " HTTP/1.1\r\n\r\n"},
        RefusedCase{"HeaderWithoutEndTooLarge", "GET /x.cgi HTTP/1.1\r\n" + std::string(600, 'h')},
        // Refused before a byte of the body is read.
        RefusedCase{"BodyTooLarge", "GET /x.cgi HTTP/1.1\r\nContent-Length: 65\r\n\r\n"},
        RefusedCase{"LengthOverflows",
                    "GET /x.cgi HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n"},
        RefusedCase{"LengthNotANumber", "GET /x.cgi HTTP/1.1\r\nContent-Length: 1x\r\n\r\n"},
        RefusedCase{"MalformedRequestLine", "GARBAGE\r\n\r\n"},
        RefusedCase{"HeaderLineWithoutColon", "GET /x.cgi HTTP/1.1\r\nHost\r\n\r\n"}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(FakeDevice, StopEndsAStalledConnectionPromptly) {
    FakeDevice device;
    Reply reply = Reply::Ok("never");
    reply.stallAfter = 0;
    device.SetReply("/Reboot.cgi", reply);

    RawClient client(device.port());
    client.Send(ClientRequest("/Reboot.cgi"));
    ASSERT_TRUE(device.WaitForStalls(1));
    device.Stop();  // returns only once every thread has been joined
    EXPECT_EQ(client.ReadAll(), "");
    EXPECT_EQ(device.StalledCount(), 0u);
}

TEST(FakeDevice, StopEndsASilentConnection) {
    FakeDevice device;
    Reply reply;
    reply.delivery = Delivery::kSilence;
    device.SetReply("/Getdeviceinfo.cgi", reply);

    RawClient client(device.port());
    client.Send(ClientRequest("/Getdeviceinfo.cgi"));
    ASSERT_TRUE(device.WaitForRequests(1));
    device.Stop();
    EXPECT_EQ(client.ReadAll(), "");
}

TEST(FakeDevice, StopEndsAHandlerThatWritesForEver) {
    FakeDevice device;
    std::atomic<int> frames{0};
    std::atomic<bool> handlerEnded{false};
    device.SetHandler("/Getvideo.cgi", [&](const HttpRequest&, Connection& connection) {
        const std::string frame(1000, 'f');
        while (connection.Send(frame)) {
            ++frames;
        }
        handlerEnded = true;
    });

    RawClient client(device.port());
    client.Send(ClientRequest("/Getvideo.cgi?Cookie=C1"));
    EXPECT_EQ(client.ReadExactly(3000), std::string(3000, 'f'));
    // The client stops reading: the handler blocks in Send until the stop.
    device.Stop();
    EXPECT_TRUE(handlerEnded);
    EXPECT_GE(frames.load(), 3);
}

TEST(FakeDevice, WaitsForRequestsFromOtherThreads) {
    FakeDevice device;
    device.SetReply("/SetChannel.cgi", Reply::Ok());
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&device, i] {
            EXPECT_EQ(Exchange(device, "/SetChannel.cgi?CH=" + std::to_string(i)).status, 200);
        });
    }
    EXPECT_TRUE(device.WaitForRequests(4));
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(device.RequestCount(), 4u);
}

// ------------------------------------------------------------ device model

std::string SessionOf(const std::string& loginBody) {
    const auto start = loginBody.find("Session-ID=");
    const auto end = loginBody.find(';', start);
    return start == std::string::npos ? "" : loginBody.substr(start + 11, end - start - 11);
}

class FakeDeviceModel : public testing::Test {
protected:
    FakeDeviceModel() : model(device.EnableDeviceModel()) {}

    std::string LogIn() {
        const auto answer = Exchange(device, "/Login.cgi?Username=tresk&Password=tresk");
        EXPECT_EQ(answer.status, 200);
        return SessionOf(answer.body);
    }

    FakeDevice device;
    devicesim::DeviceModel& model;
};

TEST_F(FakeDeviceModel, LoginChecksUserAndPassword) {
    for (const char* target : {"/Login.cgi?Username=tresk&Password=wrong",
                               "/Login.cgi?Username=other&Password=tresk", "/Login.cgi"}) {
        const auto refused = Exchange(device, target);
        EXPECT_EQ(refused.status, 401) << target;
        EXPECT_EQ(refused.body.find("Session-ID="), std::string::npos);
    }
    const auto answer = Exchange(device, "/Login.cgi?Username=tresk&Password=tresk");
    EXPECT_EQ(answer.status, 200);
    const std::string session = SessionOf(answer.body);
    EXPECT_FALSE(session.empty());
    EXPECT_LE(session.size(), 63u);
    EXPECT_EQ(answer.body, "Session-ID=" + session +
                               ";Firmware-Version=1052;Product-ID=Q8A7;MAC-Address=000E5C4A17B3;"
                               "Host-Name=Q8A7-DVR;");
    EXPECT_TRUE(model.IsSessionValid(session));
}

TEST_F(FakeDeviceModel, CommandsWithoutAValidSessionAreRefused) {
    LogIn();
    for (const char* target :
         {"/Getdeviceinfo.cgi?RES=0&QUA=0&CH=1", "/Getdeviceinfo.cgi?Cookie=BOGUS&RES=0",
          "/GetSysCfg.cgi?Option=IP&Size=24", "/Reboot.cgi?Cookie="}) {
        EXPECT_EQ(Exchange(device, target).status, 401) << target;
    }
    EXPECT_EQ(model.RebootCount(), 0);
}

TEST_F(FakeDeviceModel, DeviceInformationDescribesAQ8A7) {
    const auto session = LogIn();
    const auto answer =
        Exchange(device, "/Getdeviceinfo.cgi?Cookie=" + session + "&RES=1&QUA=60&CH=3&NEWHR=1");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body,
              "LIFETIME=-1;MULTICH=0;MASTERNUM=1;MID=0;MTYPE=24;VIDEOMODE=0;USERLEVEL=30;"
              "Boot-Version=1004;2041-Version=1012;FPGA-Version=1007;SLAVENUM=1;SID=1;STYPE=1;"
              "SPROTOCOL=0;");
    const auto stream = model.LastStreamSettings();
    EXPECT_EQ(stream.resolution, 1);
    EXPECT_EQ(stream.quality, 60);
    EXPECT_EQ(stream.channel, 0);  // a recorder that shows its own view has no other
    EXPECT_TRUE(stream.newHeader);
}

TEST_F(FakeDeviceModel, SectionsHaveTheirFixedSizesAndAllIsTheirConcatenation) {
    const auto session = LogIn();
    struct Section {
        const char* option;
        std::size_t offsetInAll;
        std::size_t size;
    };
    constexpr Section kLayout[] = {
        {"INF", 0, 44},         {"IP", 44, 24},       {"SECURE", 68, 196},   {"DNS", 264, 12},
        {"SMTP", 276, 440},     {"FTP", 716, 104},    {"PPPOE", 820, 68},    {"SYSTEM", 888, 36},
        {"SNTP", 924, 36},      {"IMG", 960, 12},     {"RS485", 972, 124},   {"ALARM", 1096, 24},
        {"DVRLIVE", 1120, 772}, {"DVROSD", 1892, 20}, {"DVRREC", 1912, 132},
    };
    const auto all = Exchange(device, "/GetSysCfg.cgi?Option=ALL&Size=0&Cookie=" + session);
    EXPECT_EQ(all.status, 200);
    ASSERT_EQ(all.body.size(), 2044u + 24u);  // one ONLINE record: this session
    for (const auto& section : kLayout) {
        const auto single =
            Exchange(device, "/GetSysCfg.cgi?Option="s + section.option +
                                 "&Size=" + std::to_string(section.size) + "&Cookie=" + session);
        EXPECT_EQ(single.status, 200) << section.option;
        EXPECT_EQ(single.body.size(), section.size) << section.option;
        EXPECT_EQ(all.body.substr(section.offsetInAll, section.size), single.body)
            << section.option;
    }
    const auto online = Exchange(device, "/GetSysCfg.cgi?Option=ONLINE&Size=240&Cookie=" + session);
    EXPECT_EQ(online.body, all.body.substr(2044));
    EXPECT_EQ(online.body.substr(0, 6), "tresk\0"s);
    EXPECT_EQ(online.body.substr(16, 4), "\x7F\x00\x00\x01"s);  // 127.0.0.1
    EXPECT_EQ(Exchange(device, "/GetSysCfg.cgi?Option=PERI&Size=16&Cookie=" + session).status,
              400);  // not a section of this family
}

TEST_F(FakeDeviceModel, SetSysCfgStoresASectionOfTheRightSizeOnly) {
    const auto session = LogIn();
    const std::string fresh(24, '\x5A');
    const auto before = model.Section("IP");
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(
        Exchange(device, "/SetSysCfg.cgi?Option=IP&Cookie=" + session, fresh.substr(0, 23)).status,
        400);
    EXPECT_EQ(Exchange(device, "/SetSysCfg.cgi?Option=IP&Cookie=" + session, fresh + "x").status,
              400);
    EXPECT_EQ(model.Section("IP"), before);

    EXPECT_EQ(Exchange(device, "/SetSysCfg.cgi?Option=IP&Cookie=" + session, fresh).status, 200);
    EXPECT_EQ(Exchange(device, "/GetSysCfg.cgi?Option=IP&Size=24&Cookie=" + session).body, fresh);

    const std::string dns(12, '\x01');
    EXPECT_EQ(
        Exchange(device, "/SetSysCfg.cgi?Option=DNS&Refresh=False&Cookie=" + session, dns).status,
        200);
    EXPECT_EQ(model.Section("DNS"), dns);
    EXPECT_EQ(Exchange(device, "/SetSysCfg.cgi?Option=INF&Cookie=" + session, std::string(44, '\0'))
                  .status,
              400);  // read only
}

TEST_F(FakeDeviceModel, RebootAnswersAndIsCounted) {
    const auto session = LogIn();
    EXPECT_EQ(Exchange(device, "/Reboot.cgi?Cookie=" + session).status, 200);
    EXPECT_EQ(model.RebootCount(), 1);
}

TEST_F(FakeDeviceModel, ScriptedRepliesOverrideTheModel) {
    device.SetReply("/Login.cgi", Reply::Status(202, "Accepted"));
    EXPECT_EQ(Exchange(device, "/Login.cgi?Username=tresk&Password=tresk").status, 202);
    device.ClearReply("/Login.cgi");
    EXPECT_FALSE(LogIn().empty());
    EXPECT_EQ(Exchange(device, "/NoSuchCommand.cgi").status, 404);  // not modelled
}

TEST_F(FakeDeviceModel, LiveViewSettingsAreKeptAndColourAnswers) {
    devicesim::DeviceProfile profile;
    profile.multiChannel = 1;  // a recorder with channels to choose
    devicesim::DeviceModel& recorder = device.EnableDeviceModel("tresk", "tresk", profile);
    const auto session = LogIn();
    EXPECT_EQ(Exchange(device, "/Setresolution.cgi?Cookie=" + session + "&RES=1").status, 200);
    EXPECT_EQ(Exchange(device, "/Setquality.cgi?Cookie=" + session + "&QUA=2").status, 200);
    EXPECT_EQ(Exchange(device, "/SetChannel.cgi?Cookie=" + session + "&CH=12").status, 200);
    EXPECT_EQ(recorder.LastStreamSettings().resolution, 1);
    EXPECT_EQ(recorder.LastStreamSettings().quality, 2);
    EXPECT_EQ(recorder.LastStreamSettings().channel, 12);
    EXPECT_EQ(Exchange(device, "/SetChannel.cgi?Cookie=" + session + "&CH=17").status, 400);
    EXPECT_EQ(Exchange(device, "/Setquality.cgi?QUA=1").status, 401);
    const auto colour = Exchange(device, "/GetColor.cgi?Cookie=" + session);
    EXPECT_EQ(colour.status, 200);
    EXPECT_EQ(colour.body, "BRI=128;CON=128;HUE=128;");
}

}  // namespace
}  // namespace test_support
