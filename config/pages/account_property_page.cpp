#include "config/pages/account_property_page.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "platform/message_box.h"

using namespace cfg;
using namespace pages;

namespace {

constexpr unsigned kAccountMemoryText = 4001;
constexpr unsigned kAddFailedText = 4002;
constexpr unsigned kEditFailedText = 4022;
constexpr unsigned kMaxUsersEmptyText = 4042;
constexpr unsigned kMaxUsersRangeText = 4043;
constexpr unsigned kNothingToDeleteText = 4045;
constexpr unsigned kNothingToEditText = 4046;
constexpr unsigned kOwnAccountText = 4069;
constexpr unsigned kSelectToDeleteText = 4086;
constexpr unsigned kSelectToEditText = 4087;
constexpr unsigned kUserExistsText = 4118;
constexpr const char* kCredentialRefusedText =
    "A user name or password may not hold control characters or any of & = ; ? # % +: the "
    "device takes them in its login request as they stand.";

// The SECURE texts hold 15 bytes and their terminator.
constexpr std::size_t kCredentialRoom = 15;
// What a maximum of 0 becomes in the edit.
constexpr std::uint32_t kMaxUsersForZero = 3;

constexpr std::array<std::uint16_t, 4> kLevels{30, 20, 10, 0};
constexpr std::array<std::uint32_t, 6> kLifeMinutes{1, 5, 10, 60, 1440, 0xFFFFFFFFu};
constexpr std::array<const char*, 6> kLifeItems{"1    Min",  "5    Min", "10  Min",
                                                "1    Hour", "1    Day", "INFINITY"};
constexpr std::array<const char*, 4> kLevelItems{"SUPERVISOR", "HIGH         USER", "NORMAL   USER",
                                                 "GUEST"};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string LoginUser() {
    return g_lpApp != nullptr ? g_lpApp->CSettingINI.m_strUserName.Get() : std::string();
}

std::string WithoutBlanks(const QString& text) {
    std::string kept = Std(text);
    kept.erase(std::remove(kept.begin(), kept.end(), ' '), kept.end());
    return kept;
}

}  // namespace

AccountPropertyPage::AccountPropertyPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("AccountPropertyPage"));
    m_list = Named(new QTreeWidget(this), 1284);
    Place(m_list, 14, 14, 360, 130);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({Text(3015), Text(3016), Text(3017)});
    const double s = g_lpApp != nullptr ? static_cast<double>(g_lpApp->fl_DpiScale) : 1.0;
    m_list->setColumnWidth(0, static_cast<int>(std::trunc(80 * s)));
    m_list->setColumnWidth(1, static_cast<int>(std::trunc(130 * s)));
    m_list->setColumnWidth(2, static_cast<int>(std::trunc(130 * s)));

    MakeLabel(this, 0, QStringLiteral("Max User(s) :"), 14, 154, 90);
    m_maxUsersEdit = MakeEdit(this, 1040, 110, 152, 40);
    m_add = MakeButton(this, 1285, QStringLiteral("ADD"), 384, 14, 70);
    m_delete = MakeButton(this, 1286, QStringLiteral("DELETE"), 384, 46, 70);
    m_edit = MakeButton(this, 1287, QStringLiteral("EDIT"), 384, 78, 70);

    m_group[0] = MakeLabel(this, 1289, QStringLiteral("Username :"), 14, 190, 80);
    m_userEdit = MakeEdit(this, 1041, 100, 188, 120);
    m_group[1] = m_userEdit;
    m_group[2] = MakeLabel(this, 1290, QStringLiteral("Password :"), 14, 222, 80);
    m_passwordEdit = MakeEdit(this, 1042, 100, 220, 120);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_group[3] = m_passwordEdit;
    m_group[4] = MakeLabel(this, 1292, QStringLiteral("Life time :"), 236, 190, 80);
    m_lifeCombo = MakeCombo(this, 1291, 320, 188, 130);
    m_group[5] = m_lifeCombo;
    m_group[6] = MakeLabel(this, 1293, QStringLiteral("User level :"), 236, 222, 80);
    m_levelCombo = MakeCombo(this, 1294, 320, 220, 130);
    m_group[7] = m_levelCombo;
    m_group[8] = MakeButton(this, 1288, QStringLiteral("OK"), 240, 256, 70);
    m_group[9] = MakeButton(this, 1068, QStringLiteral("EXIT"), 320, 256, 70);
    for (const char* item : kLifeItems) {
        m_lifeCombo->addItem(QString::fromLatin1(item));
    }
    for (const char* item : kLevelItems) {
        m_levelCombo->addItem(QString::fromLatin1(item));
    }
    // Credentials live in 16-byte fields: 15 bytes at most.
    LimitEditBytes(m_userEdit, kCredentialRoom);
    LimitEditBytes(m_passwordEdit, kCredentialRoom);

    connect(m_add, &QPushButton::clicked, this, &AccountPropertyPage::OnAdd);
    connect(m_delete, &QPushButton::clicked, this, &AccountPropertyPage::OnDelete);
    connect(m_edit, &QPushButton::clicked, this, &AccountPropertyPage::OnEdit);
    connect(static_cast<QPushButton*>(m_group[8]), &QPushButton::clicked, this,
            &AccountPropertyPage::OnOk);
    connect(static_cast<QPushButton*>(m_group[9]), &QPushButton::clicked, this,
            &AccountPropertyPage::OnExit);
    OnInitDialog();
    connect(m_maxUsersEdit, &QLineEdit::textChanged, this, &AccountPropertyPage::OnChangeMaxUsers);
    connect(m_maxUsersEdit, &QLineEdit::textEdited, this, [this] { m_maxUsersTyped = true; });
    connect(m_userEdit, &QLineEdit::textChanged, this, &AccountPropertyPage::OnChangeUserName);
    connect(m_passwordEdit, &QLineEdit::textChanged, this, &AccountPropertyPage::OnChangePassword);
}

