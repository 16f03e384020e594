#include "media/pre_alarm_ring.h"

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <new>
#include <stdexcept>

#include "core/state/app_global_state.h"
#include "media/media_state.h"
#include "media/recorder_feed.h"
#include "platform/byte_order.h"

static_assert(sizeof(FrameTime) == 16);
static_assert(offsetof(FrameMarkEntry, channel) == 18);
static_assert(offsetof(FrameMarkEntry, videoLoss) == 20);
static_assert(offsetof(FrameMarkEntry, storedAt) == 24);
static_assert(offsetof(FrameMarkEntry, timeValue) == 48);
static_assert(offsetof(FrameMarkEntry, height) == 54);
static_assert(sizeof(FrameMarkEntry) == FrameMarkEntry::kBytes);

namespace {

// Waits for a recorder's free semaphore; false when the end event came first
// or the thread was asked to stop.
bool TakeFree(platform::Semaphore& free, platform::Waitable* endEvent) {
    if (endEvent == nullptr)
        return free.Wait() == platform::WaitResult::Signaled;
    return platform::WaitForAny({endEvent, &free}, platform::kInfinite) == 1;
}

}  // namespace

FrameTime LocalFrameTime(std::chrono::system_clock::time_point when, bool withDayOfWeek) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return {};
    FrameTime t;
    t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    if (withDayOfWeek)
        t.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    t.day = static_cast<std::uint16_t>(local.tm_mday);
    t.hour = static_cast<std::uint16_t>(local.tm_hour);
    t.minute = static_cast<std::uint16_t>(local.tm_min);
    t.second = static_cast<std::uint16_t>(local.tm_sec);
    return t;
}

std::array<std::uint8_t, FrameMarkEntry::kBytes> FrameMarkEntry::ToBytes() const {
    std::array<std::uint8_t, kBytes> bytes{};
    platform::LeWriter out(bytes);
    out.U32(frameNumber);
    out.U32(length);
    out.U32(reserved8);
    out.U32(magic);
    out.U8(reserved16);
    out.U8(markByte);
    out.U8(channel);
    out.U8(reserved19);
    out.U32(videoLoss);
    for (std::uint16_t field :
         {storedAt.year, storedAt.month, storedAt.dayOfWeek, storedAt.day, storedAt.hour,
          storedAt.minute, storedAt.second, storedAt.milliseconds}) {
        out.U16(field);
    }
    out.U32(reserved40);
    out.U32(reserved44);
    out.U32(timeValue);
    out.U16(width);
    out.U16(height);
    return bytes;
}

bool CPreAlarmRing::Allocate() {
    if (!m_frames)
        m_frames.reset(new (std::nothrow) std::uint8_t[kSlots * kSlotBytes]());
    if (!m_entries)
        m_entries.reset(new (std::nothrow) FrameMarkEntry[kSlots]());
    if (!m_slotStates)
        m_slotStates.reset(new (std::nothrow) SlotState[kSlots]());
    return Allocated();
}

void CPreAlarmRing::Free() {
    m_entries.reset();
    m_slotStates.reset();
    m_frames.reset();
}

bool CPreAlarmRing::Allocated() const {
    return m_frames && m_entries && m_slotStates;
}

