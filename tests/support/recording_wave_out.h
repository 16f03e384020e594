#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace test_support {

// A sound output for tests. Installed as the provider, it opens outputs that
// remember everything they are given (the format, the bytes of every queued
// buffer, resets and closes) and that finish a buffer only when the test says
// so (CompleteNext), on the test's thread. What it recorded stays readable
// after the output that recorded it has been closed.
//
// The provider must outlive every output it opened.
class RecordingWaveOut final : public platform::WaveOutProvider {
public:
    RecordingWaveOut() = default;
    ~RecordingWaveOut() override = default;
    RecordingWaveOut(const RecordingWaveOut&) = delete;
    RecordingWaveOut& operator=(const RecordingWaveOut&) = delete;

    std::unique_ptr<platform::WaveOut> Open(const platform::WaveFormat& format,
                                            platform::WaveDoneCallback onDone,
                                            platform::WaveOutResult* result) override;

    // Makes the next opens fail with this result (Ok: succeed again).
    void SetOpenResult(platform::WaveOutResult result);

    std::vector<platform::WaveFormat> OpenedFormats() const;
    // The bytes of every buffer queued, in the order they were queued.
    std::vector<std::vector<std::uint8_t>> Writes() const;
    std::size_t WriteCount() const;
    // Buffers queued and not yet handed back.
    std::size_t Pending() const;
    int ResetCount() const;
    int CloseCount() const;
    // Outputs open now.
    int OpenCount() const;

    // Hands the oldest queued buffer back through its output's done callback;
    // false when nothing is queued.
    bool CompleteNext();

    // Wait in real time, up to bound, until at least count buffers have been
    // queued in all / at least closes outputs have been closed. True when
    // that happened in time.
    bool WaitForWrites(std::size_t count, std::chrono::milliseconds bound) const;
    bool WaitForCloses(int closes, std::chrono::milliseconds bound) const;

private:
    class Output;
    struct Queued {
        Output* output;
        platform::WaveHeader* header;
    };

    // The output's side.
    platform::WaveOutResult OnWrite(Output* output, platform::WaveHeader& header);
    void OnReset(Output* output);
    void OnClose(Output* output);

    // Held while a done callback runs, so that an output cannot close under
    // it; taken before m_lock.
    std::mutex m_deliver;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    platform::WaveOutResult m_openResult = platform::WaveOutResult::Ok;
    std::vector<platform::WaveFormat> m_opened;
    std::vector<std::vector<std::uint8_t>> m_writes;
    std::deque<Queued> m_queue;
    int m_resets = 0;
    int m_closes = 0;
    int m_open = 0;
};

}  // namespace test_support
