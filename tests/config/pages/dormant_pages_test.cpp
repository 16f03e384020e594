// The pages the sheet builds but no family shows: the Q7B peripheral page,
// the R.E.T.R. page and the Video Setting page.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "config/pages/alarm_trigger_page.h"
#include "config/pages/q7b_peripheral_page.h"
#include "config/pages/video_setting_page.h"
#include "config/sheet/section_layouts.h"
#include "core/state/app_global_state.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"

namespace {

using namespace cfg;

using DormantPagesTest = page_test::PageStateTest;

TEST_F(DormantPagesTest, Q7BPeripheralShowsTheCurrentLinkedDevice) {
    CControlDevice& devices = g_lpApp->C_ControlD;
    // The linked-device table holds types up to 25 only, so the model texts
    // of the network recorders' types never show.
    devices.AddDevice(2400, 7, 11, kDeviceMaster);
    devices.MakeCurrent(kDeviceMaster, 0);
    CQ7BPeripheral page;
    EXPECT_EQ(page.IdEdit()->text(), "7");
    EXPECT_EQ(page.ModelEdit()->text(), "");
    test_support::SaveWidgetPicture(page, "q7b_peripheral_page.png");

    const std::pair<std::uint8_t, std::string_view> models[] = {{113, "4CH NETWORK DVR (BASIC)"},
                                                                {114, "4CH NETWORK DVR (BASIC)"},
                                                                {118, "9CH NETWORK DMR"},
                                                                {119, "16CH NETWORK DMR"},
                                                                {132, "4CH NETWORK MEPG2 DVR"},
                                                                {138, "4CH NETWORK MEPG2 DVR"},
                                                                {116, ""},
                                                                {0, ""}};
    for (const auto& [type, text] : models) {
        EXPECT_EQ(CQ7BPeripheral::ModelText(type), text) << int{type};
    }
}

TEST_F(DormantPagesTest, AlarmTriggerTimeEditsAreClamped) {
    CAlarmTriggerPage page(1);
    EXPECT_TRUE(page.EnableButton()->isChecked());
    EXPECT_TRUE(page.IntervalList()->isHidden());
    test_support::SaveWidgetPicture(page, "alarm_trigger_page.png");

    struct Edit {
        bool hour;
        const char* typed;
        const char* shown;
    };
    const Edit edits[] = {{true, "30", "23"}, {true, "7", "7"},   {false, "7x5", "59"},
                          {false, "x", "59"}, {false, "08", "8"}, {true, "99999999999", "23"},
                          {true, "", ""}};
    for (const Edit& e : edits) {
        QLineEdit* edit = e.hour ? page.HourEdit() : page.MinuteEdit();
        edit->setText(e.typed);
        EXPECT_EQ(edit->text(), e.shown) << e.typed;
    }
    page.DisableButton()->click();
    EXPECT_FALSE(page.RemoteRecord());
    EXPECT_TRUE(CAlarmTriggerPage(0).DisableButton()->isChecked());
}

TEST(VideoSettingRows, StoredValuesGiveTheseRows) {
    using P = CSetTirelCmdPage;
    EXPECT_EQ(P::ResolutionRow(704, 576), 0);
    EXPECT_EQ(P::ResolutionRow(704, 480), 0);
    EXPECT_EQ(P::ResolutionRow(352, 288), 1);
    EXPECT_EQ(P::ResolutionRow(176, 112), 2);
    EXPECT_EQ(P::ResolutionRow(640, 480), -1);
    const std::pair<int, int> quality[] = {{0, -1}, {1, 0},  {49, 0},  {50, 1},
                                           {69, 1}, {70, 2}, {100, 2}, {101, -1}};
    for (const auto& [value, row] : quality) {
        EXPECT_EQ(P::QualityRow(static_cast<std::uint8_t>(value)), row) << value;
    }
    const std::pair<int, int> rates[] = {{0, 0},   {20, 0},  {21, 1},  {33, 1},   {34, 2},
                                         {50, 2},  {51, 3},  {67, 3},  {68, 4},   {101, 4},
                                         {102, 5}, {152, 5}, {153, 6}, {65535, 6}};
    for (const auto& [value, row] : rates) {
        EXPECT_EQ(P::BitRateRow(static_cast<std::uint16_t>(value)), row) << value;
    }
}

TEST_F(DormantPagesTest, VideoSettingShowsQualityOrBitRateByType) {
    std::array<std::uint8_t, kVideoSettingSize> block{};
    WriteByte(block, VIDEO::TwoWay, 4);
    WriteU16(block, VIDEO::FrameRate, 0x44);
    WriteByte(block, VIDEO::Quality, 50);
    CSetTirelCmdPage page(block, 1, 352, 288);
    EXPECT_EQ(page.ResolutionList()->currentText(), "352 x 288");
    EXPECT_EQ(page.VideoTypeList()->currentText(), "MPEG4");
    EXPECT_EQ(page.BitRateList()->currentText(), "2M");
    EXPECT_EQ(page.QualityList()->currentText(), "Middle");
    EXPECT_TRUE(page.QualityList()->isHidden());
    EXPECT_FALSE(page.BitRateList()->isHidden());
    test_support::SaveWidgetPicture(page, "video_setting_page.png");

    page.VideoTypeList()->setCurrentIndex(0);
    page.OnVideoTypeChanged();
    EXPECT_FALSE(page.QualityList()->isHidden());
    EXPECT_TRUE(page.BitRateList()->isHidden());

    // NTSC texts; another type byte leaves both lists as they are.
    WriteByte(block, VIDEO::TwoWay, 7);
    CSetTirelCmdPage ntsc(block, 0, 640, 480);
    EXPECT_EQ(ntsc.ResolutionList()->itemText(2), "176 x 112");
    EXPECT_EQ(ntsc.ResolutionList()->currentIndex(), -1);
    EXPECT_EQ(ntsc.VideoTypeList()->currentIndex(), -1);
    EXPECT_FALSE(ntsc.QualityList()->isHidden());
    EXPECT_FALSE(ntsc.BitRateList()->isHidden());
}

}  // namespace
