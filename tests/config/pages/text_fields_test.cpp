// Every text field of the configuration pages at the edge of the bytes its
// device field keeps: a text of exactly that many bytes, in plain ASCII and
// in two-byte characters, reaches the device whole and ends inside its
// field; one byte more is refused by APPLY, naming the field, with nothing
// sent and the sheet open on the page; the edit itself takes no character
// that would go beyond. Texts read from the device are shown and compared
// as the edits hold them, so a page left alone writes nothing back.

#include "config/pages/account_property_page.h"
#include "config/pages/mail_property_page.h"
#include "config/pages/tool_box_property_page.h"

#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"

namespace {

using namespace page_test;
using namespace cfg;

constexpr char16_t kTwoByte = u'\u00e9';  // two bytes of UTF-8

// `bytes` bytes of text: plain letters, or two-byte characters with one
// letter at the end when the count is odd.
QString Ascii(std::size_t bytes) {
    return QString(static_cast<qsizetype>(bytes), QLatin1Char('a'));
}
QString TwoByte(std::size_t bytes) {
    QString text(static_cast<qsizetype>(bytes / 2), QChar(kTwoByte));
    if (bytes % 2 != 0) {
        text += QLatin1Char('a');
    }
    return text;
}
std::size_t Utf8Size(const QString& text) {
    return static_cast<std::size_t>(text.toUtf8().size());
}

struct TextField {
    const char* name;
    const char* product;
    const char* firmware;
    SheetPageId page;
    int edit;  // 0: an account's user name or password, entered through ADD
    const char* option;
    std::size_t offset;
    std::size_t width;
    std::size_t room;
    const char* label;  // as the refusal names it
};

// The Account page's new record takes slot 2: the simulated device holds two.
constexpr std::size_t kNewSlot = 2;

const TextField kFields[] = {
    {"PppoeUser", "Q3A2", "1010", SheetPageId::kNetwork, 1043, "PPPOE", 4, 32, 31,
     "PPPoE user name"},
    {"PppoePassword", "Q3A2", "1010", SheetPageId::kNetwork, 1044, "PPPOE", 36, 32, 31,
     "PPPoE password"},
    {"PppoeUserOlderLayout", "Q8A7", "1050", SheetPageId::kNetwork, 1043, "PPPOE", 36, 16, 15,
     "PPPoE user name"},
    {"PppoePasswordOlderLayout", "Q8A7", "1050", SheetPageId::kNetwork, 1044, "PPPOE", 52, 16, 15,
     "PPPoE password"},
    {"DdnsUser", "Q8A7", "1052", SheetPageId::kDdns, 1040, "SMTP", 104, 16, 15, "DDNS User Name"},
    {"DdnsPassword", "Q8A7", "1052", SheetPageId::kDdns, 1041, "SMTP", 120, 16, 15,
     "DDNS Password"},
    {"DdnsDomain", "Q9C0", "1052", SheetPageId::kDdns, 1042, "SMTP", 328, 48, 47, "DDNS Domain"},
    {"MailServer", "Q8A7", "1052", SheetPageId::kMail, 1044, "SMTP", 8, 64, 63, "Mail Server"},
    {"MailUser", "Q3A2", "1052", SheetPageId::kMail, 1042, "SMTP", 376, 32, 31, "Mail User"},
    {"MailPassword", "Q8A7", "1052", SheetPageId::kMail, 1043, "SMTP", 408, 32, 31,
     "Mail Password"},
    {"MailFromWithoutContinuation", "Q7B5", "1002", SheetPageId::kMail, 1045, "SMTP", 72, 16, 15,
     "Mail from"},
    {"FtpServer", "Q8A7", "1052", SheetPageId::kFtp, 1283, "FTP", 4, 32, 31, "FTP Server"},
    {"FtpUser", "Q7B3", "1052", SheetPageId::kFtp, 1040, "FTP", 36, 16, 15, "FTP UserName"},
    {"FtpPassword", "Q8A7", "1052", SheetPageId::kFtp, 1043, "FTP", 52, 16, 15, "FTP Password"},
    {"FtpDirectory", "Q9C0", "1052", SheetPageId::kFtp, 1285, "FTP", 68, 32, 31, "FTP Directory"},
    {"SntpServer", "Q3A2", "1010", SheetPageId::kSntp, 1040, "SNTP", 8, 28, 27, "SNTP Server"},
    {"Title", "Q8A7", "1052", SheetPageId::kGeneral, 1474, "SYSTEM", 20, 16, 8, "Title"},
    {"TitleOfVideoServer", "Q3A2", "1010", SheetPageId::kGeneral, 1474, "SYSTEM", 20, 16, 8,
     "Title"},
    {"Channel1Name", "Q3A2", "1010", SheetPageId::kGeneral, 1475, "RS485", 44, 8, 3, "CH1 Name"},
    {"Channel2Name", "Q3A2", "1010", SheetPageId::kGeneral, 1476, "RS485", 52, 8, 3, "CH2 Name"},
    {"AccountUser", "Q8A7", "1052", SheetPageId::kAccount, 0, "SECURE", 8 + 16 * kNewSlot, 16, 15,
     "User name"},
    {"AccountPassword", "Q9C0", "1052", SheetPageId::kAccount, 0, "SECURE", 88 + 16 * kNewSlot, 16,
     15, "Password"},
};

class TextFieldTable : public PageTest, public ::testing::WithParamInterface<TextField> {
public:
    QWidget* OpenPage() {
        const TextField& f = GetParam();
        opener.DeleteConfigSheet();
        Open(f.product, f.firmware);
        if (sheet == nullptr) {
            return nullptr;
        }
        const int index = sheet->PageIndexOf(f.page);
        EXPECT_TRUE(sheet->SetActivePage(index));
        QApplication::processEvents();
        return sheet->PageWindowOf(f.page);
    }

