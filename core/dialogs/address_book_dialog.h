#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/store/address_book.h"

class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The address book: the devices the operator connects to, one entry per
// device (user name, address, web port, comment), kept in IPRecord.dat in
// the program's folder. The whole file is read when the dialog opens and
// written back when the dialog object is destroyed, however it ended, unless
// opening failed.
//
// Results of DoModal: kChosen (100) when an entry was chosen with SELECT; the
// user name, address and port are then in m_strUserName, m_strIPAddress and
// m_iMajorPort. kFailed (-1) when the file cannot be read or is damaged (it is
// then left as it is), or SELECT found the book empty. 1 from the "CANCEL"
// button or the Enter key, 2 from the close box or Escape.
//
// The entries show in one list with a column per field; new entries and
// changes are typed into four edit fields under the list, shown only while an
// entry is being added or edited, and completed with OK.
class CAddressBookDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kChosen = 100;
    static constexpr int kFailed = -1;
    static constexpr int kClosed = 1;
    static constexpr int kCancelled = 2;

    enum EntryMode : std::uint16_t { kNoEntryMode = 0, kAdding = 1, kEditing = 2 };

    // The book in the program's folder (the settings' m_strProgramDir).
    explicit CAddressBookDialog(QWidget* parent = nullptr);
    // The book in `folder`.
    explicit CAddressBookDialog(std::filesystem::path folder, QWidget* parent = nullptr);
    // Writes the book back when it was read.
    ~CAddressBookDialog() override;

    // Reads the book and, when that worked, runs the dialog modally.
    int DoModal();

    // Reads the book into the list and selects the last entry. False when the
    // file cannot be read or is damaged: the dialog has then ended with -1
    // and will not write the file.
    bool OnInitDialog();

    // Handlers of the buttons.
    void OnAdd();         // ADD: open the fields for a new entry
    void OnEntryOk();     // OK: complete the add or the edit
    void OnDelete();      // DELETE
    void OnEditButton();  // EDIT: open the fields on the selected entry
    void OnSelect();      // SELECT: choose the selected entry
    void OnOK();          // "CANCEL" and Enter: take the fields, end with 1

    // The chosen entry (after kChosen) and the texts of the edit fields.
    std::string m_strUserName;
    std::string m_strIPAddress;
    std::string m_strComment;
    std::string m_strMajorPort;
    int m_iMajorPort = 0;

    int m_iUserNumber = 0;
    int m_iCurrentRow = 0;
    bool m_fAddMode = false;
    std::uint16_t m_wEntryMode = kNoEntryMode;

    const std::vector<AddressBookEntry>& Entries() const { return m_entries; }
    const std::filesystem::path& BookFile() const { return m_file; }

    QTreeWidget* entryList() const { return m_list; }
    QLineEdit* userEdit() const { return m_userEdit; }
    QLineEdit* ipEdit() const { return m_ipEdit; }
    QLineEdit* portEdit() const { return m_portEdit; }
    QLineEdit* commentEdit() const { return m_commentEdit; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* addButton() const { return m_add; }

    // The close box and Escape: end with kCancelled.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int SelectedRow() const;
    void SelectRow(int row);
    void AppendRow(const AddressBookEntry& entry);
    void SetRow(int row, const AddressBookEntry& entry);
    // Moves the edit texts into the members (true) or the members into the
    // edit texts (false).
    void UpdateData(bool saveAndValidate);
    // Shows the edit fields and OK and hides the five buttons, or the reverse.
    void ShowEntryFields(bool show);
    // The entry the members describe, or a message and nullopt when the
    // checks refuse it.
    std::optional<AddressBookEntry> CheckedEntry();

    std::filesystem::path m_file;
    std::vector<AddressBookEntry> m_entries;
    bool m_bBookRead = false;  // the file was read and is written back at the end

    QTreeWidget* m_list;
    QLineEdit* m_userEdit;
    QLineEdit* m_ipEdit;
    QLineEdit* m_portEdit;
    QLineEdit* m_commentEdit;
    QPushButton* m_ok;
    QPushButton* m_add;
    QPushButton* m_delete;
    QPushButton* m_edit;
    QPushButton* m_select;
    QPushButton* m_cancel;
};
