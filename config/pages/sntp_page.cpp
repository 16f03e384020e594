#include "config/pages/sntp_page.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include <array>

#include "config/pages/page_controls.h"
#include "config/pages/time_zone_table.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"
#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"

using namespace cfg;
using namespace pages;

namespace {

constexpr unsigned kSendTimeoutText = 4064;
constexpr std::uint16_t kSyncSeconds = 15;
constexpr const char* kServerRefusedText =
    "The SNTP server name may not hold blanks, control characters or any of "
    "& = ; ? # % +.";

}  // namespace

CSNTPPage::CSNTPPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("CSNTPPage"));
    m_sntpMode =
        MakeRadio(this, 1449, QStringLiteral("Correct time from SNTP server"), 14, 14, 260);
    m_userMode = MakeRadio(this, 1450, QStringLiteral("Correct time by user"), 14, 40, 260);
    MakeGroup(this, 0, QStringLiteral("Setting"), 14, 66, 426, 170);
    m_gmtLabel = MakeLabel(this, 1454, QStringLiteral("GMT:"), 24, 92, 80);
    m_zones = MakeCombo(this, 1195, 110, 90, 320);
    m_serverLabel = MakeLabel(this, 1455, QStringLiteral("SNTP Server:"), 24, 128, 80);
    m_named = MakeRadio(this, 1452, QString(), 110, 128, 20);
    m_serverEdit = MakeEdit(this, 1040, 134, 126, 200);
    LimitEditBytes(m_serverEdit, kServerRoom);
    m_auto = MakeRadio(this, 1453, QStringLiteral("  Automatic"), 110, 156, 160);
    auto* sync = MakeButton(this, 1068, QStringLiteral("Sync Time"), 340, 244, 100);

    connect(m_sntpMode, &QRadioButton::clicked, this, &CSNTPPage::OnSntpMode);
    connect(m_userMode, &QRadioButton::clicked, this, &CSNTPPage::OnUserMode);
    connect(m_named, &QRadioButton::clicked, this, &CSNTPPage::OnNamedServer);
    connect(m_auto, &QRadioButton::clicked, this, &CSNTPPage::OnAutomatic);
    connect(sync, &QPushButton::clicked, this, [this] { OnSyncTime(); });
    OnInitDialog();
}

void CSNTPPage::OnInitDialog() {
    const auto& sntp = m_sheet.Sender().config().sntp;
    m_mode = ReadByte(sntp, SNTP::SyncMode);
    const std::string server = FieldTextAsShown(sntp, SNTP::Server);
    m_zones->clear();
    for (const TimeZoneRow& row : kTimeZoneTable) {
        const std::string_view text = LoadText(row.textId);
        m_zones->addItem(Qs(text.empty() ? row.text : text));
    }
    m_storedZone = ReadByte(sntp, SNTP::ZoneIndex);
    m_zones->setCurrentIndex(TimeZoneRowOf(m_storedZone) != nullptr ? m_storedZone : -1);

    const double s = g_lpApp != nullptr ? static_cast<double>(g_lpApp->fl_DpiScale) : 1.0;
    const auto at = [s](int v) { return static_cast<int>(v * s); };
    m_date = Named(new QDateEdit(QDate::currentDate(), this), 239);
    m_date->setDisplayFormat(QStringLiteral("yyyy / MM / dd"));
    m_date->setGeometry(at(100), at(100), 120, 20);
    m_time = Named(new QTimeEdit(QTime::currentTime(), this), 238);
    m_time->setDisplayFormat(QStringLiteral("HH : mm : ss"));
    m_time->setGeometry(at(100), at(100) + 40, 120, 20);
    m_dateLabel = Named(new QLabel(QStringLiteral("Date"), this), 240);
    m_dateLabel->setGeometry(at(40), at(100), 50, 20);
    m_timeLabel = Named(new QLabel(QStringLiteral("Time"), this), 241);
    m_timeLabel->setGeometry(at(40), at(100) + 40, 50, 20);

    ShowMode();
    m_serverEdit->setText(Qs(server));
    m_automatic = server.empty() ? 1 : 0;
    ShowAutomatic();
}

