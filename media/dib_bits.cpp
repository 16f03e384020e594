#include "media/dib_bits.h"

#include <cstddef>

std::optional<platform::BitmapInfoHeader> DibHeader(int width, int height, int bitCount) {
    if (width <= 0 || height <= 0 || width > kMaxDibSide || height > kMaxDibSide ||
        (bitCount != 24 && bitCount != 32)) {
        return std::nullopt;
    }
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
    if (stride * static_cast<std::uint64_t>(height) > platform::AviFileWriter::kMaxRiffBytes) {
        return std::nullopt;  // could never go into a movie
    }
    platform::BitmapInfoHeader header;
    header.width = width;
    header.height = height;
    header.bitCount = static_cast<std::uint16_t>(bitCount);
    header.sizeImage = static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(height));
    return header;
}

bool ImageToDibBits(const QImage& image, const platform::BitmapInfoHeader& header,
                    std::span<std::uint8_t> bits) {
    if (image.isNull() || image.width() != header.width || image.height() != header.height ||
        (header.bitCount != 24 && header.bitCount != 32) || bits.size() < header.sizeImage) {
        return false;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const std::size_t bytesPerPixel = header.bitCount / 8u;
    const std::size_t stride = header.sizeImage / static_cast<std::size_t>(header.height);
    for (int y = 0; y < header.height; ++y) {
        const auto* source =
            reinterpret_cast<const QRgb*>(rgb.constScanLine(header.height - 1 - y));
        std::uint8_t* row = bits.data() + static_cast<std::size_t>(y) * stride;
        std::size_t x = 0;
        for (; x < static_cast<std::size_t>(header.width); ++x) {
            std::uint8_t* pixel = row + x * bytesPerPixel;
            pixel[0] = static_cast<std::uint8_t>(qBlue(source[x]));
            pixel[1] = static_cast<std::uint8_t>(qGreen(source[x]));
            pixel[2] = static_cast<std::uint8_t>(qRed(source[x]));
            if (bytesPerPixel == 4) {
                pixel[3] = 0;
            }
        }
        for (std::size_t pad = x * bytesPerPixel; pad < stride; ++pad) {
            row[pad] = 0;
        }
    }
    return true;
}
