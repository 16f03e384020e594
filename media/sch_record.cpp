#include "media/sch_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <limits>
#include <new>
#include <string>

#include "core/state/app_global_state.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/posix_io.h"

namespace {

using Wake = RecorderHandOver::Wake;

constexpr int kMaxNameSuffix = 999;
constexpr std::size_t kEntryBytes = FrameMarkEntry::kBytes;
constexpr std::uint8_t kRecordOption4 = 4;

// Seconds since the computer started, as the block's start and end state
// them (the program's tick source, so tests can fix it).
std::uint32_t UptimeSeconds() {
    return static_cast<std::uint32_t>(platform::TickCount64() / 1000);
}

}  // namespace

std::array<std::uint8_t, kCaptureBlockBytes> CaptureBlock::ToBytes() const {
    std::array<std::uint8_t, kCaptureBlockBytes> bytes{};
    platform::StoreLe32(bytes, 0, frameCount);
    platform::StoreLe32(bytes, 4, startSeconds);
    platform::StoreLe32(bytes, 8, endSeconds);
    std::copy(deviceAddress.begin(), deviceAddress.end(), bytes.begin() + 12);
    bytes[16] = captureFlag;
    bytes[17] = kind;
    const std::array<std::uint16_t, 8> time{firstFrameTime.year,      firstFrameTime.month,
                                            firstFrameTime.dayOfWeek, firstFrameTime.day,
                                            firstFrameTime.hour,      firstFrameTime.minute,
                                            firstFrameTime.second,    firstFrameTime.milliseconds};
    for (std::size_t i = 0; i < time.size(); ++i) {
        platform::StoreLe16(bytes, 48 + 2 * i, time[i]);
    }
    platform::StoreLe32(bytes, 68, marker);
    return bytes;
}

// ---- the feed --------------------------------------------------------------------

platform::Semaphore* CSchRecord::ScheduleFeed::FreeSemaphore() {
    return m_owner.m_handOver.FreeSemaphore();
}

platform::Semaphore* CSchRecord::ScheduleFeed::FilledSemaphore() {
    return m_owner.m_handOver.FilledSemaphore();
}

bool CSchRecord::ScheduleFeed::IsRecording() const {
    return m_owner.m_handOver.IsRecording();
}

void CSchRecord::ScheduleFeed::CaptureBeforeHandOver(const CPreAlarmRing& ring) {
    std::lock_guard lock(m_owner.m_lock);
    if (m_owner.m_fd.Valid() && m_owner.m_block.captureFlag == kCaptureArmed) {
        m_owner.CaptureFrom(ring.Entry(ring.NewestSlot()));
    }
}

// ---- set-up and tear-down ----------------------------------------------------------

CSchRecord::CSchRecord(CPreAlarmRing* ring)
    : m_ring(ring), m_clock([] { return std::chrono::system_clock::now(); }) {}

CSchRecord::~CSchRecord() {
    m_handOver.StopThread(std::chrono::milliseconds(100));
    std::lock_guard lock(m_lock);
    if (m_fd.Valid() && !CloseFile()) {
        AbandonFile();
    }
}

