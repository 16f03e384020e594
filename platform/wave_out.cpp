#include "platform/wave_out.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "platform/alsa_wave_out.h"
#include "platform/null_wave_out.h"

namespace platform {

namespace {

std::atomic<WaveOutProvider*> g_provider{nullptr};

void SetResult(WaveOutResult* result, WaveOutResult value) {
    if (result != nullptr) {
        *result = value;
    }
}

}  // namespace

bool IsPlayablePcmFormat(const WaveFormat& format) {
    if (format.formatTag != kWaveFormatPcm) {
        return false;
    }
    if (format.channels < 1 || format.channels > 2) {
        return false;
    }
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) {
        return false;
    }
    if (format.samplesPerSecond < kMinSamplesPerSecond ||
        format.samplesPerSecond > kMaxSamplesPerSecond) {
        return false;
    }
    const std::uint32_t frameBytes = format.channels * (format.bitsPerSample / 8u);
    // The rate is at most 384,000 and a frame at most 4 bytes: no overflow.
    return format.blockAlign == frameBytes &&
           format.averageBytesPerSecond == format.samplesPerSecond * frameBytes;
}

WaveOut::~WaveOut() = default;

WaveOutResult WaveOut::Prepare(WaveHeader& header) const {
    if ((header.flags.load(std::memory_order_acquire) & kWaveHeaderInQueue) != 0) {
        return WaveOutResult::StillQueued;
    }
    if (header.data == nullptr || header.bufferLength == 0 ||
        header.bufferLength % m_format.blockAlign != 0) {
        return WaveOutResult::BadHeader;
    }
    header.flags.fetch_or(kWaveHeaderPrepared, std::memory_order_acq_rel);
    return WaveOutResult::Ok;
}

WaveOutResult WaveOut::CheckWritable(const WaveHeader& header) {
    const std::uint32_t flags = header.flags.load(std::memory_order_acquire);
    if ((flags & kWaveHeaderPrepared) == 0) {
        return WaveOutResult::Unprepared;
    }
    if ((flags & kWaveHeaderInQueue) != 0) {
        return WaveOutResult::StillQueued;
    }
    return WaveOutResult::Ok;
}

namespace {

void SetAndClearFlags(WaveHeader& header, std::uint32_t set, std::uint32_t clear) {
    std::uint32_t flags = header.flags.load(std::memory_order_relaxed);
    while (!header.flags.compare_exchange_weak(flags, (flags | set) & ~clear,
                                               std::memory_order_acq_rel)) {
    }
}

}  // namespace

void WaveOut::MarkQueued(WaveHeader& header) {
    SetAndClearFlags(header, kWaveHeaderInQueue, kWaveHeaderDone);
}

void WaveOut::MarkDone(WaveHeader& header) {
    // Release order: whoever sees the done flag may reuse the bytes the
    // output has finished reading.
    SetAndClearFlags(header, kWaveHeaderDone, kWaveHeaderInQueue);
}

WaveOutProvider::~WaveOutProvider() = default;

WaveOutProvider* SetWaveOutProvider(WaveOutProvider* provider) {
    return g_provider.exchange(provider, std::memory_order_acq_rel);
}

std::unique_ptr<WaveOut> OpenWaveOut(const WaveFormat& format, WaveDoneCallback onDone,
                                     WaveOutResult* result) {
    if (WaveOutProvider* provider = g_provider.load(std::memory_order_acquire)) {
        return provider->Open(format, std::move(onDone), result);
    }
    return OpenSystemWaveOut("default", format, std::move(onDone), result);
}

std::unique_ptr<WaveOut> OpenSystemWaveOut(const std::string& alsaDevice, const WaveFormat& format,
                                           WaveDoneCallback onDone, WaveOutResult* result) {
    if (!IsPlayablePcmFormat(format)) {
        SetResult(result, WaveOutResult::BadFormat);
        return nullptr;
    }
    WaveOutResult opened = WaveOutResult::Ok;
    if (auto alsa = OpenAlsaWaveOut(alsaDevice, format, onDone, &opened)) {
        SetResult(result, WaveOutResult::Ok);
        return alsa;
    }
    if (opened != WaveOutResult::NoDevice) {
        SetResult(result, opened);
        return nullptr;
    }
    // Said once: every alarm would otherwise repeat it.
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fprintf(stderr, "kestrune: no sound device \"%s\"; sounds play silently\n",
                     alsaDevice.c_str());
    }
    try {
        auto silent =
            std::make_unique<NullWaveOut>(format, std::move(onDone), NullWaveOut::Pace::RealTime);
        SetResult(result, WaveOutResult::Ok);
        return silent;
    } catch (const std::runtime_error&) {
        SetResult(result, WaveOutResult::DeviceError);
        return nullptr;
    }
}

}  // namespace platform
