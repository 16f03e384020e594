#pragma once

// The burning engine: found through the registry store, loaded at run time
// and reached only through the forwarders below. Each forwarder looks its
// function up in the loaded engine on every call and, when no engine is
// loaded or the engine lacks the function, answers that function's fallback
// instead, so a missing function never fails its caller. The forwarders also
// smooth over the differences between engine versions (medium-type masks,
// the older engines' drive records and track interfaces, a few
// version-specific quirks), so the disc writer is written against one
// current interface: it always holds current drive lists and current tracks.
//
// LoadBurnEngine and UnloadBurnEngine run on the GUI thread; the forwarders
// on whichever thread calls them. The disc writer loads the engine before any
// burn starts and unloads it only at exit.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/burn_engine_api.h"

namespace platform {
class SharedLibrary;
}

// Where the engine's folder is kept in the registry store.
inline constexpr std::string_view kBurnEngineKey = BURN_ENGINE_REGISTRY_KEY;
inline constexpr std::string_view kBurnEngineValue = BURN_ENGINE_REGISTRY_VALUE;
inline constexpr std::string_view kBurnEngineAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DiscStudio.exe";
inline constexpr std::string_view kBurnEngineAppPathsValue = "Path";

// Folders this long or longer are not loaded from.
inline constexpr std::size_t kBurnEngineFolderLimit = 243;

// Finds, loads and accepts the engine (any engine loaded before is unloaded
// first). False when no folder is known, the library does not load, or the
// engine refuses the interface version this program expects.
bool LoadBurnEngine();
void UnloadBurnEngine();

// The loaded engine, or null (g_hBurnEngine).
platform::SharedLibrary* GetBurnEngineModule();
// Replaces the loaded engine, taking ownership; true when it is non-null.
bool SetBurnEngineModule(platform::SharedLibrary* module);

// The engine folder as last read from the registry store (g_szBurnEngineFolder).
std::string BurnEngineFolder();

// Whether `folder` is one of the entries of the search list `list` (entries
// separated by ':'), ignoring one trailing '/' on either side and the case.
bool IsFolderInPathList(const char* list, std::string_view folder);

struct BurnEngineVersion {
    bool readable = false;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
};
// Equal versions count as at least; an unreadable version is at least nothing.
bool IsEngineVersionAtLeast(const BurnEngineVersion& version, std::uint16_t major,
                            std::uint16_t minor, std::uint16_t release, std::uint16_t build);
BurnEngineVersion ReadBurnEngineVersion();

enum class MediaDirection { ToEngine, FromEngine };
// The medium-type mask as the loaded engine (or this program) spells it.
std::uint32_t AdaptMediaType(std::uint32_t mask, MediaDirection direction);

