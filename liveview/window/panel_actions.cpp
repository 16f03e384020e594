// The control panel's buttons: the device keys, turbo, ACTION/PRESET, the
// power key, R.E.T.R., the playback search, the channel buttons, and the PTZ
// controls with the click-to-position on the picture.

#include <algorithm>
#include <utility>

#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/control/key_buttons.h"
#include "liveview/control/key_sender.h"
#include "liveview/control/ptz_control.h"
#include "liveview/dialogs/playback_search_dlg.h"
#include "liveview/dialogs/select_ptz_dlg.h"
#include "liveview/skin/skin_path.h"
#include "liveview/window/main_window.h"
#include "platform/message_box.h"

namespace {

constexpr std::uint16_t kTurboId = 8310;
constexpr std::uint16_t kPtzControlId = 8312;
constexpr std::uint16_t kSearchId = 8319;
constexpr std::uint16_t kRetrId = 8331;
constexpr std::uint16_t kHotPointId = 8352;
constexpr std::uint16_t kActionPresetId = 8356;
constexpr std::uint16_t kRetrMenuId = 32781;
constexpr std::uint16_t kHotPointMenuId = 32782;
constexpr std::uint16_t kFirstChannelId = 8410;
constexpr std::uint16_t kLastChannelId = 8426;
constexpr std::uint16_t kPageLeftId = 8427;
constexpr std::uint16_t kPageRightId = 8428;
constexpr int kTurboRow = 59;
constexpr int kPtzControlRow = 60;
constexpr int kActionPresetRow = 67;
constexpr std::uint16_t kCommandTimeoutSeconds = 15;
constexpr std::array<int, 8> kTurboFaceRows{54, 55, 57, 58, 30, 31, 32, 33};

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

const UserLevelRow& UserRow() {
    return UserLevelTable[std::min<std::size_t>(g_lpApp->b_UserLevelRow,
                                                UserLevelTable.size() - 1)];
}

int CurrentSkin() {
    return SkinSlot(LayoutSlot(std::min<int>(g_lpApp->w_ViewMode, kViewModeCount - 1)));
}

// The click mode after PTZ `n` was chosen: hot-point clicks for the PTZ
// slave types, on recorders with newer firmware only when they have the
// feature.
std::uint8_t ClickModeFor(std::uint8_t type) {
    const bool ptzType = type == 11 || type == 18;
    if (IsDvrFamily() && !FirmwareOlderThan("1035"))
        return ptzType && HasFeature(2) ? 2 : 1;
    return ptzType ? 2 : 1;
}

}  // namespace

bool CDravelinDlg::OnPanelCommand(std::uint16_t id) {
    if (const auto key = FindKeyButton(id)) {
        AppGlobalState& app = *g_lpApp;
        // The recorders keep their menu from the lower user levels.
        if (id == kJoystickMenuId && app.b_UserLevelRow > 1 && IsDvrFamily())
            return true;
        SendDvrKeyCommand(key->turbo && app.f_Turbo, key->slot);
        return true;
    }
    if (id >= kFirstChannelId && id <= kLastChannelId) {
        RefreshSlaveDevices();
        m_channelBar.RequestChannel(static_cast<std::uint8_t>(id - kFirstChannelId));
        return true;
    }
    switch (id) {
        case kPageLeftId:
            m_channelBar.PageLeft();
            return true;
        case kPageRightId:
            m_channelBar.PageRight();
            return true;
        case kTurboId:
            OnTurbo();
            return true;
        case kActionPresetId:
            OnActionPreset();
            return true;
        case kPowerButtonId:
            OnPower();
            return true;
        case kRetrId:
        case kRetrMenuId:
            OnRetr();
            return true;
        case kSearchId:
            OnSearchVideo();
            return true;
        case kPtzControlId:
            OnPtzControl();
            return true;
        case kHotPointId:
        case kHotPointMenuId:
            OnHotPoint();
            return true;
        default:
            return false;
    }
}

