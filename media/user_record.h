#pragma once

// The user recorder (the main window's record button); the schedule recorder
// is in sch_record.h.
//
// A user recording writes every live frame into user record files
// (record_file.h) from the press of the record button until the next press,
// going on to a new file every 6,000 frames. It survives a stream failure:
// the thread ends with the stream, the file and the counters stay, and after
// the next login ContinueRecord lets the new thread go on in the same file
// with the next frame number. Stopping a recording whose thread has ended
// completes the file right there, from the kept state.
//
// A file that cannot be created or written ends the recording cleanly: the
// file keeps its whole frames, the operator is told (status line, message
// 4018, the record button back in its idle state) and the stream goes on.
//
// The record button uses IsActive, StartRecord and StopRecord; the session
// login thread ContinueRecord.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "core/application/subsystem_services.h"
#include "media/record_file.h"
#include "media/recorder_hand_over.h"

class CPreAlarmRing;

class CUserRecord {
public:
    static constexpr std::uint32_t kFramesPerFile = 6'000;
    // How long StopRecord waits for the thread to close the file.
    static constexpr std::chrono::milliseconds kCloseWait{500};
    static constexpr std::chrono::milliseconds kThreadStopWait{10};
    // The record button's bit in the command bar.
    static constexpr std::uint32_t kRecordButtonBit = ::kRecordButtonBit;

    explicit CUserRecord(CPreAlarmRing* ring = nullptr);
    ~CUserRecord();  // completes a recording still open
    CUserRecord(const CUserRecord&) = delete;
    CUserRecord& operator=(const CUserRecord&) = delete;

    // ---- the record button and the session login thread ----------------------

    // A recording is open: running, or waiting for a login to go on.
    bool IsActive() const { return m_fActive.load(); }
    // Creates the file "USER_MJPEG_yymmddThhmiss_UR.kst" in `recordPath` and
    // wakes the thread. 1 when created (or a recording is already open); 0
    // when the file could not be created (the status line says so; the
    // caller shows message 4018).
    int StartRecord(const std::string& recordPath);
    // Ends the open recording: the thread closes the file (waiting up to
    // 500 ms, never longer: a close that takes longer goes on after the
    // return, and IsActive stays true until it is done), or, with no thread
    // taking frames, the file is completed here. 1.
    int StopRecord();
    // After a login: lets an open recording go on in the new thread. 1 when
    // one is open, else 0.
    int ContinueRecord();

    // ---- set-up and tear-down ------------------------------------------------

    int AllocateBuffer();
    int FreeBuffer();
    int CreateResource();
    int CloseResource();
    // Starts the thread; the recording state is left as it is. 1 when it runs.
    int CreateThread(platform::Event* endEvent);
    int ExitThread();

    RecorderFeed& Feed() { return m_handOver; }

    // ---- tests -------------------------------------------------------------
    void SetFramesPerFile(std::uint32_t frames);  // 1 to 6,000
    void SetWallClock(WallClock clock);
    void SetCloseWait(std::chrono::milliseconds wait);  // kInfinite: until closed

private:
    using Resources = RecorderHandOver::Resources;

    std::uint32_t Jpeg_User_Record_Thread(const RecorderHandOver::ResourcesPtr& resources,
                                          platform::Event* endEvent);
    RecorderHandOver::ResourcesPtr Taking() const;
    // These run under m_lock.
    bool CreateFile();
    bool WriteNewestFrame();
    bool CompleteFile();
    void EndRecording();

    CPreAlarmRing* m_ring;
    RecorderHandOver m_handOver;

    mutable std::mutex m_lock;  // the file and the state below
    CRecordFile m_file;
    std::filesystem::path m_folder;  // of the recording, for its split files
    WallClock m_clock;

    // The resources of the thread taking this recording's frames; null while
    // no thread does. Under a lock of its own, never held through file
    // work, so that StopRecord can look without waiting for a close.
    mutable std::mutex m_takingLock;
    RecorderHandOver::ResourcesPtr m_taking;
    std::atomic<std::chrono::milliseconds> m_closeWait{kCloseWait};

    std::atomic<bool> m_fActive{false};
    std::atomic<std::uint32_t> m_framesPerFile{kFramesPerFile};
};
