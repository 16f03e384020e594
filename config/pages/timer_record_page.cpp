#include "config/pages/timer_record_page.h"

#include <QComboBox>
#include <QTimeEdit>

#include "config/pages/page_controls.h"
#include "config/sheet/section_layouts.h"

using namespace cfg;

namespace {

QTime TimeOfValue(std::uint16_t value) {
    return QTime(value >> 8, value & 0xFF);
}

std::uint16_t ValueOfTime(const QTime& time) {
    return static_cast<std::uint16_t>(time.hour() * 256 + time.minute());
}

}  // namespace

const QStringList& TimerRecordPage::DayNames() {
    static const QStringList names{"OFF", "SUN", "MON",     "TUE",     "WED",  "THU",
                                   "FRI", "SAT", "MON-FRI", "SAT-SUN", "DAILY"};
    return names;
}

TimerRecordPage::TimerRecordPage(const DeviceIdentity& device, std::span<const std::uint8_t> dvrRec,
                                 QWidget* parent)
    : QWidget(parent) {
    using namespace pages;
    MakeLabel(this, 0, QStringLiteral("DATE"), 55, 12, 110);
    MakeLabel(this, 0, QStringLiteral("START"), 175, 12, 90);
    MakeLabel(this, 0, QStringLiteral("END"), 295, 12, 90);
    for (std::size_t i = 0; i < m_days.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        const int y = 6 + 34 * row;
        MakeLabel(this, 0, QString("%1.").arg(row), 20, y + 1, 30);
        m_days[i] = MakeCombo(this, 1195 + static_cast<int>(i), 55, y, 110);
        m_days[i]->addItems(DayNames());
        m_days[i]->setCurrentIndex(-1);
        m_starts[i] = MakeControl<QTimeEdit>(this, 1479 + 2 * static_cast<int>(i), 175, y, 90);
        MakeLabel(this, 0, QStringLiteral("--"), 272, y + 1, 20);
        m_ends[i] = MakeControl<QTimeEdit>(this, 1480 + 2 * static_cast<int>(i), 295, y, 90);
    }
    for (std::size_t r = 0; r < DVRREC::kTimerRows; ++r) {
        m_device.modes[r] = ReadByte(dvrRec, DVRREC::TimerMode.At(r));
        m_device.starts[r] = ReadU16(dvrRec, DVRREC::TimerStart.At(r));
        m_device.ends[r] = ReadU16(dvrRec, DVRREC::TimerEnd.At(r));
    }
    OnInitDialog(device);
}

void TimerRecordPage::OnInitDialog(const DeviceIdentity& device) {
    if (!device.IsDvr() || !device.Meets("1058")) {
        for (std::size_t i = 0; i < m_days.size(); ++i) {
            m_days[i]->setEnabled(false);
            m_starts[i]->setEnabled(false);
            m_ends[i]->setEnabled(false);
            pages::ShowNoValue(m_starts[i]);
            pages::ShowNoValue(m_ends[i]);
        }
        return;
    }
    m_filled = true;
    for (std::size_t i = 0; i < m_days.size(); ++i) {
        m_starts[i]->setDisplayFormat("HH : mm");
        m_ends[i]->setDisplayFormat("HH : mm");
        m_starts[i]->setTime(TimeOfValue(m_device.starts[i]));
        m_ends[i]->setTime(TimeOfValue(m_device.ends[i]));
        m_shownStarts[i] = m_starts[i]->time();
        m_shownEnds[i] = m_ends[i]->time();
        const int mode = m_device.modes[i];
        m_days[i]->setCurrentIndex(mode < m_days[i]->count() ? mode : -1);
    }
}

TimerPageValues TimerRecordPage::TakePageValues() {
    // Rows the page never showed hand back the device's values, so an
    // untouched or disabled row is never sent as a day of 0xFF or 00:00.
    TimerPageValues values = m_device;
    if (!m_filled) {
        return values;
    }
    for (std::size_t i = 0; i < m_days.size(); ++i) {
        if (m_days[i]->currentIndex() >= 0) {
            values.modes[i] = static_cast<std::uint8_t>(m_days[i]->currentIndex());
        }
        const QTime start = m_starts[i]->time();
        const QTime end = m_ends[i]->time();
        // A stored time no picker can show (minute 60, say) stays as stored
        // until the operator picks another.
        if (start != m_shownStarts[i]) {
            values.starts[i] = ValueOfTime(start);
        }
        if (end != m_shownEnds[i]) {
            values.ends[i] = ValueOfTime(end);
        }
    }
    return values;
}
