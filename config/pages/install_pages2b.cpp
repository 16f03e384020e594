#include "config/pages/install_pages2b.h"

#include "config/pages/detection_page.h"
#include "config/pages/dvr_date_page.h"
#include "config/pages/dvr_record_page.h"
#include "config/pages/timer_record_page.h"
#include "config/sheet/my_system_dialog.h"
#include "core/state/app_global_state.h"
#include "liveview/control/key_sender.h"
#include "liveview/window/main_window.h"

namespace {

// The detection dialog's channel switch goes through the main window's
// channel bar and the key sender, on the GUI thread.
DetectionChannelSwitch MainWindowChannelSwitch() {
    DetectionChannelSwitch hooks;
    hooks.isCurrentMaster = [] {
        return g_lpApp != nullptr && g_lpApp->C_ControlD.IsCurrentMaster() != 0;
    };
    hooks.currentChannel = []() -> int {
        CDravelinDlg* window = g_lpApp != nullptr ? g_lpApp->lp_MainDialog.load() : nullptr;
        return window != nullptr ? window->ChannelBar().CurrentChannel() : 0;
    };
    hooks.sendChannelKey = [](int keyIndex) {
        if (keyIndex >= 0 && keyIndex < 16) {
            SendDvrKeyCommand(false, static_cast<std::uint16_t>(keyIndex));
        }
    };
    hooks.requestChannel = [](int channel) {
        CDravelinDlg* window = g_lpApp != nullptr ? g_lpApp->lp_MainDialog.load() : nullptr;
        if (window != nullptr && channel >= 1 && channel <= 16) {
            window->ChannelBar().RequestChannel(static_cast<std::uint8_t>(channel));
        }
    };
    return hooks;
}

}  // namespace

void InstallPages2b() {
    SetDetectionChannelSwitch(MainWindowChannelSwitch());
    SetSheetPageFactory(SheetPageId::kTimerRecord, [](MySystemDialog& sheet) -> QWidget* {
        return new TimerRecordPage(sheet.Device(), sheet.Sender().config().dvrRec);
    });
    SetSheetPageFactory(SheetPageId::kDate, [](MySystemDialog& sheet) -> QWidget* {
        return new DVRDatePage(sheet.Device());
    });
    SetSheetPageFactory(SheetPageId::kRecordSetting, [](MySystemDialog& sheet) -> QWidget* {
        return new DVRRecordPage(sheet.Device());
    });
    SetSheetPageFactory(SheetPageId::kDetection, [](MySystemDialog& sheet) -> QWidget* {
        SystemConfigStruct& config = sheet.Sender().config();
        return new DetectionPage(sheet.Device(), config.dvrLive, config.alarm);
    });
}
