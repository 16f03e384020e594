#include "config/pages/install_pages2a.h"

#include "config/pages/alarm_data_page.h"
#include "config/pages/camera_page.h"
#include "config/pages/device_page.h"
#include "config/pages/online_user_page.h"
#include "config/pages/peripheral_page.h"
#include "config/sheet/my_system_dialog.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

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
                              DvrChannelRows(sheet.Device().productId));
    });
    SetSheetPageFactory(SheetPageId::kCamera, [](MySystemDialog& sheet) -> QWidget* {
        SystemConfigStruct& config = sheet.Sender().config();
        return new CameraPage(config.dvrLive, config.dvrRec,
                              DvrChannelRows(sheet.Device().productId));
    });
}
