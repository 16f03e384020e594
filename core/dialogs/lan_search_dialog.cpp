#include "core/dialogs/lan_search_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <sstream>

#include "core/application/string_table.h"
#include "core/net/blocking_socket.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace {

constexpr auto kSearchThreadStop = std::chrono::milliseconds(30);
constexpr auto kTitleTimerPeriod = std::chrono::milliseconds(300);
constexpr unsigned kSearchWordsText = 3028;
constexpr std::string_view kPreviousText = "PREVIOUS";
constexpr std::string_view kBadAddressText = "IP Address is wrong.";

constexpr int kAddressMaxLength = 16;
constexpr int kMacMaxLength = 18;
constexpr int kPortMaxLength = 5;

enum Column { kIpColumn, kMacColumn, kPortColumn, kDeviceColumn, kPreviousColumn, kColumnCount };

struct ColumnLayout {
    unsigned textId;
    int width;
};
constexpr ColumnLayout kColumns[kColumnCount] = {
    {3022, 120}, {3023, 130}, {3024, 60}, {3025, 100}, {3026, 90},
};

// The boxes that report a device's answer, by its result code.
struct ResultMessages {
    unsigned done;
    unsigned wrongCredentials;
    unsigned notStatic;
    unsigned failed;

    unsigned For(std::uint8_t result) const {
        switch (result) {
            case kResultDone:
                return done;
            case kResultWrongCredentials:
                return wrongCredentials;
            case kResultNotStatic:
                return notStatic;
            default:
                return failed;
        }
    }
};
constexpr ResultMessages kApplyMessages{4005, 4081, 4102, 4004};
constexpr ResultMessages kResetMessages{4062, 4081, 4102, 4061};

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

QLineEdit* AddressEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(kAddressMaxLength);
    return edit;
}

}  // namespace

// ------------------------------------------------------- CConfirmAuthorityDialog

CConfirmAuthorityDialog::CConfirmAuthorityDialog(QWidget* parent)
    : QDialog(parent), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Confirm Authority"));
    m_user->setMaxLength(static_cast<int>(kCredentialMaxLength));
    m_password->setMaxLength(static_cast<int>(kCredentialMaxLength));
    m_password->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(ToQt(LoadText(1040)), m_user);
    form->addRow(ToQt(LoadText(1043)), m_password);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("CANCEL"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::string CConfirmAuthorityDialog::UserName() const {
    return FromQt(m_user->text());
}

std::string CConfirmAuthorityDialog::Password() const {
    return FromQt(m_password->text());
}

// ----------------------------------------------------------- CDeviceSearchDialog

CDeviceSearchDialog::CDeviceSearchDialog(QWidget* parent)
    : CDeviceSearchDialog(Options{}, parent) {}

CDeviceSearchDialog::CDeviceSearchDialog(Options options, QWidget* parent)
    : QDialog(parent),
      m_options(std::move(options)),
      m_list(new QTreeWidget(this)),
      m_serverIp(AddressEdit(this)),
      m_mac(new QLineEdit(this)),
      m_mask(AddressEdit(this)),
      m_gateway(AddressEdit(this)),
      m_dns(AddressEdit(this)),
      m_webPort(new QLineEdit(this)),
      m_searchAgain(new QPushButton(QStringLiteral("SEARCH AGAIN"), this)),
      m_apply(new QPushButton(QStringLiteral("APPLY"), this)),
      m_reset(new QPushButton(QStringLiteral("RESET DEFAULT"), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_titleTimer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("SEARCH"));

    std::istringstream words{std::string(LoadText(kSearchWordsText))};
    words >> m_strSearchingWord >> m_strStoppedWord;

    m_list->setColumnCount(kColumnCount);
    QStringList headers;
    for (const ColumnLayout& column : kColumns) {
        headers << ToQt(LoadText(column.textId));
    }
    m_list->setHeaderLabels(headers);
    for (int i = 0; i < kColumnCount; ++i) {
        m_list->setColumnWidth(i, kColumns[i].width);
    }
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { OnSelectionChanged(); });

    m_mac->setMaxLength(kMacMaxLength);
    m_mac->setReadOnly(true);
    m_webPort->setMaxLength(kPortMaxLength);
    m_webPort->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_webPort));

    connect(m_searchAgain, &QPushButton::clicked, this, [this] { OnSearchAgain(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_reset, &QPushButton::clicked, this, [this] { OnResetDefault(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOK(); });
    m_ok->setDefault(true);

    m_titleTimer->setInterval(kTitleTimerPeriod);
    connect(m_titleTimer, &QTimer::timeout, this, [this] { OnTitleTimer(); });

    auto* listBox = new QGroupBox(QStringLiteral("Device List"), this);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->addWidget(m_list);

    auto* detailBox = new QGroupBox(QStringLiteral("Detail Info"), this);
    auto* form = new QFormLayout(detailBox);
    form->addRow(QStringLiteral("Server IP :"), m_serverIp);
    form->addRow(QStringLiteral("Mac Address :"), m_mac);
    form->addRow(QStringLiteral("Net Mask :"), m_mask);
    form->addRow(QStringLiteral("Gateway :"), m_gateway);
    form->addRow(QStringLiteral("DNS Server :"), m_dns);
    form->addRow(QStringLiteral("Web Port :"), m_webPort);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_searchAgain, m_apply, m_reset, m_ok}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listBox, 3);
    layout->addWidget(detailBox, 2);
    layout->addLayout(buttons);
    resize(540, 520);

    m_handle = platform::RegisterWindow(this);
}

