#pragma once

// The alarm recorder: while the device reports an alarm it writes the live
// frames into alarm record files (record_file.h), starting with the frames
// the pre-alarm ring holds from before the alarm, and enters every file it
// writes in the local alarm list (core/alarm_list.h).
//
// The frame-header parser starts a recording (StartRecord) when a frame
// header reports an alarm and ends it (EndRecord) when the alarm is over; a
// stream failure and the main window's end stop it (StopRecord). The frames
// are written on the recorder's own thread, which the compose thread wakes
// for each frame through the ring (Feed()).
//
// A recording:
// - begins with the newest min(pre-frame count, 20) frames of the ring,
//   oldest first (those stored since the thread was created at the login);
// - goes on to a new file every 6,000 frames;
// - adds one alarm-list entry per file written, with that file's name, the
//   local time its first frame reached the recorder and its frame count;
// - ends cleanly when a file cannot be created or written: the operator is
//   told (status line, message 4018), the file keeps its whole frames and
//   gets no alarm-list entry, and the recorder takes no frames until the
//   alarm is over, so the stream is never held up by it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "media/record_file.h"
#include "media/recorder_hand_over.h"

class CPreAlarmRing;

class CAlarmRecord {
public:
    static constexpr std::uint32_t kFramesPerFile = 6'000;
    // How long EndRecord waits for the file to be closed.
    static constexpr std::chrono::milliseconds kCloseWait{500};
    // How long ExitThread gives the thread before it counts as overrunning.
    static constexpr std::chrono::milliseconds kThreadStopWait{10};

    // The recorder draws its frames from `ring`; without one it never
    // records (the frame-header parser's tests stand in for it so).
    explicit CAlarmRecord(CPreAlarmRing* ring = nullptr);
    virtual ~CAlarmRecord();
    CAlarmRecord(const CAlarmRecord&) = delete;
    CAlarmRecord& operator=(const CAlarmRecord&) = delete;

    // ---- the frame-header parser ---------------------------------------------

    // True from a start until the alarm is ended by EndRecord or StopRecord,
    // or until the recording's file is closed; also after a failed start, so
    // that the parser does not try again with every frame of the same alarm.
    virtual bool IsRecording() const;
    // Creates the next alarm file in the folder `recordPath` and wakes the
    // thread. 1 when started; 0 when refused (stopped by StopRecord, no
    // thread running) or when the file could not be created (reported).
    virtual int StartRecord(const std::string& recordPath, int option);
    // Ends the recording: asks the thread to close the file and waits up to
    // 500 ms for it. Returns at once when no file is open. Never waits for
    // the thread otherwise: a close that takes longer goes on after the
    // return, and the recording flag stays set until it is done.
    virtual int EndRecord();
    // Ends the recording for good until the next login (StartRecord refuses
    // and the thread ends after closing), clears the parser's alarm value and
    // the main window's alarm-input text.
    int StopRecord();

    // ---- set-up and tear-down ------------------------------------------------

    // The in-memory frame index; 1 when reserved.
    int AllocateBuffer();
    int FreeBuffer();
    // The semaphores and events of the hand-over; made anew around each
    // stream stop.
    int CreateResource();
    int CloseResource();
    // At each login: clears the recording state, the parser's alarm value and
    // the ring's pre-frame count, and starts the thread, which ends (closing
    // an open file first) on `endEvent`. 1 when it runs.
    int CreateThread(platform::Event* endEvent);
    // Stops the thread and joins it.
    int ExitThread();

    // What the pre-alarm ring hands the frames to.
    RecorderFeed& Feed() { return m_handOver; }

    // ---- tests -------------------------------------------------------------
    // A smaller split (1 to 6,000 frames per file).
    void SetFramesPerFile(std::uint32_t frames);
    void SetWallClock(WallClock clock);
    // EndRecord's wait (kInfinite: until closed).
    void SetCloseWait(std::chrono::milliseconds wait);

private:
    using Resources = RecorderHandOver::Resources;

    std::uint32_t Alarm_Record_Thread(Resources& r, platform::Event* endEvent);
    // These run under m_lock.
    bool OpenFile();
    bool BeginFile();
    bool WritePreAlarmFrames();
    bool WriteNewestFrame();
    bool WriteFrame(std::size_t slot);
    bool CompleteFile();
    void CloseRecording();
    void FailRecording();

    CPreAlarmRing* m_ring;
    RecorderHandOver m_handOver;

    mutable std::mutex m_lock;  // the file and the state below
    CRecordFile m_file;
    std::filesystem::path m_folder;
    bool m_failureReported = false;
    bool m_reportPending = false;  // a failure to report once the lock is given back
    WallClock m_clock;
    std::atomic<std::chrono::milliseconds> m_closeWait{kCloseWait};

    // m_file is open: written under m_lock, read without it by EndRecord,
    // which must not wait for the lock while the thread closes the file.
    // Cleared only once a close is complete (list entry included).
    std::atomic<bool> m_fFileOpen{false};
    std::atomic<bool> m_fRecording{false};
    std::atomic<bool> m_fClosing{false};
    std::atomic<std::uint32_t> m_framesPerFile{kFramesPerFile};
};
