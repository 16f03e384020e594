#include "maintenance/backup/download_file_page.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "maintenance/search/search_list.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using namespace maintenance;
using command_test::DeviceCommandTest;
using test_support::Reply;
using test_support::WaitUntil;

std::string Le32(std::uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    }
    return out;
}

std::string Block(const std::string& payload) {
    return Le32(static_cast<std::uint32_t>(payload.size())) + Le32(3) + payload;
}
const std::string kEnd = Le32(0) + Le32(1);

TEST(BackupFileNameTest, SkipsEveryNameThatExists) {
    test_support::TempDir dir;
    std::ofstream(dir / "CH03_0001.dvr") << "x";
    std::ofstream(dir / "CH03_0002.dvr") << "x";
    EXPECT_EQ(MakeBackupFileName(dir.path(), 3), dir / "CH03_0003.dvr");
    EXPECT_EQ(MakeBackupFileName(dir.path(), 12), dir / "CH12_0001.dvr");
    // A file that cannot be opened, a folder and a dangling link keep their names.
    std::ofstream(dir / "CH03_0003.dvr") << "keep";
    ::chmod((dir / "CH03_0003.dvr").c_str(), 0);
    fs::create_directory(dir / "CH03_0004.dvr");
    fs::create_symlink(dir / "nowhere", dir / "CH03_0005.dvr");
    EXPECT_EQ(MakeBackupFileName(dir.path(), 3), dir / "CH03_0006.dvr");
    ::chmod((dir / "CH03_0003.dvr").c_str(), 0600);
    EXPECT_EQ(test_support::ReadAll(dir / "CH03_0003.dvr"), "keep");
}

TEST(BackupFileNameTest, SizesAreClampedAndSaturate) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> size;
    };
    for (const Case& c : {Case{"0600", 500}, Case{"-5", 5}, Case{"12", 12}, Case{"0", 0},
                          Case{"99999999999999999999999", 500}, Case{"abc", std::nullopt}}) {
        EXPECT_EQ(ParseBackupSize(c.text), c.size) << c.text;
    }
}

class DownloadFilePageTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        g_szSessionCookie.Set("abc");
        settings().m_strNetworkFileDirectory = dir.path().string() + "/";
        settings().m_strProgramDir = dir.path().string();
        std::string map(32, '\0');
        map[0] = 0x11;  // MASTER1 and EXT-01
        device.SetReply("/GetDvrHDD.cgi", Reply::Ok(map));
        device.SetReply("/CancelNB.cgi", Reply::Ok());
    }
    void TearDown() override {
        ClearPendingDownloadRequest();
        player.Forget();
        DeviceCommandTest::TearDown();
    }
    // A script that waits for the download's ending state, then ends the
    // dialog with the result `close` gives.
    void RunUntilEnded(std::function<int(DownloadProgressDialog&)> close) {
        progress.Set([this, close](DownloadProgressDialog& dialog) {
            EXPECT_TRUE(WaitUntil(
                [&] {
                    platform::ProcessPostedMessages();
                    return !dialog.DownloadRunning() && !dialog.StatusText().isEmpty();
                },
                "the download's ending"));
            status = dialog.StatusText().toStdString();
            playShown = dialog.PlayButton()->isVisible();
            test_support::SaveWidgetPicture(dialog, "download_progress_dialog.png");
            dialog.done(close(dialog));
        });
    }

    test_support::TempDir dir;
    test_support::ScopedMessageBoxRecorder boxes;
    PlayerSession player;
    test_support::ModalScript<DownloadProgressDialog> progress{nullptr};
    std::string status;
    bool playShown = false;
};

// A disk map shorter than 32 bytes still lists the disks its bytes hold.
TEST_F(DownloadFilePageTest, AShortDiskMapListsItsDisks) {
    device.SetReply("/GetDvrHDD.cgi", Reply::Ok(std::string(1, '\x11')));
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    auto* hdd = static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd));
    ASSERT_EQ(hdd->count(), 2);
    EXPECT_EQ(hdd->itemText(0), "MASTER1");
    EXPECT_EQ(hdd->itemText(1), "EXT-01");
}

