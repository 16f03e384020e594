#pragma once

// CtrlFile.ini: the byte sequences of the DVR keys and the power key, one
// record per device family, read once at start-up from the program's folder.
//
// The file is text. Of each line only the printable ASCII characters are kept
// (CR, tabs and bytes 0x80-0xFF vanish), letters are upper-cased, and at most
// kCtrlLineChars characters are kept. Empty lines and lines starting with ";"
// are skipped; a line starting with "[" selects a section; every other line
// is data of the section selected last. The data line "END" of "[EOF]" ends
// the file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "liveview/skin/family_names.h"

struct CtrlDeviceRecord;

// One key's byte sequence. A stored byte whose bit is set in dwVarMask is not
// sent as it stands: its value names a variable filled in when the key is
// sent (device id, checksums, parameters).
struct CtrlKeySequence {
    CtrlDeviceRecord* pOwner = nullptr;  // the record holding the slot
    std::uint32_t dwVarMask = 0;
    std::uint8_t byCount = 0;
    std::unique_ptr<std::uint8_t[]> pBytes;  // byCount bytes; null when 0
};

inline constexpr std::size_t kCtrlKeySlots = 68;
// Slots 0-66 have sections of their own; slot 67 stays empty.
inline constexpr std::size_t kCtrlLoadedKeySlots = 67;
inline constexpr std::size_t kCtrlNameBytes = 80;
inline constexpr std::size_t kCtrlParamBytes = 16;

struct CtrlDeviceRecord {
    std::array<std::uint8_t, kCtrlParamBytes> abyParam{};
    CtrlKeySequence seqPower;
    std::array<char, kCtrlNameBytes> szName{};  // upper case, zero-terminated
    std::array<CtrlKeySequence, kCtrlKeySlots> aseqKey;
    std::uint8_t byDisplay = 0;
};

// The longest line kept; the rest of a longer line is dropped.
inline constexpr std::size_t kCtrlLineChars = 129;
// Files larger than this are not control files and are refused.
inline constexpr std::size_t kCtrlFileMaxBytes = 4u << 20;
// "[DEVICE NUMBER]" asks for at most this many records.
inline constexpr int kCtrlMaxDevices = 1024;

// Reads one line of `text`: `line` receives its kept characters. Returns the
// number of bytes consumed, up to and including the LF (or the rest of the
// text when no LF follows).
std::size_t ReadCtrlLine(std::string_view text, std::string& line);

// Two hexadecimal digits (0-9, A-F) to a byte; any other character counts as
// the digit 0.
std::uint8_t HexByte(char high, char low);

// Fills `sequence` from a sequence line: "X" and two digits give the byte
// count, then each byte is the next "X" with two digits (a literal byte) or
// with "%" and one digit (a variable of that kind, marked in dwVarMask).
// Characters between the groups are ignored. Returns false when the line ends
// before every byte has its "X" (the missing bytes stay 0), or when it marks a
// variable beyond the 32 bytes the mask can hold (the sequence is then left
// empty: sending it would put wrong bytes on the wire).
bool ParseKeySequence(CtrlKeySequence& sequence, std::string_view line);

// The records read from a control file's text.
struct CtrlFileContent {
    std::shared_ptr<CtrlDeviceRecord[]> records;
    std::int32_t count = 0;
    bool ended = false;  // the "[EOF]" line "END" was reached
};

// Reads a control file's text. A data line that has nowhere to go (no
// section, or no record yet) shows message 4084, a damaged sequence line
// message 4051; each at most once per file.
CtrlFileContent ParseCtrlFile(std::string_view text);

// Reads CtrlFile.ini from the program's folder into g_lpApp's records: 1 when
// read, 0 after message 4094 when the file cannot be opened or read.
int LoadCtrlFile();

// Links each device family to the first record of its name; 1.
int MatchCtrlFileDevices();

// The record of a device family (device type 0-25); null when the control
// file has none or the type is out of range.
const CtrlDeviceRecord* CtrlFamilyRecord(std::size_t family);

// Unlinks the families and frees g_lpApp's records; safe to call twice.
void FreeCtrlFileRecords();
