// The alarm and user recorders, driven as the program drives them: frames go
// in through FeedPreAlarmRing into the media state's ring, the recorders run
// on their own threads, and the files they leave are read back with the
// independent reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "core/store/alarm_list.h"
#include "media/alarm_record.h"
#include "media/frame_header.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "media/record_file.h"
#include "media/user_record.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/kst_reader.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::KstFile;
using test_support::ReadKstFile;

constexpr unsigned kRecordFileFailed = 4018;

struct FedFrame {
    Bytes jpeg;
    bool videoLoss = false;
};

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lpApp = new AppGlobalState();
        CSettingINI& settings = g_lpApp->CSettingINI;
        std::filesystem::create_directory(dir / "program");
        settings.m_strProgramDir = (dir / "program").string() + "/";
        settings.m_strServerName = "10.1.2.3";
        settings.m_strUserName = "operator";
        settings.m_bySelectedChannel = 3;
        g_lpApp->w_ImageWidth = 352;
        g_lpApp->w_ImageHeight = 240;
        g_szSessionCookie.Set("ab/12cd");
        g_lpApp->h_EndofGetJpegImageEvent = std::make_unique<platform::Event>(true, false);

        ASSERT_TRUE(Media().AllocateBuffers());
        Media().CreateRecorderResources();
        Alarm().SetCloseWait(platform::kInfinite);
        User().SetCloseWait(platform::kInfinite);
        Alarm().SetWallClock([] { return kNow; });
        User().SetWallClock([] { return kNow; });
        ASSERT_TRUE(Media().StartRecorderThreads(0));
    }

    void TearDown() override {
        Media().StopRecorders();
        g_lpApp->h_EndofGetJpegImageEvent->Set();
        Media().StopRecorderThreads();
        Media().FreeRecorderResources();
        Media().FreeBuffers();
        Media().FreeAlarmList();
        Media().CreateRecorderResources();  // as the media state starts out
        Alarm().SetFramesPerFile(CAlarmRecord::kFramesPerFile);
        Alarm().SetCloseWait(CAlarmRecord::kCloseWait);
        User().SetFramesPerFile(CUserRecord::kFramesPerFile);
        User().SetCloseWait(CUserRecord::kCloseWait);
        const auto realClock = [] { return std::chrono::system_clock::now(); };
        Alarm().SetWallClock(realClock);
        User().SetWallClock(realClock);
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
    }

    static CAlarmRecord& Alarm() { return GetMediaState().C_AlarmRecord; }
    static CUserRecord& User() { return GetMediaState().C_UserRecord; }
    std::string Folder() const { return dir.path().string(); }

    // Feeds `count` frames with the next time values; each differs in size,
    // bytes and video loss.
    void Feed(int count) {
        for (int i = 0; i < count; ++i) {
            const std::uint32_t t = m_nextTime++;
            FedFrame frame;
            frame.jpeg.resize(40 + (t * 37) % 300);
            for (std::size_t k = 0; k < frame.jpeg.size(); ++k) {
                frame.jpeg[k] = static_cast<std::uint8_t>(t * 13 + k);
            }
            frame.videoLoss = t % 5 == 3;
            ASSERT_EQ(FeedPreAlarmRing(frame.jpeg, t, frame.videoLoss), FeedResult::Stored);
            m_fed[t] = std::move(frame);
        }
    }
    std::uint32_t NextTime() const { return m_nextTime; }

    // Returns once every recorder has written the last frame fed: the feed
    // itself waits for the same semaphores before it stores a frame.
    static void Settle() {
        for (RecorderFeed* feed : GetMediaState().RecorderFeeds()) {
            if (platform::Semaphore* free = feed->FreeSemaphore()) {
                ASSERT_EQ(free->Wait(), platform::WaitResult::Signaled);
                free->Release();
            }
        }
    }

    // Waits for something another thread does, such as a recorder thread
    // taking up a recording after its start event.
    template <typename Predicate>
    static void WaitUntil(Predicate done) {
        ASSERT_TRUE(test_support::WaitUntil(done));
    }
    static void AlarmTakesFrames() {
        WaitUntil([] { return Alarm().Feed().IsRecording(); });
    }
    static void UserTakesFrames() {
        WaitUntil([] { return User().Feed().IsRecording(); });
    }

    // The frames of a file are exactly the fed frames first..last, in order,
    // as the ring described them.
    void ExpectFrames(const KstFile& file, std::uint32_t first, std::uint32_t last) {
        EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
        ASSERT_EQ(file.frames.size(), last - first + 1);
        for (std::uint32_t t = first; t <= last; ++t) {
            const test_support::KstFrame& frame = file.frames[t - first];
            EXPECT_EQ(frame.timeValue, t);
            EXPECT_EQ(frame.jpeg, m_fed.at(t).jpeg) << "time " << t;
            EXPECT_EQ(frame.videoLoss, m_fed.at(t).videoLoss) << "time " << t;
            EXPECT_EQ(frame.channel, 3);
            EXPECT_EQ(frame.width, 352);
            EXPECT_EQ(frame.height, 240);
        }
    }

    // The record files in the folder, by name.
    std::vector<std::string> RecordFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            if (e.path().extension() == ".kst")
                names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<AlarmDBItem_Struct> AlarmList() {
        if (g_SystemConfig.AlarmDB_Load() != AlarmDBLoadResult::Loaded)
            return {};
        return g_SystemConfig.AlarmDB_Items();
    }

    // Stream failure and login again: the threads end with the end event,
    // the semaphores are made anew, and new threads start.
    void ReLogin() {
        g_lpApp->h_EndofGetJpegImageEvent->Set();
        Media().StopRecorderThreads();
        Media().FreeRecorderResources();
        Media().CreateRecorderResources();
        g_lpApp->h_EndofGetJpegImageEvent->Reset();
        ASSERT_TRUE(Media().StartRecorderThreads(0));
    }

    static std::string AlarmName(const std::string& suffix = "") {
        return AlarmRecordFileStem(LocalRecordTime(kNow), "ab/1") + suffix + ".kst";
    }
    static std::string UserName(const std::string& suffix = "") {
        return UserRecordFileStem(LocalRecordTime(kNow)) + suffix + ".kst";
    }

    static inline const std::chrono::system_clock::time_point kNow =
        std::chrono::system_clock::from_time_t(1'715'951'099);

    test_support::TempDir dir;
    test_support::RecordingLiveView liveView;
    test_support::ScopedMessageBoxRecorder boxes;
    ScopedMediaServices media;
    test_support::ScopedLiveViewRegistration registered{liveView};

private:
    std::uint32_t m_nextTime = 1;
    std::map<std::uint32_t, FedFrame> m_fed;
};

