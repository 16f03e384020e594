// A burning engine for tests. It burns nothing: what it answers comes from a
// configuration file named by $KESTRUNE_FAKE_BURN_CONFIG (read again on
// every call, so a test may change it between calls), and every call is
// appended as one JSON object per line to the file named by its "log" key.
//
// Configuration keys (key=value lines, all optional):
//   log=PATH                 where the call log goes
//   version=6.6.0.14         EngineGetAPIVersionEx's answer; anything but four
//                            numbers makes it answer 0 (an unreadable version)
//   api_number=N             EngineGetAPIVersion's answer; by default the four
//                            numbers of "version", each limited to 9 (0 when
//                            the version is unreadable)
//   accept_version=1         EngineSetExpectedAPIVersion(Ex)'s answer
//   init_result=0            EngineInit's answer
//   done_result=0            EngineDone's answer
//   drives=A|B               drive names; "null" for no list at all
//   drive_count_extra=0      a list claims this many records more than it holds
//   adapter=ha0              the drives' host adapter name
//   read_speeds=4|8|16|24    the drives' read speeds, as multiples of 150 KB/s
//   write_speeds=4|8|16      the drives' write speeds
//   revision=1.02            the drives' revision text
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
//   probe_slots=0            1: EngineBurn calls every slot of its track and logs the answers
//   watch=PATH               the drive listing logs whether PATH exists
//
// The engine takes the forms of its version, as engines of that version do:
// below 5555 (its EngineGetAPIVersion number) it lists drives in the old
// record and opens them from it; below 5.5.9.16, or with an unreadable
// version, its tracks have the old 20-slot interface.
//
// Builds: the whole engine; FAKE_ENGINE_LEAN without EngineBurn and the
// version calls, which shows how the program copes with an engine that lacks
// functions; FAKE_ENGINE_OLD as an engine from before the Ex functions (no
// EngineGetAPIVersionEx, EngineSetExpectedAPIVersionEx or
// EngineGetAvailableDrivesEx).

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/burn_engine_api.h"
#include "tests/support/fake_engine/track_slots.h"

struct BurnDevice {
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

// The version this engine reports, and the forms that go with it.
struct Version {
    bool readable = false;    // as the program reads it
    bool exReadable = false;  // EngineGetAPIVersionEx's answer
    long parts[4] = {};
    long number = 0;  // EngineGetAPIVersion's answer
};

[[maybe_unused]] bool ParseParts(const std::string& text, long (&parts)[4]) {
    const auto fields = Split(text, '.');
    if (fields.size() != 4) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        char* end = nullptr;
        parts[i] = std::strtol(fields[i].c_str(), &end, 10);
        if (fields[i].empty() || *end != '\0' || parts[i] < 0 || parts[i] > 65535) {
            return false;
        }
    }
    return true;
}

Version VersionOf([[maybe_unused]] const Config& config) {
    Version version;
#ifndef FAKE_ENGINE_LEAN
    version.exReadable = ParseParts(Get(config, "version", "6.6.0.14"), version.parts);
    long derived = 0;
    for (long part : version.parts) {
        derived = derived * 10 + (part > 9 ? 9 : part);
    }
    version.number = GetNumber(config, "api_number", version.exReadable ? derived : 0);
#ifdef FAKE_ENGINE_OLD
    // Without EngineGetAPIVersionEx the version is the number, digit by digit.
    version.exReadable = false;
    version.readable = version.number > 0;
    for (int i = 3, rest = static_cast<int>(version.number); i >= 0; --i, rest /= 10) {
        version.parts[i] = rest % 10;
    }
#else
    version.readable = version.exReadable;
#endif
#endif
    return version;
}

bool AtLeast(const Version& version, long major, long minor, long release, long build) {
    if (!version.readable) {
        return false;
    }
    const long want[4] = {major, minor, release, build};
    for (int i = 0; i < 4; ++i) {
        if (version.parts[i] != want[i]) {
            return version.parts[i] > want[i];
        }
    }
    return true;
}

bool OldDriveForm(const Version& version) {
    return version.number < BURN_OLD_API_NUMBER &&
           (version.number != 0 || !AtLeast(version, 5, 5, 5, 5));
}

