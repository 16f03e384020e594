#include "core/application/window_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "platform/clock.h"
#include "platform/thread.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::ProcessWindowHandle;
using test_support::FakePlayer;
using test_support::ScopedRuntimeDir;
using test_support::TempDir;
using namespace std::chrono_literals;

std::uint32_t PidOf(const FakePlayer& player) {
    return static_cast<std::uint32_t>(player.Pid());
}

class WindowFinderTest : public testing::Test {
protected:
    // The pauses between empty snapshots pass at once and are recorded.
    std::vector<std::chrono::milliseconds> EmptyRetryPauses(int count) const {
        return std::vector<std::chrono::milliseconds>(static_cast<std::size_t>(count),
                                                      CWindowFinder::kEmptyRetryPause);
    }

    ScopedRuntimeDir m_runtime;
    TempDir m_logs;
    platform::ManualClock m_clock;
    platform::ScopedClockSource m_useClock{m_clock};
};

TEST_F(WindowFinderTest, FindsThePlayersWindow) {
    FakePlayer other(m_logs / "other.log");
    FakePlayer player(m_logs / "player.log");
    CWindowFinder finder;
    const ProcessWindowHandle window = finder.FindWindowOfProcess(PidOf(player));
    EXPECT_EQ(window, ProcessWindowHandle{PidOf(player)});
    EXPECT_EQ(finder.GetClassName(window), "player");
    EXPECT_EQ(finder.GetModuleName(window), "");
    EXPECT_TRUE(m_clock.Sleeps().empty());

    // The window found is the one that takes messages.
    ASSERT_TRUE(platform::PostProcessWindowMessage(window, 0x111, 5, 6));
    ASSERT_EQ(platform::SendProcessWindowCopyData(window, 1, {}).status,
              platform::CopyDataStatus::Acknowledged);
    EXPECT_EQ(player.LogLines().at(1), "message 111 5 6");
    EXPECT_EQ(other.LogLines().size(), 1u);
}

TEST_F(WindowFinderTest, ProcessWithoutAWindowAmongOthersIsNotFoundAtOnce) {
    FakePlayer player(m_logs / "player.log");
    CWindowFinder finder;
    EXPECT_FALSE(finder.FindWindowOfProcess(PidOf(player) + 100000));
    EXPECT_TRUE(m_clock.Sleeps().empty());
    EXPECT_EQ(finder.GetHandle(0), ProcessWindowHandle{PidOf(player)});
}

TEST_F(WindowFinderTest, NoWindowsAtAllIsRetriedABoundedNumberOfTimes) {
    CWindowFinder finder;
    EXPECT_FALSE(finder.FindWindowOfProcess(static_cast<std::uint32_t>(::getpid())));
    EXPECT_EQ(m_clock.Sleeps(), EmptyRetryPauses(CWindowFinder::kMaxEmptyRetries));
    EXPECT_EQ(finder.GetRecord(0), nullptr);
}

TEST_F(WindowFinderTest, StaleEndpointOfADeadProcessIsNotAWindow) {
    FakePlayer player(m_logs / "player.log");
    const std::uint32_t pid = PidOf(player);
    player.Kill();  // its endpoint file stays behind
    CWindowFinder finder;
    EXPECT_FALSE(finder.FindWindowOfProcess(pid));
    EXPECT_EQ(m_clock.Sleeps(), EmptyRetryPauses(CWindowFinder::kMaxEmptyRetries));
}

TEST_F(WindowFinderTest, EndpointOfAnotherUserIsNotAWindow) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a socket to another user";
    }
    FakePlayer player(m_logs / "player.log");
    const auto path = platform::ProcessWindowPath(PidOf(player));
    ASSERT_TRUE(path);
    ASSERT_EQ(::chown(path->c_str(), 65534, 65534), 0);
    CWindowFinder finder;
    EXPECT_FALSE(finder.FindWindowOfProcess(PidOf(player)));
    ASSERT_EQ(::chown(path->c_str(), ::geteuid(), ::getegid()), 0);
    EXPECT_TRUE(finder.FindWindowOfProcess(PidOf(player)));
}

TEST_F(WindowFinderTest, StopEndsTheRetriesAtOnce) {
    platform::Thread thread;
    std::atomic<bool> found{true};
    platform::Event started(true, false);
    // The real clock here, so the pauses take their time: the stop bound is
    // shorter than the retries together, and only an interrupted pause ends
    // the thread within it.
    platform::ClockSource* const fixtureClock = platform::SetClockSource(nullptr);
    ASSERT_TRUE(thread.Start([&] {
        CWindowFinder finder;
        started.Set();
        found = static_cast<bool>(finder.FindWindowOfProcess(1));
        return 0u;
    }));
    ASSERT_EQ(started.Wait(30s), platform::WaitResult::Signaled);
    static_assert(CWindowFinder::kEmptyRetryPause * CWindowFinder::kMaxEmptyRetries > 10s);
    EXPECT_EQ(thread.Stop(10s), platform::StopOutcome::Ended);
    platform::SetClockSource(fixtureClock);
    EXPECT_FALSE(found.load());
}

TEST_F(WindowFinderTest, SecondLookupStartsFromAnEmptySnapshot) {
    FakePlayer player(m_logs / "player.log");
    CWindowFinder finder;
    ASSERT_TRUE(finder.FindWindowOfProcess(PidOf(player)));
    ASSERT_TRUE(finder.FindWindowOfProcess(PidOf(player)));
    EXPECT_NE(finder.GetRecord(0), nullptr);
    EXPECT_EQ(finder.GetRecord(1), nullptr);
}

struct FilterCase {
    const char* name;
    std::uint32_t flags;
    std::vector<std::string> excluded;
    bool found;
};

TEST_F(WindowFinderTest, FilterFlags) {
    FakePlayer player(m_logs / "player.log");
    const FilterCase cases[] = {
        {"no flags", 0, {}, true},
        {"visible only", kRecordVisibleOnly, {}, true},
        {"hidden only", kRecordHiddenOnly, {}, false},
        {"visible wins over hidden", kRecordVisibleOnly | kRecordHiddenOnly, {}, true},
        {"top-level only", kRecordTopLevelOnly, {}, true},
        {"children only", kRecordChildOnly, {}, false},
        {"top-level wins over children", kRecordTopLevelOnly | kRecordChildOnly, {}, true},
        {"class excluded", kSkipExcludedClasses, {"other", "player"}, false},
        {"exclusion is case-sensitive", kSkipExcludedClasses, {"Player", "PLAYER"}, true},
        {"exclusion list unused without its flag", 0, {"player"}, true},
    };
    for (const FilterCase& c : cases) {
        CWindowFinder finder;
        finder.SetFilterFlags(c.flags);
        for (const std::string& name : c.excluded) {
            finder.AddExcludedClassName(name);
        }
        EXPECT_EQ(static_cast<bool>(finder.FindWindowOfProcess(PidOf(player))), c.found) << c.name;
    }
}

TEST_F(WindowFinderTest, AccessorsOutOfRangeGiveNothing) {
    CWindowFinder finder;
    EXPECT_EQ(finder.GetClassName(std::size_t{0}), "");
    EXPECT_EQ(finder.GetClassName(ProcessWindowHandle{1}), "");
    EXPECT_EQ(finder.GetModuleName(std::size_t{3}), "");
    EXPECT_EQ(finder.GetModuleName(ProcessWindowHandle{}), "");
    EXPECT_FALSE(finder.GetHandle(7));
    EXPECT_EQ(finder.GetRecord(0), nullptr);
}

}  // namespace
