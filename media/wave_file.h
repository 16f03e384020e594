#pragma once

// Reads the PCM samples of a RIFF wave file. The file comes from the user's
// settings and is treated as hostile: chunks are found by their ids within
// the file's real size, the format must be one the sound output can play,
// and the samples must be whole, present and of a bounded size; anything
// else is refused, never cut down into success.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/wave_out.h"

// The most sample bytes a wave file may bring: over five minutes of 48 kHz
// 16-bit stereo, far longer than any alarm sound.
inline constexpr std::uint32_t kMaxWaveSampleBytes = 64u << 20;

enum class WaveReadStatus {
    Loaded,
    CannotOpen,  // missing, unreadable, or not a regular file
    NotWave,     // no "RIFF" ... "WAVE" header
    BadFormat,   // no "fmt " chunk, one shorter than 16 bytes, or a format that cannot be played
    NoData,      // no "data" chunk, or an empty one
    Truncated,   // a chunk runs past the end of the file, or the samples end inside a frame
    TooLarge,    // more than kMaxWaveSampleBytes of samples
    ReadError,   // reading failed part way
};

struct WaveFileContents {
    WaveReadStatus status = WaveReadStatus::CannotOpen;
    platform::WaveFormat format;        // extraSize is always 0
    std::vector<std::uint8_t> samples;  // the body of the "data" chunk
};

// Opens the file read-only, reads it and closes it again on every path.
WaveFileContents ReadWaveFile(const std::filesystem::path& path);
