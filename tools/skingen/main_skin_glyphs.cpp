#include "tools/skingen/main_skin_glyphs.h"

#include <QPainterPath>
#include <QPen>
#include <array>
#include <initializer_list>

namespace skingen {

namespace {

QPen RoundPen(QColor colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void FillPath(QPainter& p, std::initializer_list<QPointF> points, QColor colour) {
    QPainterPath path;
    auto it = points.begin();
    path.moveTo(*it);
    for (++it; it != points.end(); ++it) {
        path.lineTo(*it);
    }
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

void Magnifier(QPainter& p, QColor c) {
    p.setPen(RoundPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8.5, 8.5), 5.8, 5.8);
    p.setPen(RoundPen(c, 3.2));
    p.drawLine(QPointF(13.0, 13.0), QPointF(18.0, 18.0));
}

void Grid(QPainter& p, QColor c, int columns, int rows) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double gap = columns >= 4 ? 1.2 : 1.6;
    const double w = (18.0 - gap * (columns - 1)) / columns;
    const double h = (18.0 - gap * (rows - 1)) / rows;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            p.drawRect(QRectF(1 + x * (w + gap), 1 + y * (h + gap), w, h));
        }
    }
}

void Gear(QPainter& p, QColor c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(10, 10);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-1.8, -9.2, 3.6, 4.5));
        p.restore();
    }
    p.drawEllipse(QPointF(10, 10), 6.4, 6.4);
}

}  // namespace

