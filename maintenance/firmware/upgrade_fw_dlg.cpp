#include "maintenance/firmware/upgrade_fw_dlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <array>
#include <cstring>
#include <thread>

#include "core/application/string_table.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/widgets/dialog_units.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"
#include "platform/stop_token.h"
#include "platform/sync.h"

using namespace maintenance;

namespace {

constexpr std::size_t kVersionReplyBytes = 1024;
constexpr auto kStopBound = std::chrono::milliseconds(10);
constexpr auto kDestroyStopBound = std::chrono::milliseconds(100);

CUpgradeFWDlg::FilePicker& InstalledPicker() {
    static CUpgradeFWDlg::FilePicker picker;
    return picker;
}

std::optional<std::filesystem::path> DefaultPickFile(QWidget* parent,
                                                     const std::filesystem::path& start) {
    const QString chosen =
        QFileDialog::getOpenFileName(parent, QString(), QString::fromStdString(start.string()),
                                     QStringLiteral("Kernel Firmware files (*.BIN *.bin)"));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(chosen.toStdString());
}

std::string FirmwareVersion() {
    return g_lpApp != nullptr ? g_lpApp->str_FWVersion.Get() : std::string();
}

bool PackedUsesNewProtocol() {
    return IsQ3A2() != 0 && CompareVersion("1013", FirmwareVersion()) != 2;
}

bool FolderUsesNewProtocol() {
    return CompareVersion("1070", FirmwareVersion()) != 2;
}

UploadTarget CurrentTarget() {
    UploadTarget target;
    if (g_lpApp != nullptr) {
        target.address = g_lpApp->CSettingINI.m_strServerName;
        target.port = g_lpApp->CSettingINI.m_wWebPort.load();
    }
    target.cookie = g_szSessionCookie.Get();
    target.hostIp = g_strHostIP.Get();
    return target;
}

// Reports an upload to the dialog by posted messages only.
class PostingObserver final : public UploadObserver {
public:
    explicit PostingObserver(platform::WindowHandle window) : m_window(window) {}
    void DisableUpgrade() override { Post(WM_UPGRADEDISABLEBUTTON); }
    void EnableUpgrade() override { Post(WM_UPGRADEENABLEBUTTON); }
    void CloseDialog() override { Post(WM_UPGRADECLOSE); }
    void SetProgress(int percent, bool visible) override {
        platform::PostWindowMessage(m_window, WM_UPGRADEPROGRESS,
                                    static_cast<std::uint64_t>(percent), visible ? 1 : 0);
    }
    void ShowMessage(unsigned textId) override { ::ShowMessage(textId); }

private:
    void Post(std::uint32_t message) { platform::PostWindowMessage(m_window, message, 0, 0); }
    platform::WindowHandle m_window;
};

}  // namespace

CUpgradeFWDlg::CUpgradeFWDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Upgrade Firware"));
    const QFont f = font();
    const auto place = [&](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(DialogUnitsToPixels(f, x, y, width, height));
    };
    const QRect size = DialogUnitsToPixels(f, 0, 0, 198, 82);
    setFixedSize(size.width(), size.height());

    auto* versionCaption = new QLabel(QStringLiteral("Version:"), this);
    place(versionCaption, 7, 9, 40, 10);
    m_versionLabel = new QLabel(this);
    m_versionLabel->setObjectName(QStringLiteral("version"));
    place(m_versionLabel, 50, 9, 140, 10);
    auto* pathCaption = new QLabel(QStringLiteral("File path:"), this);
    place(pathCaption, 7, 26, 40, 10);
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setReadOnly(true);
    place(m_pathEdit, 50, 24, 100, 13);
    m_find = new QPushButton(QStringLiteral("Find..."), this);
    place(m_find, 154, 24, 38, 13);
    m_progress = new QProgressBar(this);
    place(m_progress, 7, 42, 185, 10);
    m_upgrade = new QPushButton(QStringLiteral("Upgrade"), this);
    place(m_upgrade, 40, 60, 50, 14);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    place(m_cancelButton, 108, 60, 50, 14);
    m_board = new QComboBox(this);
    place(m_board, 7, 60, 28, 14);
    m_success = new QPushButton(QStringLiteral("Success"), this);
    place(m_success, 160, 60, 32, 14);

    connect(m_find, &QPushButton::clicked, this, &CUpgradeFWDlg::OnFindButton);
    connect(m_upgrade, &QPushButton::clicked, this, &CUpgradeFWDlg::OnUpgradeButton);
    connect(m_cancelButton, &QPushButton::clicked, this, &CUpgradeFWDlg::OnCancel);
    connect(m_board, &QComboBox::currentIndexChanged, this, &CUpgradeFWDlg::OnSelchangeBoard);
    connect(m_success, &QPushButton::clicked, this, [this] { done(0); });

    if (IsDvrFamily() != 0) {
        m_variant = Variant::kFolder;
    } else if (IsQ3A2() != 0 || IsQ7BFamily() != 0 || IsQ9C0() != 0) {
        m_variant = Variant::kPacked;
    }
    m_hWnd = platform::RegisterWindow(this);
}

