#pragma once

// The two threads that carry each received frame from the socket slots to
// the screen.
//
// The compose thread takes a filled socket slot, decodes its JPEG into the
// image ring (or paints a black picture for a video-loss frame), updates the
// picture size and view mode, makes the frame's channel current, and feeds
// the frame to the pre-alarm ring and the recorders; then it gives the socket
// slot back. The show thread takes each decoded image, counts it for the
// frame rate and has the kernel-message thread draw it (kernel message 2);
// once the drawing has finished (h_FinishShowImageJobEvent) it gives the
// image slot back.
//
// The ring semaphores, in the order the threads use them:
//   h_SocketFilledSem     receive -> compose, per filled socket slot
//   h_ImageFreeSem        compose waits; show (frame drawn) or compose
//                         (decode failed) releases
//   JPEGImageBufferRelSem compose -> show, per decoded image
//   h_SocketFreeSem       compose -> receive, at the end of each frame
//
// Both threads end when their end event is set (h_EndofGetJpegImageEvent for
// the compose thread, h_EndofShowImageEvent for the show thread) or when they
// are asked to stop; every wait watches both.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Picture sizes of the black video-loss picture.
inline constexpr std::uint16_t kVideoLossWidth = 640;
inline constexpr std::uint16_t kVideoLossQvgaWidth = 320;
inline constexpr std::uint16_t kVideoLossHeight = 228;      // video mode 0
inline constexpr std::uint16_t kVideoLossTallHeight = 276;  // any other video mode

// The distance between two frames' time values: 0 for the first frame of a
// connection (previous 0), else the absolute value of the signed 32-bit
// difference.
std::uint32_t FrameSpacing(std::uint32_t previousTimeValue, std::uint32_t timeValue);

// The spacing stored with the frame in image slot `slot` (0 for a slot past
// the ring).
std::uint32_t StoredFrameSpacing(std::size_t slot);

// The thread routines. They use the shared state of g_lpApp and the media
// state; both return 0.
std::uint32_t Jpeg_Compose_Image_Data_Thread();
std::uint32_t Jpeg_Show_Image_Data_Thread();

// ---- byte and picture helpers ------------------------------------------------
// Small routines of the decode stage that the threads above do not use.

// Stores `value` as four big-endian bytes.
void PutBigEndian32(std::span<std::uint8_t, 4> out, std::uint32_t value);
// Reverses the byte order of `value` in place.
void SwapByteOrder32(std::uint32_t& value);

// Writes `height` and `width` (16 bits each, big-endian) into the first
// start-of-frame marker (FF C0) that begins within the first 100 bytes of
// `jpeg`: the height 5 and the width 7 bytes past the marker. False, and
// nothing written, when there is no such marker or its fields lie beyond
// `jpeg`.
bool WriteJpegFrameSize(std::span<std::uint8_t> jpeg, std::uint16_t height, std::uint16_t width);
// The same on the first slot of the image ring; false while the ring is not
// allocated. Only while the compose thread does not write the ring.
bool SetImageRingFrameSize(std::uint16_t height, std::uint16_t width);

// The Internet checksum (RFC 1071) of `bytes` as it lies in memory in
// network byte order: stored as a native 16-bit value, its bytes are the
// checksum bytes of a packet.
std::uint16_t InternetChecksumNetworkOrder(std::span<const std::uint8_t> bytes);

// Builds a picture of twice the rows of the field `source` (`rows` rows of
// `rowBytes` bytes) into `target`. Even rows are copied; an odd row between
// source rows k and k + 1 is interpolated over the six nearest source rows
// k - 2 ... k + 3 with the weights 0.08, -0.22, 0.64, 0.64, -0.22, 0.08,
// rounded to the nearest integer and clamped to 0...255. Where those rows
// do not all exist (near the top and bottom) the odd row is the average of
// rows k and k + 1 (rounded down), and the last row repeats the last source
// row. False, and nothing written, when `source` holds fewer than
// rows x rowBytes bytes or `target` fewer than twice that.
bool DoubleLines(std::span<const std::uint8_t> source, std::size_t rowBytes, std::size_t rows,
                 std::span<std::uint8_t> target);

// Lane by lane a - b of four unsigned 16-bit lanes, 0 where b is larger.
std::array<std::uint16_t, 4> SubtractSaturatingU16x4(const std::array<std::uint16_t, 4>& a,
                                                     const std::array<std::uint16_t, 4>& b);
// A signed 16-bit value limited to 0...255.
std::uint8_t ClampToByte(std::int16_t value);
// Returns `second`.
std::uint32_t SecondArgument(std::uint32_t first, std::uint32_t second);
