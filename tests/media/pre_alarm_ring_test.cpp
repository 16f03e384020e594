#include "media/pre_alarm_ring.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "media/recorder_feed.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Jpeg(std::uint8_t fill, std::size_t size) {
    return Bytes(size, fill);
}
Bytes Copy(std::span<const std::uint8_t> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// A recorder whose recording state the test sets; it notes when the feed
// takes its free semaphore and when it is asked to capture.
class ScriptedRecorder final : public RecorderFeed {
public:
    ScriptedRecorder(std::string name, std::vector<std::string>& log)
        : m_name(std::move(name)), m_log(log) {}

    platform::Semaphore* FreeSemaphore() override {
        m_log.push_back("free:" + m_name);
        return &free;
    }
    platform::Semaphore* FilledSemaphore() override { return &filled; }
    bool IsRecording() const override { return recording; }
    void CaptureBeforeHandOver(const CPreAlarmRing&) override {
        // The frame is stored, the recorder not yet woken.
        m_log.push_back("capture:" + m_name + (filled.Count() == 0 ? "" : " (already woken)"));
    }

    bool recording = false;
    platform::Semaphore free{1, 1};
    platform::Semaphore filled{0, 1};

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

class PreAlarmRingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ring.Allocate()); }

    // Stores frames whose time values count on from `next`, through stand-in
    // recorders.
    void StoreFrames(int count) {
        for (int i = 0; i < count; ++i) {
            const Bytes jpeg = Jpeg(static_cast<std::uint8_t>(m_next), 10 + m_next % 7);
            ASSERT_EQ(Store(jpeg, m_next), FeedResult::Stored);
            ++m_next;
        }
    }
    FeedResult Store(const Bytes& jpeg, std::uint32_t timeValue, bool videoLoss = false) {
        CPreAlarmRing::Frame frame;
        frame.jpeg = jpeg;
        frame.timeValue = timeValue;
        frame.videoLoss = videoLoss;
        frame.storedAt = FrameTime{2024, 5, 0, 17, 13, 4, 59, 0};
        return ring.Store(frame, standIns, nullptr);
    }
    std::vector<std::uint32_t> TimeValuesOf(std::span<const std::uint16_t> slots) {
        std::vector<std::uint32_t> values;
        for (std::uint16_t slot : slots) values.push_back(ring.Entry(slot).timeValue);
        return values;
    }
    std::uint32_t NextTimeValue() const { return m_next; }

    CPreAlarmRing ring;
    NotRecordingFeed alarm, user, schedule;
    std::array<RecorderFeed*, 3> standIns{&alarm, &user, &schedule};

private:
    std::uint32_t m_next = 1;
};

TEST_F(PreAlarmRingTest, StoresTheEntryAndWrapsAfterSlot19) {
    StoreFrames(19);
    EXPECT_EQ(ring.WriteIndex(), 19);
    StoreFrames(1);
    EXPECT_EQ(ring.WriteIndex(), 0);
    EXPECT_EQ(ring.NewestSlot(), 19);
    StoreFrames(1);  // the 21st frame replaces the first
    EXPECT_EQ(ring.WriteIndex(), 1);
    EXPECT_EQ(ring.NewestSlot(), 0);

    const FrameMarkEntry& entry = ring.Entry(0);
    EXPECT_EQ(entry.timeValue, 21u);
    EXPECT_EQ(entry.length, 10u + 21 % 7);
    EXPECT_EQ(entry.magic, FrameMarkEntry::kMagic);
    EXPECT_EQ(entry.frameNumber, 0u);
    EXPECT_EQ(entry.videoLoss, 0u);
    EXPECT_EQ(Copy(ring.Jpeg(0)), Jpeg(21, 10 + 21 % 7));
    EXPECT_EQ(ring.PreFrameCount(), CPreAlarmRing::kPreFrameCountFull);
    StoreFrames(30);
    EXPECT_EQ(ring.PreFrameCount(), CPreAlarmRing::kPreFrameCountFull);  // stops at 21

    // The stand-ins got every semaphore back.
    for (NotRecordingFeed* standIn : {&alarm, &user, &schedule}) {
        EXPECT_EQ(standIn->FreeSemaphore()->Count(), 1);
        EXPECT_EQ(standIn->FilledSemaphore()->Count(), 0);
    }
}

