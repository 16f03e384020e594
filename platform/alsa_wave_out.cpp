#include "platform/alsa_wave_out.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <stop_token>
#include <vector>

#include "platform/poll_wait.h"
#include "platform/stop_token.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace platform {

namespace {

// How much sound the device holds ahead of what is audible. Enough to ride
// out a busy machine, short enough that a stopped alarm goes quiet at once.
constexpr unsigned kLatencyMicroseconds = 200'000;

// The feeding thread answers a reset or a stop within one pass of its loop;
// these bounds only guard against a device call that hangs.
constexpr std::chrono::milliseconds kResetBound{2000};
constexpr std::chrono::milliseconds kWorkerStopBound{2000};

void SetResult(WaveOutResult* result, WaveOutResult value) {
    if (result != nullptr) {
        *result = value;
    }
}

void Report(const char* what, int error) {
    std::fprintf(stderr, "kestrune: sound output: %s: %s\n", what, snd_strerror(error));
}

// ALSA prints its own diagnostics for every failed open (no card, no
// configuration) on stderr. The program reports what matters itself, so the
// library is kept quiet.
void QuietAlsaDiagnostics(const char*, int, const char*, int, const char*, ...) {}

void InstallQuietDiagnostics() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&QuietAlsaDiagnostics); });
}

class AlsaWaveOut final : public WaveOut {
public:
    AlsaWaveOut(const WaveFormat& format, WaveDoneCallback onDone, snd_pcm_t* pcm, int wakeFd)
        : WaveOut(format), m_onDone(std::move(onDone)), m_pcm(pcm), m_wakeFd(wakeFd) {}

    ~AlsaWaveOut() override {
        m_worker.Stop(kWorkerStopBound);
        snd_pcm_drop(m_pcm);
        {
            std::lock_guard guard(m_lock);
            for (WaveHeader* header : m_queue) {
                MarkDone(*header);
            }
            m_queue.clear();
        }
        snd_pcm_close(m_pcm);
        ::close(m_wakeFd);
    }

    bool Start() {
        return m_worker.Start([this] { return Run(); }, "alsa-wave");
    }

    WaveOutResult Write(WaveHeader& header) override {
        if (const WaveOutResult checked = CheckWritable(header); checked != WaveOutResult::Ok) {
            return checked;
        }
        {
            std::lock_guard guard(m_lock);
            if (m_failed) {
                return WaveOutResult::DeviceError;
            }
            MarkQueued(header);
            m_queue.push_back(&header);
        }
        Wake();
        return WaveOutResult::Ok;
    }

    WaveOutResult Reset() override {
        std::unique_lock guard(m_lock);
        const std::uint64_t wanted = m_resetsDone + 1;
        m_resetAsked = true;
        Wake();
        if (!m_resetDone.wait_for(guard, kResetBound, [&] { return m_resetsDone >= wanted; })) {
            std::fprintf(stderr, "kestrune: sound output: reset not answered\n");
            return WaveOutResult::DeviceError;
        }
        return WaveOutResult::Ok;
    }

private:
    void Wake() { SignalEventFd(m_wakeFd); }

    // Drops what the device holds and hands every queued buffer back.
    void DoReset() {
        snd_pcm_drop(m_pcm);
        if (const int error = snd_pcm_prepare(m_pcm); error < 0) {
            Report("prepare after reset", error);
        }
        std::deque<WaveHeader*> returned;
        {
            std::lock_guard guard(m_lock);
            returned.swap(m_queue);
            m_frontWritten = 0;
        }
        for (WaveHeader* header : returned) {
            MarkDone(*header);
            if (m_onDone) {
                m_onDone(*header);
            }
        }
        {
            std::lock_guard guard(m_lock);
            m_resetAsked = false;
            ++m_resetsDone;
        }
        m_resetDone.notify_all();
    }

    // Writes as much of the front buffer as the device takes now. Returns
    // false when the device has no room (wait for it) or has failed.
    bool WriteSome(WaveHeader& header, std::uint32_t written) {
        const std::uint32_t frameBytes = Format().blockAlign;
        const snd_pcm_uframes_t frames = (header.bufferLength - written) / frameBytes;
        snd_pcm_sframes_t result = snd_pcm_writei(m_pcm, header.data + written, frames);
        if (result == -EPIPE || result == -ESTRPIPE || result == -EINTR) {
            // An underrun (the feed fell behind), a suspend or a signal:
            // bring the stream back and go on where it stopped.
            const int recovered = snd_pcm_recover(m_pcm, static_cast<int>(result), 1);
            if (recovered == 0) {
                return true;
            }
            result = recovered;
        }
        if (result == -EAGAIN || result == 0) {
            return false;
        }
        if (result < 0) {
            Report("write", static_cast<int>(result));
            std::lock_guard guard(m_lock);
            m_failed = true;
            return false;
        }
        bool finished = false;
        {
            std::lock_guard guard(m_lock);
            m_frontWritten += static_cast<std::uint32_t>(result) * frameBytes;
            if (m_frontWritten >= header.bufferLength) {
                m_queue.pop_front();
                m_frontWritten = 0;
                finished = true;
            }
        }
        if (finished) {
            MarkDone(header);
            if (m_onDone) {
                m_onDone(header);
            }
        }
        return true;
    }

