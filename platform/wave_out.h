#pragma once

// Sound output for PCM samples, in the shape the alarm-sound player needs:
// open with a format, queue buffers described by headers, learn through a
// callback when the output is done with each buffer, reset and close.
//
// Three outputs stand behind the interface: the system's sound device
// (ALSA, alsa_wave_out.h), a null output that consumes buffers at the
// format's pace without making a sound (null_wave_out.h), used when no sound
// device exists, and a recording output the tests keep with their own
// support code.
// OpenWaveOut picks one.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// The only format tag the outputs take: integer PCM.
inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The PCM format of a sound, as a wave file's format chunk gives it.
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;

    friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// Sample rates outside this range are not sounds anyone means to play.
inline constexpr std::uint32_t kMinSamplesPerSecond = 1'000;
inline constexpr std::uint32_t kMaxSamplesPerSecond = 384'000;

// True for a format every output can play: tag PCM, 1 or 2 channels, 8 or
// 16 bits, a rate within the range above, and a block alignment and byte
// rate that agree with the rest.
bool IsPlayablePcmFormat(const WaveFormat& format);

// Header flags.
inline constexpr std::uint32_t kWaveHeaderDone = 0x01;      // the output is done with it
inline constexpr std::uint32_t kWaveHeaderPrepared = 0x02;  // Prepare accepted it
inline constexpr std::uint32_t kWaveHeaderInQueue = 0x10;   // queued, not yet done

// One buffer handed to an output. The caller owns the header and the bytes
// and must not touch either while the header is queued (kWaveHeaderInQueue);
// the output sets kWaveHeaderDone, clears kWaveHeaderInQueue and then calls
// the done callback. Flags are atomic so that the caller may look at them
// from its own thread.
struct WaveHeader {
    const std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;
    std::atomic<std::uint32_t> flags{0};
};

enum class WaveOutResult {
    Ok,
    BadFormat,    // the format is not one IsPlayablePcmFormat accepts
    NoDevice,     // the sound device cannot be opened
    DeviceError,  // the device refused the format or failed
    BadHeader,    // no data, a length that is not whole sample frames
    Unprepared,   // Write of a header Prepare has not accepted
    StillQueued,  // the header is queued already
};

// Called once for every queued buffer the output is done with, after its
// flags say so. It runs on a thread of the output (or on the thread that
// calls Reset) and must not call back into the output. No call comes after
// the output has been destroyed.
using WaveDoneCallback = std::function<void(WaveHeader&)>;

class WaveOut {
public:
    explicit WaveOut(const WaveFormat& format) : m_format(format) {}
    // Closing: buffers still queued are marked done without a callback.
    virtual ~WaveOut();
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    const WaveFormat& Format() const { return m_format; }

    // Checks that the header describes whole sample frames of this format
    // and marks it prepared. A queued header is refused.
    WaveOutResult Prepare(WaveHeader& header) const;

    // Queues a prepared header behind those already queued and returns at
    // once; the buffers play in the order they were queued.
    virtual WaveOutResult Write(WaveHeader& header) = 0;

    // Stops playing and hands every queued buffer back: each is marked done
    // and its callback runs before Reset returns. The output stays open.
    virtual WaveOutResult Reset() = 0;

protected:
    // The checks of Write common to every output: prepared, not yet queued.
    static WaveOutResult CheckWritable(const WaveHeader& header);
    // Marks a header queued (in-queue set, done cleared).
    static void MarkQueued(WaveHeader& header);
    // Marks a queued header done (done set, in-queue cleared).
    static void MarkDone(WaveHeader& header);

private:
    WaveFormat m_format;
};

// Opens sound outputs; tests install their own through SetWaveOutProvider.
class WaveOutProvider {
public:
    virtual ~WaveOutProvider();
    // The output for format, or nullptr with *result saying why.
    virtual std::unique_ptr<WaveOut> Open(const WaveFormat& format, WaveDoneCallback onDone,
                                          WaveOutResult* result) = 0;
};

// Installs a provider (nullptr = the system's) and returns the previous one
// (nullptr when the system's was in use). The caller keeps the provider alive
// while it is installed.
WaveOutProvider* SetWaveOutProvider(WaveOutProvider* provider);

// Opens an output through the installed provider or, when none is installed,
// the system's: ALSA's "default" device, or the null output at real-time pace
// when that device cannot be opened (no sound hardware, as on build
// machines). nullptr when the format is not playable or the device refused
// it; *result (when given) tells which.
std::unique_ptr<WaveOut> OpenWaveOut(const WaveFormat& format, WaveDoneCallback onDone,
                                     WaveOutResult* result = nullptr);

// The system's choice above for a named ALSA device.
std::unique_ptr<WaveOut> OpenSystemWaveOut(const std::string& alsaDevice, const WaveFormat& format,
                                           WaveDoneCallback onDone,
                                           WaveOutResult* result = nullptr);

// Installs a provider for its lifetime and restores the previous one.
class ScopedWaveOutProvider {
public:
    explicit ScopedWaveOutProvider(WaveOutProvider& provider)
        : m_previous(SetWaveOutProvider(&provider)) {}
    ~ScopedWaveOutProvider() { SetWaveOutProvider(m_previous); }
    ScopedWaveOutProvider(const ScopedWaveOutProvider&) = delete;
    ScopedWaveOutProvider& operator=(const ScopedWaveOutProvider&) = delete;

private:
    WaveOutProvider* m_previous;
};

}  // namespace platform
