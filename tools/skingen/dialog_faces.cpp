#include "tools/skingen/dialog_faces.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tools/skingen/skin_painter.h"

namespace skingen {

namespace {

// ---- the theme (the main window's colours) ---------------------------------------

constexpr QRgb kOutline = 0x0E2442;
constexpr QRgb kHighlight = 0x6A98CC;
constexpr QRgb kBezelOuter = 0x2D5A8E;
constexpr QRgb kBezelInner = 0x4A7DB5;
constexpr QRgb kBody = 0xDDE6F0;
constexpr QRgb kNavy = 0x2A5587;
constexpr QRgb kInner = 0xDDDDDD;  // the colour dialog fills its body with 221, 221, 221
constexpr QRgb kLight = 0xE8F1FB;

QRgb Mix(QRgb a, QRgb b, double t) {
    const auto channel = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
                channel(qBlue(a), qBlue(b)));
}

// The title band of the main window (30 rows), so that the title-bar close
// face drawn for it sits on the same colours here; the two rows below it
// close the band.
constexpr int kMainBandHeight = 30;
QRgb BandColour(int y) {
    if (y <= 0) {
        return kHighlight;
    }
    if (y >= kMainBandHeight - 1) {
        return kOutline;
    }
    if (y < 12) {
        return Mix(0x4A7DB5, 0x2D5A8E, y / 12.0);
    }
    return Mix(0x234C7D, 0x15345B, (y - 12) / double(kMainBandHeight - 13));
}

// A bezel `width` pixels wide, `d` pixels in from its outer edge.
QRgb BezelColour(int d, int width) {
    if (d <= 0) {
        return kOutline;
    }
    if (d >= width - 1) {
        return 0x9FB3C9;  // the inner edge, against the light body
    }
    if (d == width - 2) {
        return kHighlight;
    }
    return Mix(kBezelOuter, kBezelInner, d / static_cast<double>(width - 2));
}

// ---- the colour dialog ---------------------------------------------------------

constexpr int kColourWidth = 304;
constexpr int kColourHeight = 196;
constexpr int kTitleHeight = 32;
constexpr int kSideWidth = 10;
constexpr int kBottomTop = 183;

QImage DrawColourDesign(bool withBody) {
    QImage image(kColourWidth, kColourHeight, QImage::Format_RGB32);
    image.fill(kInner);
    for (int y = 0; y < kColourHeight; ++y) {
        for (int x = 0; x < kColourWidth; ++x) {
            QRgb colour = 0;
            if (y < kTitleHeight) {
                colour = (x == 0 || x == kColourWidth - 1) ? kOutline : BandColour(y);
            } else if (x < kSideWidth || x >= kColourWidth - kSideWidth || y >= kBottomTop) {
                const int left = x;
                const int right = kColourWidth - 1 - x;
                const int bottom = kColourHeight - 1 - y;
                const int sideWidth = kSideWidth;
                const int bottomWidth = kColourHeight - kBottomTop;
                // Each pixel takes the bezel of its nearest edge, relative
                // to that edge's width, so the bezels meet on mitres.
                const int d =
                    std::min({left * bottomWidth, right * bottomWidth, bottom * sideWidth});
                if (d == bottom * sideWidth) {
                    colour = BezelColour(bottom, bottomWidth);
                } else {
                    colour = BezelColour(std::min(left, right), sideWidth);
                }
            } else {
                continue;
            }
            image.setPixel(x, y, colour);
        }
    }
    QPainter p(&image);
    DrawPixelText(p, {37, 13}, "PICTURE COLOUR", QColor(kOutline));
    DrawPixelText(p, {36, 12}, "PICTURE COLOUR", QColor(kLight));
    if (withBody) {
        p.fillRect(kSideWidth, kTitleHeight, kColourWidth - 2 * kSideWidth,
                   kBottomTop - kTitleHeight, QColor(kInner));
    }
    return image;
}

// The small logo on the title band: a lens in a rounded tile.
void DrawLogo(QPainter& p, const QRectF& box) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(kOutline), 1.0));
    p.setBrush(QColor(kLight));
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    const double r = std::min(box.width(), box.height()) * 0.32;
    const QPointF centre = box.center();
    p.setBrush(QColor(kNavy));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, r, r);
    p.setBrush(QColor(kHighlight));
    p.drawEllipse(centre, r * 0.5, r * 0.5);
    p.setBrush(QColor(0xFFFFFF));
    p.drawEllipse(centre + QPointF(-r * 0.25, -r * 0.25), r * 0.18, r * 0.18);
}

enum class FaceLook { kNormal, kOver };