    // Puts the text where the field takes it: into the edit as it stands,
    // or into a new account through ADD and OK.
    void Enter(QWidget* page, const QString& text) {
        const TextField& f = GetParam();
        if (f.edit != 0) {
            Type(page, f.edit, text);
            return;
        }
        const bool user = f.offset < 88;
        Click(page, 1285);
        Type(page, 1041, user ? text : QStringLiteral("newuser"));
        Type(page, 1042, user ? QStringLiteral("pw") : text);
        Control<QComboBox>(page, 1291)->setCurrentIndex(0);
        Control<QComboBox>(page, 1294)->setCurrentIndex(2);
        Click(page, 1288);
        ASSERT_EQ(dynamic_cast<AccountPropertyPage*>(page)->RowCount(), 3);
    }
};

TEST_P(TextFieldTable, TextOfExactlyItsRoomArrivesWholeAndEndsInsideTheField) {
    const TextField& f = GetParam();
    for (const QString& text : {Ascii(f.room), TwoByte(f.room)}) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ(Utf8Size(text), f.room);
        QWidget* page = OpenPage();
        ASSERT_NE(page, nullptr);
        Enter(page, text);
        Apply();
        EXPECT_TRUE(boxes.Ids().empty());
        EXPECT_EQ(sheet->EndResult(), 3);
        const Bytes body = SentBody(f.option);
        ASSERT_EQ(body.size(), Section(f.option).size());
        Bytes expected = text.toStdString();
        expected.resize(f.width, '\0');  // the zero byte after it is inside the field
        EXPECT_EQ(body.substr(f.offset, f.width), expected);
    }
}

TEST_P(TextFieldTable, OneByteMoreIsRefusedNamingTheFieldWithNothingSent) {
    const TextField& f = GetParam();
    for (const QString& text : {Ascii(f.room + 1), TwoByte(f.room + 1)}) {
        SCOPED_TRACE(text.toStdString());
        QWidget* page = OpenPage();
        ASSERT_NE(page, nullptr);
        const std::size_t received = model->ReceivedSections().size();
        Enter(page, text);
        boxes.sink().Clear();
        Apply();
        const auto entries = boxes.sink().Entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].text, "\"" + std::string(f.label) +
                                       "\" does not fit: the device keeps at most " +
                                       std::to_string(f.room) +
                                       " bytes of it, and a character beyond plain ASCII takes "
                                       "two or more. Nothing was sent.");
        EXPECT_EQ(model->ReceivedSections().size(), received);
        EXPECT_FALSE(sheet->EndResult().has_value());
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->ActivePageIndex(), sheet->PageIndexOf(f.page));
    }
}

TEST_P(TextFieldTable, EditTakesNoCharacterBeyondTheRoom) {
    const TextField& f = GetParam();
    QWidget* page = OpenPage();
    ASSERT_NE(page, nullptr);
    const int id = f.edit != 0 ? f.edit : (f.offset < 88 ? 1041 : 1042);
    if (f.edit == 0) {
        Click(page, 1285);  // the account's edits are in the group ADD opens
    }
    const auto twoByte = [](std::size_t n) {
        return QString(static_cast<qsizetype>(n), QChar(kTwoByte));
    };
    TypeKeys(page, id, twoByte(f.room));
    EXPECT_EQ(Edit(page, id)->text(), twoByte(f.room / 2));
    TypeKeys(page, id, Ascii(f.room + 4));
    EXPECT_EQ(Edit(page, id)->text(), Ascii(f.room));
}

