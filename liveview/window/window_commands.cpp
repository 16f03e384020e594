// The main window's commands (connect, record, snapshot, configuration,
// resolution, quality, colour, full screen), its mouse and key handling and
// its private messages.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <array>
#include <chrono>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/login/process_control.h"
#include "core/login/session_login.h"
#include "core/net/cgi_command.h"
#include "core/net/sys_config.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/window/alarm_sound.h"
#include "liveview/window/main_window.h"
#include "liveview/window/window_extensions.h"
#include "media/media_state.h"
#include "platform/clock.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kResetFeedbackWait{5000};
constexpr milliseconds kTerminateReplyWait{10'000};
constexpr std::uint32_t kConnectButtonBit = 1;
constexpr std::uint16_t kFullScreenCommand = 32773;
constexpr std::size_t kColorReplyBytes = 1024;

// Sends one setting command (RES or QUA) without reading a reply.
bool SendSetting(CgiCommand command, const char* key, int value) {
    CCgiUrl url(command);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt(key, value);
    CommandStatus status;
    return TirelSendCommand(command, url.GetUrlBuffer(), {}, &status, {}, nullptr, 15, 15, 0) != 0;
}

bool ReadSection(SysCfgOptionIndex option) {
    return ReadSysCfgSection(option, SysCfgArea(g_lpApp->SystemConfigStruct, option)) != 0;
}

}  // namespace

void CDravelinDlg::OnCommand(std::uint16_t id) {
    switch (id) {
        case 1001:
            break;
        case 1002:
            OnLogin();
            break;
        case 1004:
            OnSnapshoot();
            break;
        case 1005:
            OnRecord();
            break;
        case 1006:
            OnConfiguration();
            break;
        case 1007:
            OnResol();
            break;
        case 1008:
            OnQuility();
            break;
        case 999:
            OnColor();
            break;
        case kFullScreenCommand:
        case 8201:
            OnFitScreen();
            break;
        case 8200:
            showMinimized();
            break;
        case 8202:
            done(QDialog::Accepted);
            break;
        case kPanelUpId:
        case kPanelDownId:
            // The panel buttons open and close the control panel.
            m_bPanelShown = id == kPanelUpId;
            ChangeItemPositionForDeviceModified();
            ApplyButtonLayout();
            break;
        default:
            OnPanelCommand(id);
            break;
    }
}

void CDravelinDlg::OnLogin() {
    AppGlobalState& app = *g_lpApp;
    // Connect, disconnect and the restart after a stream failure take
    // turns: each acts on the login thread and the streaming set alone.
    auto session = LockSessionControl();
    if (!app.f_Connected) {
        SetSessionWanted(true);
        if (!StartSessionLoginThread()) {
            WriteTraceLine("main window: login thread not started");
            return;
        }
        // The press itself decides what the next press does: the login
        // thread sets the flag too, but it may not have run yet.
        app.f_Connected = true;
        SetStatusText("CONNECT!!");
        SetCommandButtonsState(kConnectButtonBit, 0);
        return;
    }
    session.unlock();
    if (app.f_ConfigDialogOpen.exchange(0) != 0)
        WindowExtensions().CloseConfigSheet();
    SetCommandButtonsState(kConnectButtonBit, 1);
    SetStreamEndedStatusText("DISCONNECT!!");
    session.lock();
    SetSessionWanted(false);
    StopSessionLoginThread();
    // A rebuild the stopped login asked for is not served any more.
    CancelStreamingRebuilds();
    if (app.f_ReceiverRunning) {
        if (app.h_NotifyGetJPEGImageThreadResetEvent)
            app.h_NotifyGetJPEGImageThreadResetEvent->Set();
        if (app.h_FeedBackForNotifyResetEvent)
            app.h_FeedBackForNotifyResetEvent->Wait(kResetFeedbackWait);
    }
    // The set goes whether its stream runs or not: one built for a login
    // whose stream has not started yet would otherwise stand beside the
    // next one.
    if (StreamingSetStands())
        RequestStreamingTearDown(kTerminateReplyWait);
    app.f_Connected = false;
    ClearInfoTexts();
}

