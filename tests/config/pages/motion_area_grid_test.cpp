// The motion area's bit layout, the cell under the pointer at every edge of
// the grid, drag selections, the frame copy scaled for several frame sizes
// and the overlay drawn over the picture.

#include "config/pages/motion_area_grid.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MotionAreaGrid, CellBitsLieInTheirBytes) {
    struct Case {
        int cell;
        std::size_t byte;
        std::uint8_t mask;
    };
    for (const Case c :
         {Case{0, 1, 0x01}, Case{7, 1, 0x80}, Case{8, 0, 0x01}, Case{15, 0, 0x80},
          Case{16, 3, 0x01}, Case{31, 2, 0x80}, Case{176, 23, 0x01}, Case{191, 22, 0x80}}) {
        MotionAreaGrid area{};
        ToggleCell(area, c.cell);
        MotionAreaGrid expected{};
        expected[c.byte] = c.mask;
        EXPECT_EQ(area, expected) << c.cell;
        EXPECT_TRUE(CellBit(area, c.cell));
        ToggleCell(area, c.cell);
        EXPECT_FALSE(AnyCell(area)) << c.cell;
    }
    // Cells beyond the grid are neither read nor written.
    MotionAreaGrid area{};
    for (const int cell : {-1, 192, 1000}) {
        ToggleCell(area, cell);
        EXPECT_FALSE(CellBit(area, cell));
    }
    EXPECT_FALSE(AnyCell(area));
}

TEST(MotionAreaGrid, CellUnderThePointerAtEveryEdge) {
    struct Case {
        int x, y, pictureHeight, cellHeight;
        std::optional<int> cell;
    };
    constexpr int x0 = 10;
    constexpr int y0 = 50;
    for (const Case c : {
             Case{10, 50, 228, 19, 0},              // top-left corner
             Case{329, 50, 228, 19, 15},            // top-right corner
             Case{10, 277, 228, 19, 176},           // bottom-left corner
             Case{329, 277, 228, 19, 191},          // bottom-right corner
             Case{29, 68, 228, 19, 0},              // last pixel of the first cell
             Case{30, 69, 228, 19, 17},             // first pixel of the next row and column
             Case{329, 325, 276, 23, 191},          // PAL
             Case{9, 50, 228, 19, std::nullopt},    // left of the picture
             Case{330, 50, 228, 19, std::nullopt},  // right of it
             Case{10, 49, 228, 19, std::nullopt},   // above
             Case{10, 278, 228, 19, std::nullopt},  // below
             Case{10, 349, 300, 19, 176},           // taller picture: the row stays inside
             Case{329, 549, 500, 23, 191},          //   the grid
             Case{10, 50, 228, 0, std::nullopt},    // no cell height
         }) {
        EXPECT_EQ(CellAt(c.x, c.y, x0, y0, c.pictureHeight, c.cellHeight), c.cell)
            << c.x << "," << c.y << " height " << c.pictureHeight;
    }
    EXPECT_EQ(GridCellHeight(0), 19);
    EXPECT_EQ(GridCellHeight(1), 23);
}

std::vector<int> Cells(const MotionAreaGrid& area) {
    std::vector<int> cells;
    for (int cell = 0; cell < kGridCells; ++cell) {
        if (CellBit(area, cell)) {
            cells.push_back(cell);
        }
    }
    return cells;
}

TEST(MotionAreaGrid, DragSelectionsIncludeTheirEdges) {
    struct Case {
        const char* name;
        int ax, ay, bx, by;
        std::vector<int> cells;
    };
    for (const Case& c : {
             Case{"ThreeCellsOfOneRow", 5, 5, 45, 5, {0, 1, 2}},
             Case{"Backwards", 45, 5, 5, 5, {0, 1, 2}},
             Case{"EdgeOnAColumnLine", 5, 5, 20, 5, {0, 1}},
             Case{"EdgeOnARowLine", 5, 5, 5, 19, {0, 16}},
             Case{"Corner", 319, 227, 301, 220, {191}},
             Case{"CornerOnALine", 319, 227, 300, 220, {190, 191}},
             Case{"TwoByTwo", 25, 25, 45, 45, {17, 18, 33, 34}},
         }) {
        EXPECT_EQ(Cells(DragSelection(c.ax, c.ay, c.bx, c.by, 19)), c.cells) << c.name;
    }
    EXPECT_EQ(Cells(DragSelection(0, 0, 319, 227, 19)).size(), 192u);
}