INSTANTIATE_TEST_SUITE_P(Fields, TextFieldTable, ::testing::ValuesIn(kFields),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- texts the device holds, as the pages show them ------------------------------

// A title longer than the page's 8 bytes is cut between characters, not
// inside one, and a page left alone sends nothing.
TEST_F(PageTest, TitleIsCutBetweenCharactersAndLeftAloneSendsNothing) {
    Open("Q8A7", "1052", {}, [](devicesim::DeviceModel& m) {
        PatchSection(m, "SYSTEM", [](SectionBytes s) {
            WriteText(s, SYSTEM::Title, reinterpret_cast<const char*>(u8"Lobby c\u00e9am"));
        });
    });
    auto* page = Show<ToolBoxPropertyPage>(SheetPageId::kGeneral);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1474)->text(), "Lobby c");
    Apply();
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_EQ(sheet->EndResult(), 3);
}

// Bytes that are no UTF-8 (a device that stored Latin-1) show as U+FFFD and
// go back as they were when the operator did not touch them.
TEST_F(PageTest, TextThatIsNoUtf8IsNotRewrittenWhenLeftAlone) {
    Open("Q8A7", "1052", {}, [](devicesim::DeviceModel& m) {
        PatchSection(m, "SMTP", [](SectionBytes s) { WriteText(s, SMTP::DdnsUser, "Caf\xE9"); });
    });
    const Bytes smtp = Section("SMTP");
    auto* dns = Show<QWidget>(SheetPageId::kDdns);
    ASSERT_NE(dns, nullptr);
    EXPECT_EQ(Edit(dns, 1040)->text(), QString::fromUtf8(u8"Caf\ufffd"));
    Type(dns, 1042, "yard.example.org");  // another field of the same section
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"SMTP"});
    EXPECT_EQ(SentBody("SMTP").substr(SMTP::DdnsUser.offset, SMTP::DdnsUser.width),
              smtp.substr(SMTP::DdnsUser.offset, SMTP::DdnsUser.width));
}

// The sender's room on a recorder from "1027" is 42 bytes, split at byte 15
// between SMTP and SNTP, a two-byte character too.
TEST_F(PageTest, LongSenderOfTwoByteCharactersIsSplitAsBytes) {
    Open("Q8A7", "1052");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    const QString sender = TwoByte(42);
    Type(page, 1045, sender);
    Apply();
    EXPECT_TRUE(boxes.Ids().empty());
    const std::string bytes = sender.toStdString();
    Bytes from = bytes.substr(0, 15);
    from.resize(16, '\0');
    Bytes more = bytes.substr(15);
    more.resize(28, '\0');
    EXPECT_EQ(SentBody("SMTP").substr(SMTP::MailFrom.offset, 16), from);
    EXPECT_EQ(SentBody("SNTP").substr(SNTP::MailFromMore.offset, 28), more);

    // The next sheet shows it joined again.
    opener.DeleteConfigSheet();
    opener.OnConfigurationCommand(&mainWindow);
    sheet = opener.Sheet();
    ASSERT_NE(sheet, nullptr);
    page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1045)->text(), sender);
    Type(page, 1045, sender + QLatin1Char('a'));
    boxes.sink().Clear();
    Apply();
    ASSERT_EQ(boxes.sink().Entries().size(), 1u);
    EXPECT_TRUE(boxes.sink().Entries()[0].text.starts_with("\"Mail from\" does not fit"));
}

// An alarm address whose stored form ("name <address>") takes exactly the
// 47 bytes of its slot goes whole, in two-byte characters too.
TEST_F(PageTest, AlarmAddressOfItsSlotsRoomGoesWhole) {
    // "n <n@" + domain + ">": 6 bytes beside the domain's.
    const QString address = QStringLiteral("n@") + TwoByte(41);
    test_support::ModalScript<CMailAccountEditDlg> prompt([&](CMailAccountEditDlg& dialog) {
        test_support::UserType(dialog.AddressEdit(), address);
        test_support::UserKey(dialog.AddressEdit(), Qt::Key_Return);
        test_support::RejectIfOpen(dialog);
    });
    Open("Q8A7", "1052");
    auto* page = Show<MailPropertyPage>(SheetPageId::kMail);
    ASSERT_NE(page, nullptr);
    Click(page, 1118);  // ADD
    EXPECT_EQ(prompt.Runs(), 1);
    Apply();
    EXPECT_TRUE(boxes.Ids().empty());
    const std::string stored = "n <" + address.toStdString() + ">";
    ASSERT_EQ(stored.size(), 47u);
    Bytes expected = stored;
    expected.resize(48, '\0');
    EXPECT_EQ(SentBody("SMTP").substr(SMTP::AlarmMail.At(2).offset, 48), expected);
}

}  // namespace
