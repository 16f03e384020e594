#include "liveview/skin/skin_tables.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

struct LayoutCase {
    int viewMode;
    SkinRect window;
    SkinRect panelWindow;
    SkinRect video;
    SkinRect status;
};

SkinRect Quad(const ViewLayoutRow& v, int at) {
    return {v[at], v[at + 1], v[at + 2], v[at + 3]};
}

class ViewLayoutRows : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ViewLayoutRows, WindowPictureAndStatusLine) {
    const LayoutCase& c = GetParam();
    const ViewLayoutRow& v = ViewLayoutTable.at(c.viewMode);
    EXPECT_EQ(Quad(v, kVlWindowLeft), c.window);
    EXPECT_EQ(Quad(v, kVlBackgroundLeft), c.window);
    EXPECT_EQ(Quad(v, kVlPanelWindowLeft), c.panelWindow);
    EXPECT_EQ(Quad(v, kVlVideoLeft), c.video);
    EXPECT_EQ(Quad(v, kVlStatusLeft), c.status);
}

constexpr SkinRect kNVga{0, 0, 722, 608}, kNVgaEx{0, 0, 722, 680};
constexpr SkinRect kPVga{0, 0, 722, 705}, kPVgaEx{0, 0, 722, 776};
constexpr SkinRect kNQvga{0, 0, 370, 366}, kNQvgaEx{0, 0, 370, 461};
constexpr SkinRect kPQvga{0, 0, 370, 414}, kPQvgaEx{0, 0, 370, 509};
constexpr SkinRect kSVga{6, 63, 714, 83}, kSQvga{6, 63, 362, 83};

INSTANTIATE_TEST_SUITE_P(
    EveryViewMode, ViewLayoutRows,
    ::testing::Values(LayoutCase{0, kNVga, kNVgaEx, {42, 96, 682, 552}, kSVga},
                      LayoutCase{1, kNQvga, kNQvgaEx, {24, 90, 344, 318}, kSQvga},
                      LayoutCase{2, kPVga, kPVgaEx, {42, 96, 682, 648}, kSVga},
                      LayoutCase{3, kPQvga, kPQvgaEx, {24, 90, 344, 366}, kSQvga},
                      LayoutCase{4, kNQvga, kNQvgaEx, {96, 148, 272, 260}, kSQvga},
                      LayoutCase{5, kPQvga, kPQvgaEx, {96, 132, 272, 276}, kSQvga},
                      LayoutCase{6, kNVga, kNVgaEx, {8, 86, 712, 566}, kSVga},
                      LayoutCase{7, kNQvga, kNQvgaEx, {8, 84, 360, 324}, kSQvga},
                      LayoutCase{8, kPVga, kPVgaEx, {10, 86, 714, 660}, kSVga},
                      LayoutCase{9, kPQvga, kPQvgaEx, {8, 86, 360, 372}, kSQvga},
                      LayoutCase{10, kNQvga, kNQvgaEx, {96, 148, 272, 260}, kSQvga},
                      LayoutCase{11, kPQvga, kPQvgaEx, {96, 132, 272, 276}, kSQvga},
                      LayoutCase{12, kNVga, kNVgaEx, {40, 86, 680, 566}, kSVga},
                      LayoutCase{13, kNQvga, kNQvgaEx, {24, 84, 344, 324}, {14, 63, 362, 83}},
                      LayoutCase{14, kPVga, kPVgaEx, {42, 86, 682, 660}, {38, 63, 682, 83}},
                      LayoutCase{15, kPQvga, kPQvgaEx, {24, 86, 344, 372}, {22, 63, 346, 83}},
                      LayoutCase{16, kNQvga, kNQvgaEx, {104, 148, 264, 260}, kSQvga},
                      LayoutCase{17, kPQvga, kPQvgaEx, {104, 132, 264, 276}, kSQvga}));

