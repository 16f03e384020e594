#pragma once

// The pictograms of the main window's skin: arrows, grids, the panel's
// transport and camera signs, the title-bar signs and the rest, each drawn
// with shapes on a 20 x 20 grid so that it scales to any face.

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <cstdint>

namespace skingen {

// What a face shows.
enum class Glyph : std::uint8_t {
    kBackground,  // a window background (with or without the panel)
    kStatusBar,
    kText,  // the face's text only
    kArrowLeft,
    kArrowRight,
    kArrowUp,
    kArrowDown,
    kMenu,
    kPip,
    kPop,
    kGrid2,
    kGrid3,
    kGrid4,
    kGrid8,
    kSearch,
    kZoomIn,
    kZoomOut,
    kFocusNear,
    kFocusFar,
    kPlus,
    kMinus,
    kRecord,
    kStopRecording,
    kReboot,
    kEnter,
    kStop,
    kRewind,
    kFastForward,
    kPause,
    kSlow,
    kPlay,
    kLock,
    kSelect,
    kTurbo,
    kPtz,
    kBell,
    kZoomInMax,
    kZoomOutMax,
    kGear,
    kSequence,
    kMinimise,
    kFullscreen,
    kClose,
    kPower,
    kChevronUp,
    kChevronDown,
    kLink,
    kUnlink,
    kCamera,
    kColour,
    kPerson,
    kFreeze,
};

// The red of the record, stop-recording and unlink marks, whatever the ink.
inline constexpr QRgb kGlyphRed = 0xC0392B;

// Draws `glyph` on a 20 x 20 grid scaled into `box`, in `ink`; `back` is the
// colour under it, for the holes of filled shapes. The glyphs that are not
// pictograms (background, status bar, text) draw nothing.
void DrawGlyph(QPainter& painter, const QRectF& box, Glyph glyph, QColor ink, QColor back);

}  // namespace skingen
