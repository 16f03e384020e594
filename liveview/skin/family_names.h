#pragma once

// The names of the device families, by device type. The control file keys
// its records by these names and the skin tables name their family blocks
// with them, so they sit below both.

#include <array>
#include <cstddef>
#include <string_view>

// The device families, by device type 0-25; a family's key sequences come
// from the record whose name equals the family's name.
inline constexpr std::size_t kCtrlFamilyCount = 26;
inline constexpr std::array<std::string_view, kCtrlFamilyCount> kCtrlFamilyNames{
    "CAMERA",
    "1CH DVR",
    "4CH DVR (FULL)",
    "4CH DVR (BASIC)",
    "4CH DMR",
    "9CH DMR",
    "16CH DMR",
    "4CH DQR",
    "PTZ",
    "4CH MEPG2 DVR",
    "4CH NETWORK DVR",
    "PTZ SLAVE",
    "4CH NETWORK DVR (BASIC)",
    "9CH NETWORK DMR",
    "16CH NETWORK DMR",
    "4CH NETWORK MEPG2 DVR",
    "Q8B0",
    "PTZ SLAVE BASIC",
    "PTZ PELCO",
    "ZRT 417 DVR",
    "8CH NETWORK DMR",
    "4CH NETWORK DMR",
    "ZRT 415 DVR",
    "ZRT 413 DVR",
    "16CH NETWORK DVR",
    "PTZ PELCO D",
};
