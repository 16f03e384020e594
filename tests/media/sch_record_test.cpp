// The schedule recorder on its own thread, fed through a real pre-alarm ring:
// when it starts and stops, and the .ks4 files it leaves, read back byte by
// byte. The one-second schedule checks pass at once on a manual clock; the
// wall clock the slots are compared with is the test's.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "media/pre_alarm_ring.h"
#include "media/recorder_feed.h"
#include "media/sch_record.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tests/support/file_contents.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::system_clock;
using namespace std::chrono_literals;

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
           static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// A .ks4 file as a reader would take it apart.
struct Ks4Frame {
    std::uint32_t entryOffset = 0;
    std::uint32_t number = 0;
    std::uint32_t timeValue = 0;
    Bytes jpeg;
};
struct Ks4File {
    Bytes block;
    std::vector<Ks4Frame> frames;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    std::uint32_t count = 0;
};

Ks4File ReadKs4(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Ks4File file;
    EXPECT_GE(bytes.size(), kCaptureBlockBytes + 4);
    if (bytes.size() < kCaptureBlockBytes + 4)
        return file;
    file.block.assign(bytes.begin(), bytes.begin() + kCaptureBlockBytes);
    file.count = U32(bytes, bytes.size() - 4);
    const std::size_t indexAt = bytes.size() - 4 - 8 * std::size_t{file.count};
    for (std::size_t i = 0; i < file.count; ++i) {
        file.index.emplace_back(U32(bytes, indexAt + 8 * i), U32(bytes, indexAt + 8 * i + 4));
    }
    std::size_t at = kCaptureBlockBytes;
    while (at < indexAt) {
        Ks4Frame frame;
        frame.entryOffset = static_cast<std::uint32_t>(at);
        frame.number = U32(bytes, at);
        const std::uint32_t length = U32(bytes, at + 4);
        EXPECT_EQ(U32(bytes, at + 12), FrameMarkEntry::kMagic);
        frame.timeValue = U32(bytes, at + 48);
        frame.jpeg.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 56),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at + 56 + length));
        file.frames.push_back(std::move(frame));
        at += 56 + length;
    }
    EXPECT_EQ(at, indexAt);
    return file;
}

Bytes JpegOf(std::uint32_t t) {
    Bytes jpeg(20 + t % 50);
    for (std::size_t k = 0; k < jpeg.size(); ++k) jpeg[k] = static_cast<std::uint8_t>(t + k);
    return jpeg;
}

