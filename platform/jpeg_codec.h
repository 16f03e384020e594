#pragma once

// JPEG decoding and encoding over libjpeg-turbo's TurboJPEG interface.
//
// Pictures on our side are always 3 bytes per pixel in blue, green, red
// order, rows of exactly width × 3 bytes without gaps, the bottom row first.
// The codec reads and writes that layout directly, so no row flipping or
// temporary picture is needed.
//
// Each object keeps one TurboJPEG handle and is meant to be owned by one
// thread and reused for every picture it handles: decoding a good frame
// allocates nothing on our side. After damaged input the library's handle may
// be left half-way through an image and would fail the next good one too, so
// it is dropped and a fresh one is made on the next call; only damaged input
// pays for that (a refused but well-formed header does not). An object is not
// safe to share between threads; two threads use two objects.
//
// The library itself still allocates on every decode, about nine malloc
// calls a frame: libjpeg's memory manager takes each image's working memory
// (component records, sample rows, colour tables) from pools it frees when
// the image ends, once for the header read and once for the decode, and
// tjDecompress2 allocates its row pointers each call. The TurboJPEG interface
// offers no way to keep or supply that memory, so it cannot be avoided here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// Chroma subsampling of a JPEG image, in TurboJPEG's order.
enum class JpegSubsampling : int {
    k444 = 0,
    k422 = 1,
    k420 = 2,
    kGray = 3,
    k440 = 4,
    k411 = 5,
    kUnknown = -1,  // sampling factors the library cannot name
};

// Colour space of the components stored in a JPEG image, in TurboJPEG's order.
enum class JpegColourSpace : int {
    kRgb = 0,
    kYCbCr = 1,
    kGray = 2,
    kCmyk = 3,
    kYcck = 4,
    kUnknown = -1,
};

struct JpegHeader {
    int width = 0;
    int height = 0;
    JpegSubsampling subsampling = JpegSubsampling::kUnknown;
    JpegColourSpace colourSpace = JpegColourSpace::kUnknown;
};

// Stray bytes accepted between the last block of an image and its
// end-of-image marker (padding some encoders leave). More than this means
// the scan data lost its place and the image ran out of blocks early.
inline constexpr unsigned int kMaxStrayBytesBeforeEnd = 16;

// JPEG images are at most 65,535 pixels on either side.
inline constexpr int kMaxJpegSide = 65'535;

// Bytes of a picture of 3 bytes per pixel without row padding; 0 for a size
// that is not a picture (a side of 0 or below, or above kMaxJpegSide).
constexpr std::size_t BgrPictureBytes(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide) {
        return 0;
    }
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

// Whether the decoder turns an image of this layout into blue-green-red:
// luminance-chrominance, RGB or grey-scale components with one of the named
// subsamplings. Four-component (CMYK, YCCK) images are not.
bool CanDecodeToBgr(const JpegHeader& header);

enum class JpegDecodeResult {
    kOk,
    kBadHeader,          // not a JPEG image, or its header is damaged
    kTooLarge,           // width × height × 3 exceeds the picture's capacity
    kUnsupportedLayout,  // components that cannot become blue-green-red
    kCorrupt,            // the header was fine, the image data was not
    kNoCodec,            // the library could not give us a handle
};

class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Reads width, height, subsampling and colour space without decoding.
    // Input that holds no frame header (tables only, junk, nothing) gives
    // nothing.
    std::optional<JpegHeader> ReadHeader(std::span<const std::uint8_t> jpeg);

    // Decodes a whole image into `picture`, bottom row first, blue-green-red.
    // The header is read and checked first: an image that does not fit
    // `picture` (width × height × 3 bytes) or cannot become blue-green-red is
    // refused before anything is decoded and `picture` is untouched. Damage
    // found while decoding fails the call (the picture is then partly
    // written); that includes scan data the library only warns about, such
    // as data cut short or a bad code, which it would fill with made-up
    // blocks. Flaws behind a complete scan are accepted: a missing
    // end-of-image marker, and up to kMaxStrayBytesBeforeEnd stray bytes in
    // front of it. `header`, when given, receives the header whenever it
    // could be read.
    JpegDecodeResult DecodeBgrBottomUp(std::span<const std::uint8_t> jpeg,
                                       std::span<std::uint8_t> picture,
                                       JpegHeader* header = nullptr);

private:
    bool EnsureHandle();
    void DropHandle();

    void* m_handle = nullptr;
    // An image lacking its end-of-image marker, with the marker added; kept
    // so that it grows only when a larger such image comes.
    std::vector<std::uint8_t> m_ended;
};

class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // Encodes a picture (bottom row first, blue-green-red, rows of width × 3
    // bytes) as a baseline JPEG of the given quality (1 to 100). The result
    // points into the encoder's own buffer and stays valid until the next
    // call; it is empty on failure (bad arguments, a picture shorter than
    // width × height × 3, a library error). The buffer grows only when a
    // larger picture comes.
    std::span<const std::uint8_t> EncodeBgrBottomUp(
        std::span<const std::uint8_t> picture, int width, int height, int quality,
        JpegSubsampling subsampling = JpegSubsampling::k420);

private:
    bool EnsureHandle();
    void DropHandle();

    void* m_handle = nullptr;
    std::uint8_t* m_buffer = nullptr;  // from the library's allocator
    std::size_t m_capacity = 0;
};

}  // namespace platform
