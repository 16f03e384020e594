#include "core/login/session_login.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <semaphore>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/kernel_message.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/window.h"
#include "tests/core/held_resolver.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "tools/devicesim/device_model.h"

namespace {

using namespace std::chrono_literals;
using test_support::FakeDevice;
using test_support::Reply;

// Collects WM_SHOWLOGINSTATUS codes (the second parameter) and arguments.
class StatusWindow : public platform::MessageTarget {
public:
    StatusWindow() : handle(platform::RegisterWindow(this)) {}
    ~StatusWindow() override { platform::UnregisterWindow(handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t w, std::uint64_t l) override {
        if (message != WM_SHOWLOGINSTATUS)
            return;
        codes.push_back(l);
        arguments.push_back(w);
    }
    platform::WindowHandle handle;
    std::vector<std::uint64_t> codes;
    std::vector<std::uint64_t> arguments;
};

// A receive thread that also reports when the start event reaches it.
class StartWatchingMedia : public PlaceholderMedia {
public:
    std::uint32_t RunReceiveThread() override {
        AppGlobalState& app = *g_lpApp;
        const int which = platform::WaitForAny(
            {app.h_StartToGetJpegImageEvent.get(), app.h_NotifyGetJPEGImageThreadResetEvent.get(),
             app.h_EndofGetJpegImageEvent.get()},
            platform::kInfinite);
        if (which == 0) {
            started.Set();
            return PlaceholderMedia::RunReceiveThread();
        }
        if (which == 1)
            app.h_FeedBackForNotifyResetEvent->Set();
        return 0;
    }
    platform::Event started{true, false};
};

class SessionLoginTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device.port();
        settings().m_strUserName = "tresk";
        settings().m_strPassword = "tresk";
        g_strHostIP.Set("127.0.0.1");
        g_lpApp->h_MainDialogHandle = window.handle;
        ASSERT_EQ(InitProcessResource(), 1);
    }
    void TearDown() override {
        AppStateTest::TearDown();
        SetMediaServices(nullptr);  // only now that its threads have ended
        device.Stop();
    }

    StartWatchingMedia media;

    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const auto& request : device.Requests()) paths.push_back(request.path);
        return paths;
    }

    // Runs the thread until `requests` requests have reached the device, then
    // stops it; returns its exit code.
    std::uint32_t RunUntilRequests(std::size_t requests) {
        platform::Thread thread;
        EXPECT_TRUE(thread.Start([] { return LoginProcessThread(); }));
        EXPECT_TRUE(device.WaitForRequests(requests));
        thread.Stop(5s);
        return thread.ExitCode().value_or(99);
    }

    FakeDevice device;
    StatusWindow window;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
};

TEST_F(SessionLoginTest, LogsInReadsTheDeviceAndStartsStreaming) {
    device.EnableDeviceModel();
    ASSERT_EQ(LoginProcessThread(), 0u);
    AppGlobalState& app = *g_lpApp;

    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"/Login.cgi", "/GetSysCfg.cgi", "/Getdeviceinfo.cgi"}));
    const auto info = device.RequestsTo("/Getdeviceinfo.cgi").at(0);
    EXPECT_EQ(info.target, "/Getdeviceinfo.cgi?Cookie=" + g_szSessionCookie.Get() +
                               "&RES=" + std::to_string(settings().m_dwImageResolution.load()) +
                               "&QUA=0&CH=" +
                               std::to_string(settings().m_bySelectedChannel.load()) + "&NEWHR=1");
    EXPECT_EQ(app.w_LoginResult.load(), 30);
    EXPECT_EQ(app.w_UserLevel.load(), 30);
    EXPECT_EQ(app.str_ProductID.Get(), "Q8A7");
    EXPECT_EQ(app.str_BootVersion.Get(), "1004");
    EXPECT_EQ(app.dw_LifeTime.load(), -1);
    EXPECT_TRUE(app.f_Connected);

    // One master of type 24 and one PTZ slave (STYPE 1 is type 11).
    ASSERT_EQ(app.C_ControlD.Count(), 2);
    EXPECT_EQ(app.C_ControlD.Entry(0).type, 24);
    EXPECT_EQ(app.C_ControlD.Entry(0).kinds, kDeviceMaster | kDeviceValid);
    EXPECT_EQ(app.C_ControlD.Entry(1).type, 11);
    EXPECT_EQ(app.C_ControlD.Entry(1).kinds, kDeviceSlave | kDeviceValid);
    EXPECT_EQ(app.C_ControlD.IsCurrentMaster(), 1);

    // The streaming set was rebuilt and may start.
    ASSERT_TRUE(app.h_GetJpegImageThread);
    EXPECT_TRUE(app.h_StartToGetJpegImageEvent->IsSet());
    EXPECT_TRUE(app.h_StartConnectionThreadEvent->IsSet() || app.dw_LifeSeconds == 0);
    EXPECT_EQ(TraceLog(),
              "Start send login command\r\nlogin success\r\n"
              "start to send get device info command\r\nCommand success\r\nSend start event\r\n");
    platform::ProcessPostedMessages();
    EXPECT_EQ(window.codes, (std::vector<std::uint64_t>{1, 5}));
}

