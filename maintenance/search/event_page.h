#pragma once

// The Search List page of the configuration sheet and its record list
// dialog: a disk, a kind of list and a maximum number; "Download HDD List"
// reads the device's event list page by page and shows it; the list hands
// a chosen record to the Network Backup page.

#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/sheet/sheet_pages.h"
#include "maintenance/search/search_list.h"
#include "platform/window.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace maintenance {

class RecordListDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId {
        kIdList = 1458,
        kIdDownload = 1068,
        kIdAlarm = 1462,
        kIdManual = 1460,
        kIdMotion = 1463,
        kIdSystem = 1456,
        kIdTimer = 1464,
    };

    // `sheet` receives WM_SHOWBACKUPPAGE after a Download.
    RecordListDialog(QWidget* parent, platform::WindowHandle sheet,
                     const std::vector<SearchListRecord>& records, QString title,
                     std::uint8_t hddSelection, std::uint8_t listType);

    void OnInitDialog();
    void RefillList();
    // Button 1068 (`fromButton`) or a double click on the list.
    void OnDownload(bool fromButton);
    void OnFilterClicked(int id);

    QTreeWidget* List() const { return m_list; }
    QCheckBox* Box(int id) const;
    const RecordFilters& Filters() const { return m_filters; }

private:
    platform::WindowHandle m_sheet;
    const std::vector<SearchListRecord>& m_records;
    QString m_title;
    std::uint8_t m_hddSelection;
    std::uint8_t m_listType;
    RecordFilters m_filters;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_alarm = nullptr;
    QCheckBox* m_manual = nullptr;
    QCheckBox* m_motion = nullptr;
    QCheckBox* m_system = nullptr;
    QCheckBox* m_timer = nullptr;
};

class CEventPage : public QWidget, public SheetPageValues<SearchListLocalValues> {
    Q_OBJECT

public:
    enum ControlId { kIdMaxNumber = 1040, kIdDownload = 1068, kIdHdd = 1195, kIdListType = 1196 };

    // The pause after a short page (tests shorten it).
    static void SetShortPagePause(std::chrono::milliseconds pause);

    CEventPage(QWidget* parent, platform::WindowHandle sheet);

    bool OnInitDialog();
    void OnDownloadHddList();
    void OnChangeMaxListNumber();

    SearchListLocalValues TakePageValues() override;

    QWidget* Control(int id) const;
    const std::vector<SearchListRecord>& Records() const { return m_records; }
    std::uint32_t MaxListNumber() const { return m_dwMaxListNumber; }
    int HddSelection() const { return m_iHddSelection; }

private:
    void MembersToControls();
    void ControlsToMembers();

    platform::WindowHandle m_sheet;
    int m_iHddSelection = -1;
    int m_iListType = -1;
    std::uint32_t m_dwMaxListNumber = 0;
    bool m_bHddChanged = false;
    bool m_bListTypeChanged = false;
    bool m_bMaxNumberChanged = false;
    std::array<std::uint8_t, 256> m_diskToPosition{};
    std::array<std::uint8_t, 256> m_positionToDisk{};
    std::uint16_t m_wCurExitListNumber = 0;
    std::vector<SearchListRecord> m_records;
    bool m_updating = false;

    QComboBox* m_hdd = nullptr;
    QComboBox* m_listType = nullptr;
    QLineEdit* m_maxNumber = nullptr;
    QPushButton* m_download = nullptr;
};

}  // namespace maintenance
