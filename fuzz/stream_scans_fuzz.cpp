// Fuzzes the frame-header parser's byte scan and the decode stage's
// start-of-frame writer over bytes of the stream: neither reads or writes
// outside the bytes given (the sanitizers watch), and the size is written
// only where a start-of-frame marker begins within the first 100 bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "media/decode_show.h"
#include "media/frame_header.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)CFrameHeaderParser::HasStartSequenceAfterMarker(bytes);

    std::vector<std::uint8_t> jpeg(bytes.begin(), bytes.end());
    if (WriteJpegFrameSize(jpeg, 0x1234, 0x5678)) {
        bool marker = false;
        for (std::size_t at = 0; at < 100 && at + 1 < jpeg.size(); ++at) {
            marker = marker || (jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0);
        }
        Check(marker);
    } else {
        Check(jpeg == std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    return 0;
}
