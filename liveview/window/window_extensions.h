#pragma once

// What the main window opens that is built elsewhere: the configuration
// sheet, the colour dialog and the camera image toolbar. Each is registered
// by its owner; until then a stand-in does the least (opens nothing) and
// never blocks.

class QWidget;

class MainWindowExtensions {
public:
    virtual ~MainWindowExtensions() = default;
    // Creates the modeless configuration sheet over `parent` from the
    // configuration just read; true when a sheet now exists.
    virtual bool OpenConfigSheet(QWidget* /*parent*/) { return false; }
    // Deletes the sheet when one exists.
    virtual void CloseConfigSheet() {}
    // Runs the colour dialog modally with the device's values.
    virtual void RunColorDialog(QWidget* /*parent*/, int /*brightness*/, int /*contrast*/,
                                int /*hue*/) {}
    // Creates and shows the camera image toolbar of a Q9C0 at `x`, `y`.
    virtual void ShowCameraToolbar(QWidget* parent, int x, int y);
    // Moves the camera image toolbar beside the main window.
    virtual void MoveCameraToolbar(int x, int y);
};

MainWindowExtensions& WindowExtensions();
// Registers an implementation; nullptr restores the stand-in.
void SetMainWindowExtensions(MainWindowExtensions* extensions);
