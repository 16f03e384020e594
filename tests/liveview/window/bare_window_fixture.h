#pragma once

// What a main window needs before OnInitDialog when no device takes part:
// the Qt application, an empty program folder, a fresh state record, the
// manual clock and the message-box recorder. Test fixtures derive from it
// beside ::testing::Test.

#include <optional>

#include "platform/clock.h"
#include "platform/program_folder.h"
#include "tests/support/core/global_state.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace window_test {

class BareWindowSetup {
protected:
    BareWindowSetup() {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(folder.path());
        state.emplace();
    }
    ~BareWindowSetup() {
        state.reset();
        platform::ResetProgramFolder();
    }
    BareWindowSetup(const BareWindowSetup&) = delete;
    BareWindowSetup& operator=(const BareWindowSetup&) = delete;

    test_support::TempDir folder;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    test_support::ScopedMessageBoxRecorder boxes;
    std::optional<test_support::ScopedGlobalState> state;
};

}  // namespace window_test
