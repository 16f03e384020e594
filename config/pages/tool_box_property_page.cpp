#include "config/pages/tool_box_property_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <mutex>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/sheet_progress.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

using namespace cfg;
using namespace pages;

namespace {

constexpr unsigned kServerLogCaptions = 1304;  // "Server Log$Cancel"
// Hiding the sheet's bar waits for the progress thread only this long.
constexpr std::chrono::milliseconds kProgressBound{500};

std::mutex& HooksLock() {
    static std::mutex lock;
    return lock;
}
ServerLogHooks& Hooks() {
    static ServerLogHooks hooks;
    return hooks;
}

QString Dotted(const std::string& version) {
    QString text;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) {
            text += QLatin1Char('.');
        }
        text += i < version.size() ? QLatin1Char(version[i]) : QLatin1Char(' ');
    }
    return text;
}

QString MacText(const std::array<char, 13>& mac) {
    QString text;
    for (std::size_t i = 0; i < 12; i += 2) {
        if (i != 0) {
            text += QLatin1Char(':');
        }
        for (std::size_t j = i; j < i + 2; ++j) {
            // A short address ends at its terminator; the rest stays blank.
            const char c = mac[j];
            text += c != '\0' ? QLatin1Char(c) : QLatin1Char(' ');
        }
    }
    return text;
}

}  // namespace

void SetServerLogHooks(ServerLogHooks hooks) {
    std::lock_guard lock(HooksLock());
    Hooks() = std::move(hooks);
}

ServerLogHooks GetServerLogHooks() {
    std::lock_guard lock(HooksLock());
    return Hooks();
}

ToolBoxPropertyPage::ToolBoxPropertyPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("ToolBoxPropertyPage"));
    MakeLabel(this, 1436, QStringLiteral("Firmware Version:"), 20, 20, 120);
    m_version = MakeLabel(this, 1305, QStringLiteral("0.8.0.0"), 150, 20, 120);
    MakeLabel(this, 0, QStringLiteral("Mac address :"), 20, 50, 120);
    m_mac = MakeLabel(this, 1316, QString(), 150, 50, 160);
    MakeLabel(this, 0, QStringLiteral("Turbo step :"), 20, 80, 120);
    m_turbo = MakeCombo(this, 1195, 150, 78, 70);
    m_maxLogLabel = MakeLabel(this, 1443, QStringLiteral("MAX LOG LIST :"), 20, 112, 120);
    m_maxLogEdit = MakeEdit(this, 1042, 150, 110, 70);
    m_serverLog = MakeButton(this, 1068, QString(), 240, 108, 100);
    m_titleEdit = MakeEdit(this, 1474, 150, 144, 120);
    auto* titleLabel = MakeLabel(this, 1473, QStringLiteral("Title :"), 20, 146, 120);
    auto* ch1Label = MakeLabel(this, 1504, QStringLiteral("CH1 Name:"), 20, 178, 120);
    m_ch1Edit = MakeEdit(this, 1475, 150, 176, 60);
    auto* ch2Label = MakeLabel(this, 1505, QStringLiteral("CH2 Name:"), 20, 210, 120);
    m_ch2Edit = MakeEdit(this, 1476, 150, 208, 60);
    LimitEditBytes(m_titleEdit, kGeneralTitleRoom);
    LimitEditBytes(m_ch1Edit, kChannelNameRoom);
    LimitEditBytes(m_ch2Edit, kChannelNameRoom);
    for (int step = 1; step <= 30; ++step) {
        m_turbo->addItem(QString::number(step));
    }
    m_serverLog->setText(Qs(LoadSplitString(kServerLogCaptions).first));
    m_handle = platform::RegisterWindow(this);

    OnInitDialog();
    const DeviceIdentity& device = m_sheet.Device();
    const bool title = HasDeviceTitle(device);
    const bool names = HasChannelNames(device);
    titleLabel->setVisible(title);
    m_titleEdit->setVisible(title);
    for (QWidget* w : {static_cast<QWidget*>(ch1Label), static_cast<QWidget*>(m_ch1Edit),
                       static_cast<QWidget*>(ch2Label), static_cast<QWidget*>(m_ch2Edit)}) {
        w->setVisible(names);
    }
    connect(m_serverLog, &QPushButton::clicked, this, &ToolBoxPropertyPage::OnServerLog);
    connect(m_maxLogEdit, &QLineEdit::textChanged, this, &ToolBoxPropertyPage::OnChangeMaxLog);
    connect(m_turbo, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_sheet.LocalValues().turboIndex = index; });
}

