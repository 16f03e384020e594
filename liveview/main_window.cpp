#include "liveview/main_window.h"

#include <QLabel>
#include <QVBoxLayout>
#include <mutex>

#include "core/app_state.h"
#include "core/process_control.h"
#include "core/subsystem_services.h"
#include "core/window_messages.h"
#include "platform/clock.h"

CDravelinDlg::CDravelinDlg(QWidget* parent) : QDialog(parent), m_status(new QLabel(this)) {
    setWindowTitle(QStringLiteral("kestrune"));
    resize(720, 540);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_status);
    m_handle = platform::RegisterWindow(this);
}

CDravelinDlg::~CDravelinDlg() {
    platform::UnregisterWindow(m_handle);
    if (g_lpApp != nullptr) {
        CDravelinDlg* self = this;
        g_lpApp->lp_MainDialog.compare_exchange_strong(self, nullptr);
        platform::WindowHandle handle = m_handle;
        g_lpApp->h_MainDialogHandle.compare_exchange_strong(handle, 0);
    }
}

void CDravelinDlg::OnInitDialog() {
    if (g_lpApp != nullptr) {
        g_lpApp->h_MainDialogHandle = m_handle;
        g_lpApp->lp_MainDialog = this;
    }
    SetStatusText("Start to get image!!");
}

int CDravelinDlg::SetStatusText(const std::string& text) {
    // The text is kept here and the label refreshed on the GUI thread, so
    // any thread may set it without waiting for the window.
    {
        std::lock_guard lock(m_statusLock);
        m_statusText = text;
    }
    platform::PostWindowMessage(m_handle, WM_SETSTATUSTEXT, 0, 0);
    return 1;
}

std::string CDravelinDlg::StatusText() const {
    std::lock_guard lock(m_statusLock);
    return m_statusText;
}

void CDravelinDlg::HandleWindowMessage(std::uint32_t message, std::uint64_t, std::uint64_t) {
    switch (message) {
        case WM_SETSTATUSTEXT:
            m_status->setText(QString::fromStdString(StatusText()));
            break;
        case WM_LIFETIMEOVER:
            done(QDialog::Rejected);
            break;
        default:
            break;
    }
}

int CDravelinDlg::DestroyWindow() {
    if (m_destroyed) return 1;
    m_destroyed = true;
    Media().StopRecorders();
    if (!ExitLoginResource()) return 0;
    if (!ExitProcessResource()) return 0;
    if (g_lpApp != nullptr) {
        g_lpApp->CSettingINI.SaveToFile(g_lpApp->b_TurboRepeatStep);
        if (g_lpApp->h_EndofShowImageEvent) g_lpApp->h_EndofShowImageEvent->Set();
    }
    platform::Sleep(std::chrono::milliseconds(100));
    return 1;
}

void CDravelinDlg::done(int result) {
    DestroyWindow();
    QDialog::done(result);
}
