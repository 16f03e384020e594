#pragma once

// The main window's geometry and panel buttons as constant data: where the
// window, picture, status line and title-bar buttons sit for each view mode
// (ViewLayoutTable), what each user level may use (UserLevelTable) and, for
// each of the 26 device families, which of the 68 panel buttons exist, where
// they sit in each skin and which bitmaps they wear (SkinButtonTable).
//
// Plain constexpr data with no Qt or core dependency, so that the skin
// generator reads the same bitmap names and sizes the window loads.
//
// SkinButtonTable is built at compile time from a compact description: the
// buttons every family shares, the families each row is present in, the
// placements of each row, and the few per-family variants. The static_asserts
// at the end check the invariants the window relies on.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "liveview/skin/family_names.h"

// ---- layout slots and skins ------------------------------------------------

inline constexpr int kViewModeCount = 18;
inline constexpr int kViewLayoutValues = 79;
inline constexpr int kSkinSlotCount = 4;  // N_VGA, N_QVGA, P_VGA, P_QVGA
inline constexpr int kSkinButtonRows = 68;
inline constexpr int kDeviceFamilyCount = 26;

// The layout slot of a view mode (0..5).
constexpr int LayoutSlot(int viewMode) {
    return viewMode % 6;
}
// The skin of a layout slot: the QQVGA slots 4 and 5 wear the QVGA skins.
constexpr int SkinSlot(int layoutSlot) {
    return layoutSlot == 4 ? 1 : layoutSlot == 5 ? 3 : layoutSlot;
}
constexpr bool IsPalSkin(int skinSlot) {
    return skinSlot >= 2;
}
constexpr bool IsVgaSkin(int skinSlot) {
    return skinSlot % 2 == 0;
}

inline constexpr std::array<std::string_view, kSkinSlotCount> kSkinPrefixes{"N_VGA", "N_QVGA",
                                                                            "P_VGA", "P_QVGA"};
constexpr std::string_view SkinPrefix(int skinSlot) {
    return kSkinPrefixes.at(skinSlot);
}

// ---- ViewLayoutTable -------------------------------------------------------

// Indices of the values the window reads from a ViewLayoutTable row.
enum ViewLayoutValue : int {
    kVlWindowLeft = 0,       // 0-3: window without the control panel
    kVlPanelWindowLeft = 4,  // 4-7: window with the control panel
    kVlBackgroundLeft = 8,   // 8-11: where the panel-less background is painted
    kVlVideoLeft = 12,       // 12-15: picture rectangle
    kVlVideoTop = 13,
    kVlVideoRight = 14,
    kVlVideoBottom = 15,
    kVlStatusLeft = 16,  // 16-19: status line
    kVlPowerWidth = 20,  // 20-23: power button width, height, right edge, top
    kVlPowerHeight = 21,
    kVlPowerRight = 22,
    kVlPowerTop = 23,
    kVlPanelUpX = 24,    // 24-27: x, y, width, height
    kVlPanelDownX = 28,  // 28-31: x, y, width, height
    kVlTitleX = 32,      // 32-36: x, y, width, height, gap
    kVlTitleY = 33,
    kVlTitleWidth = 34,
    kVlTitleHeight = 35,
    kVlTitleGap = 36,
    kVlInfoX = 69,  // 69-70: info-area origin
    kVlInfoY = 70,
    kVlIconsLeft = 75,  // 75-78: alarm and online-user icons
};

using ViewLayoutRow = std::array<std::uint16_t, kViewLayoutValues>;

namespace skin_tables_detail {

struct LayoutQuad {
    std::uint16_t a, b, c, d;
};

constexpr void Put(ViewLayoutRow& row, int at, LayoutQuad q) {
    row[at] = q.a;
    row[at + 1] = q.b;
    row[at + 2] = q.c;
    row[at + 3] = q.d;
}

// The values of a row, from its class (VGA or QVGA, NTSC or PAL height) and
// its own picture and status rectangles.
constexpr ViewLayoutRow MakeLayoutRow(bool vga, bool pal, LayoutQuad video, LayoutQuad status) {
    ViewLayoutRow row{};
    const std::uint16_t width = vga ? 722 : 370;
    const std::uint16_t plain = vga ? (pal ? 705 : 608) : (pal ? 414 : 366);
    const std::uint16_t panel = vga ? (pal ? 776 : 680) : (pal ? 509 : 461);
    Put(row, kVlWindowLeft, {0, 0, width, plain});
    Put(row, kVlPanelWindowLeft, {0, 0, width, panel});
    Put(row, kVlBackgroundLeft, {0, 0, width, plain});
    Put(row, kVlVideoLeft, video);
    Put(row, kVlStatusLeft, status);
    if (vga) {
        Put(row, kVlPowerWidth, {26, 26, 584, 34});
        Put(row, kVlPanelUpX, {345, static_cast<std::uint16_t>(pal ? 668 : 571), 32, 32});
        Put(row, kVlPanelDownX, {345, static_cast<std::uint16_t>(pal ? 740 : 643), 32, 32});
        Put(row, kVlTitleX, {663, 8, 13, 13});
        row[kVlInfoX] = 542;
        Put(row, kVlIconsLeft, {685, 65, 698, 81});
    } else {
        Put(row, kVlPowerWidth, {26, 26, 232, 35});
        Put(row, kVlPanelUpX, {166, static_cast<std::uint16_t>(pal ? 377 : 329), 32, 32});
        Put(row, kVlPanelDownX, {166, static_cast<std::uint16_t>(pal ? 472 : 424), 32, 32});
        Put(row, kVlTitleX, {311, 8, 13, 13});
        row[kVlInfoX] = 190;
        Put(row, kVlIconsLeft, {333, 65, 346, 81});
    }
    row[kVlTitleGap] = 4;
    row[kVlInfoY] = 7;
    return row;
}

inline constexpr LayoutQuad kStatusVga{6, 63, 714, 83};
inline constexpr LayoutQuad kStatusQvga{6, 63, 362, 83};

}  // namespace skin_tables_detail

