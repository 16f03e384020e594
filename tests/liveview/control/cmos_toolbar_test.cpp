// The camera image toolbar: the commands of its buttons against the
// simulator's model, and its buttons following the states the device
// reports.

#include "liveview/control/cmos_toolbar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "core/login/login_exchange.h"
#include "liveview/window/live_view_services.h"
#include "platform/program_folder.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/devicesim/device_model.h"
#include "tools/skingen/camera_toolbar_faces.h"

namespace {

using command_test::Reply;

class CmosToolbarTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        skingen::WriteCameraToolbarFaces(folder.path());
        platform::SetProgramFolder(folder.path());
        model = &device.EnableDeviceModel("tresk", "tresk",
                                          devicesim::ProfileForProduct("Q9C0").value());
        ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
    }
    void TearDown() override {
        platform::ResetProgramFolder();
        DeviceCommandTest::TearDown();
    }

    test_support::TempDir folder;
    devicesim::DeviceModel* model = nullptr;
};

TEST_F(CmosToolbarTest, ButtonsSendAndFollowTheReportedState) {
    CCmosToolBarDialog toolbar;
    ASSERT_TRUE(toolbar.OnInitDialog());
    toolbar.SendZoomMode(3);
    EXPECT_EQ(toolbar.Button(3)->StateIndex(), 0);  // lit only once reported
    toolbar.OnCameraState(model->controlCommands().CameraState());
    EXPECT_EQ(toolbar.Mode(), 3);
    EXPECT_EQ(toolbar.Button(3)->StateIndex(), 1);
    EXPECT_EQ(toolbar.Button(0)->StateIndex(), 0);

    toolbar.OnRotateHR();
    toolbar.OnCameraState(model->controlCommands().CameraState());
    EXPECT_EQ(toolbar.HR(), 1);
    toolbar.OnRotateHR();  // reported on: asks for off, with the VR shown
    toolbar.OnRotateVR();
    EXPECT_EQ(model->controlCommands().CameraLog(),
              (std::vector<std::string>{"MODE=3", "HR=1&VR=0", "HR=0&VR=0", "HR=1&VR=1"}));
    toolbar.show();
    EXPECT_TRUE(test_support::SaveWidgetPicture(toolbar, "camera_toolbar.png"));
}

TEST_F(CmosToolbarTest, CameraStateMessage) {
    CCmosToolBarDialog toolbar;
    ASSERT_TRUE(toolbar.OnInitDialog());
    const int before = toolbar.ModePaints();
    platform::PostWindowMessage(toolbar.Handle(), WM_CAMERASTATE, 0xC3, 0);
    platform::PostWindowMessage(toolbar.Handle(), WM_CAMERASTATE, 0xC3, 0);
    platform::ProcessPostedMessages();
    EXPECT_EQ(toolbar.Mode(), 3);
    EXPECT_EQ(toolbar.HR(), 1);
    EXPECT_EQ(toolbar.VR(), 1);
    EXPECT_EQ(toolbar.ModePaints(), before + 1);  // the same state twice paints once
}

TEST_F(CmosToolbarTest, TheStreamsCameraStateReachesTheProgramsToolbar) {
    ShowCameraToolbar(nullptr, 10, 20);
    ASSERT_NE(CameraToolbar(), nullptr);
    EXPECT_EQ(CameraToolbar()->pos(), QPoint(10, 20));
    MoveCameraToolbar(30, 40);
    EXPECT_EQ(CameraToolbar()->pos(), QPoint(30, 40));
    LiveViewServicesImpl services;
    services.PostCameraState(0x82);  // as the frame-header parser does
    platform::ProcessPostedMessages();
    EXPECT_EQ(CameraToolbar()->Mode(), 2);
    EXPECT_EQ(CameraToolbar()->HR(), 1);
    EXPECT_EQ(CameraToolbar()->VR(), 0);
    CloseCameraToolbar();
    EXPECT_EQ(CameraToolbar(), nullptr);
    services.PostCameraState(0x01);  // no toolbar: nothing to post to
    platform::ProcessPostedMessages();
}

TEST_F(CmosToolbarTest, RefusedCommandsChangeNothing) {
    CCmosToolBarDialog toolbar;
    ASSERT_TRUE(toolbar.OnInitDialog());
    toolbar.OnCameraState(0x01);
    device.SetReply("/OV9653Zoom.cgi", Reply::Status(500, "Error"));
    device.SetReply("/OV9653Rotate.cgi", Reply::Status(500, "Error"));
    toolbar.SendZoomMode(4);
    toolbar.OnRotateVR();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4064, 4064}));
    EXPECT_EQ(toolbar.Button(1)->StateIndex(), 1);
    EXPECT_EQ(toolbar.Button(4)->StateIndex(), 0);
}

TEST_F(CmosToolbarTest, MissingBackgroundFailsTheSetUp) {
    std::filesystem::remove(folder.path() / "BMP" / "CMOS" / "ToolBarBG.bmp");
    CCmosToolBarDialog toolbar;
    EXPECT_FALSE(toolbar.OnInitDialog());
    ShowCameraToolbar(nullptr, 0, 0);
    EXPECT_EQ(CameraToolbar(), nullptr);
}

}  // namespace
