#pragma once

#include <cstdint>

// The session login thread: logs in, reads the device information, asks for
// the streaming set to be rebuilt and lets the stream start. Retries with
// pauses until it succeeds or is stopped. Returns 0 on success.
std::uint32_t LoginProcessThread();
