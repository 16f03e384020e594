// Fuzzes the checks in front of the frame decoder: a received image is
// decoded into a picture buffer of a capacity chosen by byte 0 (a whole
// slot, a 352 × 288 picture, a 320 × 240 one, a few bytes, none). Whatever
// the image claims, a size written back never describes more than the
// buffer holds, and a refused header leaves the size as it was.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "media/jpeg_codec_adapter.h"

namespace {

constexpr std::array<std::size_t, 5> kCapacities{kImageSlotBytes, 352 * 288 * 3, 320 * 240 * 3, 48,
                                                 0};

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    static std::vector<std::uint8_t> slot(kImageSlotBytes);
    const std::size_t capacity = kCapacities[data[0] % kCapacities.size()];
    // The image on the heap at its exact size, so that a read past it shows.
    const std::vector<std::uint8_t> image(data + 1, data + size);
    (void)IsJpegStart(image);

    constexpr std::uint16_t kUnset = 0xFFFF;
    std::uint16_t width = kUnset;
    std::uint16_t height = kUnset;
    const int decoded = DecodeJpegFrame(image, std::span(slot).first(capacity), width, height);
    Check(decoded == 0 || decoded == 1);
    Check((width == kUnset) == (height == kUnset));
    if (width != kUnset) {
        Check(std::size_t{width} * height * 3 <= capacity);
    }
    if (decoded == 1) {
        Check(width != kUnset && width > 0 && height > 0);
    }
    return 0;
}