TEST_F(PreAlarmRingTest, EntryBytesFollowTheFileLayout) {
    FrameMarkEntry entry;
    entry.frameNumber = 0x04030201;
    entry.length = 0x1234;
    entry.magic = FrameMarkEntry::kMagic;
    entry.channel = 3;
    entry.videoLoss = 1;
    entry.storedAt = FrameTime{2024, 12, 0, 31, 23, 58, 7, 0};
    entry.timeValue = 0xA1B2C3D4;
    entry.width = 640;
    entry.height = 276;
    const auto bytes = entry.ToBytes();

    struct Field {
        std::size_t offset;
        std::vector<std::uint8_t> value;
    };
    const Field fields[] = {
        {0, {1, 2, 3, 4}},
        {4, {0x34, 0x12, 0, 0}},
        {8, {0, 0, 0, 0}},
        {12, {0x67, 0x45, 0x23, 0x01}},
        {16, {0, 0, 3, 0}},
        {20, {1, 0, 0, 0}},
        {24, {0xE8, 0x07, 12, 0, 0, 0, 31, 0, 23, 0, 58, 0, 7, 0, 0, 0}},
        {40, {0, 0, 0, 0, 0, 0, 0, 0}},
        {48, {0xD4, 0xC3, 0xB2, 0xA1}},
        {52, {0x80, 0x02, 0x14, 0x01}},
    };
    for (const Field& f : fields) {
        EXPECT_EQ(std::vector(bytes.begin() + f.offset, bytes.begin() + f.offset + f.value.size()),
                  f.value)
            << "offset " << f.offset;
    }
}

// ---- the frames an alarm recording starts with --------------------------

struct PreAlarmCase {
    int before;  // frames stored before the count restarts (a login)
    int after;   // frames stored since
    std::vector<std::uint16_t> slots;
};

class PreAlarmFramesTest : public PreAlarmRingTest,
                           public ::testing::WithParamInterface<PreAlarmCase> {};

TEST_P(PreAlarmFramesTest, AreTheNewestSinceTheRestartOldestFirst) {
    const PreAlarmCase& c = GetParam();
    StoreFrames(c.before);
    ring.RestartPreFrameCount();
    StoreFrames(c.after);

    const CPreAlarmRing::SlotList list = ring.PreAlarmFrames();
    EXPECT_EQ(std::vector(list.Slots().begin(), list.Slots().end()), c.slots);
    // Exactly the last min(after, 20) frames stored since the restart.
    std::vector<std::uint32_t> expected;
    const int taken = std::min(c.after, 20);
    for (int i = 0; i < taken; ++i) {
        expected.push_back(NextTimeValue() - static_cast<std::uint32_t>(taken - i));
    }
    EXPECT_EQ(TimeValuesOf(list.Slots()), expected);
}

std::vector<std::uint16_t> SlotRun(std::uint16_t first, std::size_t count) {
    std::vector<std::uint16_t> slots;
    for (std::size_t i = 0; i < count; ++i)
        slots.push_back(static_cast<std::uint16_t>((first + i) % 20));
    return slots;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreAlarmFramesTest,
    ::testing::Values(
        PreAlarmCase{0, 0, {}},               // nothing stored yet
        PreAlarmCase{0, 5, SlotRun(0, 5)},    // five frames since start-up: slots 0 to 4
        PreAlarmCase{0, 20, SlotRun(0, 20)},  // exactly 20
        PreAlarmCase{0, 21, SlotRun(1, 20)},  // all 20 slots, oldest at the write index
        PreAlarmCase{0, 45, SlotRun(5, 20)},
        // After a login the write index is wherever the last session left it.
        PreAlarmCase{7, 0, {}},                 // no stale frames
        PreAlarmCase{7, 3, SlotRun(7, 3)},      // only the new ones
        PreAlarmCase{7, 20, SlotRun(7, 20)},    // exactly 20: none missing
        PreAlarmCase{15, 10, SlotRun(15, 10)},  // wrapping from 19 to 0
        PreAlarmCase{33, 21, SlotRun(14, 20)}));

// ---- what is stored -----------------------------------------------------

struct SizeCase {
    std::size_t size;
    FeedResult result;
};

