#include "core/login/process_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <semaphore>
#include <sstream>
#include <string>
#include <thread>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/kernel_message.h"
#include "core/net/blocking_socket.h"
#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/thread.h"
#include "platform/window.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

using namespace std::chrono_literals;

// Records what the core asks of the live view; each drawing also sets an
// event so tests can wait for it without depending on timing, and can be
// made to take a while.
class DrawingLiveView : public test_support::RecordingLiveView {
public:
    int DrawVideoFrame() override {
        ++framesDrawn;
        if (drawBlocksFor.count() > 0)
            releaseDraw.Wait(drawBlocksFor);
        drawn.Set();
        return RecordingLiveView::DrawVideoFrame();
    }

    platform::Event drawn{false, false};
    platform::Event releaseDraw{true, false};
    std::chrono::milliseconds drawBlocksFor{0};
    std::atomic<int> framesDrawn{0};
};

class RecordingWindow : public platform::MessageTarget {
public:
    RecordingWindow() : handle(platform::RegisterWindow(this)) {}
    ~RecordingWindow() override { platform::UnregisterWindow(handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) override {
        messages.push_back(message);
    }
    platform::WindowHandle handle;
    std::vector<std::uint32_t> messages;
};

class ProcessControlTest : public core_test::AppStateTest {
protected:
    DrawingLiveView liveView;
    test_support::ScopedLiveViewRegistration registered{liveView};
};

TEST_F(ProcessControlTest, ResourcesAreBuiltAndReleasedTwiceHarmlessly) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    AppGlobalState& app = *g_lpApp;
    EXPECT_TRUE(app.h_Process_KernelMessageThread && app.h_Process_KernelMessageThread->Running());
    EXPECT_TRUE(app.h_GetJpegImageThread && app.h_ShowImageDataThread && app.h_ConnectionThread);
    EXPECT_EQ(app.b_RecordOptions[0], 0);

    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_FALSE(app.h_GetJpegImageThread);
    EXPECT_FALSE(app.h_EndofGetJpegImageEvent);
    EXPECT_EQ(ExitProcessResource(), 1);
    EXPECT_FALSE(app.h_Process_KernelMessageThread);
    EXPECT_FALSE(app.h_KernelMessagePostSem);
    // The second run meets only cleared handles.
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(ExitProcessResource(), 1);
    // Without a mailbox, posting does not wait.
    EXPECT_FALSE(PostKernelMessage(kDrawFrameMessage));
}

TEST_F(ProcessControlTest, EveryCodeFreesTheMailboxForTheNextPoster) {
    ASSERT_EQ(InitProcessResource(), 1);
    for (std::uint32_t code : {3u, 4u, 5u, 0u, 8u, 99u, 2u, 2u}) {
        EXPECT_TRUE(PostKernelMessage(code)) << code;
    }
    // The draw requests ran on the kernel-message thread, one after another.
    ASSERT_EQ(liveView.drawn.Wait(5s), platform::WaitResult::Signaled);
    EXPECT_TRUE(PostKernelMessage(kEndKernelThreadMessage));
    // Once the thread has ended, posters give up instead of waiting for ever.
    EXPECT_FALSE(PostKernelMessage(kDrawFrameMessage));
    EXPECT_EQ(liveView.framesDrawn.load(), 2);
}

TEST_F(ProcessControlTest, ShutdownDuringARequestWaitsForItThenEndsTheThread) {
    ASSERT_EQ(InitProcessResource(), 1);
    liveView.drawBlocksFor = 50ms;
    ASSERT_TRUE(PostKernelMessage(kDrawFrameMessage));
    EXPECT_EQ(ExitProcessResource(), 1);
    EXPECT_EQ(liveView.framesDrawn.load(), 1);
    EXPECT_FALSE(g_lpApp->h_Process_KernelMessageThread);
}

