#include "config/sheet/my_system_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"
#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "platform/clock.h"

using namespace cfg;

namespace {

constexpr unsigned kPppoeNeedsDdnsText = 4101;
constexpr unsigned kSendTimeoutText = 4064;
// The device needs a moment to take a new address or port before the
// client turns to it.
constexpr std::chrono::milliseconds kNetworkSettleTime{3000};

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A button rectangle from floating-point place and size: each part is cut
// to its integer part on its own.
QRect ButtonRect(double x, double y, double w, double h) {
    const int left = static_cast<int>(std::trunc(x));
    const int top = static_cast<int>(std::trunc(y));
    return QRect(left, top, static_cast<int>(std::trunc(w)), static_cast<int>(std::trunc(h)));
}

void MakeFolder(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directory(path, error);  // existing or failing: no matter
}

SheetOpeningHook& OpeningHook() {
    static SheetOpeningHook hook;
    return hook;
}

}  // namespace

void SetSheetOpeningHook(SheetOpeningHook hook) {
    OpeningHook() = std::move(hook);
}

MySystemDialog::MySystemDialog(const QString& caption, QWidget* parent, SystemConfigStruct& config,
                               DeviceIdentity device, SectionSet read, int /*firstPage*/)
    : CTreePropSheet(caption, parent, device.productId),
      m_device(device),
      m_sender(config, std::move(device), read),
      m_routines(m_sender, m_read) {
    // No close box: the sheet ends through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetTreeMode(true);
    AddPagesForProduct();
}

MySystemDialog::~MySystemDialog() {
    if (g_lpApp != nullptr) {
        g_lpApp->f_ConfigDialogOpen.exchange(0);
    }
}

int MySystemDialog::AddPagesForProduct() {
    if (const SheetOpeningHook& hook = OpeningHook()) {
        hook();
    }
    const bool linkedDvr = g_lpApp != nullptr && g_lpApp->C_ControlD.HasLinkedDvr() != 0;
    m_pageIds = PagesForProduct(m_device.productId, linkedDvr);
    for (const SheetPageId id : m_pageIds) {
        const std::string_view caption = PageEntry(id).caption;
        AddPage(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                [this, id]() -> QWidget* {
                    if (const SheetPageFactory factory = SheetPageFactoryFor(id)) {
                        if (QWidget* page = factory(*this)) {
                            return page;
                        }
                    }
                    return new QWidget();  // no factory: an empty frame
                });
    }
    m_read.rs485Changed = false;
    m_read.peripheralChanged = false;
    return 1;
}

void MySystemDialog::OnInitDialog(const QRect& mainWindow, const QRect& workArea) {
    // The read values come first: the first page is built by the sheet's
    // set-up and may already look at them.
    if (!m_readTaken) {
        const std::uint16_t width = g_lpApp != nullptr ? g_lpApp->w_ImageWidth.load() : 0;
        const std::uint16_t height = g_lpApp != nullptr ? g_lpApp->w_ImageHeight.load() : 0;
        const bool rs485 = m_read.rs485Changed;
        const bool peripheral = m_read.peripheralChanged;
        m_read = LoadReadValues(m_sender.config(), m_device, width, height);
        m_read.rs485Changed = rs485;
        m_read.peripheralChanged = peripheral;
        m_readTaken = true;
    }
    const float scale = g_lpApp != nullptr ? g_lpApp->fl_DpiScale : 1.0f;
    InitSheet(mainWindow, workArea, scale);
    PublishSheetProgressBlock(ProgressBlock());
    CreateButtons();
}

void MySystemDialog::CreateButtons() {
    const double s = g_lpApp != nullptr ? g_lpApp->fl_DpiScale : 1.0;
    const double w = width();
    const double h = height();
    const auto make = [&](unsigned id, double x) {
        auto* button = new QPushButton(Text(id), this);
        button->setObjectName(QString::number(id));
        button->setProperty("controlId", static_cast<int>(id));
        button->setGeometry(ButtonRect(x, h - 27 * s, 80 * s, 22 * s));
        button->setAutoDefault(false);
        button->show();
        return button;
    };
    m_exit = make(kSheetExitId, w - 340 * s);
    connect(m_exit, &QPushButton::clicked, this, &MySystemDialog::OnClickOK);
    const bool server = m_device.IsQ3A2() || m_device.IsQ9C0();
    if (m_device.IsDvr() || m_device.IsQ7B() || server) {
        m_apply = make(kSheetApplyId, w - 100 * s);
        connect(m_apply, &QPushButton::clicked, this, &MySystemDialog::OnClickApply);
    }
    if (server) {
        m_reboot = make(kSheetRebootId, w - 220 * s);
        connect(m_reboot, &QPushButton::clicked, this, &MySystemDialog::OnClickReboot);
    }
}