// Rows 0-5 serve the Q8A7/Q8A5/Q8A3 family, 6-11 Q3A2 and the Q7B family,
// 12-17 Q9C0, each group in layout-slot order (N VGA, N QVGA, P VGA, P QVGA,
// N QQVGA, P QQVGA).
inline constexpr std::array<ViewLayoutRow, kViewModeCount> ViewLayoutTable = [] {
    using namespace skin_tables_detail;
    return std::array<ViewLayoutRow, kViewModeCount>{
        MakeLayoutRow(true, false, {42, 96, 682, 552}, kStatusVga),
        MakeLayoutRow(false, false, {24, 90, 344, 318}, kStatusQvga),
        MakeLayoutRow(true, true, {42, 96, 682, 648}, kStatusVga),
        MakeLayoutRow(false, true, {24, 90, 344, 366}, kStatusQvga),
        MakeLayoutRow(false, false, {96, 148, 272, 260}, kStatusQvga),
        MakeLayoutRow(false, true, {96, 132, 272, 276}, kStatusQvga),
        MakeLayoutRow(true, false, {8, 86, 712, 566}, kStatusVga),
        MakeLayoutRow(false, false, {8, 84, 360, 324}, kStatusQvga),
        MakeLayoutRow(true, true, {10, 86, 714, 660}, kStatusVga),
        MakeLayoutRow(false, true, {8, 86, 360, 372}, kStatusQvga),
        MakeLayoutRow(false, false, {96, 148, 272, 260}, kStatusQvga),
        MakeLayoutRow(false, true, {96, 132, 272, 276}, kStatusQvga),
        MakeLayoutRow(true, false, {40, 86, 680, 566}, kStatusVga),
        MakeLayoutRow(false, false, {24, 84, 344, 324}, {14, 63, 362, 83}),
        MakeLayoutRow(true, true, {42, 86, 682, 660}, {38, 63, 682, 83}),
        MakeLayoutRow(false, true, {24, 86, 344, 372}, {22, 63, 346, 83}),
        MakeLayoutRow(false, false, {104, 148, 264, 260}, kStatusQvga),
        MakeLayoutRow(false, true, {104, 132, 264, 276}, kStatusQvga),
    };
}();

// ---- UserLevelTable --------------------------------------------------------

inline constexpr int kUserLevelControls = 9;

struct UserLevelRow {
    std::uint8_t byRow;
    std::uint8_t byRights;  // also sent by the key sender and the PTZ click
    std::uint8_t byLevel;
    std::uint8_t byReserved;
    std::uint32_t dwNameId;  // string id of the level's name
    std::uint32_t dwCount;   // entries the set-up walks
    std::array<std::uint32_t, kUserLevelControls> dwControlId;
    std::array<std::uint32_t, kUserLevelControls> dwEnabled;
};

inline constexpr std::array<std::uint32_t, kUserLevelControls> kUserLevelControlIds{
    1002, 1007, 1008, 1004, 1005, 1006, 8192, 8193, 8311};

inline constexpr std::array<UserLevelRow, 4> UserLevelTable{{
    {0, 60, 30, 0, 3011, 8, kUserLevelControlIds, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {1, 40, 20, 0, 8332, 8, kUserLevelControlIds, {1, 1, 1, 1, 1, 0, 1, 1, 0}},
    {2, 4, 0, 0, 3013, 8, kUserLevelControlIds, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
    {3, 20, 10, 0, 3012, 8, kUserLevelControlIds, {1, 0, 0, 1, 1, 0, 1, 1, 0}},
}};

// Whether a user-level row lets the user use `controlId` (false for ids the
// row does not list).
constexpr bool UserLevelEnables(const UserLevelRow& row, std::uint32_t controlId) {
    for (int i = 0; i < kUserLevelControls; ++i) {
        if (row.dwControlId[i] == controlId) {
            return row.dwEnabled[i] != 0;
        }
    }
    return false;
}

// The row of a user level (30, 20, 0, 10), or -1.
constexpr int FindUserLevelRow(int level) {
    for (const UserLevelRow& row : UserLevelTable) {
        if (row.byLevel == level) {
            return row.byRow;
        }
    }
    return -1;
}

// ---- SkinButtonTable -------------------------------------------------------

// Row flags.
inline constexpr std::uint16_t kSkinEnabled = 0x1;
inline constexpr std::uint16_t kSkinPresent = 0x2;
inline constexpr std::uint16_t kSkinPerSkin = 0x4;  // reloaded at every skin change
inline constexpr std::uint16_t kSkinThirdFile = 0x10;
inline constexpr std::uint16_t kSkinTopLevelOnly = 0x20;
inline constexpr std::uint16_t kSkinHiddenForLowRights = 0x40;
inline constexpr std::uint16_t kSkinTooltipFirstHalf = 0x80;
inline constexpr std::uint16_t kSkinTooltipSecondHalf = 0x100;
inline constexpr std::uint16_t kSkinRs485Key = 0x200;

// Bitmap styles.
inline constexpr std::uint16_t kSkinStyleThreeBitmap = 0x2;
inline constexpr std::uint16_t kSkinStyleTwoStateCycling = 0x10;
inline constexpr std::uint16_t kSkinStyleTwoState = 0x40;

// Family kind flags.
inline constexpr std::uint32_t kFamilyCameraOnly = 0x2;

struct SkinRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    constexpr std::int32_t Width() const { return right - left; }
    constexpr std::int32_t Height() const { return bottom - top; }
    constexpr bool Empty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const SkinRect&, const SkinRect&) = default;
};

// One panel button of a family. `files` are bitmap names without the folder
// BMP/ and the extension .bmp (null: none). Style 0x2: three per skin slot
// (normal, hover, third). Styles 0x10 and 0x40: state-0 normal, state-0
// hover, state-1 normal, state-1 hover in entries 0-3 (NTSC skins) and 6-9
// (PAL skins).
struct SkinButtonRow {
    std::array<SkinRect, kSkinSlotCount> rect;
    std::uint16_t wFlags = 0;
    std::uint16_t wTooltip = 0;
    std::array<const char*, 12> files{};
    std::uint16_t wStyle = 0;
    std::uint16_t wControlId = 0;
    std::int32_t nKeyIndex = 0;  // the row number, the CtrlFile.ini key index
};

// One family block. The CtrlFile.ini record of the family is looked up at
// run time (kCtrlFamilyNames holds the same names) and is not part of this
// constant table.
struct SkinFamily {
    std::array<SkinButtonRow, kSkinButtonRows> rows;
    const char* name = nullptr;
    std::uint32_t dwKind = 0;
    std::uint32_t dwTypeId = 0;
};

