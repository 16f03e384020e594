#pragma once

// The binary header in front of every JPEG image of the live stream, in its
// two layouts, and the parser that decodes it and acts on its alarm, motion,
// device-time and status information.
//
// How the stream receive thread uses the parser (one parser, one thread):
//
//   1. Parse(piece, headerLength, slotRecord), with `piece` the bytes the
//      thread holds at the frame's start (carry-over and read together) and
//      their exact count. The parser never reads past the span. Parsing only
//      decodes: it changes nothing outside the parser, so parsing the same
//      bytes again (for example after more have arrived) is harmless.
//      - kOk: `headerLength` and `slotRecord` are written; the image starts
//        `headerLength` bytes into the piece and is slotRecord.dwImageLength
//        bytes long (Q9C0: already without the header).
//      - kTruncated: the piece ends inside the header. Nothing is written.
//        The thread may read more and parse again, or resynchronise.
//      - kBadMagic, kInvalid: not a usable header (new layout whose first
//        word is not 1; a Q9C0 length shorter than the header; a channel
//        index above 16). Nothing is written; the thread resynchronises.
//
//   2. Evaluate(image), once the frame is accepted, with the first bytes of
//      the image behind the header (at least four). The header's side effects
//      run here and only here, and only when the image starts FF D8 FF DB as
//      the device's JPEGs do: R.E.T.R. state, network-backup status text,
//      camera state, device time, alarm and motion evaluation (sound, channel
//      switch, alarm recording). A header whose frame is dropped, or that
//      announces no image, leaves the alarm state and every window untouched.
//      Evaluate acts on the last kOk parse at most once; it returns whether
//      the side effects ran. A later Parse discards an unevaluated header.
//
// Side effects never wait for the GUI thread: window messages are posted, and
// the live view's calls only queue work. Ending an alarm recording may hold
// the thread while the recorder closes its file.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <type_traits>

#include "core/state/app_global_state.h"
#include "core/state/system_time.h"

class CAlarmRecord;

// One parsed frame header. The receive thread copies it whole into the record
// of the socket slot that takes the frame; the slot table gives each record
// 72 bytes, so the record keeps that size: the fields take 60 bytes and the
// rest is reserved and zero. Fields the header did not carry are 0.
struct FrameHeaderInfo {
    // JPEG bytes behind the header.
    std::uint32_t dwImageLength = 0;
    // The channel number drawn by the main window.
    std::uint8_t byChannel = 0;
    // Non-zero for the 320-wide picture.
    std::uint8_t byQVGA = 0;
    std::uint8_t byExtra = 0;
    // Not terminated; read it with TitleText.
    std::array<char, 16> szTitle{};
    std::uint8_t byReserved0 = 0;
    // The old layout's flags word; 0 for the new layout.
    std::uint32_t dwHeaderFlags = 0;
    std::uint32_t dwHeaderLength = 0;
    // The device's time value times 5.
    std::uint32_t dwTimeValue = 0;
    std::uint16_t wAlarm = 0;
    std::uint16_t wMotionDetect = 0;
    std::uint16_t wThirdAlarm = 0;
    // The channel the picture shows, 0-16.
    std::uint8_t byChannelIndex = 0;
    std::uint8_t byVideoLoss = 0;
    // Decoded from the packed date as the header gives it, unchecked.
    SystemTime stDate;
    std::array<std::uint8_t, 12> byReserved{};
};
static_assert(offsetof(FrameHeaderInfo, byReserved) == 60);
static_assert(sizeof(FrameHeaderInfo) == kFrameHeaderInfoBytes);
static_assert(std::is_trivially_copyable_v<FrameHeaderInfo>);

// The title as text: its bytes up to the first zero, at most 16.
std::string TitleText(const FrameHeaderInfo& header);

// The alarm kinds: which alarm-kind field was seen last.
inline constexpr std::uint32_t kAlarmKindNone = 0;
inline constexpr std::uint32_t kAlarmKindAlarm = 0x80;
inline constexpr std::uint32_t kAlarmKindMotion = 0x100;
inline constexpr std::uint32_t kAlarmKindThird = 0x200;

// The longest headers of the two layouts.
inline constexpr std::size_t kMaxNewLayoutHeaderBytes = 46;
inline constexpr std::size_t kMaxOldLayoutHeaderBytes = 44;

// The status text shown while the device runs a network backup.
inline constexpr const char* kNetworkBackupStatusText = "Network backup,stop video!!";

namespace frame_header_detail {

// What a parsed header asks for once its frame is accepted.
struct PendingEffects {
    bool ready = false;
    bool newLayout = false;
    std::uint32_t presentAlarmKinds = 0;  // kAlarmKind* bits
    bool hasDate = false;
    bool hasRetr = false;
    std::uint8_t retrState = 0;
    bool hasCamera = false;
    std::uint8_t cameraState = 0;
    bool networkBackup = false;
    FrameHeaderInfo header{};
};

}  // namespace frame_header_detail

