#include "config/pages/alarm_trigger_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <string>

#include "config/pages/page_controls.h"
#include "core/state/device_family.h"

namespace {

// A number from a digit text, saturating instead of overflowing.
int DigitsValue(const std::string& digits) {
    int value = 0;
    for (const char c : digits) {
        value = std::min(value * 10 + (c - '0'), 100000);
    }
    return value;
}

}  // namespace

CAlarmTriggerPage::CAlarmTriggerPage(std::uint8_t remoteRecord, QWidget* parent)
    : QWidget(parent), m_bRemoteRecord(remoteRecord != 0) {
    using namespace pages;
    // Created hidden, as the template has them.
    for (const char* text : {"High", "Middle", "Low", "VGA", "QVGA", "ON", "OFF"}) {
        MakeRadio(this, 0, QString::fromLatin1(text), 0, 0, 60)->hide();
    }
    m_interval = MakeCombo(this, kIdInterval, 170, 0, 100);
    m_interval->addItems({QStringLiteral("AUTO"), QStringLiteral("3     SEC"),
                          QStringLiteral("15   SEC"), QStringLiteral("30   SEC"),
                          QStringLiteral("1     MIN"), QStringLiteral("30   MIN")});
    m_interval->hide();

    MakeLabel(this, 0, QStringLiteral("Connection Check IP :\n(GATEWAY)"), 20, 20, 145, 34);
    m_address = MakeEdit(this, kIdCheckAddress, 170, 26, 250);
    m_address->setInputMask(QStringLiteral("000.000.000.000;_"));

    MakeLabel(this, 0, QStringLiteral("Remote Record :"), 20, 70, 145);
    m_enable = MakeRadio(this, kIdEnable, QStringLiteral("Enable"), 170, 70, 80);
    m_disable = MakeRadio(this, kIdDisable, QStringLiteral("Disable"), 255, 70, 80);
    // One of the two is always ticked: they are a group of their own.
    m_enable->setAutoExclusive(true);
    m_disable->setAutoExclusive(true);
    auto* group = new QButtonGroup(this);
    group->addButton(m_enable);
    group->addButton(m_disable);
    connect(m_enable, &QRadioButton::clicked, this, [this] { m_bRemoteRecord = true; });
    connect(m_disable, &QRadioButton::clicked, this, [this] { m_bRemoteRecord = false; });

    MakeLabel(this, 0, QStringLiteral("R.E.T.R :  \nTime Limit "), 20, 104, 145, 34);
    m_day = MakeCombo(this, kIdDay, 170, 110, 80);
    m_day->addItems({QStringLiteral("DAILY"), QStringLiteral("OFF"), QStringLiteral("MON"),
                     QStringLiteral("TUE"), QStringLiteral("WED"), QStringLiteral("THU"),
                     QStringLiteral("FRI"), QStringLiteral("SAT"), QStringLiteral("SUN")});
    m_hourEdit = MakeEdit(this, kIdHour, 255, 110, 80);
    m_minuteEdit = MakeEdit(this, kIdMinute, 340, 110, 80);
    connect(m_hourEdit, &QLineEdit::textChanged, this, [this] { OnTimeChanged(m_hourEdit); });
    connect(m_minuteEdit, &QLineEdit::textChanged, this, [this] { OnTimeChanged(m_minuteEdit); });
    OnInitDialog();
}

void CAlarmTriggerPage::OnInitDialog() {
    MembersToControls();
}

void CAlarmTriggerPage::MembersToControls() {
    m_writing = true;
    m_interval->setCurrentIndex(m_iInterval);
    if (m_dwCheckAddress != 0) {
        m_address->setText(QStringLiteral("%1.%2.%3.%4")
                               .arg(m_dwCheckAddress >> 24)
                               .arg((m_dwCheckAddress >> 16) & 0xFF)
                               .arg((m_dwCheckAddress >> 8) & 0xFF)
                               .arg(m_dwCheckAddress & 0xFF));
    }
    (m_bRemoteRecord ? m_enable : m_disable)->setChecked(true);
    m_day->setCurrentIndex(m_iDay);
    m_hourEdit->setText(QString::number(m_iHour));
    m_minuteEdit->setText(QString::number(m_iMinute));
    m_writing = false;
}

void CAlarmTriggerPage::OnTimeChanged(QLineEdit* changed) {
    // An emptied edit is left alone.
    if (m_writing || changed->text().isEmpty()) {
        return;
    }
    const auto take = [](QLineEdit* edit, int& member, int high) {
        std::string digits = edit->text().toStdString();
        if (digits.empty()) {
            return;
        }
        FilterDigits(digits, 1);
        if (!digits.empty()) {
            member = std::clamp(DigitsValue(digits), 0, high);
        }
    };
    take(m_hourEdit, m_iHour, 23);
    take(m_minuteEdit, m_iMinute, 59);
    m_iDay = m_day->currentIndex();
    MembersToControls();
}
