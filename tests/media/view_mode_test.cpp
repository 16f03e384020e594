#include "media/view_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "tests/support/core/global_state.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"

namespace {

class ViewModeTest : public test_support::GlobalStateTest {
protected:
    void SetView(const char* product, std::uint8_t code, std::uint16_t row) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->b_ViewSize = code;
        g_lpApp->b_ViewSizeOld = code;
        g_lpApp->w_ViewMode = row;
    }

    // Records the main-window requests of the selection, in order.
    test_support::RecordingLiveView window;
    test_support::ScopedLiveViewRegistration registered{window};
    CViewModeSelector selector;
};

using Calls = std::vector<std::string>;

// ---- the view the main window opens with --------------------------------

struct StartCase {
    const char* product;
    std::uint8_t standard;     // b_VideoStandard
    std::uint32_t resolution;  // "Image Resolution"
    std::uint16_t row;
    std::uint8_t code;
};

class ResetViewModeTest : public ViewModeTest, public ::testing::WithParamInterface<StartCase> {};

// Start from a view no rule produces, so "unchanged" shows.
constexpr std::uint16_t kOtherRow = 77;
constexpr std::uint8_t kOtherCode = 9;

TEST_P(ResetViewModeTest, SetsRowAndBothCodesWithoutRelayout) {
    const StartCase& c = GetParam();
    SetView(c.product, kOtherCode, kOtherRow);
    g_lpApp->b_VideoStandard = c.standard;
    g_lpApp->CSettingINI.m_dwImageResolution = c.resolution;

    EXPECT_EQ(selector.ResetViewMode(), 1);
    EXPECT_EQ(g_lpApp->w_ViewMode, c.row);
    EXPECT_EQ(g_lpApp->b_ViewSize, c.code);
    EXPECT_EQ(g_lpApp->b_ViewSizeOld, c.code);
    EXPECT_EQ(selector.GetPictureSizeCode(), c.code);
    EXPECT_EQ(window.LayoutCalls(), Calls{});
}

INSTANTIATE_TEST_SUITE_P(Families, ResetViewModeTest,
                         ::testing::Values(
                             // DVR family: NTSC, then PAL; the quarter sizes open on the half row.
                             StartCase{"Q8A7", 0, 0, 0, 0}, StartCase{"Q8A5", 0, 1, 1, 1},
                             StartCase{"Q8A3", 0, 2, 1, 4}, StartCase{"Q8A7", 0, 3, 0, 0},
                             StartCase{"Q8A7", 1, 0, 2, 2}, StartCase{"Q8A7", 1, 1, 3, 3},
                             StartCase{"Q8A7", 1, 2, 3, 5},
                             // Q3A2 and the Q7B family.
                             StartCase{"Q3A2", 0, 0, 6, 0}, StartCase{"Q7B7", 0, 1, 7, 1},
                             StartCase{"Q7B5", 0, 2, 7, 4}, StartCase{"Q7B3", 1, 0, 8, 2},
                             StartCase{"Q3A2", 1, 1, 9, 3}, StartCase{"Q3A2", 1, 2, 9, 5},
                             // Q9C0 does not look at the standard.
                             StartCase{"Q9C0", 0, 0, 12, 0}, StartCase{"Q9C0", 1, 1, 13, 1},
                             StartCase{"Q9C0", 2, 2, 13, 4},
                             // An unknown standard, or an unknown device, leaves the view.
                             StartCase{"Q8A7", 2, 0, kOtherRow, kOtherCode},
                             StartCase{"Q7B7", 255, 1, kOtherRow, kOtherCode},
                             StartCase{"Q1X1", 0, 0, kOtherRow, kOtherCode}));

// ---- the view following the pictures --------------------------------------

struct SizeCase {
    const char* product;
    std::uint8_t startCode;
    std::uint16_t startRow;
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t code;
    std::uint16_t row;
    Calls calls;
};

class UpdatePictureSizeTest : public ViewModeTest,
                              public ::testing::WithParamInterface<SizeCase> {};

