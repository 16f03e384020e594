#include "media/frame_header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "media/alarm_record.h"
#include "media/media_services.h"
#include "platform/window.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/qt_app.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/live_stream.h"
#include "tools/streamgen/frame_header_writer.h"

namespace {

using streamgen::FrameHeaderDescription;
using streamgen::FrameHeaderLayout;
using streamgen::PackFrameDate;
using streamgen::WriteFrameHeader;

constexpr std::array<std::uint8_t, 4> kJpegStart{0xFF, 0xD8, 0xFF, 0xDB};
constexpr std::uint8_t kLinkedDvrType = 19;  // "ZRT 417 DVR"

std::array<char, 16> Title(const char* text) {
    std::array<char, 16> t{};
    std::memcpy(t.data(), text, std::min<std::size_t>(std::strlen(text), t.size()));
    return t;
}

// A header with every field of both layouts.
FrameHeaderDescription FullDescription() {
    FrameHeaderDescription d;
    d.imageLength = 4321;
    d.channel = 9;
    d.channelIndex = 7;
    d.motion = 0x0102;
    d.alarm = 0x0304;
    d.thirdAlarm = 0x0506;
    d.timeValue = 0x01020304;
    d.packedDate = PackFrameDate(2011, 4, 5, 6, 7, 8);
    d.title = Title("Front door 01234");
    d.extra = 0xA5;
    d.status.qvga = 1;
    d.status.retrState = 0;
    d.status.cameraState = 0x83;
    d.status.videoLoss = true;
    d.status.networkBackup = true;
    return d;
}

// A recorder that records in name only.
class RecordingAlarmRecord : public CAlarmRecord {
public:
    bool IsRecording() const override { return recording; }
    int StartRecord(const std::string& recordPath, int option) override {
        starts.push_back(recordPath);
        EXPECT_EQ(option, 0);
        recording = true;
        return 1;
    }
    int EndRecord() override {
        ++ends;
        recording = false;
        return 1;
    }

    bool recording = false;
    std::vector<std::string> starts;
    int ends = 0;
};

struct Message {
    std::uint32_t message;
    std::uint64_t wParam;
    std::uint64_t lParam;
    bool operator==(const Message&) const = default;
};

// Stands in for the main window: records the messages posted to it.
class RecordingWindow : public platform::MessageTarget {
public:
    RecordingWindow() : m_handle(platform::RegisterWindow(this)) {}
    ~RecordingWindow() override { platform::UnregisterWindow(m_handle); }
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override {
        received.push_back({message, wParam, lParam});
    }
    platform::WindowHandle Handle() const { return m_handle; }

    std::vector<Message> received;

private:
    platform::WindowHandle m_handle;
};

struct Fed {
    FrameHeaderStatus status = FrameHeaderStatus::kOk;
    std::uint32_t headerLength = 0;
    FrameHeaderInfo record{};
    bool evaluated = false;
};

class FrameHeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        CreateGlobalState();
        m_window.emplace();
        g_lpApp->h_MainDialogHandle = m_window->Handle();
        g_lpApp->CSettingINI.m_strRecordPath = "/records/";
        m_parser.SetAlarmRecorder(&m_recorder);
    }
    void TearDown() override {
        platform::ProcessPostedMessages();
        m_window.reset();
        DeleteGlobalState();
    }

    static void UseDevice(const char* productId, bool linkedDvr = false,
                          bool multiChannel = false) {
        g_lpApp->str_ProductID.Set(productId);
        g_lpApp->b_MultiChannel = multiChannel ? 1 : 0;
        if (linkedDvr)
            g_lpApp->C_ControlD.AddDevice(0, 1, kLinkedDvrType, kDeviceMaster);
    }

    // Parses the header with `image` behind it and, when it parses, evaluates
    // it against the bytes behind the header; then delivers posted messages.
    Fed Feed(const FrameHeaderDescription& d, FrameHeaderLayout layout,
             std::span<const std::uint8_t> image = kJpegStart) {
        m_parser.SetNewLayout(layout == FrameHeaderLayout::kNew);
        std::vector<std::uint8_t> bytes = WriteFrameHeader(d, layout);
        bytes.insert(bytes.end(), image.begin(), image.end());
        Fed fed;
        fed.status = m_parser.Parse(bytes, fed.headerLength, fed.record);
        if (fed.status == FrameHeaderStatus::kOk) {
            fed.evaluated = m_parser.Evaluate(std::span(bytes).subspan(fed.headerLength));
        }
        platform::ProcessPostedMessages();
        return fed;
    }

    std::vector<Message> Received() const { return m_window->received; }

    // What the parser asks of the live view.
    test_support::RecordingLiveView m_liveView;
    test_support::ScopedLiveViewRegistration m_registered{m_liveView};
    RecordingAlarmRecord m_recorder;
    std::optional<RecordingWindow> m_window;
    CFrameHeaderParser m_parser;
};

const Message kSoundStart{WM_POSTALARMAUDIO, 0, 0};
const Message kSoundStop{WM_POSTALARMAUDIO, 0, 2};
const Message kRedrawInfo{WM_REDRAWINFOAREA, 0, 0};

