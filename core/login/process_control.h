#pragma once

#include <mutex>

// Building and tearing down the process-control threads (kernel-message,
// tear-down and rebuild) and the per-login streaming set. Each returns 1 on
// success and 0 on failure; the release routines may run twice.

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
