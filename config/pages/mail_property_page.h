#pragma once

// The "Mail" page: the SMTP server, the sender address, whether the server
// needs credentials, the credentials, and up to four recipient addresses;
// and the small dialog that enters one recipient. APPLY's mail save writes
// SMTP (and the section holding a long sender's continuation).

#include <QDialog>
#include <QWidget>

#include <optional>
#include <string>
#include <string_view>

#include "config/sheet/sheet_pages.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// A recipient slot's stored form and the bare address. Composing puts the
// name (the part before "@") in front: "name <address>", or "<address>" for
// an address without a name part. Extracting takes the text between the
// first "<" and the last ">"; a text whose ">" comes before its "<", or that
// has neither, is taken whole.
std::string ComposeRecipient(std::string_view address);
std::string ExtractRecipient(std::string_view stored);
// A slot holds 47 characters and its terminator.
inline constexpr std::size_t kRecipientRoom = 47;

class CMailAccountEditDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMailAccountEditDlg(QWidget* parent = nullptr);

    QString m_strLabel;
    QString m_strAddress;

    void OnInitDialog();
    void accept() override;

    QLineEdit* AddressEdit() const { return m_edit; }

private:
    QLabel* m_label = nullptr;
    QLineEdit* m_edit = nullptr;
};

class MailPropertyPage : public QWidget, public SheetPageValues<MailPageValues> {
    Q_OBJECT
public:
    explicit MailPropertyPage(MySystemDialog& sheet);

    MailPageValues TakePageValues() override;

    void OnAdd();
    void OnDelete();
    void OnEdit();
    void OnYes();
    void OnNo();
    void OnChangeSender();

    int SenderLimit() const { return m_senderLimit; }
    bool Changed() const { return m_changed; }

private:
    void OnInitDialog();
    void ShowVerifyMode();
    std::optional<QString> Prompt(const QString& label, const QString& address);
    // False (with a message) when the address's stored form does not fit.
    bool Fits(const QString& address);

    MySystemDialog& m_sheet;
    QLineEdit* m_serverEdit = nullptr;
    QLineEdit* m_senderEdit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QRadioButton* m_yes = nullptr;
    QRadioButton* m_no = nullptr;
    QTreeWidget* m_list = nullptr;

    int m_addressCount = 0;
    std::uint8_t m_verifyMode = 0;
    bool m_changed = false;
    int m_senderLimit = 15;
};
