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

#include <cstddef>
#include <cstdint>

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
