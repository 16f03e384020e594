#include "tools/devicesim/firmware_commands.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "tools/devicesim/http_server.h"

namespace devicesim {

namespace {

// The old protocol names the packed file's record types; the empty name is
// what a first record of a type without a name goes out with.
constexpr std::array<std::string_view, 4> kOldTypeNames{"BOOT", "KERNEL", "HTML", ""};
// Numeric Types: the rows of the recorders' firmware file table.
constexpr std::uint64_t kLastRowType = 17;

void Answer(Connection& connection, int status, std::string_view reason,
            std::string_view body = {}) {
    connection.Send(FormatResponse(status, reason, "text/plain", body));
}

bool IsRowType(std::string_view text) {
    const auto number = ParseDecimal(text);
    return number && *number <= kLastRowType;
}

bool IsOldTypeName(std::string_view text) {
    return std::find(kOldTypeNames.begin(), kOldTypeNames.end(), text) != kOldTypeNames.end();
}

std::string Hex(std::uint64_t value) {
    std::array<char, 20> text{};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(value));
    return text.data();
}

std::string Describe(const ReceivedFirmwareUnit& unit) {
    return std::string(unit.newProtocol ? "new" : "old") + " unit Type=" + unit.type + ", " +
           std::to_string(unit.received) + " of " + std::to_string(unit.announced) + " bytes in " +
           std::to_string(unit.pieces) + (unit.pieces == 1 ? " piece" : " pieces") +
           (unit.reboot ? ", reboot flag" : "") + ", checksum " + Hex(unit.checksum);
}

}  // namespace

FirmwareCommands::FirmwareCommands(std::string firmwareVersion, SessionCheck sessionValid)
    : m_version(std::move(firmwareVersion)), m_sessionValid(std::move(sessionValid)) {}

