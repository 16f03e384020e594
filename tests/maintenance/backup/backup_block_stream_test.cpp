#include "maintenance/backup/backup_block_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using maintenance::BackupBlockKind;
using maintenance::BackupBlockReader;
using Bytes = std::vector<std::uint8_t>;

void AppendLe32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

Bytes Header(std::uint32_t length, std::uint32_t type) {
    Bytes out;
    AppendLe32(out, length);
    AppendLe32(out, type);
    return out;
}

Bytes Data(std::uint32_t length, std::uint8_t fill) {
    Bytes out = Header(length, 3);
    out.insert(out.end(), length, fill);
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Repeat(const Bytes& part, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

struct StreamCase {
    const char* name;
    Bytes stream;
    std::size_t chunk;  // the most bytes one read hands out
    std::vector<BackupBlockKind> expected;
    std::size_t payloadBytes;
};

// Reads every block up to the first that ends a download.
std::vector<BackupBlockKind> ReadAll(const StreamCase& c, std::size_t& payload) {
    std::size_t at = 0;
    BackupBlockReader reader([&](std::span<std::uint8_t> buffer) {
        const std::size_t n = std::min({buffer.size(), c.chunk, c.stream.size() - at});
        if (n == 0) {
            return -1;  // closed
        }
        std::copy_n(c.stream.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
        at += n;
        return static_cast<int>(n);
    });
    std::vector<BackupBlockKind> kinds;
    payload = 0;
    for (;;) {
        const BackupBlockKind kind = reader.Next();
        kinds.push_back(kind);
        if (kind != BackupBlockKind::kData) {
            return kinds;
        }
        payload += reader.Payload().size();
    }
}

constexpr auto D = BackupBlockKind::kData;
constexpr auto E = BackupBlockKind::kEnd;

class BackupBlockStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(BackupBlockStreamTest, ReadsTheBlocksOrRefusesTheStream) {
    const StreamCase& c = GetParam();
    std::size_t payload = 0;
    EXPECT_EQ(ReadAll(c, payload), c.expected);
    EXPECT_EQ(payload, c.payloadBytes);
}

const std::vector<StreamCase> kCases = {
    {"ThreeFullBlocksAndEnd",
     Join({Data(2048, 1), Data(2048, 2), Data(2048, 3), Header(0, 1)}),
     4096,
     {D, D, D, E},
     6144},
    {"SplitIntoSingleBytes", Join({Data(100, 7), Data(5, 8), Header(0, 1)}), 1, {D, D, E}, 105},
    {"OnlyEnd", Header(0, 1), 4096, {E}, 0},
    {"EndIgnoresItsLength", Join({Header(999999, 1), Data(4, 1)}), 4096, {E}, 0},
    {"EmptyDataBlock", Join({Data(0, 0), Header(0, 1)}), 4096, {D, E}, 0},
    {"BusyFirst", Join({Header(0, 6), Data(10, 1)}), 4096, {BackupBlockKind::kBusy}, 0},
    {"UnknownTypeSkipsOnlyItsHeader",
     Join({Header(100, 5), Data(3, 1), Header(0, 1)}),
     4096,
     {D, E},
     3},
    {"LongestDataBlock", Join({Data(2048, 9), Header(0, 1)}), 4096, {D, E}, 2048},
    {"DataBlockOneByteTooLong",
     Join({Data(2049, 9), Header(0, 1)}),
     4096,
     {BackupBlockKind::kTooLong},
     0},
    {"HostileLength",
     Join({Header(0xFFFFFFFF, 3), Header(0, 1)}),
     4096,
     {BackupBlockKind::kTooLong},
     0},
    {"UnknownRunAtTheBound",
     Join({Repeat(Header(0, 9), maintenance::kMaxUnknownBlockRun), Header(0, 1)}),
     4096,
     {E},
     0},
    {"UnknownRunPastTheBound",
     Join({Repeat(Header(0, 9), maintenance::kMaxUnknownBlockRun + 1), Header(0, 1)}),
     4096,
     {BackupBlockKind::kGarbage},
     0},
    {"UnknownRunResetsAfterData",
     Join({Repeat(Header(0, 9), 10), Data(1, 1), Repeat(Header(0, 9), 10), Header(0, 1)}),
     4096,
     {D, E},
     1},
    {"HttpErrorPageInPlaceOfBlocks",
     Text("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 120\r\n\r\n"
          "<html><body><h1>404 Not Found</h1><p>The requested backup could not be found on "
          "this device.</p></body></html>"),
     4096,
     {BackupBlockKind::kGarbage},
     0},
    {"TruncatedHeader",
     Join({Data(4, 1), Bytes{1, 0, 0}}),
     4096,
     {D, BackupBlockKind::kReadFailed},
     4},
    {"TruncatedPayload",
     Bytes(Join({Header(100, 3), Bytes(50, 1)})),
     4096,
     {BackupBlockKind::kReadFailed},
     0},
    {"ClosedWithoutEnd", Join({Data(16, 1)}), 4096, {D, BackupBlockKind::kReadFailed}, 16},
    {"NothingAtAll", {}, 4096, {BackupBlockKind::kReadFailed}, 0},
};

INSTANTIATE_TEST_SUITE_P(Streams, BackupBlockStreamTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StreamCase>& instance) {
                             return std::string(instance.param.name);
                         });

TEST(BackupBlockReaderTest, CancelIsAskedBeforeAndAfterEachHeader) {
    const Bytes stream = Join({Data(4, 1), Data(4, 2), Header(0, 1)});
    for (int cancelAt = 0; cancelAt < 4; ++cancelAt) {
        std::size_t at = 0;
        BackupBlockReader reader([&](std::span<std::uint8_t> buffer) {
            const std::size_t n = std::min(buffer.size(), stream.size() - at);
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
            at += n;
            return n == 0 ? -1 : static_cast<int>(n);
        });
        int asked = 0;
        const auto cancelled = [&] { return asked++ == cancelAt; };
        std::vector<BackupBlockKind> kinds;
        do {
            kinds.push_back(reader.Next(cancelled));
        } while (kinds.back() == BackupBlockKind::kData);
        EXPECT_EQ(kinds.back(), BackupBlockKind::kCancelled) << "cancel at ask " << cancelAt;
        EXPECT_EQ(kinds.size(), static_cast<std::size_t>(cancelAt / 2 + 1)) << cancelAt;
    }
}

// Payloads are handed out in place in the read-ahead buffer or copied when
// a block straddles two reads; either way each block's bytes are exactly its
// own, whatever the buffer's size and however the source cuts the stream.
struct ReadAheadCase {
    std::size_t readAhead;
    std::size_t chunk;  // the most bytes one read hands out
};

class BackupBlockReadAheadTest : public ::testing::TestWithParam<ReadAheadCase> {};

TEST_P(BackupBlockReadAheadTest, EveryPayloadIsItsBlocksBytes) {
    const ReadAheadCase& c = GetParam();
    const std::vector<std::uint32_t> lengths = {2048, 1, 0, 2047, 2048, 5, 2048, 13, 2048, 2048};
    Bytes stream;
    std::vector<Bytes> payloads;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        Bytes payload(lengths[i]);
        for (std::size_t j = 0; j < payload.size(); ++j) {
            payload[j] = static_cast<std::uint8_t>(i * 37 + j * 11);
        }
        stream = Join({stream, Header(lengths[i], 3), payload});
        payloads.push_back(std::move(payload));
        if (i == 4) {
            stream = Join({stream, Header(9, 77)});  // an unknown header: its length is no payload
        }
    }
    stream = Join({stream, Header(0, 1)});

    std::size_t at = 0;
    std::size_t reads = 0;
    BackupBlockReader reader(
        [&](std::span<std::uint8_t> buffer) {
            const std::size_t n = std::min({buffer.size(), c.chunk, stream.size() - at});
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
            at += n;
            ++reads;
            return n == 0 ? -1 : static_cast<int>(n);
        },
        c.readAhead);
    for (const Bytes& payload : payloads) {
        ASSERT_EQ(reader.Next(), BackupBlockKind::kData);
        const std::span<const std::uint8_t> got = reader.Payload();
        EXPECT_EQ(Bytes(got.begin(), got.end()), payload);
    }
    EXPECT_EQ(reader.Next(), BackupBlockKind::kEnd);
    EXPECT_EQ(reader.BytesRead(), stream.size());
    // Every read takes as much as the buffer and the source allow.
    const std::size_t perRead = std::min(std::max<std::size_t>(c.readAhead, 1), c.chunk);
    EXPECT_EQ(reads, (stream.size() + perRead - 1) / perRead);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BackupBlockReadAheadTest,
                         ::testing::ValuesIn(std::vector<ReadAheadCase>{{1, 65536},
                                                                        {7, 3},
                                                                        {2048, 65536},
                                                                        {2056, 65536},
                                                                        {2057, 1000},
                                                                        {4100, 65536},
                                                                        {4100, 4099},
                                                                        {65536, 1},
                                                                        {65536, 3},
                                                                        {65536, 2056},
                                                                        {65536, 65536}}),
                         [](const ::testing::TestParamInfo<ReadAheadCase>& instance) {
                             return "ReadAhead" + std::to_string(instance.param.readAhead) +
                                    "Chunk" + std::to_string(instance.param.chunk);
                         });

TEST(BackupBlockReaderTest, ASourceThatClaimsMoreThanAskedIsAFailure) {
    BackupBlockReader reader(
        [](std::span<std::uint8_t> buffer) { return static_cast<int>(buffer.size()) + 1; });
    EXPECT_EQ(reader.Next(), BackupBlockKind::kReadFailed);
}

}  // namespace
