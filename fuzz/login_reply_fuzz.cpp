// Fuzzes the login reply: ReadLoginReply on the body, then ApplyLoginReply
// on a fresh state for the path chosen by byte 0 (the paths differ in the
// product ids they take and whether they keep the MAC bytes).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/login/login_exchange.h"
#include "core/state/app_global_state.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr std::array<LoginPath, 3> kPaths{LoginPath::kLoginDialog, LoginPath::kSessionThread,
                                          LoginPath::kConnectWaitWorker};

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const LoginPath path = kPaths[data[0] % kPaths.size()];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto reply = ReadLoginReply(body);
    if (!reply) {
        return 0;
    }
    Check(IsUsableSessionId(reply->sessionId));
    for (const auto* text :
         {&reply->firmwareVersion, &reply->productId, &reply->macAddress, &reply->hostName}) {
        Check(!text->has_value() || (*text)->size() <= 255);
    }

    // A fresh state per input, as after a restart.
    AppGlobalState* const previous = g_lpApp;
    auto* const app = new AppGlobalState();
    g_lpApp = app;
    ClearLoginIdentity();
    const int result = ApplyLoginReply(*reply, path);
    Check(result == kLoginOk || result == kLoginUnknownProduct);
    Check(app->sz_MacAddress.back() == '\0');
    ClearLoginIdentity();
    g_lpApp = previous;
    delete app;
    return 0;
}
