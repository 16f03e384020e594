#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

// Little-endian fields, the order of every file and packet the program reads
// or writes (record files, AVI and wave files, the device's frame headers and
// configuration blocks, the player endpoint's packets). Nothing here reads or
// writes outside the bytes it is given, whatever a length or offset says.
namespace platform {

// A field at a fixed offset. The offset and width must lie inside `bytes`;
// a field that does not fit throws std::out_of_range (a bug of the caller's
// layout, never something input can reach when the caller checked the
// length it reads from).
std::uint16_t LoadLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t LoadLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint64_t LoadLe64(std::span<const std::uint8_t> bytes, std::size_t offset);
void StoreLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void StoreLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
void StoreLe64(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value);

// Writes fields one after the other, either into fixed room (a span) or
// appended to a vector. A field that does not fit the room is not written
// at all, and the writer stays failed (Ok() false) from then on, so a
// caller checks once at the end.
class LeWriter {
public:
    explicit LeWriter(std::span<std::uint8_t> room) noexcept : m_room(room) {}
    explicit LeWriter(std::vector<std::uint8_t>& out) noexcept
        : m_vector(&out), m_start(out.size()) {}

    void U8(std::uint8_t value) { Put(value, 1); }
    void U16(std::uint16_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void U64(std::uint64_t value) { Put(value, 8); }
    void I16(std::int16_t value) { U16(static_cast<std::uint16_t>(value)); }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Bytes(std::span<const std::uint8_t> bytes);
    void Chars(std::span<const char> chars);
    void Zeros(std::size_t count);
    // Overwrites a 32-bit field written earlier, `at` bytes from the start.
    void U32At(std::size_t at, std::uint32_t value);

    // Bytes written so far.
    std::size_t Size() const noexcept;
    bool Ok() const noexcept { return m_ok; }

private:
    void Put(std::uint64_t value, std::size_t width);
    // Room for `count` more bytes; grows the vector. Null (and failed) when
    // the fixed room is too small.
    std::uint8_t* Reserve(std::size_t count);

    std::span<std::uint8_t> m_room;
    std::vector<std::uint8_t>* m_vector = nullptr;
    std::size_t m_start = 0;  // the vector's size when the writer began
    std::size_t m_at = 0;     // bytes written into the fixed room
    bool m_ok = true;
};

// Reads fields from the front of bytes, never past their end. A read that
// does not fit returns 0 (or copies nothing), leaves the position where it
// was and marks the reader failed (Ok() false). Callers that need a field
// to be there check Has() first, or Ok() after a run of reads.
class LeReader {
public:
    explicit LeReader(std::span<const std::uint8_t> bytes) noexcept : m_bytes(bytes) {}

    std::size_t Position() const noexcept { return m_position; }
    std::size_t Remaining() const noexcept { return m_bytes.size() - m_position; }
    bool Has(std::size_t count) const noexcept { return Remaining() >= count; }
    bool Ok() const noexcept { return m_ok; }

    std::uint8_t PeekU8() const noexcept { return Has(1) ? m_bytes[m_position] : 0; }
    std::uint8_t U8() noexcept { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t U16() noexcept { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() noexcept { return static_cast<std::uint32_t>(Take(4)); }
    std::uint64_t U64() noexcept { return Take(8); }
    // Fills `out` with the next out.size() bytes; false (nothing copied)
    // when fewer are left.
    bool CopyTo(std::span<std::uint8_t> out) noexcept;
    bool CopyTo(std::span<char> out) noexcept;
    // The next `count` bytes as a view; empty and failed when fewer are left.
    std::span<const std::uint8_t> Bytes(std::size_t count) noexcept;
    bool Skip(std::size_t count) noexcept;

private:
    std::uint64_t Take(std::size_t width) noexcept;

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_ok = true;
};

// ------------------------------------------------------------------ inline definitions

namespace byte_order_detail {

inline void CheckField(std::size_t size, std::size_t offset, std::size_t width) {
    if (offset > size || size - offset < width) {
        throw std::out_of_range("little-endian field outside its bytes");
    }
}

inline std::uint64_t Load(std::span<const std::uint8_t> bytes, std::size_t offset,
                          std::size_t width) {
    CheckField(bytes.size(), offset, width);
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | bytes[offset + i];
    }
    return value;
}

inline void Encode(std::uint8_t* out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void Store(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value,
                  std::size_t width) {
    CheckField(bytes.size(), offset, width);
    Encode(bytes.data() + offset, value, width);
}

}  // namespace byte_order_detail

inline std::uint16_t LoadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(byte_order_detail::Load(bytes, offset, 2));
}
inline std::uint32_t LoadLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(byte_order_detail::Load(bytes, offset, 4));
}
inline std::uint64_t LoadLe64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return byte_order_detail::Load(bytes, offset, 8);
}
inline void StoreLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    byte_order_detail::Store(bytes, offset, value, 2);
}
inline void StoreLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    byte_order_detail::Store(bytes, offset, value, 4);
}
inline void StoreLe64(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value) {
    byte_order_detail::Store(bytes, offset, value, 8);
}

