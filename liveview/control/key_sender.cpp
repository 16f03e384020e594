#include "liveview/control/key_sender.h"

#include <algorithm>

#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/skin/skin_flags.h"
#include "liveview/skin/skin_tables.h"

namespace {

constexpr std::uint16_t kKeyTimeoutSeconds = 20;

// First stored bytes (marked as variables) that choose a form.
constexpr std::uint8_t kFormAlternative = 10;
constexpr std::uint8_t kFormActionPreset = 7;
constexpr std::uint8_t kFormCounted = 3;
constexpr std::uint8_t kAlternativeMarker = 0x0A;

// Variable kinds with a meaning of their own.
constexpr std::uint8_t kVarRights = 1;
constexpr std::uint8_t kVarSum = 2;
constexpr std::uint8_t kVarLiteralNext = 4;
constexpr std::uint8_t kVarLastLiteral = 5;
constexpr std::uint8_t kVarSumButFirst = 6;
constexpr std::uint8_t kVarDeviceId = 11;
constexpr std::uint8_t kVarMasterId = 13;

// Produces the data bytes of one body, keeping the two running sums.
class BodyWriter {
public:
    BodyWriter(const CtrlKeySequence& sequence, const KeyVariables& variables, std::size_t room)
        : m_sequence(sequence), m_variables(variables), m_room(room) {}

    bool Marked(std::size_t i) const { return i < 32 && (m_sequence.dwVarMask >> i & 1u) != 0; }
    std::uint8_t Stored(std::size_t i) const { return m_sequence.pBytes[i]; }

    // The value a variable of `kind` sends now. In the counted form only
    // the named kinds have values.
    std::uint8_t Value(std::uint8_t kind, bool counted) const {
        switch (kind) {
            case kVarRights:
                return m_variables.rights;
            case kVarSum:
                return static_cast<std::uint8_t>(m_sum & 0xFF);
            case kVarSumButFirst:
                return static_cast<std::uint8_t>(m_sumButFirst & 0xFF);
            case kVarDeviceId:
                return m_variables.deviceId;
            case kVarMasterId:
                return m_variables.masterId;
            default:
                break;
        }
        if (counted || m_sequence.pOwner == nullptr || kind >= kCtrlParamBytes)
            return 0;
        return m_sequence.pOwner->abyParam[kind];
    }

    // Stored byte i as sent: its variable's value when marked.
    bool EmitStored(std::size_t i, bool counted) {
        return Emit(Marked(i) ? Value(Stored(i), counted) : Stored(i), true);
    }

    // False when the body has no room left for it.
    bool Emit(std::uint8_t value, bool intoBothSums) {
        if (m_length == m_room)
            return false;
        m_data[m_length] = value;
        m_sum = static_cast<std::uint16_t>(m_sum + value);
        if (intoBothSums && m_length > 0)
            m_sumButFirst = static_cast<std::uint16_t>(m_sumButFirst + value);
        ++m_length;
        return true;
    }