void CDravelinDlg::LoadTurboFaces() {
    if (m_buttonFamily < 0)
        return;
    const int slot = CurrentSkin();
    const SkinFamily& table = SkinButtonTable[static_cast<std::size_t>(m_buttonFamily)];
    for (const int r : kTurboFaceRows) {
        CQelButton* button = m_btnSkin[static_cast<std::size_t>(r)];
        if (button == nullptr)
            continue;
        // Normal face, then the hover face, also shown while pressed.
        const char* normal = nullptr;
        const char* hover = nullptr;
        if (g_lpApp->f_Turbo) {
            const auto& files =
                TurboArrowIndex(r) >= 0
                    ? kTurboArrowFiles[static_cast<std::size_t>(TurboArrowIndex(r))]
                                      [static_cast<std::size_t>(slot)]
                    : kTurboZoomFocusFiles[static_cast<std::size_t>(r - kTurboZoomFocusFirstRow)];
            normal = files[0];
            hover = files[1];
        } else {
            const SkinButtonRow& row = table.rows[static_cast<std::size_t>(r)];
            const std::size_t base = static_cast<std::size_t>(slot) * 3;
            normal = row.files[base];
            hover = row.files[base + 1] != nullptr ? row.files[base + 1] : normal;
        }
        if (normal == nullptr)
            continue;
        button->LoadButtonBitmap(SkinBitmapPath(normal), SkinBitmapPath(hover),
                                 SkinBitmapPath(hover), CQelButton::kStylePush);
    }
}

void CDravelinDlg::OnTurbo() {
    AppGlobalState& app = *g_lpApp;
    const SplitText halves = LoadSplitString(kTurboId);
    const bool on = !app.f_Turbo.load();
    app.f_Turbo = on;
    LoadTurboFaces();
    if (CQelButton* turbo = m_btnSkin[kTurboRow]) {
        turbo->SetState(on ? 1 : 0);
        turbo->setToolTip(Qs(on ? halves.first : halves.second));
    }
    const ViewLayoutRow& v = ViewLayoutTable.at(std::min<int>(app.w_ViewMode, kViewModeCount - 1));
    update(QRect(v[4], v[5] + v[15], v[6] - v[4], v[7] - v[5] - v[15]));
}

void CDravelinDlg::OnActionPreset() {
    AppGlobalState& app = *g_lpApp;
    const SplitText halves = LoadSplitString(kActionPresetId);
    const bool preset = !app.f_PresetMode.load();
    app.f_PresetMode = preset;
    if (CQelButton* button = m_btnSkin[kActionPresetRow]) {
        button->SetState(preset ? 1 : 0);
        button->setToolTip(Qs(preset ? halves.second : halves.first));
    }
}

void CDravelinDlg::OnPower() {
    AppGlobalState& app = *g_lpApp;
    if (!app.f_Connected) {
        ShowMessage(4034);
        return;
    }
    const CtrlDeviceRecord* record = CtrlFamilyRecord(app.C_ControlD.GetCurrentType());
    if (record == nullptr) {
        ShowMessage(4093);
        return;
    }
    SendRs485KeySequence(&record->seqPower, 1, 0);
    // The press counts whether or not the device took it.
    app.f_PowerState = !app.f_PowerState.load();
}

void CDravelinDlg::OnRetr() {
    CCgiUrl url(CgiCommand::kSetRetr);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParam("SET", g_lpApp->C_ControlD.GetRetrState() != 0 ? "0" : "1");
    CommandStatus status;
    if (TirelSendCommand(CgiCommand::kSetRetr, url.GetUrlBuffer(), {}, &status, {}, nullptr,
                         kCommandTimeoutSeconds, kCommandTimeoutSeconds, 0) == 0) {
        ShowMessage(4065);
    }
}

void CDravelinDlg::OnSearchVideo() {
    liveview::CPlaybackSearchDlg dialog(nullptr);
    // -1: the dialog could not be created.
    if (dialog.DoModal() == -1)
        platform::ShowMessageBox(0, "Dialog box could not be created!", 0);
}

void CDravelinDlg::SendPtzBody(std::span<const std::uint8_t> body) {
    AppGlobalState& app = *g_lpApp;
    CCgiUrl url(CgiCommand::kRs485Cmd);
    url.AddParam("Control", "Q8A7");
    url.AddParam("MASTER", "1");
    url.AddSessionCookie(g_szSessionCookie.Get());
    if (SendRs485Body(url.GetUrl(), body, kCommandTimeoutSeconds) == 0) {
        app.w_HotPointFrames = 2;
        ShowMessage(4065);
        return;
    }
    ChangeItemPositionForDeviceModified();
    // The re-skin loaded the new family's faces: the PTZ control button
    // shows again whether a PTZ unit is current.
    if (CQelButton* button = m_btnSkin[kPtzControlRow])
        button->SetState(app.C_ControlD.IsCurrentMaster() == 0 ? 1 : 0);
}

