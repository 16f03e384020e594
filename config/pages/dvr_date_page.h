#pragma once

// The "Date" page of a recorder: its clock, date format and daylight-saving
// rule, asked for with "/GetDvrDate.cgi" when the page is built and sent
// back with "/SetDvrDate.cgi" by the sheet's APPLY. Only a page filled from
// the device sends anything: a recorder older than "1058", or a failed
// read, leaves every control disabled and the device untouched.

#include <QDate>
#include <QTime>
#include <QWidget>

#include <array>

#include "config/pages/dvr_settings.h"
#include "config/sheet/read_values.h"
#include "config/sheet/sheet_pages.h"

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QRadioButton;
class QTimeEdit;

class DVRDatePage : public QWidget, public SheetCommandPage {
    Q_OBJECT
public:
    explicit DVRDatePage(DeviceIdentity device, QWidget* parent = nullptr);

    // Reads the device's values and shows them, or disables the page.
    void OnInitDialog();
    // The request and its reply: 1 when the device answered.
    int ReadDeviceDate();

    // APPLY: sends "/SetDvrDate.cgi" when a value changed.
    int SaveToDevice() override;

    bool FilledFromDevice() const { return m_filled; }
    const DvrDateValues& DeviceValues() const { return m_values; }
    // The edits as APPLY reads them.
    DvrDateEdits Edits() const;

    // Controls by their ids, for the sheet's tests.
    QWidget* Control(int id) const;

    // Date picker formats by format index.
    static QString DateFormatFor(int formatIndex);

private:
    void OnFormatChanged(int index);
    void SetDaylight(std::uint8_t flag);

    DeviceIdentity m_device;
    DvrDateValues m_values;
    std::uint8_t m_daylight = 0;
    bool m_filled = false;
    // What the pickers showed once the device's values were put into them.
    struct Shown {
        QDate date;
        QTime time, start, end, adjust;
    } m_shown;

    QTimeEdit* m_start = nullptr;         // 1499
    QTimeEdit* m_end = nullptr;           // 1502
    QTimeEdit* m_adjust = nullptr;        // 1503
    QTimeEdit* m_time = nullptr;          // 1481
    QDateEdit* m_date = nullptr;          // 1480
    QComboBox* m_format = nullptr;        // 1195
    QComboBox* m_endWeek = nullptr;       // 1500
    QComboBox* m_startWeek = nullptr;     // 1497
    QComboBox* m_endWeekday = nullptr;    // 1506
    QComboBox* m_endMonth = nullptr;      // 1507
    QComboBox* m_startWeekday = nullptr;  // 1504
    QComboBox* m_startMonth = nullptr;    // 1505
    QRadioButton* m_on = nullptr;         // 1482
    QRadioButton* m_off = nullptr;        // 1483
};
