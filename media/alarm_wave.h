#pragma once

// The alarm sound: the samples of the wave file named by the "Trigger Wav
// Path" setting, kept with the play block that the alarm-sound playing thread
// (alarm_wave_player.h) feeds to the sound output in an endless loop.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "platform/wave_out.h"

inline constexpr std::size_t kAlarmWaveBufferCount = 8;
inline constexpr std::uint32_t kAlarmWaveBufferBytes = 8000;

// Lets one playing thread at a time hold a play block, and lets a newer load
// take the block out of play: retiring it wakes its player and waits until
// the player has let go, so that nothing the player uses is freed under it.
class AlarmPlayGate {
public:
    // False when the block has been retired or another thread plays it.
    bool Claim();
    void Release();

    // Wakes the player (RetiredEvent) and waits up to bound until it has let
    // go. True when no thread plays the block any more.
    bool Retire(std::chrono::milliseconds bound);
    bool IsRetired() const;

    // Set once the block is retired; the player waits on it besides its
    // done and stop events.
    platform::Event& RetiredEvent() { return m_retiredEvent; }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_released;
    bool m_playing = false;
    bool m_retired = false;
    platform::Event m_retiredEvent{true, false};
};

// An event handed from the thread that makes it to the threads that set it:
// whoever loads it holds a share, so it stays alive while it is being set,
// even when its maker replaces or closes its own handle meanwhile.
class SharedEventSlot {
public:
    void Store(std::shared_ptr<platform::Event> event) {
        std::lock_guard guard(m_lock);
        m_event = std::move(event);
    }
    std::shared_ptr<platform::Event> Load() const {
        std::lock_guard guard(m_lock);
        return m_event;
    }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<platform::Event> m_event;
};

// What one load of the alarm sound leaves for the playing thread.
struct AlarmPlayBlock {
    // The event the output's done callback sets; stored by the alarm-sound
    // handler before it starts the playing thread.
    SharedEventSlot doneEvent;
    platform::WaveFormat format;
    std::vector<std::uint8_t> samples;
    // Byte offset in samples from which the next buffer is filled. Only the
    // playing thread moves it.
    std::uint32_t playPosition = 0;
    // Header n describes buffer n.
    std::array<platform::WaveHeader, kAlarmWaveBufferCount> headers;
    std::array<std::array<std::uint8_t, kAlarmWaveBufferBytes>, kAlarmWaveBufferCount> buffers{};

    AlarmPlayGate gate;
};

class CAlarmWave {
public:
    CAlarmWave() = default;
    // Stops the current sound's player, if any, and lets go of its block.
    ~CAlarmWave();
    CAlarmWave(const CAlarmWave&) = delete;
    CAlarmWave& operator=(const CAlarmWave&) = delete;

    // Loads the wave file at path into a new play block and makes it
    // current; when path cannot be opened, "alarm.wav" in the program's
    // folder instead. The previous block is retired first: its player stops
    // and the block is freed once nothing uses it. Returns 1 when loaded; 0
    // when neither file opens or the file is not a playable wave file, and
    // then there is no current block.
    int LoadWave(const std::string& path);
    // The same with the folder of the fallback "alarm.wav" given.
    int LoadWave(const std::string& path, const std::filesystem::path& programDir);

    // Fills buffer n (0-7) with the next kAlarmWaveBufferBytes of the looping
    // sound, wrapping from the end of the samples to their start, points
    // header n at it with that length and clears the header's done flag. A
    // block without samples gets silence.
    static void FillBuffer(AlarmPlayBlock& block, std::size_t n);

    // The current play block; null before the first load and after a failed
    // one.
    std::shared_ptr<AlarmPlayBlock> CurrentBlock() const;
    // Stores the output's done event in the current block, which keeps a
    // share of it.
    void SetDoneEvent(std::shared_ptr<platform::Event> waveOutDone);
    // The file name last asked for.
    std::string Path() const;

private:
    // programDir is asked only when the fallback is needed.
    int Load(const std::string& path, const std::function<std::filesystem::path()>& programDir);

    mutable std::mutex m_lock;
    std::string m_strPath;
    std::shared_ptr<AlarmPlayBlock> m_playBlock;
};
