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
    return GetMediaState().C_PreAlarmRing.Allocate();
}

void MediaServicesImpl::FreeBuffers() {
    GetMediaState().C_PreAlarmRing.Free();
}

void MediaServicesImpl::SetNewHeaderLayout(bool newLayout) {
    C_FrameHeaderParser.SetNewLayout(newLayout);
}

bool MediaServicesImpl::LoadAlarmWave(const std::string& path, platform::Event* waveOutDone) {
    CAlarmWave& wave = GetMediaState().C_AlarmWave;
    if (wave.LoadWave(path) == 0) {
        return false;
    }
    wave.SetDoneEvent(waveOutDone);
    return true;
}
