#include "platform/window.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

// The registered windows. Posting threads read it; the GUI thread changes it
// and looks each message's window up again at delivery, which is what drops
// messages for a window unregistered after they were posted.
class WindowRegistry {
public:
    WindowHandle Add(MessageTarget* target) {
        std::lock_guard guard(m_lock);
        const WindowHandle handle = ++m_lastHandle;
        m_targets.emplace(handle, target);
        return handle;
    }

    void Remove(WindowHandle handle) {
        std::lock_guard guard(m_lock);
        m_targets.erase(handle);
    }

    MessageTarget* Find(WindowHandle handle) const {
        std::lock_guard guard(m_lock);
        const auto it = m_targets.find(handle);
        return it != m_targets.end() ? it->second : nullptr;
    }

private:
    mutable std::mutex m_lock;
    WindowHandle m_lastHandle = 0;
    std::unordered_map<WindowHandle, MessageTarget*> m_targets;
};

WindowRegistry& Registry() {
    static WindowRegistry registry;
    return registry;
}

void Deliver(WindowHandle window, std::uint32_t message, std::uint64_t wParam,
             std::uint64_t lParam) {
    // Looked up without holding the registry lock during the call: the
    // handler may register, unregister or post, and posting threads must
    // never wait for a handler.
    if (MessageTarget* target = Registry().Find(window)) {
        target->HandleWindowMessage(message, wParam, lParam);
    }
}

}  // namespace

MessageTarget::~MessageTarget() = default;

WindowHandle RegisterWindow(MessageTarget* target) {
    return target != nullptr ? Registry().Add(target) : 0;
}

void UnregisterWindow(WindowHandle window) {
    Registry().Remove(window);
}

bool IsWindow(WindowHandle window) {
    return Registry().Find(window) != nullptr;
}

bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam,
                       std::uint64_t lParam) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || !IsWindow(window)) {
        return false;
    }
    // A queued call on the application object runs on its thread, the GUI
    // thread, in the order the calls were posted.
    return QMetaObject::invokeMethod(
        app, [=] { Deliver(window, message, wParam, lParam); }, Qt::QueuedConnection);
}

void ProcessPostedMessages() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return;
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace platform
