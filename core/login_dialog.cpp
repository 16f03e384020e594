#include "core/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app_state.h"
#include "core/login_exchange.h"
#include "core/string_table.h"
#include "core/window_messages.h"

namespace {

constexpr auto kLoginThreadStop = std::chrono::milliseconds(30);

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What the dialog says when a login fails, by the code of WM_LOGINFAILED.
QString FailureText(std::uint64_t code) {
    switch (code) {
        case 2: return QStringLiteral("Server is too busy!! Try later !!");
        case 3: return QStringLiteral("This device is not supported.");
        default: return Text(4040);
    }
}

}  // namespace

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent),
      m_server(new QLineEdit(this)),
      m_port(new QLineEdit(this)),
      m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_bitRate(new QLineEdit(this)),
      m_message(new QLabel(this)),
      m_connect(nullptr) {
    setWindowTitle(QStringLiteral("kestrune - Login"));
    m_password->setEchoMode(QLineEdit::Password);
    m_port->setMaxLength(5);
    m_bitRate->setReadOnly(true);
    m_message->setStyleSheet(QStringLiteral("color: red"));

    auto* form = new QFormLayout;
    form->addRow(Text(1096), m_server);
    form->addRow(Text(1097), m_port);
    form->addRow(Text(1040), m_user);
    form->addRow(Text(1043), m_password);
    form->addRow(QStringLiteral("Bit rate :"), m_bitRate);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_connect = buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    m_connect->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnConnect(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    m_handle = platform::RegisterWindow(this);
}

LoginDialog::~LoginDialog() {
    platform::UnregisterWindow(m_handle);
    StopLoginThread();
}

void LoginDialog::StopLoginThread() {
    if (m_hLoginThread) {
        m_hLoginThread->Stop(kLoginThreadStop);
        m_hLoginThread.reset();
    }
}

void LoginDialog::OnInitDialog() {
    m_server->setText(QString::fromStdString(m_strServerName));
    m_port->setText(QString::fromStdString(m_strPort));
    m_user->setText(QString::fromStdString(m_strUserName));
    m_password->setText(QString::fromStdString(m_strPassword));
    m_bitRate->setText(QString::fromStdString(m_strBitRate));
}

bool LoginDialog::OnConnect() {
    m_strServerName = m_server->text().trimmed().toStdString();
    m_strPort = m_port->text().trimmed().toStdString();
    m_strUserName = m_user->text().toStdString();
    m_strPassword = m_password->text().toStdString();
    if (!ParsePortText(m_strPort)) {
        ShowMessage(4054);
        return false;
    }
    if (m_strServerName.empty()) {
        ShowMessage(4079);
        return false;
    }

    StopLoginThread();
    LoginThreadParams params;
    params.serverName = m_strServerName;
    params.userName = m_strUserName;
    params.password = m_strPassword;
    params.port = m_strPort;
    params.dialog = m_handle;
    auto thread = std::make_unique<platform::Thread>();
    if (!thread->Start([params] { return LoginThread(params); }, "login")) return false;
    m_hLoginThread = std::move(thread);
    m_connect->setEnabled(false);
    m_message->setText(QStringLiteral("Connecting..."));
    return true;
}

void LoginDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam, std::uint64_t) {
    switch (message) {
        case WM_LOGINSUCCESS:
            StopLoginThread();
            accept();
            break;
        case WM_LOGINFAILED:
            StopLoginThread();
            m_connect->setEnabled(true);
            m_message->setText(FailureText(wParam));
            break;
        default:
            break;
    }
}

int LoginDialog::DoModal() {
    OnInitDialog();
    return exec() == QDialog::Accepted ? 1 : 2;
}
