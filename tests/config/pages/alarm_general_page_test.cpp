// The Alarm page (durations by family, method clicks, the Q3A2 source bits,
// the controls each family shows, values beyond the lists kept, the two
// local settings) and the General page (version and MAC, the server-log
// controls by firmware, MAX LOG LIST, title and channel names, the
// server-log download through its hooks).

#include "config/pages/alarm_property_page.h"
#include "config/pages/tool_box_property_page.h"

#include "config/sheet/sheet_progress.h"
#include "media/frame_header.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/wait.h"

namespace {

using namespace page_test;
using namespace cfg;

// ---- alarm page -------------------------------------------------------------------

struct DurationCase {
    const char* product;
    std::uint16_t stored;
    int rows;
    int shownRow;
};

TEST_F(PageTest, AlarmDurationRowsByFamily) {
    for (const DurationCase& c : {DurationCase{"Q8A7", 1800, 4, 0},
                                  {"Q8A7", 20, 4, 2},
                                  {"Q3A2", 45, 6, 0},
                                  {"Q9C0", 0xFFFF, 6, 5}}) {
        SCOPED_TRACE(std::string(c.product) + " " + std::to_string(c.stored));
        opener.DeleteConfigSheet();
        Open(c.product, "1052", {}, [&](devicesim::DeviceModel& m) {
            PatchSection(m, "ALARM",
                         [&](SectionBytes s) { WriteU16(s, ALARM::Duration, c.stored); });
        });
        auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
        ASSERT_NE(page, nullptr);
        auto* combo = Control<QComboBox>(page, 1294);
        EXPECT_EQ(combo->count(), c.rows);
        EXPECT_EQ(combo->currentIndex(), c.shownRow);
        // Left alone, the stored value stays; another row writes its value.
        Apply();
        EXPECT_TRUE(SentOptions().empty());
    }
}

TEST_F(PageTest, AlarmDurationChangeWritesTheFamilysValue) {
    Open("Q3A2", "1010");
    const Bytes alarm = Section("ALARM");
    auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
    ASSERT_NE(page, nullptr);
    Control<QComboBox>(page, 1294)->setCurrentIndex(4);
    Apply();
    EXPECT_EQ(SentBody("ALARM"),
              Patched(alarm, [](SectionBytes s) { WriteU16(s, ALARM::Duration, 1800); }));
}

struct MethodCase {
    std::uint8_t before;
    int click;  // 1318 Email, 1319 FTP, 1292 Enable, 1293 Disable
    std::uint8_t after;
};

TEST_F(PageTest, AlarmMethodClicksKeepOneWay) {
    Open("Q8A7");
    auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
    ASSERT_NE(page, nullptr);
    const std::vector<MethodCase> cases{{1, 1319, 3}, {3, 1318, 2}, {2, 1319, 2}, {2, 1318, 3},
                                        {3, 1319, 1}, {1, 1318, 1}, {1, 1293, 0}, {0, 1292, 1}};
    for (const MethodCase& c : cases) {
        ASSERT_EQ(page->Method(), c.before) << c.click;
        Click(page, c.click);
        EXPECT_EQ(page->Method(), c.after) << int{c.before} << " " << c.click;
        EXPECT_EQ(Control<QCheckBox>(page, 1318)->isChecked(), c.after == 1 || c.after == 3);
        EXPECT_EQ(Control<QCheckBox>(page, 1319)->isChecked(), c.after == 2 || c.after == 3);
        EXPECT_EQ(Control<QCheckBox>(page, 1318)->isEnabled(), c.after != 0);
    }
    Click(page, 1319);  // 1 -> 3
    const Bytes alarm = Section("ALARM");
    Apply();
    EXPECT_EQ(SentBody("ALARM"),
              Patched(alarm, [](SectionBytes s) { WriteByte(s, ALARM::Method, 3); }));
}

struct VisibilityCase {
    const char* product;
    int multiChannel;
    bool sources;
    bool record;
    bool autoSwitch;
};

TEST_F(PageTest, AlarmControlsByFamily) {
    for (const VisibilityCase& c : {VisibilityCase{"Q3A2", 0, true, true, false},
                                    {"Q9C0", 0, false, false, false},
                                    {"Q7B5", 0, false, true, false},
                                    {"Q8A7", 1, false, false, true},
                                    {"Q8A7", 0, false, false, false}}) {
        SCOPED_TRACE(std::string(c.product) + " " + std::to_string(c.multiChannel));
        opener.DeleteConfigSheet();
        Open(c.product);
        // The main window keeps MULTICH from its device-information reply.
        g_lpApp->b_MultiChannel = static_cast<std::uint8_t>(c.multiChannel);
        auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Control<QWidget>(page, 1355)->isVisible(), c.sources);
        EXPECT_EQ(Control<QWidget>(page, 1485)->isVisible(), c.sources);
        EXPECT_EQ(Control<QWidget>(page, 1441)->isVisible(), c.record);
        EXPECT_EQ(Control<QWidget>(page, 1440)->isVisible(), c.record);
        EXPECT_EQ(Control<QWidget>(page, 1461)->isVisible(), c.autoSwitch);
    }
}

