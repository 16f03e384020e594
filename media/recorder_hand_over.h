#pragma once

// What the alarm and user recorders share: their semaphores and events, the
// thread that writes their frames, and their side of the hand-over with the
// pre-alarm ring (recorder_feed.h).
//
// The hand-over, from the recorder thread's side:
// - Activate once a recording starts: from then on the feed wakes the thread
//   for every frame (IsRecording is true).
// - WaitForFrame; on Frame the thread reads the newest frame of the ring,
//   writes it and calls FrameDone, which gives the ring back to the feed.
// - Deactivate when the recording ends. It takes the free semaphore, so the
//   feed is not between its recording check and its wake-up right then, and
//   gives back any frame handed over meanwhile; after it the feed passes the
//   recorder by and never waits for it again.
// The body's return clears the active flag as well, so the feed never waits
// for a recorder whose thread has ended.
//
// Lifetimes: the semaphores and events are created and closed around each
// stream stop. The thread keeps its own reference, so closing them while it
// still runs cannot pull them away under it; the feed's raw pointers are only
// used by the compose thread, which is always stopped before they are closed.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "media/record_file.h"
#include "media/recorder_feed.h"
#include "platform/sync.h"
#include "platform/thread.h"

class RecorderHandOver final : public RecorderFeed {
public:
    struct Resources {
        platform::Semaphore free{1, 1};
        platform::Semaphore filled{0, 1};
        platform::Event start{false, false};
        platform::Event stop{false, false};
        platform::Event closed{false, false};
    };
    using ResourcesPtr = std::shared_ptr<Resources>;

    // The thread's body, given the resources it runs with (they live as long
    // as the thread) and the streaming threads' end event (may be null).
    using Body = std::function<std::uint32_t(const std::shared_ptr<Resources>& resources,
                                             platform::Event* endEvent)>;

    // Starts with a set of resources, so that the feed waits for the recorder
    // (and watches the end event meanwhile) from the start.
    RecorderHandOver() { CreateResources(); }
    ~RecorderHandOver() override;
    RecorderHandOver(const RecorderHandOver&) = delete;
    RecorderHandOver& operator=(const RecorderHandOver&) = delete;

    // ---- the feed's side ----
    platform::Semaphore* FreeSemaphore() override;
    platform::Semaphore* FilledSemaphore() override;
    bool IsRecording() const override { return m_active.load(std::memory_order_acquire); }

    // ---- resources ----
    // Creates a fresh set; true when it exists.
    bool CreateResources();
    // Drops the set; a thread still running keeps its own until it ends.
    void CloseResources();
    // The current set, or null.
    ResourcesPtr Current() const;

    // ---- the thread ----
    // Starts the body with the current resources; false when there are none
    // or no thread could be started. A thread still held is stopped first.
    bool StartThread(Body body, std::string name, platform::Event* endEvent);
    // Asks the thread to stop (every wait of it returns), gives it `bound`
    // to end and joins it in any case.
    void StopThread(std::chrono::milliseconds bound);
    bool ThreadRunning() const { return m_thread.Running(); }

    // ---- for the thread ----
    enum class Wake { Start, Stop, Frame, End };
    // The wait between recordings: Start, or End (end event or stop request).
    static Wake WaitForStart(Resources& r, platform::Event* endEvent);
    // The wait during a recording. With `stopFirst` a stop wins over a frame
    // handed over at the same time (which is then given back unwritten);
    // without, the frame is written first.
    static Wake WaitForFrame(Resources& r, platform::Event* endEvent, bool stopFirst);
    // Marks the recording active. A new recording resets the stop event
    // itself before it sets the start event, so that a stop sent before the
    // thread took the start is not lost.
    void Activate();
    void Deactivate(Resources& r, platform::Event* endEvent);
    static void FrameDone(Resources& r) { r.free.Release(); }

private:
    mutable std::mutex m_lock;
    ResourcesPtr m_resources;
    std::atomic<Resources*> m_current{nullptr};
    std::atomic<bool> m_active{false};
    platform::Thread m_thread;
};

// Where a recorder takes the local time of its files' names and headers;
// tests fix it.
using WallClock = std::function<std::chrono::system_clock::time_point()>;

// The header of a new record file of `kind` written at `now`, with the device
// address ("Server Name") and the user name ("Username") of the settings.
RecFileHeader NewRecordHeader(RecordKind kind, std::chrono::system_clock::time_point now);

// Tells the operator that a record file could not be created or written: the
// status line and, when asked, message 4018. Callable from any thread; call
// it holding no recorder lock (on the GUI thread the box is modal).
void ReportRecordFailure(bool showMessageBox);
