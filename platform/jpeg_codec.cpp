#include "platform/jpeg_codec.h"

#include <turbojpeg.h>

#include <array>
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

// Rows bottom-up; a warning (damaged data the library would paper over)
// ends the decode at once, since a damaged frame is dropped anyway; a
// progressive image with an absurd number of scans is refused rather than
// decoded for minutes.
constexpr int kDecodeFlags = TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

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
    // Asking for the image's own size means no scaling: the library writes
    // exactly height rows of width × 3 bytes, which we have just checked.
    if (tjDecompress2(m_handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                      picture.data(), read->width, read->width * 3, read->height, TJPF_BGR,
                      kDecodeFlags) != 0) {
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
