#include "core/application/subsystem_services.h"

#include <atomic>

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
