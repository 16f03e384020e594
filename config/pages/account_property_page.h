#pragma once

// The "Account" page: the device's five user accounts and the maximum
// number of users. The page edits its five records and hands them to
// APPLY's account save. The account the operator is logged in with cannot
// be deleted and keeps its level; when its name or password is edited, the
// client's own login credentials follow only once APPLY has sent them.

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class AccountPropertyPage : public QWidget,
                            public SheetPage,
                            public SheetPageValues<AccountPageValues>,
                            public SheetSavedPage {
    Q_OBJECT
public:
    static constexpr std::size_t kRecords = 5;

    explicit AccountPropertyPage(MySystemDialog& sheet);

    bool OnKillActive() override;
    AccountPageValues TakePageValues() override;
    void OnPageSaved() override;

    void OnAdd();
    void OnDelete();
    void OnEdit();
    void OnOk();
    void OnExit();
    void OnChangeMaxUsers();
    void OnChangeUserName();
    void OnChangePassword();

    const std::array<AccountEditRecord, kRecords>& Records() const { return m_records; }
    int RowCount() const { return m_rowCount; }
    bool Changed() const { return m_changed; }
    bool EditGroupOpen() const { return m_groupOpen; }

private:
    void OnInitDialog();
    void ShowEditGroup(bool show);
    void ClearEditGroup();
    QString LevelText(int index) const;
    QString LifeTimeText(int index) const;
    static int LevelIndexOf(std::uint16_t level);
    static int LifeIndexOf(std::uint32_t minutes);

    MySystemDialog& m_sheet;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_maxUsersEdit = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_edit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QComboBox* m_lifeCombo = nullptr;
    QComboBox* m_levelCombo = nullptr;
    std::array<QWidget*, 10> m_group{};

    std::uint32_t m_maxUsers = 5;
    // The number the device holds, handed to APPLY until the operator types
    // one of their own.
    std::uint8_t m_deviceMaxUsers = 0;
    std::uint32_t m_shownMaxUsers = 0;
    bool m_maxUsersTyped = false;
    std::uint8_t m_mode = 0;  // 0 adding, 1 editing
    int m_rowCount = 0;
    bool m_changed = false;
    bool m_ownAccount = false;
    bool m_groupOpen = false;
    std::array<AccountEditRecord, kRecords> m_records{};
    // The logged-in account's new credentials, waiting for APPLY to send them.
    std::optional<std::pair<std::string, std::string>> m_ownCredentials;
    std::optional<std::pair<std::string, std::string>> m_ownCredentialsTaken;
};
