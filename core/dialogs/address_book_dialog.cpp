#include "core/dialogs/address_book_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/modal_dialog.h"
#include "platform/program_folder.h"

namespace {

constexpr int kUserNameMaxLength = 15;
// Enough digits for any port and for a mistyped one to be seen as too large.
constexpr int kPortMaxLength = 10;

enum Column { kUserColumn, kIpColumn, kPortColumn, kCommentColumn, kColumnCount };

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

std::filesystem::path ProgramFolderBook() {
    std::string folder;
    if (g_lpApp != nullptr) {
        folder = g_lpApp->CSettingINI.m_strProgramDir.Get();
    }
    const std::filesystem::path base =
        folder.empty() ? platform::ProgramFolder() : std::filesystem::path(folder);
    return base / kAddressBookFileName;
}

}  // namespace

CAddressBookDialog::CAddressBookDialog(QWidget* parent)
    : CAddressBookDialog(std::filesystem::path(), parent) {}

CAddressBookDialog::CAddressBookDialog(std::filesystem::path folder, QWidget* parent)
    : QDialog(parent),
      m_file(folder.empty() ? ProgramFolderBook() : folder / kAddressBookFileName),
      m_list(new QTreeWidget(this)),
      m_userEdit(new QLineEdit(this)),
      m_ipEdit(new QLineEdit(this)),
      m_portEdit(new QLineEdit(this)),
      m_commentEdit(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_add(new QPushButton(QStringLiteral("ADD"), this)),
      m_delete(new QPushButton(QStringLiteral("DELETE"), this)),
      m_edit(new QPushButton(QStringLiteral("EDIT"), this)),
      m_select(new QPushButton(QStringLiteral("SELECT"), this)),
      m_cancel(new QPushButton(QStringLiteral("CANCEL"), this)) {
    setWindowTitle(QStringLiteral("IP Address Book"));

    m_list->setColumnCount(kColumnCount);
    m_list->setHeaderLabels({QStringLiteral("User"), QStringLiteral("IP Address"),
                             QStringLiteral("Port"), QStringLiteral("Comment")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    m_list->setColumnWidth(kIpColumn, 160);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_iCurrentRow = SelectedRow(); });

    m_userEdit->setMaxLength(kUserNameMaxLength);
    m_ipEdit->setMaxLength(static_cast<int>(kAddressTextMax));
    m_commentEdit->setMaxLength(static_cast<int>(kAddressTextMax));
    m_portEdit->setMaxLength(kPortMaxLength);
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));

    // Enter belongs to "CANCEL" (keyPressEvent), never to a focused button.
    for (QPushButton* button : {m_ok, m_add, m_delete, m_edit, m_select, m_cancel}) {
        button->setAutoDefault(false);
    }
    connect(m_add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnEntryOk(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { OnEditButton(); });
    connect(m_select, &QPushButton::clicked, this, [this] { OnSelect(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnOK(); });

    auto* fields = new QHBoxLayout;
    fields->addWidget(m_userEdit, 2);
    fields->addWidget(m_ipEdit, 4);
    fields->addWidget(m_portEdit, 1);
    fields->addWidget(m_commentEdit, 3);
    fields->addWidget(m_ok);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_add, m_delete, m_edit, m_select, m_cancel}) {
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(560, 320);

    ShowEntryFields(false);
}

CAddressBookDialog::~CAddressBookDialog() {
    if (m_bBookRead) {
        // A failed write leaves the previous file whole (temporary file and
        // rename); there is nobody left to tell.
        SaveAddressBook(m_file, m_entries);
    }
}

int CAddressBookDialog::DoModal() {
    if (!OnInitDialog()) {
        return kFailed;
    }
    return platform::RunModal(*this);
}

bool CAddressBookDialog::OnInitDialog() {
    auto book = LoadAddressBook(m_file);
    if (!book) {
        done(kFailed);
        return false;
    }
    m_bBookRead = true;
    m_entries.clear();
    m_list->clear();
    for (const AddressBookEntry& entry : *book) {
        m_entries.push_back(entry);
        AppendRow(entry);
        m_iMajorPort = entry.port;
    }
    m_iUserNumber = static_cast<int>(m_entries.size());
    if (m_iUserNumber > 0) {
        SelectRow(m_iUserNumber - 1);
    }
    return true;
}

void CAddressBookDialog::AppendRow(const AddressBookEntry& entry) {
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(kUserColumn, ToQt(entry.userName));
    item->setText(kIpColumn, ToQt(entry.ipAddress));
    item->setText(kPortColumn, QString::number(entry.port));
    item->setText(kCommentColumn, ToQt(entry.comment));
}

void CAddressBookDialog::SetRow(int row, const AddressBookEntry& entry) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    item->setText(kUserColumn, ToQt(entry.userName));
    item->setText(kIpColumn, ToQt(entry.ipAddress));
    item->setText(kPortColumn, QString::number(entry.port));
    item->setText(kCommentColumn, ToQt(entry.comment));
}

int CAddressBookDialog::SelectedRow() const {
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        return -1;
    }
    const int row = m_list->indexOfTopLevelItem(selected.front());
    return row >= 0 && row < m_iUserNumber ? row : -1;
}

