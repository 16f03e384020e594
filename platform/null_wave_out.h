#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/wave_out.h"

namespace platform {

// A sound output without a sound: it takes the buffers in order, keeps each
// for as long as it would take to play (on the current clock source, so a
// test's ManualClock makes that instant), and then hands it back through the
// done callback, from its own thread. Used when the machine has no sound
// device, so that the alarm-sound player runs as it would with one.
class NullWaveOut final : public WaveOut {
public:
    enum class Pace {
        RealTime,  // each buffer takes its playing time
        Instant,   // each buffer is done as soon as it is taken
    };

    // Throws std::invalid_argument for a format IsPlayablePcmFormat refuses
    // and std::runtime_error when its thread cannot be started.
    NullWaveOut(const WaveFormat& format, WaveDoneCallback onDone, Pace pace = Pace::RealTime);
    ~NullWaveOut() override;

    WaveOutResult Write(WaveHeader& header) override;
    WaveOutResult Reset() override;

private:
    bool StartWorker();
    std::uint32_t Run();
    // The playing time of length bytes; remainders carry over to the next
    // buffer, so that a long run keeps the exact pace.
    std::chrono::milliseconds PlayingTime(std::uint32_t length);

    const WaveDoneCallback m_onDone;
    const Pace m_pace;

    std::mutex m_lock;
    std::deque<WaveHeader*> m_queue;  // front: the buffer being "played"
    Event m_queued{false, false};     // set by Write
    std::uint64_t m_carry = 0;        // worker only: byte-milliseconds not yet slept
    Thread m_worker;
};

}  // namespace platform
