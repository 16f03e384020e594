#pragma once

// Video compressors for AVI streams, and the operator's choice among them.
// This build carries one compressor only, full frames (uncompressed); a movie
// asking for any other (MPEG-4 and the like) finds none and must fail.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/avi_file_writer.h"

namespace platform {

inline constexpr FourCC kCompressorFullFrames = MakeFourCC('D', 'I', 'B', ' ');

// Compression option flags.
inline constexpr std::uint32_t kCompressKeyFrames = 0x04;  // key frame rate is set
inline constexpr std::uint32_t kCompressValid = 0x08;      // the options are filled in

struct CompressionOptions {
    FourCC type = kStreamTypeVideo;
    FourCC handler = 0;
    std::uint32_t keyFrameEvery = 0;
    std::uint32_t quality = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint32_t flags = 0;
};

class VideoCompressor {
public:
    virtual ~VideoCompressor() = default;

    // The handler written into the stream header.
    virtual FourCC StreamHandler() const = 0;
    // The format of the stored frames for input frames of `input`, or
    // nullopt when the compressor cannot take such frames.
    virtual std::optional<BitmapInfoHeader> OutputFormat(const BitmapInfoHeader& input) const = 0;
    // The bytes to store for one frame (valid until the next call), or
    // nullopt on failure; `keyFrame` tells whether they stand alone.
    virtual std::optional<std::span<const std::uint8_t>> Compress(
        std::span<const std::uint8_t> frame, bool& keyFrame) = 0;
};

struct CompressorDescription {
    FourCC handler;
    std::string name;
};

// The compressors of this build, in the order the choice lists them.
std::vector<CompressorDescription> InstalledVideoCompressors();

// The compressor for `handler` (letter case does not matter), or nullptr when
// this machine has none.
std::unique_ptr<VideoCompressor> OpenVideoCompressor(FourCC handler);

// Asks the operator which compressor a stream is to use, starting from
// `options`; on OK the chosen handler is stored in it. False when cancelled.
// The default shows a modal dialog on the GUI thread; on any other thread
// nobody can answer, and it returns false.
bool ChooseCompression(CompressionOptions& options);

// Replaces how ChooseCompression asks (tests); an empty function restores
// the dialog.
using CompressionChooser = std::function<bool(CompressionOptions&)>;
void SetCompressionChooser(CompressionChooser chooser);

}  // namespace platform
