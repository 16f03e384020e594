#include "config/pages/page_factories.h"

#include <array>

#include "config/pages/account_property_page.h"
#include "config/pages/alarm_data_page.h"
#include "config/pages/alarm_property_page.h"
#include "config/pages/alarm_trigger_page.h"
#include "config/pages/camera_page.h"
#include "config/pages/device_page.h"
#include "config/pages/dns_page.h"
#include "config/pages/dvr_date_page.h"
#include "config/pages/dvr_record_page.h"
#include "config/pages/ftp_property_page.h"
#include "config/pages/mail_property_page.h"
#include "config/pages/network_config_page.h"
#include "config/pages/online_user_page.h"
#include "config/pages/peripheral_page.h"
#include "config/pages/q7b_peripheral_page.h"
#include "config/pages/record_page.h"
#include "config/pages/schedule_record_page.h"
#include "config/pages/sntp_page.h"
#include "config/pages/timer_record_page.h"
#include "config/pages/tool_box_property_page.h"
#include "config/pages/video_setting_page.h"
#include "config/sheet/my_system_dialog.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/control/key_sender.h"
#include "liveview/window/main_window.h"
#include "media/media_state.h"

namespace {

// A page that takes the sheet itself.
template <class Page>
QWidget* OnSheet(MySystemDialog& sheet) {
    return new Page(sheet);
}

QWidget* Peripheral(MySystemDialog& sheet) {
    return new CPeripheralPage(sheet.Sender().config());
}

QWidget* OnlineUser(MySystemDialog& sheet) {
    const std::uint8_t standard = g_lpApp != nullptr ? g_lpApp->b_VideoStandard.load() : 0;
    return new COnlineUserPage(
        sheet.Sender().config().online,
        OnlineUserView::For(sheet.Device(), standard, IsMultiChannel() != 0));
}

QWidget* AlarmList(MySystemDialog&) {
    return new AlarmDataPage();
}

QWidget* Device(MySystemDialog& sheet) {
    return new DevicePage(sheet.Sender().config().rs485, DvrChannelCount(sheet.Device().productId));
}

QWidget* Camera(MySystemDialog& sheet) {
    SystemConfigStruct& config = sheet.Sender().config();
    return new CameraPage(config.dvrLive, config.dvrRec, DvrChannelCount(sheet.Device().productId));
}

// The next four are built for the sheet, though no family adds them: their
// values reach no section.
QWidget* Q7BPeripheral(MySystemDialog&) {
    return new CQ7BPeripheral();
}

QWidget* AlarmTrigger(MySystemDialog& sheet) {
    return new CAlarmTriggerPage(sheet.LocalValues().retrAlarmRecord);
}

QWidget* VideoSetting(MySystemDialog& sheet) {
    const std::uint8_t mode = g_lpApp != nullptr ? g_lpApp->b_VideoMode.load() : 0;
    const std::uint16_t width = g_lpApp != nullptr ? g_lpApp->w_ImageWidth.load() : 0;
    const std::uint16_t height = g_lpApp != nullptr ? g_lpApp->w_ImageHeight.load() : 0;
    return new CSetTirelCmdPage(sheet.Sender().config().videoSetting, mode, width, height);
}

QWidget* ScheduleRecord(MySystemDialog&) {
    return new CScheduleRecordPage(GetMediaState().C_SchRecord);
}

QWidget* TimerRecord(MySystemDialog& sheet) {
    return new TimerRecordPage(sheet.Device(), sheet.Sender().config().dvrRec);
}

QWidget* Date(MySystemDialog& sheet) {
    return new DVRDatePage(sheet.Device());
}

QWidget* RecordSetting(MySystemDialog& sheet) {
    return new DVRRecordPage(sheet.Device());
}

QWidget* Detection(MySystemDialog& sheet) {
    SystemConfigStruct& config = sheet.Sender().config();
    return new DetectionPage(sheet.Device(), config.dvrLive, config.alarm);
}

using P = SheetPageId;

// In the sheet's page order, without the maintenance pages.
constexpr std::array<SheetPageFactoryRow, 22> kConfigPageFactories{{
    {P::kNetwork, &OnSheet<NetworkConfigPage>},
    {P::kMail, &OnSheet<MailPropertyPage>},
    {P::kFtp, &OnSheet<FTPPropertyPage>},
    {P::kAccount, &OnSheet<AccountPropertyPage>},
    {P::kPeripheral, &Peripheral},
    {P::kGeneral, &OnSheet<ToolBoxPropertyPage>},
    {P::kFilePath, &OnSheet<RecordPage>},
    {P::kAlarm, &OnSheet<AlarmPropertyPage>},
    {P::kQ7BPeripheral, &Q7BPeripheral},
    {P::kAlarmTrigger, &AlarmTrigger},
    {P::kOnlineUser, &OnlineUser},
    {P::kScheduleRecord, &ScheduleRecord},
    {P::kAlarmList, &AlarmList},
    {P::kVideoSetting, &VideoSetting},
    {P::kSntp, &OnSheet<CSNTPPage>},
    {P::kDdns, &OnSheet<CDNSPage>},
    {P::kDevice, &Device},
    {P::kDetection, &Detection},
    {P::kCamera, &Camera},
    {P::kTimerRecord, &TimerRecord},
    {P::kDate, &Date},
    {P::kRecordSetting, &RecordSetting},
}};

}  // namespace

std::span<const SheetPageFactoryRow> ConfigPageFactories() {
    return kConfigPageFactories;
}

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