ToolBoxPropertyPage::~ToolBoxPropertyPage() {
    platform::UnregisterWindow(m_handle);
    if (m_job) {
        m_job->endEvent.Set();
    }
    m_download.reset();  // ends the download within its bound
}

void ToolBoxPropertyPage::OnInitDialog() {
    const DeviceIdentity& device = m_sheet.Device();
    m_version->setText(Dotted(device.firmware));
    const int step = g_lpApp != nullptr ? g_lpApp->b_TurboRepeatStep.load() : 0;
    int& turboIndex = m_sheet.LocalValues().turboIndex;
    if (step >= 1 && step <= 30) {
        turboIndex = step - 1;
    }
    m_turbo->setCurrentIndex(turboIndex);
    if (g_lpApp != nullptr) {
        m_mac->setText(MacText(g_lpApp->sz_MacAddress));
    }
    if ((device.IsQ3A2() || device.IsQ7B()) && !device.Meets("1007")) {
        m_serverLog->hide();
        m_maxLogLabel->hide();
        m_maxLogEdit->hide();
    }
    const SheetReadValues& read = m_sheet.ReadValues();
    m_titleEdit->setText(Qs(read.title));
    m_ch1Edit->setText(Qs(read.channel1Name));
    m_ch2Edit->setText(Qs(read.channel2Name));
    m_maxLogEdit->setText(QString::number(m_maxLog));
}

void ToolBoxPropertyPage::OnChangeMaxLog() {
    std::string text = Std(m_maxLogEdit->text());
    if (text.empty()) {
        return;
    }
    FilterDigits(text, 1);
    if (text.empty()) {
        SetEditText(m_maxLogEdit, QString());
        return;
    }
    const long long value = text.size() > 6 ? kMaxLogEntries : std::stoll(text);
    m_maxLog = static_cast<int>(std::clamp<long long>(value, 0, kMaxLogEntries));
    SetEditText(m_maxLogEdit, QString::number(m_maxLog));
}

void ToolBoxPropertyPage::OnServerLog() {
    const SplitText captions = LoadSplitString(kServerLogCaptions);
    if (m_downloadState == kDownloadIdle) {
        const ServerLogHooks hooks = GetServerLogHooks();
        if (!hooks.start) {
            return;  // no download to start in this program
        }
        m_download.reset();
        auto job = std::make_shared<ServerLogJob>();
        job->page = m_handle;
        job->maxEntries = m_maxLog;
        m_job = job;
        m_download = hooks.start(job);
        if (!m_download) {
            return;
        }
        m_serverLog->setText(Qs(captions.second));
        m_downloadState = kDownloadRunning;
        return;
    }
    m_serverLog->setText(Qs(captions.first));
    EndDownload();
    // The download's bar goes; the wait for the progress thread is bounded.
    PostSheetProgress(kProgressHide, 0, kProgressBound);
}

void ToolBoxPropertyPage::EndDownload() {
    if (m_job) {
        m_job->endEvent.Set();
    }
    m_download.reset();
    m_downloadState = kDownloadIdle;
}

int ToolBoxPropertyPage::OnLogDownloadState(std::uint64_t state) {
    if (m_downloadState != kDownloadRunning) {
        return 0;  // a late report of a download already ended
    }
    if (state == 1 && m_job) {
        const ServerLogHooks hooks = GetServerLogHooks();
        if (hooks.showLog) {
            hooks.showLog(this, m_sheet.Device().IsDvr(), *m_job);
        }
    }
    m_serverLog->setText(Qs(LoadSplitString(kServerLogCaptions).first));
    EndDownload();
    return 0;
}

void ToolBoxPropertyPage::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                              std::uint64_t /*lParam*/) {
    if (message == WM_LOGDOWNLOADSTATE) {
        OnLogDownloadState(wParam);
    }
}

GeneralPageValues ToolBoxPropertyPage::TakePageValues() {
    GeneralPageValues values;
    values.title = Std(m_titleEdit->text());
    values.channel1Name = Std(m_ch1Edit->text());
    values.channel2Name = Std(m_ch2Edit->text());
    return values;
}
