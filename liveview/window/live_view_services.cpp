#include "liveview/window/live_view_services.h"

#include <string>

#include "core/state/app_global_state.h"
#include "liveview/control/ctrl_file.h"
#include "liveview/window/main_window.h"

int LiveViewServicesImpl::LoadCtrlFile() { return ::LoadCtrlFile(); }

int LiveViewServicesImpl::MatchCtrlFileDevices() { return ::MatchCtrlFileDevices(); }

void LiveViewServicesImpl::FreeCtrlFileRecords() { ::FreeCtrlFileRecords(); }

void LiveViewServicesImpl::RunMainWindow() {
    CDravelinDlg dialog;
    dialog.OnInitDialog();
    dialog.exec();
}

int LiveViewServicesImpl::SetStatusText(const std::string& text) {
    if (g_lpApp == nullptr) return 1;
    if (CDravelinDlg* window = g_lpApp->lp_MainDialog.load()) return window->SetStatusText(text);
    return 1;
}

int LiveViewServicesImpl::DrawVideoFrame() {
    CDravelinDlg* window = g_lpApp != nullptr ? g_lpApp->lp_MainDialog.load() : nullptr;
    if (window == nullptr) return PlaceholderLiveView::DrawVideoFrame();
    return window->DrawVideoFrame();
}

void LiveViewServicesImpl::ClearInfoTexts() {
    if (g_lpApp == nullptr) return;
    if (CDravelinDlg* window = g_lpApp->lp_MainDialog.load()) window->ClearInfoTexts();
}

int LiveViewServicesImpl::SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state) {
    if (g_lpApp == nullptr) return 1;
    if (CDravelinDlg* window = g_lpApp->lp_MainDialog.load()) {
        return window->SetCommandButtonsState(stateBits, state);
    }
    return 1;
}