std::uint64_t FirmwareCommands::Checksum(std::string_view bytes, std::uint64_t seed) {
    std::uint64_t hash = seed;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool FirmwareCommands::Serve(const HttpRequest& request, Connection& connection) {
    const std::string& path = request.path;
    if (path == "/GetVersion.cgi") {
        ServeVersion(request, connection);
    } else if (path == "/Getvideo.cgi" && request.Param("Fake") == "1") {
        ServeSide(request, connection);
    } else if (path == "/CancelUPFW.cgi" ||
               (path == "/UpgradeFW.cgi" && request.Param("Upgrade") == "Cancel")) {
        ServeCancel(request, connection);
    } else if (path == "/UpgradeFW.cgi") {
        ServeOldPiece(request, connection);
    } else if (path == "/UpgradeFW2.cgi") {
        ServeNewUnit(request, connection);
    } else {
        return false;
    }
    return true;
}

void FirmwareCommands::ServeVersion(const HttpRequest& request, Connection& connection) {
    if (!m_sessionValid(request.Param("Cookie").value_or(""))) {
        Answer(connection, 401, "Unauthorized");
        return;
    }
    // The version text as the upgrade dialog shows it.
    Answer(connection, 200, "OK", m_version);
}

void FirmwareCommands::ServeSide(const HttpRequest& request, Connection& connection) {
    if (!m_sessionValid(request.Param("Cookie").value_or(""))) {
        Log("refused the upgrade's side connection: no valid session");
        Answer(connection, 401, "Unauthorized");
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_sideOpen;
        ++m_sideSeen;
    }
    Log("upgrade side connection opened by " + connection.peer());
    // Nothing is sent on it: the client holds it while it uploads.
    connection.HoldUntilPeerCloses();
    {
        std::lock_guard lock(m_mutex);
        --m_sideOpen;
    }
    Log("upgrade side connection closed by " + connection.peer());
}

void FirmwareCommands::ServeCancel(const HttpRequest& request, Connection& connection) {
    if (!m_sessionValid(request.Param("Cookie").value_or(""))) {
        Answer(connection, 401, "Unauthorized");
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_cancels;
        EndUploadLocked();
    }
    Log("upgrade cancelled by " + request.path);
    Answer(connection, 200, "OK");
}

FirmwareCommands::Fault FirmwareCommands::NextPieceLocked() {
    ++m_pieces;
    if (m_faults.refuseAt == m_pieces) {
        return Fault::kRefuse;
    }
    if (m_faults.closeAt == m_pieces) {
        return Fault::kClose;
    }
    if (m_faults.stallAt == m_pieces) {
        return Fault::kStall;
    }
    return Fault::kNone;
}

void FirmwareCommands::EndUploadLocked() {
    if (m_current) {
        CloseUnitLocked("abandoned");
    }
    m_pieces = 0;
}

void FirmwareCommands::CloseUnitLocked(std::string_view why) {
    if (!m_current) {
        return;
    }
    ReceivedFirmwareUnit unit = std::move(*m_current);
    m_current.reset();
    m_currentStartType.reset();
    if (!unit.complete) {
        m_violations.push_back(std::string(why) + ": " + Describe(unit));
    }
    m_units.push_back(std::move(unit));
}

std::string FirmwareCommands::RefuseLocked(std::string why) {
    m_violations.push_back(why);
    // A refused piece ends the upload: the client gives up on it.
    EndUploadLocked();
    return why;
}

std::optional<std::string> FirmwareCommands::TakeOldPieceLocked(const HttpRequest& request,
                                                                std::string& note) {
    const auto upgrade = request.Param("Upgrade");
    const std::string& body = request.body;
    const bool start = upgrade == "Start";
    const bool finished = upgrade == "Finished";
    if (upgrade && !start && !finished) {
        return "unknown Upgrade=" + std::string(*upgrade);
    }
    const auto append = [&] {
        ReceivedFirmwareUnit& unit = *m_current;
        note += ", " + std::to_string(body.size()) + " bytes at " + std::to_string(unit.received) +
                " of " + std::to_string(unit.announced);
        unit.checksum = Checksum(body, unit.checksum);
        if (m_keepBytes) {
            unit.bytes += body;
        }
        unit.received += body.size();
        ++unit.pieces;
        unit.complete = unit.received == unit.announced;
        if (unit.complete) {
            note += "; unit whole, checksum " + Hex(unit.checksum);
        }
    };

    if (start) {
        if (m_current) {
            CloseUnitLocked("abandoned for a new Start");
        }
        const auto size = ParseDecimal(request.Param("FileSize").value_or(""));
        if (!size || *size == 0 || *size > kMaxUnitBytes) {
            return "Start without a usable FileSize";
        }
        const std::uint64_t expected = std::min<std::uint64_t>(*size, kOldPieceBytes);
        if (body.size() != expected) {
            return "Start piece of " + std::to_string(body.size()) + " bytes, " +
                   std::to_string(expected) + " expected";
        }
        const auto type = request.Param("Type");
        if (type && !IsRowType(*type)) {
            return "Start with Type=" + std::string(*type) + " (0 to 17 expected)";
        }
        m_current.emplace();
        m_current->announced = *size;
        m_current->checksum = kChecksumSeed;
        if (type) {
            m_current->type = *type;
            m_currentStartType = std::string(*type);
        }
        note = "Start FileSize=" + std::to_string(*size) +
               (type ? " Type=" + *m_currentStartType : "");
        append();
        if (m_current->complete) {
            // A unit of one piece: the Start is all that comes.
            CloseUnitLocked("complete");
        }
        return std::nullopt;
    }

    if (!m_current) {
        return std::string(finished ? "Finished" : "a middle piece") + " without a Start";
    }
    const std::uint64_t left = m_current->announced - m_current->received;
    if (!finished) {
        if (body.size() != kOldPieceBytes || left <= kOldPieceBytes) {
            return "middle piece of " + std::to_string(body.size()) + " bytes at " +
                   std::to_string(m_current->received) + " of " +
                   std::to_string(m_current->announced);
        }
        note = "piece";
        append();
        return std::nullopt;
    }
    if (body.size() != left || left > kOldPieceBytes) {
        return "Finished piece of " + std::to_string(body.size()) + " bytes with " +
               std::to_string(left) + " left";
    }
    const auto type = request.Param("Type");
    if (!type) {
        return std::string("Finished without a Type");
    }
    if (m_currentStartType ? *type != *m_currentStartType : !IsOldTypeName(*type)) {
        return "Finished with Type=" + std::string(*type) +
               " after Start with Type=" + m_currentStartType.value_or("(none)");
    }
    const auto reboot = request.Param("Reboot");
    if (reboot && *reboot != "1") {
        return "Reboot=" + std::string(*reboot);
    }
    m_current->type = *type;
    m_current->reboot = reboot.has_value();
    note = "Finished Type=" + std::string(*type) + (reboot ? " Reboot=1" : "");
    append();
    if (m_current->reboot) {
        ++m_reboots;
        m_pieces = 0;  // the upload is over; the device would now write its flash
    }
    CloseUnitLocked("complete");
    return std::nullopt;
}

void FirmwareCommands::ServeOldPiece(const HttpRequest& request, Connection& connection) {
    if (!m_sessionValid(request.Param("Cookie").value_or(""))) {
        Log("refused /UpgradeFW.cgi: no valid session");
        Answer(connection, 401, "Unauthorized");
        return;
    }
    Fault fault = Fault::kNone;
    std::uint32_t number = 0;
    std::optional<std::string> refusal;
    std::string note;
    {
        std::lock_guard lock(m_mutex);
        fault = NextPieceLocked();
        number = m_pieces;
        if (fault == Fault::kRefuse) {
            EndUploadLocked();
        } else if (fault != Fault::kStall) {
            refusal = TakeOldPieceLocked(request, note);
            if (refusal) {
                RefuseLocked("old piece " + std::to_string(number) + ": " + *refusal);
            }
        }
    }
    const std::string prefix = "firmware piece " + std::to_string(number) + " (old): ";
    switch (fault) {
        case Fault::kRefuse:
            Log(prefix + "refused as set up (500)");
            Answer(connection, 500, "Internal Server Error");
            return;
        case Fault::kStall:
            Log(prefix + "stalled as set up");
            Stall(connection, true);
            return;
        case Fault::kClose:
        case Fault::kNone:
            break;
    }
    if (refusal) {
        Log(prefix + "refused: " + *refusal);
        Answer(connection, 400, "Bad Request");
        return;
    }
    if (fault == Fault::kClose) {
        Log(prefix + note + "; closed without a reply as set up");
        return;
    }
    Log(prefix + note);
    Answer(connection, 200, "OK");
}

void FirmwareCommands::ServeNewUnit(const HttpRequest& request, Connection& connection) {
    if (!m_sessionValid(request.Param("Cookie").value_or(""))) {
        Log("refused /UpgradeFW2.cgi: no valid session");
        Answer(connection, 401, "Unauthorized");
        return;
    }
    const auto size = ParseDecimal(request.Param("FILESIZE").value_or(""));
    const auto type = request.Param("Type");
    const auto reboot = request.Param("REBOOT");
    Fault fault = Fault::kNone;
    std::uint32_t number = 0;
    std::optional<std::string> refusal;
    {
        std::lock_guard lock(m_mutex);
        fault = NextPieceLocked();
        number = m_pieces;
        if (m_current) {
            CloseUnitLocked("abandoned for a new-protocol unit");
        }
        if (!size || *size > kMaxUnitBytes) {
            refusal = "no usable FILESIZE";
        } else if (!type || !IsRowType(*type)) {
            refusal = "Type=" + std::string(type.value_or("(none)")) + " (0 to 17 expected)";
        } else if (reboot && *reboot != "1") {
            refusal = "REBOOT=" + std::string(*reboot);
        }
        if (refusal && fault != Fault::kClose && fault != Fault::kStall) {
            RefuseLocked("new unit " + std::to_string(number) + ": " + *refusal);
        }
    }
    const std::string prefix = "firmware unit " + std::to_string(number) + " (new): ";
    if (fault == Fault::kClose) {
        Log(prefix + "connection reset as set up");
        connection.Reset();
        return;
    }
    if (fault == Fault::kStall) {
        Log(prefix + "stalled as set up, reading nothing");
        Stall(connection, false);
        return;
    }
    if (refusal) {
        Log(prefix + "refused: " + *refusal);
        Answer(connection, 400, "Bad Request");
        return;
    }

    ReceivedFirmwareUnit unit;
    unit.newProtocol = true;
    unit.type = std::string(*type);
    unit.announced = *size;
    unit.reboot = reboot.has_value();
    unit.checksum = kChecksumSeed;
    bool keep = true;
    {
        std::lock_guard lock(m_mutex);
        keep = m_keepBytes;
    }
    std::array<char, 16 * 1024> buffer{};
    while (unit.received < unit.announced) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(buffer.size(), unit.announced - unit.received));
        const std::size_t got = connection.Receive(std::span(buffer.data(), want));
        if (got == 0) {
            break;
        }
        const std::string_view bytes(buffer.data(), got);
        unit.checksum = Checksum(bytes, unit.checksum);
        if (keep) {
            unit.bytes.append(bytes);
        }
        unit.received += got;
        ++unit.pieces;
    }
    unit.complete = unit.received == unit.announced;
    const std::string text = Describe(unit);
    const bool complete = unit.complete;
    {
        std::lock_guard lock(m_mutex);
        if (!complete) {
            m_violations.push_back("new unit " + std::to_string(number) + " cut short: " + text);
            EndUploadLocked();
            m_units.push_back(std::move(unit));
        } else if (fault == Fault::kRefuse) {
            EndUploadLocked();  // read, and not taken
        } else {
            if (unit.reboot) {
                ++m_reboots;
                m_pieces = 0;
            }
            m_units.push_back(std::move(unit));
        }
    }
    if (!complete) {
        Log(prefix + text + "; the client closed before the unit was whole");
        return;
    }
    if (fault == Fault::kRefuse) {
        Log(prefix + text + "; refused as set up (500)");
        Answer(connection, 500, "Internal Server Error");
        return;
    }
    Log(prefix + text);
    Answer(connection, 200, "OK");
}