TEST(ViewLayoutTable, ButtonsOfTheFrameByPictureClass) {
    // VGA and QVGA rows of each video standard: power (w, h, right, top),
    // panel up and down (x, y, w, h), title bar (x, y, w, h, gap).
    struct Case {
        int viewMode;
        SkinRect power, panelUp, panelDown;
        std::uint16_t titleX, infoX, iconsLeft;
    };
    const Case cases[] = {
        {0, {26, 26, 584, 34}, {345, 571, 32, 32}, {345, 643, 32, 32}, 663, 542, 685},
        {8, {26, 26, 584, 34}, {345, 668, 32, 32}, {345, 740, 32, 32}, 663, 542, 685},
        {13, {26, 26, 232, 35}, {166, 329, 32, 32}, {166, 424, 32, 32}, 311, 190, 333},
        {17, {26, 26, 232, 35}, {166, 377, 32, 32}, {166, 472, 32, 32}, 311, 190, 333},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.viewMode);
        const ViewLayoutRow& v = ViewLayoutTable.at(c.viewMode);
        EXPECT_EQ(Quad(v, kVlPowerWidth), c.power);
        EXPECT_EQ(Quad(v, kVlPanelUpX), c.panelUp);
        EXPECT_EQ(Quad(v, kVlPanelDownX), c.panelDown);
        EXPECT_EQ(v[kVlTitleX], c.titleX);
        EXPECT_EQ(v[kVlTitleY], 8);
        EXPECT_EQ(v[kVlTitleWidth], 13);
        EXPECT_EQ(v[kVlTitleHeight], 13);
        EXPECT_EQ(v[kVlTitleGap], 4);
        EXPECT_EQ(v[kVlInfoX], c.infoX);
        EXPECT_EQ(v[kVlInfoY], 7);
        EXPECT_EQ(v[kVlIconsLeft], c.iconsLeft);
        // Values nobody reads stay zero.
        for (int i = 37; i <= 68; ++i) {
            EXPECT_EQ(v[i], 0) << i;
        }
    }
}

TEST(LayoutSlots, QqvgaSlotsWearQvgaSkins) {
    const int skinOfSlot[] = {0, 1, 2, 3, 1, 3};
    for (int mode = 0; mode < kViewModeCount; ++mode) {
        EXPECT_EQ(LayoutSlot(mode), mode % 6);
        EXPECT_EQ(SkinSlot(LayoutSlot(mode)), skinOfSlot[mode % 6]);
    }
    EXPECT_EQ(SkinPrefix(3), "P_QVGA");
    EXPECT_STREQ(kSkinBackgrounds[4].background, "N_QVGA_BG");
    EXPECT_STREQ(kSkinBackgrounds[2].statusBar, "VGA_Status_Bar");
    EXPECT_STREQ(kSkinBackgrounds[5].statusBar, "StatusBar");
}

