#include "core/subsystem_services.h"

#include <atomic>

namespace {

// Stands in for the live view until it is registered: there is no control
// file to load and no main window to run.
class PlaceholderLiveView : public LiveViewServices {
public:
    int LoadCtrlFile() override { return 1; }
    int MatchCtrlFileDevices() override { return 1; }
    void FreeCtrlFileRecords() override {}
    void RunMainWindow() override {}
    int SetStatusText(const std::string&) override { return 1; }
    void DeleteMemoryDC() override {}
};

class PlaceholderMedia : public MediaServices {
public:
    void InitFrameTimer() override {}
    void StopFrameTimer() override {}
    bool AllocateBuffers() override { return true; }
    void FreeBuffers() override {}
    void FreeAlarmList() override {}
    void CreateRecorderResources() override {}
    void FreeRecorderResources() override {}
    void StopRecorders() override {}
};

PlaceholderLiveView g_placeholderLiveView;
PlaceholderMedia g_placeholderMedia;
std::atomic<LiveViewServices*> g_liveView{nullptr};
std::atomic<MediaServices*> g_media{nullptr};

}  // namespace

LiveViewServices& LiveView() {
    LiveViewServices* s = g_liveView.load(std::memory_order_acquire);
    return s != nullptr ? *s : g_placeholderLiveView;
}

MediaServices& Media() {
    MediaServices* s = g_media.load(std::memory_order_acquire);
    return s != nullptr ? *s : g_placeholderMedia;
}

void SetLiveViewServices(LiveViewServices* services) {
    g_liveView.store(services, std::memory_order_release);
}

void SetMediaServices(MediaServices* services) { g_media.store(services, std::memory_order_release); }
