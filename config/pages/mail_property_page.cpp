#include "config/pages/mail_property_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

using namespace cfg;
using namespace pages;

namespace {

constexpr unsigned kMaxAddressesText = 4041;
constexpr unsigned kSelectToDeleteText = 4088;
constexpr unsigned kSelectToEditText = 4089;
constexpr unsigned kMailAccountColumn = 3014;
constexpr unsigned kAddLabel = 8329;
constexpr unsigned kEditLabel = 8330;
constexpr const char* kAddressTooLongText =
    "The mail address is too long: the device keeps at most 47 bytes of it, its name part "
    "included, and a character beyond plain ASCII takes two or more.";

}  // namespace

std::string ComposeRecipient(std::string_view address) {
    const std::size_t at = address.find('@');
    std::string stored;
    if (at != std::string_view::npos && at > 0) {
        stored.append(address.substr(0, at)).append(" ");
    }
    stored.append("<").append(address).append(">");
    return stored;
}

std::string ExtractRecipient(std::string_view stored) {
    const std::size_t open = stored.find('<');
    const std::size_t close = stored.rfind('>');
    if (close == std::string_view::npos) {
        return std::string(stored);
    }
    if (open == std::string_view::npos) {
        return std::string(stored.substr(0, close));
    }
    if (close < open) {
        return std::string(stored);
    }
    return std::string(stored.substr(open + 1, close - open - 1));
}

// ---- address dialog ---------------------------------------------------------

CMailAccountEditDlg::CMailAccountEditDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Mail Account Edit"));
    setObjectName(QStringLiteral("CMailAccountEditDlg"));
    Place(this, 0, 0, 320, 110);
    setFixedSize(size());
    m_label = MakeLabel(this, 1274, QString(), 14, 18, 60);
    m_edit = MakeEdit(this, 1040, 76, 16, 230);
    LimitEditBytes(m_edit, 63);
    auto* ok = MakeButton(this, 1, QStringLiteral("OK"), 76, 64, 90);
    auto* cancel = MakeButton(this, 2, QStringLiteral("CANCEL"), 190, 64, 90);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CMailAccountEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CMailAccountEditDlg::reject);
}

void CMailAccountEditDlg::OnInitDialog() {
    m_label->setText(m_strLabel);
    m_edit->setText(m_strAddress);
}

void CMailAccountEditDlg::accept() {
    m_strAddress = m_edit->text();
    QDialog::accept();
}

// ---- page ---------------------------------------------------------------------

MailPropertyPage::MailPropertyPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("MailPropertyPage"));
    MakeLabel(this, 0, QStringLiteral("Server :"), 14, 18, 80);
    m_serverEdit = MakeEdit(this, 1044, 100, 16, 340);
    MakeLabel(this, 0, QStringLiteral("Mail from :"), 14, 50, 80);
    m_senderEdit = MakeEdit(this, 1045, 100, 48, 340);
    MakeGroup(this, 0, QStringLiteral("Verify Password"), 14, 80, 426, 92);
    m_yes = MakeRadio(this, 1268, QStringLiteral("Yes"), 24, 100, 60);
    m_no = MakeRadio(this, 1269, QStringLiteral("No"), 90, 100, 60);
    MakeLabel(this, 0, QStringLiteral("User :"), 24, 128, 70);
    m_userEdit = MakeEdit(this, 1042, 100, 126, 140);
    MakeLabel(this, 0, QStringLiteral("Password :"), 24, 150, 70);
    m_passwordEdit = MakeEdit(this, 1043, 100, 148, 140);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    LimitEditBytes(m_serverEdit, 63);
    LimitEditBytes(m_userEdit, 31);
    LimitEditBytes(m_passwordEdit, 31);

    MakeGroup(this, 0, QStringLiteral("Modify alarm email address "), 14, 180, 426, 120);
    m_list = Named(new QTreeWidget(this), 1267);
    Place(m_list, 24, 198, 320, 94);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* add = MakeButton(this, 1118, QStringLiteral("ADD"), 354, 198, 76);
    auto* remove = MakeButton(this, 1117, QStringLiteral("DELETE"), 354, 230, 76);
    auto* edit = MakeButton(this, 1119, QStringLiteral("EDIT"), 354, 262, 76);

    connect(add, &QPushButton::clicked, this, &MailPropertyPage::OnAdd);
    connect(remove, &QPushButton::clicked, this, &MailPropertyPage::OnDelete);
    connect(edit, &QPushButton::clicked, this, &MailPropertyPage::OnEdit);
    connect(m_yes, &QRadioButton::clicked, this, &MailPropertyPage::OnYes);
    connect(m_no, &QRadioButton::clicked, this, &MailPropertyPage::OnNo);
    OnInitDialog();
}

