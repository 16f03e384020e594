#include "config/pages/install_pages2a.h"

#include "config/pages/alarm_data_page.h"
#include "config/pages/alarm_trigger_page.h"
#include "config/pages/camera_page.h"
#include "config/pages/device_page.h"
#include "config/pages/online_user_page.h"
#include "config/pages/peripheral_page.h"
#include "config/pages/q7b_peripheral_page.h"
#include "config/pages/schedule_record_page.h"
#include "config/pages/video_setting_page.h"
#include "config/sheet/my_system_dialog.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "media/media_state.h"

void InstallDevicePages() {
    SetSheetPageFactory(SheetPageId::kPeripheral, [](MySystemDialog& sheet) -> QWidget* {
        return new CPeripheralPage(sheet.Sender().config());
    });
    SetSheetPageFactory(SheetPageId::kOnlineUser, [](MySystemDialog& sheet) -> QWidget* {
        const std::uint8_t standard = g_lpApp != nullptr ? g_lpApp->b_VideoStandard.load() : 0;
        return new COnlineUserPage(
            sheet.Sender().config().online,
            OnlineUserView::For(sheet.Device(), standard, IsMultiChannel() != 0));
    });
    SetSheetPageFactory(SheetPageId::kAlarmList,
                        [](MySystemDialog&) -> QWidget* { return new AlarmDataPage(); });
    SetSheetPageFactory(SheetPageId::kDevice, [](MySystemDialog& sheet) -> QWidget* {
        return new DevicePage(sheet.Sender().config().rs485,
                              DvrChannelCount(sheet.Device().productId));
    });
    SetSheetPageFactory(SheetPageId::kCamera, [](MySystemDialog& sheet) -> QWidget* {
        SystemConfigStruct& config = sheet.Sender().config();
        return new CameraPage(config.dvrLive, config.dvrRec,
                              DvrChannelCount(sheet.Device().productId));
    });

    // Built for the sheet, though no family adds them: their values reach
    // no section.
    SetSheetPageFactory(SheetPageId::kQ7BPeripheral,
                        [](MySystemDialog&) -> QWidget* { return new CQ7BPeripheral(); });
    SetSheetPageFactory(SheetPageId::kAlarmTrigger, [](MySystemDialog& sheet) -> QWidget* {
        return new CAlarmTriggerPage(sheet.LocalValues().retrAlarmRecord);
    });
    SetSheetPageFactory(SheetPageId::kVideoSetting, [](MySystemDialog& sheet) -> QWidget* {
        const std::uint8_t mode = g_lpApp != nullptr ? g_lpApp->b_VideoMode.load() : 0;
        const std::uint16_t width = g_lpApp != nullptr ? g_lpApp->w_ImageWidth.load() : 0;
        const std::uint16_t height = g_lpApp != nullptr ? g_lpApp->w_ImageHeight.load() : 0;
        return new CSetTirelCmdPage(sheet.Sender().config().videoSetting, mode, width, height);
    });
    SetSheetPageFactory(SheetPageId::kScheduleRecord, [](MySystemDialog&) -> QWidget* {
        return new CScheduleRecordPage(GetMediaState().C_SchRecord);
    });
}
