#pragma once

// The skins of the small skinned dialogs: the picture colour dialog (its
// frame pieces, logo, push buttons and row labels) and the application
// information box (background, logo, OK button). Each dialog's design is
// drawn whole and the frame pieces are cut from it where the dialog paints
// them, so the pieces join without a seam.

#include <QImage>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

namespace skingen {

struct DialogFaceFile {
    std::string_view path;  // relative to the program's folder, '/'-separated
    int width;
    int height;
};

// Every file of the dialog skins, each once.
const std::vector<DialogFaceFile>& DialogFaceFiles();

// Draws one file of the table.
QImage DrawDialogFace(const DialogFaceFile& file);

// The colour dialog's frame and body as the dialog composes them (304 x 196),
// for a person to judge the pieces together.
QImage DrawColourDialogDesign();

// Writes every file as a 24-bit BMP below `programFolder`; returns the number
// written, throws std::runtime_error naming a file it cannot write.
std::size_t WriteDialogFaces(const std::filesystem::path& programFolder);

}  // namespace skingen
