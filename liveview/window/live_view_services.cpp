#include "liveview/window/live_view_services.h"

#include <string>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "liveview/control/cmos_toolbar.h"
#include "liveview/control/ctrl_file.h"
#include "liveview/window/main_window.h"
#include "platform/modal_dialog.h"

namespace {

CDravelinDlg* Window() {
    return g_lpApp != nullptr ? g_lpApp->lp_MainDialog.load() : nullptr;
}

void Post(std::uint32_t message, std::uint64_t wParam = 0) {
    if (g_lpApp == nullptr)
        return;
    platform::PostWindowMessage(g_lpApp->h_MainDialogHandle, message, wParam, 0);
}

// The skin slot of each skin: N_VGA 0, N_QVGA 1, P_VGA 2, P_QVGA 3.
int SlotOf(LiveSkin skin) {
    switch (skin) {
        case LiveSkin::NtscVga:
            return 0;
        case LiveSkin::NtscQvga:
            return 1;
        case LiveSkin::PalVga:
            return 2;
        case LiveSkin::PalQvga:
            return 3;
    }
    return 0;
}

}  // namespace

int LiveViewServicesImpl::LoadCtrlFile() {
    return ::LoadCtrlFile();
}

int LiveViewServicesImpl::MatchCtrlFileDevices() {
    return ::MatchCtrlFileDevices();
}

void LiveViewServicesImpl::FreeCtrlFileRecords() {
    ::FreeCtrlFileRecords();
}

void LiveViewServicesImpl::RunMainWindow() {
    CDravelinDlg dialog;
    // A set-up that stopped early has told the operator why and closed.
    if (dialog.OnInitDialog() != 0)
        platform::RunModal(dialog);
}

int LiveViewServicesImpl::SetStatusText(const std::string& text) {
    if (CDravelinDlg* window = Window())
        return window->SetStatusText(text);
    return 1;
}

int LiveViewServicesImpl::DrawVideoFrame() {
    CDravelinDlg* window = Window();
    if (window == nullptr)
        return PlaceholderLiveView::DrawVideoFrame();
    return window->DrawVideoFrame();
}

void LiveViewServicesImpl::ClearInfoTexts() {
    if (CDravelinDlg* window = Window())
        window->ClearInfoTexts();
}

int LiveViewServicesImpl::SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) {
    if (CDravelinDlg* window = Window())
        return window->SetCommandButtonsState(stateBits, state);
    return 1;
}

void LiveViewServicesImpl::ResetPtzControlButton() {
    Post(WM_RESETPTZBUTTON);
}

void LiveViewServicesImpl::RelayoutForDevice() {
    Post(WM_CHANGEITEMPOSITION, 1);
}

void LiveViewServicesImpl::ChangeItemPositionForDeviceModified() {
    Post(WM_CHANGEITEMPOSITION, 0);
}

void LiveViewServicesImpl::ApplySkin(LiveSkin skin) {
    Post(WM_APPLYSKIN, static_cast<std::uint64_t>(SlotOf(skin)));
}

void LiveViewServicesImpl::ArrangeChannelButtons() {
    Post(WM_ARRANGECHANNELS);
}

void LiveViewServicesImpl::SetCurrentChannel(int channelIndex) {
    if (CDravelinDlg* window = Window()) {
        window->ChannelBar().SetCurrentChannel(static_cast<std::uint8_t>(channelIndex));
    }
}

void LiveViewServicesImpl::RequestChannel(int channel) {
    if (channel >= 1 && channel <= 16)
        Post(WM_REQUESTCHANNEL, static_cast<std::uint64_t>(channel));
}

void LiveViewServicesImpl::SetRetrStateButton(bool enabled) {
    Post(WM_SETRETRBUTTON, enabled ? 1 : 0);
}

void LiveViewServicesImpl::PostCameraState(std::uint8_t state) {
    platform::PostWindowMessage(CameraToolbarHandle(), WM_CAMERASTATE, state, 0);
}
