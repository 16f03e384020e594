#pragma once

// Where the texts of the main window's status line go: the status text at
// the line's start and the frame title 160 pixels in, or just after a
// status text that reaches further; the title is cut with an ellipsis
// before the alarm mark, so neither text covers the other or the marks.

#include <QPoint>
#include <QString>

#include "liveview/skin/skin_tables.h"

class QFontMetrics;

struct StatusLineLayout {
    QPoint statusAt;  // top left of the status text
    QPoint titleAt;   // top left of the title
    QString title;    // as it fits; empty: no title shown
};

StatusLineLayout LayOutStatusLine(const QFontMetrics& metrics, const ViewLayoutRow& v,
                                  const QString& status, const QString& title);
