#include "tools/skingen/skin_painter.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>

namespace skingen {

namespace {

// ---- 5 x 7 pixel font -------------------------------------------------------

// Each row holds five pixels, the leftmost in bit 4.
struct PixelGlyph {
    char character;
    std::array<std::uint8_t, kGlyphHeight> rows;
};

constexpr std::array<PixelGlyph, 39> kPixelFont{{
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
}};

const PixelGlyph* FindGlyph(char character) {
    const auto it =
        std::find_if(kPixelFont.begin(), kPixelFont.end(),
                     [character](const PixelGlyph& g) { return g.character == character; });
    return it != kPixelFont.end() ? &*it : nullptr;
}

// ---- seven segments -------------------------------------------------------

// Segments a to g of a 10 x 20 cell as {x, y, width, height}.
constexpr std::array<std::array<int, 4>, 7> kSegments{{
    {3, 1, 4, 2},   // a: top
    {7, 3, 2, 6},   // b: upper right
    {7, 11, 2, 6},  // c: lower right
    {3, 17, 4, 2},  // d: bottom
    {1, 11, 2, 6},  // e: lower left
    {1, 3, 2, 6},   // f: upper left
    {3, 9, 4, 2},   // g: middle
}};

// Lit segments of each digit, segment a in bit 0.
constexpr std::array<std::uint8_t, 10> kDigitSegments{
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,
};

// ---- tiles ------------------------------------------------------------------

struct TileColours {
    QColor top;
    QColor bottom;
    QColor border;
    qreal borderWidth;
};

constexpr int kCaptionGap = 2;

TileColours ColoursOf(FaceState state) {
    switch (state) {
        case FaceState::kOver:
            return {QColor(0xFF, 0xFF, 0xFF), QColor(0xD8, 0xEB, 0xFC), QColor(0x2F, 0x80, 0xD6),
                    2.0};
        case FaceState::kDown:
            return {QColor(0xB9, 0xCD, 0xE4), QColor(0xE2, 0xEB, 0xF5), QColor(0x1F, 0x44, 0x70),
                    1.5};
        case FaceState::kNormal:
            break;
    }
    return {QColor(0xF8, 0xFB, 0xFE), QColor(0xCF, 0xDD, 0xEC), QColor(0x8C, 0xA6, 0xC2), 1.0};
}

// Pictogram above a caption, centred in the tile.
void DrawIconAndCaption(QPainter& painter, const QRect& tile, Icon icon, std::string_view caption,
                        QColor iconColour, QColor captionColour) {
    const int captionTop = tile.bottom() - 3 - kGlyphHeight + 1;
    const int iconSize = captionTop - kCaptionGap - tile.top() - 2;
    const QRectF iconBox(tile.left() + (tile.width() - iconSize) / 2.0, tile.top() + 2.0, iconSize,
                         iconSize);
    DrawIcon(painter, iconBox, icon, iconColour);
    const int textWidth = PixelTextWidth(caption);
    DrawPixelText(painter, {tile.left() + (tile.width() - textWidth) / 2, captionTop}, caption,
                  captionColour);
}

QPen RoundPen(QColor colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

}  // namespace

int PixelTextWidth(std::string_view text, int scale) {
    if (text.empty()) {
        return 0;
    }
    return (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

void DrawPixelText(QPainter& painter, QPoint at, std::string_view text, QColor colour, int scale) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    int x = at.x();
    for (const char character : text) {
        if (const PixelGlyph* glyph = FindGlyph(character)) {
            for (int row = 0; row < kGlyphHeight; ++row) {
                for (int column = 0; column < kGlyphWidth; ++column) {
                    if (glyph->rows[static_cast<std::size_t>(row)] & (0x10 >> column)) {
                        painter.drawRect(x + column * scale, at.y() + row * scale, scale, scale);
                    }
                }
            }
        }
        x += kGlyphAdvance * scale;
    }
    painter.restore();
}

void DrawSegmentGlyph(QPainter& painter, QPoint at, char character, QColor lit, QColor dim) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    if (character >= '0' && character <= '9') {
        const std::uint8_t on = kDigitSegments[static_cast<std::size_t>(character - '0')];
        for (std::size_t s = 0; s < kSegments.size(); ++s) {
            const auto& [x, y, w, h] = kSegments[s];
            painter.setBrush((on >> s) & 1 ? lit : dim);
            painter.drawRect(at.x() + x, at.y() + y, w, h);
        }
    } else {
        painter.setBrush(lit);
        painter.drawRect(at.x() + 4, at.y() + 16, 2, 3);
    }
    painter.restore();
}

void DrawIcon(QPainter& painter, const QRectF& box, Icon icon, QColor colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.topLeft());
    // Pictograms are drawn on a 20 x 20 grid and scaled to the box.
    painter.scale(box.width() / 20.0, box.height() / 20.0);
    const QPen pen = RoundPen(colour, 2.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (icon) {
        case Icon::kAddressCard: {
            painter.drawRoundedRect(QRectF(1.5, 3.5, 17, 13), 2, 2);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawEllipse(QPointF(6.5, 8.0), 2.2, 2.2);
            painter.drawChord(QRectF(3.0, 10.5, 7.0, 6.0), 0, 180 * 16);
            painter.setPen(RoundPen(colour, 1.6));
            painter.drawLine(QPointF(11.5, 7.5), QPointF(16.0, 7.5));
            painter.drawLine(QPointF(11.5, 10.5), QPointF(16.0, 10.5));
            painter.drawLine(QPointF(11.5, 13.5), QPointF(14.5, 13.5));
            break;
        }
        case Icon::kMagnifier:
            painter.drawEllipse(QPointF(8.5, 8.5), 5.5, 5.5);
            painter.setPen(RoundPen(colour, 3.2));
            painter.drawLine(QPointF(12.8, 12.8), QPointF(17.5, 17.5));
            break;
        case Icon::kPlay: {
            painter.drawEllipse(QPointF(10, 10), 8.5, 8.5);
            QPainterPath triangle;
            triangle.moveTo(8.0, 5.5);
            triangle.lineTo(14.5, 10.0);
            triangle.lineTo(8.0, 14.5);
            triangle.closeSubpath();
            painter.setBrush(colour);
            painter.setPen(RoundPen(colour, 1.0));
            painter.drawPath(triangle);
            break;
        }
        case Icon::kDownload: {
            painter.drawLine(QPointF(10, 2), QPointF(10, 12.5));
            QPainterPath head;
            head.moveTo(5.5, 8.5);
            head.lineTo(10, 13.5);
            head.lineTo(14.5, 8.5);
            painter.drawPath(head);
            QPainterPath tray;
            tray.moveTo(2.5, 13.5);
            tray.lineTo(2.5, 17.5);
            tray.lineTo(17.5, 17.5);
            tray.lineTo(17.5, 13.5);
            painter.drawPath(tray);
            break;
        }
        case Icon::kCopy:
            painter.drawRoundedRect(QRectF(2.5, 2.5, 10, 12), 1.5, 1.5);
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(QRectF(7.5, 5.5, 10, 12), 1.5, 1.5);
            painter.setPen(RoundPen(colour, 1.4));
            painter.drawLine(QPointF(10, 9.5), QPointF(15, 9.5));
            painter.drawLine(QPointF(10, 12.5), QPointF(15, 12.5));
            break;
        case Icon::kEnter: {
            painter.setPen(RoundPen(colour, 3.0));
            QPainterPath tick;
            tick.moveTo(3.5, 10.5);
            tick.lineTo(8.0, 15.0);
            tick.lineTo(16.5, 4.5);
            painter.drawPath(tick);
            break;
        }
        case Icon::kCancel:
            painter.setPen(RoundPen(colour, 3.0));
            painter.drawLine(QPointF(4.5, 4.5), QPointF(15.5, 15.5));
            painter.drawLine(QPointF(15.5, 4.5), QPointF(4.5, 15.5));
            break;
        case Icon::kPerson:
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawEllipse(QPointF(10, 6), 3.8, 3.8);
            painter.drawChord(QRectF(3.0, 11.0, 14.0, 14.0), 0, 180 * 16);
            break;
        case Icon::kPadlock:
            painter.drawArc(QRectF(5.5, 2.0, 9.0, 11.0), 0, 180 * 16);
            painter.drawLine(QPointF(5.5, 7.5), QPointF(5.5, 9.0));
            painter.drawLine(QPointF(14.5, 7.5), QPointF(14.5, 9.0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRoundedRect(QRectF(3.5, 9.0, 13.0, 9.5), 1.5, 1.5);
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPointF(10, 13.0), 1.5, 1.5);
            break;
        case Icon::kGlobe:
            painter.setPen(RoundPen(colour, 1.6));
            painter.drawEllipse(QPointF(10, 10), 8, 8);
            painter.drawEllipse(QPointF(10, 10), 3.5, 8);
            painter.drawLine(QPointF(2, 10), QPointF(18, 10));
            painter.drawLine(QPointF(3.5, 6), QPointF(16.5, 6));
            painter.drawLine(QPointF(3.5, 14), QPointF(16.5, 14));
            break;
        case Icon::kPlug:
            painter.setPen(RoundPen(colour, 2.2));
            painter.drawLine(QPointF(7.5, 2.0), QPointF(7.5, 6.0));
            painter.drawLine(QPointF(12.5, 2.0), QPointF(12.5, 6.0));
            painter.drawLine(QPointF(10, 15.5), QPointF(10, 19.0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRoundedRect(QRectF(4.5, 6.0, 11.0, 6.0), 1.0, 1.0);
            painter.drawChord(QRectF(4.5, 7.0, 11.0, 9.0), 180 * 16, 180 * 16);
            break;
        case Icon::kNone:
            break;
    }
    painter.restore();
}

QImage DrawButtonFace(const QImage& backdrop, Icon icon, std::string_view caption, FaceState state,
                      QColor accent) {
    QImage image = backdrop.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const TileColours colours = ColoursOf(state);
    const QRectF tile(1.0, 1.0, width - 2.0, height - 2.0);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0.0, colours.top);
    fill.setColorAt(1.0, colours.bottom);
    painter.setBrush(fill);
    painter.setPen(QPen(colours.border, colours.borderWidth));
    const qreal inset = colours.borderWidth / 2.0;
    painter.drawRoundedRect(tile.adjusted(inset - 0.5, inset - 0.5, 0.5 - inset, 0.5 - inset), 6,
                            6);
    // A pressed face moves its content by a pixel, as if pushed in (the
    // caption only sideways, clear of the border).
    const int shift = state == FaceState::kDown ? 1 : 0;
    const QRect content(shift, shift, width, height - shift);
    const QColor iconColour = state == FaceState::kOver ? accent.lighter(115) : accent;
    DrawIconAndCaption(painter, content.adjusted(0, 1, 0, 0), icon, caption, iconColour,
                       QColor(0x1F, 0x44, 0x70));
    return image;
}

QImage DrawLabelFace(const QImage& backdrop, Icon icon, std::string_view caption) {
    QImage image = backdrop.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE1, 0xEA, 0xF4));
    painter.drawRoundedRect(QRectF(0.5, 0.5, width - 1.0, height - 1.0), 5, 5);
    DrawIconAndCaption(painter, QRect(0, 0, width, height), icon, caption, QColor(0x2A, 0x55, 0x87),
                       QColor(0x1F, 0x44, 0x70));
    return image;
}

}  // namespace skingen