class ScheduleRecorderTest : public ::testing::Test {
protected:
    static constexpr FrameTime kFirstStored{2026, 12, 0, 11, 9, 30, 15, 0};
    const Clock::time_point kNow = Clock::from_time_t(1'800'000'000);

    void SetUp() override {
        m_clock.SetInstantWaitTimeouts(true);
        g_lpApp = new AppGlobalState();
        g_lpApp->CSettingINI.m_strRecordPath = m_dir.path().string();
        g_lpApp->CSettingINI.m_strServerName = "192.168.1.20";
        g_lpApp->b_RecordOptions[0] = 0;
        ASSERT_TRUE(m_ring.Allocate());
        ASSERT_EQ(m_recorder.AllocateBuffer(), 1);
        ASSERT_EQ(m_recorder.CreateResource(), 1);
        m_recorder.SetCloseWait(platform::kInfinite);
        m_recorder.SetWallClock(
            [this] { return Clock::time_point(Clock::duration(m_wallNow.load())); });
        SetNow(kNow);
    }

    void TearDown() override {
        m_end.Set();
        m_recorder.ExitThread();
        m_recorder.CloseResource();
        m_recorder.FreeBuffer();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    void SetNow(Clock::time_point now) { m_wallNow = now.time_since_epoch().count(); }

    void Schedule(std::size_t index, Clock::duration fromNow, Clock::duration until,
                  bool enabled = true) {
        ASSERT_EQ(m_recorder.SetScheduleSlot(index, {kNow + fromNow, kNow + until, enabled}), 1);
    }

    void Start() { ASSERT_EQ(m_recorder.CreateThread(&m_end), 1); }

    // Waits, without a time limit of its own, for the thread to get there;
    // the schedule checks pass at once, so this takes no time.
    template <typename Condition>
    void WaitUntil(Condition condition) {
        while (!condition()) std::this_thread::yield();
    }
    void WaitForRecording() {
        WaitUntil([this] { return m_recorder.IsActive(); });
    }
    // Stops the recording; the schedule is emptied first, so that the thread
    // does not start the next file at its next check.
    void StopRecording() {
        for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) m_recorder.SetScheduleSlot(i, {});
        ASSERT_EQ(m_recorder.StopRecord(), 1);
    }
    // Lets the thread run through `checks` more schedule checks.
    void LetChecksPass(std::size_t checks) {
        const std::size_t seen = m_clock.WaitTimeouts().size();
        WaitUntil([&] { return m_clock.WaitTimeouts().size() >= seen + checks; });
    }

    void Feed(int count) {
        for (int i = 0; i < count; ++i) {
            const std::uint32_t t = m_nextTime++;
            m_fed.push_back(JpegOf(t));
            CPreAlarmRing::Frame frame;
            frame.jpeg = m_fed.back();
            frame.timeValue = t;
            frame.storedAt = kFirstStored;
            frame.storedAt->second = static_cast<std::uint16_t>(t % 60);
            RecorderFeed* recorders[] = {&m_none[0], &m_none[1], &m_recorder.Feed()};
            ASSERT_EQ(m_ring.Store(frame, CPreAlarmRing::Recorders(recorders), &m_end),
                      FeedResult::Stored);
        }
    }

    std::vector<std::filesystem::path> Files() const {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.path()))
            files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    // The frames of a file were those fed with time values first...last.
    void ExpectFrames(const Ks4File& file, std::uint32_t first, std::uint32_t last,
                      std::uint32_t slotState = 0) {
        ASSERT_EQ(file.frames.size(), last - first + 1);
        ASSERT_EQ(file.index.size(), file.frames.size());
        EXPECT_EQ(file.count, file.frames.size());
        EXPECT_EQ(U32(file.block, 0), file.count);
        for (std::size_t i = 0; i < file.frames.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(file.frames[i].number, i + 1);
            EXPECT_EQ(file.frames[i].timeValue, first + i);
            EXPECT_EQ(file.frames[i].jpeg, JpegOf(static_cast<std::uint32_t>(first + i)));
            EXPECT_EQ(file.index[i].first, i == 0 ? 0u : file.frames[i].entryOffset);
            EXPECT_EQ(file.index[i].second, slotState);
        }
    }

    test_support::TempDir m_dir;
    platform::ManualClock m_clock{5'000'000};
    platform::ScopedClockSource m_useClock{m_clock};
    platform::Event m_end{true, false};
    CPreAlarmRing m_ring;
    CSchRecord m_recorder{&m_ring};
    NotRecordingFeed m_none[2];
    std::atomic<Clock::rep> m_wallNow{0};
    std::vector<Bytes> m_fed;
    std::uint32_t m_nextTime = 0;
};