namespace skin_tables_detail {

using FamilyMask = std::uint32_t;
constexpr FamilyMask F(int family) {
    return FamilyMask{1} << family;
}
constexpr FamilyMask R(int first, int last) {
    FamilyMask mask = 0;
    for (int f = first; f <= last; ++f) {
        mask |= F(f);
    }
    return mask;
}

// The family names are those the control file's device records use.
static_assert(kCtrlFamilyCount == kDeviceFamilyCount);

// What every family shares for a row. The bitmaps are given for the VGA
// skins (slots 0 and 2) and the QVGA skins (slots 1 and 3); a two-state row
// names its off pair in vga* and its on pair in qvga*.
struct RowDef {
    std::uint16_t controlId;
    std::uint16_t tooltip;
    std::uint16_t style;
    const char* vgaNormal;
    const char* vgaHover;
    const char* qvgaNormal = nullptr;  // null: as VGA
    const char* qvgaHover = nullptr;
};

// Rows 54-58: per skin slot, the prefix, an underscore and the word.
inline constexpr std::array<std::array<std::array<const char*, 2>, kSkinSlotCount>, 5> kArrowFiles{{
    {{{"N_VGA_LEFT", "N_VGA_LEFT_OVER"},
      {"N_QVGA_LEFT", "N_QVGA_LEFT_OVER"},
      {"P_VGA_LEFT", "P_VGA_LEFT_OVER"},
      {"P_QVGA_LEFT", "P_QVGA_LEFT_OVER"}}},
    {{{"N_VGA_UP", "N_VGA_UP_OVER"},
      {"N_QVGA_UP", "N_QVGA_UP_OVER"},
      {"P_VGA_UP", "P_VGA_UP_OVER"},
      {"P_QVGA_UP", "P_QVGA_UP_OVER"}}},
    {{{"N_VGA_MENU", "N_VGA_MENU_OVER"},
      {"N_QVGA_MENU", "N_QVGA_MENU_OVER"},
      {"P_VGA_MENU", "P_VGA_MENU_OVER"},
      {"P_QVGA_MENU", "P_QVGA_MENU_OVER"}}},
    {{{"N_VGA_DOWN", "N_VGA_DOWN_OVER"},
      {"N_QVGA_DOWN", "N_QVGA_DOWN_OVER"},
      {"P_VGA_DOWN", "P_VGA_DOWN_OVER"},
      {"P_QVGA_DOWN", "P_QVGA_DOWN_OVER"}}},
    {{{"N_VGA_RIGHT", "N_VGA_RIGHT_OVER"},
      {"N_QVGA_RIGHT", "N_QVGA_RIGHT_OVER"},
      {"P_VGA_RIGHT", "P_VGA_RIGHT_OVER"},
      {"P_QVGA_RIGHT", "P_QVGA_RIGHT_OVER"}}},
}};

inline constexpr std::array<std::array<const char*, 2>, 16> kChannelFiles{{
    {"ch1", "ch1_a"},
    {"ch2", "ch2_a"},
    {"ch3", "ch3_a"},
    {"ch4", "ch4_a"},
    {"ch5", "ch5_a"},
    {"ch6", "ch6_a"},
    {"ch7", "ch7_a"},
    {"ch8", "ch8_a"},
    {"ch9", "ch9_a"},
    {"ch10", "ch10_a"},
    {"ch11", "ch11_a"},
    {"ch12", "ch12_a"},
    {"ch13", "ch13_a"},
    {"ch14", "ch14_a"},
    {"ch15", "ch15_a"},
    {"ch16", "ch16_a"},
}};

constexpr std::uint16_t S3 = kSkinStyleThreeBitmap;
constexpr std::uint16_t S2 = kSkinStyleTwoState;

// Rows 16-67 (rows 0-15 are the channel buttons, 54-58 the arrows).
inline constexpr std::array<RowDef, 52> kRowDefs{{
    {8322, 8322, S3, "Second_Col_pip", "Second_Col_pip_over"},
    {8321, 8321, S3, "cut4", "cut4_a"},
    {8271, 8271, S3, "cut4", "cut4_a"},
    {8272, 8272, S3, "cut9", "cut9_a"},
    {8273, 8273, S3, "cut16", "cut16_a"},
    {8280, 8280, S3, "Second_Col_pip", "Second_Col_pip_over"},
    {8281, 8281, S3, "Second_Col_pop", "Second_Col_pop_over"},
    {8282, 8282, S3, "Second_Col_71013", "Second_Col_71013_over"},
    {8283, 8283, S3, "Second_Col_auto", "Second_Col_auto_over"},
    {8319, 8319, S3, "Second_Col_esc", "Second_Col_esc_over"},
    {8285, 8285, S3, "Second_Col_vcr", "Second_Col_vcr_over"},
    {8286, 8286, S3, "Second_Col_live", "Second_Col_live_over"},
    {8287, 8287, S3, "cut4", "cut4_a"},
    {8288, 8288, S3, "Second_Col_freeze", "Second_Col_freeze_over"},
    {8291, 8291, S3, "2Col_zoom_in", "2Col_zoom_in_a"},
    {8292, 8292, S3, "2Col_zoom_out", "2Col_zoom_out_a"},
    {8289, 8289, S3, "2Col_focus_in", "2Col_focus_in_a"},
    {8290, 8290, S3, "2Col_focus_out", "2Col_focus_out_a"},
    {8313, 8313, S3, "2Col_pluse", "2Col_pluse_a"},
    {8314, 8314, S3, "2Col_minus", "2Col_minus_a"},
    {8323, 8323, S3, "Second_Col_Power_Reset", "Second_Col_Power_Reset_over"},
    {8324, 8324, S3, "Second_Col_Reboot", "Second_Col_Reboot_over"},
    {8325, 8325, S3, "Second_Col_esc", "Second_Col_esc_over"},
    {8326, 8326, S3, "Second_Col_Enter", "Second_Col_Enter_over"},
    {8327, 8327, S3, "VGA_stop_recording", "VGA_stop_recording_over", "QVGA_stop_recording",
     "QVGA_stop_recording_over"},
    {8328, 8328, S3, "VGA_recording", "VGA_recording_over", "QVGA_recording",
     "QVGA_recording_over"},
    {8220, 8220, S3, "VGA_room", "VGA_room_over", "room", "room_a"},
    {8222, 8222, S3, "VGA_select", "VGA_select_over", "select", "select_a"},
    {8223, 8223, S3, "VGA_lock", "VGA_lock_over", "lock", "lock_a"},
    {8224, 8224, S3, "VGA_search", "VGA_search_over", "search", "search_a"},
    {8225, 8225, S3, "control_panel_enter", "control_panel_enter_down"},
    {8226, 8226, S3, "VGA_stop", "VGA_stop_over", "QVGA_stop", "QVGA_stop_a"},
    {8227, 8227, S3, "VGA_recording", "VGA_recording_over", "QVGA_recording",
     "QVGA_recording_over"},
    {8228, 8228, S3, "VGA_rew", "VGA_rew_over", "QVGA_rew", "QVGA_rew_a"},
    {8229, 8229, S3, "VGA_fast", "VGA_fast_over", "QVGA_fast", "QVGA_fast_a"},
    {8230, 8230, S3, "VGA_pause", "VGA_pause_over", "QVGA_pause", "QVGA_pause_a"},
    {8231, 8231, S3, "VGA_slow", "VGA_slow_over", "QVGA_slow", "QVGA_slow_a"},
    {8232, 8232, S3, "VGA_play", "VGA_play_over", "QVGA_play", "QVGA_play_a"},
    {8240, 8240, S3, nullptr, nullptr},  // 54-58: kArrowFiles
    {8241, 8241, S3, nullptr, nullptr},
    {8242, 8242, S3, nullptr, nullptr},
    {8243, 8243, S3, nullptr, nullptr},
    {8244, 8244, S3, nullptr, nullptr},
    {8310, 8310, S2, "tubro_close", "tubro_close_over", "tubro", "tubro_over"},
    {8312, 8312, S2, "ptz_off", "ptz_off_over", "ptz_on", "ptz_on_over"},
    {8331, 8331, S2, "alarm_enable_close", "alarm_enable_close_over", "alarm_enable",
     "alarm_enable_over"},
    {8350, 8350, S3, "zoom_in_max", "zoom_in_max_a"},
    {8351, 8351, S3, "zoom_out_max", "zoom_out_max_a"},
    {8353, 8353, S3, "digital_zoom", "digital_zoom_over"},
    {8354, 8354, S3, "control_panel_set", "control_panel_set_down"},
    {8355, 8355, S3, "sequence", "sequence_over"},
    {8356, 8356, S3, "sequence", "sequence_over"},
}};

// Which families show a row range, with which flags.
struct Presence {
    int firstRow;
    int lastRow;
    FamilyMask families;
    std::uint16_t flags;
};

inline constexpr auto kPresence = std::to_array<Presence>({
    {0, 3, R(2, 25), 0x3},
    {4, 7, F(5) | F(6) | F(8) | F(11) | F(13) | F(14) | R(17, 20) | F(22) | F(24) | F(25), 0x3},
    {8, 8, F(5) | F(6) | F(8) | F(11) | F(13) | F(14) | R(17, 19) | F(24) | F(25), 0x3},
    {9, 15, F(6) | F(8) | F(11) | F(14) | R(17, 19) | F(24) | F(25), 0x3},
    {18, 18, R(4, 6) | F(13) | F(14) | R(19, 24), 0x3},
    {19, 19, F(5) | F(6) | F(13) | F(14) | F(19) | F(20) | F(22) | F(24), 0x3},
    {20, 20, F(6) | F(14) | F(19) | F(20) | F(22) | F(24), 0x3},
    {21, 21, R(4, 6) | F(12) | F(13) | F(24), 0x3},
    {22, 22, F(3) | F(12), 0x3},
    {24, 24, F(7) | F(8) | F(11) | F(17), 0x3},
    {24, 24, F(18) | F(25), 0x203},
    {25, 25, F(14) | R(19, 23), 0x7},
    {28, 28, F(7) | F(12), 0x3},
    {30, 33, F(8) | F(11) | F(17) | F(18) | F(25), 0x3},
    {62, 63, F(8) | F(11) | F(17) | F(18) | F(25), 0x3},
    {34, 35, F(2) | F(3) | F(9) | F(10) | R(14, 16) | R(19, 23), 0x3},
    {39, 39, F(9) | F(15) | F(16), 0x7},
    {41, 41, F(9) | F(15) | F(16), 0x7},
    {42, 42, F(2) | R(4, 6) | F(9) | F(10) | F(13) | F(15) | F(16) | F(24), 0x7},
    {43, 43, F(5) | F(6) | F(13) | F(24), 0x7},
    {44, 44, R(2, 7) | F(9) | F(10) | F(12) | F(13) | F(24), 0x7},
    {44, 44, F(15) | F(16), 0x47},
    {45, 45, R(1, 4) | F(7) | F(9) | F(10) | F(12) | R(14, 16) | R(19, 23), 0x7},
    {46, 46, R(1, 7) | R(10, 14) | R(17, 25), 0x7},
    {46, 46, F(8), 0x3},
    {47, 47, R(1, 7) | F(9) | F(10) | R(12, 16) | R(19, 24), 0x7},
    {49, 53, R(1, 7) | F(9) | F(10) | R(12, 16) | R(19, 24), 0x7},
    {48, 48, R(1, 7) | F(10) | R(12, 14) | R(19, 24), 0x7},
    {54, 58, R(1, 25), 0x7},
    {59, 59, R(1, 13) | R(15, 18) | F(21) | F(23) | F(24) | F(25), 0x10B},
    {59, 59, F(14) | F(19) | F(20) | F(22), 0x7},
    {60, 60, F(11) | F(17) | F(18), 0x10B},
    {60, 60, F(14) | R(19, 23), 0x7},
    {60, 60, F(15) | F(16), 0x103},
    {61, 61, F(15), 0x23},
    {61, 61, F(19) | F(22) | F(23), 0x7},
    {64, 64, F(14) | F(17) | R(19, 23), 0x7},
    {65, 66, F(14) | R(19, 23), 0x7},
    {67, 67, F(18) | F(25), 0x8B},
    // Rows 16, 17, 23, 26, 27, 29, 36-38 and 40 are present in no family.
    {16, 16, 0, 0},
    {17, 17, 0, 0},
    {23, 23, 0, 0},
});

// Family sets that several placements share.
inline constexpr FamilyMask kRows4To7 =
    F(5) | F(6) | F(8) | F(11) | F(13) | F(14) | R(17, 20) | F(22) | F(24) | F(25);
inline constexpr FamilyMask kRows9To15 = F(6) | F(8) | F(11) | F(14) | R(17, 19) | F(24) | F(25);
inline constexpr FamilyMask kPtzFamilies = F(8) | F(11) | F(17) | F(18) | F(25);
inline constexpr FamilyMask kDvr4Families = F(2) | F(3) | F(9) | F(10) | F(15) | F(16);
inline constexpr FamilyMask kNetDmrFamilies = F(14) | F(19) | F(20) | F(22);
inline constexpr FamilyMask kTransportFamilies = R(1, 7) | F(9) | F(10) | R(12, 16) | R(19, 24);

// Where a row sits in the families named: slot 0 and slot 1; slot 2 is slot
// 0 moved 96 pixels down, slot 3 is slot 1 moved 48 pixels down unless
// `slot3` is given.
struct Placement {
    int row;
    SkinRect slot0;
    SkinRect slot1;
    FamilyMask families;
    SkinRect slot3 = {};
};

inline constexpr auto kPlacements = std::to_array<Placement>({
    {0, {8, 568, 26, 586}, {9, 328, 27, 346}, R(2, 25)},
    {1, {27, 568, 45, 586}, {28, 328, 46, 346}, R(2, 25)},
    {2, {46, 568, 64, 586}, {47, 328, 65, 346}, R(2, 25)},
    {3, {65, 568, 83, 586}, {66, 328, 84, 346}, R(2, 25)},
    {4, {84, 568, 102, 586}, {85, 328, 103, 346}, kRows4To7},
    {5, {103, 568, 121, 586}, {104, 328, 122, 346}, kRows4To7},
    {6, {122, 568, 140, 586}, {123, 328, 141, 346}, kRows4To7},
    {7, {141, 568, 159, 586}, {142, 328, 160, 346}, kRows4To7},
    {8,
     {160, 568, 178, 586},
     {161, 328, 179, 346},
     F(5) | F(6) | F(8) | F(11) | F(13) | F(14) | R(17, 19) | F(24) | F(25)},
    {9, {179, 568, 197, 586}, {180, 328, 198, 346}, kRows9To15},
    {10, {198, 568, 216, 586}, {199, 328, 217, 346}, kRows9To15},
    {11, {217, 568, 235, 586}, {218, 328, 236, 346}, kRows9To15},
    {12, {236, 568, 254, 586}, {237, 328, 255, 346}, kRows9To15},
    {13, {255, 568, 273, 586}, {256, 328, 274, 346}, kRows9To15},
    {14, {274, 568, 292, 586}, {275, 328, 293, 346}, kRows9To15},
    {15, {293, 568, 311, 586}, {294, 328, 312, 346}, kRows9To15},
    {18, {84, 568, 103, 586}, {9, 349, 28, 367}, F(4)},
    {18, {179, 568, 198, 586}, {9, 349, 28, 367}, F(5) | F(13)},
    {18, {312, 568, 331, 586}, {9, 349, 28, 367}, F(6) | F(14) | F(19) | F(20) | F(22) | F(24)},
    {18, {84, 568, 102, 586}, {9, 349, 28, 367}, F(21) | F(23)},
    {19, {199, 568, 218, 586}, {29, 349, 48, 367}, F(5) | F(13)},
    {19, {332, 568, 351, 586}, {29, 349, 48, 367}, F(6) | F(14) | F(19) | F(20) | F(22) | F(24)},
    {20, {352, 568, 371, 586}, {49, 349, 68, 367}, F(6) | F(14) | F(19) | F(20) | F(22) | F(24)},
    {21, {104, 568, 122, 586}, {29, 349, 47, 367}, F(4)},
    {21, {219, 568, 237, 586}, {49, 349, 67, 367}, F(5) | F(13)},
    {21, {372, 568, 390, 586}, {69, 349, 87, 367}, F(6) | F(24)},
    {21, {84, 568, 102, 586}, {9, 349, 27, 367}, F(12)},
    {22, {154, 568, 172, 586}, {79, 349, 97, 367}, F(3)},
    {22, {103, 568, 121, 586}, {28, 349, 46, 367}, F(12)},
    {24, {84, 568, 116, 586}, {9, 349, 41, 367}, F(7)},
    {24, {312, 568, 344, 586}, {9, 349, 41, 367}, F(8) | F(11) | F(17) | F(18) | F(25)},
    {25, {649, 629, 663, 643}, {331, 409, 345, 423}, F(14) | R(19, 23)},
    {28, {117, 568, 136, 586}, {42, 349, 61, 367}, F(7)},
    {28, {122, 568, 141, 586}, {47, 349, 66, 367}, F(12)},
    {30, {345, 568, 363, 586}, {42, 349, 60, 367}, kPtzFamilies},
    {31, {364, 568, 382, 586}, {61, 349, 79, 367}, kPtzFamilies},
    {32, {383, 568, 401, 586}, {80, 349, 98, 367}, kPtzFamilies},
    {33, {402, 568, 420, 586}, {99, 349, 117, 367}, kPtzFamilies},
    {34, {84, 568, 118, 586}, {9, 349, 43, 367}, kDvr4Families},
    {34, {372, 568, 391, 586}, {69, 349, 88, 367}, kNetDmrFamilies},
    {34, {103, 568, 121, 586}, {29, 349, 48, 367}, F(21) | F(23)},
    {35, {119, 568, 153, 586}, {44, 349, 78, 367}, kDvr4Families},
    {35, {392, 568, 411, 586}, {89, 349, 108, 367}, kNetDmrFamilies},
    {35, {122, 568, 140, 586}, {49, 349, 68, 367}, F(21) | F(23)},
    {39, {578, 578, 592, 592}, {260, 357, 274, 371}, F(9) | F(15) | F(16)},
    {41, {373, 602, 403, 625}, {99, 371, 129, 393}, F(9) | F(15) | F(16)},
    {42,
     {293, 602, 323, 625},
     {9, 371, 39, 393},
     F(2) | R(4, 6) | F(9) | F(10) | F(13) | F(15) | F(16) | F(24)},
    {43, {333, 602, 363, 625}, {54, 371, 84, 393}, F(5) | F(6) | F(13) | F(24)},
    {44, {333, 602, 363, 625}, {54, 371, 84, 393}, F(2) | F(4) | F(9) | F(10) | F(15) | F(16)},
    {44, {293, 602, 323, 625}, {9, 371, 39, 393}, F(3) | F(12)},
    {44, {373, 602, 403, 625}, {99, 371, 129, 393}, F(5) | F(6) | F(13)},
    {44, {293, 602, 323, 625}, {12, 371, 42, 393}, F(7)},
    {44, {413, 602, 443, 625}, {144, 371, 174, 393}, F(24)},
    {45, {333, 602, 363, 625}, {57, 371, 87, 393}, F(1)},
    {45, {413, 602, 443, 625}, {144, 371, 174, 393}, F(2) | F(4) | F(9) | F(10) | F(15) | F(16)},
    {45, {373, 602, 403, 625}, {99, 371, 129, 393}, F(3) | F(12)},
    {45, {373, 602, 403, 625}, {102, 371, 132, 393}, F(7)},
    {45, {422, 602, 452, 625}, {9, 371, 39, 393}, kNetDmrFamilies},
    {45, {293, 602, 323, 625}, {9, 371, 39, 393}, F(21) | F(23)},
    {46, {578, 578, 592, 592}, {260, 357, 274, 371}, R(1, 8) | R(10, 14) | R(17, 25)},
    {47, {45, 602, 71, 625}, {9, 401, 35, 423}, kTransportFamilies},
    {48, {293, 602, 323, 625}, {12, 371, 42, 393}, F(1)},
    {48, {373, 602, 403, 625}, {99, 371, 129, 393}, F(2) | F(4) | F(10) | F(24)},
    {48, {333, 602, 363, 625}, {54, 371, 84, 393}, F(3) | F(12) | F(21) | F(23)},
    {48, {413, 602, 443, 625}, {144, 371, 174, 393}, F(5) | F(6) | F(13)},
    {48, {333, 602, 363, 625}, {57, 371, 87, 393}, F(7)},
    {48, {462, 602, 492, 625}, {49, 371, 79, 393}, kNetDmrFamilies},
    {49, {84, 602, 110, 625}, {48, 401, 74, 423}, kTransportFamilies},
    {50, {123, 602, 149, 625}, {87, 401, 113, 423}, kTransportFamilies},
    {51, {162, 602, 188, 625}, {126, 401, 152, 423}, kTransportFamilies},
    {52, {201, 602, 227, 624}, {165, 401, 191, 423}, kTransportFamilies & ~F(15)},
    {52, {201, 602, 227, 624}, {165, 401, 191, 422}, F(15), {165, 449, 191, 471}},
    {53, {240, 602, 266, 625}, {204, 401, 230, 423}, kTransportFamilies},
    {54, {580, 600, 601, 623}, {262, 379, 283, 402}, R(1, 25)},
    {55, {610, 577, 631, 595}, {292, 356, 313, 374}, R(1, 25)},
    {56, {610, 600, 631, 623}, {292, 379, 313, 402}, R(1, 25)},
    {57, {610, 627, 631, 645}, {292, 406, 313, 424}, R(1, 25)},
    {58, {639, 600, 657, 623}, {321, 379, 338, 402}, R(1, 25), {321, 427, 339, 448}},
    {59, {649, 578, 663, 592}, {331, 357, 345, 371}, R(1, 25)},
    {60, {578, 629, 592, 643}, {260, 409, 274, 423}, F(11) | R(14, 23)},
    {61, {657, 659, 692, 673}, {313, 441, 348, 455}, F(15) | F(19) | F(22) | F(23)},
    {62, {421, 568, 440, 586}, {118, 349, 137, 367}, kPtzFamilies},
    {63, {441, 568, 460, 586}, {138, 349, 157, 367}, kPtzFamilies},
    {64, {412, 568, 431, 586}, {109, 349, 128, 367}, kNetDmrFamilies},
    {64, {461, 568, 480, 586}, {158, 349, 177, 367}, F(17)},
    {64, {141, 568, 160, 586}, {69, 349, 88, 367}, F(21) | F(23)},
    {65, {432, 568, 451, 586}, {129, 349, 148, 367}, kNetDmrFamilies},
    {65, {161, 568, 180, 586}, {89, 349, 108, 367}, F(21) | F(23)},
    {66, {452, 568, 470, 586}, {149, 349, 167, 367}, kNetDmrFamilies},
    {66, {181, 568, 200, 586}, {109, 349, 128, 367}, F(21) | F(23)},
    {67, {461, 568, 531, 586}, {158, 349, 228, 367}, F(18) | F(25)},
});

constexpr SkinRect Moved(SkinRect r, int dy) {
    return {r.left, r.top + dy, r.right, r.bottom + dy};
}

constexpr void SetThreeBitmapFiles(SkinButtonRow& row, const char* vgaNormal, const char* vgaHover,
                                   const char* qvgaNormal, const char* qvgaHover) {
    for (int slot = 0; slot < kSkinSlotCount; ++slot) {
        const bool vga = IsVgaSkin(slot);
        row.files[slot * 3] = vga ? vgaNormal : qvgaNormal;
        row.files[slot * 3 + 1] = vga ? vgaHover : qvgaHover;
        row.files[slot * 3 + 2] = nullptr;
    }
}

constexpr void SetTwoStateFiles(SkinButtonRow& row, const char* offNormal, const char* offHover,
                                const char* onNormal, const char* onHover) {
    row.files = {};
    for (int base : {0, 6}) {
        row.files[base] = offNormal;
        row.files[base + 1] = offHover;
        row.files[base + 2] = onNormal;
        row.files[base + 3] = onHover;
    }
}

constexpr SkinButtonRow SharedRow(int r) {
    SkinButtonRow row;
    row.nKeyIndex = r;
    row.wStyle = S3;
    if (r < 16) {
        row.wControlId = static_cast<std::uint16_t>(8250 + r);
        row.wTooltip = row.wControlId;
        SetThreeBitmapFiles(row, kChannelFiles[r][0], kChannelFiles[r][1], kChannelFiles[r][0],
                            kChannelFiles[r][1]);
        return row;
    }
    const RowDef& def = kRowDefs[r - 16];
    row.wControlId = def.controlId;
    row.wTooltip = def.tooltip;
    row.wStyle = def.style;
    if (r >= 54 && r <= 58) {
        for (int slot = 0; slot < kSkinSlotCount; ++slot) {
            row.files[slot * 3] = kArrowFiles[r - 54][slot][0];
            row.files[slot * 3 + 1] = kArrowFiles[r - 54][slot][1];
        }
    } else if (def.style == S2) {
        SetTwoStateFiles(row, def.vgaNormal, def.vgaHover, def.qvgaNormal, def.qvgaHover);
    } else {
        SetThreeBitmapFiles(row, def.vgaNormal, def.vgaHover,
                            def.qvgaNormal ? def.qvgaNormal : def.vgaNormal,
                            def.qvgaHover ? def.qvgaHover : def.vgaHover);
    }
    return row;
}

constexpr bool In(FamilyMask mask, int family) {
    return (mask & F(family)) != 0;
}

constexpr SkinFamily MakeFamily(int f) {
    SkinFamily family;
    family.name = kCtrlFamilyNames[static_cast<std::size_t>(f)].data();
    family.dwKind = f == 0 ? kFamilyCameraOnly : 0;
    family.dwTypeId = static_cast<std::uint32_t>(f);
    for (int r = 0; r < kSkinButtonRows; ++r) {
        family.rows[r] = SharedRow(r);
    }
    // One pass over each description list, a later entry winning over an
    // earlier one, keeps the compile-time evaluation well within the step
    // limits of the compilers (a pass per row would not).
    for (const Presence& p : kPresence) {
        if (In(p.families, f)) {
            for (int r = p.firstRow; r <= p.lastRow; ++r) {
                family.rows[r].wFlags = p.flags;
            }
        }
    }
    for (const Placement& p : kPlacements) {
        if (In(p.families, f)) {
            SkinButtonRow& row = family.rows[p.row];
            row.rect[0] = p.slot0;
            row.rect[1] = p.slot1;
            row.rect[2] = Moved(p.slot0, 96);
            row.rect[3] = p.slot3.Empty() ? Moved(p.slot1, 48) : p.slot3;
        }
    }
    // Per-family variants.
    const bool presetFamily = In(F(8) | F(11) | F(17) | F(18) | F(25), f);
    if (presetFamily) {
        for (int r = 0; r < 16; ++r) {
            family.rows[r].wTooltip = static_cast<std::uint16_t>(8333 + r);
        }
    }
    if (f == 20 || f == 22) {
        family.rows[20].wControlId = 8573;
        family.rows[20].wTooltip = 8573;
        SetThreeBitmapFiles(family.rows[20], "cut8", "cut8_a", "cut8", "cut8_a");
    }
    if (In(F(14) | R(19, 23), f)) {
        SetThreeBitmapFiles(family.rows[34], "pluse", "pluse_a", "pluse", "pluse_a");
        SetThreeBitmapFiles(family.rows[35], "minus", "minus_a", "minus", "minus_a");
    }
    if (In(F(9) | F(15) | F(16), f)) {
        SetThreeBitmapFiles(family.rows[39], "control_panel_enter", "control_panel_enter_down",
                            "control_panel_enter", "control_panel_enter_down");
    }
    if (f == 18 || f == 25) {
        family.rows[67].wStyle = S2;
        SetTwoStateFiles(family.rows[67], "ptz_action", "ptz_action", "ptz_preset", "ptz_preset");
    }
    return family;
}

}  // namespace skin_tables_detail