// ---- the alarm recorder --------------------------------------------------------

TEST_F(RecorderTest, AlarmRecordingWritesThePreAlarmAndLiveFramesAndListsTheFile) {
    Feed(3);
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    EXPECT_TRUE(Alarm().IsRecording());
    Feed(5);
    Settle();
    EXPECT_EQ(Alarm().EndRecord(), 1);
    EXPECT_FALSE(Alarm().IsRecording());

    // The cookie gives only its letters and digits to the name.
    ASSERT_EQ(RecordFiles(), std::vector<std::string>{AlarmName()});
    const KstFile file = ReadKstFile(dir / AlarmName());
    ExpectFrames(file, 1, 8);
    EXPECT_TRUE(file.closed);
    EXPECT_EQ(file.header.kind, 1);
    EXPECT_EQ(file.header.userName, "operator");
    EXPECT_EQ(file.header.deviceAddress, (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
    const FrameTime created = LocalRecordTime(kNow);
    EXPECT_EQ(file.header.created, (std::array<std::uint16_t, 8>{
                                       created.year, created.month, created.dayOfWeek, created.day,
                                       created.hour, created.minute, created.second, 0}));

    const auto list = AlarmList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Path(), (dir / AlarmName()).string());
    EXPECT_EQ(list[0].frameCount, 8u);
    EXPECT_EQ(list[0].SourceIP(), "10.1.2.3");
    EXPECT_EQ(list[0].startTime, (SystemTime{created.year, created.month, 0, created.day,
                                             created.hour, created.minute, created.second, 0}));
    EXPECT_TRUE(boxes.Ids().empty());

    // A frame with no recording running does not wait for the recorder.
    Feed(2);
}

struct PreAlarmCase {
    int beforeLogin;  // frames stored in the session before
    int afterLogin;   // frames stored since the login, before the alarm
};

class PreAlarmTest : public RecorderTest, public ::testing::WithParamInterface<PreAlarmCase> {};

TEST_P(PreAlarmTest, TheNewestFramesSinceTheLoginComeFirstOldestFirst) {
    Feed(GetParam().beforeLogin);
    ReLogin();
    Feed(GetParam().afterLogin);
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(1);  // the frame that reaches the recorder first
    Settle();
    Alarm().EndRecord();

    const std::uint32_t last = NextTime() - 1;
    const std::uint32_t taken = std::min(GetParam().afterLogin + 1, 20);
    ExpectFrames(ReadKstFile(dir / AlarmName()), last - taken + 1, last);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreAlarmTest,
                         ::testing::Values(PreAlarmCase{0, 0}, PreAlarmCase{0, 4},
                                           PreAlarmCase{7, 0}, PreAlarmCase{7, 3},
                                           PreAlarmCase{7, 19}, PreAlarmCase{15, 20},
                                           PreAlarmCase{33, 45}));

TEST_F(RecorderTest, AlarmSplitsIntoFilesEachWithItsOwnListEntry) {
    Alarm().SetFramesPerFile(5);
    Feed(2);
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(10);  // 3 frames before the alarm, then 9 more: 12 in all
    Settle();
    Alarm().EndRecord();

    // All created in the same second: the later files get a suffix.
    ASSERT_EQ(RecordFiles(),
              (std::vector<std::string>{AlarmName(), AlarmName("_2"), AlarmName("_3")}));
    ExpectFrames(ReadKstFile(dir / AlarmName()), 1, 5);
    ExpectFrames(ReadKstFile(dir / AlarmName("_2")), 6, 10);
    ExpectFrames(ReadKstFile(dir / AlarmName("_3")), 11, 12);

    const auto list = AlarmList();
    ASSERT_EQ(list.size(), 3u);
    const std::vector<std::pair<std::string, std::uint32_t>> expected{
        {AlarmName(), 5}, {AlarmName("_2"), 5}, {AlarmName("_3"), 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].Path(), (dir / expected[i].first).string());
        EXPECT_EQ(list[i].frameCount, expected[i].second);
    }
}

