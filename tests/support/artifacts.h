#pragma once

// Pictures that widget tests take for a person to look at. They go into
// $KESTRUNE_ARTIFACTS (the test script sets it to build-test/artifacts), or
// into a "kestrune-artifacts" folder under the system's temporary folder when
// it is unset.

#include <filesystem>
#include <string_view>

class QImage;
class QWidget;

namespace test_support {

// The folder, created if missing.
std::filesystem::path ArtifactsFolder();

// Shows `widget`, lets Qt lay it out and paint it, and saves it as a PNG
// named `name` in the artifacts folder. False (with a test failure) when the
// picture could not be written.
bool SaveWidgetPicture(QWidget& widget, std::string_view name);

// Saves `image` as a PNG named `name` in the artifacts folder.
bool SaveImagePicture(const QImage& image, std::string_view name);

}  // namespace test_support