void CDravelinDlg::OnRecord() {
    AppGlobalState& app = *g_lpApp;
    if (!app.f_VideoConnected) {
        ShowMessage(4085);
        return;
    }
    CUserRecord& recorder = GetMediaState().C_UserRecord;
    const SplitText halves = LoadSplitString(1005);
    CQelButton* button = FindButton(1005);
    if (!recorder.IsActive()) {
        if (recorder.StartRecord(app.CSettingINI.m_strRecordPath.Get()) == 0) {
            ShowMessage(4018);
            return;
        }
        if (button != nullptr) {
            button->setToolTip(QString::fromStdString(halves.second));
            button->SetState(1);
        }
    } else {
        if (button != nullptr) {
            button->setToolTip(QString::fromStdString(halves.first));
            button->SetState(0);
        }
        recorder.StopRecord();
    }
}

void CDravelinDlg::OnSnapshoot() {
    if (!g_lpApp->f_VideoConnected) {
        ShowMessage(4085);
        return;
    }
    g_lpApp->f_SnapshotRequest = true;
}

bool CDravelinDlg::ReadConfiguration() {
    AppGlobalState& app = *g_lpApp;
    SystemConfigStruct& config = app.SystemConfigStruct;
    const bool small = IsQ3A2() || IsQ7BFamily() || IsQ9C0();
    if (!FirmwareOlderThan(small ? "0003" : "1024")) {
        // One read of everything, split into the section areas.
        return ReadSysCfgSection(kSysCfgAll, {}) != 0;
    }
    config.online.fill(0);
    std::vector<SysCfgOptionIndex> order{kSysCfgIp,   kSysCfgOnline, kSysCfgAlarm, kSysCfgSecure,
                                         kSysCfgSmtp, kSysCfgFtp,    kSysCfgRs485};
    if (small) {
        order.insert(order.end(), {kSysCfgPeri, kSysCfgSntp});
    } else {
        order.insert(order.end(), {kSysCfgDvrLive, kSysCfgDvrRec});
    }
    for (SysCfgOptionIndex option : order) {
        if (!ReadSection(option))
            return false;
    }
    const auto pppoe = UsesOlderPppoeLayout() ? std::span<std::uint8_t>(config.pppoeOld)
                                              : std::span<std::uint8_t>(config.pppoe);
    if (ReadSysCfgSection(kSysCfgPppoe, pppoe) == 0)
        return false;
    return ReadSection(kSysCfgDns);
}

void CDravelinDlg::OnConfiguration() {
    AppGlobalState& app = *g_lpApp;
    if (app.f_ConfigDialogOpen.exchange(0) != 0) {
        WindowExtensions().CloseConfigSheet();
        return;
    }
    WindowExtensions().CloseConfigSheet();
    if (!app.f_VideoConnected) {
        ShowMessage(4085);
        return;
    }
    if (!ReadConfiguration()) {
        ShowMessage(4029);
        return;
    }
    if (WindowExtensions().OpenConfigSheet(this))
        app.f_ConfigDialogOpen = 1;
}

void CDravelinDlg::OnResol() {
    CSettingINI& settings = g_lpApp->CSettingINI;
    const std::uint32_t old = settings.m_dwImageResolution;
    if (old > 1)
        return;
    const std::uint32_t now = old == 0 ? 1 : 0;
    settings.m_dwImageResolution = now;
    CQelButton* button = FindButton(1007);
    if (!SendSetting(CgiCommand::kSetResolution, "RES", static_cast<int>(now))) {
        settings.m_dwImageResolution = old;
        if (button != nullptr)
            button->SetState(static_cast<int>(old));
        ShowMessage(4066);
        return;
    }
    if (button != nullptr)
        button->SetState(static_cast<int>(now));
}

void CDravelinDlg::OnQuility() {
    CSettingINI& settings = g_lpApp->CSettingINI;
    const std::uint32_t old = settings.m_dwAlarmTriggerQuality;
    const std::uint32_t now = old >= 2 ? 0 : old + 1;
    settings.m_dwAlarmTriggerQuality = now;
    CQelButton* button = FindButton(1008);
    if (!SendSetting(CgiCommand::kSetQuality, "QUA", static_cast<int>(now))) {
        settings.m_dwAlarmTriggerQuality = old;
        if (button != nullptr)
            button->SetState(static_cast<int>(old));
        ShowMessage(4011);
        return;
    }
    if (button != nullptr)
        button->SetState(static_cast<int>(now));
}

