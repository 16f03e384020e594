#pragma once

// Drive records for the tests of the older engines' forms: the bytes of an
// old record, set field by field at the old record's own offsets so that a
// test checks the layout instead of restating the structure, and a sample
// current record with the old record it becomes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "platform/burn_engine_api.h"

namespace disc_test {

class OldDriveBytes {
public:
    static constexpr std::size_t kSize = 360;

    OldDriveBytes& Text(std::size_t offset, std::string_view text) {
        std::memcpy(m_bytes.data() + offset, text.data(), text.size());
        return *this;
    }
    OldDriveBytes& Byte(std::size_t offset, std::uint8_t value) {
        m_bytes[offset] = value;
        return *this;
    }
    OldDriveBytes& Number(std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_bytes[offset + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(value >> (8 * i));
        }
        return *this;
    }
    // A count at `offset` and the speeds right after it.
    OldDriveBytes& Speeds(std::size_t offset, const std::vector<std::uint32_t>& speeds) {
        Number(offset, static_cast<std::uint32_t>(speeds.size()));
        for (std::size_t i = 0; i < speeds.size(); ++i) {
            Number(offset + 4 + 4 * i, speeds[i]);
        }
        return *this;
    }

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

    std::string Hex() const {
        static const char kDigits[] = "0123456789abcdef";
        std::string out;
        for (std::uint8_t byte : m_bytes) {
            out += kDigits[byte >> 4];
            out += kDigits[byte & 15];
        }
        return out;
    }

private:
    std::vector<std::uint8_t> m_bytes = std::vector<std::uint8_t>(kSize, 0);
};

inline std::vector<std::uint32_t> CountingSpeeds(std::uint32_t count, std::uint32_t from) {
    std::vector<std::uint32_t> speeds(count);
    std::iota(speeds.begin(), speeds.end(), from);
    return speeds;
}

inline void SetSpeeds(BurnSpeedList& list, const std::vector<std::uint32_t>& multiples) {
    list.count = static_cast<std::uint32_t>(multiples.size());
    list.baseKBps = BURN_SPEED_BASE_KBPS;
    for (std::size_t i = 0; i < multiples.size() && i < BURN_SPEED_COUNT_MAX; ++i) {
        list.multiples[i] = multiples[i];
        list.kBps[i] = multiples[i] * BURN_SPEED_BASE_KBPS;
    }
}

// A current record with every field the old record keeps set, and texts and
// a speed list longer than the old record holds.
inline BurnDriveRecord SampleCurrentRecord() {
    BurnDriveRecord record{};
    record.size = sizeof record;
    std::memcpy(record.name, std::string(40, 'N').c_str(), 41);
    std::memcpy(record.address, "/dev/sr0", 9);
    record.mediaTypes = BURN_MEDIA_CD | BURN_MEDIA_DVD;
    std::memcpy(record.adapterName, "scsi1234", 8);  // fills the field, no terminator
    record.bus = 0x01020304;
    record.target = 0x05060708;
    record.unit = 0x090A0B0C;
    record.flags = 0xEE;
    record.capabilities = 0xCAFEF00D;
    SetSpeeds(record.readSpeeds, CountingSpeeds(30, 1));
    SetSpeeds(record.writeSpeeds, {4, 8, 16, 24, 48});
    record.kind = 0x11223344;
    std::memcpy(record.revision, std::string(63, 'R').c_str(), 64);
    record.bufferSize = 0x00200000;
    return record;
}

// The old record an old engine is handed for SampleCurrentRecord.
inline OldDriveBytes SampleOldBytes() {
    std::vector<std::uint32_t> read = CountingSpeeds(19, 1);
    read.push_back(30);  // the 20th entry is the current list's last
    return OldDriveBytes()
        .Text(0x00, std::string(31, 'N'))
        .Text(0x20, "scsi123")
        .Number(0x28, 0x01020304)
        .Number(0x2C, 0x05060708)
        .Number(0x30, 0x090A0B0C)
        .Byte(0x34, 0xEE)
        .Number(0x38, 0xCAFEF00D)
        .Speeds(0x3C, read)
        .Speeds(0x90, {4, 8, 16, 24, 48})
        .Number(0xE4, 0x11223344)
        .Text(0xE8, std::string(31, 'R'))
        .Number(0x108, 0x00200000);
}

}  // namespace disc_test
