// The Account page: the device's accounts packed into rows, the maximum
// users filter, adding, editing and deleting with their refusals, the
// logged-in account's protection, and the SECURE body APPLY sends. The
// client's own credentials follow an edit only once the device took it.

#include "config/pages/account_property_page.h"

#include "tests/config/pages/page_test_fixture.h"

namespace {

using namespace page_test;
using namespace cfg;

class AccountTest : public PageTest {
public:
    AccountPropertyPage* OpenAccounts(const std::function<void(SectionBytes)>& secure = {}) {
        Open("Q8A7", "1052", {}, [&](devicesim::DeviceModel& m) {
            if (secure) {
                PatchSection(m, "SECURE", secure);
            }
        });
        auto* page = Show<AccountPropertyPage>(SheetPageId::kAccount);
        list = page != nullptr ? Control<QTreeWidget>(page, 1284) : nullptr;
        return page;
    }
    // Fills the edit group and presses OK.
    void Fill(AccountPropertyPage* page, const char* user, const char* password, int life,
              int level) {
        Type(page, 1041, user);
        Type(page, 1042, password);
        Control<QComboBox>(page, 1291)->setCurrentIndex(life);
        Control<QComboBox>(page, 1294)->setCurrentIndex(level);
        Click(page, 1288);
    }
    QTreeWidget* list = nullptr;
};

TEST_F(AccountTest, RowsArePackedFromTheUsedSlots) {
    auto* page = OpenAccounts([](SectionBytes s) {
        ZeroField(s, SECURE::UserName.At(1));
        WriteText(s, SECURE::UserName.At(3), "guard");
        WriteByte(s, SECURE::Level.At(3), 20);
        WriteU32(s, SECURE::LifeTime.At(3), 60);
        WriteText(s, SECURE::UserName.At(4), "night");
        WriteByte(s, SECURE::Level.At(4), 0);
        WriteU32(s, SECURE::LifeTime.At(4), 7);
    });
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"tresk", "guard", "night"}));
    EXPECT_EQ(Rows(list, 1), (std::vector<std::string>{"SUPERVISOR", "HIGH USER", "GUEST"}));
    EXPECT_EQ(Rows(list, 2), (std::vector<std::string>{"INFINITY", "1 HOUR", "7 MIN"}));
    EXPECT_EQ(page->RowCount(), 3);
    EXPECT_EQ(page->Records()[1].user, "guard");
    EXPECT_FALSE(page->Records()[3].used);
    EXPECT_FALSE(Control<QWidget>(page, 1041)->isVisible());
}

struct MaxUsersCase {
    const char* typed;
    const char* shown;
    std::vector<unsigned> messages;
};

TEST_F(AccountTest, MaxUsersFilter) {
    auto* page = OpenAccounts();
    ASSERT_NE(page, nullptr);
    for (const MaxUsersCase& c : {MaxUsersCase{"0", "3", {4043}},
                                  {"12", "5", {4043}},
                                  {"a4", "4", {}},
                                  {"2", "2", {}},
                                  {"99999999999999", "5", {4043}}}) {
        boxes.sink().Clear();
        Type(page, 1040, c.typed);
        EXPECT_EQ(Edit(page, 1040)->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(boxes.Ids(), c.messages) << c.typed;
    }
    boxes.sink().Clear();
    Type(page, 1040, "");
    EXPECT_FALSE(sheet->SetActivePage(0));
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4042});
}

// A device reporting more than five users is said so (4043) and held to the
// five records.
TEST_F(AccountTest, MoreThanFiveUsersIsClampedAndNoSixthRecordIsAdded) {
    auto* page = OpenAccounts([](SectionBytes s) {
        WriteByte(s, SECURE::MaxUsers, 9);
        for (std::size_t i = 2; i < 5; ++i) {
            WriteText(s, SECURE::UserName.At(i), "user" + std::to_string(i));
            WriteText(s, SECURE::Password.At(i), "pw");
        }
    });
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1040)->text(), "5");
    EXPECT_EQ(page->RowCount(), 5);
    Click(page, 1285);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4043, 4002}));
    EXPECT_FALSE(page->EditGroupOpen());
    EXPECT_EQ(page->RowCount(), 5);
}