TEST_F(RecorderTest, AStreamFailureClosesTheAlarmFileAndTheNextLoginRecordsAgain) {
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(4);
    Settle();
    C_FrameHeaderParser.m_wAlarmData = 4;
    Media().StopAlarmAndScheduleRecords();  // kernel message 1
    EXPECT_FALSE(Alarm().IsRecording());
    EXPECT_EQ(C_FrameHeaderParser.m_wAlarmData.load(), 0);
    EXPECT_EQ(liveView.InfoCleared(), 1);
    EXPECT_EQ(Alarm().StartRecord(Folder(), 0), 0);  // refused until the next login
    ExpectFrames(ReadKstFile(dir / AlarmName()), 1, 4);
    EXPECT_EQ(AlarmList().size(), 1u);

    ReLogin();
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(2);
    Settle();
    // The stream ends again, this time with the recording open: the end
    // event closes it.
    g_lpApp->h_EndofGetJpegImageEvent->Set();
    WaitUntil([] { return !Alarm().IsRecording(); });
    Media().StopRecorderThreads();
    ExpectFrames(ReadKstFile(dir / AlarmName("_2")), 5, 6);
    const auto list = AlarmList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].frameCount, 2u);
}

TEST_F(RecorderTest, EndingAnAlarmBeforeItsFirstFrameLeavesAnEmptyListedFile) {
    EXPECT_EQ(Alarm().EndRecord(), 1);  // nothing open: returns at once
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    Alarm().EndRecord();
    const KstFile file = ReadKstFile(dir / AlarmName());
    EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
    EXPECT_TRUE(file.closed);
    EXPECT_TRUE(file.frames.empty());
    const auto list = AlarmList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].frameCount, 0u);
}

