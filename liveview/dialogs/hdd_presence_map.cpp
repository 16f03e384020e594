#include "liveview/dialogs/hdd_presence_map.h"

#include <algorithm>
#include <cstdio>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"

namespace liveview {

namespace {

constexpr std::array<std::string_view, 4> kInternalDisks{"MASTER1", "SLAVE1", "MASTER2", "SLAVE2"};
constexpr int kFirstExternalDisk = 4;
constexpr std::string_view kExternalPrefix = "EXT-";

constexpr std::size_t kHddReplyBytes = 1024;
constexpr std::uint16_t kHddSeconds = 15;

}  // namespace

bool HddPresenceMap::Present(int disk) const {
    if (disk < 0 || disk >= kHddCount) {
        return false;
    }
    const auto byte = bits[static_cast<std::size_t>(disk >> 3)];
    return ((byte >> (disk & 7)) & 1) != 0;
}

std::vector<int> HddPresenceMap::Disks() const {
    std::vector<int> disks;
    for (int disk = 0; disk < kHddCount; ++disk) {
        if (Present(disk)) {
            disks.push_back(disk);
        }
    }
    return disks;
}

HddPresenceMap ParseHddPresenceMap(std::span<const std::uint8_t> reply) {
    HddPresenceMap map;
    const std::size_t used = std::min(reply.size(), map.bits.size());
    std::copy_n(reply.begin(), used, map.bits.begin());
    return map;
}

std::optional<HddPresenceMap> ReadHddPresenceMap() {
    CCgiUrl url(CgiCommand::kGetDvrHdd);
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::vector<std::uint8_t> reply(kHddReplyBytes, 0);
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kGetDvrHdd, url.GetUrlBuffer(), {}, nullptr, reply, &length,
                         kHddSeconds, kHddSeconds, 0) != 1) {
        return std::nullopt;
    }
    return ParseHddPresenceMap(
        std::span<const std::uint8_t>(reply).first(std::min<std::size_t>(length, reply.size())));
}

std::string HddLabel(int disk) {
    if (disk < 0 || disk >= kHddCount) {
        return {};
    }
    if (disk < kFirstExternalDisk) {
        return std::string(kInternalDisks[static_cast<std::size_t>(disk)]);
    }
    char text[8];
    std::snprintf(text, sizeof text, "EXT-%.2d", disk - kFirstExternalDisk + 1);
    return text;
}

std::optional<int> HddNumberOfLabel(std::string_view label) {
    for (std::size_t i = 0; i < kInternalDisks.size(); ++i) {
        if (label == kInternalDisks[i]) {
            return static_cast<int>(i);
        }
    }
    if (!label.starts_with(kExternalPrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = label.substr(kExternalPrefix.size());
    // Labels carry at least two digits ("EXT-01" .. "EXT-252"); anything
    // else is not a label this map produced.
    if (digits.size() < 2 || digits.size() > 3) {
        return std::nullopt;
    }
    int k = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        k = k * 10 + (c - '0');
    }
    const int disk = k + kFirstExternalDisk - 1;
    if (k < 1 || disk >= kHddCount || HddLabel(disk) != label) {
        return std::nullopt;
    }
    return disk;
}

}  // namespace liveview
