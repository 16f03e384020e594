#include "config/pages/install_pages2b.h"

#include "config/pages/detection_page.h"
#include "config/pages/dvr_date_page.h"
#include "config/pages/dvr_record_page.h"
#include "config/pages/timer_record_page.h"
#include "config/sheet/my_system_dialog.h"

void InstallPages2b() {
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
