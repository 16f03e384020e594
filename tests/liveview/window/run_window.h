#pragma once

// Running the main window as the program runs it, for tests that act as
// its operator: platform::RunModal, so the window is shown modal and the
// test's actions run inside its own exec (test_support::ModalScript); the
// window is left afterwards through its exit button, or as the window
// manager would close it when that button is out of reach.

#include <gtest/gtest.h>

#include <functional>

#include "core/widgets/qel_button.h"
#include "liveview/window/main_window.h"
#include "platform/modal_dialog.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"

namespace window_test {

inline void LeaveWindow(CDravelinDlg& main) {
    if (!main.isVisible())
        return;
    CQelButton* exit = main.FindButton(8202);
    if (exit != nullptr && exit->isVisible() && !test_support::IsBlockedByModal(exit))
        test_support::UserClick(exit);
    if (main.isVisible())
        main.close();
}

// Runs `main` (set up already) modally and hands it to `act` once shown.
inline void RunWindow(CDravelinDlg& main, const std::function<void(CDravelinDlg&)>& act) {
    test_support::ModalScript<CDravelinDlg> script([&act](CDravelinDlg& shown) {
        act(shown);
        LeaveWindow(shown);
    });
    platform::RunModal(main);
    EXPECT_EQ(script.Runs(), 1);
}

}  // namespace window_test
