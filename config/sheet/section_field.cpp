#include "config/sheet/section_field.h"

#include <algorithm>

namespace {

// Little-endian: the byte at the field's offset is the lowest.
std::uint32_t ReadLittle(ConstSectionBytes section, const SectionField& field, std::size_t bytes) {
    if (!FieldFits(section, field)) {
        return 0;
    }
    std::uint32_t value = 0;
    const std::size_t n = std::min<std::size_t>({bytes, field.width, 4});
    for (std::size_t i = 0; i < n; ++i) {
        value |= static_cast<std::uint32_t>(section[field.offset + i]) << (8 * i);
    }
    return value;
}

void WriteLittle(SectionBytes section, const SectionField& field, std::size_t bytes,
                 std::uint32_t value) {
    if (!FieldFits(section, field)) {
        return;
    }
    const std::size_t n = std::min<std::size_t>({bytes, field.width, 4});
    for (std::size_t i = 0; i < n; ++i) {
        section[field.offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::uint8_t ReadByte(ConstSectionBytes section, const SectionField& field) {
    return static_cast<std::uint8_t>(ReadLittle(section, field, 1));
}

std::int8_t ReadSignedByte(ConstSectionBytes section, const SectionField& field) {
    return static_cast<std::int8_t>(ReadByte(section, field));
}

std::uint16_t ReadU16(ConstSectionBytes section, const SectionField& field) {
    return static_cast<std::uint16_t>(ReadLittle(section, field, 2));
}

std::uint32_t ReadU32(ConstSectionBytes section, const SectionField& field) {
    return ReadLittle(section, field, 4);
}

void WriteByte(SectionBytes section, const SectionField& field, std::uint8_t value) {
    WriteLittle(section, field, 1, value);
}

void WriteSignedByte(SectionBytes section, const SectionField& field, std::int8_t value) {
    WriteLittle(section, field, 1, static_cast<std::uint8_t>(value));
}

void WriteU16(SectionBytes section, const SectionField& field, std::uint16_t value) {
    WriteLittle(section, field, 2, value);
}

void WriteU32(SectionBytes section, const SectionField& field, std::uint32_t value) {
    WriteLittle(section, field, 4, value);
}

std::array<std::uint8_t, 4> ReadIpv4(ConstSectionBytes section, const SectionField& field) {
    std::array<std::uint8_t, 4> octets{};
    if (FieldFits(section, field) && field.width >= 4) {
        std::copy_n(section.begin() + static_cast<std::ptrdiff_t>(field.offset), 4, octets.begin());
    }
    return octets;
}

std::uint32_t ReadIpv4Number(ConstSectionBytes section, const SectionField& field) {
    const auto octets = ReadIpv4(section, field);
    return static_cast<std::uint32_t>(octets[0]) << 24 |
           static_cast<std::uint32_t>(octets[1]) << 16 |
           static_cast<std::uint32_t>(octets[2]) << 8 | octets[3];
}

void WriteIpv4Number(SectionBytes section, const SectionField& field, std::uint32_t address) {
    if (!FieldFits(section, field) || field.width < 4) {
        return;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        section[field.offset + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    }
}

std::string ReadText(ConstSectionBytes section, const SectionField& field, std::size_t maxChars) {
    if (!FieldFits(section, field)) {
        return {};
    }
    const auto begin = section.begin() + static_cast<std::ptrdiff_t>(field.offset);
    const auto limit = begin + static_cast<std::ptrdiff_t>(std::min(field.width, maxChars));
    const auto end = std::find(begin, limit, std::uint8_t{0});
    return std::string(begin, end);
}

std::size_t WriteText(SectionBytes section, const SectionField& field, std::string_view text) {
    if (!FieldFits(section, field)) {
        return 0;
    }
    ZeroField(section, field);
    const std::size_t n = std::min(text.size(), field.width);
    std::copy_n(text.begin(), n, section.begin() + static_cast<std::ptrdiff_t>(field.offset));
    return n;
}

void ZeroField(SectionBytes section, const SectionField& field) {
    if (!FieldFits(section, field)) {
        return;
    }
    std::fill_n(section.begin() + static_cast<std::ptrdiff_t>(field.offset), field.width,
                std::uint8_t{0});
}

ConstSectionBytes FieldBytes(ConstSectionBytes section, const SectionField& field) {
    if (!FieldFits(section, field)) {
        return {};
    }
    return section.subspan(field.offset, field.width);
}
