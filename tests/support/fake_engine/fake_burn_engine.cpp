// A burning engine for tests. It burns nothing: what it answers comes from a
// configuration file named by $KESTRUNE_FAKE_BURN_CONFIG (read again on
// every call, so a test may change it between calls), and every call is
// appended as one JSON object per line to the file named by its "log" key.
//
// Configuration keys (key=value lines, all optional):
//   log=PATH                 where the call log goes
//   version=6.6.0.14         EngineGetAPIVersionEx's answer
//   api_number=0             EngineGetAPIVersion's answer
//   accept_version=1         EngineSetExpectedAPIVersionEx's answer
//   init_result=0            EngineInit's answer
//   done_result=0            EngineDone's answer
//   drives=A|B               drive names; "null" for no list at all
//   open_fail=NAME           the drive that cannot be opened ("*" for all)
//   ask_image=1              opening an "Image Recorder" drive asks for the image file
//   cd_info=1                0: EngineGetCDInfo answers nothing
//   media_bits=1             the disc's medium-type bits
//   free_blocks=100000       free 2048-byte blocks
//   tracks=1                 tracks on the disc
//   entries=NAME@EPOCH|...   the last session's entries (EPOCH 0: no time)
//   import_error=0           the import's error code
//   import_info=0            1: the import fills the import record's pointer
//   burn_result=0            EngineBurn's answer when not aborted
//   progress_steps=4         progress reports during a burn
//   watch=PATH               the drive listing logs whether PATH exists
//
// The build without EngineBurn and the version calls (FAKE_ENGINE_LEAN) shows
// how the program copes with an engine that lacks functions.

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/burn_engine_api.h"

struct BurnDevice {
    std::string name;
};
struct BurnIsoTrack {
    BurnIsoItem* first;
    std::string name;
};
struct BurnCDStamp {
    int id;
};

