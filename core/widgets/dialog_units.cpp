#include "core/widgets/dialog_units.h"

#include <QFontMetrics>
#include <cmath>

namespace {

struct BaseUnits {
    int x;
    int y;
};

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString kAlphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average =
        (metrics.horizontalAdvance(kAlphabet) / 26 + 1) / 2;  // rounded mean of 52 letters
    return {std::max(average, 1), std::max(metrics.height(), 1)};
}

int Scale(int units, int base, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(units) * base / divisor));
}

}  // namespace

QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height) {
    const BaseUnits base = BaseUnitsOf(font);
    return {Scale(x, base.x, 4), Scale(y, base.y, 8), Scale(width, base.x, 4),
            Scale(height, base.y, 8)};
}
