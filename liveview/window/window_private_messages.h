#pragma once

#include <cstdint>

#include "core/application/window_messages.h"

// The main window's private messages besides the shared ones of
// core/application/window_messages.h.
inline constexpr std::uint32_t WM_ENABLERECORDBUTTON = 0x403;
inline constexpr std::uint32_t WM_RELOGIN = 0x404;
inline constexpr std::uint32_t WM_PTZCLICK = 0x40A;
inline constexpr std::uint32_t WM_LEAVESPECIALVIEW = 0x40B;

// Work that other threads hand to the window's GUI thread.
inline constexpr std::uint32_t WM_ENTERFULLSCREENLAYOUT = 0x1103;  // first full-screen frame
inline constexpr std::uint32_t WM_CHANGEITEMPOSITION = 0x1104;     // re-layout for the device
inline constexpr std::uint32_t WM_APPLYSKIN = 0x1105;              // wParam: skin slot 0..3
inline constexpr std::uint32_t WM_ARRANGECHANNELS = 0x1106;
inline constexpr std::uint32_t WM_REQUESTCHANNEL = 0x1107;  // wParam: channel 1..16
inline constexpr std::uint32_t WM_SETRETRBUTTON = 0x1108;   // wParam: enabled
inline constexpr std::uint32_t WM_RESETPTZBUTTON = 0x1109;
inline constexpr std::uint32_t WM_APPLYBUTTONLAYOUT = 0x110A;