QString AccountPropertyPage::LevelText(int index) const {
    constexpr std::array<unsigned, 4> kTexts{3011, 8332, 3012, 3013};
    return index >= 0 && index < 4 ? Text(kTexts[static_cast<std::size_t>(index)]) : QString();
}

QString AccountPropertyPage::LifeTimeText(int index) const {
    switch (index) {
        case 0:
            return QStringLiteral("1  %1").arg(Text(3021));
        case 1:
            return QStringLiteral("5  %1").arg(Text(3021));
        case 2:
            return QStringLiteral("10 %1").arg(Text(3021));
        case 3:
            return Text(3020);
        case 4:
            return Text(3019);
        case 5:
            return Text(3018);
        default:
            return {};
    }
}

int AccountPropertyPage::LevelIndexOf(std::uint16_t level) {
    switch (level) {
        case 10:
            return 2;
        case 20:
            return 1;
        case 30:
            return 0;
        default:
            return 3;
    }
}

int AccountPropertyPage::LifeIndexOf(std::uint32_t minutes) {
    for (std::size_t i = 0; i + 1 < kLifeMinutes.size(); ++i) {
        if (kLifeMinutes[i] == minutes) {
            return static_cast<int>(i);
        }
    }
    return 5;
}

void AccountPropertyPage::OnInitDialog() {
    ShowEditGroup(false);
    const auto& secure = m_sheet.Sender().config().secure;
    // A stored number the page cannot take (0, or above the five records the
    // page and the section hold) is said so and shown as the edit's own rule
    // makes it; the device keeps its number until the operator types one.
    m_deviceMaxUsers = ReadByte(secure, SECURE::MaxUsers);
    m_maxUsersTyped = false;
    if (m_deviceMaxUsers == 0 || m_deviceMaxUsers > kRecords) {
        ShowMessage(kMaxUsersRangeText);
        m_maxUsers = m_deviceMaxUsers == 0 ? kMaxUsersForZero : kRecords;
    } else {
        m_maxUsers = m_deviceMaxUsers;
    }
    m_shownMaxUsers = m_maxUsers;
    m_rowCount = 0;
    m_records = {};
    for (std::size_t a = 0; a < SECURE::kSlots; ++a) {
        const std::string user = ReadText(secure, SECURE::UserName.At(a));
        if (user.empty()) {
            continue;
        }
        AccountEditRecord& record = m_records[static_cast<std::size_t>(m_rowCount)];
        record.used = true;
        record.level = ReadByte(secure, SECURE::Level.At(a));
        record.lifeTime = ReadU32(secure, SECURE::LifeTime.At(a));
        record.user = user;
        record.password = ReadText(secure, SECURE::Password.At(a));
        QString level;
        switch (record.level) {
            case 0:
                level = Text(3013);
                break;
            case 10:
                level = Text(3012);
                break;
            case 20:
                level = Text(8332);
                break;
            default:
                level = Text(3011);
                break;
        }
        QString life;
        switch (record.lifeTime) {
            case 0xFFFFFFFFu:
                life = Text(3018);
                break;
            case 1440:
                life = Text(3019);
                break;
            case 60:
                life = Text(3020);
                break;
            default:
                life = QStringLiteral("%1 %2").arg(record.lifeTime).arg(Text(3021));
                break;
        }
        m_list->addTopLevelItem(new QTreeWidgetItem({Qs(user), level, life}));
        ++m_rowCount;
    }
    m_ownAccount = false;
    m_maxUsersEdit->setText(QString::number(m_maxUsers));
}

