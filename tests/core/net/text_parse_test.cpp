#include "core/net/text_parse.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace {

using Bytes4 = std::array<std::uint8_t, 4>;
using Bytes6 = std::array<std::uint8_t, 6>;

struct SplitCase {
    const char* text;
    bool result;
    Bytes4 bytes;
};

constexpr SplitCase kSplitCases[] = {
    {"192.168.1.10", true, {0xC0, 0xA8, 0x01, 0x0A}},
    {"300.1.2.3", true, {0x2C, 0x01, 0x02, 0x03}},  // low 8 bits of 300
    {"10..1", true, {0x0A, 0x01, 0x00, 0x00}},      // a run of dots is one delimiter
    {"abc", true, {0x00, 0x00, 0x00, 0x00}},        // a piece without digits is 0
    {"", false, {0x00, 0x00, 0x00, 0x00}},
    {"...", false, {0x00, 0x00, 0x00, 0x00}},
    {"1.2", true, {0x01, 0x02, 0x00, 0x00}},
    {"1.2.3.4.5", true, {0x01, 0x02, 0x03, 0x04}},  // extra pieces ignored
    {".7.8.", true, {0x07, 0x08, 0x00, 0x00}},
    {" 12.+3.-1.4x", true, {0x0C, 0x03, 0xFF, 0x04}},
    // Huge digit runs saturate at the int limits before the low byte is taken.
    {"99999999999999999999999.-99999999999999999999.2147483647.2147483648",
     true,
     {0xFF, 0x00, 0xFF, 0xFF}},
};

TEST(SplitToInts, Table) {
    for (const SplitCase& c : kSplitCases) {
        Bytes4 out;
        out.fill(0xEE);  // shows that the whole buffer is cleared first
        EXPECT_EQ(SplitToInts(c.text, out, "."), c.result) << c.text;
        EXPECT_EQ(out, c.bytes) << c.text;
    }
}

TEST(SplitToInts, PiecesBeyondTheBufferAreNotWritten) {
    std::array<std::uint8_t, 6> storage{};
    storage.fill(0xEE);
    EXPECT_TRUE(SplitToInts("1.2.3.4.5.6", std::span(storage).first(4), "."));
    EXPECT_EQ(storage, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 0xEE, 0xEE}));
}

TEST(SplitToInts, AnyOfSeveralDelimiters) {
    Bytes4 out{};
    EXPECT_TRUE(SplitToInts("1.2:3 4", out, ".: "));
    EXPECT_EQ(out, (Bytes4{1, 2, 3, 4}));
}

struct MacCase {
    const char* text;
    bool result;
    Bytes6 bytes;  // after a call on a buffer pre-filled with 0xEE
};

constexpr MacCase kMacCases[] = {
    {"001a2b3c4d5e", true, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
    {"FFEEDDCCBBAA", true, {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}},
    // Wrong length: refused before the buffer is touched.
    {"00-1A-2B-3C-4D", false, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    {"001a2b3c4d5", false, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    {"", false, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    // Right length, a non-hex character: refused with the buffer cleared.
    {"001a2b3c4d5g", false, {0, 0, 0, 0, 0, 0}},
    {"00:1a2b3c4d5", false, {0, 0, 0, 0, 0, 0}},
};

TEST(MacTextToBytes, Table) {
    for (const MacCase& c : kMacCases) {
        Bytes6 out;
        out.fill(0xEE);
        EXPECT_EQ(MacTextToBytes(c.text, out), c.result) << c.text;
        EXPECT_EQ(out, c.bytes) << c.text;
    }
}

TEST(MacTextToBytes, MissingOrShortBufferIsRefused) {
    EXPECT_FALSE(MacTextToBytes("001a2b3c4d5e", {}));
    std::array<std::uint8_t, 5> small{};
    EXPECT_FALSE(MacTextToBytes("001a2b3c4d5e", small));
}

struct HexCase {
    const char* text;
    char separator;
    std::size_t size;
    Bytes6 bytes;  // buffer pre-filled with 0xEE
};

constexpr HexCase kHexCases[] = {
    {"00:1a:2B:3c:4D:5e", ':', 6, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
    {"0:1a", ':', 6, {0x01, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},  // trailing 'A' ignored
    {"001a2b3c4d5e6f", ':', 6, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
    {"11-22-33", '-', 2, {0x11, 0x22, 0xEE, 0xEE, 0xEE, 0xEE}},
    {"", ':', 6, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    // Not validated: 'G' is 71 - 55 = 16, so "1G" is 16 + 16 = 0x20.
    {"1G", ':', 6, {0x20, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
};

TEST(HexTextToBytes, Table) {
    for (const HexCase& c : kHexCases) {
        Bytes6 out;
        out.fill(0xEE);
        EXPECT_TRUE(HexTextToBytes(c.text, std::span(out).first(c.size), c.separator)) << c.text;
        EXPECT_EQ(out, c.bytes) << c.text;
    }
}

TEST(HexTextToBytes, ArbitraryBytesNeverOverflow) {
    // Bytes above 0x7F and below '0' give odd values but stay well defined.
    Bytes6 out{};
    EXPECT_TRUE(HexTextToBytes(std::string("\xff\x01!~", 4), out, ':'));
    EXPECT_EQ(out[0], 0x51);  // 16 * (255 - 55) + (1 - 48), low 8 bits
    EXPECT_EQ(out[1], 0x57);  // 16 * (33 - 48) + (126 - 55), low 8 bits
}

}  // namespace
