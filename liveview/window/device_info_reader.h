#pragma once

// The main window's reading of the "/Getdeviceinfo.cgi" reply: the session
// life time, the linked devices (masters, slaves, the R.E.T.R. recorder), the
// multi-channel flag, the video standard, the user level and the version
// texts, written into the shared state.
//
// The reply is device input: every value is read through the bounded item
// reader, counts are taken as the device's unsigned byte, and a linked type
// the skin tables do not know is refused by the linked-device table.

#include <cstdint>
#include <span>

struct WindowDeviceInfo {
    bool retrPresent = false;    // the reply named a R.E.T.R. recorder that counts
    std::uint8_t retrState = 0;  // its state, for the linked recorder
};

// Reads `reply` into g_lpApp (the linked-device table is added to, not
// emptied, except where the R.E.T.R. rule empties it).
WindowDeviceInfo ReadWindowDeviceInfo(std::span<const std::uint8_t> reply);

// Sends "/Getdeviceinfo.cgi" with the window's keys (Cookie, RES, QUA, CH and
// NEWHR where the device takes it), sets the frame-header layout to match and
// reads the reply. False when the request failed or the reply was empty.
bool RequestWindowDeviceInfo(WindowDeviceInfo& info);
