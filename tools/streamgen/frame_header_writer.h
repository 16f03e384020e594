#pragma once

// Builds the binary frame header a device sends in front of each JPEG of its
// live stream, in the new layout (magic word 1) or the old one (a 32-bit
// flags word). Fields are little-endian and follow each other in the order
// the layouts give; only the fields present are written.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace streamgen {

enum class FrameHeaderLayout { kOld, kNew };

// The status information: the new layout carries it in a status block (flag
// 0x2000), the old layout in flags of its own.
struct FrameHeaderStatusInfo {
    std::optional<std::uint8_t> qvga;         // new status 0x0001, old 0x0008
    std::optional<std::uint8_t> retrState;    // new status 0x0002, old 0x0004
    std::optional<std::uint8_t> cameraState;  // new status 0x0010; no old field
    bool videoLoss = false;                   // new status 0x0004, old 0x1000
    bool networkBackup = false;               // new status 0x0008, old 0x0400
    bool channel16 = false;                   // new status 0x0020; no old field
};

struct FrameHeaderDescription {
    // New layout: the 16-bit word at offset 2. Old layout: written (flag
    // 0x0001) when set.
    std::optional<std::uint32_t> imageLength;
    // New layout: the low four bits of byte 4. Old layout: flag 0x0040.
    std::optional<std::uint8_t> channel;
    // New layout: the high four bits of byte 5 (0-15). Old layout: 0x0800.
    std::optional<std::uint8_t> channelIndex;
    std::optional<std::uint16_t> motion;        // new 0x0002, old 0x0100
    std::optional<std::uint16_t> alarm;         // new 0x0004, old 0x0080
    std::optional<std::uint16_t> thirdAlarm;    // new 0x0008, old 0x0200
    std::optional<std::uint32_t> timeValue;     // 0x0020 in both, the raw value
    std::optional<std::uint32_t> packedDate;    // new 0x0040, old 0x2000
    std::optional<std::array<char, 16>> title;  // new 0x0080, old 0x0002
    std::optional<std::uint8_t> extra;          // new 0x0100, old 0x0010

    FrameHeaderStatusInfo status;
    // New layout: write the status block (flag 0x2000) even when no status
    // field is set. Its first byte is `statusBlockLead`; the device always
    // sends '2', and a block starting otherwise is not read by the client.
    bool forceStatusBlock = false;
    std::uint8_t statusBlockLead = '2';

    // Flag bits that carry no bytes, added to the flags word as they are.
    std::uint32_t extraFlags = 0;
    // New layout: the image length word counts the header too (Q9C0).
    bool lengthIncludesHeader = false;
};

// The header's bytes.
std::vector<std::uint8_t> WriteFrameHeader(const FrameHeaderDescription& description,
                                           FrameHeaderLayout layout);

// Packs a date and time as the headers carry it: bits 31-26 year - 2000,
// 25-22 month, 21-17 day, 16-12 hour, 11-6 minute, 5-0 second. Each value is
// masked to its bits.
std::uint32_t PackFrameDate(unsigned year, unsigned month, unsigned day, unsigned hour,
                            unsigned minute, unsigned second);

}  // namespace streamgen
