#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "platform/thread.h"
#include "platform/window.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The login dialog: server address, web port, user name and password. This
// plain form stands in until the skinned dialog exists; its Connect runs the
// real login thread, and the dialog ends with OK once that thread reports a
// successful login.
class LoginDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

    // Fields preset by start-up before the dialog runs.
    std::string m_strServerName;
    std::string m_strUserName;
    std::string m_strPassword;
    std::string m_strPort;
    std::string m_strBitRate;

    // Shows the dialog modally; returns 1 (OK) or 2 (cancelled).
    int DoModal();

    // Copies the preset members into the fields (done by DoModal).
    void OnInitDialog();
    // Takes over the fields and starts the login thread; false (with a
    // message) when the port is not a number from 1 to 65535 or the server
    // is empty.
    bool OnConnect();

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }
    QLineEdit* serverEdit() const { return m_server; }
    QLineEdit* portEdit() const { return m_port; }
    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }
    QLineEdit* bitRateEdit() const { return m_bitRate; }
    QLabel* messageLabel() const { return m_message; }

private:
    void StopLoginThread();

    QLineEdit* m_server;
    QLineEdit* m_port;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_bitRate;
    QLabel* m_message;
    QPushButton* m_connect;
    platform::WindowHandle m_handle = 0;
    std::unique_ptr<platform::Thread> m_hLoginThread;
};