    std::uint32_t Run() {
        const std::stop_token token = CurrentStopToken();

        const int deviceFds = snd_pcm_poll_descriptors_count(m_pcm);
        std::vector<pollfd> fds(static_cast<std::size_t>(deviceFds > 0 ? deviceFds : 0));
        if (deviceFds > 0) {
            snd_pcm_poll_descriptors(m_pcm, fds.data(), static_cast<unsigned>(deviceFds));
        }

        while (!token.stop_requested()) {
            WaveHeader* front = nullptr;
            std::uint32_t written = 0;
            bool resetAsked = false;
            {
                std::lock_guard guard(m_lock);
                resetAsked = m_resetAsked;
                if (!m_failed && !m_queue.empty()) {
                    front = m_queue.front();
                    written = m_frontWritten;
                }
            }
            if (resetAsked) {
                DoReset();
                continue;
            }
            if (front != nullptr && WriteSome(*front, written)) {
                continue;
            }
            // Nothing to write, or no room: sleep until the device has room
            // (when there is something to write) or a caller wakes us.
            bool failed = false;
            {
                std::lock_guard guard(m_lock);
                failed = m_failed;
            }
            const std::size_t watched = (front != nullptr && !failed) ? fds.size() : 0;
            switch (PollWait(std::span(fds).first(watched), m_wakeFd, token, kInfinite)) {
                case PollWaitResult::Woken:
                    DrainEventFd(m_wakeFd);
                    break;
                case PollWaitResult::Failed: {
                    Report("poll", -errno);
                    std::lock_guard guard(m_lock);
                    m_failed = true;
                    break;
                }
                case PollWaitResult::Ready:
                case PollWaitResult::TimedOut:
                case PollWaitResult::Stopped:
                    break;
            }
        }
        return 0;
    }

    const WaveDoneCallback m_onDone;
    snd_pcm_t* const m_pcm;
    const int m_wakeFd;  // eventfd: Write, Reset and Stop wake the feeding thread through it

    std::mutex m_lock;
    std::condition_variable m_resetDone;
    std::deque<WaveHeader*> m_queue;   // front: the buffer being written
    std::uint32_t m_frontWritten = 0;  // bytes of the front buffer already in the device
    bool m_resetAsked = false;
    std::uint64_t m_resetsDone = 0;
    bool m_failed = false;
    Thread m_worker;
};

// Format, access, channels and rate, with ALSA converting and resampling when
// the hardware cannot take them directly. The stream starts with the first
// period written, so a single short buffer still plays.
int ConfigureDevice(snd_pcm_t* pcm, const WaveFormat& format) {
    const snd_pcm_format_t sampleFormat =
        format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    int error =
        snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels,
                           format.samplesPerSecond, 1, kLatencyMicroseconds);
    if (error < 0) {
        return error;
    }
    snd_pcm_uframes_t bufferSize = 0;
    snd_pcm_uframes_t periodSize = 0;
    if ((error = snd_pcm_get_params(pcm, &bufferSize, &periodSize)) < 0) {
        return error;
    }
    snd_pcm_sw_params_t* sw = nullptr;
    if ((error = snd_pcm_sw_params_malloc(&sw)) < 0) {
        return error;
    }
    error = snd_pcm_sw_params_current(pcm, sw);
    if (error >= 0) {
        error = snd_pcm_sw_params_set_start_threshold(pcm, sw, periodSize > 0 ? periodSize : 1);
    }
    if (error >= 0) {
        error = snd_pcm_sw_params(pcm, sw);
    }
    snd_pcm_sw_params_free(sw);
    return error;
}

}  // namespace

std::unique_ptr<WaveOut> OpenAlsaWaveOut(const std::string& device, const WaveFormat& format,
                                         WaveDoneCallback onDone, WaveOutResult* result) {
    if (!IsPlayablePcmFormat(format)) {
        SetResult(result, WaveOutResult::BadFormat);
        return nullptr;
    }
    InstallQuietDiagnostics();
    snd_pcm_t* pcm = nullptr;
    if (const int error =
            snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        error < 0) {
        SetResult(result, WaveOutResult::NoDevice);
        return nullptr;
    }
    if (const int error = ConfigureDevice(pcm, format); error < 0) {
        Report("format refused", error);
        snd_pcm_close(pcm);
        SetResult(result, WaveOutResult::DeviceError);
        return nullptr;
    }
    const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        Report("eventfd", -errno);
        snd_pcm_close(pcm);
        SetResult(result, WaveOutResult::DeviceError);
        return nullptr;
    }
    // From here the object owns the device and the descriptor.
    auto output = std::make_unique<AlsaWaveOut>(format, std::move(onDone), pcm, wakeFd);
    if (!output->Start()) {
        SetResult(result, WaveOutResult::DeviceError);
        return nullptr;
    }
    SetResult(result, WaveOutResult::Ok);
    return output;
}

}  // namespace platform
