// The Device page of the DVR family: RS485 rows into the page, edits in the
// "Edit" dialog, and the RS485 body the device gets on APPLY.

#include "config/pages/device_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>

#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "tests/config/pages/page_kit.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"

namespace {

using namespace cfg;
using section_page_test::SectionPageTest;
using Patches = std::vector<std::pair<std::size_t, std::string>>;

std::string U32(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}
std::string Byte(unsigned v) {
    return std::string(1, static_cast<char>(v));
}

// One dialog session: the row to select, what to do in the dialog, and
// whether to press OK.
struct DialogStep {
    int row;
    std::function<void(CDeviceEditDlg&)> edit;
    bool ok = true;
};

struct DeviceCase {
    const char* name;
    const char* product;
    std::function<void(SystemConfigStruct&)> stored;
    std::vector<DialogStep> steps;
    std::optional<Patches> sent;  // none: RS485 is not sent
    std::vector<unsigned> boxes;
};

class DevicePageTest : public SectionPageTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DevicePageTest, EditsGiveTheseRs485Bytes) {
    const DeviceCase& c = GetParam();
    Open(c.product);
    if (c.stored) {
        c.stored(config());
        base = config();
    }
    DevicePage page(config().rs485, DvrChannelCount(c.product));
    ASSERT_EQ(page.List()->topLevelItemCount(), DvrChannelCount(c.product));
    for (const DialogStep& step : c.steps) {
        SelectReportRow(page.List(), step.row);
        test_support::ModalScript<CDeviceEditDlg> edit([&step](CDeviceEditDlg& dialog) {
            step.edit(dialog);
            if (step.ok) {
                dialog.OkButton()->click();
            }
            test_support::RejectIfOpen(dialog);
        });
        page.OnEdit(true);
    }
    routines->SaveDevice(page.TakePageValues());
    if (c.sent) {
        EXPECT_EQ(SentOptions(), std::vector<std::string>{"RS485"});
        EXPECT_EQ(SentBody("RS485"), Patched(base.rs485, *c.sent));
        EXPECT_TRUE(readValues.rs485Changed);
    } else {
        EXPECT_TRUE(SentOptions().empty());
        EXPECT_FALSE(readValues.rs485Changed);
    }
    EXPECT_EQ(boxes.Ids(), c.boxes);
}

const DeviceCase kDeviceCases[] = {
    {"Untouched", "Q8A7", {}, {}, std::nullopt, {}},
    {"OkWithoutChange", "Q8A7", {}, {{3, [](CDeviceEditDlg&) {}}}, std::nullopt, {}},
    {"Cancelled",
     "Q8A7",
     {},
     {{3, [](CDeviceEditDlg& d) { d.IdEdit()->setText("9"); }, false}},
     std::nullopt,
     {}},
    {"Id",
     "Q8A7",
     {},
     {{2, [](CDeviceEditDlg& d) { d.IdEdit()->setText("44"); }}},
     Patches{{12 + 2, Byte(44)}},
     {}},
    {"TypeProtocolRate",
     "Q8A3",
     {},
     {{3,
       [](CDeviceEditDlg& d) {
           d.TypeList()->setCurrentIndex(1);
           d.ProtocolList()->setCurrentIndex(1);
           d.RateList()->setCurrentIndex(6);
       }}},
     Patches{{28 + 3, Byte(1)}, {44 + 3, Byte(1)}, {60 + 12, U32(115200)}},
     {}},
    // An id outside 0..255 is refused and the dialog stays open; the id the
    // operator then gives is stored.
    {"Id300Refused",
     "Q8A7",
     {},
     {{5,
       [](CDeviceEditDlg& d) {
           d.IdEdit()->setText("300");
           d.OkButton()->click();
           EXPECT_NE(d.result(), QDialog::Accepted);
           d.IdEdit()->setText("45");
       }}},
     Patches{{12 + 5, Byte(45)}},
     {0}},
    // A rate not in the list shows no selection and stays as stored.
    {"Rate1200Kept",
     "Q8A7",
     [](SystemConfigStruct& s) { WriteU32(s.rs485, RS485::BaudRate.At(1), 1200); },
     {{1,
       [](CDeviceEditDlg& d) {
           EXPECT_EQ(d.RateList()->currentIndex(), -1);
           d.IdEdit()->setText("7");
       }}},
     Patches{{12 + 1, Byte(7)}},
     {}},
    // A smaller recorder lists fewer channels, but the ones it does not list
    // go back as the device sent them.
    {"Q8A5KeepsUnlistedChannels",
     "Q8A5",
     {},
     {{7, [](CDeviceEditDlg& d) { d.RateList()->setCurrentIndex(0); }}},
     Patches{{60 + 28, U32(2400)}},
     {}},
    // Two edits: both rows change, the flag stays set.
    {"TwoRows",
     "Q8A7",
     {},
     {{0, [](CDeviceEditDlg& d) { d.IdEdit()->setText("100"); }},
      {15, [](CDeviceEditDlg& d) { d.ProtocolList()->setCurrentIndex(1); }}},
     Patches{{12, Byte(100)}, {44 + 15, Byte(1)}},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, DevicePageTest, ::testing::ValuesIn(kDeviceCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(SectionPageTest, DevicePageListsAndEdits) {
    Open("Q8A7");
    WriteU32(config().rs485, RS485::BaudRate.At(1), 1200);
    WriteByte(config().rs485, RS485::DeviceType.At(2), 7);  // shown as a camera
    DevicePage page(config().rs485, 16);
    QTreeWidget* list = page.List();
    ASSERT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->headerItem()->text(3), "PROCOTOL");
    const QTreeWidgetItem* first = list->topLevelItem(0);
    EXPECT_EQ(first->text(0), " 1");
    EXPECT_EQ(first->text(1), "PTZ");  // the simulator's PTZ camera on channel 1
    EXPECT_EQ(first->text(2), "1");
    EXPECT_EQ(first->text(4), "9600");
    EXPECT_EQ(list->topLevelItem(1)->text(4), "1200");
    EXPECT_EQ(list->topLevelItem(2)->text(1), "CAMERA");
    EXPECT_EQ(list->topLevelItem(15)->text(0), "16");
    test_support::SaveWidgetPicture(page, "device_page.png");

    // No row: the button says so, a double click does nothing.
    list->clearSelection();
    page.EditButton()->click();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4046});
    page.OnEdit(false);
    EXPECT_EQ(boxes.Ids().size(), 1u);

    // The dialog is filled from the row; an unknown type shows no selection
    // and, untouched, keeps the stored type.
    SelectReportRow(list, 2);
    test_support::ModalScript<CDeviceEditDlg> edit([](CDeviceEditDlg& d) {
        EXPECT_EQ(d.NumberLabel()->text(), " 3");
        EXPECT_EQ(d.TypeList()->currentIndex(), -1);
        EXPECT_EQ(d.IdEdit()->text(), "3");
        EXPECT_EQ(d.RateList()->currentText(), "    9600");
        test_support::SaveWidgetPicture(d, "device_edit_dialog.png");
        d.IdEdit()->setText("300");
        d.OkButton()->click();
        d.IdEdit()->setText("44");
        d.OkButton()->click();
        test_support::RejectIfOpen(d);
    });
    page.OnEdit(true);
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(list->topLevelItem(2)->text(2), "44");
    EXPECT_EQ(list->topLevelItem(2)->text(1), "CAMERA");
    EXPECT_EQ(page.TakePageValues().types[2], 7);
    EXPECT_EQ(page.TakePageValues().ids[2], 44);
}

}  // namespace