inline constexpr std::array<SkinFamily, kDeviceFamilyCount> SkinButtonTable = [] {
    std::array<SkinFamily, kDeviceFamilyCount> table{};
    for (int f = 0; f < kDeviceFamilyCount; ++f) {
        table[f] = skin_tables_detail::MakeFamily(f);
    }
    return table;
}();

// ---- lookups ----------------------------------------------------------------

constexpr bool IsValidFamily(int family) {
    return family >= 0 && family < kDeviceFamilyCount;
}
constexpr bool IsCameraOnlyFamily(int family) {
    return IsValidFamily(family) && (SkinButtonTable[family].dwKind & kFamilyCameraOnly) != 0;
}

// The row of a family's button with `controlId`, or -1.
constexpr int FindSkinButtonRow(int family, std::uint32_t controlId) {
    if (!IsValidFamily(family)) {
        return -1;
    }
    for (int r = 0; r < kSkinButtonRows; ++r) {
        if (SkinButtonTable[family].rows[r].wControlId == controlId) {
            return r;
        }
    }
    return -1;
}

// Whether a present button is shown, for the rights byte and level of the
// user. A camera-only family keeps its 0x20 row for rights 60 and its 0x40
// rows for rights 40 and up; other families keep 0x20 rows for level 30 and
// 0x40 rows for rights 30 and up.
constexpr bool SkinButtonShown(std::uint16_t flags, std::uint8_t rights, int level,
                               bool cameraOnly) {
    if ((flags & kSkinPresent) == 0) {
        return false;
    }
    if (cameraOnly) {
        if ((flags & kSkinTopLevelOnly) != 0 && rights < 60) {
            return false;
        }
        if ((flags & kSkinHiddenForLowRights) != 0 && rights < 40) {
            return false;
        }
        return true;
    }
    if ((flags & kSkinTopLevelOnly) != 0 && level != 30) {
        return false;
    }
    if ((flags & kSkinHiddenForLowRights) != 0 && rights < 30) {
        return false;
    }
    return true;
}

