// A backup downloaded from the simulated recorder with "Copy to CD" on is
// burned on the download thread by the engine that ships, into an ISO image
// through its "Image Recorder" drive, with the burn's progress in the
// configuration sheet's bar; xorriso reads the file back intact.

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "burnengine/xorriso_process.h"
#include "burnengine/xorriso_reports.h"
#include "config/sheet/sheet_progress.h"
#include "maintenance/backup/backup_download.h"
#include "maintenance/disc/backup_disc_burner.h"
#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/disc_writer.h"
#include "maintenance/disc/write_cd_setting_dialog.h"
#include "platform/registry_store.h"
#include "platform/window.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/fake_device.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "tools/devicesim/recorded_data.h"

namespace {

namespace fs = std::filesystem;
using namespace maintenance;

// Stands in for the sheet's window: keeps the progress commands it is told of.
class SheetWindow : public platform::MessageTarget {
public:
    SheetWindow() : handle(platform::RegisterWindow(this)) {}
    ~SheetWindow() override { platform::UnregisterWindow(handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t) override {
        if (message == WM_SHEETPROGRESS) {
            commands.push_back(static_cast<std::uint32_t>(wParam));
        }
    }
    const platform::WindowHandle handle;
    std::vector<std::uint32_t> commands;
};

class BackupBurnTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        if (!xorriso::FindProgram()) {
            GTEST_SKIP() << "xorriso is not installed (scripts/setup.sh installs it)";
        }
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, KESTRUNE_XORRISO_ENGINE_DIR);
        image = (work.path() / "backup.iso").string();
        SetImageFileChooser([this] { return std::optional<std::string>(image); });
        device.SetHandler("/NetworkBk.cgi", [this](const auto& request, auto& connection) {
            recorder.Serve(request, connection);
        });
        InstallBackupDiscBurner();
    }

    void TearDown() override {
        SetBackupBurner(nullptr);
        ReleaseAppDiscWriter();
        SetImageFileChooser({});
        UnloadBurnEngine();
        device.Stop();
        AppStateTest::TearDown();
    }

    test_support::TempDir work;
    platform::ScopedRegistryFile registry{work.path() / "registry.ini"};
    test_support::FakeDevice device;
    devicesim::RecordedData recorder;
    std::string image;
};

TEST_F(BackupBurnTest, ADownloadedBackupIsBurnedIntoAnImageWithProgress) {
    SheetWindow sheet;
    auto block = std::make_shared<SheetProgressBlock>(sheet.handle);
    SheetProgressThread progressThread;
    ASSERT_TRUE(progressThread.Start(block));
    PublishSheetProgressBlock(block);

    // As the backup page does before the download: the file is made, then the
    // burner asks for the drive; the image recorder is chosen.
    BackupDownloadJob job;
    job.server = "127.0.0.1";
    job.port = device.port();
    job.cookie = "abc";
    job.hostIp = "10.1.2.3";
    job.span = {2024, 5, 17, 8, 30, 0, 4, 2, 1};
    job.file = work.path() / "CH03_0001.dvr";
    job.copyToCd = true;
    std::ofstream(job.file, std::ios::binary).close();
    int shown = 0;
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<WriteCdSettingDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(0, answer);
            return;
        }
        ++shown;
        auto* drives = dialog->findChild<QComboBox*>();
        const int index = drives->findText("Image Recorder", Qt::MatchStartsWith);
        ASSERT_GE(index, 0);
        drives->setCurrentIndex(index);
        dialog->OnOk();
    };
    QTimer::singleShot(0, answer);
    const auto burner = CurrentBackupBurner();
    ASSERT_TRUE(burner);
    ASSERT_EQ(burner->Prepare(nullptr, job.file, 1'048'576), BurnPreparation::kBurn);
    EXPECT_EQ(shown, 1);

    std::mutex stateLock;
    std::vector<std::uint32_t> states;
    PlayerSession player;
    BackupDownload download(job, player,
                            {[&](std::uint32_t state, std::uint32_t) {
                                 if (state != kDownloadProgress) {
                                     std::lock_guard lock(stateLock);
                                     states.push_back(state);
                                 }
                             },
                             {}});
    ASSERT_TRUE(download.Start());
    ASSERT_TRUE(test_support::PumpUntil([&] { return !download.Running(); }));
    download.Stop();
    // A command is taken only once the one before it was carried out, so
    // after this one every command of the burn has been posted to the sheet.
    EXPECT_TRUE(PostSheetProgress(kProgressNone, 0));
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return !sheet.commands.empty() && sheet.commands.back() == kProgressHide; }));
    progressThread.Stop();
    PublishSheetProgressBlock(nullptr);

    {
        std::lock_guard lock(stateLock);
        EXPECT_EQ(states, (std::vector<std::uint32_t>{kDownloadBurning, kDownloadComplete}));
    }
    EXPECT_TRUE(boxes.sink().Entries().empty());
    // The bar was started with a total of 100, moved, and hidden at the end.
    const auto& commands = sheet.commands;
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], kProgressStart);
    EXPECT_EQ(commands[1], kProgressSetTotal);
    EXPECT_NE(std::find(commands.begin(), commands.end(), kProgressSetPosition), commands.end());
    EXPECT_FALSE(block->State().shown);

    // xorriso lists the backup in the image, and its bytes are the download's.
    const std::string downloaded = test_support::ReadAll(job.file);
    const auto request = device.RequestsTo("/NetworkBk.cgi").at(0);
    EXPECT_TRUE(downloaded == devicesim::RecordedData::RecordingBytes(request, 0, 1'048'576));
    const auto listing = xorriso::Run({"-pkt_output", "on", "-indev", "stdio:" + image, "-find",
                                       "/", "-maxdepth", "1", "-exec", "lsdl", "--"});
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (const auto& entry : xorriso::ParseLsdl(listing.output)) {
        entries.emplace_back(entry.name, entry.size);
    }
    EXPECT_EQ(
        entries,
        (std::vector<std::pair<std::string, std::uint64_t>>{{"CH03_0001.dvr", downloaded.size()}}));
    const fs::path out = work.path() / "extracted.dvr";
    const auto extract = xorriso::Run(
        {"-osirrox", "on", "-indev", "stdio:" + image, "-extract", "/CH03_0001.dvr", out.string()});
    EXPECT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_TRUE(test_support::ReadAll(out) == downloaded);
}

}  // namespace