void CDravelinDlg::OnPtzControl() {
    AppGlobalState& app = *g_lpApp;
    CControlDevice& devices = app.C_ControlD;
    if (app.b_UserLevelRow > 1 && IsDvrFamily())
        return;
    if (IsDvrFamily()) {
        const auto slaves = RequestPtzSlaveList();
        if (!slaves)
            return;
        for (std::size_t i = 0; i < slaves->size() && i < 256; ++i) {
            devices.SetSlaveInfo(static_cast<std::uint8_t>(i), (*slaves)[i].type, (*slaves)[i].id);
        }
    }
    const SplitText halves = LoadSplitString(kPtzControlId);
    int number = 0;
    const int result = RunSelectPtzDialog(this, number);
    CQelButton* button = m_btnSkin[kPtzControlRow];
    const auto setButton = [button](int state) {
        if (button != nullptr)
            button->SetState(state);
    };

    if (result == CSelectPtzDlg::kResultCancel) {
        setButton(devices.IsCurrentMaster() == 0 ? 1 : 0);
        if (IsDvrFamily())
            RequestPtzSlaveList();
        return;
    }
    const auto choose = [&]() -> bool {
        const auto body = PtzSelectionBody(number);
        if (!body || devices.GetSlaveType(static_cast<std::uint8_t>(number - 1)) == 0) {
            ShowMessage(4095);
            return false;
        }
        devices.MakeCurrent(kDeviceSlave, number - 1);
        if (button != nullptr)
            button->setToolTip(Qs(halves.second));
        setButton(1);
        app.b_PtzClickMode =
            ClickModeFor(devices.GetSlaveType(static_cast<std::uint8_t>(number - 1)));
        SendPtzBody(*body);
        return true;
    };
    if (devices.IsCurrentMaster() == 0) {
        if (result == CSelectPtzDlg::kResultOk) {
            choose();
        } else if (result == CSelectPtzDlg::kResultEsc) {
            if (button != nullptr)
                button->setToolTip(Qs(halves.first));
            devices.MakeCurrent(kDeviceMaster, 0);
            setButton(0);
            if (app.b_PtzClickMode == 2)
                app.b_PtzClickMode = 1;
            SendPtzBody(kBackToRecorderBody);
        }
        return;
    }
    choose();
}

void CDravelinDlg::OnHotPoint() {
    AppGlobalState& app = *g_lpApp;
    const std::uint8_t mode = app.b_PtzClickMode;
    if (mode == 1)
        app.b_PtzClickMode = 2;
    else if (mode == 2)
        app.b_PtzClickMode = 1;
}

int CDravelinDlg::OnPtzClick() {
    AppGlobalState& app = *g_lpApp;
    const ViewLayoutRow& v = ViewLayoutTable.at(std::min<int>(app.w_ViewMode, kViewModeCount - 1));
    const bool fullScreen = m_bFullScreen;
    PictureRect picture;
    if (fullScreen) {
        picture = {m_rcWorkArea.left(), m_rcWorkArea.top(),
                   m_rcWorkArea.left() + m_rcWorkArea.width(),
                   m_rcWorkArea.top() + m_rcWorkArea.height()};
    } else {
        picture = {v[kVlVideoLeft], v[kVlVideoTop], v[kVlVideoRight], v[kVlVideoBottom]};
    }
    const auto click =
        PtzClickCell(picture, app.w_PtzPointX, app.w_PtzPointY, fullScreen,
                     v[kVlVideoRight] - v[kVlVideoLeft], v[kVlVideoBottom] - v[kVlVideoTop]);
    if (!click)
        return 0;
    app.w_HotPointRect[0] = click->markX;
    app.w_HotPointRect[1] = click->markY;

    const CControlDevice& devices = app.C_ControlD;
    const auto body = PtzClickBody(devices.GetCurrentType(), click->cell, devices.GetCurrentId(),
                                   UserRow().byRights);
    if (!body) {
        WriteTraceLine("PTZ click: the current device has no click command");
        return 0;
    }
    if (SendRs485Body(PtzClickTarget(), std::span(body->bytes.data(), body->length),
                      kCommandTimeoutSeconds) == 0) {
        ShowMessage(4065);
        return 0;
    }
    app.w_HotPointFrames = 4;
    return 0;
}
