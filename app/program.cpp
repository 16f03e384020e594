#include "app/program.h"

#include <QApplication>

#include "app/abrupt_exit.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/application/config_sheet_services.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "core/startup/application.h"
#include "liveview/dialogs/login_dialog_entries.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/termination_signals.h"
#include "liveview/window/window_extensions.h"
#include "maintenance/disc/disc_writer.h"
#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "maintenance/sheet_page_install.h"
#include "media/media_services.h"

int RunKestrune(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    // An exit() from inside (the display server gone) ends the process
    // before the static objects go under the program's threads.
    AbruptExitGuard abruptExit;
    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    ScopedConfigSheetServices configSheet;
    liveview::InstallLoginDialogEntries();
    InstallSheetPages();
    SheetWindowExtensions windowExtensions;
    SetMainWindowExtensions(&windowExtensions);

    // Signals close the program the way its Close button does; the guard
    // covers the exit routine too, so the bound holds for the whole way out.
    TerminationSignalGuard signalGuard;

    // The firmware upgrade dialog, beside the live view's entries.
    LoginDialogHooks hooks = GetLoginDialogHooks();
    hooks.runUpgradeFirmware = RunUpgradeFirmwareDialog;
    SetLoginDialogHooks(std::move(hooks));

    CDravelinApp app;
    app.InitInstance();
    const int code = app.ExitInstance();
    // Every thread has ended: the disc writer shuts the burning engine down.
    ReleaseAppDiscWriter();
    SetMainWindowExtensions(nullptr);
    return code;
}
