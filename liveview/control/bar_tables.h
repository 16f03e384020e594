#pragma once

// The channel bar's and the command bar's buttons as constant data: sizes,
// places, roles and bitmaps. Plain constexpr data with no Qt or core
// dependency, so that the skin generator draws exactly the faces these
// tables name. Bitmap names are given without the folder BMP/ and the
// extension .bmp.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "liveview/skin/skin_tables.h"

// ---- channel bar ---------------------------------------------------------------

inline constexpr std::uint32_t kChannelRoleChannel = 1;
inline constexpr std::uint32_t kChannelRoleLeft = 2;
inline constexpr std::uint32_t kChannelRoleRight = 4;

inline constexpr std::uint16_t kChannelDvrId = 8410;  // 8411..8426: channels 1..16
inline constexpr std::uint16_t kChannelLeftId = 8427;
inline constexpr std::uint16_t kChannelRightId = 8428;
inline constexpr int kChannelButtonMax = 19;

// One button of a DVR model's channel bar. Files: enable, enable hover,
// disable, disable hover (state 0 is the channel shown, state 1 the others).
struct ChannelButtonRow {
    std::uint16_t wWidth;
    std::uint16_t wHeight;
    std::uint32_t dwRole;
    std::uint16_t wControlId;
    std::array<const char*, 4> files;
    std::uint16_t wStateCount;
    std::uint16_t wCreateId;
    std::uint16_t wButton;
};

namespace bar_tables_detail {

inline constexpr std::array<std::array<const char*, 4>, 17> kChannelFaces{{
    {"Channel_dvr_Enable", "Channel_dvr_Enable_over", "Channel_dvr_Disable",
     "Channel_dvr_Disable_over"},
    {"Channel_1_Enable", "Channel_1_Enable_over", "Channel_1_Disable", "Channel_1_Disable_over"},
    {"Channel_2_Enable", "Channel_2_Enable_over", "Channel_2_Disable", "Channel_2_Disable_over"},
    {"Channel_3_Enable", "Channel_3_Enable_over", "Channel_3_Disable", "Channel_3_Disable_over"},
    {"Channel_4_Enable", "Channel_4_Enable_over", "Channel_4_Disable", "Channel_4_Disable_over"},
    {"Channel_5_Enable", "Channel_5_Enable_over", "Channel_5_Disable", "Channel_5_Disable_over"},
    {"Channel_6_Enable", "Channel_6_Enable_over", "Channel_6_Disable", "Channel_6_Disable_over"},
    {"Channel_7_Enable", "Channel_7_Enable_over", "Channel_7_Disable", "Channel_7_Disable_over"},
    {"Channel_8_Enable", "Channel_8_Enable_over", "Channel_8_Disable", "Channel_8_Disable_over"},
    {"Channel_9_Enable", "Channel_9_Enable_over", "Channel_9_Disable", "Channel_9_Disable_over"},
    {"Channel_10_Enable", "Channel_10_Enable_over", "Channel_10_Disable",
     "Channel_10_Disable_over"},
    {"Channel_11_Enable", "Channel_11_Enable_over", "Channel_11_Disable",
     "Channel_11_Disable_over"},
    {"Channel_12_Enable", "Channel_12_Enable_over", "Channel_12_Disable",
     "Channel_12_Disable_over"},
    {"Channel_13_Enable", "Channel_13_Enable_over", "Channel_13_Disable",
     "Channel_13_Disable_over"},
    {"Channel_14_Enable", "Channel_14_Enable_over", "Channel_14_Disable",
     "Channel_14_Disable_over"},
    {"Channel_15_Enable", "Channel_15_Enable_over", "Channel_15_Disable",
     "Channel_15_Disable_over"},
    {"Channel_16_Enable", "Channel_16_Enable_over", "Channel_16_Disable",
     "Channel_16_Disable_over"},
}};

inline constexpr std::array<const char*, 4> kLeftFaces{"Channel_Left", "Channel_Left",
                                                       "Channel_Left_Down", "Channel_Left"};
inline constexpr std::array<const char*, 4> kRightFaces{"Channel_Right", "Channel_Right",
                                                        "Channel_Right_Down", "Channel_Right"};

// The DVR button, `channels` channel buttons, then the two arrows.
template <std::size_t N>
constexpr std::array<ChannelButtonRow, N> MakeChannelRows() {
    constexpr int channels = static_cast<int>(N) - 3;
    std::array<ChannelButtonRow, N> rows{};
    for (int i = 0; i <= channels; ++i) {
        const auto id = static_cast<std::uint16_t>(kChannelDvrId + i);
        rows[i] = {static_cast<std::uint16_t>(i == 0 ? 40 : 35),
                   28,
                   kChannelRoleChannel,
                   id,
                   kChannelFaces[i],
                   2,
                   id,
                   static_cast<std::uint16_t>(i)};
    }
    rows[N - 2] = {9,          16, kChannelRoleLeft, kChannelLeftId,
                   kLeftFaces, 2,  kChannelLeftId,   static_cast<std::uint16_t>(N - 2)};
    rows[N - 1] = {9,           16, kChannelRoleRight, kChannelRightId,
                   kRightFaces, 2,  kChannelRightId,   static_cast<std::uint16_t>(N - 1)};
    return rows;
}

}  // namespace bar_tables_detail

