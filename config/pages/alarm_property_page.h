#pragma once

// The "Alarm" page: whether and how the device reports an alarm (e-mail,
// FTP or both), the pictures per alarm, the alarm duration by family, which
// video input belongs to which channel (Q3A2), and two local settings: the
// client's alarm recording and the live view's switch to the alarm channel.
// "Alarm Refresh" clears the alarm value the stream parser keeps.

#include <QWidget>

#include <array>
#include <cstdint>

#include "config/sheet/sheet_pages.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QGroupBox;

class AlarmPropertyPage : public QWidget, public SheetPageValues<AlarmPageValues> {
    Q_OBJECT
public:
    static constexpr int kPostNumbers = 10;

    explicit AlarmPropertyPage(MySystemDialog& sheet);

    AlarmPageValues TakePageValues() override;

    void OnEnable();
    void OnDisable();
    void OnEmail();
    void OnFtp();
    void OnRecordOn();
    void OnRecordOff();
    void OnSource(int input, bool channel2);
    void OnAutoSwitch();
    void OnAlarmRefresh();

    std::uint8_t Method() const { return m_method; }
    std::uint8_t VideoSource() const { return m_videoSource; }

private:
    void OnInitDialog();
    void ShowMethod();
    void ShowSources();

    MySystemDialog& m_sheet;
    std::array<QRadioButton*, 2> m_trigger{};  // Enable, Disable
    QCheckBox* m_email = nullptr;
    QCheckBox* m_ftp = nullptr;
    QComboBox* m_postCombo = nullptr;
    QComboBox* m_durationCombo = nullptr;
    QCheckBox* m_autoSwitch = nullptr;
    QGroupBox* m_sourceGroup = nullptr;
    std::array<QLabel*, 2> m_sourceLabels{};
    std::array<std::array<QRadioButton*, 4>, 2> m_sources{};  // [channel][input]
    std::array<QWidget*, 3> m_record{};                       // label, ON, OFF

    std::uint8_t m_imageSize = 3;
    std::uint8_t m_method = 1;
    std::uint8_t m_videoSource = 0;
    // The device's post number when it lies beyond the list: shown as an
    // extra row and kept unless another row is chosen.
    int m_postIndexBeyondList = -1;
};
