#pragma once

#include <stop_token>

namespace platform {

// The stop token of the calling thread. Threads started through
// platform::Thread get their own; every other thread (the GUI thread, test
// threads) gets a token that can never be stopped. Every blocking wait of the
// platform layer and of the socket layer watches this token, so asking a
// thread to stop wakes it wherever it waits.
std::stop_token CurrentStopToken() noexcept;

// Installs the calling thread's token; used by platform::Thread when a thread
// starts, and by tests that drive a routine on a thread of their own.
void SetCurrentStopToken(std::stop_token token) noexcept;

}  // namespace platform
