#pragma once

// The control panel's key buttons: each control id sends one key slot of
// the current device's control-file record (the slot is the button's row
// in the skin button table). Turbo keys repeat by the turbo step while
// turbo is on.

#include <array>
#include <cstdint>
#include <optional>

struct KeyButton {
    std::uint16_t controlId;
    std::uint8_t slot;
    bool turbo;
};

inline constexpr std::uint16_t kJoystickMenuId = 8242;

inline constexpr std::array<KeyButton, 65> kKeyButtons{{
    {8250, 0, false},  {8251, 1, false},  {8252, 2, false},  {8253, 3, false},  {8254, 4, false},
    {8255, 5, false},  {8256, 6, false},  {8257, 7, false},  {8258, 8, false},  {8259, 9, false},
    {8260, 10, false}, {8261, 11, false}, {8262, 12, false}, {8263, 13, false}, {8264, 14, false},
    {8265, 15, false}, {8322, 16, false}, {8321, 17, false}, {8271, 18, false}, {8272, 19, false},
    {8273, 20, false}, {8573, 20, false}, {8280, 21, false}, {8281, 22, false}, {8282, 23, false},
    {8283, 24, false}, {8284, 25, false}, {8285, 26, false}, {8286, 27, false}, {8287, 28, false},
    {8288, 29, false}, {8291, 30, true},  {8292, 31, true},  {8289, 32, true},  {8290, 33, true},
    {8313, 34, false}, {8314, 35, false}, {8323, 36, false}, {8324, 37, false}, {8325, 38, false},
    {8326, 39, false}, {8327, 40, false}, {8328, 41, false}, {8220, 42, false}, {8222, 43, false},
    {8223, 44, false}, {8224, 45, false}, {8225, 46, false}, {8226, 47, false}, {8227, 48, false},
    {8228, 49, false}, {8229, 50, false}, {8230, 51, false}, {8231, 52, false}, {8232, 53, false},
    {8240, 54, true},  {8241, 55, true},  {8242, 56, false}, {8243, 57, true},  {8244, 58, true},
    {8350, 62, false}, {8351, 63, false}, {8353, 64, false}, {8354, 65, false}, {8355, 66, false},
}};

constexpr std::optional<KeyButton> FindKeyButton(std::uint32_t controlId) {
    for (const KeyButton& key : kKeyButtons) {
        if (key.controlId == controlId)
            return key;
    }
    return std::nullopt;
}