void AccountPropertyPage::ShowEditGroup(bool show) {
    m_groupOpen = show;
    for (QWidget* w : m_group) {
        w->setVisible(show);
        w->setEnabled(show);
    }
    for (QPushButton* b : {m_add, m_delete, m_edit}) {
        b->setEnabled(!show);
    }
}

void AccountPropertyPage::ClearEditGroup() {
    m_lifeCombo->setCurrentIndex(-1);
    m_levelCombo->setCurrentIndex(-1);
    m_userEdit->clear();
    m_passwordEdit->clear();
}

void AccountPropertyPage::OnAdd() {
    if (static_cast<int>(m_maxUsers) - 1 < m_rowCount) {
        ShowMessage(kAddFailedText);
        return;
    }
    ShowEditGroup(true);
    ClearEditGroup();
    m_mode = 0;
    m_sheet.DisableButtons();
}

void AccountPropertyPage::OnEdit() {
    if (m_rowCount == 0) {
        ShowMessage(kNothingToEditText);
    }
    QTreeWidgetItem* item = m_list->currentItem();
    const int row = item != nullptr ? m_list->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= m_rowCount || !item->isSelected()) {
        ShowMessage(kSelectToEditText);
        return;
    }
    const AccountEditRecord& record = m_records[static_cast<std::size_t>(row)];
    m_ownAccount = SameIgnoringCase(record.user, LoginUser());
    ShowEditGroup(true);
    m_levelCombo->setCurrentIndex(LevelIndexOf(record.level));
    m_lifeCombo->setCurrentIndex(LifeIndexOf(record.lifeTime));
    m_passwordEdit->setText(Qs(record.password));
    m_userEdit->setText(Qs(record.user));
    m_mode = 1;
    m_list->setEnabled(false);
    m_sheet.DisableButtons();
}

void AccountPropertyPage::OnOk() {
    ShowEditGroup(false);
    const std::string user = Std(m_userEdit->text());
    const std::string password = Std(m_passwordEdit->text());
    int level = m_levelCombo->currentIndex();
    const int life = m_lifeCombo->currentIndex();
    const bool incomplete = user.empty() || password.empty() || level < 0 || life < 0;
    const auto taken = [&](int except) {
        for (int i = 0; i < static_cast<int>(kRecords); ++i) {
            const AccountEditRecord& r = m_records[static_cast<std::size_t>(i)];
            if (i != except && r.used && r.user == user) {
                return true;
            }
        }
        return false;
    };
    if (m_mode == 1) {
        QTreeWidgetItem* item = m_list->currentItem();
        const int row = item != nullptr ? m_list->indexOfTopLevelItem(item) : -1;
        m_list->setEnabled(true);
        m_sheet.EnableButtons();
        if (incomplete || row < 0 || row >= m_rowCount) {
            ShowMessage(kEditFailedText);
            return;
        }
        if (!IsQuerySafe(user) || !IsQuerySafe(password)) {
            platform::ShowMessageBox(0, kCredentialRefusedText);
            return;
        }
        if (taken(row)) {
            ShowMessage(kUserExistsText);
            return;
        }
        AccountEditRecord& record = m_records[static_cast<std::size_t>(row)];
        if (m_ownAccount) {
            // The logged-in account keeps its level.
            level = LevelIndexOf(record.level);
        } else {
            record.level = kLevels[static_cast<std::size_t>(level)];
        }
        record.lifeTime = kLifeMinutes[static_cast<std::size_t>(life)];
        if (m_ownAccount) {
            // The client logs in with these only once the device has them.
            m_ownCredentials = std::pair{user, password};
        }
        record.user = user;
        record.password = password;
        item->setText(0, Qs(user));
        item->setText(1, LevelText(level));
        item->setText(2, LifeTimeText(life));
        m_changed = true;
        m_ownAccount = false;
        return;
    }
    m_sheet.EnableButtons();
    if (incomplete) {
        ShowMessage(kAddFailedText);
        return;
    }
    if (!IsQuerySafe(user) || !IsQuerySafe(password)) {
        platform::ShowMessageBox(0, kCredentialRefusedText);
        return;
    }
    if (taken(-1)) {
        ShowMessage(kUserExistsText);
        return;
    }
    // Five records, no sixth.
    if (m_rowCount >= static_cast<int>(kRecords)) {
        ShowMessage(kAccountMemoryText);
        return;
    }
    if (static_cast<int>(m_maxUsers) - 1 < m_rowCount) {
        ShowMessage(kAddFailedText);
        return;
    }
    m_list->addTopLevelItem(new QTreeWidgetItem({Qs(user), LevelText(level), LifeTimeText(life)}));
    AccountEditRecord& record = m_records[static_cast<std::size_t>(m_rowCount)];
    record.level = kLevels[static_cast<std::size_t>(level)];
    record.lifeTime = kLifeMinutes[static_cast<std::size_t>(life)];
    record.user = user;
    record.password = password;
    record.used = true;
    ++m_rowCount;
    m_changed = true;
}