TEST_F(RecorderTest, AnAlarmFileThatCannotBeCreatedIsReportedOnceAndHoldsNothingUp) {
    std::ofstream(dir / "plain-file") << "x";
    const std::string folder = (dir / "plain-file").string();
    EXPECT_EQ(Alarm().StartRecord(folder, 0), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{kRecordFileFailed});
    EXPECT_EQ(liveView.StatusTexts(),
              std::vector<std::string>{std::string(LoadText(kRecordFileFailed))});
    // The parser leaves this alarm alone; the stream goes on.
    EXPECT_TRUE(Alarm().IsRecording());
    Feed(3);
    // Ending it does not wait (the close wait here is endless).
    EXPECT_EQ(Alarm().EndRecord(), 1);
    EXPECT_FALSE(Alarm().IsRecording());

    // The next alarm fails the same way: told once is enough.
    EXPECT_EQ(Alarm().StartRecord(folder, 0), 0);
    Alarm().EndRecord();
    EXPECT_EQ(boxes.Ids().size(), 1u);
    EXPECT_TRUE(RecordFiles().empty());
    EXPECT_TRUE(AlarmList().empty());
}

TEST_F(RecorderTest, AnAlarmFileThatCannotBeWrittenEndsTheRecordingCleanly) {
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    {
        test_support::ScopedFileSizeLimit cap(1200);
        Feed(12);  // the file fills after a few frames; the feed never waits
        Settle();
    }
    WaitUntil([this] { return !boxes.Ids().empty(); });
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{kRecordFileFailed});
    EXPECT_TRUE(Alarm().IsRecording());  // until the alarm is over
    EXPECT_FALSE(Alarm().Feed().IsRecording());
    Alarm().EndRecord();
    EXPECT_FALSE(Alarm().IsRecording());

    const KstFile file = ReadKstFile(dir / AlarmName());
    EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
    EXPECT_FALSE(file.closed);
    EXPECT_GE(file.frames.size(), 1u);
    EXPECT_LT(file.frames.size(), 12u);
    EXPECT_TRUE(AlarmList().empty());

    // The next alarm records again.
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(1);
    Settle();
    Alarm().EndRecord();
    EXPECT_EQ(AlarmList().size(), 1u);
}

// A folder that goes away during a recording: the next split file cannot be
// created. The recording ends there; the full file is complete and, for the
// alarm recorder, listed.
class SplitCreateFailureTest : public RecorderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SplitCreateFailureTest, EndsTheRecordingAfterTheLastWholeFile) {
    const bool alarm = GetParam();
    const std::filesystem::path folder = dir / "records";
    std::filesystem::create_directory(folder);
    Alarm().SetFramesPerFile(2);
    User().SetFramesPerFile(2);
    if (alarm) {
        ASSERT_EQ(Alarm().StartRecord(folder.string(), 0), 1);
        AlarmTakesFrames();
    } else {
        ASSERT_EQ(User().StartRecord(folder.string()), 1);
        UserTakesFrames();
    }
    Feed(2);
    Settle();
    std::filesystem::rename(folder, dir / "moved");
    Feed(3);  // the third frame needs a new file
    Settle();
    WaitUntil([this] { return !boxes.Ids().empty(); });
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{kRecordFileFailed});
    if (alarm) {
        Alarm().EndRecord();
        const auto list = AlarmList();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].frameCount, 2u);
    } else {
        EXPECT_FALSE(User().IsActive());
    }
    const std::string name = alarm ? AlarmName() : UserName();
    ExpectFrames(ReadKstFile(dir / "moved" / name), 1, 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "moved"),
                            std::filesystem::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(Recorders, SplitCreateFailureTest, ::testing::Values(true, false),
                         [](const auto& instance) { return instance.param ? "Alarm" : "User"; });

// ---- the user recorder -----------------------------------------------------------

TEST_F(RecorderTest, UserRecordingTakesEveryFrameBesideAnAlarmRecording) {
    Feed(2);  // before the button: not recorded, not waited for
    EXPECT_FALSE(User().IsActive());
    ASSERT_EQ(User().StartRecord(Folder()), 1);
    UserTakesFrames();
    EXPECT_TRUE(User().IsActive());
    Feed(3);
    ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
    AlarmTakesFrames();
    Feed(4);
    Settle();
    Alarm().EndRecord();
    EXPECT_EQ(User().StopRecord(), 1);
    EXPECT_FALSE(User().IsActive());

    const KstFile user = ReadKstFile(dir / UserName());
    ExpectFrames(user, 3, 9);
    EXPECT_EQ(user.header.kind, 0);
    ExpectFrames(ReadKstFile(dir / AlarmName()), 1, 9);
    EXPECT_EQ(AlarmList().size(), 1u);  // user recordings are not listed
}

