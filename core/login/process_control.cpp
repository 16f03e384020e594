#include "core/login/process_control.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "core/application/subsystem_services.h"
#include "core/application/window_messages.h"
#include "core/login/kernel_message.h"
#include "core/login/session_login.h"
#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace {

using platform::WaitResult;
using std::chrono::milliseconds;

// How long each stopper gives its thread before it counts as terminated.
constexpr milliseconds kKernelThreadStop{20};
constexpr milliseconds kProcessThreadStop{500};
constexpr milliseconds kLifetimeThreadStop{30};
constexpr milliseconds kReceiveThreadStop{500};
constexpr milliseconds kComposeThreadStop{30};
constexpr milliseconds kShowThreadStop{1000};
constexpr milliseconds kReLoginThreadStop{30};
constexpr milliseconds kShortThreadStop{10};  // alarm sound, firmware upload
constexpr milliseconds kReceiverFeedbackWait{2000};
constexpr milliseconds kLifetimeFeedbackWait{5000};
constexpr milliseconds kSecond{1000};

// Building and tearing down the streaming set happen on the GUI thread and on
// the two process-control threads; one lock keeps them from overlapping.
std::recursive_mutex g_loginResourceLock;

// Set under the lock once the program's shutdown has begun releasing the
// streaming set (ExitLoginResource, ExitProcessResource); cleared when the
// process resources are built. From then on a login that completes late may
// no longer have the streaming set rebuilt: the shutdown would free the
// process events under the new threads.
bool g_shutdownBegun = false;

// Rebuild and tear-down requests and the standing set, under the lock.
struct SetRequests {
    std::uint64_t rebuildsAsked = 0;      // tickets given out so far
    std::uint64_t rebuildsCancelled = 0;  // tickets up to this one are not served
    std::uint64_t builtFor = 0;           // ticket of the standing set; 0: none or unasked
    std::uint64_t startWantedFor = 0;     // ticket whose login asked for the stream to start
    std::uint64_t tearDownsAsked = 0;
    std::uint64_t tearDownsDone = 0;
    std::uint64_t setsBuilt = 0;
};
SetRequests g_requests;

// The standing set's number, 0 when none stands. Written under the lock; a
// receive thread reads it without the lock when it fails, since the
// tear-down holds the lock while it waits for that thread to end. It changes
// only once every thread of the set has been joined.
std::atomic<std::uint64_t> g_standingSet{0};

// The session: who may start and stop the session login thread, and whether
// the operator wants the device connected.
std::mutex g_sessionLock;
std::atomic<bool> g_sessionWanted{true};

EventPtr MakeEvent(bool manualReset = false) {
    return std::make_unique<platform::Event>(manualReset, false);
}

bool StartThread(ThreadPtr& slot, std::function<std::uint32_t()> body, const char* name) {
    auto thread = std::make_unique<platform::Thread>();
    if (!thread->Start(std::move(body), name))
        return false;
    slot = std::move(thread);
    return true;
}

// The stop pattern: ask, give the thread its bounded time (overrunning
// records exit code 31), join, clear the handle.
void StopThread(ThreadPtr& slot, milliseconds bound) {
    if (!slot)
        return;
    slot->Stop(bound);
    slot.reset();
}

void Signal(const EventPtr& event) {
    if (event)
        event->Set();
}

// Waits on a reply event until `done` holds. A reply may belong to an
// earlier request, so each one only wakes the check; the bound counts from
// the start.
template <class Done>
platform::WaitResult WaitForDone(platform::Event& reply, const Done& done, milliseconds bound) {
    const std::uint64_t until = platform::TickCount64() + static_cast<std::uint64_t>(bound.count());
    for (;;) {
        if (done())
            return platform::WaitResult::Signaled;
        const std::uint64_t now = platform::TickCount64();
        if (now >= until)
            return platform::WaitResult::Timeout;
        const platform::WaitResult waited =
            reply.Wait(milliseconds(static_cast<std::int64_t>(until - now)));
        if (waited == platform::WaitResult::Stopped)
            return waited;
        if (waited == platform::WaitResult::Timeout)
            return done() ? platform::WaitResult::Signaled : waited;
    }
}

