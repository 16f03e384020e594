#pragma once

// Device-independent bitmap bits of a QImage, as movie frames store them:
// bottom row first, blue-green-red(-reserved) pixels, rows padded to a
// multiple of 4 bytes, no colour table.

#include <QImage>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/avi_file_writer.h"

// Largest frame side a movie can state (its frame rectangle is 16-bit).
inline constexpr int kMaxDibSide = 32767;

// The header of a width × height frame with 24 or 32 bits per pixel, or
// nullopt for a size or depth that cannot be one or a frame too large for
// any movie.
std::optional<platform::BitmapInfoHeader> DibHeader(int width, int height, int bitCount);

// Converts `image` into `bits` in the layout `header` describes (its size and
// depth, as from DibHeader). False when the image is null, differs in size
// from the header, or `bits` is shorter than the header's image size.
bool ImageToDibBits(const QImage& image, const platform::BitmapInfoHeader& header,
                    std::span<std::uint8_t> bits);