void CAddressBookDialog::SelectRow(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    m_list->setCurrentItem(item);
    item->setSelected(true);
    m_list->scrollToItem(item);
}

void CAddressBookDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strUserName = FromQt(m_userEdit->text());
        m_strIPAddress = FromQt(m_ipEdit->text());
        m_strComment = FromQt(m_commentEdit->text());
        // Digits only; a run too long for an int saturates and is refused
        // by the port check.
        m_iMajorPort = ParseSaturatingInt(FromQt(m_portEdit->text()));
    } else {
        m_userEdit->setText(ToQt(m_strUserName));
        m_ipEdit->setText(ToQt(m_strIPAddress));
        m_commentEdit->setText(ToQt(m_strComment));
        m_portEdit->setText(QString::number(m_iMajorPort));
    }
}

void CAddressBookDialog::ShowEntryFields(bool show) {
    for (QWidget* field : {static_cast<QWidget*>(m_userEdit), static_cast<QWidget*>(m_ipEdit),
                           static_cast<QWidget*>(m_portEdit), static_cast<QWidget*>(m_commentEdit),
                           static_cast<QWidget*>(m_ok)}) {
        field->setVisible(show);
    }
    for (QPushButton* button : {m_add, m_delete, m_select, m_cancel, m_edit}) {
        button->setVisible(!show);
    }
}

std::optional<AddressBookEntry> CAddressBookDialog::CheckedEntry() {
    switch (CheckAddressEntry(m_strUserName, m_strIPAddress, m_iMajorPort)) {
        case AddressEntryCheck::kEmptyField:
            ShowMessage(4079);
            return std::nullopt;
        case AddressEntryCheck::kPortOutOfRange:
            ShowMessage(4053);
            return std::nullopt;
        case AddressEntryCheck::kOk:
            break;
    }
    return AddressBookEntry{m_strUserName, m_strIPAddress, m_strComment, m_iMajorPort};
}

void CAddressBookDialog::OnAdd() {
    m_wEntryMode = kAdding;
    if (!m_fAddMode) {
        // The fields keep what they last held.
        ShowEntryFields(true);
        m_fAddMode = true;
    }
}

void CAddressBookDialog::OnEntryOk() {
    if (m_wEntryMode == kAdding) {
        if (!m_fAddMode) {
            return;
        }
        ShowEntryFields(false);
        UpdateData(true);
        m_fAddMode = false;
        const auto entry = CheckedEntry();
        if (!entry) {
            return;
        }
        m_strMajorPort = std::to_string(entry->port);
        m_entries.push_back(*entry);
        AppendRow(*entry);
        m_iUserNumber = static_cast<int>(m_entries.size());
        SelectRow(m_iUserNumber - 1);
    } else if (m_wEntryMode == kEditing) {
        const int row = SelectedRow();
        UpdateData(true);
        ShowEntryFields(false);
        m_list->setEnabled(true);
        // The same checks as a new entry: a changed entry is refused, and
        // stays as it was, where a new one would be.
        if (row >= 0) {
            if (const auto entry = CheckedEntry()) {
                m_strMajorPort = std::to_string(entry->port);
                m_entries[static_cast<std::size_t>(row)] = *entry;
                SetRow(row, *entry);
            }
            SelectRow(row);
        }
    }
}

void CAddressBookDialog::OnEditButton() {
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessage(4052);
        return;
    }
    m_wEntryMode = kEditing;
    const AddressBookEntry& entry = m_entries[static_cast<std::size_t>(row)];
    m_strUserName = entry.userName;
    m_strIPAddress = entry.ipAddress;
    m_strMajorPort = std::to_string(entry.port);
    m_strComment = entry.comment;
    m_iMajorPort = entry.port;
    UpdateData(false);
    ShowEntryFields(true);
    m_list->setEnabled(false);
}

void CAddressBookDialog::OnDelete() {
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessage(4052);
        return;
    }
    m_entries.erase(m_entries.begin() + row);
    delete m_list->takeTopLevelItem(row);
    m_iUserNumber = static_cast<int>(m_entries.size());
    if (m_iUserNumber > 0) {
        // The last entry, not the neighbour of the deleted one.
        SelectRow(m_iUserNumber - 1);
    }
}

void CAddressBookDialog::OnSelect() {
    const int row = SelectedRow();
    m_iCurrentRow = row;
    if (row < 0) {
        ShowMessage(4050);
        if (m_iUserNumber == 0) {
            ShowMessage(4037);
            done(kFailed);
        }
        return;
    }
    const AddressBookEntry& entry = m_entries[static_cast<std::size_t>(row)];
    m_strUserName = entry.userName;
    m_strComment = entry.comment;
    m_strIPAddress = entry.ipAddress;
    m_strMajorPort = std::to_string(entry.port);
    m_iMajorPort = entry.port;
    done(kChosen);
}

void CAddressBookDialog::OnOK() {
    UpdateData(true);
    done(kClosed);
}

void CAddressBookDialog::reject() {
    done(kCancelled);
}

void CAddressBookDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}
