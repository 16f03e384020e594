#pragma once

#include <QFont>
#include <QRect>

// Dialog templates place their controls in dialog units: a quarter of the
// font's average character width across, an eighth of its height down. The
// conversion uses the widget's own font, so a template keeps its proportions
// whatever font the desktop uses.
QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height);
