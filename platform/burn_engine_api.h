#ifndef KESTRUNE_BURN_ENGINE_API_H
#define KESTRUNE_BURN_ENGINE_API_H

/*
 * The burning engine's interface: a shared library named BurnEngine.so that
 * the program loads at run time and reaches only through same-named
 * forwarders. Every engine (the shipped one over xorriso, the tests' fake)
 * implements these functions with C linkage; an engine may leave any of them
 * out, and the program then answers that function's fallback itself.
 *
 * Records the program and the engine exchange start with their own size in
 * bytes, so either side can tell which layout the other was built with.
 * Memory an engine hands out (lists, disc information, texts, items) is given
 * back to the same engine: EngineFreeMem, EngineFreeIsoItemTree,
 * EngineFreeIsoTrack, EngineFreeCDStamp.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BURN_ENGINE_LIBRARY_NAME "BurnEngine.so"

/* Where the program looks for the engine's folder in its registry store. */
#define BURN_ENGINE_REGISTRY_KEY "SOFTWARE\\DiscEngine\\Shared"
#define BURN_ENGINE_REGISTRY_VALUE "BurnEngine"

/* The interface version described here: 6.6.0.14. */
#define BURN_API_MAJOR 6
#define BURN_API_MINOR 6
#define BURN_API_RELEASE 0
#define BURN_API_BUILD 14

/* Medium types: one bit for CD, the DVD mask for every DVD kind. */
#define BURN_MEDIA_CD 0x1u
#define BURN_MEDIA_DVD 0xC001Cu
#define BURN_MEDIA_NOT_WRITABLE 0x400u

/* EngineBurn flags. */
#define BURN_FLAG_WRITE 0x4u
#define BURN_FLAG_CLOSE_SESSION_ONLY 0x10u

/* EngineBurn results. */
#define BURN_OK 0
#define BURN_UNKNOWN_FORMAT 1
#define BURN_INVALID_DRIVE 2
#define BURN_FAILED 3
#define BURN_NOT_ALLOWED 4
#define BURN_DRIVE_NOT_ALLOWED 5
#define BURN_USER_ABORT 6
#define BURN_BAD_MESSAGE_FILE 7

/* Compilation types of EngineBurn. */
#define BURN_COMPILATION_ISO 0

/* User-dialog requests (OnUserDialog). Request 20 asks for the path of an
 * image file: `data` is a text buffer of `dataSize` bytes; the answer 1 means
 * the buffer holds a zero-ended path, 21 that the user cancelled. */
#define BURN_ASK_IMAGE_FILE 20
#define BURN_ANSWER_CANCELLED 21
#define BURN_ASK_WAIT_FOR_DISC 15

/* Import errors (EngineImportDataTrack). */
#define BURN_IMPORT_OK 0
#define BURN_IMPORT_GENERIC 1
#define BURN_IMPORT_DRIVE 2
#define BURN_IMPORT_READ 3
#define BURN_IMPORT_FILESYSTEM 4
#define BURN_IMPORT_INVALID_TRACK 5

typedef struct BurnDevice* BurnDeviceHandle;
typedef struct BurnIsoTrack BurnIsoTrack;
typedef struct BurnCDStamp BurnCDStamp;

typedef int (*BurnIdleCallback)(void* context);
typedef int (*BurnUserDialogCallback)(void* context, int32_t request, void* data,
                                      uint32_t dataSize);
typedef int (*BurnProgressCallback)(void* context, int32_t percent);
typedef int (*BurnAbortedCallback)(void* context);
typedef void (*BurnLogLineCallback)(void* context, const char* line);
typedef void (*BurnPhaseCallback)(void* context, int32_t phase);

typedef struct BurnEngineSettings {
    uint32_t size;
    const char* jobName;
    const char* vendorName;
    const char* applicationName;
    const char* languageFile;
    BurnIdleCallback idle;
    void* idleContext;
    BurnUserDialogCallback userDialog;
    void* userDialogContext;
    void* reserved[4];
} BurnEngineSettings;

typedef struct BurnProgress {
    uint32_t size;
    BurnProgressCallback progress;
    BurnAbortedCallback aborted;
    BurnLogLineCallback logLine;
    BurnPhaseCallback phase;
    void* context;
    void* spare[3];
} BurnProgress;

#define BURN_DRIVE_NAME_SIZE 64
#define BURN_DRIVE_ADDRESS_SIZE 1024

