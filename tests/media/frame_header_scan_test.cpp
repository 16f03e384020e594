// The frame-header parser's toggle step and its byte scan.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "media/frame_header.h"

namespace {

TEST(FrameHeaderToggle, MovesTheAlarmValueByTheToggleWord) {
    struct Case {
        const char* name;
        std::uint16_t before;
        std::uint16_t toggleWord;
        std::uint32_t gate;
        std::uint16_t after;
    };
    const Case cases[] = {
        {"nothing set: back to 0", 5, 0, 0, 0},
        {"low bits 1", 0, 0x0001, 0, 1},
        {"low bits 2", 1, 0x0002, 0, 2},
        {"only the low two bits count", 2, 0xFFFD, 0, 1},
        {"low bits 3 leave the value", 7, 0x0003, 0, 7},
        {"15 becomes 0 with the gate 0", 15, 0x0003, 0, 0},
        {"15 stays with the gate set", 15, 0x0003, 1, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFrameHeaderParser parser;
        parser.m_wAlarmData = c.before;
        parser.SetToggleInputs(c.toggleWord, c.gate);
        parser.ToggleAlarmData();
        EXPECT_EQ(parser.m_wAlarmData.load(), c.after);
    }
    CFrameHeaderParser fresh;  // nothing writes the inputs: they start at 0
    fresh.m_wAlarmData = 2;
    fresh.ToggleAlarmData();
    EXPECT_EQ(fresh.m_wAlarmData.load(), 0);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values, std::size_t padTo = 0) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    if (bytes.size() < padTo)
        bytes.resize(padTo, 0x11);
    return bytes;
}

TEST(FrameHeaderScan, FindsTheSequenceAfterAMarkerByte) {
    // Sequence starting `gap` bytes after a marker byte 0x80 at offset 0.
    const auto after = [](std::size_t gap, int kind = 0xC0) {
        std::vector<std::uint8_t> bytes(gap + 8, 0x11);
        bytes[0] = 0x80;
        bytes[gap] = 0x00;
        bytes[gap + 1] = 0x00;
        bytes[gap + 2] = static_cast<std::uint8_t>(kind);
        bytes[gap + 3] = 0x01;
        return bytes;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool expected;
    };
    const Case cases[] = {
        {"right after the marker", after(1), true},
        {"kind D0", after(1, 0xD0), true},
        {"kind E0", after(1, 0xE0), true},
        {"other kind", after(1, 0xB0), false},
        {"50 bytes after", after(50), true},
        {"51 bytes after", after(51), false},
        {"marker byte BF counts", Bytes({0xBF, 0x00, 0x00, 0xE0, 0x01}), true},
        {"marker byte C0 does not", Bytes({0xC0, 0x00, 0x00, 0xE0, 0x01}), false},
        {"marker byte 7F does not", Bytes({0x7F, 0x00, 0x00, 0xE0, 0x01}), false},
        {"a later marker byte", Bytes({0x00, 0x90, 0x00, 0x00, 0xD0, 0x01}), true},
        {"cut before the last byte", Bytes({0x80, 0x00, 0x00, 0xC0}), false},
        {"sequence before the marker", Bytes({0x00, 0x00, 0xC0, 0x01, 0x80}), false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CFrameHeaderParser::HasStartSequenceAfterMarker(c.bytes), c.expected);
    }
}

}  // namespace
