// MediaServicesImpl's part for the recorders and the local alarm list.

#include "core/state/app_global_state.h"
#include "core/store/alarm_list.h"
#include "media/frame_header.h"
#include "media/media_services.h"
#include "media/media_state.h"

MediaServicesImpl::MediaServicesImpl() {
    C_FrameHeaderParser.SetAlarmRecorder(&GetMediaState().C_AlarmRecord);
}

MediaServicesImpl::~MediaServicesImpl() {
    C_FrameHeaderParser.SetAlarmRecorder(nullptr);
}

bool MediaServicesImpl::AllocateRecorderBuffers() {
    MediaState& media = GetMediaState();
    return media.C_AlarmRecord.AllocateBuffer() == 1 && media.C_UserRecord.AllocateBuffer() == 1 &&
           media.C_SchRecord.AllocateBuffer() == 1;
}

void MediaServicesImpl::FreeRecorderBuffers() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.FreeBuffer();
    media.C_UserRecord.FreeBuffer();
    media.C_SchRecord.FreeBuffer();
}

void MediaServicesImpl::FreeAlarmList() {
    g_SystemConfig.AlarmDB_FreeBuffer();
}

void MediaServicesImpl::CreateRecorderResources() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.CreateResource();
    media.C_UserRecord.CreateResource();
    media.C_SchRecord.CreateResource();
}

void MediaServicesImpl::FreeRecorderResources() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.CloseResource();
    media.C_UserRecord.CloseResource();
    media.C_SchRecord.CloseResource();
}

void MediaServicesImpl::StopRecorders() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.StopRecord();
    media.C_UserRecord.StopRecord();
    media.C_SchRecord.StopRecord();
}

void MediaServicesImpl::StopAlarmAndScheduleRecords() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.StopRecord();
    media.C_SchRecord.StopRecord();
}

bool MediaServicesImpl::StartRecorderThreads(std::uint8_t /*recordOption*/) {
    // Both threads end on the streaming threads' end event; nothing starts
    // the schedule recorder's.
    platform::Event* endEvent =
        g_lpApp != nullptr ? g_lpApp->h_EndofGetJpegImageEvent.get() : nullptr;
    MediaState& media = GetMediaState();
    return media.C_AlarmRecord.CreateThread(endEvent) == 1 &&
           media.C_UserRecord.CreateThread(endEvent) == 1;
}

void MediaServicesImpl::StopRecorderThreads() {
    MediaState& media = GetMediaState();
    media.C_AlarmRecord.ExitThread();
    media.C_UserRecord.ExitThread();
    media.C_SchRecord.ExitThread();
}

bool MediaServicesImpl::ContinueUserRecord() {
    return GetMediaState().C_UserRecord.ContinueRecord() == 1;
}
