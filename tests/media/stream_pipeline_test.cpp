#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "core/state/system_buffers.h"
#include "media/decode_show.h"
#include "media/frame_header.h"
#include "media/jpeg_codec_adapter.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "media/stream_receiver.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "tests/media/stream_fixture.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/fake_device.h"
#include "tests/support/fake_stream.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

using test_support::WaitUntil;

using namespace std::chrono_literals;
using namespace stream_test;
using test_support::FakeDevice;
using test_support::FakeStream;
using test_support::FrameCycle;

constexpr auto kGenerous = 30s;

std::uint64_t Fnv1a(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3u;
    }
    return hash;
}

// What the main window saw when it was asked to draw.
struct Drawing {
    std::uint32_t frameCount = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    bool videoLoss = false;
    bool black = false;
    std::uint64_t pictureHash = 0;
};

// The main window of these tests: records each drawing besides what the kit's
// recording window keeps (channels made current, status texts). With
// finishDraws off it never reports a drawing finished, as the window does
// while it is not connected.
class PictureLiveView : public test_support::RecordingLiveView {
public:
    int DrawVideoFrame() override {
        AppGlobalState& app = *g_lpApp;
        Drawing d;
        d.frameCount = app.dw_FrameCount;
        d.width = app.w_ImageWidth;
        d.height = app.w_ImageHeight;
        d.videoLoss = app.f_VideoLoss;
        const std::size_t bytes = std::size_t{d.width} * d.height * 3;
        const std::uint8_t* picture = app.lp_CurrentImage.load();
        d.pictureHash = Fnv1a(picture, bytes);
        d.black = std::all_of(picture, picture + bytes, [](std::uint8_t b) { return b == 0; });
        {
            std::lock_guard lock(m_lock);
            m_drawings.push_back(d);
        }
        m_changed.notify_all();
        if (!finishDraws)
            return 1;
        return RecordingLiveView::DrawVideoFrame();
    }

    bool WaitForDrawings(std::size_t count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, kGenerous, [&] { return m_drawings.size() >= count; });
    }
    std::vector<Drawing> Drawings() {
        std::lock_guard lock(m_lock);
        return m_drawings;
    }

    std::atomic<bool> finishDraws{true};

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Drawing> m_drawings;
};

// The picture the decoder makes of a JPEG, as the drawing would see it.
std::uint64_t DecodedHash(std::span<const std::uint8_t> jpeg) {
    std::vector<std::uint8_t> picture(kImageSlotBytes);
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    EXPECT_EQ(DecodeJpegFrame(jpeg, picture, width, height), 1);
    return Fnv1a(picture.data(), std::size_t{width} * height * 3);
}

