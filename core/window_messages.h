#pragma once

#include <cstdint>

// Private window messages posted to the main window by the core and by the
// window itself.
inline constexpr std::uint32_t WM_USER = 0x400;
inline constexpr std::uint32_t WM_POSTALARMAUDIO = 0x402;
inline constexpr std::uint32_t WM_LIFETIMEOVER = 0x40C;
// Posted to the login dialog by its login threads: failed (wParam 1, 2 or 3),
// next animation frame, logged in.
inline constexpr std::uint32_t WM_LOGINFAILED = 0x40F;
inline constexpr std::uint32_t WM_LOGINANIMATE = 0x410;
inline constexpr std::uint32_t WM_REDRAWINFOAREA = 0x413;
inline constexpr std::uint32_t WM_SHOWLOGINSTATUS = 0x41B;
inline constexpr std::uint32_t WM_CAMERASTATE = 0x420;
inline constexpr std::uint32_t WM_LOGINSUCCESS = 0x422;
// The status text changed (set from any thread; the text is kept by the window).
inline constexpr std::uint32_t WM_SETSTATUSTEXT = 0x1100;