// The bitmap names (without BMP/ and .bmp) of a two-state button's states
// for a skin: normal and hover of state 0, then of state 1.
constexpr std::array<const char*, 4> TwoStateFiles(const SkinButtonRow& row, int skinSlot) {
    const int base = IsPalSkin(skinSlot) ? 6 : 0;
    return {row.files[base], row.files[base + 1], row.files[base + 2], row.files[base + 3]};
}

// ---- the window's own bitmaps -------------------------------------------------

// Backgrounds and status lines per layout slot 0..5: without the panel, with
// the panel, the status line.
struct SkinBackgroundSet {
    const char* background;
    const char* backgroundPanel;
    const char* statusBar;
};
inline constexpr std::array<SkinBackgroundSet, 6> kSkinBackgrounds{{
    {"N_VGA_BG", "N_VGA_BG_EX", "VGA_Status_Bar"},
    {"N_QVGA_BG", "N_QVGA_BG_EX", "StatusBar"},
    {"P_VGA_BG", "P_VGA_BG_EX", "VGA_Status_Bar"},
    {"P_QVGA_BG", "P_QVGA_BG_EX", "StatusBar"},
    {"N_QVGA_BG", "N_QVGA_BG_EX", "StatusBar"},
    {"P_QVGA_BG", "P_QVGA_BG_EX", "StatusBar"},
}};
inline constexpr const char* kOnlineUserIcon = "Online_User_ICON";
inline constexpr const char* kAlarmIcon = "alarm";