int ReleaseLoginResource();
bool StreamingSetExists(const AppGlobalState& app);

void SignalStartLocked(AppGlobalState& app) {
    Signal(app.h_StartConnectionThreadEvent);
    Signal(app.h_StartToGetJpegImageEvent);
}

std::uint32_t Process_Terminate_Thread() {
    AppGlobalState& app = *g_lpApp;
    for (;;) {
        const WaitResult waited = app.h_Process_Notify_TerminateEvent->Wait(platform::kInfinite);
        if (waited == WaitResult::Stopped)
            return 0;
        if (waited != WaitResult::Signaled)
            continue;
        app.f_VideoConnected = false;
        app.dw_LifeTime = -1;
        {
            std::lock_guard lock(g_loginResourceLock);
            const std::uint64_t asked = g_requests.tearDownsAsked;
            Signal(app.h_EndofShowImageEvent);
            Signal(app.h_EndofGetJpegImageEvent);
            Signal(app.h_EndConnectionThreadEvent);
            if (!ReleaseLoginResource())
                return 0;
            if (!FreeSystemSemaphore())
                return 0;
            g_requests.tearDownsDone = asked;
        }
        app.h_Process_Reply_TerminateEvent->Set();
    }
}

std::uint32_t Process_Init_Thread() {
    AppGlobalState& app = *g_lpApp;
    for (;;) {
        const WaitResult waited = app.h_Process_Notify_InitEvent->Wait(platform::kInfinite);
        if (waited == WaitResult::Stopped)
            return 0;
        if (waited != WaitResult::Signaled)
            continue;
        {
            std::lock_guard lock(g_loginResourceLock);
            // Shutdown has begun: nothing is rebuilt and nobody is answered;
            // the login thread waiting for the answer is being stopped.
            if (g_shutdownBegun)
                continue;
            // Only the newest request is served; one that was cancelled (its
            // login was stopped) gets nothing, and its thread no answer.
            const std::uint64_t ticket = g_requests.rebuildsAsked;
            if (ticket != 0 && ticket <= g_requests.rebuildsCancelled)
                continue;
            // A set that still stands (a login that asked twice, a
            // disconnect that came before the stream ran) goes first, with
            // the ring semaphores its threads wait on.
            if (StreamingSetExists(app)) {
                if (!ReleaseLoginResource() || !FreeSystemSemaphore())
                    return 0;
            }
            app.w_SocketWriteIndex = 0;
            app.w_SocketReadIndex = 0;
            app.w_TirelMp4DecodeIndex = 0;
            app.w_ImageWriteIndex = 0;
            if (!InitialSemaphore())
                return 0;
            // A reset request left over from the tear-down must not reach
            // the new receive thread, so it is cleared before that thread
            // starts.
            app.h_NotifyGetJPEGImageThreadResetEvent->Reset();
            if (!InitLoginResource())
                return 0;
            app.h_EndofShowImageEvent->Reset();
            g_requests.builtFor = ticket;
            // The login finished while this set was still to be built.
            if (ticket != 0 && g_requests.startWantedFor == ticket)
                SignalStartLocked(app);
        }
        app.h_Process_Reply_InitEvent->Set();
    }
}