void DrawGlyph(QPainter& painter, const QRectF& box, Glyph glyph, QColor c, QColor back) {
    QPainter& p = painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(box.topLeft());
    p.scale(box.width() / 20.0, box.height() / 20.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(RoundPen(c, 2.0));
    switch (glyph) {
        case Glyph::kArrowLeft:
            FillPath(p, {{3, 10}, {15, 2.5}, {15, 17.5}}, c);
            break;
        case Glyph::kArrowRight:
            FillPath(p, {{17, 10}, {5, 2.5}, {5, 17.5}}, c);
            break;
        case Glyph::kArrowUp:
            FillPath(p, {{10, 3}, {2.5, 15}, {17.5, 15}}, c);
            break;
        case Glyph::kArrowDown:
            FillPath(p, {{10, 17}, {2.5, 5}, {17.5, 5}}, c);
            break;
        case Glyph::kMenu:
            p.setPen(RoundPen(c, 2.6));
            for (double y : {4.5, 10.0, 15.5}) {
                p.drawLine(QPointF(3, y), QPointF(17, y));
            }
            break;
        case Glyph::kPip:
            p.drawRect(QRectF(2, 3, 16, 14));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(10, 10, 7, 6));
            break;
        case Glyph::kPop:
            p.drawRect(QRectF(1.5, 4, 9, 12));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(12, 4, 7, 12));
            break;
        case Glyph::kGrid2:
            Grid(p, c, 2, 2);
            break;
        case Glyph::kGrid3:
            Grid(p, c, 3, 3);
            break;
        case Glyph::kGrid4:
            Grid(p, c, 4, 4);
            break;
        case Glyph::kGrid8:
            Grid(p, c, 4, 2);
            break;
        case Glyph::kSearch:
            Magnifier(p, c);
            break;
        case Glyph::kZoomIn:
        case Glyph::kZoomOut:
            Magnifier(p, c);
            p.setPen(RoundPen(c, 1.8));
            p.drawLine(QPointF(5.8, 8.5), QPointF(11.2, 8.5));
            if (glyph == Glyph::kZoomIn) {
                p.drawLine(QPointF(8.5, 5.8), QPointF(8.5, 11.2));
            }
            break;
        case Glyph::kZoomInMax:
        case Glyph::kZoomOutMax: {
            // A magnifier with a double sign: zoom all the way.
            Magnifier(p, c);
            p.setPen(RoundPen(c, 1.5));
            p.drawLine(QPointF(5.5, 7), QPointF(11.5, 7));
            p.drawLine(QPointF(5.5, 10), QPointF(11.5, 10));
            if (glyph == Glyph::kZoomInMax) {
                p.drawLine(QPointF(8.5, 4.5), QPointF(8.5, 12.5));
            }
            break;
        }
        case Glyph::kFocusNear:
        case Glyph::kFocusFar: {
            // Focus brackets around a point (near) or a small mountain (far).
            p.setPen(RoundPen(c, 1.8));
            for (const auto& [x, y, dx, dy] : std::array<std::array<double, 4>, 4>{
                     {{2, 2, 1, 1}, {18, 2, -1, 1}, {2, 18, 1, -1}, {18, 18, -1, -1}}}) {
                p.drawLine(QPointF(x, y), QPointF(x + 4.5 * dx, y));
                p.drawLine(QPointF(x, y), QPointF(x, y + 4.5 * dy));
            }
            if (glyph == Glyph::kFocusNear) {
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                p.drawEllipse(QPointF(10, 10), 3.5, 3.5);
            } else {
                FillPath(p, {{4.5, 15}, {9, 7}, {11.5, 11}, {13, 9}, {15.5, 15}}, c);
            }
            break;
        }
        case Glyph::kPlus:
        case Glyph::kMinus:
            p.setPen(RoundPen(c, 3.0));
            p.drawLine(QPointF(4, 10), QPointF(16, 10));
            if (glyph == Glyph::kPlus) {
                p.drawLine(QPointF(10, 4), QPointF(10, 16));
            }
            break;
        case Glyph::kRecord:
            p.setPen(QPen(QColor(kGlyphRed).darker(130), 1.0));
            p.setBrush(QColor(kGlyphRed));
            p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
            break;
        case Glyph::kStopRecording:
            p.setPen(RoundPen(QColor(kGlyphRed), 2.0));
            p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(6.5, 6.5, 7, 7));
            break;
        case Glyph::kReboot: {
            p.setPen(RoundPen(c, 2.2));
            p.drawArc(QRectF(3.5, 3.5, 13, 13), 120 * 16, 290 * 16);
            FillPath(p, {{7.8, 1.5}, {9.5, 7.5}, {3.5, 6.5}}, c);
            break;
        }
        case Glyph::kEnter: {
            p.setPen(RoundPen(c, 2.4));
            QPainterPath path;
            path.moveTo(16, 3.5);
            path.lineTo(16, 11);
            path.lineTo(6, 11);
            p.drawPath(path);
            FillPath(p, {{2.5, 11}, {8, 6}, {8, 16}}, c);
            break;
        }
        case Glyph::kStop:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(4.5, 4.5, 11, 11));
            break;
        case Glyph::kRewind:
            FillPath(p, {{1.5, 10}, {10, 4}, {10, 16}}, c);
            FillPath(p, {{9.5, 10}, {18, 4}, {18, 16}}, c);
            break;
        case Glyph::kFastForward:
            FillPath(p, {{18.5, 10}, {10, 4}, {10, 16}}, c);
            FillPath(p, {{10.5, 10}, {2, 4}, {2, 16}}, c);
            break;
        case Glyph::kPause:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(5, 4, 3.5, 12));
            p.drawRect(QRectF(11.5, 4, 3.5, 12));
            break;
        case Glyph::kSlow:
            FillPath(p, {{13, 10}, {4, 4}, {4, 16}}, c);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(14, 4, 2.8, 12));
            break;
        case Glyph::kPlay:
            FillPath(p, {{16, 10}, {5.5, 3.5}, {5.5, 16.5}}, c);
            break;
        case Glyph::kLock:
            p.setPen(RoundPen(c, 2.2));
            p.drawArc(QRectF(5.5, 2.0, 9.0, 11.0), 0, 180 * 16);
            p.drawLine(QPointF(5.5, 7.5), QPointF(5.5, 9.0));
            p.drawLine(QPointF(14.5, 7.5), QPointF(14.5, 9.0));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(3.5, 9.0, 13.0, 9.5), 1.5, 1.5);
            p.setBrush(back);
            p.drawEllipse(QPointF(10, 13.3), 1.6, 1.6);
            break;
        case Glyph::kSelect:
            // A pointer arrow.
            FillPath(
                p, {{5, 2}, {5, 16.5}, {8.5, 13}, {11, 18.5}, {13.5, 17.3}, {11, 12}, {16, 12}}, c);
            break;
        case Glyph::kTurbo:
            p.setPen(RoundPen(c, 2.6));
            for (double x : {3.5, 10.0}) {
                QPainterPath chevron;
                chevron.moveTo(x, 4);
                chevron.lineTo(x + 6, 10);
                chevron.lineTo(x, 16);
                p.drawPath(chevron);
            }
            break;
        case Glyph::kPtz:
            // A camera with pan and tilt arrows around it.
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(QPointF(10, 10), 3.6, 3.6);
            FillPath(p, {{10, 0.5}, {7, 4}, {13, 4}}, c);
            FillPath(p, {{10, 19.5}, {7, 16}, {13, 16}}, c);
            FillPath(p, {{0.5, 10}, {4, 7}, {4, 13}}, c);
            FillPath(p, {{19.5, 10}, {16, 7}, {16, 13}}, c);
            break;
        case Glyph::kBell: {
            QPainterPath bell;
            bell.moveTo(3, 15.5);
            bell.cubicTo(5, 13.5, 4.5, 11, 5, 8);
            bell.cubicTo(5.5, 4.5, 7.5, 3, 10, 3);
            bell.cubicTo(12.5, 3, 14.5, 4.5, 15, 8);
            bell.cubicTo(15.5, 11, 15, 13.5, 17, 15.5);
            bell.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPath(bell);
            p.drawEllipse(QPointF(10, 17.3), 2.0, 2.0);
            p.drawRect(QRectF(9, 1, 2, 2.5));
            break;
        }
        case Glyph::kGear:
            Gear(p, c);
            p.setPen(Qt::NoPen);
            p.setBrush(back);
            p.drawEllipse(QPointF(10, 10), 2.6, 2.6);
            break;
        case Glyph::kSequence: {
            // Two arrows chasing each other round a circle.
            p.setPen(RoundPen(c, 2.0));
            p.drawArc(QRectF(3, 3, 14, 14), 20 * 16, 140 * 16);
            p.drawArc(QRectF(3, 3, 14, 14), 200 * 16, 140 * 16);
            FillPath(p, {{1, 9.5}, {7, 9.5}, {4, 13}}, c);
            FillPath(p, {{19, 10.5}, {13, 10.5}, {16, 7}}, c);
            break;
        }
        case Glyph::kMinimise:
            p.setPen(RoundPen(c, 2.8));
            p.drawLine(QPointF(4.5, 15), QPointF(15.5, 15));
            break;
        case Glyph::kFullscreen:
            p.setPen(RoundPen(c, 2.4));
            p.drawRect(QRectF(3.5, 4.5, 13, 11));
            p.drawLine(QPointF(3.5, 6), QPointF(16.5, 6));
            break;
        case Glyph::kClose:
            p.setPen(RoundPen(c, 2.8));
            p.drawLine(QPointF(4.5, 4.5), QPointF(15.5, 15.5));
            p.drawLine(QPointF(15.5, 4.5), QPointF(4.5, 15.5));
            break;
        case Glyph::kPower:
            p.setPen(RoundPen(c, 2.4));
            p.drawArc(QRectF(3.5, 4, 13, 13), 120 * 16, 300 * 16);
            p.drawLine(QPointF(10, 2.5), QPointF(10, 9.5));
            break;
        case Glyph::kChevronUp:
        case Glyph::kChevronDown: {
            p.setPen(RoundPen(c, 3.0));
            const double s = glyph == Glyph::kChevronUp ? -1 : 1;
            for (double y : {7.0, 12.5}) {
                QPainterPath chevron;
                chevron.moveTo(4, y - 2.5 * s);
                chevron.lineTo(10, y + 2.5 * s);
                chevron.lineTo(16, y - 2.5 * s);
                p.drawPath(chevron);
            }
            break;
        }
        case Glyph::kLink:
        case Glyph::kUnlink: {
            p.setPen(RoundPen(c, 2.4));
            p.save();
            p.translate(10, 10);
            p.rotate(-45);
            if (glyph == Glyph::kLink) {
                p.drawRoundedRect(QRectF(-8.5, -3, 9.5, 6), 3, 3);
                p.drawRoundedRect(QRectF(-1, -3, 9.5, 6), 3, 3);
            } else {
                p.drawRoundedRect(QRectF(-9.5, -3, 8, 6), 3, 3);
                p.drawRoundedRect(QRectF(1.5, -3, 8, 6), 3, 3);
            }
            p.restore();
            if (glyph == Glyph::kUnlink) {
                p.setPen(RoundPen(QColor(kGlyphRed), 1.6));
                p.drawLine(QPointF(12.5, 2.5), QPointF(14, 5.5));
                p.drawLine(QPointF(15, 6), QPointF(17.5, 7.5));
                p.drawLine(QPointF(2.5, 12.5), QPointF(5.5, 14));
                p.drawLine(QPointF(6, 15), QPointF(7.5, 17.5));
            }
            break;
        }
        case Glyph::kCamera:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(1.5, 6, 17, 11.5), 2, 2);
            p.drawRect(QRectF(6.5, 3.5, 7, 3));
            p.setBrush(back);
            p.drawEllipse(QPointF(10, 11.8), 3.8, 3.8);
            p.setBrush(c);
            p.drawEllipse(QPointF(10, 11.8), 2.2, 2.2);
            break;
        case Glyph::kColour: {
            // Brightness, contrast and hue: a half-filled circle with a rim.
            p.setPen(RoundPen(c, 2.0));
            p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPie(QRectF(2.5, 2.5, 15, 15), 90 * 16, 180 * 16);
            break;
        }
        case Glyph::kPerson:
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(QPointF(10, 6), 4.0, 4.0);
            p.drawChord(QRectF(2.5, 11.5, 15.0, 15.0), 0, 180 * 16);
            break;
        case Glyph::kFreeze:
            p.setPen(RoundPen(c, 1.8));
            for (int i = 0; i < 3; ++i) {
                p.save();
                p.translate(10, 10);
                p.rotate(i * 60.0);
                p.drawLine(QPointF(0, -8), QPointF(0, 8));
                p.drawLine(QPointF(0, -5.5), QPointF(-2.5, -8));
                p.drawLine(QPointF(0, -5.5), QPointF(2.5, -8));
                p.drawLine(QPointF(0, 5.5), QPointF(-2.5, 8));
                p.drawLine(QPointF(0, 5.5), QPointF(2.5, 8));
                p.restore();
            }
            break;
        case Glyph::kBackground:
        case Glyph::kStatusBar:
        case Glyph::kText:
            break;
    }
    p.restore();
}

}  // namespace skingen
