#pragma once

// Faces of the small widgets: the date-time editor's drop-down button
// (res/mybutton/calendar.bmp, pure red where the button shows through).

#include <QImage>
#include <cstddef>
#include <filesystem>
#include <string_view>

namespace skingen {

inline constexpr std::string_view kCalendarFacePath = "res/mybutton/calendar.bmp";
inline constexpr int kCalendarFaceWidth = 13;
inline constexpr int kCalendarFaceHeight = 12;

QImage DrawCalendarFace();

// Writes the widget faces below `programFolder`; returns the number of files
// written, throws std::runtime_error naming a file that could not be written.
std::size_t WriteWidgetFaces(const std::filesystem::path& programFolder);

}  // namespace skingen
