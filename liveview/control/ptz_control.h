#pragma once

// PTZ control: the bodies that choose a PTZ unit on the recorder's RS-485
// bus or go back to the recorder, the click-to-position grid over the
// picture with its bodies, and the slave list the device reports on
// "/PTZReset.cgi".

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "liveview/control/key_sender.h"

inline constexpr int kPtzGridColumns = 16;
inline constexpr int kPtzGridRows = 12;
inline constexpr int kPtzNumberMax = 16;

// The body that makes PTZ n (1-16) the one the keys address; nothing for
// another number.
std::optional<std::array<std::uint8_t, 5>> PtzSelectionBody(int n);
// The body that hands the keys back to the recorder.
inline constexpr std::array<std::uint8_t, 4> kBackToRecorderBody{0x01, 0x10, 0x01, 0x32};

// A picture rectangle: left and top inside, right and bottom just outside.
struct PictureRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct PtzClick {
    int column = 0;  // 0..15
    int row = 0;     // 0..11
    std::uint8_t cell = 0;
    // Where the mark is drawn, in picture coordinates.
    std::uint16_t markX = 0;
    std::uint16_t markY = 0;
};

// The grid cell of a click at (x, y) on picture rectangle `v`: nothing when
// the click is not strictly inside (in full screen 8 pixels in from each
// edge). The cell is clamped to the grid whatever the sizes. In full screen
// the mark is scaled to the layout's video size `videoWidth` x
// `videoHeight`.
std::optional<PtzClick> PtzClickCell(const PictureRect& v, int x, int y, bool fullScreen,
                                     int videoWidth, int videoHeight);

// The click body for a device type: type 8 (PTZ) and the slave types 11, 18
// and 25 have one; any other type sends nothing.
std::optional<Rs485Body> PtzClickBody(std::uint8_t type, std::uint8_t cell, std::uint8_t id,
                                      std::uint8_t rights);

// One slave of the "/PTZReset.cgi" reply, with the types of the
// device-information reply's rules (STYPE 1 is a PTZ slave, 11; SPROTOCOL 1
// makes that a PELCO one, 18).
struct PtzSlave {
    std::uint8_t id = 0;
    std::uint8_t type = 0;
};
std::vector<PtzSlave> ReadPtzSlaveList(std::span<const std::uint8_t> reply);

// Sends "/PTZReset.cgi" and reads the slave list: nothing (after message
// 4065) when the device did not answer.
std::optional<std::vector<PtzSlave>> RequestPtzSlaveList();

// Before a channel switch of a multi-channel recorder: reads the slave list
// again and rebuilds the linked-device table from it (the recorder as
// master 0, then the slaves). 1, or 0 after message 4065; other devices: 1.
int RefreshSlaveDevices();
