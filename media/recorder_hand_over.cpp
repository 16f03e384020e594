#include "media/recorder_hand_over.h"

#include <array>
#include <new>
#include <span>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"

namespace {

// Waits for the first of `objects` and the end event (when there is one);
// the end event's index is objects.size().
// Waits on the frame path: no allocation.
int WaitWithEnd(std::initializer_list<platform::Waitable*> objects, platform::Event* endEvent) {
    std::array<platform::Waitable*, 3> all{};
    std::size_t count = 0;
    for (platform::Waitable* object : objects) all[count++] = object;
    if (endEvent != nullptr)
        all[count++] = endEvent;
    return platform::WaitForAny(std::span<platform::Waitable* const>(all.data(), count),
                                platform::kInfinite);
}

}  // namespace

RecorderHandOver::~RecorderHandOver() {
    StopThread(std::chrono::milliseconds(100));
}

platform::Semaphore* RecorderHandOver::FreeSemaphore() {
    Resources* r = m_current.load(std::memory_order_acquire);
    return r != nullptr ? &r->free : nullptr;
}

platform::Semaphore* RecorderHandOver::FilledSemaphore() {
    Resources* r = m_current.load(std::memory_order_acquire);
    return r != nullptr ? &r->filled : nullptr;
}

bool RecorderHandOver::CreateResources() {
    auto fresh = std::shared_ptr<Resources>(new (std::nothrow) Resources());
    if (!fresh)
        return false;
    std::lock_guard lock(m_lock);
    m_resources = std::move(fresh);
    m_current.store(m_resources.get(), std::memory_order_release);
    return true;
}

void RecorderHandOver::CloseResources() {
    std::lock_guard lock(m_lock);
    m_current.store(nullptr, std::memory_order_release);
    m_resources.reset();
}

RecorderHandOver::ResourcesPtr RecorderHandOver::Current() const {
    std::lock_guard lock(m_lock);
    return m_resources;
}

bool RecorderHandOver::StartThread(Body body, std::string name, platform::Event* endEvent) {
    StopThread(std::chrono::milliseconds(10));
    ResourcesPtr resources = Current();
    if (!resources)
        return false;
    return m_thread.Start(
        [this, body = std::move(body), resources = std::move(resources), endEvent] {
            const std::uint32_t code = body(resources, endEvent);
            m_active.store(false, std::memory_order_release);
            return code;
        },
        std::move(name));
}

void RecorderHandOver::StopThread(std::chrono::milliseconds bound) {
    m_thread.Stop(bound);
    m_active.store(false, std::memory_order_release);
}

RecorderHandOver::Wake RecorderHandOver::WaitForStart(Resources& r, platform::Event* endEvent) {
    return WaitWithEnd({&r.start}, endEvent) == 0 ? Wake::Start : Wake::End;
}

RecorderHandOver::Wake RecorderHandOver::WaitForFrame(Resources& r, platform::Event* endEvent,
                                                      bool stopFirst) {
    // The wait takes the first of the objects that is signalled.
    const int woken = stopFirst ? WaitWithEnd({&r.stop, &r.filled}, endEvent)
                                : WaitWithEnd({&r.filled, &r.stop}, endEvent);
    if (woken == 0)
        return stopFirst ? Wake::Stop : Wake::Frame;
    if (woken == 1)
        return stopFirst ? Wake::Frame : Wake::Stop;
    return Wake::End;
}

void RecorderHandOver::Activate() {
    m_active.store(true, std::memory_order_release);
}

void RecorderHandOver::Deactivate(Resources& r, platform::Event* endEvent) {
    if (!IsRecording())
        return;
    if (endEvent == nullptr || !endEvent->IsSet()) {
        for (;;) {
            const int woken = WaitWithEnd({&r.filled, &r.free}, endEvent);
            if (woken == 0) {
                // A frame handed over before the feed could know: give it back.
                r.free.Release();
                continue;
            }
            if (woken == 1) {
                // Holding the free semaphore, the feed cannot be between its
                // check and its wake-up: after this it passes us by.
                m_active.store(false, std::memory_order_release);
                r.free.Release();
                return;
            }
            break;  // the end event or a stop request
        }
    }
    // The stream is ending: the feed stores nothing more, and the semaphores
    // are made anew before the next login. Give back a frame already handed
    // over, if the wait can still take it.
    m_active.store(false, std::memory_order_release);
    if (r.filled.Wait(std::chrono::milliseconds(0)) == platform::WaitResult::Signaled) {
        r.free.Release();
    }
}

RecFileHeader NewRecordHeader(RecordKind kind, std::chrono::system_clock::time_point now) {
    RecFileHeader header;
    header.kind = kind;
    header.created = LocalRecordTime(now);
    if (g_lpApp != nullptr) {
        SetHeaderIdentity(header, g_lpApp->CSettingINI.m_strServerName.Get(),
                          g_lpApp->CSettingINI.m_strUserName.Get());
    }
    return header;
}

void ReportRecordFailure(bool showMessageBox) {
    constexpr unsigned kRecordFileFailed = 4018;
    LiveView().SetStatusText(std::string(LoadText(kRecordFileFailed)));
    if (showMessageBox)
        ShowMessage(kRecordFileFailed);
}
