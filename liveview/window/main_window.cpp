// The main window's set-up and shutdown: construction, the long
// OnInitDialog that builds the window for the device and the user, and
// DestroyWindow.

#include "liveview/window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/kernel_message.h"
#include "core/login/process_control.h"
#include "core/login/session_login.h"
#include "core/net/sys_config.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/control/cmos_toolbar.h"
#include "liveview/skin/skin_flags.h"
#include "liveview/window/device_info_reader.h"
#include "liveview/window/window_extensions.h"
#include "media/media_state.h"

namespace {

constexpr unsigned kUnknownDeviceText = 4093;
constexpr unsigned kStreamNotStartedText = 4120;

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool KnownFamily() {
    return IsDvrFamily() || IsQ3A2() || IsQ7BFamily() || IsQ9C0();
}

// "Selected Channel" fitted to the product: the login's rule, and the
// single-picture servers always on their second input.
void FitSelectedChannel(const std::string& productId) {
    ClampSelectedChannel(productId);
    if (productId == "Q9C0" || productId == "Q7B7" || productId == "Q7B5" || productId == "Q7B3")
        g_lpApp->CSettingINI.m_bySelectedChannel = 2;
}

}  // namespace

CDravelinDlg::CDravelinDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_handle = platform::RegisterWindow(this);
    if (g_lpApp != nullptr) {
        g_lpApp->w_ViewMode = 0;
        const QRect row(0, 0, ViewLayoutTable[0][2], ViewLayoutTable[0][3]);
        resize(row.size());
    }
    if (QScreen* screen = QGuiApplication::primaryScreen())
        m_rcWorkArea = screen->availableGeometry();
    auto* rateTimer = new QTimer(this);
    connect(rateTimer, &QTimer::timeout, this, [this] { OnRateTimer(); });
    rateTimer->start(500);
}

CDravelinDlg::~CDravelinDlg() {
    platform::UnregisterWindow(m_handle);
    CloseCameraToolbar();
    if (g_lpApp != nullptr) {
        if (g_lpApp->f_ConfigDialogOpen.exchange(0) != 0)
            WindowExtensions().CloseConfigSheet();
        CDravelinDlg* self = this;
        g_lpApp->lp_MainDialog.compare_exchange_strong(self, nullptr);
        platform::WindowHandle handle = m_handle;
        g_lpApp->h_MainDialogHandle.compare_exchange_strong(handle, 0);
    }
}

int CDravelinDlg::CurrentFamily() const {
    if (g_lpApp == nullptr)
        return 0;
    const int type = g_lpApp->C_ControlD.GetCurrentType();
    // A type the tables do not know never indexes them: it is treated as a
    // missing device.
    return IsValidFamily(type) ? type : 0;
}

int CDravelinDlg::EndEarly(unsigned textId, const char* trace) {
    WriteTraceLine(std::string("main window: ") + trace);
    ShowMessage(textId);
    DestroyWindow();
    QDialog::done(QDialog::Rejected);
    return 0;
}