    std::size_t Length() const { return m_length; }
    const std::array<std::uint8_t, kRs485BodyBytes - 1>& Data() const { return m_data; }

private:
    const CtrlKeySequence& m_sequence;
    const KeyVariables& m_variables;
    const std::size_t m_room;
    std::array<std::uint8_t, kRs485BodyBytes - 1> m_data{};
    std::size_t m_length = 0;
    std::uint16_t m_sum = 0;
    std::uint16_t m_sumButFirst = 0;
};

// The c stored bytes from `first` on, as a body with the repeat count.
std::optional<Rs485Body> PlainBody(const CtrlKeySequence& sequence, const KeyVariables& variables,
                                   std::size_t first, std::size_t count, std::uint8_t repeat) {
    if (count > kRs485MaxDataBytes || first > sequence.byCount ||
        count > sequence.byCount - first) {
        return std::nullopt;
    }
    BodyWriter writer(sequence, variables, count);
    for (std::size_t i = first; i < first + count; ++i) writer.EmitStored(i, false);
    Rs485Body body;
    body.bytes[0] = static_cast<std::uint8_t>(count);
    std::copy_n(writer.Data().begin(), count, body.bytes.begin() + 1);
    body.bytes[count + 1] = repeat;
    body.bytes[count + 2] = kRs485Trailer;
    body.length = count + 3;
    return body;
}

// Count byte at `at`, data after it.
std::optional<Rs485Body> CountedAt(const CtrlKeySequence& sequence, const KeyVariables& variables,
                                   std::size_t at, std::uint8_t repeat) {
    if (at >= sequence.byCount)
        return std::nullopt;
    return PlainBody(sequence, variables, at + 1, sequence.pBytes[at], repeat);
}

// Form 3: n, then n + 2 bytes: the produced ones and zeros after them.
std::optional<Rs485Body> CountedForm(const CtrlKeySequence& sequence,
                                     const KeyVariables& variables) {
    if (sequence.byCount < 2)
        return std::nullopt;
    const std::size_t n = sequence.pBytes[1];
    if (n > kRs485MaxDataBytes)
        return std::nullopt;
    // Bytes produced beyond the n + 2 sent still take room in the body (the
    // checksums see them), up to its end.
    BodyWriter writer(sequence, variables, kRs485BodyBytes - 1);
    const std::size_t stored = sequence.byCount;
    for (std::size_t i = 2; i < stored; ++i) {
        const bool marked = writer.Marked(i);
        const std::uint8_t b = writer.Stored(i);
        if (b == 0 && i > n)
            break;
        if (marked && (b == kVarLiteralNext || b == kVarLastLiteral)) {
            // The next stored byte goes out as it stands (so a 0 can be
            // sent), into the first sum only.
            if (i + 1 >= stored || !writer.Emit(writer.Stored(i + 1), false))
                return std::nullopt;
            ++i;
            if (b == kVarLastLiteral)
                break;
            continue;
        }
        if (!writer.EmitStored(i, true))
            return std::nullopt;
    }
    Rs485Body body;
    body.bytes[0] = static_cast<std::uint8_t>(n);
    std::copy_n(writer.Data().begin(), std::min(writer.Length(), n + 2), body.bytes.begin() + 1);
    body.length = n + 3;
    return body;
}

const UserLevelRow& CurrentUserLevelRow() {
    const std::size_t row =
        std::min<std::size_t>(g_lpApp->b_UserLevelRow, UserLevelTable.size() - 1);
    return UserLevelTable[row];
}

void AddPelco(CCgiUrl& url) {
    url.AddParam("PELOCO", "1");
    url.AddParam("PROTOCOL", "PELCO");
}

}  // namespace

std::optional<Rs485Body> BuildRs485Body(const CtrlKeySequence& sequence,
                                        const KeyVariables& variables, std::uint8_t repeat) {
    if (sequence.byCount == 0 || !sequence.pBytes)
        return std::nullopt;
    const bool firstMarked = (sequence.dwVarMask & 1u) != 0;
    const std::uint8_t b0 = sequence.pBytes[0];
    if (firstMarked && b0 == kFormAlternative) {
        for (std::size_t i = 1; i < sequence.byCount; ++i) {
            if (sequence.pBytes[i] == kAlternativeMarker)
                return CountedAt(sequence, variables, i + 1, repeat);
        }
        return std::nullopt;
    }
    if (firstMarked && b0 == kFormActionPreset) {
        if (!variables.presetMode)
            return CountedAt(sequence, variables, 1, repeat);
        for (std::size_t i = 2; i < std::min<std::size_t>(sequence.byCount, 32); ++i) {
            if ((sequence.dwVarMask >> i & 1u) != 0 && sequence.pBytes[i] == kFormActionPreset)
                return CountedAt(sequence, variables, i + 1, repeat);
        }
        return std::nullopt;
    }
    if (firstMarked && b0 == kFormCounted)
        return CountedForm(sequence, variables);
    return PlainBody(sequence, variables, 0, sequence.byCount, repeat);
}

