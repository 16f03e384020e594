#include "core/store/address_book.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/byte_order.h"
#include "platform/profile_file.h"

namespace {

struct TextField {
    std::size_t checkOffset;
    std::uint32_t checkWord;
    std::size_t textOffset;
};

// In the order the reader tests the check words.
constexpr std::array<TextField, 3> kFields = {{
    {0, dwCheckCodeForUse, 4},
    {132, kCheckCodeForIp, 136},
    {264, kCheckCodeForComment, 268},
}};
constexpr std::size_t kPortOffset = 396;

// The text's first `limit` bytes, shortened further so that a UTF-8 sequence
// is never cut in half.
std::string_view CutText(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    // Step back over continuation bytes to the start of the cut sequence.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    // Keep a whole sequence that ends exactly at the limit; non-UTF-8 bytes
    // (a book written by another program) are cut at the limit as they are.
    if (end == 0 || static_cast<unsigned char>(text[end]) < 0xC0) {
        return text.substr(0, limit);
    }
    return text.substr(0, end);
}

std::string ReadText(std::span<const std::uint8_t> record, std::size_t offset) {
    const char* start = reinterpret_cast<const char*>(record.data() + offset);
    return std::string(start, ::strnlen(start, kAddressTextMax));
}

}  // namespace

std::array<std::uint8_t, kAddressRecordBytes> EncodeAddressRecord(const AddressBookEntry& entry) {
    std::array<std::uint8_t, kAddressRecordBytes> record{};
    const std::array<const std::string*, 3> texts = {&entry.userName, &entry.ipAddress,
                                                     &entry.comment};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        platform::StoreLe32(record, kFields[i].checkOffset, kFields[i].checkWord);
        const std::string_view text = CutText(*texts[i], kAddressTextMax);
        std::copy(text.begin(), text.end(), record.begin() + kFields[i].textOffset);
    }
    platform::StoreLe32(record, kPortOffset, static_cast<std::uint32_t>(entry.port));
    return record;
}

std::optional<AddressBookEntry> DecodeAddressRecord(std::span<const std::uint8_t> record) {
    if (record.size() < kAddressRecordBytes) {
        return std::nullopt;
    }
    for (const TextField& field : kFields) {
        if (platform::LoadLe32(record, field.checkOffset) != field.checkWord) {
            return std::nullopt;
        }
    }
    AddressBookEntry entry;
    entry.userName = ReadText(record, kFields[0].textOffset);
    entry.ipAddress = ReadText(record, kFields[1].textOffset);
    entry.comment = ReadText(record, kFields[2].textOffset);
    entry.port = static_cast<std::int32_t>(platform::LoadLe16(record, kPortOffset));
    return entry;
}

std::optional<std::vector<AddressBookEntry>> ParseAddressBook(std::span<const std::uint8_t> bytes) {
    const std::size_t count = bytes.size() / kAddressRecordBytes;
    if (count > kMaxAddressRecords) {
        return std::nullopt;
    }
    std::vector<AddressBookEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto entry =
            DecodeAddressRecord(bytes.subspan(i * kAddressRecordBytes, kAddressRecordBytes));
        if (!entry) {
            return std::nullopt;
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::string SerializeAddressBook(std::span<const AddressBookEntry> entries) {
    std::string bytes;
    bytes.reserve(entries.size() * kAddressRecordBytes);
    for (const AddressBookEntry& entry : entries) {
        const auto record = EncodeAddressRecord(entry);
        bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
    }
    return bytes;
}

std::optional<std::vector<AddressBookEntry>> LoadAddressBook(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::vector<AddressBookEntry>{};
    }
    if (error || !std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size / kAddressRecordBytes > kMaxAddressRecords) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        return std::nullopt;
    }
    // A file that shrank meanwhile is taken as far as it reaches.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ParseAddressBook(bytes);
}

bool SaveAddressBook(const std::filesystem::path& file, std::span<const AddressBookEntry> entries) {
    return platform::WriteFileAtomically(file, SerializeAddressBook(entries));
}

AddressEntryCheck CheckAddressEntry(std::string_view userName, std::string_view ipAddress,
                                    std::int64_t port) {
    if (userName.empty() || ipAddress.empty()) {
        return AddressEntryCheck::kEmptyField;
    }
    if (port < kMinAddressPort || port > kMaxAddressPort) {
        return AddressEntryCheck::kPortOutOfRange;
    }
    return AddressEntryCheck::kOk;
}
