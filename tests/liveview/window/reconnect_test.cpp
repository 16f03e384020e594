// The connect button pressed in every order and at every pace while the
// picture runs, against the device on 127.0.0.1: quick connect and
// disconnect pairs, a disconnect between the login's rebuild and the
// stream's start, a stream that ends while a message box is open, a recorder
// that is slow to end. Each ends connected, with one streaming set, frames
// arriving, and no more logins than connect presses and stream failures.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/login/login_exchange.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "media/media_services.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sync.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/modal_script.h"
#include "tests/support/simulated_device.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"

namespace {

using namespace std::chrono_literals;
using test_support::PumpUntil;
using LiveDevice = test_support::SimulatedDevice;

constexpr std::uint16_t kConnectButton = 1002;
constexpr std::uint16_t kResolutionButton = 1007;

// Time moves only when code sleeps, and sleeps pass at once, except that one
// length of sleep can be held at a gate until the test opens it (or the
// sleeping thread is asked to stop). Timed waits run in real time, unless
// those at least as long as a given time-out are made to run out at once.
class GatedClock final : public platform::ClockSource {
public:
    std::uint64_t NowMs() override { return m_now.load(); }

    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override {
        if (token.stop_requested())
            return false;
        if (d < 0ms) {
            std::unique_lock lock(m_lock);
            m_changed.wait(lock, token, [] { return false; });
            return false;
        }
        {
            std::unique_lock lock(m_lock);
            if (m_gate && *m_gate == d) {
                ++m_held;
                m_changed.notify_all();
                m_changed.wait(lock, token, [this] { return !m_gate; });
                --m_held;
                if (token.stop_requested())
                    return false;
            }
        }
        m_now += static_cast<std::uint64_t>(d.count());
        std::this_thread::yield();
        return true;
    }

    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override {
        const auto from = m_instantFrom.load();
        if (from <= 0 || timeout.count() < from)
            return false;
        m_now += static_cast<std::uint64_t>(timeout.count());
        return true;
    }

    // Holds every sleep of length `d` from now on.
    void CloseGate(std::chrono::milliseconds d) {
        std::lock_guard lock(m_lock);
        m_gate = d;
    }
    void OpenGate() {
        std::lock_guard lock(m_lock);
        m_gate.reset();
        m_changed.notify_all();
    }
    // Waits (bounded) until a sleep is held at the gate.
    bool WaitForHeldSleep() {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, test_support::kWaitBound, [this] { return m_held > 0; });
    }
    // Timed waits of at least `timeout` run out at once; 0 ends that.
    void MakeWaitsInstantFrom(std::chrono::milliseconds timeout) {
        m_instantFrom = timeout.count();
    }

private:
    std::atomic<std::uint64_t> m_now{0};
    std::atomic<std::int64_t> m_instantFrom{0};
    std::mutex m_lock;
    std::condition_variable_any m_changed;
    std::optional<std::chrono::milliseconds> m_gate;
    int m_held = 0;
};

// The media pipeline as the program has it, with recorder threads that can
// be made slow to end: the tear-down then waits that long for them.
class SlowRecorderMedia final : public MediaServicesImpl {
public:
    void StopRecorderThreads() override {
        if (slowFor.load() > 0ms) {
            stopsHeld.Set();
            std::this_thread::sleep_for(slowFor.load());
        }
        MediaServicesImpl::StopRecorderThreads();
    }
    std::atomic<std::chrono::milliseconds> slowFor{0ms};
    platform::Event stopsHeld{true, false};
};

class ReconnectTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        // The pipeline's buffers and semaphores are made by the start-up
        // steps of the fixture.
        SetMediaServices(&media);
        AppStateTest::SetUp();
        device = std::make_unique<LiveDevice>();
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device->server.port();
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        if (window)
            window->DestroyWindow();
        window.reset();
        AppStateTest::TearDown();
        SetMediaServices(nullptr);
        device.reset();
    }

    // Logs in as the login dialog does, builds the process and streaming
    // resources as start-up does and shows the main window with its
    // picture running.
    void OpenWindow() {
        ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
        ASSERT_EQ(InitProcessResource(), 1);
        ASSERT_EQ(InitLoginResource(), 1);
        window = std::make_unique<CDravelinDlg>();
        ASSERT_EQ(window->OnInitDialog(), 1);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(Streaming());
    }

    CQelButton* Button(std::uint16_t id) const { return window->FindButton(id); }

    // The operator presses the connect button.
    void Press() {
        CQelButton* button = Button(kConnectButton);
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(test_support::ExpectReachable(button));
        test_support::UserClick(button);
    }

    std::size_t Logins() const { return device->server.RequestsTo("/Login.cgi").size(); }

    // Whether a streaming set stands, and its receive thread; read under the
    // lock its builders and tear-downs hold.
    static bool SetStands() {
        const auto lock = LockLoginResources();
        const AppGlobalState& app = *g_lpApp;
        return app.h_GetJpegImageThread || app.h_ConnectionThread ||
               app.h_StartToGetJpegImageEvent || app.h_EndofGetJpegImageEvent;
    }
    static const void* ReceiveThread() {
        const auto lock = LockLoginResources();
        return g_lpApp->h_GetJpegImageThread.get();
    }

    // Connected, one streaming set standing, one stream open on the device,
    // and its frames arriving and drawn.
    ::testing::AssertionResult Streaming() {
        AppGlobalState& app = *g_lpApp;
        const auto standing = [&] {
            return app.f_Connected.load() && SetStands() && device->stream.OpenStreams() == 1 &&
                   app.f_VideoConnected.load();
        };
        if (auto ready = PumpUntil(standing, "a running stream"); !ready)
            return ready << "\n" << TraceLog();
        const std::uint32_t from = app.dw_FrameCount.load();
        const void* receiver = ReceiveThread();
        if (auto frames =
                PumpUntil([&] { return standing() && app.dw_FrameCount.load() >= from + 10; },
                          "frames of that stream");
            !frames) {
            return frames << "\n" << TraceLog();
        }
        if (ReceiveThread() != receiver)
            return ::testing::AssertionFailure() << "the set was replaced while frames arrived";
        if (window->CurrentPicture().isNull())
            return ::testing::AssertionFailure() << "no picture drawn";
        return ::testing::AssertionSuccess();
    }

    // The end of every sequence: streaming, with no more logins than
    // `allowed`, and none added while the picture runs on.
    void ExpectStreamingWithLoginsAtMost(std::size_t allowed) {
        ASSERT_TRUE(Streaming());
        const std::size_t logins = Logins();
        EXPECT_LE(logins, allowed);
        EXPECT_EQ(device->stream.OpenStreams(), 1);
        // A storm would go on by itself; the picture running on for a while
        // longer brings no further login.
        ASSERT_TRUE(Streaming());
        EXPECT_EQ(Logins(), logins);
    }

    SlowRecorderMedia media;
    ScopedLiveViewServices liveView;
    GatedClock clock;
    platform::ScopedClockSource useClock{clock};
    std::unique_ptr<LiveDevice> device;
    std::unique_ptr<CDravelinDlg> window;
};

// Disconnect and connect again, over and over, with the presses the given
// time apart (0: each press as soon as the one before has been handled).
// A login pauses two seconds before it lets its stream start, longer than
// the whole run of presses: that pause is held until the last press, so
// each disconnect meets the login of the connect before it logging in, or
// waiting with its set built.
class PressPairsTest : public ReconnectTest, public ::testing::WithParamInterface<int> {};

TEST_P(PressPairsTest, EndsConnectedWithOneStreamingSet) {
    OpenWindow();
    clock.CloseGate(2000ms);
    constexpr int kPairs = 6;
    for (int i = 0; i < 2 * kPairs; ++i) {
        Press();
        if (GetParam() > 0)
            QTest::qWait(GetParam());
    }
    clock.OpenGate();
    // The login dialog's login and one per connect press.
    ExpectStreamingWithLoginsAtMost(1 + kPairs);
}

