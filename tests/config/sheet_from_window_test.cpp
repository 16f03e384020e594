// What the main window opens, as the program wires it, against a simulated
// device: the configuration sheet (on the configuration the window has just
// read), the colour dialog and the playback search.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <memory>
#include <string>
#include <vector>

#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/state/app_global_state.h"
#include "liveview/dialogs/playback_search_dlg.h"
#include "liveview/dialogs/video_color_dlg.h"
#include "liveview/window/main_window.h"
#include "liveview/window/window_extensions.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"

namespace {

struct OpenCase {
    const char* name;
    const char* product;
    const char* firmware;
    std::size_t reads;  // "/GetSysCfg.cgi" requests of one configuration command
};

class SheetFromWindow : public window_test::WindowTest,
                        public ::testing::WithParamInterface<OpenCase> {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetMainWindowExtensions(&extensions);
    }
    void TearDown() override {
        sheets.opener().DeleteConfigSheet();
        SetMainWindowExtensions(nullptr);
        WindowTest::TearDown();
    }

    ScopedConfigSheetServices sheets;
    SheetWindowExtensions extensions;
};

TEST_P(SheetFromWindow, OpensOnOneReadShowsTheDeviceValuesAndCloses) {
    const OpenCase& c = GetParam();
    static const char* firmware = nullptr;
    firmware = c.firmware;
    ASSERT_EQ(Open(c.product, 30, 0,
                   [](devicesim::DeviceProfile& p) {
                       if (firmware != nullptr)
                           p.firmwareVersion = firmware;
                   }),
              1);
    g_lpApp->f_VideoConnected = true;
    const std::size_t before = device.RequestsTo("/GetSysCfg.cgi").size();

    RunWindow([&](CDravelinDlg&) {
        if (!ClickButton(1006))
            return;
        Pump();
        EXPECT_EQ(device.RequestsTo("/GetSysCfg.cgi").size() - before, c.reads);
        ASSERT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
        MySystemDialog* sheet = sheets.opener().Sheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->Pages(),
                  PagesForProduct(c.product, g_lpApp->C_ControlD.HasLinkedDvr() != 0));
        // The values of the simulated device reached the sheet.
        EXPECT_EQ(sheet->ReadValues().webPort, model->profile().webPort);
        test_support::SaveImagePicture(sheet->grab().toImage(),
                                       std::string("config_sheet_from_window_") + c.name + ".png");

        // Nothing changed: APPLY sends nothing and ends the sheet. (The
        // window's own set-up may have written a section already.)
        const std::size_t writes = device.RequestsTo("/SetSysCfg.cgi").size();
        if (!test_support::ExpectReachable(sheet->ApplyButton()))
            return;
        test_support::UserClick(sheet->ApplyButton());
        Pump();
        EXPECT_EQ(device.RequestsTo("/SetSysCfg.cgi").size(), writes);
        EXPECT_EQ(sheet->EndResult(), 3);
        EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);

        // The button opens a new sheet, and the button again closes it.
        ClickButton(1006);
        Pump();
        ASSERT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
        EXPECT_EQ(device.RequestsTo("/GetSysCfg.cgi").size() - before, 2 * c.reads);
        ClickButton(1006);
        Pump();
        EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
        EXPECT_EQ(sheets.opener().Sheet(), nullptr);
    });
}

INSTANTIATE_TEST_SUITE_P(Families, SheetFromWindow,
                         ::testing::Values(OpenCase{"Q8A7", "Q8A7", nullptr, 1},
                                           OpenCase{"Q3A2", "Q3A2", nullptr, 1},
                                           OpenCase{"Q9C0", "Q9C0", nullptr, 1},
                                           OpenCase{"Q8A7_old_firmware", "Q8A7", "1020", 11}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace

namespace {

// The colour and playback-search dialogs as the program runs them from the
// main window: modally, against the simulated device.
class DialogsFromWindow : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetMainWindowExtensions(&extensions);
    }
    void TearDown() override {
        SetMainWindowExtensions(nullptr);
        WindowTest::TearDown();
    }

    SheetWindowExtensions extensions;
};

TEST_F(DialogsFromWindow, ColourDialogReadsAdjustsAndSends) {
    // The colour button is on the command bar of the multi-channel recorders.
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.multiChannel = 1; }), 1);
    g_lpApp->f_VideoConnected = true;
    test_support::ModalScript<liveview::CVideoColorDlg> colour(
        [](liveview::CVideoColorDlg& dialog) {
            // The simulator's values were read before the dialog opened.
            EXPECT_EQ(dialog.m_nBrightnessIn, 128);
            test_support::UserType(dialog.edit(0), QStringLiteral("88"));
            EXPECT_EQ(dialog.slider(0)->value(), 88);
            if (test_support::ExpectReachable(dialog.applyButton()))
                test_support::UserClick(dialog.applyButton());
            if (test_support::ExpectReachable(dialog.okButton()))
                test_support::UserClick(dialog.okButton());  // closes, sends nothing
            test_support::RejectIfOpen(dialog);
        });
    RunWindow([&](CDravelinDlg&) { ClickButton(999); });
    EXPECT_EQ(colour.Runs(), 1);
    const auto sent = device.RequestsTo("/SetColor.cgi");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Param("BRI").value_or(""), "88");
    EXPECT_EQ(sent[0].Param("CON").value_or(""), "128");
}

TEST_F(DialogsFromWindow, PlaybackSearchListsTheDisksAndSendsTheSearch) {
    // The 8-channel recorder's family has the search button on its panel, from
    // firmware 1078 on.
    ASSERT_EQ(Open("Q8A5", 30, 0, [](devicesim::DeviceProfile& p) { p.firmwareVersion = "1078"; }),
              1);
    g_lpApp->f_VideoConnected = true;
    std::vector<std::string> disks;
    test_support::ModalScript<liveview::CPlaybackSearchDlg> search(
        [&disks](liveview::CPlaybackSearchDlg& dialog) {
            for (int i = 0; i < dialog.hddCombo()->count(); ++i)
                disks.push_back(dialog.hddCombo()->itemText(i).toStdString());
            if (test_support::ExpectReachable(dialog.okButton()))
                test_support::UserClick(dialog.okButton());
            test_support::RejectIfOpen(dialog);
        });
    RunWindow([&](CDravelinDlg& main) {
        // The search button is on the control panel, which the operator
        // opens first.
        if (test_support::ExpectReachable(main.PanelUpButton()))
            test_support::UserClick(main.PanelUpButton());
        ClickButton(8319);
    });
    EXPECT_EQ(search.Runs(), 1);
    EXPECT_FALSE(disks.empty());
    EXPECT_EQ(device.RequestsTo("/GetDvrHDD.cgi").size(), 1u);
    EXPECT_EQ(device.RequestsTo("/SearchPlayBack.cgi").size(), 1u);
}

}  // namespace
