#include "tools/skingen/camera_toolbar_faces.h"

#include <QFile>
#include <QPainter>
#include <array>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace skingen {

namespace {

constexpr int kFace = 30;
constexpr std::string_view kFolder = "BMP/CMOS/";
constexpr std::string_view kBackground = "ToolBarBG";

// The glyph of each button; the zoom glyphs mark the part of the frame they
// show (-1: the whole frame, 0-3 a quarter, 4 the centre).
struct Glyph {
    std::string_view name;
    int part;  // zoom part, or 5 horizontal flip, 6 vertical flip
};
constexpr std::array<Glyph, 8> kGlyphs{{
    {"FullFrame", -1},
    {"QFrame_LT", 0},
    {"QFrame_RT", 1},
    {"QFrame_LB", 2},
    {"QFrame_RB", 3},
    {"QFrame_CN", 4},
    {"CMOS_HR", 5},
    {"CMOS_VR", 6},
}};

QImage DrawBackground() {
    QImage image(45, 300, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient fill(0, 0, 45, 0);
    fill.setColorAt(0, QColor(38, 44, 58));
    fill.setColorAt(1, QColor(58, 66, 84));
    p.fillRect(image.rect(), fill);
    p.setPen(QColor(96, 108, 132));
    p.drawRect(0, 0, 44, 299);
    return image;
}

QImage DrawFace(int part, bool down) {
    QImage image(kFace, kFace, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = down ? QColor(214, 140, 36) : QColor(72, 82, 104);
    const QColor ink = down ? QColor(30, 24, 16) : QColor(224, 230, 240);
    p.fillRect(image.rect(), body);
    p.setPen(down ? QColor(120, 70, 10) : QColor(120, 132, 158));
    p.drawRect(0, 0, kFace - 1, kFace - 1);
    p.setPen(QPen(ink, 1.5));
    if (part <= 4) {
        const QRectF frame(6, 8, 18, 14);
        p.drawRect(frame);
        QRectF lit = frame;
        if (part >= 0 && part <= 3) {
            lit = QRectF(frame.left() + (part % 2) * 9, frame.top() + (part / 2) * 7, 9, 7);
        } else if (part == 4) {
            lit = QRectF(frame.left() + 4.5, frame.top() + 3.5, 9, 7);
        }
        p.fillRect(lit, ink);
    } else if (part == 5) {
        p.drawLine(QPointF(6, 15), QPointF(24, 15));
        p.drawLine(QPointF(6, 15), QPointF(10, 11));
        p.drawLine(QPointF(6, 15), QPointF(10, 19));
        p.drawLine(QPointF(24, 15), QPointF(20, 11));
        p.drawLine(QPointF(24, 15), QPointF(20, 19));
    } else {
        p.drawLine(QPointF(15, 6), QPointF(15, 24));
        p.drawLine(QPointF(15, 6), QPointF(11, 10));
        p.drawLine(QPointF(15, 6), QPointF(19, 10));
        p.drawLine(QPointF(15, 24), QPointF(11, 20));
        p.drawLine(QPointF(15, 24), QPointF(19, 20));
    }
    return image;
}

std::vector<std::string> FaceNames() {
    std::vector<std::string> names{std::string(kBackground)};
    for (const Glyph& glyph : kGlyphs) {
        names.push_back(std::string(glyph.name) + "_UP");
        names.push_back(std::string(glyph.name) + "_DOWN");
    }
    return names;
}

}  // namespace

std::vector<std::string> CameraToolbarFacePaths() {
    std::vector<std::string> paths;
    for (const std::string& name : FaceNames())
        paths.push_back(std::string(kFolder) + name + ".bmp");
    return paths;
}

QImage DrawCameraToolbarFace(const std::string& name) {
    if (name == kBackground)
        return DrawBackground();
    for (const Glyph& glyph : kGlyphs) {
        if (name == std::string(glyph.name) + "_UP")
            return DrawFace(glyph.part, false);
        if (name == std::string(glyph.name) + "_DOWN")
            return DrawFace(glyph.part, true);
    }
    return {};
}

std::size_t WriteCameraToolbarFaces(const std::filesystem::path& programFolder) {
    std::size_t written = 0;
    for (const std::string& name : FaceNames()) {
        const std::filesystem::path target =
            programFolder / std::filesystem::path(std::string(kFolder) + name + ".bmp");
        std::error_code ec;
        std::filesystem::create_directories(target.parent_path(), ec);
        if (!DrawCameraToolbarFace(name).save(QFile::decodeName(target.c_str()), "BMP"))
            throw std::runtime_error("cannot write " + target.string());
        ++written;
    }
    return written;
}

}  // namespace skingen