TEST_F(PageTest, AlarmSourceBitsOnQ3A2) {
    Open("Q3A2", "1010", {}, [](devicesim::DeviceModel& m) {
        PatchSection(m, "ALARM", [](SectionBytes s) { WriteByte(s, ALARM::VideoSource, 0x05); });
    });
    const Bytes alarm = Section("ALARM");
    auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
    ASSERT_NE(page, nullptr);
    // Input n: CH1 button 1478 + 2(n-1), CH2 button 1479 + 2(n-1).
    const std::vector<bool> ch2{true, false, true, false};
    for (int input = 0; input < 4; ++input) {
        EXPECT_EQ(Control<QRadioButton>(page, 1479 + 2 * input)->isChecked(), ch2[input]);
        EXPECT_EQ(Control<QRadioButton>(page, 1478 + 2 * input)->isChecked(), !ch2[input]);
    }
    Click(page, 1478);  // input 1 to CH1
    Click(page, 1485);  // input 4 to CH2
    EXPECT_EQ(page->VideoSource(), 0x0C);
    EXPECT_TRUE(Control<QRadioButton>(page, 1478)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(page, 1479)->isChecked());
    Apply();
    EXPECT_EQ(SentBody("ALARM"),
              Patched(alarm, [](SectionBytes s) { WriteByte(s, ALARM::VideoSource, 0x0C); }));
}

struct PostCase {
    std::uint8_t stored;
    const char* shown;
};

// A post number beyond the list shows and stays as the device has it; 0
// shows "1" and stays 0; the image size the page cannot change stays too.
TEST_F(PageTest, AlarmValuesBeyondTheListsAreKept) {
    for (const PostCase& c : {PostCase{20, "20"}, {0, "1"}, {10, "10"}}) {
        SCOPED_TRACE(int{c.stored});
        opener.DeleteConfigSheet();
        Open("Q9C0", "1052", {}, [&](devicesim::DeviceModel& m) {
            PatchSection(m, "ALARM", [&](SectionBytes s) {
                WriteByte(s, ALARM::PostNumbers, c.stored);
                WriteByte(s, ALARM::ImageSize, 1);
            });
        });
        auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Control<QComboBox>(page, 1296)->currentText().toStdString(), c.shown);
        Apply();
        EXPECT_TRUE(SentOptions().empty());
    }
    opener.DeleteConfigSheet();
    Open("Q9C0");
    auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
    ASSERT_NE(page, nullptr);
    Control<QComboBox>(page, 1296)->setCurrentIndex(3);
    Apply();
    EXPECT_EQ(ReadByte(Span(SentBody("ALARM")), ALARM::PostNumbers), 4);
    EXPECT_EQ(ReadByte(Span(SentBody("ALARM")), ALARM::ImageSize), 1);
}

