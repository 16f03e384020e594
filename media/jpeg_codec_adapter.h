#pragma once

// The live pipeline's JPEG handling: the start test of a received image, the
// frame decoder of the compose thread, the snapshot writer of the frame
// drawing, and TwoDigitText for file names and status texts.
//
// Pictures are 3 bytes per pixel in blue, green, red order, rows of width × 3
// bytes without gaps, the bottom row first.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>

#include "core/state/app_global_state.h"

// Largest picture the decoder produces: one slot of the image ring
// (enough for 704 × 576 and 720 × 576).
inline constexpr std::size_t kMaxDecodedPictureBytes = kImageSlotBytes;

// JPEG quality and layout of snapshot files: libjpeg's own defaults.
inline constexpr int kSnapshotJpegQuality = 75;

// 1 when the image starts with FF D8 FF DB, the start-of-image marker
// followed at once by a quantisation table, as every image of the device
// does; else 0 (an image with an application segment first, FF D8 FF E0, is
// not one of the device's). Input shorter than four bytes gives 0.
int IsJpegStart(std::span<const std::uint8_t> image);

// Decodes one JPEG image into `picture` (bottom-up, blue-green-red) with the
// calling thread's own decoder and returns 1, or 0 on any failure.
//
// Before anything is decoded, an image whose width × height × 3 exceeds
// `picture` or kMaxDecodedPictureBytes is refused with `width` and `height`
// left as they were, so they never describe a picture larger than a slot.
// Once the header fits, `width` and `height` receive the image's size, also
// when the decode then fails (unsupported components such as CMYK, damaged
// data); the compose thread lays out the view from whatever size is left.
int DecodeJpegFrame(std::span<const std::uint8_t> jpeg, std::span<std::uint8_t> picture,
                    std::uint16_t& width, std::uint16_t& height);

// n modulo 100 (the remainder keeps the sign of n) as text: "0%d" below 10,
// else "%d". 2007 → "07", 5 → "05", 100 → "00".
std::string TwoDigitText(int n);

// The snapshot name for a local time: yymmdd, "T", hhmmss
// (071203T154502 for 3 December 2007, 15:45:02).
std::string SnapshotFileName(const std::tm& localTime);

// Writes the picture (width × height, bottom-up, blue-green-red) to a new
// file in `folder`, named after the current local time, as a JPEG (jpegFlag
// non-zero) or a 24-bit bitmap (jpegFlag 0). Returns 1 on success, 0 on any
// failure (a picture shorter than width × height × 3, a folder that cannot
// take the file, a failed encode, write or close; a partly written file is
// removed).
//
// `folder` is the caller's setting: a final '/' is appended to it in place
// when missing. An empty folder is refused. Files are created exclusively,
// never over an existing one: a second snapshot in the same second is named
// with a suffix, "_2" before the extension, then "_3" and so on up to
// kMaxSnapshotSuffix.
int SaveSnapshotFile(std::string& folder, std::span<const std::uint8_t> picture, int width,
                     int height, int jpegFlag);

// The same for a given local time.
int SaveSnapshotFile(std::string& folder, std::span<const std::uint8_t> picture, int width,
                     int height, int jpegFlag, const std::tm& localTime);

inline constexpr int kMaxSnapshotSuffix = 99;
