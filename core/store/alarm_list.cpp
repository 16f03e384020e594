#include "core/store/alarm_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/state/app_global_state.h"
#include "platform/byte_order.h"
#include "platform/posix_io.h"
#include "platform/profile_file.h"

SystemConfig g_SystemConfig;

namespace {

// Copies text into a NUL-terminated field; false when it does not fit.
template <std::size_t N>
bool StoreText(std::array<char, N>& field, std::string_view text) {
    field.fill(0);
    if (text.size() >= N)
        return false;
    std::copy(text.begin(), text.end(), field.begin());
    return true;
}

template <std::size_t N>
std::string_view FieldText(const std::array<char, N>& field) {
    return {field.data(), strnlen(field.data(), N)};
}

enum class ReadStatus {
    Missing,
    Ok,
    ReadFailed,  // an error, or fewer bytes than the header
    BadMagic,
};

struct ListFile {
    ReadStatus status = ReadStatus::Missing;
    std::vector<AlarmDBItem_Struct> records;
};

// Reads the list: as many records as the header counts and the file's size
// holds, whichever is fewer.
ListFile ReadListFile(const std::filesystem::path& path) {
    ListFile file;
    const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        file.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::ReadFailed;
        return file;
    }
    struct stat info {};
    std::array<std::uint8_t, kAlarmDBHeaderBytes> header{};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) < kAlarmDBHeaderBytes ||
        !platform::ReadExactly(fd.Get(), header)) {
        file.status = ReadStatus::ReadFailed;
        return file;
    }
    if (platform::LoadLe16(header, 0) != kAlarmDBMagic) {
        file.status = ReadStatus::BadMagic;
        return file;
    }
    const std::uint64_t held =
        (static_cast<std::uint64_t>(info.st_size) - kAlarmDBHeaderBytes) / kAlarmDBItemBytes;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(platform::LoadLe16(header, 2), held));
    std::vector<std::uint8_t> bytes(count * kAlarmDBItemBytes);
    if (!platform::ReadExactly(fd.Get(), bytes)) {
        file.status = ReadStatus::ReadFailed;
        return file;
    }
    file.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        file.records.push_back(
            AlarmDBItem_Struct::FromBytes(std::span<const std::uint8_t, kAlarmDBItemBytes>(
                bytes.data() + i * kAlarmDBItemBytes, kAlarmDBItemBytes)));
    }
    file.status = ReadStatus::Ok;
    return file;
}

