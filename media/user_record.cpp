#include "media/user_record.h"

#include <algorithm>
#include <exception>

#include "core/application/subsystem_services.h"
#include "media/pre_alarm_ring.h"

namespace {
using Wake = RecorderHandOver::Wake;
}  // namespace

CUserRecord::CUserRecord(CPreAlarmRing* ring)
    : m_ring(ring), m_clock([] { return std::chrono::system_clock::now(); }) {}

CUserRecord::~CUserRecord() {
    m_handOver.StopThread(std::chrono::milliseconds(100));
    std::lock_guard lock(m_lock);
    if (m_file.IsOpen())
        CompleteFile();
}

// ---- set-up and tear-down ----------------------------------------------------

int CUserRecord::AllocateBuffer() {
    std::lock_guard lock(m_lock);
    return m_file.ReserveIndex(kRecMaxFrames) ? 1 : 0;
}

int CUserRecord::FreeBuffer() {
    std::lock_guard lock(m_lock);
    m_file.ReleaseIndex();  // kept while a recording waits for a login
    return 1;
}

int CUserRecord::CreateResource() {
    return m_handOver.CreateResources() ? 1 : 0;
}

int CUserRecord::CloseResource() {
    m_handOver.CloseResources();
    return 1;
}

int CUserRecord::CreateThread(platform::Event* endEvent) {
    if (m_ring == nullptr)
        return 0;
    const bool started = m_handOver.StartThread(
        [this](const RecorderHandOver::ResourcesPtr& r, platform::Event* end) {
            return Jpeg_User_Record_Thread(r, end);
        },
        "userrecord", endEvent);
    return started ? 1 : 0;
}

int CUserRecord::ExitThread() {
    m_handOver.StopThread(kThreadStopWait);
    return 1;
}

void CUserRecord::SetFramesPerFile(std::uint32_t frames) {
    m_framesPerFile = std::clamp<std::uint32_t>(frames, 1, kFramesPerFile);
}

void CUserRecord::SetWallClock(WallClock clock) {
    std::lock_guard lock(m_lock);
    m_clock = std::move(clock);
}

void CUserRecord::SetCloseWait(std::chrono::milliseconds wait) {
    m_closeWait = wait;
}

// ---- the record button and the login -------------------------------------------

int CUserRecord::StartRecord(const std::string& recordPath) {
    {
        std::lock_guard lock(m_lock);
        if (m_file.IsOpen())
            return 1;
        m_folder = std::filesystem::path(recordPath);
        if (CreateFile()) {
            m_fActive = true;
            if (const RecorderHandOver::ResourcesPtr r = m_handOver.Current()) {
                r->stop.Reset();
                r->start.Set();
            }
            return 1;
        }
    }
    // The record button shows the message box.
    ReportRecordFailure(false);
    return 0;
}

int CUserRecord::StopRecord() {
    // Runs on the GUI thread, bounded by the close wait: while a thread
    // takes the recording it holds m_lock whenever it writes or closes the
    // file, possibly for long (a slow disk), and this never waits for that.
    if (const RecorderHandOver::ResourcesPtr taking = Taking()) {
        taking->closed.Reset();
        taking->stop.Set();
        // The thread lets go of the recording only after it has closed the
        // file and before it sets its event: a close that ended before the
        // reset is seen here.
        if (Taking() == taking)
            taking->closed.Wait(m_closeWait.load());
        // Still taken: the thread is closing the file and ends the
        // recording when it is done; until then the recording is what it is.
        if (Taking())
            return 1;
        // Otherwise the thread has closed the file, or ended with the stream
        // and left it open: then it is completed below.
    }

    // No thread takes the frames (the stream has stopped, or the thread has
    // not woken yet), so none holds the lock for long: complete the file
    // here.
    bool completed = true;
    {
        std::lock_guard lock(m_lock);
        if (!m_file.IsOpen())
            return 1;
        completed = CompleteFile();
        EndRecording();
    }
    if (!completed)
        ReportRecordFailure(true);
    return 1;
}

RecorderHandOver::ResourcesPtr CUserRecord::Taking() const {
    std::lock_guard lock(m_takingLock);
    return m_taking;
}

int CUserRecord::ContinueRecord() {
    std::lock_guard lock(m_lock);
    if (!m_file.IsOpen())
        return 0;
    if (const RecorderHandOver::ResourcesPtr r = m_handOver.Current()) {
        r->stop.Reset();
        r->start.Set();
    }
    return 1;
}

// ---- the thread ----------------------------------------------------------------

std::uint32_t CUserRecord::Jpeg_User_Record_Thread(const RecorderHandOver::ResourcesPtr& resources,
                                                   platform::Event* endEvent) {
    Resources& r = *resources;
    for (;;) {
        if (RecorderHandOver::WaitForStart(r, endEvent) != Wake::Start)
            return 0;
        {
            std::lock_guard lock(m_lock);
            if (!m_file.IsOpen())
                continue;  // stopped before this thread woke
            {
                std::lock_guard taking(m_takingLock);
                m_taking = resources;
            }
            m_handOver.Activate();
        }

        Wake wake = Wake::Frame;
        bool written = true;
        while (written &&
               (wake = RecorderHandOver::WaitForFrame(r, endEvent, false)) == Wake::Frame) {
            {
                std::lock_guard lock(m_lock);
                written = WriteNewestFrame();
            }
            RecorderHandOver::FrameDone(r);
        }

        m_handOver.Deactivate(r, endEvent);
        bool failed = false;
        {
            std::lock_guard lock(m_lock);
            if (!written) {
                m_file.Abandon();
                EndRecording();
                failed = true;
            } else if (wake == Wake::Stop) {
                failed = !CompleteFile();
                EndRecording();
            }
            // On the end of the stream the file, its index and its counters
            // stay for ContinueRecord.

            // Last, once the file is dealt with: from here StopRecord
            // completes an open file itself.
            std::lock_guard taking(m_takingLock);
            m_taking.reset();
        }
        r.closed.Set();
        if (failed) {
            ReportRecordFailure(true);
            LiveView().SetCommandButtonsState(kRecordButtonBit, 0);
        }
        if (wake == Wake::End)
            return 0;
    }
}

bool CUserRecord::CreateFile() {
    return m_file.Create(m_folder, UserRecordFileStem(LocalRecordTime(m_clock())));
}

bool CUserRecord::WriteNewestFrame() {
    try {
        // The header is written when the first frame reaches the recorder.
        if (!m_file.HeaderWritten() &&
            !m_file.WriteHeader(NewRecordHeader(RecordKind::User, m_clock()))) {
            return false;
        }
        if (m_file.FrameCount() >= m_framesPerFile.load()) {
            if (!CompleteFile() || !CreateFile() ||
                !m_file.WriteHeader(NewRecordHeader(RecordKind::User, m_clock()))) {
                return false;
            }
        }
        const std::uint16_t slot = m_ring->NewestSlot();
        return m_file.WriteFrame(m_ring->Entry(slot), m_ring->Jpeg(slot));
    } catch (const std::exception&) {
        return false;
    }
}

bool CUserRecord::CompleteFile() {
    return m_file.Close(NewRecordHeader(RecordKind::User, m_clock()));
}

void CUserRecord::EndRecording() {
    m_file.Abandon();  // nothing left open
    m_fActive = false;
}
