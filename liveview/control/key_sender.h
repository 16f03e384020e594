#pragma once

// The device key sender: turns a key sequence of CtrlFile.ini into the raw
// body of "/RS485Cmd.cgi" (the variable bytes filled in) and sends it to the
// connected device, which forwards it on its RS-485 bus to the DVR, camera or
// PTZ unit of the current linked device.
//
// Body: the data count c, the c data bytes, the repeat count and 0x32, built
// in a 64-byte buffer (so c is at most 61). Three stored first bytes, when
// marked as variables, pick another form of the sequence:
//   variable 10  the data are found behind the first stored 0x0A (its next
//                byte is the count),
//   variable 7   ACTION/PRESET: the count is stored byte 1, or in PRESET mode
//                the byte after the next variable 7,
//   variable 3   the counted form: n, then n + 2 produced bytes (no repeat
//                count and no 0x32).
// Every index a sequence implies is checked against its stored bytes and the
// body's room: a sequence that does not fit gives no body at all.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "liveview/control/ctrl_file.h"

inline constexpr std::size_t kRs485BodyBytes = 64;
inline constexpr std::size_t kRs485MaxDataBytes = kRs485BodyBytes - 3;
inline constexpr std::uint8_t kRs485Trailer = 0x32;
// The flag of a skin button row whose key never carries the PELCO
// parameters.
inline constexpr std::uint16_t kKeyWithoutPelco = 0x200;

// The values the variable bytes of a sequence stand for.
struct KeyVariables {
    std::uint8_t rights = 0;    // kind 1: the user-level row's rights byte
    std::uint8_t deviceId = 0;  // kind 11
    std::uint8_t masterId = 0;  // kind 13
    bool presetMode = false;    // picks the second variable-7 alternative
};

// A body ready to send: `length` bytes of `bytes`.
struct Rs485Body {
    std::array<std::uint8_t, kRs485BodyBytes> bytes{};
    std::size_t length = 0;
};

// Builds the body of `sequence` with the repeat count. Nothing when the
// sequence is empty or does not fit (an index past its stored bytes, more
// data than the body holds).
std::optional<Rs485Body> BuildRs485Body(const CtrlKeySequence& sequence,
                                        const KeyVariables& variables, std::uint8_t repeat);

// The variables as the current linked device, the user's level and the
// ACTION/PRESET key give them.
KeyVariables CurrentKeyVariables();

// The request target of "/RS485Cmd.cgi" for the current linked device: the
// channel, master and PELCO parameters (unless `flags` holds
// kKeyWithoutPelco) and the session cookie.
std::string KeySequenceTarget(std::uint16_t flags);
// The same for a PTZ click: no key flags, and a PELCO D master gets no PELCO
// parameters.
std::string PtzClickTarget();

// Sends a sequence: 1 when the device took it. 0 after message 4084 for an
// empty sequence or one that does not fit, or 4065 when the device did not
// accept the request.
int SendRs485KeySequence(const CtrlKeySequence* sequence, std::uint8_t repeat, std::uint16_t flags);

// The action of a key button: sends key slot `slot` of the current linked
// device's record, with the turbo repeat step when `turbo` is set. 4093 when
// there is no record for the device's type.
void SendDvrKeyCommand(bool turbo, std::uint16_t slot);

// Sends a body the caller wrote itself (the PTZ selection and click bodies)
// to "/RS485Cmd.cgi" with `target`; 1 when the device accepted it. Shows no
// message: each caller has its own.
int SendRs485Body(const std::string& target, std::span<const std::uint8_t> body,
                  std::uint16_t timeoutSeconds);
