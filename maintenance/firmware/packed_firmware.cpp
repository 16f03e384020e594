#include "maintenance/firmware/packed_firmware.h"

#include <fstream>

namespace maintenance {

namespace {

std::uint32_t ReadWordLe(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool IsMappedType(std::uint8_t type) {
    return type == kPackedTypeBoot || type == kPackedTypeKernel || type == kPackedTypeHtml;
}

PackedFirmwareResult Refuse(PackedFirmwareError error) {
    PackedFirmwareResult result;
    result.error = error;
    return result;
}

}  // namespace

std::string_view PackedFirmwareErrorText(PackedFirmwareError error) {
    switch (error) {
        case PackedFirmwareError::kNone:
        case PackedFirmwareError::kOpenFailed:
        case PackedFirmwareError::kReadFailed:
            return {};
        case PackedFirmwareError::kNoRecord:
            return "The file holds no firmware record.";
        case PackedFirmwareError::kTooManyRecords:
            return "The file holds more than 255 records.";
        case PackedFirmwareError::kRecordPastEnd:
            return "A record runs past the end of the file.";
        case PackedFirmwareError::kTrailingBytes:
            return "The file ends inside a record header.";
        case PackedFirmwareError::kTooLarge:
            return "The file is larger than 64 MB.";
        case PackedFirmwareError::kUnknownFirstType:
            return "The file's first record is of a type this device does not take.";
    }
    return {};
}

PackedFirmwareResult ParsePackedFirmware(std::span<const std::uint8_t> bytes,
                                         UploadProtocol protocol) {
    if (bytes.size() > kMaxPackedFirmwareBytes) {
        return Refuse(PackedFirmwareError::kTooLarge);
    }
    // First pass: the record boundaries only, so that a damaged file is
    // refused before any block is allocated for it.
    struct Span {
        std::size_t offset;
        std::uint32_t length;
        std::uint8_t type;
    };
    std::vector<Span> records;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 4) {
            return Refuse(PackedFirmwareError::kTrailingBytes);
        }
        const std::uint32_t word = ReadWordLe(bytes, at);
        const std::uint32_t length = word >> 4;
        const auto type = static_cast<std::uint8_t>(word & 0xF);
        at += 4;
        if (length > bytes.size() - at) {
            return Refuse(PackedFirmwareError::kRecordPastEnd);
        }
        if (records.size() == kMaxPackedFirmwareRecords) {
            return Refuse(PackedFirmwareError::kTooManyRecords);
        }
        if (protocol == UploadProtocol::kNew && records.empty() && !IsMappedType(type)) {
            return Refuse(PackedFirmwareError::kUnknownFirstType);
        }
        records.push_back({at, length, type});
        at += length;
    }
    if (records.empty()) {
        return Refuse(PackedFirmwareError::kNoRecord);
    }

    PackedFirmwareResult result;
    PackedFirmwareImage& image = result.image;
    image.recordCount = static_cast<std::uint8_t>(records.size());
    image.fileSize = static_cast<std::uint32_t>(bytes.size());
    image.recordLengths.reserve(records.size());
    image.recordTypes.reserve(records.size());
    image.recordData.reserve(records.size());
    for (const Span& r : records) {
        image.recordLengths.push_back(r.length);
        image.recordTypes.push_back(r.type);
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(r.offset);
        image.recordData.emplace_back(first, first + r.length);
    }
    return result;
}

PackedFirmwareResult ReadPackedFirmware(const std::filesystem::path& path,
                                        UploadProtocol protocol) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Refuse(PackedFirmwareError::kOpenFailed);
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return Refuse(PackedFirmwareError::kOpenFailed);
    }
    // Read at most one byte past the limit: a larger file is refused without
    // holding it whole in memory.
    std::vector<std::uint8_t> bytes;
    constexpr std::size_t kChunk = 1 << 16;
    while (true) {
        const std::size_t have = bytes.size();
        if (have > kMaxPackedFirmwareBytes) {
            return Refuse(PackedFirmwareError::kTooLarge);
        }
        bytes.resize(have + kChunk);
        in.read(reinterpret_cast<char*>(bytes.data() + have), static_cast<std::streamsize>(kChunk));
        const auto got = static_cast<std::size_t>(in.gcount());
        bytes.resize(have + got);
        if (in.bad()) {
            return Refuse(PackedFirmwareError::kReadFailed);
        }
        if (got < kChunk) {
            break;
        }
    }
    return ParsePackedFirmware(bytes, protocol);
}

std::vector<std::string> OldProtocolTypeNames(std::span<const std::uint8_t> recordTypes) {
    std::vector<std::string> names;
    names.reserve(recordTypes.size());
    std::string current;
    for (const std::uint8_t type : recordTypes) {
        switch (type) {
            case kPackedTypeBoot:
                current = "BOOT";
                break;
            case kPackedTypeKernel:
                current = "KERNEL";
                break;
            case kPackedTypeHtml:
                current = "HTML";
                break;
            default:
                break;  // keeps the name of the record before it
        }
        names.push_back(current);
    }
    return names;
}

int NewProtocolTypeNumber(std::uint8_t recordType) {
    switch (recordType) {
        case kPackedTypeBoot:
            return 1;
        case kPackedTypeKernel:
            return 0;
        case kPackedTypeHtml:
            return 2;
        default:
            return -1;
    }
}

}  // namespace maintenance
