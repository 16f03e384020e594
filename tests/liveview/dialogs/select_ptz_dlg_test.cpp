// "Select PTZ device": its buttons for the recorder and for a PTZ unit, and
// the number it reads.

#include "liveview/dialogs/select_ptz_dlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/state/app_global_state.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"

namespace {

class SelectPtzTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        g_lpApp = new AppGlobalState();
        auto& devices = g_lpApp->C_ControlD;
        devices.AddDevice(0, 0, 24, kDeviceMaster);
        devices.AddDevice(2400, 1, 11, kDeviceSlave);
        devices.AddDevice(2400, 4, 11, kDeviceSlave);
    }
    void TearDown() override {
        delete g_lpApp;
        g_lpApp = nullptr;
    }
};

TEST_F(SelectPtzTest, RecorderCurrentHidesEsc) {
    g_lpApp->C_ControlD.MakeCurrent(kDeviceMaster, 0);
    CSelectPtzDlg dialog;
    dialog.OnInitDialog();
    dialog.show();
    EXPECT_TRUE(dialog.EscButton()->isHidden());
    EXPECT_EQ(dialog.CancelButton()->geometry(), QRect(172, 42, 98, 37));
    EXPECT_EQ(dialog.NumberEdit()->text(), "1");
    EXPECT_TRUE(test_support::SaveWidgetPicture(dialog, "select_ptz_recorder.png"));
}

TEST_F(SelectPtzTest, PtzCurrentOffersEsc) {
    g_lpApp->C_ControlD.MakeCurrent(kDeviceSlave, 1);
    CSelectPtzDlg dialog;
    dialog.OnInitDialog();
    dialog.show();
    EXPECT_FALSE(dialog.EscButton()->isHidden());
    EXPECT_EQ(dialog.EscButton()->toolTip(), "Back to control center ");
    EXPECT_EQ(dialog.NumberEdit()->text(), "2");
    EXPECT_TRUE(test_support::SaveWidgetPicture(dialog, "select_ptz_unit.png"));
}

TEST_F(SelectPtzTest, ResultsAndNumber) {
    g_lpApp->C_ControlD.MakeCurrent(kDeviceSlave, 0);
    struct Case {
        const char* press;
        const char* typed;
        int result;
        int number;
    };
    const Case cases[] = {
        {"button1", "7", CSelectPtzDlg::kResultOk, 7},
        {"button1", "", CSelectPtzDlg::kResultOk, 0},
        {"button2", "3", CSelectPtzDlg::kResultCancel, 1},
        {"button1068", "3", CSelectPtzDlg::kResultEsc, 1},
    };
    for (const Case& c : cases) {
        CSelectPtzDlg dialog;
        QTimer::singleShot(0, &dialog, [&dialog, &c] {
            dialog.NumberEdit()->setText(QString::fromUtf8(c.typed));
            dialog.findChild<QPushButton*>(QString::fromUtf8(c.press))->click();
        });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.press;
        EXPECT_EQ(dialog.m_nPtzNumber, c.number) << c.press;
    }
}

}  // namespace