TEST_F(ProcessControlTest, PlayFileStartsThePlayerWithSeparateArguments) {
    ASSERT_EQ(InitProcessResource(), 1);
    const auto player = folder.path() / "VideoPlayer.exe";
    const auto out = folder.path() / "player-args.txt";
    {
        std::ofstream script(player);
        script << "#!/bin/sh\nprintf '%s|' \"$@\" > \"" << out.string() << ".tmp\"\nmv \""
               << out.string() << ".tmp\" \"" << out.string() << "\"\n";
    }
    std::filesystem::permissions(player, std::filesystem::perms::owner_all);
    const std::string path = "/records/Alarm CH01 file.dvr";
    ASSERT_TRUE(PostPlayFileMessage(path));
    // The player runs detached; wait for the file it writes.
    ASSERT_TRUE(
        test_support::WaitUntil([&] { return std::filesystem::exists(out); }, "the player's file"));
    std::ifstream in(out);
    std::string args((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(args, path + "|CONVERT=0|");
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(ProcessControlTest, MissingPlayerShowsMessage4108) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_TRUE(PostPlayFileMessage("/nowhere.dvr"));
    ASSERT_TRUE(PostKernelMessage(kEndKernelThreadMessage));  // runs after the play request
    g_lpApp->h_Process_KernelMessageThread->Stop(5s);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4108});
}

// Kernel message 1: tear the streaming set down, then the rebuild a login
// asks for brings it back.
TEST_F(ProcessControlTest, StreamFailureTearsDownAndRebuildBringsStreamingBack) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    AppGlobalState& app = *g_lpApp;
    app.f_VideoConnected = true;
    app.dw_LifeTime = 5;

    ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message));
    // The next request waits for the first to be carried out.
    ASSERT_TRUE(PostKernelMessage(3));
    EXPECT_FALSE(app.f_VideoConnected);
    EXPECT_EQ(app.dw_LifeTime.load(), -1);
    EXPECT_FALSE(app.h_GetJpegImageThread);
    EXPECT_FALSE(app.h_SocketFreeSem);
    ASSERT_FALSE(liveView.Buttons().empty());
    EXPECT_EQ(liveView.Buttons().back(), (test_support::RecordingLiveView::ButtonState{1u, 1}));
    EXPECT_NE(TraceLog().find("case Get_Image_TimeOut_Message\r\n"), std::string::npos);

    app.h_Process_Notify_InitEvent->Set();
    ASSERT_EQ(app.h_Process_Reply_InitEvent->Wait(10s), platform::WaitResult::Signaled);
    EXPECT_TRUE(app.h_GetJpegImageThread && app.h_GetJpegImageThread->Running());
    ASSERT_TRUE(app.h_SocketFreeSem);
    EXPECT_EQ(app.h_SocketFreeSem->Count(), 1);
}

// A streaming set still standing when the process resources go (a late
// rebuild, or no ExitLoginResource first) waits on the process events: it is
// released before they are closed.
TEST_F(ProcessControlTest, ProcessExitReleasesAStreamingSetLeftStanding) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    AppGlobalState& app = *g_lpApp;
    EXPECT_EQ(ExitProcessResource(), 1);
    EXPECT_FALSE(app.h_GetJpegImageThread);
    EXPECT_FALSE(app.h_ComposeImageDataThread);
    EXPECT_FALSE(app.h_ShowImageDataThread);
    EXPECT_FALSE(app.h_ConnectionThread);
    EXPECT_FALSE(app.h_EndofGetJpegImageEvent);
    EXPECT_FALSE(app.h_NotifyGetJPEGImageThreadResetEvent);
}

// After a shutdown, new process resources rebuild on request again.
TEST_F(ProcessControlTest, NewProcessResourcesRebuildAgainAfterAShutdown) {
    ASSERT_EQ(InitProcessResource(), 1);
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(ExitProcessResource(), 1);
    ASSERT_EQ(InitProcessResource(), 1);
    AppGlobalState& app = *g_lpApp;
    app.h_Process_Notify_InitEvent->Set();
    ASSERT_EQ(app.h_Process_Reply_InitEvent->Wait(10s), platform::WaitResult::Signaled);
    EXPECT_TRUE(app.h_GetJpegImageThread && app.h_GetJpegImageThread->Running());
}

