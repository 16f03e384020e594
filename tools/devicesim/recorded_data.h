#pragma once

// A recorder's recorded data: the backup stream of "/NetworkBk.cgi" (data
// blocks of a generated recording of the asked span, then an end block;
// a busy block while another backup runs), "/CancelNB.cgi", the event list
// pages of "/GetSearchList.cgi" and the server log of "/Getlog.cgi" and
// "/ClearLog.cgi", both from a generated list of events. Thread-safe.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/http_request.h"
#include "tools/devicesim/http_server.h"

namespace devicesim {

struct RecordedDataOptions {
    // The backup stream's rate in bytes per second; 0: as fast as the client
    // reads.
    std::uint64_t backupBytesPerSecond = 0;
    std::size_t events = 300;      // recording events per disk
    std::size_t logRecords = 140;  // server log records
    std::size_t searchPage = 100;  // records per event list reply (at most 127)
};

// The highest backup rate the simulator takes, in bytes per second.
inline constexpr std::uint64_t kMaxBackupRate = 1'000'000'000'000;

// How long a sender paced to `bytesPerSecond` waits once `sent` bytes are
// out, `elapsed` after its first byte: the time the bytes are due at less
// the time gone, none when it is behind. 0 bytes per second: never.
std::chrono::microseconds PaceDelay(std::uint64_t bytesPerSecond, std::uint64_t sent,
                                    std::chrono::microseconds elapsed);

class RecordedData {
public:
    static constexpr std::size_t kBlockBytes = 2048;

    explicit RecordedData(RecordedDataOptions options = {});

    static bool Handles(std::string_view path);
    // Answers a request of one of the paths above; false for any other path.
    bool Serve(const HttpRequest& request, Connection& connection);

    // The recording of a backup request, as the stream carries it: `sizeMb`
    // megabytes (at most 500) generated from the span's parameters.
    static std::string RecordingBytes(const HttpRequest& request, std::size_t offset,
                                      std::size_t length);
    static std::uint64_t RecordingSize(const HttpRequest& request);

    int Cancels() const;
    int Clears() const;

private:
    void NetworkBackup(const HttpRequest& request, Connection& connection);
    std::string SearchList(const HttpRequest& request);
    std::string Log(const HttpRequest& request);

    const RecordedDataOptions m_options;
    mutable std::mutex m_mutex;
    bool m_backupRunning = false;
    std::uint64_t m_cancelGeneration = 0;
    int m_cancels = 0;
    int m_clears = 0;
    std::size_t m_searchCursor = 0;  // records handed out by the current search
    std::size_t m_logCursor = 0;     // records handed out by the current log read
    std::vector<std::string> m_log;  // 32-byte records, oldest first
};

}  // namespace devicesim
