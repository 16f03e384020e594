// The camera toolbar of a Q9C0 as the operator meets it: the program runs
// the main window modally, the toolbar stands beside it, and a press on one
// of its buttons, delivered by the window system, reaches the device.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPoint>
#include <string>

#include "core/login/login_exchange.h"
#include "liveview/control/cmos_toolbar.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"
#include "tools/skingen/camera_toolbar_faces.h"

namespace {

class CameraToolbarFromWindow : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        skingen::WriteCameraToolbarFaces(window_test::SkinFolder());
        model = &device.EnableDeviceModel("tresk", "tresk",
                                          devicesim::ProfileForProduct("Q9C0").value());
    }
};

TEST_F(CameraToolbarFromWindow, APressOnAZoomButtonReachesTheDevice) {
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    test_support::ModalScript<CDravelinDlg> operatorAtWindow([this](CDravelinDlg& main) {
        CCmosToolBarDialog* toolbar = CameraToolbar();
        if (toolbar == nullptr || !toolbar->isVisible()) {
            ADD_FAILURE() << "no camera toolbar beside the main window";
            main.close();
            return;
        }
        test_support::SaveWidgetPicture(*toolbar, "camera_toolbar_beside_window.png");
        // Beside the main window, overlapping its left edge by 2 pixels, and
        // still there once the window has moved.
        EXPECT_EQ(toolbar->pos(), main.pos() - QPoint(43, 0));
        main.move(main.pos() + QPoint(30, 20));
        QApplication::processEvents();
        EXPECT_EQ(toolbar->pos(), main.pos() - QPoint(43, 0));
        // The top-right quarter: the third button.
        test_support::ExpectReachable(toolbar->Button(2));
        test_support::UserClick(toolbar->Button(2));
        const auto zooms = device.RequestsTo("/OV9653Zoom.cgi");
        EXPECT_EQ(zooms.size(), 1u);
        if (!zooms.empty()) {
            EXPECT_NE(zooms[0].target.find("MODE=2"), std::string::npos) << zooms[0].target;
        }
        // And the flips, which send the other command.
        test_support::UserClick(toolbar->Button(6));
        EXPECT_EQ(device.RequestsTo("/OV9653Rotate.cgi").size(), 1u);
        // The operator leaves through the window's exit button.
        if (test_support::ExpectReachable(main.FindButton(8202)))
            test_support::UserClick(main.FindButton(8202));
        if (main.isVisible())
            main.close();
    });
    LiveViewServicesImpl services;
    services.RunMainWindow();
    EXPECT_EQ(operatorAtWindow.Runs(), 1);
    EXPECT_EQ(CameraToolbar(), nullptr);  // it ends with the window
}

}  // namespace
