#include "media/frame_header.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/application/subsystem_services.h"
#include "core/application/window_messages.h"
#include "core/state/control_device.h"
#include "core/state/device_family.h"
#include "media/alarm_record.h"
#include "platform/byte_order.h"
#include "platform/window.h"

// Constant-initialised, so it is ready before any other static object runs.
constinit CFrameHeaderParser C_FrameHeaderParser;

namespace {

using frame_header_detail::PendingEffects;

// Reads little-endian fields from the front of a span, never past its end.
using FieldReader = platform::LeReader;

// The optional fields of the two layouts and of the new layout's status block.
enum class Field {
    kImageLength,
    kTitle,
    kRetrState,
    kRetrStateWord,  // old layout: the state byte and one byte not read
    kQvga,
    kExtra,
    kTimeValueNew,
    kTimeValueOld,
    kChannel,
    kChannelIndex,
    kChannelIndex16,
    kAlarm,
    kMotion,
    kThird,
    kNetworkBackup,
    kPackedDate,
    kVideoLoss,
    kCameraState,
};

struct OptionalField {
    std::uint32_t flag;
    std::uint8_t size;
    Field field;
};

// Each table is in the order the fields follow each other in the header.
constexpr std::array kOldLayoutFields{
    OptionalField{0x0001, 4, Field::kImageLength},   OptionalField{0x0002, 16, Field::kTitle},
    OptionalField{0x0004, 2, Field::kRetrStateWord}, OptionalField{0x0008, 1, Field::kQvga},
    OptionalField{0x0010, 1, Field::kExtra},         OptionalField{0x0020, 4, Field::kTimeValueOld},
    OptionalField{0x0040, 1, Field::kChannel},       OptionalField{0x0080, 2, Field::kAlarm},
    OptionalField{0x0100, 2, Field::kMotion},        OptionalField{0x0200, 2, Field::kThird},
    OptionalField{0x0400, 0, Field::kNetworkBackup}, OptionalField{0x0800, 1, Field::kChannelIndex},
    OptionalField{0x2000, 4, Field::kPackedDate},    OptionalField{0x1000, 0, Field::kVideoLoss},
};

constexpr std::array kNewLayoutFields{
    OptionalField{0x0002, 2, Field::kMotion},     OptionalField{0x0004, 2, Field::kAlarm},
    OptionalField{0x0008, 2, Field::kThird},      OptionalField{0x0020, 4, Field::kTimeValueNew},
    OptionalField{0x0040, 4, Field::kPackedDate}, OptionalField{0x0080, 16, Field::kTitle},
    OptionalField{0x0100, 1, Field::kExtra},
};

constexpr std::array kStatusBlockFields{
    OptionalField{0x0001, 1, Field::kQvga},        OptionalField{0x0002, 1, Field::kRetrState},
    OptionalField{0x0004, 0, Field::kVideoLoss},   OptionalField{0x0008, 0, Field::kNetworkBackup},
    OptionalField{0x0010, 1, Field::kCameraState}, OptionalField{0x0020, 0, Field::kChannelIndex16},
};

constexpr std::uint16_t kNewLayoutMagic = 1;
constexpr std::size_t kNewLayoutFixedBytes = 8;
constexpr std::size_t kOldLayoutFixedBytes = 4;
constexpr std::uint32_t kStatusBlockFlag = 0x2000;
constexpr std::uint8_t kStatusBlockLead = 0x32;  // '2'
constexpr std::size_t kStatusBlockFixedBytes = 4;
constexpr std::uint8_t kLastChannelIndex = 16;
// New-layout time values from here up are kept as 0; the ones below keep
// their product with 5 within 32 bits.
constexpr std::uint32_t kNewLayoutTimeValueLimit = 0x33333333;

// The start of every JPEG the devices send: start of image, then the
// quantisation table.
constexpr std::array<std::uint8_t, 4> kDeviceJpegStart{0xFF, 0xD8, 0xFF, 0xDB};

// The alarm-kind fields in the order each layout carries them.
struct AlarmField {
    std::uint32_t kind;
    std::uint16_t FrameHeaderInfo::*value;
};
constexpr std::array kNewLayoutAlarmOrder{
    AlarmField{kAlarmKindMotion, &FrameHeaderInfo::wMotionDetect},
    AlarmField{kAlarmKindAlarm, &FrameHeaderInfo::wAlarm},
    AlarmField{kAlarmKindThird, &FrameHeaderInfo::wThirdAlarm},
};
constexpr std::array kOldLayoutAlarmOrder{
    AlarmField{kAlarmKindAlarm, &FrameHeaderInfo::wAlarm},
    AlarmField{kAlarmKindMotion, &FrameHeaderInfo::wMotionDetect},
    AlarmField{kAlarmKindThird, &FrameHeaderInfo::wThirdAlarm},
};

// Bits 31-26 year - 2000, 25-22 month, 21-17 day, 16-12 hour, 11-6 minute,
// 5-0 second.
SystemTime UnpackDate(std::uint32_t packed) {
    SystemTime t;
    t.year = static_cast<std::uint16_t>(2000 + (packed >> 26));
    t.month = static_cast<std::uint16_t>((packed >> 22) & 0x0F);
    t.day = static_cast<std::uint16_t>((packed >> 17) & 0x1F);
    t.hour = static_cast<std::uint16_t>((packed >> 12) & 0x1F);
    t.minute = static_cast<std::uint16_t>((packed >> 6) & 0x3F);
    t.second = static_cast<std::uint16_t>(packed & 0x3F);
    return t;
}

// Reads one present field (its size already checked) into the record.
void ReadField(Field field, FieldReader& reader, PendingEffects& p) {
    FrameHeaderInfo& h = p.header;
    switch (field) {
        case Field::kImageLength:
            h.dwImageLength = reader.U32();
            break;
        case Field::kTitle:
            reader.CopyTo(h.szTitle);
            break;
        case Field::kRetrStateWord:
            p.hasRetr = true;
            p.retrState = reader.U8();
            reader.Skip(1);
            break;
        case Field::kRetrState:
            p.hasRetr = true;
            p.retrState = reader.U8();
            break;
        case Field::kQvga:
            h.byQVGA = reader.U8();
            break;
        case Field::kExtra:
            h.byExtra = reader.U8();
            break;
        case Field::kTimeValueNew: {
            const std::uint32_t raw = reader.U32();
            h.dwTimeValue = raw < kNewLayoutTimeValueLimit ? raw * 5 : 0;
            break;
        }
        case Field::kTimeValueOld:
            h.dwTimeValue = reader.U32() * 5u;
            break;
        case Field::kChannel:
            h.byChannel = reader.U8();
            break;
        case Field::kChannelIndex:
            h.byChannelIndex = reader.U8();
            break;
        case Field::kChannelIndex16:
            h.byChannelIndex = kLastChannelIndex;
            break;
        case Field::kAlarm:
            h.wAlarm = reader.U16();
            p.presentAlarmKinds |= kAlarmKindAlarm;
            break;
        case Field::kMotion:
            h.wMotionDetect = reader.U16();
            p.presentAlarmKinds |= kAlarmKindMotion;
            break;
        case Field::kThird:
            h.wThirdAlarm = reader.U16();
            p.presentAlarmKinds |= kAlarmKindThird;
            break;
        case Field::kNetworkBackup:
            p.networkBackup = true;
            break;
        case Field::kPackedDate:
            h.stDate = UnpackDate(reader.U32());
            p.hasDate = true;
            break;
        case Field::kVideoLoss:
            h.byVideoLoss = 1;
            break;
        case Field::kCameraState:
            p.hasCamera = true;
            p.cameraState = reader.U8();
            break;
    }
}

// Reads the fields of `table` whose flags are set; false when the bytes end
// inside one of them.
template <std::size_t N>
bool ReadFields(const std::array<OptionalField, N>& table, std::uint32_t flags, FieldReader& reader,
                PendingEffects& p) {
    for (const OptionalField& f : table) {
        if ((flags & f.flag) == 0)
            continue;
        if (!reader.Has(f.size))
            return false;
        ReadField(f.field, reader, p);
    }
    return true;
}

bool StartsAsDeviceJpeg(std::span<const std::uint8_t> image) {
    return image.size() >= kDeviceJpegStart.size() &&
           std::equal(kDeviceJpegStart.begin(), kDeviceJpegStart.end(), image.begin());
}

void PostToMainWindow(std::uint32_t message, std::uint64_t lParam) {
    platform::PostWindowMessage(g_lpApp->h_MainDialogHandle.load(), message, 0, lParam);
}

// Stores a plausible device time that differs from the one held; a Q3A2 or
// Q9C0 main window shows it and is asked to redraw it.
void UpdateDeviceTime(const SystemTime& time) {
    if (!time.IsPlausible())
        return;
    if (!g_lpApp->st_DeviceTime.StoreIfChanged(time))
        return;
    if (IsQ3A2() || IsQ9C0())
        PostToMainWindow(WM_REDRAWINFOAREA, 0);
}

void ShowStatusEffects(const PendingEffects& p) {
    if (p.hasRetr)
        g_lpApp->C_ControlD.SetRetrState(p.retrState);
    if (p.networkBackup)
        LiveView().SetStatusText(kNetworkBackupStatusText);
}

}  // namespace

