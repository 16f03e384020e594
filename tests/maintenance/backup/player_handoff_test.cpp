#include "maintenance/backup/player_handoff.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/process_window.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using namespace maintenance;
using test_support::WaitUntil;

std::string HexOf(const std::string& text, std::size_t bytes) {
    std::string hex;
    for (std::size_t i = 0; i < bytes; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x",
                      i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
        hex += pair;
    }
    return hex;
}

TEST(PlayerHandoffTextTest, MutexNamesAndPayloads) {
    EXPECT_EQ(MakeNetworkBackupMutexName(123456), "NETWORKBK_123456");
    EXPECT_EQ(MakeNetworkBackupMutexName(-5), "NETWORKBK_-5");
    const auto name = ZeroFilledPayload("NETWORKBK_1", kMutexNameBytes);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), 32u);
    EXPECT_EQ((*name)[11], 0);
    EXPECT_FALSE(ZeroFilledPayload(std::string(32, 'x'), kMutexNameBytes));
    EXPECT_TRUE(ZeroFilledPayload(std::string(1023, 'x'), kFilePathBytes));
    EXPECT_FALSE(ZeroFilledPayload(std::string(1024, 'x'), kFilePathBytes));
}

// A program folder whose VideoPlayer.exe writes down its arguments and then
// becomes the fake player (same process).
class PlayerHandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteScript("exec \"" + test_support::FakePlayerProgram().string() + "\" --log \"" +
                    (dir / "player.log").string() + "\" --parent " + std::to_string(::getpid()));
    }
    void TearDown() override {
        // Closes every player the test started.
        for (const auto& window : platform::EnumerateProcessWindows()) {
            platform::PostProcessWindowMessage(window.handle, 0x10, 0, 0);
        }
        EXPECT_TRUE(WaitUntil([] { return platform::EnumerateProcessWindows().empty(); },
                              "the players' end"));
    }
    void WriteScript(const std::string& tail) {
        std::ofstream script(dir / "VideoPlayer.exe");
        script << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" << (dir / "arguments.txt").string()
               << "\"\n"
               << tail << "\n";
        script.close();
        fs::permissions(dir / "VideoPlayer.exe", fs::perms::owner_all);
    }
    std::vector<std::string> PlayerLog() const {
        std::vector<std::string> lines;
        std::ifstream in(dir / "player.log");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    bool LogHas(const std::string& line) {
        return WaitUntil([&] { return std::ranges::count(PlayerLog(), line) > 0; },
                         "a player log line");
    }

    test_support::ScopedRuntimeDir runtime;
    test_support::TempDir dir;
    PlayerSession session;
    PlayerTimings timings;
};

TEST_F(PlayerHandoffTest, StartsThePlayerAndHandsItTheMutexName) {
    PlayerHandoff handoff(session, timings);
    const fs::path file = dir / "my backups" / "CH03_0001.dvr";
    ASSERT_EQ(handoff.StartOrReuse(dir.path(), file), PlayerStartResult::kStarted);
    EXPECT_TRUE(session.started);
    EXPECT_NE(session.processId.load(), 0u);
    EXPECT_EQ(session.window.load(), session.processId.load());
    EXPECT_TRUE(session.mutexName.starts_with("NETWORKBK_"));
    EXPECT_EQ(test_support::ReadAll(dir / "arguments.txt"), file.string() + "\nDYNAMICLOAD=1\n");
    EXPECT_TRUE(LogHas("copydata 2 20 " + HexOf(session.mutexName, 32)));

    // Attach resets the flags and names the dialog; ready comes only from the player.
    session.ready = true;
    session.error = true;
    handoff.Attach(0x77);
    EXPECT_FALSE(session.ready);
    EXPECT_FALSE(session.error);
    EXPECT_TRUE(LogHas("message 1200 0 77"));
    handoff.OnPlayerReady(0, session.window.load() + 1);
    EXPECT_FALSE(session.ready);
    handoff.OnPlayerReady(0, session.window.load());
    EXPECT_TRUE(session.Attached());
    EXPECT_EQ(session.notifyStep.load(), kDefaultNotifyStep);
    handoff.OnPlayerReady(50, session.window.load());
    EXPECT_EQ(session.notifyStep.load(), 51'200u);
    handoff.OnPlayerError();
    EXPECT_FALSE(session.Attached());

    // A second Start re-uses it: the new path by copy-data, no new process.
    const std::uint32_t pid = session.processId;
    const fs::path next = dir / "CH03_0002.dvr";
    handoff.CheckStartedPlayer();
    ASSERT_EQ(handoff.StartOrReuse(dir.path(), next), PlayerStartResult::kReused);
    EXPECT_EQ(session.processId.load(), pid);
    EXPECT_TRUE(LogHas("copydata 1 400 " + HexOf(next.string(), 1024)));
    EXPECT_EQ(test_support::ReadAll(dir / "arguments.txt"), file.string() + "\nDYNAMICLOAD=1\n");
}

TEST_F(PlayerHandoffTest, AClosedPlayerIsForgottenAndANewOneStartedWithANewMutex) {
    PlayerHandoff handoff(session, timings);
    ASSERT_EQ(handoff.StartOrReuse(dir.path(), dir / "a.dvr"), PlayerStartResult::kStarted);
    const std::uint32_t first = session.processId;
    platform::PostProcessWindowMessage(session.Window(), 0x10, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !platform::IsProcessWindow({first}); }, "the player's end"));
    handoff.CheckStartedPlayer();
    EXPECT_EQ(session.window.load(), 0u);
    EXPECT_EQ(session.mutex, nullptr);
    ASSERT_EQ(handoff.StartOrReuse(dir.path(), dir / "b.dvr"), PlayerStartResult::kStarted);
    EXPECT_NE(session.processId.load(), first);
}

