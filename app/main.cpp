#include <QApplication>

#include "config/sheet/config_sheet_opener.h"
#include "core/application/application.h"
#include "core/application/config_sheet_services.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "liveview/dialogs/login_dialog_entries.h"
#include "liveview/dialogs/video_color_dlg.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/termination_signals.h"
#include "liveview/window/window_extensions.h"
#include "maintenance/disc/disc_writer.h"
#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "media/media_services.h"

namespace {

// What the main window opens from the configuration and colour commands.
class ProgramWindowExtensions final : public MainWindowExtensions {
public:
    bool OpenConfigSheet(QWidget* parent) override {
        ConfigSheet().OnConfigurationCommand(parent);
        return ConfigSheet().IsConfigSheetOpen();
    }
    void CloseConfigSheet() override { ConfigSheet().DeleteConfigSheet(); }
    void RunColorDialog(QWidget* parent, int brightness, int contrast, int hue) override {
        liveview::CVideoColorDlg dialog(parent);
        dialog.m_nBrightnessIn = brightness;
        dialog.m_nContrastIn = contrast;
        dialog.m_nHueIn = hue;
        dialog.DoModal();
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    ScopedConfigSheetServices configSheet;
    liveview::InstallLoginDialogEntries();
    ProgramWindowExtensions windowExtensions;
    SetMainWindowExtensions(&windowExtensions);

    // Signals close the program the way its Close button does; the guard
    // covers the exit routine too, so the bound holds for the whole way out.
    TerminationSignalGuard signalGuard;

    // The firmware upgrade dialog, beside the live view's entries.
    LoginDialogHooks hooks = GetLoginDialogHooks();
    hooks.runUpgradeFirmware = [] {
        CUpgradeFWDlg dialog(nullptr);
        dialog.DoModal();
    };
    SetLoginDialogHooks(std::move(hooks));

    CDravelinApp app;
    app.InitInstance();
    const int code = app.ExitInstance();
    // Every thread has ended: the disc writer shuts the burning engine down.
    ReleaseAppDiscWriter();
    SetMainWindowExtensions(nullptr);
    return code;
}
