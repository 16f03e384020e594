// Fuzzes the readers of xorriso's reports (device scan, table of contents,
// directory listing, progress notes): any text is taken, and what comes out
// stays within its bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "burnengine/xorriso_reports.h"
#include "fuzz/fuzz_check.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& drive : xorriso::ParseDevices(text)) {
        Check(!drive.address.empty() && drive.address.size() <= xorriso::kNameLimit);
        Check(!drive.name.empty());
    }
    const auto toc = xorriso::ParseToc(text);
    Check(toc.medium.size() <= 128);
    for (const auto& entry : xorriso::ParseLsdl(text)) {
        Check(!entry.name.empty() && entry.name.size() <= xorriso::kNameLimit);
        Check(entry.name.find('/') == std::string::npos);
        Check(entry.month >= 1 && entry.month <= 12 && entry.day >= 1 && entry.day <= 31);
        Check(entry.year == 0 || (entry.year >= 1970 && entry.year <= 9999));
        Check(entry.hour >= 0 && entry.hour <= 23 && entry.minute >= 0 && entry.minute <= 59);
    }
    if (const auto percent = xorriso::ParseProgress(text)) {
        Check(*percent >= 0 && *percent <= 100);
    }
    return 0;
}
