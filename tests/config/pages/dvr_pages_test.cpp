// The recorder's Date, Record Setting and Timer Record pages in the
// configuration sheet, against the simulated recorder on 127.0.0.1: each
// shows the simulator's values, edits and APPLY send exactly the requests
// and bytes the recorder expects, and a page the recorder did not fill
// (older firmware, a failed read, values the page cannot show) stays
// disabled and sends nothing. One picture per page.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QTimeEdit>

#include <string>
#include <vector>

#include "config/pages/dvr_date_page.h"
#include "config/pages/dvr_record_page.h"
#include "config/pages/page_factories.h"
#include "config/pages/timer_record_page.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "core/login/login_exchange.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"

namespace {

using test_support::FakeDevice;
using test_support::Reply;
using namespace cfg;

class DvrPagesTest : public page_test::PageStateTest {
protected:
    void SetUp() override {
        PageStateTest::SetUp();
        SetDetectionChannelSwitch(MainWindowChannelSwitch());
    }

    devicesim::DeviceModel& Model(const char* product, const char* firmware) {
        auto profile = devicesim::ProfileForProduct(product);
        EXPECT_TRUE(profile.has_value()) << product;
        profile->firmwareVersion = firmware;
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        return *model;
    }

    MySystemDialog* Open() {
        EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        g_lpApp->f_VideoConnected = true;
        opener.OnConfigurationCommand(&mainWindow);
        return opener.Sheet();
    }

    template <class Page>
    Page* Show(MySystemDialog* sheet, SheetPageId id) {
        EXPECT_TRUE(sheet->SetActivePage(sheet->PageIndexOf(id)));
        return dynamic_cast<Page*>(sheet->PageWindowOf(id));
    }

    static QString Param(const devicesim::NameValueList& query, std::string_view name) {
        for (const auto& [key, value] : query) {
            if (key == name) {
                return QString::fromStdString(value);
            }
        }
        return "(none)";
    }
};

// ---- Date ---------------------------------------------------------------------

TEST_F(DvrPagesTest, DatePageShowsTheRecordersClockAndSendsTheChangedFormat) {
    devicesim::DvrDateSetting date;
    date.year = 2007;
    date.month = 3;
    date.day = 9;
    date.hour = 14;
    date.minute = 5;
    date.second = 0;
    date.format = 2;
    date.daylightSaving = 1;
    date.startMonth = 0;
    date.startHour = 3;
    date.startMinute = 30;
    Model("Q8A7", "1058").dvrSettings().SetDate(date);
    MySystemDialog* sheet = Open();
    ASSERT_NE(sheet, nullptr);
    auto* page = Show<DVRDatePage>(sheet, SheetPageId::kDate);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->FilledFromDevice());
    EXPECT_EQ(device.RequestsTo("/GetDvrDate.cgi").size(), 1u);

    auto* datePicker = qobject_cast<QDateEdit*>(page->Control(1480));
    auto* timePicker = qobject_cast<QTimeEdit*>(page->Control(1481));
    ASSERT_TRUE(datePicker && timePicker);
    EXPECT_EQ(datePicker->date(), QDate(2007, 3, 9));
    EXPECT_EQ(datePicker->displayFormat(), "dd - MMM - yyyy");
    EXPECT_EQ(timePicker->time(), QTime(14, 5, 0));
    EXPECT_TRUE(qobject_cast<QRadioButton*>(page->Control(1482))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(page->Control(1483))->isChecked());
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1505))->currentText(), "JAN");
    EXPECT_EQ(qobject_cast<QTimeEdit*>(page->Control(1499))->time(), QTime(3, 30));
    test_support::SaveWidgetPicture(*sheet, "dvr_date_page.png");

    // "M-D-Y" changes the picker's format at once.
    auto* format = qobject_cast<QComboBox*>(page->Control(1195));
    format->setCurrentIndex(1);
    EXPECT_EQ(datePicker->displayFormat(), "MMM - dd - yyyy");

    sheet->OnClickApply();
    const auto sent = model->dvrSettings().DateRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Param(sent[0], "CHFORMAT"), "1");
    EXPECT_EQ(Param(sent[0], "FORMAT"), "1");
    for (const char* flag : {"CHDATE", "CHDAYLIGHT", "CHDAYLIGHTTIME"}) {
        EXPECT_EQ(Param(sent[0], flag), "0") << flag;
    }
    EXPECT_EQ(Param(sent[0], "YEAR"), "2007");
    EXPECT_EQ(Param(sent[0], "DAYOFWEEK"), "5");
    EXPECT_EQ(Param(sent[0], "Cookie"), QString::fromStdString(g_szSessionCookie.Get()));
    EXPECT_EQ(model->dvrSettings().Date().format, 1);
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(DvrPagesTest, DatePageWithoutChangesSendsNothing) {
    Model("Q8A5", "1060");
    MySystemDialog* sheet = Open();
    ASSERT_NE(Show<DVRDatePage>(sheet, SheetPageId::kDate), nullptr);
    sheet->OnClickApply();
    EXPECT_TRUE(model->dvrSettings().DateRequests().empty());
}

