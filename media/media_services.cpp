#include "media/media_services.h"

#include "media/frame_header.h"
#include "media/media_state.h"

void MediaServicesImpl::InitFrameTimer() {
    GetMediaState().C_FrameTimer.Init();
}

void MediaServicesImpl::StopFrameTimer() {
    GetMediaState().C_FrameTimer.Stop();
}

bool MediaServicesImpl::AllocateBuffers() {
    return GetMediaState().C_PreAlarmRing.Allocate() && AllocateRecorderBuffers();
}

void MediaServicesImpl::FreeBuffers() {
    GetMediaState().C_PreAlarmRing.Free();
    FreeRecorderBuffers();
}

void MediaServicesImpl::SetNewHeaderLayout(bool newLayout) {
    C_FrameHeaderParser.SetNewLayout(newLayout);
}
