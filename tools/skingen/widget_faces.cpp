#include "tools/skingen/widget_faces.h"

#include <QFile>
#include <QPainter>
#include <stdexcept>
#include <system_error>

namespace skingen {

QImage DrawCalendarFace() {
    // A leaf of a wall calendar: red binding rings over a dark title band,
    // then a grid of days; the pure red around it is the transparent colour.
    QImage image(kCalendarFaceWidth, kCalendarFaceHeight, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QPainter p(&image);
    p.fillRect(0, 1, 13, 11, QColor(40, 40, 40));
    p.fillRect(1, 4, 11, 7, QColor(250, 250, 250));
    p.fillRect(1, 2, 11, 2, QColor(70, 110, 170));
    for (const int x : {3, 9}) {
        p.fillRect(x, 0, 1, 3, QColor(200, 200, 200));
    }
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            p.fillRect(2 + col * 3, 5 + row * 2, 2, 1, QColor(90, 90, 90));
        }
    }
    p.fillRect(8, 7, 2, 1, QColor(200, 40, 40));  // today
    return image;
}

std::size_t WriteWidgetFaces(const std::filesystem::path& programFolder) {
    const std::filesystem::path target = programFolder / std::filesystem::path(kCalendarFacePath);
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (!DrawCalendarFace().save(QFile::decodeName(target.c_str()), "BMP")) {
        throw std::runtime_error("cannot write " + target.string());
    }
    return 1;
}

}  // namespace skingen
