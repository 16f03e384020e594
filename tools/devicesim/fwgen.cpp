// fwgen: writes firmware for trying an upgrade against devicesim by hand.
//
//   fwgen folder DIR [--product Q8A7|Q8A5|Q8A3] [--size BYTES]
//       every file of the recorder family's firmware list, BYTES each
//       (20000 by default), in DIR (created when missing);
//   fwgen packed FILE [--types 1,0,4] [--size BYTES]
//       a packed file: one record per listed type (a header word
//       length << 4 | type, then the data), BYTES each (300000 by default).
//
// The contents are pseudo-random per unit, so a piece sent twice or out of
// order changes what arrives. Each unit is printed with its Type and the
// checksum devicesim logs for a unit it took whole.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/firmware_commands.h"
#include "tools/devicesim/http_request.h"

namespace {

namespace fs = std::filesystem;

// Row order of the recorders' firmware list; the row is the Type sent.
std::vector<std::string> FolderFiles(std::string_view product) {
    const std::string kernel = product == "Q8A5"   ? "KERNEL8.BIN"
                               : product == "Q8A3" ? "KERNEL4.BIN"
                                                   : "KERNEL16.BIN";
    std::vector<std::string> names{kernel,      "BOOT.BIN",  "MCU.BIN",
                                   "KR087.BIN", "KR008.BIN", "HTML.BIN"};
    for (int i = 1; i <= 11; ++i) {
        names.push_back("LANGU" + std::to_string(i) + ".GZ");
    }
    names.emplace_back("PLAYER.BIN");
    return names;
}

std::string UnitBytes(std::uint64_t size, std::uint64_t seed) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ull * (seed + 1);
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

std::string Hex(std::uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int Usage() {
    std::fputs(
        "usage: fwgen folder DIR [--product Q8A7|Q8A5|Q8A3] [--size BYTES]\n"
        "       fwgen packed FILE [--types 1,0,4] [--size BYTES]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    const std::string_view mode = argv[1];
    const fs::path out = argv[2];
    std::string product = "Q8A7";
    std::vector<std::uint32_t> types{1, 0, 4};
    std::optional<std::uint64_t> size;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string_view name = argv[i];
        const std::string_view value = argv[i + 1];
        if (name == "--product" && (value == "Q8A7" || value == "Q8A5" || value == "Q8A3")) {
            product = value;
        } else if (name == "--size") {
            size = devicesim::ParseDecimal(value);
            // A record's length has 28 bits; no unit needs more than that.
            if (!size || *size == 0 || *size >= (1u << 28)) {
                return Usage();
            }
        } else if (name == "--types") {
            types.clear();
            std::string_view rest = value;
            while (!rest.empty()) {
                const std::size_t comma = rest.find(',');
                const auto type = devicesim::ParseDecimal(rest.substr(0, comma));
                if (!type || *type > 15) {
                    return Usage();
                }
                types.push_back(static_cast<std::uint32_t>(*type));
                rest = comma == std::string_view::npos ? "" : rest.substr(comma + 1);
            }
            if (types.empty() || types.size() > 255) {
                return Usage();
            }
        } else {
            return Usage();
        }
    }

    if (mode == "folder") {
        std::error_code error;
        fs::create_directories(out, error);
        const std::vector<std::string> names = FolderFiles(product);
        for (std::size_t row = 0; row < names.size(); ++row) {
            const std::string bytes = UnitBytes(size.value_or(20'000), row);
            if (!WriteFile(out / names[row], bytes)) {
                std::fprintf(stderr, "fwgen: cannot write %s\n", (out / names[row]).c_str());
                return 1;
            }
            std::printf("%-12s Type=%-2zu %zu bytes, checksum %s\n", names[row].c_str(), row,
                        bytes.size(), Hex(devicesim::FirmwareCommands::Checksum(bytes)).c_str());
        }
        return 0;
    }
    if (mode == "packed") {
        std::string file;
        for (std::size_t i = 0; i < types.size(); ++i) {
            const std::string bytes = UnitBytes(size.value_or(300'000), i);
            const auto word = static_cast<std::uint32_t>(bytes.size() << 4) | types[i];
            for (int shift = 0; shift < 32; shift += 8) {
                file.push_back(static_cast<char>((word >> shift) & 0xFF));
            }
            file += bytes;
            std::printf("record %zu: type %u, %zu bytes, checksum %s\n", i, types[i], bytes.size(),
                        Hex(devicesim::FirmwareCommands::Checksum(bytes)).c_str());
        }
        if (!WriteFile(out, file)) {
            std::fprintf(stderr, "fwgen: cannot write %s\n", out.c_str());
            return 1;
        }
        std::printf("%s: %zu bytes\n", out.c_str(), file.size());
        return 0;
    }
    return Usage();
}