// A push button face over the dialog body: a rounded tile with a caption.
QImage DrawPushFace(int w, int h, std::string_view caption, FaceLook look, QRgb backdrop) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(backdrop);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool over = look == FaceLook::kOver;
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0.0, over ? QColor(0xFFFFFF) : QColor(0xF8FBFE));
    fill.setColorAt(1.0, over ? QColor(0xD8EBFC) : QColor(0xCFDDEC));
    p.setBrush(fill);
    p.setPen(QPen(over ? QColor(0x2F80D6) : QColor(0x8CA6C2), over ? 1.5 : 1.0));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1.0, h - 1.0), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int width = PixelTextWidth(caption);
    DrawPixelText(p, {(w - width + 1) / 2, (h - kGlyphHeight + 1) / 2}, caption,
                  over ? QColor(0x1F6FC2) : QColor(kNavy));
    return image;
}

enum class RowIcon { kBrightness, kContrast, kHue, kSaturation };

// The row labels: a pictogram of the quantity on the dialog body.
QImage DrawRowLabel(RowIcon icon) {
    constexpr int kSize = 20;
    QImage image(kSize, kSize, QImage::Format_RGB32);
    image.fill(kInner);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(10, 10);
    switch (icon) {
        case RowIcon::kBrightness: {
            // A sun: a disc with eight rays.
            p.setPen(QPen(QColor(0xC98A00), 1.6, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 8; ++i) {
                const double a = i * M_PI / 4;
                p.drawLine(c + QPointF(6.0 * std::cos(a), 6.0 * std::sin(a)),
                           c + QPointF(8.6 * std::cos(a), 8.6 * std::sin(a)));
            }
            p.setPen(QPen(QColor(0xC98A00), 1.0));
            p.setBrush(QColor(0xF5C242));
            p.drawEllipse(c, 4.2, 4.2);
            break;
        }
        case RowIcon::kContrast: {
            // A disc half dark, half light.
            p.setPen(QPen(QColor(kOutline), 1.2));
            p.setBrush(QColor(0xFFFFFF));
            p.drawEllipse(c, 8, 8);
            QPainterPath half;
            half.moveTo(c);
            half.arcTo(QRectF(2, 2, 16, 16), 90, 180);
            half.closeSubpath();
            p.setBrush(QColor(kOutline));
            p.drawPath(half);
            break;
        }
        case RowIcon::kHue: {
            // A colour wheel of six sectors.
            const QRgb sectors[] = {0xE53935, 0xFDD835, 0x43A047, 0x00ACC1, 0x1E88E5, 0x8E24AA};
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 6; ++i) {
                p.setBrush(QColor(sectors[i]));
                p.drawPie(QRectF(2, 2, 16, 16), i * 60 * 16, 60 * 16);
            }
            p.setPen(QPen(QColor(kOutline), 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, 8, 8);
            break;
        }
        case RowIcon::kSaturation: {
            // A drop, pale at the top, deep below.
            QPainterPath drop;
            drop.moveTo(10, 2);
            drop.cubicTo(13, 7, 16, 10, 16, 13);
            drop.cubicTo(16, 16.5, 13.3, 18.5, 10, 18.5);
            drop.cubicTo(6.7, 18.5, 4, 16.5, 4, 13);
            drop.cubicTo(4, 10, 7, 7, 10, 2);
            QLinearGradient fill(0, 2, 0, 18);
            fill.setColorAt(0.0, QColor(0xBBDEFB));
            fill.setColorAt(1.0, QColor(0x0D47A1));
            p.setBrush(fill);
            p.setPen(QPen(QColor(kOutline), 1.0));
            p.drawPath(drop);
            break;
        }
    }
    return image;
}

// ---- the application information box ------------------------------------------

constexpr int kInfoWidth = 304;
constexpr int kInfoHeight = 238;
constexpr int kInfoBand = 30;

QImage DrawInfoBackground() {
    QImage image(kInfoWidth, kInfoHeight, QImage::Format_RGB32);
    image.fill(kBody);
    QPainter p(&image);
    for (int y = 0; y < kInfoBand; ++y) {
        p.fillRect(0, y, kInfoWidth, 1, QColor(BandColour(y)));
    }
    DrawPixelText(p, {15, 9}, "KESTRUNE", QColor(kOutline), 2);
    DrawPixelText(p, {14, 8}, "KESTRUNE", QColor(kLight), 2);
    // A light card behind the version text and a rule above the button.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0xB5C4D6), 1.0));
    p.setBrush(QColor(0xF3F6FA));
    p.drawRoundedRect(QRectF(100.5, 40.5, 192, 148), 6, 6);
    DrawPixelText(p, {112, 120}, "NETWORK VIDEO CLIENT", QColor(kNavy));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(kOutline));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, kInfoWidth - 1, kInfoHeight - 1);
    return image;
}

QImage DrawInfoLogo() {
    constexpr int w = 71;
    constexpr int h = 74;
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBody);
    QPainter p(&image);
    DrawLogo(p, QRectF(0, 1, w, w));
    return image;
}

// ---- the table --------------------------------------------------------------------