bool OldTrackForm(const Version& version) {
    return !AtLeast(version, 5, 5, 9, 16);
}

std::string Hex(const void* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// --- Drives ---------------------------------------------------------------

// What the configuration says of drive `index`, filled into either record.
struct DriveFacts {
    std::string name;
    std::string adapter;
    std::vector<uint32_t> readSpeeds;
    std::vector<uint32_t> writeSpeeds;
    std::string revision;
    uint32_t index;
};

std::vector<uint32_t> Speeds(const Config& config, const std::string& key,
                             const std::string& fallback) {
    std::vector<uint32_t> speeds;
    for (const std::string& speed : Split(Get(config, key, fallback), '|')) {
        speeds.push_back(static_cast<uint32_t>(std::strtoul(speed.c_str(), nullptr, 0)));
    }
    return speeds;
}

std::vector<DriveFacts> Drives(const Config& config, const std::vector<std::string>& names) {
    std::vector<DriveFacts> drives;
    for (std::size_t i = 0; i < names.size(); ++i) {
        drives.push_back({names[i], Get(config, "adapter", "ha0"),
                          Speeds(config, "read_speeds", "4|8|16|24"),
                          Speeds(config, "write_speeds", "4|8|16"), Get(config, "revision", "1.02"),
                          static_cast<uint32_t>(i)});
    }
    return drives;
}

void FillSpeeds(const std::vector<uint32_t>& from, BurnSpeedList& speeds) {
    speeds.count = static_cast<uint32_t>(std::min<std::size_t>(from.size(), BURN_SPEED_COUNT_MAX));
    speeds.baseKBps = BURN_SPEED_BASE_KBPS;
    for (uint32_t i = 0; i < speeds.count; ++i) {
        speeds.kBps[i] = from[i] * BURN_SPEED_BASE_KBPS;
        speeds.multiples[i] = from[i];
    }
}

void FillOldSpeeds(const std::vector<uint32_t>& from, uint32_t& count, uint32_t* speeds) {
    count = static_cast<uint32_t>(std::min<std::size_t>(from.size(), BURN_OLD_SPEED_COUNT_MAX));
    for (uint32_t i = 0; i < count; ++i) {
        speeds[i] = from[i];
    }
}

// What either record holds alike, each within its own field sizes.
template <typename Record>
void FillShared(const DriveFacts& drive, Record& record) {
    std::snprintf(record.name, sizeof record.name, "%s", drive.name.c_str());
    std::snprintf(record.adapterName, sizeof record.adapterName, "%s", drive.adapter.c_str());
    record.bus = drive.index;
    record.target = drive.index + 1;
    record.unit = drive.index + 2;
    record.flags = static_cast<uint8_t>(0xA0 + drive.index);
    record.capabilities = 0x1234 + drive.index;
    record.kind = 7;
    std::snprintf(record.revision, sizeof record.revision, "%s", drive.revision.c_str());
    record.bufferSize = 2048;
}

void FillCurrent(const DriveFacts& drive, BurnDriveRecord& record) {
    record.size = sizeof(BurnDriveRecord);
    FillShared(drive, record);
    std::snprintf(record.address, sizeof record.address, "fake:%u", drive.index);
    FillSpeeds(drive.readSpeeds, record.readSpeeds);
    FillSpeeds(drive.writeSpeeds, record.writeSpeeds);
}

void FillOld(const DriveFacts& drive, BurnOldDriveRecord& record) {
    FillShared(drive, record);
    FillOldSpeeds(drive.readSpeeds, record.readSpeedCount, record.readSpeeds);
    FillOldSpeeds(drive.writeSpeeds, record.writeSpeedCount, record.writeSpeeds);
}

BurnDriveList* CurrentList(const Config& config, const std::vector<DriveFacts>& drives) {
    const std::size_t bytes = sizeof(BurnDriveList) + drives.size() * sizeof(BurnDriveRecord);
    auto* list = static_cast<BurnDriveList*>(Allocate(bytes));
    list->size = static_cast<uint32_t>(bytes);
    list->count = static_cast<uint32_t>(drives.size() + GetNumber(config, "drive_count_extra", 0));
    list->recordSize = sizeof(BurnDriveRecord);
    auto* records = reinterpret_cast<BurnDriveRecord*>(list + 1);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        FillCurrent(drives[i], records[i]);
    }
    list->drives = records;
    return list;
}

