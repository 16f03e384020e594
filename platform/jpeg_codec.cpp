#include "platform/jpeg_codec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace platform {

namespace {

// The enums above mirror TurboJPEG's numbering; anything the library adds
// later maps to kUnknown and is refused.
constexpr std::array kKnownSubsamplings = {
    JpegSubsampling::k444,  JpegSubsampling::k422, JpegSubsampling::k420,
    JpegSubsampling::kGray, JpegSubsampling::k440, JpegSubsampling::k411,
};
static_assert(static_cast<int>(JpegSubsampling::k444) == TJSAMP_444);
static_assert(static_cast<int>(JpegSubsampling::k422) == TJSAMP_422);
static_assert(static_cast<int>(JpegSubsampling::k420) == TJSAMP_420);
static_assert(static_cast<int>(JpegSubsampling::kGray) == TJSAMP_GRAY);
static_assert(static_cast<int>(JpegSubsampling::k440) == TJSAMP_440);
static_assert(static_cast<int>(JpegSubsampling::k411) == TJSAMP_411);

constexpr std::array kKnownColourSpaces = {
    JpegColourSpace::kRgb,  JpegColourSpace::kYCbCr, JpegColourSpace::kGray,
    JpegColourSpace::kCmyk, JpegColourSpace::kYcck,
};
static_assert(static_cast<int>(JpegColourSpace::kRgb) == TJCS_RGB);
static_assert(static_cast<int>(JpegColourSpace::kYCbCr) == TJCS_YCbCr);
static_assert(static_cast<int>(JpegColourSpace::kGray) == TJCS_GRAY);
static_assert(static_cast<int>(JpegColourSpace::kCmyk) == TJCS_CMYK);
static_assert(static_cast<int>(JpegColourSpace::kYcck) == TJCS_YCCK);

// Colour spaces the library converts to blue-green-red.
constexpr std::array kBgrColourSpaces = {
    JpegColourSpace::kRgb,
    JpegColourSpace::kYCbCr,
    JpegColourSpace::kGray,
};

template <typename Enum, std::size_t N>
Enum FromLibrary(int value, const std::array<Enum, N>& known) {
    for (Enum e : known) {
        if (static_cast<int>(e) == value) {
            return e;
        }
    }
    return Enum::kUnknown;
}

template <typename Enum, std::size_t N>
bool OneOf(Enum value, const std::array<Enum, N>& set) {
    for (Enum e : set) {
        if (e == value) {
            return true;
        }
    }
    return false;
}

// Rows bottom-up; a progressive image with an absurd number of scans is
// refused rather than decoded for minutes. Warnings do not stop the decode:
// some come only after the last block of the image was decoded (see
// WarningCameAfterTheImage), and the decoder reads a few bytes ahead, so
// stopping at the first warning would cut off the bottom of a whole image.
constexpr int kDecodeFlags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;

constexpr std::array<std::uint8_t, 2> kEndOfImage = {0xFF, 0xD9};

bool EndsWithEndOfImage(std::span<const std::uint8_t> jpeg) {
    return jpeg.size() >= kEndOfImage.size() &&
           std::equal(kEndOfImage.begin(), kEndOfImage.end(), jpeg.end() - 2);
}

// Whether the warning of a decode that ended in warnings only was raised
// after the whole image had been decoded, so that the picture is complete.
//
// The library reports the first warning of a decode (later ones are counted,
// not formatted), in the fixed wording of libjpeg's message table. The
// only warning that can come first after the scan data is that of bytes
// left between the last block and the end-of-image marker: that marker is
// the only place where the library counts skipped bytes before D9. A first
// warning of any other kind (data ending inside the scan, a bad Huffman
// code, stray bytes in front of a restart marker or a later scan) means the
// picture was finished with made-up blocks and is refused.
//
// A data stream that lost its place in the middle of the scan (one flipped
// bit is enough) runs out of blocks early and leaves hundreds of bytes
// before the end marker, which the library reports in the same words; a
// device's padding is a few bytes. So the count is bounded.
bool WarningCameAfterTheImage(tjhandle handle) {
    if (tjGetErrorCode(handle) != TJERR_WARNING) {
        return false;
    }
    const char* text = tjGetErrorStr2(handle);
    unsigned int skipped = 0;
    unsigned int marker = 0;
    char end = 0;
    if (text == nullptr ||
        std::sscanf(text, "Corrupt JPEG data: %u extraneous bytes before marker 0x%x%c", &skipped,
                    &marker, &end) != 2) {
        return false;
    }
    return marker == kEndOfImage[1] && skipped <= kMaxStrayBytesBeforeEnd;
}

// Our buffer is sized for the worst case, so the library never has to
// reallocate it.
constexpr int kEncodeFlags = TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC;

}  // namespace

bool CanDecodeToBgr(const JpegHeader& header) {
    return OneOf(header.colourSpace, kBgrColourSpaces) &&
           header.subsampling != JpegSubsampling::kUnknown;
}

// ------------------------------------------------------------------ decoding

JpegDecoder::JpegDecoder() {
    EnsureHandle();
}

JpegDecoder::~JpegDecoder() {
    DropHandle();
}

bool JpegDecoder::EnsureHandle() {
    if (m_handle == nullptr) {
        m_handle = tjInitDecompress();
    }
    return m_handle != nullptr;
}

void JpegDecoder::DropHandle() {
    if (m_handle != nullptr) {
        tjDestroy(m_handle);
        m_handle = nullptr;
    }
}

