#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/net/cgi_command.h"

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

// Fits the "Selected Channel" setting to the channel count of `productId`
// (the recorders' 4, 8 and 16 channels, Q3A2's channels 1 and 2).
void ClampSelectedChannel(const std::string& productId);

// Takes the video mode, the user level and the boot, 2041 and FPGA versions
// from a device-information reply into the global state, each only when the
// reply has it.
void ReadModeAndVersionItems(const ReplyItems& items);

// The "/Getdeviceinfo.cgi" request for the current settings: the session
// cookie, resolution, quality and channel and, for firmware that knows it,
// the new frame-header layout; the media pipeline is told which header
// layout to expect from then on.
CCgiUrl PrepareDeviceInfoRequest();

// The reason of the last stream failure (the stream receive thread's
// g_dwStreamError); 0 while there was none.
std::uint32_t GetStreamError();

// The number of bytes before the first 0xFF; all of them when there is none.
std::size_t CountBytesBeforeFF(std::span<const std::uint8_t> bytes);

// The position plus one of the first FF D9 FF FF lying wholly within
// `bytes`; 0 when there is none.
std::size_t FindJpegEndMarker(std::span<const std::uint8_t> bytes);

// Copies a device record packed by the device (DeviceRecord::kPackedBytes,
// little-endian) field by field into the global state's DeviceRecord. 1; 0
// when fewer bytes are given or there is no global state.
int CopyDeviceRecord(std::span<const std::uint8_t> packed);
