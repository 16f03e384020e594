#include "maintenance/install_recdata.h"

#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_pages.h"
#include "maintenance/backup/download_file_page.h"
#include "maintenance/disc/backup_disc_burner.h"
#include "maintenance/log/general_page_log.h"
#include "maintenance/search/event_page.h"
#include "maintenance/search/search_list.h"

void InstallRecordedDataPages() {
    InstallServerLogHooks();
    InstallBackupDiscBurner();
    // A request that an earlier sheet's record list left behind is not the
    // new sheet's backup page's to take.
    SetSheetOpeningHook(&maintenance::ClearPendingDownloadRequest);
    SetSheetPageFactory(SheetPageId::kNetworkBackup, [](MySystemDialog&) -> QWidget* {
        auto* page = new maintenance::DownloadFilePage();
        page->OnInitDialog();
        return page;
    });
    SetSheetPageFactory(SheetPageId::kSearchList, [](MySystemDialog& sheet) -> QWidget* {
        auto* page = new maintenance::CEventPage(nullptr, sheet.Handle());
        page->OnInitDialog();
        return page;
    });
}