KeyVariables CurrentKeyVariables() {
    AppGlobalState& app = *g_lpApp;
    const CControlDevice& devices = app.C_ControlD;
    KeyVariables variables;
    variables.rights = CurrentUserLevelRow().byRights;
    variables.masterId = devices.GetCurrentMasterId();
    if (IsDvrFamily() && !IsMultiChannel())
        variables.deviceId = devices.GetCurrentSlaveId();
    else
        variables.deviceId = variables.masterId;
    variables.presetMode = app.f_PresetMode;
    return variables;
}

namespace {

// The target for the current linked device. `pelco`: the PELCO parameters
// may be added; `masterPelcoD`: a PELCO D master (type 25) gets them too.
std::string Rs485Target(bool pelco, bool masterPelcoD) {
    const CControlDevice& devices = g_lpApp->C_ControlD;
    const int k = devices.GetCurrentIndexOfKind();
    CCgiUrl url(CgiCommand::kRs485Cmd);
    url.AddParam("Control", "Q8A7");
    if (IsDvrFamily() && IsMultiChannel()) {
        if (k == 0) {
            url.AddParam("MASTER", "1");
        } else {
            url.AddParamInt("CH", k - 1);
            url.AddParam("MASTER", "0");
            if (devices.GetCurrentType() == 18 && pelco)
                AddPelco(url);
        }
    } else if (devices.IsCurrentMaster() != 0) {
        if (IsQ3A2() || IsQ7BFamily() || IsQ9C0()) {
            url.AddParamInt("CH", k);
            const std::uint8_t type = devices.GetCurrentMasterType();
            if ((type == 18 || (masterPelcoD && type == 25)) && pelco)
                AddPelco(url);
        }
        url.AddParam("MASTER", "1");
    } else {
        url.AddParamInt("CH", k);
        url.AddParam("MASTER", "0");
        if (devices.GetSlaveType(static_cast<std::uint8_t>(k)) == 18 && pelco)
            AddPelco(url);
    }
    url.AddSessionCookie(g_szSessionCookie.Get());
    return url.GetUrl();
}

}  // namespace

std::string KeySequenceTarget(std::uint16_t flags) {
    return Rs485Target((flags & kKeyWithoutPelco) == 0, true);
}

std::string PtzClickTarget() {
    return Rs485Target(true, false);
}

int SendRs485Body(const std::string& target, std::span<const std::uint8_t> body,
                  std::uint16_t timeoutSeconds) {
    CommandStatus status;
    return TirelSendCommand(CgiCommand::kRs485Cmd, target, body, &status, {}, nullptr,
                            timeoutSeconds, timeoutSeconds, 0);
}

int SendRs485KeySequence(const CtrlKeySequence* sequence, std::uint8_t repeat,
                         std::uint16_t flags) {
    if (sequence == nullptr || sequence->byCount == 0) {
        ShowMessage(4084);
        return 0;
    }
    const std::optional<Rs485Body> body = BuildRs485Body(*sequence, CurrentKeyVariables(), repeat);
    if (!body) {
        WriteTraceLine("key sender: a key sequence does not fit its body; not sent");
        ShowMessage(4084);
        return 0;
    }
    const std::string target = KeySequenceTarget(flags);
    if (SendRs485Body(target, std::span(body->bytes.data(), body->length), kKeyTimeoutSeconds) ==
        0) {
        ShowMessage(4065);
        return 0;
    }
    return 1;
}

void SendDvrKeyCommand(bool turbo, std::uint16_t slot) {
    AppGlobalState& app = *g_lpApp;
    const std::uint8_t type = app.C_ControlD.GetCurrentType();
    const CtrlDeviceRecord* record = CtrlFamilyRecord(type);
    if (record == nullptr) {
        ShowMessage(4093);
        return;
    }
    if (slot >= kCtrlKeySlots) {
        ShowMessage(4084);
        return;
    }
    const std::uint8_t repeat = turbo ? app.b_TurboRepeatStep.load() : std::uint8_t{1};
    SendRs485KeySequence(&record->aseqKey[slot], repeat, SkinFlags(type, slot));
}
