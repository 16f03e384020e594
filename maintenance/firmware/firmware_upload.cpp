#include "maintenance/firmware/firmware_upload.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

#include "core/net/blocking_socket.h"
#include "core/net/cgi_command.h"
#include "platform/clock.h"

namespace maintenance {

namespace {

constexpr std::uint32_t kNewProtocolWriteBytes = 1'300;
constexpr std::size_t kUnitRequestBufferBytes = 512;
constexpr int kUnitReplyBytes = 512;

constexpr unsigned kMessageFlashing = 4048;
constexpr unsigned kMessageUpgradeError = 4077;

// A connection that is closed on every path out of the upload.
class Connection {
public:
    ~Connection() { m_socket.CloseQuietly(); }

    bool Open(const UploadTarget& target, std::chrono::milliseconds timeout,
              std::optional<int> receiveBuffer = std::nullopt) {
        const CSocketAddress address(target.address, target.port);
        if (!address.IsValid()) {
            return false;
        }
        try {
            m_socket.Create(SOCK_STREAM);
            if (receiveBuffer) {
                m_socket.SetReceiveBufferSize(*receiveBuffer);
            }
            m_socket.Connect(address, timeout);
        } catch (const CBlockingSocketException&) {
            return false;
        }
        return true;
    }

    bool WriteAll(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) {
        if (bytes.empty()) {
            return true;
        }
        try {
            const int written =
                m_socket.WriteWithSelect(bytes.data(), static_cast<int>(bytes.size()), timeout);
            return written == static_cast<int>(bytes.size());
        } catch (const CBlockingSocketException&) {
            return false;
        }
    }

    bool WriteText(std::string_view text, std::chrono::milliseconds timeout) {
        return WriteAll({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, timeout);
    }

    // Reads the one reply to a unit. Its content is not examined beyond the
    // status code: no reply, or a closed connection, leaves the unit sent;
    // a status other than 200, or a reset (the device threw the connection
    // away), means the device did not take it.
    bool ReplyAccepted(std::chrono::milliseconds timeout) {
        std::array<char, kUnitReplyBytes> reply{};
        errno = 0;
        const int got = m_socket.Receive(reply.data(), kUnitReplyBytes, timeout);
        if (got <= 0) {
            return errno != ECONNRESET;
        }
        const std::string_view text(reply.data(), static_cast<std::size_t>(got));
        if (!text.starts_with("HTTP/")) {
            return true;
        }
        const std::size_t space = text.find(' ');
        if (space == std::string_view::npos || text.size() < space + 4) {
            return true;
        }
        return text.substr(space + 1, 3) == "200";
    }

    void Close() { m_socket.CloseQuietly(); }

private:
    CBlockingSocket m_socket;
};

struct Progress {
    UploadObserver& observer;
    std::uint64_t whole;
    std::uint64_t sent = 0;

