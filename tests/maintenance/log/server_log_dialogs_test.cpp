#include "maintenance/log/server_log_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/wait.h"

namespace {

using namespace maintenance;
using command_test::DeviceCommandTest;
using test_support::Reply;

std::string Record(std::uint32_t id, std::uint8_t channel, std::uint8_t second) {
    std::string r(32, '\0');
    for (int i = 0; i < 4; ++i) {
        r[static_cast<std::size_t>(i)] = static_cast<char>(id >> (8 * i));
    }
    const char time[6] = {24, 5, 17, 8, 30, static_cast<char>(second)};
    r.replace(4, 6, time, 6);
    r[10] = static_cast<char>(channel);
    r.replace(11, 5, "admin");
    return r;
}

class MessageRecorder : public platform::MessageTarget {
public:
    MessageRecorder() : handle(platform::RegisterWindow(this)) {}
    ~MessageRecorder() override { platform::UnregisterWindow(handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t) override {
        messages.emplace_back(message, wParam);
    }
    platform::WindowHandle handle;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> messages;
};

class ServerLogDialogsTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        g_szSessionCookie.Set("abc");
    }
    std::string Rows(const ServerLogDialogBase& dialog, int column) {
        std::string out;
        for (int i = 0; i < dialog.List()->topLevelItemCount(); ++i) {
            out += dialog.List()->topLevelItem(i)->text(column).toStdString() + "|";
        }
        return out;
    }
    test_support::ScopedMessageBoxRecorder boxes{platform::kIdYes};
};

TEST_F(ServerLogDialogsTest, DownloadsPageByPageAndListsWithFilters) {
    std::string first;
    for (int i = 0; i < 30; ++i) {
        first += Record(i % 2 == 0 ? 0x4 : 0x1, static_cast<std::uint8_t>(i % 3),
                        static_cast<std::uint8_t>(i));
    }
    const std::string second =
        Record(0x800, 1, 40) + Record(0x1000, 1, 41) + Record(0xFFFF, 1, 42) + Record(0x100, 0, 43);
    device.SetReplies("/Getlog.cgi", {Reply::Ok("COUNT=34;"), Reply::Ok(first), Reply::Ok(second)});
    MessageRecorder page;
    ServerLogDownload download;
    ASSERT_TRUE(download.Start(page.handle, 300));
    ASSERT_TRUE(test_support::WaitUntil([&] {
        platform::ProcessPostedMessages();
        return !page.messages.empty();
    }));
    download.Stop();
    EXPECT_EQ(page.messages, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{
                                 {WM_LOGDOWNLOADSTATE, kLogDownloaded}}));
    EXPECT_EQ(download.Buffer().count, 34u);
    const auto requests = device.RequestsTo("/Getlog.cgi");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/Getlog.cgi?Cookie=abc&STATE=COUNT");
    EXPECT_EQ(requests[1].target, "/Getlog.cgi?Cookie=abc&STATE=LAST");
    EXPECT_EQ(requests[2].target, "/Getlog.cgi?Cookie=abc&STATE=PRE");

    DvrServerLogDialog dialog;
    dialog.SetRecords(&download.Buffer(), download.Buffer().count);
    dialog.OnInitDialog();
    // 30 + USB_ERROR + REMOTE LOGIN; 0x1000 and 0xFFFF are never listed.
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 32);
    EXPECT_EQ(dialog.List()->topLevelItem(31)->text(1), "REMOTE LOGIN ( admin )");
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(3), "NO");
    EXPECT_EQ(dialog.List()->topLevelItem(1)->text(3), "1");
    dialog.show();
    test_support::SaveWidgetPicture(dialog, "dvr_server_log_dialog.png");
    const std::string all = Rows(dialog, 2);
    // Unticking HDD FULL drops every 0x4 record and renumbers; ticking it again restores them.
    dialog.Box(1445)->click();
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 17);
    EXPECT_EQ(dialog.List()->topLevelItem(16)->text(0), "17");
    EXPECT_FALSE(dialog.Box(1445)->isChecked());
    dialog.Box(1445)->click();
    EXPECT_EQ(Rows(dialog, 2), all);
}

TEST_F(ServerLogDialogsTest, FailedAndEmptyDownloadsPostTheirCodes) {
    struct Case {
        Reply count;
        std::uint64_t code;
    };
    for (const Case& c :
         {Case{Reply::Ok("COUNT=0;"), kLogEmpty}, Case{Reply::Ok("COUNT=x;"), kLogFailed},
          Case{Reply::Status(404, "Not Found"), kLogFailed}}) {
        device.SetReply("/Getlog.cgi", c.count);
        MessageRecorder page;
        ServerLogDownload download;
        ASSERT_TRUE(download.Start(page.handle, 300));
        ASSERT_TRUE(test_support::WaitUntil([&] {
            platform::ProcessPostedMessages();
            return !page.messages.empty();
        }));
        download.Stop();
        EXPECT_EQ(page.messages.front().second, c.code);
    }
}

TEST_F(ServerLogDialogsTest, VideoServerDialogClearsTheLogOnYesOnly) {
    auto buffer = std::make_unique<ServerLogBuffer>();
    const std::string records = Record(0x1, 0, 1) + Record(0x4, 0x06, 2) + Record(0x20, 0, 3);
    std::memcpy(buffer->bytes.data(), records.data(), records.size());
    buffer->count = 3;
    device.SetReply("/ClearLog.cgi", Reply::Ok());
    ServerLogDialog dialog;
    dialog.SetRecords(buffer.get(), buffer->count);
    dialog.OnInitDialog();
    EXPECT_EQ(Rows(dialog, 1), "POWER ON|ALARM (2)|REMOTE LOGOUT ( admin )|");
    EXPECT_EQ(Rows(dialog, 2), "|24-05-17 08:30:02|24-05-17 08:30:03|");
    dialog.show();
    test_support::SaveWidgetPicture(dialog, "server_log_dialog.png");

    test_support::ScopedMessageBoxRecorder no(platform::kIdNo);
    dialog.OnClearServerLog();
    EXPECT_TRUE(device.RequestsTo("/ClearLog.cgi").empty());
    {
        test_support::ScopedMessageBoxRecorder yes(platform::kIdYes);
        dialog.OnClearServerLog();
        EXPECT_EQ(yes.Ids(), std::vector<unsigned>{4117});
    }
    const auto requests = device.RequestsTo("/ClearLog.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/ClearLog.cgi?Cookie=abc");
}

TEST(ServerLogListDialogTest, OnlyOkClosesTheEmptyList) {
    test_support::EnsureQtApp();
    ServerLogListDialog dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Server Log List");
    for (const auto& [id, text] :
         std::vector<std::pair<int, std::string>>{{ServerLogListDialog::kIdSystem, "System"},
                                                  {ServerLogListDialog::kIdNetwork, "Network"},
                                                  {ServerLogListDialog::kIdUser, "User"},
                                                  {ServerLogListDialog::kIdError, "Error"}}) {
        ASSERT_NE(dialog.Box(id), nullptr) << text;
        EXPECT_EQ(dialog.Box(id)->text().toStdString(), text);
    }
    EXPECT_EQ(dialog.Button(ServerLogListDialog::kIdClearAll)->text().toStdString(), "CLEAR ALL");
    dialog.show();
    test_support::SaveWidgetPicture(dialog, "server_log_list_dialog.png");

    dialog.Box(ServerLogListDialog::kIdNetwork)->click();
    dialog.Button(ServerLogListDialog::kIdClearAll)->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);

    dialog.Button(ServerLogListDialog::kIdOk)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
}

}  // namespace
