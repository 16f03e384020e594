// Fuzzes the server log replies: the input is read as a COUNT reply and as
// a page of records (and, split at its first byte, as a whole download of
// several pages); the buffer's count never exceeds its room, the count, or
// the records it received.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "maintenance/log/server_log.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    (void)maintenance::ParseLogCount(input);
    for (const auto family :
         {maintenance::ServerLogFamily::kDvr, maintenance::ServerLogFamily::kVideoServer}) {
        const auto records = maintenance::ServerLogRecords(input, 0xFFFFFFFFu);
        Check(records.size() == size / 32);
        for (std::size_t i = 0; i < records.size(); ++i) {
            Check(records[i].detail.size() <= 16);
            const auto row = maintenance::LogRow(family, records[i], static_cast<int>(i));
            Check(!row.event.empty());
        }
    }
    if (size == 0) {
        return 0;
    }
    // First byte: the maximum number; the rest is the count reply, then
    // every page repeats the input.
    const std::uint32_t maxNumber = static_cast<std::uint32_t>(data[0]) * 16;
    int requests = 0;
    auto buffer = std::make_unique<maintenance::ServerLogBuffer>();
    const auto code = maintenance::DownloadServerLog(
        maxNumber, "c", {},
        [&](const std::string&, std::span<std::uint8_t> reply, std::uint32_t& length) {
            if (++requests > 200) {
                return false;
            }
            const std::size_t n = std::min(reply.size(), size - 1);
            std::copy_n(data + 1, n, reply.begin());
            length = static_cast<std::uint32_t>(n);
            return true;
        },
        {}, *buffer);
    Check(buffer->count <= maintenance::kMaxServerLogRecords);
    if (code == maintenance::kLogDownloaded) {
        Check(buffer->count <= maxNumber || maxNumber == 0);
    }
    return 0;
}
