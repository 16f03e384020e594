#pragma once

// The "Record Setting" page of a recorder: manual, event and timer
// recording with their rates, overwrite, image size, quality and how the
// total rate is shared. Read with "/GetRecordSetting.cgi" when the page is
// built; APPLY sends "/SetRecordSetting.cgi". A page the device did not fill
// (older than "1058", a failed read, a record mode or video type the rate
// table does not know) stays disabled and sends nothing.

#include <QWidget>

#include "config/pages/dvr_channels.h"
#include "config/pages/dvr_settings.h"
#include "config/sheet/read_values.h"
#include "config/sheet/sheet_pages.h"

class QComboBox;
class QRadioButton;

class DVRRecordPage : public QWidget, public SheetCommandPage {
    Q_OBJECT
public:
    explicit DVRRecordPage(DeviceIdentity device, QWidget* parent = nullptr);

    void OnInitDialog();
    int ReadRecordSetting();

    int SaveToDevice() override;

    bool FilledFromDevice() const { return m_filled; }
    const RecordSettingValues& DeviceValues() const { return m_reply; }
    // The working values and rate indexes as APPLY reads them.
    RecordSettingEdits Edits() const;

    QWidget* Control(int id) const;

    // Button handlers.
    void OnFrame();
    void OnField();
    void OnCif();

private:
    void FillRates(std::uint8_t recMode);
    void WriteControls();
    void ReadControls();
    void Pair(QRadioButton* yes, QRadioButton* no, std::uint8_t& member, std::uint8_t value);
    void TickMode();

    DeviceIdentity m_device;
    int m_eventRate = -1, m_manualRate = -1, m_timerRate = -1, m_qualityIndex = -1;
    RecordSettingValues m_reply;
    std::uint8_t m_manual = 0, m_event = 0, m_timer = 0, m_overwrite = 0, m_quality = 0,
                 m_recMode = 0, m_recordFix = 0;
    bool m_filled = false;

    QRadioButton* m_manualYes = nullptr;  // 1483
    QRadioButton* m_manualNo = nullptr;   // 1484
    QRadioButton* m_eventYes = nullptr;   // 1485
    QRadioButton* m_eventNo = nullptr;    // 1486
    QRadioButton* m_timerYes = nullptr;   // 1487
    QRadioButton* m_timerNo = nullptr;    // 1488
    QRadioButton* m_overYes = nullptr;    // 1489
    QRadioButton* m_overNo = nullptr;     // 1490
    QRadioButton* m_frame = nullptr;      // 1491
    QRadioButton* m_field = nullptr;      // 1492
    QRadioButton* m_cif = nullptr;        // 1493
    QRadioButton* m_fix = nullptr;        // 1496
    QRadioButton* m_group = nullptr;      // 1497
    QComboBox* m_manualList = nullptr;    // 1195
    QComboBox* m_timerList = nullptr;     // 1197
    QComboBox* m_eventList = nullptr;     // 1198
    QComboBox* m_qualityList = nullptr;   // 1494
};