inline constexpr auto kChannelRowsQ8A7 = bar_tables_detail::MakeChannelRows<19>();
inline constexpr auto kChannelRowsQ8A5 = bar_tables_detail::MakeChannelRows<11>();
inline constexpr auto kChannelRowsQ8A3 = bar_tables_detail::MakeChannelRows<7>();

static_assert(kChannelRowsQ8A7[16].wControlId == 8426 && kChannelRowsQ8A7[17].dwRole == 2 &&
              kChannelRowsQ8A7[18].wControlId == kChannelRightId);
static_assert(kChannelRowsQ8A5[8].wControlId == 8418 && kChannelRowsQ8A5[9].dwRole == 2);
static_assert(kChannelRowsQ8A3[4].wControlId == 8414 && kChannelRowsQ8A3[6].dwRole == 4);

// The Q3A2's two channel buttons, one rectangle and four files per layout
// slot; the same in every slot.
struct Q3A2ChannelRow {
    std::array<SkinRect, kSkinSlotCount> rect;
    std::uint16_t wFlags;
    std::uint16_t wControlId;
    std::array<const char*, 16> files;
    std::uint16_t wStateCount;
    std::uint16_t wCreateId;
    std::uint16_t wButton;
};

namespace bar_tables_detail {

constexpr Q3A2ChannelRow MakeQ3A2Row(int channel, SkinRect rect) {
    Q3A2ChannelRow row{};
    const auto id = static_cast<std::uint16_t>(kChannelDvrId + channel);
    for (int slot = 0; slot < kSkinSlotCount; ++slot) {
        row.rect[slot] = rect;
        for (int k = 0; k < 4; ++k) {
            row.files[slot * 4 + k] = kChannelFaces[channel][k];
        }
    }
    row.wFlags = kSkinEnabled | kSkinPresent;
    row.wControlId = id;
    row.wStateCount = 2;
    row.wCreateId = id;
    row.wButton = static_cast<std::uint16_t>(channel);
    return row;
}

}  // namespace bar_tables_detail

inline constexpr std::array<Q3A2ChannelRow, 2> kChannelRowsQ3A2{
    bar_tables_detail::MakeQ3A2Row(1, {20, 32, 55, 60}),
    bar_tables_detail::MakeQ3A2Row(2, {55, 32, 90, 60}),
};

// ---- command bar -------------------------------------------------------------

inline constexpr std::uint16_t kCommandGroupPlainDvr = 1;
inline constexpr std::uint16_t kCommandGroupMulti = 2;  // multi-channel DVR, Q3A2, Q9C0
inline constexpr std::uint16_t kCommandGroupQ7B = 4;
inline constexpr int kCommandButtonMax = 10;

