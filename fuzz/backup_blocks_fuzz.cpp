// Fuzzes the backup block stream: the input is the stream, handed out in
// reads whose sizes come from its first byte. Every data block the reader
// returns fits its buffer, the reader never takes more bytes than the
// stream holds, and it always comes to an end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_check.h"
#include "maintenance/backup/backup_block_stream.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = static_cast<std::size_t>(data[0]) + 1;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    std::size_t at = 0;
    maintenance::BackupBlockReader reader([&](std::span<std::uint8_t> buffer) {
        const std::size_t n = std::min({buffer.size(), chunk, stream.size() - at});
        if (n == 0) {
            return -1;
        }
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
        at += n;
        return static_cast<int>(n);
    });
    for (std::size_t blocks = 0;; ++blocks) {
        Check(blocks <= stream.size());
        const maintenance::BackupBlockKind kind = reader.Next();
        Check(reader.BytesRead() <= stream.size());
        if (kind != maintenance::BackupBlockKind::kData) {
            Check(reader.Payload().empty());
            break;
        }
        Check(reader.Payload().size() <= maintenance::kBackupBlockPayloadBytes);
    }
    return 0;
}