std::uint32_t Session_Lifetime_Thread() {
    AppGlobalState& app = *g_lpApp;
    app.dw_LifeSeconds = 0;
    if (app.h_StartConnectionThreadEvent->Wait(platform::kInfinite) != WaitResult::Signaled)
        return 0;
    if (!platform::Sleep(kSecond))
        return 0;
    const std::int32_t lifeTime = app.dw_LifeTime;
    if (lifeTime == -1)
        return 0;
    app.dw_LifeSeconds = 1;
    // Minutes become seconds in 64 bits; a negative lifetime other than -1
    // compares as a huge unsigned count, as the device meant "no limit".
    const std::uint64_t limit =
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(lifeTime)) * 60;
    for (;;) {
        const WaitResult waited = app.h_EndConnectionThreadEvent->Wait(kSecond);
        if (waited != WaitResult::Timeout)
            return 0;  // ended, or asked to stop
        if (++app.dw_LifeSeconds >= limit)
            break;
    }
    app.h_NotifyGetJPEGImageThreadResetEvent->Set();
    app.h_FeedBackForNotifyResetEvent->Wait(kLifetimeFeedbackWait);
    LiveView().ClearInfoTexts();
    LiveView().SetStatusText("Life time is Up.Application shutdown later");
    if (!platform::Sleep(kSecond))
        return 0;
    platform::PostWindowMessage(app.h_MainDialogHandle, WM_LIFETIMEOVER, 0, 0);
    return 0;
}

}  // namespace

std::unique_lock<std::recursive_mutex> LockLoginResources() {
    return std::unique_lock(g_loginResourceLock);
}

void SignalStreamStartEvents() {
    std::lock_guard lock(g_loginResourceLock);
    if (g_lpApp == nullptr)
        return;
    SignalStartLocked(*g_lpApp);
}

void SignalStreamStartEvents(std::uint64_t ticket) {
    std::lock_guard lock(g_loginResourceLock);
    if (g_lpApp == nullptr)
        return;
    if (g_requests.builtFor == ticket && g_standingSet.load() != 0) {
        SignalStartLocked(*g_lpApp);
        return;
    }
    // Not built yet: the rebuild starts it, unless a newer login has asked
    // since or the request was cancelled.
    if (ticket == g_requests.rebuildsAsked && ticket > g_requests.rebuildsCancelled)
        g_requests.startWantedFor = ticket;
}

std::uint64_t StreamingSetNumber() {
    return g_standingSet.load();
}

bool StreamingSetStands() {
    std::lock_guard lock(g_loginResourceLock);
    return g_lpApp != nullptr && StreamingSetExists(*g_lpApp);
}

std::uint64_t RequestStreamingRebuild() {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(g_loginResourceLock);
        ticket = ++g_requests.rebuildsAsked;
    }
    g_lpApp->h_Process_Notify_InitEvent->Set();
    return ticket;
}

platform::WaitResult WaitForStreamingRebuild(std::uint64_t ticket, milliseconds bound) {
    const auto built = [ticket] {
        std::lock_guard lock(g_loginResourceLock);
        return g_requests.builtFor == ticket && g_standingSet.load() != 0;
    };
    return WaitForDone(*g_lpApp->h_Process_Reply_InitEvent, built, bound);
}

void CancelStreamingRebuilds() {
    std::lock_guard lock(g_loginResourceLock);
    g_requests.rebuildsCancelled = g_requests.rebuildsAsked;
}

bool RequestStreamingTearDown(milliseconds bound) {
    AppGlobalState& app = *g_lpApp;
    if (!app.h_Process_Notify_TerminateEvent || !app.h_Process_Reply_TerminateEvent)
        return false;
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(g_loginResourceLock);
        ticket = ++g_requests.tearDownsAsked;
    }
    app.h_Process_Notify_TerminateEvent->Set();
    const auto done = [ticket] {
        std::lock_guard lock(g_loginResourceLock);
        return g_requests.tearDownsDone >= ticket;
    };
    return WaitForDone(*app.h_Process_Reply_TerminateEvent, done, bound) ==
           platform::WaitResult::Signaled;
}

std::unique_lock<std::mutex> LockSessionControl() {
    return std::unique_lock(g_sessionLock);
}

void SetSessionWanted(bool wanted) {
    g_sessionWanted = wanted;
}

bool SessionWanted() {
    return g_sessionWanted.load();
}

