// The Mail page (sender limits by family and firmware, the credentials
// radios, the recipient list and its address dialog, the stored forms) and
// the FTP page (port filter, texts that do not fit, what APPLY sends).

#include "config/pages/ftp_property_page.h"
#include "config/pages/mail_property_page.h"

#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/modal_script.h"

namespace {

using namespace page_test;
using namespace cfg;

// ---- recipient forms ------------------------------------------------------------

struct FormCase {
    const char* address;
    const char* stored;
};

TEST(RecipientForms, ComposeAndExtract) {
    for (const FormCase& c : {FormCase{"guard@example.net", "guard <guard@example.net>"},
                              {"@example.net", "<@example.net>"},
                              {"nobody", "<nobody>"},
                              {"", "<>"}}) {
        EXPECT_EQ(ComposeRecipient(c.address), c.stored) << c.address;
        EXPECT_EQ(ExtractRecipient(c.stored), c.address) << c.stored;
    }
    // Stored texts the device may hold in other forms.
    for (const FormCase& c : {FormCase{"Someone Else <guard@example.net>", "guard@example.net"},
                              {"guard@example.net>", "guard@example.net"},
                              {"a>b<c", "a>b<c"},  // ">" before "<": the whole text
                              {"no brackets", "no brackets"},
                              {"x <a> <b>", "a> <b"}}) {
        EXPECT_EQ(ExtractRecipient(c.address), c.stored) << c.address;
    }
}

// ---- mail page --------------------------------------------------------------------

class MailTest : public PageTest {
public:
    std::vector<std::pair<std::string, std::string>> prompts;
    std::optional<QString> answer;
    // The address dialog takes `answer` with OK, or is cancelled when there
    // is none.
    test_support::ModalScript<CMailAccountEditDlg> prompt{[this](CMailAccountEditDlg& dialog) {
        prompts.push_back(
            {dialog.m_strLabel.toStdString(), dialog.AddressEdit()->text().toStdString()});
        if (!answer) {
            dialog.reject();
            return;
        }
        dialog.AddressEdit()->setText(*answer);
        dialog.accept();
    }};
};

TEST_F(MailTest, ShowsTheDevicesValues) {
    Open("Q8A7");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1044)->text(), "smtp.example.net");
    EXPECT_EQ(Edit(page, 1045)->text(), "cam@site.local");
    EXPECT_EQ(Edit(page, 1042)->text(), "cam");
    EXPECT_EQ(Rows(Control<QTreeWidget>(page, 1267)),
              (std::vector<std::string>{"guard@example.net", "owner@example.net"}));
    // The server wants a password (mode 2): "Yes", its edits open.
    EXPECT_TRUE(Control<QRadioButton>(page, 1268)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(page, 1269)->isChecked());
    EXPECT_TRUE(Edit(page, 1042)->isEnabled());
}

struct SenderCase {
    const char* product;
    const char* firmware;
    int limit;
};

TEST_F(MailTest, SenderLimitByFamilyAndFirmware) {
    for (const SenderCase& c : {SenderCase{"Q8A7", "1026", 15},
                                {"Q8A7", "1027", 42},
                                {"Q8A7", "10270", 42},
                                {"Q9C0", "1002", 15},
                                {"Q9C0", "1003", 42},
                                {"Q3A2", "1010", 30}}) {
        SCOPED_TRACE(std::string(c.product) + " " + c.firmware);
        opener.DeleteConfigSheet();
        Open(c.product, c.firmware);
        auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
        ASSERT_NE(page, nullptr);
        TypeKeys(page, 1045, QString(60, QLatin1Char('s')));
        EXPECT_EQ(Edit(page, 1045)->text().size(), c.limit);
    }
}

