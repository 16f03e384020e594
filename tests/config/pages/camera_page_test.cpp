// The DVR page: DVRLIVE and DVRREC rows into the page, edits in the "Edit"
// dialog with its filters, and the section bodies the device gets.

#include "config/pages/camera_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>

#include "config/pages/device_page.h"
#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "tests/config/pages/page_kit.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"

namespace {

using namespace cfg;
using section_page_test::SectionPageTest;
using Patches = std::vector<std::pair<std::size_t, std::string>>;

std::string Byte(unsigned v) {
    return std::string(1, static_cast<char>(v));
}
std::string Title(std::string_view text) {
    std::string bytes(text);
    bytes.resize(6, '\0');
    return bytes;
}

enum Value { kBR, kCT, kST, kHUE };

struct CameraCase {
    const char* name;
    const char* product;
    int row;
    std::function<void(CCameraEditDlg&)> edit;
    std::optional<Patches> live;  // none: DVRLIVE is not sent
    std::optional<Patches> rec;   // none: DVRREC is not sent
};

class CameraPageTest : public SectionPageTest, public ::testing::WithParamInterface<CameraCase> {};

TEST_P(CameraPageTest, EditsGiveTheseSectionBytes) {
    const CameraCase& c = GetParam();
    Open(c.product);
    CameraPage page(config().dvrLive, config().dvrRec, DvrChannelCount(c.product));
    SelectReportRow(page.List(), c.row);
    test_support::ModalScript<CCameraEditDlg> edit([&c](CCameraEditDlg& dialog) {
        c.edit(dialog);
        dialog.OkButton()->click();
        test_support::RejectIfOpen(dialog);
    });
    page.OnEdit();
    routines->SaveCamera(page.TakePageValues());
    std::vector<std::string> options;
    if (c.live) {
        options.emplace_back("DVRLIVE");
        EXPECT_EQ(SentBody("DVRLIVE"), Patched(base.dvrLive, *c.live));
    }
    if (c.rec) {
        options.emplace_back("DVRREC");
        EXPECT_EQ(SentBody("DVRREC"), Patched(base.dvrRec, *c.rec));
    }
    EXPECT_EQ(SentOptions(), options);
}

const CameraCase kCameraCases[] = {
    {"OkWithoutChange", "Q8A7", 0, [](CCameraEditDlg&) {}, std::nullopt, std::nullopt},
    {"Brightness", "Q8A7", 1, [](CCameraEditDlg& d) { d.ValueEdit(kBR)->setText("200"); },
     Patches{{4 + 1, Byte(200)}}, std::nullopt},
    {"AllFourValues", "Q8A3", 3,
     [](CCameraEditDlg& d) {
         d.ValueEdit(kBR)->setText("1");
         d.ValueEdit(kCT)->setText("2");
         d.ValueEdit(kST)->setText("3");
         d.ValueEdit(kHUE)->setText("4");
     },
     Patches{{4 + 3, Byte(1)}, {20 + 3, Byte(2)}, {52 + 3, Byte(3)}, {36 + 3, Byte(4)}},
     std::nullopt},
    // Typing 300 shows 255.
    {"Clamped", "Q8A7", 0, [](CCameraEditDlg& d) { d.ValueEdit(kHUE)->setText("300"); },
     Patches{{36, Byte(255)}}, std::nullopt},
    {"Covert", "Q8A7", 4, [](CCameraEditDlg& d) { d.CovertList()->setCurrentIndex(1); },
     Patches{{84 + 4, Byte(1)}}, std::nullopt},
    // Only REC: DVRREC goes; the row's DVRLIVE bytes are rewritten with
    // their own values and DVRLIVE is not sent.
    {"RecordOnly", "Q8A7", 0, [](CCameraEditDlg& d) { d.RecordList()->setCurrentIndex(0); },
     std::nullopt, Patches{{20, Byte(0)}}},
    {"Title", "Q8A7", 2, [](CCameraEditDlg& d) { d.TitleEdit()->setText("ab-1"); },
     Patches{{116 + 12, Title("AB1")}}, std::nullopt},
    // Six characters fill the field without a terminator.
    {"SixCharacterTitle", "Q8A5", 7, [](CCameraEditDlg& d) { d.TitleEdit()->setText("gate12"); },
     Patches{{116 + 42, "GATE12"}}, std::nullopt},
    {"BothSections", "Q8A7", 15,
     [](CCameraEditDlg& d) {
         d.ValueEdit(kST)->setText("0");
         d.RecordList()->setCurrentIndex(0);
     },
     Patches{{52 + 15, Byte(0)}}, Patches{{20 + 15, Byte(0)}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CameraPageTest, ::testing::ValuesIn(kCameraCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(SectionPageTest, CameraPageListsAndItsDialogFilters) {
    Open("Q8A3");
    WriteByte(config().dvrLive, DVRLIVE::Covert.At(1), 1);
    WriteByte(config().dvrLive, DVRLIVE::Covert.At(2), 9);  // shown "NO"
    const std::string full = "PORCH1";
    std::copy(full.begin(), full.end(), config().dvrLive.begin() + 116 + 6 * 3);
    CameraPage page(config().dvrLive, config().dvrRec, 4);
    QTreeWidget* list = page.List();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    ASSERT_EQ(list->columnCount(), 8);
    EXPECT_EQ(list->headerItem()->text(4), "SU");
    const QTreeWidgetItem* first = list->topLevelItem(0);
    EXPECT_EQ(first->text(0), " 1");
    EXPECT_EQ(first->text(1), "CH01");
    EXPECT_EQ(first->text(2), "128");
    EXPECT_EQ(first->text(6), "NO");
    EXPECT_EQ(first->text(7), "YES");
    EXPECT_EQ(list->topLevelItem(1)->text(6), "YES");
    EXPECT_EQ(list->topLevelItem(2)->text(6), "NO");
    EXPECT_EQ(list->topLevelItem(3)->text(1), "PORCH1");
    test_support::SaveWidgetPicture(page, "camera_page.png");

    list->clearSelection();
    page.EditButton()->click();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4046});

    SelectReportRow(list, 3);
    test_support::ModalScript<CCameraEditDlg> edit([](CCameraEditDlg& d) {
        EXPECT_EQ(d.TitleEdit()->text(), "PORCH1");
        EXPECT_EQ(d.ValueEdit(kBR)->text(), "128");
        EXPECT_EQ(d.CovertList()->currentText(), "NO");
        EXPECT_EQ(d.RecordList()->currentText(), "YES");
        test_support::SaveWidgetPicture(d, "camera_edit_dialog.png");
        // Letters are kept upper-cased, other characters go.
        d.TitleEdit()->setText("x y!");
        EXPECT_EQ(d.TitleEdit()->text(), "XY");
        EXPECT_EQ(d.TitleEdit()->cursorPosition(), 2);
        // Digits only, clamped; an emptied edit keeps its text until OK.
        d.ValueEdit(kCT)->setText("9a9");
        EXPECT_EQ(d.ValueEdit(kCT)->text(), "99");
        d.ValueEdit(kCT)->setText("00000000000000000000999");
        EXPECT_EQ(d.ValueEdit(kCT)->text(), "255");
        d.ValueEdit(kBR)->setText("");
        d.OkButton()->click();
        EXPECT_NE(d.result(), QDialog::Accepted);  // no number in BR
        d.ValueEdit(kBR)->setText("12");
        d.OkButton()->click();
        test_support::RejectIfOpen(d);
    });
    page.OnEdit();
    EXPECT_EQ(list->topLevelItem(3)->text(1), "XY");
    EXPECT_EQ(list->topLevelItem(3)->text(2), "12");
    EXPECT_EQ(list->topLevelItem(3)->text(3), "255");
    EXPECT_EQ(ReadText(config().dvrLive, DVRLIVE::Title.At(3)), "XY");
    const auto values = page.TakePageValues();
    EXPECT_TRUE(values.firstChanged);
    EXPECT_FALSE(values.secondChanged);
}

}  // namespace
