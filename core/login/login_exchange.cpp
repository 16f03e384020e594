#include "core/login/login_exchange.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/application/window_messages.h"
#include "core/net/text_parse.h"
#include "core/state/app_global_state.h"

static_assert(kSessionIdMaxLength + 1 == kSessionCookieCapacity);

namespace {

constexpr std::uint16_t kLoginTimeoutSeconds = 15;
constexpr std::chrono::milliseconds kAnimationPeriod{350};
constexpr std::size_t kMacTextLength = 12;

struct LoginPathRules {
    bool acceptedProductsOnly;
    bool keepsMacSettings;
    std::size_t replyBytes;
};

constexpr std::array<LoginPathRules, 3> kLoginPathRules{{
    {true, true, 256},     // kLoginDialog
    {false, true, 1024},   // kSessionThread
    {false, false, 1024},  // kConnectWaitWorker
}};

const LoginPathRules& RulesOf(LoginPath path) {
    return kLoginPathRules[static_cast<std::size_t>(path)];
}

}  // namespace

bool IsAcceptedProductId(std::string_view productId) {
    return std::find(kAcceptedProductIds.begin(), kAcceptedProductIds.end(), productId) !=
           kAcceptedProductIds.end();
}

bool IsUsableSessionId(std::string_view sessionId) {
    if (sessionId.empty() || sessionId.size() > kSessionIdMaxLength) {
        return false;
    }
    return std::none_of(sessionId.begin(), sessionId.end(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code < 0x20 || code == 0x7F || c == ' ' || c == '&';
    });
}

std::optional<LoginReply> ReadLoginReply(std::string_view body) {
    const ReplyItems items(body);
    const auto session = items.Raw("Session-ID=");
    if (!session || !IsUsableSessionId(*session)) {
        return std::nullopt;
    }
    return LoginReply{
        std::string(*session),      items.Find("Firmware-Version="), items.Find("Product-ID="),
        items.Find("MAC-Address="), items.Find("Host-Name="),
    };
}

void ClearLoginIdentity() {
    g_szSessionCookie.Clear();
    if (g_lpApp == nullptr) {
        return;
    }
    g_lpApp->str_ProductID.Clear();
    g_lpApp->str_FWVersion.Clear();
    g_lpApp->sz_MacAddress.fill('\0');
    g_lpApp->str_HostName.Clear();
    g_lpApp->w_UserLevel = 0;
}

int ApplyLoginReply(const LoginReply& reply, LoginPath path) {
    const LoginPathRules& rules = RulesOf(path);
    g_szSessionCookie.Set(reply.sessionId);
    if (g_lpApp == nullptr) {
        return kLoginFailed;
    }
    AppGlobalState& app = *g_lpApp;
    if (reply.firmwareVersion) {
        app.str_FWVersion.Set(*reply.firmwareVersion);
    }
    if (!reply.productId) {
        return kLoginUnknownProduct;
    }
    app.str_ProductID.Set(*reply.productId);
    if (rules.acceptedProductsOnly && !IsAcceptedProductId(*reply.productId)) {
        return kLoginUnknownProduct;
    }
    if (reply.macAddress) {
        const std::string& mac = *reply.macAddress;
        app.sz_MacAddress.fill('\0');
        std::copy_n(mac.begin(), std::min(mac.size(), kMacTextLength), app.sz_MacAddress.begin());
        std::array<std::uint8_t, 6> bytes{};
        if (rules.keepsMacSettings && MacTextToBytes(mac, bytes)) {
            app.CSettingINI.m_wLastConnectionMAC1 = bytes[4];
            app.CSettingINI.m_wLastConnectionMAC2 = bytes[5];
        }
    }
    if (reply.hostName) {
        app.str_HostName.Set(*reply.hostName);
    }
    return kLoginOk;
}

CCgiUrl BuildLoginUrl(std::string_view user, std::string_view password) {
    CCgiUrl url(CgiCommand::kLogin);
    url.AddParam("Username", user);
    url.AddParam("Password", password);
    return url;
}

int LoginExchange(std::string_view user, std::string_view password, LoginPath path) {
    return LoginExchange(user, password, path,
                         CommandTimeouts::Seconds(kLoginTimeoutSeconds, kLoginTimeoutSeconds));
}

int LoginExchange(std::string_view user, std::string_view password, LoginPath path,
                  const CommandTimeouts& timeouts) {
    ClearLoginIdentity();
    const CCgiUrl url = BuildLoginUrl(user, password);
    CommandStatus status;
    std::vector<std::uint8_t> reply(RulesOf(path).replyBytes);
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kLogin, url.GetUrlBuffer(), {}, &status, reply, &length,
                         timeouts) == 0) {
        return status.status == 202 ? kLoginTooManyUsers : kLoginFailed;
    }
    const auto parsed =
        ReadLoginReply(std::string_view(reinterpret_cast<const char*>(reply.data()), length));
    if (!parsed) {
        return kLoginFailed;
    }
    return ApplyLoginReply(*parsed, path);
}

std::optional<std::uint16_t> ParsePortText(std::string_view text) {
    const int port = ParseSaturatingInt(text);
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

std::uint32_t LoginThread(LoginThreadParams params) {
    const auto fail = [&params](int code) -> std::uint32_t {
        if (params.animating) {
            *params.animating = false;
        }
        if (params.stopEvent) {
            params.stopEvent->Set();
        }
        platform::PostWindowMessage(params.dialog, WM_LOGINFAILED, static_cast<std::uint64_t>(code),
                                    params.run);
        return 0;
    };
    const auto port = ParsePortText(params.port);
    if (!port || g_lpApp == nullptr) {
        return fail(kLoginFailed);
    }
    CSettingINI& settings = g_lpApp->CSettingINI;
    SetServerAddress(params.serverName);
    settings.m_strUserName = params.userName;
    settings.m_strPassword = params.password;
    settings.m_wWebPort = *port;

    const int result = LoginExchange(params.userName, params.password, LoginPath::kLoginDialog);
    if (result != kLoginOk) {
        return fail(result);
    }
    g_lpApp->w_LoginResult = kLoginResultLoggedIn;
    platform::PostWindowMessage(params.dialog, WM_LOGINSUCCESS, 0, params.run);
    return 0;
}

std::uint32_t LoginAnimateThread(LoginThreadParams params) {
    const std::shared_ptr<platform::Event> stop = params.stopEvent;
    if (!stop) {
        return 0;
    }
    for (;;) {
        platform::PostWindowMessage(params.dialog, WM_LOGINANIMATE, 0, params.run);
        if (stop->Wait(kAnimationPeriod) != platform::WaitResult::Timeout) {
            return 0;
        }
    }
}
