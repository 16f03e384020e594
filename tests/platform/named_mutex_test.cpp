#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <numeric>
#include <stdexcept>
#include <string>

#include "platform/clock.h"
#include "platform/thread.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using test_support::FakePlayer;
using test_support::ScopedRuntimeDir;
using test_support::TempDir;
using namespace std::chrono_literals;

FakePlayer::Options Holding(const std::string& name) {
    FakePlayer::Options options;
    options.holdMutex = name;
    return options;
}

class NamedMutexTest : public testing::Test {
protected:
    ScopedRuntimeDir m_runtime;
    TempDir m_logs;
};

TEST_F(NamedMutexTest, LockFileIsPrivate) {
    NamedMutex mutex("Player Mutex");
    EXPECT_EQ(mutex.Path(), m_runtime.path() / "kestrune" / "Player Mutex.lock");
    struct stat st {};
    ASSERT_EQ(::stat(mutex.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(NamedMutexTest, InvalidNamesAreRefused) {
    for (const std::string& name :
         {std::string(), std::string("."), std::string(".."), std::string("a/b"),
          std::string("a\0b", 3), std::string(NamedMutex::kMaxNameBytes + 1, 'm')}) {
        EXPECT_THROW(NamedMutex{name}, std::invalid_argument) << name;
    }
    EXPECT_NO_THROW(NamedMutex(std::string(NamedMutex::kMaxNameBytes, 'm')));
}

TEST_F(NamedMutexTest, TwoClaimantsExcludeEachOther) {
    NamedMutex a("shared");
    NamedMutex b("shared");
    ASSERT_TRUE(a.TryLock());
    EXPECT_FALSE(b.TryLock());
    EXPECT_TRUE(a.TryLock());  // counts up
    a.Unlock();
    EXPECT_FALSE(b.TryLock());
    a.Unlock();
    EXPECT_FALSE(a.IsHeld());
    EXPECT_TRUE(b.TryLock());
    a.Unlock();  // not held: nothing
    EXPECT_FALSE(a.TryLock());
}

TEST_F(NamedMutexTest, HeldByAnotherProcessUntilItDies) {
    FakePlayer holder(m_logs / "holder.log", Holding("player"));
    NamedMutex mutex("player");
    EXPECT_FALSE(mutex.TryLock());
    {
        ManualClock clock;
        ScopedClockSource useClock(clock);
        EXPECT_EQ(mutex.Lock(1000ms), WaitResult::Timeout);
        const auto sleeps = clock.Sleeps();
        EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), 0ms), 1000ms);
        for (const auto sleep : sleeps) {
            EXPECT_LE(sleep, NamedMutex::kRetryInterval);
        }
        EXPECT_EQ(mutex.Lock(-1ms), WaitResult::Timeout);  // a single try
    }
    holder.Kill();  // no chance to unlock: the kernel frees it
    EXPECT_TRUE(mutex.TryLock());
}

TEST_F(NamedMutexTest, WaiterGetsTheMutexWhenItIsGivenBack) {
    NamedMutex owner("handover");
    ASSERT_TRUE(owner.TryLock());
    Event waiting(true, false);
    Event done(true, false);
    std::atomic<WaitResult> result{WaitResult::Timeout};
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        NamedMutex waiter("handover");
        waiting.Set();
        result = waiter.Lock(60s);
        done.Set();
        return 0u;
    }));
    ASSERT_EQ(waiting.Wait(30s), WaitResult::Signaled);
    owner.Unlock();
    ASSERT_EQ(done.Wait(60s), WaitResult::Signaled);
    EXPECT_EQ(result.load(), WaitResult::Signaled);
    EXPECT_EQ(thread.Stop(30s), StopOutcome::Ended);
}

TEST_F(NamedMutexTest, WaitEndsOnStop) {
    NamedMutex owner("stopping");
    ASSERT_TRUE(owner.TryLock());
    Event waiting(true, false);
    std::atomic<WaitResult> result{WaitResult::Signaled};
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        NamedMutex waiter("stopping");
        waiting.Set();
        result = waiter.Lock(std::chrono::hours(1));
        return 0u;
    }));
    ASSERT_EQ(waiting.Wait(30s), WaitResult::Signaled);
    EXPECT_EQ(thread.Stop(30s), StopOutcome::Ended);
    EXPECT_EQ(result.load(), WaitResult::Stopped);
}

TEST_F(NamedMutexTest, RefusedRuntimeFolderThrows) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    std::filesystem::create_directory(m_runtime.path() / "kestrune");
    ASSERT_EQ(::chown((m_runtime.path() / "kestrune").c_str(), 65534, 65534), 0);
    EXPECT_THROW(NamedMutex("player"), std::system_error);
}

}  // namespace
}  // namespace platform
