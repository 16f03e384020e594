#pragma once

// The alarm-sound playing thread: plays a play block's samples in an endless
// loop through the sound output until it is told to stop.
//
// The main window starts it on a platform::Thread after loading the sound:
//
//     C_AlarmWave.LoadWave(path) (or Media().LoadAlarmWave(path, done)),
//     create the done and stop events, C_AlarmWave.SetDoneEvent(done),
//     thread.Start([block = C_AlarmWave.CurrentBlock(), done, stop] {
//         return PlayAlarmWavThread(block, *done, *stop);
//     });
//
// The events must outlive the thread. It ends when the stop event is set,
// when the thread is asked to stop (platform::Thread::Stop), or when a newer
// load retires its block.

#include <cstdint>
#include <memory>

#include "media/alarm_wave.h"
#include "platform/sync.h"
#include "platform/wave_out.h"

// Exit codes.
inline constexpr std::uint32_t kAlarmWavStopped = 0;
// The output could not be opened (or there was nothing to play).
inline constexpr std::uint32_t kAlarmWavOpenFailed = static_cast<std::uint32_t>(-1);

// The output's done callback: sets the block's done event.
void WaveOutCallback(AlarmPlayBlock& block, platform::WaveHeader& header);

// Opens the output (platform::OpenWaveOut) with the block's format, fills and
// queues the 8 buffers, then waits on waveOutDone and stopAudio: on the done
// event every buffer whose done flag is set is refilled and queued again; on
// the stop event, a stop of the thread, the block's retirement or a failed
// wait the output is reset and closed and the thread ends with 0.
std::uint32_t PlayAlarmWavThread(std::shared_ptr<AlarmPlayBlock> block,
                                 platform::Event& waveOutDone, platform::Event& stopAudio);
