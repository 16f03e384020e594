#pragma once

// For readers that take a path: the fuzz input goes into a file of a
// per-process temporary folder, rewritten for every input, removed at exit.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

inline const std::filesystem::path& FuzzFolder() {
    struct Folder {
        std::filesystem::path path;
        Folder() {
            path = std::filesystem::temp_directory_path() /
                   ("kestrune-fuzz-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

inline std::filesystem::path WriteFuzzFile(std::string_view name,
                                           std::span<const std::uint8_t> bytes) {
    const std::filesystem::path file = FuzzFolder() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::abort();
    }
    return file;
}