// ------------------------------------------------------------------ LeWriter

inline std::uint8_t* LeWriter::Reserve(std::size_t count) {
    if (!m_ok) {
        return nullptr;
    }
    if (m_vector != nullptr) {
        const std::size_t at = m_vector->size();
        m_vector->resize(at + count);
        return m_vector->data() + at;
    }
    if (m_room.size() - m_at < count) {
        m_ok = false;
        return nullptr;
    }
    std::uint8_t* out = m_room.data() + m_at;
    m_at += count;
    return out;
}

inline void LeWriter::Put(std::uint64_t value, std::size_t width) {
    if (std::uint8_t* out = Reserve(width)) {
        byte_order_detail::Encode(out, value, width);
    }
}

inline void LeWriter::Bytes(std::span<const std::uint8_t> bytes) {
    if (std::uint8_t* out = Reserve(bytes.size()); out != nullptr && !bytes.empty()) {
        std::memcpy(out, bytes.data(), bytes.size());
    }
}

inline void LeWriter::Chars(std::span<const char> chars) {
    if (std::uint8_t* out = Reserve(chars.size()); out != nullptr && !chars.empty()) {
        std::memcpy(out, chars.data(), chars.size());
    }
}

inline void LeWriter::Zeros(std::size_t count) {
    if (std::uint8_t* out = Reserve(count); out != nullptr && count > 0) {
        std::memset(out, 0, count);
    }
}

inline void LeWriter::U32At(std::size_t at, std::uint32_t value) {
    if (!m_ok || at > Size() || Size() - at < 4) {
        m_ok = false;
        return;
    }
    std::uint8_t* base = m_vector != nullptr ? m_vector->data() + m_start : m_room.data();
    byte_order_detail::Encode(base + at, value, 4);
}

inline std::size_t LeWriter::Size() const noexcept {
    return m_vector != nullptr ? m_vector->size() - m_start : m_at;
}

// ------------------------------------------------------------------ LeReader

inline std::uint64_t LeReader::Take(std::size_t width) noexcept {
    if (!Has(width)) {
        m_ok = false;
        return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | m_bytes[m_position + i];
    }
    m_position += width;
    return value;
}

inline bool LeReader::CopyTo(std::span<std::uint8_t> out) noexcept {
    const std::span<const std::uint8_t> from = Bytes(out.size());
    if (from.size() != out.size()) {
        return false;
    }
    std::copy(from.begin(), from.end(), out.begin());
    return true;
}

inline bool LeReader::CopyTo(std::span<char> out) noexcept {
    const std::span<const std::uint8_t> from = Bytes(out.size());
    if (from.size() != out.size()) {
        return false;
    }
    std::transform(from.begin(), from.end(), out.begin(),
                   [](std::uint8_t b) { return static_cast<char>(b); });
    return true;
}

inline std::span<const std::uint8_t> LeReader::Bytes(std::size_t count) noexcept {
    if (!Has(count)) {
        m_ok = false;
        return {};
    }
    const std::span<const std::uint8_t> out = m_bytes.subspan(m_position, count);
    m_position += count;
    return out;
}

inline bool LeReader::Skip(std::size_t count) noexcept {
    if (!Has(count)) {
        m_ok = false;
        return false;
    }
    m_position += count;
    return true;
}

}  // namespace platform
