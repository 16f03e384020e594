#pragma once

// A reader of .kst record files for tests, written from the file layout on
// its own (it shares no code with the writer). It reads every field of the
// header, each frame mark and the frame index, and lists every field that is
// not as the layout says in `problems`.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct KstHeader {
    // year, month, day of week, day, hour, minute, second, milliseconds
    std::array<std::uint16_t, 8> created{};
    std::uint32_t firstTimeValue = 0;
    std::uint32_t lastTimeValue = 0;
    std::uint32_t frameCount = 0;
    std::array<std::uint8_t, 4> deviceAddress{};
    std::uint8_t kind = 0;
    std::string userName;  // up to the first zero of its 16 bytes
};

struct KstFrame {
    std::uint32_t offset = 0;  // of the mark, from the start of the file
    std::uint32_t number = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t timeValue = 0;
    std::uint8_t channel = 0;
    bool videoLoss = false;
    std::vector<std::uint8_t> jpeg;
};

struct KstFile {
    std::uintmax_t size = 0;
    KstHeader header;
    std::vector<KstFrame> frames;
    // The file was completed: header counts, index and trailing count.
    bool closed = false;
    std::vector<std::string> problems;
};

// Reads a record file. A file whose header counts are 0 and that is not the
// 94 bytes of a completed empty file is read as one that was never closed:
// its frames run to the end of the file.
KstFile ReadKstFile(const std::filesystem::path& path);

}  // namespace test_support