// A 20-character sender on a recorder from "1027": SMTP holds 15, SNTP 5.
TEST_F(MailTest, LongSenderIsSplitIntoTwoSections) {
    Open("Q8A7", "1027");
    const Bytes smtp = Section("SMTP");
    const Bytes sntp = Section("SNTP");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    Type(page, 1045, "alarms.camera@x.org");
    Type(page, 1045, "alarms.camera@xy.org");
    Apply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"SMTP", "SNTP"}));
    EXPECT_EQ(SentBody("SMTP"), Patched(smtp, [](SectionBytes s) {
                  WriteText(s, SMTP::MailFrom, "alarms.camera@x");
              }));
    EXPECT_EQ(SentBody("SNTP"),
              Patched(sntp, [](SectionBytes s) { WriteText(s, SNTP::MailFromMore, "y.org"); }));
}

TEST_F(MailTest, CredentialsRadiosAndApply) {
    Open("Q8A7");
    const Bytes smtp = Section("SMTP");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    Click(page, 1269);
    EXPECT_TRUE(Control<QRadioButton>(page, 1269)->isChecked());
    EXPECT_FALSE(Edit(page, 1042)->isEnabled());
    EXPECT_FALSE(Edit(page, 1043)->isEnabled());
    Click(page, 1268);
    EXPECT_TRUE(Edit(page, 1043)->isEnabled());
    Type(page, 1044, "mail.example.org");
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"SMTP"});
    EXPECT_EQ(SentBody("SMTP"), Patched(smtp, [](SectionBytes s) {
                  WriteText(s, SMTP::MailServer, "mail.example.org");
                  WriteByte(s, SMTP::VerifyPassword, 2);
              }));
}

TEST_F(MailTest, RecipientListEditsAndTheirStoredForms) {
    Open("Q8A7");
    const Bytes smtp = Section("SMTP");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    auto* list = Control<QTreeWidget>(page, 1267);

    Click(page, 1117);  // DELETE without a row
    Click(page, 1119);  // EDIT without a row
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4088, 4089}));
    EXPECT_FALSE(page->Changed());

    answer = QString();  // ADD with an empty address: ignored
    Click(page, 1118);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    answer = QStringLiteral("@example.org");
    Click(page, 1118);
    answer = QStringLiteral("desk@example.org");
    Click(page, 1118);
    EXPECT_EQ(prompts[0], (std::pair<std::string, std::string>{"Add : ", ""}));
    boxes.sink().Clear();
    Click(page, 1118);  // a fifth address
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4041});
    EXPECT_EQ(prompts.size(), 3u);

    SelectRow(list, 0);
    answer = QString();  // EDIT with an empty address replaces the row
    Click(page, 1119);
    EXPECT_EQ(prompts.back(), (std::pair<std::string, std::string>{"Edit :", "guard@example.net"}));
    SelectRow(list, 1);
    Click(page, 1117);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"", "@example.org", "desk@example.org"}));
    Apply();
    EXPECT_EQ(SentBody("SMTP"), Patched(smtp, [](SectionBytes s) {
                  for (std::size_t i = 0; i < 4; ++i) {
                      ZeroField(s, SMTP::AlarmMail.At(i));
                  }
                  WriteText(s, SMTP::AlarmMail.At(0), "<>");
                  WriteText(s, SMTP::AlarmMail.At(1), "<@example.org>");
                  WriteText(s, SMTP::AlarmMail.At(2), "desk <desk@example.org>");
              }));
}

// A stored form longer than the 47 characters of a slot is refused with a
// message instead of being cut.
TEST_F(MailTest, RecipientThatDoesNotFitIsRefused) {
    Open("Q8A7");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    auto* list = Control<QTreeWidget>(page, 1267);
    // "abcdefghijklmnopqrst@example.org": 32 characters, 21 + 34 stored.
    answer = QStringLiteral("abcdefghijklmnopqrst@example.org");
    Click(page, 1118);
    SelectRow(list, 0);
    Click(page, 1119);
    ASSERT_EQ(boxes.sink().Entries().size(), 2u);
    EXPECT_EQ(boxes.sink().Entries()[0].textId, 0u);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"guard@example.net", "owner@example.net"}));
    EXPECT_FALSE(page->Changed());
    answer = QStringLiteral("abcdefghijk@example.org");  // 12 + 25 = 37: fits
    Click(page, 1118);
    EXPECT_EQ(list->topLevelItemCount(), 3);
}

