#include "media/alarm_record.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "core/store/alarm_list.h"
#include "media/frame_header.h"
#include "media/pre_alarm_ring.h"

namespace {

using Wake = RecorderHandOver::Wake;

SystemTime ListTime(const FrameTime& t) {
    SystemTime time;
    time.year = t.year;
    time.month = t.month;
    time.day = t.day;
    time.hour = t.hour;
    time.minute = t.minute;
    time.second = t.second;
    return time;
}

std::string ServerName() {
    return g_lpApp != nullptr ? g_lpApp->CSettingINI.m_strServerName.Get() : std::string();
}

}  // namespace

CAlarmRecord::CAlarmRecord(CPreAlarmRing* ring)
    : m_ring(ring), m_clock([] { return std::chrono::system_clock::now(); }) {}

CAlarmRecord::~CAlarmRecord() {
    m_handOver.StopThread(std::chrono::milliseconds(100));
}

bool CAlarmRecord::IsRecording() const {
    return m_fRecording.load();
}

// ---- set-up and tear-down ----------------------------------------------------

int CAlarmRecord::AllocateBuffer() {
    std::lock_guard lock(m_lock);
    return m_file.ReserveIndex(kRecMaxFrames) ? 1 : 0;
}

int CAlarmRecord::FreeBuffer() {
    std::lock_guard lock(m_lock);
    m_file.ReleaseIndex();
    return 1;
}

int CAlarmRecord::CreateResource() {
    return m_handOver.CreateResources() ? 1 : 0;
}

int CAlarmRecord::CloseResource() {
    m_handOver.CloseResources();
    return 1;
}

int CAlarmRecord::CreateThread(platform::Event* endEvent) {
    if (m_ring == nullptr)
        return 0;
    bool report = false;
    {
        std::lock_guard lock(m_lock);
        // A file created as the last thread was ending had no thread to
        // write it; close it before the new session.
        if (m_file.IsOpen())
            CompleteFile();
        m_fFileOpen = false;
        m_fRecording = false;
        m_fClosing = false;
        report = std::exchange(m_reportPending, false);
        m_failureReported = false;  // a failure is told once per session
    }
    if (report)
        ReportRecordFailure(true);
    C_FrameHeaderParser.ResetAlarmValue();
    m_ring->RestartPreFrameCount();
    const bool started = m_handOver.StartThread(
        [this](const RecorderHandOver::ResourcesPtr& r, platform::Event* end) {
            return Alarm_Record_Thread(*r, end);
        },
        "alarmrecord", endEvent);
    return started ? 1 : 0;
}

int CAlarmRecord::ExitThread() {
    m_handOver.StopThread(kThreadStopWait);
    return 1;
}

void CAlarmRecord::SetFramesPerFile(std::uint32_t frames) {
    m_framesPerFile = std::clamp<std::uint32_t>(frames, 1, kFramesPerFile);
}

void CAlarmRecord::SetWallClock(WallClock clock) {
    std::lock_guard lock(m_lock);
    m_clock = std::move(clock);
}

void CAlarmRecord::SetCloseWait(std::chrono::milliseconds wait) {
    m_closeWait = wait;
}

// ---- starting and ending -------------------------------------------------------

int CAlarmRecord::StartRecord(const std::string& recordPath, int /*option*/) {
    if (m_ring == nullptr)
        return 0;
    int result = 0;
    bool report = false;
    {
        std::lock_guard lock(m_lock);
        if (m_fClosing || !m_handOver.ThreadRunning())
            return 0;
        if (m_file.IsOpen())
            return 1;
        const RecorderHandOver::ResourcesPtr r = m_handOver.Current();
        if (!r)
            return 0;
        m_folder = std::filesystem::path(recordPath);
        // Set even when the file cannot be created: the parser then leaves
        // this alarm alone until it is over.
        m_fRecording = true;
        if (OpenFile()) {
            r->stop.Reset();
            r->start.Set();
            result = 1;
        } else {
            FailRecording();
        }
        report = std::exchange(m_reportPending, false);
    }
    if (report)
        ReportRecordFailure(true);
    return result;
}

int CAlarmRecord::EndRecord() {
    // The parser calls this on the receive thread, so it is bounded by the
    // close wait alone: while the thread writes or closes the file it holds
    // m_lock, possibly for long (a slow disk), and this never waits for it.
    const RecorderHandOver::ResourcesPtr r = m_handOver.Current();
    if (r && m_fFileOpen.load() && m_handOver.ThreadRunning()) {
        r->closed.Reset();
        r->stop.Set();
        // A close that ended before the reset has set its event already;
        // it has also marked the file closed first, so its end is not missed.
        if (m_fFileOpen.load())
            r->closed.Wait(m_closeWait.load());
        // A file still open is being closed: the thread ends the recording
        // when it is done, and until then the recording is what it is.
        if (!m_fFileOpen.load())
            m_fRecording = false;
        return 1;
    }

    // Nothing open, or no thread left to close it (it ended as the file was
    // created): done here. No thread writes a file now, so the lock is free.
    bool report = false;
    {
        std::lock_guard lock(m_lock);
        CloseRecording();
        report = std::exchange(m_reportPending, false);
    }
    if (report)
        ReportRecordFailure(true);
    return 1;
}

