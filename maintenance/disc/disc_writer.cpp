#include "maintenance/disc/disc_writer.h"

#include <strings.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QThread>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>

#include "core/state/app_global_state.h"
#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/drive_records.h"
#include "platform/message_box.h"

namespace {

std::atomic<DiscProgressHook> g_pfnDiscProgressHook{nullptr};

std::mutex g_chooserLock;
ImageFileChooser g_chooser;

constexpr std::size_t kDriveNameBuffer = 256;
constexpr const char* kImageRecorderPrefix = "Image Recorder";

void Show(const std::string& text) {
    platform::ShowMessageBox(0, text, platform::kMbOk);
}

void CallHook(int phase, int value) {
    if (DiscProgressHook hook = g_pfnDiscProgressHook.load()) {
        hook(phase, value);
    }
}

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

std::optional<std::string> AskImageFile() {
    {
        std::lock_guard lock(g_chooserLock);
        if (g_chooser) {
            ImageFileChooser chooser = g_chooser;
            return chooser();
        }
    }
    if (!OnGuiThread() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return std::nullopt;
    }
    // QFileDialog asks before an existing file is overwritten.
    const QString path =
        QFileDialog::getSaveFileName(nullptr, QString(), QStringLiteral("Image.nrg"),
                                     QStringLiteral("Image Files (*.nrg);;All Files (*.*)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

// The file-name part of the path's full path.
std::string FileNamePart(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error) {
        full = path;
    }
    return full.filename().string();
}

std::string FullPath(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.string();
}

bool EndsWithDvr(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    return strncasecmp(name.c_str() + name.size() - 4, ".DVR", 4) == 0;
}

std::string PlayerInstallerPath() {
    std::string folder;
    if (g_lpApp != nullptr) {
        folder = g_lpApp->CSettingINI.m_strProgramDir.Get();
    }
    return (std::filesystem::path(folder) / kPlayerInstaller).string();
}

bool AppendPlayerWanted() {
    return g_lpApp != nullptr && g_lpApp->CSettingINI.m_bAppendPlayer.load();
}

char* CopyText(const std::string& text) {
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

constexpr std::array<const char*, 6> kImportErrorTexts = {
    "an unknown error", "a generic error",    "a drive error",
    "a read error",     "a filesystem error", "an invalid track number",
};

const char* BurnResultText(int result) {
    switch (result) {
        case 1:
            return "Write CD Error : unknown CD format";
        case 2:
            return "Write CD Error : invalid drive";
        case 3:
            return "Write CD Error : burn failed";
        case 4:
            return "Write CD Error : function not allowed";
        case 5:
            return "Write CD Error : drive not allowed";
        case 6:
            return "Write CD Error : user aborted";
        case 7:
            return "Write CD Error : bad message file";
        default:
            return "Write CD Error : unknown error";
    }
}

}  // namespace

std::optional<std::uint32_t> ClassifyMedium(const BurnDiscInfo* info) {
    if (info == nullptr || info->mediaType == 0) {
        return kMediumNone;
    }
    if ((info->mediaType & 0x1u) != 0) {
        return kMediumCd;
    }
    constexpr std::uint32_t kDvdBits =
        0x2u | 0x4u | 0x8u | 0x10u | 0x800u | 0x1000u | 0x2000u | 0x4000u | 0x40000u | 0x80000u;
    if ((info->mediaType & kDvdBits) != 0) {
        return kMediumDvd;
    }
    return std::nullopt;
}

void SetImageFileChooser(ImageFileChooser chooser) {
    std::lock_guard lock(g_chooserLock);
    g_chooser = std::move(chooser);
}

DiscProgressHook DiscProgressHookInUse() {
    return g_pfnDiscProgressHook.load();
}

CDiscWriter::CDiscWriter() = default;

CDiscWriter::~CDiscWriter() {
    // Also an engine that listed no drive is shut down, so nothing it gave
    // out is left behind.
    if (m_bEngineReady || m_bEngineStarted) {
        ExitEngine();
    }
}

bool CDiscWriter::InitEngine(const std::string& sourcePath, DiscProgressHook hook) {
    m_strDiscFile = sourcePath;
    m_strSourceFile = sourcePath;
    g_pfnDiscProgressHook.store(hook);
    m_bAbort.store(0);
    if (m_strDiscFile.empty()) {
        Show("File name is not valid");
        return false;
    }
    // An engine started by an earlier call that found no drive is kept and
    // only asked for its drives again.
    if (!m_bEngineReady && !m_bEngineStarted) {
        if (!LoadBurnEngine()) {
            Show("You should install the burning engine first.");
            return false;
        }
        m_EngineSettings = BurnEngineSettings{};
        m_EngineSettings.size = sizeof(BurnEngineSettings);
        m_EngineSettings.jobName = m_szJobName.c_str();
        m_EngineSettings.vendorName = m_szVendorName.c_str();
        m_EngineSettings.applicationName = m_szApplicationName.c_str();
        m_EngineSettings.languageFile = m_szLanguageFile.c_str();
        m_EngineSettings.idle = &CDiscWriter::OnEngineIdle;
        m_EngineSettings.idleContext = this;
        m_EngineSettings.userDialog = &CDiscWriter::OnEngineUserDialog;
        m_EngineSettings.userDialogContext = this;
        m_EngineProgress = BurnProgress{};
        m_EngineProgress.size = sizeof(BurnProgress);
        m_EngineProgress.progress = &CDiscWriter::OnEngineProgress;
        m_EngineProgress.aborted = &CDiscWriter::OnEngineAborted;
        m_EngineProgress.logLine = &CDiscWriter::OnEngineLogLine;
        m_EngineProgress.phase = &CDiscWriter::OnEnginePhase;
        m_EngineProgress.context = this;
        m_pDriveList = nullptr;
        const int result = burn::EngineInit(&m_EngineSettings, nullptr);
        m_bEngineStarted = true;
        if (result == 1) {
            Show("The arguments are not valid.");
        } else if (result != 0) {
            Show("An error occured. The type of error cannot be determined.");
        }
    }
    if (m_pDriveList != nullptr) {
        burn::EngineFreeMem(m_pDriveList);
        m_pDriveList = nullptr;
    }
    m_pDriveList = burn::EngineGetAvailableDrivesEx(kMediumCd, nullptr);
    // A list whose records do not fit its block, or are not the size this
    // program knows, cannot be read.
    if (m_pDriveList != nullptr && !IsDriveListSound(m_pDriveList)) {
        burn::EngineFreeMem(m_pDriveList);
        m_pDriveList = nullptr;
    }
    if (m_pDriveList == nullptr) {
        Show("No available devices.");
        return false;
    }
    m_ppDriveNames.clear();
    m_nDriveCount = static_cast<int>(std::min<std::uint32_t>(m_pDriveList->count, 1u << 16));
    if (m_nDriveCount == 0) {
        Show("The number of available devices is 0.");
        return false;
    }
    for (int i = 0; i < m_nDriveCount; ++i) {
        const char* name = m_pDriveList->drives[i].name;
        const std::size_t length =
            std::min(strnlen(name, sizeof m_pDriveList->drives[i].name), kDriveNameBuffer - 1);
        m_ppDriveNames.emplace_back(name, length);
    }
    m_bEngineReady = true;
    return true;
}

const BurnDriveRecord* CDiscWriter::SelectedDrive() const {
    if (m_pDriveList == nullptr || m_nDriveIndex < 0 || m_nDriveIndex >= m_nDriveCount) {
        return nullptr;
    }
    return &m_pDriveList->drives[m_nDriveIndex];
}

std::string CDiscWriter::SelectedDriveName() const {
    if (m_nDriveIndex < 0 || m_nDriveIndex >= static_cast<int>(m_ppDriveNames.size())) {
        return {};
    }
    return m_ppDriveNames[static_cast<std::size_t>(m_nDriveIndex)];
}

bool CDiscWriter::SelectedIsImageRecorder() const {
    return SelectedDriveName().rfind(kImageRecorderPrefix, 0) == 0;
}

void CDiscWriter::ReleaseImport(BurnIsoItem* items, BurnCDStamp* stamp, BurnImportInfo& info) {
    FreeItemList(items);
    if (stamp != nullptr) {
        burn::EngineFreeCDStamp(stamp);
    }
    if (info.data != nullptr) {
        burn::EngineFreeMem(info.data);
        info.data = nullptr;
    }
}

bool CDiscWriter::PrepareDisc() {
    if (!EndsWithDvr(m_strDiscFile)) {
        Show("The extension of file name should be (dvr)");
        return false;
    }
    const BurnDriveRecord* drive = SelectedDrive();
    m_hDevice = drive != nullptr ? burn::EngineOpenDevice(drive) : nullptr;
    if (m_hDevice == nullptr) {
        Show("Device could not be opened: " + SelectedDriveName());
        return false;
    }
    const auto closeAndFail = [this](const char* text) {
        Show(text);
        burn::EngineCloseDevice(m_hDevice);
        m_hDevice = nullptr;
        return false;
    };
    if (!SelectedIsImageRecorder()) {
        BurnDiscInfo* info = burn::EngineGetCDInfo(m_hDevice, 1);
        if (info != nullptr) {
            std::uint64_t needed = m_dwSourceSize;
            if (AppendPlayerWanted()) {
                std::error_code error;
                const std::uint64_t size = std::filesystem::file_size(PlayerInstallerPath(), error);
                if (!error) {
                    needed += size;
                }
            }
            const std::uint64_t free = static_cast<std::uint64_t>(info->freeBlocks) * 2048u;
            if (needed + 4096u > free) {
                burn::EngineFreeMem(info);
                return closeAndFail("No available space for writing CD.");
            }
        }
        m_dwMediaType = ClassifyMedium(info).value_or(kMediumNotWritable);
        burn::EngineFreeMem(info);
        if (m_dwMediaType == kMediumNone) {
            return closeAndFail("NO DISC");
        }
        if (m_dwMediaType == kMediumNotWritable) {
            return closeAndFail("Disc is non writable");
        }
    }
    BurnDiscInfo* info = burn::EngineGetCDInfo(m_hDevice, 0);
    if (info == nullptr) {
        return closeAndFail("NO DISC");
    }
    BurnCDStamp* stamp = nullptr;
    BurnImportInfo importInfo{sizeof(BurnImportInfo), nullptr};
    std::int32_t error = 0;
    BurnIsoItem* imported =
        burn::EngineImportDataTrack(m_hDevice, static_cast<std::int32_t>(info->trackCount) - 1,
                                    &stamp, &importInfo, 0, &error, nullptr);
    burn::EngineFreeMem(info);

    const std::string name = FileNamePart(m_strDiscFile);
    for (const BurnIsoItem* item = imported; item != nullptr; item = item->next) {
        const std::string itemName = GetItemName(item);
        if (itemName.size() >= name.size() &&
            strncasecmp(itemName.c_str(), name.c_str(), name.size()) == 0) {
            ReleaseImport(imported, stamp, importInfo);
            return closeAndFail("FileName is tha same as other existed file,please modify it");
        }
    }
    ReleaseImport(imported, stamp, importInfo);
    burn::EngineCloseDevice(m_hDevice);
    m_hDevice = nullptr;
    return true;
}

BurnIsoItem* CDiscWriter::MakeItem(const std::string& name, const std::string& source) {
    auto* item = static_cast<BurnIsoItem*>(burn::EngineCreateIsoItemOfSize(sizeof(BurnIsoItem)));
    if (item == nullptr) {
        return nullptr;
    }
    std::memset(item, 0, sizeof(BurnIsoItem));
    item->longName = CopyText(name);
    item->longSourcePath = CopyText(source);
    return item;
}

int CDiscWriter::BurnFiles() {
    if (!m_bEngineReady) {
        return 0;
    }
    if (m_strDiscFile.empty()) {
        Show("Filename is not valid!");
        return 0;
    }
    m_pWriteRecord = std::make_unique<BurnWriteRecord>();
    const BurnDriveRecord* drive = SelectedDrive();
    m_hDevice = drive != nullptr ? burn::EngineOpenDevice(drive) : nullptr;

    // A drive that did not open is reported below, by name; its disc is not
    // asked about.
    if (m_hDevice != nullptr && !SelectedIsImageRecorder()) {
        BurnDiscInfo* info = burn::EngineGetCDInfo(m_hDevice, 1);
        if (const auto medium = ClassifyMedium(info)) {
            m_dwMediaType = *medium;
        }
        burn::EngineFreeMem(info);
        if (m_dwMediaType == kMediumNone) {
            Show("NO DISC");
            burn::EngineCloseDevice(m_hDevice);
            m_hDevice = nullptr;
            CallHook(kDiscBurnEnded, 0);
            m_pWriteRecord.reset();
            return 0;
        }
    }

    m_pFirstItem = MakeItem(FileNamePart(m_strDiscFile), FullPath(m_strSourceFile));
    if (m_pFirstItem != nullptr && AppendPlayerWanted()) {
        m_pFirstItem->next = MakeItem(kPlayerInstaller, FullPath(PlayerInstallerPath()));
    }
    BurnWriteRecord& record = *m_pWriteRecord;
    record.size = sizeof(BurnWriteRecord);
    record.mediaType = m_dwMediaType == kMediumCd ? kMediumCd : kMediumDvd;

    if (m_hDevice == nullptr) {
        Show("Device could not be opened: " + SelectedDriveName());
        FreeItemList(m_pFirstItem);
        m_pFirstItem = nullptr;
        m_pWriteRecord.reset();
        return 1;
    }

    CallHook(kDiscBurnStarts, 0);
    bool burn = m_pFirstItem != nullptr;
    if (m_bImportLastSession && burn) {
        BurnDiscInfo* info = burn::EngineGetCDInfo(m_hDevice, 0);
        BurnIsoItem* imported = nullptr;
        BurnCDStamp* stamp = nullptr;
        BurnImportInfo importInfo{sizeof(BurnImportInfo), nullptr};
        std::int32_t error = 0;
        if (info != nullptr) {
            imported = burn::EngineImportDataTrack(m_hDevice,
                                                   static_cast<std::int32_t>(info->trackCount) - 1,
                                                   &stamp, &importInfo, 0, &error, nullptr);
            burn::EngineFreeMem(info);
        }
        if (importInfo.data != nullptr) {
            burn::EngineFreeMem(importInfo.data);
            importInfo.data = nullptr;
        }
        if (imported != nullptr) {
            if (error != 0) {
                const std::size_t index =
                    error > 0 && static_cast<std::size_t>(error) < kImportErrorTexts.size()
                        ? static_cast<std::size_t>(error)
                        : 0;
                char text[128];
                std::snprintf(text, sizeof text, "There was %s while importing the track!",
                              kImportErrorTexts[index]);
                Show(text);
                ReleaseImport(imported, stamp, importInfo);
                burn = false;
            } else if (MergeItemLists(&m_pFirstItem, imported)) {
                record.stamp = stamp;
            } else {
                Show("There was an error while merging tracks!");
                ReleaseImport(imported, stamp, importInfo);
                burn = false;
            }
        } else if (stamp != nullptr) {
            burn::EngineFreeCDStamp(stamp);
        }
    }

    std::optional<int> result;
    if (m_pFirstItem == nullptr) {
        // The engine could not even make the backup's item.
        result = BURN_FAILED;
    } else if (burn) {
        record.isoTrack = burn::EngineCreateIsoTrackEx(m_pFirstItem, "KestruneBackup", 11);
        const std::uint32_t flags =
            m_bCloseDisc ? BURN_FLAG_WRITE : BURN_FLAG_WRITE | BURN_FLAG_CLOSE_SESSION_ONLY;
        result =
            burn::EngineBurn(m_hDevice, BURN_COMPILATION_ISO, &record, flags, 0, &m_EngineProgress);
        if (record.isoTrack != nullptr) {
            burn::EngineFreeIsoTrack(record.isoTrack);
            record.isoTrack = nullptr;
        }
    }
    EndBurn();
    if (result && *result != BURN_OK) {
        Show(BurnResultText(*result));
    }
    return 1;
}

void CDiscWriter::EndBurn() {
    burn::EngineCloseDevice(m_hDevice);
    m_hDevice = nullptr;
    m_bAbort.store(0);
    burn::EngineFreeMem(burn::EngineGetErrorLog());
    CallHook(kDiscBurnEnded, 0);
    FreeItemList(m_pFirstItem);
    m_pFirstItem = nullptr;
    if (m_pWriteRecord && m_pWriteRecord->stamp != nullptr) {
        burn::EngineFreeCDStamp(m_pWriteRecord->stamp);
    }
    m_pWriteRecord.reset();
}

void CDiscWriter::ExitEngine() {
    if (m_pDriveList != nullptr) {
        burn::EngineFreeMem(m_pDriveList);
        m_pDriveList = nullptr;
    }
    burn::EngineClearErrors();
    if (burn::EngineDone() != 0) {
        Show("Detected memory leaks");
    }
    UnloadBurnEngine();
    // The engine is gone: a later InitEngine loads it again.
    m_bEngineReady = false;
    m_bEngineStarted = false;
}

std::string CDiscWriter::GetItemName(const BurnIsoItem* item) {
    if (item->longName != nullptr) {
        return item->longName;
    }
    return std::string(item->shortName, strnlen(item->shortName, sizeof item->shortName));
}

std::optional<std::time_t> CDiscWriter::EntryTime(const BurnIsoItem* item) {
    const BurnTime& t = item->entryTime;
    if (t.year < 1970 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    fields.tm_isdst = -1;
    const std::time_t when = std::mktime(&fields);
    if (when == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return when;
}

void CDiscWriter::FreeItemNames(BurnIsoItem* list) {
    for (BurnIsoItem* item = list; item != nullptr; item = item->next) {
        if (item->isDirectory != 0) {
            FreeItemNames(item->firstChild);
        }
        if (item->isReference == 0) {
            delete[] item->longName;
            delete[] item->longSourcePath;
            item->longName = nullptr;
            item->longSourcePath = nullptr;
        }
    }
}

void CDiscWriter::FreeItemList(BurnIsoItem* list) {
    if (list == nullptr) {
        return;
    }
    FreeItemNames(list);
    burn::EngineFreeIsoItemTree(list);
}

namespace {

// A new item's time: its entry time, else its source file's last change.
std::optional<std::time_t> NewItemTime(const BurnIsoItem* item) {
    if (auto when = CDiscWriter::EntryTime(item)) {
        return when;
    }
    struct stat info {};
    if (item->longSourcePath == nullptr || ::stat(item->longSourcePath, &info) != 0) {
        char text[600];
        std::snprintf(text, sizeof text, "Could not open file: %s.",
                      item->longSourcePath != nullptr ? item->longSourcePath : "");
        Show(text);
        return std::nullopt;
    }
    return info.st_mtime;
}

}  // namespace

bool CDiscWriter::MergeItemLists(BurnIsoItem** first, BurnIsoItem* imported) {
    if (first == nullptr || *first == nullptr || imported == nullptr) {
        return false;
    }
    for (BurnIsoItem** aLink = first; *aLink != nullptr; aLink = &(*aLink)->next) {
        BurnIsoItem** bLink = &imported;
        while (*bLink != nullptr) {
            BurnIsoItem* a = *aLink;
            BurnIsoItem* b = *bLink;
            if (strcasecmp(GetItemName(a).c_str(), GetItemName(b).c_str()) != 0) {
                bLink = &b->next;
                continue;
            }
            // Without a time, an item counts as older than any with one.
            const std::optional<std::time_t> aTime = NewItemTime(a);
            const std::optional<std::time_t> bTime = EntryTime(b);
            if (aTime < bTime) {
                *aLink = b;
                *bLink = a;
                std::swap(a->next, b->next);
            }
            BurnIsoItem* older = *bLink;
            *bLink = older->next;
            older->next = nullptr;
            FreeItemList(older);
        }
    }
    BurnIsoItem** tail = first;
    while (*tail != nullptr) {
        tail = &(*tail)->next;
    }
    *tail = imported;
    return true;
}

int CDiscWriter::OnEngineIdle(void* context) {
    auto* writer = static_cast<CDiscWriter*>(context);
    if (writer->m_bAbort.load() == 0 && OnGuiThread()) {
        QCoreApplication::processEvents();
    }
    return writer->m_bAbort.load();
}

int CDiscWriter::OnEngineAborted(void* context) {
    return static_cast<CDiscWriter*>(context)->m_bAbort.load();
}

int CDiscWriter::OnEngineProgress(void*, std::int32_t percent) {
    CallHook(kDiscBurnProgress, percent);
    return 1;
}

void CDiscWriter::OnEnginePhase(void*, std::int32_t) {}

void CDiscWriter::OnEngineLogLine(void*, const char*) {}

int CDiscWriter::OnEngineUserDialog(void*, std::int32_t request, void* data,
                                    std::uint32_t dataSize) {
    switch (request) {
        case 2:
            return 5;
        case 6:
            return 3;
        case 7:
            return 5;
        case 12:
            return 5;
        case 13:
            return 1;
        case BURN_ASK_WAIT_FOR_DISC: {
            std::int32_t waitType = 0;
            if (data != nullptr && dataSize >= sizeof waitType) {
                std::memcpy(&waitType, data, sizeof waitType);
            }
            burn::EngineFreeMem(burn::EngineGetLocalizedWaitCDTexts(waitType));
            return 0;
        }
        case BURN_ASK_IMAGE_FILE: {
            const std::optional<std::string> path = AskImageFile();
            // A path that does not fit the engine's buffer is not cut short.
            if (!path || data == nullptr || path->size() + 1 > dataSize) {
                return BURN_ANSWER_CANCELLED;
            }
            std::memcpy(data, path->c_str(), path->size() + 1);
            return 1;
        }
        default:
            return 0;
    }
}

namespace {
std::mutex g_appWriterLock;
std::unique_ptr<CDiscWriter> g_appWriter;
}  // namespace

CDiscWriter& AppDiscWriter() {
    std::lock_guard lock(g_appWriterLock);
    if (!g_appWriter) {
        g_appWriter = std::make_unique<CDiscWriter>();
    }
    return *g_appWriter;
}

void ReleaseAppDiscWriter() {
    std::unique_ptr<CDiscWriter> writer;
    {
        std::lock_guard lock(g_appWriterLock);
        writer = std::move(g_appWriter);
    }
}
