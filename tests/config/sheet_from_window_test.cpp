// What the main window opens, as the program wires it, against a simulated
// device: the configuration sheet (on the configuration the window has just
// read), the colour dialog and the playback search.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <functional>
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

    // Acts on the modal dialog of type T as soon as it runs; fails (and
    // closes every modal window) when none shows up.
    template <class T>
    void WhenModal(std::function<void(T&)> act) {
        auto* timer = new QTimer();
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, [timer, tries, act = std::move(act)] {
            if (auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                act(*dialog);
            } else if (++*tries > 1000) {
                timer->stop();
                timer->deleteLater();
                ADD_FAILURE() << "the dialog never ran";
                while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            }
        });
        timer->start(1);
    }

    SheetWindowExtensions extensions;
};

TEST_F(DialogsFromWindow, ColourDialogReadsAdjustsAndSends) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_VideoConnected = true;
    bool shown = false;
    WhenModal<liveview::CVideoColorDlg>([&shown](liveview::CVideoColorDlg& dialog) {
        shown = true;
        // The simulator's values were read before the dialog opened.
        EXPECT_EQ(dialog.m_nBrightnessIn, 128);
        dialog.slider(0)->setValue(dialog.slider(0)->value() - 40);
        dialog.OnOK();      // apply
        dialog.OnCancel();  // and close
    });
    window->OnCommand(999);
    EXPECT_TRUE(shown);
    const auto sent = device.RequestsTo("/SetColor.cgi");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].Param("BRI").value_or("128"), "128");
    EXPECT_EQ(sent[0].Param("CON").value_or(""), "128");
}

TEST_F(DialogsFromWindow, PlaybackSearchListsTheDisksAndSendsTheSearch) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_VideoConnected = true;
    std::vector<std::string> disks;
    WhenModal<liveview::CPlaybackSearchDlg>([&disks](liveview::CPlaybackSearchDlg& dialog) {
        for (int i = 0; i < dialog.hddCombo()->count(); ++i)
            disks.push_back(dialog.hddCombo()->itemText(i).toStdString());
        dialog.OnOK();
        if (dialog.isVisible())
            dialog.reject();
    });
    window->OnCommand(8319);  // the panel's search button
    EXPECT_FALSE(disks.empty());
    EXPECT_EQ(device.RequestsTo("/GetDvrHDD.cgi").size(), 1u);
    EXPECT_EQ(device.RequestsTo("/SearchPlayBack.cgi").size(), 1u);
}

}  // namespace
