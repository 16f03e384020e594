#include <QApplication>

#include "core/application/application.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/termination_signals.h"
#include "media/media_services.h"

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    ScopedMediaServices media;
    ScopedLiveViewServices liveView;

    // Signals close the program the way its Close button does; the guard
    // covers the exit routine too, so the bound holds for the whole way out.
    TerminationSignalGuard signalGuard;

    // The windows the login dialog opens that live above the core.
    LoginDialogHooks hooks;
    hooks.pickFolder = [](QWidget* parent,
                          const std::filesystem::path& start) -> std::optional<std::filesystem::path> {
        liveview::CDlgGetPath picker(parent);
        picker.SetPath(start.string());
        if (picker.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return std::filesystem::path(picker.GetPath());
    };
    hooks.runUpgradeFirmware = [] {
        CUpgradeFWDlg dialog(nullptr);
        dialog.DoModal();
    };
    SetLoginDialogHooks(std::move(hooks));
    CDravelinApp app;
    app.InitInstance();
    return app.ExitInstance();
}