namespace {

std::mutex g_lock;
long g_live = 0;  // engine allocations not yet given back
BurnEngineSettings g_settings{};

using Config = std::map<std::string, std::string>;

Config ReadConfig() {
    Config config;
    const char* path = ::getenv("KESTRUNE_FAKE_BURN_CONFIG");
    if (path == nullptr) {
        return config;
    }
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            config[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return config;
}

std::string Get(const Config& config, const std::string& key, const std::string& fallback) {
    const auto it = config.find(key);
    return it == config.end() ? fallback : it->second;
}

long GetNumber(const Config& config, const std::string& key, long fallback) {
    const auto it = config.find(key);
    return it == config.end() ? fallback : std::strtol(it->second.c_str(), nullptr, 0);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

std::string Quote(const char* text) {
    if (text == nullptr) {
        return "null";
    }
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Quote(const std::string& text) {
    return Quote(text.c_str());
}

// Appends {"call":NAME, FIELDS} to the log.
void Log(const Config& config, const char* call, const std::string& fields = {}) {
    const std::string path = Get(config, "log", "");
    if (path.empty()) {
        return;
    }
    std::ofstream out(path, std::ios::app);
    out << "{\"call\":" << Quote(call);
    if (!fields.empty()) {
        out << "," << fields;
    }
    out << "}\n";
}

void* Allocate(std::size_t size) {
    void* memory = ::calloc(1, size);
    if (memory != nullptr) {
        ++g_live;
    }
    return memory;
}

void Release(void* memory) {
    if (memory != nullptr) {
        --g_live;
        ::free(memory);
    }
}

char* CopyText(const std::string& text) {
    auto* copy = static_cast<char*>(Allocate(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

void ItemsJson(const BurnIsoItem* item, std::string& out) {
    out += "[";
    for (bool first = true; item != nullptr; item = item->next, first = false) {
        if (!first) {
            out += ",";
        }
        out += "{\"name\":" + Quote(item->longName != nullptr ? item->longName : item->shortName) +
               ",\"source\":" + Quote(item->longSourcePath) +
               ",\"reference\":" + (item->isReference != 0 ? "true" : "false") + "}";
    }
    out += "]";
}

void FreeTree(BurnIsoItem* item) {
    while (item != nullptr) {
        BurnIsoItem* next = item->next;
        FreeTree(item->firstChild);
        // The engine owns the names of the items it made; the program frees
        // the names of its own items before it hands them back.
        if (item->isReference != 0) {
            Release(item->longName);
            Release(item->longSourcePath);
        }
        Release(item);
        item = next;
    }
}

}  // namespace

extern "C" {

#ifndef FAKE_ENGINE_LEAN
int EngineGetAPIVersionEx(uint16_t* major, uint16_t* minor, uint16_t* release, uint16_t* build) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    const auto parts = Split(Get(config, "version", "6.6.0.14"), '.');
    if (parts.size() != 4) {
        return 0;
    }
    *major = static_cast<uint16_t>(std::stoi(parts[0]));
    *minor = static_cast<uint16_t>(std::stoi(parts[1]));
    *release = static_cast<uint16_t>(std::stoi(parts[2]));
    *build = static_cast<uint16_t>(std::stoi(parts[3]));
    return 1;
}

int EngineGetAPIVersion(void) {
    std::lock_guard lock(g_lock);
    return static_cast<int>(GetNumber(ReadConfig(), "api_number", 0));
}
#endif

int EngineSetExpectedAPIVersionEx(uint16_t major, uint16_t minor, uint16_t release, uint16_t build,
                                  void*) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    char version[64];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", major, minor, release, build);
    Log(config, "EngineSetExpectedAPIVersionEx", "\"version\":" + Quote(version));
    return static_cast<int>(GetNumber(config, "accept_version", 1));
}

int EngineInit(const BurnEngineSettings* settings, void*) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    g_settings = *settings;
    Log(config, "EngineInit",
        "\"job\":" + Quote(settings->jobName) + ",\"vendor\":" + Quote(settings->vendorName) +
            ",\"application\":" + Quote(settings->applicationName) +
            ",\"language\":" + Quote(settings->languageFile));
    return static_cast<int>(GetNumber(config, "init_result", 0));
}

int EngineDone(void) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    Log(config, "EngineDone", "\"live\":" + std::to_string(g_live));
    g_settings = BurnEngineSettings{};
    return static_cast<int>(GetNumber(config, "done_result", 0));
}

void EngineFreeMem(void* memory) {
    std::lock_guard lock(g_lock);
    Release(memory);
}

void EngineClearErrors(void) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineClearErrors");
}

char* EngineGetErrorLog(void) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineGetErrorLog");
    return CopyText("no errors");
}

BurnDriveList* EngineGetAvailableDrivesEx(uint32_t mediaType, void*) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    std::string fields = "\"media\":" + std::to_string(mediaType);
    const std::string watch = Get(config, "watch", "");
    if (!watch.empty()) {
        struct stat info {};
        fields +=
            std::string(",\"watched\":") + (::stat(watch.c_str(), &info) == 0 ? "true" : "false");
    }
    Log(config, "EngineGetAvailableDrivesEx", fields);
    const std::string drives = Get(config, "drives", "Image Recorder");
    if (drives == "null") {
        return nullptr;
    }
    const auto names = Split(drives, '|');
    const std::size_t bytes = sizeof(BurnDriveList) + names.size() * sizeof(BurnDriveRecord);
    auto* list = static_cast<BurnDriveList*>(Allocate(bytes));
    list->size = sizeof(BurnDriveList);
    list->count = static_cast<uint32_t>(names.size());
    list->recordSize = sizeof(BurnDriveRecord);
    auto* records = reinterpret_cast<BurnDriveRecord*>(list + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        records[i].size = sizeof(BurnDriveRecord);
        std::snprintf(records[i].name, sizeof records[i].name, "%s", names[i].c_str());
        std::snprintf(records[i].address, sizeof records[i].address, "fake:%zu", i);
    }
    list->drives = records;
    return list;
}

