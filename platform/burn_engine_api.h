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
 * bytes (a drive list: the size of its whole block), so either side can tell
 * which layout the other was built with; only the older forms that older
 * engines use (below) keep their fixed layouts without one.
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

/* Compilation types of EngineBurn, each with its record (below). */
#define BURN_COMPILATION_ISO 0
#define BURN_COMPILATION_ISO_AUDIO 1
#define BURN_COMPILATION_VIDEO 3
#define BURN_COMPILATION_COPY 4
#define BURN_COMPILATION_IMAGE 1001

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
#define BURN_ADAPTER_NAME_SIZE 8
#define BURN_DRIVE_REVISION_SIZE 64
#define BURN_SPEED_COUNT_MAX 64
#define BURN_SPEED_BASE_KBPS 150u

/* The speeds a drive reads or writes at, each given twice: in KB/s and as a
 * multiple of the base speed. */
typedef struct BurnSpeedList {
    uint32_t count;    /* entries in use, at most BURN_SPEED_COUNT_MAX */
    uint32_t baseKBps; /* BURN_SPEED_BASE_KBPS */
    uint32_t kBps[BURN_SPEED_COUNT_MAX];
    uint32_t multiples[BURN_SPEED_COUNT_MAX];
} BurnSpeedList;

typedef struct BurnDriveRecord {
    uint32_t size;
    char name[BURN_DRIVE_NAME_SIZE];          /* zero-ended */
    char address[BURN_DRIVE_ADDRESS_SIZE];    /* the engine's own address text */
    uint32_t mediaTypes;                      /* what the drive can write */
    char adapterName[BURN_ADAPTER_NAME_SIZE]; /* the host adapter's name, zero-ended */
    uint32_t bus;
    uint32_t target;
    uint32_t unit;
    uint8_t flags;
    uint32_t capabilities;
    BurnSpeedList readSpeeds;
    BurnSpeedList writeSpeeds;
    uint32_t kind;
    char revision[BURN_DRIVE_REVISION_SIZE]; /* zero-ended */
    uint32_t bufferSize;
    uint32_t reserved[8];
} BurnDriveRecord;

/* The drive list: this header and `count` records of `recordSize` bytes at
 * `drives`, all inside one block of `size` bytes that starts with the header.
 * A list whose records do not fit its block counts as no list. */
typedef struct BurnDriveList {
    uint32_t size; /* bytes of the whole block */
    uint32_t count;
    uint32_t recordSize;
    const BurnDriveRecord* drives;
} BurnDriveList;

/* Engines whose EngineGetAPIVersion is below 5555 list their drives in an
 * older, smaller record, and take that record in EngineOpenDevice. Their list
 * is this header followed by `count` records, in a block of `size` bytes. */
#define BURN_OLD_API_NUMBER 5555
#define BURN_OLD_DRIVE_NAME_SIZE 32
#define BURN_OLD_DRIVE_REVISION_SIZE 32
#define BURN_OLD_SPEED_COUNT_MAX 20

typedef struct BurnOldDriveRecord {
    char name[BURN_OLD_DRIVE_NAME_SIZE];      /* zero-ended */
    char adapterName[BURN_ADAPTER_NAME_SIZE]; /* zero-ended */
    uint32_t bus;
    uint32_t target;
    uint32_t unit;
    uint8_t flags;
    uint32_t capabilities;
    uint32_t readSpeedCount;
    uint32_t readSpeeds[BURN_OLD_SPEED_COUNT_MAX]; /* multiples of the base speed */
    uint32_t writeSpeedCount;
    uint32_t writeSpeeds[BURN_OLD_SPEED_COUNT_MAX];
    uint32_t kind;
    char revision[BURN_OLD_DRIVE_REVISION_SIZE]; /* zero-ended */
    uint32_t bufferSize;
    uint8_t reserved[92];
} BurnOldDriveRecord;

typedef struct BurnOldDriveList {
    uint32_t size; /* bytes of the whole block */
    uint32_t count;
} BurnOldDriveList;

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

/* An ISO track is an object of the engine's whose first member points to its
 * table of operations. Engines from 5.5.9.16 on present the 30 operations of
 * BurnIsoTrackOps; older engines the 20 of BurnOldIsoTrackOps. Slot 0 frees
 * the track, slot 1 answers its first item (a BurnIsoItem*), slot 2 its
 * volume name (a zero-ended text); what the other slots do is each engine's
 * own. The program moves tracks between the two forms (see the loader). */
typedef struct BurnIsoTrack BurnIsoTrack;
typedef struct BurnOldIsoTrack BurnOldIsoTrack;

