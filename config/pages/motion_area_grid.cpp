#include "config/pages/motion_area_grid.h"

#include <algorithm>

namespace {

// Byte and bit of a cell: byte 2r + 1 holds columns 0 to 7, byte 2r the
// columns 8 to 15.
std::size_t ByteOf(int cell) {
    const int row = cell / kGridColumns;
    const int column = cell % kGridColumns;
    return static_cast<std::size_t>(2 * row + (column < 8 ? 1 : 0));
}

std::uint8_t MaskOf(int cell) {
    return static_cast<std::uint8_t>(1u << (cell % kGridColumns % 8));
}

bool ValidCell(int cell) {
    return cell >= 0 && cell < kGridCells;
}

}  // namespace

bool CellBit(const MotionAreaGrid& area, int cell) {
    return ValidCell(cell) && (area[ByteOf(cell)] & MaskOf(cell)) != 0;
}

void SetCellBit(MotionAreaGrid& area, int cell, bool set) {
    if (!ValidCell(cell)) {
        return;
    }
    auto& byte = area[ByteOf(cell)];
    byte = static_cast<std::uint8_t>(set ? (byte | MaskOf(cell)) : (byte & ~MaskOf(cell)));
}

void ToggleCell(MotionAreaGrid& area, int cell) {
    SetCellBit(area, cell, !CellBit(area, cell));
}

bool AnyCell(const MotionAreaGrid& area) {
    return std::any_of(area.begin(), area.end(), [](std::uint8_t b) { return b != 0; });
}

int GridCellHeight(std::uint8_t videoStandard) {
    return videoStandard == 0 ? 19 : 23;
}

std::optional<int> CellAt(int x, int y, int x0, int y0, int pictureHeight, int cellHeight) {
    if (x < x0 || x >= x0 + kGridPictureWidth || y < y0 || y >= y0 + pictureHeight ||
        cellHeight <= 0) {
        return std::nullopt;
    }
    const int row = std::min((y - y0) / cellHeight, kGridRows - 1);
    const int column = std::min((x - x0) / kGridCellWidth, kGridColumns - 1);
    return row * kGridColumns + column;
}

MotionAreaGrid DragSelection(int ax, int ay, int bx, int by, int cellHeight) {
    MotionAreaGrid selection{};
    const int left = std::min(ax, bx);
    const int right = std::max(ax, bx);
    const int top = std::min(ay, by);
    const int bottom = std::max(ay, by);
    for (int cell = 0; cell < kGridCells; ++cell) {
        const int cellLeft = (cell % kGridColumns) * kGridCellWidth;
        const int cellTop = (cell / kGridColumns) * cellHeight;
        if (cellLeft <= right && cellLeft + kGridCellWidth >= left && cellTop <= bottom &&
            cellTop + cellHeight >= top) {
            SetCellBit(selection, cell, true);
        }
    }
    return selection;
}

std::optional<PictureSize> ScaleFrameCopy(std::span<const std::uint8_t> frame, int width,
                                          int height, std::span<std::uint8_t> out) {
    if (width <= 0 || height <= 0 ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 > frame.size()) {
        return std::nullopt;
    }
    PictureSize size{width, height};
    if (width > kGridPictureWidth) {
        size.width = kGridPictureWidth;
        size.height = std::max(
            1, static_cast<int>(static_cast<long long>(height) * kGridPictureWidth / width));
    }
    const std::size_t outRow = static_cast<std::size_t>(size.width) * 3;
    if (outRow * static_cast<std::size_t>(size.height) > out.size()) {
        return std::nullopt;
    }
    const std::size_t inRow = static_cast<std::size_t>(width) * 3;
    for (int r = 0; r < size.height; ++r) {
        const auto sr = static_cast<std::size_t>(static_cast<long long>(r) * height / size.height);
        const std::uint8_t* src = frame.data() + sr * inRow;
        std::uint8_t* dst = out.data() + static_cast<std::size_t>(r) * outRow;
        for (int c = 0; c < size.width; ++c) {
            const auto sc =
                static_cast<std::size_t>(static_cast<long long>(c) * width / size.width);
            std::copy_n(src + sc * 3, 3, dst + static_cast<std::size_t>(c) * 3);
        }
    }
    return size;
}

void DrawOverlay(std::span<std::uint8_t> image, int width, int height, const MotionAreaGrid& area,
                 const MotionAreaGrid& selection) {
    if (width <= 0 || height <= 0 ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 > image.size()) {
        return;
    }
    const int cw = width / kGridColumns;
    const int ch = height / kGridRows;
    if (cw <= 0 || ch <= 0) {
        return;
    }
    // Rows are stored bottom-up; the grid counts from the top.
    const auto pixel = [&](int x, int y) {
        return image.data() +
               (static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)) *
                   3;
    };
    for (int cell = 0; cell < kGridCells; ++cell) {
        const bool inArea = CellBit(area, cell);
        const bool selected = CellBit(selection, cell);
        if (!inArea && !selected) {
            continue;
        }
        const int left = (cell % kGridColumns) * cw;
        const int top = (cell / kGridColumns) * ch;
        if (inArea) {
            for (int y = top; y < top + ch; ++y) {
                for (int x = left; x < left + cw; ++x) {
                    std::uint8_t* p = pixel(x, y);
                    p[0] = static_cast<std::uint8_t>(p[0] * 155 / 255);
                    p[1] = static_cast<std::uint8_t>(p[1] * 155 / 255);
                    p[2] = static_cast<std::uint8_t>(p[2] * 155 / 255 + 100);
                }
            }
        }
        const std::array<std::uint8_t, 3> colour = selected
                                                       ? std::array<std::uint8_t, 3>{255, 0, 0}
                                                       : std::array<std::uint8_t, 3>{0, 255, 255};
        for (int x = left; x < left + cw; ++x) {
            std::copy(colour.begin(), colour.end(), pixel(x, top));
            std::copy(colour.begin(), colour.end(), pixel(x, top + ch - 1));
        }
        for (int y = top; y < top + ch; ++y) {
            std::copy(colour.begin(), colour.end(), pixel(left, y));
            std::copy(colour.begin(), colour.end(), pixel(left + cw - 1, y));
        }
    }
}
