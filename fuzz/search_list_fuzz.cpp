// Fuzzes the event list reply: never more records than the bytes after the
// header hold or the reply buffer allows, and every record's texts and
// hand-over request are well formed.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_check.h"
#include "maintenance/search/search_list.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto records = maintenance::ParseSearchListReply(std::span(data, size));
    const std::size_t room = size > 4 ? std::min<std::size_t>(size, 2048) - 4 : 0;
    Check(records.size() * 16 <= room);
    Check(records.size() <= 127);
    for (const auto& record : records) {
        const auto texts = maintenance::RowTexts(record);
        Check(texts.time.size() <= 24);
        const auto pending = maintenance::MakePendingDownloadRequest(record, 0);
        Check(pending[0] == 1 && pending[9] <= 16 && pending[10] == 0 && pending[11] == 0);
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto number = maintenance::ParseMaxListNumber(text)) {
        Check(*number <= maintenance::kMaxSearchListNumber);
    }
    return 0;
}