void AccountPropertyPage::OnDelete() {
    if (m_rowCount == 0) {
        ShowMessage(kNothingToDeleteText);
    }
    QTreeWidgetItem* item = m_list->currentItem();
    const int row = item != nullptr ? m_list->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= m_rowCount || !item->isSelected()) {
        ShowMessage(kSelectToDeleteText);
        return;
    }
    if (SameIgnoringCase(m_records[static_cast<std::size_t>(row)].user, LoginUser())) {
        ShowMessage(kOwnAccountText);
        return;
    }
    delete m_list->takeTopLevelItem(row);
    // Close the gap: records after the row move up one; the last is free.
    for (std::size_t i = static_cast<std::size_t>(row); i + 1 < kRecords; ++i) {
        m_records[i] = m_records[i + 1];
    }
    m_records[kRecords - 1] = {};
    --m_rowCount;
    m_changed = true;
}

void AccountPropertyPage::OnExit() {
    ShowEditGroup(false);
    ClearEditGroup();
    m_list->setEnabled(true);
    m_ownAccount = false;
    m_sheet.EnableButtons();
}

void AccountPropertyPage::OnChangeMaxUsers() {
    std::string text = Std(m_maxUsersEdit->text());
    if (text.empty()) {
        return;
    }
    FilterDigits(text, 1);
    if (text.empty()) {
        SetEditText(m_maxUsersEdit, QString());
        return;
    }
    const unsigned long long value = text.size() > 6 ? 1000000 : std::stoull(text);
    if (value > kRecords) {
        ShowMessage(kMaxUsersRangeText);
        m_maxUsers = kRecords;
    } else if (value == 0) {
        ShowMessage(kMaxUsersRangeText);
        m_maxUsers = kMaxUsersForZero;
    } else {
        m_maxUsers = static_cast<std::uint32_t>(value);
    }
    SetEditText(m_maxUsersEdit, QString::number(m_maxUsers));
}

void AccountPropertyPage::OnChangeUserName() {
    if (!m_userEdit->text().isEmpty()) {
        SetEditText(m_userEdit, Qs(WithoutBlanks(m_userEdit->text())));
    }
}

void AccountPropertyPage::OnChangePassword() {
    if (!m_passwordEdit->text().isEmpty()) {
        SetEditText(m_passwordEdit, Qs(WithoutBlanks(m_passwordEdit->text())));
    }
}

bool AccountPropertyPage::OnKillActive() {
    if (m_maxUsersEdit->text().isEmpty()) {
        ShowMessage(kMaxUsersEmptyText);
        return false;
    }
    if (m_groupOpen) {
        OnExit();
    }
    return true;
}

AccountPageValues AccountPropertyPage::TakePageValues() {
    AccountPageValues values;
    values.slotsChanged = m_changed;
    values.accounts = m_records;
    const bool operatorsOwn = m_maxUsersTyped || m_maxUsers != m_shownMaxUsers;
    values.maxUsers = operatorsOwn ? static_cast<std::uint8_t>(m_maxUsers) : m_deviceMaxUsers;
    if (g_lpApp != nullptr) {
        g_lpApp->AccountEdit = m_records;
    }
    m_ownCredentialsTaken = m_ownCredentials;
    return values;
}

void AccountPropertyPage::OnPageSaved() {
    // APPLY sent the accounts: the client's next login uses what the device
    // now holds for the logged-in account.
    if (m_ownCredentialsTaken && g_lpApp != nullptr) {
        g_lpApp->CSettingINI.m_strUserName.Set(m_ownCredentialsTaken->first);
        g_lpApp->CSettingINI.m_strPassword.Set(m_ownCredentialsTaken->second);
        if (m_ownCredentials == m_ownCredentialsTaken) {
            m_ownCredentials.reset();
        }
    }
    m_ownCredentialsTaken.reset();
}
