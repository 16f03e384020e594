#pragma once

// The motion area of one recorder channel: 12 rows of 16 cells in 24 bytes.
// Row r is the big-endian word at bytes 2r and 2r + 1 and bit c of that word
// is the cell in column c; a set bit marks a cell outside the detection
// area. Also the geometry of the grid over the 320-wide picture, the drag
// selection, the frame copy scaled for the picture, and the overlay drawn
// into a work copy of it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

using MotionAreaGrid = std::array<std::uint8_t, 24>;

inline constexpr int kGridColumns = 16;
inline constexpr int kGridRows = 12;
inline constexpr int kGridCells = kGridColumns * kGridRows;
// The picture the grid lies over is at most this wide; a cell is 20 pixels.
inline constexpr int kGridPictureWidth = 320;
inline constexpr int kGridCellWidth = kGridPictureWidth / kGridColumns;

bool CellBit(const MotionAreaGrid& area, int cell);
void SetCellBit(MotionAreaGrid& area, int cell, bool set);
void ToggleCell(MotionAreaGrid& area, int cell);
bool AnyCell(const MotionAreaGrid& area);

// The cell height for the video standard: 19 pixels for NTSC (0), 23 otherwise.
int GridCellHeight(std::uint8_t videoStandard);

// The cell under (x, y) of a picture whose top-left is (x0, y0) and whose
// height is `pictureHeight`; nothing outside the picture. The row is kept
// inside the grid whatever the picture's height, so the index always lies
// inside the 24 bytes.
std::optional<int> CellAt(int x, int y, int x0, int y0, int pictureHeight, int cellHeight);

// Every cell whose rectangle (left to left + 20, top to top + cellHeight,
// both edges included) overlaps the rectangle spanned by the two points
// (edges included), in picture coordinates.
MotionAreaGrid DragSelection(int ax, int ay, int bx, int by, int cellHeight);

// Copies a frame (bottom-up rows of 3 bytes per pixel, no gaps) into `out`,
// scaled to the picture width when wider than it (nearest pixel, the height
// in proportion). The size of the copy, or nothing when the frame does not
// fit its source span or the result does not fit `out`.
struct PictureSize {
    int width = 0;
    int height = 0;
};
std::optional<PictureSize> ScaleFrameCopy(std::span<const std::uint8_t> frame, int width,
                                          int height, std::span<std::uint8_t> out);

// Draws the grid's overlay into a picture (bottom-up, 3 bytes per pixel,
// blue-green-red): cells are width / 16 by height / 12 pixels, counted from
// the top; a cell of the area is tinted red, and outlined blue when in the
// selection, else yellow when in the area. Nothing is drawn outside `image`.
void DrawOverlay(std::span<std::uint8_t> image, int width, int height, const MotionAreaGrid& area,
                 const MotionAreaGrid& selection);
