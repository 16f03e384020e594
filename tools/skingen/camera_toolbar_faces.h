#pragma once

// Faces of the camera image toolbar (BMP/CMOS/): its 45 x 300 background and
// the 30 x 30 up and down faces of its six zoom modes and two flips.

#include <QImage>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace skingen {

// The files, relative to the program's folder.
std::vector<std::string> CameraToolbarFacePaths();

// Draws one face: `name` without the folder and ".bmp" (for example
// "QFrame_LT_DOWN" or "ToolBarBG"); a null image for another name.
QImage DrawCameraToolbarFace(const std::string& name);

// Writes the faces below `programFolder`; the number of files written.
// Throws std::runtime_error naming a file that could not be written.
std::size_t WriteCameraToolbarFaces(const std::filesystem::path& programFolder);

}  // namespace skingen