// Pages the recorder did not fill: every control disabled, nothing sent,
// whatever the pickers show.
struct UnfilledCase {
    const char* name;
    const char* firmware;
    bool failRead;
    std::size_t reads;
};

class UnfilledDvrPages : public DvrPagesTest, public ::testing::WithParamInterface<UnfilledCase> {};

TEST_P(UnfilledDvrPages, StayDisabledAndSendNothing) {
    const UnfilledCase& c = GetParam();
    Model("Q8A7", c.firmware);
    if (c.failRead) {
        device.SetReply("/GetDvrDate.cgi", Reply::Status(500, "Internal Server Error"));
        device.SetReply("/GetRecordSetting.cgi", Reply::Status(500, "Internal Server Error"));
    }
    MySystemDialog* sheet = Open();
    auto* date = Show<DVRDatePage>(sheet, SheetPageId::kDate);
    auto* record = Show<DVRRecordPage>(sheet, SheetPageId::kRecordSetting);
    ASSERT_TRUE(date && record);
    EXPECT_FALSE(date->FilledFromDevice());
    EXPECT_FALSE(record->FilledFromDevice());
    for (const int id :
         {1480, 1481, 1195, 1482, 1483, 1497, 1499, 1500, 1502, 1503, 1504, 1505, 1506, 1507}) {
        EXPECT_FALSE(date->Control(id)->isEnabled()) << id;
    }
    for (const int id : {1483, 1484, 1485, 1486, 1487, 1488, 1489, 1490, 1195, 1197, 1198, 1491,
                         1492, 1493, 1494, 1496, 1497}) {
        EXPECT_FALSE(record->Control(id)->isEnabled()) << id;
    }
    EXPECT_EQ(device.RequestsTo("/GetDvrDate.cgi").size(), c.reads);
    sheet->OnClickApply();
    EXPECT_TRUE(device.RequestsTo("/SetDvrDate.cgi").empty());
    EXPECT_TRUE(device.RequestsTo("/SetRecordSetting.cgi").empty());
    EXPECT_TRUE(boxes.Ids().empty());
}

