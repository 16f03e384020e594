#pragma once

// JPEG images the device would never send, made with TurboJPEG directly:
// other subsamplings and colour spaces, progressive coding, and pictures
// given top row first so that row order is checked independently of our
// bottom-up conventions.

#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace jpeg_test {

struct Colour {
    std::uint8_t b, g, r;
};

// A picture of `channels` bytes per pixel, top row first, one colour.
inline std::vector<std::uint8_t> SolidPicture(int width, int height, Colour c, int channels = 3) {
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * channels);
    for (std::size_t i = 0; i < picture.size(); i += channels) {
        picture[i] = c.b;
        picture[i + 1] = c.g;
        picture[i + 2] = c.r;
        if (channels == 4) {
            picture[i + 3] = 0;
        }
    }
    return picture;
}

// Encodes a top-row-first picture of the given TurboJPEG pixel format.
inline std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& picture, int width,
                                        int height, int pixelFormat, int subsampling,
                                        int quality = 90, int flags = 0) {
    tjhandle handle = tjInitCompress();
    if (handle == nullptr) {
        throw std::runtime_error("no TurboJPEG compressor");
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle, picture.data(), width, 0, height, pixelFormat, &out, &size,
                               subsampling, quality, flags);
    std::vector<std::uint8_t> jpeg;
    if (rc == 0) {
        jpeg.assign(out, out + size);
    }
    tjFree(out);
    tjDestroy(handle);
    if (rc != 0) {
        throw std::runtime_error("TurboJPEG encode failed");
    }
    return jpeg;
}

// A solid-colour blue-green-red JPEG.
inline std::vector<std::uint8_t> SolidJpeg(int width, int height, Colour c, int subsampling,
                                           int flags = 0) {
    return Encode(SolidPicture(width, height, c), width, height, TJPF_BGR, subsampling, 90, flags);
}

// A four-component JPEG (TurboJPEG stores CMYK pictures as YCCK).
inline std::vector<std::uint8_t> CmykJpeg(int width, int height) {
    return Encode(SolidPicture(width, height, {10, 20, 30}, 4), width, height, TJPF_CMYK,
                  TJSAMP_420);
}

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Offset of the first marker FF <code> at or after `from`, or kNotFound.
inline std::size_t FindMarker(const std::vector<std::uint8_t>& jpeg, std::uint8_t code,
                              std::size_t from = 2) {
    for (std::size_t i = from; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) {
            return i;
        }
    }
    return kNotFound;
}

// Offset of the first marker FF <code>; throws when there is none.
inline std::size_t MarkerAt(const std::vector<std::uint8_t>& jpeg, std::uint8_t code) {
    const std::size_t at = FindMarker(jpeg, code);
    if (at == kNotFound || at + 4 > jpeg.size()) {
        throw std::runtime_error("marker not found");
    }
    return at;
}

}  // namespace jpeg_test
