#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include "tests/support/file_size_limit.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "media/jpeg_codec_adapter.h"
#include "platform/jpeg_codec.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tools/streamgen/device_jpeg.h"

namespace {

using test_support::ReadBytes;

namespace fs = std::filesystem;

std::uint32_t Little(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | bytes.at(at + static_cast<std::size_t>(i));
    }
    return value;
}

std::vector<std::uint8_t> TestPicture(int width, int height) {
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
    streamgen::PaintTestPicture(picture, width, height, 42);
    return picture;
}

// 3 December 2007, 15:45:02.
std::tm SnapshotTime() {
    std::tm t{};
    t.tm_year = 107;
    t.tm_mon = 11;
    t.tm_mday = 3;
    t.tm_hour = 15;
    t.tm_min = 45;
    t.tm_sec = 2;
    return t;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Snapshot : public ::testing::Test {
protected:
    test_support::TempDir m_dir;
    std::string m_folder = m_dir.path().string();  // no final '/'
};

TEST_F(Snapshot, JpegLandsInTheFolderAndReadsBack) {
    const auto picture = TestPicture(320, 240);
    ASSERT_EQ(SaveSnapshotFile(m_folder, picture, 320, 240, 1, SnapshotTime()), 1);
    EXPECT_EQ(m_folder, m_dir.path().string() + "/") << "the setting keeps the added separator";

    const auto jpeg = ReadBytes(m_dir / "071203T154502.jpg");
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    platform::JpegDecoder decoder;
    std::vector<std::uint8_t> decoded(picture.size());
    platform::JpegHeader header;
    ASSERT_EQ(decoder.DecodeBgrBottomUp(jpeg, decoded, &header), platform::JpegDecodeResult::kOk);
    EXPECT_EQ(header.width, 320);
    EXPECT_EQ(header.height, 240);
    double sum = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        sum += std::abs(decoded[i] - picture[i]);
    }
    EXPECT_LT(sum / static_cast<double>(picture.size()), 6.0);
}

struct BitmapCase {
    int width;
    int height;
    std::uint32_t fileBytes;
};

class BitmapSnapshot : public Snapshot, public ::testing::WithParamInterface<BitmapCase> {};

