#pragma once

// The device's disk map: the start of the reply of "/GetDvrHDD.cgi", 32
// bytes holding 256 presence bits (bit n is bit n & 7 of byte n >> 3). Bits 0 to 3 are the
// internal disks "MASTER1", "SLAVE1", "MASTER2" and "SLAVE2"; bit n from 4
// on is the external disk "EXT-%.2d" of n - 3. The device is addressed with
// the bit number of a disk, or with "ALL".

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace liveview {

inline constexpr std::size_t kHddPresenceMapBytes = 32;
inline constexpr int kHddCount = 256;
inline constexpr std::string_view kAllDisksLabel = "ALL";

struct HddPresenceMap {
    std::array<std::uint8_t, kHddPresenceMapBytes> bits{};

    bool Present(int disk) const;
    // The bit numbers of the disks present, in bit order.
    std::vector<int> Disks() const;
};

// The map of a reply body: its first 32 bytes. A shorter body leaves the
// rest of the map 0 (no disk there); bytes after the map are not read.
HddPresenceMap ParseHddPresenceMap(std::span<const std::uint8_t> reply);

// Asks the device for its disk map ("/GetDvrHDD.cgi" with the session
// cookie, 15 s to send and 15 s to receive, a reply of up to 1,024 bytes)
// and reads the reply as ParseHddPresenceMap does. Nothing when the request
// fails (no connection, time-out, a status other than 200).
std::optional<HddPresenceMap> ReadHddPresenceMap();

// The label of disk `disk` (0 to 255); empty for a number outside the map.
std::string HddLabel(int disk);

// The disk number a label stands for: the inverse of HddLabel ("EXT-01" is
// 4), nothing for any other text, "ALL" included.
std::optional<int> HddNumberOfLabel(std::string_view label);

}  // namespace liveview
