#include "media/media_stream_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A video PES packet carrying PTS 0x1'2345'6789 (bytes 9-13, prefix 0010)
// and, when `withDts`, DTS 100 (bytes 14-18, prefix 0001).
Bytes Packet(bool withDts) {
    Bytes p = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0x80, 0x05, 0x29, 0x8D, 0x15, 0xCF, 0x13};
    if (withDts) {
        p[7] = 0xC0;
        p[8] = 0x0A;
        p[9] = 0x39;  // prefix 0011
        p.insert(p.end(), {0x11, 0x00, 0x01, 0x00, 0xC9});
    }
    return p;
}

Bytes With(Bytes p, std::size_t at, std::uint8_t value) {
    p.at(at) = value;
    return p;
}

struct PesCase {
    const char* name;
    Bytes packet;
    std::uint32_t stamp;
};

TEST(PesTimestampTest, Cases) {
    const PesCase cases[] = {
        {"PTS, top bit dropped", Packet(false), 0x23456789},
        {"DTS when both are there", Packet(true), 100},
        {"last video stream id", With(Packet(false), 3, 0xEF), 0x23456789},
        {"trailing payload",
         [] {
             Bytes p = Packet(false);
             p.push_back(0xAA);
             return p;
         }(),
         0x23456789},
        {"no start code", With(Packet(false), 2, 0x02), 0},
        {"audio stream", With(Packet(false), 3, 0xC0), 0},
        {"not MPEG-2 (byte 6 top bits 01)", With(Packet(false), 6, 0x40), 0},
        {"no time stamps", With(Packet(false), 7, 0x00), 0},
        {"forbidden flags 01", With(Packet(false), 7, 0x40), 0},
        {"PTS prefix wrong", With(Packet(false), 9, 0x39), 0},
        {"PTS marker of byte 11 clear", With(Packet(false), 11, 0x14), 0},
        {"PTS marker of byte 13 clear", With(Packet(false), 13, 0x12), 0},
        {"DTS with PTS prefix 0010", With(Packet(true), 9, 0x29), 0},
        {"DTS prefix wrong", With(Packet(true), 14, 0x21), 0},
        {"DTS marker of byte 16 clear", With(Packet(true), 16, 0x00), 0},
        {"DTS marker of byte 18 clear", With(Packet(true), 18, 0xC8), 0},
        {"DTS packet with PTS marker of byte 13 clear", With(Packet(true), 13, 0x12), 0},
    };
    for (const PesCase& c : cases) {
        EXPECT_EQ(CMediaStreamBuffer::ReadPesTimestamp(c.packet), c.stamp) << c.name;
    }
}

TEST(PesTimestampTest, PacketsCutShortGiveZero) {
    for (const bool withDts : {false, true}) {
        const Bytes whole = Packet(withDts);
        for (std::size_t length = 0; length < whole.size(); ++length) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_EQ(CMediaStreamBuffer::ReadPesTimestamp(cut), 0u) << length;
        }
    }
}

struct MuLawCase {
    std::uint8_t code;
    std::int16_t linear;
};

// ((mantissa << 3) + 132) << segment, less 132, of the inverted code.
constexpr MuLawCase kMuLawCases[] = {
    {0x00, -32124}, {0x80, 32124}, {0xFF, 0},    {0x7F, 0},    {0x0F, -16764}, {0x8F, 16764},
    {0x7E, -8},     {0xFE, 8},     {0x70, -120}, {0x6F, -132}, {0xEF, 132},
};

TEST(MuLawTest, WorkedValues) {
    for (const MuLawCase& c : kMuLawCases) {
        EXPECT_EQ(CMediaStreamBuffer::MuLawToLinear(c.code), c.linear) << int{c.code};
    }
}

TEST(MuLawTest, HalvesMirrorEachOtherAndGrowTowardsZeroCode) {
    for (int code = 0; code < 256; ++code) {
        const auto b = static_cast<std::uint8_t>(code);
        EXPECT_EQ(CMediaStreamBuffer::MuLawToLinear(b),
                  -CMediaStreamBuffer::MuLawToLinear(static_cast<std::uint8_t>(b ^ 0x80)));
        if ((code & 0x7F) != 0) {
            // Lower codes in a half have larger magnitudes.
            EXPECT_GT(
                std::abs(CMediaStreamBuffer::MuLawToLinear(static_cast<std::uint8_t>(code - 1))),
                std::abs(CMediaStreamBuffer::MuLawToLinear(b)));
        }
    }
}

}  // namespace
