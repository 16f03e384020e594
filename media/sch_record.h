#pragma once

// The schedule recorder: records the live frames into ".ks4" files during the
// time slots of its schedule. Its resources are made with the other
// recorders', but nothing in the program starts its thread, so it records
// only when CreateThread is called (the tests do).
//
// The thread wakes every second (kSlotCheckInterval) and looks for the first
// enabled slot whose start <= now <= end; such a slot starts a recording in
// the "Record Path" folder. The frames reach it through the pre-alarm ring
// as for the other recorders. Every 31st frame it compares the time with the
// slot's end and closes the file once the end is past; a stop (StopRecord)
// or the end of the stream closes it too.
//
// A .ks4 file, all numbers little-endian:
//   0   the 96-byte capture block (CaptureBlock)
//   96  frames: each its 56-byte FrameMarkEntry (numbered from 1 in the file)
//       followed at once by the JPEG bytes
//   ... frame index: per frame {u32 offset of its entry (0 for the first
//       frame), u32 the first slot-state value of its ring slot}
//   end-4 u32 number of frames
// The capture block is written when the file is created and again when it
// is closed; a file that was cut off keeps count 0 and has no index.
//
// A file that cannot be created ends the thread after the message box
// "Create schedule record file is failed"; a file that cannot be written is
// cut back to its last whole frame, the operator is told (status line and
// message 4018) and the thread ends, so a full disk is not retried every
// second.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "media/pre_alarm_ring.h"
#include "media/record_file.h"
#include "media/recorder_hand_over.h"
#include "platform/posix_io.h"

inline constexpr std::size_t kCaptureBlockBytes = 96;
inline constexpr std::string_view kScheduleFileExtension = ".ks4";
inline constexpr std::uint32_t kCaptureMarker = 0x01234567;
// The marker when the first record-option byte is 4.
inline constexpr std::uint32_t kCaptureMarkerOption4 = 0x89ABCDEF;
inline constexpr std::uint8_t kCaptureArmed = 255;
inline constexpr std::string_view kScheduleFileFailedText = "Create schedule record file is failed";

// The 96-byte header of a .ks4 file. Bytes not named here are 0.
struct CaptureBlock {
    std::uint32_t frameCount = 0;    // 0: set when the file is closed
    std::uint32_t startSeconds = 0;  // 4: seconds since the computer started, at the start
    std::uint32_t endSeconds = 0;    // 8: the same clock, at the start and at the end
    std::array<std::uint8_t, 4> deviceAddress{};  // 12: as in the .kst header
    std::uint8_t captureFlag = 0;  // 16: kCaptureArmed until the first frame fills the block
    std::uint8_t kind = 0;         // 17: 3 in a recorded file
    FrameTime firstFrameTime;      // 48: from the first frame's FrameMarkEntry
    std::uint32_t marker = 0;      // 68: kCaptureMarker or kCaptureMarkerOption4

    std::array<std::uint8_t, kCaptureBlockBytes> ToBytes() const;
};

// One time slot of the schedule.
struct ScheduleSlot {
    std::chrono::system_clock::time_point start{};
    std::chrono::system_clock::time_point end{};
    bool enabled = false;
};

class CSchRecord {
public:
    static constexpr std::size_t kSlots = 10;
    static constexpr std::chrono::milliseconds kSlotCheckInterval{1000};
    // The slot's end is checked on every this many frames.
    static constexpr std::uint32_t kEndCheckFrames = 31;
    // A frame whose slot state is kSplitSlotState starts a new file once the
    // file holds kSplitAfterFrames frames; in any case a file holds at most
    // kMaxFramesPerFile.
    static constexpr std::uint32_t kSplitAfterFrames = 5'999;
    static constexpr std::uint32_t kSplitSlotState = 1;
    static constexpr std::uint32_t kMaxFramesPerFile = kRecMaxFrames;
    // A recording starts at the newest ring slot in this state, when one is
    // among the 20 slots.
    static constexpr std::uint32_t kFirstFrameSlotState = 3;
    static constexpr std::uint8_t kRecordedKind = 3;
    static constexpr std::chrono::milliseconds kCloseWait{500};
    static constexpr std::chrono::milliseconds kThreadStopWait{10};

