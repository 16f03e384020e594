#pragma once

// The small modal dialog of one backup download: it runs the download
// thread, shows its ending as a status text, offers Cancel (Exit once the
// download has ended) and, when no player is attached at a complete end,
// PLAY. The thread reports by posted messages only.

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "maintenance/backup/backup_download.h"
#include "platform/process_window.h"
#include "platform/thread.h"
#include "platform/window.h"

class QPushButton;

namespace maintenance {

class DownloadProgressDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    static constexpr int kPlayResult = 255;

    struct Source {
        BackupSpan span;
        std::filesystem::path file;
        bool copyToCd = false;
    };

    DownloadProgressDialog(QWidget* parent, Source source, PlayerSession& player,
                           BackupDownloadTimings timings = {});
    ~DownloadProgressDialog() override;

    // Starts the download and attaches the player; false when the thread
    // could not be started (the dialog stays, without a download).
    bool OnInitDialog();
    // OnInitDialog, then the modal loop: 0 Exit or Cancel, 255 PLAY.
    int DoModal();

    void OnCancel();
    void OnPlayButton();
    void OnDownloadState(std::uint32_t state, std::uint32_t percent);

    const QString& StatusText() const { return m_status; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* PlayButton() const { return m_play; }
    platform::WindowHandle Handle() const { return m_hWnd; }
    bool DownloadRunning() const { return m_download && m_download->Running(); }

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    void reject() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowEnding(const QString& status);
    // The player answers this process's window endpoint; its answers are
    // handed to this dialog. False when the endpoint cannot be made.
    bool StartPlayerReplies();

    Source m_source;
    PlayerSession& m_player;
    BackupDownloadTimings m_timings;
    std::unique_ptr<BackupDownload> m_download;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_play = nullptr;
    QString m_status;
    platform::WindowHandle m_hWnd = 0;
    std::unique_ptr<platform::ProcessWindowEndpoint> m_endpoint;
    platform::Thread m_replies;
};

}  // namespace maintenance