void CDravelinDlg::OnColor() {
    if (!g_lpApp->f_VideoConnected) {
        ShowMessage(4085);
        return;
    }
    CCgiUrl url(CgiCommand::kGetColor);
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::array<std::uint8_t, kColorReplyBytes> reply{};
    std::uint32_t length = 0;
    CommandStatus status;
    if (TirelSendCommand(CgiCommand::kGetColor, url.GetUrlBuffer(), {}, &status, reply, &length, 15,
                         15, 0) == 0) {
        ShowMessage(4064);
        return;
    }
    const ReplyItems items(std::span<const std::uint8_t>(reply.data(), length));
    const int contrast = items.Number("CON").value_or(128);
    const int brightness = items.Number("BRI").value_or(0);
    const int hue = items.Number("HUE").value_or(0);
    WindowExtensions().RunColorDialog(this, brightness, contrast, hue);
}

int CDravelinDlg::ShowCommandBar(int show) {
    m_commandBar.ShowButtons(show);
    return 1;
}

int CDravelinDlg::SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) {
    return m_commandBar.SetButtonsState(stateBits, state);
}

void CDravelinDlg::OnFitScreen() {
    if (!m_bFullScreen) {
        m_bFullScreenPending = true;
        m_bFullScreen = true;
        return;
    }
    LeaveFullScreen();
}

void CDravelinDlg::LeaveFullScreen() {
    m_bFullScreen = false;
    m_bFullScreenPending = false;
    for (CQelButton* button : m_btnTitle) {
        if (button != nullptr)
            button->show();
    }
    ShowCommandBar(1);
    // The channel bar was hidden with the rest; it comes back too.
    m_channelBar.ShowButtons(false);
    SetUserLevelControls(true);
    if (IsCameraOnlyFamily(CurrentFamily()))
        m_bPanelShown = false;
    const ViewLayoutRow& v =
        ViewLayoutTable.at(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1));
    const int top = m_bPanelShown ? kVlPanelWindowLeft : kVlWindowLeft;
    SetWindowRect(QRect(v[top], v[top + 1], v[top + 2] - v[top], v[top + 3] - v[top + 1]), true);
    ChangeItemPositionForDeviceModified();
    ApplyButtonLayout();
    // Whatever the status line said before full screen is stale now.
    update();
}

void CDravelinDlg::OnLeaveSpecialView() {
    AppGlobalState& app = *g_lpApp;
    if (app.C_ControlD.IsCurrentMaster())
        return;
    if (CQelButton* ptz = FindButton(8312)) {
        ptz->setToolTip(QString::fromStdString(LoadSplitString(8312).first));
        ptz->SetState(0);
    }
    app.C_ControlD.MakeCurrent(kDeviceMaster, 0);
    if (app.b_PtzClickMode == 2)
        app.b_PtzClickMode = 1;
    ChangeItemPositionForDeviceModified();
}

