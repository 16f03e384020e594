#include "config/pages/alarm_trigger_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <string>

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
    auto* grid = new QGridLayout(this);
    int row = 0;
    // Created hidden, as the template has them.
    for (const char* text : {"High", "Middle", "Low", "VGA", "QVGA", "ON", "OFF"}) {
        auto* hidden = new QRadioButton(QString::fromLatin1(text), this);
        hidden->hide();
    }
    m_interval = new QComboBox(this);
    m_interval->addItems({QStringLiteral("AUTO"), QStringLiteral("3     SEC"),
                          QStringLiteral("15   SEC"), QStringLiteral("30   SEC"),
                          QStringLiteral("1     MIN"), QStringLiteral("30   MIN")});
    m_interval->setProperty("controlId", kIdInterval);
    m_interval->hide();

    grid->addWidget(new QLabel(QStringLiteral("Connection Check IP :\n(GATEWAY)"), this), row, 0);
    m_address = new QLineEdit(this);
    m_address->setInputMask(QStringLiteral("000.000.000.000;_"));
    m_address->setProperty("controlId", kIdCheckAddress);
    grid->addWidget(m_address, row++, 1, 1, 3);

    grid->addWidget(new QLabel(QStringLiteral("Remote Record :"), this), row, 0);
    m_enable = new QRadioButton(QStringLiteral("Enable"), this);
    m_disable = new QRadioButton(QStringLiteral("Disable"), this);
    m_enable->setProperty("controlId", kIdEnable);
    m_disable->setProperty("controlId", kIdDisable);
    auto* group = new QButtonGroup(this);
    group->addButton(m_enable);
    group->addButton(m_disable);
    grid->addWidget(m_enable, row, 1);
    grid->addWidget(m_disable, row++, 2);
    connect(m_enable, &QRadioButton::clicked, this, [this] { m_bRemoteRecord = true; });
    connect(m_disable, &QRadioButton::clicked, this, [this] { m_bRemoteRecord = false; });

    grid->addWidget(new QLabel(QStringLiteral("R.E.T.R :  \nTime Limit "), this), row, 0);
    m_day = new QComboBox(this);
    m_day->addItems({QStringLiteral("DAILY"), QStringLiteral("OFF"), QStringLiteral("MON"),
                     QStringLiteral("TUE"), QStringLiteral("WED"), QStringLiteral("THU"),
                     QStringLiteral("FRI"), QStringLiteral("SAT"), QStringLiteral("SUN")});
    m_day->setProperty("controlId", kIdDay);
    grid->addWidget(m_day, row, 1);
    m_hourEdit = new QLineEdit(this);
    m_hourEdit->setProperty("controlId", kIdHour);
    m_minuteEdit = new QLineEdit(this);
    m_minuteEdit->setProperty("controlId", kIdMinute);
    grid->addWidget(m_hourEdit, row, 2);
    grid->addWidget(m_minuteEdit, row++, 3);
    grid->setRowStretch(row, 1);
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
