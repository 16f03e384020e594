#pragma once

// Builds wave files byte by byte for the alarm-sound tests, including the
// malformed ones.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavebytes {

inline std::string U16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string U32(std::uint32_t v) {
    return U16(v & 0xFFFF) + U16(v >> 16);
}

// A chunk: id, body size (the body's own unless declared), body, and the pad
// byte after an odd body unless left out.
inline std::string Chunk(std::string_view id, const std::string& body,
                         std::optional<std::uint32_t> declared = std::nullopt, bool pad = true) {
    std::string out(id);
    out += U32(declared.value_or(static_cast<std::uint32_t>(body.size())));
    out += body;
    if (pad && body.size() % 2 == 1) {
        out += '\0';
    }
    return out;
}

inline std::string Riff(const std::string& chunks) {
    return "RIFF" + U32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

// The 16 bytes of a format chunk's body.
inline std::string FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                           std::uint32_t byteRate, std::uint16_t align, std::uint16_t bits) {
    return U16(tag) + U16(channels) + U32(rate) + U32(byteRate) + U16(align) + U16(bits);
}

// A consistent PCM format chunk body.
inline std::string PcmBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return FmtBody(1, channels, rate, rate * align, align, bits);
}

// count bytes of a pattern that shows where each byte came from.
inline std::string Samples(std::size_t count, unsigned seed = 0) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<char>((i * 7 + seed) % 251);
    }
    return out;
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace wavebytes