// ---- decoding --------------------------------------------------------------

class FrameHeaderRoundTrip : public FrameHeaderTest,
                             public ::testing::WithParamInterface<FrameHeaderLayout> {};

TEST_P(FrameHeaderRoundTrip, EveryFieldComesBackAndTheLongestHeaderIsMeasured) {
    const FrameHeaderLayout layout = GetParam();
    const bool newLayout = layout == FrameHeaderLayout::kNew;
    const FrameHeaderDescription d = FullDescription();
    const Fed fed = Feed(d, layout);

    ASSERT_EQ(fed.status, FrameHeaderStatus::kOk);
    EXPECT_TRUE(fed.evaluated);
    const std::uint32_t longest = newLayout ? kMaxNewLayoutHeaderBytes : kMaxOldLayoutHeaderBytes;
    EXPECT_EQ(fed.headerLength, longest);
    EXPECT_EQ(WriteFrameHeader(d, layout).size(), longest);

    const FrameHeaderInfo& h = fed.record;
    EXPECT_EQ(h.dwHeaderLength, longest);
    EXPECT_EQ(h.dwImageLength, 4321u);
    EXPECT_EQ(h.byChannel, 9);
    EXPECT_EQ(h.byChannelIndex, 7);
    EXPECT_EQ(h.wMotionDetect, 0x0102);
    EXPECT_EQ(h.wAlarm, 0x0304);
    EXPECT_EQ(h.wThirdAlarm, 0x0506);
    EXPECT_EQ(h.dwTimeValue, 0x01020304u * 5u);
    EXPECT_EQ(h.stDate, (SystemTime{2011, 4, 0, 5, 6, 7, 8, 0}));
    EXPECT_EQ(TitleText(h), "Front door 01234");
    EXPECT_EQ(h.byExtra, 0xA5);
    EXPECT_EQ(h.byQVGA, 1);
    EXPECT_EQ(h.byVideoLoss, 1);
    EXPECT_EQ(h.dwHeaderFlags, newLayout ? 0u : 0x3FFFu);
    EXPECT_EQ(h.byReserved0, 0);
    EXPECT_EQ(h.byReserved, (std::array<std::uint8_t, 12>{}));

    // The parser keeps the same record, and shows it to other threads once
    // the frame was accepted.
    EXPECT_EQ(std::memcmp(&m_parser.m_RTPH_Struct, &h, sizeof h), 0);
    const FrameHeaderInfo current = m_parser.CurrentHeader();
    EXPECT_EQ(std::memcmp(&current, &h, sizeof h), 0);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, FrameHeaderRoundTrip,
                         ::testing::Values(FrameHeaderLayout::kNew, FrameHeaderLayout::kOld),
                         [](const auto& instance) {
                             return instance.param == FrameHeaderLayout::kNew ? "New" : "Old";
                         });

struct DecodeCase {
    const char* name;
    FrameHeaderLayout layout;
    const char* productId;
    FrameHeaderDescription description;
    FrameHeaderStatus status;
    std::uint32_t headerLength = 0;
    std::uint32_t imageLength = 0;
    std::uint8_t channelIndex = 0;
    std::uint32_t timeValue = 0;
};

FrameHeaderDescription With(auto&& change) {
    FrameHeaderDescription d;
    change(d);
    return d;
}

