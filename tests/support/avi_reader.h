#pragma once

// Reads an AVI file back for tests, walking every chunk and checking the
// structure as it goes: each size against its container, pad bytes, the
// order of the header chunks, and every index entry against the chunk it
// points at.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct ReadAviFile {
    std::string error;  // empty when the whole structure holds

    // 'avih'
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t flags = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t streams = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // 'strh'
    std::uint32_t type = 0;
    std::uint32_t handler = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t length = 0;
    std::uint32_t streamSuggestedBufferSize = 0;
    std::uint32_t quality = 0;
    std::int16_t frame[4] = {};
    // 'strf' and 'strn'
    std::vector<std::uint8_t> format;
    std::string name;
    bool hasName = false;

    struct Frame {
        std::uint32_t id = 0;
        std::vector<std::uint8_t> data;
        std::uint32_t indexFlags = 0;
    };
    std::vector<Frame> frames;  // in 'movi' order, with their index flags
};

ReadAviFile ReadAvi(const std::filesystem::path& path);

}  // namespace test_support
