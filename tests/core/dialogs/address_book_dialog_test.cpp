#include "core/dialogs/address_book_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <fstream>
#include <memory>

#include "platform/message_box.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const AddressBookEntry kA{"alice", "10.0.0.1", "first", 80};
const AddressBookEntry kB{"bob", "10.0.0.2", "second", 8080};
const AddressBookEntry kC{"carol", "dvr.local", "third", 9000};

class AddressBookDialogTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    std::filesystem::path File() const { return dir / std::string(kAddressBookFileName); }

    Bytes FileBytes() const {
        std::ifstream in(File(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    void WriteBook(const std::vector<AddressBookEntry>& entries) {
        ASSERT_TRUE(SaveAddressBook(File(), entries));
    }

    std::unique_ptr<CAddressBookDialog> Open() {
        auto dialog = std::make_unique<CAddressBookDialog>(dir.path());
        EXPECT_TRUE(dialog->OnInitDialog());
        return dialog;
    }

    static void Type(CAddressBookDialog& d, const char* user, const char* ip, const char* port,
                     const char* comment) {
        d.userEdit()->setText(user);
        d.ipEdit()->setText(ip);
        d.portEdit()->setText(port);
        d.commentEdit()->setText(comment);
    }

    static void SelectRow(CAddressBookDialog& d, int row) {
        d.entryList()->setCurrentItem(d.entryList()->topLevelItem(row));
    }

    static int SelectedRow(const CAddressBookDialog& d) {
        const auto items = d.entryList()->selectedItems();
        return items.isEmpty() ? -1 : d.entryList()->indexOfTopLevelItem(items.front());
    }

    test_support::TempDir dir;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(AddressBookDialogTest, MissingFileOpensEmptyAndClosingLeavesAnEmptyFile) {
    {
        auto dialog = Open();
        EXPECT_EQ(dialog->m_iUserNumber, 0);
        EXPECT_FALSE(dialog->okButton()->isVisibleTo(dialog.get()));
        EXPECT_FALSE(dialog->userEdit()->isVisibleTo(dialog.get()));
    }
    ASSERT_TRUE(std::filesystem::exists(File()));
    EXPECT_EQ(std::filesystem::file_size(File()), 0u);
}

TEST_F(AddressBookDialogTest, TailOfTheFileIsDroppedOnClose) {
    WriteBook({kA, kB});
    std::filesystem::resize_file(File(), 1000);
    {
        auto dialog = Open();
        EXPECT_EQ(dialog->entryList()->topLevelItemCount(), 2);
        EXPECT_EQ(SelectedRow(*dialog), 1) << "the last entry is selected";
    }
    EXPECT_EQ(std::filesystem::file_size(File()), 800u);
    EXPECT_EQ(LoadAddressBook(File()), (std::vector{kA, kB}));
}

TEST_F(AddressBookDialogTest, DamagedFileEndsTheDialogAndStaysAsItWas) {
    WriteBook({kA, kB});
    {
        std::fstream f(File(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(400 + 132);
        f.put('\0');  // the second record's address check word
    }
    const Bytes before = FileBytes();
    {
        CAddressBookDialog dialog(dir.path());
        EXPECT_EQ(dialog.DoModal(), CAddressBookDialog::kFailed);
    }
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(AddressBookDialogTest, ListShowsEveryField) {
    WriteBook({kC});
    auto dialog = Open();
    const QTreeWidgetItem* row = dialog->entryList()->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(0), "carol");
    EXPECT_EQ(row->text(1), "dvr.local");
    EXPECT_EQ(row->text(2), "9000");
    EXPECT_EQ(row->text(3), "third");
}

struct EntryCase {
    const char* name;
    const char* user;
    const char* ip;
    const char* port;
    unsigned message;  // 0: accepted
};

// The add path and the edit path check the same things.
const EntryCase kEntryCases[] = {
    {"empty_user", "", "10.0.0.9", "80", 4079},
    {"empty_address", "dave", "", "80", 4079},
    {"empty_port", "dave", "10.0.0.9", "", 4053},
    {"port_zero", "dave", "10.0.0.9", "0", 4053},
    {"port_above_range", "dave", "10.0.0.9", "65536", 4053},
    {"port_digits_overflow", "dave", "10.0.0.9", "9999999999", 4053},
    {"lowest_port", "dave", "10.0.0.9", "1", 0},
    {"above_four_digits", "dave", "10.0.0.9", "10000", 0},
    {"highest_port", "dave", "host.example", "65535", 0},
};

class AddressBookEntries : public AddressBookDialogTest,
                           public ::testing::WithParamInterface<EntryCase> {};

TEST_P(AddressBookEntries, AddChecks) {
    const EntryCase& c = GetParam();
    WriteBook({kA});
    {
        auto dialog = Open();
        dialog->OnAdd();
        EXPECT_TRUE(dialog->okButton()->isVisibleTo(dialog.get()));
        EXPECT_FALSE(dialog->addButton()->isVisibleTo(dialog.get()));
        Type(*dialog, c.user, c.ip, c.port, "note");
        dialog->OnEntryOk();
        EXPECT_FALSE(dialog->okButton()->isVisibleTo(dialog.get()));
        EXPECT_TRUE(dialog->addButton()->isVisibleTo(dialog.get()));
        if (c.message != 0) {
            EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{c.message});
            EXPECT_EQ(dialog->m_iUserNumber, 1);
        } else {
            EXPECT_TRUE(boxes.Ids().empty());
            EXPECT_EQ(dialog->m_iUserNumber, 2);
            EXPECT_EQ(SelectedRow(*dialog), 1);
        }
    }
    const auto book = LoadAddressBook(File());
    ASSERT_TRUE(book);
    if (c.message == 0) {
        ASSERT_EQ(book->size(), 2u);
        EXPECT_EQ(book->back(), (AddressBookEntry{c.user, c.ip, "note", std::stoi(c.port)}));
    } else {
        EXPECT_EQ(*book, std::vector{kA});
    }
}

TEST_P(AddressBookEntries, EditChecks) {
    const EntryCase& c = GetParam();
    WriteBook({kA, kB});
    {
        auto dialog = Open();
        SelectRow(*dialog, 0);
        dialog->OnEditButton();
        EXPECT_FALSE(dialog->entryList()->isEnabled());
        EXPECT_EQ(dialog->userEdit()->text(), "alice");
        EXPECT_EQ(dialog->portEdit()->text(), "80");
        Type(*dialog, c.user, c.ip, c.port, "changed");
        dialog->OnEntryOk();
        EXPECT_TRUE(dialog->entryList()->isEnabled());
        EXPECT_FALSE(dialog->okButton()->isVisibleTo(dialog.get()));
        EXPECT_EQ(SelectedRow(*dialog), 0);
        EXPECT_EQ(boxes.Ids(),
                  c.message != 0 ? std::vector<unsigned>{c.message} : std::vector<unsigned>{});
        EXPECT_EQ(dialog->m_iUserNumber, 2);
    }
    const auto book = LoadAddressBook(File());
    ASSERT_TRUE(book);
    ASSERT_EQ(book->size(), 2u);
    const AddressBookEntry expected =
        c.message == 0 ? AddressBookEntry{c.user, c.ip, "changed", std::stoi(c.port)} : kA;
    EXPECT_EQ((*book)[0], expected);
    EXPECT_EQ((*book)[1], kB);
}

INSTANTIATE_TEST_SUITE_P(Cases, AddressBookEntries, ::testing::ValuesIn(kEntryCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(AddressBookDialogTest, AddAfterEditStartsFromTheEditedValues) {
    WriteBook({kA, kB});
    auto dialog = Open();
    SelectRow(*dialog, 1);
    dialog->OnEditButton();
    dialog->commentEdit()->setText("renamed");
    dialog->OnEntryOk();
    dialog->OnAdd();
    EXPECT_EQ(dialog->userEdit()->text(), "bob");
    EXPECT_EQ(dialog->commentEdit()->text(), "renamed");
    dialog->OnEntryOk();
    ASSERT_EQ(dialog->Entries().size(), 3u);
    EXPECT_EQ(dialog->Entries()[2], dialog->Entries()[1]);
}

TEST_F(AddressBookDialogTest, DeletingSelectsTheLastEntry) {
    WriteBook({kA, kB, kC});
    auto dialog = Open();
    SelectRow(*dialog, 1);
    dialog->OnDelete();
    EXPECT_EQ(dialog->Entries(), (std::vector{kA, kC}));
    EXPECT_EQ(SelectedRow(*dialog), 1);
    EXPECT_EQ(dialog->entryList()->topLevelItem(1)->text(0), "carol");
}

TEST_F(AddressBookDialogTest, ButtonsWithoutSelectionSayHow) {
    WriteBook({kA});
    auto dialog = Open();
    dialog->entryList()->clearSelection();
    dialog->OnEditButton();
    dialog->OnDelete();
    dialog->OnSelect();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4052, 4052, 4050}));
    EXPECT_EQ(dialog->result(), 0) << "still open";
    EXPECT_EQ(dialog->m_iUserNumber, 1);
}

TEST_F(AddressBookDialogTest, SelectingInAnEmptyBookEndsWithFailure) {
    auto dialog = Open();
    dialog->OnSelect();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4050, 4037}));
    EXPECT_EQ(dialog->result(), CAddressBookDialog::kFailed);
}