    // The recorder takes its frames from `ring`; without one it never
    // records.
    explicit CSchRecord(CPreAlarmRing* ring = nullptr);
    ~CSchRecord();  // ends the thread; it closes an open file
    CSchRecord(const CSchRecord&) = delete;
    CSchRecord& operator=(const CSchRecord&) = delete;

    // ---- the schedule ------------------------------------------------------
    // 1 when set; 0 for an index of kSlots or more.
    int SetScheduleSlot(std::size_t index, const ScheduleSlot& slot);
    ScheduleSlot GetScheduleSlot(std::size_t index) const;  // empty past the slots

    // A recording is running.
    bool IsActive() const { return m_fActive.load(); }
    // When a file is open: asks the thread to close it and waits up to
    // 500 ms for it. 1.
    int StopRecord();

    // ---- set-up and tear-down ------------------------------------------------
    int AllocateBuffer();
    int FreeBuffer();
    int CreateResource();
    int CloseResource();
    // Starts Sch_Record_Thread, which ends on `endEvent` (may be null). 1 when
    // it runs.
    int CreateThread(platform::Event* endEvent);
    int ExitThread();

    // What the pre-alarm ring hands the frames to; it fills the capture block
    // from the first frame of each file.
    RecorderFeed& Feed() { return m_feed; }

    // The capture block as it stands.
    CaptureBlock GetCaptureBlock() const;
    // The file being written, empty when none.
    std::filesystem::path CurrentFile() const;

    // ---- tests -------------------------------------------------------------
    void SetWallClock(WallClock clock);
    void SetCloseWait(std::chrono::milliseconds wait);  // kInfinite: until closed
    void SetMaxFramesPerFile(std::uint32_t frames);     // 1 to kMaxFramesPerFile

private:
    using Resources = RecorderHandOver::Resources;

    // Hands the ring's frames to the thread and fills the capture block.
    class ScheduleFeed final : public RecorderFeed {
    public:
        explicit ScheduleFeed(CSchRecord& owner) : m_owner(owner) {}
        platform::Semaphore* FreeSemaphore() override;
        platform::Semaphore* FilledSemaphore() override;
        bool IsRecording() const override;
        void CaptureBeforeHandOver(const CPreAlarmRing& ring) override;

    private:
        CSchRecord& m_owner;
    };

    enum class Failure { None, Create, Write };

    std::uint32_t Sch_Record_Thread(const RecorderHandOver::ResourcesPtr& resources,
                                    platform::Event* endEvent);
    std::optional<std::size_t> ActiveSlot(std::chrono::system_clock::time_point now) const;
    // These run under m_lock.
    bool OpenFile();
    bool WriteFrames(bool& slotOver);
    bool WriteFrame(std::size_t ringSlot);
    bool CloseFile();
    void AbandonFile();
    void CaptureFrom(const FrameMarkEntry& entry);
    void ArmCapture();

    CPreAlarmRing* m_ring;
    RecorderHandOver m_handOver;
    ScheduleFeed m_feed{*this};

    mutable std::mutex m_lock;  // everything below but the atomics
    std::array<ScheduleSlot, kSlots> m_slots{};
    CaptureBlock m_block;
    platform::UniqueFd m_fd;
    std::filesystem::path m_path;
    std::vector<std::uint8_t> m_index;   // the index entries, then room for the count
    std::uint64_t m_length = 0;          // bytes of whole parts written
    std::uint32_t m_frameCount = 0;      // frames in the open file
    std::uint32_t m_framesRecorded = 0;  // frames of this recording, for the end check
    std::size_t m_slot = 0;              // the slot being recorded
    Failure m_failure = Failure::None;
    RecorderHandOver::ResourcesPtr m_taking;  // the thread's, while it takes frames
    WallClock m_clock;
    std::chrono::milliseconds m_closeWait = kCloseWait;
    std::uint32_t m_maxFramesPerFile = kMaxFramesPerFile;

    std::atomic<bool> m_fActive{false};
};