int CSNTPPage::ZoneIndex() const {
    const int index = m_zones->currentIndex();
    return TimeZoneRowOf(index) != nullptr ? index : -1;
}

void CSNTPPage::ShowMode() {
    const bool sntp = m_mode != 0;
    m_sntpMode->setChecked(sntp);
    m_userMode->setChecked(!sntp);
    for (QWidget* w : {static_cast<QWidget*>(m_date), static_cast<QWidget*>(m_time),
                       static_cast<QWidget*>(m_dateLabel), static_cast<QWidget*>(m_timeLabel)}) {
        w->setVisible(!sntp);
    }
    for (QWidget* w : {static_cast<QWidget*>(m_gmtLabel), static_cast<QWidget*>(m_serverLabel),
                       static_cast<QWidget*>(m_named), static_cast<QWidget*>(m_auto),
                       static_cast<QWidget*>(m_serverEdit), static_cast<QWidget*>(m_zones)}) {
        w->setVisible(sntp);
    }
}

void CSNTPPage::ShowAutomatic() {
    m_named->setChecked(m_automatic == 0);
    m_auto->setChecked(m_automatic != 0);
    m_serverEdit->setEnabled(m_automatic == 0);
}

void CSNTPPage::OnSntpMode() {
    m_mode = 1;
    ShowMode();
}

void CSNTPPage::OnUserMode() {
    m_mode = 0;
    ShowMode();
}

void CSNTPPage::OnNamedServer() {
    m_automatic = 0;
    ShowAutomatic();
}

void CSNTPPage::OnAutomatic() {
    m_automatic = 1;
    ShowAutomatic();
}

bool CSNTPPage::OnSyncTime() {
    CCgiUrl url(CgiCommand::kSyncTime);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt("Mode", m_mode);
    if (m_mode == 1) {
        url.AddParamInt("ServerMode", m_automatic);
        if (m_automatic == 0) {
            const std::string server = Std(m_serverEdit->text());
            // The device takes the name as it stands in the query.
            if (!IsQuerySafe(server)) {
                platform::ShowMessageBox(0, kServerRefusedText);
                return false;
            }
            url.AddParam("Server", server);
        } else {
            m_serverEdit->clear();
        }
        if (const TimeZoneRow* zone = TimeZoneRowOf(ZoneIndex())) {
            url.AddParamInt("NationID", ZoneIndex());
            url.AddParamInt("Hour", zone->hours);
            url.AddParamInt("Minute", zone->minutes);
        }
    } else {
        const QDate date = m_date->date();
        const QTime time = m_time->time();
        url.AddParamInt("Year", date.year());
        url.AddParamInt("Month", date.month());
        url.AddParamInt("Day", date.day());
        url.AddParamInt("Hour", time.hour());
        url.AddParamInt("Minute", time.minute());
        url.AddParamInt("Second", time.second());
    }
    // The sheet stores the settings whatever the command's outcome.
    platform::PostWindowMessage(m_sheet.Handle(), WM_SAVESNTP, 0, 0);
    std::array<std::uint8_t, 4096> reply{};
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kSyncTime, url.GetUrlBuffer(), {}, nullptr, reply, &length,
                         kSyncSeconds, kSyncSeconds, 0) == 0) {
        ShowMessage(kSendTimeoutText);
        return false;
    }
    return true;
}

SntpPageValues CSNTPPage::TakePageValues() {
    SntpPageValues values;
    values.automatic = m_automatic != 0;
    values.server = Std(m_serverEdit->text());
    values.syncMode = m_mode;
    const int zone = ZoneIndex();
    if (const TimeZoneRow* row = TimeZoneRowOf(zone)) {
        values.zoneIndex = zone;
        values.zoneHours = row->hours;
        values.zoneMinutes = row->minutes;
    } else {
        // No zone chosen: the device's value stays as it is.
        values.zoneIndex = m_sheet.ReadValues().zoneIndex;
        const auto& sntp = m_sheet.Sender().config().sntp;
        values.zoneHours = ReadSignedByte(sntp, SNTP::GmtHours);
        values.zoneMinutes = ReadSignedByte(sntp, SNTP::GmtMinutes);
    }
    return values;
}