// How long the thread pauses after a failed attempt, by how it failed.
struct RetryCase {
    const char* name;
    int status;
    std::vector<std::chrono::milliseconds> pauses;
    std::vector<std::uint64_t> codes;
    std::uint16_t loginResult;
};

class SessionRetryTest : public SessionLoginTest,
                         public ::testing::WithParamInterface<RetryCase> {};

TEST_P(SessionRetryTest, FailedLoginPausesThenTriesAgain) {
    device.EnableDeviceModel();
    device.SetReplies("/Login.cgi",
                      {Reply::Status(GetParam().status, "No"), Reply::Status(401, "No")});
    device.AddReply("/Login.cgi", Reply::Status(GetParam().status, "No"));
    RunUntilRequests(2);
    // The first pause is complete before the second attempt starts.
    const auto sleeps = clock.Sleeps();
    ASSERT_GE(sleeps.size(), GetParam().pauses.size());
    EXPECT_EQ(std::vector(sleeps.begin(), sleeps.begin() + GetParam().pauses.size()),
              GetParam().pauses);
    platform::ProcessPostedMessages();
    ASSERT_GE(window.codes.size(), GetParam().codes.size());
    EXPECT_EQ(std::vector(window.codes.begin(), window.codes.begin() + GetParam().codes.size()),
              GetParam().codes);
    EXPECT_NE(TraceLog().find("login failed"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SessionRetryTest,
    ::testing::Values(
        RetryCase{"TooManyUsers", 202, {20000ms, 3000ms, 3000ms, 2000ms}, {1, 7, 3, 0, 6, 1}, 102},
        RetryCase{"Refused", 401, {3000ms, 3000ms, 2000ms}, {1, 3, 0, 6, 1}, 100}),
    [](const auto& instance) { return std::string(instance.param.name); });

// The simulator acts as each product; the session login fills the
// linked-device table from its reply and picks the family's current entry.
struct ProductCase {
    const char* product;
    int count;
    int currentType;
};

class SessionProductTest : public SessionLoginTest,
                           public ::testing::WithParamInterface<ProductCase> {};

TEST_P(SessionProductTest, SimulatorProductFillsTheTable) {
    const ProductCase& c = GetParam();
    auto profile = devicesim::ProfileForProduct(c.product);
    ASSERT_TRUE(profile);
    profile->userLevel = 20;
    device.EnableDeviceModel("tresk", "tresk", *profile);
    settings().m_bySelectedChannel = 2;  // Q3A2: the linked DVR
    ASSERT_EQ(LoginProcessThread(), 0u);
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), c.product);
    EXPECT_EQ(g_lpApp->w_UserLevel.load(), 20);
    EXPECT_EQ(g_lpApp->C_ControlD.Count(), c.count);
    EXPECT_EQ(g_lpApp->C_ControlD.GetCurrentType(), c.currentType);
    EXPECT_EQ(g_lpApp->C_ControlD.IsCurrentMaster(), 1);
    EXPECT_FALSE(devicesim::ProfileForProduct("Q8A8"));
}

INSTANTIATE_TEST_SUITE_P(Products, SessionProductTest,
                         ::testing::Values(ProductCase{"Q8A7", 2, 24}, ProductCase{"Q8A5", 2, 20},
                                           ProductCase{"Q8A3", 2, 21}, ProductCase{"Q3A2", 2, 12},
                                           ProductCase{"Q7B7", 2, 0}, ProductCase{"Q7B5", 2, 0},
                                           ProductCase{"Q7B3", 1, 0}, ProductCase{"Q9C0", 1, 0}),
                         [](const auto& instance) { return std::string(instance.param.product); });