class FrameSizeTest : public PreAlarmRingTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FrameSizeTest, AFrameLargerThanASlotIsRefusedWhole) {
    StoreFrames(3);
    const Bytes jpeg = Jpeg(0x5A, GetParam().size);
    EXPECT_EQ(Store(jpeg, 99), GetParam().result);

    const bool stored = GetParam().result == FeedResult::Stored;
    EXPECT_EQ(ring.WriteIndex(), stored ? 4 : 3);
    EXPECT_EQ(ring.PreFrameCount(), stored ? 4 : 3);
    EXPECT_EQ(ring.Entry(ring.NewestSlot()).timeValue, stored ? 99u : 3u);
    if (stored) {
        EXPECT_EQ(Copy(ring.Jpeg(ring.NewestSlot())), jpeg);
    }
    EXPECT_EQ(alarm.FreeSemaphore()->Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameSizeTest,
                         ::testing::Values(SizeCase{0, FeedResult::Stored},
                                           SizeCase{CPreAlarmRing::kSlotBytes, FeedResult::Stored},
                                           SizeCase{CPreAlarmRing::kSlotBytes + 1,
                                                    FeedResult::Refused},
                                           SizeCase{1'572'864, FeedResult::Refused}));

TEST_F(PreAlarmRingTest, AVideoLossFrameKeepsItsOwnBytesAndFlag) {
    const Bytes picture = Jpeg(0xAA, 3000);
    ASSERT_EQ(Store(picture, 1), FeedResult::Stored);
    const Bytes lossFrame = Jpeg(0x55, 40);
    ASSERT_EQ(Store(lossFrame, 2, true), FeedResult::Stored);
    ASSERT_EQ(Store({}, 3, true), FeedResult::Stored);  // video loss without an image

    EXPECT_EQ(ring.Entry(0).videoLoss, 0u);
    EXPECT_EQ(Copy(ring.Jpeg(0)), picture);
    EXPECT_EQ(ring.Entry(1).videoLoss, 1u);
    EXPECT_EQ(ring.Entry(1).length, 40u);
    EXPECT_EQ(Copy(ring.Jpeg(1)), lossFrame);
    EXPECT_EQ(ring.Entry(2).videoLoss, 1u);
    EXPECT_TRUE(ring.Jpeg(2).empty());
}

TEST_F(PreAlarmRingTest, RefusesUntilAllocatedAndChecksSlots) {
    CPreAlarmRing empty;
    const Bytes jpeg = Jpeg(1, 10);
    CPreAlarmRing::Frame frame;
    frame.jpeg = jpeg;
    EXPECT_EQ(empty.Store(frame, standIns, nullptr), FeedResult::Refused);
    EXPECT_THROW(empty.Entry(0), std::logic_error);
    EXPECT_THROW(ring.Entry(20), std::out_of_range);
    EXPECT_EQ(ring.GetSlotState(19).first, 0u);

    ring.Free();
    ring.Free();
    EXPECT_FALSE(ring.Allocated());
    EXPECT_TRUE(ring.Allocate());
}

// ---- the hand-over to the recorders ---------------------------------------

class HandOverTest : public PreAlarmRingTest {
protected:
    std::vector<std::string> log;
    ScriptedRecorder alarmRec{"alarm", log}, userRec{"user", log}, scheduleRec{"schedule", log};
    std::array<RecorderFeed*, 3> recorders{&alarmRec, &userRec, &scheduleRec};
    platform::Event endEvent{true, false};

