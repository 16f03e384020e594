#include "core/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/app_state.h"
#include "core/cgi_command.h"
#include "core/string_table.h"

namespace {

constexpr int kLoginSucceeded = 30;

// A port is a whole number from 1 to 65535, nothing else.
bool ParsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent),
      m_server(new QLineEdit(this)),
      m_port(new QLineEdit(this)),
      m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_bitRate(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("kestrune - Login"));
    m_password->setEchoMode(QLineEdit::Password);
    m_port->setMaxLength(5);
    m_bitRate->setReadOnly(true);

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(LoadText(1096).data(), LoadText(1096).size()), m_server);
    form->addRow(QString::fromUtf8(LoadText(1097).data(), LoadText(1097).size()), m_port);
    form->addRow(QString::fromUtf8(LoadText(1040).data(), LoadText(1040).size()), m_user);
    form->addRow(QString::fromUtf8(LoadText(1043).data(), LoadText(1043).size()), m_password);
    form->addRow(QStringLiteral("Bit rate :"), m_bitRate);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (OnOK()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void LoginDialog::OnInitDialog() {
    m_server->setText(QString::fromStdString(m_strServerName));
    m_port->setText(QString::fromStdString(m_strPort));
    m_user->setText(QString::fromStdString(m_strUserName));
    m_password->setText(QString::fromStdString(m_strPassword));
    m_bitRate->setText(QString::fromStdString(m_strBitRate));
}

bool LoginDialog::OnOK() {
    m_strServerName = m_server->text().trimmed().toStdString();
    m_strPort = m_port->text().trimmed().toStdString();
    m_strUserName = m_user->text().toStdString();
    m_strPassword = m_password->text().toStdString();

    std::uint16_t port = 0;
    if (!ParsePort(m_strPort, port)) {
        ShowMessage(4054);
        return false;
    }
    if (m_strServerName.empty()) {
        ShowMessage(4079);
        return false;
    }
    if (g_lpApp != nullptr) {
        CSettingINI& settings = g_lpApp->CSettingINI;
        SetServerAddress(m_strServerName);
        settings.m_wWebPort = port;
        settings.m_strUserName = m_strUserName;
        settings.m_strPassword = m_strPassword;
        g_lpApp->w_LoginResult = kLoginSucceeded;
    }
    return true;
}

int LoginDialog::DoModal() {
    OnInitDialog();
    return exec() == QDialog::Accepted ? 1 : 2;
}
