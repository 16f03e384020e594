#pragma once

#include <cstdint>

namespace platform {

// An opaque id of a window that can receive posted messages; 0 is none. Ids
// are never reused, so a message posted to a window that is gone can never
// reach a newer one.
using WindowHandle = std::uint64_t;

// What a window implements to receive posted messages. Called on the GUI
// thread only.
class MessageTarget {
public:
    virtual ~MessageTarget();
    virtual void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                     std::uint64_t lParam) = 0;
};

// Gives a target a new handle (0 for a null target). Called on the GUI thread.
WindowHandle RegisterWindow(MessageTarget* target);

// Withdraws a handle. Called on the GUI thread, before the target is
// destroyed; once it returns no message reaches the target, not even one
// posted earlier and still queued.
void UnregisterWindow(WindowHandle window);

bool IsWindow(WindowHandle window);

// Sends the window to the bottom of the window order, without activating,
// moving or resizing it. Called on the GUI thread; false when the handle
// names no window.
bool SendWindowToBottom(WindowHandle window);

// Queues a message for the window; callable from any thread, never blocks.
// The window handles it on the GUI thread, after every message posted before
// it. Returns false when the window is not registered or there is no Qt
// application to deliver on.
bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam,
                       std::uint64_t lParam);

// Delivers the messages (and other Qt events) queued so far. For tests; call
// on the GUI thread.
void ProcessPostedMessages();

}  // namespace platform
