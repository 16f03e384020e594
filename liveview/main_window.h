#pragma once

#include <QDialog>
#include <mutex>
#include <string>

#include "platform/window.h"

class QLabel;

// The main window. This plain form stands in for the skinned live view: it
// shows the status line and closes through the same destruction steps.
class CDravelinDlg : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    explicit CDravelinDlg(QWidget* parent = nullptr);
    ~CDravelinDlg() override;

    // Stores the window's handle and object in the shared state and shows
    // the first status text.
    void OnInitDialog();
    // Stops the recorders and the threads, saves the settings and closes.
    int DestroyWindow();

    // Replaces the status line; callable from any thread.
    int SetStatusText(const std::string& text);
    std::string StatusText() const;

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }

protected:
    void done(int result) override;

private:
    QLabel* m_status;
    mutable std::mutex m_statusLock;
    std::string m_statusText;
    platform::WindowHandle m_handle = 0;
    bool m_destroyed = false;
};
