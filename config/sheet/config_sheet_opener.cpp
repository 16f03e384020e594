#include "config/sheet/config_sheet_opener.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/application/string_table.h"
#include "core/state/app_global_state.h"

namespace {

constexpr unsigned kConnectFirstText = 4085;
constexpr unsigned kGetConfigErrorText = 4029;
constexpr unsigned kSheetCaption = 3027;  // "System setting"

}  // namespace

ConfigSheetOpener::~ConfigSheetOpener() {
    DeleteConfigSheet();
}

bool ConfigSheetOpener::IsConfigSheetOpen() const {
    return g_lpApp != nullptr && g_lpApp->f_ConfigDialogOpen.load() != 0;
}

void ConfigSheetOpener::DeleteConfigSheet() {
    delete lp_ConfigDialog.data();
    lp_ConfigDialog.clear();
    if (g_lpApp != nullptr) {
        g_lpApp->f_ConfigDialogOpen.exchange(0);
    }
}

void ConfigSheetOpener::OnConfigurationCommand(QWidget* mainWindow) {
    if (g_lpApp == nullptr) {
        return;
    }
    AppGlobalState& app = *g_lpApp;
    if (app.f_ConfigDialogOpen.load() != 0) {
        DeleteConfigSheet();
        return;
    }
    DeleteConfigSheet();  // one left from before
    if (!app.f_VideoConnected) {
        ShowMessage(kConnectFirstText);
        return;
    }
    const std::optional<SectionSet> read = ReadConfigurationForSheet(DeviceIdentity::Current());
    if (!read) {
        ShowMessage(kGetConfigErrorText);
        return;
    }
    Open(mainWindow, *read);
}

void ConfigSheetOpener::OpenOnConfigurationRead(QWidget* mainWindow) {
    if (g_lpApp == nullptr) {
        return;
    }
    DeleteConfigSheet();  // one left from before
    Open(mainWindow, SectionsOfConfigurationRead(DeviceIdentity::Current()));
}

void ConfigSheetOpener::Open(QWidget* mainWindow, const SectionSet& read) {
    AppGlobalState& app = *g_lpApp;
    // The feature bits as the device reports them in the INF just read.
    DeviceIdentity device = DeviceIdentity::Current();
    if (read.test(kSysCfgInf)) {
        device.features = InfFeatureBits(app.SystemConfigStruct);
    }
    const std::string_view caption = LoadText(kSheetCaption);
    auto* sheet = new MySystemDialog(
        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), mainWindow,
        app.SystemConfigStruct, std::move(device), read);
    lp_ConfigDialog = sheet;

    SheetLocalValues& local = sheet->LocalValues();
    const CSettingINI& settings = app.CSettingINI;
    local.recordPath = settings.m_strRecordPath.Get();
    local.snapshotPath = settings.m_strSnapshotPath.Get();
    local.triggerWavPath = settings.m_strTriggerWavPath.Get();
    local.turboIndex = static_cast<int>(app.b_TurboRepeatStep.load()) - 1;
    local.alarmTriggerRecord = settings.m_byAlarmTriggerRecord.load();
    local.alarmAutoSwitch = settings.m_byAlarmAutoSwitchVideo.load();
    local.retrAlarmRecord = settings.m_byRETRAlarmRecord.load();

    QRect mainRect;
    QRect workArea;
    if (mainWindow != nullptr) {
        mainRect = mainWindow->frameGeometry();
        if (const QScreen* screen = mainWindow->screen()) {
            workArea = screen->availableGeometry();
        }
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        workArea = screen->availableGeometry();
    }
    sheet->OnInitDialog(mainRect, workArea);
    sheet->show();
    app.f_ConfigDialogOpen.exchange(1);
}