const DecodeCase kDecodeCases[] = {
    {"NewNoFlags", FrameHeaderLayout::kNew, "Q8A7", With([](auto& d) { d.imageLength = 1234; }),
     FrameHeaderStatus::kOk, 8, 1234},
    // The block is neither read nor skipped: the bytes behind the header are
    // the block's, not a JPEG's.
    {"NewStatusBlockNotLedByTwo", FrameHeaderLayout::kNew, "Q8A7", With([](auto& d) {
         d.imageLength = 100;
         d.status.qvga = 1;
         d.statusBlockLead = 'X';
     }),
     FrameHeaderStatus::kOk, 8, 100},
    {"NewChannel16", FrameHeaderLayout::kNew, "Q8A7", With([](auto& d) {
         d.channelIndex = 5;
         d.status.channel16 = true;
     }),
     FrameHeaderStatus::kOk, 12, 0, 16},
    {"NewChannelIndexNibble", FrameHeaderLayout::kNew, "Q8A7",
     With([](auto& d) { d.channelIndex = 15; }), FrameHeaderStatus::kOk, 8, 0, 15},
    {"NewTimeValueAtLimit", FrameHeaderLayout::kNew, "Q8A7",
     With([](auto& d) { d.timeValue = 0x33333333; }), FrameHeaderStatus::kOk, 12, 0, 0, 0},
    {"NewTimeValueBelowLimit", FrameHeaderLayout::kNew, "Q8A7",
     With([](auto& d) { d.timeValue = 0x33333332; }), FrameHeaderStatus::kOk, 12, 0, 0, 0xFFFFFFFA},
    {"OldTimeValueWraps", FrameHeaderLayout::kOld, "Q8A7",
     With([](auto& d) { d.timeValue = 0x40000000; }), FrameHeaderStatus::kOk, 8, 0, 0, 0x40000000},
    {"OldWithoutImageLength", FrameHeaderLayout::kOld, "Q8A7", With([](auto& d) { d.channel = 3; }),
     FrameHeaderStatus::kOk, 5, 0},
    {"OldChannelIndex16", FrameHeaderLayout::kOld, "Q8A7",
     With([](auto& d) { d.channelIndex = 16; }), FrameHeaderStatus::kOk, 5, 0, 16},
    {"OldChannelIndexBeyond16", FrameHeaderLayout::kOld, "Q8A7",
     With([](auto& d) { d.channelIndex = 17; }), FrameHeaderStatus::kInvalid},
    {"NewFlagsWithoutBytesIgnored", FrameHeaderLayout::kNew, "Q8A7",
     With([](auto& d) { d.extraFlags = 0x0001 | 0x0010 | 0x0200 | 0x4000 | 0x8000; }),
     FrameHeaderStatus::kOk, 8},
    {"OldFlagsWithoutBytesIgnored", FrameHeaderLayout::kOld, "Q8A7",
     With([](auto& d) { d.extraFlags = 0x4000 | 0x8000 | 0x80000000; }), FrameHeaderStatus::kOk, 4},
    // 8 + motion 2 + alarm 2 + time 4 + date 4 = 20 header bytes.
    {"Q9C0LengthIncludesHeader", FrameHeaderLayout::kNew, "Q9C0", With([](auto& d) {
         d.imageLength = 1000;
         d.motion = 0;
         d.alarm = 0;
         d.timeValue = 1;
         d.packedDate = 0x1F06FB42;
     }),
     FrameHeaderStatus::kOk, 20, 980, 0, 5},
    {"Q9C0LengthEqualsHeader", FrameHeaderLayout::kNew, "Q9C0",
     With([](auto& d) { d.imageLength = 8; }), FrameHeaderStatus::kOk, 8, 0},
    {"Q9C0LengthShorterThanHeader", FrameHeaderLayout::kNew, "Q9C0", With([](auto& d) {
         d.imageLength = 19;
         d.motion = 0;
         d.alarm = 0;
         d.timeValue = 1;
         d.packedDate = 0x1F06FB42;
     }),
     FrameHeaderStatus::kInvalid},
    {"OtherDevicesKeepTheLength", FrameHeaderLayout::kNew, "Q3A2",
     With([](auto& d) { d.imageLength = 1000; }), FrameHeaderStatus::kOk, 8, 1000},
};

class FrameHeaderDecode : public FrameHeaderTest,
                          public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(FrameHeaderDecode, Case) {
    const DecodeCase& c = GetParam();
    UseDevice(c.productId);
    const Fed fed = Feed(c.description, c.layout);
    ASSERT_EQ(fed.status, c.status);
    if (c.status != FrameHeaderStatus::kOk) {
        EXPECT_EQ(fed.headerLength, 0u) << "nothing is written for a refused header";
        return;
    }
    EXPECT_EQ(fed.headerLength, c.headerLength);
    EXPECT_EQ(fed.record.dwHeaderLength, c.headerLength);
    EXPECT_EQ(fed.record.dwImageLength, c.imageLength);
    EXPECT_EQ(fed.record.byChannelIndex, c.channelIndex);
    EXPECT_EQ(fed.record.dwTimeValue, c.timeValue);
}

