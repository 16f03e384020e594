// The window finder's live title: read from the window when asked, not kept
// in the snapshot.

#include <gtest/gtest.h>

#include <string>

#include "core/application/window_finder.h"
#include "platform/clock.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::ProcessWindowHandle;
using test_support::FakePlayer;
using test_support::ScopedRuntimeDir;
using test_support::TempDir;

class WindowTitleTest : public testing::Test {
protected:
    ScopedRuntimeDir m_runtime;
    TempDir m_logs;
    platform::ManualClock m_clock;
    platform::ScopedClockSource m_useClock{m_clock};
};

TEST_F(WindowTitleTest, ReadsTheTitleOfTheLiveWindow) {
    FakePlayer player(m_logs / "player.log");
    const ProcessWindowHandle window{static_cast<std::uint32_t>(player.Pid())};
    CWindowFinder finder;
    ASSERT_EQ(finder.FindWindowOfProcess(window.pid), window);

    // The record itself keeps no title; the window's is the program's name.
    ASSERT_NE(finder.GetRecord(0), nullptr);
    EXPECT_EQ(finder.GetRecord(0)->strWindowTitle, "");
    struct Case {
        const char* name;
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {"by handle", finder.GetWindowTitle(window), "fake_player"},
        {"by position", finder.GetWindowTitle(std::size_t{0}), "fake_player"},
        {"position past the records", finder.GetWindowTitle(std::size_t{1}), ""},
        {"unknown handle", finder.GetWindowTitle(ProcessWindowHandle{window.pid + 100000}), ""},
        {"null handle", finder.GetWindowTitle(ProcessWindowHandle{}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.title, c.expected);
        EXPECT_LE(c.title.size(), CWindowFinder::kMaxTitleChars);
    }

    // Read live: once the window has gone its record gives no title.
    player.Kill();
    EXPECT_EQ(finder.GetWindowTitle(window), "");
    EXPECT_EQ(finder.GetWindowTitle(std::size_t{0}), "");
    EXPECT_EQ(finder.GetClassName(window), "player");  // the snapshot stays
}

}  // namespace
