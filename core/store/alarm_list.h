#pragma once

// The local alarm list: AlarmData.dat in the program's folder, one record for
// every alarm recording file, and the store object through which the alarm
// recorder adds records and the Alarm List page loads and deletes them.
//
// File layout (little-endian, no padding):
//   0  u16 magic 0x9987
//   2  u16 record count
//   4  records of 316 bytes (AlarmDBItem_Struct), oldest first
//
// The file is only ever read and written under the store's lock, and it is
// always rewritten whole through a temporary file and a rename, so a reader
// never sees half a record and a crash leaves the old list or the new one.
// The file is untrusted: the number of records is what its size holds, never
// more than its header claims, and every text is read within its field.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/state/system_time.h"

inline constexpr std::uint16_t kAlarmDBMagic = 0x9987;
inline constexpr std::size_t kAlarmDBHeaderBytes = 4;
inline constexpr std::size_t kAlarmDBItemBytes = 316;
// The appender keeps at most this many records: beyond it the oldest goes.
inline constexpr std::size_t kAlarmDBMaxRecords = 1024;
inline constexpr std::string_view kAlarmDBFileName = "AlarmData.dat";

// Flags byte of a record, set in memory by a reader.
inline constexpr std::uint8_t kAlarmItemFileMissing = 0x1;
inline constexpr std::uint8_t kAlarmItemDeleted = 0x2;

// One record of the list.
struct AlarmDBItem_Struct {
    static constexpr std::size_t kPathBytes = 260;     // NUL-terminated: 259 characters
    static constexpr std::size_t kSourceIPBytes = 32;  // NUL-terminated: 31 characters

    std::uint16_t sequence = 0;  // the store's running counter when added; nobody reads it
    std::uint8_t reserved = 0;
    std::uint8_t flags = 0;  // kAlarmItem*; the appender writes 0
    SystemTime startTime;    // day of week and milliseconds 0
    std::array<char, kPathBytes> path{};
    std::uint32_t frameCount = 0;
    std::array<char, kSourceIPBytes> sourceIP{};

    // The texts, up to their terminator or the end of their field.
    std::string_view Path() const;
    std::string_view SourceIP() const;

    std::array<std::uint8_t, kAlarmDBItemBytes> ToBytes() const;
    // Reads a record; a text without terminator is cut to its field less one
    // byte, so that it always has one.
    static AlarmDBItem_Struct FromBytes(std::span<const std::uint8_t, kAlarmDBItemBytes> bytes);
};

// What a reader's load found.
enum class AlarmDBLoadResult {
    Created,     // there was no file: an empty list was written
    Empty,       // the file holds no record
    Loaded,      // records are in the item array
    ReadFailed,  // the file could not be read or is shorter than its header; set aside
    BadMagic,    // the file is not an alarm list; set aside
    // (A file set aside is renamed to AlarmData.dat.bad, replacing an older
    // one, so that nothing the list cannot read is ever deleted.)
};

class SystemConfig {
public:
    SystemConfig() = default;
    SystemConfig(const SystemConfig&) = delete;
    SystemConfig& operator=(const SystemConfig&) = delete;

    // ---- the alarm recorder ------------------------------------------------

    // Starts a new pending record for the recording file `path`. 0 (and no
    // pending record) when the path does not fit the record's 259 characters.
    int AlarmDB_SetRecordFile(std::string_view path);
    // Dates the pending record: year, month, day, hour, minute and second.
    void AlarmDB_SetRecordTime(const SystemTime& time);
    // Completes the pending record with the frame count and the device's
    // address text (cut to 31 characters) and adds it to the file. 0 when
    // there is no pending record, the file is not an alarm list (it is then
    // left as it is) or it could not be written; 1 when added.
    int AlarmDB_AppendRecord(std::uint32_t frameCount, std::string_view strSourceIP);

    // ---- the Alarm List page -----------------------------------------------

    // Loads the file into the item array, marking each item whose recording
    // file does not exist (kAlarmItemFileMissing); see AlarmDBLoadResult for
    // what happens to a missing or damaged file.
    AlarmDBLoadResult AlarmDB_Load();
    // (Re)allocates a zeroed item array for the record counter.
    void AlarmDB_AllocateBuffer();
    void AlarmDB_FreeBuffer();
    // A copy of the item array.
    std::vector<AlarmDBItem_Struct> AlarmDB_Items() const;
    // Sets the flags byte of item `index`; false when there is no such item.
    bool AlarmDB_SetItemFlags(std::size_t index, std::uint8_t flags);
    // Replaces the item array (flags included): a page that keeps its own
    // copy hands it back before a write-back, since a write-back frees it.
    void AlarmDB_SetItems(std::vector<AlarmDBItem_Struct> items);
    // Marks the list changed, so that the next write-back rewrites the file.
    void AlarmDB_SetChanged();
    // When the list was marked changed: rewrites the file without the records
    // whose path is that of an item marked deleted (records added since the
    // load stay); without a file, writes the items not marked deleted. Then
    // clears the mark and frees the item array. 0 when the file is not an
    // alarm list (left as it is) or could not be written, else 1.
    int AlarmDB_WriteBack();
    // The store keeps no file open between operations; nothing to close.
    void AlarmDB_CloseFile() {}

    // AlarmData.dat in the program's folder (the settings' m_strProgramDir);
    // empty when there is no folder.
    static std::filesystem::path FilePath();

    // The running record counter (tests).
    std::uint16_t RecordCounter() const;

private:
    mutable std::mutex m_lock;
    bool m_changed = false;
    std::uint16_t m_recordCounter = 0;  // the header mirror's count
    bool m_hasPending = false;
    AlarmDBItem_Struct m_pending;
    std::vector<AlarmDBItem_Struct> m_lpAlarmDBItem_Struct;
};

// The program's one alarm list.
extern SystemConfig g_SystemConfig;
