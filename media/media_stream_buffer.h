#pragma once

// Helpers for elementary media streams: the time stamp of an MPEG-2 PES
// packet and the G.711 mu-law expansion.

#include <cstdint>
#include <span>

class CMediaStreamBuffer {
public:
    CMediaStreamBuffer() = default;
    virtual ~CMediaStreamBuffer() = default;

    // The low 32 bits of the 33-bit time stamp of a video PES packet: its PTS
    // when the PTS/DTS flags are 2, its DTS when they are 3. Gives 0 for a
    // packet that is cut short, is no video PES packet, has other flags or
    // fails a marker-bit check.
    static std::uint32_t ReadPesTimestamp(std::span<const std::uint8_t> packet);

    // ITU-T G.711 mu-law to 16-bit linear.
    static std::int16_t MuLawToLinear(std::uint8_t code);
};
