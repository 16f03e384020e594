#include "tools/skingen/skin_set.h"

#include <QFile>
#include <QPainter>
#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <system_error>

namespace skingen {

namespace {

// ---- shared colours -----------------------------------------------------------

constexpr QRgb kOutline = 0x0E2442;
constexpr QRgb kBezelOuter = 0x2D5A8E;
constexpr QRgb kBezelInner = 0x4A7DB5;
constexpr QRgb kHighlight = 0x6A98CC;
constexpr QRgb kBodyColour = 0xDDE6F0;
constexpr QRgb kCard = 0xF3F6FA;
constexpr QRgb kCardBorder = 0xB5C4D6;
constexpr QRgb kNavy = 0x2A5587;
constexpr QRgb kGreen = 0x1E8E3E;
constexpr QRgb kRed = 0xC0392B;
constexpr QRgb kDisplay = 0x0A1A30;
constexpr QRgb kSegmentLit = 0x8FD3FF;
constexpr QRgb kSegmentDim = 0x16314F;
constexpr QRgb kProgressBar = 0x9DD8F4;  // the bar the dialog fills behind the block

QRgb Mix(QRgb a, QRgb b, double t) {
    const auto channel = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
                channel(qBlue(a), qBlue(b)));
}

// ---- the login dialog ---------------------------------------------------------

// Its window and the edges of its body (the frame lies outside them).
constexpr int kLoginWidth = 304;
constexpr int kLoginHeight = 341;
constexpr int kBodyLeft = 21;
constexpr int kBodyTop = 34;
constexpr int kBodyRight = 278;   // first column of the right frame
constexpr int kBodyBottom = 319;  // first row of the bottom frame
constexpr int kUpperBandRows = 12;
// The panel behind the fields and their labels.
constexpr QRect kFieldPanel(24, 92, 253, 149);
// The display behind the version digits, which the dialog draws from
// x = 182 on, 10 pixels apart, 20 pixels high at y = 13.
constexpr QRect kVersionDisplay(178, 11, 78, 23);
constexpr int kGlyphX = 182;
constexpr int kGlyphY = 13;

// The title band: a glossy upper part, a deeper lower part, a dark edge.
QRgb BandColour(int y) {
    if (y == 0) {
        return kHighlight;
    }
    if (y >= kBodyTop - 1) {
        return kOutline;
    }
    if (y < kUpperBandRows) {
        return Mix(0x4A7DB5, 0x2D5A8E, y / static_cast<double>(kUpperBandRows));
    }
    return Mix(0x234C7D, 0x15345B, (y - kUpperBandRows) / double(kBodyTop - kUpperBandRows));
}

// A bezel of `width` pixels, `d` pixels in from its outer edge.
QRgb BezelColour(int d, int width) {
    if (d <= 0 || d >= width - 1) {
        return kOutline;
    }
    if (d == width - 2) {
        return kHighlight;
    }
    return Mix(kBezelOuter, kBezelInner, d / static_cast<double>(width - 2));
}

QImage DrawLoginDesign(bool withFrame) {
    QImage image(kLoginWidth, kLoginHeight, QImage::Format_RGB32);
    image.fill(kBodyColour);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(kCardBorder), 1.0));
    painter.setBrush(QColor(kCard));
    painter.drawRoundedRect(QRectF(kFieldPanel).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (!withFrame) {
        return image;
    }

    // Frame: the band over the top; below it each pixel takes the bezel of
    // the nearest edge (left, right or bottom), relative to that edge's
    // width, so the bezels meet on mitred corners.
    for (int y = 0; y < kLoginHeight; ++y) {
        for (int x = 0; x < kLoginWidth; ++x) {
            QRgb colour = 0;
            if (y < kBodyTop) {
                colour = (x == 0 || x == kLoginWidth - 1) ? kOutline : BandColour(y);
            } else if (x < kBodyLeft || x >= kBodyRight || y >= kBodyBottom) {
                const std::array<std::pair<int, int>, 3> edges{{
                    {x, kBodyLeft},
                    {kLoginWidth - 1 - x, kLoginWidth - kBodyRight},
                    {kLoginHeight - 1 - y, kLoginHeight - kBodyBottom},
                }};
                const auto nearest =
                    std::min_element(edges.begin(), edges.end(), [](const auto& a, const auto& b) {
                        return a.first * b.second < b.first * a.second;
                    });
                colour = BezelColour(nearest->first, nearest->second);
            } else {
                continue;
            }
            image.setPixel(x, y, colour);
        }
    }
    // Name on the band, with a shadow.
    DrawPixelText(painter, {31, 14}, "KESTRUNE", QColor(kOutline), 2);
    DrawPixelText(painter, {30, 13}, "KESTRUNE", QColor(0xE8F1FB), 2);
    // The version display.
    painter.setPen(QPen(QColor(kHighlight), 1.0));
    painter.setBrush(QColor(kDisplay));
    painter.drawRoundedRect(QRectF(kVersionDisplay).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawRect(kVersionDisplay.adjusted(3, 2, -3, -1));
    return image;
}

// The moving block of the login progress bar: 20 x 12, over the bar colour.
QImage DrawProgressBlock(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kProgressBar);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0.0, QColor(0x5FA8F0));
    fill.setColorAt(0.5, QColor(0x2F80D6));
    fill.setColorAt(1.0, QColor(0x1F4470));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(1, 1, width - 2, height - 2), 3, 3);
    return image;
}

