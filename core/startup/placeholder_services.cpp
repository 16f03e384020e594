// The stand-ins' few answers that need the program's state: they live apart
// from the service registry, which the rest of the core includes.

#include <cstdint>

#include "core/application/subsystem_services.h"
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
