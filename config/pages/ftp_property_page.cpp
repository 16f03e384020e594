#include "config/pages/ftp_property_page.h"

#include <QLineEdit>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "core/application/string_table.h"
#include "core/state/device_family.h"

using namespace pages;

namespace {

constexpr unsigned kPortWrongText = 4054;
constexpr unsigned kTypePortText = 4090;
constexpr int kDefaultPort = 21;

}  // namespace

FTPPropertyPage::FTPPropertyPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("FTPPropertyPage"));
    MakeLabel(this, 1282, QStringLiteral("Server  : "), 20, 24, 90);
    m_serverEdit = MakeEdit(this, 1283, 120, 22, 260);
    MakeLabel(this, 1279, QStringLiteral("UserName : "), 20, 56, 90);
    m_userEdit = MakeEdit(this, 1040, 120, 54, 160);
    MakeLabel(this, 1280, QStringLiteral("Password : "), 20, 88, 90);
    m_passwordEdit = MakeEdit(this, 1043, 120, 86, 160);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    MakeLabel(this, 1281, QStringLiteral("Port : "), 20, 120, 90);
    m_portEdit = MakeEdit(this, 1042, 120, 118, 70);
    MakeLabel(this, 0, QStringLiteral("Directory :"), 20, 152, 90);
    m_directoryEdit = MakeEdit(this, 1285, 120, 150, 260);
    // Each text ends inside its field: one byte less than the field.
    LimitEditBytes(m_serverEdit, 31);
    LimitEditBytes(m_userEdit, 15);
    LimitEditBytes(m_passwordEdit, 15);
    LimitEditBytes(m_directoryEdit, 31);
    OnInitDialog();
    connect(m_portEdit, &QLineEdit::textChanged, this, &FTPPropertyPage::OnChangePort);
}

void FTPPropertyPage::OnInitDialog() {
    // The read values are already emptied where a text fills its field.
    const SheetReadValues& read = m_sheet.ReadValues();
    m_serverEdit->setText(Qs(read.ftpServer));
    m_userEdit->setText(Qs(read.ftpUser));
    m_passwordEdit->setText(Qs(read.ftpPassword));
    m_directoryEdit->setText(Qs(read.ftpDirectory));
    m_port = read.ftpPort;
    m_portEdit->setText(QString::number(m_port));
}

void FTPPropertyPage::OnChangePort() {
    std::string text = Std(m_portEdit->text());
    if (text.empty()) {
        return;
    }
    FilterDigits(text, 1);
    const unsigned long long value =
        text.empty() ? 0 : (text.size() > 6 ? 65536 : std::stoull(text));
    if (value >= 1 && value <= 65535) {
        m_port = static_cast<int>(value);
    } else {
        ShowMessage(kPortWrongText);
        m_port = kDefaultPort;
    }
    // Only the port edit is refreshed: what was typed elsewhere stays.
    SetEditText(m_portEdit, QString::number(m_port));
}

bool FTPPropertyPage::OnKillActive() {
    if (m_portEdit->text().isEmpty()) {
        ShowMessage(kTypePortText);
        return false;
    }
    return true;
}

FtpPageValues FTPPropertyPage::TakePageValues() {
    FtpPageValues values;
    values.server = Std(m_serverEdit->text());
    values.user = Std(m_userEdit->text());
    values.password = Std(m_passwordEdit->text());
    values.directory = Std(m_directoryEdit->text());
    values.port = static_cast<std::uint16_t>(m_port);
    return values;
}