TEST(UserLevelTable, RightsNamesAndControls) {
    struct Case {
        int level;
        int row;
        int rights;
        std::uint32_t name;
        std::array<bool, 9> enabled;  // 1002 1007 1008 1004 1005 1006 8192 8193 8311
    };
    const Case cases[] = {
        {30, 0, 60, 3011, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {20, 1, 40, 8332, {1, 1, 1, 1, 1, 0, 1, 1, 0}},
        {0, 2, 4, 3013, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {10, 3, 20, 3012, {1, 0, 0, 1, 1, 0, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ASSERT_EQ(FindUserLevelRow(c.level), c.row);
        const UserLevelRow& row = UserLevelTable[c.row];
        EXPECT_EQ(row.byRights, c.rights);
        EXPECT_EQ(row.dwNameId, c.name);
        EXPECT_EQ(row.dwCount, 8u);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(UserLevelEnables(row, kUserLevelControlIds[i]), c.enabled[i])
                << kUserLevelControlIds[i];
        }
        EXPECT_FALSE(UserLevelEnables(row, 8250));
    }
    EXPECT_EQ(FindUserLevelRow(5), -1);
}

// Which rows a family has, with the row's flags: present rows of each
// family counted, and selected rows checked by flags.
TEST(SkinButtonTable, PresentRowsPerFamily) {
    struct Case {
        int family;
        int row;
        std::uint16_t flags;
    };
    const Case cases[] = {
        {0, 54, 0},      {0, 0, 0},      {1, 0, 0},     {2, 0, 0x3},    {25, 3, 0x3},
        {4, 4, 0},       {5, 8, 0x3},    {20, 8, 0},    {6, 15, 0x3},   {5, 9, 0},
        {18, 24, 0x203}, {8, 24, 0x3},   {14, 25, 0x7}, {15, 44, 0x47}, {2, 44, 0x7},
        {8, 46, 0x3},    {9, 46, 0},     {14, 59, 0x7}, {1, 59, 0x10B}, {15, 60, 0x103},
        {11, 60, 0x10B}, {15, 61, 0x23}, {19, 61, 0x7}, {18, 67, 0x8B}, {9, 39, 0x7},
        {1, 48, 0x7},    {9, 48, 0},     {17, 64, 0x7}, {17, 65, 0},    {3, 22, 0x3},
        {21, 20, 0},     {22, 20, 0x3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SkinButtonTable[c.family].rows[c.row].wFlags, c.flags)
            << "family " << c.family << " row " << c.row;
    }
    for (int row : {16, 17, 23, 26, 27, 29, 36, 37, 38, 40}) {
        for (const SkinFamily& family : SkinButtonTable) {
            EXPECT_EQ(family.rows[row].wFlags, 0) << family.name << " row " << row;
        }
    }
}

TEST(SkinButtonTable, RectanglesPerSlotWithTheExceptions) {
    struct Case {
        int family;
        int row;
        std::array<SkinRect, 4> rect;
    };
    const Case cases[] = {
        {2, 0, {{{8, 568, 26, 586}, {9, 328, 27, 346}, {8, 664, 26, 682}, {9, 376, 27, 394}}}},
        {4, 18, {{{84, 568, 103, 586}, {9, 349, 28, 367}, {84, 664, 103, 682}, {9, 397, 28, 415}}}},
        {21,
         18,
         {{{84, 568, 102, 586}, {9, 349, 28, 367}, {84, 664, 102, 682}, {9, 397, 28, 415}}}},
        // RIGHT in slot 3 has its own place in every family.
        {1,
         58,
         {{{639, 600, 657, 623},
           {321, 379, 338, 402},
           {639, 696, 657, 719},
           {321, 427, 339, 448}}}},
        {25,
         58,
         {{{639, 600, 657, 623},
           {321, 379, 338, 402},
           {639, 696, 657, 719},
           {321, 427, 339, 448}}}},
        // SLOW FORWARD of family 15 ends a pixel higher in slot 1 only.
        {15,
         52,
         {{{201, 602, 227, 624},
           {165, 401, 191, 422},
           {201, 698, 227, 720},
           {165, 449, 191, 471}}}},
        {16,
         52,
         {{{201, 602, 227, 624},
           {165, 401, 191, 423},
           {201, 698, 227, 720},
           {165, 449, 191, 471}}}},
        {7,
         45,
         {{{373, 602, 403, 625},
           {102, 371, 132, 393},
           {373, 698, 403, 721},
           {102, 419, 132, 441}}}},
        {17,
         64,
         {{{461, 568, 480, 586},
           {158, 349, 177, 367},
           {461, 664, 480, 682},
           {158, 397, 177, 415}}}},
    };
    for (const Case& c : cases) {
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(SkinButtonTable[c.family].rows[c.row].rect[slot], c.rect[slot])
                << "family " << c.family << " row " << c.row << " slot " << slot;
        }
    }
}

TEST(SkinButtonTable, FamilyVariantsOfIdsTooltipsAndBitmaps) {
    EXPECT_EQ(SkinButtonTable[20].rows[20].wControlId, 8573);
    EXPECT_EQ(SkinButtonTable[22].rows[20].wTooltip, 8573);
    EXPECT_STREQ(SkinButtonTable[22].rows[20].files[0], "cut8");
    EXPECT_EQ(SkinButtonTable[6].rows[20].wControlId, 8273);
    EXPECT_STREQ(SkinButtonTable[6].rows[20].files[4], "cut16_a");
    EXPECT_EQ(FindSkinButtonRow(20, 8573), 20);
    EXPECT_EQ(FindSkinButtonRow(19, 8573), -1);
    EXPECT_EQ(FindSkinButtonRow(3, 8312), 60);
    EXPECT_EQ(FindSkinButtonRow(26, 8312), -1);

    for (int f : {8, 11, 17, 18, 25}) {
        EXPECT_EQ(SkinButtonTable[f].rows[0].wTooltip, 8333) << f;
        EXPECT_EQ(SkinButtonTable[f].rows[15].wTooltip, 8348) << f;
    }
    EXPECT_EQ(SkinButtonTable[6].rows[15].wTooltip, 8265);

    EXPECT_STREQ(SkinButtonTable[19].rows[34].files[0], "pluse");
    EXPECT_STREQ(SkinButtonTable[2].rows[34].files[0], "2Col_pluse");
    EXPECT_STREQ(SkinButtonTable[15].rows[39].files[1], "control_panel_enter_down");
    EXPECT_STREQ(SkinButtonTable[1].rows[39].files[0], "Second_Col_Enter");

    // VGA and QVGA skins wear different faces; the arrows carry the prefix.
    const SkinButtonRow& lock = SkinButtonTable[2].rows[44];
    EXPECT_STREQ(lock.files[0], "VGA_lock");
    EXPECT_STREQ(lock.files[3], "lock");
    EXPECT_STREQ(lock.files[7], "VGA_lock_over");
    EXPECT_STREQ(lock.files[10], "lock_a");
    const SkinButtonRow& menu = SkinButtonTable[1].rows[56];
    EXPECT_STREQ(menu.files[9], "P_QVGA_MENU");
    EXPECT_STREQ(menu.files[10], "P_QVGA_MENU_OVER");

    // Two-state rows: off pair, then on pair, for NTSC and PAL alike.
    const auto ptz = TwoStateFiles(SkinButtonTable[11].rows[60], 3);
    EXPECT_STREQ(ptz[0], "ptz_off");
    EXPECT_STREQ(ptz[3], "ptz_on_over");
    EXPECT_EQ(SkinButtonTable[25].rows[67].wStyle, kSkinStyleTwoState);
    EXPECT_STREQ(TwoStateFiles(SkinButtonTable[25].rows[67], 0)[1], "ptz_action");
    EXPECT_STREQ(TwoStateFiles(SkinButtonTable[25].rows[67], 0)[2], "ptz_preset");
    EXPECT_EQ(SkinButtonTable[8].rows[67].wStyle, kSkinStyleThreeBitmap);

    EXPECT_STREQ(SkinButtonTable[0].name, "CAMERA");
    EXPECT_TRUE(IsCameraOnlyFamily(0));
    EXPECT_FALSE(IsCameraOnlyFamily(25));
    EXPECT_STREQ(SkinButtonTable[25].name, "PTZ PELCO D");
}

TEST(SkinButtonTable, WhoSeesWhichButton) {
    struct Case {
        int family;
        int row;
        int userLevel;
        bool shown;
    };
    const Case cases[] = {
        {15, 44, 10, false},  // LOCK hidden from a normal user
        {15, 44, 20, true},   // shown to a high user
        {15, 44, 30, true},  {16, 44, 0, false}, {2, 44, 0, true},
        {15, 61, 30, true},  // R.E.T.R. only at level 30
        {15, 61, 20, false}, {19, 61, 20, true}, {0, 54, 30, false},
    };
    for (const Case& c : cases) {
        const UserLevelRow& level = UserLevelTable[FindUserLevelRow(c.userLevel)];
        EXPECT_EQ(SkinButtonShown(SkinButtonTable[c.family].rows[c.row].wFlags, level.byRights,
                                  level.byLevel, IsCameraOnlyFamily(c.family)),
                  c.shown)
            << "family " << c.family << " row " << c.row << " level " << c.userLevel;
    }
    // A camera-only family measures by rights byte: 0x20 at 60, 0x40 at 40.
    EXPECT_TRUE(SkinButtonShown(0x23, 60, 30, true));
    EXPECT_FALSE(SkinButtonShown(0x23, 40, 20, true));
    EXPECT_TRUE(SkinButtonShown(0x43, 40, 20, true));
    EXPECT_FALSE(SkinButtonShown(0x43, 20, 10, true));
}

TEST(SkinTables, TurboAndPanelFiles) {
    EXPECT_STREQ(kTurboArrowFiles[TurboArrowIndex(54)][3][0], "P_QVGA_LEFT_TURBO");
    EXPECT_STREQ(kTurboArrowFiles[TurboArrowIndex(55)][3][1], "P_QVGA_UP_TURBO_OVER");
    EXPECT_STREQ(kTurboArrowFiles[TurboArrowIndex(57)][3][0], "P_QVGA_DOWN_TURBO");
    EXPECT_STREQ(kTurboArrowFiles[TurboArrowIndex(58)][3][0], "P_QVGA_RIGHT_TURBO");
    EXPECT_EQ(TurboArrowIndex(56), -1);
    EXPECT_STREQ(kTurboZoomFocusFiles[3][1], "2Col_focus_turbo_out_a");
    EXPECT_STREQ(kPanelUpFiles[0][0], "N_VGA_PANELUP");
    EXPECT_STREQ(kPanelDownFiles[3][1], "P_QVGA_PANELDOWN_OVER");
}

}  // namespace