std::string TitleText(const FrameHeaderInfo& header) {
    const auto end = std::find(header.szTitle.begin(), header.szTitle.end(), '\0');
    return std::string(header.szTitle.begin(), end);
}

FrameHeaderStatus CFrameHeaderParser::Parse(std::span<const std::uint8_t> piece,
                                            std::uint32_t& headerLength,
                                            FrameHeaderInfo& slotRecord) {
    return m_fNewLayout.load() ? ParseNewLayout(piece, headerLength, slotRecord)
                               : ParseOldLayout(piece, headerLength, slotRecord);
}

FrameHeaderStatus CFrameHeaderParser::ParseNewLayout(std::span<const std::uint8_t> piece,
                                                     std::uint32_t& headerLength,
                                                     FrameHeaderInfo& slotRecord) {
    PendingEffects p;
    p.newLayout = true;
    FieldReader reader(piece);
    if (!reader.Has(2))
        return Finish(FrameHeaderStatus::kTruncated, p, headerLength, slotRecord);
    if (reader.U16() != kNewLayoutMagic) {
        return Finish(FrameHeaderStatus::kBadMagic, p, headerLength, slotRecord);
    }
    if (!reader.Has(kNewLayoutFixedBytes - 2)) {
        return Finish(FrameHeaderStatus::kTruncated, p, headerLength, slotRecord);
    }
    p.header.dwImageLength = reader.U16();
    p.header.byChannel = reader.U8() & 0x0F;
    p.header.byChannelIndex = reader.U8() >> 4;
    const std::uint16_t flags = reader.U16();

    bool complete = ReadFields(kNewLayoutFields, flags, reader, p);
    if (complete && (flags & kStatusBlockFlag) != 0) {
        // A block that does not start with '2' is neither read nor skipped.
        if (!reader.Has(1)) {
            complete = false;
        } else if (reader.PeekU8() == kStatusBlockLead) {
            complete = reader.Has(kStatusBlockFixedBytes);
            if (complete) {
                reader.Skip(2);
                const std::uint16_t status = reader.U16();
                complete = ReadFields(kStatusBlockFields, status, reader, p);
            }
        }
    }
    if (!complete)
        return Finish(FrameHeaderStatus::kTruncated, p, headerLength, slotRecord);

    p.header.dwHeaderLength = static_cast<std::uint32_t>(reader.Position());
    if (IsQ9C0()) {
        // The device counts its header into the length; a length shorter
        // than the header is not a frame.
        if (p.header.dwImageLength < p.header.dwHeaderLength) {
            return Finish(FrameHeaderStatus::kInvalid, p, headerLength, slotRecord);
        }
        p.header.dwImageLength -= p.header.dwHeaderLength;
    }
    return Finish(FrameHeaderStatus::kOk, p, headerLength, slotRecord);
}

