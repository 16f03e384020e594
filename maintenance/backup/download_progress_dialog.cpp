#include "maintenance/backup/download_progress_dialog.h"

#include <unistd.h>

#include <QFont>
#include <QPainter>
#include <QPushButton>

#include "config/sheet/sheet_progress.h"
#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/widgets/dialog_units.h"
#include "platform/modal_dialog.h"
#include "platform/stop_token.h"

namespace maintenance {

namespace {

float DpiScale() {
    return g_lpApp != nullptr ? g_lpApp->fl_DpiScale : 1.0f;
}

QString Text(unsigned id) {
    return QString::fromStdString(std::string(LoadText(id)));
}

}  // namespace

DownloadProgressDialog::DownloadProgressDialog(QWidget* parent, Source source,
                                               PlayerSession& player, BackupDownloadTimings timings)
    : QDialog(parent), m_source(std::move(source)), m_player(player), m_timings(timings) {
    setWindowTitle(QStringLiteral("DVR-Network Backup"));
    const QRect area = DialogUnitsToPixels(font(), 0, 0, 196, 45);
    setFixedSize(area.size());
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(DialogUnitsToPixels(font(), 139, 24, 50, 14));
    m_play = new QPushButton(QStringLiteral("PLAY"), this);
    m_play->setGeometry(DialogUnitsToPixels(font(), 83, 24, 50, 14));
    m_play->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(m_play, &QPushButton::clicked, this, [this] { OnPlayButton(); });
    m_hWnd = platform::RegisterWindow(this);
}

DownloadProgressDialog::~DownloadProgressDialog() {
    m_replies.Stop(std::chrono::milliseconds(200));
    platform::UnregisterWindow(m_hWnd);
    // Asks a running download or burn to stop and joins it.
    m_download.reset();
}

bool DownloadProgressDialog::OnInitDialog() {
    BackupDownloadJob job;
    if (g_lpApp != nullptr) {
        job.server = g_lpApp->CSettingINI.m_strServerName;
        job.port = g_lpApp->CSettingINI.m_wWebPort.load();
    }
    job.cookie = g_szSessionCookie.Get();
    job.hostIp = g_strHostIP.Get();
    job.span = m_source.span;
    job.file = m_source.file;
    job.copyToCd = m_source.copyToCd;

    // The player's flags are reset before the thread can read them. The
    // player answers the window it is named: this process's endpoint.
    const bool replies = m_player.Window() && StartPlayerReplies();
    PlayerHandoff(m_player).Attach(replies ? static_cast<std::uint64_t>(::getpid()) : 0);
    const platform::WindowHandle window = m_hWnd;
    BackupDownloadReports reports{
        [window](std::uint32_t state, std::uint32_t percent) {
            platform::PostWindowMessage(window, WM_DOWNLOADSTATE, state, percent);
        },
        [](std::uint32_t command, std::int32_t argument) { PostSheetProgress(command, argument); }};
    m_download =
        std::make_unique<BackupDownload>(std::move(job), m_player, std::move(reports), m_timings);
    return m_download->Start();
}

bool DownloadProgressDialog::StartPlayerReplies() {
    try {
        m_endpoint = std::make_unique<platform::ProcessWindowEndpoint>();
    } catch (const std::exception&) {
        return false;
    }
    platform::ProcessWindowEndpoint* endpoint = m_endpoint.get();
    const platform::WindowHandle window = m_hWnd;
    return m_replies.Start(
        [endpoint, window] {
            while (!platform::CurrentStopToken().stop_requested()) {
                platform::ProcessWindowEndpoint::Received in;
                if (endpoint->Receive(std::chrono::milliseconds(250), in) !=
                        platform::WaitResult::Signaled ||
                    in.kind != platform::ProcessWindowEndpoint::Received::Kind::Message) {
                    continue;
                }
                if (in.message == WM_PLAYER_READY || in.message == WM_PLAYER_ERROR) {
                    platform::PostWindowMessage(window, in.message, in.wParam, in.lParam);
                }
            }
            return 0u;
        },
        "PlayerReplies");
}

int DownloadProgressDialog::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this);
}

void DownloadProgressDialog::OnCancel() {
    if (m_download) {
        m_download->Cancel();
        if (m_download->Ended() && m_source.copyToCd) {
            if (const auto burner = CurrentBackupBurner()) {
                burner->RequestAbort();
            }
            PostSheetProgress(kProgressHide, 0);
        }
        const std::string version =
            g_lpApp != nullptr ? g_lpApp->str_FWVersion.Get() : std::string();
        if (!m_download->Ended() && CompareVersion("1043", version) != 2) {
            CCgiUrl url(CgiCommand::kCancelNb);
            url.AddSessionCookie(g_szSessionCookie.Get());
            TirelSendCommand(CgiCommand::kCancelNb, url.GetUrlBuffer(), {}, nullptr, {}, nullptr,
                             15, 15, 0);
        }
    }
    done(0);
}

void DownloadProgressDialog::reject() {
    OnCancel();
}

void DownloadProgressDialog::OnPlayButton() {
    done(kPlayResult);
}

void DownloadProgressDialog::ShowEnding(const QString& status) {
    m_status = status;
    m_cancel->setText(QStringLiteral("Exit"));
    show();
    update();
}

void DownloadProgressDialog::OnDownloadState(std::uint32_t state, std::uint32_t) {
    switch (state) {
        case kDownloadSendFailed:
            ShowEnding(Text(4065));
            break;
        case kDownloadFileFailed:
            ShowEnding(Text(4105));
            break;
        case kDownloadReadFailed:
            ShowEnding(Text(4106));
            break;
        case kDownloadNoData:
            ShowEnding(Text(4107));
            break;
        case kDownloadBusy:
            ShowEnding(Text(4115));
            break;
        case kDownloadDiskFull:
            ShowEnding(QString::fromLatin1(kDiskFullText));
            break;
        case kDownloadComplete:
            ShowEnding(QStringLiteral("Download process is finished"));
            m_play->setEnabled(true);
            m_play->setVisible(!m_player.Attached());
            break;
        case kDownloadBurning:
            m_status = QStringLiteral("Writing cd ...");
            show();
            update();
            break;
        default:
            break;
    }
}

void DownloadProgressDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                                 std::uint64_t lParam) {
    switch (message) {
        case WM_DOWNLOADSTATE:
            OnDownloadState(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
            break;
        case WM_PLAYER_READY:
            PlayerHandoff(m_player).OnPlayerReady(wParam, lParam);
            break;
        case WM_PLAYER_ERROR:
            PlayerHandoff(m_player).OnPlayerError();
            break;
        default:
            break;
    }
}

void DownloadProgressDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_status.isEmpty()) {
        return;
    }
    const float s = DpiScale();
    QPainter painter(this);
    QFont face(QStringLiteral("Arial"));
    face.setPixelSize(std::max(1, static_cast<int>(18 * s)));
    face.setWeight(QFont::Normal);
    painter.setFont(face);
    const int x = static_cast<int>(25 * s);
    const int y = static_cast<int>(12 * s);
    painter.drawText(QRect(x, y, width() - x, height() - y), Qt::AlignLeft | Qt::AlignTop,
                     m_status);
}

}  // namespace maintenance
