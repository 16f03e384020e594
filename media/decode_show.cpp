#include "media/decode_show.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <span>
#include <string>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/kernel_message.h"
#include "core/net/ping_host.h"
#include "core/state/app_global_state.h"
#include "media/frame_header.h"
#include "media/jpeg_codec_adapter.h"
#include "media/media_state.h"
#include "media/pre_alarm_ring.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace {

// The system buffers hold two socket slots and one image slot (and one JPEG
// copy slot beside it); the ring counts of the global state never reach
// past them.
constexpr std::size_t kSocketSlotsInBuffer = kSocketBufferBytes / kSocketSlotBytes;
constexpr std::size_t kImageSlotsInBuffer = 1;

// Pacing only holds frames whose spacing is shorter than this (ms).
constexpr std::uint32_t kLongestPacedSpacing = 200;

std::array<std::atomic<std::uint32_t>, kImageSlotsInBuffer> dw_FrameSpacing{};

std::size_t SocketSlots(const AppGlobalState& app) {
    return std::clamp<std::size_t>(app.w_SocketSlots, 1, kSocketSlotsInBuffer);
}

std::size_t ImageSlots(const AppGlobalState& app) {
    return std::clamp<std::size_t>(app.w_ImageSlots, 1, kImageSlotsInBuffer);
}

bool ComposeResourcesExist(const AppGlobalState& app) {
    return app.h_EndofGetJpegImageEvent && app.h_SocketFilledSem && app.h_SocketFreeSem &&
           app.h_ImageFreeSem && app.JPEGImageBufferRelSem && app.lp_SocketBuffer &&
           app.lp_FrameHeaderTable && app.lp_JpegCopyBuffer && app.lp_ImageBuffer;
}

bool ShowResourcesExist(const AppGlobalState& app) {
    return app.h_EndofShowImageEvent && app.h_StartToShowImageEvent &&
           app.h_FinishShowImageJobEvent && app.JPEGImageBufferRelSem && app.h_ImageFreeSem &&
           app.lp_ImageBuffer;
}

// Waits for `object` or the end event; true only for `object`. A stop
// request of the thread ends the wait as well.
bool WaitUnlessEnded(platform::Waitable& endEvent, platform::Waitable& object) {
    return platform::WaitForAny({&endEvent, &object}, platform::kInfinite) == 1;
}

}  // namespace

std::uint32_t FrameSpacing(std::uint32_t previousTimeValue, std::uint32_t timeValue) {
    if (previousTimeValue == 0)
        return 0;
    // The signed difference wraps like the device's 32-bit counter; its
    // magnitude fits 32 bits unsigned even for the most negative value.
    const auto difference = static_cast<std::int32_t>(timeValue - previousTimeValue);
    const auto wide = static_cast<std::int64_t>(difference);
    return static_cast<std::uint32_t>(wide < 0 ? -wide : wide);
}

std::uint32_t StoredFrameSpacing(std::size_t slot) {
    return slot < dw_FrameSpacing.size() ? dw_FrameSpacing[slot].load() : 0;
}