void MailPropertyPage::OnInitDialog() {
    const SheetReadValues& read = m_sheet.ReadValues();
    // The sender's limit follows the device: a key or a paste beyond it is
    // refused, so the edit never holds more than the device keeps.
    m_senderLimit = static_cast<int>(SenderAddressLimit(m_sheet.Device()));
    LimitEditBytes(m_senderEdit, static_cast<std::size_t>(m_senderLimit));
    m_senderEdit->setText(Qs(read.senderAddress));
    m_serverEdit->setText(Qs(read.mailServer));
    m_passwordEdit->setText(Qs(read.mailPassword));
    m_userEdit->setText(Qs(read.mailUser));
    m_verifyMode = read.verifyMode;
    ShowVerifyMode();

    m_list->setColumnCount(1);
    m_list->setHeaderLabels({Text(kMailAccountColumn)});
    m_list->setColumnWidth(0, 300);
    m_addressCount = 0;
    const auto& smtp = m_sheet.Sender().config().smtp;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string stored = ReadText(smtp, SMTP::AlarmMail.At(i));
        if (!stored.empty()) {
            m_list->addTopLevelItem(new QTreeWidgetItem({Qs(ExtractRecipient(stored))}));
            ++m_addressCount;
        }
    }
}

void MailPropertyPage::ShowVerifyMode() {
    m_yes->setChecked(m_verifyMode == 2);
    m_no->setChecked(m_verifyMode == 0);
    const bool credentials = m_verifyMode != 0;
    m_userEdit->setEnabled(credentials);
    m_passwordEdit->setEnabled(credentials);
}

void MailPropertyPage::OnYes() {
    m_verifyMode = 2;
    ShowVerifyMode();
}

void MailPropertyPage::OnNo() {
    m_verifyMode = 0;
    ShowVerifyMode();
}

std::optional<QString> MailPropertyPage::Prompt(const QString& label, const QString& address) {
    CMailAccountEditDlg dialog(this);
    dialog.m_strLabel = label;
    dialog.m_strAddress = address;
    dialog.OnInitDialog();
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.m_strAddress;
}

bool MailPropertyPage::Fits(const QString& address) {
    if (ComposeRecipient(Std(address)).size() <= kRecipientRoom) {
        return true;
    }
    platform::ShowMessageBox(0, kAddressTooLongText);
    return false;
}

void MailPropertyPage::OnAdd() {
    if (m_addressCount >= 4) {
        ShowMessage(kMaxAddressesText);
        return;
    }
    const std::optional<QString> address = Prompt(Text(kAddLabel), QString());
    if (!address || address->isEmpty() || !Fits(*address)) {
        return;
    }
    m_list->addTopLevelItem(new QTreeWidgetItem({*address}));
    ++m_addressCount;
    m_changed = true;
}

void MailPropertyPage::OnDelete() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !item->isSelected()) {
        ShowMessage(kSelectToDeleteText);
        return;
    }
    --m_addressCount;
    delete item;
    m_changed = true;
}

void MailPropertyPage::OnEdit() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !item->isSelected()) {
        ShowMessage(kSelectToEditText);
        return;
    }
    const std::optional<QString> address = Prompt(Text(kEditLabel), item->text(0));
    if (!address || !Fits(*address)) {
        return;
    }
    item->setText(0, *address);
    m_changed = true;
}

MailPageValues MailPropertyPage::TakePageValues() {
    MailPageValues values;
    values.sender = Std(m_senderEdit->text());
    values.server = Std(m_serverEdit->text());
    values.password = Std(m_passwordEdit->text());
    values.user = Std(m_userEdit->text());
    values.verifyMode = m_verifyMode;
    values.recipientsChanged = m_changed;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        values.recipients.push_back(ComposeRecipient(Std(m_list->topLevelItem(i)->text(0))));
    }
    return values;
}
