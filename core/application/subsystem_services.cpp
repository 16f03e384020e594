#include "core/application/subsystem_services.h"

#include <atomic>

#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "platform/sync.h"

int PlaceholderLiveView::DrawVideoFrame() {
    SignalFrameShown();
    return 1;
}

std::uint32_t PlaceholderMedia::RunReceiveThread() {
    AppGlobalState& app = *g_lpApp;
    const int which = platform::WaitForAny(
        {app.h_NotifyGetJPEGImageThreadResetEvent.get(), app.h_EndofGetJpegImageEvent.get()},
        platform::kInfinite);
    if (which == 0)
        app.h_FeedBackForNotifyResetEvent->Set();
    return 0;
}

std::uint32_t PlaceholderMedia::RunComposeThread() {
    g_lpApp->h_EndofGetJpegImageEvent->Wait();
    return 0;
}

std::uint32_t PlaceholderMedia::RunShowThread() {
    g_lpApp->h_EndofShowImageEvent->Wait();
    return 0;
}

namespace {

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

void SetMediaServices(MediaServices* services) {
    g_media.store(services, std::memory_order_release);
}