    FeedResult Feed(std::uint32_t timeValue) {
        const Bytes jpeg = Jpeg(static_cast<std::uint8_t>(timeValue), 64);
        CPreAlarmRing::Frame frame;
        frame.jpeg = jpeg;
        frame.timeValue = timeValue;
        return ring.Store(frame, recorders, &endEvent);
    }
};

TEST_F(HandOverTest, WakesRecordingRecordersInOrderAndReleasesTheOthers) {
    alarmRec.recording = true;
    scheduleRec.recording = true;
    ASSERT_EQ(Feed(1), FeedResult::Stored);

    EXPECT_EQ(log, (std::vector<std::string>{"free:alarm", "free:user", "free:schedule",
                                             "capture:alarm", "capture:schedule"}));
    // A recording recorder holds the frame until it has written it.
    EXPECT_EQ(alarmRec.free.Count(), 0);
    EXPECT_EQ(alarmRec.filled.Count(), 1);
    EXPECT_EQ(userRec.free.Count(), 1);
    EXPECT_EQ(userRec.filled.Count(), 0);
    EXPECT_EQ(scheduleRec.filled.Count(), 1);

    // The recorders take the frame, read the newest slot and give it back.
    for (ScriptedRecorder* r : {&alarmRec, &scheduleRec}) {
        ASSERT_EQ(r->filled.Wait(), platform::WaitResult::Signaled);
        EXPECT_EQ(ring.Entry(ring.NewestSlot()).timeValue, 1u);
        r->free.Release();
    }
    EXPECT_EQ(Feed(2), FeedResult::Stored);
}

TEST_F(HandOverTest, ARecorderThatNeverGivesTheFrameBackDoesNotHoldTheFeedAfterTheEnd) {
    userRec.recording = true;
    ASSERT_EQ(Feed(1), FeedResult::Stored);  // the user recorder now holds it for ever

    FeedResult second = FeedResult::Stored;
    std::thread compose([&] { second = Feed(2); });
    endEvent.Set();
    compose.join();

    EXPECT_EQ(second, FeedResult::Ended);
    EXPECT_EQ(ring.WriteIndex(), 1);  // nothing stored
    EXPECT_EQ(ring.Entry(ring.NewestSlot()).timeValue, 1u);
    // What the feed had taken before it gave up is given back.
    EXPECT_EQ(alarmRec.free.Count(), 1);
    EXPECT_EQ(scheduleRec.free.Count(), 1);
}

TEST_F(HandOverTest, ARecorderThatCannotBeWokenDoesNotHoldUpTheNextFrame) {
    alarmRec.recording = true;
    alarmRec.filled.Release();  // still full from a frame it never took
    ASSERT_EQ(Feed(1), FeedResult::Stored);
    EXPECT_EQ(alarmRec.free.Count(), 1);
    EXPECT_EQ(Feed(2), FeedResult::Stored);
}

// ---- through the media state, as the compose thread feeds ---------------

class FeedPreAlarmRingTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lpApp = new AppGlobalState();
        g_lpApp->h_EndofGetJpegImageEvent = std::make_unique<platform::Event>(true, false);
    }
    void TearDown() override {
        FreeSystemBuffer();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    ScopedMediaServices media;
};

TEST_F(FeedPreAlarmRingTest, StampsChannelSizeAndLocalTime) {
    ASSERT_EQ(AllocateSystemBuffer(), 1);  // start-up allocates the ring
    CPreAlarmRing& ring = GetMediaState().C_PreAlarmRing;
    ASSERT_TRUE(ring.Allocated());
    g_lpApp->CSettingINI.m_bySelectedChannel = 5;
    g_lpApp->w_ImageWidth = 320;
    g_lpApp->w_ImageHeight = 228;
    const std::uint16_t slot = ring.WriteIndex();

    const Bytes jpeg = Jpeg(7, 500);
    EXPECT_EQ(FeedPreAlarmRing(jpeg, 1234, false), FeedResult::Stored);
    const FrameMarkEntry entry = ring.Entry(slot);
    EXPECT_EQ(entry.channel, 5);
    EXPECT_EQ(entry.width, 320);
    EXPECT_EQ(entry.height, 228);
    EXPECT_EQ(entry.timeValue, 1234u);
    EXPECT_GE(entry.storedAt.year, 2024);
    EXPECT_GE(entry.storedAt.month, 1);
    EXPECT_EQ(entry.storedAt.dayOfWeek, 0);
    EXPECT_EQ(entry.storedAt.milliseconds, 0);

    // Once the streaming threads are told to end, nothing more is stored.
    g_lpApp->h_EndofGetJpegImageEvent->Set();
    EXPECT_EQ(FeedPreAlarmRing(jpeg, 1235, false), FeedResult::Ended);
    EXPECT_EQ(ring.Entry(ring.NewestSlot()).timeValue, 1234u);

    // Shutdown frees it.
    FreeSystemBuffer();
    EXPECT_FALSE(ring.Allocated());
    EXPECT_EQ(FeedPreAlarmRing(jpeg, 1236, false), FeedResult::Refused);
}

}  // namespace
