// Fuzzes the reader of the ONLINE section as the Online User Info page lists
// it: byte 0 picks the size table, the video standard and the CH column; the
// rest is the section as the device sent it, of any length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "config/pages/online_user_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    OnlineUserView view;
    view.sizes = static_cast<OnlineSizeTable>(data[0] % 4);
    view.videoStandard = static_cast<std::uint8_t>((data[0] >> 2) % 3);
    view.channelColumn = (data[0] & 0x10) != 0;
    const auto section = std::span(data + 1, size - 1);
    const auto rows = OnlineUserRows(section, view);
    if (rows.size() > kOnlineListedRecords) {
        std::abort();
    }
    for (const OnlineUserRow& row : rows) {
        if (row.size() != (view.channelColumn ? 6u : 5u) || row[0].empty() || row[0].size() > 16 ||
            row[1].size() > 15) {
            std::abort();
        }
    }
    return 0;
}
