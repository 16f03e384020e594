#include "maintenance/search/event_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/pages/detection_page.h"
#include "config/sheet/my_system_dialog.h"
#include "maintenance/backup/download_file_page.h"
#include "maintenance/sheet_page_install.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/file_contents.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

// Undoes the installer: no page factory, no hook left for the next test.
void ForgetSheetPages() {
    SetSheetOpeningHook({});
    SetDetectionChannelSwitch({});
    for (const SheetPageEntry& entry : kSheetPages) {
        SetSheetPageFactory(entry.id, {});
    }
}

using namespace maintenance;
using command_test::DeviceCommandTest;
using test_support::Reply;

// One reply page of `types`, all at 2024-05-17 08:30:<index>.
std::string Page(const std::vector<std::uint8_t>& types) {
    const std::size_t bytes = types.size() * 16;
    std::string out = {0, 0, static_cast<char>(bytes & 0xFF), static_cast<char>(bytes >> 8)};
    for (std::size_t i = 0; i < types.size(); ++i) {
        std::string record(16, '\0');
        record[7] = static_cast<char>(types[i]);
        const char time[6] = {24, 5, 17, 8, 30, static_cast<char>(i)};
        record.replace(8, 6, time, 6);
        out += record;
    }
    return out;
}

class MessageRecorder : public platform::MessageTarget {
public:
    MessageRecorder() : handle(platform::RegisterWindow(this)) {}
    ~MessageRecorder() override { platform::UnregisterWindow(handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) override {
        messages.push_back(message);
    }
    platform::WindowHandle handle;
    std::vector<std::uint32_t> messages;
};

class EventPageTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        std::string map(32, '\0');
        map[0] = 0x20;  // only disk 5: EXT-02
        device.SetReply("/GetDvrHDD.cgi", Reply::Ok(map));
        settings().m_wSearchListMaxNumber = 300;
        settings().m_bySearchListType = 0;
        CEventPage::SetShortPagePause(std::chrono::milliseconds(0));
    }
    void TearDown() override {
        ClearPendingDownloadRequest();
        DeviceCommandTest::TearDown();
    }
    test_support::ScopedMessageBoxRecorder boxes;
    MessageRecorder sheet;
};

// A disk map shorter than 32 bytes still lists the disks its bytes hold.
TEST_F(EventPageTest, AShortDiskMapListsItsDisks) {
    device.SetReply("/GetDvrHDD.cgi", Reply::Ok(std::string(1, '\x20')));
    CEventPage page(nullptr, sheet.handle);
    ASSERT_TRUE(page.OnInitDialog());
    auto* hdd = static_cast<QComboBox*>(page.Control(CEventPage::kIdHdd));
    ASSERT_EQ(hdd->count(), 1);
    EXPECT_EQ(hdd->itemText(0), "EXT-02");
    EXPECT_TRUE(hdd->isEnabled());
}

TEST_F(EventPageTest, SearchesListsAndHandsTheRecordToTheBackupPage) {
    device.SetReplies("/GetSearchList.cgi", {Reply::Ok(Page(std::vector<std::uint8_t>(12, 0x12))),
                                             Reply::Ok(Page({0x02, 48, 240, 32, 0x77}))});
    CEventPage page(nullptr, sheet.handle);
    ASSERT_TRUE(page.OnInitDialog());
    auto* hdd = static_cast<QComboBox*>(page.Control(CEventPage::kIdHdd));
    ASSERT_EQ(hdd->count(), 1);
    EXPECT_EQ(hdd->itemText(0), "EXT-02");
    page.show();
    test_support::SaveWidgetPicture(page, "search_list_page.png");

    std::vector<int> rowCounts;
    test_support::ModalScript<RecordListDialog> list([&](RecordListDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Full Record List");
        EXPECT_TRUE(dialog.Box(RecordListDialog::kIdTimer)->isHidden());
        rowCounts.push_back(dialog.List()->topLevelItemCount());
        test_support::SaveWidgetPicture(dialog, "record_list_dialog.png");
        // Without MOTION the alarm record of channel 3 is the first row.
        dialog.Box(RecordListDialog::kIdMotion)->click();
        rowCounts.push_back(dialog.List()->topLevelItemCount());
        EXPECT_EQ(dialog.List()->topLevelItem(0)->text(1), "ALARM");
        dialog.List()->topLevelItem(0)->setSelected(true);
        dialog.OnDownload(true);
        test_support::RejectIfOpen(dialog);
    });
    page.OnDownloadHddList();
    EXPECT_EQ(page.Records().size(), 17u);
    // 12 motion + alarm + manual + system + timer; without MOTION the timer goes too.
    EXPECT_EQ(rowCounts, (std::vector<int>{16, 3}));
    const auto requests = device.RequestsTo("/GetSearchList.cgi");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/GetSearchList.cgi?STATE=LAST&HDD=5&TYPE=8");
    EXPECT_EQ(requests[1].target, "/GetSearchList.cgi?STATE=PREV&HDD=5&TYPE=8");
    platform::ProcessPostedMessages();
    EXPECT_EQ(sheet.messages, std::vector<std::uint32_t>{WM_SHOWBACKUPPAGE});

    // The backup page takes it over and downloads that span.
    test_support::TempDir dir;
    settings().m_strNetworkFileDirectory = dir.path().string();
    device.SetHandler("/NetworkBk.cgi", [](const auto&, auto& connection) {
        connection.Send(std::string("\x04\0\0\0\x03\0\0\0wxyz\0\0\0\0\x01\0\0\0", 20));
    });
    DownloadFilePage backup(nullptr);
    ASSERT_TRUE(backup.OnInitDialog());
    backup.show();
    EXPECT_EQ(backup.Channel(), 3u);
    // Taking a request over keeps the file name the page had.
    const std::string file = backup.FilePath();
    test_support::ModalScript<DownloadProgressDialog> progress([](DownloadProgressDialog& dialog) {
        EXPECT_TRUE(test_support::WaitUntil([&] {
            platform::ProcessPostedMessages();
            return !dialog.DownloadRunning() && !dialog.StatusText().isEmpty();
        }));
        dialog.done(0);
    });
    backup.OnButtonStart();
    const auto backups = device.RequestsTo("/NetworkBk.cgi");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(
        backups[0].target.find("Year=2024&Month=5&Day=17&Hour=8&Minute=30&Second=0&Num=5&CH=2"),
        std::string::npos)
        << backups[0].target;
    EXPECT_EQ(test_support::ReadAll(file), "wxyz");
}