enum class FrameHeaderStatus {
    kOk,
    kBadMagic,   // new layout whose first word is not 1
    kTruncated,  // the bytes end inside the header
    kInvalid,    // decoded, but its lengths or channel index cannot be right
};

class CFrameHeaderParser {
public:
    CFrameHeaderParser() = default;
    CFrameHeaderParser(const CFrameHeaderParser&) = delete;
    CFrameHeaderParser& operator=(const CFrameHeaderParser&) = delete;

    // Decodes the header at the start of `piece` in the layout the new-layout
    // flag selects. See the top of this file for the contract.
    FrameHeaderStatus Parse(std::span<const std::uint8_t> piece, std::uint32_t& headerLength,
                            FrameHeaderInfo& slotRecord);
    FrameHeaderStatus ParseNewLayout(std::span<const std::uint8_t> piece,
                                     std::uint32_t& headerLength, FrameHeaderInfo& slotRecord);
    FrameHeaderStatus ParseOldLayout(std::span<const std::uint8_t> piece,
                                     std::uint32_t& headerLength, FrameHeaderInfo& slotRecord);

    // Runs the side effects of the header parsed last when `image` (the bytes
    // behind it) starts FF D8 FF DB; true when they ran.
    bool Evaluate(std::span<const std::uint8_t> image);

    // Clears m_wAlarmData; 1 when it was non-zero, else 0.
    int ResetAlarmValue();

    // The toggle step: m_wAlarmData takes the value of the low two bits of
    // the toggle word when they are 0, 1 or 2 (3 leaves it), and then the
    // value 15 becomes 0 when the toggle gate is 0. Nothing sets the toggle
    // word or the gate but SetToggleInputs; both are 0 from the start.
    void ToggleAlarmData();
    void SetToggleInputs(std::uint16_t toggleWord, std::uint32_t toggleGate) {
        m_wToggleWord.store(toggleWord);
        m_dwToggleGate.store(toggleGate);
    }
    // Whether the bytes 00 00, then C0, D0 or E0, then 01 start within the
    // 50 bytes after a byte whose two top bits are 10 (the four bytes lying
    // within `bytes`).
    static bool HasStartSequenceAfterMarker(std::span<const std::uint8_t> bytes);

    // The layout of the stream; set by the session login thread.
    void SetNewLayout(bool newLayout) { m_fNewLayout.store(newLayout); }
    bool IsNewLayout() const { return m_fNewLayout.load(); }

    // The kind of the last alarm-kind field seen (kAlarmKind*).
    std::uint32_t ActiveAlarmKind() const { return m_dwActiveAlarmKind.load(); }

    // The header of the frame evaluated last, for readers on other threads
    // (the main window draws its channel and title).
    FrameHeaderInfo CurrentHeader() const;

    // The recorder whose recordings the alarm evaluation starts and ends;
    // none (the default) records nothing. It must outlive its use.
    void SetAlarmRecorder(CAlarmRecord* recorder) { m_alarmRecorder.store(recorder); }

    // The value of the last alarm-kind field evaluated. Read by the frame
    // drawing, cleared by the alarm recorder and ResetAlarmValue.
    std::atomic<std::uint16_t> m_wAlarmData{0};

    // The header parsed last; used by the receive thread only (other threads
    // read CurrentHeader).
    FrameHeaderInfo m_RTPH_Struct{};

private:
    using PendingEffects = frame_header_detail::PendingEffects;
    struct AlarmOutcome {
        bool soundStart = false;
        bool soundStop = false;
        bool record = false;
    };

    FrameHeaderStatus Finish(FrameHeaderStatus status, const PendingEffects& decoded,
                             std::uint32_t& headerLength, FrameHeaderInfo& slotRecord);
    void EvaluateAlarmField(const PendingEffects& effects, std::uint32_t kind, std::uint16_t value,
                            AlarmOutcome& outcome);

    std::atomic<std::uint32_t> m_dwActiveAlarmKind{kAlarmKindNone};
    std::atomic<std::uint16_t> m_wToggleWord{0};
    std::atomic<std::uint32_t> m_dwToggleGate{0};
    std::atomic<bool> m_fNewLayout{false};
    std::atomic<CAlarmRecord*> m_alarmRecorder{nullptr};
    PendingEffects m_pending{};
    mutable std::mutex m_currentLock;
    FrameHeaderInfo m_current{};
};

// The program's one parser, used by the stream receive thread.
extern CFrameHeaderParser C_FrameHeaderParser;