CUpgradeFWDlg::~CUpgradeFWDlg() {
    // No message reaches this dialog from here on.
    platform::UnregisterWindow(m_hWnd);
    m_cancel->store(true);
    m_folderThread.Stop(kDestroyStopBound);
    if (m_fileTable) {
        ClearFirmwareFileTable(*m_fileTable);
    }
    // A packed upload owns its image and goes on to its end; it is stopped by
    // the next upload, by a cancel, or when the program ends.
}

void CUpgradeFWDlg::SetTimings(const UploadTimings& timings) {
    *m_timings = timings;
}

void CUpgradeFWDlg::SetFilePicker(FilePicker picker) {
    InstalledPicker() = std::move(picker);
}

UploadProtocol CUpgradeFWDlg::ChosenProtocol() const {
    const bool newer =
        m_variant == Variant::kFolder ? FolderUsesNewProtocol() : PackedUsesNewProtocol();
    return newer ? UploadProtocol::kNew : UploadProtocol::kOld;
}

bool CUpgradeFWDlg::OnInitDialog() {
    m_board->hide();
    m_success->hide();
    m_iBoardIndex = 0;
    m_progress->hide();
    m_progress->setRange(0, 100);
    if (g_lpApp == nullptr) {
        return false;
    }
    CSettingINI& settings = g_lpApp->CSettingINI;
    if (m_variant == Variant::kPacked) {
        m_strFilePath = settings.m_strUpgradeFWPath.Get() + "KERNEL.BIN";
        const std::string version = FirmwareVersion();
        m_strVersion.clear();
        for (std::size_t i = 0; i < version.size() && i < 4; ++i) {
            if (i != 0) {
                m_strVersion += '.';
            }
            m_strVersion += version[i];
        }
    } else if (m_variant == Variant::kFolder) {
        CCgiUrl url(CgiCommand::kGetVersion);
        url.AddSessionCookie(g_szSessionCookie.Get());
        std::array<std::uint8_t, kVersionReplyBytes> reply{};
        std::uint32_t length = 0;
        if (TirelSendCommand(CgiCommand::kGetVersion, url.GetUrlBuffer(), {}, nullptr,
                             std::span(reply).first(kVersionReplyBytes - 1), &length,
                             CommandTimeouts{m_timings->oldSend, m_timings->oldReceive,
                                             m_timings->connect}) == 0) {
            return false;
        }
        // The reply is text up to its first zero byte, never past the buffer.
        const auto* text = reinterpret_cast<const char*>(reply.data());
        m_strVersion.assign(text,
                            strnlen(text, std::min<std::size_t>(length, kVersionReplyBytes - 1)));
        m_strFilePath = settings.m_strUpgradeDVRFWPath.Get();
        m_fileTable = FirmwareFileTableFor(g_lpApp->str_ProductID.Get());
    }
    MembersToControls();
    return true;
}

int CUpgradeFWDlg::DoModal() {
    // A version that cannot be read leaves the texts empty; the dialog still
    // opens, so that the failure is seen and the upgrade can be tried.
    (void)OnInitDialog();
    return platform::RunModal(*this);
}

void RunUpgradeFirmwareDialog() {
    CUpgradeFWDlg dialog(nullptr);
    dialog.DoModal();
}

void CUpgradeFWDlg::MembersToControls() {
    m_versionLabel->setText(QString::fromStdString(m_strVersion));
    m_pathEdit->setText(QString::fromStdString(m_strFilePath));
    m_board->setCurrentIndex(m_iBoardIndex < m_board->count() ? m_iBoardIndex : -1);
}

