#include "liveview/live_view_services.h"

#include <fstream>
#include <iterator>
#include <string>

#include "core/app_state.h"
#include "core/string_table.h"
#include "liveview/main_window.h"
#include "platform/program_folder.h"

int LiveViewServicesImpl::LoadCtrlFile() {
    // The key sequences are not used yet; the file must exist and be
    // readable all the same, as without it the device keys cannot work.
    std::ifstream file(platform::ProgramFolder() / "CtrlFile.ini", std::ios::binary);
    if (!file) {
        ShowMessage(4094);
        return 0;
    }
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        ShowMessage(4094);
        return 0;
    }
    return 1;
}

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
