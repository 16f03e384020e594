#include "liveview/dialogs/playback_search_dlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/modal_dialog.h"

namespace liveview {

namespace {

constexpr std::uint16_t kSeconds = 15;
constexpr std::size_t kReplyBytes = 1024;

struct ChannelCount {
    std::string_view productId;
    int channels;
};
constexpr std::array<ChannelCount, 3> kChannelCounts{{
    {"Q8A3", 4},
    {"Q8A5", 8},
    {"Q8A7", 16},
}};

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string SessionCookie() {
    return g_szSessionCookie.Get();
}

std::string ProductId() {
    return g_lpApp != nullptr ? g_lpApp->str_ProductID.Get() : std::string();
}

}  // namespace

int PlaybackChannelCount(std::string_view productId) {
    for (const ChannelCount& row : kChannelCounts) {
        if (row.productId == productId) {
            return row.channels;
        }
    }
    return 0;
}

CPlaybackSearchDlg::CPlaybackSearchDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Playback Search");
    m_searchType = new QComboBox(this);
    m_hdd = new QComboBox(this);
    m_channel = new QComboBox(this);
    m_eventType = new QComboBox(this);
    // The start: a date picker in the long date format with its calendar,
    // and a time picker, today and now to begin with.
    const QDateTime now = QDateTime::currentDateTime();
    m_date = new QDateEdit(now.date(), this);
    m_date->setDisplayFormat(m_date->locale().dateFormat(QLocale::LongFormat));
    m_date->setCalendarPopup(true);
    m_time = new QTimeEdit(now.time(), this);
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));

    auto* form = new QFormLayout;
    form->addRow("Search Type :", m_searchType);
    form->addRow("HDD Num :", m_hdd);
    form->addRow("Channel Num :", m_channel);
    form->addRow("Event Type :", m_eventType);
    auto* group = new QGroupBox("Date && Time", this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_date);
    groupLayout->addWidget(m_time);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    // OK is ours: it sends, and closes only after a sent event search.
    connect(m_ok, &QPushButton::clicked, this, &CPlaybackSearchDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_searchType, &QComboBox::currentIndexChanged, this,
            &CPlaybackSearchDlg::OnSelchangeSearchType);
    for (QComboBox* combo : {m_hdd, m_channel, m_eventType}) {
        connect(combo, &QComboBox::currentIndexChanged, this, &CPlaybackSearchDlg::UpdateOkButton);
    }
    m_setupCompleted = OnInitDialog();
    UpdateOkButton();
}

CPlaybackSearchDlg::~CPlaybackSearchDlg() = default;

int CPlaybackSearchDlg::DoModal() {
    return platform::RunModal(*this);
}

bool CPlaybackSearchDlg::OnInitDialog() {
    // The fixed lists, in their sorted order; nothing chosen until the
    // set-up has run to its end.
    m_searchType->addItems({Text(kEventSearch), Text(kTimeSearch)});
    m_eventType->addItems({Text(kAlarm), Text(kMotion)});
    m_searchType->setCurrentIndex(-1);
    m_eventType->setCurrentIndex(-1);

    if (!FillHddList() || !FillChannelList()) {
        return false;
    }
    for (QComboBox* combo : {m_searchType, m_hdd, m_channel, m_eventType}) {
        combo->setCurrentIndex(0);
    }
    return true;
}

bool CPlaybackSearchDlg::FillHddList() {
    const std::optional<HddPresenceMap> map = ReadHddPresenceMap();
    if (!map) {
        return false;
    }
    m_HddPresenceMap = *map;

    // A sorted list, as the user reads it: "ALL" first, then by name.
    QStringList labels{Text(kAllDisksLabel)};
    for (const int disk : m_HddPresenceMap.Disks()) {
        labels.append(QString::fromStdString(HddLabel(disk)));
    }
    std::stable_sort(labels.begin(), labels.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    m_hdd->addItems(labels);
    m_hdd->setCurrentIndex(-1);
    return true;
}

bool CPlaybackSearchDlg::FillChannelList() {
    const int count = PlaybackChannelCount(ProductId());
    if (count == 0) {
        return false;
    }
    for (int channel = 1; channel <= count; ++channel) {
        m_channel->insertItem(channel - 1, QString::number(channel));
    }
    m_channel->setCurrentIndex(-1);
    return true;
}

void CPlaybackSearchDlg::OnSelchangeSearchType() {
    const bool time = m_searchType->currentText() == Text(kTimeSearch);
    m_eventType->setEnabled(!time);
    m_channel->setEnabled(!time);
    UpdateOkButton();
}

void CPlaybackSearchDlg::UpdateOkButton() {
    m_ok->setEnabled(SearchTarget().has_value());
}

std::optional<std::string> CPlaybackSearchDlg::SearchTarget() const {
    const QDate date = m_date->date();
    const QTime time = m_time->time();

    const bool eventSearch = m_searchType->currentText() == Text(kEventSearch);
    const int channel = m_channel->currentIndex();
    const int eventTypeIndex = m_eventType->currentIndex();
    const std::string disk = m_hdd->currentText().toStdString();
    std::string hddNum;
    if (disk == kAllDisksLabel) {
        hddNum = kAllDisksLabel;
    } else if (const auto number = HddNumberOfLabel(disk)) {
        hddNum = std::to_string(*number);
    } else {
        return std::nullopt;  // no disk chosen
    }
    if (eventSearch && (channel < 0 || eventTypeIndex < 0)) {
        return std::nullopt;
    }

    CCgiUrl url(CgiCommand::kSearchPlayBack);
    url.AddSessionCookie(SessionCookie());
    if (eventSearch) {
        url.AddParam("searchType", "event");
        url.AddParamInt("channelNum", channel);
        url.AddParam("eventType", m_eventType->currentText() == Text(kAlarm) ? "0" : "1");
    } else {
        url.AddParam("searchType", "time");
    }
    url.AddParamInt("year", date.year() - 2000);
    url.AddParamInt("month", date.month());
    url.AddParamInt("day", date.day());
    url.AddParamInt("hour", time.hour());
    url.AddParamInt("min", time.minute());
    url.AddParamInt("sec", time.second());
    url.AddParam("hddNum", hddNum);
    if (url.IsRefused()) {
        return std::nullopt;
    }
    return url.GetUrl();
}

int CPlaybackSearchDlg::SendPlaybackSearch(const std::string& target) {
    std::vector<std::uint8_t> reply(kReplyBytes, 0);
    std::uint32_t length = 0;
    return TirelSendCommand(CgiCommand::kSearchPlayBack, target, {}, nullptr, reply, &length,
                            kSeconds, kSeconds, 0);
}

void CPlaybackSearchDlg::OnOK() {
    const auto target = SearchTarget();
    if (!target) {
        return;
    }
    const bool eventSearch = m_searchType->currentText() == Text(kEventSearch);
    if (SendPlaybackSearch(*target) == 1 && eventSearch) {
        accept();
    }
}

}  // namespace liveview
