// The configuration sheet as the program opens it: the main window's
// configuration command against a simulated device, the sheet opened on the
// configuration the window has just read.

#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/state/app_global_state.h"
#include "liveview/window/window_extensions.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"

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

    window->OnCommand(1006);
    Pump();
    EXPECT_EQ(device.RequestsTo("/GetSysCfg.cgi").size() - before, c.reads);
    ASSERT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
    MySystemDialog* sheet = sheets.opener().Sheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->Pages(), PagesForProduct(c.product, g_lpApp->C_ControlD.HasLinkedDvr() != 0));
    // The values of the simulated device reached the sheet.
    EXPECT_EQ(sheet->ReadValues().webPort, model->profile().webPort);
    test_support::SaveImagePicture(sheet->grab().toImage(),
                                   std::string("config_sheet_from_window_") + c.name + ".png");

    // Nothing changed: APPLY sends nothing and ends the sheet. (The window's
    // own set-up may have written a section already.)
    const std::size_t writes = device.RequestsTo("/SetSysCfg.cgi").size();
    sheet->OnClickApply();
    Pump();
    EXPECT_EQ(device.RequestsTo("/SetSysCfg.cgi").size(), writes);
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);

    // The command opens a new sheet, and the command again closes it.
    window->OnCommand(1006);
    Pump();
    ASSERT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
    EXPECT_EQ(device.RequestsTo("/GetSysCfg.cgi").size() - before, 2 * c.reads);
    window->OnCommand(1006);
    Pump();
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_EQ(sheets.opener().Sheet(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Families, SheetFromWindow,
                         ::testing::Values(OpenCase{"Q8A7", "Q8A7", nullptr, 1},
                                           OpenCase{"Q3A2", "Q3A2", nullptr, 1},
                                           OpenCase{"Q9C0", "Q9C0", nullptr, 1},
                                           OpenCase{"Q8A7_old_firmware", "Q8A7", "1020", 11}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
