#pragma once

// Every window message the program posts, in one place. Each window reads
// only the messages meant for it, but the values are all distinct, so that a
// message posted to the wrong window can never be taken for another one. The
// check at the end of the file keeps it so.

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/process_window.h"

inline constexpr std::uint32_t WM_USER = 0x400;

// ---- the main window ---------------------------------------------------------

inline constexpr std::uint32_t WM_POSTALARMAUDIO = 0x402;
inline constexpr std::uint32_t WM_ENABLERECORDBUTTON = 0x403;
inline constexpr std::uint32_t WM_RELOGIN = 0x404;
// Shows the message box of the text number in wParam on the GUI thread.
inline constexpr std::uint32_t WM_SHOWERRORMESSAGE = 0x406;
inline constexpr std::uint32_t WM_PTZCLICK = 0x40A;
inline constexpr std::uint32_t WM_LEAVESPECIALVIEW = 0x40B;
inline constexpr std::uint32_t WM_LIFETIMEOVER = 0x40C;
inline constexpr std::uint32_t WM_REDRAWINFOAREA = 0x413;
inline constexpr std::uint32_t WM_SHOWLOGINSTATUS = 0x41B;
// The status text changed (set from any thread; the text is kept by the window).
inline constexpr std::uint32_t WM_SETSTATUSTEXT = 0x1100;
// A new picture is waiting in the window (the kernel-message thread filled it).
inline constexpr std::uint32_t WM_FRAMEREADY = 0x1101;
// The record button's state changed (wParam: 1 recording, 0 not).
inline constexpr std::uint32_t WM_RECORDSTATE = 0x1102;
// Work that other threads hand to the window's GUI thread.
inline constexpr std::uint32_t WM_ENTERFULLSCREENLAYOUT = 0x1110;  // first full-screen frame
inline constexpr std::uint32_t WM_CHANGEITEMPOSITION = 0x1111;     // re-layout for the device
inline constexpr std::uint32_t WM_APPLYSKIN = 0x1112;              // wParam: skin slot 0..3
inline constexpr std::uint32_t WM_ARRANGECHANNELS = 0x1113;
inline constexpr std::uint32_t WM_REQUESTCHANNEL = 0x1114;  // wParam: channel 1..16
inline constexpr std::uint32_t WM_SETRETRBUTTON = 0x1115;   // wParam: enabled
inline constexpr std::uint32_t WM_RESETPTZBUTTON = 0x1116;
inline constexpr std::uint32_t WM_APPLYBUTTONLAYOUT = 0x1117;
// The main window's close sequence starts (posted by the termination signals).
inline constexpr std::uint32_t WM_BEGINCLOSE = 0x1118;

// ---- windows of the live view ----------------------------------------------

// To the camera image toolbar: wParam bits 0-3 zoom mode, bit 6 vertical
// flip, bit 7 horizontal flip.
inline constexpr std::uint32_t WM_CAMERASTATE = 0x420;
// To the channel bar's mailbox: show channel wParam of the bar model lParam.
inline constexpr std::uint32_t WM_SHOWCHANNEL = 0x1119;
// To a skinned button's mailbox: paint the face of index wParam.
inline constexpr std::uint32_t WM_PAINTSTATEFACE = 0x111A;
// The buzzer test dialog's own: show or hide its check box, and the timer's
// tick, posted while the picture is connected.
inline constexpr std::uint32_t WM_BUZZERSHOWCHECK = 0x1103;
inline constexpr std::uint32_t WM_BUZZERHIDECHECK = 0x1104;
inline constexpr std::uint32_t WM_BUZZERTICK = 0x1105;

// ---- the login and connect dialogs -------------------------------------------

// Posted to the login dialog by its login threads: failed (wParam 1, 2 or 3),
// next animation frame, logged in. lParam carries the number of the login
// run that posted it.
inline constexpr std::uint32_t WM_LOGINFAILED = 0x40F;
inline constexpr std::uint32_t WM_LOGINANIMATE = 0x410;
// Posted by the login dialog to itself on the Enter key: log in.
inline constexpr std::uint32_t WM_LOGINENTER = 0x421;
inline constexpr std::uint32_t WM_LOGINSUCCESS = 0x422;
// Posted to the connect-wait dialog by its login worker: lParam is the
// dialog's result, 1 (logged in, device information read) or -1 (failed).
inline constexpr std::uint32_t WM_CLOSECONNECTWAIT = 0x42B;
// Posted by the LAN search thread to its dialog; wParam is the number of the
// search that posts, so that messages of a search already replaced are
// dropped. A reply's entry waits in the dialog's mailbox; the end message
// carries the SearchEnd in lParam.
inline constexpr std::uint32_t WM_SEARCHREPLY = 0x500;
inline constexpr std::uint32_t WM_SEARCHEND = 0x501;

