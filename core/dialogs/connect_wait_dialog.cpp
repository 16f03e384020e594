#include "core/dialogs/connect_wait_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <utility>

#include "core/application/string_table.h"
#include "core/application/window_messages.h"
#include "core/login/login_exchange.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/widgets/dialog_units.h"
#include "platform/modal_dialog.h"
#include "platform/stop_token.h"

namespace {

constexpr auto kDotsPeriod = std::chrono::milliseconds(300);
constexpr auto kWorkerStopWait = std::chrono::milliseconds(10);
constexpr std::uint16_t kRequestTimeoutSeconds = 15;
constexpr std::size_t kDeviceInfoReplyBytes = 1024;
constexpr std::uint64_t kWaitSucceeded = 1;
constexpr std::uint64_t kWaitFailed = static_cast<std::uint64_t>(-1);
constexpr int kCancelled = 2;

// "/Getdeviceinfo.cgi" as the upgrade needs it: cookie, resolution and
// quality only; of the reply only the lifetime, video mode, user level and
// the three versions are taken. False when the request fails or the reply
// is empty.
bool ReadUpgradeDeviceInformation() {
    AppGlobalState& app = *g_lpApp;
    const CSettingINI& settings = app.CSettingINI;
    CCgiUrl url(CgiCommand::kGetDeviceInfo);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt("RES", static_cast<std::int32_t>(settings.m_dwImageResolution.load()));
    url.AddParamInt("QUA", static_cast<std::int32_t>(settings.m_dwAlarmTriggerQuality.load()));
    std::array<std::uint8_t, kDeviceInfoReplyBytes> reply{};
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kGetDeviceInfo, url.GetUrlBuffer(), {}, nullptr, reply,
                         &length, kRequestTimeoutSeconds, kRequestTimeoutSeconds, 0) == 0 ||
        length == 0) {
        return false;
    }
    const ReplyItems items(std::span<const std::uint8_t>(reply.data(), length));
    if (auto lifeTime = items.Number("LIFETIME")) {
        app.dw_LifeTime = *lifeTime;
    }
    if (auto videoMode = items.Number("VIDEOMODE")) {
        app.b_VideoMode = static_cast<std::uint8_t>(*videoMode);
    }
    if (auto level = items.Number("USERLEVEL")) {
        app.w_UserLevel = static_cast<std::uint16_t>(*level);
    }
    if (auto boot = items.Find("Boot-Version")) {
        app.str_BootVersion.Set(*boot);
    }
    if (auto v2041 = items.Find("2041-Version")) {
        app.str_2041Version.Set(*v2041);
    }
    if (auto fpga = items.Find("FPGA-Version")) {
        app.str_FPGAVersion.Set(*fpga);
    }
    return true;
}

}  // namespace

// ---- worker -----------------------------------------------------------------

std::uint32_t LoginWorkerThread(LoginWorkerParams params) {
    const auto fail = [&params]() -> std::uint32_t {
        // A worker stopped because its dialog went away reports nothing.
        if (platform::CurrentStopToken().stop_requested()) {
            return 0;
        }
        platform::PostWindowMessage(params.waitDialog, WM_CLOSECONNECTWAIT, 0, kWaitFailed);
        ShowMessage(4040);
        return 0;
    };
    if (g_lpApp == nullptr) {
        return fail();
    }
    // The address and port go into the settings; the user name and password
    // do not.
    SetServerAddress(params.serverName);
    const auto port = ParsePortText(params.port);
    if (!port) {
        return fail();
    }
    g_lpApp->CSettingINI.m_wWebPort = *port;
    if (LoginExchange(params.userName, params.password, LoginPath::kConnectWaitWorker) !=
            kLoginOk ||
        !ReadUpgradeDeviceInformation()) {
        return fail();
    }
    platform::PostWindowMessage(params.waitDialog, WM_CLOSECONNECTWAIT, 0, kWaitSucceeded);
    return 1;
}

int Login::CreateThread(Routine routine, LoginWorkerParams params) {
    StopWorker();
    m_routine = std::move(routine);
    m_params = std::move(params);
    if (!m_routine) {
        return 0;
    }
    return m_hThread.Start([routine = m_routine, params = m_params] { return routine(params); },
                           "login-worker")
               ? 1
               : 0;
}

void Login::StopWorker() {
    m_hThread.Stop(kWorkerStopWait);
}

Login& TheLogin() {
    static Login login;
    return login;
}

// ---- dialog -----------------------------------------------------------------

CConnectWaitDialog::CConnectWaitDialog(QWidget* parent, ConnectWaitTexts owner)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_text(new QLabel(QStringLiteral("Connect ..."), this)),
      m_timer(new QTimer(this)),
      m_owner(std::move(owner)) {
    setWindowTitle(QStringLiteral("kestrune"));
    const QRect frame = DialogUnitsToPixels(font(), 0, 0, 98, 15);
    setFixedSize(frame.size());
    m_text->setGeometry(DialogUnitsToPixels(font(), 6, 4, 88, 8));
    m_timer->setInterval(kDotsPeriod);
    connect(m_timer, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });
    m_handle = platform::RegisterWindow(this);
}

CConnectWaitDialog::~CConnectWaitDialog() {
    platform::UnregisterWindow(m_handle);
}

bool CConnectWaitDialog::OnInitDialog() {
    if (m_bInitDone) {
        return true;
    }
    m_bInitDone = true;
    m_timer->start();
    LoginWorkerParams params{m_handle, m_owner.serverName, m_owner.userName, m_owner.password,
                             m_owner.port};
    // A worker that cannot be started leaves the dots running until Escape.
    TheLogin().CreateThread(&LoginWorkerThread, std::move(params));
    m_text->setText(QString::fromStdString(m_strText));
    return true;
}

int CConnectWaitDialog::DoModal() {
    OnInitDialog();
    const int result = platform::RunModal(*this);
    m_timer->stop();
    // The worker never outlives its dialog: closed by Escape it is asked to
    // stop and joined, so it cannot go on changing the identity behind the
    // owner's back.
    TheLogin().StopWorker();
    return result == QDialog::Rejected ? kCancelled : result;
}

void CConnectWaitDialog::OnTimer(int id) {
    if (id != kTimerId) {
        return;
    }
    const std::string_view caption = LoadText(8532);
    const std::size_t end = caption.find_first_of(" \t\r\n");
    const std::string word(caption.substr(0, end));
    m_strText = word + " " + m_owner.serverName + " " + std::string(m_dwTick % 4 + 1, '.');
    ++m_dwTick;
    m_text->setText(QString::fromStdString(m_strText));
}

bool CConnectWaitDialog::TimerRunning() const {
    return m_timer->isActive();
}

void CConnectWaitDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t,
                                             std::uint64_t lParam) {
    if (message != WM_CLOSECONNECTWAIT) {
        return;
    }
    m_timer->stop();
    done(lParam == kWaitSucceeded ? 1 : -1);
}

void CConnectWaitDialog::keyPressEvent(QKeyEvent* event) {
    // Only the worker's result ends the wait with success: Enter does nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CConnectWaitDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // A thin modal frame around the captionless window.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
