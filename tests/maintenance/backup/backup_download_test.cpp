#include "maintenance/backup/backup_download.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/fake_device.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using namespace maintenance;
using test_support::FakeDevice;
using test_support::FakePlayer;
using test_support::WaitUntil;

std::string Le32(std::uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    }
    return out;
}

std::string Header(std::uint32_t length, std::uint32_t type) {
    return Le32(length) + Le32(type);
}

// Recorded data that differs from block to block.
std::string Payload(std::size_t length, std::size_t seed) {
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<char>((i * 31 + seed * 7) & 0xFF);
    }
    return out;
}

struct Recorded {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uint32_t> states;
    std::vector<std::uint32_t> percents;
    std::vector<std::uint32_t> progress;

    BackupDownloadReports Reports() {
        return {[this](std::uint32_t state, std::uint32_t percent) {
                    std::lock_guard guard(lock);
                    if (state == kDownloadProgress) {
                        percents.push_back(percent);
                    } else {
                        states.push_back(state);
                    }
                    changed.notify_all();
                },
                [this](std::uint32_t command, std::int32_t) {
                    std::lock_guard guard(lock);
                    progress.push_back(command);
                }};
    }
    std::vector<std::uint32_t> States() {
        std::lock_guard guard(lock);
        return states;
    }
};

class BackupDownloadTest : public ::testing::Test {
protected:
    BackupDownloadJob Job(std::int32_t sizeMb = 1) {
        BackupDownloadJob job;
        job.server = "127.0.0.1";
        job.port = device.port();
        job.cookie = "abc";
        job.hostIp = "10.1.2.3";
        job.span = {2024, 5, 17, 8, 30, 0, 4, 2, sizeMb};
        job.file = dir / "CH03_0001.dvr";
        return job;
    }

    void Serve(std::string bytes) {
        device.SetHandler("/NetworkBk.cgi",
                          [bytes](const auto&, auto& connection) { connection.Send(bytes); });
    }

    // Runs one download to its end.
    void RunToEnd(BackupDownload& download) {
        ASSERT_TRUE(download.Start());
        ASSERT_TRUE(WaitUntil([&] { return !download.Running(); }, "the download's end"));
        download.Stop();
    }

    test_support::ScopedRuntimeDir runtime;
    test_support::TempDir dir;
    FakeDevice device;
    PlayerSession player;
    Recorded recorded;
};

TEST_F(BackupDownloadTest, SendsTheRequestAndWritesEveryBlock) {
    std::string stream;
    std::string expected;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string p = Payload(2048, i);
        stream += Header(2048, 3) + p;
        expected += p;
    }
    Serve(stream + Header(0, 1));
    BackupDownload download(Job(), player, recorded.Reports());
    RunToEnd(download);

    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadComplete});
    EXPECT_TRUE(download.Ended());
    EXPECT_EQ(test_support::ReadAll(dir / "CH03_0001.dvr"), expected);
    const auto requests = device.RequestsTo("/NetworkBk.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target,
              "/NetworkBk.cgi?Cookie=abc&Year=2024&Month=5&Day=17&Hour=8&Minute=30&Second=0&Num=4"
              "&CH=2&Size=1");
    EXPECT_NE(requests[0].raw.find("Accept-Language: zh-tw/r/nAccept-Encoding"), std::string::npos);
    EXPECT_EQ(recorded.progress.front(), 1u);
    EXPECT_EQ(recorded.progress.back(), 4u);
}

struct EndingCase {
    const char* name;
    std::string stream;
    std::uint32_t state;
    bool ended;
    std::size_t fileBytes;
};

class BackupDownloadEndingTest : public BackupDownloadTest,
                                 public ::testing::WithParamInterface<EndingCase> {};

TEST_P(BackupDownloadEndingTest, EndsWithItsState) {
    const EndingCase& c = GetParam();
    Serve(c.stream);
    BackupDownload download(Job(), player, recorded.Reports());
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{c.state});
    EXPECT_EQ(download.Ended(), c.ended);
    EXPECT_EQ(fs::file_size(dir / "CH03_0001.dvr"), c.fileBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, BackupDownloadEndingTest,
    ::testing::ValuesIn(std::vector<EndingCase>{
        {"OnlyEnd", Header(0, 1), kDownloadNoData, true, 0},
        {"BusyFirst", Header(0, 6), kDownloadBusy, false, 0},
        {"BusyAfterData", Header(10, 3) + Payload(10, 0) + Header(0, 6), kDownloadBusy, false, 10},
        {"TooLong", Header(10, 3) + Payload(10, 0) + Header(2049, 3) + Payload(2049, 1),
         kDownloadReadFailed, false, 10},
        {"Truncated", Header(100, 3) + Payload(50, 0), kDownloadReadFailed, false, 0},
        {"ClosedWithoutEnd", Header(7, 3) + Payload(7, 0), kDownloadReadFailed, false, 7},
        {"UnknownSkipped", Header(100, 5) + Header(4, 3) + "abcd" + Header(0, 1), kDownloadComplete,
         true, 4},
        {"HttpErrorPage",
         "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 60\r\n\r\n"
         "<html><body>No recording at that time on this disk.</body></html>",
         kDownloadReadFailed, false, 0},
    }),
    [](const ::testing::TestParamInfo<EndingCase>& instance) {
        return std::string(instance.param.name);
    });