TEST_F(PageTest, AlarmLocalSettingsAndRefresh) {
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 0;
    g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo = 0;
    Open("Q8A7");
    g_lpApp->b_MultiChannel = 1;
    auto* page = Show<AlarmPropertyPage>(SheetPageId::kAlarm);
    ASSERT_NE(page, nullptr);
    Click(page, 1461);
    EXPECT_TRUE(Control<QCheckBox>(page, 1461)->isChecked());
    page->OnRecordOn();
    Click(page, 1068);
    EXPECT_EQ(C_FrameHeaderParser.ResetAlarmValue(), 0);
    Apply();
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo.load(), 1);
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 1);
}

// ---- general page -----------------------------------------------------------------

TEST_F(PageTest, GeneralShowsVersionMacAndTitle) {
    g_lpApp->b_TurboRepeatStep = 7;
    Open("Q8A7", "1052", [](devicesim::DeviceProfile& p) { p.macAddress = "000E5C4A17B3"; });
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Control<QLabel>(page, 1305)->text(), "1.0.5.2");
    EXPECT_EQ(Control<QLabel>(page, 1316)->text(), "00:0E:5C:4A:17:B3");
    EXPECT_EQ(Control<QComboBox>(page, 1195)->currentIndex(), 6);
    EXPECT_EQ(Edit(page, 1474)->text(), "Q8A7 DVR");
    EXPECT_EQ(Edit(page, 1042)->text(), "300");
    EXPECT_EQ(Control<QPushButton>(page, 1068)->text(), "Server Log");
    Control<QComboBox>(page, 1195)->setCurrentIndex(11);
    Apply();
    EXPECT_EQ(g_lpApp->b_TurboRepeatStep.load(), 12);
}

struct GeneralCase {
    const char* product;
    const char* firmware;
    bool serverLog;
    bool title;
    bool names;
};

TEST_F(PageTest, GeneralControlsByFamilyAndFirmware) {
    for (const GeneralCase& c :
         // Below "1010" a Q3A2 keeps the sender's continuation where the
         // title would be: no title edit there.
         {GeneralCase{"Q3A2", "1006", false, false, false},
          {"Q3A2", "1007", true, false, false},
          {"Q3A2", "1010", true, true, true},
          {"Q7B5", "1006", false, false, false},
          {"Q9C0", "1006", true, false, false},
          {"Q8A7", "1052", true, true, false}}) {
        SCOPED_TRACE(std::string(c.product) + " " + c.firmware);
        opener.DeleteConfigSheet();
        Open(c.product, c.firmware);
        auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Control<QWidget>(page, 1068)->isVisible(), c.serverLog);
        EXPECT_EQ(Control<QWidget>(page, 1042)->isVisible(), c.serverLog);
        EXPECT_EQ(Control<QWidget>(page, 1474)->isVisible(), c.title);
        EXPECT_EQ(Control<QWidget>(page, 1475)->isVisible(), c.names);
        EXPECT_EQ(Control<QWidget>(page, 1476)->isVisible(), c.names);
    }
}

TEST_F(PageTest, GeneralMaxLogFilter) {
    Open("Q8A7");
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    for (const auto& [typed, shown] : std::vector<std::pair<const char*, const char*>>{
             {"3000", "2048"}, {"-5", "5"}, {"0", "0"}, {"12x", "12"}, {"99999999999", "2048"}}) {
        Type(page, 1042, typed);
        EXPECT_EQ(Edit(page, 1042)->text().toStdString(), shown) << typed;
    }
    EXPECT_EQ(page->MaxLogEntries(), 2048);
}