INSTANTIATE_TEST_SUITE_P(Gates, UnfilledDvrPages,
                         ::testing::Values(UnfilledCase{"Firmware1057", "1057", false, 0},
                                           UnfilledCase{"FailedRead", "1058", true, 1}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- Record Setting -------------------------------------------------------------

QStringList Items(QWidget* list) {
    QStringList items;
    auto* combo = qobject_cast<QComboBox*>(list);
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

TEST_F(DvrPagesTest, RecordPageOffersTheRatesAndSwitchesImageSize) {
    devicesim::DvrRecordSetting record;
    record.videoType = 0;
    record.recMode = 1;  // FIELD on an 8-channel NTSC recorder
    record.manualRateType = 2;
    record.motionRateType = 1;
    record.timerRateType = 3;
    record.quality = 12;
    record.supportMode = 7;
    record.supportIpsShare = 3;
    record.recordFix = 0;
    Model("Q8A5", "1058").dvrSettings().SetRecord(record);
    MySystemDialog* sheet = Open();
    auto* page = Show<DVRRecordPage>(sheet, SheetPageId::kRecordSetting);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->FilledFromDevice());
    for (const int id : {1195, 1197, 1198}) {
        EXPECT_EQ(Items(page->Control(id)), QStringList({"120", "60", "30", "15"})) << id;
    }
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1195))->currentIndex(), 2);
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1198))->currentIndex(), 1);
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1494))->currentIndex(), -1);  // QUALITY 12
    EXPECT_TRUE(qobject_cast<QRadioButton*>(page->Control(1492))->isChecked());
    EXPECT_TRUE(qobject_cast<QRadioButton*>(page->Control(1497))->isChecked());
    test_support::SaveWidgetPicture(*sheet, "dvr_record_page.png");

    // FIELD again keeps the selections.
    page->OnField();
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1195))->currentIndex(), 2);

    // CIF: doubled rates, the first selected, FIX forced and the share locked.
    page->OnCif();
    for (const int id : {1195, 1197, 1198}) {
        EXPECT_EQ(Items(page->Control(id)), QStringList({"240", "120", "60", "30"})) << id;
        EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(id))->currentText(), "240") << id;
    }
    EXPECT_TRUE(qobject_cast<QRadioButton*>(page->Control(1496))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(page->Control(1497))->isChecked());
    EXPECT_FALSE(page->Control(1496)->isEnabled());
    EXPECT_TRUE(qobject_cast<QRadioButton*>(page->Control(1493))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(page->Control(1492))->isChecked());
    page->OnFrame();
    EXPECT_TRUE(page->Control(1496)->isEnabled());
    EXPECT_TRUE(page->Control(1497)->isEnabled());
    page->OnCif();

    sheet->OnClickApply();
    const auto sent = device.RequestsTo("/SetRecordSetting.cgi");
    ASSERT_EQ(sent.size(), 1u);
    const std::string query = sent[0].target.substr(sent[0].target.find("&CH"));
    EXPECT_EQ(query,
              "&CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=1&RECMODE=2"
              "&CHMOTIONRATE=1&MOTIONRATETYPE=0&CHMANUALRATE=1&MANUALRATETYPE=0&CHTIMERRATE=1"
              "&TIMERRATETYPE=0&CHIPSSHARE=1&RECORDFIX=1");
    EXPECT_EQ(model->dvrSettings().Record().recMode, 2);
}

TEST_F(DvrPagesTest, RecordPageWithoutChangesStillSendsTheShare) {
    Model("Q8A3", "1058");  // supports FRAME and FIELD only, no share choice
    MySystemDialog* sheet = Open();
    auto* page = Show<DVRRecordPage>(sheet, SheetPageId::kRecordSetting);
    ASSERT_TRUE(page && page->FilledFromDevice());
    EXPECT_FALSE(page->Control(1493)->isEnabled());
    EXPECT_TRUE(page->Control(1491)->isEnabled());
    EXPECT_TRUE(page->Control(1492)->isEnabled());
    EXPECT_FALSE(page->Control(1496)->isEnabled());
    // Back from FIELD to FRAME the share choice stays locked on this recorder.
    page->OnField();
    page->OnFrame();
    EXPECT_FALSE(page->Control(1496)->isEnabled());
    page->OnField();
    page->OnFrame();
    EXPECT_EQ(Items(page->Control(1195)), QStringList({"30", "15", "7", "3"}));
    qobject_cast<QComboBox*>(page->Control(1195))
        ->setCurrentIndex(model->dvrSettings().Record().manualRateType);
    qobject_cast<QComboBox*>(page->Control(1198))
        ->setCurrentIndex(model->dvrSettings().Record().motionRateType);
    qobject_cast<QComboBox*>(page->Control(1197))
        ->setCurrentIndex(model->dvrSettings().Record().timerRateType);
    sheet->OnClickApply();
    const auto sent = device.RequestsTo("/SetRecordSetting.cgi");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].target.find("CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0"
                                  "&CHRECMODE=0&CHMOTIONRATE=0&CHMANUALRATE=0&CHTIMERRATE=0"
                                  "&CHIPSSHARE=1&RECORDFIX=1"),
              std::string::npos)
        << sent[0].target;
}