// The whole live pipeline: the fake device, the receive, compose and show
// threads started by the login resources, the kernel-message thread drawing
// through the test's main window.
class StreamPipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(m_folder.path());
        CreateGlobalState();
        AppGlobalState& app = *g_lpApp;
        InitTraceLog(300, m_folder.path());
        ASSERT_EQ(AllocateSystemBuffer(), 1);
        ASSERT_EQ(InitialSemaphore(), 1);
        app.CSettingINI.m_strServerName = "127.0.0.1";
        app.CSettingINI.m_wWebPort = m_device.port();
        g_szSessionCookie.Set("SESSION1");
        g_strHostIP.Set("10.0.0.7");
        g_dwStreamError = 0;
    }

    void TearDown() override {
        {
            // A receive thread still reading from the device is stopped only
            // after the teardown's bounded waits; they pass at once here.
            platform::ManualClock clock;
            clock.SetInstantWaitTimeouts(true);
            platform::ScopedClockSource useClock(clock);
            ExitLoginResource();
        }
        ExitProcessResource();
        m_device.Stop();
        FreeSystemBuffer();
        FreeSystemSemaphore();
        CloseTraceLog();
        DeleteGlobalState();
        SetStreamReceiveSettings({});
        C_FrameHeaderParser.SetNewLayout(false);
        platform::ResetProgramFolder();
    }

    // Builds the streaming set against `stream`; with `startStream` the
    // receive thread is let connect at once.
    void Start(FakeStream& stream, FrameHeaderLayout layout, bool startStream = true) {
        C_FrameHeaderParser.SetNewLayout(layout == FrameHeaderLayout::kNew);
        m_device.SetHandler("/Getvideo.cgi", stream.Handler());
        StreamReceiveSettings settings;
        settings.receiveTimeout = kGenerous;
        settings.slotWait = kGenerous;
        settings.onReceive = stream.ReadReporter();
        SetStreamReceiveSettings(settings);
        ASSERT_EQ(InitProcessResource(), 1);
        ASSERT_EQ(InitLoginResource(), 1);
        if (startStream)
            SignalStreamStartEvents();
    }

    // The last `count` frames stored in the pre-alarm ring, oldest first.
    static std::vector<std::uint16_t> NewestRingSlots(std::size_t count) {
        const CPreAlarmRing& ring = GetMediaState().C_PreAlarmRing;
        std::vector<std::uint16_t> slots;
        for (std::size_t back = count; back > 0; --back) {
            slots.push_back(static_cast<std::uint16_t>(
                (ring.WriteIndex() + CPreAlarmRing::kSlots - back) % CPreAlarmRing::kSlots));
        }
        return slots;
    }

    // Signals what the teardown signals first, and waits for the threads
    // that must end on that alone.
    static void SignalEndEvents() {
        AppGlobalState& app = *g_lpApp;
        app.h_NotifyGetJPEGImageThreadResetEvent->Set();
        app.h_EndofShowImageEvent->Set();
        app.h_EndofGetJpegImageEvent->Set();
    }
    static bool EndsByItself(const ThreadPtr& thread) {
        return WaitUntil([&] { return !thread || !thread->Running(); });
    }

    bool ReLoginAsked() const {
        for (const std::string& line : TraceLines(m_folder.path())) {
            if (line == "case Get_Image_TimeOut_Message")
                return true;
        }
        return false;
    }

    test_support::TempDir m_folder;
    PictureLiveView m_liveView;
    ScopedMediaServices m_media;
    test_support::ScopedLiveViewRegistration m_registered{m_liveView};
    FakeDevice m_device;
};

class StreamPipelineLayoutTest : public StreamPipelineTest,
                                 public ::testing::WithParamInterface<FrameHeaderLayout> {};

INSTANTIATE_TEST_SUITE_P(Layouts, StreamPipelineLayoutTest,
                         ::testing::Values(FrameHeaderLayout::kNew, FrameHeaderLayout::kOld),
                         [](const auto& instance) {
                             return std::string(LayoutName(instance.param));
                         });