// Title-bar buttons 8200-8202: normal, hover.
inline constexpr std::array<std::uint16_t, 3> kTitleBarIds{8200, 8201, 8202};
inline constexpr std::array<std::array<const char*, 2>, 3> kTitleBarFiles{{
    {"Title_Bar_Hide", "Title_Bar_Hide_a"},
    {"Title_Bar_Fullscreen", "Title_Bar_Fullscreen_a"},
    {"Title_Bar_Close", "Title_Bar_Close_a"},
}};

// The power button 8311: normal, hover, pressed.
inline constexpr std::uint16_t kPowerButtonId = 8311;
inline constexpr std::array<const char*, 3> kPowerFiles{"power", "power_over", "power_down"};

// The panel buttons per skin slot: normal/pressed and hover.
inline constexpr std::uint16_t kPanelUpId = 8192;
inline constexpr std::uint16_t kPanelDownId = 8193;
inline constexpr std::array<std::array<const char*, 2>, kSkinSlotCount> kPanelUpFiles{{
    {"N_VGA_PANELUP", "N_VGA_PANELUP_OVER"},
    {"N_QVGA_PANELUP", "N_QVGA_PANELUP_OVER"},
    {"P_VGA_PANELUP", "P_VGA_PANELUP_OVER"},
    {"P_QVGA_PANELUP", "P_QVGA_PANELUP_OVER"},
}};
inline constexpr std::array<std::array<const char*, 2>, kSkinSlotCount> kPanelDownFiles{{
    {"N_VGA_PANELDOWN", "N_VGA_PANELDOWN_OVER"},
    {"N_QVGA_PANELDOWN", "N_QVGA_PANELDOWN_OVER"},
    {"P_VGA_PANELDOWN", "P_VGA_PANELDOWN_OVER"},
    {"P_QVGA_PANELDOWN", "P_QVGA_PANELDOWN_OVER"},
}};

