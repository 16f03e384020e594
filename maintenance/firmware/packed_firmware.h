#pragma once

// The packed firmware file of the single-board devices (Q3A2, the Q7B family,
// Q9C0): no file header, a run of records up to the end of the file, each a
// little-endian 32-bit word w followed by w >> 4 data bytes; the record's type
// is w & 0xF.
//
// The file is checked whole before anything is sent. Refused, so that nothing
// of a damaged or foreign file ever reaches a device's flash:
// - no record at all (an empty file),
// - more than 255 records (the count travels as 8 bits),
// - a record whose data runs past the end of the file,
// - 1 to 3 bytes behind the last record (too short for a header word),
// - a file larger than kMaxPackedFirmwareBytes,
// - for the new upload protocol, a first record of a type it has no number
//   for: with no record before it, it would go out as Type 0, the kernel.
// Both protocols name types 0, 1 and 4 and send a record of any other type
// under the Type of the record before it, as the devices expect; the old
// protocol sends a first such record with an empty name.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace maintenance {

inline constexpr std::uint32_t kMaxPackedFirmwareRecords = 255;
inline constexpr std::uint64_t kMaxPackedFirmwareBytes = 64ull * 1024 * 1024;
inline constexpr std::uint32_t kOldProtocolPieceBytes = 900;

// The record types the upload protocols name.
inline constexpr std::uint8_t kPackedTypeBoot = 0;
inline constexpr std::uint8_t kPackedTypeKernel = 1;
inline constexpr std::uint8_t kPackedTypeHtml = 4;

enum class UploadProtocol {
    kOld,  // "/UpgradeFW.cgi" commands of at most 900 bytes
    kNew,  // one "/UpgradeFW2.cgi" connection per unit, raw data
};

// The records of one packed file, as the upload threads take them.
struct PackedFirmwareImage {
    std::vector<std::uint32_t> recordLengths;
    std::uint32_t pieceSize = kOldProtocolPieceBytes;
    std::vector<std::vector<std::uint8_t>> recordData;
    std::vector<std::uint8_t> recordTypes;
    std::uint8_t recordCount = 0;
    std::uint32_t fileSize = 0;  // the whole file, headers included
};

enum class PackedFirmwareError {
    kNone,
    kOpenFailed,  // the file does not open (message 4047)
    kReadFailed,  // a read failed (message 4057)
    kNoRecord,    // empty file (message 4057)
    kTooManyRecords,
    kRecordPastEnd,
    kTrailingBytes,
    kTooLarge,
    kUnknownFirstType,
};

// The reason shown with message 4057 for a refused file; empty for kNone,
// kOpenFailed and kReadFailed (their message says it all).
std::string_view PackedFirmwareErrorText(PackedFirmwareError error);

struct PackedFirmwareResult {
    PackedFirmwareError error = PackedFirmwareError::kNone;
    PackedFirmwareImage image;
    bool Ok() const { return error == PackedFirmwareError::kNone; }
};

// Reads and checks the records of a packed file held in memory.
PackedFirmwareResult ParsePackedFirmware(std::span<const std::uint8_t> bytes,
                                         UploadProtocol protocol);

// Reads the file (at most one byte past the size limit) and parses it.
PackedFirmwareResult ReadPackedFirmware(const std::filesystem::path& path, UploadProtocol protocol);

// The Type a record goes out with. Old protocol: "BOOT", "KERNEL", "HTML" for
// types 0, 1, 4; any other type takes the name of the record before it (the
// empty text for the first record). New protocol: 1, 0, 2 for types 0, 1, 4;
// -1 for a type it has no number for (the upload plan then takes the number
// of the record before it).
std::vector<std::string> OldProtocolTypeNames(std::span<const std::uint8_t> recordTypes);
int NewProtocolTypeNumber(std::uint8_t recordType);

}  // namespace maintenance