struct CommandButtonRow {
    std::array<SkinRect, kSkinSlotCount> rect;
    std::uint16_t wGroupMask;
    std::uint16_t wTooltip;
    std::array<const char*, 6> normal;    // unused entries null
    std::array<const char*, 6> disabled;  // the same faces with _n
    std::uint8_t byStyle;
    std::uint8_t byLevelMask;  // bit n: user-level row n may use the button
    std::uint16_t wControlId;
    std::uint32_t dwRow;
    std::uint32_t dwStateBit;
};

namespace bar_tables_detail {

inline constexpr std::array<SkinRect, kSkinSlotCount> kCommandRect{{
    {688, 34, 714, 60},
    {336, 35, 362, 61},
    {688, 34, 714, 60},
    {336, 35, 362, 61},
}};

}  // namespace bar_tables_detail

inline constexpr std::array<CommandButtonRow, 7> CommandButtonTable{{
    {bar_tables_detail::kCommandRect,
     7,
     1002,
     {"link", "link_over", "link_off", "link_off_over"},
     {"link_n", "link_n", "link_off_n", "link_off_n"},
     0x40,
     0x0f,
     1002,
     0,
     0x01},
    {bar_tables_detail::kCommandRect,
     7,
     1007,
     {"qvga", "qvga_over", "vga", "vga_over"},
     {"qvga_n", "qvga_n", "vga_n", "vga_n"},
     0x10,
     0x03,
     1007,
     1,
     0x02},
    {bar_tables_detail::kCommandRect,
     7,
     1008,
     {"high", "mid_over", "mid", "low_over", "low", "high_over"},
     {"high_n", "high_n", "mid_n", "mid_n", "low_n", "low_n"},
     0x10,
     0x03,
     1008,
     2,
     0x04},
    {bar_tables_detail::kCommandRect,
     6,
     999,
     {"Image_Quality", "Image_Quality_over", "Image_Quality_over"},
     {"Image_Quality_n", "Image_Quality_n", "Image_Quality_n"},
     0x01,
     0x03,
     999,
     3,
     0x08},
    {bar_tables_detail::kCommandRect,
     7,
     1004,
     {"snapshoot", "snapshoot_over", "snapshoot_down"},
     {"snapshoot_n", "snapshoot_n", "snapshoot_n"},
     0x20,
     0x0b,
     1004,
     4,
     0x10},
    {bar_tables_detail::kCommandRect,
     7,
     1005,
     {"Record_Button", "Record_Button_over", "Recording_Button", "Recording_Button_over"},
     {"Record_Button_n", "Record_Button_n", "Recording_Button_n", "Recording_Button_n"},
     0x40,
     0x0b,
     1005,
     5,
     0x20},
    {bar_tables_detail::kCommandRect,
     7,
     1006,
     {"system_setting", "system_setting_over", "system_setting_over"},
     {"system_setting_n", "system_setting_n", "system_setting_n"},
     0x01,
     0x01,
     1006,
     6,
     0x40},
}};

namespace bar_tables_detail {

// Each row knows its number, and its disabled faces name a file for every
// normal face.
constexpr bool CommandRowsConsistent() {
    for (std::size_t i = 0; i < CommandButtonTable.size(); ++i) {
        const CommandButtonRow& row = CommandButtonTable[i];
        if (row.dwRow != i || row.dwStateBit != (1u << i)) {
            return false;
        }
        for (std::size_t k = 0; k < 6; ++k) {
            if ((row.normal[k] == nullptr) != (row.disabled[k] == nullptr)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace bar_tables_detail

static_assert(bar_tables_detail::CommandRowsConsistent());
// The colour button is not in the plain DVR group.
static_assert((CommandButtonTable[3].wGroupMask & kCommandGroupPlainDvr) == 0);