// ---- FTP page ---------------------------------------------------------------------

struct FtpPortCase {
    const char* typed;
    const char* shown;
    std::vector<unsigned> messages;
};

TEST_F(PageTest, FtpPortFilterKeepsTheOtherEdits) {
    Open("Q9C0");
    auto* page = Show<FTPPropertyPage>(SheetPageId::kFtp);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1042)->text(), "21");
    for (const FtpPortCase& c : {FtpPortCase{"70000", "21", {4054}},
                                 {"8a0", "80", {}},
                                 {"0", "21", {4054}},
                                 {"2121", "2121", {}}}) {
        boxes.sink().Clear();
        Type(page, 1040, "typed-user");  // typed before the port changes
        Type(page, 1042, c.typed);
        EXPECT_EQ(Edit(page, 1042)->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(boxes.Ids(), c.messages) << c.typed;
        EXPECT_EQ(Edit(page, 1040)->text(), "typed-user") << c.typed;
    }
    boxes.sink().Clear();
    Type(page, 1042, "");
    EXPECT_FALSE(sheet->SetActivePage(0));
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4090});
}

struct FtpTextCase {
    std::size_t serverLength;
    bool shown;
};

TEST_F(PageTest, FtpTextsThatFillTheirFieldShowEmpty) {
    for (const FtpTextCase& c : {FtpTextCase{31, true}, {32, false}}) {
        opener.DeleteConfigSheet();
        Open("Q8A7", "1052", {}, [&](devicesim::DeviceModel& m) {
            PatchSection(m, "FTP", [&](SectionBytes s) {
                WriteText(s, FTP::Server, std::string(c.serverLength, 'f'));
                WriteU16(s, FTP::Port, 0);
            });
        });
        auto* page = Show<FTPPropertyPage>(SheetPageId::kFtp);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Edit(page, 1283)->text().size(), c.shown ? 31 : 0) << c.serverLength;
        EXPECT_EQ(Edit(page, 1042)->text(), "0");
    }
}

TEST_F(PageTest, FtpApplySendsTheChangedFields) {
    Open("Q3A2", "1010");
    const Bytes ftp = Section("FTP");
    auto* page = Show<FTPPropertyPage>(SheetPageId::kFtp);
    ASSERT_NE(page, nullptr);
    Type(page, 1283, "ftp.site.org");
    Type(page, 1285, "/pics");
    Type(page, 1042, "2121");
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"FTP"});
    EXPECT_EQ(SentBody("FTP"), Patched(ftp, [](SectionBytes s) {
                  WriteText(s, FTP::Server, "ftp.site.org");
                  WriteText(s, FTP::Directory, "/pics");
                  WriteU16(s, FTP::Port, 2121);
              }));
}

// The address dialog on its own: its label and address, OK takes the edit.
TEST(MailAddressDialog, TakesTheAddressOnOk) {
    test_support::EnsureQtApp();
    CMailAccountEditDlg dialog;
    dialog.m_strLabel = QStringLiteral("Add : ");
    dialog.m_strAddress = QStringLiteral("desk@example.org");
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.AddressEdit()->text(), "desk@example.org");
    // 63 bytes at most, whatever the characters take.
    for (const QString& longest :
         {QString(63, QLatin1Char('a')), QString(31, QChar(0xE9)) + QLatin1Char('a')}) {
        dialog.AddressEdit()->clear();
        dialog.AddressEdit()->insert(longest);
        dialog.AddressEdit()->insert(QStringLiteral("z"));
        EXPECT_EQ(dialog.AddressEdit()->text(), longest);
    }
    dialog.AddressEdit()->setText(QStringLiteral("desk@example.org"));
    EXPECT_TRUE(test_support::SaveWidgetPicture(dialog, "mail_account_edit_dialog.png"));
    dialog.AddressEdit()->setText(QStringLiteral("other@example.org"));
    dialog.accept();
    EXPECT_EQ(dialog.m_strAddress, "other@example.org");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