// Types beyond the family tables never enter the linked-device table, also
// when they would wrap to a valid byte.
TEST_F(SessionLoginTest, UnknownLinkedTypesAreNotAdded) {
    device.EnableDeviceModel();
    device.SetReply("/Getdeviceinfo.cgi",
                    Reply::Ok("MASTERNUM=3;MID=0;MTYPE=26;MID=1;MTYPE=275;MID=2;MTYPE=24;"
                              "SLAVENUM=1;SID=4;STYPE=-5;SPROTOCOL=0;"));
    ASSERT_EQ(LoginProcessThread(), 0u);
    const CControlDevice& devices = g_lpApp->C_ControlD;
    ASSERT_EQ(devices.Count(), 1);
    EXPECT_EQ(devices.Entry(0).type, 24);
    EXPECT_EQ(devices.Entry(0).id, 2);
    EXPECT_NE(TraceLog().find("linked device of unknown type 26 is not added"), std::string::npos);
    EXPECT_NE(TraceLog().find("linked device of unknown type 255 is not added"), std::string::npos);
}

TEST_F(SessionLoginTest, ElapsedTimeIsReportedAfterEachPause) {
    device.SetReply("/Login.cgi", Reply::Status(401, "No"));
    RunUntilRequests(3);
    platform::ProcessPostedMessages();
    std::vector<std::uint64_t> elapsed;
    for (std::size_t i = 0; i < window.codes.size(); ++i) {
        if (window.codes[i] == 0)
            elapsed.push_back(window.arguments[i]);
    }
    // 3 s + 3 s before the first report, then 2 s + 3 s + 3 s more.
    ASSERT_GE(elapsed.size(), 2u);
    EXPECT_EQ(elapsed[0], 6u);
    EXPECT_EQ(elapsed[1], 14u);
}

TEST_F(SessionLoginTest, ReplyWithoutSessionIdAndEmptyDeviceInformationAreRetried) {
    device.EnableDeviceModel();
    device.SetReplies("/Login.cgi", {Reply::Ok("Product-ID=Q8A7;")});
    RunUntilRequests(2);
    EXPECT_EQ(Paths()[0], "/Login.cgi");
    EXPECT_EQ(Paths()[1], "/Login.cgi");

    device.ClearReply("/Login.cgi");
    device.SetReply("/Getdeviceinfo.cgi", Reply::Ok(""));
    const std::size_t before = device.RequestCount();
    // Each round asks for the login, the INF section and the device information.
    RunUntilRequests(before + 6);
    const auto paths = Paths();
    EXPECT_GE(std::count(paths.begin() + before, paths.end(), "/Getdeviceinfo.cgi"), 2);
    // A failed round signals nothing.
    EXPECT_FALSE(g_lpApp->h_StartToGetJpegImageEvent);
}

TEST_F(SessionLoginTest, UnreachableDeviceIsRetriedUntilStopped) {
    device.Stop();
    platform::Thread thread;
    ASSERT_TRUE(thread.Start([] { return LoginProcessThread(); }));
    // Wait until two rounds of pauses were taken, then stop it.
    EXPECT_TRUE(test_support::WaitUntil([&] { return clock.Sleeps().size() >= 8; },
                                        "two rounds of pauses"));
    EXPECT_EQ(thread.Stop(5s), platform::StopOutcome::Ended);
    EXPECT_GE(clock.Sleeps().size(), 8u);
    EXPECT_EQ(g_lpApp->w_LoginResult.load(), 100);
}

TEST_F(SessionLoginTest, HostNameIsResolvedAgainOnEveryAttempt) {
    device.SetReply("/Login.cgi", Reply::Status(401, "No"));
    settings().m_strServerName = "localhost";
    RunUntilRequests(2);
    EXPECT_EQ(settings().m_strServerName.Get(), "localhost");
}

// Stopping a login run while it waits for a name lookup ends it within its
// bound, without "IP Address is wrong.".
TEST_F(SessionLoginTest, StopDuringANameLookupEndsTheRun) {
    core_test::HeldResolver held;
    settings().m_strServerName = "recorder.example";
    platform::Thread thread;
    ASSERT_TRUE(thread.Start([] { return LoginProcessThread(); }));
    ASSERT_TRUE(held.WaitEntered(1));
    EXPECT_EQ(thread.Stop(5s), platform::StopOutcome::Ended);
    EXPECT_TRUE(boxes.sink().Entries().empty());
    EXPECT_EQ(device.RequestCount(), 0u);
}

struct DeviceInfoCase {
    const char* name;
    const char* productId;
    const char* reply;
    int selectedChannel;
    std::vector<std::pair<int, int>> entries;  // type, kinds
    int selectedAfter;
};

class DeviceInfoTest : public SessionLoginTest,
                       public ::testing::WithParamInterface<DeviceInfoCase> {};