TEST_P(BitmapSnapshot, IsA24BitBitmapWithPaddedBottomUpRows) {
    const auto [width, height, fileBytes] = GetParam();
    const auto picture = TestPicture(width, height);
    ASSERT_EQ(SaveSnapshotFile(m_folder, picture, width, height, 0, SnapshotTime()), 1);
    const auto bmp = ReadBytes(m_dir / "071203T154502.bmp");
    ASSERT_EQ(bmp.size(), fileBytes);

    const struct {
        std::size_t at;
        int size;
        std::uint32_t value;
    } fields[] = {
        {0, 2, 0x4D42},
        {2, 4, fileBytes},
        {6, 2, 0},
        {8, 2, 0},
        {10, 4, 54},
        {14, 4, 40},
        {18, 4, static_cast<std::uint32_t>(width)},
        {22, 4, static_cast<std::uint32_t>(height)},
        {26, 2, 1},
        {28, 2, 24},
        {30, 4, 0},
        {34, 4, 0},
        {38, 4, 0},
        {42, 4, 0},
        {46, 4, 0},
        {50, 4, 0},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(Little(bmp, f.at, f.size), f.value) << "field at offset " << f.at;
    }

    // Rows keep their order (both bottom-up) and are padded with zeros.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    for (int row = 0; row < height; ++row) {
        const auto* stored = bmp.data() + 54 + row * stride;
        ASSERT_TRUE(std::equal(stored, stored + rowBytes, picture.data() + row * rowBytes))
            << "row " << row;
        for (std::size_t pad = rowBytes; pad < stride; ++pad) {
            ASSERT_EQ(stored[pad], 0) << "row " << row;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BitmapSnapshot,
                         ::testing::Values(BitmapCase{320, 240, 230'454},
                                           BitmapCase{704, 480, 1'013'814},
                                           // 7 × 3 = 21 bytes a row, padded to 24.
                                           BitmapCase{7, 3, 54 + 24 * 3}, BitmapCase{1, 1, 54 + 4}),
                         [](const auto& instance) {
                             return std::to_string(instance.param.width) + "x" +
                                    std::to_string(instance.param.height);
                         });

class SameSecond : public Snapshot, public ::testing::WithParamInterface<int> {};

TEST_P(SameSecond, EverySnapshotKeepsItsOwnFile) {
    const int jpegFlag = GetParam();
    const std::string ext = jpegFlag != 0 ? ".jpg" : ".bmp";
    const auto first = TestPicture(64, 48);
    std::vector<std::uint8_t> second(first.size(), 0x33);
    std::vector<std::uint8_t> third(first.size(), 0x77);

    ASSERT_EQ(SaveSnapshotFile(m_folder, first, 64, 48, jpegFlag, SnapshotTime()), 1);
    const auto firstFile = ReadBytes(m_dir / ("071203T154502" + ext));
    ASSERT_EQ(SaveSnapshotFile(m_folder, second, 64, 48, jpegFlag, SnapshotTime()), 1);
    ASSERT_EQ(SaveSnapshotFile(m_folder, third, 64, 48, jpegFlag, SnapshotTime()), 1);

    EXPECT_EQ(FilesIn(m_dir.path()),
              (std::vector<std::string>{"071203T154502" + ext, "071203T154502_2" + ext,
                                        "071203T154502_3" + ext}));
    EXPECT_EQ(ReadBytes(m_dir / ("071203T154502" + ext)), firstFile)
        << "first snapshot overwritten";
    EXPECT_NE(ReadBytes(m_dir / ("071203T154502_2" + ext)),
              ReadBytes(m_dir / ("071203T154502_3" + ext)));
}

INSTANTIATE_TEST_SUITE_P(Formats, SameSecond, ::testing::Values(0, 1), [](const auto& instance) {
    return instance.param != 0 ? "jpeg" : "bitmap";
});

TEST_F(Snapshot, GivesUpWhenEverySuffixIsTaken) {
    const auto picture = TestPicture(16, 16);
    std::ofstream(m_dir / "071203T154502.bmp") << "x";
    for (int n = 2; n <= kMaxSnapshotSuffix; ++n) {
        std::ofstream(m_dir / ("071203T154502_" + std::to_string(n) + ".bmp")) << "x";
    }
    EXPECT_EQ(SaveSnapshotFile(m_folder, picture, 16, 16, 0, SnapshotTime()), 0);
    EXPECT_EQ(ReadBytes(m_dir / "071203T154502.bmp"), std::vector<std::uint8_t>{'x'});
}

TEST_F(Snapshot, FolderThatCannotTakeTheFileFails) {
    const auto picture = TestPicture(32, 16);
    std::ofstream(m_dir / "plain-file") << "x";
    for (const std::string& folder :
         {m_dir.path().string() + "/missing/deeper", m_dir.path().string() + "/plain-file"}) {
        for (int jpegFlag : {0, 1}) {
            std::string setting = folder;
            EXPECT_EQ(SaveSnapshotFile(setting, picture, 32, 16, jpegFlag, SnapshotTime()), 0)
                << folder << " flag " << jpegFlag;
        }
    }
    std::string empty;
    EXPECT_EQ(SaveSnapshotFile(empty, picture, 32, 16, 1, SnapshotTime()), 0);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(FilesIn(m_dir.path()), std::vector<std::string>{"plain-file"});
}

TEST_F(Snapshot, PictureShorterThanItsSizeIsRefused) {
    const auto picture = TestPicture(32, 16);
    const std::span<const std::uint8_t> shorter(picture.data(), picture.size() - 1);
    EXPECT_EQ(SaveSnapshotFile(m_folder, shorter, 32, 16, 1, SnapshotTime()), 0);
    EXPECT_EQ(SaveSnapshotFile(m_folder, shorter, 32, 16, 0, SnapshotTime()), 0);
    EXPECT_EQ(SaveSnapshotFile(m_folder, picture, 0, 16, 0, SnapshotTime()), 0);
    EXPECT_TRUE(FilesIn(m_dir.path()).empty());
}

TEST_F(Snapshot, WriteCutShortFailsAndLeavesNoFile) {
    const auto picture = TestPicture(320, 240);
    for (int jpegFlag : {0, 1}) {
        int result = -1;
        {
            test_support::ScopedFileSizeLimit cap(1024);
            result = SaveSnapshotFile(m_folder, picture, 320, 240, jpegFlag, SnapshotTime());
        }
        EXPECT_EQ(result, 0) << "flag " << jpegFlag;
    }
    EXPECT_TRUE(FilesIn(m_dir.path()).empty());
}

TEST_F(Snapshot, CurrentTimeNamesTheFile) {
    const auto picture = TestPicture(16, 8);
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(SaveSnapshotFile(m_folder, picture, 16, 8, 1), 1);
    const std::time_t after = std::time(nullptr);
    const auto files = FilesIn(m_dir.path());
    ASSERT_EQ(files.size(), 1u);
    // The name is the local time of some second between before and after.
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        matched = matched || files[0] == SnapshotFileName(local) + ".jpg";
    }
    EXPECT_TRUE(matched) << files[0];
}

}  // namespace
