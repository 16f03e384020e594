#include "platform/byte_order.h"

#include <array>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteOrderTest, FixedOffsetFieldsAreLittleEndianAndBoundsChecked) {
    Bytes bytes(16, 0);
    platform::StoreLe16(bytes, 0, 0x1234);
    platform::StoreLe32(bytes, 2, 0x89ABCDEF);
    platform::StoreLe64(bytes, 8, 0x0102030405060708ULL);
    EXPECT_EQ(bytes, (Bytes{0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(platform::LoadLe16(bytes, 0), 0x1234);
    EXPECT_EQ(platform::LoadLe32(bytes, 2), 0x89ABCDEFu);
    EXPECT_EQ(platform::LoadLe64(bytes, 8), 0x0102030405060708ULL);

    // The last byte of a field one past the end, and offsets far beyond
    // (where offset + width would wrap), are refused; nothing is written.
    EXPECT_THROW(platform::LoadLe16(bytes, 15), std::out_of_range);
    EXPECT_THROW(platform::LoadLe32(bytes, SIZE_MAX - 1), std::out_of_range);
    EXPECT_THROW(platform::StoreLe64(bytes, 9, 0), std::out_of_range);
    EXPECT_THROW(platform::StoreLe16(std::span<std::uint8_t>(), 0, 0), std::out_of_range);
    EXPECT_EQ(platform::LoadLe64(bytes, 8), 0x0102030405060708ULL);
}

TEST(ByteOrderTest, WriterAppendsToAVector) {
    Bytes out{0xAA};  // what was there before stays
    platform::LeWriter w(out);
    w.U8(1);
    w.U16(0x0302);
    w.U32(0x07060504);
    w.U64(0x0F0E0D0C0B0A0908ULL);
    w.I16(-2);
    w.I32(-1);
    w.Bytes(std::array<std::uint8_t, 2>{0x10, 0x11});
    w.Chars(std::array<char, 2>{'A', 'B'});
    w.Zeros(2);
    w.U32At(1, 0xDDCCBBAA);  // relative to where the writer began
    EXPECT_TRUE(w.Ok());
    EXPECT_EQ(w.Size(), 27u);
    EXPECT_EQ(out,
              (Bytes{0xAA, 1,  0xAA, 0xBB, 0xCC, 0xDD, 6,    7,    8,    9,    10,  11,  12, 13,
                     14,   15, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x11, 'A', 'B', 0,  0}));
}

TEST(ByteOrderTest, WriterIntoFixedRoomStopsAtItsEnd) {
    std::array<std::uint8_t, 7> room{};
    room.fill(0x55);
    platform::LeWriter w(room);
    w.U32(0x04030201);
    w.U16(0x0605);
    EXPECT_TRUE(w.Ok());
    w.U16(0x0807);  // one byte left: not written, and the writer fails
    EXPECT_FALSE(w.Ok());
    w.U8(9);  // stays failed
    EXPECT_FALSE(w.Ok());
    EXPECT_EQ(w.Size(), 6u);
    EXPECT_EQ(room, (std::array<std::uint8_t, 7>{1, 2, 3, 4, 5, 6, 0x55}));

    platform::LeWriter back(room);
    back.U16(0);
    back.U32At(0, 1);  // would reach past what was written
    EXPECT_FALSE(back.Ok());
}

TEST(ByteOrderTest, ReaderReadsInOrderAndRefusesWhatIsNotThere) {
    const Bytes bytes{1, 0x03, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 'h', 'i', 0xEE};
    platform::LeReader r(bytes);
    EXPECT_EQ(r.PeekU8(), 1);
    EXPECT_EQ(r.U8(), 1);
    EXPECT_EQ(r.U16(), 0x0203);
    EXPECT_EQ(r.U32(), 0x07060504u);
    EXPECT_EQ(r.U64(), 0x0F0E0D0C0B0A0908ULL);
    std::array<char, 2> text{};
    EXPECT_TRUE(r.CopyTo(text));
    EXPECT_EQ(std::string(text.begin(), text.end()), "hi");
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.Position(), 17u);
    EXPECT_EQ(r.Remaining(), 1u);
    EXPECT_TRUE(r.Has(1));
    EXPECT_FALSE(r.Has(2));

    // Each of these wants more than the one byte left.
    EXPECT_EQ(r.U16(), 0);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Position(), 17u);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U64(), 0u);
    std::array<std::uint8_t, 2> two{9, 9};
    EXPECT_FALSE(r.CopyTo(two));
    EXPECT_EQ(two, (std::array<std::uint8_t, 2>{9, 9}));
    EXPECT_TRUE(r.Bytes(2).empty());
    EXPECT_FALSE(r.Skip(SIZE_MAX));
    // The last byte is still there to read.
    EXPECT_EQ(r.Bytes(1).front(), 0xEE);
    EXPECT_EQ(r.PeekU8(), 0);
    EXPECT_EQ(r.U8(), 0);
    EXPECT_FALSE(r.Ok());
}

TEST(ByteOrderTest, WhatTheWriterWritesTheReaderReadsBack) {
    Bytes out;
    platform::LeWriter w(out);
    w.U16(0xFFFF);
    w.U32(0);
    w.U64(UINT64_MAX);
    w.I32(-123456);
    platform::LeReader r(out);
    EXPECT_EQ(r.U16(), 0xFFFF);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U64(), UINT64_MAX);
    EXPECT_EQ(static_cast<std::int32_t>(r.U32()), -123456);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.Remaining(), 0u);
}

}  // namespace