void StopSessionLoginThread() {
    if (g_lpApp != nullptr)
        StopThread(g_lpApp->h_ReLoginThread, kReLoginThreadStop);
}

bool StartSessionLoginThread() {
    StopSessionLoginThread();
    return StartThread(
        g_lpApp->h_ReLoginThread, [] { return LoginProcessThread(); }, "relogin");
}

void SignalFrameShown() {
    std::lock_guard lock(g_loginResourceLock);
    if (g_lpApp == nullptr)
        return;
    Signal(g_lpApp->h_FinishShowImageJobEvent);
}

int InitProcessResource() {
    AppGlobalState& app = *g_lpApp;
    {
        std::lock_guard lock(g_loginResourceLock);
        g_shutdownBegun = false;
        // Requests of an earlier run are gone with their threads.
        g_requests.rebuildsCancelled = 0;
    }
    // The main window opens connected.
    g_sessionWanted = true;
    CreateKernelMailbox();
    app.h_Process_Notify_TerminateEvent = MakeEvent();
    app.h_Process_Reply_TerminateEvent = MakeEvent();
    app.h_Process_Notify_InitEvent = MakeEvent();
    app.h_Process_Reply_InitEvent = MakeEvent();
    app.h_NotifyGetJPEGImageThreadResetEvent = MakeEvent();
    app.h_FeedBackForNotifyResetEvent = MakeEvent();
    if (!StartThread(app.h_Process_Terminate_Thread, Process_Terminate_Thread, "terminate"))
        return 0;
    if (!StartThread(app.h_Process_Init_Thread, Process_Init_Thread, "init"))
        return 0;
    if (!StartThread(app.h_Process_KernelMessageThread, Process_KernelMessageThread, "kernelmsg")) {
        return 0;
    }
    return 1;
}

int InitLoginResource() {
    std::lock_guard lock(g_loginResourceLock);
    AppGlobalState& app = *g_lpApp;
    // One set at a time: the threads of a set still standing wait on the
    // events replaced below, so they are stopped and joined first.
    if (StreamingSetExists(app) && !ReleaseLoginResource())
        return 0;
    g_requests.builtFor = 0;
    g_standingSet = ++g_requests.setsBuilt;
    app.h_StartToGetJpegImageEvent = MakeEvent();
    app.h_EndofGetJpegImageEvent = MakeEvent(true);
    app.h_StartConnectionThreadEvent = MakeEvent();
    app.h_EndConnectionThreadEvent = MakeEvent();
    if (!StartThread(app.h_ConnectionThread, Session_Lifetime_Thread, "lifetime"))
        return 0;
    app.h_StartToShowImageEvent = MakeEvent();
    app.h_EndofShowImageEvent = MakeEvent();
    app.h_FinishShowImageJobEvent = MakeEvent();
    app.b_RecordOptions[0] = 0;
    if (!StartThread(
            app.h_GetJpegImageThread, [] { return Media().RunReceiveThread(); }, "receive")) {
        return 0;
    }
    if (!StartThread(
            app.h_ComposeImageDataThread, [] { return Media().RunComposeThread(); }, "compose") ||
        !StartThread(
            app.h_ShowImageDataThread, [] { return Media().RunShowThread(); }, "show")) {
        return 0;
    }
    if (!Media().StartRecorderThreads(app.b_RecordOptions[0]))
        return 0;
    return 1;
}

