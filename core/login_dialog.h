#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

// The login dialog: server address, web port, user name and password. This
// plain form stands in until the skinned dialog with its login thread exists;
// OK stores what was typed in the settings and counts as a successful login.
class LoginDialog : public QDialog {
    Q_OBJECT

public:
    explicit LoginDialog(QWidget* parent = nullptr);

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
    // Checks and takes over the fields; false (with a message) when the port
    // is not a number from 1 to 65535 or the server is empty.
    bool OnOK();

    QLineEdit* serverEdit() const { return m_server; }
    QLineEdit* portEdit() const { return m_port; }
    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }
    QLineEdit* bitRateEdit() const { return m_bitRate; }

private:
    QLineEdit* m_server;
    QLineEdit* m_port;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_bitRate;
};