typedef struct BurnDriveRecord {
    uint32_t size;
    char name[BURN_DRIVE_NAME_SIZE];       /* zero-ended */
    char address[BURN_DRIVE_ADDRESS_SIZE]; /* the engine's own address text */
    uint32_t mediaTypes;                   /* what the drive can write */
    uint32_t reserved[8];
} BurnDriveRecord;

typedef struct BurnDriveList {
    uint32_t size;
    uint32_t count;
    uint32_t recordSize;
    const BurnDriveRecord* drives; /* `count` records, inside the list's block */
} BurnDriveList;

typedef struct BurnDiscInfo {
    uint32_t size;
    uint32_t freeBlocks; /* 2048-byte blocks */
    uint32_t mediaType;  /* medium-type bits */
    uint32_t trackCount;
    uint32_t reserved[4];
} BurnDiscInfo;

typedef struct BurnImportInfo {
    uint32_t size;
    void* data; /* filled by the engine or null; given back with EngineFreeMem */
} BurnImportInfo;

typedef struct BurnTime {
    int32_t year;  /* 0 when the item has no time */
    int32_t month; /* 1..12 */
    int32_t day;
    int32_t hour;
    int32_t minute;
    int32_t second;
} BurnTime;

#define BURN_SHORT_NAME_SIZE 256

typedef struct BurnIsoItem {
    char shortName[BURN_SHORT_NAME_SIZE];
    char* longName;
    int32_t isDirectory;
    int32_t isReference; /* the item stands for a file of an earlier session */
    char* longSourcePath;
    struct BurnIsoItem* firstChild;
    struct BurnIsoItem* next;
    BurnTime entryTime;
    int32_t last;
} BurnIsoItem;

typedef struct BurnAudioTrack {
    const char* sourcePath;
    uint32_t reserved[4];
} BurnAudioTrack;

typedef struct BurnWriteRecord {
    uint32_t size;
    const char* artist;
    const char* title;
    BurnIsoTrack* isoTrack;
    int32_t cdExtra;
    BurnCDStamp* stamp;
    uint32_t audioTrackCount;
    uint32_t mediaType;
    uint32_t reserved[32];
    BurnAudioTrack audioTrack;
} BurnWriteRecord;

/* The functions, as pointer types for the loader; an engine defines them
 * with these names and C linkage. */
typedef int (*PFN_EngineInit)(const BurnEngineSettings* settings, void* reserved);
typedef int (*PFN_EngineDone)(void);
typedef void (*PFN_EngineFreeMem)(void* memory);
typedef void (*PFN_EngineClearErrors)(void);
typedef char* (*PFN_EngineGetErrorLog)(void);
typedef int (*PFN_EngineGetAPIVersion)(void);
typedef int (*PFN_EngineGetAPIVersionEx)(uint16_t* major, uint16_t* minor, uint16_t* release,
                                         uint16_t* build);
typedef int (*PFN_EngineSetExpectedAPIVersion)(int32_t version);
typedef int (*PFN_EngineSetExpectedAPIVersionEx)(uint16_t major, uint16_t minor, uint16_t release,
                                                 uint16_t build, void* reserved);
typedef BurnDriveList* (*PFN_EngineGetAvailableDrives)(void);
typedef BurnDriveList* (*PFN_EngineGetAvailableDrivesEx)(uint32_t mediaType, void* reserved);
typedef BurnDeviceHandle (*PFN_EngineOpenDevice)(const BurnDriveRecord* drive);
typedef void (*PFN_EngineCloseDevice)(BurnDeviceHandle device);
typedef BurnDiscInfo* (*PFN_EngineGetCDInfo)(BurnDeviceHandle device, uint32_t flags);
typedef int (*PFN_EngineBurn)(BurnDeviceHandle device, uint32_t compilationType, void* compilation,
                              uint32_t flags, uint32_t speed, BurnProgress* progress);
typedef void* (*PFN_EngineCreateIsoItemOfSize)(uint32_t size);
typedef void (*PFN_EngineFreeIsoItemTree)(BurnIsoItem* first);
typedef BurnIsoTrack* (*PFN_EngineCreateIsoTrackEx)(BurnIsoItem* first, const void* nameOrArguments,
                                                    uint32_t flags);
typedef void (*PFN_EngineFreeIsoTrack)(BurnIsoTrack* track);
typedef void (*PFN_EngineFreeCDStamp)(BurnCDStamp* stamp);
typedef BurnIsoItem* (*PFN_EngineImportIsoTrackEx)(BurnDeviceHandle device, int32_t track,
                                                   BurnCDStamp** stamp, uint32_t flags);