TEST_F(DvrPagesTest, RecordPageButtonsAndQualityList) {
    Model("Q8A7", "1060");  // manual on, overwrite on, quality HIGH, FIX
    MySystemDialog* sheet = Open();
    auto* page = Show<DVRRecordPage>(sheet, SheetPageId::kRecordSetting);
    ASSERT_TRUE(page && page->FilledFromDevice());
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1494))->currentText(), "HIGH");
    qobject_cast<QRadioButton*>(page->Control(1484))->click();  // manual NO
    EXPECT_FALSE(qobject_cast<QRadioButton*>(page->Control(1483))->isChecked());
    qobject_cast<QRadioButton*>(page->Control(1487))->click();  // timer YES
    qobject_cast<QRadioButton*>(page->Control(1497))->click();  // GROUP
    EXPECT_FALSE(qobject_cast<QRadioButton*>(page->Control(1496))->isChecked());
    auto* quality = qobject_cast<QComboBox*>(page->Control(1494));
    quality->setCurrentIndex(3);
    emit quality->activated(3);  // BASIC
    sheet->OnClickApply();
    const auto sent = device.RequestsTo("/SetRecordSetting.cgi");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].target.find("CHMANUALREC=1&MANUAL=0&CHEVENTREC=0&CHTIMERREC=1&TIMER=1"
                                  "&CHOV=0&CHQT=1&QUALITY=16&CHRECMODE=0&CHMOTIONRATE=0"
                                  "&CHMANUALRATE=0&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=0"),
              std::string::npos)
        << sent[0].target;
    const devicesim::DvrRecordSetting now = model->dvrSettings().Record();
    EXPECT_EQ(now.manual, 0);
    EXPECT_EQ(now.timer, 1);
    EXPECT_EQ(now.quality, 16);
    EXPECT_EQ(now.recordFix, 0);
}

// A clock the pickers cannot show is kept: opening and applying sends no
// date the operator never chose.
TEST_F(DvrPagesTest, DatePageKeepsValuesItCannotShow) {
    Model("Q8A7", "1058")
        .dvrSettings()
        .SetRawDateReply(
            "YEAR=2026;MONTH=0;DAY=40;HOUR=25;MINUTE=0;SECOND=0;FORMAT=7;DAYLIGHTSAVING=0;"
            "STARTWEEKINDEX=9;STARTHOUR=30;STARTMINUTE=0;");
    MySystemDialog* sheet = Open();
    auto* page = Show<DVRDatePage>(sheet, SheetPageId::kDate);
    ASSERT_TRUE(page && page->FilledFromDevice());
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(1195))->currentIndex(), -1);
    EXPECT_EQ(page->SaveToDevice(), 1);
    EXPECT_TRUE(device.RequestsTo("/SetDvrDate.cgi").empty());
    // Choosing a date sends it, with the other values as the device gave them.
    qobject_cast<QDateEdit*>(page->Control(1480))->setDate(QDate(2026, 5, 1));
    sheet->OnClickApply();
    const auto sent = model->dvrSettings().DateRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Param(sent[0], "MONTH"), "5");
    EXPECT_EQ(Param(sent[0], "CHDATE"), "1");
    EXPECT_EQ(Param(sent[0], "FORMAT"), "7");
    EXPECT_EQ(Param(sent[0], "CHFORMAT"), "0");
    EXPECT_EQ(Param(sent[0], "STARTWEEKINDEX"), "9");
    EXPECT_EQ(Param(sent[0], "STARTHOUR"), "30");
    EXPECT_EQ(Param(sent[0], "CHDAYLIGHTTIME"), "0");
}

