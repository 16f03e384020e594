// Fuzzes the frame-header parser of the live stream in both layouts. Byte 0
// picks the layout (bit 0), the product (bits 1-3; Q9C0 counts the header in
// the image length) and the alarm settings (bits 4-5); the rest is the piece
// the receive thread holds at a frame's start, passed with its exact length
// so that any read past it is caught. An accepted header is evaluated
// against the bytes behind it, as the thread does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_app.h"
#include "fuzz/fuzz_check.h"
#include "media/frame_header.h"

namespace {

constexpr std::array<std::string_view, 8> kProducts{"Q8A7", "Q9C0", "Q3A2", "Q7B5",
                                                    "Q8A3", "Q8A5", "Q7B7", ""};

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    static CFrameHeaderParser parser;
    AppGlobalState& app = FuzzApp();
    const std::uint8_t choice = data[0];
    const bool newLayout = (choice & 1) != 0;
    app.str_ProductID.Set(std::string(kProducts[(choice >> 1) & 7]));
    app.CSettingINI.m_byAlarmTriggerRecord = (choice >> 4) & 1;
    app.CSettingINI.m_byAlarmAutoSwitchVideo = (choice >> 5) & 1;
    parser.SetNewLayout(newLayout);

    // A copy of exactly the piece's size on the heap, so that ASan sees any
    // read past its end.
    const std::vector<std::uint8_t> piece(data + 1, data + size);
    std::uint32_t headerLength = 0xFFFFFFFF;
    FrameHeaderInfo record{};
    record.dwImageLength = 0xA5A5A5A5;
    const FrameHeaderStatus status = parser.Parse(piece, headerLength, record);
    if (status != FrameHeaderStatus::kOk) {
        // Nothing is written for a refused header.
        Check(headerLength == 0xFFFFFFFF && record.dwImageLength == 0xA5A5A5A5);
        Check(!parser.Evaluate(piece));
        return 0;
    }
    Check(headerLength <= piece.size());
    Check(headerLength == record.dwHeaderLength);
    Check(headerLength <= (newLayout ? kMaxNewLayoutHeaderBytes : kMaxOldLayoutHeaderBytes));
    Check(record.byChannelIndex <= 16);
    Check(TitleText(record).size() <= record.szTitle.size());

    // Parsing is pure: every shorter piece ends inside the header, and the
    // same bytes again give the same header.
    if (headerLength > 0) {
        const std::vector<std::uint8_t> shorter(piece.begin(), piece.begin() + headerLength - 1);
        std::uint32_t shorterLength = 0;
        FrameHeaderInfo shorterRecord{};
        Check(parser.Parse(shorter, shorterLength, shorterRecord) == FrameHeaderStatus::kTruncated);
    }
    std::uint32_t againLength = 0;
    FrameHeaderInfo again{};
    Check(parser.Parse(piece, againLength, again) == FrameHeaderStatus::kOk);
    Check(againLength == headerLength && again.dwImageLength == record.dwImageLength);

    const std::vector<std::uint8_t> image(piece.begin() + headerLength, piece.end());
    (void)parser.Evaluate(image);
    Check(!parser.Evaluate(image));  // at most once per parse
    (void)parser.ResetAlarmValue();
    return 0;
}