namespace {

// Stops the streaming, lifetime, alarm-sound and recorder threads and closes
// the streaming events; the tear-down thread and the shutdown share it.
int ReleaseLoginResource() {
    std::lock_guard lock(g_loginResourceLock);
    if (g_lpApp == nullptr)
        return 1;
    AppGlobalState& app = *g_lpApp;
    Signal(app.h_NotifyGetJPEGImageThreadResetEvent);
    Signal(app.h_EndofShowImageEvent);
    Signal(app.h_EndofGetJpegImageEvent);
    platform::Sleep(milliseconds(100));

    StopThread(app.h_PlayAudioWavThread, kShortThreadStop);
    StopThread(app.h_ConnectionThread, kLifetimeThreadStop);
    if (app.h_GetJpegImageThread) {
        // A receive thread that has ended already (its stream failed, or it
        // answered a disconnect, which took the answer) answers no more.
        if (app.h_FeedBackForNotifyResetEvent && app.h_GetJpegImageThread->Running()) {
            app.h_FeedBackForNotifyResetEvent->Wait(kReceiverFeedbackWait);
        }
        StopThread(app.h_GetJpegImageThread, kReceiveThreadStop);
    }
    StopThread(app.h_ComposeImageDataThread, kComposeThreadStop);
    StopThread(app.h_ShowImageDataThread, kShowThreadStop);
    Media().StopRecorderThreads();

    // Only now that nothing waits on them are the events closed.
    app.h_StartToGetJpegImageEvent.reset();
    app.h_EndofGetJpegImageEvent.reset();
    app.h_StartToShowImageEvent.reset();
    app.h_EndofShowImageEvent.reset();
    app.h_FinishShowImageJobEvent.reset();
    app.h_StartConnectionThreadEvent.reset();
    app.h_EndConnectionThreadEvent.reset();
    app.h_WaveOutDoneEvent.reset();
    app.h_StopAlarmAudioEvent.reset();
    g_standingSet = 0;
    g_requests.builtFor = 0;
    return 1;
}

// Whether any part of a streaming set exists (a rebuild creates the events
// first).
bool StreamingSetExists(const AppGlobalState& app) {
    return app.h_StartToGetJpegImageEvent || app.h_EndofGetJpegImageEvent ||
           app.h_StartConnectionThreadEvent || app.h_EndConnectionThreadEvent ||
           app.h_StartToShowImageEvent || app.h_EndofShowImageEvent ||
           app.h_FinishShowImageJobEvent || app.h_ConnectionThread || app.h_GetJpegImageThread ||
           app.h_ComposeImageDataThread || app.h_ShowImageDataThread;
}

}  // namespace

int ExitLoginResource() {
    std::lock_guard lock(g_loginResourceLock);
    g_shutdownBegun = true;
    return ReleaseLoginResource();
}

int ExitProcessResource() {
    if (g_lpApp == nullptr)
        return 1;
    AppGlobalState& app = *g_lpApp;
    {
        std::lock_guard lock(g_loginResourceLock);
        g_shutdownBegun = true;
    }
    Media().StopFrameTimer();
    PostKernelMessage(kEndKernelThreadMessage);
    LiveView().FreeCtrlFileRecords();

    StopThread(app.h_UpgradeFirmwareThread, kShortThreadStop);
    StopThread(app.h_Process_KernelMessageThread, kKernelThreadStop);
    {
        const auto session = LockSessionControl();
        StopThread(app.h_ReLoginThread, kReLoginThreadStop);
    }
    LiveView().DeleteMemoryDC();

    // The tear-down and rebuild threads wait on the process events, so they
    // end before the events are closed.
    StopThread(app.h_Process_Init_Thread, kProcessThreadStop);
    StopThread(app.h_Process_Terminate_Thread, kProcessThreadStop);
    // A streaming set that is still there (built after ExitLoginResource, or
    // never released) waits on the process events: it goes first.
    {
        std::lock_guard lock(g_loginResourceLock);
        if (StreamingSetExists(app))
            ReleaseLoginResource();
    }
    app.h_Process_Notify_TerminateEvent.reset();
    app.h_Process_Reply_TerminateEvent.reset();
    app.h_Process_Notify_InitEvent.reset();
    app.h_Process_Reply_InitEvent.reset();
    app.h_NotifyGetJPEGImageThreadResetEvent.reset();
    app.h_FeedBackForNotifyResetEvent.reset();
    DestroyKernelMailbox();

    app.NetworkBackupState.mutexHandle.reset();
    return 1;
}
