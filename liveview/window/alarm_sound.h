#pragma once

// The alarm sound: started and stopped by the stream's alarm (the main
// window's WM_POSTALARMAUDIO, lParam 0 start, 2 stop) and stopped by a click
// into the main window. The wave file is the "Trigger Wav Path" setting; the
// playing thread loops it through the sound output until it is stopped.
//
// Every entry takes the lock under which the streaming set is torn down, so
// start and stop are safe from any thread and against each other; stopping
// waits for the playing thread only for its short bound (the thread watches
// its stop token, so it ends at once).

#include <cstdint>

// Start: nothing while the sound is started. A wave file that cannot be
// loaded shows message 4096 once per alarm (until the next stop) and plays
// nothing; the next start tries again. 0, or -1 when the start failed.
int StartAlarmSound();
// Stop message: clears the start, ends the playing thread. 0.
int StopAlarmSound();
// A click into the main window: the sound stops, the start stays set (the
// next alarm plays only after a stop message).
void StopAlarmSoundByClick();
// The window's WM_POSTALARMAUDIO: 2 stops, anything else starts.
int OnPostAlarmAudio(std::uint64_t lParam);