BurnDeviceHandle EngineOpenDevice(const BurnDriveRecord* drive) {
    std::unique_lock lock(g_lock);
    const Config config = ReadConfig();
    const std::string name = drive != nullptr ? drive->name : "";
    const std::string fail = Get(config, "open_fail", "");
    if (drive == nullptr || fail == "*" || fail == name) {
        Log(config, "EngineOpenDevice", "\"drive\":" + Quote(name) + ",\"opened\":false");
        return nullptr;
    }
    std::string fields = "\"drive\":" + Quote(name) + ",\"opened\":true";
    if (name.rfind("Image Recorder", 0) == 0 && GetNumber(config, "ask_image", 0) != 0 &&
        g_settings.userDialog != nullptr) {
        char path[64] = {};
        const BurnUserDialogCallback ask = g_settings.userDialog;
        void* context = g_settings.userDialogContext;
        lock.unlock();
        const int answer = ask(context, BURN_ASK_IMAGE_FILE, path, sizeof path);
        lock.lock();
        fields += ",\"ask_answer\":" + std::to_string(answer) +
                  ",\"image\":" + Quote(std::string(path, strnlen(path, sizeof path)));
    }
    Log(config, "EngineOpenDevice", fields);
    auto* device = new BurnDevice{name};
    ++g_live;
    return device;
}

void EngineCloseDevice(BurnDeviceHandle device) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineCloseDevice",
        std::string("\"device\":") + (device ? "true" : "false"));
    if (device != nullptr) {
        --g_live;
        delete device;
    }
}

BurnDiscInfo* EngineGetCDInfo(BurnDeviceHandle device, uint32_t flags) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    Log(config, "EngineGetCDInfo",
        "\"flags\":" + std::to_string(flags) + ",\"device\":" + (device ? "true" : "false"));
    if (device == nullptr || GetNumber(config, "cd_info", 1) == 0) {
        return nullptr;
    }
    auto* info = static_cast<BurnDiscInfo*>(Allocate(sizeof(BurnDiscInfo)));
    info->size = sizeof(BurnDiscInfo);
    info->freeBlocks = static_cast<uint32_t>(GetNumber(config, "free_blocks", 100000));
    info->mediaType = static_cast<uint32_t>(GetNumber(config, "media_bits", 1));
    info->trackCount = static_cast<uint32_t>(GetNumber(config, "tracks", 1));
    return info;
}

void* EngineCreateIsoItemOfSize(uint32_t size) {
    std::lock_guard lock(g_lock);
    return Allocate(size);
}

void EngineFreeIsoItemTree(BurnIsoItem* first) {
    std::lock_guard lock(g_lock);
    std::string fields;
    ItemsJson(first, fields);
    Log(ReadConfig(), "EngineFreeIsoItemTree", "\"items\":" + fields);
    FreeTree(first);
}

BurnIsoItem* EngineImportDataTrack(BurnDeviceHandle device, int32_t track, BurnCDStamp** stamp,
                                   BurnImportInfo* info, uint32_t flags, int32_t* error, void*) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    Log(config, "EngineImportDataTrack",
        "\"track\":" + std::to_string(track) + ",\"flags\":" + std::to_string(flags) +
            ",\"info_size\":" + std::to_string(info != nullptr ? info->size : 0));
    if (error != nullptr) {
        *error = static_cast<int32_t>(GetNumber(config, "import_error", 0));
    }
    const auto entries = Split(Get(config, "entries", ""), '|');
    if (device == nullptr || entries.empty()) {
        return nullptr;
    }
    BurnIsoItem* first = nullptr;
    BurnIsoItem** link = &first;
    for (const std::string& entry : entries) {
        const auto at = entry.rfind('@');
        auto* item = static_cast<BurnIsoItem*>(Allocate(sizeof(BurnIsoItem)));
        const std::string name = entry.substr(0, at);
        item->longName = CopyText(name);
        item->longSourcePath = CopyText("disc:" + name);
        item->isReference = 1;
        const time_t when =
            at == std::string::npos ? 0 : std::strtoll(entry.c_str() + at + 1, nullptr, 10);
        if (when != 0) {
            struct tm local {};
            localtime_r(&when, &local);
            item->entryTime = BurnTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                       local.tm_hour,        local.tm_min,     local.tm_sec};
        }
        *link = item;
        link = &item->next;
    }
    if (stamp != nullptr) {
        *stamp = static_cast<BurnCDStamp*>(Allocate(sizeof(BurnCDStamp)));
    }
    if (info != nullptr && GetNumber(config, "import_info", 0) != 0) {
        info->data = Allocate(16);
    }
    return first;
}