struct StopCase {
    std::string name;
    bool start;       // the record button was pressed
    int frames;       // frames fed since
    bool threadEnds;  // the stream ended before the stop
};

class UserStopTest : public RecorderTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(UserStopTest, StoppingCompletesTheFileInEveryState) {
    const StopCase& c = GetParam();
    if (c.start) {
        ASSERT_EQ(User().StartRecord(Folder()), 1);
        UserTakesFrames();
    }
    Feed(c.frames);
    Settle();
    if (c.threadEnds) {
        g_lpApp->h_EndofGetJpegImageEvent->Set();
        Media().StopRecorderThreads();
        EXPECT_EQ(User().IsActive(), c.start);  // it waits for a login
    }
    EXPECT_EQ(User().StopRecord(), 1);
    EXPECT_FALSE(User().IsActive());
    if (!c.start) {
        EXPECT_TRUE(RecordFiles().empty());
        return;
    }
    const KstFile file = ReadKstFile(dir / UserName());
    EXPECT_TRUE(file.closed);
    if (c.frames == 0) {
        EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
        EXPECT_TRUE(file.frames.empty());
    } else {
        ExpectFrames(file, 1, static_cast<std::uint32_t>(c.frames));
    }
    EXPECT_EQ(User().StopRecord(), 1);  // again: nothing open
}

INSTANTIATE_TEST_SUITE_P(Cases, UserStopTest,
                         ::testing::Values(StopCase{"Idle", false, 2, false},
                                           StopCase{"StartedNoFrame", true, 0, false},
                                           StopCase{"Recording", true, 3, false},
                                           StopCase{"ThreadEnded", true, 3, true},
                                           StopCase{"ThreadEndedNoFrame", true, 0, true},
                                           StopCase{"IdleThreadEnded", false, 0, true}),
                         [](const auto& instance) { return instance.param.name; });

TEST_F(RecorderTest, AUserRecordingGoesOnInTheSameFileAfterALogin) {
    EXPECT_FALSE(Media().ContinueUserRecord());
    ASSERT_EQ(User().StartRecord(Folder()), 1);
    UserTakesFrames();
    Feed(3);
    Settle();
    ReLogin();
    Feed(2);  // between the login and ContinueRecord: not recorded
    EXPECT_TRUE(Media().ContinueUserRecord());
    UserTakesFrames();
    Feed(4);
    Settle();
    ReLogin();
    ASSERT_TRUE(Media().ContinueUserRecord());
    UserTakesFrames();
    User().StopRecord();  // stopped before a new frame came

    ASSERT_EQ(RecordFiles(), std::vector<std::string>{UserName()});
    const KstFile file = ReadKstFile(dir / UserName());
    EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
    ASSERT_EQ(file.frames.size(), 7u);
    const std::vector<std::uint32_t> expected{1, 2, 3, 6, 7, 8, 9};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(file.frames[i].timeValue, expected[i]);
        EXPECT_EQ(file.frames[i].number, i + 1);  // numbered on across the login
    }
    EXPECT_EQ(file.header.lastTimeValue, 9u);
}

TEST_F(RecorderTest, UserRecordingSplitsEveryGivenNumberOfFrames) {
    User().SetFramesPerFile(4);
    ASSERT_EQ(User().StartRecord(Folder()), 1);
    UserTakesFrames();
    Feed(10);
    Settle();
    User().StopRecord();
    ASSERT_EQ(RecordFiles(),
              (std::vector<std::string>{UserName(), UserName("_2"), UserName("_3")}));
    ExpectFrames(ReadKstFile(dir / UserName()), 1, 4);
    ExpectFrames(ReadKstFile(dir / UserName("_2")), 5, 8);
    ExpectFrames(ReadKstFile(dir / UserName("_3")), 9, 10);
}