int CAlarmRecord::StopRecord() {
    // Seen by StartRecord under m_lock; set without it, since the thread may
    // hold the lock through a long close. A start that slips in before it is
    // closed again by EndRecord, which takes the lock when no file was open.
    m_fClosing = true;
    EndRecord();
    C_FrameHeaderParser.ResetAlarmValue();
    LiveView().ClearInfoTexts();
    return 1;
}

// ---- the thread ----------------------------------------------------------------

std::uint32_t CAlarmRecord::Alarm_Record_Thread(Resources& r, platform::Event* endEvent) {
    for (;;) {
        if (RecorderHandOver::WaitForStart(r, endEvent) != Wake::Start) {
            {
                std::lock_guard lock(m_lock);
                CloseRecording();  // a file whose start this thread never took
            }
            r.closed.Set();
            return 0;
        }
        {
            std::lock_guard lock(m_lock);
            if (!m_file.IsOpen())
                continue;
            m_handOver.Activate();
        }

        // The first frame brings the frames from before the alarm with it. A
        // stop is seen before a frame handed over at the same time.
        bool first = true;
        Wake wake = Wake::Frame;
        bool written = true;
        while (written &&
               (wake = RecorderHandOver::WaitForFrame(r, endEvent, true)) == Wake::Frame) {
            {
                std::lock_guard lock(m_lock);
                written = first ? WritePreAlarmFrames() : WriteNewestFrame();
            }
            first = false;
            RecorderHandOver::FrameDone(r);
        }

        m_handOver.Deactivate(r, endEvent);
        bool report = false;
        {
            std::lock_guard lock(m_lock);
            if (written) {
                CloseRecording();
            } else {
                FailRecording();
            }
            report = std::exchange(m_reportPending, false);
        }
        r.closed.Set();
        if (report)
            ReportRecordFailure(true);
        if (wake == Wake::End || m_fClosing)
            return 0;
    }
}

bool CAlarmRecord::OpenFile() {
    const FrameTime now = LocalRecordTime(m_clock());
    if (!m_file.Create(m_folder, AlarmRecordFileStem(now, g_szSessionCookie.Get())))
        return false;
    m_fFileOpen = true;
    // A path too long for the list gets no entry; the recording goes on.
    g_SystemConfig.AlarmDB_SetRecordFile(m_file.Path().string());
    return true;
}

bool CAlarmRecord::BeginFile() {
    const RecFileHeader header = NewRecordHeader(RecordKind::Alarm, m_clock());
    if (!m_file.WriteHeader(header))
        return false;
    // The list dates the file by the frame that started it.
    g_SystemConfig.AlarmDB_SetRecordTime(ListTime(header.created));
    return true;
}

bool CAlarmRecord::WritePreAlarmFrames() {
    try {
        const CPreAlarmRing::SlotList frames = m_ring->PreAlarmFrames();
        if (!BeginFile())
            return false;
        for (std::uint16_t slot : frames.Slots()) {
            if (!WriteFrame(slot))
                return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CAlarmRecord::WriteNewestFrame() {
    try {
        return WriteFrame(m_ring->NewestSlot());
    } catch (const std::exception&) {
        return false;
    }
}

bool CAlarmRecord::WriteFrame(std::size_t slot) {
    if (m_file.FrameCount() >= m_framesPerFile.load()) {
        // Split: the full file gets its entry, the new one starts its own.
        if (!CompleteFile() || !OpenFile() || !BeginFile())
            return false;
    }
    return m_file.WriteFrame(m_ring->Entry(slot), m_ring->Jpeg(slot));
}

bool CAlarmRecord::CompleteFile() {
    const std::uint32_t frames = m_file.FrameCount();
    const RecFileHeader header = NewRecordHeader(RecordKind::Alarm, m_clock());
    if (!m_file.HeaderWritten())
        g_SystemConfig.AlarmDB_SetRecordTime(ListTime(header.created));
    if (!m_file.Close(header)) {
        if (!m_failureReported)
            m_reportPending = m_failureReported = true;
        return false;
    }
    g_SystemConfig.AlarmDB_AppendRecord(frames, ServerName());
    m_failureReported = false;
    return true;
}

void CAlarmRecord::CloseRecording() {
    if (m_file.IsOpen())
        CompleteFile();
    // Only now, with the list entry written: EndRecord waits for the close
    // while this is set. (A split closes and opens under one hold of the
    // lock and leaves it set.)
    m_fFileOpen = false;
    m_fRecording = false;
}

void CAlarmRecord::FailRecording() {
    // The file keeps its whole frames but is no recording to list; the
    // recording flag stays until the alarm is over.
    m_file.Abandon();
    m_fFileOpen = false;
    if (!m_failureReported)
        m_reportPending = m_failureReported = true;
}
