#pragma once

// The device command client: the table of CGI paths, the request target
// builder CCgiUrl, the sender TirelSendCommand (one GET per TCP connection,
// status 200 only) and the reader of the "key=value;" items of text replies.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/net/blocking_socket.h"

// ---- command path table ---------------------------------------------------

struct CgiCommandRow {
    std::uint32_t index;
    std::string_view path;
};

inline constexpr std::size_t kCgiCommandCount = 40;

// Rows 24 and 26 carry the same path; row 26 is never sent.
inline constexpr std::array<CgiCommandRow, kCgiCommandCount> kCgiCommandTable{{
    {0, "/Login.cgi"},
    {1, "/Getvideo.cgi"},
    {2, "/SetChannel.cgi"},
    {3, "/Setresolution.cgi"},
    {4, "/Setquality.cgi"},
    {5, "/Setbrcssa.cgi"},
    {6, "/GetSysCfg.cgi"},
    {7, "/Periodcommand.cgi"},
    {8, "/SetSysCfg.cgi"},
    {9, "/UpgradeFW.cgi"},
    {10, "/GetOnlineUser.cgi"},
    {11, "/RS485Cmd.cgi"},
    {12, "/SetTirel.cgi"},
    {13, "/Reboot.cgi"},
    {14, "/Getdeviceinfo.cgi"},
    {15, "/Getlog.cgi"},
    {16, "/SetRetr.cgi"},
    {17, "/GetDvrHDD.cgi"},
    {18, "/NetworkBk.cgi"},
    {19, "/PTZReset.cgi"},
    {20, "/GetColor.cgi"},
    {21, "/SetColor.cgi"},
    {22, "/SyncTime.cgi"},
    {23, "/GetSearchList.cgi"},
    {24, "/GetVersion.cgi"},
    {25, "/CancelNB.cgi"},
    {26, "/GetVersion.cgi"},
    {27, "/GetDvrName.cgi"},
    {28, "/getDefaultLang.cgi"},
    {29, "/getIndexLang.cgi"},
    {30, "/OV9653Zoom.cgi"},
    {31, "/OV9653Rotate.cgi"},
    {32, "/ClearLog.cgi"},
    {33, "/GetDvrDate.cgi"},
    {34, "/SetDvrDate.cgi"},
    {35, "/GetRecordSetting.cgi"},
    {36, "/SetRecordSetting.cgi"},
    {37, "/CancelUPFW.cgi"},
    {38, "/SetBuzzer.cgi"},
    {39, "/SearchPlayBack.cgi"},
}};

// The device commands by name; each value is the index of its row above.
// Row 26 has no name: nothing sends it.
enum class CgiCommand : std::uint8_t {
    kLogin = 0,
    kGetVideo = 1,
    kSetChannel = 2,
    kSetResolution = 3,
    kSetQuality = 4,
    kSetBrcssa = 5,
    kGetSysCfg = 6,
    kPeriodCommand = 7,
    kSetSysCfg = 8,
    kUpgradeFw = 9,
    kGetOnlineUser = 10,
    kRs485Cmd = 11,
    kSetTirel = 12,
    kReboot = 13,
    kGetDeviceInfo = 14,
    kGetLog = 15,
    kSetRetr = 16,
    kGetDvrHdd = 17,
    kNetworkBk = 18,
    kPtzReset = 19,
    kGetColor = 20,
    kSetColor = 21,
    kSyncTime = 22,
    kGetSearchList = 23,
    kGetVersion = 24,
    kCancelNb = 25,
    kGetDvrName = 27,
    kGetDefaultLang = 28,
    kGetIndexLang = 29,
    kOv9653Zoom = 30,
    kOv9653Rotate = 31,
    kClearLog = 32,
    kGetDvrDate = 33,
    kSetDvrDate = 34,
    kGetRecordSetting = 35,
    kSetRecordSetting = 36,
    kCancelUpfw = 37,
    kSetBuzzer = 38,
    kSearchPlayBack = 39,
};

constexpr std::uint8_t CgiIndex(CgiCommand command) {
    return static_cast<std::uint8_t>(command);
}

// Whether the row of `command` holds `path`: the names cannot drift from the
// table.
constexpr bool CgiRowNames(CgiCommand command, std::string_view path) {
    const std::size_t index = CgiIndex(command);
    return index < kCgiCommandTable.size() && kCgiCommandTable[index].index == index &&
           kCgiCommandTable[index].path == path;
}

