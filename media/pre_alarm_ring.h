#pragma once

// The pre-alarm ring: the last 20 JPEG frames of the live stream, each with
// the FrameMarkEntry that describes it.
//
// The compose thread stores every frame it passes on (FeedPreAlarmRing); the
// recorders take their frames from the ring alone: the newest frame for each
// frame they write and, when an alarm recording starts, the frames stored
// before the alarm. Storing a frame is also the hand-over to the recorders
// (see recorder_feed.h): it waits until every recorder has finished with the
// previous frame, then wakes each recorder that is recording. The ring has no
// lock of its own; the recorders' semaphore pairs order every access.
//
// The blocks are allocated once at start-up and freed at exit; storing a
// frame allocates nothing and copies the JPEG once. The stored frames and the
// write index live across logins.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/sync.h"

class RecorderFeed;

// Local wall-clock time of storing a frame; day of week and milliseconds
// are kept 0.
struct FrameTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// The local time of `when`, as the ring stamps its entries (day of week 0)
// or, with the day of week, as a record file states it.
FrameTime LocalFrameTime(std::chrono::system_clock::time_point when, bool withDayOfWeek = false);

// The 56-byte description of one stored frame. The schedule recorder writes
// it into its files byte for byte (ToBytes), and the recorders copy it into
// their frame marks.
struct FrameMarkEntry {
    static constexpr std::uint32_t kMagic = 0x01234567;

    std::uint32_t frameNumber = 0;  // 0 in the ring; a recorder numbers its copy
    std::uint32_t length = 0;       // bytes of the JPEG
    std::uint32_t reserved8 = 0;
    std::uint32_t magic = 0;  // kMagic in a stored entry
    std::uint8_t reserved16 = 0;
    std::uint8_t markByte = 0;  // 0; copied into the record file's frame mark
    std::uint8_t channel = 0;   // the "Selected Channel" setting when stored
    std::uint8_t reserved19 = 0;
    std::uint32_t videoLoss = 0;  // 1 when the stream reported video loss
    FrameTime storedAt;
    std::uint32_t reserved40 = 0;
    std::uint32_t reserved44 = 0;
    std::uint32_t timeValue = 0;  // the frame header's time value
    std::uint16_t width = 0;      // picture size when stored
    std::uint16_t height = 0;

    static constexpr std::size_t kBytes = 56;
    // The little-endian layout of the files.
    std::array<std::uint8_t, kBytes> ToBytes() const;
};

// What FeedPreAlarmRing did with a frame.
enum class FeedResult {
    Stored,   // stored and handed to the recorders
    Refused,  // not stored: the ring is not allocated or the JPEG does not fit a slot
    Ended,    // not stored: the end event was set (or the thread asked to stop)
              // while waiting for a recorder
};

class CPreAlarmRing {
public:
    static constexpr std::size_t kSlots = 20;
    static constexpr std::size_t kSlotBytes = 102'400;
    // The pre-frame count stops here: every slot was overwritten since the
    // count was last restarted.
    static constexpr std::uint16_t kPreFrameCountFull = kSlots + 1;
    // The alarm, user and schedule recorders, in this order.
    static constexpr std::size_t kRecorders = 3;
    using Recorders = std::span<RecorderFeed* const, kRecorders>;

    // One pair of values per slot, read by the schedule recorder; nothing
    // writes them (they stay 0).
    struct SlotState {
        std::uint32_t first = 0;
        std::uint32_t second = 0;
    };

    // What is stored with one frame besides its JPEG.
    struct Frame {
        std::span<const std::uint8_t> jpeg;  // the frame's own bytes
        std::uint32_t timeValue = 0;
        bool videoLoss = false;
        std::uint8_t channel = 0;
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        // Empty: the local time when the frame is stored, after the waits.
        std::optional<FrameTime> storedAt;
    };

    // Slots in the order a recorder writes them, oldest first.
    struct SlotList {
        std::array<std::uint16_t, kSlots> slot{};
        std::size_t count = 0;
        std::span<const std::uint16_t> Slots() const { return {slot.data(), count}; }
    };

    CPreAlarmRing() = default;
    CPreAlarmRing(const CPreAlarmRing&) = delete;
    CPreAlarmRing& operator=(const CPreAlarmRing&) = delete;

    // Allocates each block that is still missing (frame store, entry table,
    // slot states), cleared. False when one could not be allocated; what was
    // allocated stays, for Free.
    bool Allocate();
    // Frees the blocks that exist; safe to call twice. Only once no thread
    // uses the ring.
    void Free();
    bool Allocated() const;

    // Stores one frame and hands it over: waits for the free semaphore of
    // each recorder in the given order (alarm, user, schedule), also watching
    // endEvent (may be null); stores the JPEG and its entry at the write
    // index, counts it for the pre-alarm frames and advances the write index;
    // then, recorder by recorder, gives the free semaphore back to one that
    // is not recording, or wakes one that is. A JPEG larger than a slot is
    // refused before anything is waited for. Only the compose thread stores.
    FeedResult Store(const Frame& frame, Recorders recorders, platform::Waitable* endEvent);

    // ---- reading, by a recorder holding a frame (see recorder_feed.h) ----

    // The slot the next frame goes to (0 to 19).
    std::uint16_t WriteIndex() const { return m_writeIndex; }
    // The slot of the newest frame.
    std::uint16_t NewestSlot() const;
    // The frames an alarm recording starts with: the newest
    // min(PreFrameCount(), 20) slots, oldest first. Frames stored before the
    // count was last restarted are never among them.
    SlotList PreAlarmFrames() const;
    // A slot's entry and its JPEG bytes (the entry's length, bounded by the
    // slot). Throw std::out_of_range for a slot of 20 or more, std::logic_error
    // when the ring is not allocated.
    const FrameMarkEntry& Entry(std::size_t slot) const;
    std::span<const std::uint8_t> Jpeg(std::size_t slot) const;
    SlotState GetSlotState(std::size_t slot) const;
    // Nothing in the program writes the slot states; tests do, to drive the
    // schedule recorder. Only while no recorder reads the ring.
    void SetSlotState(std::size_t slot, SlotState state);

    // Frames stored since the count was last restarted, up to 21. The alarm
    // recorder restarts it each time its thread is created (at each login).
    std::uint16_t PreFrameCount() const { return m_preFrameCount.load(); }
    void RestartPreFrameCount() { m_preFrameCount.store(0); }

private:
    void CheckSlot(std::size_t slot) const;
    void CountPreFrame();

    std::unique_ptr<std::uint8_t[]> m_frames;  // kSlots x kSlotBytes
    std::uint16_t m_writeIndex = 0;
    std::unique_ptr<FrameMarkEntry[]> m_entries;  // kSlots
    std::unique_ptr<SlotState[]> m_slotStates;    // kSlots
    std::atomic<std::uint16_t> m_preFrameCount{0};
};

// Stores a frame of the live stream in the ring of the media state and hands
// it to the recorders (alarm, user, schedule), watching the streaming
// threads' end event. The entry gets the "Selected Channel" setting, the
// current picture size (w_ImageWidth, w_ImageHeight) and the local time.
//
// `jpeg` is the frame's own JPEG with its length from the frame header. For
// a video-loss frame pass the bytes that came with that frame (its socket
// slot), never the previous frame's JPEG: the entry describes these bytes.
// Called only by the compose thread.
FeedResult FeedPreAlarmRing(std::span<const std::uint8_t> jpeg, std::uint32_t timeValue,
                            bool videoLoss);