void FirmwareCommands::Stall(Connection& connection, bool read) {
    {
        std::lock_guard lock(m_mutex);
        ++m_stalled;
    }
    if (read) {
        connection.HoldUntilPeerCloses();
    } else {
        connection.HoldWithoutReading();
    }
    {
        std::lock_guard lock(m_mutex);
        --m_stalled;
    }
    Log("stalled connection closed by the client");
}

void FirmwareCommands::SetFaults(const FirmwareFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
}

void FirmwareCommands::SetKeepBytes(bool keep) {
    std::lock_guard lock(m_mutex);
    m_keepBytes = keep;
}

void FirmwareCommands::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

void FirmwareCommands::Log(std::string_view text) const {
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
    }
    if (logger) {
        logger(text);
    }
}

std::vector<ReceivedFirmwareUnit> FirmwareCommands::Units() const {
    std::lock_guard lock(m_mutex);
    return m_units;
}

std::vector<std::string> FirmwareCommands::Violations() const {
    std::lock_guard lock(m_mutex);
    return m_violations;
}

int FirmwareCommands::CancelCount() const {
    std::lock_guard lock(m_mutex);
    return m_cancels;
}

int FirmwareCommands::RebootCount() const {
    std::lock_guard lock(m_mutex);
    return m_reboots;
}

std::uint32_t FirmwareCommands::PiecesInUpload() const {
    std::lock_guard lock(m_mutex);
    return m_pieces;
}

std::size_t FirmwareCommands::SideConnectionsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_sideOpen;
}

std::size_t FirmwareCommands::SideConnectionsSeen() const {
    std::lock_guard lock(m_mutex);
    return m_sideSeen;
}

std::size_t FirmwareCommands::StalledCount() const {
    std::lock_guard lock(m_mutex);
    return m_stalled;
}

}  // namespace devicesim
