#include "maintenance/sheet_page_install.h"

#include <array>

#include "config/pages/page_factories.h"
#include "config/sheet/my_system_dialog.h"
#include "maintenance/backup/download_file_page.h"
#include "maintenance/disc/backup_disc_burner.h"
#include "maintenance/log/general_page_log.h"
#include "maintenance/search/event_page.h"
#include "maintenance/search/search_list.h"

namespace {

QWidget* NetworkBackup(MySystemDialog&) {
    auto* page = new maintenance::DownloadFilePage();
    page->OnInitDialog();
    return page;
}

QWidget* SearchList(MySystemDialog& sheet) {
    auto* page = new maintenance::CEventPage(nullptr, sheet.Handle());
    page->OnInitDialog();
    return page;
}

constexpr std::array<SheetPageFactoryRow, 2> kRecordedDataPageFactories{{
    {SheetPageId::kNetworkBackup, &NetworkBackup},
    {SheetPageId::kSearchList, &SearchList},
}};

}  // namespace

std::span<const SheetPageFactoryRow> RecordedDataPageFactories() {
    return kRecordedDataPageFactories;
}

void InstallSheetPages() {
    SetDetectionChannelSwitch(MainWindowChannelSwitch());
    InstallServerLogHooks();
    InstallBackupDiscBurner();
    // A request that an earlier sheet's record list left behind is not the
    // new sheet's backup page's to take.
    SetSheetOpeningHook(&maintenance::ClearPendingDownloadRequest);
    RegisterSheetPages(ConfigPageFactories());
    RegisterSheetPages(RecordedDataPageFactories());
}