INSTANTIATE_TEST_SUITE_P(Table, FrameHeaderDecode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// The writer against bytes laid out by hand, and the parser on those bytes.
TEST_F(FrameHeaderTest, WriterLaysOutBothLayoutsByteForByte) {
    FrameHeaderDescription d;
    d.imageLength = 1000;
    d.channel = 3;
    d.channelIndex = 5;
    d.motion = 0x0028;
    d.timeValue = 0x11223344;
    d.status.retrState = 1;
    const std::vector<std::uint8_t> newBytes{
        0x01, 0x00, 0xE8, 0x03, 0x03, 0x50, 0x22, 0x20,  // magic, length, channels, flags
        0x28, 0x00, 0x44, 0x33, 0x22, 0x11,              // motion, time value
        0x32, 0x00, 0x02, 0x00, 0x01,                    // status block: R.E.T.R. 1
    };
    EXPECT_EQ(WriteFrameHeader(d, FrameHeaderLayout::kNew), newBytes);

    FrameHeaderDescription o;
    o.imageLength = 1000;
    o.alarm = 0x0004;
    o.channelIndex = 2;
    o.packedDate = 0x1F06FB42;
    const std::vector<std::uint8_t> oldBytes{
        0x81, 0x28, 0x00, 0x00,  // flags 0x2881
        0xE8, 0x03, 0x00, 0x00,  // image length
        0x04, 0x00,              // alarm
        0x02,                    // channel index
        0x42, 0xFB, 0x06, 0x1F,  // packed date
    };
    EXPECT_EQ(WriteFrameHeader(o, FrameHeaderLayout::kOld), oldBytes);

    std::uint32_t headerLength = 0;
    FrameHeaderInfo slot{};
    ASSERT_EQ(m_parser.ParseNewLayout(newBytes, headerLength, slot), FrameHeaderStatus::kOk);
    EXPECT_EQ(headerLength, newBytes.size());
    EXPECT_EQ(slot.wMotionDetect, 0x0028);
    EXPECT_EQ(slot.byChannel, 3);
    EXPECT_EQ(slot.byChannelIndex, 5);
    ASSERT_EQ(m_parser.ParseOldLayout(oldBytes, headerLength, slot), FrameHeaderStatus::kOk);
    EXPECT_EQ(headerLength, oldBytes.size());
    EXPECT_EQ(slot.dwHeaderFlags, 0x2881u);
    EXPECT_EQ(slot.stDate, (SystemTime{2007, 12, 0, 3, 15, 45, 2, 0}));
}

TEST_F(FrameHeaderTest, BadMagicWritesNothingAndClearsTheParsersRecord) {
    ASSERT_EQ(Feed(FullDescription(), FrameHeaderLayout::kNew).status, FrameHeaderStatus::kOk);
    std::vector<std::uint8_t> bytes = WriteFrameHeader(FullDescription(), FrameHeaderLayout::kNew);
    bytes[0] = 2;
    std::uint32_t headerLength = 77;
    FrameHeaderInfo slot{};
    slot.dwImageLength = 55;
    EXPECT_EQ(m_parser.Parse(bytes, headerLength, slot), FrameHeaderStatus::kBadMagic);
    EXPECT_EQ(headerLength, 77u);
    EXPECT_EQ(slot.dwImageLength, 55u);
    EXPECT_EQ(m_parser.m_RTPH_Struct.dwHeaderLength, 0u);
    EXPECT_FALSE(m_parser.Evaluate(kJpegStart));
}

TEST_F(FrameHeaderTest, TitleTextStopsAtItsEndOrAtSixteenBytes) {
    FrameHeaderInfo h{};
    h.szTitle = Title("Gate");
    EXPECT_EQ(TitleText(h), "Gate");
    h.szTitle.fill('A');
    EXPECT_EQ(TitleText(h), std::string(16, 'A'));
}

// Every cut of a header, handed over in a buffer of exactly that size (the
// sanitiser catches any read past it), is reported as cut short and writes
// nothing.
TEST_F(FrameHeaderTest, HeaderCutShortAtEveryLengthIsReportedAndNeverReadPast) {
    FrameHeaderDescription d = FullDescription();
    for (FrameHeaderLayout layout : {FrameHeaderLayout::kNew, FrameHeaderLayout::kOld}) {
        m_parser.SetNewLayout(layout == FrameHeaderLayout::kNew);
        const std::vector<std::uint8_t> whole = WriteFrameHeader(d, layout);
        for (std::size_t n = 0; n < whole.size(); ++n) {
            SCOPED_TRACE(n);
            const auto cut = std::make_unique<std::uint8_t[]>(n);
            std::memcpy(cut.get(), whole.data(), n);
            std::uint32_t headerLength = 99;
            FrameHeaderInfo slot{};
            EXPECT_EQ(m_parser.Parse(std::span(cut.get(), n), headerLength, slot),
                      FrameHeaderStatus::kTruncated);
            EXPECT_EQ(headerLength, 99u);
            EXPECT_EQ(slot.dwHeaderLength, 0u);
            EXPECT_FALSE(m_parser.Evaluate(kJpegStart));
        }
        std::vector<std::uint8_t> exact = whole;
        std::uint32_t headerLength = 0;
        FrameHeaderInfo slot{};
        EXPECT_EQ(m_parser.Parse(exact, headerLength, slot), FrameHeaderStatus::kOk);
        EXPECT_EQ(headerLength, whole.size());
    }
    // A status flag whose block would begin exactly where the bytes end.
    m_parser.SetNewLayout(true);
    FrameHeaderDescription blockOnly;
    blockOnly.forceStatusBlock = true;
    const std::vector<std::uint8_t> whole = WriteFrameHeader(blockOnly, FrameHeaderLayout::kNew);
    const std::vector<std::uint8_t> eight(whole.begin(), whole.begin() + 8);
    std::uint32_t headerLength = 0;
    FrameHeaderInfo slot{};
    EXPECT_EQ(m_parser.Parse(eight, headerLength, slot), FrameHeaderStatus::kTruncated);
}

// ---- device time -------------------------------------------------------------

struct DateCase {
    const char* name;
    std::uint32_t packed;
    SystemTime decoded;
    bool stored;
};

const DateCase kDateCases[] = {
    {"Example", 0x1F06FB42, {2007, 12, 0, 3, 15, 45, 2, 0}, true},
    {"AllOnes", 0xFFFFFFFF, {2063, 15, 0, 31, 31, 63, 63, 0}, false},
    {"Earliest", PackFrameDate(2000, 1, 1, 0, 0, 0), {2000, 1, 0, 1, 0, 0, 0, 0}, true},
    {"Latest", PackFrameDate(2063, 12, 31, 23, 59, 59), {2063, 12, 0, 31, 23, 59, 59, 0}, true},
    {"MonthZero", PackFrameDate(2010, 0, 1, 0, 0, 0), {2010, 0, 0, 1, 0, 0, 0, 0}, false},
    {"Month13", PackFrameDate(2010, 13, 1, 0, 0, 0), {2010, 13, 0, 1, 0, 0, 0, 0}, false},
    {"DayZero", PackFrameDate(2010, 1, 0, 0, 0, 0), {2010, 1, 0, 0, 0, 0, 0, 0}, false},
    {"Hour24", PackFrameDate(2010, 1, 1, 24, 0, 0), {2010, 1, 0, 1, 24, 0, 0, 0}, false},
    {"Minute60", PackFrameDate(2010, 1, 1, 0, 60, 0), {2010, 1, 0, 1, 0, 60, 0, 0}, false},
    {"Second60", PackFrameDate(2010, 1, 1, 0, 0, 60), {2010, 1, 0, 1, 0, 0, 60, 0}, false},
};

class FrameHeaderDate : public FrameHeaderTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(FrameHeaderDate, DecodedAlwaysStoredAsDeviceTimeOnlyWhenPlausible) {
    const DateCase& c = GetParam();
    UseDevice("Q3A2");
    for (FrameHeaderLayout layout : {FrameHeaderLayout::kNew, FrameHeaderLayout::kOld}) {
        g_lpApp->st_DeviceTime.Set(SystemTime{});
        m_window->received.clear();
        FrameHeaderDescription d;
        d.packedDate = c.packed;
        const Fed fed = Feed(d, layout);
        ASSERT_EQ(fed.status, FrameHeaderStatus::kOk);
        EXPECT_EQ(fed.record.stDate, c.decoded);
        EXPECT_EQ(g_lpApp->st_DeviceTime.Get(), c.stored ? c.decoded : SystemTime{});
        EXPECT_EQ(Received(), c.stored ? std::vector{kRedrawInfo} : std::vector<Message>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FrameHeaderDate, ::testing::ValuesIn(kDateCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(FrameHeaderTest, DeviceTimeRedrawOnlyOnChangeAndOnlyForQ3A2AndQ9C0) {
    FrameHeaderDescription d;
    d.imageLength = 100;  // Q9C0 counts the header in
    d.packedDate = 0x1F06FB42;
    for (const char* productId : {"Q3A2", "Q9C0", "Q8A7", "Q7B5"}) {
        SCOPED_TRACE(productId);
        UseDevice(productId);
        g_lpApp->st_DeviceTime.Set(SystemTime{});
        m_window->received.clear();
        Feed(d, FrameHeaderLayout::kNew);
        Feed(d, FrameHeaderLayout::kNew);  // same second: nothing new
        const bool shows = std::string(productId) == "Q3A2" || std::string(productId) == "Q9C0";
        EXPECT_EQ(Received(), shows ? std::vector{kRedrawInfo} : std::vector<Message>{});
        EXPECT_EQ(g_lpApp->st_DeviceTime.Get().minute, 45);
    }
}

// ---- alarm evaluation --------------------------------------------------------

class FrameHeaderGate : public FrameHeaderTest,
                        public ::testing::WithParamInterface<std::tuple<const char*, bool, bool>> {
};

TEST_P(FrameHeaderGate, SoundAndRecordingOnlyPastTheGate) {
    const auto [productId, linkedDvr, passes] = GetParam();
    UseDevice(productId, linkedDvr);
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    FrameHeaderDescription d;
    d.alarm = 0x0004;
    Feed(d, FrameHeaderLayout::kOld);
    // The alarm value is taken whatever the gate says.
    EXPECT_EQ(m_parser.m_wAlarmData.load(), 0x0004);
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindAlarm);
    if (passes) {
        EXPECT_EQ(Received(), std::vector{kSoundStart});
        EXPECT_EQ(m_recorder.starts, std::vector<std::string>{"/records/"});
    } else {
        EXPECT_TRUE(Received().empty());
        EXPECT_TRUE(m_recorder.starts.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, FrameHeaderGate,
                         ::testing::Values(std::make_tuple("Q8A7", true, true),
                                           std::make_tuple("Q8A7", false, false),
                                           std::make_tuple("Q3A2", false, true),
                                           std::make_tuple("Q7B5", false, true),
                                           std::make_tuple("Q9C0", false, false)),
                         [](const auto& instance) {
                             return std::string(std::get<0>(instance.param)) +
                                    (std::get<1>(instance.param) ? "LinkedDvr" : "Alone");
                         });

TEST_F(FrameHeaderTest, SoundStartsOnlyWithTriggerRecordAndWhileSilent) {
    UseDevice("Q3A2");
    FrameHeaderDescription d;
    d.motion = 0;  // presence counts, not the value
    Feed(d, FrameHeaderLayout::kNew);
    EXPECT_TRUE(Received().empty()) << "Alarm Trigger Record is off";

    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    Feed(d, FrameHeaderLayout::kNew);
    EXPECT_EQ(Received(), std::vector{kSoundStart});
    EXPECT_TRUE(m_recorder.starts.empty()) << "a value of 0 records nothing";

    g_lpApp->f_AlarmAudioPlaying = true;
    Feed(d, FrameHeaderLayout::kNew);
    EXPECT_EQ(Received(), std::vector{kSoundStart});
}

TEST_F(FrameHeaderTest, AbsentFieldOfTheActiveKindStopsTheSound) {
    UseDevice("Q3A2");
    FrameHeaderDescription motion;
    motion.motion = 0x0001;
    Feed(motion, FrameHeaderLayout::kNew);
    ASSERT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindMotion);

    FrameHeaderDescription alarmOnly;
    alarmOnly.alarm = 0x0000;
    Feed(alarmOnly, FrameHeaderLayout::kNew);  // motion absent, alarm now active
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindAlarm);
    EXPECT_EQ(Received(), std::vector{kSoundStop});

    Feed(FrameHeaderDescription{}, FrameHeaderLayout::kNew);
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindNone);
    EXPECT_EQ(Received(), (std::vector{kSoundStop, kSoundStop}));

    Feed(FrameHeaderDescription{}, FrameHeaderLayout::kNew);
    EXPECT_EQ(Received().size(), 2u) << "nothing active, nothing to stop";
}

TEST_F(FrameHeaderTest, RecordingLastsWhileHeadersReportANonZeroAlarm) {
    UseDevice("Q8A7", true);
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    FrameHeaderDescription alarm;
    alarm.alarm = 0x0001;
    Feed(alarm, FrameHeaderLayout::kOld);
    Feed(alarm, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_recorder.starts.size(), 1u);
    EXPECT_TRUE(m_recorder.recording);

    FrameHeaderDescription zero;
    zero.alarm = 0;
    Feed(zero, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_recorder.ends, 1);

    Feed(alarm, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_recorder.starts.size(), 2u);
    Feed(FrameHeaderDescription{}, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_recorder.ends, 2);
    Feed(FrameHeaderDescription{}, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_recorder.ends, 2) << "nothing recording, nothing to end";
}

struct MotionCase {
    const char* name;
    const char* productId;
    bool multiChannel;
    bool autoSwitch;
    std::uint16_t motion;
    std::vector<int> requested;
};

const MotionCase kMotionCases[] = {
    {"LowestMovingChannel", "Q8A7", true, true, 0x0028, {4}},
    {"Channel1", "Q8A5", true, true, 0x0001, {1}},
    {"Channel16", "Q8A3", true, true, 0x8000, {16}},
    {"NoMotion", "Q8A7", true, true, 0x0000, {}},
    {"AutoSwitchOff", "Q8A7", true, false, 0x0028, {}},
    {"SingleChannel", "Q8A7", false, true, 0x0028, {}},
    {"NotADvr", "Q3A2", true, true, 0x0028, {}},
};

class FrameHeaderMotion : public FrameHeaderTest,
                          public ::testing::WithParamInterface<MotionCase> {};

TEST_P(FrameHeaderMotion, SwitchesToTheLowestMovingChannel) {
    const MotionCase& c = GetParam();
    UseDevice(c.productId, false, c.multiChannel);
    g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo = c.autoSwitch ? 1 : 0;
    FrameHeaderDescription d;
    d.motion = c.motion;
    // Only the motion word switches: the other alarm words carry the same bits.
    d.alarm = 0x0002;
    d.thirdAlarm = 0x0002;
    for (FrameHeaderLayout layout : {FrameHeaderLayout::kNew, FrameHeaderLayout::kOld}) {
        m_liveView.Clear();
        Feed(d, layout);
        EXPECT_EQ(m_liveView.RequestedChannels(), c.requested);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FrameHeaderMotion, ::testing::ValuesIn(kMotionCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(FrameHeaderTest, AlarmValueIsTheLastAlarmKindFieldInLayoutOrder) {
    FrameHeaderDescription d;
    d.motion = 0x0010;
    d.alarm = 0x0020;
    Feed(d, FrameHeaderLayout::kNew);  // motion, then alarm
    EXPECT_EQ(m_parser.m_wAlarmData.load(), 0x0020);
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindAlarm);
    Feed(d, FrameHeaderLayout::kOld);  // alarm, then motion
    EXPECT_EQ(m_parser.m_wAlarmData.load(), 0x0010);
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindMotion);

    EXPECT_EQ(m_parser.ResetAlarmValue(), 1);
    EXPECT_EQ(m_parser.m_wAlarmData.load(), 0);
    EXPECT_EQ(m_parser.ResetAlarmValue(), 0);
}

// ---- status information ------------------------------------------------------

// "RETR Alarm Record" on and a stored state of 1: the header's R.E.T.R. byte
// turns "Alarm Trigger Record" on. The old layout carries the byte in front of
// the alarm word, so that alarm already records; the new layout behind it, so
// only the next header's alarm does.
TEST_F(FrameHeaderTest, RetrStateRewritesTriggerRecordBeforeOrAfterTheAlarmByLayout) {
    for (FrameHeaderLayout layout : {FrameHeaderLayout::kOld, FrameHeaderLayout::kNew}) {
        SCOPED_TRACE(layout == FrameHeaderLayout::kNew ? "new" : "old");
        UseDevice("Q3A2");
        g_lpApp->CSettingINI.m_byRETRAlarmRecord = 1;
        g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 0;
        g_lpApp->C_ControlD.StoreRetrState(1);
        m_recorder.recording = false;
        m_recorder.starts.clear();
        FrameHeaderDescription d;
        d.alarm = 0x0001;
        d.status.retrState = 1;
        Feed(d, layout);
        EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 1);
        EXPECT_EQ(m_recorder.starts.size(), layout == FrameHeaderLayout::kOld ? 1u : 0u);
        Feed(d, layout);
        EXPECT_EQ(m_recorder.starts.size(), 1u);
    }
}

TEST_F(FrameHeaderTest, RetrStateChangeSwitchesTheButtonOnce) {
    g_lpApp->CSettingINI.m_byRETRAlarmRecord = 1;
    FrameHeaderDescription on;
    on.status.retrState = 1;
    Feed(on, FrameHeaderLayout::kNew);
    EXPECT_EQ(m_liveView.RetrButtons(), std::vector<bool>{true});
    EXPECT_EQ(g_lpApp->C_ControlD.RetrState(), 1);
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo.load(), 1);
    // The trigger follows the state stored before this header: still off.
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 0);

    Feed(on, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_liveView.RetrButtons(), std::vector<bool>{true});
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 1);

    g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo = 0;
    FrameHeaderDescription off;
    off.status.retrState = 0;
    Feed(off, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_liveView.RetrButtons(), (std::vector<bool>{true, false}));
    EXPECT_EQ(g_lpApp->C_ControlD.RetrState(), 0);
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo.load(), 0);
}

