#include "media/jpeg_codec_adapter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "platform/byte_order.h"
#include "platform/jpeg_codec.h"
#include "platform/posix_io.h"

namespace {

constexpr std::array<std::uint8_t, 4> kDeviceJpegStart = {0xFF, 0xD8, 0xFF, 0xDB};

// ------------------------------------------------------------------ bitmaps

constexpr std::size_t kBitmapHeaderBytes = 54;  // file header 14 + info header 40

// A 24-bit uncompressed bitmap file of the picture. Bitmap rows are padded
// to a multiple of 4 bytes while our pictures have no gaps, so rows are
// copied one by one; both are bottom-up, blue-green-red, so the bytes of a
// row stay as they are. Empty when the file would outgrow the format's
// 32-bit size field.
std::vector<std::uint8_t> BuildBitmapFile(std::span<const std::uint8_t> picture, int width,
                                          int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    const std::size_t fileBytes = kBitmapHeaderBytes + stride * static_cast<std::size_t>(height);
    if (fileBytes > std::numeric_limits<std::uint32_t>::max()) {
        return {};
    }
    std::vector<std::uint8_t> file(fileBytes, 0);
    std::uint8_t* h = file.data();
    platform::StoreLe16(file, 0, 0x4D42);  // "BM"
    platform::StoreLe32(file, 2, static_cast<std::uint32_t>(fileBytes));
    platform::StoreLe32(file, 10, static_cast<std::uint32_t>(kBitmapHeaderBytes));
    platform::StoreLe32(file, 14, 40);
    platform::StoreLe32(file, 18, static_cast<std::uint32_t>(width));
    platform::StoreLe32(file, 22, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
    platform::StoreLe16(file, 26, 1);                                   // planes
    platform::StoreLe16(file, 28, 24);                                  // bits per pixel
    // Compression, image size, resolutions and colour counts stay 0.
    for (int row = 0; row < height; ++row) {
        std::memcpy(h + kBitmapHeaderBytes + static_cast<std::size_t>(row) * stride,
                    picture.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    }
    return file;
}

// ------------------------------------------------------------------ files

enum class CreateResult { kWritten, kExists, kFailed };

// Creates `path` only if nothing by that name exists, and writes `bytes` to
// it. A file that could not be written whole is removed again: a snapshot
// either exists complete or not at all.
CreateResult CreateNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
    }
    const bool written = platform::WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return CreateResult::kFailed;
    }
    return CreateResult::kWritten;
}

// Writes the snapshot under its time name, or the first free suffixed name
// when snapshots were already taken within the same second.
bool WriteSnapshot(const std::string& folder, const std::string& name, const char* extension,
                   std::span<const std::uint8_t> bytes) {
    for (int n = 1; n <= kMaxSnapshotSuffix; ++n) {
        std::string file = name;
        if (n > 1) {
            file += '_';
            file += std::to_string(n);
        }
        file += extension;
        switch (CreateNewFile(std::filesystem::path(folder + file), bytes)) {
            case CreateResult::kWritten:
                return true;
            case CreateResult::kFailed:
                return false;
            case CreateResult::kExists:
                break;
        }
    }
    return false;
}

}  // namespace

int IsJpegStart(std::span<const std::uint8_t> image) {
    if (image.size() < kDeviceJpegStart.size()) {
        return 0;
    }
    return std::equal(kDeviceJpegStart.begin(), kDeviceJpegStart.end(), image.begin()) ? 1 : 0;
}

int DecodeJpegFrame(std::span<const std::uint8_t> jpeg, std::span<std::uint8_t> picture,
                    std::uint16_t& width, std::uint16_t& height) {
    // One decoder per thread, made on the thread's first frame and kept until
    // the thread ends: the compose thread decodes every frame without
    // setting anything up again.
    thread_local platform::JpegDecoder decoder;

    const std::size_t capacity = std::min(picture.size(), kMaxDecodedPictureBytes);
    platform::JpegHeader header;
    const platform::JpegDecodeResult result =
        decoder.DecodeBgrBottomUp(jpeg, picture.first(capacity), &header);
    switch (result) {
        case platform::JpegDecodeResult::kOk:
        case platform::JpegDecodeResult::kUnsupportedLayout:
        case platform::JpegDecodeResult::kCorrupt:
            // The header fitted: both sides are within the slot, far below
            // 65,536.
            width = static_cast<std::uint16_t>(header.width);
            height = static_cast<std::uint16_t>(header.height);
            break;
        case platform::JpegDecodeResult::kBadHeader:
        case platform::JpegDecodeResult::kTooLarge:
        case platform::JpegDecodeResult::kNoCodec:
            break;
    }
    return result == platform::JpegDecodeResult::kOk ? 1 : 0;
}

std::string TwoDigitText(int n) {
    const int rest = n % 100;
    return rest < 10 ? "0" + std::to_string(rest) : std::to_string(rest);
}

std::string SnapshotFileName(const std::tm& localTime) {
    // tm_year counts from 1900, which ends in 00: its last two digits are
    // the calendar year's (taken modulo 100 first, so nothing overflows).
    const int year = (localTime.tm_year % 100 + 100) % 100;
    return TwoDigitText(year) + TwoDigitText(localTime.tm_mon + 1) +
           TwoDigitText(localTime.tm_mday) + "T" + TwoDigitText(localTime.tm_hour) +
           TwoDigitText(localTime.tm_min) + TwoDigitText(localTime.tm_sec);
}

int SaveSnapshotFile(std::string& folder, std::span<const std::uint8_t> picture, int width,
                     int height, int jpegFlag) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return 0;
    }
    return SaveSnapshotFile(folder, picture, width, height, jpegFlag, local);
}

int SaveSnapshotFile(std::string& folder, std::span<const std::uint8_t> picture, int width,
                     int height, int jpegFlag, const std::tm& localTime) {
    // An empty setting would put the file at the root of the file system.
    if (folder.empty()) {
        return 0;
    }
    if (folder.back() != '/') {
        folder.push_back('/');
    }
    const std::size_t bytes = platform::BgrPictureBytes(width, height);
    if (bytes == 0 || picture.size() < bytes) {
        return 0;
    }
    const std::string name = SnapshotFileName(localTime);

    if (jpegFlag != 0) {
        thread_local platform::JpegEncoder encoder;
        const std::span<const std::uint8_t> jpeg =
            encoder.EncodeBgrBottomUp(picture, width, height, kSnapshotJpegQuality);
        if (jpeg.empty()) {
            return 0;
        }
        return WriteSnapshot(folder, name, ".jpg", jpeg) ? 1 : 0;
    }

    const std::vector<std::uint8_t> bitmap = BuildBitmapFile(picture, width, height);
    if (bitmap.empty()) {
        return 0;
    }
    return WriteSnapshot(folder, name, ".bmp", bitmap) ? 1 : 0;
}