TEST_F(ScheduleRecorderTest, RecordsTheFramesOfAnActiveSlotIntoAKs4File) {
    Schedule(4, -1min, 1h);
    Start();
    WaitForRecording();
    const std::uint32_t startSeconds = m_recorder.GetCaptureBlock().startSeconds;
    Feed(3);
    m_clock.Advance(7s);  // the end of the file is stamped from the same clock
    const std::uint32_t endSeconds = static_cast<std::uint32_t>(m_clock.NowMs() / 1000);
    StopRecording();
    EXPECT_FALSE(m_recorder.IsActive());
    EXPECT_EQ(m_recorder.GetCaptureBlock().captureFlag, kCaptureArmed);  // armed for the next file

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(
        files[0].filename().string(), "SCH_MJPEG_" + [&] {
            const FrameTime t = LocalRecordTime(kNow);
            char text[64];
            std::snprintf(text, sizeof text, "%02u%02u%02uT%02u%02u%02u", t.year % 100u,
                          t.month + 0u, t.day + 0u, t.hour + 0u, t.minute + 0u, t.second + 0u);
            return std::string(text);
        }() + ".ks4");
    const Ks4File file = ReadKs4(files[0]);
    ExpectFrames(file, 0, 2);

    // The capture block, byte by byte.
    const Bytes& b = file.block;
    EXPECT_EQ(U32(b, 4), startSeconds);
    EXPECT_GE(startSeconds, 5000u);
    EXPECT_EQ(U32(b, 8), endSeconds);
    EXPECT_EQ((Bytes{b[12], b[13], b[14], b[15]}), (Bytes{192, 168, 1, 20}));
    EXPECT_EQ(b[16], 0);  // captured
    EXPECT_EQ(b[17], 3);
    const std::uint16_t expectedDate[8] = {2026, 12, 0, 11, 9, 30, 0, 0};  // first frame: second 0
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(U16(b, 48 + 2 * i), expectedDate[i]) << i;
    EXPECT_EQ(U32(b, 68), kCaptureMarker);
    for (std::size_t i : {18u, 30u, 47u, 64u, 67u, 72u, 95u}) EXPECT_EQ(b[i], 0) << i;
}

// The whole file of a two-frame recording, byte for byte against bytes
// written out here; only the two uptime stamps come from the clock.
TEST_F(ScheduleRecorderTest, TheFileIsLaidOutByteForByte) {
    for (std::size_t s = 0; s < CPreAlarmRing::kSlots; ++s) m_ring.SetSlotState(s, {0x0A0B0C0D, 0});
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    const std::uint32_t start = m_recorder.GetCaptureBlock().startSeconds;
    Feed(2);
    m_clock.Advance(7s);
    const std::uint32_t end = static_cast<std::uint32_t>(m_clock.NowMs() / 1000);
    StopRecording();

    Bytes expected;
    const auto put = [&expected](const Bytes& bytes) {
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    };
    const auto le32 = [](std::uint32_t v) {
        return Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    };
    // 2026-12, day of week 0, the 11th, 09:30:<second>.000
    const auto storedAt = [](std::uint8_t second) {
        return Bytes{0xEA, 0x07, 0x0C, 0x00, 0x00,   0x00, 0x0B, 0x00,
                     0x09, 0x00, 0x1E, 0x00, second, 0x00, 0x00, 0x00};
    };
    const Bytes magic{0x67, 0x45, 0x23, 0x01};

    // The capture block: two frames, the stamps, the address, captured (0),
    // kind 3, the first frame's time at 48 and the marker at 68.
    put({0x02, 0x00, 0x00, 0x00});
    put(le32(start));
    put(le32(end));
    put({192, 168, 1, 20, 0x00, 0x03});
    expected.resize(48);
    put(storedAt(0));
    put(Bytes(4));
    put(magic);
    expected.resize(96);
    // Each frame: its entry (number, JPEG length, a reserved word, the magic,
    // the channel bytes and video loss, the time stored, two reserved words,
    // the time value, no picture size), then the JPEG.
    for (const std::uint8_t frame : std::initializer_list<std::uint8_t>{0, 1}) {
        put(le32(frame + 1u));
        put(le32(20u + frame));
        put(Bytes(4));
        put(magic);
        put(Bytes(8));
        put(storedAt(frame));
        put(Bytes(8));
        put(le32(frame));
        put(Bytes(4));
        put(JpegOf(frame));
    }
    // The index ({entry offset, slot state} a frame: the first 0, the second
    // at 96 + 56 + 20 = 172) and the count.
    put({0x00, 0x00, 0x00, 0x00, 0x0D, 0x0C, 0x0B, 0x0A});
    put({0xAC, 0x00, 0x00, 0x00, 0x0D, 0x0C, 0x0B, 0x0A});
    put({0x02, 0x00, 0x00, 0x00});

    ASSERT_EQ(Files().size(), 1u);
    EXPECT_EQ(test_support::ReadBytes(Files()[0]), expected);
}