// ---- the configuration sheet and its pages ---------------------------------

// The server-log download's result (wParam 1 complete, 2 empty, 4 failed),
// to the General page.
inline constexpr std::uint32_t WM_LOGDOWNLOADSTATE = 0x411;
// To the sheet: show the Network Backup page (the record list filled the
// pending download request), and store the server time page's values.
inline constexpr std::uint32_t WM_SHOWBACKUPPAGE = 0x415;
inline constexpr std::uint32_t WM_SAVESNTP = 0x41C;
// To the sheet after every progress command: wParam is the command.
inline constexpr std::uint32_t WM_SHEETPROGRESS = 0x502;
// To the detection area editor: a frame was copied for it.
inline constexpr std::uint32_t WM_FRAMECOPIED = 0x503;

// ---- maintenance -------------------------------------------------------------

// To the download progress dialog: wParam the state, lParam the percentage.
inline constexpr std::uint32_t WM_DOWNLOADSTATE = 0x412;
// The Network Backup page to itself: hand the finished file to the player.
inline constexpr std::uint32_t WM_PLAYDOWNLOADEDFILE = 0x414;
// The firmware upload threads to the upgrade dialog.
inline constexpr std::uint32_t WM_UPGRADEENABLEBUTTON = 0x428;
inline constexpr std::uint32_t WM_UPGRADEDISABLEBUTTON = 0x429;
inline constexpr std::uint32_t WM_UPGRADECLOSE = 0x42A;
// The upload's progress (wParam: percent, lParam: 1 shown, 0 hidden); the
// upload thread never touches the progress bar itself.
inline constexpr std::uint32_t WM_UPGRADEPROGRESS = 0x42C;

// ---- exchanged with the external player --------------------------------------

// These cross into another process: their values are part of the player's
// protocol and never change.
inline constexpr std::uint32_t WM_PLAYER_ATTACH = 0x1200;
inline constexpr std::uint32_t WM_PLAYER_READY = 0x1201;
inline constexpr std::uint32_t WM_PLAYER_NEWDATA = 0x1202;
inline constexpr std::uint32_t WM_PLAYER_DATAEND = 0x1203;
inline constexpr std::uint32_t WM_PLAYER_ERROR = 0x1204;

// ---- distinctness --------------------------------------------------------------

inline constexpr std::array kAllWindowMessages{
    WM_POSTALARMAUDIO,
    WM_ENABLERECORDBUTTON,
    WM_RELOGIN,
    WM_SHOWERRORMESSAGE,
    WM_PTZCLICK,
    WM_LEAVESPECIALVIEW,
    WM_LIFETIMEOVER,
    WM_REDRAWINFOAREA,
    WM_SHOWLOGINSTATUS,
    WM_SETSTATUSTEXT,
    WM_FRAMEREADY,
    WM_RECORDSTATE,
    WM_ENTERFULLSCREENLAYOUT,
    WM_CHANGEITEMPOSITION,
    WM_APPLYSKIN,
    WM_ARRANGECHANNELS,
    WM_REQUESTCHANNEL,
    WM_SETRETRBUTTON,
    WM_RESETPTZBUTTON,
    WM_APPLYBUTTONLAYOUT,
    WM_BEGINCLOSE,
    WM_CAMERASTATE,
    WM_SHOWCHANNEL,
    WM_PAINTSTATEFACE,
    WM_BUZZERSHOWCHECK,
    WM_BUZZERHIDECHECK,
    WM_BUZZERTICK,
    WM_LOGINFAILED,
    WM_LOGINANIMATE,
    WM_LOGINENTER,
    WM_LOGINSUCCESS,
    WM_CLOSECONNECTWAIT,
    WM_SEARCHREPLY,
    WM_SEARCHEND,
    WM_LOGDOWNLOADSTATE,
    WM_SHOWBACKUPPAGE,
    WM_SAVESNTP,
    WM_SHEETPROGRESS,
    WM_FRAMECOPIED,
    WM_DOWNLOADSTATE,
    WM_PLAYDOWNLOADEDFILE,
    WM_UPGRADEENABLEBUTTON,
    WM_UPGRADEDISABLEBUTTON,
    WM_UPGRADECLOSE,
    WM_UPGRADEPROGRESS,
    WM_PLAYER_ATTACH,
    WM_PLAYER_READY,
    WM_PLAYER_NEWDATA,
    WM_PLAYER_DATAEND,
    WM_PLAYER_ERROR,
    platform::kCopyDataMessage,
};

constexpr bool WindowMessagesAreDistinct() {
    std::array sorted = kAllWindowMessages;
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}
static_assert(WindowMessagesAreDistinct(), "two window messages share a value");