void CUpgradeFWDlg::ControlsToMembers() {
    m_strVersion = m_versionLabel->text().toStdString();
    m_strFilePath = m_pathEdit->text().toStdString();
    m_iBoardIndex = m_board->count() > 0 ? m_board->currentIndex() : m_iBoardIndex;
}

void CUpgradeFWDlg::OnFindButton() {
    ControlsToMembers();
    if (g_lpApp == nullptr) {
        return;
    }
    CSettingINI& settings = g_lpApp->CSettingINI;
    if (m_variant == Variant::kPacked) {
        const std::string remembered = settings.m_strUpgradeFWPath.Get();
        const std::filesystem::path start =
            remembered == "UnKnown" ? std::filesystem::path() : std::filesystem::path(remembered);
        const FilePicker picker = InstalledPicker() ? InstalledPicker() : DefaultPickFile;
        const auto chosen = picker(this, start);
        if (!chosen || chosen->empty()) {
            return;  // the controls stay as they were
        }
        m_strFilePath = chosen->string();
        const std::size_t slash = m_strFilePath.find_last_of('/');
        settings.m_strUpgradeFWPath =
            slash == std::string::npos ? m_strFilePath : m_strFilePath.substr(0, slash + 1);
    } else if (m_variant == Variant::kFolder) {
        const auto chosen = GetLoginDialogHooks().pickFolder(this, m_strFilePath);
        if (chosen) {
            std::string folder = chosen->string();
            if (folder.size() > 1 && folder.ends_with('/')) {
                folder.pop_back();
            }
            m_strFilePath = folder;
            settings.m_strUpgradeDVRFWPath = folder;
        }
    }
    MembersToControls();
}

void CUpgradeFWDlg::OnUpgradeButton() {
    // Disabled at once: a second press cannot start a second upload while
    // the first is being read in.
    m_upgrade->setEnabled(false);
    const bool started = m_variant == Variant::kPacked   ? OnFwdlgUpgrade()
                         : m_variant == Variant::kFolder ? LoadFirmwareFolder()
                                                         : false;
    if (!started) {
        m_upgrade->setEnabled(true);
    }
}

void CUpgradeFWDlg::StopUpload(std::chrono::milliseconds bound) {
    if (m_variant == Variant::kFolder) {
        m_cancel->store(true);
        m_folderThread.Stop(bound);
        m_cancel->store(false);
    } else if (g_lpApp != nullptr && g_lpApp->h_UpgradeFirmwareThread) {
        g_lpApp->h_UpgradeFirmwareThread->Stop(bound);
        g_lpApp->h_UpgradeFirmwareThread.reset();
    }
}

void CUpgradeFWDlg::StartUpload(std::shared_ptr<const void> keepAlive, UploadPlan plan,
                                bool packed) {
    const UploadTarget target = CurrentTarget();
    const UploadTimings timings = *m_timings;
    const platform::WindowHandle window = m_hWnd;
    const std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
    auto body = [keepAlive = std::move(keepAlive), plan = std::move(plan), target, timings, window,
                 cancel]() -> std::uint32_t {
        PostingObserver observer(window);
        (void)RunFirmwareUpload(
            plan, target, timings, observer, [cancel] { return cancel->load(); },
            platform::CurrentStopToken());
        return 0;
    };
    bool ok = false;
    if (packed) {
        auto thread = std::make_unique<platform::Thread>();
        ok = thread->Start(std::move(body), "fw-upload");
        if (ok) {
            g_lpApp->h_UpgradeFirmwareThread = std::move(thread);
        }
    } else {
        ok = m_folderThread.Start(std::move(body), "fw-upload");
    }
    if (ok) {
        g_lpApp->CSettingINI.SaveToFile(g_lpApp->b_TurboRepeatStep);
    } else {
        m_upgrade->setEnabled(true);
    }
}

bool CUpgradeFWDlg::OnFwdlgUpgrade() {
    if (g_lpApp == nullptr) {
        return false;
    }
    const UploadProtocol protocol = ChosenProtocol();
    auto read = ReadPackedFirmware(m_strFilePath, protocol);
    switch (read.error) {
        case PackedFirmwareError::kNone:
            break;
        case PackedFirmwareError::kOpenFailed:
            ShowMessage(4047);
            return false;
        case PackedFirmwareError::kReadFailed:
        case PackedFirmwareError::kNoRecord:
            ShowMessage(4057);
            return false;
        default:
            platform::ShowMessageBox(4057, std::string(LoadText(4057)) + "\n" +
                                               std::string(PackedFirmwareErrorText(read.error)));
            return false;
    }
    m_progress->setValue(0);
    m_progress->show();
    StopUpload(kStopBound);
    auto image = std::make_shared<const PackedFirmwareImage>(std::move(read.image));
    UploadPlan plan = PackedUploadPlan(*image, protocol);
    StartUpload(image, std::move(plan), true);
    return true;
}

