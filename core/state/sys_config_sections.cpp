#include "core/state/sys_config_sections.h"

#include <algorithm>

#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

namespace {

constexpr std::string_view kDvrPppoeGate = "1052";
constexpr std::string_view kOtherPppoeGate = "1007";

// The fixed sections of an "ALL" reply in the order they arrive; ONLINE
// follows with whatever length is left.
constexpr std::array kCompactAllOrder{
    kSysCfgInf,   kSysCfgIp,    kSysCfgSecure, kSysCfgDns,  kSysCfgSmtp,
    kSysCfgFtp,   kSysCfgPppoe, kSysCfgSystem, kSysCfgSntp, kSysCfgImg,
    kSysCfgRs485, kSysCfgAlarm, kSysCfgPeri,
};
constexpr std::array kDvrAllOrder{
    kSysCfgInf,   kSysCfgIp,    kSysCfgSecure,  kSysCfgDns,    kSysCfgSmtp,
    kSysCfgFtp,   kSysCfgPppoe, kSysCfgSystem,  kSysCfgSntp,   kSysCfgImg,
    kSysCfgRs485, kSysCfgAlarm, kSysCfgDvrLive, kSysCfgDvrOsd, kSysCfgDvrRec,
};

template <std::size_t N>
constexpr std::size_t FixedBytes(const std::array<SysCfgOptionIndex, N>& order) {
    std::size_t total = 0;
    for (const auto option : order) {
        total += SysCfgSize(option);
    }
    return total;
}

static_assert(FixedBytes(kCompactAllOrder) == 1136);
static_assert(FixedBytes(kDvrAllOrder) == 2044);

// Q3A2, the Q7B family and Q9C0 send the compact layout; every other
// product the DVR one.
bool UsesCompactLayout() {
    return IsQ3A2() || IsQ7BFamily() || IsQ9C0();
}

// Each layout has its own PPPOE gate: for a product of neither family the
// DVR layout's gate applies to an "ALL" reply.
template <std::size_t N>
int Split(std::span<const std::uint8_t> reply, SystemConfigStruct& config,
          const std::array<SysCfgOptionIndex, N>& order, std::string_view pppoeGate) {
    const std::size_t fixed = FixedBytes(order);
    if (reply.size() < fixed) {
        return 0;  // a section would be missing: keep the block as it was
    }
    const bool olderPppoe =
        g_lpApp != nullptr && CompareVersion(pppoeGate, g_lpApp->str_FWVersion.Get()) == 2;
    std::size_t offset = 0;
    for (const auto option : order) {
        const auto area = option != kSysCfgPppoe ? SysCfgArea(config, option)
                          : olderPppoe           ? std::span<std::uint8_t>(config.pppoeOld)
                                                 : std::span<std::uint8_t>(config.pppoe);
        std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(offset), area.size(), area.begin());
        offset += area.size();
    }
    // ONLINE: the rest of the reply when it fits, zeros otherwise.
    std::fill(config.online.begin(), config.online.end(), std::uint8_t{0});
    const auto rest = reply.subspan(fixed);
    if (rest.size() <= config.online.size()) {
        std::copy(rest.begin(), rest.end(), config.online.begin());
    }
    return 1;
}

}  // namespace

std::string_view PppoeGate(std::string_view productId) {
    return IsDvrFamilyId(productId) ? kDvrPppoeGate : kOtherPppoeGate;
}

bool UsesOlderPppoeLayout() {
    if (g_lpApp == nullptr) {
        return false;
    }
    return CompareVersion(PppoeGate(g_lpApp->str_ProductID.Get()), g_lpApp->str_FWVersion.Get()) ==
           2;
}

std::span<std::uint8_t> SysCfgArea(SystemConfigStruct& config, std::uint8_t option) {
    switch (option) {
        case kSysCfgInf:
            return config.inf;
        case kSysCfgIp:
            return config.ip;
        case kSysCfgSecure:
            return config.secure;
        case kSysCfgDns:
            return config.dns;
        case kSysCfgSmtp:
            return config.smtp;
        case kSysCfgFtp:
            return config.ftp;
        case kSysCfgPppoe:
            return UsesOlderPppoeLayout() ? config.pppoeOld : config.pppoe;
        case kSysCfgSystem:
            return config.system;
        case kSysCfgSntp:
            return config.sntp;
        case kSysCfgImg:
            return config.img;
        case kSysCfgRs485:
            return config.rs485;
        case kSysCfgAlarm:
            return config.alarm;
        case kSysCfgOnline:
            return config.online;
        case kSysCfgDvrLive:
            return config.dvrLive;
        case kSysCfgDvrOsd:
            return config.dvrOsd;
        case kSysCfgDvrRec:
            return config.dvrRec;
        case kSysCfgPeri:
            return config.peri;
        default:
            return {};
    }
}

std::uint32_t InfFeatureBits(const SystemConfigStruct& config) {
    return static_cast<std::uint32_t>(config.inf[20]) |
           static_cast<std::uint32_t>(config.inf[21]) << 8 |
           static_cast<std::uint32_t>(config.inf[22]) << 16 |
           static_cast<std::uint32_t>(config.inf[23]) << 24;
}

int SplitAllSections(std::span<const std::uint8_t> reply, SystemConfigStruct& config) {
    return UsesCompactLayout() ? Split(reply, config, kCompactAllOrder, kOtherPppoeGate)
                               : Split(reply, config, kDvrAllOrder, kDvrPppoeGate);
}
