#pragma once

#include "core/application/subsystem_services.h"

// The media pipeline's side of the core's requests: the stream threads, the
// frame timer, the pre-alarm ring and the recorders. The objects themselves
// live in the media state (media/media_state.h).
class MediaServicesImpl : public PlaceholderMedia {
public:
    void InitFrameTimer() override;
    void StopFrameTimer() override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;
    // Hands the stream's header layout to the frame-header parser.
    void SetNewHeaderLayout(bool newLayout) override;
    // The stream receive, compose and show threads.
    std::uint32_t RunReceiveThread() override;
    std::uint32_t RunComposeThread() override;
    std::uint32_t RunShowThread() override;
    // Loads the alarm sound into a new play block (stopping the previous
    // one's player) and stores the output's done event in it.
    bool LoadAlarmWave(const std::string& path,
                       std::shared_ptr<platform::Event> waveOutDone) override;
    // The stream receive thread's g_dwStreamError.
    std::uint32_t GetStreamError() override;

    // ---- the recorders (media_services_recorders.cpp) ----
    // Registers the alarm recorder with the frame-header parser, and takes
    // it away again.
    MediaServicesImpl();
    ~MediaServicesImpl() override;
    MediaServicesImpl(const MediaServicesImpl&) = delete;
    MediaServicesImpl& operator=(const MediaServicesImpl&) = delete;
    void FreeAlarmList() override;
    void CreateRecorderResources() override;
    void FreeRecorderResources() override;
    void StopRecorders() override;
    void StopAlarmAndScheduleRecords() override;
    bool StartRecorderThreads(std::uint8_t recordOption) override;
    void StopRecorderThreads() override;
    bool ContinueUserRecord() override;
    bool AllocateRecorderBuffers();
    void FreeRecorderBuffers();
};

// Registers the media pipeline with the core for the lifetime of the object.
class ScopedMediaServices {
public:
    ScopedMediaServices() { SetMediaServices(&m_services); }
    ~ScopedMediaServices() { SetMediaServices(nullptr); }
    ScopedMediaServices(const ScopedMediaServices&) = delete;
    ScopedMediaServices& operator=(const ScopedMediaServices&) = delete;

private:
    MediaServicesImpl m_services;
};
