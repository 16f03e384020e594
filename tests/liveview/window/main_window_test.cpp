#include "liveview/window/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "liveview/window/live_view_services.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/liveview/window/bare_window_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

class MainWindowTest : public ::testing::Test, protected window_test::BareWindowSetup {};

TEST_F(MainWindowTest, StatusTextFromAnotherThreadReachesTheWindow) {
    CDravelinDlg window;
    window.OnInitDialog();
    EXPECT_EQ(g_lpApp->h_MainDialogHandle.load(), window.Handle());
    EXPECT_EQ(g_lpApp->lp_MainDialog.load(), &window);
    std::thread([] { LiveViewServicesImpl().SetStatusText("ESCAPED TIME:  00:05"); }).join();
    platform::ProcessPostedMessages();
    EXPECT_EQ(window.StatusText(), "ESCAPED TIME:  00:05");
}

TEST_F(MainWindowTest, LifetimeOverClosesTheWindowAndSavesTheSettings) {
    std::uint8_t turbo = 5;
    g_lpApp->CSettingINI.LoadFromFile(folder.path(), turbo);
    CDravelinDlg window;
    window.OnInitDialog();
    window.show();
    ASSERT_TRUE(platform::PostWindowMessage(window.Handle(), WM_LIFETIMEOVER, 0, 0));
    platform::ProcessPostedMessages();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Setting.ini"));
}

TEST_F(MainWindowTest, ControlFileMustBeReadable) {
    LiveViewServicesImpl services;
    EXPECT_EQ(services.LoadCtrlFile(), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4094});
    std::ofstream(folder.path() / "CtrlFile.ini") << "[EOF]\nEND\n";
    EXPECT_EQ(services.LoadCtrlFile(), 1);
    EXPECT_EQ(boxes.Ids().size(), 1u);
}

}  // namespace

namespace {

// A stalled stream shows falling figures at once, not the last healthy rate.
TEST_F(MainWindowTest, RatesFallToZeroWhenNoFrameArrives) {
    CDravelinDlg window;
    AppGlobalState& app = *g_lpApp;
    app.f_VideoConnected = true;
    app.dw_RateTick = static_cast<std::uint32_t>(clock.NowMs());
    clock.Advance(std::chrono::milliseconds(1999));
    app.dw_FrameCount = 50;
    window.OnRateTimer();
    EXPECT_EQ(window.StatusText(), "");  // the period has not ended

    clock.Advance(std::chrono::milliseconds(1));
    app.dw_ByteCount = 256000;  // 128000 bytes a second
    window.OnRateTimer();
    EXPECT_EQ(window.StatusText(), "FR:25.00 fps DR:1000 kbps ");

    clock.Advance(std::chrono::milliseconds(2000));
    window.OnRateTimer();
    EXPECT_EQ(window.StatusText(), "FR:0.00 fps DR:0 kbps ");

    // Above 4.29 MB in a period the figure stays right (64-bit arithmetic).
    clock.Advance(std::chrono::milliseconds(2000));
    app.dw_ByteCount = 4'000'000'000u;
    window.OnRateTimer();
    EXPECT_EQ(window.StatusText(), "FR:0.00 fps DR:15625000 kbps ");

    app.f_VideoConnected = false;  // nothing computed without a stream
    clock.Advance(std::chrono::milliseconds(2000));
    window.OnRateTimer();
    EXPECT_EQ(window.StatusText(), "FR:0.00 fps DR:15625000 kbps ");
}

}  // namespace