// Turbo faces. The arrows (rows 54, 55, 57, 58) per skin slot: normal (also
// pressed) and hover; rows 30-33: normal, and hover/pressed.
inline constexpr std::array<std::array<std::array<const char*, 2>, kSkinSlotCount>, 4>
    kTurboArrowFiles{{
        {{{"N_VGA_LEFT_TURBO", "N_VGA_LEFT_TURBO_OVER"},
          {"N_QVGA_LEFT_TURBO", "N_QVGA_LEFT_TURBO_OVER"},
          {"P_VGA_LEFT_TURBO", "P_VGA_LEFT_TURBO_OVER"},
          {"P_QVGA_LEFT_TURBO", "P_QVGA_LEFT_TURBO_OVER"}}},
        {{{"N_VGA_UP_TURBO", "N_VGA_UP_TURBO_OVER"},
          {"N_QVGA_UP_TURBO", "N_QVGA_UP_TURBO_OVER"},
          {"P_VGA_UP_TURBO", "P_VGA_UP_TURBO_OVER"},
          {"P_QVGA_UP_TURBO", "P_QVGA_UP_TURBO_OVER"}}},
        {{{"N_VGA_DOWN_TURBO", "N_VGA_DOWN_TURBO_OVER"},
          {"N_QVGA_DOWN_TURBO", "N_QVGA_DOWN_TURBO_OVER"},
          {"P_VGA_DOWN_TURBO", "P_VGA_DOWN_TURBO_OVER"},
          {"P_QVGA_DOWN_TURBO", "P_QVGA_DOWN_TURBO_OVER"}}},
        {{{"N_VGA_RIGHT_TURBO", "N_VGA_RIGHT_TURBO_OVER"},
          {"N_QVGA_RIGHT_TURBO", "N_QVGA_RIGHT_TURBO_OVER"},
          {"P_VGA_RIGHT_TURBO", "P_VGA_RIGHT_TURBO_OVER"},
          {"P_QVGA_RIGHT_TURBO", "P_QVGA_RIGHT_TURBO_OVER"}}},
    }};
