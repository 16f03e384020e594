#include "tests/support/artifacts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace test_support {

fs::path ArtifactsFolder() {
    const char* folder = std::getenv("KESTRUNE_ARTIFACTS");
    const fs::path path = folder != nullptr && *folder != '\0'
                              ? fs::path(folder)
                              : fs::temp_directory_path() / "kestrune-artifacts";
    std::error_code error;
    fs::create_directories(path, error);
    return path;
}

bool SaveImagePicture(const QImage& image, std::string_view name) {
    const fs::path target = ArtifactsFolder() / std::string(name);
    const bool saved =
        !image.isNull() && image.save(QString::fromStdString(target.string()), "PNG");
    EXPECT_TRUE(saved) << "could not save " << target;
    return saved;
}

bool SaveWidgetPicture(QWidget& widget, std::string_view name) {
    widget.show();
    QApplication::processEvents();
    return SaveImagePicture(widget.grab().toImage(), name);
}

}  // namespace test_support
