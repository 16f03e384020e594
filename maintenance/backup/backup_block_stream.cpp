#include "maintenance/backup/backup_block_stream.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace maintenance {

BackupBlockHeader ParseBackupBlockHeader(
    std::span<const std::uint8_t, kBackupBlockHeaderBytes> bytes) {
    return {platform::LoadLe32(bytes, 0), platform::LoadLe32(bytes, 4)};
}

BackupBlockReader::BackupBlockReader(BackupByteSource source, std::size_t readAhead)
    : m_source(std::move(source)), m_readAhead(std::max<std::size_t>(readAhead, 1)) {}

bool BackupBlockReader::ReadExactly(std::span<std::uint8_t> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        if (m_begin == m_end) {
            const int got = m_source ? m_source(m_readAhead) : -1;
            if (got <= 0 || static_cast<std::size_t>(got) > m_readAhead.size()) {
                return false;
            }
            m_begin = 0;
            m_end = static_cast<std::size_t>(got);
            m_bytesRead += static_cast<std::uint64_t>(got);
        }
        const std::size_t n = std::min(buffer.size() - filled, m_end - m_begin);
        std::copy_n(m_readAhead.begin() + static_cast<std::ptrdiff_t>(m_begin), n,
                    buffer.begin() + static_cast<std::ptrdiff_t>(filled));
        m_begin += n;
        filled += n;
    }
    return true;
}

BackupBlockKind BackupBlockReader::Next(const std::function<bool()>& cancelled) {
    m_payloadView = {};
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
                if (m_end - m_begin >= header.length) {
                    m_payloadView =
                        std::span<const std::uint8_t>(m_readAhead).subspan(m_begin, header.length);
                    m_begin += header.length;
                    return BackupBlockKind::kData;
                }
                if (!ReadExactly(std::span(m_payload).first(header.length))) {
                    return isCancelled() ? BackupBlockKind::kCancelled
                                         : BackupBlockKind::kReadFailed;
                }
                m_payloadView = std::span(m_payload).first(header.length);
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