// A build while a set stands (a second login's rebuild, the disconnect that
// came before the stream ran) tears the standing set down first: none of its
// threads is left waiting on an event the new set replaces.
TEST_F(ProcessControlTest, ABuildWhileASetStandsTearsItDownFirst) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    const std::uint64_t first = StreamingSetNumber();
    EXPECT_NE(first, 0u);
    ASSERT_EQ(InitLoginResource(), 1);
    EXPECT_NE(StreamingSetNumber(), first);
    EXPECT_TRUE(StreamingSetStands());
    AppGlobalState& app = *g_lpApp;
    EXPECT_TRUE(app.h_ConnectionThread && app.h_ConnectionThread->Running());
    EXPECT_TRUE(app.h_GetJpegImageThread && app.h_GetJpegImageThread->Running());
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(StreamingSetNumber(), 0u);
    EXPECT_FALSE(StreamingSetStands());
}

struct FailureCase {
    const char* name;
    bool namesAReplacedSet;  // the failure names a set that no longer stands
    bool operatorDisconnected;
    bool logsIn;
};

class StreamFailureTest : public ProcessControlTest,
                          public ::testing::WithParamInterface<FailureCase> {};

// A stream failure asks for one login only while its set stands and the
// operator wants the device connected.
TEST_P(StreamFailureTest, LogsInOnlyForTheStandingSetWhileConnected) {
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    const std::uint64_t set = StreamingSetNumber();
    SetSessionWanted(!GetParam().operatorDisconnected);
    ASSERT_TRUE(
        PostKernelMessage(Get_Image_TimeOut_Message, GetParam().namesAReplacedSet ? set + 1 : set));
    // Requests run one after another: this one waits for the first.
    ASSERT_TRUE(PostKernelMessage(3));
    ASSERT_TRUE(PostKernelMessage(3));
    const bool loggingIn = [] {
        const auto session = LockSessionControl();
        return g_lpApp->h_ReLoginThread != nullptr;
    }();
    EXPECT_EQ(loggingIn, GetParam().logsIn);
    EXPECT_EQ(StreamingSetStands(), !GetParam().logsIn);
    EXPECT_EQ(TraceLog().find("case Get_Image_TimeOut_Message") != std::string::npos,
              GetParam().logsIn);
}

