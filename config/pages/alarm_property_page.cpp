#include "config/pages/alarm_property_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "core/state/device_family.h"
#include "media/frame_header.h"

using namespace cfg;
using namespace pages;

namespace {

constexpr std::array<const char*, 6> kServerDurationTexts{"3      SEC", "15     SEC", "30     SEC",
                                                          "1      MIN", "30     MIN", "AUTO"};
constexpr std::array<const char*, 4> kDvrDurationTexts{"5      SEC", "10     SEC", "20     SEC",
                                                       "40     SEC"};

// The trigger method after a click on "Email" or "FTP": one way always
// stays chosen.
constexpr std::array<std::uint8_t, 4> kAfterEmail{1, 1, 3, 2};
constexpr std::array<std::uint8_t, 4> kAfterFtp{2, 3, 2, 1};

}  // namespace

AlarmPropertyPage::AlarmPropertyPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("AlarmPropertyPage"));
    MakeLabel(this, 0, QStringLiteral("Alarm Trigger : "), 14, 18, 110);
    m_trigger[0] = MakeRadio(this, 1292, QStringLiteral("Enable"), 130, 18, 80);
    m_trigger[1] = MakeRadio(this, 1293, QStringLiteral("Disable"), 220, 18, 80);
    MakeLabel(this, 0, QStringLiteral("Alarm Method : "), 14, 46, 110);
    m_email = MakeCheck(this, 1318, QStringLiteral("Email"), 130, 46, 80);
    m_ftp = MakeCheck(this, 1319, QStringLiteral("FTP"), 220, 46, 80);
    MakeLabel(this, 0, QStringLiteral("Post Numbers : "), 14, 76, 110);
    m_postCombo = MakeCombo(this, 1296, 130, 74, 60);
    MakeLabel(this, 0, QStringLiteral("Pics"), 196, 76, 40);
    MakeLabel(this, 0, QStringLiteral("Alarm Duration : "), 14, 106, 110);
    m_durationCombo = MakeCombo(this, 1294, 130, 104, 110);
    auto* refresh = MakeButton(this, 1068, QStringLiteral("Alarm\nRefresh"), 340, 14, 90, 44);
    m_autoSwitch =
        MakeCheck(this, 1461, QStringLiteral("Auto switch to alarm video"), 14, 136, 260);

    m_sourceGroup =
        MakeGroup(this, 1355, QStringLiteral("Alarm Video Source Definition"), 14, 164, 426, 80);
    m_sourceLabels[0] = MakeLabel(this, 1476, QStringLiteral("CH1 Source :"), 24, 188, 90);
    m_sourceLabels[1] = MakeLabel(this, 1477, QStringLiteral("CH2 Source :"), 24, 214, 90);
    constexpr std::array<const char*, 4> kInputs{"1", "2", "3", "4 (Alarm)"};
    for (int input = 0; input < 4; ++input) {
        for (int ch = 0; ch < 2; ++ch) {
            auto* radio = MakeRadio(this, 1478 + 2 * input + ch,
                                    QString::fromLatin1(kInputs[static_cast<std::size_t>(input)]),
                                    116 + 70 * input, 188 + 26 * ch, input == 3 ? 100 : 68);
            m_sources[static_cast<std::size_t>(ch)][static_cast<std::size_t>(input)] = radio;
            connect(radio, &QRadioButton::clicked, this,
                    [this, input, ch] { OnSource(input + 1, ch == 1); });
        }
    }
    m_record[0] = MakeLabel(this, 1440, QStringLiteral("Alarm Record :"), 14, 256, 110);
    m_record[1] = MakeRadio(this, 1441, QStringLiteral("ON"), 130, 256, 60);
    m_record[2] = MakeRadio(this, 1442, QStringLiteral("OFF"), 200, 256, 60);

    for (int i = 1; i <= kPostNumbers; ++i) {
        m_postCombo->addItem(QString::number(i));
    }
    connect(m_trigger[0], &QRadioButton::clicked, this, &AlarmPropertyPage::OnEnable);
    connect(m_trigger[1], &QRadioButton::clicked, this, &AlarmPropertyPage::OnDisable);
    connect(m_email, &QCheckBox::clicked, this, &AlarmPropertyPage::OnEmail);
    connect(m_ftp, &QCheckBox::clicked, this, &AlarmPropertyPage::OnFtp);
    connect(static_cast<QRadioButton*>(m_record[1]), &QRadioButton::clicked, this,
            &AlarmPropertyPage::OnRecordOn);
    connect(static_cast<QRadioButton*>(m_record[2]), &QRadioButton::clicked, this,
            &AlarmPropertyPage::OnRecordOff);
    connect(m_autoSwitch, &QCheckBox::clicked, this, &AlarmPropertyPage::OnAutoSwitch);
    connect(refresh, &QPushButton::clicked, this, &AlarmPropertyPage::OnAlarmRefresh);
    OnInitDialog();
}