BurnOldDriveList* OldList(const Config& config, const std::vector<DriveFacts>& drives) {
    const std::size_t bytes = sizeof(BurnOldDriveList) + drives.size() * sizeof(BurnOldDriveRecord);
    auto* list = static_cast<BurnOldDriveList*>(Allocate(bytes));
    list->size = static_cast<uint32_t>(bytes);
    list->count = static_cast<uint32_t>(drives.size() + GetNumber(config, "drive_count_extra", 0));
    auto* records = reinterpret_cast<BurnOldDriveRecord*>(list + 1);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        FillOld(drives[i], records[i]);
    }
    return list;
}

// --- Tracks -----------------------------------------------------------------
//
// Both forms answer slot 1 with the first item and slot 2 with the volume
// name; every other numbered slot answers fake_engine::SlotAnswer, slot 9
// sets its outputs to 9 and 99, slot 29 its outputs to 1..8. Every call is
// logged as "TrackSlot" with the form and the slot.

struct FakeTrack {
    BurnIsoTrack base;
    BurnIsoItem* first;
    std::string name;
};

struct FakeOldTrack {
    BurnOldIsoTrack base;
    BurnIsoItem* first;
    std::string name;
};

void LogSlot(const char* form, int slot, intptr_t argument) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "TrackSlot",
        std::string("\"form\":") + Quote(form) + ",\"slot\":" + std::to_string(slot) +
            ",\"argument\":" + std::to_string(argument));
}

void LogDestroyed(const char* form) {
    std::lock_guard lock(g_lock);
    Log(ReadConfig(), "TrackDestroyed", std::string("\"form\":") + Quote(form));
    --g_live;
}

template <typename Track>
struct Form;

template <>
struct Form<BurnIsoTrack> {
    using Object = FakeTrack;
    static constexpr const char* kName = "current";
};

template <>
struct Form<BurnOldIsoTrack> {
    using Object = FakeOldTrack;
    static constexpr const char* kName = "old";
};

template <typename Track>
typename Form<Track>::Object* ObjectOf(Track* track) {
    return reinterpret_cast<typename Form<Track>::Object*>(track);
}

template <typename Track>
void SlotDestroy(Track* track) {
    delete ObjectOf(track);
    LogDestroyed(Form<Track>::kName);
}

template <typename Track>
intptr_t SlotFirstItem(Track* track, intptr_t argument) {
    LogSlot(Form<Track>::kName, 1, argument);
    return reinterpret_cast<intptr_t>(ObjectOf(track)->first);
}

template <typename Track>
intptr_t SlotVolumeName(Track* track, intptr_t argument) {
    LogSlot(Form<Track>::kName, 2, argument);
    return reinterpret_cast<intptr_t>(ObjectOf(track)->name.c_str());
}

template <typename Track, int Slot>
intptr_t SlotCall(Track*, intptr_t argument) {
    LogSlot(Form<Track>::kName, Slot, argument);
    return fake_engine::SlotAnswer(Slot, static_cast<long>(argument));
}

template <typename Track>
intptr_t SlotPair(Track*, uint32_t* first, uint32_t* second) {
    LogSlot(Form<Track>::kName, 9, 0);
    *first = 9;
    *second = 99;
    return fake_engine::SlotAnswer(9, 0);
}

intptr_t SlotEight(BurnIsoTrack*, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d, uint32_t* e,
                   uint32_t* f, uint32_t* g, uint32_t* h) {
    LogSlot("current", 29, 0);
    uint32_t value = 1;
    for (uint32_t* out : {a, b, c, d, e, f, g, h}) {
        *out = value++;
    }
    return fake_engine::SlotAnswer(29, 0);
}

using C = BurnIsoTrack;
using O = BurnOldIsoTrack;

