#include "maintenance/disc/burn_engine.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <tuple>

#include "maintenance/disc/drive_records.h"
#include "maintenance/disc/track_adapters.h"
#include "platform/registry_store.h"
#include "platform/shared_library.h"

namespace {

std::atomic<platform::SharedLibrary*> g_hBurnEngine{nullptr};
std::mutex g_folderLock;
std::string g_szBurnEngineFolder;  // at most 255 characters

constexpr std::size_t kFolderValueLimit = 255;

std::optional<std::string> ReadFolderValue(std::string_view key, std::string_view name) {
    auto value = platform::ReadValue(key, name);
    // A value that does not fit the folder buffer is not read at all.
    if (!value || value->size() > kFolderValueLimit) {
        return std::nullopt;
    }
    return value;
}

void SaveEngineFolder(const std::string& folder) {
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, folder);
}

template <typename Fn>
Fn Find(const char* name) {
    platform::SharedLibrary* engine = g_hBurnEngine.load();
    return engine != nullptr ? engine->Function<Fn>(name) : nullptr;
}

// EngineGetAPIVersion's four-digit number, digit by digit (5564 is 5.5.6.4).
BurnEngineVersion VersionFromNumber(int number) {
    BurnEngineVersion version;
    if (number <= 0) {
        return version;
    }
    version.readable = true;
    version.major = static_cast<std::uint16_t>(number / 1000 % 10);
    version.minor = static_cast<std::uint16_t>(number / 100 % 10);
    version.release = static_cast<std::uint16_t>(number / 10 % 10);
    version.build = static_cast<std::uint16_t>(number % 10);
    return version;
}

