#include "core/net/sys_config.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <string>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"

namespace {

constexpr std::size_t kReplyBufferBytes = 4096;
constexpr std::uint16_t kReadTimeoutSeconds = 45;
constexpr std::uint16_t kWriteTimeoutSeconds = 15;

}  // namespace

int ReadSysCfgSection(std::uint8_t option, std::span<std::uint8_t> destination) {
    if (option >= kSysCfgOptionCount || g_lpApp == nullptr) {
        return 0;
    }
    const bool all = option == kSysCfgAll;
    CCgiUrl url(CgiCommand::kGetSysCfg);
    url.AddParam("Option", SysCfgOption[option].option);
    url.AddParamInt(
        "Size",
        all ? 0 : static_cast<std::int32_t>(std::min<std::size_t>(destination.size(), INT_MAX)));
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::array<std::uint8_t, kReplyBufferBytes> reply{};
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kGetSysCfg, url.GetUrlBuffer(), {}, nullptr, reply, &length,
                         kReadTimeoutSeconds, kReadTimeoutSeconds, 0) == 0) {
        return 0;
    }
    const auto body = std::span<const std::uint8_t>(reply).first(length);
    if (all) {
        return SplitAllSections(body, g_lpApp->SystemConfigStruct);
    }
    if (option == kSysCfgOnline) {
        // As many bytes as the device has records for, up to the area.
        if (body.size() > std::min(destination.size(), SysCfgSize(kSysCfgOnline))) {
            return 0;
        }
        std::copy(body.begin(), body.end(), destination.begin());
        std::fill(destination.begin() + static_cast<std::ptrdiff_t>(body.size()), destination.end(),
                  std::uint8_t{0});
        return 1;
    }
    if (body.size() != destination.size()) {
        return 0;
    }
    std::copy(body.begin(), body.end(), destination.begin());
    return 1;
}

int WriteSysCfgSection(std::uint8_t option, std::span<const std::uint8_t> source, bool refresh) {
    if (option >= kSysCfgAll) {
        return 0;
    }
    CCgiUrl url(CgiCommand::kSetSysCfg);
    url.AddParam("Option", SysCfgOption[option].option);
    if (option == kSysCfgDns) {
        url.AddParam("Refresh", refresh ? "True" : "False");
    }
    url.AddSessionCookie(g_szSessionCookie.Get());
    return TirelSendCommand(CgiCommand::kSetSysCfg, url.GetUrlBuffer(), source, nullptr, {},
                            nullptr, kWriteTimeoutSeconds, kWriteTimeoutSeconds, 0);
}