constexpr BurnIsoTrackOps kTrackOps = {
    &SlotDestroy<C>,  &SlotFirstItem<C>, &SlotVolumeName<C>, &SlotCall<C, 3>,  &SlotCall<C, 4>,
    &SlotCall<C, 5>,  &SlotCall<C, 6>,   &SlotCall<C, 7>,    &SlotCall<C, 8>,  &SlotPair<C>,
    &SlotCall<C, 10>, &SlotCall<C, 11>,  &SlotCall<C, 12>,   &SlotCall<C, 13>, &SlotCall<C, 14>,
    &SlotCall<C, 15>, &SlotCall<C, 16>,  &SlotCall<C, 17>,   &SlotCall<C, 18>, &SlotCall<C, 19>,
    &SlotCall<C, 20>, &SlotCall<C, 21>,  &SlotCall<C, 22>,   &SlotCall<C, 23>, &SlotCall<C, 24>,
    &SlotCall<C, 25>, &SlotCall<C, 26>,  &SlotCall<C, 27>,   &SlotCall<C, 28>, &SlotEight,
};

constexpr BurnOldIsoTrackOps kOldTrackOps = {
    &SlotDestroy<O>,  &SlotFirstItem<O>, &SlotVolumeName<O>, &SlotCall<O, 3>,  &SlotCall<O, 4>,
    &SlotCall<O, 5>,  &SlotCall<O, 6>,   &SlotCall<O, 7>,    &SlotCall<O, 8>,  &SlotPair<O>,
    &SlotCall<O, 10>, &SlotCall<O, 11>,  &SlotCall<O, 12>,   &SlotCall<O, 13>, &SlotCall<O, 14>,
    &SlotCall<O, 15>, &SlotCall<O, 16>,  &SlotCall<O, 17>,   &SlotCall<O, 18>, &SlotCall<O, 19>,
};

// The members of each compilation's record that EngineBurn logs.
struct CompilationView {
    uint32_t mediaType = 0;
    BurnIsoTrack* isoTrack = nullptr;
    bool stamp = false;
};

[[maybe_unused]] CompilationView ViewCompilation(uint32_t type, const void* compilation) {
    CompilationView view;
    if (compilation == nullptr) {
        return view;
    }
    switch (type) {
        case BURN_COMPILATION_ISO:
        case BURN_COMPILATION_ISO_AUDIO: {
            const auto* record = static_cast<const BurnWriteRecord*>(compilation);
            view = {record->mediaType, record->isoTrack, record->stamp != nullptr};
            break;
        }
        case BURN_COMPILATION_VIDEO: {
            const auto* record = static_cast<const BurnVideoRecord*>(compilation);
            view = {record->mediaType, record->isoTrack, false};
            break;
        }
        case BURN_COMPILATION_COPY:
            view.mediaType = static_cast<const BurnCopyRecord*>(compilation)->mediaType;
            break;
        case BURN_COMPILATION_IMAGE:
            view.mediaType = static_cast<const BurnImageRecord*>(compilation)->mediaType;
            break;
        default:
            break;
    }
    return view;
}

// What EngineBurn learns of its track through the interface it expects:
// the items and name, and with probe_slots every numbered slot's answer.
struct TrackView {
    const BurnIsoItem* items = nullptr;
    std::string name;
    std::string form;
    std::string probe;  // JSON fields, empty without a probe
};

template <typename Track, typename Slots>
TrackView ViewTrack(Track* track, const Slots& slots, bool probe) {
    TrackView view;
    view.form = Form<Track>::kName;
    view.items = reinterpret_cast<const BurnIsoItem*>(track->ops->firstItem(track, 0));
    const char* name = reinterpret_cast<const char*>(track->ops->volumeName(track, 0));
    view.name = name != nullptr ? name : "";
    if (!probe) {
        return view;
    }
    std::string answers;
    for (const auto& slot : slots) {
        if (slot.number <= 2) {
            continue;
        }
        const intptr_t answer = (track->ops->*slot.member)(track, slot.number);
        answers += (answers.empty() ? "" : ",") + std::string("\"") + std::to_string(slot.number) +
                   "\":" + std::to_string(answer);
    }
    uint32_t first = 0xFFFFFFFFu;
    uint32_t second = 0xFFFFFFFFu;
    const intptr_t pair = track->ops->slot9(track, &first, &second);
    view.probe = "\"slots\":{" + answers + "},\"slot9\":[" + std::to_string(pair) + "," +
                 std::to_string(first) + "," + std::to_string(second) + "]";
    if constexpr (std::is_same_v<Track, BurnIsoTrack>) {
        uint32_t outputs[8];
        std::fill(std::begin(outputs), std::end(outputs), 0xFFFFFFFFu);
        const intptr_t eight =
            track->ops->slot29(track, &outputs[0], &outputs[1], &outputs[2], &outputs[3],
                               &outputs[4], &outputs[5], &outputs[6], &outputs[7]);
        view.probe += ",\"slot29\":[" + std::to_string(eight);
        for (uint32_t output : outputs) {
            view.probe += "," + std::to_string(output);
        }
        view.probe += "]";
    }
    return view;
}

}  // namespace

