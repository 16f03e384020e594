#include "tests/support/avi_reader.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace test_support {

namespace {

constexpr std::uint32_t Code(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24);
}

struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Reader {
public:
    explicit Reader(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    std::uint32_t U32(std::uint64_t at) const {
        Need(at, 4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | m_bytes[at + static_cast<std::uint64_t>(i)];
        }
        return v;
    }
    std::int16_t I16(std::uint64_t at) const {
        Need(at, 2);
        return static_cast<std::int16_t>(m_bytes[at] | (m_bytes[at + 1] << 8));
    }
    std::vector<std::uint8_t> Bytes(std::uint64_t at, std::uint64_t n) const {
        Need(at, n);
        return {m_bytes.begin() + static_cast<std::ptrdiff_t>(at),
                m_bytes.begin() + static_cast<std::ptrdiff_t>(at + n)};
    }
    std::uint64_t size() const { return m_bytes.size(); }

    // A chunk at `at` inside [.., end): its id and size, checked to fit with
    // its pad byte, which must be 0. Returns the offset after it.
    std::uint64_t Chunk(std::uint64_t at, std::uint64_t end, std::uint32_t& id,
                        std::uint32_t& size) const {
        if (at + 8 > end) {
            throw Bad("chunk header past its container at " + std::to_string(at));
        }
        id = U32(at);
        size = U32(at + 4);
        const std::uint64_t next = at + 8 + size + (size & 1);
        if (next > end) {
            throw Bad("chunk at " + std::to_string(at) + " runs past its container");
        }
        if ((size & 1) != 0 && m_bytes[at + 8 + size] != 0) {
            throw Bad("pad byte not 0 at " + std::to_string(at + 8 + size));
        }
        return next;
    }

    // A LIST of `type` at `at`; returns the offset of its first child and
    // its end through `end`.
    std::uint64_t List(std::uint64_t at, std::uint64_t containerEnd, std::uint32_t type,
                       std::uint64_t& end) const {
        std::uint32_t id = 0;
        std::uint32_t size = 0;
        end = Chunk(at, containerEnd, id, size);
        if (id != Code("LIST") || size < 4 || U32(at + 8) != type) {
            throw Bad("expected a LIST at " + std::to_string(at));
        }
        return at + 12;
    }

private:
    void Need(std::uint64_t at, std::uint64_t n) const {
        if (at + n > m_bytes.size()) {
            throw Bad("read past the end of the file");
        }
    }
    std::vector<std::uint8_t> m_bytes;
};

void Expect(bool condition, const std::string& what) {
    if (!condition) {
        throw Bad(what);
    }
}

}  // namespace

ReadAviFile ReadAvi(const std::filesystem::path& path) {
    ReadAviFile out;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = "cannot open " + path.string();
        return out;
    }
    const Reader r(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    try {
        Expect(r.size() >= 12 && r.U32(0) == Code("RIFF") && r.U32(8) == Code("AVI "),
               "no RIFF AVI");
        Expect(std::uint64_t{r.U32(4)} + 8 == r.size(), "RIFF size is not the file size less 8");
        const std::uint64_t fileEnd = r.size();

        std::uint64_t hdrlEnd = 0;
        std::uint64_t at = r.List(12, fileEnd, Code("hdrl"), hdrlEnd);
        std::uint32_t id = 0;
        std::uint32_t size = 0;
        std::uint64_t next = r.Chunk(at, hdrlEnd, id, size);
        Expect(id == Code("avih") && size == 56, "avih missing or not 56 bytes");
        out.microSecPerFrame = r.U32(at + 8);
        out.maxBytesPerSec = r.U32(at + 12);
        out.flags = r.U32(at + 20);
        out.totalFrames = r.U32(at + 24);
        out.streams = r.U32(at + 32);
        out.suggestedBufferSize = r.U32(at + 36);
        out.width = r.U32(at + 40);
        out.height = r.U32(at + 44);

        std::uint64_t strlEnd = 0;
        at = r.List(next, hdrlEnd, Code("strl"), strlEnd);
        Expect(strlEnd == hdrlEnd, "hdrl holds more than avih and one strl");
        next = r.Chunk(at, strlEnd, id, size);
        Expect(id == Code("strh") && size == 56, "strh missing or not 56 bytes");
        out.type = r.U32(at + 8);
        out.handler = r.U32(at + 12);
        out.scale = r.U32(at + 28);
        out.rate = r.U32(at + 32);
        out.length = r.U32(at + 40);
        out.streamSuggestedBufferSize = r.U32(at + 44);
        out.quality = r.U32(at + 48);
        for (int i = 0; i < 4; ++i) {
            out.frame[i] = r.I16(at + 56 + 2 * static_cast<std::uint64_t>(i));
        }
        at = next;
        next = r.Chunk(at, strlEnd, id, size);
        Expect(id == Code("strf"), "strf missing");
        out.format = r.Bytes(at + 8, size);
        at = next;
        if (at < strlEnd) {
            next = r.Chunk(at, strlEnd, id, size);
            Expect(id == Code("strn") && size > 0, "unexpected chunk in strl");
            const std::vector<std::uint8_t> name = r.Bytes(at + 8, size);
            Expect(name.back() == 0, "strn not NUL-terminated");
            out.name.assign(name.begin(), name.end() - 1);
            out.hasName = true;
            Expect(next == strlEnd, "strl holds more than strh, strf and strn");
        }

        std::uint64_t moviEnd = 0;
        const std::uint64_t moviId = hdrlEnd + 8;  // index offsets count from here
        at = r.List(hdrlEnd, fileEnd, Code("movi"), moviEnd);
        while (at < moviEnd) {
            next = r.Chunk(at, moviEnd, id, size);
            out.frames.push_back({id, r.Bytes(at + 8, size), 0});
            at = next;
        }

        next = r.Chunk(moviEnd, fileEnd, id, size);
        Expect(id == Code("idx1"), "idx1 does not follow movi");
        Expect(next == fileEnd, "data after idx1");
        Expect(size == 16 * out.frames.size(), "idx1 does not hold one entry per chunk");
        std::uint64_t chunkAt = moviId + 4;
        for (std::size_t i = 0; i < out.frames.size(); ++i) {
            const std::uint64_t entry = moviEnd + 8 + 16 * i;
            const std::uint32_t entryId = r.U32(entry);
            const std::uint32_t offset = r.U32(entry + 8);
            const std::uint32_t entrySize = r.U32(entry + 12);
            Expect(moviId + offset == chunkAt,
                   "index entry " + std::to_string(i) + " does not point at its chunk");
            Expect(entryId == r.U32(chunkAt) && entrySize == r.U32(chunkAt + 4),
                   "index entry " + std::to_string(i) + " disagrees with its chunk");
            out.frames[i].indexFlags = r.U32(entry + 4);
            chunkAt += 8 + entrySize + (entrySize & 1);
        }
    } catch (const Bad& bad) {
        out.error = bad.what();
    }
    return out;
}

}  // namespace test_support