FrameHeaderStatus CFrameHeaderParser::ParseOldLayout(std::span<const std::uint8_t> piece,
                                                     std::uint32_t& headerLength,
                                                     FrameHeaderInfo& slotRecord) {
    PendingEffects p;
    FieldReader reader(piece);
    if (!reader.Has(kOldLayoutFixedBytes)) {
        return Finish(FrameHeaderStatus::kTruncated, p, headerLength, slotRecord);
    }
    const std::uint32_t flags = reader.U32();
    p.header.dwHeaderFlags = flags;
    if (!ReadFields(kOldLayoutFields, flags, reader, p)) {
        return Finish(FrameHeaderStatus::kTruncated, p, headerLength, slotRecord);
    }
    p.header.dwHeaderLength = static_cast<std::uint32_t>(reader.Position());
    // The old layout has no magic; a channel index beyond the last channel
    // marks bytes that are not a header.
    if (p.header.byChannelIndex > kLastChannelIndex) {
        return Finish(FrameHeaderStatus::kInvalid, p, headerLength, slotRecord);
    }
    return Finish(FrameHeaderStatus::kOk, p, headerLength, slotRecord);
}

FrameHeaderStatus CFrameHeaderParser::Finish(FrameHeaderStatus status,
                                             const PendingEffects& decoded,
                                             std::uint32_t& headerLength,
                                             FrameHeaderInfo& slotRecord) {
    if (status != FrameHeaderStatus::kOk) {
        m_RTPH_Struct = FrameHeaderInfo{};
        m_pending = PendingEffects{};
        return status;
    }
    m_RTPH_Struct = decoded.header;
    m_pending = decoded;
    m_pending.ready = true;
    headerLength = decoded.header.dwHeaderLength;
    slotRecord = decoded.header;
    return status;
}

