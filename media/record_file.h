#pragma once

// The .kst record file that the alarm and user recorders write, and its
// names.
//
// Layout (all numbers little-endian):
//   0   80-byte header (RecFileHeader)
//   80  header extension: u32 0xFFFFFFFF, u32 0
//   88  u16 0xFFFF
//   90  frames: each a frame mark followed at once by its JPEG bytes
//   ... frame index: per frame {u32 offset of its mark, u32 0}, in order
//   end-4 u32 number of frames
// The header's first and last time values and its frame count are 0 until
// the first frame is written and the file is closed; a file that was never
// closed has no index. The external player reads these files.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "media/pre_alarm_ring.h"

inline constexpr std::uint16_t kRecordMagic = 0x4B52;
inline constexpr std::size_t kRecFileHeaderBytes = 80;
// Header and extension, as the header's second field states it.
inline constexpr std::uint16_t kRecHeaderLength = 88;
// Where the first frame mark starts: header, extension and 0xFFFF.
inline constexpr std::uint32_t kRecFramesOffset = 90;
inline constexpr std::size_t kRecIndexEntryBytes = 8;
// Frame marks: 31 bytes before the JPEG, 32 for a video-loss frame.
inline constexpr std::size_t kFrameMarkBytes = 31;
inline constexpr std::size_t kVideoLossFrameMarkBytes = 32;
inline constexpr std::uint32_t kFrameMarkFlags = 0xE00000FF;
inline constexpr std::uint32_t kVideoLossFrameMarkFlags = 0xE00008FF;
// A file holds at most this many frames (the recorders split long before).
inline constexpr std::uint32_t kRecMaxFrames = 20'000;
inline constexpr std::string_view kRecordFileExtension = ".kst";

enum class RecordKind : std::uint8_t { User = 0, Alarm = 1 };

// The 80-byte header of a record file.
struct RecFileHeader {
    std::uint16_t magic = kRecordMagic;
    std::uint16_t headerLength = kRecHeaderLength;
    std::array<char, 4> product{'Q', '3', 'A', '2'};  // always, no terminator
    FrameTime created;                 // local time the header was written, day of week set
    std::uint32_t firstTimeValue = 0;  // the first frame's stream time value
    std::uint32_t lastTimeValue = 0;   // the last frame's, set at closing
    std::uint32_t frameCount = 0;      // set at closing
    std::array<std::uint8_t, 4> deviceAddress{};  // the "Server Name" setting's four numbers
    RecordKind kind = RecordKind::User;
    std::array<char, 16> userName{};  // zero-padded; 16 bytes have no terminator

    std::array<std::uint8_t, kRecFileHeaderBytes> ToBytes() const;
};

// Fills the identity fields of a header: the device address from the
// "Server Name" text (split at '.', low byte of each of the first four
// numbers) and the first 16 bytes of the user name.
void SetHeaderIdentity(RecFileHeader& header, std::string_view serverName,
                       std::string_view userName);

// Builds the frame mark of a frame into `out` and returns its length (31, or
// 32 for a video-loss frame). The mark takes the frame number given, the
// JPEG length, picture size, time value, channel and video-loss flag from
// `entry`.
std::size_t BuildFrameMark(const FrameMarkEntry& entry, std::uint32_t frameNumber,
                           std::span<std::uint8_t, kVideoLossFrameMarkBytes> out);

// The local time of `when` as a record file states it (day of week set,
// milliseconds 0).
FrameTime LocalRecordTime(std::chrono::system_clock::time_point when);

// Names without folder and extension: "USER_MJPEG_yymmddThhmiss_UR" and
// "ALARM_MJPEG_yymmddThhmiss_" followed by what the first four characters of
// the session cookie hold in letters and digits (the cookie comes from the
// device and must not add anything else to a path).
std::string UserRecordFileStem(const FrameTime& time);
std::string AlarmRecordFileStem(const FrameTime& time, std::string_view sessionCookie);
// The schedule recorder's "SCH_MJPEG_yymmddThhmiss" (its files end ".ks4").
std::string ScheduleRecordFileStem(const FrameTime& time);

// One open record file being written. Every write is checked: after a failed
// one the file takes no more frames (Failed()), and closing it cuts it back
// to its last whole frame and leaves it as an unclosed file (header counts 0,
// no index), which is what readers expect of a recording that was cut off.
//
// The frame index lives in memory (reserved once, reused from file to file)
// and is written once, at closing. Writing a frame is one write call of the
// mark and the JPEG together; the header is written again only at the first
// frame and at closing.
class CRecordFile {
public:
    CRecordFile() = default;
    ~CRecordFile();  // closes a file still open as Abandon does
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Reserves the in-memory frame index for `frames` frames (at most
    // kRecMaxFrames); false when the memory cannot be had.
    bool ReserveIndex(std::uint32_t frames);
    // Gives the index memory back; only while no file is open.
    void ReleaseIndex();

    // Creates folder/<stem>.kst, never replacing a file: when the name is
    // taken, <stem>_2.kst, <stem>_3.kst ... are tried. False when no file
    // could be created (or a file is still open here).
    bool Create(const std::filesystem::path& folder, std::string_view stem);

    bool IsOpen() const { return m_fd >= 0; }
    bool Failed() const { return m_failed; }
    bool HeaderWritten() const { return m_headerWritten; }
    const std::filesystem::path& Path() const { return m_path; }
    std::uint32_t FrameCount() const { return m_frameCount; }
    std::uint32_t LastTimeValue() const { return m_lastTimeValue; }
    const RecFileHeader& Header() const { return m_header; }

    // Writes the header, its extension and 0xFFFF (90 bytes) at the start;
    // the header's time values and count are kept 0.
    bool WriteHeader(const RecFileHeader& header);
    // Writes the next frame (numbered from 1 in each file) with its mark;
    // the first frame's time value also goes into the header.
    bool WriteFrame(const FrameMarkEntry& entry, std::span<const std::uint8_t> jpeg);
    // Completes the file: last time value and frame count into the header,
    // the frame index and the count at the end, then closes it. A file whose
    // header was never written gets its header first (no frames). False when
    // a write failed before or now; the file is closed either way.
    bool Close(const RecFileHeader& headerIfMissing);
    // Closes without completing: after a failure the file is cut back to its
    // last whole frame; the header keeps counts 0 and there is no index.
    void Abandon();

private:
    bool WriteAt(std::span<const std::uint8_t> bytes, std::uint64_t offset);
    bool RewriteHeader();
    void Fail();
    void Reset();

    int m_fd = -1;
    std::filesystem::path m_path;
    bool m_failed = false;
    bool m_headerWritten = false;
    RecFileHeader m_header;
    std::uint32_t m_length = 0;  // bytes of whole parts written
    std::uint32_t m_frameCount = 0;
    std::uint32_t m_lastTimeValue = 0;
    std::vector<std::uint8_t> m_index;  // the index entries, then room for the count
};