CDeviceSearchDialog::~CDeviceSearchDialog() {
    platform::UnregisterWindow(m_handle);
    StopSearchThread();
}

int CDeviceSearchDialog::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this);
}

void CDeviceSearchDialog::OnInitDialog() {
    if (m_options.refreshHostIp) {
        g_strHostIP.Set(GetLocalIPText());
    }
    StartSearch();
}

void CDeviceSearchDialog::SetControlsEnabled(bool enabled) {
    m_list->setEnabled(enabled);
    for (QPushButton* button : {m_searchAgain, m_apply, m_ok, m_reset}) {
        button->setEnabled(enabled);
    }
}

void CDeviceSearchDialog::SetFieldsEnabled(bool enabled) {
    for (QLineEdit* field : {m_serverIp, m_mac, m_mask, m_gateway, m_dns, m_webPort}) {
        field->setEnabled(enabled);
    }
}

void CDeviceSearchDialog::OnSearchAgain() {
    StopSearchThread();
    m_list->clear();
    m_Entries.clear();
    {
        std::lock_guard lock(m_mailbox->lock);
        m_mailbox->entries.clear();
    }
    m_iSelectedIndex = -1;
    StartSearch();
}

void CDeviceSearchDialog::StartSearch() {
    StopSearchThread();
    ++m_searchNumber;
    m_bSearching = true;
    SetControlsEnabled(false);
    SetFieldsEnabled(false);
    m_nTitleTicks = 0;
    m_titleTimer->start();

    auto thread = std::make_unique<platform::Thread>();
    const bool started = thread->Start(
        [mailbox = m_mailbox, dialog = m_handle, search = m_searchNumber,
         endpoints = m_options.endpoints, timings = m_options.timings, hostIp = g_strHostIP.Get()] {
            return SearchThread(mailbox, dialog, search, endpoints, timings, hostIp);
        },
        "SearchThread");
    if (started) {
        m_hReceiveThread = std::move(thread);
    } else {
        // Nothing will answer this search; end it as one that could not bind.
        ShowMessage(4006);
        OnSearchEnd(SearchEnd::kBindFailed);
    }
}

void CDeviceSearchDialog::StopSearchThread() {
    if (m_hReceiveThread) {
        m_hReceiveThread->Stop(kSearchThreadStop);
        m_hReceiveThread.reset();
    }
}

std::uint32_t CDeviceSearchDialog::SearchThread(std::shared_ptr<Mailbox> mailbox,
                                                platform::WindowHandle dialog, std::uint64_t search,
                                                LanSearchEndpoints endpoints,
                                                LanSearchTimings timings, std::string hostIp) {
    const SearchEnd end =
        RunDeviceSearch(endpoints, timings, hostIp, [&](const DeviceEntry& entry) {
            {
                std::lock_guard lock(mailbox->lock);
                mailbox->entries.emplace_back(search, entry);
            }
            platform::PostWindowMessage(dialog, WM_SEARCHREPLY, search, 0);
        });
    if (end == SearchEnd::kBindFailed) {
        ShowMessage(4006);  // posted to the GUI thread
    }
    platform::PostWindowMessage(dialog, WM_SEARCHEND, search, static_cast<std::uint64_t>(end));
    return 0;
}

void CDeviceSearchDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                              std::uint64_t lParam) {
    if (message == WM_SEARCHREPLY) {
        std::vector<std::pair<std::uint64_t, DeviceEntry>> arrived;
        {
            std::lock_guard lock(m_mailbox->lock);
            arrived.swap(m_mailbox->entries);
        }
        for (auto& [search, entry] : arrived) {
            if (search == m_searchNumber && m_bSearching) {
                AddEntry(std::move(entry));
            }
        }
    } else if (message == WM_SEARCHEND && wParam == m_searchNumber && m_bSearching) {
        OnSearchEnd(static_cast<SearchEnd>(lParam));
    }
}

void CDeviceSearchDialog::AddEntry(DeviceEntry entry) {
    entry.index = static_cast<std::int32_t>(m_Entries.size());
    ShowSettings(entry.Network());

    bool previous = false;
    if (g_lpApp != nullptr) {
        const CSettingINI& settings = g_lpApp->CSettingINI;
        previous = entry.macBytes[4] == settings.m_wLastConnectionMAC1.load() &&
                   entry.macBytes[5] == settings.m_wLastConnectionMAC2.load();
    }
    auto* item = new QTreeWidgetItem;
    item->setText(kIpColumn, ToQt(entry.ip));
    item->setText(kMacColumn, ToQt(entry.mac));
    item->setText(kPortColumn, QString::number(entry.webPort));
    item->setText(kDeviceColumn, ToQt(DeviceTypeName(entry.type)));
    if (previous) {
        item->setText(kPreviousColumn, ToQt(kPreviousText));
    }
    // Newest on top: row r shows the entry with index count - 1 - r.
    m_list->insertTopLevelItem(0, item);
    m_Entries.push_back(std::move(entry));
}

void CDeviceSearchDialog::ShowSettings(const DeviceNetworkText& settings) {
    m_mac->setText(ToQt(settings.mac));
    m_serverIp->setText(ToQt(settings.ip));
    m_mask->setText(ToQt(settings.mask));
    m_gateway->setText(ToQt(settings.gateway));
    m_dns->setText(ToQt(settings.dns));
    m_webPort->setText(QString::number(settings.webPort));
}

void CDeviceSearchDialog::OnSearchEnd(SearchEnd end) {
    m_bSearching = false;
    m_titleTimer->stop();
    setWindowTitle(ToQt(m_strStoppedWord));
    if (end == SearchEnd::kBindFailed) {
        m_ok->setEnabled(true);
        return;
    }
    SetControlsEnabled(true);
}

void CDeviceSearchDialog::OnTitleTimer() {
    static constexpr std::string_view kDots[] = {".", "..", "...", "...."};
    setWindowTitle(
        QStringLiteral(" %1 %2").arg(ToQt(m_strSearchingWord), ToQt(kDots[m_nTitleTicks % 4])));
    ++m_nTitleTicks;
}

void CDeviceSearchDialog::OnSelectionChanged() {
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int row = m_list->indexOfTopLevelItem(selected.front());
    m_iSelectedIndex = static_cast<int>(m_Entries.size()) - 1 - row;
    const DeviceEntry* entry = SelectedEntry();
    if (entry == nullptr) {
        ShowMessage(4031);
        return;
    }
    ShowSettings(entry->Network());
    UpdateData();
    SetFieldsEnabled(true);
}

const DeviceEntry* CDeviceSearchDialog::SelectedEntry() const {
    if (m_iSelectedIndex < 0 || m_iSelectedIndex >= static_cast<int>(m_Entries.size())) {
        return nullptr;
    }
    return &m_Entries[static_cast<std::size_t>(m_iSelectedIndex)];
}

void CDeviceSearchDialog::UpdateData() {
    m_strServerIP = FromQt(m_serverIp->text());
    m_strMacAddress = FromQt(m_mac->text());
    m_strNetMask = FromQt(m_mask->text());
    m_strGateway = FromQt(m_gateway->text());
    m_strDNSServer = FromQt(m_dns->text());
    // Digits only; an empty field reads as 0 and is refused as a port.
    m_dwWebPort = static_cast<std::uint32_t>(ParseSaturatingInt(FromQt(m_webPort->text())));
}

DeviceNetworkText CDeviceSearchDialog::FieldSettings() const {
    return {m_strMacAddress, m_strServerIP,  m_strNetMask,
            m_strGateway,    m_strDNSServer, m_dwWebPort};
}

