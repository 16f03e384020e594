#pragma once

// The "Alarm List" page: the client's own list of alarm recordings
// (AlarmData.dat in the program folder, filled by the alarm recorder). It
// lists the records, deletes one or all of them from the list (the recorded
// files stay on disk) and starts the external player on a recording. It
// does not talk to the device. Every file operation goes through the alarm
// list store, under its lock.

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/store/alarm_list.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

class AlarmDataPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdList = 1364;
    static constexpr int kIdDelete = 1068;
    static constexpr int kIdClearAll = 1365;
    static constexpr int kIdPlay = 1367;
    static constexpr int kIdPath = 1040;
    static constexpr int kIdRefresh = 1311;

    // Appended to the path of a record whose file cannot be opened.
    static constexpr const char* kFileNotFound = " (File not found)";

    explicit AlarmDataPage(SystemConfig& store = g_SystemConfig, QWidget* parent = nullptr);

    // OnInitDialog and "Refresh": reads the list again.
    void Load();
    void OnDelete();
    void OnClearAll();
    void OnPlay();
    // NM_CLICK and NM_DBLCLK on the list.
    void OnClickList();
    void OnDoubleClickList();

    QTreeWidget* List() const { return m_list; }
    QLineEdit* PathEdit() const { return m_pathEdit; }
    QPushButton* Button(int id) const;
    const std::string& Path() const { return m_strPath; }
    // The live records, in list order.
    std::vector<AlarmDBItem_Struct> LiveRecords() const;

    // The external player, VideoPlayer.exe in the program folder.
    static std::filesystem::path PlayerProgram();

private:
    void ListLiveRecords();
    // The path field's text for a live record, testing its file again.
    std::string PathOf(AlarmDBItem_Struct& item);
    // The index in m_items of the live record at a list row; -1 when none.
    int ItemOfRow(int row) const;
    void StartPlayer(const std::string& file);
    void MembersToControls();
    // Hands the items to the store and rewrites the file; a failed rewrite
    // lists what the file really holds.
    void WriteBack();

    SystemConfig& m_store;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    std::string m_strPath;
    int m_iClickedRow = -1;
    std::vector<AlarmDBItem_Struct> m_items;  // the loaded records, flags included
};
