#pragma once

#include <cstdint>

// Private window messages posted to the main window by the core and by the
// window itself.
inline constexpr std::uint32_t WM_USER = 0x400;
inline constexpr std::uint32_t WM_POSTALARMAUDIO = 0x402;
// Shows the message box of the text number in wParam on the GUI thread.
inline constexpr std::uint32_t WM_SHOWERRORMESSAGE = 0x406;
inline constexpr std::uint32_t WM_LIFETIMEOVER = 0x40C;
// Posted to the login dialog by its login threads: failed (wParam 1, 2 or 3),
// next animation frame, logged in. lParam carries the number of the login
// run that posted it.
inline constexpr std::uint32_t WM_LOGINFAILED = 0x40F;
inline constexpr std::uint32_t WM_LOGINANIMATE = 0x410;
// The server-log download's result (wParam 1 complete, 2 empty, 4 failed).
inline constexpr std::uint32_t WM_LOGDOWNLOADSTATE = 0x411;
inline constexpr std::uint32_t WM_REDRAWINFOAREA = 0x413;
inline constexpr std::uint32_t WM_SHOWLOGINSTATUS = 0x41B;
inline constexpr std::uint32_t WM_CAMERASTATE = 0x420;
// Posted by the login dialog to itself on the Enter key: log in.
inline constexpr std::uint32_t WM_LOGINENTER = 0x421;
inline constexpr std::uint32_t WM_LOGINSUCCESS = 0x422;
// Posted to the connect-wait dialog by its login worker: lParam is the
// dialog's result, 1 (logged in, device information read) or -1 (failed).
inline constexpr std::uint32_t WM_CLOSECONNECTWAIT = 0x42B;
// The status text changed (set from any thread; the text is kept by the window).
inline constexpr std::uint32_t WM_SETSTATUSTEXT = 0x1100;
// A new picture is waiting in the window (the kernel-message thread filled it).
inline constexpr std::uint32_t WM_FRAMEREADY = 0x1101;
// The record button's state changed (wParam: 1 recording, 0 not).
inline constexpr std::uint32_t WM_RECORDSTATE = 0x1102;
