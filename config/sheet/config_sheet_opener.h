#pragma once

// The main window's configuration command and the one configuration sheet
// it holds. The main window reaches it through ConfigSheet() (core), which
// this object implements once registered:
//
//   ConfigSheet().OnConfigurationCommand(mainWindow);  // command 1006
//   ConfigSheet().DeleteConfigSheet();                 // destructor, new login

#include <QPointer>

#include "config/sheet/my_system_dialog.h"
#include "core/application/config_sheet_services.h"

class ConfigSheetOpener : public ConfigSheetServices {
public:
    ~ConfigSheetOpener() override;

    void OnConfigurationCommand(QWidget* mainWindow) override;
    void OpenOnConfigurationRead(QWidget* mainWindow) override;
    void DeleteConfigSheet() override;
    bool IsConfigSheetOpen() const override;

    // The sheet object (lp_ConfigDialog): open, ended but not yet deleted,
    // or none.
    MySystemDialog* Sheet() const { return lp_ConfigDialog.data(); }

private:
    void Open(QWidget* mainWindow, const SectionSet& read);

    // Guarded: the sheet is a child of the main window, which deletes it
    // when it goes first.
    QPointer<MySystemDialog> lp_ConfigDialog;
};

// Registers the opener with the core for the lifetime of the object.
class ScopedConfigSheetServices {
public:
    ScopedConfigSheetServices() { SetConfigSheetServices(&m_opener); }
    ~ScopedConfigSheetServices() {
        SetConfigSheetServices(nullptr);
        m_opener.DeleteConfigSheet();
    }
    ScopedConfigSheetServices(const ScopedConfigSheetServices&) = delete;
    ScopedConfigSheetServices& operator=(const ScopedConfigSheetServices&) = delete;

    ConfigSheetOpener& opener() { return m_opener; }

private:
    ConfigSheetOpener m_opener;
};