bool WriteListFile(const std::filesystem::path& path, std::span<const AlarmDBItem_Struct> records) {
    std::string bytes(kAlarmDBHeaderBytes + records.size() * kAlarmDBItemBytes, '\0');
    std::span<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    platform::StoreLe16(out, 0, kAlarmDBMagic);
    platform::StoreLe16(out, 2, static_cast<std::uint16_t>(records.size()));
    std::size_t at = kAlarmDBHeaderBytes;
    for (const AlarmDBItem_Struct& record : records) {
        const auto item = record.ToBytes();
        std::copy(item.begin(), item.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
        at += kAlarmDBItemBytes;
    }
    return platform::WriteFileAtomically(path, bytes);
}

// A file the list cannot use is moved out of the way, never deleted: it
// may be someone's data, or a list a later version can still read.
void SetAside(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path aside = path;
    aside += ".bad";
    std::filesystem::rename(path, aside, ec);
}

bool RecordFileExists(const AlarmDBItem_Struct& item) {
    const std::string_view path = item.Path();
    if (path.empty())
        return false;
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace

// ---- AlarmDBItem_Struct ------------------------------------------------------

std::string_view AlarmDBItem_Struct::Path() const {
    return FieldText(path);
}

std::string_view AlarmDBItem_Struct::SourceIP() const {
    return FieldText(sourceIP);
}

std::array<std::uint8_t, kAlarmDBItemBytes> AlarmDBItem_Struct::ToBytes() const {
    std::array<std::uint8_t, kAlarmDBItemBytes> b{};
    platform::StoreLe16(b, 0, sequence);
    b[2] = reserved;
    b[3] = flags;
    const std::array<std::uint16_t, 8> time{
        startTime.year, startTime.month,  startTime.dayOfWeek, startTime.day,
        startTime.hour, startTime.minute, startTime.second,    startTime.milliseconds};
    for (std::size_t i = 0; i < time.size(); ++i) platform::StoreLe16(b, 4 + 2 * i, time[i]);
    std::memcpy(b.data() + 20, path.data(), kPathBytes);
    platform::StoreLe32(b, 280, frameCount);
    std::memcpy(b.data() + 284, sourceIP.data(), kSourceIPBytes);
    return b;
}

AlarmDBItem_Struct AlarmDBItem_Struct::FromBytes(
    std::span<const std::uint8_t, kAlarmDBItemBytes> b) {
    AlarmDBItem_Struct item;
    item.sequence = platform::LoadLe16(b, 0);
    item.reserved = b[2];
    item.flags = b[3];
    std::array<std::uint16_t*, 8> time{&item.startTime.year,      &item.startTime.month,
                                       &item.startTime.dayOfWeek, &item.startTime.day,
                                       &item.startTime.hour,      &item.startTime.minute,
                                       &item.startTime.second,    &item.startTime.milliseconds};
    for (std::size_t i = 0; i < time.size(); ++i) *time[i] = platform::LoadLe16(b, 4 + 2 * i);
    std::memcpy(item.path.data(), b.data() + 20, kPathBytes);
    item.path.back() = '\0';
    item.frameCount = platform::LoadLe32(b, 280);
    std::memcpy(item.sourceIP.data(), b.data() + 284, kSourceIPBytes);
    item.sourceIP.back() = '\0';
    return item;
}

// ---- SystemConfig ------------------------------------------------------------

std::filesystem::path SystemConfig::FilePath() {
    if (g_lpApp == nullptr)
        return {};
    const std::string folder = g_lpApp->CSettingINI.m_strProgramDir.Get();
    if (folder.empty())
        return {};
    return std::filesystem::path(folder) / kAlarmDBFileName;
}

std::uint16_t SystemConfig::RecordCounter() const {
    std::lock_guard lock(m_lock);
    return m_recordCounter;
}

int SystemConfig::AlarmDB_SetRecordFile(std::string_view path) {
    std::lock_guard lock(m_lock);
    m_pending = AlarmDBItem_Struct{};
    m_hasPending = StoreText(m_pending.path, path);
    return m_hasPending ? 1 : 0;
}

void SystemConfig::AlarmDB_SetRecordTime(const SystemTime& time) {
    std::lock_guard lock(m_lock);
    SystemTime& t = m_pending.startTime;
    t.year = time.year;
    t.month = time.month;
    t.day = time.day;
    t.hour = time.hour;
    t.minute = time.minute;
    t.second = time.second;
}

int SystemConfig::AlarmDB_AppendRecord(std::uint32_t frameCount, std::string_view strSourceIP) {
    std::lock_guard lock(m_lock);
    if (!m_hasPending)
        return 0;
    m_hasPending = false;
    AlarmDBItem_Struct record = m_pending;
    record.sequence = m_recordCounter;
    m_recordCounter = static_cast<std::uint16_t>(m_recordCounter + 1);
    record.flags = 0;
    record.frameCount = frameCount;
    StoreText(record.sourceIP, strSourceIP.substr(0, AlarmDBItem_Struct::kSourceIPBytes - 1));

    const std::filesystem::path path = FilePath();
    if (path.empty())
        return 0;
    ListFile file = ReadListFile(path);
    switch (file.status) {
        case ReadStatus::Missing:
            m_recordCounter = 1;
            break;
        case ReadStatus::ReadFailed:
        case ReadStatus::BadMagic:
            return 0;  // not ours to rewrite; the record is lost
        case ReadStatus::Ok:
            // A full list drops its oldest record and never grows; the list
            // keeps as many records as it really holds.
            if (file.records.size() >= kAlarmDBMaxRecords)
                file.records.erase(file.records.begin());
            break;
    }
    file.records.push_back(record);
    return WriteListFile(path, file.records) ? 1 : 0;
}

AlarmDBLoadResult SystemConfig::AlarmDB_Load() {
    std::lock_guard lock(m_lock);
    m_lpAlarmDBItem_Struct.clear();
    const std::filesystem::path path = FilePath();
    if (path.empty())
        return AlarmDBLoadResult::ReadFailed;
    ListFile file = ReadListFile(path);
    switch (file.status) {
        case ReadStatus::Missing:
            WriteListFile(path, {});
            return AlarmDBLoadResult::Created;
        case ReadStatus::ReadFailed:
            SetAside(path);
            return AlarmDBLoadResult::ReadFailed;
        case ReadStatus::BadMagic:
            SetAside(path);
            return AlarmDBLoadResult::BadMagic;
        case ReadStatus::Ok:
            break;
    }
    m_recordCounter = static_cast<std::uint16_t>(file.records.size());
    if (file.records.empty())
        return AlarmDBLoadResult::Empty;
    for (AlarmDBItem_Struct& item : file.records) {
        item.flags = RecordFileExists(item) ? 0 : kAlarmItemFileMissing;
    }
    m_lpAlarmDBItem_Struct = std::move(file.records);
    return AlarmDBLoadResult::Loaded;
}

void SystemConfig::AlarmDB_AllocateBuffer() {
    std::lock_guard lock(m_lock);
    m_lpAlarmDBItem_Struct.assign(m_recordCounter, AlarmDBItem_Struct{});
}

void SystemConfig::AlarmDB_FreeBuffer() {
    std::lock_guard lock(m_lock);
    std::vector<AlarmDBItem_Struct>().swap(m_lpAlarmDBItem_Struct);
}

std::vector<AlarmDBItem_Struct> SystemConfig::AlarmDB_Items() const {
    std::lock_guard lock(m_lock);
    return m_lpAlarmDBItem_Struct;
}

bool SystemConfig::AlarmDB_SetItemFlags(std::size_t index, std::uint8_t flags) {
    std::lock_guard lock(m_lock);
    if (index >= m_lpAlarmDBItem_Struct.size())
        return false;
    m_lpAlarmDBItem_Struct[index].flags = flags;
    return true;
}

void SystemConfig::AlarmDB_SetItems(std::vector<AlarmDBItem_Struct> items) {
    std::lock_guard lock(m_lock);
    m_lpAlarmDBItem_Struct = std::move(items);
}

void SystemConfig::AlarmDB_SetChanged() {
    std::lock_guard lock(m_lock);
    m_changed = true;
}

int SystemConfig::AlarmDB_WriteBack() {
    std::lock_guard lock(m_lock);
    if (!m_changed)
        return 1;
    m_changed = false;
    std::vector<AlarmDBItem_Struct> items;
    items.swap(m_lpAlarmDBItem_Struct);

    const std::filesystem::path path = FilePath();
    if (path.empty())
        return 0;
    const auto deleted = [&items](const AlarmDBItem_Struct& record) {
        return std::ranges::any_of(items, [&record](const AlarmDBItem_Struct& item) {
            return (item.flags & kAlarmItemDeleted) != 0 && item.Path() == record.Path();
        });
    };
    ListFile file = ReadListFile(path);
    std::vector<AlarmDBItem_Struct> kept;
    switch (file.status) {
        case ReadStatus::Missing:
            // The file went away meanwhile: what the page still lists is all
            // there is.
            for (const AlarmDBItem_Struct& item : items) {
                if ((item.flags & kAlarmItemDeleted) == 0)
                    kept.push_back(item);
            }
            break;
        case ReadStatus::ReadFailed:
        case ReadStatus::BadMagic:
            return 0;
        case ReadStatus::Ok:
            // The file, not the array, is the source: records added since the
            // page loaded it stay.
            for (const AlarmDBItem_Struct& record : file.records) {
                if (!deleted(record))
                    kept.push_back(record);
            }
            break;
    }
    return WriteListFile(path, kept) ? 1 : 0;
}
