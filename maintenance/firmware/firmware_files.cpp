#include "maintenance/firmware/firmware_files.h"

#include <cctype>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

namespace maintenance {

namespace {

constexpr std::array<std::string_view, kFirmwareFileRows> kCommonRows{
    "",  // the kernel: per product
    "BOOT.BIN",  "MCU.BIN",   "KR087.BIN",  "KR008.BIN",  "HTML.BIN",   "LANGU1.GZ",
    "LANGU2.GZ", "LANGU3.GZ", "LANGU4.GZ",  "LANGU5.GZ",  "LANGU6.GZ",  "LANGU7.GZ",
    "LANGU8.GZ", "LANGU9.GZ", "LANGU10.GZ", "LANGU11.GZ", "PLAYER.BIN", "",
};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The folder's regular files by upper-case name; of several names that fold
// to the same text the first in sorted order is kept.
std::map<std::string, std::filesystem::path> FolderFiles(const std::filesystem::path& folder) {
    std::map<std::string, std::filesystem::path> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) {
        return files;
    }
    std::map<std::string, std::filesystem::path> sorted;
    for (const auto& entry : it) {
        sorted.emplace(entry.path().filename().string(), entry.path());
    }
    for (const auto& [name, path] : sorted) {
        files.emplace(Upper(name), path);
    }
    return files;
}

bool ReadWhole(const std::filesystem::path& path, FirmwareFileEntry& row) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFirmwareFileBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (static_cast<std::uint64_t>(in.gcount()) != size) {
        return false;
    }
    row.size = static_cast<std::uint32_t>(size);
    row.data = std::move(data);
    row.loaded = true;
    return true;
}

}  // namespace

std::optional<FirmwareFileTable> FirmwareFileTableFor(std::string_view productId) {
    std::string_view kernel;
    if (productId == "Q8A7") {
        kernel = "KERNEL16.BIN";
    } else if (productId == "Q8A5") {
        kernel = "KERNEL8.BIN";
    } else if (productId == "Q8A3") {
        kernel = "KERNEL4.BIN";
    } else {
        return std::nullopt;
    }
    FirmwareFileTable table;
    for (std::size_t row = 0; row < kFirmwareFileRows; ++row) {
        table[row].name = row == 0 ? kernel : kCommonRows[row];
    }
    return table;
}

void ClearFirmwareFileTable(FirmwareFileTable& table) {
    for (FirmwareFileEntry& row : table) {
        row.loaded = false;
        row.size = 0;
        row.data.clear();
        row.data.shrink_to_fit();
    }
}

FirmwareFolderLoad LoadFirmwareFiles(const std::filesystem::path& folder,
                                     FirmwareFileTable& table) {
    ClearFirmwareFileTable(table);
    FirmwareFolderLoad load;
    const auto files = FolderFiles(folder);
    for (FirmwareFileEntry& row : table) {
        if (row.name.empty()) {
            continue;
        }
        std::filesystem::path path = folder / std::string(row.name);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            const auto found = files.find(Upper(row.name));
            if (found == files.end()) {
                continue;
            }
            path = found->second;
        }
        if (ReadWhole(path, row)) {
            load.totalBytes += row.size;
            ++load.loadedCount;
        }
    }
    return load;
}

}  // namespace maintenance
