#pragma once

// The media pipeline's long-lived objects, reached by every thread through
// GetMediaState().
//
// The global state record belongs to the core, which cannot hold media
// types, so the pipeline keeps its own record beside it. It exists for the
// whole process; what it holds is set up and released through the core's
// MediaServices calls: the frame timer by InitFrameTimer / StopFrameTimer,
// the ring's blocks by AllocateBuffers / FreeBuffers.
//
// Who uses what:
// - the compose thread: C_ViewModeSelector.UpdatePictureSize(w, h) for every
//   frame, FeedPreAlarmRing(jpeg, timeValue, videoLoss) for every frame it
//   passes on (pre_alarm_ring.h);
// - the show thread: C_FrameTimer.WaitTick();
// - the main window when it opens: C_ViewModeSelector.ResetViewMode() and
//   C_FrameTimer.Start(productId); its channel bar reads
//   C_ViewModeSelector.GetPictureSizeCode();
// - the recorders: C_PreAlarmRing's reading side (NewestSlot, PreAlarmFrames,
//   Entry, Jpeg, GetSlotState, RestartPreFrameCount), under the rules of
//   recorder_feed.h;
// - the main window's record button: C_UserRecord.IsActive(), StartRecord
//   (the "Record Path" setting) and StopRecord; the frame-header parser:
//   C_AlarmRecord, registered with it by MediaServicesImpl.

#include <array>

#include "media/alarm_record.h"
#include "media/alarm_wave.h"
#include "media/frame_timer.h"
#include "media/pre_alarm_ring.h"
#include "media/recorder_feed.h"
#include "media/sch_record.h"
#include "media/user_record.h"
#include "media/view_mode.h"

struct MediaState {
    CViewModeSelector C_ViewModeSelector;
    CFrameTimer C_FrameTimer;
    CPreAlarmRing C_PreAlarmRing;
    // The alarm sound: loaded by the alarm-sound handlers, played by the
    // thread of alarm_wave_player.h over C_AlarmWave.CurrentBlock().
    CAlarmWave C_AlarmWave;

    // Declared after the ring they draw on, so they end before it.
    CAlarmRecord C_AlarmRecord{&C_PreAlarmRing};
    CUserRecord C_UserRecord{&C_PreAlarmRing};
    CSchRecord C_SchRecord{&C_PreAlarmRing};

    // The recorders the ring hands each frame to, in the order alarm, user,
    // schedule.
    std::array<RecorderFeed*, 3> RecorderFeeds() {
        return {&C_AlarmRecord.Feed(), &C_UserRecord.Feed(), &C_SchRecord.Feed()};
    }
};

MediaState& GetMediaState();
