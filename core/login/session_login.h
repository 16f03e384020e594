#pragma once

#include <cstdint>

// The session login thread: logs in, reads the device information, asks for
// the streaming set to be rebuilt and lets the stream start. Retries with
// pauses until it succeeds or is stopped. Returns 0 on success.
std::uint32_t LoginProcessThread();

// Asks the device for its information ("/Getdeviceinfo.cgi", after the INF
// section for recorders that have it) and fills the identity members and the
// linked-device table from the reply. False when the request failed or the
// reply was empty. Used by the session login thread and by the main window
// when it opens.
bool ReadDeviceInformation();