TEST_F(BackupDownloadTest, PercentageIsClampedAndSentOnlyWhenItChanges) {
    std::string stream;
    for (std::size_t i = 0; i < 1024; ++i) {  // 2 MB into a 1 MB backup
        stream += Header(2048, 3) + Payload(2048, i);
    }
    Serve(stream + Header(0, 1));
    BackupDownload download(Job(1), player, recorded.Reports());
    RunToEnd(download);
    ASSERT_FALSE(recorded.percents.empty());
    EXPECT_EQ(recorded.percents.back(), 100u);
    EXPECT_TRUE(std::ranges::adjacent_find(recorded.percents) == recorded.percents.end());
    EXPECT_LE(std::ranges::max(recorded.percents), 100u);
    EXPECT_EQ(BackupPercentage(1'048'576, 1), 100u);
    EXPECT_EQ(BackupPercentage(1'048'576, 2), 50u);
}

TEST_F(BackupDownloadTest, ConnectFailureIsStateOne) {
    BackupDownloadJob job = Job();
    device.Stop();
    BackupDownload download(job, player, recorded.Reports());
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadSendFailed});
}

TEST_F(BackupDownloadTest, UnwritableFileIsStateTwo) {
    Serve(Header(4, 3) + "abcd" + Header(0, 1));
    BackupDownloadJob job = Job();
    job.file = dir / "missing-folder" / "CH01_0001.dvr";
    BackupDownload download(job, player, recorded.Reports());
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadFileFailed});
}

// The system's always-full device answers every write with ENOSPC: the
// download ends as a full disk, not as a bad path.
TEST_F(BackupDownloadTest, AFullDiskIsAStateOfItsOwn) {
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/full";
    }
    Serve(Header(4, 3) + "abcd" + Header(0, 1));
    BackupDownloadJob job = Job();
    job.file = "/dev/full";
    BackupDownload download(job, player, recorded.Reports());
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadDiskFull});
    EXPECT_EQ(recorded.progress.back(), 4u);
}

TEST_F(BackupDownloadTest, AStalledStreamTimesOutAsStateThree) {
    device.SetHandler("/NetworkBk.cgi", [](const auto&, auto& connection) {
        connection.Send(Header(4, 3) + "abcd");
        connection.HoldUntilPeerCloses();
    });
    BackupDownloadTimings timings;
    timings.read = std::chrono::milliseconds(50);
    BackupDownload download(Job(), player, recorded.Reports(), timings);
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadReadFailed});
    EXPECT_EQ(fs::file_size(dir / "CH03_0001.dvr"), 4u);
}

TEST_F(BackupDownloadTest, CancelWhileTheDeviceStallsEndsWithoutAState) {
    device.SetHandler("/NetworkBk.cgi", [](const auto&, auto& connection) {
        connection.Send(Header(4, 3) + "abcd");
        connection.HoldUntilPeerCloses();
    });
    BackupDownload download(Job(), player, recorded.Reports());
    ASSERT_TRUE(download.Start());
    ASSERT_TRUE(WaitUntil([&] { return download.BytesWritten() == 4; }, "the first block"));
    download.Cancel();
    ASSERT_TRUE(WaitUntil([&] { return !download.Running(); }, "the cancelled download's end"));
    download.Stop();
    EXPECT_TRUE(recorded.States().empty());
    EXPECT_FALSE(download.Ended());
    EXPECT_EQ(recorded.progress.back(), 4u);
}

// What is done to the backup file or its folder between two blocks, and
// where the blocks must end up.
struct SwapCase {
    const char* name;
    void (*swap)(const fs::path& folder);
    std::uint32_t state;
    const char* holdsBoth;  // relative to the test folder; empty: none
    const char* keptEmpty;  // a file no block may reach
    bool originalGone;      // no file under the original path afterwards
};