TEST_F(AccountTest, AddSendsTheNewRecord) {
    auto* page = OpenAccounts();
    ASSERT_NE(page, nullptr);
    const Bytes before = Section("SECURE");
    Click(page, 1285);
    EXPECT_TRUE(page->EditGroupOpen());
    EXPECT_FALSE(sheet->ApplyButton()->isEnabled());  // the sheet's buttons wait
    EXPECT_TRUE(test_support::SaveWidgetPicture(*sheet, "page_AccountPropertyPage_adding.png"));
    Type(page, 1041, "new user");  // blanks vanish as typed
    EXPECT_EQ(Edit(page, 1041)->text(), "newuser");
    Fill(page, "newuser", "pass word", 3, 1);
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    EXPECT_EQ(Rows(list).back(), "newuser");
    EXPECT_EQ(Rows(list, 1).back(), "HIGH USER");
    EXPECT_EQ(Rows(list, 2).back(), "1 HOUR");
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"SECURE"});
    EXPECT_EQ(SentBody("SECURE"), Patched(before, [](SectionBytes s) {
                  WriteText(s, SECURE::UserName.At(2), "newuser");
                  WriteText(s, SECURE::Password.At(2), "password");
                  WriteByte(s, SECURE::Level.At(2), 20);
                  WriteU32(s, SECURE::LifeTime.At(2), 60);
              }));
}

struct RefusalCase {
    const char* name;
    std::function<void(AccountTest&, AccountPropertyPage*)> act;
    std::vector<unsigned> messages;
};

class AccountRefusal : public AccountTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AccountRefusal, ShowsItsMessages) {
    const bool empty = std::string(GetParam().name).rfind("Empty", 0) == 0;
    auto* page = OpenAccounts([&](SectionBytes s) {
        if (empty) {
            for (std::size_t i = 0; i < 5; ++i) {
                ZeroField(s, SECURE::UserName.At(i));
            }
        }
    });
    ASSERT_NE(page, nullptr);
    GetParam().act(*this, page);
    EXPECT_EQ(boxes.Ids(), GetParam().messages);
    EXPECT_FALSE(page->Changed());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AccountRefusal,
    ::testing::Values(
        RefusalCase{"EmptyListDelete",
                    [](AccountTest& test, AccountPropertyPage* p) { test.Click(p, 1286); },
                    {4045, 4086}},
        RefusalCase{"EmptyListEdit",
                    [](AccountTest& test, AccountPropertyPage* p) { test.Click(p, 1287); },
                    {4046, 4087}},
        RefusalCase{"DeleteWithoutSelection",
                    [](AccountTest& test, AccountPropertyPage* p) { test.Click(p, 1286); },
                    {4086}},
        RefusalCase{"DeleteOwnAccountIgnoringCase",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        g_lpApp->CSettingINI.m_strUserName = "TRESK";
                        test.SelectRow(test.list, 0);
                        test.Click(p, 1286);
                    },
                    {4069}},
        RefusalCase{"AddExistingName",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.Click(p, 1285);
                        test.Fill(p, "operator", "x", 0, 0);
                    },
                    {4118}},
        RefusalCase{"AddIncomplete",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.Click(p, 1285);
                        test.Fill(p, "someone", "x", -1, 0);
                    },
                    {4002}},
        RefusalCase{"EditIncomplete",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.SelectRow(test.list, 1);
                        test.Click(p, 1287);
                        test.Fill(p, "operator", "", 0, 0);
                    },
                    {4022}},
        // Names and passwords go into the login request as they stand.
        RefusalCase{"AddNameThatBreaksTheLoginQuery",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.Click(p, 1285);
                        test.Fill(p, "a&b", "x", 0, 0);
                    },
                    {0}},
        RefusalCase{"EditPasswordThatBreaksTheLoginQuery",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.SelectRow(test.list, 1);
                        test.Click(p, 1287);
                        test.Fill(p, "operator", "p=w;", 0, 0);
                    },
                    {0}},
        RefusalCase{"AddAtMaxUsers",
                    [](AccountTest& test, AccountPropertyPage* p) {
                        test.Type(p, 1040, "2");
                        test.Click(p, 1285);
                    },
                    {4002}}),
    [](const auto& instance) { return std::string(instance.param.name); });

