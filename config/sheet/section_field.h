#pragma once

// One named field of a configuration section: where its bytes lie and how
// they are read. Sections are byte spans exactly as the device sends them;
// these accessors read and write a field without assuming anything about the
// bytes around it: numbers are little-endian, an IPv4 address is stored
// first octet first, and a text ends at its first zero byte or at the end of
// its field, whichever comes first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class FieldKind : std::uint8_t {
    kByte,        // unsigned 8-bit
    kSignedByte,  // signed 8-bit
    kU16,         // unsigned 16-bit, little-endian
    kU32,         // unsigned 32-bit, little-endian
    kIpv4,        // four bytes, first octet first
    kText,        // char[width]: zero-ended when shorter than the field
    kBytes,       // raw bytes (the motion grid)
};

struct SectionField {
    std::string_view name;
    std::size_t offset = 0;
    std::size_t width = 0;
    FieldKind kind = FieldKind::kByte;

    constexpr std::size_t end() const { return offset + width; }
};

// A field repeated at a fixed stride (user slots, channels, timer rows).
struct FieldArray {
    SectionField first;
    std::size_t stride = 0;
    std::size_t count = 0;

    // Entry i; an index outside the array gives an empty field, which reads
    // as zero or "" and takes no writes.
    constexpr SectionField At(std::size_t i) const {
        if (i >= count) {
            return SectionField{first.name, 0, 0, first.kind};
        }
        return SectionField{first.name, first.offset + i * stride, first.width, first.kind};
    }
    constexpr std::size_t end() const { return first.end() + (count - 1) * stride; }
};

using SectionBytes = std::span<std::uint8_t>;
using ConstSectionBytes = std::span<const std::uint8_t>;

// Whether the field lies inside the section (an empty field never does).
constexpr bool FieldFits(ConstSectionBytes section, const SectionField& field) {
    return field.width != 0 && field.offset <= section.size() &&
           field.width <= section.size() - field.offset;
}

// Numbers: a field that does not fit reads as 0 and is not written. A value
// wider than the field keeps its low bytes.
std::uint8_t ReadByte(ConstSectionBytes section, const SectionField& field);
std::int8_t ReadSignedByte(ConstSectionBytes section, const SectionField& field);
std::uint16_t ReadU16(ConstSectionBytes section, const SectionField& field);
std::uint32_t ReadU32(ConstSectionBytes section, const SectionField& field);
void WriteByte(SectionBytes section, const SectionField& field, std::uint8_t value);
void WriteSignedByte(SectionBytes section, const SectionField& field, std::int8_t value);
void WriteU16(SectionBytes section, const SectionField& field, std::uint16_t value);
void WriteU32(SectionBytes section, const SectionField& field, std::uint32_t value);

// IPv4 addresses as four octets (a.b.c.d → {a, b, c, d}) and as the number
// the address controls use, first octet in the high byte.
std::array<std::uint8_t, 4> ReadIpv4(ConstSectionBytes section, const SectionField& field);
std::uint32_t ReadIpv4Number(ConstSectionBytes section, const SectionField& field);
void WriteIpv4Number(SectionBytes section, const SectionField& field, std::uint32_t address);

// Texts. ReadText stops at the first zero byte or at the end of the field
// (or after maxChars characters when that is smaller); it never reads past
// the field. WriteText fills the whole field with zeros and then copies at
// most `width` characters of the text, without a terminator of its own; it
// returns the number of characters written.
std::string ReadText(ConstSectionBytes section, const SectionField& field,
                     std::size_t maxChars = SIZE_MAX);
std::size_t WriteText(SectionBytes section, const SectionField& field, std::string_view text);
void ZeroField(SectionBytes section, const SectionField& field);

// Raw bytes of a field (empty when it does not fit).
ConstSectionBytes FieldBytes(ConstSectionBytes section, const SectionField& field);
