#include "tests/support/kst_reader.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace test_support {

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<std::uint8_t> data) : m_data(std::move(data)) {}
    std::size_t Size() const { return m_data.size(); }
    std::uint8_t U8(std::size_t at) const { return m_data.at(at); }
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(U8(at) | (U8(at + 1) << 8));
    }
    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(U16(at)) |
               (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    std::vector<std::uint8_t> Range(std::size_t at, std::size_t length) const {
        return {m_data.begin() + static_cast<std::ptrdiff_t>(at),
                m_data.begin() + static_cast<std::ptrdiff_t>(at + length)};
    }

private:
    std::vector<std::uint8_t> m_data;
};

class Checker {
public:
    explicit Checker(std::vector<std::string>& problems) : m_problems(problems) {}
    template <typename A, typename B>
    void Expect(const std::string& what, const A& actual, const B& expected) {
        if (actual == static_cast<A>(expected))
            return;
        std::ostringstream text;
        text << what << ": " << +actual << ", expected " << +expected;
        m_problems.push_back(text.str());
    }
    void Problem(const std::string& text) { m_problems.push_back(text); }

private:
    std::vector<std::string>& m_problems;
};

void ReadHeader(const Bytes& b, KstFile& file, Checker& check) {
    check.Expect("header magic", b.U16(0), 0x4B52);
    check.Expect("header length", b.U16(2), 88);
    const std::vector<std::uint8_t> product = b.Range(4, 4);
    if (std::string(product.begin(), product.end()) != "Q3A2")
        check.Problem("product");
    for (std::size_t i = 8; i < 24; ++i)
        check.Expect("header byte " + std::to_string(i), b.U8(i), 0);
    KstHeader& h = file.header;
    for (std::size_t i = 0; i < 8; ++i) h.created[i] = b.U16(24 + 2 * i);
    if (h.created[1] < 1 || h.created[1] > 12)
        check.Problem("creation month out of range");
    if (h.created[2] > 6)
        check.Problem("creation day of week out of range");
    check.Expect("creation milliseconds", h.created[7], 0);
    h.firstTimeValue = b.U32(40);
    h.lastTimeValue = b.U32(44);
    h.frameCount = b.U32(48);
    for (std::size_t i = 0; i < 4; ++i) h.deviceAddress[i] = b.U8(52 + i);
    check.Expect("header value at 56", b.U16(56), 23);
    check.Expect("header byte 58", b.U8(58), 0);
    h.kind = b.U8(59);
    if (h.kind > 1)
        check.Problem("record kind " + std::to_string(h.kind));
    for (std::size_t i = 60; i < 76 && b.U8(i) != 0; ++i) h.userName += static_cast<char>(b.U8(i));
    for (std::size_t i = 60 + h.userName.size(); i < 76; ++i) {
        check.Expect("user name padding at " + std::to_string(i), b.U8(i), 0);
    }
    check.Expect("header value at 76", b.U32(76), 2);
    check.Expect("extension first word", b.U32(80), 0xFFFFFFFFu);
    check.Expect("extension second word", b.U32(84), 0);
    check.Expect("frames start marker", b.U16(88), 0xFFFF);
}

// Reads the mark at `at`; returns the offset after its JPEG, or 0 when the
// mark cannot be followed.
std::size_t ReadFrame(const Bytes& b, std::size_t at, std::size_t end, KstFile& file,
                      Checker& check) {
    const std::string where = "frame " + std::to_string(file.frames.size() + 1) + ": ";
    if (at + 31 > end) {
        check.Problem(where + "mark cut short");
        return 0;
    }
    const std::uint32_t flags = b.U32(at);
    KstFrame frame;
    frame.offset = static_cast<std::uint32_t>(at);
    frame.videoLoss = flags == 0xE00008FF;
    if (flags != 0xE00000FF && flags != 0xE00008FF)
        check.Problem(where + "flags");
    const std::size_t loss = frame.videoLoss ? 1 : 0;
    frame.number = b.U32(at + 4);
    const std::uint32_t length = b.U32(at + 8);
    frame.width = b.U16(at + 12);
    frame.height = b.U16(at + 14);
    frame.timeValue = b.U32(at + 16);
    frame.channel = b.U8(at + 20);
    check.Expect(where + "byte 21", b.U8(at + 21), 0);
    check.Expect(where + "byte 22", b.U8(at + 22), 5);
    if (frame.videoLoss)
        check.Expect(where + "video-loss byte", b.U8(at + 23), 1);
    check.Expect(where + "mark magic", b.U16(at + 23 + loss), 0x4B52);
    const std::uint16_t markLength = b.U16(at + 25 + loss);
    check.Expect(where + "mark length", markLength, 29 + loss);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < 27 + loss; ++i)
        sum = static_cast<std::uint16_t>(sum + b.U8(at + i));
    check.Expect(where + "byte sum", b.U16(at + 27 + loss), sum);
    check.Expect(where + "terminator", b.U16(at + 29 + loss), 0xFFFF);
    check.Expect(where + "frame number", frame.number, file.frames.size() + 1);
    const std::size_t jpegAt = at + markLength + 2;
    if (jpegAt + length > end) {
        check.Problem(where + "JPEG runs past the frames");
        return 0;
    }
    frame.jpeg = b.Range(jpegAt, length);
    file.frames.push_back(std::move(frame));
    return jpegAt + length;
}

}  // namespace

KstFile ReadKstFile(const std::filesystem::path& path) {
    KstFile file;
    Checker check(file.problems);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        check.Problem("cannot open " + path.string());
        return file;
    }
    const Bytes b(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    file.size = b.Size();
    if (b.Size() < 90) {
        check.Problem("shorter than its header: " + std::to_string(b.Size()) + " bytes");
        return file;
    }
    ReadHeader(b, file, check);
    const KstHeader& h = file.header;

    // Where the frames end: before the index of a completed file, else at
    // the end of the file.
    std::size_t framesEnd = b.Size();
    if (h.frameCount > 0 || (b.Size() == 94 && b.U32(90) == 0)) {
        file.closed = true;
        const std::uint32_t count = b.U32(b.Size() - 4);
        check.Expect("trailing count", count, h.frameCount);
        const std::uint64_t indexBytes = 8ull * count + 4;
        if (indexBytes > b.Size() - 90) {
            check.Problem("index larger than the file");
            return file;
        }
        framesEnd = b.Size() - static_cast<std::size_t>(indexBytes);
    } else {
        check.Expect("last time value of an unclosed file", h.lastTimeValue, 0);
    }

    for (std::size_t at = 90; at < framesEnd;) {
        at = ReadFrame(b, at, framesEnd, file, check);
        if (at == 0)
            break;
    }

    if (file.frames.empty()) {
        check.Expect("first time value without frames", h.firstTimeValue, 0);
    } else {
        check.Expect("first time value", h.firstTimeValue, file.frames.front().timeValue);
    }
    if (file.closed) {
        check.Expect("frames before the index", file.frames.size(), h.frameCount);
        check.Expect("last time value", h.lastTimeValue,
                     file.frames.empty() ? 0 : file.frames.back().timeValue);
        for (std::size_t i = 0; i < h.frameCount && i < file.frames.size(); ++i) {
            const std::size_t entry = framesEnd + 8 * i;
            check.Expect("index entry " + std::to_string(i), b.U32(entry), file.frames[i].offset);
            check.Expect("index entry " + std::to_string(i) + " second word", b.U32(entry + 4), 0);
        }
    }
    return file;
}

}  // namespace test_support
