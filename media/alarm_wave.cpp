#include "media/alarm_wave.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/state/app_global_state.h"
#include "media/wave_file.h"
#include "platform/program_folder.h"

namespace {

// A player wakes on the retire event, resets its output and ends; this bound
// only guards against an output that hangs.
constexpr std::chrono::milliseconds kRetireBound{3000};

constexpr const char* kFallbackWaveName = "alarm.wav";

void RetireBlock(const std::shared_ptr<AlarmPlayBlock>& block) {
    if (block && !block->gate.Retire(kRetireBound)) {
        // The block itself stays alive with its player (shared ownership).
        std::fprintf(stderr, "kestrune: the alarm sound's player did not stop in time\n");
    }
}

std::filesystem::path ProgramDir() {
    if (g_lpApp != nullptr) {
        const std::string dir = g_lpApp->CSettingINI.m_strProgramDir.Get();
        if (!dir.empty()) {
            return dir;
        }
    }
    return platform::ProgramFolder();
}

}  // namespace

bool AlarmPlayGate::Claim() {
    std::lock_guard guard(m_lock);
    if (m_retired || m_playing) {
        return false;
    }
    m_playing = true;
    return true;
}

void AlarmPlayGate::Release() {
    {
        std::lock_guard guard(m_lock);
        m_playing = false;
    }
    m_released.notify_all();
}

bool AlarmPlayGate::Retire(std::chrono::milliseconds bound) {
    std::unique_lock guard(m_lock);
    m_retired = true;
    m_retiredEvent.Set();
    return m_released.wait_for(guard, bound, [this] { return !m_playing; });
}

bool AlarmPlayGate::IsRetired() const {
    std::lock_guard guard(m_lock);
    return m_retired;
}

CAlarmWave::~CAlarmWave() {
    RetireBlock(m_playBlock);
}

int CAlarmWave::LoadWave(const std::string& path) {
    return Load(path, [] { return ProgramDir(); });
}

int CAlarmWave::LoadWave(const std::string& path, const std::filesystem::path& programDir) {
    return Load(path, [&programDir] { return programDir; });
}

int CAlarmWave::Load(const std::string& path,
                     const std::function<std::filesystem::path()>& programDir) {
    std::shared_ptr<AlarmPlayBlock> previous;
    {
        std::lock_guard guard(m_lock);
        m_strPath = path;
        previous = std::move(m_playBlock);
        m_playBlock.reset();
    }
    // The previous sound stops before its block goes; the block is freed
    // here unless a player that overran the bound still holds it.
    RetireBlock(previous);
    previous.reset();

    WaveFileContents contents = ReadWaveFile(path);
    if (contents.status == WaveReadStatus::CannotOpen) {
        contents = ReadWaveFile(programDir() / kFallbackWaveName);
    }
    if (contents.status != WaveReadStatus::Loaded) {
        return 0;
    }

    auto block = std::make_shared<AlarmPlayBlock>();
    block->format = contents.format;
    block->samples = std::move(contents.samples);
    {
        std::lock_guard guard(m_lock);
        previous = std::exchange(m_playBlock, std::move(block));
    }
    // Another thread's load may have finished in between: its block goes too.
    RetireBlock(previous);
    return 1;
}

void CAlarmWave::FillBuffer(AlarmPlayBlock& block, std::size_t n) {
    if (n >= kAlarmWaveBufferCount) {
        return;
    }
    platform::WaveHeader& header = block.headers[n];
    header.flags.fetch_and(~platform::kWaveHeaderDone, std::memory_order_acq_rel);

    std::uint8_t* out = block.buffers[n].data();
    const std::size_t length = block.samples.size();
    if (length == 0) {
        std::fill_n(out, kAlarmWaveBufferBytes, std::uint8_t{0});
    } else {
        // A sound shorter than a buffer repeats several times in it.
        std::size_t position = std::min<std::size_t>(block.playPosition, length);
        std::size_t filled = 0;
        while (filled < kAlarmWaveBufferBytes) {
            if (position == length) {
                position = 0;
            }
            const std::size_t piece = std::min(kAlarmWaveBufferBytes - filled, length - position);
            std::memcpy(out + filled, block.samples.data() + position, piece);
            filled += piece;
            position += piece;
        }
        block.playPosition = static_cast<std::uint32_t>(position);
    }

    header.data = out;
    header.bufferLength = kAlarmWaveBufferBytes;
}

std::shared_ptr<AlarmPlayBlock> CAlarmWave::CurrentBlock() const {
    std::lock_guard guard(m_lock);
    return m_playBlock;
}

void CAlarmWave::SetDoneEvent(std::shared_ptr<platform::Event> waveOutDone) {
    std::lock_guard guard(m_lock);
    if (m_playBlock) {
        m_playBlock->doneEvent.Store(std::move(waveOutDone));
    }
}

std::string CAlarmWave::Path() const {
    std::lock_guard guard(m_lock);
    return m_strPath;
}