bool CUpgradeFWDlg::LoadFirmwareFolder() {
    if (g_lpApp == nullptr || m_strFilePath.empty()) {
        // No folder chosen yet (the version query failed at start-up and
        // left the path empty): nothing is read from the working folder.
        ShowMessage(4111);
        return false;
    }
    if (!m_fileTable) {
        // The version query failed at start-up; the files are the product's
        // all the same.
        m_fileTable = FirmwareFileTableFor(g_lpApp->str_ProductID.Get());
        if (!m_fileTable) {
            ShowMessage(4111);
            return false;
        }
    }
    // A running upload reads the table: it ends before the table is cleared.
    StopUpload(kStopBound);
    const FirmwareFolderLoad load = LoadFirmwareFiles(m_strFilePath, *m_fileTable);
    m_byLoadedCount = load.loadedCount;
    m_dwTotalLoaded = load.totalBytes;
    if (m_byLoadedCount == 0) {
        ShowMessage(4111);
        return false;
    }
    m_progress->setValue(0);
    m_progress->show();
    UploadPlan plan = FolderUploadPlan(*m_fileTable, ChosenProtocol());
    StartUpload(nullptr, std::move(plan), false);
    return true;
}

void CUpgradeFWDlg::CancelUpgrade() {
    m_progress->setValue(0);
    m_progress->hide();
    StopUpload(kStopBound);
    const bool newer = ChosenProtocol() == UploadProtocol::kNew;
    CCgiUrl url(newer ? CgiCommand::kCancelUpfw : CgiCommand::kUpgradeFw);
    if (!newer) {
        url.AddParam("Upgrade", "Cancel");
    }
    url.AddSessionCookie(g_szSessionCookie.Get());
    (void)TirelSendCommand(
        url.GetCommandIndex(), url.GetUrlBuffer(), {}, nullptr, {}, nullptr,
        CommandTimeouts{m_timings->oldSend, m_timings->oldReceive, m_timings->connect});
    platform::PostWindowMessage(m_hWnd, WM_UPGRADEENABLEBUTTON, 0, 0);
}

void CUpgradeFWDlg::OnCancel() {
    if (m_variant != Variant::kNone) {
        CancelUpgrade();
    }
    m_bEnded = true;
    done(0);
}

void CUpgradeFWDlg::reject() {
    OnCancel();
}

void CUpgradeFWDlg::OnSelchangeBoard() {
    ControlsToMembers();
    static constexpr std::array<const char*, 4> kBoardFiles{"KERNEL.BIN", "BOOT.BIN", "KR087.BIN",
                                                            "KR008.BIN"};
    m_strFilePath =
        g_lpApp != nullptr ? g_lpApp->CSettingINI.m_strUpgradeFWPath.Get() : std::string();
    if (m_iBoardIndex >= 0 && m_iBoardIndex < static_cast<int>(kBoardFiles.size())) {
        m_strFilePath += kBoardFiles[static_cast<std::size_t>(m_iBoardIndex)];
    }
    MembersToControls();
}

void CUpgradeFWDlg::JoinUpload() {
    // Lets the upload end on its own (a stop request would cut it short),
    // then joins it.
    const auto join = [](platform::Thread& thread) {
        while (thread.Running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        thread.Stop(platform::kInfinite);
    };
    join(m_folderThread);
    if (g_lpApp != nullptr && g_lpApp->h_UpgradeFirmwareThread) {
        join(*g_lpApp->h_UpgradeFirmwareThread);
    }
}

void CUpgradeFWDlg::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                        std::uint64_t lParam) {
    switch (message) {
        case WM_UPGRADEENABLEBUTTON:
            m_upgrade->setEnabled(true);
            break;
        case WM_UPGRADEDISABLEBUTTON:
            m_upgrade->setEnabled(false);
            break;
        case WM_UPGRADECLOSE:
            m_bEnded = true;
            done(0);
            break;
        case WM_UPGRADEPROGRESS:
            m_progress->setValue(static_cast<int>(wParam));
            m_progress->setVisible(lParam != 0);
            break;
        default:
            break;
    }
}
