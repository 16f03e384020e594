#pragma once

// Writes a downloaded backup file, and on request the player's installer,
// to a CD or DVD through the burning engine (reached only through the
// forwarders of burn_engine.h).
//
// A burn is prepared on the GUI thread: InitEngine loads the engine and
// lists the drives, the Write CD Setting dialog picks the drive, the name on
// the disc and the options, and PrepareDisc tests the disc in that drive.
// BurnFiles runs later on any one worker thread (the backup download's),
// and every engine callback with it. Abort() may be called from any thread.
// Every outcome the user sees is a message box with a fixed English text.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/burn_engine_api.h"

// Burn phases reported through the progress hook.
enum DiscBurnPhase : int {
    kDiscBurnStarts = 0,    // value 0
    kDiscBurnProgress = 1,  // value: percent done
    kDiscBurnEnded = 2,     // value 0
};
using DiscProgressHook = void (*)(int phase, int value);

// Medium classes of the disc last examined.
inline constexpr std::uint32_t kMediumNone = 0;
inline constexpr std::uint32_t kMediumCd = BURN_MEDIA_CD;
inline constexpr std::uint32_t kMediumDvd = BURN_MEDIA_DVD;
inline constexpr std::uint32_t kMediumNotWritable = BURN_MEDIA_NOT_WRITABLE;

// The class of the disc described by `info`: kMediumNone without information
// or without bits, kMediumCd, kMediumDvd, or nullopt when the bits match no
// class.
std::optional<std::uint32_t> ClassifyMedium(const BurnDiscInfo* info);

// Where the engine's request for an image file's path is answered. The
// default asks the user with a file dialog when called on the GUI thread and
// cancels elsewhere (a worker never waits for the GUI thread). Tests set
// their own; an empty function restores the default.
using ImageFileChooser = std::function<std::optional<std::string>()>;
void SetImageFileChooser(ImageFileChooser chooser);

// The name of the player's installer in the program's folder.
inline constexpr const char* kPlayerInstaller = "Videoplayer_setup.exe";

class CDiscWriter {
public:
    CDiscWriter();
    ~CDiscWriter();
    CDiscWriter(const CDiscWriter&) = delete;
    CDiscWriter& operator=(const CDiscWriter&) = delete;

    // Loads and initialises the engine once, lists the drives on every call.
    bool InitEngine(const std::string& sourcePath, DiscProgressHook hook);
    // Tests name, disc, space and name clashes for the coming burn.
    bool PrepareDisc();
    // 0 when no burn was attempted (not ready, no name, no disc); 1 otherwise,
    // also when the burn failed (its message has then been shown).
    int BurnFiles();
    // Shuts the engine down and unloads it.
    void ExitEngine();
    // Asks a running burn to stop (any thread).
    void Abort() { m_bAbort.store(1); }

    // Engine callbacks; the context is the writer.
    static int OnEngineIdle(void* context);
    static int OnEngineUserDialog(void* context, std::int32_t request, void* data,
                                  std::uint32_t dataSize);
    static int OnEngineProgress(void* context, std::int32_t percent);
    static int OnEngineAborted(void* context);
    static void OnEnginePhase(void* context, std::int32_t phase);
    static void OnEngineLogLine(void* context, const char* line);

    // Merges `imported` into the list at *first: an imported entry with the
    // name of a new item is dropped when it is older and takes the new
    // item's place when it is newer (the new item is then dropped); the
    // remaining imported entries follow the new items. False, changing and
    // taking nothing, when either list is empty; true when `imported` now
    // belongs to the list.
    static bool MergeItemLists(BurnIsoItem** first, BurnIsoItem* imported);
    // Frees the names the writer made, then hands the items to the engine.
    static void FreeItemList(BurnIsoItem* list);
    static void FreeItemNames(BurnIsoItem* list);
    // The long name when set, else the short name.
    static std::string GetItemName(const BurnIsoItem* item);
    // The item's entry time as calendar time; nullopt when it has none.
    static std::optional<std::time_t> EntryTime(const BurnIsoItem* item);

    // The drive names in the engine's order.
    const std::vector<std::string>& DriveNames() const { return m_ppDriveNames; }

    // ---- state, written by the backup page and the dialog before a burn ----
    std::vector<std::string> m_ppDriveNames;
    int m_nDriveCount = 0;
    bool m_bEngineReady = false;
    std::atomic<std::uint8_t> m_bAbort{0};
    std::uint32_t m_dwMediaType = kMediumCd;
    BurnEngineSettings m_EngineSettings{};
    std::string m_szLanguageFile = "BurnEngine.txt";
    std::string m_szApplicationName = "Kestrune";
    std::string m_szVendorName;
    std::string m_szJobName = "KestruneBackup";
    BurnProgress m_EngineProgress{};
    std::unique_ptr<BurnWriteRecord> m_pWriteRecord;
    BurnIsoItem* m_pFirstItem = nullptr;
    BurnDriveList* m_pDriveList = nullptr;
    std::string m_strDiscFile;
    std::string m_strSourceFile;
    BurnDeviceHandle m_hDevice = nullptr;
    bool m_bCloseDisc = false;
    const bool m_bImportLastSession = true;
    int m_nDriveIndex = 0;
    // Bytes the backup needs on the disc; 64 bits, as DVDs hold more than 4 GB.
    std::uint64_t m_dwSourceSize = 0;

private:
    // The engine was loaded and initialised by this writer.
    bool m_bEngineStarted = false;

    const BurnDriveRecord* SelectedDrive() const;
    std::string SelectedDriveName() const;
    bool SelectedIsImageRecorder() const;
    BurnIsoItem* MakeItem(const std::string& name, const std::string& source);
    void ReleaseImport(BurnIsoItem* items, BurnCDStamp* stamp, BurnImportInfo& info);
    void EndBurn();
};

// The progress hook in use (g_pfnDiscProgressHook).
DiscProgressHook DiscProgressHookInUse();

// The program's one writer (AppGlobalState::C_DiscWriter), made on first use.
CDiscWriter& AppDiscWriter();
// Shuts the program's writer down (the engine is unloaded); at exit.
void ReleaseAppDiscWriter();
