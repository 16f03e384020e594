#pragma once

// The client's copy of the device's configuration sections: the option
// table, the block holding one copy of every section, and the reading of
// an "ALL" reply into it. Reading and writing sections over the network is
// core/net/sys_config.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Option indexes: the first argument of ReadSysCfgSection / WriteSysCfgSection.
enum SysCfgOptionIndex : std::uint8_t {
    kSysCfgInf = 0,
    kSysCfgIp = 1,
    kSysCfgSecure = 2,
    kSysCfgDns = 3,
    kSysCfgSmtp = 4,
    kSysCfgFtp = 5,
    kSysCfgPppoe = 6,
    kSysCfgSystem = 7,
    kSysCfgSntp = 8,
    kSysCfgImg = 9,
    kSysCfgRs485 = 10,
    kSysCfgAlarm = 11,
    kSysCfgOnline = 12,
    kSysCfgDvrLive = 13,
    kSysCfgDvrOsd = 14,
    kSysCfgDvrRec = 15,
    kSysCfgPeri = 16,
    kSysCfgAll = 17,
    kSysCfgOptionCount = 18,
};

struct SysCfgOptionRow {
    std::string_view option;  // the keyword sent as "Option"
    std::size_t size;         // bytes; ONLINE holds at most this many, ALL has none
};

// The option table, by option index.
inline constexpr std::array<SysCfgOptionRow, kSysCfgOptionCount> SysCfgOption{{
    {"INF", 44},
    {"IP", 24},
    {"SECURE", 196},
    {"DNS", 12},
    {"SMTP", 440},
    {"FTP", 104},
    {"PPPOE", 68},
    {"SYSTEM", 36},
    {"SNTP", 36},
    {"IMG", 12},
    {"RS485", 124},
    {"ALARM", 24},
    {"ONLINE", 240},
    {"DVRLIVE", 772},
    {"DVROSD", 20},
    {"DVRREC", 132},
    {"PERI", 16},
    {"ALL", 0},
}};

constexpr std::size_t SysCfgSize(SysCfgOptionIndex option) {
    return SysCfgOption[option].size;
}

// The client's copy of every section. PPPOE has two areas, one per layout:
// the older one for firmware older than the PPPOE gate, the current one
// otherwise (see PppoeArea).
struct SystemConfigStruct {
    std::array<std::uint8_t, SysCfgSize(kSysCfgInf)> inf{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgIp)> ip{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgSecure)> secure{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgDns)> dns{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgSmtp)> smtp{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgFtp)> ftp{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgPppoe)> pppoeOld{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgPppoe)> pppoe{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgSystem)> system{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgSntp)> sntp{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgImg)> img{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgRs485)> rs485{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgAlarm)> alarm{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgOnline)> online{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgDvrLive)> dvrLive{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgDvrOsd)> dvrOsd{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgDvrRec)> dvrRec{};
    std::array<std::uint8_t, SysCfgSize(kSysCfgPeri)> peri{};
    // The video-setting block: kept beside the sections, never transferred.
    std::array<std::uint8_t, 16> videoSetting{};
};

// The PPPOE gate of a product: "1052" for the DVR family, "1007" otherwise.
std::string_view PppoeGate(std::string_view productId);

// Whether the device's firmware (str_FWVersion) is older than its product's
// PPPOE gate: PPPOE then uses the older layout's area.
bool UsesOlderPppoeLayout();

// The area of an option in the block; PPPOE picks its area by the gate.
// Empty for "ALL".
std::span<std::uint8_t> SysCfgArea(SystemConfigStruct& config, std::uint8_t option);

// The device feature bits: bytes 20 to 23 of INF, little-endian.
std::uint32_t InfFeatureBits(const SystemConfigStruct& config);

// Splits an "ALL" reply into the block: 1 when the reply holds every fixed
// section of the product's layout, 0 (nothing changed) when it is shorter.
// The layout of Q3A2, the Q7B family and Q9C0 places PPPOE by the gate
// "1007"; the DVR layout, used for every other product, by "1052".
int SplitAllSections(std::span<const std::uint8_t> reply, SystemConfigStruct& config);
