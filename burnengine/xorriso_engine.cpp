// The burning engine that ships with the program: it implements the engine
// interface by running xorriso. Optical drives come from xorriso's device
// scan; the "Image Recorder" drive writes an ISO image file through xorriso's
// stdio: pseudo-drive, so backups can be burned (and tested) without a drive.
// Each burn adds the new files to the medium's last session and writes the
// result as a new session, or closes the disc.

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "burnengine/xorriso_process.h"
#include "burnengine/xorriso_reports.h"
#include "platform/burn_engine_api.h"

struct BurnDevice {
    std::string address;  // as xorriso's -dev takes it
    bool image = false;
    std::string imagePath;
};

// A track of the current interface: the items to write and the volume name.
struct XorrisoTrack {
    BurnIsoTrack base;  // first: handed out as the track
    BurnIsoItem* first;
    std::string volumeId;
};

struct BurnCDStamp {
    uint32_t sessions;
};

namespace {

constexpr const char* kImageRecorderName = "Image Recorder";
constexpr std::size_t kImagePathSize = 4096;
constexpr std::size_t kErrorLogLimit = 16384;
// Medium bits this engine reports.
constexpr uint32_t kBitsCd = 0x1;
constexpr uint32_t kBitsDvd = 0x10;
constexpr uint32_t kBitsClosed = 0x20;  // written and closed: no class, not writable

std::mutex g_lock;
BurnEngineSettings g_settings{};
std::string g_imagePath;  // the image file chosen for this run
std::string g_errors;

void NoteErrors(const std::string& output) {
    std::string_view rest = output;
    std::lock_guard lock(g_lock);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (auto payload = xorriso::Payload(line, 'I')) {
            if ((payload->find(": FAILURE :") != std::string_view::npos ||
                 payload->find(": SORRY :") != std::string_view::npos) &&
                g_errors.size() + payload->size() + 1 < kErrorLogLimit) {
                g_errors.append(*payload);
                g_errors += '\n';
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
}

char* CopyText(const std::string& text) {
    auto* copy = static_cast<char*>(::malloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

bool ImageHoldsData(const BurnDevice& device) {
    struct stat info {};
    return ::stat(device.imagePath.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_size > 0;
}

xorriso::RunResult RunQuiet(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {"-pkt_output",   "on", "-iso_rr_pattern", "off",
                                    "-disk_pattern", "off"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    xorriso::RunResult result = xorriso::Run(all);
    NoteErrors(result.output);
    return result;
}

// The medium bits of a table of contents.
uint32_t MediumBits(const xorriso::MediaReport& report) {
    const std::string& medium = report.medium;
    if (!report.present || medium.empty() || medium.find("is not present") != std::string::npos ||
        medium.find("is not recognizable") != std::string::npos) {
        return 0;
    }
    if (report.closed) {
        return kBitsClosed;
    }
    if (medium.rfind("stdio file", 0) == 0 || medium.find("DVD") != std::string::npos ||
        medium.find("BD") != std::string::npos) {
        return kBitsDvd;
    }
    if (medium.rfind("CD", 0) == 0) {
        return kBitsCd;
    }
    return kBitsClosed;
}

// The time of an entry whose year ls left out: this year, or the last one
// when that would lie in the future.
BurnTime EntryTime(const xorriso::TreeEntry& entry) {
    BurnTime time{entry.year, entry.month, entry.day, entry.hour, entry.minute, 0};
    if (entry.year == 0) {
        const time_t now = ::time(nullptr);
        struct tm local {};
        localtime_r(&now, &local);
        time.year = local.tm_year + 1900;
        struct tm fields {};
        fields.tm_year = time.year - 1900;
        fields.tm_mon = time.month - 1;
        fields.tm_mday = time.day;
        fields.tm_hour = time.hour;
        fields.tm_min = time.minute;
        fields.tm_isdst = -1;
        if (::mktime(&fields) > now + 86400) {
            --time.year;
        }
    }
    return time;
}

std::vector<xorriso::TreeEntry> ListTopLevel(const BurnDevice& device, bool* failed) {
    const xorriso::RunResult run =
        RunQuiet({"-indev", device.address, "-find", "/", "-maxdepth", "1", "-exec", "lsdl", "--"});
    *failed = !run.started || run.exitCode != 0;
    return xorriso::ParseLsdl(run.output);
}

void FreeTree(BurnIsoItem* item) {
    while (item != nullptr) {
        BurnIsoItem* next = item->next;
        FreeTree(item->firstChild);
        // The names of imported items are the engine's; the program frees
        // the names of its own items before it hands them back.
        if (item->isReference != 0) {
            ::free(item->longName);
            ::free(item->longSourcePath);
        }
        ::free(item);
        item = next;
    }
}

int CallAborted(const BurnProgress* progress) {
    int stop = 0;
    if (progress != nullptr && progress->aborted != nullptr) {
        stop = progress->aborted(progress->context);
    }
    BurnIdleCallback idle;
    void* context;
    {
        std::lock_guard lock(g_lock);
        idle = g_settings.idle;
        context = g_settings.idleContext;
    }
    if (stop == 0 && idle != nullptr) {
        stop = idle(context);
    }
    return stop;
}

XorrisoTrack* TrackOf(BurnIsoTrack* track) {
    return reinterpret_cast<XorrisoTrack*>(track);
}

void DestroyTrack(BurnIsoTrack* track) {
    delete TrackOf(track);
}

intptr_t TrackFirstItem(BurnIsoTrack* track, intptr_t) {
    return reinterpret_cast<intptr_t>(TrackOf(track)->first);
}

intptr_t TrackVolumeName(BurnIsoTrack* track, intptr_t) {
    return reinterpret_cast<intptr_t>(TrackOf(track)->volumeId.c_str());
}

// The slots this engine has no use for.
intptr_t TrackNothing(BurnIsoTrack*, intptr_t) {
    return 0;
}

intptr_t TrackNoPair(BurnIsoTrack*, uint32_t* first, uint32_t* second) {
    for (uint32_t* out : {first, second}) {
        if (out != nullptr) {
            *out = 0;
        }
    }
    return 0;
}

intptr_t TrackNoEight(BurnIsoTrack*, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d,
                      uint32_t* e, uint32_t* f, uint32_t* g, uint32_t* h) {
    for (uint32_t* out : {a, b, c, d, e, f, g, h}) {
        if (out != nullptr) {
            *out = 0;
        }
    }
    return 0;
}

constexpr BurnIsoTrackOps kTrackOps = {
    &DestroyTrack, &TrackFirstItem, &TrackVolumeName, &TrackNothing, &TrackNothing, &TrackNothing,
    &TrackNothing, &TrackNothing,   &TrackNothing,    &TrackNoPair,  &TrackNothing, &TrackNothing,
    &TrackNothing, &TrackNothing,   &TrackNothing,    &TrackNothing, &TrackNothing, &TrackNothing,
    &TrackNothing, &TrackNothing,   &TrackNothing,    &TrackNothing, &TrackNothing, &TrackNothing,
    &TrackNothing, &TrackNothing,   &TrackNothing,    &TrackNothing, &TrackNothing, &TrackNoEight,
};

// The items and volume name of a track, asked through its interface.
const BurnIsoItem* TrackItems(BurnIsoTrack* track) {
    return track->ops->firstItem != nullptr
               ? reinterpret_cast<const BurnIsoItem*>(track->ops->firstItem(track, 0))
               : nullptr;
}

std::string TrackVolume(BurnIsoTrack* track) {
    const char* name = track->ops->volumeName != nullptr
                           ? reinterpret_cast<const char*>(track->ops->volumeName(track, 0))
                           : nullptr;
    return name != nullptr ? std::string(name, strnlen(name, 32)) : std::string();
}

}  // namespace

extern "C" {

int EngineGetAPIVersionEx(uint16_t* major, uint16_t* minor, uint16_t* release, uint16_t* build) {
    if (major != nullptr)
        *major = BURN_API_MAJOR;
    if (minor != nullptr)
        *minor = BURN_API_MINOR;
    if (release != nullptr)
        *release = BURN_API_RELEASE;
    if (build != nullptr)
        *build = BURN_API_BUILD;
    return 1;
}

// Accepts callers of this interface, and only when xorriso is installed:
// without it there is no engine to offer.
int EngineSetExpectedAPIVersionEx(uint16_t major, uint16_t minor, uint16_t, uint16_t, void*) {
    if (major != BURN_API_MAJOR || minor != BURN_API_MINOR) {
        return 0;
    }
    return xorriso::FindProgram().has_value() ? 1 : 0;
}

int EngineInit(const BurnEngineSettings* settings, void*) {
    if (settings == nullptr || settings->size < sizeof(BurnEngineSettings)) {
        return 1;
    }
    std::lock_guard lock(g_lock);
    g_settings = *settings;
    return 0;
}

int EngineDone(void) {
    std::lock_guard lock(g_lock);
    g_settings = BurnEngineSettings{};
    g_imagePath.clear();
    return 0;
}

void EngineFreeMem(void* memory) {
    ::free(memory);
}

void EngineClearErrors(void) {
    std::lock_guard lock(g_lock);
    g_errors.clear();
}

char* EngineGetErrorLog(void) {
    std::lock_guard lock(g_lock);
    return CopyText(g_errors);
}

BurnDriveList* EngineGetAvailableDrivesEx(uint32_t, void*) {
    std::vector<xorriso::DriveEntry> drives;
    const xorriso::RunResult scan = RunQuiet({"-devices"});
    if (scan.started) {
        drives = xorriso::ParseDevices(scan.output);
    }
    drives.push_back({"stdio:", kImageRecorderName});
    const std::size_t bytes = sizeof(BurnDriveList) + drives.size() * sizeof(BurnDriveRecord);
    auto* list = static_cast<BurnDriveList*>(::calloc(1, bytes));
    if (list == nullptr) {
        return nullptr;
    }
    auto* records = reinterpret_cast<BurnDriveRecord*>(list + 1);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        records[i].size = sizeof(BurnDriveRecord);
        std::snprintf(records[i].name, sizeof records[i].name, "%s", drives[i].name.c_str());
        std::snprintf(records[i].address, sizeof records[i].address, "%s",
                      drives[i].address.c_str());
        records[i].mediaTypes = BURN_MEDIA_CD | BURN_MEDIA_DVD;
    }
    list->size = static_cast<uint32_t>(bytes);
    list->count = static_cast<uint32_t>(drives.size());
    list->recordSize = sizeof(BurnDriveRecord);
    list->drives = records;
    return list;
}

// Opening the image recorder the first time asks the program for the image
// file (request 20); later opens in the same run use that file.
BurnDeviceHandle EngineOpenDevice(const BurnDriveRecord* drive) {
    if (drive == nullptr) {
        return nullptr;
    }
    const std::string name(drive->name, strnlen(drive->name, sizeof drive->name));
    const std::string address(drive->address, strnlen(drive->address, sizeof drive->address));
    auto* device = new BurnDevice{address, false, {}};
    if (name.rfind(kImageRecorderName, 0) != 0) {
        return device;
    }
    device->image = true;
    std::string path;
    BurnUserDialogCallback ask;
    void* context;
    {
        std::lock_guard lock(g_lock);
        path = g_imagePath;
        ask = g_settings.userDialog;
        context = g_settings.userDialogContext;
    }
    if (path.empty() && ask != nullptr) {
        std::vector<char> buffer(kImagePathSize, '\0');
        if (ask(context, BURN_ASK_IMAGE_FILE, buffer.data(),
                static_cast<uint32_t>(buffer.size())) == 1) {
            path.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        }
    }
    if (path.empty()) {
        delete device;
        return nullptr;
    }
    {
        std::lock_guard lock(g_lock);
        g_imagePath = path;
    }
    device->imagePath = path;
    device->address = "stdio:" + path;
    return device;
}

void EngineCloseDevice(BurnDeviceHandle device) {
    delete device;
}

BurnDiscInfo* EngineGetCDInfo(BurnDeviceHandle device, uint32_t) {
    if (device == nullptr) {
        return nullptr;
    }
    auto* info = static_cast<BurnDiscInfo*>(::calloc(1, sizeof(BurnDiscInfo)));
    if (info == nullptr) {
        return nullptr;
    }
    info->size = sizeof(BurnDiscInfo);
    if (device->image && !ImageHoldsData(*device)) {
        // A new image: as much room as its folder has.
        struct statvfs room {};
        const std::string folder = std::filesystem::path(device->imagePath).parent_path().string();
        uint64_t blocks = 0;
        if (::statvfs(folder.empty() ? "." : folder.c_str(), &room) == 0) {
            blocks = static_cast<uint64_t>(room.f_bavail) * room.f_frsize / 2048;
        }
        info->freeBlocks = static_cast<uint32_t>(std::min<uint64_t>(blocks, UINT32_MAX));
        info->mediaType = kBitsDvd;
        info->trackCount = 0;
        return info;
    }
    const xorriso::RunResult run = RunQuiet({"-indev", device->address, "-toc"});
    const xorriso::MediaReport report = xorriso::ParseToc(run.output);
    if (!run.started || !report.present) {
        ::free(info);
        return nullptr;
    }
    info->freeBlocks = static_cast<uint32_t>(std::min<uint64_t>(report.writableBlocks, UINT32_MAX));
    info->mediaType = MediumBits(report);
    info->trackCount = report.sessions;
    return info;
}

void* EngineCreateIsoItemOfSize(uint32_t size) {
    return ::calloc(1, std::max<std::size_t>(size, 1));
}

void EngineFreeIsoItemTree(BurnIsoItem* first) {
    FreeTree(first);
}

BurnIsoItem* EngineImportDataTrack(BurnDeviceHandle device, int32_t track, BurnCDStamp** stamp,
                                   BurnImportInfo* info, uint32_t, int32_t* error, void*) {
    if (error != nullptr) {
        *error = BURN_IMPORT_OK;
    }
    if (info != nullptr) {
        info->data = nullptr;
    }
    if (device == nullptr) {
        if (error != nullptr)
            *error = BURN_IMPORT_DRIVE;
        return nullptr;
    }
    if (track < 0 || (device->image && !ImageHoldsData(*device))) {
        return nullptr;
    }
    bool failed = false;
    const std::vector<xorriso::TreeEntry> entries = ListTopLevel(*device, &failed);
    if (failed && error != nullptr) {
        *error = BURN_IMPORT_READ;
    }
    BurnIsoItem* first = nullptr;
    BurnIsoItem** link = &first;
    for (const xorriso::TreeEntry& entry : entries) {
        auto* item = static_cast<BurnIsoItem*>(::calloc(1, sizeof(BurnIsoItem)));
        if (item == nullptr) {
            break;
        }
        item->longName = CopyText(entry.name);
        item->longSourcePath = CopyText("/" + entry.name);
        item->isDirectory = entry.directory ? 1 : 0;
        item->isReference = 1;
        item->entryTime = EntryTime(entry);
        *link = item;
        link = &item->next;
    }
    if (first != nullptr && stamp != nullptr) {
        *stamp = static_cast<BurnCDStamp*>(::calloc(1, sizeof(BurnCDStamp)));
        if (*stamp != nullptr) {
            (*stamp)->sessions = static_cast<uint32_t>(track) + 1;
        }
    }
    return first;
}

void EngineFreeCDStamp(BurnCDStamp* stamp) {
    ::free(stamp);
}

// The second argument is the volume name, or with BURN_TRACK_ARGUMENTS an
// argument record, which this engine has no use for.
BurnIsoTrack* EngineCreateIsoTrackEx(BurnIsoItem* first, const void* name, uint32_t flags) {
    const char* text =
        (flags & BURN_TRACK_ARGUMENTS) == 0 ? static_cast<const char*>(name) : nullptr;
    auto* track =
        new XorrisoTrack{{&kTrackOps},
                         first,
                         text != nullptr ? std::string(text, strnlen(text, 32)) : std::string()};
    return &track->base;
}

void EngineFreeIsoTrack(BurnIsoTrack* track) {
    if (track != nullptr && track->ops != nullptr && track->ops->destroy != nullptr) {
        track->ops->destroy(track);
    }
}

int EngineBurn(BurnDeviceHandle device, uint32_t type, void* compilation, uint32_t flags, uint32_t,
               BurnProgress* progress) {
    if (device == nullptr) {
        return BURN_INVALID_DRIVE;
    }
    const auto* record = static_cast<const BurnWriteRecord*>(compilation);
    if (type != BURN_COMPILATION_ISO || record == nullptr || record->isoTrack == nullptr) {
        return BURN_UNKNOWN_FORMAT;
    }
    std::vector<std::string> arguments = {
        "-pkt_output",   "on",     "-iso_rr_pattern", "off",     "-disk_pattern", "off",
        "-report_about", "UPDATE", "-abort_on",       "FAILURE", "-dev",          device->address};
    const bool fresh = device->image && !ImageHoldsData(*device);
    const std::string volumeId = TrackVolume(record->isoTrack);
    if (fresh && !volumeId.empty()) {
        arguments.insert(arguments.end(), {"-volid", volumeId});
    }
    arguments.insert(arguments.end(),
                     {"-close", (flags & BURN_FLAG_CLOSE_SESSION_ONLY) != 0 ? "off" : "on"});

    // The new session holds exactly the items of the list: entries of the
    // last session that the list left out are removed, new files mapped in.
    std::set<std::string> listed;
    for (const BurnIsoItem* item = TrackItems(record->isoTrack); item != nullptr;
         item = item->next) {
        const std::string name =
            item->longName != nullptr
                ? item->longName
                : std::string(item->shortName, strnlen(item->shortName, sizeof item->shortName));
        if (name.empty() || name.find('/') != std::string::npos) {
            return BURN_FAILED;
        }
        listed.insert(name);
        if (item->isReference == 0) {
            if (item->longSourcePath == nullptr) {
                return BURN_FAILED;
            }
            arguments.insert(arguments.end(), {"-map", item->longSourcePath, "/" + name});
        }
    }
    if (!fresh) {
        bool failed = false;
        for (const xorriso::TreeEntry& entry : ListTopLevel(*device, &failed)) {
            if (listed.count(entry.name) == 0) {
                arguments.insert(arguments.end(), {"-rm_r", "/" + entry.name, "--"});
            }
        }
    }
    arguments.push_back("-commit");

    int reported = -1;
    const xorriso::RunResult run = xorriso::Run(
        arguments,
        [&](std::string_view line) {
            if (auto percent = xorriso::ParseProgress(line);
                percent && *percent != reported && progress && progress->progress) {
                reported = *percent;
                progress->progress(progress->context, *percent);
            }
        },
        [&] { return CallAborted(progress) != 0; });
    NoteErrors(run.output);
    if (run.stopped) {
        return BURN_USER_ABORT;
    }
    if (!run.started || run.exitCode != 0) {
        return BURN_FAILED;
    }
    if (reported != 100 && progress != nullptr && progress->progress != nullptr) {
        progress->progress(progress->context, 100);
    }
    return BURN_OK;
}

char* EngineGetLocalizedWaitCDTexts(int32_t) {
    return CopyText("Please insert a writable disc.");
}

}  // extern "C"