INSTANTIATE_TEST_SUITE_P(Gaps, PressPairsTest, ::testing::Values(0, 10, 50, 80),
                         [](const auto& instance) {
                             return std::to_string(instance.param) + "ms";
                         });

// The login has had its streaming set built and pauses before it lets the
// stream start; the operator disconnects right then, and connects again.
TEST_F(ReconnectTest, DisconnectBetweenTheRebuildAndTheStreamStart) {
    OpenWindow();
    Press();  // disconnect
    EXPECT_FALSE(SetStands());
    clock.CloseGate(2000ms);  // the login's pause before the start events
    Press();                  // connect
    ASSERT_TRUE(clock.WaitForHeldSleep());
    EXPECT_TRUE(SetStands());
    EXPECT_FALSE(g_lpApp->f_ReceiverRunning.load());
    Press();  // disconnect, before the stream starts
    EXPECT_FALSE(SetStands()) << "the set built for the stopped login stays";
    clock.OpenGate();
    Press();  // connect
    ExpectStreamingWithLoginsAtMost(3);
}

// Return held on the connect button (a Return that closed a message box,
// repeating into the window behind it) presses nothing.
TEST_F(ReconnectTest, ReturnOnTheConnectButtonPressesNothing) {
    OpenWindow();
    CQelButton* connect = Button(kConnectButton);
    connect->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(window->focusWidget(), connect);
    EXPECT_FALSE(connect->isDefault());
    test_support::UserKeyHeld(connect, Qt::Key_Return, 3);
    test_support::UserKey(connect, Qt::Key_Enter);
    EXPECT_TRUE(g_lpApp->f_Connected.load());
    EXPECT_NE(window->StatusText(), "DISCONNECT!!");
    ExpectStreamingWithLoginsAtMost(1);
}

// The operator's resolution change fails and its message box stays open;
// meanwhile the device ends the stream and the client logs in again by
// itself. The box is closed with Return, held long enough to repeat into
// the window behind it.
TEST_F(ReconnectTest, StreamEndsWhileAMessageBoxIsOpen) {
    platform::SetMessageBoxSink(nullptr);  // real boxes on the GUI thread
    device->server.SetReply("/Setresolution.cgi",
                            test_support::Reply::Status(500, "Internal Server Error"));
    OpenWindow();
    CQelButton* connect = Button(kConnectButton);
    connect->setFocus(Qt::TabFocusReason);
    test_support::ModalScript<QMessageBox> box([&](QMessageBox& shown) {
        device->stream.EndOpenStreams();
        // The re-login cycle brings the picture back while the box is open.
        EXPECT_TRUE(PumpUntil([&] { return Logins() == 2; }, "the login after the failure"));
        EXPECT_TRUE(Streaming());
        test_support::UserKey(&shown, Qt::Key_Return);
    });
    test_support::UserClick(Button(kResolutionButton));
    platform::SetMessageBoxSink(&boxes.sink());
    ASSERT_EQ(box.Runs(), 1);
    ASSERT_EQ(window->focusWidget(), connect);
    test_support::UserKeyHeld(connect, Qt::Key_Return, 4);
    EXPECT_TRUE(g_lpApp->f_Connected.load());
    // The login dialog's login and the one after the failure.
    ExpectStreamingWithLoginsAtMost(2);
}

// The stream ends and the recorders take long to end: the re-login's waits
// for the tear-down and for the rebuild run out meanwhile (injected), and
// the operator presses disconnect and connect while it lasts.
TEST_F(ReconnectTest, RecorderSlowToEndDuringTheReloginCycle) {
    OpenWindow();
    media.slowFor = 400ms;
    clock.MakeWaitsInstantFrom(5000ms);
    device->stream.EndOpenStreams();
    ASSERT_TRUE(PumpUntil([&] { return media.stopsHeld.IsSet(); }, "the recorders' slow end"));
    Press();
    Press();
    media.slowFor = 0ms;
    clock.MakeWaitsInstantFrom(0ms);
    // The login dialog's, the failure's and the connect press's.
    ExpectStreamingWithLoginsAtMost(3);
}

}  // namespace
