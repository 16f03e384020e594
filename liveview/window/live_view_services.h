#pragma once

#include "core/application/subsystem_services.h"

// The live view's side of the core's requests: the control file and the
// main window. What the window cannot do yet stays with the placeholder.
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