// The forwarders, named as the engine's functions.
namespace burn {

int EngineInit(const BurnEngineSettings* settings, void* reserved);
int EngineDone();
void EngineFreeMem(void* memory);
void EngineClearErrors();
char* EngineGetErrorLog();
int EngineGetAPIVersion();
int EngineGetAPIVersionEx(std::uint16_t* major, std::uint16_t* minor, std::uint16_t* release,
                          std::uint16_t* build);
int EngineSetExpectedAPIVersion(std::int32_t version);
int EngineSetExpectedAPIVersionEx(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                                  std::uint16_t build, void* reserved);
BurnDriveList* EngineGetAvailableDrives();
BurnDriveList* EngineGetAvailableDrivesEx(std::uint32_t mediaType, void* reserved);
BurnDeviceHandle EngineOpenDevice(const BurnDriveRecord* drive);
void EngineCloseDevice(BurnDeviceHandle device);
BurnDiscInfo* EngineGetCDInfo(BurnDeviceHandle device, std::uint32_t flags);
int EngineBurn(BurnDeviceHandle device, std::uint32_t compilationType, void* compilation,
               std::uint32_t flags, std::uint32_t speed, BurnProgress* progress);
void* EngineCreateIsoItemOfSize(std::uint32_t size);
void EngineFreeIsoItemTree(BurnIsoItem* first);
BurnIsoTrack* EngineCreateIsoTrackEx(BurnIsoItem* first, const void* nameOrArguments,
                                     std::uint32_t flags);
void EngineFreeIsoTrack(BurnIsoTrack* track);
void EngineFreeCDStamp(BurnCDStamp* stamp);
BurnIsoItem* EngineImportIsoTrackEx(BurnDeviceHandle device, std::int32_t track,
                                    BurnCDStamp** stamp, std::uint32_t flags);
BurnIsoItem* EngineImportDataTrack(BurnDeviceHandle device, std::int32_t track, BurnCDStamp** stamp,
                                   BurnImportInfo* info, std::uint32_t flags, std::int32_t* error,
                                   void* reserved);
char* EngineGetLocalizedWaitCDTexts(std::int32_t waitType);

// Forwarded for engines that offer them; nothing in the program calls these.
int EngineGetLastDriveError(BurnDeviceHandle device);
int EngineGetLastError();
char* EngineGetLastErrors();
void* EngineGetAvailableSpeeds(BurnDeviceHandle device, std::uint32_t direction,
                               std::uint32_t mediaType);
int EngineUpdateDeviceInfo(BurnDeviceHandle device, std::uint32_t mediaType);
int EngineGetDeviceOption(BurnDeviceHandle device, std::int32_t option);
int EngineSetDeviceOption(BurnDeviceHandle device, std::int32_t option, std::int32_t* value);
int EngineSetOption(std::int32_t option, void* value);
void* EngineGetVMSInfo(BurnDeviceHandle device);
void* EngineGetDiscImageInfo(const char* path);
BurnIsoItem* EngineCopyIsoItem(const BurnIsoItem* item);
void EngineFreeIsoItem(BurnIsoItem* item);
int EngineWaitForMedia(BurnDeviceHandle device, std::uint32_t mediaType, std::int32_t waitType,
                       std::int32_t timeout);
int EngineWaitForDisc(BurnDeviceHandle device, std::uint32_t mediaType, std::int32_t waitType,
                      std::int32_t timeout);
int EngineEraseCDRW(BurnDeviceHandle device, std::int32_t mode);
int EngineEraseDisc(BurnDeviceHandle device, std::int32_t mode, std::uint32_t flags,
                    void* reserved);
int EngineGetCDRWErasingTime(BurnDeviceHandle device, std::int32_t mode);
int EngineEjectLoadCD(BurnDeviceHandle device, std::int32_t eject);
int EngineIsDeviceReady(BurnDeviceHandle device);
int EngineWaitForDeviceReady(BurnDeviceHandle device, std::int32_t timeout);
int EngineInitImageRecorder(const char* path, std::uint32_t flags);
int EngineEstimateTrackSize(BurnIsoItem* first, std::uint32_t flags, std::uint64_t* size);
int EngineDAE(BurnDeviceHandle device, void* arguments);
void* EngineCreateFileSystemContainer(void* reserved);
void* EngineAudioCreateTargetItem(const char* path, void* reserved);
void* EngineAudioCloseItem(void* item);
void* EngineAudioGUIConfigureItem(void* item, void* window);
void* EngineAudioGetFormatInfo(void* item);
void* EngineCreateProgress(std::int32_t kind);
char* EngineConvertToValidFileSystemName(const char* name, std::uint32_t fileSystem);
int EngineSetDesiredUDFRevision(std::int32_t revision);
int EngineSetDesiredUDFPartitionType(std::int32_t type);
int EngineRegisterDriveStatusCallback(BurnDriveStatusCallback callback, void* context);
int EngineUnregisterDriveStatusCallback(BurnDriveStatusCallback callback, void* context);
int EngineRegisterDriveChangeCallback(BurnDriveChangeCallback callback, void* context);
int EngineUnregisterDriveChangeCallback(BurnDriveChangeCallback callback, void* context);
// A copy of the medium's type name, in engine memory (EngineFreeMem).
char* EngineGetTypeNameOfMedia(std::uint32_t mediaType);

}  // namespace burn
