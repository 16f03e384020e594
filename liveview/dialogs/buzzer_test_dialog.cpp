#include "liveview/dialogs/buzzer_test_dialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <string>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "liveview/dialogs/surface_drag.h"
#include "platform/clock.h"
#include "platform/modal_dialog.h"

namespace liveview {

namespace {

constexpr std::uint16_t kSeconds = 15;

}  // namespace

CBuzzerTestDialog::CBuzzerTestDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    m_long = new QPushButton("LONG BUZZER", this);
    m_short = new QPushButton("SHORT BUZZER", this);
    m_check = new QCheckBox("test multi ch", this);
    m_check->hide();
    for (QPushButton* button : {m_long, m_short}) {
        button->setAutoDefault(false);
    }
    connect(m_long, &QPushButton::clicked, this, &CBuzzerTestDialog::OnLongBuzzer);
    connect(m_short, &QPushButton::clicked, this, &CBuzzerTestDialog::OnShortBuzzer);
    // The box's check follows the dialog's flag, not the click itself.
    connect(m_check, &QCheckBox::clicked, this, &CBuzzerTestDialog::OnCheckMultiChannel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_long);
    layout->addWidget(m_short);
    layout->addWidget(m_check);
    new SurfaceDrag(this);

    m_handle = platform::RegisterWindow(this);
    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerPeriod);
    connect(m_timer, &QTimer::timeout, this, &CBuzzerTestDialog::OnTimer);
    m_timer->start();
}

CBuzzerTestDialog::~CBuzzerTestDialog() {
    platform::UnregisterWindow(m_handle);
}

int CBuzzerTestDialog::DoModal() {
    return platform::RunModal(*this);
}

bool CBuzzerTestDialog::TimerRunning() const {
    return m_timer->isActive();
}

void CBuzzerTestDialog::done(int result) {
    m_timer->stop();
    QDialog::done(result);
}

void CBuzzerTestDialog::OnTimer() {
    if (g_lpApp != nullptr && g_lpApp->f_VideoConnected.load()) {
        if (platform::PostWindowMessage(m_handle, kMsgTick, 0, 0)) {
            ++m_ticksPosted;
        }
    }
}

void CBuzzerTestDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) {
    if (message == kMsgShowCheck) {
        m_check->show();
    } else if (message == kMsgHideCheck) {
        m_check->hide();
    }
}

void CBuzzerTestDialog::OnCheckMultiChannel() {
    m_bCheck = !m_bCheck;
    m_check->setChecked(m_bCheck);
}

void CBuzzerTestDialog::SendBuzzer(const char* time, bool cookieFirst) {
    const std::string cookie = g_szSessionCookie.Get();
    CCgiUrl url(CgiCommand::kSetBuzzer);
    if (cookieFirst) {
        url.AddSessionCookie(cookie);
    }
    url.AddParam("time", time);
    if (!cookieFirst) {
        url.AddSessionCookie(cookie);
    }
    // A buzzer test reports nothing: the operator hears whether it worked.
    TirelSendCommand(CgiCommand::kSetBuzzer, url.GetUrlBuffer(), {}, nullptr, {}, nullptr, kSeconds,
                     kSeconds, 0);
}

void CBuzzerTestDialog::OnLongBuzzer() {
    if (m_byState != kIdle) {
        m_byState = kIdle;
        SendBuzzer("stop", false);
    }
    SendBuzzer("long", false);
    m_byState = kLongSounding;
    m_dwStartTick = platform::TickCount();
}

void CBuzzerTestDialog::OnShortBuzzer() {
    if (m_byState != kIdle) {
        m_byState = kIdle;
        SendBuzzer("stop", true);
    }
    SendBuzzer("short", false);
    m_byState = kShortSounding;
    m_dwStartTick = platform::TickCount();
}

}  // namespace liveview
