#include "maintenance/backup/backup_block_stream.h"

#include "platform/byte_order.h"

namespace maintenance {

BackupBlockHeader ParseBackupBlockHeader(
    std::span<const std::uint8_t, kBackupBlockHeaderBytes> bytes) {
    return {platform::LoadLe32(bytes, 0), platform::LoadLe32(bytes, 4)};
}

bool BackupBlockReader::ReadExactly(std::span<std::uint8_t> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const int got = m_source ? m_source(buffer.subspan(filled)) : -1;
        if (got <= 0 || static_cast<std::size_t>(got) > buffer.size() - filled) {
            return false;
        }
        filled += static_cast<std::size_t>(got);
        m_bytesRead += static_cast<std::uint64_t>(got);
    }
    return true;
}

BackupBlockKind BackupBlockReader::Next(const std::function<bool()>& cancelled) {
    m_payloadLength = 0;
    const auto isCancelled = [&cancelled] { return cancelled && cancelled(); };
    for (int unknown = 0;; ++unknown) {
        if (isCancelled()) {
            return BackupBlockKind::kCancelled;
        }
        std::array<std::uint8_t, kBackupBlockHeaderBytes> head{};
        if (!ReadExactly(head)) {
            // A read cut short by a cancel is the cancel, not a failure.
            return isCancelled() ? BackupBlockKind::kCancelled : BackupBlockKind::kReadFailed;
        }
        if (isCancelled()) {
            return BackupBlockKind::kCancelled;
        }
        const BackupBlockHeader header = ParseBackupBlockHeader(head);
        switch (header.type) {
            case kBackupBlockEnd:
                return BackupBlockKind::kEnd;
            case kBackupBlockBusy:
                return BackupBlockKind::kBusy;
            case kBackupBlockData:
                if (header.length > m_payload.size()) {
                    return BackupBlockKind::kTooLong;
                }
                if (!ReadExactly(std::span(m_payload).first(header.length))) {
                    return isCancelled() ? BackupBlockKind::kCancelled
                                         : BackupBlockKind::kReadFailed;
                }
                m_payloadLength = header.length;
                return BackupBlockKind::kData;
            default:
                if (unknown >= kMaxUnknownBlockRun) {
                    return BackupBlockKind::kGarbage;
                }
                break;
        }
    }
}

}  // namespace maintenance
