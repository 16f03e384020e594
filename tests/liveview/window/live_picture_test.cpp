// The whole road of a live frame, as the program runs it: log in to the
// device, open the main window, receive, decode and draw; then the device
// goes away and comes back on the same port, and the picture returns by
// itself through the re-login cycle.

#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/login/login_exchange.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/store/alarm_list.h"
#include "liveview/control/cmos_toolbar.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "tests/liveview/window/live_device.h"
#include "tests/media/wave_bytes.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_wave_out.h"
#include "tests/support/wait.h"
#include "tools/devicesim/live_stream.h"
#include "tools/skingen/camera_toolbar_faces.h"

namespace {

using test_support::PumpUntil;

using namespace std::chrono_literals;
using test_support::FakeDevice;

using Device = window_test::LiveDevice;

class LivePictureTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        device = std::make_unique<Device>();
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device->server.port();
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        AppStateTest::TearDown();
        device.reset();
    }

    // Pumps the GUI thread's messages until the condition holds (bounded).

    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    std::unique_ptr<Device> device;
};

TEST_F(LivePictureTest, PictureRunsAndComesBackAfterTheDeviceRestarts) {
    AppGlobalState& app = *g_lpApp;
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);

    CDravelinDlg window;
    window.OnInitDialog();
    ASSERT_TRUE(PumpUntil([&] { return !window.CurrentPicture().isNull(); }));
    const QImage first = window.CurrentPicture();
    EXPECT_EQ(first.width(), app.w_ImageWidth.load());
    EXPECT_GT(first.height(), 0);

    // Two seconds later (on the injected clock) the status line shows the rates.
    clock.Advance(2500ms);
    ASSERT_TRUE(PumpUntil([&] { return window.StatusText().rfind("FR:", 0) == 0; }));
    EXPECT_NE(window.StatusText().find(" fps DR:"), std::string::npos);

    // The device disappears: the stream fails, and the client logs in again
    // by itself once the device is back on its port.
    const std::uint16_t port = device->server.port();
    device.reset();
    ASSERT_TRUE(PumpUntil([&] { return !app.f_VideoConnected.load(); }));
    device = std::make_unique<Device>(port);
    ASSERT_TRUE(device->server.WaitForRequests(3));
    // The new receive thread counts from 0 again and marks the video
    // connected once it has a slot.
    const bool back =
        PumpUntil([&] { return app.f_VideoConnected.load() && app.dw_FrameCount.load() > 5; });
    if (!back) {
        for (const auto& r : device->server.Requests()) ADD_FAILURE() << r.target;
        ADD_FAILURE() << TraceLog();
    }
    ASSERT_TRUE(back);
    EXPECT_EQ(device->server.RequestsTo("/Login.cgi").size(), 1u);

    window.DestroyWindow();
}

// The first device-information request fails: the window says so and the
// re-login cycle brings the picture anyway.
TEST_F(LivePictureTest, FailedDeviceInformationIsRetriedByTheReloginCycle) {
    device->server.AddReply("/Getdeviceinfo.cgi",
                            test_support::Reply::Status(500, "Internal Server Error"));
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);

    CDravelinDlg window;
    window.OnInitDialog();
    EXPECT_EQ(window.StatusText(), "Get device information failed!! Login again !!");
    device->server.ClearReply("/Getdeviceinfo.cgi");  // healthy from now on
    const bool shown = PumpUntil([&] {
        clock.Advance(100ms);  // the cycle's pauses run on the injected clock
        return !window.CurrentPicture().isNull();
    });
    if (!shown)
        ADD_FAILURE() << TraceLog();
    ASSERT_TRUE(shown);
    EXPECT_EQ(device->server.RequestsTo("/Getdeviceinfo.cgi").size(), 2u);
    window.DestroyWindow();
}

