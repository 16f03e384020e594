#pragma once

// The first stage of the live picture: the stream receive thread.
//
// It opens "/Getvideo.cgi" on a connection of its own, reads the stream in
// pieces of at most kStreamReadBytes until it has a frame header and the
// start of the JPEG image behind it, reads the rest of the image straight
// into its slot, and hands each complete image to the compose thread
// through the two socket slots (lp_SocketBuffer, one FrameHeaderInfo per slot
// in lp_FrameHeaderTable; h_SocketFreeSem / h_SocketFilledSem). After a
// damaged frame it skips to the next FF D9 end-of-image marker and resumes
// behind it. When the stream fails it records the reason in g_dwStreamError,
// writes a trace.log line and asks for a new login (kernel message 1).
//
// One instance runs per login and ends after one connection: every failure,
// reset request or stop ends it.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/net/blocking_socket.h"

// The largest piece one receive asks for while a header is looked for; also
// the size of the buffer that holds the bytes behind a frame (the
// carry-over).
inline constexpr std::size_t kStreamReadBytes = 1400;

// Size of the buffer the request is built in.
inline constexpr std::size_t kStreamRequestBytes = 512;

// Reasons of the last stream failure (g_dwStreamError).
inline constexpr std::uint32_t kStreamErrorNoBytes = 4097;      // a read returned no bytes
inline constexpr std::uint32_t kStreamErrorConnect = 4098;      // no connection to the device
inline constexpr std::uint32_t kStreamErrorEndEvent = 4099;     // ended while waiting for a slot
inline constexpr std::uint32_t kStreamErrorSlotTimeout = 4100;  // no free slot in time

// The reason of the last stream failure; written only by the receive thread,
// never cleared.
extern std::atomic<std::uint32_t> g_dwStreamError;

// Time-outs of the receive thread, and a hook for tests. The program keeps
// the defaults; tests shorten them before the thread starts.
struct StreamReceiveSettings {
    // One receive of the stream.
    std::chrono::milliseconds receiveTimeout{20'000};
    // The wait for a free socket slot.
    std::chrono::milliseconds slotWait{10'000};
    // Each send of the request waits this long for room.
    std::chrono::milliseconds sendTimeout{10'000};
    // The TCP handshake.
    std::chrono::milliseconds connectTimeout = CBlockingSocket::kDefaultConnectTimeout;
    // Called on the receive thread with the result of every receive (a byte
    // count, or -1). Tests pace a fake device with it; empty in the program.
    std::function<void(int)> onReceive;
};

// The settings a receive thread takes when it starts.
void SetStreamReceiveSettings(StreamReceiveSettings settings);
StreamReceiveSettings GetStreamReceiveSettings();

// The "/Getvideo.cgi" request for a session cookie and the client's own
// address, byte for byte as the device expects it (note the blank behind
// "*/*" and the literal text "/r/n" behind "zh-tw"). Empty when either text
// could break the request apart (CR, LF or NUL) or the request would not fit
// kStreamRequestBytes.
std::string BuildGetVideoRequest(std::string_view cookie, std::string_view hostIp);

// The trace.log lines of the receive thread.
inline constexpr std::string_view kTraceGotStartEvent = "Got start event";
inline constexpr std::string_view kTraceConnectFailed = "sClient.Connect failed";
inline constexpr std::string_view kTraceWriteFailed = "sClient.Write failed";
inline constexpr std::string_view kTraceSlotEndEvent =
    "dwResult == (WAIT_OBJECT_0 + 1) Get_Image_TimeOut_Message";
inline constexpr std::string_view kTraceSlotTimeout =
    "dwResult == WAIT_TIMEOUT Get_Image_TimeOut_Message";
inline constexpr std::string_view kTraceSlotWaitFailed =
    "dwResult == else Get_Image_TimeOut_Message";
inline constexpr std::string_view kTraceHeaderReadFailed = "if (RtpRecvLength == SOCKET_ERROR)";
inline constexpr std::string_view kTraceHeaderReadEmpty = "iReceiveLength <= 0";
inline constexpr std::string_view kTraceImageReadFailed = "RtpRecvLength == SOCKET_ERROR";
inline constexpr std::string_view kTraceImageReadEmpty = "RtpRecvLength <= 0 2";

// The thread routine. Uses the shared state of g_lpApp (events, socket
// slots, semaphores, counters, flags, settings) and C_FrameHeaderParser.
// Returns 0 on every path.
std::uint32_t Jpeg_TCP_Get_Image_Data_Thread();
