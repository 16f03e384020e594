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

// Opens the dialog of the device's family over the downloaded records,
// modally (the General page's server-log result 1).
void OpenServerLogDialog(QWidget* parent, const ServerLogBuffer& buffer, bool dvrFamily);

}  // namespace maintenance