void AlarmPropertyPage::OnInitDialog() {
    const DeviceIdentity& device = m_sheet.Device();
    const auto& alarm = m_sheet.Sender().config().alarm;
    const SheetReadValues& read = m_sheet.ReadValues();

    m_durationCombo->clear();
    if (device.IsDvr()) {
        for (const char* text : kDvrDurationTexts) {
            m_durationCombo->addItem(QString::fromLatin1(text));
        }
    } else if (device.IsServerFamily()) {
        for (const char* text : kServerDurationTexts) {
            m_durationCombo->addItem(QString::fromLatin1(text));
        }
    }
    m_durationCombo->setCurrentIndex(read.alarmDurationIndex);

    // The image size has no visible control: the device's value stays.
    m_imageSize = ReadByte(alarm, ALARM::ImageSize);
    const int postIndex = read.postNumbersIndex;
    if (postIndex >= kPostNumbers) {
        m_postIndexBeyondList = postIndex;
        m_postCombo->addItem(QString::number(postIndex + 1));
        m_postCombo->setCurrentIndex(kPostNumbers);
    } else {
        m_postCombo->setCurrentIndex(postIndex);
    }

    m_method = ReadByte(alarm, ALARM::Method);
    ShowMethod();

    const SheetLocalValues& local = m_sheet.LocalValues();
    const bool record = device.IsQ3A2() || device.IsQ7B();
    for (QWidget* w : m_record) {
        w->setVisible(record);
    }
    static_cast<QRadioButton*>(m_record[1])->setChecked(local.alarmTriggerRecord == 1);
    static_cast<QRadioButton*>(m_record[2])->setChecked(local.alarmTriggerRecord != 1);

    m_videoSource = ReadByte(alarm, ALARM::VideoSource);
    const bool sources = device.IsQ3A2();
    m_sourceGroup->setVisible(sources);
    for (QLabel* label : m_sourceLabels) {
        label->setVisible(sources);
    }
    for (const auto& row : m_sources) {
        for (QRadioButton* radio : row) {
            radio->setVisible(sources);
        }
    }
    ShowSources();

    const bool autoSwitch = device.IsDvr() && IsMultiChannel() != 0;
    m_autoSwitch->setVisible(autoSwitch);
    m_autoSwitch->setChecked(local.alarmAutoSwitch != 0);
}

void AlarmPropertyPage::ShowMethod() {
    const bool enabled = m_method != 0;
    m_trigger[0]->setChecked(enabled);
    m_trigger[1]->setChecked(!enabled);
    m_email->setChecked(m_method == 1 || m_method == 3);
    m_ftp->setChecked(m_method == 2 || m_method == 3);
    m_email->setEnabled(enabled);
    m_ftp->setEnabled(enabled);
}

void AlarmPropertyPage::ShowSources() {
    for (std::size_t input = 0; input < 4; ++input) {
        const bool channel2 = (m_videoSource >> input) & 1;
        m_sources[0][input]->setChecked(!channel2);
        m_sources[1][input]->setChecked(channel2);
    }
}

void AlarmPropertyPage::OnEnable() {
    m_method = 1;
    ShowMethod();
}

void AlarmPropertyPage::OnDisable() {
    m_method = 0;
    ShowMethod();
}

void AlarmPropertyPage::OnEmail() {
    m_method = kAfterEmail[m_method & 3];
    ShowMethod();
}

void AlarmPropertyPage::OnFtp() {
    m_method = kAfterFtp[m_method & 3];
    ShowMethod();
}

void AlarmPropertyPage::OnRecordOn() {
    m_sheet.LocalValues().alarmTriggerRecord = 1;
    static_cast<QRadioButton*>(m_record[1])->setChecked(true);
    static_cast<QRadioButton*>(m_record[2])->setChecked(false);
}

void AlarmPropertyPage::OnRecordOff() {
    m_sheet.LocalValues().alarmTriggerRecord = 0;
    static_cast<QRadioButton*>(m_record[1])->setChecked(false);
    static_cast<QRadioButton*>(m_record[2])->setChecked(true);
}

void AlarmPropertyPage::OnSource(int input, bool channel2) {
    const auto bit = static_cast<std::uint8_t>(1u << (input - 1));
    m_videoSource = channel2 ? static_cast<std::uint8_t>(m_videoSource | bit)
                             : static_cast<std::uint8_t>(m_videoSource & ~bit);
    ShowSources();
}

void AlarmPropertyPage::OnAutoSwitch() {
    std::uint8_t& autoSwitch = m_sheet.LocalValues().alarmAutoSwitch;
    autoSwitch = autoSwitch != 0 ? 0 : 1;
    m_autoSwitch->setChecked(autoSwitch != 0);
}

void AlarmPropertyPage::OnAlarmRefresh() {
    C_FrameHeaderParser.ResetAlarmValue();
}

AlarmPageValues AlarmPropertyPage::TakePageValues() {
    AlarmPageValues values;
    values.method = m_method;
    values.imageSize = m_imageSize;
    values.videoSource = m_videoSource;
    const int post = m_postCombo->currentIndex();
    if (post == kPostNumbers && m_postIndexBeyondList >= 0) {
        values.postNumbersIndex = static_cast<std::uint8_t>(m_postIndexBeyondList);
    } else if (post >= 0) {
        values.postNumbersIndex = static_cast<std::uint8_t>(post);
    } else {
        values.postNumbersIndex = m_sheet.ReadValues().postNumbersIndex;
    }
    values.durationRow = m_durationCombo->currentIndex();
    return values;
}