int MySystemDialog::DisableButtons() {
    for (QPushButton* button : {m_exit, m_apply, m_reboot}) {
        if (button != nullptr) {
            button->setEnabled(false);
        }
    }
    return 1;
}

int MySystemDialog::EnableButtons() {
    for (QPushButton* button : {m_exit, m_apply, m_reboot}) {
        if (button != nullptr) {
            button->setEnabled(true);
        }
    }
    return 1;
}

int MySystemDialog::PageIndexOf(SheetPageId id) const {
    const auto found = std::find(m_pageIds.begin(), m_pageIds.end(), id);
    return found == m_pageIds.end() ? -1 : static_cast<int>(found - m_pageIds.begin());
}

QWidget* MySystemDialog::PageWindowOf(SheetPageId id) const {
    return PageWindow(PageIndexOf(id));
}

template <class Values>
std::optional<Values> MySystemDialog::TakeValues(SheetPageId id) {
    auto* page = dynamic_cast<SheetPageValues<Values>*>(PageWindowOf(id));
    if (page == nullptr) {
        return std::nullopt;
    }
    return page->TakePageValues();
}

void MySystemDialog::OnClickOK() {
    done(0);
}

void MySystemDialog::OnClickApply() {
    // The page in front takes its controls first, as when it is left: a
    // value it cannot take (an id out of range, an empty edit) keeps the
    // sheet open on it, with nothing sent.
    if (auto* page = dynamic_cast<SheetPage*>(PageWindow(ActivePageIndex()));
        page != nullptr && !page->OnKillActive()) {
        return;
    }
    SystemConfigStruct& config = m_sender.config();
    const auto network = TakeValues<NetworkPageValues>(SheetPageId::kNetwork);
    const auto ddns = TakeValues<DdnsPageValues>(SheetPageId::kDdns);
    const int ipType = network ? network->ipType : ReadByte(config.ip, IP::IpType);
    const int ddnsEnable = ddns ? ddns->enable : ReadByte(config.smtp, SMTP::DdnsEnable);
    if (ipType == 1 && ddnsEnable == 0) {
        ShowMessage(kPppoeNeedsDdnsText);
        return;
    }
    const bool server = m_device.IsQ3A2() || m_device.IsQ9C0();
    const auto account = TakeValues<AccountPageValues>(SheetPageId::kAccount);
    const auto mail = TakeValues<MailPageValues>(SheetPageId::kMail);
    const auto ftp = TakeValues<FtpPageValues>(SheetPageId::kFtp);
    const auto sntp =
        server ? TakeValues<SntpPageValues>(SheetPageId::kSntp) : std::optional<SntpPageValues>();
    auto general = TakeValues<GeneralPageValues>(SheetPageId::kGeneral);
    if (!m_device.IsDvr() && !m_device.IsQ3A2()) {
        general.reset();  // its texts are for these families only
    }
    // Texts that do not fit their fields are refused before anything is sent.
    const auto networkSaved = m_device.IsQ7B() ? std::optional<NetworkPageValues>() : network;
    if (!TextsFit(SheetPageId::kNetwork, networkSaved) ||
        !TextsFit(SheetPageId::kAccount, account) || !TextsFit(SheetPageId::kMail, mail) ||
        !TextsFit(SheetPageId::kFtp, ftp) || !TextsFit(SheetPageId::kDdns, ddns) ||
        !TextsFit(SheetPageId::kSntp, sntp) || !TextsFit(SheetPageId::kGeneral, general)) {
        return;
    }

    // Each routine shows its own failure; the sequence goes on.
    m_sender.ClearFailures();
    if (account && m_routines.SaveAccount(*account) != 0) {
        if (auto* page = dynamic_cast<SheetSavedPage*>(PageWindowOf(SheetPageId::kAccount))) {
            page->OnPageSaved();
        }
    }
    if (const auto v = TakeValues<AlarmPageValues>(SheetPageId::kAlarm)) {
        m_routines.SaveAlarm(*v);
    }
    if (mail) {
        m_routines.SaveMail(*mail);
    }
    if (ftp) {
        m_routines.SaveFtp(*ftp);
    }
    if (const auto v = TakeValues<DevicePageValues>(SheetPageId::kDevice)) {
        m_routines.SaveDevice(*v);
    }
    if (const auto v = TakeValues<InPlacePageValues>(SheetPageId::kDetection)) {
        m_routines.SaveDetection(*v);
    }
    if (const auto v = TakeValues<InPlacePageValues>(SheetPageId::kCamera)) {
        m_routines.SaveCamera(*v);
    }
    if (ddns) {
        m_routines.SaveDdns(*ddns);
    }
    if (server) {
        if (const auto v = TakeValues<PeripheralPageValues>(SheetPageId::kPeripheral)) {
            m_routines.SavePeripheral(*v);
        }
        if (sntp) {
            m_routines.SaveSntp(*sntp);
        }
    }
    if (general) {
        m_routines.SaveGeneral(*general);
    }
    if (m_device.IsDvr()) {
        if (const auto v = TakeValues<TimerPageValues>(SheetPageId::kTimerRecord)) {
            m_routines.SaveTimerRecord(*v);
        }
        for (const SheetPageId id : {SheetPageId::kDate, SheetPageId::kRecordSetting}) {
            if (auto* page = dynamic_cast<SheetCommandPage*>(PageWindowOf(id))) {
                page->SaveToDevice();
            }
        }
    }
    if (networkSaved && m_routines.SaveNetwork(*networkSaved) != 0) {
        platform::Sleep(kNetworkSettleTime);
    }

    StoreLocalSettings();
    if (m_read.peripheralChanged) {
        RebuildPeripheralDevices();
    }
    if (m_read.rs485Changed) {
        RebuildRs485Devices();
    }
    // A failed send keeps the sheet open with everything the operator typed;
    // the next APPLY sends what did not go through.
    if (m_sender.AnyFailed()) {
        return;
    }
    done(3);
}

