#pragma once

// Drawing primitives of the skin generator: a 5 x 7 pixel font for captions,
// seven-segment version digits, pictograms, button tiles and frame bands.
// Everything is drawn with shapes only (no system fonts), so the pictures
// come out the same on every machine.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <string_view>

namespace skingen {

// Pictograms of the buttons and field labels.
enum class Icon : std::uint8_t {
    kNone,
    kAddressCard,
    kMagnifier,
    kPlay,
    kDownload,
    kCopy,
    kEnter,
    kCancel,
    kPerson,
    kPadlock,
    kGlobe,
    kPlug,
};

// Looks of a command button.
enum class FaceState : std::uint8_t { kNormal, kOver, kDown };

// The 5 x 7 pixel font: capital letters, digits, ".", "-" and space.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Width in pixels of `text` at `scale` (the last glyph without its gap).
int PixelTextWidth(std::string_view text, int scale = 1);
// Draws `text` with its top-left corner at `at`; unknown characters are blank.
void DrawPixelText(QPainter& painter, QPoint at, std::string_view text, QColor colour,
                   int scale = 1);

// One seven-segment character in a 10 x 20 cell: a digit, or a point for
// anything else; unlit segments are drawn faintly in `dim`.
void DrawSegmentGlyph(QPainter& painter, QPoint at, char character, QColor lit, QColor dim);

// A pictogram inside `box`, stroked and filled in `colour`.
void DrawIcon(QPainter& painter, const QRectF& box, Icon icon, QColor colour);

// A command button face: a rounded tile drawn over `backdrop` (what lies
// under the button, which also gives the face its size) with the pictogram
// above a caption.
QImage DrawButtonFace(const QImage& backdrop, Icon icon, std::string_view caption, FaceState state,
                      QColor accent);

// A field label: a flat tile over `backdrop` with the pictogram above a
// caption.
QImage DrawLabelFace(const QImage& backdrop, Icon icon, std::string_view caption);

}  // namespace skingen