std::uint32_t Jpeg_Compose_Image_Data_Thread() {
    if (g_lpApp == nullptr)
        return 0;
    AppGlobalState& app = *g_lpApp;
    if (!ComposeResourcesExist(app))
        return 0;
    MediaState& media = GetMediaState();
    platform::Waitable& endEvent = *app.h_EndofGetJpegImageEvent;
    const std::size_t socketSlots = SocketSlots(app);
    const std::size_t imageSlots = ImageSlots(app);

    std::uint32_t previousTimeValue = 0;
    long consumedSlots = 0;
    // Frames that arrive but cannot be shown (larger than an image slot,
    // components the decoder refuses, damaged data) are dropped; the
    // operator is told once per run of them instead of seeing the last
    // status ("Start to get image!!") while nothing appears.
    bool unshowableStreak = false;
    for (;;) {
        if (!WaitUnlessEnded(endEvent, *app.h_SocketFilledSem))
            return 0;

        const std::size_t socketIndex = app.w_SocketReadIndex % socketSlots;
        FrameHeaderInfo header;
        std::memcpy(&header, app.lp_FrameHeaderTable.get() + socketIndex * kFrameHeaderInfoBytes,
                    sizeof header);
        const std::span<const std::uint8_t> socketSlot(
            app.lp_SocketBuffer.get() + socketIndex * kSocketSlotBytes, kSocketSlotBytes);
        // The receive thread never hands over more than a slot; a record
        // that says otherwise is not decoded.
        const bool fits = header.dwImageLength <= kSocketSlotBytes;
        const std::size_t imageLength = fits ? header.dwImageLength : 0;
        const bool videoLoss = header.byVideoLoss != 0;

        const std::uint32_t spacing = FrameSpacing(previousTimeValue, header.dwTimeValue);
        previousTimeValue = header.dwTimeValue;

        const std::size_t copyIndex = app.w_TirelMp4DecodeIndex % imageSlots;
        const std::span<std::uint8_t> jpegCopy(
            app.lp_JpegCopyBuffer.get() + copyIndex * kImageSlotBytes, kImageSlotBytes);
        if (!videoLoss)
            std::memcpy(jpegCopy.data(), socketSlot.data(), imageLength);

        app.w_SocketReadIndex = static_cast<std::uint16_t>((socketIndex + 1) % socketSlots);
        ++consumedSlots;

        if (!WaitUnlessEnded(endEvent, *app.h_ImageFreeSem))
            return 0;

        const std::size_t imageIndex = app.w_ImageWriteIndex % imageSlots;
        const std::span<std::uint8_t> image(app.lp_ImageBuffer.get() + imageIndex * kImageSlotBytes,
                                            kImageSlotBytes);
        bool decoded = false;
        if (!videoLoss) {
            app.f_VideoLoss = false;
            std::uint16_t width = app.w_ImageWidth;
            std::uint16_t height = app.w_ImageHeight;
            decoded =
                fits && DecodeJpegFrame(jpegCopy.first(imageLength), image, width, height) == 1;
            app.w_ImageWidth = width;
            app.w_ImageHeight = height;
        } else {
            app.f_VideoLoss = true;
            const std::uint16_t width = header.byQVGA != 0 ? kVideoLossQvgaWidth : kVideoLossWidth;
            const std::uint16_t height =
                app.b_VideoMode == 0 ? kVideoLossHeight : kVideoLossTallHeight;
            app.w_ImageWidth = width;
            app.w_ImageHeight = height;
            std::memset(image.data(), 0, static_cast<std::size_t>(width) * height * 3);
            decoded = true;
        }

        media.C_ViewModeSelector.UpdatePictureSize(app.w_ImageWidth, app.w_ImageHeight);
        LiveView().SetCurrentChannel(header.byChannelIndex);

        if (!decoded && !unshowableStreak) {
            WriteTraceLine("frame cannot be shown: " + std::to_string(app.w_ImageWidth.load()) +
                           "x" + std::to_string(app.w_ImageHeight.load()) + ", " +
                           std::to_string(header.dwImageLength) + " bytes");
            LiveView().SetStatusText("The picture cannot be shown!!");
        }
        unshowableStreak = !decoded;
        if (!decoded) {
            app.h_ImageFreeSem->Release();
        } else {
            // A video-loss frame goes to the recorders with the bytes that
            // came with it, never with the previous frame's picture.
            const std::span<const std::uint8_t> jpeg =
                videoLoss ? socketSlot.first(imageLength)
                          : std::span<const std::uint8_t>(jpegCopy.first(imageLength));
            if (FeedPreAlarmRing(jpeg, header.dwTimeValue, videoLoss) == FeedResult::Ended)
                return 0;
            dw_FrameSpacing[imageIndex] = spacing;
            app.w_ImageWriteIndex = static_cast<std::uint16_t>((imageIndex + 1) % imageSlots);
            app.JPEGImageBufferRelSem->Release();
        }

        app.w_TirelMp4DecodeIndex = static_cast<std::uint16_t>((copyIndex + 1) % imageSlots);
        app.h_SocketFreeSem->Release(consumedSlots);
        consumedSlots = 0;
    }
}

std::uint32_t Jpeg_Show_Image_Data_Thread() {
    if (g_lpApp == nullptr)
        return 0;
    AppGlobalState& app = *g_lpApp;
    if (!ShowResourcesExist(app))
        return 0;
    platform::Waitable& endEvent = *app.h_EndofShowImageEvent;
    CFrameTimer& timer = GetMediaState().C_FrameTimer;
    const std::size_t imageSlots = ImageSlots(app);

    if (!WaitUnlessEnded(endEvent, *app.h_StartToShowImageEvent))
        return 0;

    std::size_t readIndex = 0;
    std::uint32_t lastPacedTick = 0;
    bool held = false;
    std::uint32_t heldSpacing = 0;
    for (;;) {
        const int tick = timer.WaitTick();
        if (!held) {
            if (!WaitUnlessEnded(endEvent, *app.JPEGImageBufferRelSem))
                return 0;
            heldSpacing = StoredFrameSpacing(readIndex);
            held = true;
        }
        if (tick == 0) {
            const std::uint32_t now = platform::TickCount();
            if (lastPacedTick == 0)
                lastPacedTick = now;
            if (heldSpacing != 0 && heldSpacing < kLongestPacedSpacing &&
                now < lastPacedTick + heldSpacing) {
                continue;
            }
            lastPacedTick = now;
        }

        app.dw_FrameCount.fetch_add(1);
        if (app.f_FirstFrame)
            app.f_FirstFrame = false;
        app.lp_CurrentImage = app.lp_ImageBuffer.get() + readIndex * kImageSlotBytes;
        readIndex = (readIndex + 1) % imageSlots;
        held = false;
        // Without a kernel-message thread nobody would ever draw the frame.
        if (!PostKernelMessage(kDrawFrameMessage, 0, 0))
            return 0;

        if (!WaitUnlessEnded(endEvent, *app.h_FinishShowImageJobEvent))
            return 0;
        app.h_ImageFreeSem->Release();
    }
}

