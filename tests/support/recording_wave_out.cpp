#include "tests/support/recording_wave_out.h"

#include <algorithm>

namespace test_support {

class RecordingWaveOut::Output final : public platform::WaveOut {
public:
    Output(RecordingWaveOut& owner, const platform::WaveFormat& format,
           platform::WaveDoneCallback onDone)
        : platform::WaveOut(format), m_owner(owner), m_onDone(std::move(onDone)) {}
    ~Output() override { m_owner.OnClose(this); }

    platform::WaveOutResult Write(platform::WaveHeader& header) override {
        if (const platform::WaveOutResult checked = CheckWritable(header);
            checked != platform::WaveOutResult::Ok) {
            return checked;
        }
        return m_owner.OnWrite(this, header);
    }

    platform::WaveOutResult Reset() override {
        m_owner.OnReset(this);
        return platform::WaveOutResult::Ok;
    }

    void Deliver(platform::WaveHeader& header) {
        MarkDone(header);
        if (m_onDone) {
            m_onDone(header);
        }
    }

    static void Queue(platform::WaveHeader& header) { MarkQueued(header); }
    static void Drop(platform::WaveHeader& header) { MarkDone(header); }

private:
    RecordingWaveOut& m_owner;
    const platform::WaveDoneCallback m_onDone;
};

std::unique_ptr<platform::WaveOut> RecordingWaveOut::Open(const platform::WaveFormat& format,
                                                          platform::WaveDoneCallback onDone,
                                                          platform::WaveOutResult* result) {
    std::lock_guard guard(m_lock);
    platform::WaveOutResult outcome = m_openResult;
    if (outcome == platform::WaveOutResult::Ok && !IsPlayablePcmFormat(format)) {
        outcome = platform::WaveOutResult::BadFormat;
    }
    if (result != nullptr) {
        *result = outcome;
    }
    if (outcome != platform::WaveOutResult::Ok) {
        return nullptr;
    }
    m_opened.push_back(format);
    ++m_open;
    m_changed.notify_all();
    return std::make_unique<Output>(*this, format, std::move(onDone));
}

void RecordingWaveOut::SetOpenResult(platform::WaveOutResult result) {
    std::lock_guard guard(m_lock);
    m_openResult = result;
}

platform::WaveOutResult RecordingWaveOut::OnWrite(Output* output, platform::WaveHeader& header) {
    std::lock_guard guard(m_lock);
    m_writes.emplace_back(header.data, header.data + header.bufferLength);
    Output::Queue(header);
    m_queue.push_back(Queued{output, &header});
    m_changed.notify_all();
    return platform::WaveOutResult::Ok;
}

void RecordingWaveOut::OnReset(Output* output) {
    std::lock_guard deliver(m_deliver);
    std::vector<platform::WaveHeader*> returned;
    {
        std::lock_guard guard(m_lock);
        ++m_resets;
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            if (it->output == output) {
                returned.push_back(it->header);
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
        m_changed.notify_all();
    }
    for (platform::WaveHeader* header : returned) {
        output->Deliver(*header);
    }
}

void RecordingWaveOut::OnClose(Output* output) {
    std::lock_guard deliver(m_deliver);
    std::lock_guard guard(m_lock);
    for (const Queued& queued : m_queue) {
        if (queued.output == output) {
            Output::Drop(*queued.header);
        }
    }
    std::erase_if(m_queue, [output](const Queued& queued) { return queued.output == output; });
    ++m_closes;
    --m_open;
    m_changed.notify_all();
}

bool RecordingWaveOut::CompleteNext() {
    std::lock_guard deliver(m_deliver);
    Queued next{};
    {
        std::lock_guard guard(m_lock);
        if (m_queue.empty()) {
            return false;
        }
        next = m_queue.front();
        m_queue.pop_front();
        m_changed.notify_all();
    }
    next.output->Deliver(*next.header);
    return true;
}

std::vector<platform::WaveFormat> RecordingWaveOut::OpenedFormats() const {
    std::lock_guard guard(m_lock);
    return m_opened;
}

std::vector<std::vector<std::uint8_t>> RecordingWaveOut::Writes() const {
    std::lock_guard guard(m_lock);
    return m_writes;
}

std::size_t RecordingWaveOut::WriteCount() const {
    std::lock_guard guard(m_lock);
    return m_writes.size();
}

std::size_t RecordingWaveOut::Pending() const {
    std::lock_guard guard(m_lock);
    return m_queue.size();
}

int RecordingWaveOut::ResetCount() const {
    std::lock_guard guard(m_lock);
    return m_resets;
}

int RecordingWaveOut::CloseCount() const {
    std::lock_guard guard(m_lock);
    return m_closes;
}

int RecordingWaveOut::OpenCount() const {
    std::lock_guard guard(m_lock);
    return m_open;
}

bool RecordingWaveOut::WaitForWrites(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, bound, [&] { return m_writes.size() >= count; });
}

bool RecordingWaveOut::WaitForCloses(int closes, std::chrono::milliseconds bound) const {
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, bound, [&] { return m_closes >= closes; });
}

}  // namespace test_support
