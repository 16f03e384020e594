// The PTZ bodies, the click grid at every edge and the slave list reply.

#include "liveview/control/ptz_control.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const Rs485Body& body) {
    return Bytes(body.bytes.begin(), body.bytes.begin() + static_cast<long>(body.length));
}

TEST(PtzSelection, BodiesForEveryNumber) {
    for (int n = 1; n <= 16; ++n) {
        const auto body = PtzSelectionBody(n);
        ASSERT_TRUE(body) << n;
        const Bytes expected =
            n <= 9 ? Bytes{0x02, 0x05, static_cast<std::uint8_t>(n + 5), 0x01, 0x32}
                   : Bytes{0x02, 0x06, static_cast<std::uint8_t>(n - 5), 0x01, 0x32};
        EXPECT_EQ(Bytes(body->begin(), body->end()), expected) << n;
    }
    for (int n : {-1, 0, 17, 256}) EXPECT_FALSE(PtzSelectionBody(n)) << n;
    EXPECT_EQ(Bytes(kBackToRecorderBody.begin(), kBackToRecorderBody.end()),
              (Bytes{0x01, 0x10, 0x01, 0x32}));
}

struct ClickCase {
    const char* name;
    PictureRect v;
    int x, y;
    bool fullScreen;
    std::optional<PtzClick> click;
};

// Layout row 0: the 640 x 456 picture at (42, 96).
constexpr PictureRect kVga{42, 96, 682, 552};
constexpr PictureRect kWide{0, 0, 704, 480};
constexpr PictureRect kScreen{0, 0, 1919, 1091};

const std::vector<ClickCase> kClicks{
    {"Example", kVga, 362, 324, false, PtzClick{7, 5, 0x57, 320, 228}},
    {"OnLeftEdge", kVga, 42, 200, false, std::nullopt},
    {"OnTopEdge", kVga, 100, 96, false, std::nullopt},
    {"OnRightEdge", kVga, 682, 200, false, std::nullopt},
    {"OnBottomEdge", kVga, 100, 552, false, std::nullopt},
    {"OnePixelInside", kVga, 43, 97, false, PtzClick{0, 0, 0x00, 1, 1}},
    {"LastColumnAndRow", kVga, 42 + 639, 96 + 455, false, PtzClick{15, 11, 0xBF, 639, 455}},
    {"FirstCellBorder", kVga, 82, 134, false, PtzClick{0, 0, 0x00, 40, 38}},
    {"SecondCell", kVga, 83, 135, false, PtzClick{1, 1, 0x11, 41, 39}},
    {"WideCells", kWide, 45, 41, false, PtzClick{1, 1, 0x11, 45, 41}},
    {"FullScreenMargin", kScreen, 8, 500, true, std::nullopt},
    {"FullScreenInsideMargin", kScreen, 9, 9, true, PtzClick{0, 0, 0x00, 3, 3}},
    // 1919 / 16 cells leave a last strip: still column 15, never 16.
    {"FullScreenStripClampsColumn", kScreen, 1910, 500, true, PtzClick{15, 5, 0x5F, 636, 208}},
    // 1091 / 12 rows leave a last strip: still row 11, never 12.
    {"FullScreenStripClampsRow", kScreen, 500, 1082, true, PtzClick{4, 11, 0xB4, 166, 452}},
    {"TinyPicture", PictureRect{0, 0, 10, 10}, 5, 5, false, PtzClick{0, 0, 0x00, 5, 5}},
};

void PrintTo(const ClickCase& c, std::ostream* out) {
    *out << c.name;
}

class PtzClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(PtzClickTest, CellAndMark) {
    const ClickCase& c = GetParam();
    const auto click = PtzClickCell(c.v, c.x, c.y, c.fullScreen, 640, 456);
    ASSERT_EQ(click.has_value(), c.click.has_value());
    if (!click)
        return;
    EXPECT_EQ(click->column, c.click->column);
    EXPECT_EQ(click->row, c.click->row);
    EXPECT_EQ(click->cell, c.click->cell);
    EXPECT_EQ(click->markX, c.click->markX);
    EXPECT_EQ(click->markY, c.click->markY);
}

INSTANTIATE_TEST_SUITE_P(Grid, PtzClickTest, ::testing::ValuesIn(kClicks),
                         [](const ::testing::TestParamInfo<ClickCase>& instance) {
                             return std::string(instance.param.name);
                         });

TEST(PtzClickGrid, EveryPointOfThePictureIsInTheGrid) {
    for (const PictureRect v : {kVga, kWide, kScreen, PictureRect{0, 0, 720, 576}}) {
        for (int x = v.left + 1; x < v.right; x += 7) {
            for (int y = v.top + 1; y < v.bottom; y += 5) {
                const auto click = PtzClickCell(v, x, y, false, 640, 456);
                ASSERT_TRUE(click);
                ASSERT_LE(click->column, 15);
                ASSERT_LE(click->row, 11);
            }
        }
    }
}

TEST(PtzClickBody, ByDeviceType) {
    struct Case {
        std::uint8_t type;
        std::optional<Bytes> body;
    };
    const std::vector<Case> cases{
        {8, Bytes{0x05, 0xD0, 0x03, 0x52, 0x57, 0x00, 0x01, 0x32}},
        {11, Bytes{0x07, 0xD0, 0x03, 0x28, 0x52, 0x57, 0x00, 0xA4, 0x01, 0x32}},
        {18, Bytes{0x07, 0xD0, 0x03, 0x28, 0x52, 0x57, 0x00, 0xA4, 0x01, 0x32}},
        {25, Bytes{0x07, 0xD0, 0x03, 0x28, 0x52, 0x57, 0x00, 0xA4, 0x01, 0x32}},
        {0, std::nullopt},
        {24, std::nullopt},
        {26, std::nullopt},
        {255, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto body = PtzClickBody(c.type, 0x57, 3, 40);
        ASSERT_EQ(body.has_value(), c.body.has_value()) << int(c.type);
        if (body) {
            EXPECT_EQ(Of(*body), *c.body) << int(c.type);
        }
    }
}

TEST(PtzSlaveList, ReadsTheItemsWithTheDeviceInformationRules) {
    struct Case {
        std::string reply;
        std::vector<std::pair<int, int>> slaves;  // id, type
    };
    const std::vector<Case> cases{
        {"SLAVENUM=2;SID=1;STYPE=1;SPROTOCOL=0;SID=4;STYPE=1;SPROTOCOL=1;", {{1, 11}, {4, 18}}},
        {"SLAVENUM=1;SID=2;STYPE=8;SPROTOCOL=1;", {{2, 8}}},
        {"SLAVENUM=0;", {}},
        {"", {}},
        // Missing items carry over; the count is the device's byte.
        {"SLAVENUM=258;SID=7;STYPE=1;", {{7, 11}, {7, 11}}},
        {"SLAVENUM=-1;", std::vector<std::pair<int, int>>(255, {0, 0})},
    };
    for (const Case& c : cases) {
        const auto slaves = ReadPtzSlaveList(
            std::span(reinterpret_cast<const std::uint8_t*>(c.reply.data()), c.reply.size()));
        std::vector<std::pair<int, int>> got;
        for (const PtzSlave& slave : slaves) got.emplace_back(slave.id, slave.type);
        EXPECT_EQ(got, c.slaves) << c.reply;
    }
}

}  // namespace
