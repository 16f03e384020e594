#pragma once

// The Network Backup page of the configuration sheet: a start time, a
// channel, a disk and a size; Start names a new backup file, hands it to the
// player when Dynamic Download is set and runs the download dialog.

#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/sheet/sheet_pages.h"
#include "core/application/window_messages.h"
#include "liveview/dialogs/hdd_presence_map.h"
#include "maintenance/backup/download_progress_dialog.h"
#include "maintenance/backup/player_handoff.h"
#include "platform/window.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace maintenance {

using ::WM_PLAYDOWNLOADEDFILE;
inline constexpr std::int32_t kMaxBackupSizeMb = 500;

// The backup file of `channel` in `folder`: CH%.2d_%.4d.dvr with the first
// number whose name is free. A name that exists in any form (a file that
// cannot be opened included) is never reused; when all 9,999 are taken,
// CH%.2d_Temp.dvr.
std::filesystem::path MakeBackupFileName(const std::filesystem::path& folder,
                                         std::uint32_t channel);

// The size box's text as a number of megabytes: its digits, saturating,
// clamped to 0..500; nothing when there is no digit.
std::optional<std::int32_t> ParseBackupSize(std::string_view text);

class DownloadFilePage : public QWidget,
                         public platform::MessageTarget,
                         public SheetPageValues<NetworkBackupLocalValues> {
    Q_OBJECT

public:
    enum ControlId {
        kIdTime = 238,
        kIdDate = 239,
        kIdSize = 1040,
        kIdChannel = 1041,
        kIdPath = 1042,
        kIdStart = 1068,
        kIdHdd = 1195,
        kIdFilePathButton = 1446,
        kIdDynamic = 1475,
        kIdCopyToCd = 1505,
    };

    explicit DownloadFilePage(QWidget* parent = nullptr,
                              PlayerSession& player = ThePlayerSession());
    ~DownloadFilePage() override;

    // Reads the disk map and the settings into the page; false when the
    // disk map could not be read.
    bool OnInitDialog();
    // Takes over a pending request from the record list.
    void OnSetActive();
    void OnButtonStart();
    void OnChangeSize();
    void OnChangeChannel();
    void OnFilePathButton();
    void OnDynamicDownload();
    void OnCopyToCd();
    void OnPlayDownloadedFile();

    NetworkBackupLocalValues TakePageValues() override;
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    QWidget* Control(int id) const;
    const std::string& FilePath() const { return m_strFilePath; }
    std::uint32_t Channel() const { return m_dwChannel; }
    std::int32_t SizeMb() const { return m_iSizeMb; }
    int HddIndex() const { return m_iHddIndex; }
    platform::WindowHandle Handle() const { return m_hWnd; }
    void SetTimings(BackupDownloadTimings timings, PlayerTimings player) {
        m_timings = timings;
        m_playerTimings = player;
    }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MembersToControls();
    void ControlsToMembers();
    void RenewFileName();

    PlayerSession& m_player;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QLineEdit* m_size = nullptr;
    QLineEdit* m_channel = nullptr;
    QComboBox* m_hdd = nullptr;
    QPushButton* m_pathButton = nullptr;
    QLineEdit* m_path = nullptr;
    QCheckBox* m_dynamic = nullptr;
    QCheckBox* m_copyToCd = nullptr;
    QPushButton* m_start = nullptr;

    int m_iHddIndex = -1;
    std::int32_t m_iSizeMb = 5;
    std::uint32_t m_dwChannel = 1;
    std::string m_strFilePath;
    bool m_bDynamicDownload = false;
    bool m_bCopyToCd = false;
    std::string m_strFolder;
    std::string m_strDownloading;
    std::vector<int> m_disks;  // the bit numbers of the listed disks
    bool m_updating = false;
    BackupDownloadTimings m_timings;
    PlayerTimings m_playerTimings;
    platform::WindowHandle m_hWnd = 0;
};

}  // namespace maintenance
