#include "core/state/system_buffers.h"

#include <new>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"

namespace {

bool Allocate(BufferPtr& buffer, std::size_t bytes) {
    buffer.reset(new (std::nothrow) std::uint8_t[bytes]());
    return buffer != nullptr;
}

SemaphorePtr MakeSemaphore(long initial, long maximum) {
    return SemaphorePtr(new (std::nothrow) platform::Semaphore(initial, maximum));
}

}  // namespace

int AllocateSystemBuffer() {
    AppGlobalState& app = *g_lpApp;
    if (!Allocate(app.lp_SocketBuffer, kSocketBufferBytes))
        return 0;
    if (!Allocate(app.lp_JpegCopyBuffer, kImageSlotBytes))
        return 0;
    if (!Allocate(app.lp_ImageBuffer, kImageSlotBytes))
        return 0;
    if (!Allocate(app.lp_FrameHeaderTable, kFrameHeaderTableBytes))
        return 0;
    if (!Media().AllocateBuffers())
        return 0;
    if (!Allocate(app.lp_DoubleLineBuffer, kImageSlotBytes))
        return 0;
    if (!Allocate(app.lp_FrameCopyBuffer, kImageSlotBytes))
        return 0;

    app.w_SocketSlots = 2;
    app.w_ImageSlots = 1;
    app.w_SocketWriteIndex = 0;
    app.w_SocketReadIndex = 0;
    app.w_TirelMp4DecodeIndex = 0;
    app.w_ImageWriteIndex = 0;
    return 1;
}

int FreeSystemBuffer() {
    AppGlobalState& app = *g_lpApp;
    app.lp_CurrentImage = nullptr;
    app.lp_JpegCopyBuffer.reset();
    app.lp_ImageBuffer.reset();
    app.lp_FullScreenBuffer.reset();
    app.dw_FullScreenBufferBytes = 0;
    app.lp_SocketBuffer.reset();
    app.lp_FrameHeaderTable.reset();
    app.lp_FrameCopyBuffer.reset();
    Media().FreeBuffers();
    Media().FreeAlarmList();
    app.lp_DoubleLineBuffer.reset();
    return 1;
}

int InitialSemaphore() {
    AppGlobalState& app = *g_lpApp;
    // The socket semaphores count one fewer than the slots: only one slot
    // holds a complete image at a time while the other is being filled.
    const long socketCount = static_cast<long>(app.w_SocketSlots) - 1;
    const long imageCount = app.w_ImageSlots;
    app.h_SocketFreeSem = MakeSemaphore(socketCount, socketCount);
    app.h_SocketFilledSem = MakeSemaphore(0, socketCount);
    app.h_ImageFreeSem = MakeSemaphore(imageCount, imageCount);
    app.JPEGImageBufferRelSem = MakeSemaphore(0, imageCount);
    app.h_FrameCopySem = MakeSemaphore(0, 1);
    if (!app.h_SocketFreeSem || !app.h_SocketFilledSem || !app.h_ImageFreeSem ||
        !app.JPEGImageBufferRelSem || !app.h_FrameCopySem) {
        return 0;
    }
    Media().CreateRecorderResources();
    return 1;
}

int FreeSystemSemaphore() {
    AppGlobalState& app = *g_lpApp;
    app.h_SocketFreeSem.reset();
    app.h_SocketFilledSem.reset();
    app.h_ImageFreeSem.reset();
    app.JPEGImageBufferRelSem.reset();
    app.h_FrameCopySem.reset();
    Media().FreeRecorderResources();
    return 1;
}
