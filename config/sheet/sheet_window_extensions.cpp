#include "config/sheet/sheet_window_extensions.h"

#include "core/application/config_sheet_services.h"
#include "liveview/dialogs/video_color_dlg.h"

bool SheetWindowExtensions::OpenConfigSheet(QWidget* parent) {
    ConfigSheet().OpenOnConfigurationRead(parent);
    return ConfigSheet().IsConfigSheetOpen();
}

void SheetWindowExtensions::CloseConfigSheet() {
    ConfigSheet().DeleteConfigSheet();
}

void SheetWindowExtensions::RunColorDialog(QWidget* parent, int brightness, int contrast, int hue) {
    liveview::CVideoColorDlg dialog(parent);
    dialog.m_nBrightnessIn = brightness;
    dialog.m_nContrastIn = contrast;
    dialog.m_nHueIn = hue;
    dialog.DoModal();
}