TEST_F(DownloadFilePageTest, DownloadsTheChosenSpanIntoANewFile) {
    const std::string data = std::string(2048, 'a') + std::string(100, 'b');
    device.SetHandler("/NetworkBk.cgi", [data](const auto&, auto& connection) {
        connection.Send(Block(data.substr(0, 2048)) + Block(data.substr(2048)) + kEnd);
    });
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    auto* hdd = static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd));
    ASSERT_EQ(hdd->count(), 2);
    EXPECT_EQ(hdd->itemText(1), "EXT-01");
    EXPECT_EQ(page.FilePath(), (dir / "CH01_0001.dvr").string());
    hdd->setCurrentIndex(1);
    static_cast<QLineEdit*>(page.Control(DownloadFilePage::kIdChannel))->setText("3");
    EXPECT_EQ(page.FilePath(), (dir / "CH03_0001.dvr").string());
    static_cast<QDateEdit*>(page.Control(DownloadFilePage::kIdDate))->setDate(QDate(2024, 5, 17));
    static_cast<QTimeEdit*>(page.Control(DownloadFilePage::kIdTime))->setTime(QTime(8, 30, 5));
    page.show();
    test_support::SaveWidgetPicture(page, "network_backup_page.png");

    RunUntilEnded([](DownloadProgressDialog&) { return 0; });
    page.OnButtonStart();
    EXPECT_EQ(status, "Download process is finished");
    EXPECT_TRUE(playShown);
    EXPECT_EQ(test_support::ReadAll(dir / "CH03_0001.dvr"), data);
    const auto requests = device.RequestsTo("/NetworkBk.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target,
              "/NetworkBk.cgi?Cookie=abc&Year=2024&Month=5&Day=17&Hour=8&Minute=30&Second=5&Num=4"
              "&CH=2&Size=5");
    // The next download never overwrites this one.
    EXPECT_EQ(page.FilePath(), (dir / "CH03_0002.dvr").string());
    EXPECT_EQ(settings().m_strNetworkFileDirectory.Get(), dir.path().string());
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(DownloadFilePageTest, StartRefusesWhatCannotBeDownloaded) {
    struct Case {
        const char* size;
        const char* channel;
        int hdd;
        unsigned message;
    };
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    auto* hdd = static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd));
    for (const Case& c : {Case{"0", "1", 0, 4104}, Case{"5", "17", 0, 4107},
                          Case{"5", "0", 0, 4107}, Case{"5", "1", -1, 4107}}) {
        boxes.sink().Clear();
        static_cast<QLineEdit*>(page.Control(DownloadFilePage::kIdSize))->setText(c.size);
        static_cast<QLineEdit*>(page.Control(DownloadFilePage::kIdChannel))->setText(c.channel);
        hdd->setCurrentIndex(c.hdd);
        page.OnButtonStart();
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{c.message}) << c.size << " " << c.channel;
    }
    EXPECT_TRUE(device.RequestsTo("/NetworkBk.cgi").empty());
}

TEST_F(DownloadFilePageTest, AFolderNeverSetIsRefused) {
    settings().m_strNetworkFileDirectory = "";
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    EXPECT_EQ(page.FilePath(), "Please set file path at first time!");
    page.OnButtonStart();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4105});
}

TEST_F(DownloadFilePageTest, TakesOverAPendingRequestWhenShown) {
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    PostPendingDownloadRequest({1, 1, 24, 5, 17, 8, 30, 5, 1, 3, 0, 0});
    page.show();
    EXPECT_EQ(page.Channel(), 3u);
    EXPECT_EQ(page.HddIndex(), 1);
    EXPECT_EQ(static_cast<QDateEdit*>(page.Control(DownloadFilePage::kIdDate))->date(),
              QDate(2024, 5, 17));
    EXPECT_FALSE(TakePendingDownloadRequest());
    // A request without a channel keeps the page's.
    PostPendingDownloadRequest({1, 15, 24, 5, 17, 8, 30, 5, 0, 0, 0, 0});
    page.hide();
    page.show();
    EXPECT_EQ(page.Channel(), 3u);
    EXPECT_EQ(page.HddIndex(), 0);
}

TEST_F(DownloadFilePageTest, CancelAsksTheDeviceToStopFromFirmware1043) {
    for (const char* version : {"1043", "1042"}) {
        g_lpApp->str_FWVersion.Set(version);
        device.SetHandler("/NetworkBk.cgi", [](const auto&, auto& connection) {
            connection.Send(Block("abcd"));
            connection.HoldUntilPeerCloses();
        });
        DownloadFilePage page(nullptr, player);
        ASSERT_TRUE(page.OnInitDialog());
        static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd))->setCurrentIndex(0);
        const std::string file = page.FilePath();
        progress.Set([&](DownloadProgressDialog& dialog) {
            EXPECT_TRUE(WaitUntil([&] { return fs::file_size(file) == 4; }, "the first block"));
            dialog.OnCancel();
        });
        const std::size_t before = device.RequestsTo("/CancelNB.cgi").size();
        page.OnButtonStart();
        EXPECT_EQ(device.RequestsTo("/CancelNB.cgi").size() - before,
                  std::string(version) == "1043" ? 1u : 0u)
            << version;
    }
}

TEST_F(DownloadFilePageTest, EndingsShowTheirTexts) {
    struct Case {
        std::string stream;
        const char* text;
    };
    for (const Case& c : {Case{kEnd, "DVR doesn't contain the record data."},
                          Case{Le32(0) + Le32(6), "Wait a monent and retry again."},
                          Case{Block("ab").substr(0, 9), "Download file is failed!"}}) {
        device.SetHandler("/NetworkBk.cgi",
                          [c](const auto&, auto& connection) { connection.Send(c.stream); });
        DownloadFilePage page(nullptr, player);
        ASSERT_TRUE(page.OnInitDialog());
        static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd))->setCurrentIndex(0);
        RunUntilEnded([](DownloadProgressDialog&) { return 0; });
        page.OnButtonStart();
        EXPECT_EQ(status, c.text);
        EXPECT_FALSE(playShown);
    }
}