// A bottom-up frame whose pixel (row r from the bottom, column c) is (c, r, 9).
std::vector<std::uint8_t> Frame(int width, int height) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 3);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            std::uint8_t* p = &frame[(static_cast<std::size_t>(r) * width + c) * 3];
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(r);
            p[2] = 9;
        }
    }
    return frame;
}

TEST(MotionAreaGrid, FrameCopyIsScaledToThePictureWidth) {
    struct Case {
        int width, height, outWidth, outHeight;
    };
    for (const Case c :
         {Case{320, 240, 320, 240}, Case{176, 144, 176, 144}, Case{640, 480, 320, 240},
          Case{704, 480, 320, 218}, Case{352, 288, 320, 261}, Case{1280, 720, 320, 180},
          Case{720, 576, 320, 256}, Case{4000, 2, 320, 1}}) {
        const auto frame = Frame(c.width, c.height);
        std::vector<std::uint8_t> out(320 * 480 * 3, 0xEE);
        const auto size = ScaleFrameCopy(frame, c.width, c.height, out);
        ASSERT_TRUE(size.has_value()) << c.width;
        EXPECT_EQ(size->width, c.outWidth) << c.width;
        EXPECT_EQ(size->height, c.outHeight) << c.width;
        // Nothing is written past the copy.
        EXPECT_EQ(out[static_cast<std::size_t>(size->width) * size->height * 3], 0xEE);
    }
    // 640 wide: every other pixel of every other row.
    const auto frame = Frame(640, 480);
    std::vector<std::uint8_t> out(320 * 240 * 3);
    ASSERT_TRUE(ScaleFrameCopy(frame, 640, 480, out));
    const std::uint8_t* p = &out[(static_cast<std::size_t>(100) * 320 + 50) * 3];
    EXPECT_EQ(p[0], 100);  // column 100 of the frame
    EXPECT_EQ(p[1], 200);  // row 200
}

TEST(MotionAreaGrid, FrameCopyRefusesWhatDoesNotFit) {
    const auto frame = Frame(320, 240);
    std::vector<std::uint8_t> out(320 * 240 * 3);
    EXPECT_FALSE(ScaleFrameCopy(frame, 320, 241, out));  // beyond the frame's bytes
    EXPECT_FALSE(ScaleFrameCopy(frame, 0, 240, out));    // no width
    std::vector<std::uint8_t> small(320 * 239 * 3);
    EXPECT_FALSE(ScaleFrameCopy(frame, 320, 240, small));  // beyond the output
}

TEST(MotionAreaGrid, OverlayTintsAndOutlines) {
    constexpr int w = 320;
    constexpr int h = 228;
    std::vector<std::uint8_t> image(w * h * 3, 200);
    MotionAreaGrid area{};
    SetCellBit(area, 0, true);
    MotionAreaGrid selection{};
    SetCellBit(selection, 17, true);
    DrawOverlay(image, w, h, area, selection);
    // Pixel (x, y from the top).
    const auto at = [&](int x, int y) {
        const std::uint8_t* p = &image[(static_cast<std::size_t>(h - 1 - y) * w + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(5, 5), (std::vector<int>{121, 121, 221}));  // tinted inside cell 0
    EXPECT_EQ(at(0, 0), (std::vector<int>{0, 255, 255}));    // yellow outline of cell 0
    EXPECT_EQ(at(19, 18), (std::vector<int>{0, 255, 255}));
    EXPECT_EQ(at(20, 19), (std::vector<int>{255, 0, 0}));      // blue outline of cell 17
    EXPECT_EQ(at(25, 25), (std::vector<int>{200, 200, 200}));  // inside 17: not tinted
    EXPECT_EQ(at(100, 100), (std::vector<int>{200, 200, 200}));
    // Too small for a grid, or a size beyond the image: nothing is drawn.
    std::vector<std::uint8_t> tiny(10 * 10 * 3, 1);
    DrawOverlay(tiny, 10, 10, area, selection);
    DrawOverlay(tiny, 320, 228, area, selection);
    EXPECT_EQ(tiny, std::vector<std::uint8_t>(10 * 10 * 3, 1));
}

}  // namespace
