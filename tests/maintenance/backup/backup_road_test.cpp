// A network backup as an operator takes it: the main window over the
// simulated recorder, its configuration button, the sheet's Network Backup
// page, Start, and the download dialog until it is closed, every control
// reached by clicks through the window system.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/pages/detection_page.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/login/kernel_message.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "liveview/window/window_extensions.h"
#include "maintenance/backup/download_file_page.h"
#include "maintenance/backup/download_progress_dialog.h"
#include "maintenance/backup/player_handoff.h"
#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/disc_writer.h"
#include "maintenance/sheet_page_install.h"
#include "platform/registry_store.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/modal_script.h"
#include "tests/support/scoped_env.h"
#include "tests/support/small_filesystem.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"
#include "tools/devicesim/recorded_data.h"

namespace {

namespace fs = std::filesystem;
using namespace maintenance;

// A click where the operator can reach the control.
void Click(QWidget* control) {
    ASSERT_TRUE(test_support::ExpectReachable(control));
    test_support::UserClick(control);
}

// Counts the changes of a window's place in the window order.
class OrderWatch : public QObject {
public:
    explicit OrderWatch(QWidget& window) { window.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::ZOrderChange ? 1 : 0;
        return false;
    }
    int count = 0;
};

class BackupRoadTest : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetMainWindowExtensions(&extensions);
        InstallSheetPages();
        settings().m_strNetworkFileDirectory = dir.path().string();
        settings().m_strProgramDir = dir.path().string() + "/";
        device.SetHandler("/NetworkBk.cgi", [this](const auto& request, auto& connection) {
            recorder.Serve(request, connection);
        });
        ASSERT_EQ(Open("Q8A7"), 1);
        g_lpApp->f_VideoConnected = true;
        window->show();
    }

    void TearDown() override {
        sheets.opener().DeleteConfigSheet();
        SetMainWindowExtensions(nullptr);
        SetSheetOpeningHook({});
        SetDetectionChannelSwitch({});
        for (const SheetPageEntry& entry : kSheetPages) {
            SetSheetPageFactory(entry.id, {});
        }
        SetBackupBurner(nullptr);
        ReleaseAppDiscWriter();
        UnloadBurnEngine();
        ThePlayerSession().Forget();
        WindowTest::TearDown();
    }

    // The window's configuration button, then the page in the sheet's tree.
    DownloadFilePage& OpenBackupPage() {
        Click(window->FindButton(1006));
        Pump();
        MySystemDialog* sheet = sheets.opener().Sheet();
        EXPECT_NE(sheet, nullptr);
        QTreeWidget* tree = sheet->GetPageTree();
        const auto found = tree->findItems(QStringLiteral("Network Backup"),
                                           Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1);
        test_support::UserClick(tree->viewport(), tree->visualItemRect(found.at(0)).center());
        Pump();
        auto* page =
            dynamic_cast<DownloadFilePage*>(sheet->PageWindowOf(SheetPageId::kNetworkBackup));
        EXPECT_NE(page, nullptr);
        EXPECT_TRUE(page != nullptr && page->isVisible());
        return *page;
    }

    // Picks a disk from the page's list, as with the mouse.
    static void ChooseDisk(DownloadFilePage& page, int row) {
        auto* disks = static_cast<QComboBox*>(page.Control(DownloadFilePage::kIdHdd));
        Click(disks);
        QAbstractItemView* view = disks->view();
        ASSERT_TRUE(view->isVisible());
        test_support::UserClick(view->viewport(),
                                view->visualRect(view->model()->index(row, 0)).center());
        ASSERT_EQ(disks->currentIndex(), row);
    }

    // Start, then the download dialog until its download has ended; `close`
    // ends it as the user would.
    void StartAndWait(DownloadFilePage& page,
                      const std::function<void(DownloadProgressDialog&)>& close) {
        test_support::ModalScript<DownloadProgressDialog> download(
            [this, close](DownloadProgressDialog& dialog) {
                EXPECT_TRUE(test_support::PumpUntil(
                    [&] { return !dialog.DownloadRunning() && !dialog.StatusText().isEmpty(); },
                    "the download's ending"));
                status = dialog.StatusText().toStdString();
                playShown = dialog.PlayButton()->isVisible();
                test_support::SaveWidgetPicture(dialog, picture);
                close(dialog);
            });
        Click(page.Control(DownloadFilePage::kIdStart));
        EXPECT_EQ(download.Runs(), 1);
    }

    static void Exit(DownloadProgressDialog& dialog) { Click(dialog.CancelButton()); }

    // What the recorder streamed for the one backup asked of it.
    std::string Recorded(std::size_t length) const {
        const auto request = device.RequestsTo("/NetworkBk.cgi").at(0);
        return devicesim::RecordedData::RecordingBytes(request, 0, length);
    }

    std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const auto& entry : boxes.sink().Entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    ScopedConfigSheetServices sheets;
    SheetWindowExtensions extensions;
    devicesim::RecordedData recorder;
    test_support::TempDir dir;
    std::string status;
    bool playShown = false;
    std::string picture = "download_progress_dialog_road.png";
};

