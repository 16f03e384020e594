#pragma once

// The "Timer Record" page of a recorder: seven rows of a day selection with
// a start and an end time, from the DVRREC section. APPLY takes the rows
// back and the sheet sends DVRREC when a row changed. On a recorder older
// than "1058" the rows stay disabled and hand back what the device holds.

#include <QTime>
#include <QWidget>

#include <array>

#include "config/sheet/save_routines.h"
#include "config/sheet/sheet_pages.h"

class QComboBox;
class QTimeEdit;

class TimerRecordPage : public QWidget, public SheetPageValues<TimerPageValues> {
    Q_OBJECT
public:
    // `dvrRec` is the DVRREC section the sheet read.
    TimerRecordPage(const DeviceIdentity& device, std::span<const std::uint8_t> dvrRec,
                    QWidget* parent = nullptr);

    TimerPageValues TakePageValues() override;

    bool FilledFromDevice() const { return m_filled; }
    QComboBox* DayList(std::size_t row) const { return m_days[row]; }
    QTimeEdit* StartPicker(std::size_t row) const { return m_starts[row]; }
    QTimeEdit* EndPicker(std::size_t row) const { return m_ends[row]; }

    // The day list's items, in index order.
    static const QStringList& DayNames();

private:
    void OnInitDialog(const DeviceIdentity& device);

    std::array<QTimeEdit*, 7> m_starts{};
    std::array<QTimeEdit*, 7> m_ends{};
    std::array<QComboBox*, 7> m_days{};
    // The device's rows as the section held them.
    TimerPageValues m_device;
    std::array<QTime, 7> m_shownStarts{};
    std::array<QTime, 7> m_shownEnds{};
    bool m_filled = false;
};