TEST_F(RecorderTest, RecordingsInTheSameSecondKeepBothFiles) {
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(User().StartRecord(Folder()), 1);
        UserTakesFrames();
        Feed(2);
        Settle();
        User().StopRecord();
    }
    ASSERT_EQ(RecordFiles(), (std::vector<std::string>{UserName(), UserName("_2")}));
    ExpectFrames(ReadKstFile(dir / UserName()), 1, 2);
    ExpectFrames(ReadKstFile(dir / UserName("_2")), 3, 4);
}

TEST_F(RecorderTest, AUserFileThatCannotBeCreatedIsReportedAndNothingWaits) {
    std::ofstream(dir / "plain-file") << "x";
    EXPECT_EQ(User().StartRecord((dir / "plain-file").string()), 0);
    EXPECT_EQ(User().StartRecord(""), 0);
    EXPECT_FALSE(User().IsActive());
    EXPECT_EQ(liveView.StatusTexts().size(), 2u);
    EXPECT_TRUE(boxes.Ids().empty());  // the record button shows the box
    Feed(3);
    EXPECT_EQ(User().StopRecord(), 1);
    EXPECT_TRUE(RecordFiles().empty());
}

TEST_F(RecorderTest, AUserFileThatCannotBeWrittenEndsTheRecordingCleanly) {
    ASSERT_EQ(User().StartRecord(Folder()), 1);
    UserTakesFrames();
    {
        test_support::ScopedFileSizeLimit cap(1500);
        Feed(15);
        Settle();
    }
    WaitUntil([this] { return !liveView.Buttons().empty(); });
    EXPECT_FALSE(User().IsActive());
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{kRecordFileFailed});
    EXPECT_EQ(
        liveView.Buttons(),
        (std::vector<std::pair<std::uint32_t, std::uint8_t>>{{CUserRecord::kRecordButtonBit, 0}}));
    const KstFile file = ReadKstFile(dir / UserName());
    EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
    EXPECT_GE(file.frames.size(), 1u);
    EXPECT_LT(file.frames.size(), 15u);

    // The button starts a new recording.
    ASSERT_EQ(User().StartRecord(Folder()), 1);
    UserTakesFrames();
    Feed(1);
    Settle();
    User().StopRecord();
    ExpectFrames(ReadKstFile(dir / UserName("_2")), 16, 16);
}

// ---- a close that takes long ----------------------------------------------------

// A wall clock that, once armed, holds whoever asks it for the time until it
// is opened. The recorders ask for the time when they complete a file, under
// their own lock, so an armed gate makes a close last as long as the test
// wants.
class CloseGate {
public:
    std::chrono::system_clock::time_point Now(std::chrono::system_clock::time_point now) {
        std::unique_lock lock(m_lock);
        if (m_armed) {
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_armed; });
        }
        return now;
    }
    void Arm() {
        std::lock_guard lock(m_lock);
        m_armed = true;
        m_held = false;
    }
    void Open() {
        {
            std::lock_guard lock(m_lock);
            m_armed = false;
        }
        m_changed.notify_all();
    }
    // Whether a close is held at the gate (waits for it up to `bound`).
    bool WaitHeld(std::chrono::milliseconds bound) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, bound, [&] { return m_held; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_armed = false;
    bool m_held = false;
};

// Timed waits elapse at once, but only once a close is held at the gate: a
// stop that waits out its bound does so while the file is still being
// closed, every time, and no test waits the bound in real time.
class CloseUnderWayClock final : public platform::ClockSource {
public:
    explicit CloseUnderWayClock(CloseGate& gate) : m_gate(gate) {}
    std::uint64_t NowMs() override { return m_manual.NowMs(); }
    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override {
        return m_manual.SleepFor(d, token);
    }
    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override {
        m_gate.WaitHeld(kGiveUp);
        std::lock_guard lock(m_lock);
        m_timeouts.push_back(timeout);
        return true;
    }
    std::vector<std::chrono::milliseconds> Timeouts() {
        std::lock_guard lock(m_lock);
        return m_timeouts;
    }

