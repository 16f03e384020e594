// The recorded-data commands against the simulator's recorder: a backup
// that arrives byte for byte, the event list read page by page, and the
// server log read page by page and cleared.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/net/cgi_command.h"
#include "maintenance/backup/backup_download.h"
#include "maintenance/log/server_log.h"
#include "maintenance/search/search_list.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "tools/devicesim/recorded_data.h"

namespace {

using namespace maintenance;
using command_test::DeviceCommandTest;

class SimulatedRecorderTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        for (const char* path : {"/NetworkBk.cgi", "/CancelNB.cgi", "/GetSearchList.cgi",
                                 "/Getlog.cgi", "/ClearLog.cgi"}) {
            device.SetHandler(path, [this](const auto& request, auto& connection) {
                recorder.Serve(request, connection);
            });
        }
    }
    static bool Send(std::uint8_t row, const std::string& target, std::span<std::uint8_t> reply,
                     std::uint32_t& length) {
        return TirelSendCommand(row, target, {}, nullptr, reply, &length, kTimeouts) == 1;
    }
    devicesim::RecordedData recorder;
};

TEST_F(SimulatedRecorderTest, ABackupArrivesByteForByte) {
    test_support::TempDir dir;
    BackupDownloadJob job;
    job.server = "127.0.0.1";
    job.port = device.port();
    job.cookie = "abc";
    job.hostIp = "10.1.2.3";
    job.span = {2024, 5, 17, 8, 30, 0, 4, 2, 2};
    job.file = dir / "CH03_0001.dvr";
    PlayerSession player;
    std::vector<std::uint32_t> states;
    BackupDownload download(job, player,
                            {[&](std::uint32_t state, std::uint32_t) {
                                 if (state != kDownloadProgress) {
                                     states.push_back(state);
                                 }
                             },
                             {}});
    ASSERT_TRUE(download.Start());
    ASSERT_TRUE(test_support::WaitUntil([&] { return !download.Running(); }));
    download.Stop();
    EXPECT_EQ(states, std::vector<std::uint32_t>{kDownloadComplete});
    const auto request = device.RequestsTo("/NetworkBk.cgi").at(0);
    const std::string expected = devicesim::RecordedData::RecordingBytes(request, 0, 2 * 1'048'576);
    EXPECT_TRUE(test_support::ReadAll(job.file) == expected);
}

// The backup's pace: each block waits until its bytes are due at the rate
// asked for, never when the sender is behind, and never unpaced.
TEST(BackupPace, BlocksWaitUntilTheirBytesAreDue) {
    using std::chrono::microseconds;
    struct Case {
        std::uint64_t rate;
        std::uint64_t sent;
        std::int64_t elapsedUs;
        std::int64_t waitUs;
    };
    const Case cases[] = {
        {0, 1'000'000, 0, 0},                              // unpaced
        {1'000'000, 2048, 0, 2048},                        // 1 MB/s: a microsecond a byte
        {1'000'000, 2048, 1000, 1048},                     // part of the time has gone
        {1'000'000, 2048, 5000, 0},                        // behind: no wait
        {1'250'000, 1'048'576, 0, 838'860},                // 10 Mbit/s, one megabyte
        {3, 10, 0, 3'333'333},                             // slower than a byte a second
        {devicesim::kMaxBackupRate, 524'288'000, 0, 524},  // the highest rate
        {devicesim::kMaxBackupRate * 2, 524'288'000, 0, 524},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(devicesim::PaceDelay(c.rate, c.sent, microseconds(c.elapsedUs)),
                  microseconds(c.waitUs))
            << c.rate << " " << c.sent << " " << c.elapsedUs;
    }
}

TEST_F(SimulatedRecorderTest, TheEventListAndTheLogArriveInPages) {
    const EventSearchResult search =
        RunEventSearch({"abc", 4, 0, 250},
                       [](const std::string& target, std::span<std::uint8_t> reply,
                          std::uint32_t& length) { return Send(23, target, reply, length); },
                       {});
    EXPECT_FALSE(search.sendFailed);
    EXPECT_EQ(search.records.size(), 250u);
    EXPECT_EQ(device.RequestsTo("/GetSearchList.cgi").size(), 3u);

    auto buffer = std::make_unique<ServerLogBuffer>();
    const LogSender send = [](const std::string& target, std::span<std::uint8_t> reply,
                              std::uint32_t& length) { return Send(15, target, reply, length); };
    EXPECT_EQ(DownloadServerLog(300, "abc", {}, send, {}, *buffer), kLogDownloaded);
    EXPECT_EQ(buffer->count, 140u);
    EXPECT_EQ(device.RequestsTo("/Getlog.cgi").size(), 1u + 5u);

    std::array<std::uint8_t, 16> none{};
    std::uint32_t length = 0;
    ASSERT_TRUE(Send(32, "/ClearLog.cgi?Cookie=abc", none, length));
    EXPECT_EQ(DownloadServerLog(300, "abc", {}, send, {}, *buffer), kLogEmpty);
}

}  // namespace