// ---- byte and picture helpers ------------------------------------------------

void PutBigEndian32(std::span<std::uint8_t, 4> out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

void SwapByteOrder32(std::uint32_t& value) {
    value =
        (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

bool WriteJpegFrameSize(std::span<std::uint8_t> jpeg, std::uint16_t height, std::uint16_t width) {
    // FF C0, segment length (2), precision (1), then height and width.
    constexpr std::size_t kSearchBytes = 100;
    constexpr std::size_t kHeightAt = 5;
    constexpr std::size_t kFieldsEnd = 9;
    const std::size_t searched = std::min(jpeg.size(), kSearchBytes);
    for (std::size_t at = 0; at < searched && at + 1 < jpeg.size(); ++at) {
        if (jpeg[at] != 0xFF || jpeg[at + 1] != 0xC0) {
            continue;
        }
        if (jpeg.size() - at < kFieldsEnd) {
            return false;
        }
        std::uint8_t* fields = jpeg.data() + at + kHeightAt;
        fields[0] = static_cast<std::uint8_t>(height >> 8);
        fields[1] = static_cast<std::uint8_t>(height);
        fields[2] = static_cast<std::uint8_t>(width >> 8);
        fields[3] = static_cast<std::uint8_t>(width);
        return true;
    }
    return false;
}

bool SetImageRingFrameSize(std::uint16_t height, std::uint16_t width) {
    if (g_lpApp == nullptr || !g_lpApp->lp_ImageBuffer) {
        return false;
    }
    return WriteJpegFrameSize(std::span(g_lpApp->lp_ImageBuffer.get(), kImageSlotBytes), height,
                              width);
}

std::uint16_t InternetChecksumNetworkOrder(std::span<const std::uint8_t> bytes) {
    const std::uint16_t checksum = InternetChecksum(bytes);
    const std::array<std::uint8_t, 2> wire{static_cast<std::uint8_t>(checksum >> 8),
                                           static_cast<std::uint8_t>(checksum & 0xFF)};
    std::uint16_t native = 0;
    std::memcpy(&native, wire.data(), sizeof native);
    return native;
}

bool DoubleLines(std::span<const std::uint8_t> source, std::size_t rowBytes, std::size_t rows,
                 std::span<std::uint8_t> target) {
    if (rowBytes != 0 && rows > source.size() / rowBytes) {
        return false;
    }
    const std::size_t fieldBytes = rows * rowBytes;
    if (fieldBytes > target.size() / 2) {
        return false;
    }
    const auto row = [&](std::size_t k) { return source.data() + k * rowBytes; };
    for (std::size_t k = 0; k < rows; ++k) {
        std::uint8_t* even = target.data() + 2 * k * rowBytes;
        std::uint8_t* odd = even + rowBytes;
        std::memcpy(even, row(k), rowBytes);
        if (k + 1 == rows) {
            std::memcpy(odd, row(k), rowBytes);
        } else if (k < 2 || k + 3 >= rows) {
            const std::uint8_t* a = row(k);
            const std::uint8_t* b = row(k + 1);
            for (std::size_t i = 0; i < rowBytes; ++i) {
                odd[i] = static_cast<std::uint8_t>((a[i] + b[i]) / 2);
            }
        } else {
            // The weights times 50 are 4, -11, 32, 32, -11, 4 (summing to
            // 50), so the filter runs in integers: no rounding drift and the
            // same result on every machine.
            const std::uint8_t* r[6] = {row(k - 2), row(k - 1), row(k),
                                        row(k + 1), row(k + 2), row(k + 3)};
            for (std::size_t i = 0; i < rowBytes; ++i) {
                const int sum = 4 * r[0][i] - 11 * r[1][i] + 32 * r[2][i] + 32 * r[3][i] -
                                11 * r[4][i] + 4 * r[5][i];
                // Rounded half up; a negative sum clamps to 0.
                const int scaled = sum < 0 ? 0 : (sum + 25) / 50;
                odd[i] = static_cast<std::uint8_t>(std::min(scaled, 255));
            }
        }
    }
    return true;
}

std::array<std::uint16_t, 4> SubtractSaturatingU16x4(const std::array<std::uint16_t, 4>& a,
                                                     const std::array<std::uint16_t, 4>& b) {
    std::array<std::uint16_t, 4> result{};
    for (std::size_t lane = 0; lane < result.size(); ++lane) {
        result[lane] = a[lane] > b[lane] ? static_cast<std::uint16_t>(a[lane] - b[lane]) : 0;
    }
    return result;
}

std::uint8_t ClampToByte(std::int16_t value) {
    return static_cast<std::uint8_t>(std::clamp<std::int16_t>(value, 0, 255));
}

std::uint32_t SecondArgument(std::uint32_t /*first*/, std::uint32_t second) {
    return second;
}