TEST_F(FrameHeaderTest, NetworkBackupShowsItsStatusTextForEveryFrame) {
    FrameHeaderDescription d;
    d.status.networkBackup = true;
    Feed(d, FrameHeaderLayout::kNew);
    Feed(d, FrameHeaderLayout::kOld);
    EXPECT_EQ(m_liveView.StatusTexts(), (std::vector<std::string>{"Network backup,stop video!!",
                                                                  "Network backup,stop video!!"}));
}

TEST_F(FrameHeaderTest, CameraStateReachesTheToolbarOfQ9C0Only) {
    FrameHeaderDescription d;
    d.imageLength = 100;  // Q9C0 counts the header in
    d.status.cameraState = 0xC3;
    d.status.qvga = 1;
    UseDevice("Q8A7");
    const Fed skipped = Feed(d, FrameHeaderLayout::kNew);
    EXPECT_TRUE(m_liveView.CameraStates().empty());
    EXPECT_EQ(skipped.headerLength, 14u);  // the byte is in the header all the same
    EXPECT_EQ(skipped.record.byQVGA, 1);
    UseDevice("Q9C0");
    Feed(d, FrameHeaderLayout::kNew);
    EXPECT_EQ(m_liveView.CameraStates(), std::vector<std::uint8_t>{0xC3});
}