TEST_P(DeviceInfoTest, FillsTheLinkedDeviceTable) {
    const DeviceInfoCase& c = GetParam();
    device.SetReply("/Login.cgi",
                    Reply::Ok(std::string("Session-ID=S1;Firmware-Version=1040;Product-ID=") +
                              c.productId + ";"));
    device.SetReply("/Getdeviceinfo.cgi", Reply::Ok(c.reply));
    device.SetReply("/GetSysCfg.cgi", Reply::Ok(std::string(44, '\0')));
    settings().m_bySelectedChannel = static_cast<std::uint8_t>(c.selectedChannel);
    ASSERT_EQ(LoginProcessThread(), 0u);
    const CControlDevice& devices = g_lpApp->C_ControlD;
    ASSERT_EQ(devices.Count(), static_cast<int>(c.entries.size()));
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
        EXPECT_EQ(devices.Entry(static_cast<int>(i)).type, c.entries[i].first) << i;
        EXPECT_EQ(devices.Entry(static_cast<int>(i)).kinds, c.entries[i].second | kDeviceValid)
            << i;
    }
    EXPECT_EQ(settings().m_bySelectedChannel.load(), c.selectedAfter);
}

constexpr int M = kDeviceMaster;
constexpr int S = kDeviceSlave;

INSTANTIATE_TEST_SUITE_P(
    Replies, DeviceInfoTest,
    ::testing::Values(
        DeviceInfoCase{"LinkDeviceWinsOverMasterNum",
                       "Q8A7",
                       "LINKDEVICE=19;MASTERNUM=2;MID=1;MTYPE=2;",
                       1,
                       {{19, M}},
                       1},
        DeviceInfoCase{
            "MasterTypeOneIsPtzSlave", "Q8A7", "MASTERNUM=1;MID=3;MTYPE=1;", 1, {{11, M}}, 1},
        DeviceInfoCase{"SlaveProtocolOneIsPelco",
                       "Q8A7",
                       "SLAVENUM=1;SID=2;STYPE=1;SPROTOCOL=1;",
                       1,
                       {{18, S}},
                       1},
        DeviceInfoCase{"RetrReplacesMastersByLinkedDvr",
                       "Q3A2",
                       "MASTERNUM=1;MID=0;MTYPE=20;RETR=1;",
                       1,
                       {{22, M}},
                       1},
        DeviceInfoCase{"RetrWithOtherTypeLeavesNoEntry",
                       "Q3A2",
                       "MASTERNUM=1;MID=0;MTYPE=5;RETR=1;",
                       1,
                       {},
                       1},
        DeviceInfoCase{"MultiChannelSlavesAreMasters",
                       "Q8A7",
                       "MULTICH=1;SLAVENUM=2;SID=1;STYPE=3;SID=2;STYPE=4;",
                       1,
                       {{3, M}, {4, M}},
                       1},
        DeviceInfoCase{"ChannelAbove16ForQ8A7", "Q8A7", "MASTERNUM=0;", 17, {}, 0},
        DeviceInfoCase{"ChannelAbove2ForQ3A2", "Q3A2", "MASTERNUM=0;", 3, {}, 1},
        DeviceInfoCase{
            "GroupCountIsCapped", "Q8A7", "MASTERNUM=99999;MID=1;MTYPE=2;", 1, {{2, M}}, 1}),
    [](const auto& instance) { return std::string(instance.param.name); });

// Kernel message 1 runs the whole cycle: tear-down, login, rebuild, start.
TEST_F(SessionLoginTest, StreamFailureLogsInAgainEndToEnd) {
    device.EnableDeviceModel();
    SetMediaServices(&media);
    ASSERT_EQ(InitLoginResource(), 1);
    AppGlobalState& app = *g_lpApp;
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message));
    // The rebuilt receive thread reports the start event. (Polling the event
    // pointers from here would race with the thread that replaces them.)
    EXPECT_EQ(media.started.Wait(10s), platform::WaitResult::Signaled);
    EXPECT_TRUE(app.h_GetJpegImageThread && app.h_GetJpegImageThread->Running());
    EXPECT_EQ(app.w_LoginResult.load(), 30);
    EXPECT_EQ(Paths().front(), "/Login.cgi");
}

