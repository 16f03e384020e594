#pragma once

// The "General" page: the device's firmware version and MAC address, the
// client's turbo repeat step, how many server-log entries to fetch, the
// device title and (Q3A2 from "1010") two channel names; and the server-log
// download, started and cancelled by its "Server Log" button.

#include <QWidget>

#include <cstdint>
#include <memory>

#include "config/pages/server_log_hooks.h"
#include "config/sheet/sheet_pages.h"
#include "platform/window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class ToolBoxPropertyPage : public QWidget,
                            public SheetPageValues<GeneralPageValues>,
                            public platform::MessageTarget {
    Q_OBJECT
public:
    static constexpr int kMaxLogEntries = 2048;
    static constexpr int kDownloadIdle = 2;
    static constexpr int kDownloadRunning = 1;

    explicit ToolBoxPropertyPage(MySystemDialog& sheet);
    ~ToolBoxPropertyPage() override;

    GeneralPageValues TakePageValues() override;
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    void OnServerLog();
    void OnChangeMaxLog();
    int OnLogDownloadState(std::uint64_t state);

    platform::WindowHandle Handle() const { return m_handle; }
    int DownloadState() const { return m_downloadState; }
    int MaxLogEntries() const { return m_maxLog; }

private:
    void OnInitDialog();
    void EndDownload();

    MySystemDialog& m_sheet;
    QLabel* m_version = nullptr;
    QComboBox* m_turbo = nullptr;
    QLabel* m_mac = nullptr;
    QPushButton* m_serverLog = nullptr;
    QLabel* m_maxLogLabel = nullptr;
    QLineEdit* m_maxLogEdit = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    QLineEdit* m_ch1Edit = nullptr;
    QLineEdit* m_ch2Edit = nullptr;

    int m_maxLog = 300;
    int m_downloadState = kDownloadIdle;
    std::shared_ptr<ServerLogJob> m_job;
    std::unique_ptr<ServerLogDownload> m_download;
    platform::WindowHandle m_handle = 0;
};