FeedResult CPreAlarmRing::Store(const Frame& frame, Recorders recorders,
                                platform::Waitable* endEvent) {
    if (!Allocated() || frame.jpeg.size() > kSlotBytes)
        return FeedResult::Refused;

    // Hold every recorder's free semaphore: none of them reads the ring
    // while it changes. On the end event, give back what was taken.
    std::array<platform::Semaphore*, kRecorders> held{};
    for (std::size_t i = 0; i < kRecorders; ++i) {
        platform::Semaphore* free = recorders[i]->FreeSemaphore();
        if (free == nullptr)
            continue;
        if (!TakeFree(*free, endEvent)) {
            for (platform::Semaphore* taken : held) {
                if (taken != nullptr)
                    taken->Release();
            }
            return FeedResult::Ended;
        }
        held[i] = free;
    }

    // The JPEG and its entry, at the write index.
    FrameMarkEntry& entry = m_entries[m_writeIndex];
    entry = FrameMarkEntry{};
    std::ranges::copy(frame.jpeg, m_frames.get() + std::size_t{m_writeIndex} * kSlotBytes);
    entry.length = static_cast<std::uint32_t>(frame.jpeg.size());
    entry.magic = FrameMarkEntry::kMagic;
    entry.channel = frame.channel;
    entry.videoLoss = frame.videoLoss ? 1 : 0;
    entry.storedAt =
        frame.storedAt ? *frame.storedAt : LocalFrameTime(std::chrono::system_clock::now());
    entry.timeValue = frame.timeValue;
    entry.width = frame.width;
    entry.height = frame.height;

    CountPreFrame();
    m_writeIndex = static_cast<std::uint16_t>((m_writeIndex + 1) % kSlots);

    // Hand over, in the recorders' order.
    for (std::size_t i = 0; i < kRecorders; ++i) {
        RecorderFeed* recorder = recorders[i];
        platform::Semaphore* free = held[i];
        if (free == nullptr)
            continue;
        if (!recorder->IsRecording()) {
            free->Release();
            continue;
        }
        recorder->CaptureBeforeHandOver(*this);
        platform::Semaphore* filled = recorder->FilledSemaphore();
        // A recorder that cannot be woken does not get this frame; it must
        // not hold up the next one either.
        if (filled == nullptr || !filled->Release())
            free->Release();
    }
    return FeedResult::Stored;
}

void CPreAlarmRing::CountPreFrame() {
    // The alarm recorder may restart the count from another thread meanwhile;
    // a restart is never undone by this increment.
    std::uint16_t count = m_preFrameCount.load();
    while (count < kPreFrameCountFull &&
           !m_preFrameCount.compare_exchange_weak(count, static_cast<std::uint16_t>(count + 1))) {
    }
}

std::uint16_t CPreAlarmRing::NewestSlot() const {
    return static_cast<std::uint16_t>((m_writeIndex + kSlots - 1) % kSlots);
}

CPreAlarmRing::SlotList CPreAlarmRing::PreAlarmFrames() const {
    SlotList list;
    list.count = std::min<std::size_t>(PreFrameCount(), kSlots);
    const std::size_t oldest = (m_writeIndex + kSlots - list.count) % kSlots;
    for (std::size_t i = 0; i < list.count; ++i) {
        list.slot[i] = static_cast<std::uint16_t>((oldest + i) % kSlots);
    }
    return list;
}

void CPreAlarmRing::CheckSlot(std::size_t slot) const {
    if (slot >= kSlots)
        throw std::out_of_range("pre-alarm ring slot out of range");
    if (!Allocated())
        throw std::logic_error("pre-alarm ring not allocated");
}

const FrameMarkEntry& CPreAlarmRing::Entry(std::size_t slot) const {
    CheckSlot(slot);
    return m_entries[slot];
}

std::span<const std::uint8_t> CPreAlarmRing::Jpeg(std::size_t slot) const {
    CheckSlot(slot);
    const std::size_t length = std::min<std::size_t>(m_entries[slot].length, kSlotBytes);
    return {m_frames.get() + slot * kSlotBytes, length};
}

CPreAlarmRing::SlotState CPreAlarmRing::GetSlotState(std::size_t slot) const {
    CheckSlot(slot);
    return m_slotStates[slot];
}

void CPreAlarmRing::SetSlotState(std::size_t slot, SlotState state) {
    CheckSlot(slot);
    m_slotStates[slot] = state;
}

FeedResult FeedPreAlarmRing(std::span<const std::uint8_t> jpeg, std::uint32_t timeValue,
                            bool videoLoss) {
    if (g_lpApp == nullptr)
        return FeedResult::Refused;
    AppGlobalState& app = *g_lpApp;
    MediaState& media = GetMediaState();

    CPreAlarmRing::Frame frame;
    frame.jpeg = jpeg;
    frame.timeValue = timeValue;
    frame.videoLoss = videoLoss;
    frame.channel = app.CSettingINI.m_bySelectedChannel;
    frame.width = app.w_ImageWidth;
    frame.height = app.w_ImageHeight;
    const auto recorders = media.RecorderFeeds();
    return media.C_PreAlarmRing.Store(frame, recorders, app.h_EndofGetJpegImageEvent.get());
}
