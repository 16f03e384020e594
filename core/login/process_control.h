#pragma once

#include <mutex>

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
//      the kernel mailbox; then it ends. It never waits for the cycle.
//   2. The kernel-message thread sets h_Process_Notify_TerminateEvent and
//      waits up to 10 s for h_Process_Reply_TerminateEvent.
//   3. The tear-down thread, under the streaming-set lock, sets the end
//      events and runs ExitLoginResource (asks the receive thread to reset
//      and waits up to 2 s for h_FeedBackForNotifyResetEvent, then stops and
//      joins every thread of the set, then frees its events) and
//      FreeSystemSemaphore; then it sets the reply.
//   4. The kernel-message thread stops (within 30 ms, then joins) any earlier
//      re-login thread and starts a new one.
//   5. The re-login thread logs in, retrying with interruptible pauses until
//      it succeeds or is stopped; then it sets h_Process_Notify_InitEvent and
//      waits up to 5 s for h_Process_Reply_InitEvent.
//   6. The rebuild thread, under the streaming-set lock, runs
//      InitialSemaphore and InitLoginResource (new events, new threads, which
//      wait for their start events), then sets the reply.
//   7. After 2 s the re-login thread calls SignalStreamStartEvents, which
//      starts the session-lifetime count and the receive thread; the picture
//      comes back.
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
int InitLoginResource();
int ExitLoginResource();
int ExitProcessResource();

// Lets the session-lifetime count and the stream receive thread start: sets
// the lifetime start event, then the receive start event, when the streaming
// set exists (a rebuild that failed leaves nothing to signal).
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