class BackupDownloadSwapTest : public BackupDownloadTest,
                               public ::testing::WithParamInterface<SwapCase> {};

TEST_P(BackupDownloadSwapTest, BlocksGoOnlyToTheFileInTheFolderFirstOpened) {
    const SwapCase& c = GetParam();
    const fs::path folder = dir / "backups";
    fs::create_directory(folder);
    fs::create_directory(dir / "decoy");
    std::ofstream(dir / "decoy" / "CH03_0001.dvr").close();
    BackupDownloadJob job = Job();
    job.file = folder / "CH03_0001.dvr";
    const std::string first = Payload(2048, 1);
    const std::string second = Payload(1000, 2);
    device.SetHandler("/NetworkBk.cgi", [&](const auto&, auto& connection) {
        connection.Send(Header(2048, 3) + first);
        // The change comes after the first block is in the file.
        if (WaitUntil([&] { return fs::exists(job.file) && fs::file_size(job.file) == 2048; },
                      "the first block")) {
            c.swap(folder);
        }
        connection.Send(Header(1000, 3) + second + Header(0, 1));
    });
    BackupDownload download(job, player, recorded.Reports());
    RunToEnd(download);

    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{c.state});
    if (*c.holdsBoth != '\0') {
        EXPECT_EQ(test_support::ReadAll(dir / c.holdsBoth), first + second);
    }
    EXPECT_EQ(test_support::ReadAll(dir / c.keptEmpty), "");
    if (c.originalGone) {
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(job.file)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Swaps, BackupDownloadSwapTest,
    ::testing::ValuesIn(std::vector<SwapCase>{
        {"FileRemoved", [](const fs::path& folder) { fs::remove(folder / "CH03_0001.dvr"); },
         kDownloadFileFailed, "", "decoy/CH03_0001.dvr", true},
        {"FileReplacedByALink",
         [](const fs::path& folder) {
             fs::remove(folder / "CH03_0001.dvr");
             fs::create_symlink(folder.parent_path() / "decoy" / "CH03_0001.dvr",
                                folder / "CH03_0001.dvr");
         },
         kDownloadFileFailed, "", "decoy/CH03_0001.dvr", true},
        {"FolderRenamed",
         [](const fs::path& folder) { fs::rename(folder, folder.parent_path() / "moved"); },
         kDownloadComplete, "moved/CH03_0001.dvr", "decoy/CH03_0001.dvr", true},
        {"FolderReplacedByALink",
         [](const fs::path& folder) {
             fs::rename(folder, folder.parent_path() / "old");
             fs::create_directory_symlink(folder.parent_path() / "decoy", folder);
         },
         kDownloadComplete, "old/CH03_0001.dvr", "decoy/CH03_0001.dvr", false},
    }),
    [](const ::testing::TestParamInfo<SwapCase>& instance) {
        return std::string(instance.param.name);
    });

class RecordingBurner : public BackupBurner {
public:
    BurnPreparation Prepare(QWidget*, const fs::path&, std::uint64_t) override {
        return BurnPreparation::kBurn;
    }
    void Burn(const fs::path& file) override { burned.push_back(file); }
    void RequestAbort() override { ++aborts; }
    std::vector<fs::path> burned;
    int aborts = 0;
};

TEST_F(BackupDownloadTest, BurnsTheFinishedFileOnlyWhenABurnerIsSet) {
    Serve(Header(4, 3) + "abcd" + Header(0, 1));
    BackupDownloadJob job = Job();
    job.copyToCd = true;
    {
        BackupDownload download(job, player, recorded.Reports());
        RunToEnd(download);
    }
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadComplete});

    auto burner = std::make_shared<RecordingBurner>();
    SetBackupBurner(burner);
    Recorded second;
    fs::remove(job.file);
    {
        BackupDownload download(job, player, second.Reports());
        RunToEnd(download);
    }
    SetBackupBurner(nullptr);
    EXPECT_EQ(second.States(), (std::vector<std::uint32_t>{kDownloadBurning, kDownloadComplete}));
    EXPECT_EQ(burner->burned, std::vector<fs::path>{job.file});
}

// ---- with the fake player attached

class BackupDownloadPlayerTest : public BackupDownloadTest {
protected:
    void Attach(FakePlayer& fake, std::uint32_t step) {
        player.processId = static_cast<std::uint32_t>(fake.Pid());
        player.window = static_cast<std::uint32_t>(fake.Pid());
        player.started = true;
        player.ready = true;
        player.notifyStep = step;
    }
    bool LogHas(const FakePlayer& fake, const std::string& line) {
        return WaitUntil([&] { return std::ranges::count(fake.LogLines(), line) > 0; },
                         "a player log line");
    }
};

