#include "maintenance/backup/download_file_page.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimeEdit>

#include <array>
#include <cerrno>
#include <cstdio>

#include "config/pages/page_controls.h"
#include "core/application/string_table.h"
#include "core/login/kernel_message.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "maintenance/search/search_list.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace maintenance {

namespace {

constexpr int kMaxBackupNumber = 9999;
constexpr auto kPlayPause = std::chrono::milliseconds(1000);

std::string FolderWithoutTrailingSlash(std::string folder) {
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
        folder.pop_back();
    }
    return folder;
}

// The user's own folder for videos, made when it is missing; empty when
// there is none.
std::string VideosFolder() {
    const std::string folder =
        QStandardPaths::writableLocation(QStandardPaths::MoviesLocation).toStdString();
    std::error_code ec;
    if (folder.empty() || !std::filesystem::path(folder).is_absolute() ||
        (!std::filesystem::create_directories(folder, ec) && ec)) {
        return {};
    }
    return folder;
}

std::optional<std::string> PickFolder(QWidget* parent, const std::string& start) {
    liveview::CDlgGetPath picker(parent);
    picker.SetPath(start);
    if (platform::RunModal(picker) != QDialog::Accepted) {
        return std::nullopt;
    }
    return picker.GetPath();
}

// Creates the backup file; an existing file or link is never truncated.
// 0, or the errno of the failure (EEXIST when the name is taken).
int CreateExclusively(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

// The backup file could not be made: a full disk says so, anything else
// is the path's fault.
void ShowBackupFileFailure(int error) {
    if (IsDiskFull(error)) {
        platform::ShowMessageBox(0, kDiskFullText);
    } else {
        ShowMessage(4105);
    }
}

}  // namespace

std::filesystem::path MakeBackupFileName(const std::filesystem::path& folder,
                                         std::uint32_t channel) {
    const int ch = static_cast<int>(std::min<std::uint32_t>(channel, 99));
    for (int n = 1; n <= kMaxBackupNumber; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "CH%.2d_%.4d.dvr", ch, n);
        std::error_code ec;
        const std::filesystem::path candidate = folder / name;
        // Anything under the name (even a file that cannot be opened, or a
        // dangling link) keeps it from being chosen.
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) {
            return candidate;
        }
    }
    char name[32];
    std::snprintf(name, sizeof name, "CH%.2d_Temp.dvr", ch);
    return folder / name;
}

