// The login exchange and the login dialog's threads against a scripted
// device and the simulated recorder.

#include "core/login/login_exchange.h"

#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "core/application/window_messages.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"

namespace command_test {
namespace {

using namespace std::string_literals;

struct Message {
    std::uint32_t message;
    std::uint64_t wParam;
    bool operator==(const Message&) const = default;
};

// The login dialog as its threads see it: a window that receives messages.
class DialogWindow : public platform::MessageTarget {
public:
    DialogWindow() : m_handle(platform::RegisterWindow(this)) {}
    ~DialogWindow() override { platform::UnregisterWindow(m_handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t) override {
        received.push_back({message, wParam});
    }
    platform::WindowHandle handle() const { return m_handle; }
    std::vector<Message> received;

private:
    platform::WindowHandle m_handle;
};

class LoginTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        // What an earlier login left behind.
        g_szSessionCookie.Set("OLDCOOKIE");
        g_lpApp->str_ProductID.Set("Q8A5");
        g_lpApp->str_FWVersion.Set("0999");
        g_lpApp->str_HostName.Set("old-host");
        g_lpApp->sz_MacAddress = {'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 0};
        g_lpApp->w_UserLevel = 30;
        settings().m_wLastConnectionMAC1 = 7;
        settings().m_wLastConnectionMAC2 = 9;
    }