INSTANTIATE_TEST_SUITE_P(Failures, StreamFailureTest,
                         ::testing::Values(FailureCase{"OfTheStandingSet", false, false, true},
                                           FailureCase{"OfAReplacedSet", true, false, false},
                                           FailureCase{"AfterTheDisconnect", false, true, false}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A login that finishes before its set is built (the rebuild held up behind
// a slow tear-down) has the set started as soon as it stands.
TEST_F(ProcessControlTest, AStartAskedBeforeTheBuildStartsTheSetOnceBuilt) {
    platform::ManualClock clock;
    platform::ScopedClockSource useClock(clock);
    ASSERT_EQ(InitProcessResource(), 1);
    AppGlobalState& app = *g_lpApp;
    app.dw_LifeTime = 5;
    std::uint64_t ticket = 0;
    {
        // Holding the lock keeps the rebuild thread from building meanwhile.
        const auto lock = LockLoginResources();
        ticket = RequestStreamingRebuild();
        SignalStreamStartEvents(ticket);
        EXPECT_FALSE(StreamingSetStands());
    }
    ASSERT_EQ(WaitForStreamingRebuild(ticket, 10s), platform::WaitResult::Signaled);
    // The lifetime count runs only once its start event was set.
    EXPECT_TRUE(test_support::WaitUntil([&] { return app.dw_LifeSeconds.load() >= 1; },
                                        "the lifetime count"));
}

// A rebuild asked for by a login that was stopped (the operator disconnected
// meanwhile) builds nothing.
TEST_F(ProcessControlTest, ACancelledRebuildBuildsNothing) {
    ASSERT_EQ(InitProcessResource(), 1);
    std::uint64_t ticket = 0;
    {
        const auto lock = LockLoginResources();
        ticket = RequestStreamingRebuild();
        CancelStreamingRebuilds();
    }
    EXPECT_EQ(WaitForStreamingRebuild(ticket, 300ms), platform::WaitResult::Timeout);
    EXPECT_FALSE(StreamingSetStands());
    // The next login's request is served.
    const std::uint64_t next = RequestStreamingRebuild();
    EXPECT_EQ(WaitForStreamingRebuild(next, 10s), platform::WaitResult::Signaled);
    EXPECT_TRUE(StreamingSetStands());
}

struct LifetimeCase {
    std::int32_t minutes;
    bool expires;
    std::uint32_t secondsCounted;
};

class LifetimeTest : public ProcessControlTest,
                     public ::testing::WithParamInterface<LifetimeCase> {};

TEST_P(LifetimeTest, CountsTheSessionLifetime) {
    platform::ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    platform::ScopedClockSource useClock(clock);
    RecordingWindow window;
    AppGlobalState& app = *g_lpApp;
    app.h_MainDialogHandle = window.handle;
    ASSERT_EQ(InitProcessResource(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    app.dw_LifeTime = GetParam().minutes;
    app.h_StartConnectionThreadEvent->Set();

    if (GetParam().expires) {
        ASSERT_TRUE(liveView.WaitForStatusTexts(1));
        EXPECT_EQ(liveView.StatusTexts(),
                  std::vector<std::string>{"Life time is Up.Application shutdown later"});
    }
    // Let the thread finish on its own (its last sleep is on the manual
    // clock), then join it.
    for (int i = 0; i < 2000 && app.h_ConnectionThread->Running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    app.h_ConnectionThread->Stop(platform::kInfinite);
    platform::ProcessPostedMessages();
    EXPECT_EQ(app.dw_LifeSeconds.load(), GetParam().secondsCounted);
    EXPECT_EQ(window.messages.size(), GetParam().expires ? 1u : 0u);
    if (GetParam().expires) {
        EXPECT_EQ(window.messages[0], WM_LIFETIMEOVER);
    }
}

INSTANTIATE_TEST_SUITE_P(Lifetimes, LifetimeTest,
                         ::testing::Values(LifetimeCase{-1, false, 0}, LifetimeCase{0, true, 2},
                                           LifetimeCase{1, true, 60}, LifetimeCase{2, true, 120}));

TEST_F(ProcessControlTest, FailingRecorderStartFailsTheLoginResources) {
    class NoRecorders : public PlaceholderMedia {
    public:
        bool StartRecorderThreads(std::uint8_t) override { return false; }
    } media;
    test_support::ScopedMediaRegistration registeredMedia{media};
    ASSERT_EQ(InitProcessResource(), 1);
    EXPECT_EQ(InitLoginResource(), 0);
    EXPECT_EQ(ExitLoginResource(), 1);
}

// Stopping a thread blocked in a socket read with a long time-out, or in an
// endless event wait, ends it well within its stopper's bound.
TEST(ThreadStopTest, BlockedSocketReadAndEventWaitEndOnStop) {
    CBlockingSocket listener;
    listener.Create(SOCK_STREAM);
    listener.Bind(CSocketAddress("127.0.0.1", 0));
    listener.Listen();
    CSocketAddress bound;
    listener.GetSockName(bound);
    CBlockingSocket client;
    client.Create(SOCK_STREAM);
    client.Connect(CSocketAddress(
        "127.0.0.1",
        ntohs(
            reinterpret_cast<const sockaddr_in*>(static_cast<const sockaddr*>(bound))->sin_port)));

    std::atomic<int> received{0};
    platform::Thread reader;
    ASSERT_TRUE(reader.Start([&] {
        char buffer[16];
        received = client.Receive(buffer, sizeof buffer, 3600);
        return 0u;
    }));
    platform::Event never(true, false);
    platform::Thread waiter;
    ASSERT_TRUE(
        waiter.Start([&] { return never.Wait() == platform::WaitResult::Stopped ? 7u : 0u; }));

    EXPECT_EQ(reader.Stop(500ms), platform::StopOutcome::Ended);
    EXPECT_EQ(received.load(), -1);
    EXPECT_EQ(waiter.Stop(500ms), platform::StopOutcome::Ended);
    EXPECT_EQ(waiter.ExitCode(), 7u);
    client.CloseQuietly();
    listener.CloseQuietly();
}

}  // namespace