TEST_F(EventPageTest, FailuresAndEmptyLists) {
    struct Case {
        std::vector<Reply> replies;
        std::uint32_t maxNumber;
        unsigned message;
        std::size_t requests;
    };
    const std::vector<Case> cases = {
        {{Reply::Ok(Page({}))}, 300, 4110, 1},
        {{Reply::Ok(Page({0x12}))}, 0, 4110, 0},
        {{Reply::Status(404, "Not Found")}, 300, 4065, 1},
    };
    for (const Case& c : cases) {
        device.SetReplies("/GetSearchList.cgi", c.replies);
        const std::size_t before = device.RequestsTo("/GetSearchList.cgi").size();
        boxes.sink().Clear();
        CEventPage page(nullptr, sheet.handle);
        ASSERT_TRUE(page.OnInitDialog());
        static_cast<QLineEdit*>(page.Control(CEventPage::kIdMaxNumber))
            ->setText(QString::number(c.maxNumber));
        test_support::ModalScript<RecordListDialog> list(
            [](RecordListDialog& dialog) { dialog.reject(); });
        page.OnDownloadHddList();
        EXPECT_EQ(list.Runs(), 0);
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{c.message});
        EXPECT_EQ(device.RequestsTo("/GetSearchList.cgi").size() - before, c.requests);
    }
}

TEST_F(EventPageTest, MaxListNumberEdits) {
    CEventPage page(nullptr, sheet.handle);
    ASSERT_TRUE(page.OnInitDialog());
    auto* edit = static_cast<QLineEdit*>(page.Control(CEventPage::kIdMaxNumber));
    edit->setText("5000");
    EXPECT_EQ(edit->text(), "2048");
    edit->setText("12a");
    EXPECT_EQ(edit->text(), "12");
    edit->setText("abc");
    EXPECT_EQ(edit->text(), "abc");
    EXPECT_EQ(page.MaxListNumber(), 12u);
    const SearchListLocalValues values = page.TakePageValues();
    EXPECT_TRUE(values.maxNumberChanged);
    EXPECT_EQ(values.hdd, 5u);
}

// A request an earlier sheet left behind is dropped when a new sheet is
// built; one the sheet's own record list hands over reaches its backup page.
TEST_F(EventPageTest, ANewSheetDropsAnEarlierRequestAndKeepsItsOwn) {
    InstallSheetPages();
    PostPendingDownloadRequest({1, 1, 24, 5, 17, 8, 30, 5, 1, 3, 0, 0});
    MySystemDialog config(QStringLiteral("System setting"), nullptr, g_lpApp->SystemConfigStruct,
                          DeviceIdentity{"Q8A3", "1052"}, SectionSet{});
    EXPECT_FALSE(TakePendingDownloadRequest());

    config.OnInitDialog();
    config.show();
    config.SetActivePage(config.PageIndexOf(SheetPageId::kSearchList));
    auto* search = dynamic_cast<CEventPage*>(config.PageWindowOf(SheetPageId::kSearchList));
    ASSERT_NE(search, nullptr);
    device.SetReplies("/GetSearchList.cgi", {Reply::Ok(Page({0x04}))});
    test_support::ModalScript<RecordListDialog> list([](RecordListDialog& dialog) {
        dialog.List()->topLevelItem(0)->setSelected(true);
        dialog.OnDownload(true);
        test_support::RejectIfOpen(dialog);
    });
    search->OnDownloadHddList();
    platform::ProcessPostedMessages();
    EXPECT_EQ(config.ActivePageIndex(), config.PageIndexOf(SheetPageId::kNetworkBackup));
    auto* backup =
        dynamic_cast<DownloadFilePage*>(config.PageWindowOf(SheetPageId::kNetworkBackup));
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->Channel(), 5u);
    EXPECT_FALSE(TakePendingDownloadRequest());
    ForgetSheetPages();
}

TEST(RecordedDataPagesTest, InstallRegistersEveryPage) {
    InstallSheetPages();
    for (const SheetPageEntry& entry : kSheetPages) {
        EXPECT_TRUE(SheetPageFactoryFor(entry.id)) << entry.className;
    }
    ForgetSheetPages();
}

}  // namespace