    static std::string Mac() { return std::string(g_lpApp->sz_MacAddress.data(), 12); }
};

TEST_F(LoginTest, RequestBytes) {
    device.EnableDeviceModel();
    EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    EXPECT_EQ(LoginExchange("a b&c", "p=w d", LoginPath::kLoginDialog), kLoginFailed);
    EXPECT_EQ(RawRequest(0),
              "GET /Login.cgi?Username=tresk&Password=tresk HTTP/1.1\r\n" + FixedHeaders());
    EXPECT_EQ(RawRequest(1),
              "GET /Login.cgi?Username=a b&c&Password=p=w d HTTP/1.1\r\n" + FixedHeaders());
    // A line break in a credential would add a header line: nothing is sent.
    EXPECT_EQ(LoginExchange("tresk\r\nX-Admin: 1", "tresk", LoginPath::kLoginDialog), kLoginFailed);
    EXPECT_EQ(device.RequestCount(), 2u);
}

struct ReplyCase {
    const char* name;
    LoginPath path;
    Reply reply;
    int code;
    std::string cookie;
    std::string productId;
    std::string firmware;
    std::string mac;  // the 12 characters of sz_MacAddress
    std::string hostName;
    std::uint16_t mac1 = 7;
    std::uint16_t mac2 = 9;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }
};

const std::string kNoMac(12, '\0');
const std::string kFull =
    "Session-ID=5F3A;Firmware-Version=1052;Product-ID=Q8A7;MAC-Address=0011223344AB;"
    "Host-Name=Q8A7-DVR;";
const std::string kId63(63, 'S');

class LoginReplyCases : public LoginTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(LoginReplyCases, StoreExactlyWhatTheReplyHolds) {
    const ReplyCase& c = GetParam();
    device.SetReply("/Login.cgi", c.reply);
    EXPECT_EQ(LoginExchange("tresk", "tresk", c.path), c.code);
    EXPECT_EQ(g_szSessionCookie.Get(), c.cookie);
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), c.productId);
    EXPECT_EQ(g_lpApp->str_FWVersion.Get(), c.firmware);
    EXPECT_EQ(Mac(), c.mac);
    EXPECT_EQ(g_lpApp->sz_MacAddress[12], '\0');
    EXPECT_EQ(g_lpApp->str_HostName.Get(), c.hostName);
    EXPECT_EQ(settings().m_wLastConnectionMAC1.load(), c.mac1);
    EXPECT_EQ(settings().m_wLastConnectionMAC2.load(), c.mac2);
    EXPECT_EQ(g_lpApp->w_UserLevel.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginReplyCases,
    ::testing::Values(
        ReplyCase{"Full", LoginPath::kLoginDialog, Reply::Ok(kFull), 0, "5F3A", "Q8A7", "1052",
                  "0011223344AB", "Q8A7-DVR", 0x44, 0xAB},
        ReplyCase{"SessionAndProductOnly", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=ABC;Product-ID=Q8A7;"), 0, "ABC", "Q8A7", "", kNoMac, ""},
        ReplyCase{"ItemsInAnyOrderWithLineBreaks", LoginPath::kLoginDialog,
                  Reply::Ok("Host-Name=h;\r\nProduct-ID=Q9C0;\r\nSession-ID=77;\r\n"), 0, "77",
                  "Q9C0", "", kNoMac, "h"},
        ReplyCase{"LowerCaseMac", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A;Product-ID=Q3A2;MAC-Address=0011223344ab;"), 0, "A",
                  "Q3A2", "", "0011223344ab", "", 0x44, 0xAB},
        ReplyCase{"ShortMac", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A;Product-ID=Q3A2;MAC-Address=12AB;"), 0, "A", "Q3A2", "",
                  "12AB"s + std::string(8, '\0'), ""},
        ReplyCase{"LongMac", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A;Product-ID=Q3A2;MAC-Address=0011223344ABCDEF;"), 0, "A",
                  "Q3A2", "", "0011223344AB", ""},
        ReplyCase{"NonHexMac", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A;Product-ID=Q3A2;MAC-Address=00112233445G;"), 0, "A",
                  "Q3A2", "", "00112233445G", ""},
        ReplyCase{"WorkerLeavesMacSettings", LoginPath::kConnectWaitWorker, Reply::Ok(kFull), 0,
                  "5F3A", "Q8A7", "1052", "0011223344AB", "Q8A7-DVR"},
        ReplyCase{"UnknownProduct", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A;Firmware-Version=1052;Product-ID=Q1Z9;"
                            "MAC-Address=0011223344AB;Host-Name=h;"),
                  3, "A", "Q1Z9", "1052", kNoMac, ""},
        ReplyCase{"UnknownProductForSessionThread", LoginPath::kSessionThread,
                  Reply::Ok("Session-ID=A;Product-ID=Q1Z9;MAC-Address=0011223344AB;"), 0, "A",
                  "Q1Z9", "", "0011223344AB", "", 0x44, 0xAB},
        ReplyCase{"NoProductId", LoginPath::kSessionThread,
                  Reply::Ok("Session-ID=A;Firmware-Version=1052;"), 3, "A", "", "1052", kNoMac, ""},
        ReplyCase{"NoSessionId", LoginPath::kLoginDialog, Reply::Ok("Product-ID=Q8A7;"), 1, "", "",
                  "", kNoMac, ""},
        ReplyCase{"SessionIdInsideAnotherKey", LoginPath::kLoginDialog,
                  Reply::Ok("X-Session-ID=A;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{"EmptySessionId", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{"SessionIdOf63", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=" + kId63 + ";Product-ID=Q8A7;"), 0, kId63, "Q8A7", "",
                  kNoMac, ""},
        ReplyCase{"SessionIdOf64", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=" + kId63 + "S;Product-ID=Q8A7;"), 1, "", "", "", kNoMac,
                  ""},
        ReplyCase{"SessionIdWithSpace", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A B;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{"SessionIdWithAmpersand", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A&Cookie=B;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{"SessionIdWithLineBreak", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A\r\nX;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{"SessionIdWithTab", LoginPath::kLoginDialog,
                  Reply::Ok("Session-ID=A\tB;Product-ID=Q8A7;"), 1, "", "", "", kNoMac, ""},
        ReplyCase{
            "LongHostName", LoginPath::kSessionThread,
            Reply::Ok("Session-ID=A;Product-ID=Q8A7;Host-Name=" + std::string(300, 'h') + ";"), 0,
            "A", "Q8A7", "", kNoMac, std::string(255, 'h')},
        ReplyCase{
            "ReplyLargerThanDialogBuffer", LoginPath::kLoginDialog,
            Reply::Ok("Session-ID=A;Product-ID=Q8A7;Host-Name=" + std::string(300, 'h') + ";"), 1,
            "", "", "", kNoMac, ""},
        ReplyCase{"EmptyBody", LoginPath::kLoginDialog, Reply::Ok(), 1, "", "", "", kNoMac, ""},
        ReplyCase{"Status202", LoginPath::kLoginDialog, Reply::Status(202, "Accepted"), 2, "", "",
                  "", kNoMac, ""},
        ReplyCase{"Status401", LoginPath::kLoginDialog, Reply::Status(401, "Unauthorized"), 1, "",
                  "", "", kNoMac, ""}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(LoginTest, ShorterSessionIdReplacesALongerOneWhole) {
    device.SetReplies("/Login.cgi", {Reply::Ok("Session-ID=" + kId63 + ";Product-ID=Q8A7;"),
                                     Reply::Ok("Session-ID=XY;Product-ID=Q8A7;")});
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    EXPECT_EQ(g_szSessionCookie.Get(), kId63);
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    EXPECT_EQ(g_szSessionCookie.Get(), "XY");
}

TEST_F(LoginTest, UnreachableDeviceFailsWithCode1) {
    settings().m_wWebPort = ClosedPort();
    EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginFailed);
    EXPECT_EQ(g_szSessionCookie.Get(), "");
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), "");
}

TEST(LoginPort, OnlyOneTo65535) {
    const std::vector<std::pair<std::string, std::optional<std::uint16_t>>> cases = {
        {"80", 80},
        {"65535", 65535},
        {" 8080", 8080},
        {"81x", 81},
        {"0", std::nullopt},
        {"65536", std::nullopt},
        {"-80", std::nullopt},
        {"", std::nullopt},
        {"x80", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& [text, port] : cases) {
        EXPECT_EQ(ParsePortText(text), port) << "'" << text << "'";
    }
}

// ---- the login dialog's threads ------------------------------------------------------

struct ThreadCase {
    const char* name;
    const char* password;
    const char* port;  // empty: the device's own
    std::optional<Reply> reply;
    const char* productId;
    Message expected;
    friend void PrintTo(const ThreadCase& c, std::ostream* os) { *os << c.name; }
};

class LoginThreadCases : public LoginTest, public ::testing::WithParamInterface<ThreadCase> {};

TEST_P(LoginThreadCases, PostExactlyOneResult) {
    const ThreadCase& c = GetParam();
    devicesim::DeviceProfile profile;
    profile.productId = c.productId;
    auto& model = device.EnableDeviceModel("tresk", "tresk", profile);
    if (c.reply) {
        device.SetReply("/Login.cgi", *c.reply);
    }
    settings().m_strServerName = "recorder.example";
    settings().m_szResolvedHost = "recorder.example";
    DialogWindow dialog;
    LoginThreadParams params{"127.0.0.1",
                             "tresk",
                             c.password,
                             *c.port != '\0' ? c.port : std::to_string(device.port()),
                             dialog.handle(),
                             std::make_shared<std::atomic<bool>>(true),
                             std::make_shared<platform::Event>(false, false)};
    const auto animating = params.animating;
    const auto stop = params.stopEvent;

    std::uint32_t exitCode = 99;
    std::thread thread([&exitCode, params] { exitCode = LoginThread(params); });
    thread.join();
    platform::ProcessPostedMessages();

    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(dialog.received, std::vector<Message>{c.expected});
    const bool failed = c.expected.message == WM_LOGINFAILED;
    EXPECT_EQ(animating->load(), !failed);
    EXPECT_EQ(stop->IsSet(), failed);
    if (*c.port != '\0') {
        EXPECT_EQ(device.RequestCount(), 0u);  // nothing sent for a bad port
        EXPECT_EQ(settings().m_strServerName.Get(), "recorder.example");
        return;
    }
    EXPECT_EQ(settings().m_strServerName.Get(), "127.0.0.1");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());
    EXPECT_EQ(settings().m_strUserName.Get(), "tresk");
    EXPECT_EQ(settings().m_strPassword.Get(), c.password);
    EXPECT_EQ(settings().m_wWebPort.load(), device.port());
    if (!failed) {
        EXPECT_EQ(g_lpApp->w_LoginResult.load(), kLoginResultLoggedIn);
        EXPECT_EQ(std::vector<std::string>{g_szSessionCookie.Get()}, model.SessionIds());
        EXPECT_EQ(g_lpApp->str_HostName.Get(), model.profile().hostName);
        EXPECT_EQ(Mac(), model.profile().macAddress);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginThreadCases,
    ::testing::Values(
        ThreadCase{"Success", "tresk", "", std::nullopt, "Q8A7", {WM_LOGINSUCCESS, 0}},
        ThreadCase{"WrongPassword", "nope", "", std::nullopt, "Q8A7", {WM_LOGINFAILED, 1}},
        ThreadCase{"TooManyUsers",
                   "tresk",
                   "",
                   Reply::Status(202, "Accepted"),
                   "Q8A7",
                   {WM_LOGINFAILED, 2}},
        ThreadCase{"UnknownProduct", "tresk", "", std::nullopt, "Q1Z9", {WM_LOGINFAILED, 3}},
        ThreadCase{"PortZero", "tresk", "0", std::nullopt, "Q8A7", {WM_LOGINFAILED, 1}},
        ThreadCase{"PortTooLarge", "tresk", "65536", std::nullopt, "Q8A7", {WM_LOGINFAILED, 1}},
        ThreadCase{"PortNotANumber", "tresk", "web", std::nullopt, "Q8A7", {WM_LOGINFAILED, 1}}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A clock whose timed waits time out at once; after `waits` of them it
// signals the event, as the login thread does when a login fails.
class SignalAfterWaits : public platform::ClockSource {
public:
    SignalAfterWaits(platform::Event& event, std::size_t waits) : m_event(event), m_waits(waits) {}
    std::uint64_t NowMs() override { return 0; }
    bool SleepFor(std::chrono::milliseconds, std::stop_token) override { return true; }
    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override {
        std::lock_guard lock(m_lock);
        m_timeouts.push_back(timeout);
        if (m_timeouts.size() == m_waits) {
            m_event.Set();
        }
        return true;
    }
    std::vector<std::chrono::milliseconds> Timeouts() const {
        std::lock_guard lock(m_lock);
        return m_timeouts;
    }

private:
    platform::Event& m_event;
    const std::size_t m_waits;
    mutable std::mutex m_lock;
    std::vector<std::chrono::milliseconds> m_timeouts;
};

TEST_F(LoginTest, AnimationPostsEvery350MsUntilTheStopEvent) {
    DialogWindow dialog;
    LoginThreadParams params;
    params.dialog = dialog.handle();
    params.stopEvent = std::make_shared<platform::Event>(false, false);
    SignalAfterWaits clock(*params.stopEvent, 3);
    {
        platform::ScopedClockSource installed(clock);
        platform::Thread thread;
        ASSERT_TRUE(thread.Start([params] { return LoginAnimateThread(params); }, "animate"));
        while (thread.Running()) {
            std::this_thread::yield();
        }
        EXPECT_EQ(thread.Stop(platform::kInfinite), platform::StopOutcome::Ended);
        EXPECT_EQ(thread.ExitCode(), 0u);
    }
    platform::ProcessPostedMessages();
    EXPECT_EQ(dialog.received, std::vector<Message>(4, Message{WM_LOGINANIMATE, 0}));
    EXPECT_EQ(clock.Timeouts(),
              std::vector<std::chrono::milliseconds>(3, std::chrono::milliseconds(350)));
}

TEST_F(LoginTest, AnimationEndsWhenItsThreadIsStopped) {
    LoginThreadParams params;
    params.stopEvent = std::make_shared<platform::Event>(false, false);
    platform::Thread thread;
    ASSERT_TRUE(thread.Start([params] { return LoginAnimateThread(params); }, "animate"));
    EXPECT_EQ(thread.Stop(platform::kInfinite), platform::StopOutcome::Ended);
    EXPECT_EQ(thread.ExitCode(), 0u);
}

}  // namespace
}  // namespace command_test