typedef BurnIsoItem* (*PFN_EngineImportDataTrack)(BurnDeviceHandle device, int32_t track,
                                                  BurnCDStamp** stamp, BurnImportInfo* info,
                                                  uint32_t flags, int32_t* error, void* reserved);
typedef char* (*PFN_EngineGetLocalizedWaitCDTexts)(int32_t waitType);

/* Functions the program forwards but does not use itself. */
typedef void (*BurnDriveStatusCallback)(void* context, BurnDeviceHandle device, int32_t status);
typedef void (*BurnDriveChangeCallback)(void* context, int32_t change);
typedef int (*PFN_EngineGetLastDriveError)(BurnDeviceHandle device);
typedef int (*PFN_EngineGetLastError)(void);
typedef char* (*PFN_EngineGetLastErrors)(void);
typedef void* (*PFN_EngineGetAvailableSpeeds)(BurnDeviceHandle device, uint32_t direction,
                                              uint32_t mediaType);
typedef int (*PFN_EngineUpdateDeviceInfo)(BurnDeviceHandle device, uint32_t mediaType);
typedef int (*PFN_EngineGetDeviceOption)(BurnDeviceHandle device, int32_t option);
typedef int (*PFN_EngineSetDeviceOption)(BurnDeviceHandle device, int32_t option, int32_t* value);
typedef int (*PFN_EngineSetOption)(int32_t option, void* value);
typedef void* (*PFN_EngineGetVMSInfo)(BurnDeviceHandle device);
typedef void* (*PFN_EngineGetDiscImageInfo)(const char* path);
typedef BurnIsoItem* (*PFN_EngineCopyIsoItem)(const BurnIsoItem* item);
typedef void (*PFN_EngineFreeIsoItem)(BurnIsoItem* item);
typedef int (*PFN_EngineWaitForMedia)(BurnDeviceHandle device, uint32_t mediaType, int32_t waitType,
                                      int32_t timeout);
typedef int (*PFN_EngineWaitForDisc)(BurnDeviceHandle device, uint32_t mediaType, int32_t waitType,
                                     int32_t timeout);
typedef int (*PFN_EngineEraseCDRW)(BurnDeviceHandle device, int32_t mode);
typedef int (*PFN_EngineEraseDisc)(BurnDeviceHandle device, int32_t mode, uint32_t flags,
                                   void* reserved);
typedef int (*PFN_EngineGetCDRWErasingTime)(BurnDeviceHandle device, int32_t mode);
typedef int (*PFN_EngineEjectLoadCD)(BurnDeviceHandle device, int32_t eject);
typedef int (*PFN_EngineIsDeviceReady)(BurnDeviceHandle device);
typedef int (*PFN_EngineWaitForDeviceReady)(BurnDeviceHandle device, int32_t timeout);
typedef int (*PFN_EngineInitImageRecorder)(const char* path, uint32_t flags);
typedef int (*PFN_EngineEstimateTrackSize)(BurnIsoItem* first, uint32_t flags, uint64_t* size);
typedef int (*PFN_EngineDAE)(BurnDeviceHandle device, void* arguments);
typedef void* (*PFN_EngineCreateFileSystemContainer)(void* reserved);
typedef void* (*PFN_EngineAudioCreateTargetItem)(const char* path, void* reserved);
typedef void* (*PFN_EngineAudioCloseItem)(void* item);
typedef void* (*PFN_EngineAudioGUIConfigureItem)(void* item, void* window);
typedef void* (*PFN_EngineAudioGetFormatInfo)(void* item);
typedef void* (*PFN_EngineCreateProgress)(int32_t kind);
typedef char* (*PFN_EngineConvertToValidFileSystemName)(const char* name, uint32_t fileSystem);
typedef int (*PFN_EngineSetDesiredUDFRevision)(int32_t revision);
typedef int (*PFN_EngineSetDesiredUDFPartitionType)(int32_t type);
typedef int (*PFN_EngineRegisterDriveStatusCallback)(BurnDriveStatusCallback callback,
                                                     void* context);
typedef int (*PFN_EngineUnregisterDriveStatusCallback)(BurnDriveStatusCallback callback,
                                                       void* context);
typedef int (*PFN_EngineRegisterDriveChangeCallback)(BurnDriveChangeCallback callback,
                                                     void* context);
typedef int (*PFN_EngineUnregisterDriveChangeCallback)(BurnDriveChangeCallback callback,
                                                       void* context);
typedef char* (*PFN_EngineGetTypeNameOfMedia)(uint32_t mediaType);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUNE_BURN_ENGINE_API_H */
