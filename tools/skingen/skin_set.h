#pragma once

// The skins the program loads from BMP files, as tables: every file with its
// size, where it sits in its window and what it shows. A skin set draws its
// window's whole design once (body, panels, frame); each piece is then cut
// from that design at the place the window paints it, and faces are drawn
// over the design at their own place, so every piece joins its neighbours
// without a seam.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "tools/skingen/skin_painter.h"

namespace skingen {

// What a file holds.
enum class Piece : std::uint8_t {
    kBody,      // the window's body without its frame
    kFrame,     // a part of the frame, cut from the whole design
    kProgress,  // the moving block of a progress bar
    kGlyph,     // a seven-segment character over the design
    kButton,    // a command button face over the design
    kLabel,     // a field label over the design
};

struct SkinFile {
    std::string_view path;  // relative to the program's folder, '/'-separated
    int width;
    int height;
    Piece piece;
    int left = 0;  // where the window paints it
    int top = 0;
    Icon icon = Icon::kNone;
    FaceState state = FaceState::kNormal;
    std::string_view caption = {};
    QRgb accent = 0;
    char glyph = 0;
};

struct SkinSet {
    std::string_view name;
    int width;  // the window the pieces make up
    int height;
    QImage (*drawDesign)(bool withFrame);
    std::span<const SkinFile> files;
};

// The login dialog's skin (BMP/LOGIN).
const SkinSet& LoginSkin();

// Draws one file of a set.
QImage DrawSkinFile(const SkinSet& set, const SkinFile& file);

// Writes every file of the set as a 24-bit BMP below `programFolder`,
// creating the folders. Returns the number of files written; throws
// std::runtime_error naming the file that could not be written.
std::size_t WriteSkin(const SkinSet& set, const std::filesystem::path& programFolder);

}  // namespace skingen
