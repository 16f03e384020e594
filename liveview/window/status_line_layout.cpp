#include "liveview/window/status_line_layout.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

constexpr int kStatusInset = 5;
constexpr int kTextTop = 2;
constexpr int kTitleOffset = 160;
// Room kept between the two texts, and before the alarm mark.
constexpr int kGap = 8;
// The alarm mark starts this far left of the icons' rectangle.
constexpr int kAlarmMarkLead = 34;

}  // namespace

StatusLineLayout LayOutStatusLine(const QFontMetrics& metrics, const ViewLayoutRow& v,
                                  const QString& status, const QString& title) {
    StatusLineLayout layout;
    const int left = v[kVlStatusLeft];
    const int top = v[kVlStatusLeft + 1] + kTextTop;
    layout.statusAt = QPoint(left + kStatusInset, top);
    if (title.isEmpty())
        return layout;
    const int statusEnd = layout.statusAt.x() + metrics.horizontalAdvance(status);
    const int titleX = std::max(left + kTitleOffset, statusEnd + kGap);
    const int limit = std::min<int>(v[kVlStatusLeft + 2], v[kVlIconsLeft] - kAlarmMarkLead) - kGap;
    layout.titleAt = QPoint(titleX, top);
    layout.title = metrics.elidedText(title, Qt::ElideRight, std::max(0, limit - titleX));
    return layout;
}