int CSchRecord::AllocateBuffer() {
    std::lock_guard lock(m_lock);
    try {
        m_index.reserve(std::size_t{m_maxFramesPerFile} * kRecIndexEntryBytes + 4);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

int CSchRecord::FreeBuffer() {
    std::lock_guard lock(m_lock);
    if (!m_fd.Valid()) {
        std::vector<std::uint8_t>().swap(m_index);
    }
    return 1;
}

int CSchRecord::CreateResource() {
    return m_handOver.CreateResources() ? 1 : 0;
}

int CSchRecord::CloseResource() {
    m_handOver.CloseResources();
    return 1;
}

int CSchRecord::CreateThread(platform::Event* endEvent) {
    if (m_ring == nullptr) {
        return 0;
    }
    const bool started =
        m_handOver.StartThread([this](const RecorderHandOver::ResourcesPtr& r,
                                      platform::Event* end) { return Sch_Record_Thread(r, end); },
                               "schrecord", endEvent);
    return started ? 1 : 0;
}

int CSchRecord::ExitThread() {
    m_handOver.StopThread(kThreadStopWait);
    return 1;
}

void CSchRecord::SetWallClock(WallClock clock) {
    std::lock_guard lock(m_lock);
    m_clock = std::move(clock);
}

void CSchRecord::SetCloseWait(std::chrono::milliseconds wait) {
    std::lock_guard lock(m_lock);
    m_closeWait = wait;
}

void CSchRecord::SetMaxFramesPerFile(std::uint32_t frames) {
    std::lock_guard lock(m_lock);
    m_maxFramesPerFile = std::clamp<std::uint32_t>(frames, 1, kMaxFramesPerFile);
}

// ---- the schedule and the stop ------------------------------------------------------

int CSchRecord::SetScheduleSlot(std::size_t index, const ScheduleSlot& slot) {
    if (index >= kSlots) {
        return 0;
    }
    std::lock_guard lock(m_lock);
    m_slots[index] = slot;
    return 1;
}

ScheduleSlot CSchRecord::GetScheduleSlot(std::size_t index) const {
    if (index >= kSlots) {
        return {};
    }
    std::lock_guard lock(m_lock);
    return m_slots[index];
}

CaptureBlock CSchRecord::GetCaptureBlock() const {
    std::lock_guard lock(m_lock);
    return m_block;
}

std::filesystem::path CSchRecord::CurrentFile() const {
    std::lock_guard lock(m_lock);
    return m_path;
}

int CSchRecord::StopRecord() {
    RecorderHandOver::ResourcesPtr taking;
    std::chrono::milliseconds wait{};
    {
        std::lock_guard lock(m_lock);
        if (!m_fd.Valid() || !m_taking) {
            return 1;
        }
        taking = m_taking;
        wait = m_closeWait;
        taking->closed.Reset();
        taking->stop.Set();
    }
    taking->closed.Wait(wait);
    return 1;
}

// ---- the thread ------------------------------------------------------------------------

std::optional<std::size_t> CSchRecord::ActiveSlot(std::chrono::system_clock::time_point now) const {
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const ScheduleSlot& slot = m_slots[i];
        if (slot.enabled && slot.start <= now && now <= slot.end) {
            return i;
        }
    }
    return std::nullopt;
}

std::uint32_t CSchRecord::Sch_Record_Thread(const RecorderHandOver::ResourcesPtr& resources,
                                            platform::Event* endEvent) {
    Resources& r = *resources;
    for (;;) {
        // Between recordings: look at the schedule once a second.
        const bool ended = endEvent != nullptr
                               ? endEvent->Wait(kSlotCheckInterval) != platform::WaitResult::Timeout
                               : !platform::Sleep(kSlotCheckInterval);
        if (ended) {
            return 0;
        }
        bool opened = false;
        {
            std::lock_guard lock(m_lock);
            const auto slot = ActiveSlot(m_clock());
            if (!slot) {
                continue;
            }
            m_slot = *slot;
            m_failure = Failure::None;
            opened = OpenFile();
            if (opened) {
                m_framesRecorded = 0;
                m_taking = resources;
                r.stop.Reset();
                m_fActive = true;
                m_handOver.Activate();
            }
        }
        if (!opened) {
            platform::ShowMessageBox(0, std::string(kScheduleFileFailedText), platform::kMbOk);
            return 0;
        }

        Wake wake = Wake::Frame;
        bool written = true;
        bool slotOver = false;
        while (written && !slotOver &&
               (wake = RecorderHandOver::WaitForFrame(r, endEvent, false)) == Wake::Frame) {
            {
                std::lock_guard lock(m_lock);
                written = WriteFrames(slotOver);
            }
            RecorderHandOver::FrameDone(r);
        }

        m_handOver.Deactivate(r, endEvent);
        Failure failure = Failure::None;
        {
            std::lock_guard lock(m_lock);
            m_taking.reset();
            if (!written) {
                AbandonFile();
            } else if (m_fd.Valid() && !CloseFile()) {
                m_failure = Failure::Write;
            }
            failure = m_failure;
            m_fActive = false;
        }
        r.closed.Set();
        if (failure == Failure::Create) {
            platform::ShowMessageBox(0, std::string(kScheduleFileFailedText), platform::kMbOk);
            return 0;
        }
        if (failure == Failure::Write) {
            ReportRecordFailure(true);
            return 0;
        }
        if (wake == Wake::End) {
            return 0;
        }
    }
}

bool CSchRecord::OpenFile() {
    if (g_lpApp == nullptr) {
        return false;
    }
    const std::filesystem::path folder(g_lpApp->CSettingINI.m_strRecordPath.Get());
    if (folder.empty()) {
        return false;
    }
    try {
        m_index.reserve(std::size_t{m_maxFramesPerFile} * kRecIndexEntryBytes + 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A name already taken (two files within one second) gets a suffix; an
    // older recording is never replaced.
    const std::string stem = ScheduleRecordFileStem(LocalRecordTime(m_clock()));
    for (int n = 1; n <= kMaxNameSuffix && !m_fd.Valid(); ++n) {
        std::string name = stem;
        if (n > 1) {
            name += "_" + std::to_string(n);
        }
        name += kScheduleFileExtension;
        const std::filesystem::path path = folder / name;
        m_fd.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (m_fd.Valid()) {
            m_path = path;
        } else if (errno != EEXIST) {
            return false;
        }
    }
    if (!m_fd.Valid()) {
        return false;
    }
    m_block = CaptureBlock{};
    m_block.startSeconds = UptimeSeconds();
    m_block.endSeconds = m_block.startSeconds;
    m_block.kind = kRecordedKind;
    ArmCapture();
    m_length = 0;
    m_frameCount = 0;
    m_index.clear();
    if (!platform::WriteAllAt(m_fd.Get(), m_block.ToBytes(), 0)) {
        AbandonFile();
        return false;
    }
    m_length = kCaptureBlockBytes;
    return true;
}

bool CSchRecord::WriteFrames(bool& slotOver) {
    try {
        const std::uint16_t newest = m_ring->NewestSlot();
        if (m_frameCount == 0) {
            // The file starts at the newest stored slot in the first-frame
            // state, when there is one, else with the newest frame.
            std::size_t back = 0;
            for (std::size_t d = 0; d < CPreAlarmRing::kSlots; ++d) {
                const std::size_t slot =
                    (newest + CPreAlarmRing::kSlots - d) % CPreAlarmRing::kSlots;
                if (m_ring->Entry(slot).magic != FrameMarkEntry::kMagic) {
                    break;  // never stored
                }
                if (m_ring->GetSlotState(slot).first == kFirstFrameSlotState) {
                    back = d;
                    break;
                }
            }
            for (std::size_t d = back + 1; d-- > 0;) {
                if (!WriteFrame((newest + CPreAlarmRing::kSlots - d) % CPreAlarmRing::kSlots)) {
                    return false;
                }
            }
        } else {
            const std::uint32_t state = m_ring->GetSlotState(newest).first;
            const std::uint64_t frameBytes = kEntryBytes + m_ring->Jpeg(newest).size();
            const bool split = (m_frameCount >= kSplitAfterFrames && state == kSplitSlotState) ||
                               m_frameCount >= m_maxFramesPerFile ||
                               m_length + frameBytes > std::numeric_limits<std::uint32_t>::max();
            if (split) {
                if (!CloseFile()) {
                    m_failure = Failure::Write;
                    return false;
                }
                if (!OpenFile()) {
                    m_failure = Failure::Create;
                    return false;
                }
                // The feed filled the block for the file just closed; this
                // frame is the first of the new one.
                CaptureFrom(m_ring->Entry(newest));
            }
            if (!WriteFrame(newest)) {
                return false;
            }
        }
        ++m_framesRecorded;
        if (m_framesRecorded % kEndCheckFrames == 0 && m_clock() > m_slots[m_slot].end) {
            slotOver = true;
        }
        return true;
    } catch (const std::exception&) {
        m_failure = Failure::Write;
        return false;
    }
}

bool CSchRecord::WriteFrame(std::size_t ringSlot) {
    FrameMarkEntry entry = m_ring->Entry(ringSlot);
    const std::span<const std::uint8_t> jpeg = m_ring->Jpeg(ringSlot);
    entry.frameNumber = m_frameCount + 1;
    const std::uint64_t offset = m_length;
    if (offset + kEntryBytes + jpeg.size() > std::numeric_limits<std::uint32_t>::max() ||
        m_frameCount >= kMaxFramesPerFile) {
        m_failure = Failure::Write;
        return false;
    }
    const auto bytes = entry.ToBytes();
    if (!platform::WriteAllAt(m_fd.Get(), bytes, offset) ||
        !platform::WriteAllAt(m_fd.Get(), jpeg, offset + kEntryBytes)) {
        m_failure = Failure::Write;
        return false;
    }
    platform::LeWriter index(m_index);
    index.U32(m_frameCount == 0 ? 0 : static_cast<std::uint32_t>(offset));
    index.U32(m_ring->GetSlotState(ringSlot).first);
    m_length = offset + kEntryBytes + jpeg.size();
    ++m_frameCount;
    return true;
}

bool CSchRecord::CloseFile() {
    if (!m_fd.Valid()) {
        return true;
    }
    m_block.frameCount = m_frameCount;
    m_block.endSeconds = UptimeSeconds();
    std::vector<std::uint8_t>& tail = m_index;
    platform::LeWriter(tail).U32(m_frameCount);
    const bool ok = platform::WriteAllAt(m_fd.Get(), m_block.ToBytes(), 0) &&
                    platform::WriteAllAt(m_fd.Get(), tail, m_length);
    if (!ok) {
        AbandonFile();
        return false;
    }
    m_fd.Reset();
    m_path.clear();
    m_index.clear();
    ArmCapture();
    return true;
}

void CSchRecord::AbandonFile() {
    if (!m_fd.Valid()) {
        return;
    }
    // Keep the whole frames; the block says 0 frames and there is no index,
    // as in a file whose recording was cut off.
    if (m_length >= kCaptureBlockBytes &&
        ::ftruncate(m_fd.Get(), static_cast<off_t>(m_length)) == 0) {
        m_block.frameCount = 0;
        platform::WriteAllAt(m_fd.Get(), m_block.ToBytes(), 0);
    }
    m_fd.Reset();
    m_path.clear();
    m_index.clear();
    ArmCapture();
}

void CSchRecord::CaptureFrom(const FrameMarkEntry& entry) {
    // The start, the end and the kind belong to the file and stay.
    CaptureBlock block;
    block.startSeconds = m_block.startSeconds;
    block.endSeconds = m_block.endSeconds;
    block.kind = m_block.kind;
    if (g_lpApp != nullptr) {
        RecFileHeader identity;
        SetHeaderIdentity(identity, g_lpApp->CSettingINI.m_strServerName.Get(), {});
        block.deviceAddress = identity.deviceAddress;
        block.marker =
            g_lpApp->b_RecordOptions[0] == kRecordOption4 ? kCaptureMarkerOption4 : kCaptureMarker;
    } else {
        block.marker = kCaptureMarker;
    }
    block.firstFrameTime = entry.storedAt;
    block.captureFlag = 0;
    m_block = block;
}

void CSchRecord::ArmCapture() {
    m_block.captureFlag = kCaptureArmed;
}