extern "C" {

#if !defined(FAKE_ENGINE_LEAN) && !defined(FAKE_ENGINE_OLD)
int EngineGetAPIVersionEx(uint16_t* major, uint16_t* minor, uint16_t* release, uint16_t* build) {
    std::lock_guard lock(g_lock);
    const Version version = VersionOf(ReadConfig());
    if (!version.exReadable) {
        return 0;
    }
    *major = static_cast<uint16_t>(version.parts[0]);
    *minor = static_cast<uint16_t>(version.parts[1]);
    *release = static_cast<uint16_t>(version.parts[2]);
    *build = static_cast<uint16_t>(version.parts[3]);
    return 1;
}
#endif

#ifndef FAKE_ENGINE_OLD
int EngineSetExpectedAPIVersionEx(uint16_t major, uint16_t minor, uint16_t release, uint16_t build,
                                  void*) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    char version[64];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", major, minor, release, build);
    Log(config, "EngineSetExpectedAPIVersionEx", "\"version\":" + Quote(version));
    return static_cast<int>(GetNumber(config, "accept_version", 1));
}
#endif

#ifndef FAKE_ENGINE_LEAN
int EngineGetAPIVersion(void) {
    std::lock_guard lock(g_lock);
    return static_cast<int>(VersionOf(ReadConfig()).number);
}
#endif

#ifdef FAKE_ENGINE_OLD
int EngineSetExpectedAPIVersion(int32_t version) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    Log(config, "EngineSetExpectedAPIVersion", "\"version\":" + std::to_string(version));
    return static_cast<int>(GetNumber(config, "accept_version", 1));
}
#endif

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

#ifndef FAKE_ENGINE_OLD
// Lists drives in the current record at every version: engines with this
// call are not asked through the old one.
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
    return CurrentList(config, Drives(config, Split(drives, '|')));
}
#endif

// The list in the record of the engine's version.
BurnDriveList* EngineGetAvailableDrives(void) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    const bool old = OldDriveForm(VersionOf(config));
    Log(config, "EngineGetAvailableDrives",
        std::string("\"form\":") + Quote(old ? "old" : "current"));
    const std::string drives = Get(config, "drives", "Image Recorder");
    if (drives == "null") {
        return nullptr;
    }
    const auto facts = Drives(config, Split(drives, '|'));
    return old ? reinterpret_cast<BurnDriveList*>(OldList(config, facts))
               : CurrentList(config, facts);
}

