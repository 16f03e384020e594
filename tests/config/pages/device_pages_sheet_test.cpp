// The pages of the serial devices, users, alarm list and DVR cameras in the
// configuration sheet, against the simulated device: the main window's
// command opens the sheet, the pages show the simulator's values, edits and
// APPLY reach the simulator's sections.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "config/pages/alarm_data_page.h"
#include "config/pages/camera_page.h"
#include "config/pages/device_page.h"
#include "config/pages/online_user_page.h"
#include "config/pages/page_factories.h"
#include "config/pages/peripheral_page.h"
#include "config/pages/report_list.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/section_layouts.h"
#include "core/login/login_exchange.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/fake_device.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace cfg;
using test_support::FakeDevice;

class DevicePagesSheetTest : public page_test::PageStateTest {
protected:
    void SetUp() override {
        PageStateTest::SetUp();
        settings().m_strProgramDir = folder.path().string() + "/";
    }

    MySystemDialog* Open(const char* product, const char* firmware) {
        auto profile = devicesim::ProfileForProduct(product);
        EXPECT_TRUE(profile.has_value());
        profile->firmwareVersion = firmware;
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        g_lpApp->f_VideoConnected = true;
        opener.OnConfigurationCommand(&mainWindow);
        return opener.Sheet();
    }

    template <class Page>
    Page* Show(MySystemDialog& sheet, SheetPageId id) {
        EXPECT_TRUE(sheet.SetActivePage(sheet.PageIndexOf(id)));
        return dynamic_cast<Page*>(sheet.PageWindowOf(id));
    }

    std::vector<std::string> SentOptions() const {
        std::vector<std::string> options;
        for (const auto& request : device.RequestsTo("/SetSysCfg.cgi")) {
            options.emplace_back(request.Param("Option").value_or(""));
        }
        return options;
    }
    std::uint8_t SimulatorByte(std::string_view option, std::size_t at) const {
        const std::string section = model->Section(option).value_or("");
        return at < section.size() ? static_cast<std::uint8_t>(section[at]) : 0;
    }

    test_support::TempDir folder;
};

TEST_F(DevicePagesSheetTest, DvrPagesEditAndApply) {
    MySystemDialog* sheet = Open("Q8A5", "1052");
    ASSERT_NE(sheet, nullptr);

    auto* camera = Show<CameraPage>(*sheet, SheetPageId::kCamera);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(camera->List()->topLevelItemCount(), 8);
    EXPECT_EQ(camera->List()->topLevelItem(4)->text(1), "CH05");
    test_support::SaveWidgetPicture(*sheet, "config_sheet_dvr_page.png");
    SelectReportRow(camera->List(), 4);
    test_support::ModalScript<CCameraEditDlg> cameraEdit([](CCameraEditDlg& d) {
        d.ValueEdit(0)->setText("77");
        d.TitleEdit()->setText("gate");
        d.OkButton()->click();
        test_support::RejectIfOpen(d);
    });
    camera->OnEdit();

    auto* devices = Show<DevicePage>(*sheet, SheetPageId::kDevice);
    ASSERT_NE(devices, nullptr);
    ASSERT_EQ(devices->List()->topLevelItemCount(), 8);
    EXPECT_EQ(devices->List()->topLevelItem(0)->text(1), "PTZ");
    SelectReportRow(devices->List(), 6);
    test_support::ModalScript<CDeviceEditDlg> deviceEdit([](CDeviceEditDlg& d) {
        d.TypeList()->setCurrentIndex(1);
        d.IdEdit()->setText("21");
        d.OkButton()->click();
        test_support::RejectIfOpen(d);
    });
    devices->OnEdit(true);

    auto* users = Show<COnlineUserPage>(*sheet, SheetPageId::kOnlineUser);
    ASSERT_NE(users, nullptr);
    EXPECT_EQ(users->RowCount(), 1);

    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"RS485", "DVRLIVE"}));
    EXPECT_EQ(SimulatorByte("DVRLIVE", 4 + 4), 77);
    EXPECT_EQ(model->Section("DVRLIVE").value_or("").substr(116 + 24, 6),
              std::string("GATE\0\0", 6));
    EXPECT_EQ(SimulatorByte("RS485", 12 + 6), 21);
    EXPECT_EQ(SimulatorByte("RS485", 28 + 6), 1);
    EXPECT_EQ(SimulatorByte("RS485", 12 + 15), 16);  // a channel the Q8A5 does not list
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(DevicePagesSheetTest, Q3A2PeripheralAndAlarmList) {
    MySystemDialog* sheet = Open("Q3A2", "1010");
    ASSERT_NE(sheet, nullptr);
    EXPECT_NE(Show<AlarmDataPage>(*sheet, SheetPageId::kAlarmList), nullptr);
    auto* peripheral = Show<CPeripheralPage>(*sheet, SheetPageId::kPeripheral);
    ASSERT_NE(peripheral, nullptr);
    EXPECT_EQ(peripheral->Id2()->text(), "2");
    peripheral->Model2()->setCurrentIndex(10);
    peripheral->Id2()->setText("300");
    // The id cannot be left; the sheet stays on the page.
    const int index = sheet->PageIndexOf(SheetPageId::kPeripheral);
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kOnlineUser));
    EXPECT_EQ(sheet->ActivePageIndex(), index);
    peripheral->Id2()->setText("9");
    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"PERI"});
    EXPECT_EQ(SimulatorByte("PERI", 3), 25);
    EXPECT_EQ(SimulatorByte("PERI", 13), 9);
    // The linked devices follow the new PERI.
    EXPECT_EQ(g_lpApp->C_ControlD.GetMasterType(1), 25);
}

}  // namespace
