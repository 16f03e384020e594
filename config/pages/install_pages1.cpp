#include "config/pages/install_pages1.h"

#include "config/pages/account_property_page.h"
#include "config/pages/alarm_property_page.h"
#include "config/pages/dns_page.h"
#include "config/pages/ftp_property_page.h"
#include "config/pages/mail_property_page.h"
#include "config/pages/network_config_page.h"
#include "config/pages/record_page.h"
#include "config/pages/sntp_page.h"
#include "config/pages/tool_box_property_page.h"
#include "config/sheet/sheet_pages.h"

namespace {

template <class Page>
void Register(SheetPageId id) {
    SetSheetPageFactory(id, [](MySystemDialog& sheet) -> QWidget* { return new Page(sheet); });
}

}  // namespace

void InstallPagesOne() {
    Register<NetworkConfigPage>(SheetPageId::kNetwork);
    Register<AccountPropertyPage>(SheetPageId::kAccount);
    Register<MailPropertyPage>(SheetPageId::kMail);
    Register<FTPPropertyPage>(SheetPageId::kFtp);
    Register<AlarmPropertyPage>(SheetPageId::kAlarm);
    Register<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    Register<CDNSPage>(SheetPageId::kDdns);
    Register<RecordPage>(SheetPageId::kFilePath);
    Register<CSNTPPage>(SheetPageId::kSntp);
}
