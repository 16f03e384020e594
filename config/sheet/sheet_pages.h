#pragma once

// The pages of the configuration sheet: the table of all 24 page classes the
// sheet holds, the pages each device family gets, and how a page hands its
// values to the sheet's save routines. A page takes part in APPLY only
// through these interfaces: a page window that implements none of them (the
// empty frame shown for a page without a factory) is never saved.

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/sheet/save_routines.h"

enum class SheetPageId : std::uint8_t {
    kNetwork,
    kMail,
    kFtp,
    kAccount,
    kPeripheral,
    kGeneral,
    kFilePath,
    kAlarm,
    kQ7BPeripheral,
    kAlarmTrigger,
    kOnlineUser,
    kScheduleRecord,
    kAlarmList,
    kVideoSetting,
    kSntp,
    kDdns,
    kDevice,
    kDetection,
    kCamera,
    kNetworkBackup,
    kSearchList,
    kTimerRecord,
    kDate,
    kRecordSetting,
};

struct SheetPageEntry {
    SheetPageId id;
    std::string_view className;
    int resource;
    std::string_view caption;  // the tab text, also the tree item's
};

// Every page the sheet constructs, in member order.
inline constexpr std::array<SheetPageEntry, 24> kSheetPages{{
    {SheetPageId::kNetwork, "NetworkConfigPage", 256, "Network"},
    {SheetPageId::kMail, "MailPropertyPage", 269, "Mail"},
    {SheetPageId::kFtp, "FTPPropertyPage", 271, "FTP"},
    {SheetPageId::kAccount, "AccountPropertyPage", 273, "Account"},
    {SheetPageId::kPeripheral, "CPeripheralPage", 275, "Peripheral"},
    {SheetPageId::kGeneral, "ToolBoxPropertyPage", 277, "General"},
    {SheetPageId::kFilePath, "RecordPage", 279, "File Path"},
    {SheetPageId::kAlarm, "AlarmPropertyPage", 286, "Alarm"},
    {SheetPageId::kQ7BPeripheral, "CQ7BPeripheral", 288, "Peripheral"},
    {SheetPageId::kAlarmTrigger, "CAlarmTriggerPage", 291, "R.E.T.R."},
    {SheetPageId::kOnlineUser, "COnlineUserPage", 293, "Online User Info"},
    {SheetPageId::kScheduleRecord, "CScheduleRecordPage", 298, "Schedule Record"},
    {SheetPageId::kAlarmList, "AlarmDataPage", 301, "Alarm List"},
    {SheetPageId::kVideoSetting, "CSetTirelCmdPage", 306, "Video Setting"},
    {SheetPageId::kSntp, "CSNTPPage", 309, "Server Time Config"},
    {SheetPageId::kDdns, "CDNSPage", 312, "DDNS"},
    {SheetPageId::kDevice, "DevicePage", 320, "Device"},
    {SheetPageId::kDetection, "DetectionPage", 323, "Detection"},
    {SheetPageId::kCamera, "CameraPage", 326, "DVR"},
    {SheetPageId::kNetworkBackup, "DownloadFilePage", 330, "Network Backup"},
    {SheetPageId::kSearchList, "CEventPage", 333, "Search List"},
    {SheetPageId::kTimerRecord, "TimerRecordPage", 344, "Timer Record"},
    {SheetPageId::kDate, "DVRDatePage", 343, "Date"},
    {SheetPageId::kRecordSetting, "DVRRecordPage", 347, "Record Setting"},
}};

constexpr bool PagesInIdOrder() {
    for (std::size_t i = 0; i < kSheetPages.size(); ++i) {
        if (static_cast<std::size_t>(kSheetPages[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(PagesInIdOrder());

constexpr const SheetPageEntry& PageEntry(SheetPageId id) {
    return kSheetPages[static_cast<std::size_t>(id)];
}

// The pages a product's sheet adds, in order; none for an unknown product.
// The DVR family gets the Alarm List page only with a linked DVR.
std::vector<SheetPageId> PagesForProduct(std::string_view productId, bool hasLinkedDvr);

// A page that hands its values to a save routine. Taking the values is the
// page's data exchange in the saving direction (controls into members).
template <class Values>
class SheetPageValues {
public:
    virtual ~SheetPageValues() = default;
    virtual Values TakePageValues() = 0;
};

// A page told that APPLY's save of its values went through (the device took
// the sections, or nothing needed sending).
class SheetSavedPage {
public:
    virtual ~SheetSavedPage() = default;
    virtual void OnPageSaved() = 0;
};

// The Date and Record Setting pages send device commands of their own.
class SheetCommandPage {
public:
    virtual ~SheetCommandPage() = default;
    // 1 when nothing needed sending or the command went through.
    virtual int SaveToDevice() = 0;
};

// The Network Backup and Search List pages' local settings.
struct NetworkBackupLocalValues {
    std::uint32_t dynamicDownload = 0;
    bool folderChanged = false;
    std::string folder;
};
struct SearchListLocalValues {
    bool typeChanged = false;
    std::uint8_t listType = 0;
    bool hddChanged = false;
    std::uint16_t hdd = 0;
    bool maxNumberChanged = false;
    std::uint16_t maxNumber = 0;
};

class MySystemDialog;

// Builds a page's window for a sheet. Until a page is registered, the sheet
// shows an empty frame for it.
using SheetPageFactory = std::function<QWidget*(MySystemDialog&)>;
void SetSheetPageFactory(SheetPageId id, SheetPageFactory factory);  // empty: none
SheetPageFactory SheetPageFactoryFor(SheetPageId id);

// One row of a table of page factories: a page and how a sheet builds it.
// Each layer that holds pages keeps one such table; the program's installer
// registers them all.
struct SheetPageFactoryRow {
    SheetPageId id;
    QWidget* (*build)(MySystemDialog&);
};
void RegisterSheetPages(std::span<const SheetPageFactoryRow> rows);