inline constexpr std::array<int, 4> kTurboArrowRows{54, 55, 57, 58};
inline constexpr std::array<std::array<const char*, 2>, 4> kTurboZoomFocusFiles{{
    {"2Col_zoom_turbo_in", "2Col_zoom_turbo_in_a"},
    {"2Col_zoom_turbo_out", "2Col_zoom_turbo_out_a"},
    {"2Col_focus_turbo_in", "2Col_focus_turbo_in_a"},
    {"2Col_focus_turbo_out", "2Col_focus_turbo_out_a"},
}};
inline constexpr int kTurboZoomFocusFirstRow = 30;

// The index of a turbo arrow row in kTurboArrowFiles, or -1.
constexpr int TurboArrowIndex(int row) {
    for (int i = 0; i < 4; ++i) {
        if (kTurboArrowRows[i] == row) {
            return i;
        }
    }
    return -1;
}

// ---- invariants -------------------------------------------------------------

namespace skin_tables_detail {

constexpr bool LayoutRowsConsistent() {
    for (const ViewLayoutRow& v : ViewLayoutTable) {
        for (int i = 0; i < 4; ++i) {
            if (v[kVlBackgroundLeft + i] != v[kVlWindowLeft + i]) {
                return false;
            }
        }
        // Layout rectangles start at the window's origin; the picture and
        // the status line lie inside the window.
        if (v[0] != 0 || v[1] != 0 || v[4] != 0 || v[5] != 0 || v[6] != v[2] || v[7] <= v[3]) {
            return false;
        }
        if (v[kVlVideoRight] > v[2] || v[kVlVideoBottom] > v[3] ||
            v[kVlVideoLeft] >= v[kVlVideoRight] || v[kVlVideoTop] >= v[kVlVideoBottom]) {
            return false;
        }
        if (v[kVlStatusLeft + 2] > v[2]) {
            return false;
        }
    }
    return true;
}

constexpr bool EveryRowKnowsItself() {
    for (int f = 0; f < kDeviceFamilyCount; ++f) {
        if (SkinButtonTable[f].dwTypeId != static_cast<std::uint32_t>(f)) {
            return false;
        }
        for (int r = 0; r < kSkinButtonRows; ++r) {
            if (SkinButtonTable[f].rows[r].nKeyIndex != r) {
                return false;
            }
        }
    }
    return true;
}

// Every present row has a rectangle in every slot and the bitmaps its style
// loads; the third file (flag 0x10) is never asked for.
constexpr bool PresentRowsComplete() {
    for (const SkinFamily& family : SkinButtonTable) {
        for (const SkinButtonRow& row : family.rows) {
            if ((row.wFlags & kSkinPresent) == 0) {
                continue;
            }
            if ((row.wFlags & kSkinThirdFile) != 0) {
                return false;
            }
            for (int slot = 0; slot < kSkinSlotCount; ++slot) {
                if (row.rect[slot].Empty()) {
                    return false;
                }
                if (row.wStyle == kSkinStyleThreeBitmap &&
                    (row.files[slot * 3] == nullptr || row.files[slot * 3 + 1] == nullptr)) {
                    return false;
                }
                if (row.wStyle == kSkinStyleTwoState) {
                    for (const char* file : TwoStateFiles(row, slot)) {
                        if (file == nullptr) {
                            return false;
                        }
                    }
                }
            }
        }
    }
    return true;
}

// A row is placed at most once per family, and only where it is present.
constexpr bool PlacementsMatchPresence() {
    for (int f = 0; f < kDeviceFamilyCount; ++f) {
        std::array<int, kSkinButtonRows> placed{};
        for (const Placement& p : kPlacements) {
            if (p.row < 0 || p.row >= kSkinButtonRows) {
                return false;
            }
            placed[p.row] += In(p.families, f) ? 1 : 0;
        }
        for (int r = 0; r < kSkinButtonRows; ++r) {
            const bool present = (SkinButtonTable[f].rows[r].wFlags & kSkinPresent) != 0;
            if (placed[r] != (present ? 1 : 0)) {
                return false;
            }
        }
    }
    return true;
}

constexpr bool CameraFamilyHasNoButton() {
    for (const SkinButtonRow& row : SkinButtonTable[0].rows) {
        if (row.wFlags != 0) {
            return false;
        }
    }
    return (SkinButtonTable[0].dwKind & kFamilyCameraOnly) != 0;
}

// Control ids are unique within a family, so a button id finds one row.
constexpr bool ControlIdsUnique() {
    for (const SkinFamily& family : SkinButtonTable) {
        for (int a = 0; a < kSkinButtonRows; ++a) {
            for (int b = a + 1; b < kSkinButtonRows; ++b) {
                if (family.rows[a].wControlId == family.rows[b].wControlId) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace skin_tables_detail

static_assert(skin_tables_detail::LayoutRowsConsistent());
static_assert(skin_tables_detail::EveryRowKnowsItself());
static_assert(skin_tables_detail::PresentRowsComplete());
static_assert(skin_tables_detail::PlacementsMatchPresence());
static_assert(skin_tables_detail::CameraFamilyHasNoButton());
static_assert(skin_tables_detail::ControlIdsUnique());
static_assert(UserLevelTable[0].byRights == 60 && UserLevelTable[3].byLevel == 10);
