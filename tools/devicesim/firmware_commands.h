#pragma once

// The device's side of a firmware upgrade: the version query
// ("/GetVersion.cgi"), the old upload protocol (one "/UpgradeFW.cgi" request
// per piece of at most 900 bytes), the new one (per unit one
// "/UpgradeFW2.cgi" connection carrying the unit raw after its request),
// the two cancel requests and the side connection ("/Getvideo.cgi" with
// Fake=1) that a client holds open while it uploads.
//
// Every piece and unit is checked against what came before it: the offset
// it continues at, its size, the Type it carries and the Start, Finished and
// reboot flags. A piece that does not fit is refused with 400 and noted as a
// violation. Faults can be set to refuse (500), close without a reply or
// stall at the Nth piece of an upload (old protocol: the Nth request; new
// protocol: the Nth unit). The count starts at the first piece after the
// simulator started or after the last upload ended (the reboot flag, a
// cancel request, or a refusal).
//
// Thread-safe: every piece arrives on its own connection and thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/http_request.h"

namespace devicesim {

class Connection;

struct FirmwareFaults {
    std::optional<std::uint32_t> refuseAt;  // answer 500
    // Old protocol: take the piece, then close without a reply. New
    // protocol: reset the connection as soon as the unit's request arrived.
    std::optional<std::uint32_t> closeAt;
    // Never answer: old protocol, read and hold until the client gives up;
    // new protocol, stop reading the unit and hold.
    std::optional<std::uint32_t> stallAt;
};

// One unit as the device took it.
struct ReceivedFirmwareUnit {
    bool newProtocol = false;
    std::string type;             // as sent: a row or type number, or an old-protocol name
    std::uint64_t announced = 0;  // FileSize / FILESIZE
    std::uint64_t received = 0;
    std::uint32_t pieces = 0;
    bool reboot = false;
    bool complete = false;       // every announced byte arrived, in order
    std::uint64_t checksum = 0;  // FNV-1a (64 bits) of the received bytes
    std::string bytes;           // the received bytes, when kept
};

class FirmwareCommands {
public:
    // Units above this size are refused: no firmware of these devices comes near it.
    static constexpr std::uint64_t kMaxUnitBytes = 64ull * 1024 * 1024;
    static constexpr std::size_t kOldPieceBytes = 900;

    using SessionCheck = std::function<bool(std::string_view cookie)>;

    FirmwareCommands(std::string firmwareVersion, SessionCheck sessionValid);

    // Serves the firmware paths and the side connection on the connection
    // itself (reply written, or held); false for every other request.
    bool Serve(const HttpRequest& request, Connection& connection);

    void SetFaults(const FirmwareFaults& faults);
    // Whether the units' bytes are kept (the checksum is always computed).
    void SetKeepBytes(bool keep);
    void SetLogger(std::function<void(std::string_view)> logger);

    // Inspection for tests and the log.
    std::vector<ReceivedFirmwareUnit> Units() const;  // completed or abandoned, in order
    std::vector<std::string> Violations() const;
    int CancelCount() const;
    int RebootCount() const;
    std::uint32_t PiecesInUpload() const;  // pieces counted since the upload began
    std::size_t SideConnectionsOpen() const;
    std::size_t SideConnectionsSeen() const;
    std::size_t StalledCount() const;

    static std::uint64_t Checksum(std::string_view bytes, std::uint64_t seed = kChecksumSeed);
    static constexpr std::uint64_t kChecksumSeed = 0xcbf29ce484222325ull;

private:
    enum class Fault { kNone, kRefuse, kClose, kStall };

    void ServeVersion(const HttpRequest& request, Connection& connection);
    void ServeSide(const HttpRequest& request, Connection& connection);
    void ServeCancel(const HttpRequest& request, Connection& connection);
    void ServeOldPiece(const HttpRequest& request, Connection& connection);
    void ServeNewUnit(const HttpRequest& request, Connection& connection);
    // Checks an old-protocol piece against the unit in progress and takes
    // it; the reason when it does not fit. `note` describes the piece.
    std::optional<std::string> TakeOldPieceLocked(const HttpRequest& request, std::string& note);

    // Counts a piece and says which fault, if any, falls on it.
    Fault NextPieceLocked();
    // Ends the upload in progress: the next piece counts from 1 again.
    void EndUploadLocked();
    // Moves the unit in progress to the list (abandoned when incomplete).
    void CloseUnitLocked(std::string_view why);
    void Stall(Connection& connection, bool read);
    std::string RefuseLocked(std::string why);
    void Log(std::string_view text) const;

    const std::string m_version;
    const SessionCheck m_sessionValid;

    mutable std::mutex m_mutex;
    FirmwareFaults m_faults;
    bool m_keepBytes = true;
    std::function<void(std::string_view)> m_logger;
    std::optional<ReceivedFirmwareUnit> m_current;  // the old protocol's unit in progress
    std::optional<std::string> m_currentStartType;  // the Type its Start piece named
    std::vector<ReceivedFirmwareUnit> m_units;
    std::vector<std::string> m_violations;
    std::uint32_t m_pieces = 0;
    int m_cancels = 0;
    int m_reboots = 0;
    std::size_t m_sideOpen = 0;
    std::size_t m_sideSeen = 0;
    std::size_t m_stalled = 0;
};

}  // namespace devicesim
