#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The address book file, IPRecord.dat in the program's folder: a sequence of
// 400-byte records without a header (a shorter remainder is ignored),
// little-endian:
//
//   0   4  user check word 0x12121212
//   4 128  user name, zero-terminated, at most 127 characters
// 132   4  IP-address check word 0x4C4C4C4C
// 136 128  IP address (or host name) as typed, zero-terminated
// 264   4  comment check word 0x8A8A8A8A
// 268 128  comment, zero-terminated
// 396   4  port, written as a signed 32-bit integer; read back as the
//          unsigned 16-bit value of its first two bytes
//
// Every byte of a record that no field uses is zero.

inline constexpr std::string_view kAddressBookFileName = "IPRecord.dat";
inline constexpr std::size_t kAddressRecordBytes = 400;
inline constexpr std::size_t kAddressTextField = 128;
// The longest text a field keeps: its size less the terminating zero byte.
inline constexpr std::size_t kAddressTextMax = kAddressTextField - 1;
inline constexpr std::uint32_t dwCheckCodeForUse = 0x12121212;
inline constexpr std::uint32_t kCheckCodeForIp = 0x4C4C4C4C;
inline constexpr std::uint32_t kCheckCodeForComment = 0x8A8A8A8A;
// A book is typed by hand; a file claiming more records than this is not an
// address book, and reading it would only pin memory.
inline constexpr std::size_t kMaxAddressRecords = 10'000;

// The accepted range of an entry's port.
inline constexpr int kMinAddressPort = 1;
inline constexpr int kMaxAddressPort = 65535;

struct AddressBookEntry {
    std::string userName;
    std::string ipAddress;
    std::string comment;
    std::int32_t port = 0;

    bool operator==(const AddressBookEntry&) const = default;
};

// One record's bytes: zero-filled, check words in place, each text cut to
// its first 127 bytes (never inside a UTF-8 sequence), the port as a signed
// 32-bit value.
std::array<std::uint8_t, kAddressRecordBytes> EncodeAddressRecord(const AddressBookEntry& entry);

// One record, or nullopt when a check word is not its constant. Texts end at
// their first zero byte and never run past 127 bytes, terminated or not.
std::optional<AddressBookEntry> DecodeAddressRecord(std::span<const std::uint8_t> record);

// Every whole record of a file's bytes (a shorter tail is ignored); nullopt
// when any record is damaged or there are more than kMaxAddressRecords.
std::optional<std::vector<AddressBookEntry>> ParseAddressBook(std::span<const std::uint8_t> bytes);

// The file's bytes for the entries, in order.
std::string SerializeAddressBook(std::span<const AddressBookEntry> entries);

// Reads the book. A missing file is an empty book; nullopt when the file
// exists but cannot be read, is damaged, or is too large to be a book.
std::optional<std::vector<AddressBookEntry>> LoadAddressBook(const std::filesystem::path& file);

// Replaces the file with the entries through a temporary file and a rename,
// so a failure leaves the previous file whole. False on failure.
bool SaveAddressBook(const std::filesystem::path& file, std::span<const AddressBookEntry> entries);

// Whether an entry may go into the book: user name and address not empty
// (checked first), port from 1 to 65535.
enum class AddressEntryCheck { kOk, kEmptyField, kPortOutOfRange };
AddressEntryCheck CheckAddressEntry(std::string_view userName, std::string_view ipAddress,
                                    std::int64_t port);