TEST_F(DownloadFilePageTest, DynamicDownloadStartsThePlayerWithTheGrowingFile) {
    test_support::ScopedRuntimeDir runtime;
    const fs::path log = dir / "player.log";
    {
        std::ofstream script(dir / "VideoPlayer.exe");
        script << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << (dir / "arguments.txt").string()
               << "\"\nexec \"" << test_support::FakePlayerProgram().string() << "\" --log \""
               << log.string() << "\" --parent " << ::getpid() << "\n";
    }
    fs::permissions(dir / "VideoPlayer.exe", fs::perms::owner_all);
    device.SetHandler("/NetworkBk.cgi",
                      [](const auto&, auto& connection) { connection.Send(Block("abcd") + kEnd); });
    settings().m_dwDynamicDownloadOption = 1;
    DownloadFilePage page(nullptr, player);
    ASSERT_TRUE(page.OnInitDialog());
    static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd))->setCurrentIndex(0);
    const std::string file = page.FilePath();
    RunUntilEnded([](DownloadProgressDialog&) { return 0; });
    page.OnButtonStart();
    EXPECT_EQ(test_support::ReadAll(dir / "arguments.txt"), file + "\nDYNAMICLOAD=1\n");
    EXPECT_EQ(status, "Download process is finished");
    const auto lines = [&] {
        std::vector<std::string> out;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            out.push_back(line);
        }
        return out;
    };
    ASSERT_TRUE(WaitUntil([&] { return lines().size() >= 3; }, "the player's log"));
    EXPECT_TRUE(lines()[1].starts_with("copydata 2 20 4e4554574f524b424b5f")) << lines()[1];
    EXPECT_TRUE(lines()[2].starts_with("message 1200 0 ")) << lines()[2];
    platform::PostProcessWindowMessage(player.Window(), 0x10, 0, 0);
    EXPECT_TRUE(
        WaitUntil([&] { return !platform::IsProcessWindow(player.Window()); }, "the player's end"));
}

TEST_F(DownloadFilePageTest, ThePlayersAnswerAttachesItAndItsStepHolds) {
    test_support::ScopedRuntimeDir runtime;
    test_support::FakePlayer fake(dir / "player.log");
    player.processId = static_cast<std::uint32_t>(fake.Pid());
    player.window = static_cast<std::uint32_t>(fake.Pid());
    player.started = true;
    std::atomic<bool> go{false};
    device.SetHandler("/NetworkBk.cgi", [&go](const auto&, auto& connection) {
        while (!go && connection.Pause(std::chrono::milliseconds(1))) {
        }
        std::string stream;
        for (int i = 0; i < 30; ++i) {
            stream += Block(std::string(2048, static_cast<char>(i)));
        }
        connection.Send(stream + kEnd);
    });
    const fs::path file = dir / "CH01_0001.dvr";
    std::ofstream(file).close();
    DownloadProgressDialog dialog(nullptr, {{}, file, false}, player);
    ASSERT_TRUE(dialog.OnInitDialog());
    // The player is told which window answers: this process's endpoint.
    const std::string attach =
        "message 1200 0 " + (std::ostringstream() << std::hex << ::getpid()).str();
    ASSERT_TRUE(WaitUntil([&] { return std::ranges::count(fake.LogLines(), attach) > 0; }));
    // It answers as a player would: ready, a notice every 50 KB.
    ASSERT_TRUE(platform::PostProcessWindowMessage({static_cast<std::uint32_t>(::getpid())},
                                                   WM_PLAYER_READY, 50, player.window.load()));
    ASSERT_TRUE(WaitUntil([&] {
        platform::ProcessPostedMessages();
        return player.Attached();
    }));
    EXPECT_EQ(player.notifyStep.load(), 51'200u);
    go = true;
    ASSERT_TRUE(WaitUntil([&] {
        platform::ProcessPostedMessages();
        return !dialog.DownloadRunning() && !dialog.StatusText().isEmpty();
    }));
    EXPECT_EQ(dialog.StatusText(), "Download process is finished");
    EXPECT_FALSE(dialog.PlayButton()->isVisible());  // a player is attached: no PLAY
    // 61,440 bytes: one notice after 26 blocks (53,248 > 51,200), the rest at the end.
    ASSERT_TRUE(
        WaitUntil([&] { return std::ranges::count(fake.LogLines(), "message 1203 0 0") > 0; }));
    std::vector<std::string> notices;
    for (const std::string& line : fake.LogLines()) {
        if (line.starts_with("message 1202")) {
            notices.push_back(line);
        }
    }
    EXPECT_EQ(notices, (std::vector<std::string>{"message 1202 0 d000", "message 1202 0 2000"}));
}

}  // namespace
