#pragma once

// What the main window asks of the remote-configuration subsystem. The live
// view cannot link to it (it is built on top of the live view), so the
// configuration subsystem implements this interface and registers it at
// start-up; until then a placeholder stands in that opens nothing.

class QWidget;

class ConfigSheetServices {
public:
    virtual ~ConfigSheetServices() = default;

    // The main window's configuration command: closes the sheet when it is
    // open; otherwise reads the device's configuration and opens the sheet
    // modeless beside `mainWindow` (messages 4085 and 4029 end the command).
    // GUI thread only.
    virtual void OnConfigurationCommand(QWidget* mainWindow) = 0;
    // Opens the sheet on the configuration the main window has just read
    // into the global state (its own configuration command checks the
    // connection and reads first), so nothing is read twice. GUI thread
    // only.
    virtual void OpenOnConfigurationRead(QWidget* mainWindow) = 0;
    // Deletes the sheet object, open or not (the main window's destruction,
    // a new login). GUI thread only; safe when there is none.
    virtual void DeleteConfigSheet() = 0;
    // Whether the sheet is open (AppGlobalState::f_ConfigDialogOpen).
    virtual bool IsConfigSheetOpen() const = 0;
};

class PlaceholderConfigSheet : public ConfigSheetServices {
public:
    void OnConfigurationCommand(QWidget*) override {}
    void OpenOnConfigurationRead(QWidget*) override {}
    void DeleteConfigSheet() override {}
    bool IsConfigSheetOpen() const override { return false; }
};

ConfigSheetServices& ConfigSheet();
// Registers an implementation (nullptr restores the placeholder).
void SetConfigSheetServices(ConfigSheetServices* services);