template <class Values>
bool MySystemDialog::TextsFit(SheetPageId id, const std::optional<Values>& values) {
    if (!values) {
        return true;
    }
    const std::vector<TextToWrite> texts = m_routines.Texts().Of(*values);
    const auto beyond = FirstTextBeyondRoom(texts);
    if (!beyond) {
        return true;
    }
    // The page comes to the front behind the refusal, to be corrected there.
    SetActivePage(PageIndexOf(id));
    RefuseText(*beyond);
    return false;
}

void MySystemDialog::StoreLocalSettings() {
    if (g_lpApp == nullptr) {
        return;
    }
    AppGlobalState& app = *g_lpApp;
    CSettingINI& settings = app.CSettingINI;
    settings.m_strRecordPath = m_local.recordPath;
    settings.m_strSnapshotPath = m_local.snapshotPath;
    settings.m_strTriggerWavPath = m_local.triggerWavPath;
    settings.m_byAlarmTriggerRecord = m_local.alarmTriggerRecord;
    settings.m_byAlarmAutoSwitchVideo = m_local.alarmAutoSwitch;
    // A list without a selection (-1) must not make the step 0.
    app.b_TurboRepeatStep = static_cast<std::uint8_t>(std::clamp(m_local.turboIndex + 1, 1, 255));
    if (const auto backup = TakeValues<NetworkBackupLocalValues>(SheetPageId::kNetworkBackup)) {
        settings.m_dwDynamicDownloadOption = backup->dynamicDownload;
        if (backup->folderChanged) {
            settings.m_strNetworkFileDirectory = backup->folder;
        }
    }
    MakeFolder(m_local.recordPath);
    MakeFolder(m_local.snapshotPath);
    if (const auto search = TakeValues<SearchListLocalValues>(SheetPageId::kSearchList)) {
        if (search->typeChanged) {
            settings.m_bySearchListType = search->listType;
        }
        if (search->hddChanged) {
            settings.m_wSearchListHDD = search->hdd;
        }
        if (search->maxNumberChanged) {
            settings.m_wSearchListMaxNumber = search->maxNumber;
        }
    }
}