    void Add(std::uint64_t bytes) {
        sent += bytes;
        observer.SetProgress(UploadProgressPercent(sent, whole), true);
    }
};

std::string OldPieceQuery(const UploadPlan& plan, const UploadUnit& unit, std::size_t pieceIndex,
                          std::size_t pieceCount, bool lastUnit, std::string_view cookie) {
    CCgiUrl url(CgiCommand::kUpgradeFw);
    const bool folder = plan.source == UploadSource::kFolder;
    if (pieceIndex == 0) {
        url.AddParam("Upgrade", "Start");
        url.AddParam("FileSize", std::to_string(unit.data.size()));
        if (folder) {
            url.AddParamInt("Type", unit.typeNumber);
        }
    } else if (pieceIndex + 1 == pieceCount) {
        url.AddParam("Upgrade", "Finished");
        if (folder) {
            url.AddParamInt("Type", unit.typeNumber);
        } else {
            url.AddParam("Type", unit.typeName);
        }
        if (lastUnit) {
            url.AddParam("Reboot", "1");
        }
    }
    url.AddSessionCookie(cookie);
    return url.GetUrl();
}

enum class UnitResult { kSent, kFailed, kCancelled };

UnitResult SendUnitOld(const UploadPlan& plan, const UploadUnit& unit, bool lastUnit,
                       const UploadTarget& target, const UploadTimings& timings, Progress& progress,
                       const std::function<bool()>& cancelled, const std::stop_token& stop) {
    const std::size_t size = unit.data.size();
    const std::size_t pieceCount = (size + kOldProtocolPieceBytes - 1) / kOldProtocolPieceBytes;
    std::size_t offset = 0;
    for (std::size_t piece = 0; piece < pieceCount; ++piece) {
        if (stop.stop_requested() ||
            (plan.source == UploadSource::kFolder && cancelled && cancelled())) {
            return UnitResult::kCancelled;
        }
        const std::size_t length = std::min<std::size_t>(size - offset, kOldProtocolPieceBytes);
        const std::string query =
            OldPieceQuery(plan, unit, piece, pieceCount, lastUnit, target.cookie);
        CommandStatus status{};
        CommandTimeouts timeouts{timings.oldSend, timings.oldReceive, timings.connect};
        timeouts.peerClose = timings.oldPeerClose;
        const int ok =
            TirelSendCommand(CgiCommand::kUpgradeFw, query, unit.data.subspan(offset, length),
                             &status, {}, nullptr, timeouts);
        if (ok == 0 && (stop.stop_requested() ||
                        (plan.source == UploadSource::kFolder && cancelled && cancelled()))) {
            // The stop cut the piece's wait short: a cancel, not a device failure.
            return UnitResult::kCancelled;
        }
        if (ok == 0) {
            // Only the last piece may go without a reply, and only when it
            // reached the device whole and no status came back.
            const bool last = piece + 1 == pieceCount;
            const bool sentWithoutReply = status.first == kCommandRequestSent && status.status == 0;
            if (!last || !sentWithoutReply) {
                return UnitResult::kFailed;
            }
        }
        offset += length;
        progress.Add(length);
    }
    return UnitResult::kSent;
}

UnitResult SendUnitNew(const UploadPlan& plan, const UploadUnit& unit, bool lastUnit,
                       const UploadTarget& target, const UploadTimings& timings, Progress& progress,
                       const std::function<bool()>& cancelled, const std::stop_token& stop) {
    const bool folder = plan.source == UploadSource::kFolder;
    const auto isCancelled = [&] {
        return stop.stop_requested() || (folder && cancelled && cancelled());
    };
    const std::chrono::milliseconds timeout =
        folder ? timings.folderUnitWrite : timings.packedUnitWrite;
    const std::string request =
        BuildUploadUnitRequest(target.cookie, static_cast<std::uint32_t>(unit.data.size()),
                               unit.typeNumber, lastUnit, target.hostIp);
    if (request.empty()) {
        return UnitResult::kFailed;
    }
    if (isCancelled()) {
        return UnitResult::kCancelled;
    }
    // A stop wakes every wait of the unit; what it cut short is a cancel,
    // never a failure and never a unit sent.
    const auto failedUnlessCancelled = [&] {
        return isCancelled() ? UnitResult::kCancelled : UnitResult::kFailed;
    };
    Connection connection;
    if (!connection.Open(target, timings.connect) || !connection.WriteText(request, timeout)) {
        return failedUnlessCancelled();
    }
    if (folder && !platform::Sleep(timings.folderNewPauseAfterRequest)) {
        return UnitResult::kCancelled;
    }
    std::size_t offset = 0;
    while (offset < unit.data.size()) {
        if (isCancelled()) {
            return UnitResult::kCancelled;
        }
        const std::size_t length =
            std::min<std::size_t>(unit.data.size() - offset, kNewProtocolWriteBytes);
        if (!connection.WriteAll(unit.data.subspan(offset, length), timeout)) {
            return failedUnlessCancelled();
        }
        offset += length;
        progress.Add(length);
    }
    const bool accepted = connection.ReplyAccepted(timings.unitReply);
    if (isCancelled()) {
        return UnitResult::kCancelled;
    }
    return accepted ? UnitResult::kSent : UnitResult::kFailed;
}

}  // namespace

UploadPlan FolderUploadPlan(const FirmwareFileTable& table, UploadProtocol protocol) {
    UploadPlan plan;
    plan.source = UploadSource::kFolder;
    plan.protocol = protocol;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!table[row].loaded) {
            continue;
        }
        UploadUnit unit;
        unit.data = std::span<const std::uint8_t>(table[row].data)
                        .first(std::min<std::size_t>(table[row].size, table[row].data.size()));
        unit.typeNumber = static_cast<int>(row);
        plan.wholeSize += unit.data.size();
        plan.units.push_back(std::move(unit));
    }
    return plan;
}

UploadPlan PackedUploadPlan(const PackedFirmwareImage& image, UploadProtocol protocol) {
    UploadPlan plan;
    plan.source = UploadSource::kPacked;
    plan.protocol = protocol;
    plan.wholeSize = image.fileSize;
    const std::vector<std::string> names = OldProtocolTypeNames(image.recordTypes);
    int number = 0;  // an unmapped type keeps the number of the record before it
    for (std::size_t i = 0; i < image.recordData.size(); ++i) {
        UploadUnit unit;
        unit.data = image.recordData[i];
        const int mapped = NewProtocolTypeNumber(image.recordTypes[i]);
        if (mapped >= 0) {
            number = mapped;
        }
        unit.typeNumber = number;
        unit.typeName = names[i];
        plan.units.push_back(std::move(unit));
    }
    return plan;
}