std::optional<std::int32_t> ParseBackupSize(std::string_view text) {
    std::int64_t value = 0;
    bool digits = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            value = std::min<std::int64_t>(value * 10 + (c - '0'), kMaxBackupSizeMb);
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

DownloadFilePage::DownloadFilePage(QWidget* parent, PlayerSession& player)
    : QWidget(parent), m_player(player) {
    using pages::MakeLabel;
    pages::SetMinimumPageSize(this, 403, 228);
    pages::MakeGroup(this, 0, QStringLiteral("Start Backup Time"), 12, 7, 378, 60);
    m_date = pages::MakeControl<QDateEdit>(this, kIdDate, 20, 22, 120, 20);
    m_date->setDisplayFormat(QStringLiteral("yyyy / MM / dd"));
    m_time = pages::MakeControl<QTimeEdit>(this, kIdTime, 160, 22, 120, 20);
    m_time->setDisplayFormat(QStringLiteral("HH : mm : ss"));

    pages::MakeGroup(this, 0, QStringLiteral("Backup Information"), 12, 70, 378, 151);
    MakeLabel(this, 0, QStringLiteral("Backup Size : "), 25, 93, 79, 18);
    m_size = pages::MakeEdit(this, kIdSize, 105, 89, 53, 21);
    MakeLabel(this, 0, QStringLiteral("MB"), 163, 93, 21, 18);
    MakeLabel(this, 0, QStringLiteral("Channel : "), 196, 93, 61, 18);
    m_channel = pages::MakeEdit(this, kIdChannel, 263, 89, 44, 21);
    MakeLabel(this, 0, QStringLiteral("HDD Num : "), 25, 121, 79, 18);
    m_hdd = pages::MakeCombo(this, kIdHdd, 105, 117, 105, 21);
    m_pathButton =
        pages::MakeButton(this, kIdFilePathButton, QStringLiteral("File Path :"), 25, 147, 74, 23);
    m_path = pages::MakeEdit(this, kIdPath, 105, 147, 273, 23);
    m_path->setReadOnly(true);
    m_dynamic =
        pages::MakeCheck(this, kIdDynamic, QStringLiteral("Dynamic Download"), 25, 182, 140, 18);
    m_copyToCd =
        pages::MakeCheck(this, kIdCopyToCd, QStringLiteral("Copy to CD"), 175, 182, 96, 18);
    m_start = pages::MakeButton(this, kIdStart, QStringLiteral("Start"), 291, 177, 88, 25);
    // Return on a focused button presses it, as a sheet's button does.
    m_pathButton->setAutoDefault(true);
    m_start->setAutoDefault(true);

    connect(m_size, &QLineEdit::textChanged, this, [this] { OnChangeSize(); });
    connect(m_channel, &QLineEdit::textChanged, this, [this] { OnChangeChannel(); });
    connect(m_pathButton, &QPushButton::clicked, this, [this] { OnFilePathButton(); });
    connect(m_dynamic, &QCheckBox::clicked, this, [this] { OnDynamicDownload(); });
    connect(m_copyToCd, &QCheckBox::clicked, this, [this] { OnCopyToCd(); });
    connect(m_start, &QPushButton::clicked, this, [this] { OnButtonStart(); });
    m_hWnd = platform::RegisterWindow(this);
}

DownloadFilePage::~DownloadFilePage() {
    platform::UnregisterWindow(m_hWnd);
}

QWidget* DownloadFilePage::Control(int id) const {
    switch (id) {
        case kIdDate:
            return m_date;
        case kIdTime:
            return m_time;
        case kIdSize:
            return m_size;
        case kIdChannel:
            return m_channel;
        case kIdPath:
            return m_path;
        case kIdStart:
            return m_start;
        case kIdHdd:
            return m_hdd;
        case kIdFilePathButton:
            return m_pathButton;
        case kIdDynamic:
            return m_dynamic;
        case kIdCopyToCd:
            return m_copyToCd;
        default:
            return nullptr;
    }
}

void DownloadFilePage::MembersToControls() {
    m_updating = true;
    m_size->setText(QString::number(m_iSizeMb));
    m_channel->setText(QString::number(m_dwChannel));
    m_path->setText(QString::fromStdString(m_strFilePath));
    m_hdd->setCurrentIndex(m_iHddIndex < m_hdd->count() ? m_iHddIndex : -1);
    m_dynamic->setChecked(m_bDynamicDownload);
    m_copyToCd->setChecked(m_bCopyToCd);
    m_updating = false;
}

void DownloadFilePage::ControlsToMembers() {
    if (const auto size = ParseBackupSize(m_size->text().toStdString())) {
        m_iSizeMb = *size;
    } else {
        m_iSizeMb = 0;
    }
    const std::string channel = m_channel->text().toStdString();
    m_dwChannel = static_cast<std::uint32_t>(std::clamp(ParseSaturatingInt(channel), 0, 1000));
    m_iHddIndex = m_hdd->currentIndex();
}

void DownloadFilePage::RenewFileName() {
    if (m_strFolder.empty()) {
        return;
    }
    m_strFilePath = MakeBackupFileName(m_strFolder, m_dwChannel).string();
}

bool DownloadFilePage::OnInitDialog() {
    CSettingINI* settings = g_lpApp != nullptr ? &g_lpApp->CSettingINI : nullptr;
    std::string folder = FolderWithoutTrailingSlash(
        settings != nullptr ? settings->m_strNetworkFileDirectory.Get() : "");
    // A stored folder that is no absolute path here (the default "c:\" of
    // the settings) would name a file in the working folder: the page
    // starts from the user's folder for videos instead.
    if (!folder.empty() && !std::filesystem::path(folder).is_absolute()) {
        folder = VideosFolder();
    }
    if (!folder.empty()) {
        m_strFolder = folder;
        RenewFileName();
    } else {
        m_strFilePath = std::string(LoadText(4103));
    }

    const std::optional<liveview::HddPresenceMap> map = liveview::ReadHddPresenceMap();
    if (!map) {
        MembersToControls();
        return false;
    }
    m_disks = map->Disks();
    for (const int disk : m_disks) {
        m_hdd->addItem(QString::fromStdString(liveview::HddLabel(disk)));
    }
    m_hdd->setEnabled(!m_disks.empty());
    if (settings != nullptr) {
        m_bDynamicDownload = settings->m_dwDynamicDownloadOption.load() != 0;
        m_bCopyToCd = settings->m_dwWriteCdOption.load() != 0;
    }
    MembersToControls();
    return true;
}

void DownloadFilePage::showEvent(QShowEvent* event) {
    OnSetActive();
    QWidget::showEvent(event);
}

void DownloadFilePage::OnSetActive() {
    const std::optional<PendingDownloadBytes> request = TakePendingDownloadRequest();
    if (!request) {
        return;
    }
    const PendingDownloadBytes& r = *request;
    if (r[9] != 0) {
        m_dwChannel = r[9];
    }
    m_iHddIndex = r[8];
    const QDate date(2000 + r[2], r[3], r[4]);
    m_date->setDate(date);
    m_time->setTime(QTime(r[5], r[6], r[7]));
    MembersToControls();
}

void DownloadFilePage::OnChangeSize() {
    if (m_updating) {
        return;
    }
    const std::optional<std::int32_t> size = ParseBackupSize(m_size->text().toStdString());
    if (!size) {
        return;
    }
    m_iSizeMb = *size;
    MembersToControls();
}

void DownloadFilePage::OnChangeChannel() {
    if (m_updating) {
        return;
    }
    ControlsToMembers();
    RenewFileName();
    MembersToControls();
}

void DownloadFilePage::OnFilePathButton() {
    if (const std::optional<std::string> chosen = PickFolder(this, m_strFolder)) {
        m_strFolder = FolderWithoutTrailingSlash(*chosen);
        ControlsToMembers();
        RenewFileName();
    }
    MembersToControls();
}

void DownloadFilePage::OnDynamicDownload() {
    m_bDynamicDownload = !m_bDynamicDownload;
    if (g_lpApp != nullptr) {
        g_lpApp->CSettingINI.m_dwDynamicDownloadOption = m_bDynamicDownload ? 1u : 0u;
    }
    m_dynamic->setChecked(m_bDynamicDownload);
}

void DownloadFilePage::OnCopyToCd() {
    m_bCopyToCd = !m_bCopyToCd;
    if (g_lpApp != nullptr) {
        g_lpApp->CSettingINI.m_dwWriteCdOption = m_bCopyToCd ? 1u : 0u;
    }
    m_copyToCd->setChecked(m_bCopyToCd);
}

void DownloadFilePage::OnButtonStart() {
    ControlsToMembers();
    if (m_iSizeMb <= 0) {
        ShowMessage(4104);
        return;
    }
    if (m_strFilePath == LoadText(4103) || m_strFolder.empty()) {
        ShowMessage(4105);
        return;
    }
    if (m_iHddIndex < 0 || static_cast<std::size_t>(m_iHddIndex) >= m_disks.size() ||
        m_dwChannel == 0 || m_dwChannel > 16) {
        ShowMessage(4107);
        return;
    }
    // A name taken since it was chosen (another download, another program)
    // is never overwritten: the page moves on to the next free number.
    std::filesystem::path file = m_strFilePath;
    for (int tries = 1;; ++tries) {
        const int error = CreateExclusively(file);
        if (error == 0) {
            break;
        }
        const std::filesystem::path next = error == EEXIST && tries < kMaxBackupNumber
                                               ? MakeBackupFileName(m_strFolder, m_dwChannel)
                                               : file;
        if (next == file) {
            ShowBackupFileFailure(error);
            return;
        }
        file = next;
        m_strFilePath = file.string();
        MembersToControls();
    }

    bool copyToCd = m_bCopyToCd;
    if (copyToCd) {
        // An engine that does not start is said so; the backup is then
        // downloaded without a disc.
        const std::shared_ptr<BackupBurner> burner = CurrentBackupBurner();
        const BurnPreparation prepared =
            burner ? burner->Prepare(this, file, static_cast<std::uint64_t>(m_iSizeMb) * 1'048'576)
                   : BurnPreparation::kEngineFailed;
        if (prepared == BurnPreparation::kEngineFailed) {
            ShowMessage(4119);
        }
        copyToCd = prepared == BurnPreparation::kBurn;
    }

    if (g_lpApp != nullptr) {
        g_lpApp->CSettingINI.m_strNetworkFileDirectory = m_strFolder;
    }
    BackupSpan span;
    const QDate date = m_date->date();
    const QTime time = m_time->time();
    span.year = date.year();
    span.month = date.month();
    span.day = date.day();
    span.hour = time.hour();
    span.minute = time.minute();
    span.second = time.second();
    span.hddNumber = static_cast<std::uint8_t>(m_disks[static_cast<std::size_t>(m_iHddIndex)]);
    span.channelIndex = m_dwChannel - 1;
    span.sizeMb = m_iSizeMb;

    PlayerHandoff handoff(m_player, m_playerTimings);
    handoff.CheckStartedPlayer();
    if (m_bDynamicDownload) {
        const std::string programDir =
            g_lpApp != nullptr ? g_lpApp->CSettingINI.m_strProgramDir.Get() : std::string();
        switch (handoff.StartOrReuse(programDir, file)) {
            case PlayerStartResult::kReused:
            case PlayerStartResult::kStarted:
                break;
            case PlayerStartResult::kMutexFailed:
                platform::ShowMessageBox(0, "Create mutex error");
                return;
            case PlayerStartResult::kSpawnFailed:
            case PlayerStartResult::kNotReady:
                ShowMessage(4108);
                break;
            case PlayerStartResult::kNoWindow:
                ShowMessage(4113);
                break;
            case PlayerStartResult::kCopyDataFailed:
                // A player that did not take its file is not told about it.
                m_player.Forget();
                ShowMessage(4113);
                break;
        }
    } else {
        m_player.Forget();
    }

    m_strDownloading = m_strFilePath;
    int result = 0;
    {
        DownloadProgressDialog dialog(this, {span, file, copyToCd}, m_player, m_timings);
        result = dialog.DoModal();
    }
    if (result == DownloadProgressDialog::kPlayResult) {
        SendMainWindowToBottom();
        platform::PostWindowMessage(m_hWnd, WM_PLAYDOWNLOADEDFILE, 0, 0);
    }
    RenewFileName();
    MembersToControls();
}

void DownloadFilePage::OnPlayDownloadedFile() {
    platform::Sleep(kPlayPause);
    PostPlayFileMessage(m_strDownloading);
}

NetworkBackupLocalValues DownloadFilePage::TakePageValues() {
    return {m_bDynamicDownload ? 1u : 0u, false, m_strFolder};
}

void DownloadFilePage::HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) {
    if (message == WM_PLAYDOWNLOADEDFILE) {
        OnPlayDownloadedFile();
    }
}

}  // namespace maintenance
