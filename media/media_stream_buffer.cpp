#include "media/media_stream_buffer.h"

namespace {

// A 33-bit time stamp spread over five bytes (ISO/IEC 13818-1):
//   byte 0: 4-bit prefix, bits 32..30, marker
//   bytes 1-2: bits 29..15, marker
//   bytes 3-4: bits 14..0, marker
std::uint64_t TimeStampAt(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>((p[0] >> 1) & 0x07) << 30) |
           (static_cast<std::uint64_t>(p[1]) << 22) |
           (static_cast<std::uint64_t>(p[2] >> 1) << 15) | (static_cast<std::uint64_t>(p[3]) << 7) |
           static_cast<std::uint64_t>(p[4] >> 1);
}

constexpr std::size_t kFixedHeaderBytes = 9;
constexpr std::size_t kPtsEnd = 14;  // bytes 9-13
constexpr std::size_t kDtsEnd = 19;  // bytes 14-18

}  // namespace

std::uint32_t CMediaStreamBuffer::ReadPesTimestamp(std::span<const std::uint8_t> packet) {
    if (packet.size() < kFixedHeaderBytes || packet[0] != 0x00 || packet[1] != 0x00 ||
        packet[2] != 0x01 || (packet[3] & 0xF0) != 0xE0 || (packet[6] & 0xC0) != 0x80) {
        return 0;
    }
    const std::uint8_t* p = packet.data();
    switch (packet[7] >> 6) {
        case 2:
            if (packet.size() < kPtsEnd || (p[9] >> 4) != 0x2 || (p[11] & 1) == 0 ||
                (p[13] & 1) == 0) {
                return 0;
            }
            return static_cast<std::uint32_t>(TimeStampAt(p + 9));
        case 3:
            if (packet.size() < kDtsEnd || (p[9] >> 4) != 0x3 || (p[14] >> 4) != 0x1 ||
                (p[11] & 1) == 0 || (p[13] & 1) == 0 || (p[16] & 1) == 0 || (p[18] & 1) == 0) {
                return 0;
            }
            return static_cast<std::uint32_t>(TimeStampAt(p + 14));
        default:
            return 0;
    }
}

std::int16_t CMediaStreamBuffer::MuLawToLinear(std::uint8_t code) {
    // Codes are stored inverted. The magnitude is ((mantissa << 3) + bias)
    // shifted by the segment, less the bias again.
    constexpr int kBias = 0x84;
    const int inverted = ~code & 0xFF;
    const int segment = (inverted >> 4) & 0x07;
    const int mantissa = inverted & 0x0F;
    const int magnitude = (((mantissa << 3) + kBias) << segment) - kBias;
    return static_cast<std::int16_t>((inverted & 0x80) != 0 ? -magnitude : magnitude);
}