TEST_P(UpdatePictureSizeTest, SetsCodeRowAndRelaysOutOnAChange) {
    const SizeCase& c = GetParam();
    SetView(c.product, c.startCode, c.startRow);

    EXPECT_EQ(selector.UpdatePictureSize(c.width, c.height), 1);
    EXPECT_EQ(g_lpApp->b_ViewSize, c.code);
    EXPECT_EQ(g_lpApp->b_ViewSizeOld, c.code);
    EXPECT_EQ(g_lpApp->w_ViewMode, c.row);
    EXPECT_EQ(window.LayoutCalls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Families, UpdatePictureSizeTest,
    ::testing::Values(
        // DVR family: 228 rows are NTSC, any other height PAL (276 is the
        // taller picture of a device whose video mode is set).
        SizeCase{"Q8A7", 2, 2, 640, 228, 0, 0, {"channels", "layout", "ntsc-vga"}},
        SizeCase{"Q8A5", 0, 0, 320, 228, 1, 1, {"channels", "layout", "ntsc-qvga"}},
        SizeCase{"Q8A3", 0, 0, 640, 276, 2, 2, {"channels", "layout", "pal-vga"}},
        SizeCase{"Q8A7", 0, 0, 320, 276, 3, 3, {"channels", "layout", "pal-qvga"}},
        SizeCase{"Q8A7", 0, 0, 640, 288, 2, 2, {"channels", "layout", "pal-vga"}},
        // Opened on a quarter size: the first half-size picture re-lays out.
        SizeCase{"Q8A7", 4, 1, 320, 228, 1, 1, {"channels", "layout", "ntsc-qvga"}},
        // Sizes the family does not know, and the same code again.
        SizeCase{"Q8A7", 0, 0, 704, 480, 0, 0, {}}, SizeCase{"Q8A7", 0, 0, 640, 228, 0, 0, {}},
        // Q3A2 and the Q7B family: 240 rows are NTSC; no channel bar.
        SizeCase{"Q3A2", 2, 8, 704, 240, 0, 6, {"layout", "ntsc-vga"}},
        SizeCase{"Q7B7", 0, 6, 352, 240, 1, 7, {"layout", "ntsc-qvga"}},
        SizeCase{"Q7B5", 0, 6, 704, 288, 2, 8, {"layout", "pal-vga"}},
        SizeCase{"Q7B3", 0, 6, 352, 276, 3, 9, {"layout", "pal-qvga"}},
        SizeCase{"Q3A2", 0, 6, 640, 276, 0, 6, {}},  // a video-loss picture size
        // Q9C0: exact sizes only; 160 x 120 keeps the row and the skin.
        SizeCase{"Q9C0", 1, 13, 640, 480, 0, 12, {"layout", "ntsc-vga"}},
        SizeCase{"Q9C0", 0, 12, 320, 240, 1, 13, {"layout", "ntsc-qvga"}},
        SizeCase{"Q9C0", 0, 12, 160, 120, 4, 12, {"layout"}},
        SizeCase{"Q9C0", 0, 12, 640, 276, 0, 12, {}},
        // A device of no known family.
        SizeCase{"Q1X1", 0, 0, 320, 228, 0, 0, {}}));

TEST_F(ViewModeTest, RelaysOutOnlyWhenTheCodeChanges) {
    SetView("Q8A7", 2, 2);
    for (int i = 0; i < 3; ++i) selector.UpdatePictureSize(640, 228);
    for (int i = 0; i < 2; ++i) selector.UpdatePictureSize(640, 276);
    selector.UpdatePictureSize(704, 480);

    EXPECT_EQ(window.LayoutCalls(),
              (Calls{"channels", "layout", "ntsc-vga", "channels", "layout", "pal-vga"}));
    EXPECT_EQ(g_lpApp->w_ViewMode, 2);
    EXPECT_EQ(selector.GetPictureSizeCode(), kSizePalFull);
}

}  // namespace