std::string BuildUploadSideRequest(std::string_view cookie, std::string_view hostIp) {
    std::string target = "/Getvideo.cgi?Cookie=";
    target += cookie;
    target += "&Fake=1";
    return BuildKeepAliveGet(target, hostIp);
}

std::string BuildUploadUnitRequest(std::string_view cookie, std::uint32_t unitSize, int type,
                                   bool reboot, std::string_view hostIp) {
    std::string target = "/UpgradeFW2.cgi?Cookie=";
    target += cookie;
    target += "&FILESIZE=" + std::to_string(unitSize);
    target += "&Type=" + std::to_string(type);
    if (reboot) {
        target += "&REBOOT=1";
    }
    std::string request = BuildKeepAliveGet(target, hostIp);
    // The request travels in a zeroed 512-byte buffer: a longer one (a huge
    // cookie) would be cut, so it is refused instead.
    if (request.size() >= kUnitRequestBufferBytes) {
        return {};
    }
    return request;
}

int UploadProgressPercent(std::uint64_t sent, std::uint64_t whole) {
    if (whole == 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(sent, whole) * 100 / whole);
}

UploadOutcome RunFirmwareUpload(const UploadPlan& plan, const UploadTarget& target,
                                const UploadTimings& timings, UploadObserver& observer,
                                const std::function<bool()>& cancelled, std::stop_token stop) {
    const bool folder = plan.source == UploadSource::kFolder;
    const bool newProtocol = plan.protocol == UploadProtocol::kNew;

    const auto fail = [&](UploadOutcome outcome) {
        observer.ShowMessage(kMessageUpgradeError);
        observer.EnableUpgrade();
        observer.SetProgress(0, false);
        // Of the four, only the packed upload by the new protocol keeps its
        // dialog open after a failed piece, for another attempt.
        if (outcome == UploadOutcome::kUploadFailed && !(newProtocol && !folder)) {
            observer.CloseDialog();
            (void)platform::Sleep(timings.pauseAtEnd);
        }
        return outcome;
    };

    Connection side;
    const std::string sideRequest = BuildUploadSideRequest(target.cookie, target.hostIp);
    const std::optional<int> sideBuffer =
        folder && newProtocol ? std::optional<int>(2'048) : std::nullopt;
    const auto isCancelled = [&] {
        return stop.stop_requested() || (folder && cancelled && cancelled());
    };
    if (sideRequest.empty() || !side.Open(target, timings.connect, sideBuffer) ||
        !side.WriteText(sideRequest, timings.sideWrite)) {
        return isCancelled() ? UploadOutcome::kCancelled : fail(UploadOutcome::kSideFailed);
    }
    if (!folder && newProtocol && !platform::Sleep(timings.packedNewPauseAfterSide)) {
        return UploadOutcome::kCancelled;
    }

    Progress progress{observer, plan.wholeSize};
    if (folder) {
        observer.DisableUpgrade();
    }
    for (std::size_t i = 0; i < plan.units.size(); ++i) {
        if (isCancelled()) {
            return UploadOutcome::kCancelled;
        }
        if (!folder) {
            observer.DisableUpgrade();
        }
        const UploadUnit& unit = plan.units[i];
        if (unit.data.empty()) {
            continue;  // nothing to send; counts as done
        }
        const bool lastUnit = i + 1 == plan.units.size();
        const UnitResult result =
            newProtocol
                ? SendUnitNew(plan, unit, lastUnit, target, timings, progress, cancelled, stop)
                : SendUnitOld(plan, unit, lastUnit, target, timings, progress, cancelled, stop);
        if (result == UnitResult::kCancelled) {
            return UploadOutcome::kCancelled;
        }
        if (result == UnitResult::kFailed) {
            return fail(UploadOutcome::kUploadFailed);
        }
    }

    // Cancelled while the last unit's reply was awaited: the device is told
    // to drop the upload, so it is not reported as written.
    if (isCancelled()) {
        return UploadOutcome::kCancelled;
    }
    observer.ShowMessage(kMessageFlashing);
    observer.SetProgress(0, false);
    observer.EnableUpgrade();
    observer.CloseDialog();
    (void)platform::Sleep(timings.pauseAtEnd);
    return UploadOutcome::kSucceeded;
}

}  // namespace maintenance
