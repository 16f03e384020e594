#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/sync.h"

// Building and tearing down the process-control threads (kernel-message,
// tear-down and rebuild) and the per-login streaming set. Each returns 1 on
// success and 0 on failure; the release routines may run twice.
//
// The re-login cycle
// ------------------
// Threads. Three live as long as the main window (InitProcessResource to
// ExitProcessResource): the kernel-message thread (carries out posted kernel
// messages one at a time), the tear-down thread (Process_Terminate_Thread)
// and the rebuild thread (Process_Init_Thread). The streaming set lives for
// one login (InitLoginResource to ExitLoginResource): the receive, compose,
// show and session-lifetime threads, the recorder threads and their events.
// The re-login thread (LoginProcessThread) is started anew for every cycle.
//
// One cycle, in order:
//   1. The receive thread fails (no connection, a stalled or broken stream)
//      and, unless it is being stopped, posts Get_Image_TimeOut_Message to
//      the kernel mailbox, naming its streaming set; then it ends. It never
//      waits for the cycle.
//   2. The kernel-message thread takes the session lock (below). When the
//      operator has disconnected, or the failed set is no longer the one
//      standing (a login has replaced it since), the failure is answered
//      already and the cycle ends here. Otherwise it asks for the tear-down
//      and waits up to 10 s for it.
//   3. The tear-down thread, under the streaming-set lock, sets the end
//      events and runs ExitLoginResource (asks the receive thread to reset
//      and, while it runs, waits up to 2 s for h_FeedBackForNotifyResetEvent,
//      then stops and joins every thread of the set, then frees its events)
//      and FreeSystemSemaphore; then it sets the reply.
//   4. The kernel-message thread stops (within 30 ms, then joins) any earlier
//      re-login thread and starts a new one.
//   5. The re-login thread logs in, retrying with interruptible pauses until
//      it succeeds or is stopped; then it asks for a rebuild (a ticket) and
//      waits up to 5 s for it.
//   6. The rebuild thread, under the streaming-set lock, serves the newest
//      ticket: it tears down a set that still stands, then runs
//      InitialSemaphore and InitLoginResource (new events, new threads, which
//      wait for their start events), then sets the reply.
//   7. After 2 s the re-login thread calls SignalStreamStartEvents with its
//      ticket, which starts the session-lifetime count and the receive
//      thread; the picture comes back. Should its set not be built yet (a
//      slow tear-down held the rebuild past the 5 s), the rebuild starts it
//      as soon as it is built.
//
// One set at a time. Nothing builds a set beside another: a build tears the
// standing one down first, and the main window's disconnect tears down
// whatever stands, whether its stream has started or not. The connect and
// disconnect commands and step 2 take turns under the session lock.
//
// Who waits for whom. Every wait in the cycle is bounded or watches the
// waiting thread's stop token: the kernel-message thread waits for the
// tear-down (bounded), the re-login thread for the rebuild (bounded), the
// tear-down for the threads it joins (each stop bounded, then joined). No
// thread of the streaming set waits for the cycle, so tearing it down cannot
// deadlock with it, and nothing in the cycle waits for the GUI thread.
//
// Who may free what. The streaming set's events and threads are created and
// freed only under the streaming-set lock (InitLoginResource,
// ExitLoginResource, SignalStreamStartEvents, SignalFrameShown), and events
// are freed only after every thread that waits on them has been joined. The
// process events and the kernel mailbox are freed only by
// ExitProcessResource, after the kernel-message, re-login, tear-down and
// rebuild threads have been joined; a thread never frees the object it is
// running in (the kernel-message thread replaces the re-login thread, the
// GUI thread's exit routine ends them all).

int InitProcessResource();
// Builds a streaming set. A set that still stands is torn down first, so
// that no thread of it is left waiting on an event the new set replaces.
int InitLoginResource();
int ExitLoginResource();
int ExitProcessResource();

// Lets the session-lifetime count and the stream receive thread of the
// standing set start: sets the lifetime start event, then the receive start
// event. A rebuild that failed leaves nothing to signal.
void SignalStreamStartEvents();

// Holds the lock under which the streaming set is built and torn down. The
// alarm-sound thread and its events (h_PlayAudioWavThread,
// h_WaveOutDoneEvent, h_StopAlarmAudioEvent) are replaced under it too, since
// the tear-down stops and closes them.
std::unique_lock<std::recursive_mutex> LockLoginResources();

// Tells the show thread that the frame it handed over has been drawn. The
// drawing runs on the kernel-message thread, which outlives the streaming
// set; the lock keeps a tear-down from closing the event while it is set.
void SignalFrameShown();

// ---- one streaming set at a time ----------------------------------------------
//
// Every set gets a number when it is built; 0 means that none stands. A
// stream failure names the set whose receive thread failed, so that a
// failure of a set that has been replaced since starts no login.
std::uint64_t StreamingSetNumber();
bool StreamingSetStands();

// Rebuild requests of the session login thread. Each request gets a ticket;
// the rebuild thread serves the newest one (tearing down whatever stands)
// and replies. A login whose set is built lets it start with
// SignalStreamStartEvents(ticket); when the build has not happened yet, the
// start is kept and the rebuild starts the set as soon as it is built. A
// request that is no longer the newest, or was cancelled, starts nothing.
std::uint64_t RequestStreamingRebuild();
// Waits up to `bound` for the rebuild of `ticket`: Signaled when its set
// stands, Timeout when the bound ran out, Stopped when the calling thread is
// asked to stop.
platform::WaitResult WaitForStreamingRebuild(std::uint64_t ticket, std::chrono::milliseconds bound);
void SignalStreamStartEvents(std::uint64_t ticket);
// Forgets every rebuild request given out so far: a login that was stopped
// after asking gets no set built for it.
void CancelStreamingRebuilds();

// Asks the tear-down thread to release the streaming set and waits up to
// `bound` for it. True when the set asked for is gone; false when the bound
// ran out or the calling thread was asked to stop.
bool RequestStreamingTearDown(std::chrono::milliseconds bound);

// ---- the session: connect, disconnect, restart after a stream failure ----------
//
// The main window's connect and disconnect and the kernel-message thread's
// restart after a stream failure take turns under one lock: each one stops
// or starts the session login thread (h_ReLoginThread) and asks for the
// tear-down while holding it, so they never act on the same thread handle or
// wait for the same reply at once. Nothing that holds the lock waits for the
// GUI thread, and the threads it waits for never take it.
std::unique_lock<std::mutex> LockSessionControl();
// Whether the operator wants the device connected: set by the connect
// command and when the process resources are built, cleared by the
// disconnect. A stream failure after a disconnect logs in no more.
void SetSessionWanted(bool wanted);
bool SessionWanted();
// Stops the session login thread (30 ms, then joined) and clears its handle.
void StopSessionLoginThread();
// Stops a session login thread still held, then starts a new one. False
// when none could be started.
bool StartSessionLoginThread();
