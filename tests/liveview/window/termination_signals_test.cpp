#include "liveview/window/termination_signals.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "core/state/app_global_state.h"
#include "liveview/window/main_window.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/liveview/window/bare_window_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

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

}  // namespace
