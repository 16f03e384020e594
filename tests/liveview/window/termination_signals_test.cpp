#include "liveview/window/termination_signals.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <thread>

#include "core/state/app_global_state.h"
#include "liveview/window/main_window.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/stop_token.h"
#include "platform/sync.h"
#include "tests/liveview/window/bare_window_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

class TerminationSignalTest : public ::testing::TestWithParam<int>,
                              protected window_test::BareWindowSetup {};

// The main window under a nested dialog: the signal closes both from the
// top, and the main window's close saves Setting.ini on the way.
TEST_P(TerminationSignalTest, SignalClosesTheWindowsThroughTheirOrderlyEnd) {
    const int signal = GetParam();
    std::uint8_t turbo = 5;
    g_lpApp->CSettingINI.LoadFromFile(folder.path(), turbo);
    // The bound is never reached here; a stuck test would end the process.
    TerminationSignalGuard guard(std::chrono::minutes(5));
    CDravelinDlg window;
    QDialog nested(&window);
    QTimer::singleShot(0, &window, [&] {
        QTimer::singleShot(0, [signal] { std::raise(signal); });
        nested.exec();
    });
    window.exec();
    EXPECT_FALSE(nested.isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(guard.ReceivedSignal(), signal);
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Setting.ini"));
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalTest,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP));

// A window that opens after the signal (the main window after the login
// dialog closed) is closed too.
TEST_F(TerminationSignalTest, WindowOpenedAfterTheSignalIsClosed) {
    TerminationSignalGuard guard(std::chrono::minutes(5));
    {
        QDialog first;
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        first.exec();
    }
    QDialog later;
    EXPECT_EQ(later.exec(), QDialog::Rejected);
    EXPECT_EQ(guard.ReceivedSignal(), SIGTERM);
}

// The GUI thread held up where no stop reaches it: the bound, counted from
// the signal on the guard's own thread, ends the process, with the settings
// saved first.
class TerminationSignalDeathTest : public TerminationSignalTest {};

TEST_F(TerminationSignalDeathTest, BoundFromTheSignalEndsAHeldUpProcessWithTheSettingsSaved) {
    std::uint8_t turbo = 5;
    g_lpApp->CSettingINI.LoadFromFile(folder.path(), turbo);
    const std::filesystem::path file = folder.path() / "Setting.ini";
    std::filesystem::remove(file);
    EXPECT_EXIT(
        {
            TerminationSignalGuard guard(std::chrono::milliseconds(200));
            std::raise(SIGTERM);
            // No event loop runs and no wait watches a stop.
            std::this_thread::sleep_for(std::chrono::minutes(1));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_TRUE(std::filesystem::exists(file));
}

// A device command on the GUI thread ends at once when the signal comes,
// though nothing on the GUI thread runs to notice the signal: the guard's
// own thread stops the GUI thread's waits.
TEST_F(TerminationSignalTest, SignalEndsABlockingWaitOfTheGuiThread) {
    TerminationSignalGuard guard(std::chrono::minutes(5));
    platform::Event never(true, false);
    std::thread([] { std::raise(SIGTERM); }).detach();
    EXPECT_EQ(never.Wait(std::chrono::minutes(5)), platform::WaitResult::Stopped);
    EXPECT_EQ(guard.ReceivedSignal(), SIGTERM);
    // The close that follows on the GUI thread waits as usual again.
    ASSERT_TRUE(test_support::PumpUntil(
        [] { return !platform::CurrentStopToken().stop_requested(); }, "the close's start"));
    EXPECT_EQ(never.Wait(std::chrono::milliseconds(0)), platform::WaitResult::Timeout);
}

}  // namespace
