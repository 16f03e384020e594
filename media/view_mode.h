#pragma once

// Chooses the main window's layout row and skin from the size of the picture
// the device streams.
//
// The picture-size code (AppGlobalState::b_ViewSize) says which picture the
// device sends: 0 full NTSC, 1 half NTSC, 2 full PAL, 3 half PAL, 4 quarter
// NTSC, 5 quarter PAL (a Q9C0 camera: 0 is 640 x 480, 1 is 320 x 240, 4 is
// 160 x 120). The layout row (AppGlobalState::w_ViewMode) indexes the main
// window's layout table; b_ViewSizeOld is the code the window was last laid
// out for.
//
// Threads: ResetViewMode runs on the GUI thread when the main window opens,
// UpdatePictureSize on the compose thread for every frame; the two are
// serialised by the selector's own lock. The main-window calls made from
// UpdatePictureSize (through LiveView()) only post work to the window and
// never block.

#include <cstdint>
#include <mutex>

// The picture-size codes.
inline constexpr std::uint8_t kSizeNtscFull = 0;
inline constexpr std::uint8_t kSizeNtscHalf = 1;
inline constexpr std::uint8_t kSizePalFull = 2;
inline constexpr std::uint8_t kSizePalHalf = 3;
inline constexpr std::uint8_t kSizeNtscQuarter = 4;
inline constexpr std::uint8_t kSizePalQuarter = 5;

class CViewModeSelector {
public:
    CViewModeSelector() = default;
    CViewModeSelector(const CViewModeSelector&) = delete;
    CViewModeSelector& operator=(const CViewModeSelector&) = delete;

    // Sets the code and row the main window opens with, before any picture
    // has arrived, from the video standard (b_VideoStandard) and the "Image
    // Resolution" setting. Re-lays out nothing: the window does its own
    // layout when it opens. Returns 1.
    int ResetViewMode();

    // Takes the size of a decoded (or video-loss) frame. When it gives a
    // different code than the window was last laid out for, stores the new
    // code and row and has the main window re-laid out and re-skinned.
    // Sizes the device family does not know leave everything as it is.
    // Returns 1.
    int UpdatePictureSize(std::uint16_t width, std::uint16_t height);

    // The current picture-size code (b_ViewSize).
    std::uint8_t GetPictureSizeCode() const;

private:
    std::mutex m_lock;
    std::uint16_t m_wWidth = 0;  // the last size given to UpdatePictureSize
    std::uint16_t m_wHeight = 0;
};