constexpr std::size_t kFiveMb = 5 * 1'048'576;

// The name the page chose was taken meanwhile (by another program): Start
// leaves that file alone and downloads into the next free name.
TEST_F(BackupRoadTest, ATakenNameMovesOnToTheNextFreeNumber) {
    DownloadFilePage& page = OpenBackupPage();
    EXPECT_EQ(page.FilePath(), (dir / "CH01_0001.dvr").string());
    std::ofstream(dir / "CH01_0001.dvr") << "first";
    std::ofstream(dir / "CH01_0002.dvr") << "second";
    ChooseDisk(page, 0);
    StartAndWait(page, Exit);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    EXPECT_EQ(status, "Download process is finished");
    EXPECT_EQ(test_support::ReadAll(dir / "CH01_0001.dvr"), "first");
    EXPECT_EQ(test_support::ReadAll(dir / "CH01_0002.dvr"), "second");
    EXPECT_TRUE(test_support::ReadAll(dir / "CH01_0003.dvr") == Recorded(kFiveMb));
    EXPECT_EQ(page.FilePath(), (dir / "CH01_0004.dvr").string());
}

// "Copy to CD" with no burning engine installed: the engine's own message,
// then "Launch burning tool is failed", then the backup without a disc.
TEST_F(BackupRoadTest, AnEngineThatDoesNotStartIsSaidAndTheBackupStillDownloads) {
    platform::ScopedRegistryFile registry(dir / "registry.ini");
    DownloadFilePage& page = OpenBackupPage();
    Click(page.Control(DownloadFilePage::kIdCopyToCd));
    EXPECT_TRUE(static_cast<QCheckBox*>(page.Control(DownloadFilePage::kIdCopyToCd))->isChecked());
    ChooseDisk(page, 0);
    StartAndWait(page, Exit);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"You should install the burning engine first.",
                                                    "Launch burning tool is failed"}));
    EXPECT_EQ(status, "Download process is finished");
    EXPECT_TRUE(test_support::ReadAll(dir / "CH01_0001.dvr") == Recorded(kFiveMb));
}