TEST_F(BackupDownloadPlayerTest, NotifiesTheAttachedPlayerByItsStep) {
    FakePlayer fake(dir / "player.log");
    Attach(fake, 4096);
    std::string stream;
    for (std::size_t i = 0; i < 5; ++i) {
        stream += Header(2048, 3) + Payload(2048, i);
    }
    Serve(stream + Header(0, 1));
    BackupDownload download(Job(), player, recorded.Reports());
    RunToEnd(download);
    // More than 4,096 new bytes: after the third block (6,144), then the rest.
    ASSERT_TRUE(LogHas(fake, "message 1203 0 0"));
    std::vector<std::string> messages;
    for (const std::string& line : fake.LogLines()) {
        if (line.starts_with("message")) {
            messages.push_back(line);
        }
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"message 1202 0 1800", "message 1202 0 1000",
                                                  "message 1203 0 0"}));
}

TEST_F(BackupDownloadPlayerTest, BusyDeviceEndsThePlayerWithoutAnError) {
    FakePlayer fake(dir / "player.log");
    Attach(fake, 102'400);
    Serve(Header(0, 6));
    BackupDownload download(Job(), player, recorded.Reports());
    RunToEnd(download);
    ASSERT_TRUE(LogHas(fake, "message 1203 1 0"));
    for (const std::string& line : fake.LogLines()) {
        EXPECT_FALSE(line.starts_with("message 1204")) << line;
    }
}

TEST_F(BackupDownloadPlayerTest, ConnectionFailureReachesAPlayerThatIsNotReady) {
    FakePlayer fake(dir / "player.log");
    Attach(fake, 0);
    player.ready = false;
    Serve(Header(100, 3));
    BackupDownload download(Job(), player, recorded.Reports());
    RunToEnd(download);
    ASSERT_TRUE(LogHas(fake, "message 1204 0 f0000002"));
}

TEST_F(BackupDownloadPlayerTest, APlayerThatDiesHoldingTheLockNeverWedgesTheDownload) {
    player.mutexName = "NETWORKBK_77";
    FakePlayer::Options options;
    options.holdMutex = player.mutexName;
    FakePlayer fake(dir / "player.log", options);
    Attach(fake, 102'400);
    device.SetHandler("/NetworkBk.cgi", [](const auto&, auto& connection) {
        connection.Send(Header(4, 3) + "abcd" + Header(0, 1));
    });
    BackupDownload download(Job(), player, recorded.Reports());
    ASSERT_TRUE(download.Start());
    // The first block waits for the mutex the player holds; the kernel frees
    // it when the player dies.
    fake.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !download.Running(); }, "the download's end"));
    download.Stop();
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadComplete});
    EXPECT_EQ(test_support::ReadAll(dir / "CH03_0001.dvr"), "abcd");
}

TEST_F(BackupDownloadPlayerTest, AHungPlayerHoldingTheLockEndsTheDownloadAsAFileFailure) {
    player.mutexName = "NETWORKBK_78";
    FakePlayer::Options options;
    options.holdMutex = player.mutexName;
    FakePlayer fake(dir / "player.log", options);
    Attach(fake, 102'400);
    Serve(Header(4, 3) + "abcd" + Header(0, 1));
    BackupDownloadTimings timings;
    timings.lockTry = std::chrono::milliseconds(1);
    timings.lockBound = std::chrono::milliseconds(0);
    BackupDownload download(Job(), player, recorded.Reports(), timings);
    RunToEnd(download);
    EXPECT_EQ(recorded.States(), std::vector<std::uint32_t>{kDownloadFileFailed});
    ASSERT_TRUE(LogHas(fake, "message 1204 0 f0000003"));
}

TEST_F(BackupDownloadPlayerTest, CancelWhileWaitingForTheLock) {
    player.mutexName = "NETWORKBK_79";
    FakePlayer::Options options;
    options.holdMutex = player.mutexName;
    FakePlayer fake(dir / "player.log", options);
    Attach(fake, 102'400);
    Serve(Header(4, 3) + "abcd" + Header(0, 1));
    BackupDownload download(Job(), player, recorded.Reports());
    ASSERT_TRUE(download.Start());
    download.Cancel();
    ASSERT_TRUE(WaitUntil([&] { return !download.Running(); }, "the download's end"));
    download.Stop();
    EXPECT_TRUE(recorded.States().empty());
}

}  // namespace