    static constexpr std::chrono::milliseconds kGiveUp{10'000};

private:
    CloseGate& m_gate;
    platform::ManualClock m_manual;
    std::mutex m_lock;
    std::vector<std::chrono::milliseconds> m_timeouts;
};

struct SlowCloseCase {
    const char* name;
    bool alarm;
    int (*stop)();
    std::chrono::milliseconds bound;
};

class SlowCloseTest : public RecorderTest, public ::testing::WithParamInterface<SlowCloseCase> {
protected:
    void SetUp() override {
        RecorderTest::SetUp();
        Alarm().SetCloseWait(CAlarmRecord::kCloseWait);
        User().SetCloseWait(CUserRecord::kCloseWait);
        Alarm().SetWallClock([this] { return m_gate.Now(kNow); });
        User().SetWallClock([this] { return m_gate.Now(kNow); });
    }
    void TearDown() override {
        m_gate.Open();
        RecorderTest::TearDown();
    }

    CloseGate m_gate;
};

INSTANTIATE_TEST_SUITE_P(
    Stops, SlowCloseTest,
    ::testing::Values(SlowCloseCase{"AlarmEndRecord", true,
                                    [] { return GetMediaState().C_AlarmRecord.EndRecord(); },
                                    CAlarmRecord::kCloseWait},
                      SlowCloseCase{"AlarmStopRecord", true,
                                    [] { return GetMediaState().C_AlarmRecord.StopRecord(); },
                                    CAlarmRecord::kCloseWait},
                      SlowCloseCase{"UserStopRecord", false,
                                    [] { return GetMediaState().C_UserRecord.StopRecord(); },
                                    CUserRecord::kCloseWait}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_P(SlowCloseTest, TheStopReturnsWithinItsBoundAndTheFileIsClosedWholeLater) {
    const SlowCloseCase& c = GetParam();
    Feed(2);
    if (c.alarm) {
        ASSERT_EQ(Alarm().StartRecord(Folder(), 0), 1);
        AlarmTakesFrames();
    } else {
        ASSERT_EQ(User().StartRecord(Folder()), 1);
        UserTakesFrames();
    }
    Feed(3);
    Settle();

    m_gate.Arm();
    CloseUnderWayClock clock(m_gate);
    std::atomic<int> returned{0};
    std::thread caller;
    {
        platform::ScopedClockSource useClock(clock);
        // The stop runs on a thread of its own, as it does in the program
        // (the receive thread for the parser's EndRecord): one that does not
        // keep its bound fails the test instead of hanging it. The parser
        // asks again with the next header, the operator may press again:
        // each of those returns too.
        caller = std::thread([&] {
            EXPECT_EQ(c.stop(), 1);
            returned = 1;
            EXPECT_EQ(c.stop(), 1);
            returned = 2;
        });
        const auto deadline = std::chrono::steady_clock::now() + CloseUnderWayClock::kGiveUp;
        while (returned.load() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool keptItsBound = returned.load() == 2;
        if (!keptItsBound)
            m_gate.Open();
        caller.join();
        ASSERT_TRUE(keptItsBound) << "the stop waited for the close beyond its bound";
    }
    ASSERT_TRUE(m_gate.WaitHeld(std::chrono::milliseconds(0))) << "no close was under way";
    // Each stop waited its bound, no longer.
    const std::vector<std::chrono::milliseconds> waits = clock.Timeouts();
    ASSERT_FALSE(waits.empty());
    for (std::chrono::milliseconds wait : waits) EXPECT_EQ(wait, c.bound);

    // The recording still looks like what it is until the file is closed.
    if (c.alarm) {
        EXPECT_TRUE(Alarm().IsRecording());
    } else {
        EXPECT_TRUE(User().IsActive());
    }
    // The stream goes on meanwhile: frames pass the closing recorder by.
    Feed(2);

    m_gate.Open();
    if (c.alarm) {
        WaitUntil([] { return !Alarm().IsRecording(); });
    } else {
        WaitUntil([] { return !User().IsActive(); });
    }
    Settle();
    const KstFile file = ReadKstFile(dir / (c.alarm ? AlarmName() : UserName()));
    EXPECT_TRUE(file.closed);
    if (c.alarm) {
        ExpectFrames(file, 1, 5);
        const auto list = AlarmList();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].frameCount, 5u);
    } else {
        ExpectFrames(file, 3, 5);
    }
    EXPECT_TRUE(boxes.Ids().empty());
}

}  // namespace
