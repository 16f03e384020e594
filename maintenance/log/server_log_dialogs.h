#pragma once

// The server log dialogs: the records the General page downloaded, listed
// with their event texts and times, filtered by a check box per kind of
// event. The recorder family's dialog has a channel column and an OK
// button; the video servers' dialog can clear the log on the device.

#include <QDialog>

#include <cstdint>
#include <vector>

#include "maintenance/log/server_log.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace maintenance {

class ServerLogDialogBase : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdList = 1435;

    ServerLogDialogBase(QWidget* parent, ServerLogFamily family);

    // The records (the opener's buffer, not owned) and their count.
    void SetRecords(const ServerLogBuffer* buffer, std::uint32_t count);
    void OnInitDialog();
    void RefillList();
    void OnFilterClicked(int id);

    QTreeWidget* List() const { return m_list; }
    QCheckBox* Box(int id) const;
    std::uint32_t EventMask() const { return m_dwEventMask; }

protected:
    const ServerLogFamily m_family;
    QTreeWidget* m_list = nullptr;

private:
    std::vector<ServerLogRecord> m_records;
    std::uint32_t m_dwEventMask;
    std::vector<std::pair<int, QCheckBox*>> m_boxes;
};

class DvrServerLogDialog : public ServerLogDialogBase {
    Q_OBJECT
public:
    explicit DvrServerLogDialog(QWidget* parent = nullptr);
};

class ServerLogDialog : public ServerLogDialogBase {
    Q_OBJECT
public:
    enum ControlId { kIdClear = 1068, kIdExit = 1069 };
    explicit ServerLogDialog(QWidget* parent = nullptr);
    void OnClearServerLog();
    void OnExit() { done(0); }
};

// The "Server Log List" dialog: an empty list, four category boxes and a
// CLEAR ALL button that do nothing, and OK, the only way to close it (CLEAR
// ALL stands in the cancel slot, so Escape does nothing either). It holds no
// records; nothing in the program opens it.
class ServerLogListDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId {
        kIdOk = 1,
        kIdClearAll = 2,
        kIdList = 1093,
        kIdSystem = 1456,
        kIdNetwork = 1457,
        kIdUser = 1458,
        kIdError = 1459,
    };

    explicit ServerLogListDialog(QWidget* parent = nullptr);

    QTreeWidget* List() const { return m_list; }
    QCheckBox* Box(int id) const;
    QPushButton* Button(int id) const;

    void reject() override {}  // the cancel slot's handler does nothing

private:
    QTreeWidget* m_list = nullptr;
    std::vector<std::pair<int, QCheckBox*>> m_boxes;
    QPushButton* m_ok = nullptr;
    QPushButton* m_clearAll = nullptr;
};

// Opens the dialog of the device's family over the downloaded records,
// modally (the General page's server-log result 1).
void OpenServerLogDialog(QWidget* parent, const ServerLogBuffer& buffer, bool dvrFamily);

}  // namespace maintenance
