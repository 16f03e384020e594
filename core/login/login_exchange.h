#pragma once

// The "/Login.cgi" exchange shared by the three ways of logging in (the login
// dialog's thread, the session login thread of the main window, the
// connect-wait dialog's worker), and the login dialog's two threads.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/net/cgi_command.h"
#include "platform/sync.h"
#include "platform/window.h"

// Who logs in. The paths differ in the product ids they accept, in whether
// the MAC address also goes into the "Last Connection MAC1/MAC2" settings,
// and in the size of their reply buffer.
enum class LoginPath {
    kLoginDialog,        // accepted product ids only; MAC settings; 256-byte reply
    kSessionThread,      // any product id; MAC settings; 1024-byte reply
    kConnectWaitWorker,  // any product id; no MAC settings; 1024-byte reply
};

// Results of a login: 0, or the code posted with WM_LOGINFAILED.
inline constexpr int kLoginOk = 0;
inline constexpr int kLoginFailed = 1;          // no connection or reply, no usable session id
inline constexpr int kLoginTooManyUsers = 2;    // the device answered status 202
inline constexpr int kLoginUnknownProduct = 3;  // no product id, or one the path refuses

// w_LoginResult after a successful login.
inline constexpr std::uint16_t kLoginResultLoggedIn = 30;

inline constexpr std::array<std::string_view, 8> kAcceptedProductIds{
    "Q8A7", "Q3A2", "Q8A5", "Q8A3", "Q7B7", "Q7B5", "Q7B3", "Q9C0",
};

// Exact, case-sensitive.
bool IsAcceptedProductId(std::string_view productId);

// The session cookie holds at most 63 characters (64 bytes with its end).
inline constexpr std::size_t kSessionIdMaxLength = 63;

// A session id travels as a request parameter: 1 to 63 characters, none of
// them a space, "&" or a control character.
bool IsUsableSessionId(std::string_view sessionId);

// The values of a login reply. Texts hold at most 255 characters.
struct LoginReply {
    std::string sessionId;
    std::optional<std::string> firmwareVersion;
    std::optional<std::string> productId;
    std::optional<std::string> macAddress;
    std::optional<std::string> hostName;
};

// Reads a login reply body. nullopt means a failed login (code 1): the reply
// has no "Session-ID=" item or its value is not a usable session id.
std::optional<LoginReply> ReadLoginReply(std::string_view body);

// Forgets the previous login: the session cookie, product id, firmware
// version, MAC address, host name and user level.
void ClearLoginIdentity();

// Stores a reply: the cookie, the firmware version, the product id (code 3
// when there is none, or when the path refuses it; the later values are then
// not taken), the MAC address (its first 12 characters; for the paths that
// keep them, its fifth and sixth bytes in "Last Connection MAC1/MAC2" when
// it is 12 hexadecimal digits) and the host name. Returns 0 or 3.
int ApplyLoginReply(const LoginReply& reply, LoginPath path);

// The "/Login.cgi" target: "?Username=<user>&Password=<password>", values as
// they are (a CR, LF or NUL makes the target refused).
CCgiUrl BuildLoginUrl(std::string_view user, std::string_view password);

// The whole exchange: clears the identity, sends "/Login.cgi" (15 s time-outs
// unless given), reads and stores the reply. Returns 0 or a failure code
// (1, 2 for status 202, 3). The caller has set the server address and port.
int LoginExchange(std::string_view user, std::string_view password, LoginPath path);
int LoginExchange(std::string_view user, std::string_view password, LoginPath path,
                  const CommandTimeouts& timeouts);

// A port text as the login dialog gives it: a decimal integer (leading white
// space, sign and digits) from 1 to 65535; nullopt otherwise.
std::optional<std::uint16_t> ParsePortText(std::string_view text);

// What one run of the login dialog's threads works with. The texts are this
// run's own copies; the animating flag and the stop event (auto-reset) are
// shared with the dialog, which keeps them alive until both threads ended.
// The run number goes back with every message the threads post (lParam),
// so the dialog can drop the messages of a run it has replaced.
struct LoginThreadParams {
    std::string serverName;
    std::string userName;
    std::string password;
    std::string port;
    platform::WindowHandle dialog = 0;
    std::shared_ptr<std::atomic<bool>> animating;
    std::shared_ptr<platform::Event> stopEvent;
    std::uint64_t run = 0;
};

// The login dialog's login thread: stores the texts in the settings, logs in
// and posts exactly one of WM_LOGINFAILED (1, 2, 3) and WM_LOGINSUCCESS. On a
// failure it also clears the animating flag and signals the stop event. A
// port text outside 1 to 65535 fails with 1 before anything is sent.
// Returns 0.
std::uint32_t LoginThread(LoginThreadParams params);

// The login dialog's animation thread: posts WM_LOGINANIMATE, then waits up
// to 350 ms on the stop event, until the event is signalled or the thread is
// asked to stop. Returns 0.
std::uint32_t LoginAnimateThread(LoginThreadParams params);
