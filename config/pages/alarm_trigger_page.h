#pragma once

// The "R.E.T.R." page. The sheet builds it but no family shows it: its
// values reach no device section and no setting. It shows the connection
// check address, the remote-record choice and the time limit; the quality,
// resolution, on/off and interval controls exist hidden.

#include <QWidget>

#include <cstdint>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CAlarmTriggerPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdInterval = 1195;
    static constexpr int kIdCheckAddress = 1055;
    static constexpr int kIdEnable = 1348;
    static constexpr int kIdDisable = 1349;
    static constexpr int kIdDay = 1351;
    static constexpr int kIdHour = 1040;
    static constexpr int kIdMinute = 1041;

    // `remoteRecord` is the "RETR Alarm Record" setting the opener copied.
    explicit CAlarmTriggerPage(std::uint8_t remoteRecord, QWidget* parent = nullptr);

    void OnInitDialog();
    // The hour and minute edits: digits only, clamped to 0..23 and 0..59.
    void OnTimeChanged(QLineEdit* changed);
    void MembersToControls();

    QLineEdit* HourEdit() const { return m_hourEdit; }
    QLineEdit* MinuteEdit() const { return m_minuteEdit; }
    QLineEdit* AddressEdit() const { return m_address; }
    QRadioButton* EnableButton() const { return m_enable; }
    QRadioButton* DisableButton() const { return m_disable; }
    QComboBox* DayList() const { return m_day; }
    QComboBox* IntervalList() const { return m_interval; }
    int Hour() const { return m_iHour; }
    int Minute() const { return m_iMinute; }
    bool RemoteRecord() const { return m_bRemoteRecord; }

private:
    int m_iInterval = -1;
    int m_iDay = -1;
    int m_iHour = 0;
    int m_iMinute = 0;
    int m_iQuality = 0;
    int m_iResolution = 0;
    std::uint32_t m_dwCheckAddress = 0;
    int m_iOnOff = 0;
    bool m_bRemoteRecord = false;

    QComboBox* m_interval = nullptr;
    QLineEdit* m_address = nullptr;
    QRadioButton* m_enable = nullptr;
    QRadioButton* m_disable = nullptr;
    QComboBox* m_day = nullptr;
    QLineEdit* m_hourEdit = nullptr;
    QLineEdit* m_minuteEdit = nullptr;
    bool m_writing = false;
};
