#pragma once

// "Write CD Setting": the drive, the name the backup gets on the disc,
// whether the disc is closed and whether the player's installer is added,
// chosen before a network backup is downloaded and burned. Runs on the GUI
// thread; a new dialog is made for each showing.

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

#include "maintenance/backup/backup_download.h"

class CDiscWriter;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class WriteCdSettingDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId {
        kIdSourceFile = 1040,
        kIdFileName = 1041,
        kIdDrives = 1195,
        kIdCloseDisc = 1506,
        kIdImportLastSession = 1507,
        kIdCd = 1508,
        kIdDvd = 1509,
        kIdAppendPlayer = 1510,
        kIdOk = 1,
        kIdCancelWriting = 1068,
    };

    // `writer` receives the backup's size; the program's writer by default.
    explicit WriteCdSettingDialog(QWidget* parent = nullptr, CDiscWriter* writer = nullptr);

    // Called before the dialog is shown. False when there is no drive.
    bool SetSource(const std::string& sourcePath, const std::vector<std::string>* driveNames,
                   int driveCount, std::uint32_t mediaType, std::uint64_t sizeBytes);

    bool OnInitDialog();
    // OnInitDialog, then the modal loop: QDialog::Accepted for OK.
    int DoModal();

    void OnCloseDisc();
    void OnAppendPlayer();
    void OnCd();
    void OnDvd();
    void OnFileNameChanged();
    void OnDriveChanged(int index);
    void OnOk();

    // The control with a template id (tests).
    QWidget* Control(int id) const;

    // ---- members, in the template's order ----
    bool m_bCloseDisc = false;
    bool m_bImportLastSession = false;
    std::string m_strSourceFile;
    bool m_bAppendPlayer = false;
    std::string m_strFileName;
    const std::vector<std::string>* m_ppDriveNames = nullptr;
    int m_nDriveCount = 0;
    int m_nDriveIndex = 0;
    std::uint32_t m_dwMediaType = 1;
    std::string m_strSourceFolder;

private:
    // Data exchange: controls into members (true) or members into controls.
    void UpdateData(bool save);

    CDiscWriter* m_writer;
    QComboBox* m_cbDrives = nullptr;
    QLineEdit* m_sourceEdit = nullptr;
    QLineEdit* m_fileNameEdit = nullptr;
    QCheckBox* m_closeDisc = nullptr;
    QCheckBox* m_appendPlayer = nullptr;
    QCheckBox* m_importLastSession = nullptr;
    QRadioButton* m_cd = nullptr;
    QRadioButton* m_dvd = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_updating = false;
};

// The progress hook handed to InitEngine: turns the burn's phases into the
// configuration sheet's progress commands (start and a total of 100, the
// percentage, hide). Runs on the burning thread.
void WriteCdProgressHook(int phase, int value);

// ---- the backup's road through the disc writer --------------------------

// GUI thread, before the download: loads the engine, then shows the dialog
// and tests the disc until the disc suits or the user cancels. kBurn when
// the backup is to be burned after its download (the program's writer then
// holds the drive, the name and the options); kEngineFailed when the engine
// did not start (its own message has been shown).
maintenance::BurnPreparation PrepareBackupBurn(QWidget* parent, const std::string& targetPath,
                                               std::uint32_t sizeMb);

// Any one worker thread, once the download has ended: burns the prepared
// backup (the program's writer's BurnFiles). Its answer is not needed.
int BurnPreparedBackup();

// Any thread: asks a running burn to stop (the download dialog's Cancel).
void AbortBackupBurn();