// Takes the record of the engine's version; the log shows which, and the
// old record byte by byte.
BurnDeviceHandle EngineOpenDevice(const BurnDriveRecord* drive) {
    std::unique_lock lock(g_lock);
    const Config config = ReadConfig();
    const bool old = OldDriveForm(VersionOf(config));
    std::string name;
    std::string fields = std::string("\"form\":") + Quote(old ? "old" : "current");
    if (drive != nullptr && old) {
        const auto* record = reinterpret_cast<const BurnOldDriveRecord*>(drive);
        name.assign(record->name, strnlen(record->name, sizeof record->name));
        fields += ",\"bytes\":" + Quote(Hex(record, sizeof *record));
    } else if (drive != nullptr) {
        name.assign(drive->name, strnlen(drive->name, sizeof drive->name));
    }
    const std::string fail = Get(config, "open_fail", "");
    if (drive == nullptr || fail == "*" || fail == name) {
        Log(config, "EngineOpenDevice", fields + ",\"drive\":" + Quote(name) + ",\"opened\":false");
        return nullptr;
    }
    fields += ",\"drive\":" + Quote(name) + ",\"opened\":true";
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

// Makes a track of the form of the engine's version. With
// BURN_TRACK_ARGUMENTS the second argument is an argument record, logged
// member by member; otherwise it is the volume name.
BurnIsoTrack* EngineCreateIsoTrackEx(BurnIsoItem* first, const void* second, uint32_t flags) {
    std::lock_guard lock(g_lock);
    const Config config = ReadConfig();
    const bool old = OldTrackForm(VersionOf(config));
    std::string fields = "\"form\":" + Quote(old ? "old" : "current");
    std::string name;
    if ((flags & BURN_TRACK_ARGUMENTS) != 0) {
        const auto* arguments = static_cast<const BurnTrackArguments*>(second);
        fields += ",\"arguments\":";
        fields += arguments == nullptr ? std::string("null")
                                       : "[" + std::to_string(arguments->size) + "," +
                                             std::to_string(arguments->fileSystems) + "," +
                                             std::to_string(arguments->dataMode) + "," +
                                             std::to_string(arguments->sessionFlags) + "," +
                                             std::to_string(arguments->reserved) + "]";
    } else {
        name = second != nullptr ? static_cast<const char*>(second) : "";
        fields += ",\"name\":" + Quote(static_cast<const char*>(second));
    }
    Log(config, "EngineCreateIsoTrackEx", fields + ",\"flags\":" + std::to_string(flags));
    ++g_live;
    if (old) {
        auto* track = new FakeOldTrack{{&kOldTrackOps}, first, name};
        return reinterpret_cast<BurnIsoTrack*>(&track->base);
    }
    auto* track = new FakeTrack{{&kTrackOps}, first, name};
    return &track->base;
}

// Frees a track of the engine's form through its slot 0.
void EngineFreeIsoTrack(BurnIsoTrack* track) {
    bool old = false;
    {
        std::lock_guard lock(g_lock);
        const Config config = ReadConfig();
        old = OldTrackForm(VersionOf(config));
        Log(config, "EngineFreeIsoTrack", "\"form\":" + Quote(old ? "old" : "current"));
    }
    if (track == nullptr) {
        return;
    }
    if (old) {
        auto* oldTrack = reinterpret_cast<BurnOldIsoTrack*>(track);
        oldTrack->ops->destroy(oldTrack);
    } else {
        track->ops->destroy(track);
    }
}

#ifndef FAKE_ENGINE_LEAN
int EngineBurn(BurnDeviceHandle device, uint32_t type, void* compilation, uint32_t flags,
               uint32_t speed, BurnProgress* progress) {
    Config config;
    {
        std::lock_guard lock(g_lock);
        config = ReadConfig();
    }
    // The track is read through the interface of the engine's version, with
    // the lock free: its slots may lead back into this engine.
    const CompilationView compiled = ViewCompilation(type, compilation);
    const bool probe = GetNumber(config, "probe_slots", 0) != 0;
    TrackView view;
    if (compiled.isoTrack != nullptr && OldTrackForm(VersionOf(config))) {
        view = ViewTrack(reinterpret_cast<BurnOldIsoTrack*>(compiled.isoTrack),
                         fake_engine::kOldCallSlots, probe);
    } else if (compiled.isoTrack != nullptr) {
        view = ViewTrack(compiled.isoTrack, fake_engine::kCurrentCallSlots, probe);
    }
    {
        std::lock_guard lock(g_lock);
        std::string items;
        ItemsJson(view.items, items);
        Log(config, "EngineBurn",
            "\"device\":" + std::string(device ? "true" : "false") +
                ",\"type\":" + std::to_string(type) + ",\"flags\":" + std::to_string(flags) +
                ",\"speed\":" + std::to_string(speed) +
                ",\"media\":" + std::to_string(compiled.mediaType) +
                ",\"stamp\":" + (compiled.stamp ? "true" : "false") +
                ",\"track\":" + Quote(view.name) + ",\"form\":" + Quote(view.form) +
                ",\"items\":" + items + (view.probe.empty() ? "" : "," + view.probe));
    }
    const long steps = progress != nullptr ? GetNumber(config, "progress_steps", 4) : 0;
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