// The backup's disk fills up: the dialog says so, and the file keeps every
// byte that found room.
TEST_F(BackupRoadTest, AFullDiskIsSaidAndWhatWasWrittenIsKept) {
    test_support::ScopedSmallFilesystem small(64 * 1024);
    if (!small.Mounted()) {
        GTEST_SKIP() << "no small file system to fill (" << small.Failure() << ")";
    }
    DownloadFilePage& page = OpenBackupPage();
    test_support::ModalScript<liveview::CDlgGetPath> picker(
        [&small](liveview::CDlgGetPath& dialog) {
            dialog.tree()->clearSelection();
            dialog.SetPath(small.path().string());
            dialog.accept();
        });
    Click(page.Control(DownloadFilePage::kIdFilePathButton));
    EXPECT_EQ(picker.Runs(), 1);
    const fs::path file = small.path() / "CH01_0001.dvr";
    EXPECT_EQ(page.FilePath(), file.string());
    ChooseDisk(page, 0);
    picture = "download_progress_dialog_disk_full.png";
    StartAndWait(page, Exit);
    EXPECT_EQ(status, "The disk is full.");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    const std::string kept = test_support::ReadAll(file);
    EXPECT_EQ(kept.size(), 64u * 1024);
    EXPECT_TRUE(kept == Recorded(kept.size()));
}

// The settings' default folder "c:\" is no folder here: the page starts in
// the user's folder for videos, made for it.
TEST_F(BackupRoadTest, AStoredFolderThatIsNoPathHereStartsInTheVideosFolder) {
    const test_support::TempDir home;
    test_support::ScopedEnv homeVariable("HOME", home.path().string());
    test_support::ScopedEnv configVariable("XDG_CONFIG_HOME", (home / "config").string());
    settings().m_strNetworkFileDirectory = "c:\\";
    DownloadFilePage& page = OpenBackupPage();
    const fs::path videos = home / "Videos";
    EXPECT_TRUE(fs::is_directory(videos));
    EXPECT_EQ(page.FilePath(), (videos / "CH01_0001.dvr").string());
    ChooseDisk(page, 0);
    StartAndWait(page, Exit);
    EXPECT_EQ(status, "Download process is finished");
    EXPECT_TRUE(test_support::ReadAll(videos / "CH01_0001.dvr") == Recorded(kFiveMb));
    EXPECT_EQ(settings().m_strNetworkFileDirectory.Get(), videos.string());
}

// Dynamic Download starts the player; the main window goes behind it.
TEST_F(BackupRoadTest, TheMainWindowGoesBehindThePlayerItStarts) {
    test_support::ScopedRuntimeDir runtime;
    {
        std::ofstream script(dir / "VideoPlayer.exe");
        script << "#!/bin/sh\nexec \"" << test_support::FakePlayerProgram().string()
               << "\" --log \"" << (dir / "player.log").string() << "\" --parent " << ::getpid()
               << "\n";
    }
    fs::permissions(dir / "VideoPlayer.exe", fs::perms::owner_all);
    DownloadFilePage& page = OpenBackupPage();
    Click(page.Control(DownloadFilePage::kIdDynamic));
    ChooseDisk(page, 0);
    OrderWatch order(*window);
    StartAndWait(page, Exit);
    EXPECT_EQ(status, "Download process is finished");
    EXPECT_EQ(order.count, 1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    const platform::ProcessWindowHandle player = ThePlayerSession().Window();
    ASSERT_TRUE(player);
    platform::PostProcessWindowMessage(player, 0x10, 0, 0);
    EXPECT_TRUE(
        test_support::WaitUntil([&] { return !platform::IsProcessWindow(player); }, "its end"));
}

// PLAY after a download: the main window goes behind, and the player is
// asked for with the downloaded file.
TEST_F(BackupRoadTest, PlayPutsTheMainWindowBehindAndAsksForThePlayer) {
    CreateKernelMailbox();
    DownloadFilePage& page = OpenBackupPage();
    ChooseDisk(page, 0);
    const std::string file = page.FilePath();
    OrderWatch order(*window);
    StartAndWait(page, [](DownloadProgressDialog& dialog) { Click(dialog.PlayButton()); });
    EXPECT_TRUE(playShown);
    EXPECT_EQ(order.count, 1);
    Pump();
    EXPECT_EQ(g_lpApp->dw_KernelMessage, 7u);
    EXPECT_EQ(g_lpApp->str_KernelMessageText, file);
    DestroyKernelMailbox();
}

}  // namespace
