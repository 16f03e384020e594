#include "liveview/skin/skin_flags.h"

#include <array>
#include <atomic>

#include "liveview/skin/skin_tables.h"

namespace {

// One bit per row and family: set when the row's flags were cleared.
std::array<std::atomic<std::uint64_t>, kDeviceFamilyCount>& ClearedRows() {
    static std::array<std::atomic<std::uint64_t>, kDeviceFamilyCount> rows{};
    return rows;
}
static_assert(kSkinButtonRows <= 64 + 4);

bool Valid(int family, int row) {
    return IsValidFamily(family) && row >= 0 && row < kSkinButtonRows;
}

// Rows 64..67 share a second word.
std::atomic<std::uint64_t>& HighRows(int family) {
    static std::array<std::atomic<std::uint64_t>, kDeviceFamilyCount> rows{};
    return rows[static_cast<std::size_t>(family)];
}

std::atomic<std::uint64_t>& Word(int family, int row) {
    return row < 64 ? ClearedRows()[static_cast<std::size_t>(family)] : HighRows(family);
}

std::uint64_t Bit(int row) {
    return std::uint64_t{1} << (row % 64);
}

}  // namespace

std::uint16_t SkinFlags(int family, int row) {
    if (!Valid(family, row))
        return 0;
    if ((Word(family, row).load() & Bit(row)) != 0)
        return 0;
    return SkinButtonTable[static_cast<std::size_t>(family)]
        .rows[static_cast<std::size_t>(row)]
        .wFlags;
}

void ClearSkinFlags(int family, int row) {
    if (!Valid(family, row))
        return;
    Word(family, row).fetch_or(Bit(row));
}

void ResetSkinFlags() {
    for (int family = 0; family < kDeviceFamilyCount; ++family) {
        ClearedRows()[static_cast<std::size_t>(family)] = 0;
        HighRows(family) = 0;
    }
}
