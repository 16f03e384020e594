#pragma once

// The "Server Time Config" page (Q3A2, Q9C0): how the device keeps its
// clock, from an SNTP server (named or automatic, with a time zone) or from
// a date and time the operator enters. "Sync Time" sends "/SyncTime.cgi" at
// once and asks the sheet to store the SNTP settings.

#include <QWidget>

#include <cstdint>

#include "config/sheet/sheet_pages.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

class CSNTPPage : public QWidget, public SheetPageValues<SntpPageValues> {
    Q_OBJECT
public:
    static constexpr int kServerRoom = 27;

    explicit CSNTPPage(MySystemDialog& sheet);

    SntpPageValues TakePageValues() override;

    void OnSntpMode();
    void OnUserMode();
    void OnNamedServer();
    void OnAutomatic();
    // Sends the setting; false when it was refused or the send failed.
    bool OnSyncTime();

    std::uint8_t Mode() const { return m_mode; }
    std::uint8_t Automatic() const { return m_automatic; }
    QDateEdit* DatePicker() const { return m_date; }
    QTimeEdit* TimePicker() const { return m_time; }

private:
    void OnInitDialog();
    void ShowMode();
    void ShowAutomatic();
    // The zone chosen in the list; -1 for none.
    int ZoneIndex() const;

    MySystemDialog& m_sheet;
    QRadioButton* m_sntpMode = nullptr;
    QRadioButton* m_userMode = nullptr;
    QLabel* m_gmtLabel = nullptr;
    QComboBox* m_zones = nullptr;
    QLabel* m_serverLabel = nullptr;
    QLineEdit* m_serverEdit = nullptr;
    QRadioButton* m_named = nullptr;
    QRadioButton* m_auto = nullptr;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QLabel* m_dateLabel = nullptr;
    QLabel* m_timeLabel = nullptr;

    std::uint8_t m_mode = 1;
    std::uint8_t m_automatic = 0;
    // The device's zone index when it lies outside the table: never shown,
    // never sent, kept unchanged by the saves.
    int m_storedZone = 0;
};