TEST_F(ScheduleRecorderTest, ChoosesTheSlotByItsTimesAndItsFlag) {
    struct Case {
        const char* name;
        Clock::duration start;
        Clock::duration end;
        bool enabled;
        bool records;
    };
    const Case cases[] = {
        {"now inside", -1s, 1s, true, true}, {"starts now", 0s, 1s, true, true},
        {"ends now", -1s, 0s, true, true},   {"disabled", -1s, 1s, false, false},
        {"not yet", 1s, 2s, true, false},    {"over", -2s, -1s, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Schedule(9, c.start, c.end, c.enabled);
        Start();
        if (c.records) {
            WaitForRecording();
            StopRecording();
        } else {
            LetChecksPass(5);
            EXPECT_FALSE(m_recorder.IsActive());
        }
        m_recorder.ExitThread();
        EXPECT_EQ(Files().size(), c.records ? 1u : 0u);
        for (const auto& f : Files()) std::filesystem::remove(f);
    }
}

TEST_F(ScheduleRecorderTest, MarkerFollowsTheFirstRecordOption) {
    g_lpApp->b_RecordOptions[0] = 4;
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    Feed(1);
    StopRecording();
    EXPECT_EQ(U32(ReadKs4(Files().at(0)).block, 68), kCaptureMarkerOption4);
}

TEST_F(ScheduleRecorderTest, EndsTheFileOnTheThirtyFirstFrameAfterTheSlot) {
    Schedule(1, -1s, 10s);
    Start();
    WaitForRecording();
    Feed(5);
    SetNow(kNow + 11s);  // the slot is over; only every 31st frame looks
    Feed(25);
    EXPECT_TRUE(m_recorder.IsActive());
    Feed(1);  // the 31st
    WaitUntil([this] { return !m_recorder.IsActive(); });
    Feed(3);  // passed by
    ExpectFrames(ReadKs4(Files().at(0)), 0, 30);
}

TEST_F(ScheduleRecorderTest, StartsAtTheNewestSlotInTheFirstFrameState) {
    Feed(5);  // slots 0-4, before any recording
    m_ring.SetSlotState(1, {CSchRecord::kFirstFrameSlotState, 0});
    m_ring.SetSlotState(3, {CSchRecord::kFirstFrameSlotState, 0});
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    Feed(2);  // slot 5 wakes the recorder: slots 3, 4 and 5 go in, then 6
    StopRecording();
    const Ks4File file = ReadKs4(Files().at(0));
    ASSERT_EQ(file.frames.size(), 4u);
    EXPECT_EQ(file.frames[0].timeValue, 3u);
    EXPECT_EQ(file.index[0], (std::pair<std::uint32_t, std::uint32_t>{0, 3}));
    EXPECT_EQ(file.index[1].second, 0u);
    EXPECT_EQ(file.frames[3].timeValue, 6u);
}

TEST_F(ScheduleRecorderTest, SplitsAfter5999FramesOnASlotInTheSplitState) {
    for (std::size_t s = 0; s < CPreAlarmRing::kSlots; ++s)
        m_ring.SetSlotState(s, {CSchRecord::kSplitSlotState, 0});
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    Feed(6001);
    StopRecording();
    const auto files = Files();
    ASSERT_EQ(files.size(), 2u);
    ExpectFrames(ReadKs4(files[0]), 0, 5998, CSchRecord::kSplitSlotState);
    const Ks4File second = ReadKs4(files[1]);
    ExpectFrames(second, 5999, 6000, CSchRecord::kSplitSlotState);
    EXPECT_EQ(U16(second.block, 48 + 12), 5999 % 60);  // dated by its own first frame
    EXPECT_EQ(second.block[16], 0);
}

TEST_F(ScheduleRecorderTest, FilesNeverGrowPastTheirLimit) {
    m_recorder.SetMaxFramesPerFile(3);  // slot states 0: no split by state
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    Feed(7);
    StopRecording();
    const auto files = Files();
    ASSERT_EQ(files.size(), 3u);  // same second: the names get _2 and _3
    EXPECT_EQ(files[1].filename().string(), files[0].stem().string() + "_2.ks4");
    ExpectFrames(ReadKs4(files[0]), 0, 2);
    ExpectFrames(ReadKs4(files[1]), 3, 5);
    ExpectFrames(ReadKs4(files[2]), 6, 6);
}

TEST_F(ScheduleRecorderTest, TheEndOfTheStreamClosesTheFileAndEndsTheThread) {
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    Feed(2);
    m_end.Set();
    WaitUntil([this] { return !m_recorder.IsActive(); });
    m_recorder.ExitThread();
    ExpectFrames(ReadKs4(Files().at(0)), 0, 1);
}

TEST_F(ScheduleRecorderTest, StoppedBeforeTheFirstFrameLeavesAnEmptyClosedFile) {
    EXPECT_EQ(m_recorder.StopRecord(), 1);  // nothing open: returns at once
    Schedule(0, -1s, 1h);
    Start();
    WaitForRecording();
    StopRecording();
    ASSERT_EQ(Files().size(), 1u);
    const Ks4File file = ReadKs4(Files().at(0));
    EXPECT_EQ(file.count, 0u);
    EXPECT_TRUE(file.frames.empty());
    EXPECT_EQ(file.block[16], kCaptureArmed);  // no frame came to fill it
}

TEST_F(ScheduleRecorderTest, AFileThatCannotBeCreatedEndsTheThreadWithAMessage) {
    test_support::ScopedMessageBoxRecorder boxes;
    g_lpApp->CSettingINI.m_strRecordPath = (m_dir.path() / "missing").string();
    Schedule(0, -1s, 1h);
    Start();
    WaitUntil([&] { return !boxes.sink().Entries().empty(); });
    m_recorder.ExitThread();
    ASSERT_EQ(boxes.sink().Entries().size(), 1u);
    EXPECT_EQ(boxes.sink().Entries()[0].text, std::string(kScheduleFileFailedText));
    EXPECT_FALSE(m_recorder.IsActive());
    Feed(1);  // the feed passes the recorder by
}

TEST(CaptureBlockBytes, EveryFieldLittleEndianAtItsOffset) {
    CaptureBlock block;
    block.frameCount = 0x04030201;
    block.startSeconds = 0x08070605;
    block.endSeconds = 0x0C0B0A09;
    block.deviceAddress = {0x0D, 0x0E, 0x0F, 0x10};
    block.captureFlag = 0x11;
    block.kind = 0x12;
    block.firstFrameTime = {0x1413, 0x1615, 0x1817, 0x1A19, 0x1C1B, 0x1E1D, 0x201F, 0x2221};
    block.marker = 0x26252423;
    std::array<std::uint8_t, kCaptureBlockBytes> expected{};
    for (std::size_t i = 0; i < 18; ++i) expected[i] = static_cast<std::uint8_t>(i + 1);
    for (std::size_t i = 0; i < 16; ++i) expected[48 + i] = static_cast<std::uint8_t>(0x13 + i);
    for (std::size_t i = 0; i < 4; ++i) expected[68 + i] = static_cast<std::uint8_t>(0x23 + i);
    EXPECT_EQ(block.ToBytes(), expected);
}

TEST(ScheduleSlots, AreTenAndStartEmpty) {
    CSchRecord recorder;
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i)
        EXPECT_FALSE(recorder.GetScheduleSlot(i).enabled);
    EXPECT_EQ(recorder.SetScheduleSlot(CSchRecord::kSlots, {{}, {}, true}), 0);
    EXPECT_FALSE(recorder.GetScheduleSlot(CSchRecord::kSlots).enabled);
    EXPECT_EQ(recorder.CreateThread(nullptr), 0);  // no ring: never records
    const CaptureBlock block = recorder.GetCaptureBlock();
    EXPECT_EQ(block.ToBytes(), (std::array<std::uint8_t, kCaptureBlockBytes>{}));
}

}  // namespace