static_assert(CgiRowNames(CgiCommand::kLogin, "/Login.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetVideo, "/Getvideo.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetChannel, "/SetChannel.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetResolution, "/Setresolution.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetQuality, "/Setquality.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetBrcssa, "/Setbrcssa.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetSysCfg, "/GetSysCfg.cgi"));
static_assert(CgiRowNames(CgiCommand::kPeriodCommand, "/Periodcommand.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetSysCfg, "/SetSysCfg.cgi"));
static_assert(CgiRowNames(CgiCommand::kUpgradeFw, "/UpgradeFW.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetOnlineUser, "/GetOnlineUser.cgi"));
static_assert(CgiRowNames(CgiCommand::kRs485Cmd, "/RS485Cmd.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetTirel, "/SetTirel.cgi"));
static_assert(CgiRowNames(CgiCommand::kReboot, "/Reboot.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetDeviceInfo, "/Getdeviceinfo.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetLog, "/Getlog.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetRetr, "/SetRetr.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetDvrHdd, "/GetDvrHDD.cgi"));
static_assert(CgiRowNames(CgiCommand::kNetworkBk, "/NetworkBk.cgi"));
static_assert(CgiRowNames(CgiCommand::kPtzReset, "/PTZReset.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetColor, "/GetColor.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetColor, "/SetColor.cgi"));
static_assert(CgiRowNames(CgiCommand::kSyncTime, "/SyncTime.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetSearchList, "/GetSearchList.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetVersion, "/GetVersion.cgi"));
static_assert(CgiRowNames(CgiCommand::kCancelNb, "/CancelNB.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetDvrName, "/GetDvrName.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetDefaultLang, "/getDefaultLang.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetIndexLang, "/getIndexLang.cgi"));
static_assert(CgiRowNames(CgiCommand::kOv9653Zoom, "/OV9653Zoom.cgi"));
static_assert(CgiRowNames(CgiCommand::kOv9653Rotate, "/OV9653Rotate.cgi"));
static_assert(CgiRowNames(CgiCommand::kClearLog, "/ClearLog.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetDvrDate, "/GetDvrDate.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetDvrDate, "/SetDvrDate.cgi"));
static_assert(CgiRowNames(CgiCommand::kGetRecordSetting, "/GetRecordSetting.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetRecordSetting, "/SetRecordSetting.cgi"));
static_assert(CgiRowNames(CgiCommand::kCancelUpfw, "/CancelUPFW.cgi"));
static_assert(CgiRowNames(CgiCommand::kSetBuzzer, "/SetBuzzer.cgi"));
static_assert(CgiRowNames(CgiCommand::kSearchPlayBack, "/SearchPlayBack.cgi"));

// Raw row indexes of the commands whose index changes how the sender
// behaves, for code that deals in indexes (the sender itself, its tests).
inline constexpr std::uint8_t kCgiLogin = CgiIndex(CgiCommand::kLogin);
inline constexpr std::uint8_t kCgiGetSysCfg = CgiIndex(CgiCommand::kGetSysCfg);
inline constexpr std::uint8_t kCgiSetSysCfg = CgiIndex(CgiCommand::kSetSysCfg);
inline constexpr std::uint8_t kCgiReboot = CgiIndex(CgiCommand::kReboot);
inline constexpr std::uint8_t kCgiGetDeviceInfo = CgiIndex(CgiCommand::kGetDeviceInfo);

// The path of a row; throws std::out_of_range for an index past the table.
std::string_view CgiCommandPath(std::uint8_t commandIndex);
inline std::string_view CgiCommandPath(CgiCommand command) {
    return CgiCommandPath(CgiIndex(command));
}

// ---- request target ---------------------------------------------------------

// The request target of one command: the row's path, then "?name=value" for
// the first parameter and "&name=value" for each further one. Names and
// values go on the wire exactly as given (a space or "&" inside a value is
// not escaped). A name or value holding CR, LF or NUL would break the
// request apart: AddParam then returns 0 and the target is marked refused
// (it keeps the bad text, so TirelSendCommand refuses to send it even when
// the caller does not look at the result).
class CCgiUrl {
public:
    // Throws std::out_of_range for an index past the table.
    explicit CCgiUrl(std::uint8_t commandIndex);
    explicit CCgiUrl(CgiCommand command) : CCgiUrl(CgiIndex(command)) {}

    int AddParam(std::string_view name, std::string_view value);
    int AddParamInt(std::string_view name, std::int32_t value);
    // The session's "Cookie" parameter, left out while there is no session
    // (the cookie is empty). Returns what AddParam returns, 1 when nothing
    // was added.
    int AddSessionCookie(std::string_view cookie);

    std::size_t GetUrlLength() const { return m_strUrl.size(); }
    const std::string& GetUrl() const { return m_strUrl; }
    // The target for TirelSendCommand (the same text as GetUrl).
    std::string_view GetUrlBuffer() const { return m_strUrl; }

    // Back to the bare path of the row, without parameters; returns 1.
    int ResetPath();

    std::uint8_t GetCommandIndex() const { return m_byCommandIndex; }
    std::uint16_t GetParamCount() const { return m_wParamCount; }
    // Whether a name or value was refused since construction or ResetPath.
    bool IsRefused() const { return m_bRefused; }

private:
    std::string m_strUrl;
    std::uint16_t m_wParamCount = 0;
    std::uint8_t m_byCommandIndex;
    bool m_bRefused = false;
};

// Whether text may travel inside a request line: no CR, LF or NUL.
bool IsSafeRequestText(std::string_view text);

// "GET <target>" with the fixed header block that requests on a connection
// of their own carry (the live stream, the firmware upload's side and unit
// connections): a browser's Accept lines, whose Accept-Language value holds
// "/r/n" as four characters, the Host line and Keep-Alive. Empty when the
// target or the address holds CR, LF or NUL.
std::string BuildKeepAliveGet(std::string_view target, std::string_view hostIp);

// ---- sender -----------------------------------------------------------------

// The 8-byte status record: when a reply's status is not 200 the second
// field receives it. The first field becomes kCommandRequestSent once the
// whole request (header and body) was written, so a caller can tell "sent,
// but no reply" from "never reached the device"; it is never cleared.
inline constexpr std::uint32_t kCommandRequestSent = 1;
struct CommandStatus {
    std::uint32_t first = 0;
    std::uint32_t status = 0;
};
static_assert(sizeof(CommandStatus) == 8);

// How many receive time-outs the whole reply, header and body, may take: a
// device that trickles its reply, each byte within the time-out, fails as
// soon after the request as one that says nothing.
inline constexpr int kReplyTimeoutsAllowed = 2;

// Time-outs of one command. Connect is bounded by the socket layer's default.
struct CommandTimeouts {
    std::chrono::milliseconds send;
    // Each read of the reply.
    std::chrono::milliseconds receive;
    std::chrono::milliseconds connect = CBlockingSocket::kDefaultConnectTimeout;
    // The whole reply; none: kReplyTimeoutsAllowed receive time-outs.
    std::optional<std::chrono::milliseconds> reply = std::nullopt;
    // After a whole reply that says "Connection: close": how long to wait
    // for the device's own close before closing, so that the connection's
    // TIME_WAIT stays with the device that closed first. Zero: close at once.
    std::chrono::milliseconds peerClose = std::chrono::milliseconds::zero();

    static CommandTimeouts Seconds(std::uint16_t sendSeconds, std::uint16_t receiveSeconds) {
        return {std::chrono::seconds(sendSeconds), std::chrono::seconds(receiveSeconds)};
    }

    std::chrono::milliseconds ReplyBudget() const {
        // Far beyond any real time-out, and far from overflowing.
        constexpr std::chrono::milliseconds kLongestReceive = std::chrono::hours(24);
        return reply.value_or(kReplyTimeoutsAllowed * std::min(receive, kLongestReceive));
    }
};

// Size of the buffer that the reply header, and then the reply body, are read into.
inline constexpr std::size_t kCommandReceiveBufferBytes = 4108;

// Sends one command to the server address and web port of the settings and
// reads its reply. Returns 1 on success, 0 on failure.
//
// - commandIndex: the path-table row; 0 (login) resolves a host name into the
//   settings, 13 (reboot) returns 1 once the request is sent.
// - target: path and query (CCgiUrl::GetUrlBuffer). A target holding CR, LF
//   or NUL is refused before anything is sent.
// - body: sent after the header with a Content-Length line; empty: no body.
// - status: optional; receives a status other than 200.
// - reply / replyLength: the caller's buffer with its capacity and the length
//   out-parameter; give both or neither (replyLength == nullptr: no reply body
//   is read). The length is 0 on every failure; the buffer is written only on
//   success. A body larger than the buffer, or than the receive buffer,
//   fails the command, as does a body cut short or a reply, header and body
//   together, that has not arrived within the reply budget.
// - connectFailureFlag: with 1 and command 0, a failed connection also shows
//   "Create connection is time out" in the main window's status line.
int TirelSendCommand(std::uint8_t commandIndex, std::string_view target,
                     std::span<const std::uint8_t> body, CommandStatus* status,
                     std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                     std::uint16_t sendSeconds, std::uint16_t receiveSeconds,
                     int connectFailureFlag);

// The same with time-outs of any length (tests inject short ones).
int TirelSendCommand(std::uint8_t commandIndex, std::string_view target,
                     std::span<const std::uint8_t> body, CommandStatus* status,
                     std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                     const CommandTimeouts& timeouts, int connectFailureFlag = 0);

// The same, by the command's name.
inline int TirelSendCommand(CgiCommand command, std::string_view target,
                            std::span<const std::uint8_t> body, CommandStatus* status,
                            std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                            std::uint16_t sendSeconds, std::uint16_t receiveSeconds,
                            int connectFailureFlag) {
    return TirelSendCommand(CgiIndex(command), target, body, status, reply, replyLength,
                            sendSeconds, receiveSeconds, connectFailureFlag);
}
inline int TirelSendCommand(CgiCommand command, std::string_view target,
                            std::span<const std::uint8_t> body, CommandStatus* status,
                            std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                            const CommandTimeouts& timeouts, int connectFailureFlag = 0) {
    return TirelSendCommand(CgiIndex(command), target, body, status, reply, replyLength, timeouts,
                            connectFailureFlag);
}

// 2 when every character is a decimal digit or "." (an empty text too): the
// text is used as a dotted address; 1 otherwise: it is resolved as a host name.
int GetAddressKind(std::string_view text);

// Sets the settings' server address (m_strServerName) from anywhere but the
// login's own host-name rewrite, and forgets the host name that an earlier
// login resolved (m_szResolvedHost), so that no later login goes back to it.
// Used by the login dialog, the login threads and the pending hand-over.
void SetServerAddress(std::string address);

// ---- reply text items ---------------------------------------------------------

// A decimal integer as the C library reads one: leading white space, an
// optional sign, the digits up to the first other character; 0 without
// digits. Saturates at the limits of int.
int ParseSaturatingInt(std::string_view text);

// Reads the items of a text reply: key, "=", value, ";". The text ends at the
// end of the body or at its first zero byte. A key matches only where an item
// starts (at the start of the text, or after a ";" and any white space or line
// breaks) and only when "=" follows it, so "DAY" never matches inside
// "DAYLIGHTSAVING=" or "SUNDAY=". Keys may be given with or without their
// "=". A value runs to the next ";" or to the end of the text.
class ReplyItems {
public:
    // Values are copied into 256-byte buffers: at most 255 characters.
    static constexpr std::size_t kValueCapacity = 256;

    explicit ReplyItems(std::string_view body);
    explicit ReplyItems(std::span<const std::uint8_t> body);

    // The first item of the key: the whole value as it stands in the body.
    std::optional<std::string_view> Raw(std::string_view key) const;
    // The value, at most 255 characters.
    std::optional<std::string> Find(std::string_view key) const;
    // The value as a saturating decimal integer (0 when not numeric).
    std::optional<int> Number(std::string_view key) const;

    // Repeated groups: the search starts at `position`; when the key is found
    // `position` moves to the ";" that ended its value (or the end of the
    // text), otherwise it stays.
    std::optional<std::string> Find(std::string_view key, std::size_t& position) const;
    std::optional<int> Number(std::string_view key, std::size_t& position) const;

    std::string_view Text() const { return m_text; }

private:
    struct Match {
        std::size_t valueBegin;
        std::size_t valueEnd;  // the ";" or the end of the text
    };
    std::optional<Match> Locate(std::string_view key, std::size_t from) const;
    static std::string Bounded(std::string_view value);

    std::string_view m_text;
};

// ---- connection check, text helpers and echo ---------------------------------

// Whether the server of the settings (address and web port) takes a TCP
// connection: 1 when it does, 0 when the address is empty, a host name does
// not resolve or the connection fails. Shows nothing and leaves the settings
// as they are.
int DectectSocketConnection(
    std::chrono::milliseconds connectTimeout = CBlockingSocket::kDefaultConnectTimeout);

// Finds `key` in `text` (which ends at its first zero byte) and copies what
// follows it into `output`: always the first character, then each further
// one up to, not including, `terminator`; the copy ends with a zero byte.
// Returns the position of that terminator in `text`, or -1 when the key is
// absent, when no terminator follows it, or when the value and its zero byte
// do not fit `output` (which then holds an empty text).
int ExtractKeyValue(std::string_view text, std::span<char> output, std::string_view key,
                    char terminator);

// The offset of the first occurrence of `pattern` in `buffer`; 0 when the
// pattern is empty, longer than the buffer or absent, so that a match at
// offset 0 and no match look alike.
std::size_t FindStringInBuffer(std::span<const std::uint8_t> buffer,
                               std::span<const std::uint8_t> pattern);

// When the text in `buffer` (up to its first zero byte) is shorter than
// "online-user-num:" and the buffer is longer than that, walks the buffer:
// a byte that is the next character of "online-user-num" is kept and the
// walk moves on in that word, every other byte becomes '0'; the walk ends
// once the whole word was matched or at the end of the buffer.
void MaskOnlineUserText(std::span<char> buffer);
