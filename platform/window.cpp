#include "platform/window.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <deque>
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

struct PostedMessage {
    WindowHandle window;
    std::uint32_t message;
    std::uint64_t wParam;
    std::uint64_t lParam;
};

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

bool SendWindowToBottom(WindowHandle window) {
    auto* widget = dynamic_cast<QWidget*>(Registry().Find(window));
    if (widget == nullptr) {
        return false;
    }
    widget->window()->lower();
    return true;
}

namespace {

// Messages waiting for the GUI thread, in the order they were posted.
//
// Qt's own event queue would carry them as well, but its lock lives in the Qt
// library, which ThreadSanitizer does not see into: every message a worker
// thread posted would look unordered against its delivery. So the message
// itself travels through this queue, and the Qt event only wakes the GUI
// thread at the place the message had in Qt's queue. The event is posted
// while m_lock is held, and each wake-up reads what it carries only once it
// holds m_lock, which also orders Qt's event object (made here, freed on the
// GUI thread) for the tools.
class PostedMessages {
public:
    static PostedMessages& Instance() {
        static PostedMessages posted;
        return posted;
    }

    bool Post(QCoreApplication* app, const PostedMessage& message) {
        std::lock_guard guard(m_lock);
        const std::uint64_t sequence = ++m_lastSequence;
        m_queue.push_back({sequence, message});
        if (QMetaObject::invokeMethod(
                app, [sequence] { Instance().DeliverThrough(&sequence); }, Qt::QueuedConnection)) {
            return true;
        }
        m_queue.pop_back();
        return false;
    }

private:
    struct Entry {
        std::uint64_t sequence;
        PostedMessage message;
    };

    // Delivers, oldest first, every message up to the wake-up's own (older
    // ones are left only when an application object went away with its
    // events). One message at a time, so that a handler which pumps the
    // queue itself (a modal box) still sees the later ones in order.
    void DeliverThrough(const std::uint64_t* sequence) {
        for (;;) {
            PostedMessage message{};
            {
                std::lock_guard guard(m_lock);
                if (m_queue.empty() || m_queue.front().sequence > *sequence)
                    return;
                message = m_queue.front().message;
                m_queue.pop_front();
            }
            Deliver(message.window, message.message, message.wParam, message.lParam);
        }
    }

    std::mutex m_lock;
    std::uint64_t m_lastSequence = 0;
    std::deque<Entry> m_queue;
};

}  // namespace

bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam,
                       std::uint64_t lParam) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || !IsWindow(window)) {
        return false;
    }
    // A queued call on the application object runs on its thread, the GUI
    // thread, in the order the calls were posted.
    return PostedMessages::Instance().Post(app, PostedMessage{window, message, wParam, lParam});
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