// ---- the image-start gate ----------------------------------------------------

TEST_F(FrameHeaderTest, NothingHappensForAFrameThatDoesNotStartAsTheDevicesJpegs) {
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    g_lpApp->CSettingINI.m_byAlarmAutoSwitchVideo = 1;
    g_lpApp->CSettingINI.m_byRETRAlarmRecord = 1;
    FrameHeaderDescription d = FullDescription();
    d.status.retrState = 1;

    const std::array<std::uint8_t, 4> app0{0xFF, 0xD8, 0xFF, 0xE0};
    const std::array<std::uint8_t, 3> short3{0xFF, 0xD8, 0xFF};
    const std::array<std::uint8_t, 4> text{'H', 'T', 'T', 'P'};
    // A multi-channel DVR switches channels, a Q9C0 shows time and camera
    // state; both pass the gate through the linked DVR.
    for (const char* productId : {"Q8A7", "Q9C0"}) {
        UseDevice(productId, true, true);
        for (std::span<const std::uint8_t> image :
             {std::span<const std::uint8_t>(app0), std::span<const std::uint8_t>(short3),
              std::span<const std::uint8_t>(text)}) {
            for (FrameHeaderLayout layout : {FrameHeaderLayout::kNew, FrameHeaderLayout::kOld}) {
                const Fed fed = Feed(d, layout, image);
                EXPECT_EQ(fed.status, FrameHeaderStatus::kOk);
                EXPECT_FALSE(fed.evaluated);
            }
        }
    }
    EXPECT_TRUE(Received().empty());
    EXPECT_TRUE(m_liveView.StatusTexts().empty());
    EXPECT_TRUE(m_liveView.RequestedChannels().empty());
    EXPECT_TRUE(m_liveView.RetrButtons().empty());
    EXPECT_TRUE(m_liveView.CameraStates().empty());
    EXPECT_TRUE(m_recorder.starts.empty());
    EXPECT_EQ(g_lpApp->st_DeviceTime.Get(), SystemTime{});
    EXPECT_EQ(g_lpApp->C_ControlD.RetrState(), 0);
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 1);
    EXPECT_EQ(m_parser.m_wAlarmData.load(), 0);
    EXPECT_EQ(m_parser.ActiveAlarmKind(), kAlarmKindNone);
    EXPECT_EQ(m_parser.CurrentHeader().dwHeaderLength, 0u);

    // The same header in front of a real start does all of it, once.
    UseDevice("Q8A7", true, true);
    EXPECT_TRUE(Feed(d, FrameHeaderLayout::kNew).evaluated);
    EXPECT_FALSE(m_parser.Evaluate(kJpegStart));
    EXPECT_EQ(Received(), std::vector{kSoundStart});
    EXPECT_EQ(m_liveView.RequestedChannels(), std::vector<int>{2});
    EXPECT_EQ(m_liveView.RetrButtons(), std::vector<bool>{true});
    EXPECT_EQ(m_liveView.StatusTexts().size(), 1u);
    EXPECT_EQ(m_recorder.starts.size(), 1u);
    EXPECT_EQ(g_lpApp->st_DeviceTime.Get(), (SystemTime{2011, 4, 0, 5, 6, 7, 8, 0}));

    UseDevice("Q9C0", true, true);
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    d.packedDate = 0x1F06FB42;
    EXPECT_TRUE(Feed(d, FrameHeaderLayout::kNew).evaluated);
    EXPECT_EQ(Received(), (std::vector{kSoundStart, kRedrawInfo, kSoundStart}));
    EXPECT_EQ(m_liveView.CameraStates(), std::vector<std::uint8_t>{0x83});
    EXPECT_EQ(m_parser.CurrentHeader().dwHeaderLength, kMaxNewLayoutHeaderBytes);
}

