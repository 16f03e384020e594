#include "maintenance/log/general_page_log.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "config/pages/server_log_hooks.h"
#include "maintenance/log/server_log.h"
#include "maintenance/log/server_log_dialogs.h"

namespace {

static_assert(ServerLogJob::kBufferBytes == maintenance::kServerLogBufferBytes);
static_assert(ServerLogJob::kRecordBytes == maintenance::kServerLogRecordBytes);

// The page's running download: the log thread, whose records are copied into
// the page's job before the result reaches the page.
class PageLogDownload final : public ServerLogDownload {
public:
    explicit PageLogDownload(std::shared_ptr<ServerLogJob> job) : m_job(std::move(job)) {}

    bool Start() {
        const int entries = std::max(m_job->maxEntries, 0);
        return m_download.Start(m_job->page, static_cast<std::uint32_t>(entries),
                                [job = m_job](const maintenance::ServerLogBuffer& buffer) {
                                    std::memcpy(job->buffer.data(), buffer.bytes.data(),
                                                std::min(job->buffer.size(), buffer.bytes.size()));
                                    job->recordCount = std::min<std::uint32_t>(
                                        buffer.count, maintenance::kMaxServerLogRecords);
                                });
    }

private:
    std::shared_ptr<ServerLogJob> m_job;
    maintenance::ServerLogDownload m_download;  // its destructor stops and joins
};

}  // namespace

void InstallServerLogHooks() {
    ServerLogHooks hooks;
    hooks.start = [](std::shared_ptr<ServerLogJob> job) -> std::unique_ptr<ServerLogDownload> {
        if (!job) {
            return nullptr;
        }
        auto download = std::make_unique<PageLogDownload>(std::move(job));
        if (!download->Start()) {
            return nullptr;
        }
        return download;
    };
    hooks.showLog = [](QWidget* parent, bool dvrFamily, const ServerLogJob& job) {
        maintenance::ServerLogBuffer buffer;
        std::memcpy(buffer.bytes.data(), job.buffer.data(),
                    std::min(job.buffer.size(), buffer.bytes.size()));
        buffer.count = std::min<std::uint32_t>(job.recordCount, maintenance::kMaxServerLogRecords);
        maintenance::OpenServerLogDialog(parent, buffer, dvrFamily);
    };
    SetServerLogHooks(std::move(hooks));
}