TEST_F(PlayerHandoffTest, ASlowStartIsWaitedForWithinTheBound) {
    WriteScript("sleep 0.3\nexec \"" + test_support::FakePlayerProgram().string() + "\" --log \"" +
                (dir / "player.log").string() + "\" --parent " + std::to_string(::getpid()));
    timings.readyBound = std::chrono::seconds(30);
    PlayerHandoff handoff(session, timings);
    EXPECT_EQ(handoff.StartOrReuse(dir.path(), dir / "slow.dvr"), PlayerStartResult::kStarted);
    EXPECT_TRUE(LogHas("copydata 2 20 " + HexOf(session.mutexName, 32)));
}

struct FailureCase {
    const char* name;
    std::string scriptTail;  // what the player does after writing its arguments
    PlayerStartResult result;
};

class PlayerHandoffFailureTest : public PlayerHandoffTest,
                                 public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PlayerHandoffFailureTest, TheDownloadGoesOnWithoutAPlayer) {
    const FailureCase& c = GetParam();
    WriteScript(c.scriptTail == "fake-no-ack"
                    ? "exec \"" + test_support::FakePlayerProgram().string() + "\" --log \"" +
                          (dir / "player.log").string() + "\" --no-ack --parent " +
                          std::to_string(::getpid())
                    : c.scriptTail);
    // A player that opens its window is given the time it needs to; the
    // others' waits end at once.
    timings.readyBound = c.result == PlayerStartResult::kCopyDataFailed ? std::chrono::seconds(30)
                                                                        : std::chrono::seconds(0);
    timings.copyDataTimeout = std::chrono::milliseconds(0);
    if (c.scriptTail == "missing") {
        fs::remove(dir / "VideoPlayer.exe");
    }
    PlayerHandoff handoff(session, timings);
    EXPECT_EQ(handoff.StartOrReuse(dir.path(), dir / "c.dvr"), c.result);
    if (c.result != PlayerStartResult::kCopyDataFailed) {
        EXPECT_EQ(session.processId.load(), 0u);
        EXPECT_EQ(session.window.load(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Players, PlayerHandoffFailureTest,
                         ::testing::ValuesIn(std::vector<FailureCase>{
                             {"Missing", "missing", PlayerStartResult::kSpawnFailed},
                             {"ExitsAtOnce", "exit 0", PlayerStartResult::kNotReady},
                             {"NeverOpensAWindow", "sleep 2", PlayerStartResult::kNotReady},
                             {"NeverAnswersCopyData", "fake-no-ack",
                              PlayerStartResult::kCopyDataFailed},
                         }),
                         [](const ::testing::TestParamInfo<FailureCase>& instance) {
                             return std::string(instance.param.name);
                         });

}  // namespace