TEST_P(StreamPipelineLayoutTest, FramesTravelFromTheDeviceToTheDrawingAndTheRecorders) {
    constexpr std::size_t kFrames = 6;
    const StreamScript script = SmallFrames(GetParam(), kFrames);
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(m_liveView.WaitForDrawings(kFrames));
    ASSERT_TRUE(stream.WaitUntilFinished());

    const auto drawings = m_liveView.Drawings();
    ASSERT_EQ(drawings.size(), kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        EXPECT_EQ(drawings[n].frameCount, n + 1);
        EXPECT_EQ(drawings[n].width, SmallJpegs().width());
        EXPECT_EQ(drawings[n].height, SmallJpegs().height());
        EXPECT_FALSE(drawings[n].videoLoss);
        EXPECT_EQ(drawings[n].pictureHash, DecodedHash(SmallJpegs().Frame(n))) << n;
    }
    EXPECT_EQ(m_liveView.CurrentChannels(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(g_lpApp->dw_FrameCount, kFrames);
    EXPECT_EQ(StoredFrameSpacing(0), 5u);  // time values 1 apart, times 5

    const CPreAlarmRing& ring = GetMediaState().C_PreAlarmRing;
    const auto slots = NewestRingSlots(kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        const FrameMarkEntry& entry = ring.Entry(slots[n]);
        EXPECT_EQ(ToVector(ring.Jpeg(slots[n])), script.Frames()[n].image) << n;
        EXPECT_EQ(entry.timeValue, StoredTimeValueOf(n));
        EXPECT_EQ(entry.videoLoss, 0u);
        EXPECT_EQ(entry.width, SmallJpegs().width());
    }
}

TEST_F(StreamPipelineTest, AStreamAsFastAsTheClientReadsLosesNoFrame) {
    FakeStream stream(FrameCycle::FromJpegs(SmallJpegs(), FrameHeaderLayout::kNew));
    Start(stream, FrameHeaderLayout::kNew);
    constexpr std::size_t kFrames = 60;
    ASSERT_TRUE(m_liveView.WaitForDrawings(kFrames));
    std::vector<std::uint64_t> expected;
    for (std::size_t n = 0; n < SmallJpegs().size(); ++n)
        expected.push_back(DecodedHash(SmallJpegs().Frame(n)));
    const auto drawings = m_liveView.Drawings();
    for (std::size_t n = 0; n < kFrames; ++n) {
        ASSERT_EQ(drawings[n].pictureHash, expected[n % expected.size()]) << n;
        ASSERT_EQ(drawings[n].frameCount, n + 1);
    }
}

struct VideoLossCase {
    const char* name;
    std::optional<std::uint8_t> qvga;
    std::uint8_t videoMode;
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t viewSizeCode;  // of a DVR-family device
};

class StreamPipelineVideoLossTest : public StreamPipelineTest,
                                    public ::testing::WithParamInterface<VideoLossCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamPipelineVideoLossTest,
    ::testing::Values(VideoLossCase{"Full", std::nullopt, 0, 640, 228, kSizeNtscFull},
                      VideoLossCase{"QvgaMode1", 1, 1, 320, 276, kSizePalHalf},
                      VideoLossCase{"QvgaMode0", 1, 0, 320, 228, kSizeNtscHalf},
                      VideoLossCase{"QvgaFlagZeroMode2", 0, 2, 640, 276, kSizePalFull}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A video-loss frame is never decoded: the picture is black at the size the
// QVGA flag and the video mode give, and the recorders get that frame's own
// bytes marked as video loss, never the picture before it.
TEST_P(StreamPipelineVideoLossTest, IsBlackAtItsNominalSizeAndRecordedAsItself) {
    const VideoLossCase& c = GetParam();
    g_lpApp->str_ProductID.Set("Q8A7");
    g_lpApp->b_VideoMode = c.videoMode;
    StreamScript script(FrameHeaderLayout::kNew);
    AddFrame(script, 0, SmallJpegs().Frame(0));
    FrameHeaderDescription loss = Describe(1);
    loss.status.videoLoss = true;
    loss.status.qvga = c.qvga;
    script.AddFrame(loss, SmallJpegs().Frame(1));
    AddFrame(script, 2, SmallJpegs().Frame(2));
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(m_liveView.WaitForDrawings(3));
    ASSERT_TRUE(stream.WaitUntilFinished());

    const auto drawings = m_liveView.Drawings();
    EXPECT_TRUE(drawings[1].videoLoss);
    EXPECT_TRUE(drawings[1].black);
    EXPECT_EQ(drawings[1].width, c.width);
    EXPECT_EQ(drawings[1].height, c.height);
    EXPECT_FALSE(drawings[2].videoLoss);
    EXPECT_EQ(drawings[2].pictureHash, DecodedHash(SmallJpegs().Frame(2)));

    const CPreAlarmRing& ring = GetMediaState().C_PreAlarmRing;
    const auto slots = NewestRingSlots(3);
    EXPECT_EQ(ring.Entry(slots[1]).videoLoss, 1u);
    EXPECT_EQ(ToVector(ring.Jpeg(slots[1])), script.Frames()[1].image);
    EXPECT_EQ(ring.Entry(slots[1]).width, c.width);
    EXPECT_EQ(ring.Entry(slots[1]).height, c.height);
    EXPECT_EQ(ring.Entry(slots[2]).videoLoss, 0u);
    // The view follows the picture size: the last frame's 48 x 32 is no size
    // of the family, so the video-loss frame's code stays.
    EXPECT_EQ(g_lpApp->b_ViewSize, c.viewSizeCode);
}

// A frame that does not decode (damaged data, or a picture larger than the
// image slot) is given back at once: not drawn, not counted, not recorded;
// its channel is still made current and the stream goes on.
TEST_F(StreamPipelineTest, AFrameThatDoesNotDecodeIsSkipped) {
    std::vector<std::uint8_t> damaged{0xFF, 0xD8, 0xFF, 0xDB};
    for (int i = 0; i < 300; ++i) damaged.push_back(static_cast<std::uint8_t>(i * 7));
    damaged.push_back(0xFF);
    damaged.push_back(0xD9);
    streamgen::DeviceJpegEncoder encoder;
    const std::vector<std::uint8_t> huge = encoder.EncodeSolid(2000, 2000, {10, 20, 30});
    ASSERT_LT(huge.size(), kSocketSlotBytes);
    ASSERT_GT(std::size_t{2000} * 2000 * 3, kImageSlotBytes);

    StreamScript script(FrameHeaderLayout::kNew);
    AddFrame(script, 0, SmallJpegs().Frame(0));
    AddFrame(script, 1, damaged);
    AddFrame(script, 2, huge);
    AddFrame(script, 3, SmallJpegs().Frame(3));
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(m_liveView.WaitForDrawings(2));
    ASSERT_TRUE(stream.WaitUntilFinished());
    // The last frame was drawn, so every frame before it went through.
    const auto drawings = m_liveView.Drawings();
    ASSERT_EQ(drawings.size(), 2u);
    EXPECT_EQ(drawings[0].pictureHash, DecodedHash(SmallJpegs().Frame(0)));
    EXPECT_EQ(drawings[1].pictureHash, DecodedHash(SmallJpegs().Frame(3)));
    EXPECT_EQ(drawings[1].frameCount, 2u);
    EXPECT_EQ(m_liveView.CurrentChannels(), (std::vector<int>{0, 1, 2, 3}));
    // The two dropped frames in a row are reported once.
    EXPECT_EQ(m_liveView.StatusTexts(), std::vector<std::string>{"The picture cannot be shown!!"});
    const CPreAlarmRing& ring = GetMediaState().C_PreAlarmRing;
    const auto slots = NewestRingSlots(2);
    EXPECT_EQ(ToVector(ring.Jpeg(slots[0])), script.Frames()[0].image);
    EXPECT_EQ(ToVector(ring.Jpeg(slots[1])), script.Frames()[3].image);
}

TEST(FrameSpacing, IsTheMagnitudeOfTheWrappedDifference) {
    struct Case {
        std::uint32_t previous;
        std::uint32_t now;
        std::uint32_t spacing;
    };
    const Case cases[] = {
        {0, 12345, 0},  // the first frame of a connection
        {100, 140, 40},
        {140, 100, 40},
        {0xFFFFFFF0u, 0x10, 0x20},         // the counter wrapped
        {0x10, 0x90000010u, 0x70000000u},  // more than 2^31 apart: the other way round
        {1, 0x80000001u, 0x80000000u},     // exactly 2^31 apart
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrameSpacing(c.previous, c.now), c.spacing) << c.previous << " " << c.now;
    }
}

// ---- stopping ---------------------------------------------------------------------

TEST_F(StreamPipelineTest, EveryThreadEndsOnTheEndEventsBeforeTheStreamStarts) {
    FakeStream stream(SmallFrames(FrameHeaderLayout::kNew, 1));
    Start(stream, FrameHeaderLayout::kNew, false);
    AppGlobalState& app = *g_lpApp;
    SignalEndEvents();
    EXPECT_TRUE(EndsByItself(app.h_GetJpegImageThread));
    EXPECT_TRUE(EndsByItself(app.h_ComposeImageDataThread));
    EXPECT_TRUE(EndsByItself(app.h_ShowImageDataThread));
    // The receive thread answered the reset on its way out.
    EXPECT_TRUE(app.h_FeedBackForNotifyResetEvent->IsSet());
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(m_device.RequestCount(), 0u);
    EXPECT_FALSE(ReLoginAsked());
}

// The drawing never finishes: the show thread waits for it, the compose
// thread for the image slot, the receive thread for a socket slot (or in a
// read, with the stream still flowing). The end events end them all, and no
// new login is asked for.
TEST_F(StreamPipelineTest, EveryThreadEndsOnTheEndEventsWhileTheRingIsFull) {
    m_liveView.finishDraws = false;
    FrameCycle cycle = FrameCycle::FromJpegs(SmallJpegs(), FrameHeaderLayout::kNew);
    const std::size_t twoFrames = cycle.frames[0].size() + cycle.frames[1].size();
    FakeStream stream(std::move(cycle));
    stream.SetLockstep(true);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(m_liveView.WaitForDrawings(1));
    AppGlobalState& app = *g_lpApp;
    // The second frame reaches the receive thread and goes on to the compose
    // thread, which waits for the image slot; the third waits for a socket
    // slot.
    ASSERT_TRUE(WaitUntil([&] { return app.dw_ByteCount >= twoFrames; }));
    SignalEndEvents();
    EXPECT_TRUE(EndsByItself(app.h_GetJpegImageThread));
    EXPECT_TRUE(EndsByItself(app.h_ComposeImageDataThread));
    EXPECT_TRUE(EndsByItself(app.h_ShowImageDataThread));
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_EQ(m_liveView.Drawings().size(), 1u);
    EXPECT_FALSE(ReLoginAsked());
}

// The device stalls: the receive thread sits in a read, the compose and show
// threads wait for frames. The end events end those two; the teardown ends
// the reader (its bounded waits pass at once on the test clock).
TEST_F(StreamPipelineTest, TeardownEndsAReadThatTheDeviceNeverAnswers) {
    // The device sends two frames and the start of a third, then stalls. In
    // lockstep the third frame's start is read only once the second one has
    // been read whole, so the read that takes it comes after the receive
    // thread's wait for a free slot: once the client has counted those bytes,
    // the thread is past every wait on an event and in the read of the rest
    // of the image, which never returns.
    StreamScript script = SmallFrames(FrameHeaderLayout::kNew, 3);
    const ScriptFrame& third = script.Frames()[2];
    const std::size_t stallAt = third.offset + third.header.size() + 8;
    ASSERT_LT(stallAt, third.end());
    script.StallAt(stallAt);
    FakeStream stream(script);
    stream.SetLockstep(true);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(m_liveView.WaitForDrawings(2));
    ASSERT_TRUE(stream.WaitForStall());
    AppGlobalState& app = *g_lpApp;
    ASSERT_TRUE(WaitUntil([&] { return app.dw_ByteCount == stallAt; }, "the third frame's start"));
    SignalEndEvents();
    EXPECT_TRUE(EndsByItself(app.h_ComposeImageDataThread));
    EXPECT_TRUE(EndsByItself(app.h_ShowImageDataThread));

    platform::ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    {
        platform::ScopedClockSource useClock(clock);
        EXPECT_EQ(ExitLoginResource(), 1);
    }
    EXPECT_FALSE(app.h_GetJpegImageThread);
    EXPECT_FALSE(ReLoginAsked());
    EXPECT_EQ(g_dwStreamError.load(), 0u);
}

}  // namespace