TEST_F(PageTest, GeneralTitleAndChannelNames) {
    Open("Q3A2", "1010");
    const Bytes system = Section("SYSTEM");
    const Bytes rs485 = Section("RS485");
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1475)->text(), "GAT");
    TypeKeys(page, 1474, "Lobby camera");  // 8 bytes kept
    TypeKeys(page, 1476, "ENTRY");
    EXPECT_EQ(Edit(page, 1474)->text(), "Lobby ca");
    EXPECT_EQ(Edit(page, 1476)->text(), "ENT");
    Apply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"SYSTEM", "RS485"}));
    EXPECT_EQ(SentBody("SYSTEM"),
              Patched(system, [](SectionBytes s) { WriteText(s, SYSTEM::Title, "Lobby ca"); }));
    // The first name, left alone, keeps the device's bytes.
    EXPECT_EQ(SentBody("RS485"),
              Patched(rs485, [](SectionBytes s) { WriteText(s, RS485::Ch2Name, "ENT"); }));
    EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), "Lobby ca");
}

// A download the test drives by hand: it counts its ends.
class FakeDownload : public ServerLogDownload {
public:
    explicit FakeDownload(int& ended) : m_ended(ended) {}
    ~FakeDownload() override { ++m_ended; }

private:
    int& m_ended;
};

class ServerLogTest : public PageTest {
public:
    void SetUp() override {
        PageTest::SetUp();
        ServerLogHooks hooks;
        hooks.start = [this](std::shared_ptr<ServerLogJob> job) {
            jobs.push_back(job);
            PostSheetProgress(kProgressStart, 0);  // as the download shows itself
            return std::make_unique<FakeDownload>(ended);
        };
        hooks.showLog = [this](QWidget*, bool dvr, const ServerLogJob& job) {
            shown.emplace_back(dvr, job.recordCount.load());
        };
        SetServerLogHooks(std::move(hooks));
    }
    void TearDown() override {
        SetServerLogHooks({});
        PageTest::TearDown();
    }
    std::vector<std::shared_ptr<ServerLogJob>> jobs;
    std::vector<std::pair<bool, std::uint32_t>> shown;
    int ended = 0;
};

TEST_F(ServerLogTest, StartCancelAndTheResultMessages) {
    Open("Q8A7");
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    auto* button = Control<QPushButton>(page, 1068);
    Type(page, 1042, "500");

    button->click();  // start
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0]->maxEntries, 500);
    EXPECT_EQ(jobs[0]->page, page->Handle());
    EXPECT_EQ(button->text(), "Cancel");
    EXPECT_EQ(page->DownloadState(), ToolBoxPropertyPage::kDownloadRunning);

    ASSERT_TRUE(test_support::WaitUntil([&] { return sheet->ProgressBlock()->State().shown; }));
    button->click();  // cancel: the download ends at once, the bar goes
    EXPECT_TRUE(test_support::WaitUntil([&] { return !sheet->ProgressBlock()->State().shown; }));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(jobs[0]->endEvent.IsSet());
    EXPECT_EQ(button->text(), "Server Log");
    EXPECT_EQ(page->DownloadState(), ToolBoxPropertyPage::kDownloadIdle);

    // A complete log opens the family's dialog; "nothing to show" does not.
    for (const std::uint64_t state : {std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{4}}) {
        button->click();
        jobs.back()->recordCount = 3;
        ASSERT_TRUE(platform::PostWindowMessage(page->Handle(), WM_LOGDOWNLOADSTATE, state, 0));
        platform::ProcessPostedMessages();
        EXPECT_EQ(page->DownloadState(), ToolBoxPropertyPage::kDownloadIdle) << state;
        EXPECT_EQ(button->text(), "Server Log");
    }
    EXPECT_EQ(shown, (std::vector<std::pair<bool, std::uint32_t>>{{true, 3}}));
    EXPECT_EQ(ended, 4);
    // A late report after the end changes nothing.
    EXPECT_EQ(page->OnLogDownloadState(1), 0);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(PageTest, ServerLogWithoutADownloadDoesNothing) {
    Open("Q8A7");
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    Click(page, 1068);
    EXPECT_EQ(Control<QPushButton>(page, 1068)->text(), "Server Log");
    EXPECT_EQ(page->DownloadState(), ToolBoxPropertyPage::kDownloadIdle);
    EXPECT_TRUE(boxes.Ids().empty());
}

}  // namespace
