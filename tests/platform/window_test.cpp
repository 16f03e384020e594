#include "platform/window.h"
#include "tests/support/qt_app.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace platform {
namespace {

struct Message {
    std::uint32_t message;
    std::uint64_t wParam;
    std::uint64_t lParam;
    bool operator==(const Message&) const = default;
};

// A window that records what it receives, checking it is on the GUI thread.
class RecordingWindow : public MessageTarget {
public:
    RecordingWindow() : m_handle(RegisterWindow(this)) {}
    ~RecordingWindow() override { UnregisterWindow(m_handle); }

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        received.push_back({message, wParam, lParam});
        if (onMessage) {
            onMessage(message);
        }
    }

    WindowHandle handle() const { return m_handle; }

    std::vector<Message> received;
    std::function<void(std::uint32_t)> onMessage;

private:
    WindowHandle m_handle;
};

// The test program's one Qt application, on the test's main thread: Qt does
// not take a second application object after the first was destroyed.
class WindowMessages : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_support::EnsureQtApp(); }
};

TEST_F(WindowMessages, HandlesAreUniqueAndNeverReused) {
    std::vector<WindowHandle> seen;
    for (int i = 0; i < 3; ++i) {
        RecordingWindow window;
        EXPECT_NE(window.handle(), 0u);
        EXPECT_TRUE(IsWindow(window.handle()));
        for (WindowHandle old : seen) {
            EXPECT_NE(window.handle(), old);
            EXPECT_FALSE(IsWindow(old));
        }
        seen.push_back(window.handle());
    }
    EXPECT_EQ(RegisterWindow(nullptr), 0u);
    EXPECT_FALSE(IsWindow(0));
}

TEST_F(WindowMessages, DeliveredOnTheGuiThreadInPostingOrder) {
    RecordingWindow window;
    const std::vector<Message> posted{
        {0x402, 1, 2}, {0x40C, 0, 0}, {0x402, 3, 4}, {0x42B, ~0ull, 0x1234'5678'9ABC'DEF0ull}};
    for (const Message& m : posted) {
        ASSERT_TRUE(PostWindowMessage(window.handle(), m.message, m.wParam, m.lParam));
    }
    EXPECT_TRUE(window.received.empty());  // posting never runs the handler
    ProcessPostedMessages();
    EXPECT_EQ(window.received, posted);
}

TEST_F(WindowMessages, PostsFromManyThreadsKeepEachThreadsOrder) {
    constexpr int kThreads = 4;
    constexpr std::uint64_t kEach = 200;
    RecordingWindow window;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (std::uint64_t i = 0; i < kEach; ++i) {
                EXPECT_TRUE(PostWindowMessage(window.handle(), 0x402, t, i));
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    ProcessPostedMessages();

    ASSERT_EQ(window.received.size(), kThreads * kEach);
    std::vector<std::uint64_t> next(kThreads, 0);
    for (const Message& m : window.received) {
        ASSERT_LT(m.wParam, static_cast<std::uint64_t>(kThreads));
        EXPECT_EQ(m.lParam, next[m.wParam]++);
    }
}

TEST_F(WindowMessages, PostingToAWindowThatIsGoneFails) {
    WindowHandle gone;
    {
        RecordingWindow window;
        gone = window.handle();
    }
    EXPECT_FALSE(PostWindowMessage(gone, 0x402, 0, 0));
    EXPECT_FALSE(PostWindowMessage(0, 0x402, 0, 0));
    EXPECT_FALSE(PostWindowMessage(0xDEAD'BEEF, 0x402, 0, 0));
}

// A message still queued when its window unregisters is dropped; the other
// windows get theirs.
TEST_F(WindowMessages, UnregisteringDropsQueuedMessages) {
    auto leaving = std::make_unique<RecordingWindow>();
    RecordingWindow staying;
    ASSERT_TRUE(PostWindowMessage(leaving->handle(), 0x402, 1, 0));
    ASSERT_TRUE(PostWindowMessage(staying.handle(), 0x403, 2, 0));
    UnregisterWindow(leaving->handle());
    ProcessPostedMessages();
    EXPECT_TRUE(leaving->received.empty());
    EXPECT_EQ(staying.received, (std::vector<Message>{{0x403, 2, 0}}));
    leaving.reset();  // the window object itself may now go
    ProcessPostedMessages();
}

// A window that closes itself on a message receives nothing after it.
TEST_F(WindowMessages, AHandlerMayUnregisterItsOwnWindow) {
    RecordingWindow window;
    window.onMessage = [&](std::uint32_t message) {
        if (message == 0x40C) {
            UnregisterWindow(window.handle());
        }
    };
    for (std::uint32_t message : {0x402u, 0x40Cu, 0x402u}) {
        ASSERT_TRUE(PostWindowMessage(window.handle(), message, 0, 0));
    }
    ProcessPostedMessages();
    EXPECT_EQ(window.received, (std::vector<Message>{{0x402, 0, 0}, {0x40C, 0, 0}}));
}

TEST(WindowMessagesWithoutApplication, PostingFails) {
    if (QCoreApplication::instance() != nullptr) {
        GTEST_SKIP() << "a Qt application exists in this process";
    }
    RecordingWindow window;
    EXPECT_TRUE(IsWindow(window.handle()));
    EXPECT_FALSE(PostWindowMessage(window.handle(), 0x402, 0, 0));
}

}  // namespace
}  // namespace platform