struct Drawn {
    DialogFaceFile file;
    std::function<QImage()> draw;
};

// A piece of the colour dialog's frame: the design cut at the piece's place.
std::function<QImage()> Cut(int left, int top, int right, int bottom, bool logo = false) {
    return [=] {
        QImage piece = DrawColourDesign(true).copy(left, top, right - left, bottom - top);
        if (logo) {
            QPainter p(&piece);
            DrawLogo(p, QRectF(0, 0, piece.width(), piece.height()));
        }
        return piece;
    };
}

const std::vector<Drawn>& Table() {
    static const std::vector<Drawn> table = [] {
        std::vector<Drawn> t;
        const auto add = [&t](std::string_view path, int w, int h, std::function<QImage()> draw) {
            t.push_back(Drawn{DialogFaceFile{path, w, h}, std::move(draw)});
        };
        add("BMP/TitleLeft.bmp", 10, 32, Cut(0, 0, 10, 32));
        add("BMP/TilteBar_ess.bmp", 284, 32, Cut(10, 0, 294, 32));
        add("BMP/TitleRight.bmp", 10, 32, Cut(294, 0, 304, 32));
        add("BMP/LeftSide_ess.bmp", 10, 151, Cut(0, 32, 10, 183));
        add("BMP/RightSide_ess.bmp", 10, 151, Cut(294, 32, 304, 183));
        add("BMP/BottomLeft.bmp", 10, 13, Cut(0, 183, 10, 196));
        add("BMP/Bottom_ess.bmp", 284, 13, Cut(10, 183, 294, 196));
        add("BMP/BottomRight.bmp", 10, 13, Cut(294, 183, 304, 196));
        add("BMP/Player_Logo.bmp", 21, 15, Cut(10, 7, 31, 22, true));
        const auto push = [&add](std::string_view flat, std::string_view over, int w,
                                 std::string_view caption) {
            add(flat, w, 25,
                [=] { return DrawPushFace(w, 25, caption, FaceLook::kNormal, kInner); });
            add(over, w, 25, [=] { return DrawPushFace(w, 25, caption, FaceLook::kOver, kInner); });
        };
        push("BMP/Dialog_apply.bmp", "BMP/Dialog_apply_over.bmp", 88, "APPLY");
        push("BMP/Dialog_ok.bmp", "BMP/Dialog_ok_over.bmp", 44, "OK");
        push("BMP/Dialog_default.bmp", "BMP/Dialog_default_over.bmp", 88, "DEFAULT");
        add("BMP/Dialog_Brightness.bmp", 20, 20, [] { return DrawRowLabel(RowIcon::kBrightness); });
        add("BMP/Dialog_Contrast.bmp", 20, 20, [] { return DrawRowLabel(RowIcon::kContrast); });
        add("BMP/Dialog_Hue.bmp", 20, 20, [] { return DrawRowLabel(RowIcon::kHue); });
        add("BMP/Dialog_Saturation.bmp", 20, 20, [] { return DrawRowLabel(RowIcon::kSaturation); });
        add("BMP/login_background.bmp", kInfoWidth, kInfoHeight, DrawInfoBackground);
        add("BMP/KORVIX_LOGO.bmp", 71, 74, DrawInfoLogo);
        add("BMP/login_ok.bmp", 49, 25,
            [] { return DrawPushFace(49, 25, "OK", FaceLook::kNormal, kBody); });
        add("BMP/login_ok_over.bmp", 49, 25,
            [] { return DrawPushFace(49, 25, "OK", FaceLook::kOver, kBody); });
        return t;
    }();
    return table;
}

}  // namespace

const std::vector<DialogFaceFile>& DialogFaceFiles() {
    static const std::vector<DialogFaceFile> files = [] {
        std::vector<DialogFaceFile> f;
        for (const Drawn& d : Table()) {
            f.push_back(d.file);
        }
        return f;
    }();
    return files;
}

QImage DrawDialogFace(const DialogFaceFile& file) {
    for (const Drawn& d : Table()) {
        if (d.file.path == file.path) {
            return d.draw();
        }
    }
    return QImage();
}

QImage DrawColourDialogDesign() {
    return DrawColourDesign(true);
}

std::size_t WriteDialogFaces(const std::filesystem::path& programFolder) {
    std::size_t written = 0;
    for (const Drawn& d : Table()) {
        const std::filesystem::path target = programFolder / std::filesystem::path(d.file.path);
        std::error_code ignored;
        std::filesystem::create_directories(target.parent_path(), ignored);
        const QImage image = d.draw().convertToFormat(QImage::Format_RGB888);
        if (image.isNull() || image.width() != d.file.width || image.height() != d.file.height ||
            !image.save(QFile::decodeName(target.c_str()), "BMP")) {
            throw std::runtime_error("cannot write " + target.string());
        }
        ++written;
    }
    return written;
}

}  // namespace skingen