void CDravelinDlg::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                       std::uint64_t lParam) {
    switch (message) {
        case WM_SETSTATUSTEXT: {
            const ViewLayoutRow& v =
                ViewLayoutTable.at(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1));
            update(QRect(v[16], v[17], v[18] - v[16], v[19] - v[17]));
            break;
        }
        case WM_FRAMEREADY: {
            // Only the picture changed. Painted now: the message is this
            // frame's one wake-up of the GUI thread, and a later update
            // request would be another event through the loop.
            QRect picture;
            {
                std::lock_guard lock(m_pictureLock);
                picture = FrontRect();
            }
            repaint(picture);
            break;
        }
        case WM_ENTERFULLSCREENLAYOUT:
            if (m_bFullScreen)
                EnterFullScreenLayout();
            break;
        case WM_ENABLERECORDBUTTON:
            if (CQelButton* record = FindButton(1005))
                record->SetState(1);
            break;
        case WM_RELOGIN:
            // A pause of up to two seconds, without holding the GUI thread.
            QTimer::singleShot(static_cast<int>(platform::TickCount() % 2000), this, [this] {
                OnLogin();
                OnLogin();
            });
            break;
        case WM_SHOWERRORMESSAGE:
            ShowMessage(static_cast<unsigned>(wParam));
            break;
        case WM_PTZCLICK:
            OnPtzClick();
            break;
        case WM_POSTALARMAUDIO:
            OnPostAlarmAudio(lParam);
            break;

        case WM_LEAVESPECIALVIEW:
            OnLeaveSpecialView();
            break;
        case WM_LIFETIMEOVER:
            done(QDialog::Rejected);
            break;
        case WM_REDRAWINFOAREA: {
            if (m_bFullScreen)
                break;
            const ViewLayoutRow& v =
                ViewLayoutTable.at(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1));
            const QRect area(v[kVlInfoX], v[kVlInfoY], 121, 15);
            const auto& point = g_lpApp->pt_MousePoint;
            g_lpApp->b_InfoHover = area.contains(point[0], point[1]);
            update(area);
            break;
        }
        case WM_SHOWLOGINSTATUS:
            OnShowStatus(wParam, lParam);
            break;
        case WM_CHANGEITEMPOSITION:
            ChangeItemPositionForDeviceModified();
            if (wParam != 0)
                ApplyButtonLayout();
            break;
        case WM_APPLYBUTTONLAYOUT:
            ApplyButtonLayout();
            break;
        case WM_APPLYSKIN:
            ApplySkin(static_cast<int>(wParam % kSkinSlotCount));
            break;
        case WM_ARRANGECHANNELS:
            m_channelBar.ArrangeButtons();
            break;
        case WM_REQUESTCHANNEL:
            m_channelBar.RequestChannel(static_cast<std::uint8_t>(wParam));
            break;
        case WM_SETRETRBUTTON:
            if (CQelButton* retr = FindButton(8331)) {
                const SplitText halves = LoadSplitString(8331);
                retr->setToolTip(
                    QString::fromStdString(wParam != 0 ? halves.first : halves.second));
                retr->SetState(wParam != 0 ? 1 : 0);
            }
            break;
        case WM_RESETPTZBUTTON:
            if (CQelButton* ptz = FindButton(8312))
                ptz->SetState(0);
            break;
        default:
            break;
    }
    (void)lParam;
}

void CDravelinDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            if (m_bFullScreen)
                LeaveFullScreen();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

bool CDravelinDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        StopAlarmSoundByClick();
    }
    return QDialog::eventFilter(watched, event);
}

void CDravelinDlg::mousePressEvent(QMouseEvent* event) {
    AppGlobalState& app = *g_lpApp;
    const QPoint point = event->position().toPoint();
    app.pt_MousePoint = {point.x(), point.y()};
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    StopAlarmSoundByClick();
    if (!m_bFullScreen) {
        // Dragged from anywhere on its surface.
        QWindow* handle = windowHandle();
        if (handle == nullptr || !handle->startSystemMove()) {
            m_dragging = true;
            m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        }
    }
    if (app.b_PtzClickMode == 2 && app.f_VideoConnected)
        platform::PostWindowMessage(m_handle, WM_PTZCLICK, 0, 0);
}

void CDravelinDlg::mouseMoveEvent(QMouseEvent* event) {
    AppGlobalState& app = *g_lpApp;
    const QPoint point = event->position().toPoint();
    app.pt_MousePoint = {point.x(), point.y()};
    if (app.b_PtzClickMode != 1) {
        app.w_PtzPointX = static_cast<std::uint16_t>(point.x());
        app.w_PtzPointY = static_cast<std::uint16_t>(point.y());
    }
    if (m_dragging && !m_bFullScreen) {
        const QRect proposed(event->globalPosition().toPoint() - m_dragOffset, size());
        setGeometry(OnMoving(proposed));
    }
}

void CDravelinDlg::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    g_lpApp->pt_MousePoint = {point.x(), point.y()};
    m_dragging = false;
}

void CDravelinDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (g_lpApp == nullptr || m_bFullScreen)
        return;
    if (IsQ9C0())
        WindowExtensions().MoveCameraToolbar(x() - 45 + 2, y());
    // A move never changes the layout's size.
    const QRect kept = OnMoving(geometry());
    if (kept.size() != size())
        resize(kept.size());
}