CQelButton* CDravelinDlg::MakeButton(std::uint32_t id, const QString& tooltip) {
    auto* button = new CQelButton(this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setToolTip(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this,
            [this, id] { OnCommand(static_cast<std::uint16_t>(id)); });
    return button;
}

CQelButton* CDravelinDlg::FindButton(std::uint32_t controlId) const {
    for (std::size_t i = 0; i < m_btnTitle.size(); ++i) {
        if (kTitleBarIds[i] == controlId)
            return m_btnTitle[i];
    }
    if (controlId == kPanelUpId)
        return m_btnPanelUp;
    if (controlId == kPanelDownId)
        return m_btnPanelDown;
    if (controlId == kPowerButtonId)
        return m_btnPower;
    if (m_buttonFamily >= 0) {
        const int row = FindSkinButtonRow(m_buttonFamily, controlId);
        if (row >= 0)
            return m_btnSkin[static_cast<std::size_t>(row)];
    }
    for (int i = 0; i < m_commandBar.Count(); ++i) {
        const CommandButtonRow* row = m_commandBar.Row(i);
        if (row != nullptr && row->wControlId == controlId)
            return m_commandBar.Button(i);
    }
    return nullptr;
}

void CDravelinDlg::ApplyFamilyTableChanges() {
    if (!IsDvrFamily())
        return;
    if (FirmwareOlderThan("1078")) {
        for (int family : {14, 19, 20, 21, 22, 23}) ClearSkinFlags(family, 25);
    }
    if (IsMultiChannel()) {
        for (int family : {11, 17, 18, 25}) ClearSkinFlags(family, 60);
    }
}

void CDravelinDlg::ChooseUserLevelRow() {
    AppGlobalState& app = *g_lpApp;
    const int level = app.w_UserLevel;
    const std::uint8_t row = level == 30 ? 0 : level == 20 ? 1 : level == 0 ? 2 : 3;
    app.b_UserLevelRow = row;
    m_commandBar.SetUserLevelRow(row);
    if (level != 30)
        return;
    // Devices that named themselves with one stray character after the
    // model get their name cut back to the model.
    std::array<std::uint8_t, SysCfgSize(kSysCfgInf)> inf{};
    if (ReadSysCfgSection(kSysCfgInf, inf) == 0)
        return;
    constexpr std::string_view kModel = "ZRT-417";
    if (std::memcmp(inf.data() + 24, kModel.data(), kModel.size()) != 0)
        return;
    std::fill(inf.begin() + 24, inf.begin() + 32, 0);
    std::memcpy(inf.data() + 24, kModel.data(), kModel.size());
    app.SystemConfigStruct.inf = inf;
    if (WriteSysCfgSection(kSysCfgInf, inf, 0) == 0)
        WriteTraceLine("main window: INF name not written");
}

void CDravelinDlg::CreateButtons(int family, int viewMode) {
    const ViewLayoutRow& v = ViewLayoutTable.at(static_cast<std::size_t>(viewMode));
    const int slot = SkinSlot(LayoutSlot(viewMode));
    for (std::size_t i = 0; i < m_btnTitle.size(); ++i) {
        m_btnTitle[i] = MakeButton(kTitleBarIds[i], Text(kTitleBarIds[i]));
        m_btnTitle[i]->setGeometry(
            v[kVlTitleX] + static_cast<int>(i) * (v[kVlTitleWidth] + v[kVlTitleGap]), v[kVlTitleY],
            v[kVlTitleWidth], v[kVlTitleHeight]);
    }
    m_buttonFamily = family;
    const SkinFamily& table = SkinButtonTable[static_cast<std::size_t>(family)];
    for (int r = 0; r < kSkinButtonRows; ++r) {
        const SkinButtonRow& row = table.rows[static_cast<std::size_t>(r)];
        CQelButton* button = MakeButton(row.wControlId, Text(row.wTooltip));
        const SkinRect& rect = row.rect[static_cast<std::size_t>(slot)];
        button->setGeometry(rect.left, rect.top, std::max(rect.Width(), 1),
                            std::max(rect.Height(), 1));
        button->hide();
        m_btnSkin[static_cast<std::size_t>(r)] = button;
    }
    m_btnPower = MakeButton(kPowerButtonId, Text(kPowerButtonId));
    m_commandBar.Create(g_lpApp->str_ProductID.Get(), this);
    m_commandBar.SetCommandHandler([this](std::uint16_t id) { OnCommand(id); });
    m_btnPanelUp = MakeButton(kPanelUpId, Text(kPanelUpId));
    m_btnPanelUp->setGeometry(v[kVlPanelUpX], v[kVlPanelUpX + 1], v[kVlPanelUpX + 2],
                              v[kVlPanelUpX + 3]);
    m_btnPanelDown = MakeButton(kPanelDownId, Text(kPanelDownId));
    m_btnPanelDown->setGeometry(v[kVlPanelDownX], v[kVlPanelDownX + 1], v[kVlPanelDownX + 2],
                                v[kVlPanelDownX + 3]);
    LoadTitleBarBitmaps(viewMode);
    m_btnPower->hide();
}

void CDravelinDlg::StartCameraToolbar() {
    const ViewLayoutRow& v = ViewLayoutTable.at(g_lpApp->w_ViewMode);
    const auto half = [](int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); };
    const int x = half(m_rcWorkArea.width() - (v[2] - v[0])) - 43;
    const int y = half(m_rcWorkArea.height() - (v[3] - v[1]));
    WindowExtensions().ShowCameraToolbar(this, m_rcWorkArea.left() + x, m_rcWorkArea.top() + y);
}

