#pragma once

// The firmware upgrade dialog. A DVR (Q8A7, Q8A5, Q8A3) takes a folder of
// firmware files; Q3A2, the Q7B family and Q9C0 take one packed file. The
// upload runs on its own thread (the engine in firmware_upload.h), which
// reports through posted window messages, so a dialog that is gone is never
// touched: its handle is withdrawn before it is destroyed.

#include <QDialog>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/application/window_messages.h"
#include "maintenance/firmware/firmware_files.h"
#include "maintenance/firmware/firmware_upload.h"
#include "platform/thread.h"
#include "platform/window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

using maintenance::FirmwareFileTable;
using maintenance::UploadPlan;
using maintenance::UploadProtocol;
using maintenance::UploadTimings;

class CUpgradeFWDlg : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    enum ControlId {
        kIdVersion = 1385,
        kIdFindButton = 1386,
        kIdFilePath = 1387,
        kIdUpgradeButton = 1388,
        kIdProgress = 1389,
        kIdCancelButton = 1392,
        kIdBoard = 1195,
        kIdSuccessButton = 1068,
    };

    enum class Variant { kFolder, kPacked, kNone };

    // Chooses a packed file: the start folder in, the chosen path out.
    // Tests replace it; by default an open-file dialog.
    using FilePicker =
        std::function<std::optional<std::filesystem::path>(QWidget*, const std::filesystem::path&)>;

    explicit CUpgradeFWDlg(QWidget* parent = nullptr);
    ~CUpgradeFWDlg() override;

    // Fills the controls; false (and nothing filled) when the DVR's version
    // cannot be read.
    bool OnInitDialog();
    // OnInitDialog, then the modal loop, whatever OnInitDialog answered; 0
    // when the dialog ended.
    int DoModal();

    void OnFindButton();
    void OnUpgradeButton();
    void OnCancel();
    void OnSelchangeBoard();

    // The upload's time-outs and pauses (tests shorten them).
    void SetTimings(const UploadTimings& timings);
    static void SetFilePicker(FilePicker picker);

    Variant GetVariant() const { return m_variant; }
    UploadProtocol ChosenProtocol() const;
    const std::string& FilePathText() const { return m_strFilePath; }
    const std::string& VersionText() const { return m_strVersion; }
    QProgressBar* ProgressBar() const { return m_progress; }
    QPushButton* UpgradeButton() const { return m_upgrade; }
    platform::WindowHandle Handle() const { return m_hWnd; }
    // Waits for the running upload to end (tests).
    void JoinUpload();

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    void reject() override;

private:
    void MembersToControls();
    void ControlsToMembers();
    bool OnFwdlgUpgrade();
    bool LoadFirmwareFolder();
    void StopUpload(std::chrono::milliseconds bound);
    void StartUpload(std::shared_ptr<const void> keepAlive, UploadPlan plan, bool packed);
    void CancelUpgrade();

    Variant m_variant = Variant::kNone;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
    QProgressBar* m_progress = nullptr;
    QLabel* m_versionLabel = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    QPushButton* m_find = nullptr;
    QPushButton* m_upgrade = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QComboBox* m_board = nullptr;
    QPushButton* m_success = nullptr;

    std::string m_strFilePath;
    std::string m_strVersion;
    int m_iBoardIndex = -1;
    std::optional<FirmwareFileTable> m_fileTable;
    std::uint8_t m_byLoadedCount = 0;
    std::uint64_t m_dwTotalLoaded = 0;
    platform::Thread m_folderThread;
    std::unique_ptr<UploadTimings> m_timings = std::make_unique<UploadTimings>();
    platform::WindowHandle m_hWnd = 0;
    bool m_bEnded = false;
};

// The login dialog's upgrade entry: the dialog without a parent, run
// modally.
void RunUpgradeFirmwareDialog();
