#pragma once

// The firmware folder of the DVR family (Q8A7, Q8A5, Q8A3): a fixed list of
// 18 file names, one per firmware type; the row index is the type number the
// device is sent. Every listed file found in the folder is uploaded, in row
// order. The names are upper case; a folder copied from a FAT medium or
// unpacked on Linux may hold them in another case, so they are looked up
// without regard to case (an exact match wins).

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace maintenance {

inline constexpr std::size_t kFirmwareFileRows = 19;  // row 18 names no file
// A single firmware file above this size is not loaded.
inline constexpr std::uint64_t kMaxFirmwareFileBytes = 64ull * 1024 * 1024;

struct FirmwareFileEntry {
    std::string_view name;  // empty in the last row
    bool loaded = false;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
};

using FirmwareFileTable = std::array<FirmwareFileEntry, kFirmwareFileRows>;

// The table of a DVR product id ("Q8A7", "Q8A5", "Q8A3"), all rows cleared;
// none for any other product.
std::optional<FirmwareFileTable> FirmwareFileTableFor(std::string_view productId);

// Clears every row: loaded 0, size 0, data freed.
void ClearFirmwareFileTable(FirmwareFileTable& table);

struct FirmwareFolderLoad {
    std::uint8_t loadedCount = 0;
    std::uint64_t totalBytes = 0;
};

// Clears the table, then loads every row's file found in the folder. A file
// that does not open, does not read whole or is too large is skipped.
FirmwareFolderLoad LoadFirmwareFiles(const std::filesystem::path& folder, FirmwareFileTable& table);

}  // namespace maintenance
