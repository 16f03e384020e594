#pragma once

#include "core/application/subsystem_services.h"

// The live view's side of the core's requests: the control file and the
// main window. Requests from the stream and login threads only post their
// work to the window, which does it on the GUI thread.
class LiveViewServicesImpl : public PlaceholderLiveView {
public:
    int LoadCtrlFile() override;
    int MatchCtrlFileDevices() override;
    void FreeCtrlFileRecords() override;
    void RunMainWindow() override;
    int SetStatusText(const std::string& text) override;
    int DrawVideoFrame() override;
    void ClearInfoTexts() override;
    int SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) override;
    void ResetPtzControlButton() override;
    void RelayoutForDevice() override;
    void ChangeItemPositionForDeviceModified() override;
    void ApplySkin(LiveSkin skin) override;
    void ArrangeChannelButtons() override;
    void SetCurrentChannel(int channelIndex) override;
    void RequestChannel(int channel) override;
    void SetRetrStateButton(bool enabled) override;
    void PostCameraState(std::uint8_t state) override;
};

// Registers the live view with the core for the lifetime of the object.
class ScopedLiveViewServices {
public:
    ScopedLiveViewServices() { SetLiveViewServices(&m_services); }
    ~ScopedLiveViewServices() { SetLiveViewServices(nullptr); }
    ScopedLiveViewServices(const ScopedLiveViewServices&) = delete;
    ScopedLiveViewServices& operator=(const ScopedLiveViewServices&) = delete;

private:
    LiveViewServicesImpl m_services;
};