std::string_view TrimTrailingSlash(std::string_view text) {
    if (!text.empty() && text.back() == '/') {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Engines whose four-digit number is below 5555 list and open their drives
// in the old record. An engine that gives no number (it lacks the older
// function) but whose full version is that or newer uses the current one:
// it would read past the end of an old record.
bool UsesOldDriveRecords() {
    const int number = burn::EngineGetAPIVersion();
    if (number >= BURN_OLD_API_NUMBER) {
        return false;
    }
    return number != 0 || !IsEngineVersionAtLeast(ReadBurnEngineVersion(), 5, 5, 5, 5);
}

// Engines below 5.5.9.16 (and those whose version cannot be read) make and
// take tracks of the old interface.
bool UsesOldTracks(const BurnEngineVersion& version) {
    return !IsEngineVersionAtLeast(version, 5, 5, 9, 16);
}

// Engines from 5.5.9.26 on take EngineCreateIsoTrackEx's arguments as they are.
bool TakesCurrentTrackArguments(const BurnEngineVersion& version) {
    return IsEngineVersionAtLeast(version, 5, 5, 9, 26);
}

// Where EngineBurn finds the members it adapts in each compilation's record.
constexpr std::size_t kNoMember = SIZE_MAX;
struct CompilationMembers {
    std::uint32_t type;
    std::size_t mediaType;  // a 32-bit medium-type mask
    std::size_t isoTrack;   // a track pointer
};
constexpr CompilationMembers kCompilationMembers[] = {
    {BURN_COMPILATION_ISO, offsetof(BurnWriteRecord, mediaType),
     offsetof(BurnWriteRecord, isoTrack)},
    {BURN_COMPILATION_ISO_AUDIO, kNoMember, offsetof(BurnWriteRecord, isoTrack)},
    {BURN_COMPILATION_VIDEO, offsetof(BurnVideoRecord, mediaType),
     offsetof(BurnVideoRecord, isoTrack)},
    {BURN_COMPILATION_COPY, offsetof(BurnCopyRecord, mediaType), kNoMember},
    {BURN_COMPILATION_IMAGE, offsetof(BurnImageRecord, mediaType), kNoMember},
};

const CompilationMembers* MembersOf(std::uint32_t type) {
    for (const CompilationMembers& members : kCompilationMembers) {
        if (members.type == type) {
            return &members;
        }
    }
    return nullptr;
}

template <typename T>
T ReadMember(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

template <typename T>
void WriteMember(void* record, std::size_t offset, T value) {
    std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof value);
}

}  // namespace

bool IsFolderInPathList(const char* list, std::string_view folder) {
    if (list == nullptr) {
        return false;
    }
    const std::string_view wanted = TrimTrailingSlash(folder);
    std::string_view rest(list);
    while (!rest.empty()) {
        const std::size_t end = rest.find(':');
        const std::string_view entry = TrimTrailingSlash(rest.substr(0, end));
        if (!entry.empty() && EqualNoCase(entry, wanted)) {
            return true;
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return false;
}

std::string BurnEngineFolder() {
    std::lock_guard lock(g_folderLock);
    return g_szBurnEngineFolder;
}

platform::SharedLibrary* GetBurnEngineModule() {
    return g_hBurnEngine.load();
}

bool SetBurnEngineModule(platform::SharedLibrary* module) {
    delete g_hBurnEngine.exchange(module);
    return module != nullptr;
}

void UnloadBurnEngine() {
    delete g_hBurnEngine.exchange(nullptr);
}

bool LoadBurnEngine() {
    UnloadBurnEngine();
    std::filesystem::path library;
    std::string folder;
    if (auto value = ReadFolderValue(kBurnEngineKey, kBurnEngineValue)) {
        folder = *value;
        if (!folder.empty() && folder.size() < kBurnEngineFolderLimit) {
            std::string path = folder;
            if (path.back() == '/') {
                path.pop_back();
                SaveEngineFolder(path);
            }
            library = std::filesystem::path(path) / BURN_ENGINE_LIBRARY_NAME;
        }
    }
    if (folder.empty()) {
        if (auto value = ReadFolderValue(kBurnEngineAppPathsKey, kBurnEngineAppPathsValue)) {
            folder = *value;
            if (!folder.empty() && folder.size() < kBurnEngineFolderLimit) {
                library = std::filesystem::path(folder) / BURN_ENGINE_LIBRARY_NAME;
            }
            SaveEngineFolder(folder);
        }
    }
    {
        std::lock_guard lock(g_folderLock);
        g_szBurnEngineFolder = folder;
    }
    // Programs the engine starts from its own folder are found before others.
    if (!folder.empty() && !IsFolderInPathList(::getenv("PATH"), folder)) {
        const char* old = ::getenv("PATH");
        const std::string path = folder + ":" + (old != nullptr ? old : "");
        ::setenv("PATH", path.c_str(), 1);
    }

    auto engine = std::make_unique<platform::SharedLibrary>();
    if (library.empty() || !engine->Open(library)) {
        return false;
    }
    g_hBurnEngine.store(engine.release());
    if (burn::EngineSetExpectedAPIVersionEx(BURN_API_MAJOR, BURN_API_MINOR, BURN_API_RELEASE,
                                            BURN_API_BUILD, nullptr) == 0) {
        UnloadBurnEngine();
        return false;
    }
    return g_hBurnEngine.load() != nullptr;
}

bool IsEngineVersionAtLeast(const BurnEngineVersion& version, std::uint16_t major,
                            std::uint16_t minor, std::uint16_t release, std::uint16_t build) {
    if (!version.readable) {
        return false;
    }
    const auto have = std::tie(version.major, version.minor, version.release, version.build);
    const auto want = std::tie(major, minor, release, build);
    return have >= want;
}

BurnEngineVersion ReadBurnEngineVersion() {
    BurnEngineVersion version;
    if (burn::EngineGetAPIVersionEx(&version.major, &version.minor, &version.release,
                                    &version.build) != 0) {
        version.readable = true;
    } else {
        version = BurnEngineVersion{};
    }
    return version;
}

std::uint32_t AdaptMediaType(std::uint32_t mask, MediaDirection direction) {
    const BurnEngineVersion version = ReadBurnEngineVersion();
    if (IsEngineVersionAtLeast(version, 6, 3, 0, 5)) {
        return mask;
    }
    const bool middle = IsEngineVersionAtLeast(version, 6, 0, 0, 10);
    const std::uint32_t engineDvd = middle ? 0x1Cu : 0xCu;
    if (direction == MediaDirection::ToEngine) {
        return (mask & BURN_MEDIA_DVD) == BURN_MEDIA_DVD ? engineDvd : mask;
    }
    return (mask & engineDvd) == engineDvd ? BURN_MEDIA_DVD : mask;
}

namespace burn {

int EngineInit(const BurnEngineSettings* settings, void* reserved) {
    auto fn = Find<PFN_EngineInit>("EngineInit");
    return fn != nullptr ? fn(settings, reserved) : 1;
}

int EngineDone() {
    // These engines fail when shut down; they are left to the unload.
    const int number = EngineGetAPIVersion();
    if (number >= 5564 && number <= 5566) {
        return 1;
    }
    auto fn = Find<PFN_EngineDone>("EngineDone");
    return fn != nullptr ? fn() : 1;
}

void EngineFreeMem(void* memory) {
    if (auto fn = Find<PFN_EngineFreeMem>("EngineFreeMem")) {
        fn(memory);
    }
}

void EngineClearErrors() {
    if (auto fn = Find<PFN_EngineClearErrors>("EngineClearErrors")) {
        fn();
    }
}

char* EngineGetErrorLog() {
    auto fn = Find<PFN_EngineGetErrorLog>("EngineGetErrorLog");
    return fn != nullptr ? fn() : nullptr;
}

int EngineGetAPIVersion() {
    auto fn = Find<PFN_EngineGetAPIVersion>("EngineGetAPIVersion");
    return fn != nullptr ? fn() : 0;
}

int EngineGetAPIVersionEx(std::uint16_t* major, std::uint16_t* minor, std::uint16_t* release,
                          std::uint16_t* build) {
    if (auto fn = Find<PFN_EngineGetAPIVersionEx>("EngineGetAPIVersionEx")) {
        return fn(major, minor, release, build);
    }
    const BurnEngineVersion version = VersionFromNumber(EngineGetAPIVersion());
    if (!version.readable) {
        return 0;
    }
    if (major != nullptr)
        *major = version.major;
    if (minor != nullptr)
        *minor = version.minor;
    if (release != nullptr)
        *release = version.release;
    if (build != nullptr)
        *build = version.build;
    return 1;
}

int EngineSetExpectedAPIVersion(std::int32_t version) {
    auto fn = Find<PFN_EngineSetExpectedAPIVersion>("EngineSetExpectedAPIVersion");
    return fn != nullptr ? fn(version) : 0;
}

int EngineSetExpectedAPIVersionEx(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                                  std::uint16_t build, void* reserved) {
    if (auto fn = Find<PFN_EngineSetExpectedAPIVersionEx>("EngineSetExpectedAPIVersionEx")) {
        return fn(major, minor, release, build, reserved);
    }
    const auto digit = [](std::uint16_t n) { return std::min<std::int32_t>(n, 9); };
    return EngineSetExpectedAPIVersion(digit(major) * 1000 + digit(minor) * 100 +
                                       digit(release) * 10 + digit(build));
}

BurnDriveList* EngineGetAvailableDrives() {
    auto fn = Find<PFN_EngineGetAvailableDrives>("EngineGetAvailableDrives");
    if (fn == nullptr) {
        return nullptr;
    }
    BurnDriveList* list = fn();
    if (list == nullptr || !UsesOldDriveRecords()) {
        return list;
    }
    // The old list is read into a current one and given back.
    BurnDriveList* converted = ConvertOldDriveList(reinterpret_cast<const BurnOldDriveList*>(list),
                                                   &EngineCreateIsoItemOfSize);
    EngineFreeMem(list);
    return converted;
}

BurnDriveList* EngineGetAvailableDrivesEx(std::uint32_t mediaType, void* reserved) {
    const std::uint32_t engineType = AdaptMediaType(mediaType, MediaDirection::ToEngine);
    auto fn = Find<PFN_EngineGetAvailableDrivesEx>("EngineGetAvailableDrivesEx");
    if (fn == nullptr) {
        return engineType == BURN_MEDIA_CD ? EngineGetAvailableDrives() : nullptr;
    }
    // This engine's DVD writer module hangs the drive scan; it is moved
    // aside for the scan and put back afterwards.
    if (EngineGetAPIVersion() != 5564) {
        return fn(engineType, reserved);
    }
    const std::filesystem::path folder = BurnEngineFolder();
    std::error_code error;
    std::filesystem::rename(folder / "DVDR.DLL", folder / "DVDR._DLL", error);
    const bool moved = !error;
    BurnDriveList* list = fn(engineType, reserved);
    if (moved) {
        std::filesystem::rename(folder / "DVDR._DLL", folder / "DVDR.DLL", error);
    }
    return list;
}

BurnDeviceHandle EngineOpenDevice(const BurnDriveRecord* drive) {
    auto fn = Find<PFN_EngineOpenDevice>("EngineOpenDevice");
    if (fn == nullptr) {
        return nullptr;
    }
    if (drive == nullptr || !UsesOldDriveRecords()) {
        return fn(drive);
    }
    // A record whose speed lists overrun it is not handed on.
    auto old = std::make_unique<BurnOldDriveRecord>();
    if (!MakeOldDriveRecord(*drive, *old)) {
        return nullptr;
    }
    return fn(reinterpret_cast<const BurnDriveRecord*>(old.get()));
}

void EngineCloseDevice(BurnDeviceHandle device) {
    if (auto fn = Find<PFN_EngineCloseDevice>("EngineCloseDevice")) {
        fn(device);
    }
}

BurnDiscInfo* EngineGetCDInfo(BurnDeviceHandle device, std::uint32_t flags) {
    auto fn = Find<PFN_EngineGetCDInfo>("EngineGetCDInfo");
    if (fn == nullptr) {
        return nullptr;
    }
    BurnDiscInfo* info = fn(device, flags);
    if (info != nullptr) {
        info->mediaType = AdaptMediaType(info->mediaType, MediaDirection::FromEngine);
    }
    return info;
}

int EngineBurn(BurnDeviceHandle device, std::uint32_t compilationType, void* compilation,
               std::uint32_t flags, std::uint32_t speed, BurnProgress* progress) {
    auto fn = Find<PFN_EngineBurn>("EngineBurn");
    if (fn == nullptr) {
        return 1;
    }
    const CompilationMembers* members = MembersOf(compilationType);
    if (compilation == nullptr || members == nullptr) {
        return fn(device, compilationType, compilation, flags, speed, progress);
    }
    const BurnEngineVersion version = ReadBurnEngineVersion();
    if (members->mediaType != kNoMember && !IsEngineVersionAtLeast(version, 6, 3, 0, 5)) {
        const auto mask = ReadMember<std::uint32_t>(compilation, members->mediaType);
        WriteMember(compilation, members->mediaType,
                    AdaptMediaType(mask, MediaDirection::ToEngine));
    }
    if (members->isoTrack == kNoMember || !UsesOldTracks(version)) {
        return fn(device, compilationType, compilation, flags, speed, progress);
    }
    // The engine sees the track through the old interface for this call only.
    auto* track = ReadMember<BurnIsoTrack*>(compilation, members->isoTrack);
    BurnOldIsoTrack* adapter = WrapCurrentIsoTrack(track, false);
    WriteMember(compilation, members->isoTrack, reinterpret_cast<BurnIsoTrack*>(adapter));
    const int result = fn(device, compilationType, compilation, flags, speed, progress);
    WriteMember(compilation, members->isoTrack, track);
    DeleteTrackAdapter(adapter);
    return result;
}

void* EngineCreateIsoItemOfSize(std::uint32_t size) {
    auto fn = Find<PFN_EngineCreateIsoItemOfSize>("EngineCreateIsoItemOfSize");
    return fn != nullptr ? fn(size) : nullptr;
}

void EngineFreeIsoItemTree(BurnIsoItem* first) {
    if (auto fn = Find<PFN_EngineFreeIsoItemTree>("EngineFreeIsoItemTree")) {
        fn(first);
    }
}

BurnIsoTrack* EngineCreateIsoTrackEx(BurnIsoItem* first, const void* nameOrArguments,
                                     std::uint32_t flags) {
    auto fn = Find<PFN_EngineCreateIsoTrackEx>("EngineCreateIsoTrackEx");
    if (fn == nullptr) {
        return nullptr;
    }
    const BurnEngineVersion version = ReadBurnEngineVersion();
    if (TakesCurrentTrackArguments(version)) {
        return fn(first, nameOrArguments, flags);
    }
    BurnTrackArguments converted{};
    if ((flags & BURN_TRACK_ARGUMENTS) != 0 && nameOrArguments != nullptr) {
        converted = ConvertTrackArguments(*static_cast<const BurnTrackArguments*>(nameOrArguments));
        nameOrArguments = &converted;
    }
    BurnIsoTrack* track = fn(first, nameOrArguments, flags);
    if (!UsesOldTracks(version)) {
        return track;
    }
    // An old engine's track, presented with the current interface; freeing
    // the adapter frees the track.
    return WrapOldIsoTrack(reinterpret_cast<BurnOldIsoTrack*>(track), true);
}

void EngineFreeIsoTrack(BurnIsoTrack* track) {
    auto fn = Find<PFN_EngineFreeIsoTrack>("EngineFreeIsoTrack");
    if (fn == nullptr) {
        return;
    }
    if (track != nullptr && UsesOldTracks(ReadBurnEngineVersion())) {
        // The engine frees what it is given through slot 0, and the adapter
        // frees the track with it.
        fn(reinterpret_cast<BurnIsoTrack*>(WrapCurrentIsoTrack(track, true)));
        return;
    }
    fn(track);
}

void EngineFreeCDStamp(BurnCDStamp* stamp) {
    if (auto fn = Find<PFN_EngineFreeCDStamp>("EngineFreeCDStamp")) {
        fn(stamp);
    }
}

BurnIsoItem* EngineImportIsoTrackEx(BurnDeviceHandle device, std::int32_t track,
                                    BurnCDStamp** stamp, std::uint32_t flags) {
    auto fn = Find<PFN_EngineImportIsoTrackEx>("EngineImportIsoTrackEx");
    return fn != nullptr ? fn(device, track, stamp, flags) : nullptr;
}

BurnIsoItem* EngineImportDataTrack(BurnDeviceHandle device, std::int32_t track, BurnCDStamp** stamp,
                                   BurnImportInfo* info, std::uint32_t flags, std::int32_t* error,
                                   void* reserved) {
    if (auto fn = Find<PFN_EngineImportDataTrack>("EngineImportDataTrack")) {
        return fn(device, track, stamp, info, flags, error, reserved);
    }
    BurnIsoItem* items = EngineImportIsoTrackEx(device, track, stamp, flags);
    if (error != nullptr) {
        *error = items == nullptr ? 1 : 0;
    }
    return items;
}

char* EngineGetLocalizedWaitCDTexts(std::int32_t waitType) {
    auto fn = Find<PFN_EngineGetLocalizedWaitCDTexts>("EngineGetLocalizedWaitCDTexts");
    return fn != nullptr ? fn(waitType) : nullptr;
}

// The forwarders nothing in the program calls: the engine's function, else
// the fallback.
#define KESTRUNE_FORWARD(name, fallback, ...) \
    if (auto fn = Find<PFN_##name>(#name)) {  \
        return fn(__VA_ARGS__);               \
    }                                         \
    return fallback

int EngineGetLastDriveError(BurnDeviceHandle device) {
    KESTRUNE_FORWARD(EngineGetLastDriveError, 0, device);
}
int EngineGetLastError() {
    if (auto fn = Find<PFN_EngineGetLastError>("EngineGetLastError")) {
        return fn();
    }
    return 0;
}
char* EngineGetLastErrors() {
    if (auto fn = Find<PFN_EngineGetLastErrors>("EngineGetLastErrors")) {
        return fn();
    }
    return nullptr;
}
void* EngineGetAvailableSpeeds(BurnDeviceHandle device, std::uint32_t direction,
                               std::uint32_t mediaType) {
    KESTRUNE_FORWARD(EngineGetAvailableSpeeds, nullptr, device, direction,
                     AdaptMediaType(mediaType, MediaDirection::ToEngine));
}
int EngineUpdateDeviceInfo(BurnDeviceHandle device, std::uint32_t mediaType) {
    KESTRUNE_FORWARD(EngineUpdateDeviceInfo, 1, device,
                     AdaptMediaType(mediaType, MediaDirection::ToEngine));
}
int EngineGetDeviceOption(BurnDeviceHandle device, std::int32_t option) {
    KESTRUNE_FORWARD(EngineGetDeviceOption, 0, device, option);
}
int EngineSetDeviceOption(BurnDeviceHandle device, std::int32_t option, std::int32_t* value) {
    auto fn = Find<PFN_EngineSetDeviceOption>("EngineSetDeviceOption");
    if (fn == nullptr) {
        return -1;
    }
    // This engine takes 1 where the others take 3 for these two options.
    const BurnEngineVersion version = ReadBurnEngineVersion();
    if ((option == 0 || option == 2) && value != nullptr && *value == 3 && version.readable &&
        version.major == 6 && version.minor == 6 && version.release == 0 && version.build == 0) {
        *value = 1;
    }
    return fn(device, option, value);
}
int EngineSetOption(std::int32_t option, void* value) {
    KESTRUNE_FORWARD(EngineSetOption, -1, option, value);
}
void* EngineGetVMSInfo(BurnDeviceHandle device) {
    KESTRUNE_FORWARD(EngineGetVMSInfo, nullptr, device);
}
void* EngineGetDiscImageInfo(const char* path) {
    KESTRUNE_FORWARD(EngineGetDiscImageInfo, nullptr, path);
}
BurnIsoItem* EngineCopyIsoItem(const BurnIsoItem* item) {
    KESTRUNE_FORWARD(EngineCopyIsoItem, nullptr, item);
}
void EngineFreeIsoItem(BurnIsoItem* item) {
    if (auto fn = Find<PFN_EngineFreeIsoItem>("EngineFreeIsoItem")) {
        fn(item);
    }
}
int EngineWaitForMedia(BurnDeviceHandle device, std::uint32_t mediaType, std::int32_t waitType,
                       std::int32_t timeout) {
    KESTRUNE_FORWARD(EngineWaitForMedia, 0, device, mediaType, waitType, timeout);
}
int EngineWaitForDisc(BurnDeviceHandle device, std::uint32_t mediaType, std::int32_t waitType,
                      std::int32_t timeout) {
    KESTRUNE_FORWARD(EngineWaitForDisc, EngineWaitForMedia(device, mediaType, waitType, timeout),
                     device, mediaType, waitType, timeout);
}
int EngineEraseCDRW(BurnDeviceHandle device, std::int32_t mode) {
    KESTRUNE_FORWARD(EngineEraseCDRW, -1, device, mode);
}
int EngineEraseDisc(BurnDeviceHandle device, std::int32_t mode, std::uint32_t flags,
                    void* reserved) {
    KESTRUNE_FORWARD(EngineEraseDisc, EngineEraseCDRW(device, mode), device, mode, flags, reserved);
}
int EngineGetCDRWErasingTime(BurnDeviceHandle device, std::int32_t mode) {
    KESTRUNE_FORWARD(EngineGetCDRWErasingTime, -1, device, mode);
}
int EngineEjectLoadCD(BurnDeviceHandle device, std::int32_t eject) {
    KESTRUNE_FORWARD(EngineEjectLoadCD, -1, device, eject);
}
int EngineIsDeviceReady(BurnDeviceHandle device) {
    KESTRUNE_FORWARD(EngineIsDeviceReady, 1, device);
}
int EngineWaitForDeviceReady(BurnDeviceHandle device, std::int32_t timeout) {
    KESTRUNE_FORWARD(EngineWaitForDeviceReady, 1, device, timeout);
}
int EngineInitImageRecorder(const char* path, std::uint32_t flags) {
    KESTRUNE_FORWARD(EngineInitImageRecorder, 1, path, flags);
}
int EngineEstimateTrackSize(BurnIsoItem* first, std::uint32_t flags, std::uint64_t* size) {
    KESTRUNE_FORWARD(EngineEstimateTrackSize, -1, first, flags, size);
}
int EngineDAE(BurnDeviceHandle device, void* arguments) {
    KESTRUNE_FORWARD(EngineDAE, 1, device, arguments);
}
void* EngineCreateFileSystemContainer(void* reserved) {
    KESTRUNE_FORWARD(EngineCreateFileSystemContainer, nullptr, reserved);
}
void* EngineAudioCreateTargetItem(const char* path, void* reserved) {
    KESTRUNE_FORWARD(EngineAudioCreateTargetItem, nullptr, path, reserved);
}
void* EngineAudioCloseItem(void* item) {
    KESTRUNE_FORWARD(EngineAudioCloseItem, nullptr, item);
}
void* EngineAudioGUIConfigureItem(void* item, void* window) {
    KESTRUNE_FORWARD(EngineAudioGUIConfigureItem, nullptr, item, window);
}
void* EngineAudioGetFormatInfo(void* item) {
    KESTRUNE_FORWARD(EngineAudioGetFormatInfo, nullptr, item);
}
void* EngineCreateProgress(std::int32_t kind) {
    KESTRUNE_FORWARD(EngineCreateProgress, nullptr, kind);
}
char* EngineConvertToValidFileSystemName(const char* name, std::uint32_t fileSystem) {
    KESTRUNE_FORWARD(EngineConvertToValidFileSystemName, nullptr, name, fileSystem);
}
int EngineSetDesiredUDFRevision(std::int32_t revision) {
    KESTRUNE_FORWARD(EngineSetDesiredUDFRevision, 0, revision);
}
int EngineSetDesiredUDFPartitionType(std::int32_t type) {
    KESTRUNE_FORWARD(EngineSetDesiredUDFPartitionType, 0, type);
}
int EngineRegisterDriveStatusCallback(BurnDriveStatusCallback callback, void* context) {
    KESTRUNE_FORWARD(EngineRegisterDriveStatusCallback, -1, callback, context);
}
int EngineUnregisterDriveStatusCallback(BurnDriveStatusCallback callback, void* context) {
    KESTRUNE_FORWARD(EngineUnregisterDriveStatusCallback, -1, callback, context);
}
int EngineRegisterDriveChangeCallback(BurnDriveChangeCallback callback, void* context) {
    KESTRUNE_FORWARD(EngineRegisterDriveChangeCallback, -1, callback, context);
}
int EngineUnregisterDriveChangeCallback(BurnDriveChangeCallback callback, void* context) {
    KESTRUNE_FORWARD(EngineUnregisterDriveChangeCallback, -1, callback, context);
}
char* EngineGetTypeNameOfMedia(std::uint32_t mediaType) {
    if (auto fn = Find<PFN_EngineGetTypeNameOfMedia>("EngineGetTypeNameOfMedia")) {
        return fn(mediaType);
    }
    static constexpr char kName[] = "CD-R/RW";
    auto* copy = static_cast<char*>(EngineCreateIsoItemOfSize(sizeof kName));
    if (copy != nullptr) {
        std::memcpy(copy, kName, sizeof kName);
    }
    return copy;
}

#undef KESTRUNE_FORWARD

}  // namespace burn