// Names differing in case are different accounts when adding.
TEST_F(AccountTest, AddTakesANameDifferingInCase) {
    auto* page = OpenAccounts();
    ASSERT_NE(page, nullptr);
    Click(page, 1285);
    Fill(page, "Operator", "x", 5, 3);
    EXPECT_TRUE(boxes.Ids().empty());
    EXPECT_EQ(page->RowCount(), 3);
}

// Deleting closes the gap: the records after the row move up and the
// freed slot is written empty.
TEST_F(AccountTest, DeleteShiftsTheRecords) {
    auto* page = OpenAccounts([](SectionBytes s) {
        WriteText(s, SECURE::UserName.At(2), "third");
        WriteText(s, SECURE::Password.At(2), "pw3");
        WriteByte(s, SECURE::Level.At(2), 0);
        WriteU32(s, SECURE::LifeTime.At(2), 5);
    });
    ASSERT_NE(page, nullptr);
    const Bytes before = Section("SECURE");
    SelectRow(list, 1);
    Click(page, 1286);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"tresk", "third"}));
    EXPECT_EQ(page->Records()[1].user, "third");
    EXPECT_FALSE(page->Records()[2].used);
    EXPECT_FALSE(page->Records()[4].used);
    Apply();
    EXPECT_EQ(SentBody("SECURE"), Patched(before, [](SectionBytes s) {
                  WriteText(s, SECURE::UserName.At(1), "third");
                  WriteText(s, SECURE::Password.At(1), "pw3");
                  WriteByte(s, SECURE::Level.At(1), 0);
                  WriteU32(s, SECURE::LifeTime.At(1), 5);
                  ZeroField(s, SECURE::UserName.At(2));
                  ZeroField(s, SECURE::Password.At(2));
              }));
}

struct OwnAccountCase {
    const char* name;
    bool refused;  // the device refuses SECURE
    bool exitInstead;
    const char* userAfter;
    const char* passwordAfter;
};

class OwnAccount : public AccountTest, public ::testing::WithParamInterface<OwnAccountCase> {};

// Editing the logged-in account keeps its level; the client's credentials
// change only when APPLY's send went through.
TEST_P(OwnAccount, CredentialsFollowOnlyASuccessfulSend) {
    const OwnAccountCase& c = GetParam();
    auto* page = OpenAccounts();
    ASSERT_NE(page, nullptr);
    if (c.refused) {
        device.SetSectionReply("SECURE", test_support::Reply::Status(500, "Internal Server Error"));
    }
    SelectRow(list, 0);
    Click(page, 1287);
    EXPECT_FALSE(list->isEnabled());
    Fill(page, "chief", "newpass", 2, 3);  // GUEST chosen: ignored for the own account
    EXPECT_EQ(page->Records()[0].level, 30);
    EXPECT_EQ(Rows(list, 1)[0], "SUPERVISOR");
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName.Get(), "tresk");  // not before APPLY
    if (c.exitInstead) {
        sheet->OnClickOK();
    } else {
        Apply();
    }
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName.Get(), c.userAfter);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword.Get(), c.passwordAfter);
    if (c.refused) {
        ASSERT_EQ(boxes.sink().Entries().size(), 1u);
        EXPECT_EQ(boxes.sink().Entries()[0].text, "Set the system config is failed\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OwnAccount,
                         ::testing::Values(OwnAccountCase{"Sent", false, false, "chief", "newpass"},
                                           OwnAccountCase{"Refused", true, false, "tresk", "tresk"},
                                           OwnAccountCase{"Exit", false, true, "tresk", "tresk"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(AccountTest, ExitClosesTheEditGroupWithoutStoring) {
    auto* page = OpenAccounts();
    ASSERT_NE(page, nullptr);
    SelectRow(list, 1);
    Click(page, 1287);
    Type(page, 1041, "changed");
    Click(page, 1068);
    EXPECT_FALSE(page->EditGroupOpen());
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(sheet->ApplyButton()->isEnabled());
    EXPECT_EQ(page->Records()[1].user, "operator");
    EXPECT_FALSE(page->Changed());
}

}  // namespace
