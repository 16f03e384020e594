// Fuzzes the split of an "ALL" configuration reply into the sections, for
// both layouts (the product id chooses one) and both PPPOE areas (the
// firmware version against the gate). Byte 0 picks the product, byte 1 the
// firmware version; the rest is the reply.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "core/net/sys_config.h"
#include "fuzz/fuzz_app.h"

namespace {

constexpr std::array<std::string_view, 8> kProducts{"Q8A7", "Q3A2", "Q7B5", "Q9C0",
                                                    "Q8A3", "Q7B3", "XXXX", ""};
constexpr std::array<std::string_view, 6> kFirmware{"1000", "1006", "1007", "1052", "2000", ""};

// The fixed bytes of the two layouts: the compact one (Q3A2, Q7B, Q9C0) and
// the DVR one.
constexpr std::size_t kCompactFixed = 1136;
constexpr std::size_t kDvrFixed = 2044;

bool IsCompact(std::string_view product) {
    return product == "Q3A2" || product.starts_with("Q7B") || product == "Q9C0";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    AppGlobalState& app = FuzzApp();
    const std::string_view product = kProducts[data[0] % kProducts.size()];
    app.str_ProductID.Set(std::string(product));
    app.str_FWVersion.Set(std::string(kFirmware[data[1] % kFirmware.size()]));
    const std::span<const std::uint8_t> reply(data + 2, size - 2);

    SystemConfigStruct config;
    config.online.fill(0xEE);
    const SystemConfigStruct before = config;
    const int result = SplitAllSections(reply, config);
    const std::size_t fixed = IsCompact(product) ? kCompactFixed : kDvrFixed;
    if (result != (reply.size() >= fixed ? 1 : 0)) {
        std::abort();
    }
    if (result == 0) {
        // A short reply changes nothing.
        if (std::memcmp(&before, &config, sizeof config) != 0) {
            std::abort();
        }
        return 0;
    }
    // INF is always first; ONLINE holds the rest when it fits, zeros otherwise.
    if (!std::equal(config.inf.begin(), config.inf.end(), reply.begin())) {
        std::abort();
    }
    const auto rest = reply.subspan(fixed);
    const bool restFits = rest.size() <= config.online.size();
    for (std::size_t i = 0; i < config.online.size(); ++i) {
        const std::uint8_t expected = restFits && i < rest.size() ? rest[i] : 0;
        if (config.online[i] != expected) {
            std::abort();
        }
    }
    (void)InfFeatureBits(config);
    (void)SysCfgArea(config, kSysCfgPppoe);
    return 0;
}
