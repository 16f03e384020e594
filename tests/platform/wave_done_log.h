#pragma once

// Records the done callbacks of a sound output, for the wave output tests.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wave_out.h"

namespace wavetest {

class DoneLog {
public:
    platform::WaveDoneCallback Callback() {
        return [this](platform::WaveHeader& header) {
            std::lock_guard guard(m_lock);
            m_done.push_back(&header);
            m_threads.push_back(std::this_thread::get_id());
            m_changed.notify_all();
        };
    }

    // Waits in real time, up to bound, for count callbacks in all.
    bool WaitFor(std::size_t count, std::chrono::milliseconds bound) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, bound, [&] { return m_done.size() >= count; });
    }

    std::vector<platform::WaveHeader*> Done() {
        std::lock_guard guard(m_lock);
        return m_done;
    }
    std::vector<std::thread::id> Threads() {
        std::lock_guard guard(m_lock);
        return m_threads;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<platform::WaveHeader*> m_done;
    std::vector<std::thread::id> m_threads;
};

// Sample buffers with their headers, pointed at each other.
template <std::size_t N>
struct Buffers {
    explicit Buffers(std::uint32_t bytes) {
        for (std::size_t n = 0; n < N; ++n) {
            data[n].assign(bytes, static_cast<std::uint8_t>(n + 1));
            headers[n].data = data[n].data();
            headers[n].bufferLength = bytes;
        }
    }
    std::vector<std::uint8_t> data[N];
    platform::WaveHeader headers[N];
};

inline platform::WaveFormat Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return platform::WaveFormat{
        platform::kWaveFormatPcm, channels, rate, rate * align, align, bits, 0};
}

// Generous bound for what must happen because the test caused it.
constexpr std::chrono::milliseconds kPromptly{10000};

}  // namespace wavetest