std::optional<JpegHeader> JpegDecoder::ReadHeader(std::span<const std::uint8_t> jpeg) {
    if (jpeg.empty() || !EnsureHandle()) {
        return std::nullopt;
    }
    // The library leaves the outputs alone for a tables-only stream (which
    // is also what junk ending early looks like to it), so start from values
    // that cannot pass. Such a stream would also leave its tables behind in
    // the handle for the next image; dropping the handle forgets them.
    int width = 0;
    int height = 0;
    int subsampling = -1;
    int colourSpace = -1;
    if (tjDecompressHeader3(m_handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsampling, &colourSpace) != 0 ||
        width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide) {
        DropHandle();
        return std::nullopt;
    }
    JpegHeader header;
    header.width = width;
    header.height = height;
    header.subsampling = FromLibrary(subsampling, kKnownSubsamplings);
    header.colourSpace = FromLibrary(colourSpace, kKnownColourSpaces);
    return header;
}

JpegDecodeResult JpegDecoder::DecodeBgrBottomUp(std::span<const std::uint8_t> jpeg,
                                                std::span<std::uint8_t> picture,
                                                JpegHeader* header) {
    if (!EnsureHandle()) {
        return JpegDecodeResult::kNoCodec;
    }
    const std::optional<JpegHeader> read = ReadHeader(jpeg);
    if (!read) {
        return JpegDecodeResult::kBadHeader;
    }
    if (header != nullptr) {
        *header = *read;
    }
    const std::size_t bytes = BgrPictureBytes(read->width, read->height);
    if (bytes == 0 || bytes > picture.size()) {
        return JpegDecodeResult::kTooLarge;
    }
    if (!CanDecodeToBgr(*read)) {
        return JpegDecodeResult::kUnsupportedLayout;
    }
    // Data that stops without an end-of-image marker is given one: the
    // library would otherwise run out of bytes while it reads ahead in the
    // last blocks and report that first, whether or not the scan data was
    // complete. With the marker in place, a scan that was cut short is
    // reported as such and one that was whole decodes cleanly. Bytes behind
    // an earlier end marker are never read, so the marker can be added
    // whenever the data does not end with one.
    std::span<const std::uint8_t> input = jpeg;
    if (!EndsWithEndOfImage(jpeg)) {
        m_ended.assign(jpeg.begin(), jpeg.end());
        m_ended.insert(m_ended.end(), kEndOfImage.begin(), kEndOfImage.end());
        input = m_ended;
    }
    // Asking for the image's own size means no scaling: the library writes
    // exactly height rows of width × 3 bytes, which we have just checked.
    if (tjDecompress2(m_handle, input.data(), static_cast<unsigned long>(input.size()),
                      picture.data(), read->width, read->width * 3, read->height, TJPF_BGR,
                      kDecodeFlags) != 0) {
        if (WarningCameAfterTheImage(m_handle)) {
            // The library finished the image normally before it warned, so
            // the handle is ready for the next one.
            return JpegDecodeResult::kOk;
        }
        DropHandle();
        return JpegDecodeResult::kCorrupt;
    }
    return JpegDecodeResult::kOk;
}

// ------------------------------------------------------------------ encoding

JpegEncoder::JpegEncoder() {
    EnsureHandle();
}

JpegEncoder::~JpegEncoder() {
    if (m_buffer != nullptr) {
        tjFree(m_buffer);
    }
    DropHandle();
}

bool JpegEncoder::EnsureHandle() {
    if (m_handle == nullptr) {
        m_handle = tjInitCompress();
    }
    return m_handle != nullptr;
}

void JpegEncoder::DropHandle() {
    if (m_handle != nullptr) {
        tjDestroy(m_handle);
        m_handle = nullptr;
    }
}

std::span<const std::uint8_t> JpegEncoder::EncodeBgrBottomUp(std::span<const std::uint8_t> picture,
                                                             int width, int height, int quality,
                                                             JpegSubsampling subsampling) {
    const std::size_t bytes = BgrPictureBytes(width, height);
    if (bytes == 0 || picture.size() < bytes || quality < 1 || quality > 100 ||
        subsampling == JpegSubsampling::kUnknown || !EnsureHandle()) {
        return {};
    }
    const int librarySubsampling = static_cast<int>(subsampling);
    const unsigned long worstCase = tjBufSize(width, height, librarySubsampling);
    if (worstCase == static_cast<unsigned long>(-1) || worstCase == 0 ||
        worstCase > static_cast<unsigned long>(std::numeric_limits<int>::max())) {
        return {};
    }
    if (worstCase > m_capacity) {
        std::uint8_t* grown = tjAlloc(static_cast<int>(worstCase));
        if (grown == nullptr) {
            return {};
        }
        if (m_buffer != nullptr) {
            tjFree(m_buffer);
        }
        m_buffer = grown;
        m_capacity = worstCase;
    }
    unsigned char* out = m_buffer;
    unsigned long size = static_cast<unsigned long>(m_capacity);
    if (tjCompress2(m_handle, picture.data(), width, width * 3, height, TJPF_BGR, &out, &size,
                    librarySubsampling, quality, kEncodeFlags) != 0 ||
        out != m_buffer || size > m_capacity) {
        DropHandle();
        return {};
    }
    return {m_buffer, static_cast<std::size_t>(size)};
}

}  // namespace platform