void MySystemDialog::RebuildPeripheralDevices() {
    if (g_lpApp == nullptr) {
        return;
    }
    const auto& peri = m_sender.config().peri;
    CControlDevice& devices = g_lpApp->C_ControlD;
    devices.Reset();
    devices.AddDevice(ReadU32(peri, PERI::Baud1), ReadByte(peri, PERI::Id1),
                      ReadByte(peri, PERI::Model1), kDeviceMaster);
    devices.AddDevice(ReadU32(peri, PERI::Baud2), ReadByte(peri, PERI::Id2),
                      ReadByte(peri, PERI::Model2), kDeviceMaster);
    devices.MakeCurrent(kDeviceMaster,
                        g_lpApp->CSettingINI.m_bySelectedChannel.load() == 1 ? 0 : 1);
    LiveView().ChangeItemPositionForDeviceModified();
}

void MySystemDialog::RebuildRs485Devices() {
    if (g_lpApp == nullptr) {
        return;
    }
    const auto& rs485 = m_sender.config().rs485;
    CControlDevice& devices = g_lpApp->C_ControlD;
    const bool wasMaster = devices.IsCurrentMaster() != 0;
    const int number = devices.GetCurrentIndexOfKind();
    const auto typeOf = [&](std::size_t ch) -> std::uint8_t {
        const bool ptz = ReadByte(rs485, RS485::DeviceType.At(ch)) == 1;
        if (ptz && ReadByte(rs485, RS485::Protocol.At(ch)) == 1) {
            return 18;
        }
        return ptz ? 11 : 0;
    };
    if (IsMultiChannel() != 0) {
        const std::uint8_t masterType = devices.GetMasterType(0);
        devices.Reset();
        devices.AddDevice(0, 0, masterType, kDeviceMaster);
        for (std::size_t ch = 0; ch < RS485::kChannels; ++ch) {
            devices.AddDevice(ReadU32(rs485, RS485::BaudRate.At(ch)),
                              ReadByte(rs485, RS485::DeviceId.At(ch)), typeOf(ch), kDeviceMaster);
        }
        devices.MakeCurrent(kDeviceMaster, number);
    } else {
        devices.KeepMasterDevices();
        for (std::size_t ch = 0; ch < RS485::kChannels; ++ch) {
            devices.AddDevice(ReadU32(rs485, RS485::BaudRate.At(ch)),
                              ReadByte(rs485, RS485::DeviceId.At(ch)), typeOf(ch), kDeviceSlave);
        }
        if (!wasMaster) {
            const std::uint8_t slaveType = devices.GetSlaveType(static_cast<std::uint8_t>(number));
            if (slaveType == 11 || slaveType == 18) {
                devices.MakeCurrent(kDeviceSlave, number);
            } else {
                // PTZ control goes off with the camera it steered.
                LiveView().ResetPtzControlButton();
                devices.MakeCurrent(kDeviceMaster, 0);
            }
        }
    }
    LiveView().ChangeItemPositionForDeviceModified();
}

void MySystemDialog::OnClickReboot() {
    CCgiUrl url(CgiCommand::kReboot);
    url.AddSessionCookie(g_szSessionCookie.Get());
    if (TirelSendCommand(CgiCommand::kReboot, url.GetUrlBuffer(), {}, nullptr, {}, nullptr, 15, 15,
                         0) == 0) {
        ShowMessage(kSendTimeoutText);
    }
}

int MySystemDialog::OnShowBackupPage() {
    SetActivePage(PageIndexOf(SheetPageId::kNetworkBackup));
    return 0;
}

int MySystemDialog::OnSaveSntp() {
    if (const auto v = TakeValues<SntpPageValues>(SheetPageId::kSntp)) {
        m_routines.OnSaveSntp(*v);
    }
    return 0;
}

void MySystemDialog::done(int result) {
    m_endResult = result;
    if (g_lpApp != nullptr) {
        g_lpApp->f_ConfigDialogOpen.exchange(0);
    }
    CTreePropSheet::done(result);
}

void MySystemDialog::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                         std::uint64_t lParam) {
    switch (message) {
        case WM_SHOWBACKUPPAGE:
            OnShowBackupPage();
            break;
        case WM_SAVESNTP:
            OnSaveSntp();
            break;
        default:
            CTreePropSheet::HandleWindowMessage(message, wParam, lParam);
            break;
    }
}

void MySystemDialog::closeEvent(QCloseEvent* event) {
    if (isVisible()) {
        done(0);
    }
    event->accept();
}

void MySystemDialog::keyPressEvent(QKeyEvent* event) {
    // The sheet's standard Cancel button is gone: Esc does not end it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    CTreePropSheet::keyPressEvent(event);
}