bool CDeviceSearchDialog::PrepareDeviceRequest(const DeviceEntry*& entry) {
    // Settings that cannot be right never reach the device.
    switch (CheckDeviceSettings(FieldSettings())) {
        case SettingsCheck::kOk:
            break;
        case SettingsCheck::kBadAddress:
            platform::ShowMessageBox(0, std::string(kBadAddressText));
            return false;
        case SettingsCheck::kBadPort:
            ShowMessage(4054);
            return false;
        case SettingsCheck::kBadMac:
            ShowMessage(4035);
            return false;
    }
    entry = SelectedEntry();
    if (entry == nullptr) {
        ShowMessage(4035);
        return false;
    }
    if (!CanChangeNetwork(entry->type)) {
        ShowMessage(4036);
        return false;
    }
    CConfirmAuthorityDialog confirm(this);
    if (platform::RunModal(confirm) != QDialog::Accepted) {
        return false;
    }
    m_strUserName = confirm.UserName();
    m_strPassword = confirm.Password();
    if (m_strUserName.empty() || m_strUserName.size() > kCredentialMaxLength) {
        ShowMessage(4080);
        return false;
    }
    if (m_strPassword.empty() || m_strPassword.size() > kCredentialMaxLength) {
        ShowMessage(4049);
        return false;
    }
    return true;
}

void CDeviceSearchDialog::ReportExchangeFailure(const ExchangeResult& result) {
    switch (result.status) {
        case ExchangeStatus::kReply:
        case ExchangeStatus::kStopped:
            break;
        case ExchangeStatus::kSocketFailed:
        case ExchangeStatus::kWaitFailed:
            ShowMessage(4014);
            break;
        case ExchangeStatus::kTimedOut:
            ShowMessage(4064);
            break;
        case ExchangeStatus::kReceiveFailed:
            ShowMessage(4059);
            break;
    }
}

void CDeviceSearchDialog::OnApply() {
    if (m_iSelectedIndex == -1) {
        ShowMessage(4044);
        return;
    }
    UpdateData();
    const DeviceEntry* entry = nullptr;
    if (!PrepareDeviceRequest(entry)) {
        return;
    }
    const DeviceNetworkText settings = FieldSettings();
    if (settings == entry->Network()) {
        ShowMessage(4067);
        return;
    }
    const SearchDatagram request =
        BuildDeviceRequest(kSetIpCommand, settings, m_strUserName, m_strPassword);
    const ExchangeResult result =
        ExchangeDeviceRequest(request, m_options.endpoints, m_options.timings.applyWait);
    if (result.status != ExchangeStatus::kReply) {
        ReportExchangeFailure(result);
        return;
    }
    ShowMessage(kApplyMessages.For(result.resultCode));
    if (result.resultCode == kResultDone) {
        // The device now answers at the address and port just sent.
        m_strHandedBackIP = settings.ip;
        m_wHandedBackPort = static_cast<std::uint16_t>(settings.webPort);
        m_nTaken = 1;
    }
}

void CDeviceSearchDialog::OnResetDefault() {
    if (m_iSelectedIndex == -1) {
        ShowMessage(4044);
        return;
    }
    // The request carries the settings of the last data exchange, normally
    // those shown when the entry was selected.
    const DeviceEntry* entry = nullptr;
    if (!PrepareDeviceRequest(entry)) {
        return;
    }
    const SearchDatagram request =
        BuildDeviceRequest(kResetCommand, FieldSettings(), m_strUserName, m_strPassword);
    const ExchangeResult result =
        ExchangeDeviceRequest(request, m_options.endpoints, m_options.timings.resetWait);
    if (result.status != ExchangeStatus::kReply) {
        ReportExchangeFailure(result);
        return;
    }
    // A reset device comes back at its default address, which is not known
    // here: nothing is handed back.
    ShowMessage(kResetMessages.For(result.resultCode));
}

void CDeviceSearchDialog::OnOK() {
    UpdateData();
    if (SelectedEntry() != nullptr) {
        if (m_dwWebPort < 1 || m_dwWebPort > 65535) {
            ShowMessage(4054);
            return;
        }
        m_strHandedBackIP = m_strServerIP;
        m_wHandedBackPort = static_cast<std::uint16_t>(m_dwWebPort);
        m_nTaken = 1;
    }
    accept();
}

void CDeviceSearchDialog::keyPressEvent(QKeyEvent* event) {
    // Escape never ends the search dialog: OK or the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