bool CFrameHeaderParser::Evaluate(std::span<const std::uint8_t> image) {
    if (!m_pending.ready)
        return false;
    const PendingEffects p = m_pending;
    m_pending = PendingEffects{};
    if (!StartsAsDeviceJpeg(image))
        return false;

    {
        std::lock_guard lock(m_currentLock);
        m_current = p.header;
    }
    if (g_lpApp == nullptr)
        return true;
    AppGlobalState& app = *g_lpApp;

    // The old layout carries the R.E.T.R. state in front of the alarm-kind
    // fields, the new one in its status block behind them; the state rewrites
    // "Alarm Trigger Record", which the alarm fields read.
    if (!p.newLayout)
        ShowStatusEffects(p);
    AlarmOutcome outcome;
    for (const AlarmField& f : p.newLayout ? kNewLayoutAlarmOrder : kOldLayoutAlarmOrder) {
        EvaluateAlarmField(p, f.kind, p.header.*f.value, outcome);
    }
    if (p.hasDate)
        UpdateDeviceTime(p.header.stDate);
    if (p.newLayout) {
        ShowStatusEffects(p);
        if (p.hasCamera && IsQ9C0())
            LiveView().PostCameraState(p.cameraState);
    }

    if (app.C_ControlD.HasLinkedDvr() == 0 && IsQ3A2() == 0 && IsQ7BFamily() == 0)
        return true;

    if (!app.f_AlarmAudioPlaying.load() && outcome.soundStart) {
        PostToMainWindow(WM_POSTALARMAUDIO, 0);
    } else if (outcome.soundStop) {
        PostToMainWindow(WM_POSTALARMAUDIO, 2);
    }
    if (CAlarmRecord* recorder = m_alarmRecorder.load()) {
        if (outcome.record && !recorder->IsRecording()) {
            recorder->StartRecord(app.CSettingINI.m_strRecordPath.Get(), 0);
        } else if (!outcome.record && recorder->IsRecording()) {
            recorder->EndRecord();
        }
    }
    return true;
}

void CFrameHeaderParser::EvaluateAlarmField(const PendingEffects& effects, std::uint32_t kind,
                                            std::uint16_t value, AlarmOutcome& outcome) {
    AppGlobalState& app = *g_lpApp;
    if ((effects.presentAlarmKinds & kind) == 0) {
        std::uint32_t expected = kind;
        if (m_dwActiveAlarmKind.compare_exchange_strong(expected, kAlarmKindNone)) {
            outcome.soundStop = true;
        }
        return;
    }
    const bool triggerRecord = app.CSettingINI.m_byAlarmTriggerRecord.load() != 0;
    if (!app.f_AlarmAudioPlaying.load() && triggerRecord)
        outcome.soundStart = true;
    m_wAlarmData.store(value);
    m_dwActiveAlarmKind.store(kind);
    if (value != 0 && triggerRecord)
        outcome.record = true;

    // Motion switches a multi-channel DVR to the lowest channel that moved.
    if (kind == kAlarmKindMotion && value != 0 && IsDvrFamily() != 0 && IsMultiChannel() != 0 &&
        app.CSettingINI.m_byAlarmAutoSwitchVideo.load() != 0) {
        LiveView().RequestChannel(std::countr_zero(value) + 1);
    }
}

int CFrameHeaderParser::ResetAlarmValue() {
    return m_wAlarmData.exchange(0) != 0 ? 1 : 0;
}

FrameHeaderInfo CFrameHeaderParser::CurrentHeader() const {
    std::lock_guard lock(m_currentLock);
    return m_current;
}

void CFrameHeaderParser::ToggleAlarmData() {
    const auto bits = static_cast<std::uint16_t>(m_wToggleWord.load() & 0x3);
    if (bits != 0x3) {
        m_wAlarmData.store(bits);
    }
    if (m_wAlarmData.load() == 15 && m_dwToggleGate.load() == 0) {
        m_wAlarmData.store(0);
    }
}

bool CFrameHeaderParser::HasStartSequenceAfterMarker(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kWindow = 50;
    constexpr std::size_t kSequenceBytes = 4;
    for (std::size_t marker = 0; marker < bytes.size(); ++marker) {
        if ((bytes[marker] & 0xC0) != 0x80) {
            continue;
        }
        const std::size_t last = std::min(marker + kWindow, bytes.size() - 1);
        for (std::size_t at = marker + 1; at <= last && at + kSequenceBytes <= bytes.size(); ++at) {
            const std::uint8_t kind = bytes[at + 2];
            if (bytes[at] == 0x00 && bytes[at + 1] == 0x00 &&
                (kind == 0xC0 || kind == 0xD0 || kind == 0xE0) && bytes[at + 3] == 0x01) {
                return true;
            }
        }
    }
    return false;
}