TEST_F(FrameHeaderTest, AnUnevaluatedHeaderIsDroppedByTheNextParse) {
    UseDevice("Q3A2");
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    m_parser.SetNewLayout(true);
    FrameHeaderDescription alarm;
    alarm.alarm = 1;
    const std::vector<std::uint8_t> first = WriteFrameHeader(alarm, FrameHeaderLayout::kNew);
    std::uint32_t headerLength = 0;
    FrameHeaderInfo slot{};
    ASSERT_EQ(m_parser.Parse(first, headerLength, slot), FrameHeaderStatus::kOk);
    const std::vector<std::uint8_t> cut(first.begin(), first.begin() + 3);
    ASSERT_EQ(m_parser.Parse(cut, headerLength, slot), FrameHeaderStatus::kTruncated);
    EXPECT_FALSE(m_parser.Evaluate(kJpegStart));
    platform::ProcessPostedMessages();
    EXPECT_TRUE(Received().empty());
}

// The simulator's headers, read by the program's parser: the image length
// of each family's layout (a Q9C0 counting its header) and the channel the
// picture shows, the sixteenth through the new layout's status flag.
TEST_F(FrameHeaderTest, SimulatorHeadersGiveTheImageAndTheChannelShown) {
    struct Case {
        const char* product;
        bool newLayout;
        int channel;
    };
    const Case cases[] = {
        {"Q8A7", true, 0},  {"Q8A7", true, 5},  {"Q8A7", true, 15},
        {"Q8A7", true, 16}, {"Q8A7", false, 9}, {"Q8A7", false, 16},
        {"Q3A2", true, 2},  {"Q7B7", false, 2}, {"Q9C0", true, 2},
    };
    const std::uint32_t imageLength = 30'000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + (c.newLayout ? " new " : " old ") +
                     std::to_string(c.channel));
        UseDevice(c.product);
        devicesim::DeviceProfile profile = devicesim::ProfileForProduct(c.product).value();
        profile.multiChannel = 1;
        const devicesim::DeviceModel model("tresk", "tresk", profile);
        devicesim::StreamSettings settings;
        settings.channel = c.channel;
        settings.newHeader = c.newLayout;
        const FrameHeaderDescription d =
            devicesim::LiveStream::FrameHeader(model, settings, 7, imageLength);
        const Fed fed = Feed(d, c.newLayout ? FrameHeaderLayout::kNew : FrameHeaderLayout::kOld);
        ASSERT_EQ(fed.status, FrameHeaderStatus::kOk);
        EXPECT_EQ(fed.record.dwImageLength, imageLength);
        EXPECT_EQ(fed.record.byChannelIndex, c.channel);
        EXPECT_EQ(fed.record.byChannel, c.newLayout ? c.channel & 0x0F : c.channel);
    }
}

TEST_F(FrameHeaderTest, SessionLoginChoosesTheLayoutOfTheProgramsParser) {
    ScopedMediaServices media;
    Media().SetNewHeaderLayout(true);
    EXPECT_TRUE(C_FrameHeaderParser.IsNewLayout());
    Media().SetNewHeaderLayout(false);
    EXPECT_FALSE(C_FrameHeaderParser.IsNewLayout());
}

}  // namespace
