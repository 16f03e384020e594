#pragma once

// What the program's main window opens from its configuration and colour
// commands: the configuration sheet (on the configuration the window has
// just read) and the video colour dialog. The program registers one of
// these with SetMainWindowExtensions at start-up.

#include "liveview/window/window_extensions.h"

class SheetWindowExtensions : public MainWindowExtensions {
public:
    bool OpenConfigSheet(QWidget* parent) override;
    void CloseConfigSheet() override;
    void RunColorDialog(QWidget* parent, int brightness, int contrast, int hue) override;
};
