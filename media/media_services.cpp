#include "media/media_services.h"

#include "media/decode_show.h"
#include "media/frame_header.h"
#include "media/media_state.h"
#include "media/stream_receiver.h"

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

std::uint32_t MediaServicesImpl::RunReceiveThread() {
    return Jpeg_TCP_Get_Image_Data_Thread();
}

std::uint32_t MediaServicesImpl::RunComposeThread() {
    return Jpeg_Compose_Image_Data_Thread();
}

std::uint32_t MediaServicesImpl::RunShowThread() {
    return Jpeg_Show_Image_Data_Thread();
}

bool MediaServicesImpl::LoadAlarmWave(const std::string& path,
                                      std::shared_ptr<platform::Event> waveOutDone) {
    CAlarmWave& wave = GetMediaState().C_AlarmWave;
    if (wave.LoadWave(path) == 0) {
        return false;
    }
    wave.SetDoneEvent(std::move(waveOutDone));
    return true;
}

std::uint32_t MediaServicesImpl::GetStreamError() {
    return g_dwStreamError.load();
}