// The record button records the live stream into a .kst file; the device's
// alarm bits start an alarm recording that is listed in AlarmData.dat.
TEST_F(LivePictureTest, RecordButtonAndAlarmsWriteRecordings) {
    AppGlobalState& app = *g_lpApp;
    // A linked DVR, whose alarm bits the client evaluates: alarms during the
    // first second of every two.
    devicesim::DeviceProfile profile;
    profile.masters = {{0, 19, 0}};
    device = std::make_unique<Device>(
        0,
        devicesim::LiveStreamOptions{.framesPerSecond = 100,
                                     .alarmPeriod = std::chrono::seconds(2),
                                     .alarmLength = std::chrono::seconds(1)},
        profile);
    settings().m_wWebPort = device->server.port();
    settings().m_byAlarmTriggerRecord = 1;
    const auto records = folder.path() / "records";
    std::filesystem::create_directory(records);
    settings().m_strRecordPath = records.string();

    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    CDravelinDlg window;
    window.OnInitDialog();
    ASSERT_TRUE(PumpUntil([&] { return app.f_VideoConnected.load() && app.dw_FrameCount > 0; }));

    window.OnRecord();
    ASSERT_TRUE(GetMediaState().C_UserRecord.IsActive());
    const std::uint32_t framesAtStart = app.dw_FrameCount;
    ASSERT_TRUE(PumpUntil([&] { return app.dw_FrameCount - framesAtStart > 20; }));
    window.OnRecord();
    EXPECT_FALSE(GetMediaState().C_UserRecord.IsActive());

    // The first alarm ends within two seconds of the stream's start.
    ASSERT_TRUE(PumpUntil([&] {
        g_SystemConfig.AlarmDB_Load();
        return !g_SystemConfig.AlarmDB_Items().empty();
    }));
    window.DestroyWindow();

    std::size_t kstFiles = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(records)) {
        if (entry.path().extension() == ".kst")
            ++kstFiles;
    }
    EXPECT_GE(kstFiles, 2u);
    const auto items = g_SystemConfig.AlarmDB_Items();
    ASSERT_FALSE(items.empty());
    EXPECT_GT(items.front().frameCount, 0u);
    EXPECT_TRUE(std::filesystem::exists(std::string(items.front().path.data())));
}

// The device's alarm bits start the alarm sound (through the tests' sink)
// and its end stops it.
TEST_F(LivePictureTest, DeviceAlarmPlaysTheAlarmSound) {
    test_support::RecordingWaveOut output;
    platform::ScopedWaveOutProvider useOutput{output};
    devicesim::DeviceProfile profile;
    profile.masters = {{0, 19, 0}};
    device = std::make_unique<Device>(
        0,
        devicesim::LiveStreamOptions{.framesPerSecond = 100,
                                     .alarmPeriod = std::chrono::seconds(2),
                                     .alarmLength = std::chrono::seconds(1)},
        profile);
    settings().m_wWebPort = device->server.port();
    settings().m_byAlarmTriggerRecord = 1;
    const auto wave = folder.path() / "siren.wav";
    wavebytes::WriteFile(wave,
                         wavebytes::Riff(wavebytes::Chunk("fmt ", wavebytes::PcmBody(1, 8000, 8)) +
                                         wavebytes::Chunk("data", wavebytes::Samples(12000))));
    settings().m_strTriggerWavPath = wave.string();

    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    CDravelinDlg window;
    window.OnInitDialog();
    ASSERT_TRUE(PumpUntil([&] { return output.WriteCount() >= 8; }));
    // The alarm ends within a second: the sound's output is closed.
    ASSERT_TRUE(PumpUntil([&] { return output.CloseCount() >= 1; }));
    window.DestroyWindow();
    EXPECT_FALSE(g_lpApp->h_PlayAudioWavThread);
}

// A Q9C0's camera toolbar follows the zoom and flips the device reports in
// its frame headers.
TEST_F(LivePictureTest, CameraToolbarFollowsTheReportedState) {
    device = std::make_unique<Device>(0, devicesim::LiveStreamOptions{.framesPerSecond = 100},
                                      devicesim::ProfileForProduct("Q9C0").value());
    settings().m_wWebPort = device->server.port();
    skingen::WriteCameraToolbarFaces(folder.path());
    device->model.controlCommands().SetCameraState(0x45);  // mode 5, vertical flip

    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    CDravelinDlg window;
    window.OnInitDialog();
    ASSERT_NE(CameraToolbar(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return CameraToolbar()->Mode() == 5; }));
    EXPECT_EQ(CameraToolbar()->VR(), 1);
    EXPECT_EQ(CameraToolbar()->HR(), 0);
    EXPECT_EQ(CameraToolbar()->Button(5)->StateIndex(), 1);
    window.DestroyWindow();
}

}  // namespace
