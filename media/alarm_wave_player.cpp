#include "media/alarm_wave_player.h"

#include <cstdio>

namespace {

// Holds the block for this player until the end of the thread, so that a
// newer load waits for the output to be closed before it lets the block go.
class PlayClaim {
public:
    explicit PlayClaim(AlarmPlayGate& gate) : m_gate(gate), m_held(gate.Claim()) {}
    ~PlayClaim() {
        if (m_held) {
            m_gate.Release();
        }
    }
    PlayClaim(const PlayClaim&) = delete;
    PlayClaim& operator=(const PlayClaim&) = delete;

    explicit operator bool() const { return m_held; }

private:
    AlarmPlayGate& m_gate;
    bool m_held;
};

// Fills buffer n and hands its header to the output, preparing the header
// the first time round. A refused buffer is reported and left out; the
// others go on playing.
void QueueBuffer(platform::WaveOut& output, AlarmPlayBlock& block, std::size_t n) {
    CAlarmWave::FillBuffer(block, n);
    platform::WaveHeader& header = block.headers[n];
    const bool prepared =
        (header.flags.load(std::memory_order_acquire) & platform::kWaveHeaderPrepared) != 0 ||
        output.Prepare(header) == platform::WaveOutResult::Ok;
    if (!prepared || output.Write(header) != platform::WaveOutResult::Ok) {
        std::fprintf(stderr, "kestrune: alarm sound: buffer %zu not queued\n", n);
    }
}

}  // namespace

void WaveOutCallback(AlarmPlayBlock& block, platform::WaveHeader&) {
    if (const std::shared_ptr<platform::Event> done = block.doneEvent.Load()) {
        done->Set();
    }
}

std::uint32_t PlayAlarmWavThread(std::shared_ptr<AlarmPlayBlock> block,
                                 platform::Event& waveOutDone, platform::Event& stopAudio) {
    if (!block || block->samples.empty()) {
        return kAlarmWavOpenFailed;
    }
    // Claimed before the output opens, released after it has closed: once a
    // newer load sees the block released, no callback can reach it any more.
    const PlayClaim claim(block->gate);
    if (!claim) {
        // Retired before it started: the sound was already replaced.
        return block->gate.IsRetired() ? kAlarmWavStopped : kAlarmWavOpenFailed;
    }
    AlarmPlayBlock* const raw = block.get();
    std::unique_ptr<platform::WaveOut> output = platform::OpenWaveOut(
        block->format, [raw](platform::WaveHeader& header) { WaveOutCallback(*raw, header); });
    if (!output) {
        return kAlarmWavOpenFailed;
    }

    for (platform::WaveHeader& header : block->headers) {
        header.flags.store(0, std::memory_order_release);
    }
    for (std::size_t n = 0; n < kAlarmWaveBufferCount; ++n) {
        QueueBuffer(*output, *block, n);
    }

    // Every wait also watches the thread's stop token (kWaitStopped).
    while (platform::WaitForAny({&waveOutDone, &stopAudio, &block->gate.RetiredEvent()},
                                platform::kInfinite) == 0) {
        for (std::size_t n = 0; n < kAlarmWaveBufferCount; ++n) {
            if ((block->headers[n].flags.load(std::memory_order_acquire) &
                 platform::kWaveHeaderDone) != 0) {
                QueueBuffer(*output, *block, n);
            }
        }
    }
    output->Reset();
    output.reset();
    return kAlarmWavStopped;
}