int CDravelinDlg::OnInitDialog() {
    if (g_lpApp == nullptr)
        return 0;
    AppGlobalState& app = *g_lpApp;
    CSettingINI& settings = app.CSettingINI;
    app.h_MainDialogHandle = m_handle;
    app.lp_MainDialog = this;
    const std::string productId = app.str_ProductID.Get();

    FitSelectedChannel(productId);
    if (IsDvrFamily() && !FirmwareOlderThan("1035")) {
        std::array<std::uint8_t, SysCfgSize(kSysCfgInf)> inf{};
        if (ReadSysCfgSection(kSysCfgInf, inf) != 0) {
            app.SystemConfigStruct.inf = inf;
            app.dw_FeatureFlags = InfFeatureBits(app.SystemConfigStruct);
        }
    }

    WindowDeviceInfo info;
    // One failed request must not leave a blank window for good: the window
    // is built from what the login told, says why in its status line and the
    // re-login cycle (login, device information, stream) tries again.
    const bool informed = RequestWindowDeviceInfo(info);
    if (!KnownFamily())
        return EndEarly(kUnknownDeviceText, "device of no known family");

    app.f_SystemSectionRead = false;
    if (informed && (IsDvrFamily() || IsQ3A2())) {
        std::array<std::uint8_t, SysCfgSize(kSysCfgSystem)> system{};
        if (ReadSysCfgSection(kSysCfgSystem, system) != 0) {
            app.SystemConfigStruct.system = system;
            app.f_SystemSectionRead = true;
            const char* title = reinterpret_cast<const char*>(system.data() + 20);
            app.str_DeviceTitle.Set(std::string(title, strnlen(title, system.size() - 20)));
        }
    }
    if (informed && IsQ3A2() && !FirmwareOlderThan("1010")) {
        std::array<std::uint8_t, SysCfgSize(kSysCfgAlarm)> alarm{};
        if (ReadSysCfgSection(kSysCfgAlarm, alarm) != 0 && alarm[9] == 0) {
            alarm[9] = 12;
            app.SystemConfigStruct.alarm = alarm;
            if (WriteSysCfgSection(kSysCfgAlarm, alarm, 0) == 0)
                WriteTraceLine("main window: ALARM not written");
        }
    }

    const int selected = settings.m_bySelectedChannel;
    CControlDevice& devices = app.C_ControlD;
    if (IsDvrFamily() && IsMultiChannel()) {
        devices.MakeCurrent(kDeviceMaster, selected);
    } else if (IsDvrFamily() || IsQ7BFamily()) {
        devices.MakeCurrent(kDeviceMaster, 0);
    } else if (IsQ9C0()) {
        if (selected == 2)
            devices.MakeCurrent(kDeviceMaster, 0);
    } else if (IsQ3A2()) {
        devices.MakeCurrent(kDeviceMaster, selected == 1 ? 0 : 1);
    }

    ApplyFamilyTableChanges();
    ChooseUserLevelRow();

    const int family = CurrentFamily();
    app.b_VideoStandard = app.b_VideoMode.load();
    GetMediaState().C_ViewModeSelector.ResetViewMode();
    const int viewMode = std::min<int>(app.w_ViewMode, kViewModeCount - 1);
    const ViewLayoutRow& v = ViewLayoutTable.at(static_cast<std::size_t>(viewMode));

    const QRect windowRect(0, 0, v[2] - v[0], v[3] - v[1]);
    resize(windowRect.size());
    SetRoundedRegion(QRect(v[0], v[1], v[2] - v[0], v[3] - v[1]), 20);
    move(m_rcWorkArea.left() + (m_rcWorkArea.width() - width()) / 2,
         m_rcWorkArea.top() + (m_rcWorkArea.height() - height()) / 2);

    LoadBackgroundBitmaps();
    setWindowTitle(QStringLiteral("Kestrune : ") +
                   QString::fromStdString(settings.m_strServerName.Get()));
    setToolTip(QStringLiteral("Kestrune : ") + QString::fromStdString(app.str_AppVersion.Get()));

    m_channelBar.Create(this);
    m_channelBar.SetCommandHandler([this](std::uint16_t id) { OnCommand(id); });
    m_channelBar.SetDeviceChangedHandler([this] {
        ChangeItemPositionForDeviceModified();
        ApplyButtonLayout();
    });
    CreateButtons(family, viewMode);

    if (info.retrPresent && devices.HasLinkedDvr())
        devices.SetRetrState(info.retrState);

    const bool cameraOnly = IsCameraOnlyFamily(family);
    m_btnPanelDown->setVisible(cameraOnly);
    m_btnPanelUp->setVisible(!cameraOnly);

    m_bFullScreen = false;
    const std::size_t fullBytes = static_cast<std::size_t>(std::max(m_rcWorkArea.width(), 0)) *
                                  std::max(m_rcWorkArea.height(), 0) * 3;
    app.lp_FullScreenBuffer.reset(fullBytes > 0 ? new std::uint8_t[fullBytes]() : nullptr);
    app.dw_FullScreenBufferBytes = app.lp_FullScreenBuffer ? fullBytes : 0;
    m_bFullScreenPending = false;

    SetUserLevelControls(false);
    ChangeItemPositionForDeviceModified();
    ApplyButtonLayout();

    if (CQelButton* resolution = FindButton(1007))
        resolution->SetState(static_cast<int>(settings.m_dwImageResolution.load()));
    if (CQelButton* quality = FindButton(1008))
        quality->SetState(static_cast<int>(settings.m_dwAlarmTriggerQuality.load()));
    SetStatusText("Start to get image!!");
    m_initDone = true;

    if (IsQ7BFamily()) {
        if (CQelButton* slow = FindButton(8231))
            slow->setToolTip(QStringLiteral("slow play"));
    }
    if (IsQ9C0())
        StartCameraToolbar();

    GetMediaState().C_FrameTimer.Start(productId);
    if (!informed) {
        SetStatusText("Get device information failed!! Login again !!");
        PostKernelMessage(Get_Image_TimeOut_Message);
        return 1;
    }
    if (!app.h_StartToGetJpegImageEvent || !app.h_StartConnectionThreadEvent) {
        return EndEarly(kStreamNotStartedText, "the stream cannot be started");
    }
    SignalStreamStartEvents();
    return 1;
}

int CDravelinDlg::DestroyWindow() {
    if (m_destroyed)
        return 1;
    m_destroyed = true;
    Media().StopRecorders();
    // Both releases are tried and the settings saved whatever they report:
    // a thread that would not end is already traced by the stopper, and
    // keeping the window open would only leave the operator stuck.
    if (!ExitLoginResource())
        WriteTraceLine("main window: login resources not fully released");
    if (!ExitProcessResource())
        WriteTraceLine("main window: process resources not fully released");
    if (g_lpApp != nullptr)
        g_lpApp->CSettingINI.SaveToFile(g_lpApp->b_TurboRepeatStep);
    // The show thread's end event belonged to the login resources, which are
    // gone now; nothing is left to set or to wait for.
    return 1;
}

void CDravelinDlg::done(int result) {
    DestroyWindow();
    QDialog::done(result);
}

void CDravelinDlg::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the window manager's close take the orderly road:
    // recordings closed with their index, Setting.ini saved.
    done(QDialog::Rejected);
    event->accept();
}