using F = SkinFile;
using enum Piece;
using enum Icon;
using enum FaceState;

// Every file of the login skin, in the order the dialog loads them: the
// frame and body, the progress block, the version glyphs, then the command
// buttons (normal, hover, pressed) and the field labels at their places.
constexpr std::array kLoginFiles{
    F{"BMP/LOGIN/spacer.bmp", kLoginWidth, kLoginHeight, kBody},
    F{"BMP/LOGIN/left_top.bmp", 21, 34, kFrame, 0, 0},
    F{"BMP/LOGIN/right_top.bmp", 26, 34, kFrame, 278, 0},
    F{"BMP/LOGIN/top_middle1.bmp", 257, 12, kFrame, 21, 0},
    F{"BMP/LOGIN/top_middle2.bmp", 257, 22, kFrame, 21, 12},
    F{"BMP/LOGIN/left_middle.bmp", 21, 285, kFrame, 0, 34},
    F{"BMP/LOGIN/right_middle.bmp", 26, 285, kFrame, 278, 34},
    F{"BMP/LOGIN/left_down.bmp", 25, 22, kFrame, 0, 319},
    F{"BMP/LOGIN/right_down.bmp", 24, 22, kFrame, 280, 319},
    F{"BMP/LOGIN/down_middle.bmp", 255, 22, kFrame, 25, 319},
    F{"BMP/LOGIN/running.bmp", 20, 12, kProgress},
    F{"BMP/LOGIN/login_0.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '0'},
    F{"BMP/LOGIN/login_1.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '1'},
    F{"BMP/LOGIN/login_2.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '2'},
    F{"BMP/LOGIN/login_3.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '3'},
    F{"BMP/LOGIN/login_4.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '4'},
    F{"BMP/LOGIN/login_5.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '5'},
    F{"BMP/LOGIN/login_6.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '6'},
    F{"BMP/LOGIN/login_7.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '7'},
    F{"BMP/LOGIN/login_8.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '8'},
    F{"BMP/LOGIN/login_9.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '9'},
    F{"BMP/LOGIN/login_point.bmp", 10, 20, kGlyph, kGlyphX, kGlyphY, kNone, kNormal, {}, 0, '.'},
    F{"BMP/LOGIN/address.bmp", 34, 34, kButton, 30, 50, kAddressCard, kNormal, "ADDR", kNavy},
    F{"BMP/LOGIN/address_over.bmp", 34, 34, kButton, 30, 50, kAddressCard, kOver, "ADDR", kNavy},
    F{"BMP/LOGIN/address_down.bmp", 34, 34, kButton, 30, 50, kAddressCard, kDown, "ADDR", kNavy},
    F{"BMP/LOGIN/search.bmp", 34, 34, kButton, 80, 50, kMagnifier, kNormal, "FIND", kNavy},
    F{"BMP/LOGIN/search_over.bmp", 34, 34, kButton, 80, 50, kMagnifier, kOver, "FIND", kNavy},
    F{"BMP/LOGIN/search_down.bmp", 34, 34, kButton, 80, 50, kMagnifier, kDown, "FIND", kNavy},
    F{"BMP/LOGIN/player.bmp", 34, 34, kButton, 130, 50, kPlay, kNormal, "PLAY", kNavy},
    F{"BMP/LOGIN/player_over.bmp", 34, 34, kButton, 130, 50, kPlay, kOver, "PLAY", kNavy},
    F{"BMP/LOGIN/player_down.bmp", 34, 34, kButton, 130, 50, kPlay, kDown, "PLAY", kNavy},
    F{"BMP/LOGIN/download.BMP", 34, 34, kButton, 230, 50, kDownload, kNormal, "FW", kNavy},
    F{"BMP/LOGIN/download_over.bmp", 34, 34, kButton, 230, 50, kDownload, kOver, "FW", kNavy},
    F{"BMP/LOGIN/download_down.bmp", 34, 34, kButton, 230, 50, kDownload, kDown, "FW", kNavy},
    F{"BMP/LOGIN/copy.bmp", 34, 34, kButton, 180, 50, kCopy, kNormal, "COPY", kNavy},
    F{"BMP/LOGIN/copy_over.bmp", 34, 34, kButton, 180, 50, kCopy, kOver, "COPY", kNavy},
    F{"BMP/LOGIN/copy_down.bmp", 34, 34, kButton, 180, 50, kCopy, kDown, "COPY", kNavy},
    F{"BMP/LOGIN/enter.bmp", 32, 32, kButton, 50, 275, kEnter, kNormal, "OK", kGreen},
    F{"BMP/LOGIN/enter_over.bmp", 32, 32, kButton, 50, 275, kEnter, kOver, "OK", kGreen},
    F{"BMP/LOGIN/enter_down.bmp", 32, 32, kButton, 50, 275, kEnter, kDown, "OK", kGreen},
    F{"BMP/LOGIN/cancel.bmp", 32, 32, kButton, 215, 275, kCancel, kNormal, "EXIT", kRed},
    F{"BMP/LOGIN/cancel_over.bmp", 32, 32, kButton, 215, 275, kCancel, kOver, "EXIT", kRed},
    F{"BMP/LOGIN/cancel_down.bmp", 32, 32, kButton, 215, 275, kCancel, kDown, "EXIT", kRed},
    F{"BMP/LOGIN/name.BMP", 28, 28, kLabel, 30, 100, kPerson, kNormal, "USER"},
    F{"BMP/LOGIN/password.BMP", 28, 28, kLabel, 30, 136, kPadlock, kNormal, "PASS"},
    F{"BMP/LOGIN/ip.BMP", 28, 28, kLabel, 30, 172, kGlobe, kNormal, "IP"},
    F{"BMP/LOGIN/port.BMP", 28, 28, kLabel, 30, 208, kPlug, kNormal, "PORT"},
};

const SkinSet kLoginSkin{"login", kLoginWidth, kLoginHeight, &DrawLoginDesign, kLoginFiles};

// A set's design, with and without its frame, drawn once per use.
struct Designs {
    QImage body;
    QImage full;
};

Designs DrawDesigns(const SkinSet& set) {
    return {set.drawDesign(false), set.drawDesign(true)};
}

QImage Draw(const SkinFile& file, const Designs& designs) {
    // What lies under the piece where the window paints it.
    const QImage backdrop = designs.full.copy(file.left, file.top, file.width, file.height);
    switch (file.piece) {
        case kBody:
            return designs.body.copy(0, 0, file.width, file.height);
        case kFrame:
            return backdrop;
        case kProgress:
            return DrawProgressBlock(file.width, file.height);
        case kGlyph: {
            QImage image = backdrop;
            QPainter painter(&image);
            DrawSegmentGlyph(painter, {0, 0}, file.glyph, QColor(kSegmentLit), QColor(kSegmentDim));
            return image;
        }
        case kButton:
            return DrawButtonFace(backdrop, file.icon, file.caption, file.state,
                                  QColor(file.accent));
        case kLabel:
            return DrawLabelFace(backdrop, file.icon, file.caption);
    }
    return {};
}

}  // namespace

const SkinSet& LoginSkin() {
    return kLoginSkin;
}

QImage DrawSkinFile(const SkinSet& set, const SkinFile& file) {
    return Draw(file, DrawDesigns(set));
}

std::size_t WriteSkin(const SkinSet& set, const std::filesystem::path& programFolder) {
    const Designs designs = DrawDesigns(set);
    std::size_t written = 0;
    for (const SkinFile& file : set.files) {
        const std::filesystem::path target = programFolder / std::filesystem::path(file.path);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        // 24 bits per pixel, as the skins have always been stored.
        const QImage image = Draw(file, designs).convertToFormat(QImage::Format_RGB888);
        if (image.isNull() || !image.save(QFile::decodeName(target.c_str()), "BMP")) {
            throw std::runtime_error("cannot write " + target.string());
        }
        ++written;
    }
    return written;
}

}  // namespace skingen