void EngineFreeCDStamp(BurnCDStamp* stamp) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineFreeCDStamp");
    Release(stamp);
}

BurnIsoTrack* EngineCreateIsoTrackEx(BurnIsoItem* first, const void* name, uint32_t flags) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineCreateIsoTrackEx",
        "\"name\":" + Quote(static_cast<const char*>(name)) +
            ",\"flags\":" + std::to_string(flags));
    ++g_live;
    return new BurnIsoTrack{first, name != nullptr ? static_cast<const char*>(name) : ""};
}

void EngineFreeIsoTrack(BurnIsoTrack* track) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineFreeIsoTrack");
    if (track != nullptr) {
        --g_live;
        delete track;
    }
}

#ifndef FAKE_ENGINE_LEAN
int EngineBurn(BurnDeviceHandle device, uint32_t type, void* compilation, uint32_t flags,
               uint32_t speed, BurnProgress* progress) {
    Config config;
    {
        std::lock_guard lock(g_lock);
        config = ReadConfig();
        const auto* record = static_cast<const BurnWriteRecord*>(compilation);
        std::string items;
        ItemsJson(record->isoTrack != nullptr ? record->isoTrack->first : nullptr, items);
        Log(config, "EngineBurn",
            "\"device\":" + std::string(device ? "true" : "false") +
                ",\"type\":" + std::to_string(type) + ",\"flags\":" + std::to_string(flags) +
                ",\"speed\":" + std::to_string(speed) +
                ",\"media\":" + std::to_string(record->mediaType) +
                ",\"stamp\":" + (record->stamp ? "true" : "false") + ",\"track\":" +
                Quote(record->isoTrack != nullptr ? record->isoTrack->name : std::string()) +
                ",\"items\":" + items);
    }
    const long steps = GetNumber(config, "progress_steps", 4);
    for (long step = 1; step <= steps; ++step) {
        const bool idleAbort =
            g_settings.idle != nullptr && g_settings.idle(g_settings.idleContext) != 0;
        const bool aborted =
            progress->aborted != nullptr && progress->aborted(progress->context) != 0;
        if (idleAbort || aborted) {
            std::lock_guard lock(g_lock);
            Log(config, "Aborted", "\"step\":" + std::to_string(step));
            return BURN_USER_ABORT;
        }
        progress->progress(progress->context, static_cast<int32_t>(step * 100 / steps));
    }
    return static_cast<int>(GetNumber(config, "burn_result", 0));
}
#endif

char* EngineGetLocalizedWaitCDTexts(int32_t waitType) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineGetLocalizedWaitCDTexts", "\"type\":" + std::to_string(waitType));
    return CopyText("Please insert a disc");
}

int EngineSetDeviceOption(BurnDeviceHandle, int32_t option, int32_t* value) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineSetDeviceOption",
        "\"option\":" + std::to_string(option) +
            ",\"value\":" + std::to_string(value ? *value : -1));
    return 0;
}

int EngineWaitForMedia(BurnDeviceHandle, uint32_t mediaType, int32_t waitType, int32_t timeout) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineWaitForMedia",
        "\"media\":" + std::to_string(mediaType) + ",\"wait\":" + std::to_string(waitType) +
            ",\"timeout\":" + std::to_string(timeout));
    return 7;
}

int EngineEraseCDRW(BurnDeviceHandle, int32_t mode) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "EngineEraseCDRW", "\"mode\":" + std::to_string(mode));
    return 8;
}

}  // extern "C"
