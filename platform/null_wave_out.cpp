#include "platform/null_wave_out.h"

#include <stdexcept>

#include "platform/clock.h"

namespace platform {

namespace {

// The worker ends as soon as it is asked (its only waits are a platform wait
// and a platform sleep); this bound only guards against a callback that
// hangs.
constexpr std::chrono::milliseconds kWorkerStopBound{2000};

}  // namespace

NullWaveOut::NullWaveOut(const WaveFormat& format, WaveDoneCallback onDone, Pace pace)
    : WaveOut(format), m_onDone(std::move(onDone)), m_pace(pace) {
    if (!IsPlayablePcmFormat(format)) {
        throw std::invalid_argument("not a playable PCM format");
    }
    if (!StartWorker()) {
        throw std::runtime_error("cannot start the silent sound output's thread");
    }
}

NullWaveOut::~NullWaveOut() {
    m_worker.Stop(kWorkerStopBound);
    std::lock_guard guard(m_lock);
    for (WaveHeader* header : m_queue) {
        MarkDone(*header);
    }
    m_queue.clear();
}

bool NullWaveOut::StartWorker() {
    return m_worker.Start([this] { return Run(); }, "silent-wave");
}

WaveOutResult NullWaveOut::Write(WaveHeader& header) {
    if (const WaveOutResult checked = CheckWritable(header); checked != WaveOutResult::Ok) {
        return checked;
    }
    {
        std::lock_guard guard(m_lock);
        MarkQueued(header);
        m_queue.push_back(&header);
    }
    m_queued.Set();
    return WaveOutResult::Ok;
}

WaveOutResult NullWaveOut::Reset() {
    // The worker may be in the middle of a buffer's playing time: stopping it
    // ends that at once, and nothing else touches the queue meanwhile.
    m_worker.Stop(kWorkerStopBound);
    std::deque<WaveHeader*> returned;
    {
        std::lock_guard guard(m_lock);
        returned.swap(m_queue);
    }
    m_queued.Reset();
    m_carry = 0;
    for (WaveHeader* header : returned) {
        MarkDone(*header);
        if (m_onDone) {
            m_onDone(*header);
        }
    }
    return StartWorker() ? WaveOutResult::Ok : WaveOutResult::DeviceError;
}

std::chrono::milliseconds NullWaveOut::PlayingTime(std::uint32_t length) {
    const std::uint64_t byteMs = std::uint64_t{length} * 1000u + m_carry;
    const std::uint64_t perSecond = Format().averageBytesPerSecond;
    m_carry = byteMs % perSecond;
    return std::chrono::milliseconds(static_cast<std::int64_t>(byteMs / perSecond));
}

std::uint32_t NullWaveOut::Run() {
    for (;;) {
        if (m_queued.Wait(kInfinite) != WaitResult::Signaled) {
            return 0;
        }
        for (;;) {
            WaveHeader* header = nullptr;
            {
                std::lock_guard guard(m_lock);
                if (m_queue.empty()) {
                    break;
                }
                header = m_queue.front();
            }
            if (m_pace == Pace::RealTime && !Sleep(PlayingTime(header->bufferLength))) {
                return 0;
            }
            {
                std::lock_guard guard(m_lock);
                m_queue.pop_front();
            }
            MarkDone(*header);
            if (m_onDone) {
                m_onDone(*header);
            }
        }
    }
}

}  // namespace platform