// A record mode or video type the rate table does not know leaves the page
// disabled and the recorder's settings untouched.
TEST_F(DvrPagesTest, RecordPageRefusesUnknownModeOrType) {
    for (const char* reply :
         {"VIDEOTYPE=0;RECMODE=5;SUPPORTMODE=7;", "VIDEOTYPE=7;RECMODE=0;SUPPORTMODE=7;"}) {
        SCOPED_TRACE(reply);
        Model("Q8A7", "1058").dvrSettings().SetRawRecordReply(reply);
        MySystemDialog* sheet = Open();
        auto* page = Show<DVRRecordPage>(sheet, SheetPageId::kRecordSetting);
        ASSERT_NE(page, nullptr);
        EXPECT_FALSE(page->FilledFromDevice());
        EXPECT_FALSE(page->Control(1195)->isEnabled());
        EXPECT_EQ(page->SaveToDevice(), 1);
        sheet->OnClickApply();
        EXPECT_TRUE(device.RequestsTo("/SetRecordSetting.cgi").empty());
        opener.DeleteConfigSheet();
    }
}

// ---- Timer Record -----------------------------------------------------------------

std::string TimerSection(devicesim::DeviceModel& model) {
    std::string rec = model.Section("DVRREC").value_or("");
    const auto put16 = [&](std::size_t at, int v) {
        rec[at] = static_cast<char>(v & 0xFF);
        rec[at + 1] = static_cast<char>(v >> 8);
    };
    for (std::size_t r = 0; r < 7; ++r) {
        rec[87 + r] = static_cast<char>(r == 1 ? 8 : 0);
        put16(94 + 2 * r, r == 0 ? 0x0A1E : 0x0800);
        put16(108 + 2 * r, 0x1200);
    }
    rec[93] = 13;  // row 7: a day beyond the list
    return rec;
}

TEST_F(DvrPagesTest, TimerPageShowsTheRowsAndSendsAnEditedRow) {
    devicesim::DeviceModel& m = Model("Q8A7", "1058");
    ASSERT_TRUE(m.SetSection("DVRREC", TimerSection(m)));
    MySystemDialog* sheet = Open();
    auto* page = Show<TimerRecordPage>(sheet, SheetPageId::kTimerRecord);
    ASSERT_TRUE(page && page->FilledFromDevice());
    EXPECT_EQ(page->StartPicker(0)->time(), QTime(10, 30));
    EXPECT_EQ(page->StartPicker(0)->displayFormat(), "HH : mm");
    EXPECT_EQ(page->EndPicker(0)->time(), QTime(18, 0));
    EXPECT_EQ(page->DayList(1)->currentText(), "MON-FRI");
    EXPECT_EQ(page->DayList(6)->currentIndex(), -1);
    test_support::SaveWidgetPicture(*sheet, "timer_record_page.png");

    page->DayList(2)->setCurrentIndex(10);  // DAILY
    page->EndPicker(2)->setTime(QTime(23, 45));
    sheet->OnClickApply();
    const auto received = m.ReceivedSections();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].option, "DVRREC");
    std::string expected = TimerSection(m);
    expected[89] = 10;
    expected[112] = 45;
    expected[113] = 23;
    EXPECT_EQ(received[0].body, expected);  // row 7 keeps its day of 13
}

TEST_F(DvrPagesTest, TimerPageOnOlderFirmwareIsDisabledAndSendsNothing) {
    devicesim::DeviceModel& m = Model("Q8A7", "1057");
    ASSERT_TRUE(m.SetSection("DVRREC", TimerSection(m)));
    MySystemDialog* sheet = Open();
    auto* page = Show<TimerRecordPage>(sheet, SheetPageId::kTimerRecord);
    ASSERT_NE(page, nullptr);
    int disabled = 0;
    for (std::size_t r = 0; r < 7; ++r) {
        for (QWidget* w : std::initializer_list<QWidget*>{page->DayList(r), page->StartPicker(r),
                                                          page->EndPicker(r)}) {
            disabled += w->isEnabled() ? 0 : 1;
        }
    }
    EXPECT_EQ(disabled, 21);
    sheet->OnClickApply();
    EXPECT_TRUE(m.ReceivedSections().empty());
}

}  // namespace
