// Fuzzes the disk-map reply: the map is the reply's first 32 bytes, a
// shorter reply's missing bytes 0; every disk it lists is present, has a
// label, and the label leads back to the same disk. The input is also read
// as a label.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "liveview/dialogs/hdd_presence_map.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const liveview::HddPresenceMap map = liveview::ParseHddPresenceMap(std::span(data, size));
    std::size_t bits = 0;
    for (std::size_t i = 0; i < size && i < liveview::kHddPresenceMapBytes; ++i) {
        bits += static_cast<std::size_t>(__builtin_popcount(data[i]));
    }
    const auto disks = map.Disks();
    Check(disks.size() == bits);
    for (const int disk : disks) {
        Check(map.Present(disk));
        Check(static_cast<std::size_t>(disk >> 3) < size);
        const std::string label = liveview::HddLabel(disk);
        Check(!label.empty() && label.size() <= 7);
        Check(liveview::HddNumberOfLabel(label) == disk);
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto disk = liveview::HddNumberOfLabel(text)) {
        Check(*disk >= 0 && *disk < liveview::kHddCount);
        Check(liveview::HddLabel(*disk) == text);
    }
    return 0;
}