// A clock that runs as the fixture's manual clock and lets a test act in the
// middle of ExitLoginResource: at its 100 ms pause on the test's own thread.
class ShutdownPauseClock : public platform::ClockSource {
public:
    explicit ShutdownPauseClock(platform::ManualClock& inner) : m_inner(inner) {}
    std::uint64_t NowMs() override { return m_inner.NowMs(); }
    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override {
        if (d == 100ms && std::this_thread::get_id() == m_owner && hook)
            std::exchange(hook, {})();
        return m_inner.SleepFor(d, token);
    }
    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override {
        return m_inner.ElapseWaitTimeout(timeout);
    }
    std::function<void()> hook;  // run once, on the owner's thread

private:
    platform::ManualClock& m_inner;
    const std::thread::id m_owner = std::this_thread::get_id();
};

// Reports when the login thread has read the device and is about to ask for
// the rebuild.
class RelayoutWatchingLiveView : public PlaceholderLiveView {
public:
    void RelayoutForDevice() override { relayout.release(); }
    std::binary_semaphore relayout{0};
};

// Reports every streaming set that gets built.
class BuildWatchingMedia : public StartWatchingMedia {
public:
    bool StartRecorderThreads(std::uint8_t option) override {
        built.release();
        return StartWatchingMedia::StartRecorderThreads(option);
    }
    std::counting_semaphore<64> built{0};
};

class LateLoginAtShutdownTest : public SessionLoginTest {
protected:
    void SetUp() override {
        SessionLoginTest::SetUp();
        SetLiveViewServices(&liveView);
        SetMediaServices(&watchingMedia);
    }
    void TearDown() override {
        SessionLoginTest::TearDown();
        SetLiveViewServices(nullptr);
    }
    RelayoutWatchingLiveView liveView;
    BuildWatchingMedia watchingMedia;
};

// The re-login started by a stream failure completes while the main window
// closes: the device answers during ExitLoginResource. Nothing may be rebuilt
// once shutdown has begun, and ExitProcessResource must leave no streaming
// thread waiting on the process events it closes.
TEST_F(LateLoginAtShutdownTest, LoginCompletingDuringShutdownRebuildsNothing) {
    device.EnableDeviceModel();
    Reply stall = Reply::Ok("LIFETIME=-1;MULTICH=0;");
    stall.stallAfter = 0;
    device.SetReply("/Getdeviceinfo.cgi", stall);
    ASSERT_EQ(InitLoginResource(), 1);
    ASSERT_TRUE(watchingMedia.built.try_acquire_for(0ms));
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message));
    ASSERT_TRUE(device.WaitForStalls(1));

    ShutdownPauseClock pauseClock(clock);
    platform::ScopedClockSource usePauseClock(pauseClock);
    pauseClock.hook = [this] {
        device.ReleaseStalls();
        EXPECT_TRUE(liveView.relayout.try_acquire_for(FakeDevice::kGenerousWait));
    };
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_FALSE(pauseClock.hook);
    // A rebuild now would come at once; it must not come at all. (Passing
    // does not depend on this wait; it only gives a wrong rebuild its chance.)
    EXPECT_FALSE(watchingMedia.built.try_acquire_for(300ms));
    EXPECT_EQ(ExitProcessResource(), 1);

    AppGlobalState& app = *g_lpApp;
    EXPECT_FALSE(app.h_GetJpegImageThread);
    EXPECT_FALSE(app.h_ConnectionThread);
    EXPECT_FALSE(app.h_StartToGetJpegImageEvent);
    EXPECT_FALSE(app.h_ReLoginThread);
    EXPECT_FALSE(app.h_Process_Init_Thread);
    EXPECT_EQ(TraceLog().find("Send start event"), std::string::npos);
}

// Shutdown while the session login waits for the device ends every thread.
class ShutdownDuringLoginTest : public SessionLoginTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(ShutdownDuringLoginTest, EveryThreadEnds) {
    device.EnableDeviceModel();
    Reply stall = Reply::Ok("");
    stall.stallAfter = 0;
    device.SetReply(GetParam(), stall);
    ASSERT_EQ(InitLoginResource(), 1);
    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message));
    ASSERT_TRUE(device.WaitForStalls(1));
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(ExitProcessResource(), 1);
    AppGlobalState& app = *g_lpApp;
    EXPECT_FALSE(app.h_ReLoginThread);
    EXPECT_FALSE(app.h_Process_KernelMessageThread);
    EXPECT_FALSE(app.h_GetJpegImageThread);
}

INSTANTIATE_TEST_SUITE_P(Steps, ShutdownDuringLoginTest,
                         ::testing::Values("/Login.cgi", "/GetSysCfg.cgi", "/Getdeviceinfo.cgi"),
                         [](const auto& instance) {
                             const std::string path = instance.param;
                             return path.substr(1, path.find('.') - 1);
                         });

}  // namespace