typedef void (*BurnTrackDestroy)(BurnIsoTrack* track);
typedef intptr_t (*BurnTrackCall)(BurnIsoTrack* track, intptr_t argument);
typedef intptr_t (*BurnTrackPair)(BurnIsoTrack* track, uint32_t* first, uint32_t* second);
typedef intptr_t (*BurnTrackEight)(BurnIsoTrack* track, uint32_t* a, uint32_t* b, uint32_t* c,
                                   uint32_t* d, uint32_t* e, uint32_t* f, uint32_t* g, uint32_t* h);

typedef struct BurnIsoTrackOps {
    BurnTrackDestroy destroy; /* 0 */
    BurnTrackCall firstItem;  /* 1 */
    BurnTrackCall volumeName; /* 2 */
    BurnTrackCall slot3;
    BurnTrackCall slot4;
    BurnTrackCall slot5;
    BurnTrackCall slot6;
    BurnTrackCall slot7;
    BurnTrackCall slot8;
    BurnTrackPair slot9;
    BurnTrackCall slot10;
    BurnTrackCall slot11;
    BurnTrackCall slot12;
    BurnTrackCall slot13;
    BurnTrackCall slot14;
    BurnTrackCall slot15;
    BurnTrackCall slot16;
    BurnTrackCall slot17;
    BurnTrackCall slot18;
    BurnTrackCall slot19;
    BurnTrackCall slot20;
    BurnTrackCall slot21;
    BurnTrackCall slot22;
    BurnTrackCall slot23;
    BurnTrackCall slot24;
    BurnTrackCall slot25;
    BurnTrackCall slot26;
    BurnTrackCall slot27;
    BurnTrackCall slot28;
    BurnTrackEight slot29;
} BurnIsoTrackOps;

struct BurnIsoTrack {
    const BurnIsoTrackOps* ops;
};

typedef void (*BurnOldTrackDestroy)(BurnOldIsoTrack* track);
typedef intptr_t (*BurnOldTrackCall)(BurnOldIsoTrack* track, intptr_t argument);
typedef intptr_t (*BurnOldTrackPair)(BurnOldIsoTrack* track, uint32_t* first, uint32_t* second);

typedef struct BurnOldIsoTrackOps {
    BurnOldTrackDestroy destroy; /* 0 */
    BurnOldTrackCall firstItem;  /* 1 */
    BurnOldTrackCall volumeName; /* 2 */
    BurnOldTrackCall slot3;
    BurnOldTrackCall slot4;
    BurnOldTrackCall slot5;
    BurnOldTrackCall slot6;
    BurnOldTrackCall slot7;
    BurnOldTrackCall slot8;
    BurnOldTrackPair slot9;
    BurnOldTrackCall slot10;
    BurnOldTrackCall slot11;
    BurnOldTrackCall slot12;
    BurnOldTrackCall slot13;
    BurnOldTrackCall slot14;
    BurnOldTrackCall slot15;
    BurnOldTrackCall slot16;
    BurnOldTrackCall slot17;
    BurnOldTrackCall slot18;
    BurnOldTrackCall slot19;
} BurnOldIsoTrackOps;

struct BurnOldIsoTrack {
    const BurnOldIsoTrackOps* ops;
};

/* EngineCreateIsoTrackEx: with this flag its second argument is a
 * BurnTrackArguments record instead of the volume name. */
#define BURN_TRACK_ARGUMENTS 0x80u

typedef struct BurnTrackArguments {
    uint32_t size; /* engines before 5.5.9.26 take 0 here */
    uint32_t fileSystems;
    uint32_t dataMode;
    uint32_t sessionFlags;
    uint32_t reserved;
} BurnTrackArguments;

typedef struct BurnAudioTrack {
    const char* sourcePath;
    uint32_t reserved[4];
} BurnAudioTrack;

/* The record of compilation types 0 and 1. */
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

/* The record of compilation type 3: a video disc from a folder. */
typedef struct BurnVideoRecord {
    uint32_t size;
    const char* title;
    BurnIsoTrack* isoTrack;
    const char* videoFolder;
    uint32_t mediaType;
    uint32_t reserved[8];
} BurnVideoRecord;

/* The record of compilation type 4: a copy of the disc in another drive. */
typedef struct BurnCopyRecord {
    uint32_t size;
    uint32_t mediaType;
    BurnDeviceHandle source;
    uint32_t reserved[8];
} BurnCopyRecord;

/* The record of compilation type 1001: an image file written as it is. */
typedef struct BurnImageRecord {
    uint32_t size;
    const char* imagePath;
    uint32_t mediaType;
    uint32_t reserved[8];
} BurnImageRecord;

/* The functions, as pointer types for the loader; an engine defines them
 * with these names and C linkage. Older engines pass their older forms
 * through the same functions: an engine whose EngineGetAPIVersion is below
 * 5555 answers a BurnOldDriveList from EngineGetAvailableDrives and takes a
 * BurnOldDriveRecord in EngineOpenDevice; an engine below 5.5.9.16 makes,
 * burns and frees BurnOldIsoTrack objects where BurnIsoTrack is written. */
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