TEST_F(AddressBookDialogTest, ChoosingHandsBackUserAddressAndPort) {
    WriteBook({kA, kB, kC});
    auto dialog = Open();
    SelectRow(*dialog, 1);
    dialog->OnSelect();
    EXPECT_EQ(dialog->result(), CAddressBookDialog::kChosen);
    EXPECT_EQ(dialog->m_strUserName, "bob");
    EXPECT_EQ(dialog->m_strIPAddress, "10.0.0.2");
    EXPECT_EQ(dialog->m_iMajorPort, 8080);
}

TEST_F(AddressBookDialogTest, KeysAndCloseEndWithTheirResults) {
    struct KeyCase {
        int key;
        int result;
    };
    for (const KeyCase& c : {KeyCase{Qt::Key_Return, CAddressBookDialog::kClosed},
                             KeyCase{Qt::Key_Enter, CAddressBookDialog::kClosed},
                             KeyCase{Qt::Key_Escape, CAddressBookDialog::kCancelled}}) {
        auto dialog = Open();
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &press);
        EXPECT_EQ(dialog->result(), c.result) << c.key;
    }
    auto dialog = Open();
    dialog->reject();  // the close box
    EXPECT_EQ(dialog->result(), CAddressBookDialog::kCancelled);
}

}  // namespace
