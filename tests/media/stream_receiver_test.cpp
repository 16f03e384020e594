#include "media/stream_receiver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/kernel_message.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "core/state/system_buffers.h"
#include "media/frame_header.h"
#include "platform/program_folder.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tests/media/stream_fixture.h"
#include "tests/support/core/recording_live_view.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/fake_device.h"
#include "tests/support/fake_stream.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using namespace stream_test;
using test_support::FakeDevice;
using test_support::FakeStream;
using test_support::FrameCycle;
using test_support::StreamEnd;

constexpr char kCookie[] = "C0FFEE42";
constexpr char kHostIp[] = "192.168.7.9";
constexpr auto kGenerous = 30s;

// The receive thread against a fake device, with a consumer in the compose
// thread's place: it takes each filled slot, copies the image and its header
// record out, and gives the slot back.
class StreamReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(m_folder.path());
        CreateGlobalState();
        AppGlobalState& app = *g_lpApp;
        ASSERT_EQ(AllocateSystemBuffer(), 1);
        ASSERT_EQ(InitialSemaphore(), 1);
        app.h_NotifyGetJPEGImageThreadResetEvent = std::make_unique<platform::Event>(false, false);
        app.h_FeedBackForNotifyResetEvent = std::make_unique<platform::Event>(false, false);
        app.h_StartToGetJpegImageEvent = std::make_unique<platform::Event>(false, false);
        app.h_EndofGetJpegImageEvent = std::make_unique<platform::Event>(true, false);
        app.h_StartToShowImageEvent = std::make_unique<platform::Event>(false, false);
        CreateKernelMailbox();
        InitTraceLog(300, m_folder.path());
        g_dwStreamError = 0;
        app.CSettingINI.m_strServerName = "127.0.0.1";
        app.CSettingINI.m_wWebPort = m_device.port();
        g_szSessionCookie.Set(kCookie);
        g_strHostIP.Set(kHostIp);
        m_settings.receiveTimeout = kGenerous;
        m_settings.slotWait = kGenerous;
        m_settings.sendTimeout = kGenerous;
        m_settings.connectTimeout = kGenerous;
    }

    void TearDown() override {
        if (g_lpApp != nullptr) {
            g_lpApp->h_EndofGetJpegImageEvent->Set();
            m_receiver.Stop(kGenerous);
            m_consumer.Stop(kGenerous);
        }
        m_device.Stop();
        SetStreamReceiveSettings({});
        C_FrameHeaderParser.SetNewLayout(false);
        DestroyKernelMailbox();
        CloseTraceLog();
        FreeSystemBuffer();
        FreeSystemSemaphore();
        DeleteGlobalState();
        platform::ResetProgramFolder();
    }

    // Serves `stream` and starts the receiver (and the consumer), then lets
    // it connect.
    void Start(FakeStream& stream, FrameHeaderLayout layout, bool lockstep = true,
               bool consume = true) {
        C_FrameHeaderParser.SetNewLayout(layout == FrameHeaderLayout::kNew);
        m_device.SetHandler("/Getvideo.cgi", stream.Handler());
        stream.SetLockstep(lockstep);
        m_settings.onReceive = stream.ReadReporter();
        StartReceiver(consume);
        g_lpApp->h_StartToGetJpegImageEvent->Set();
    }

    void StartReceiver(bool consume = true) {
        SetStreamReceiveSettings(m_settings);
        if (consume) {
            ASSERT_TRUE(m_consumer.Start([this] { return Consume(); }, "consumer"));
        }
        ASSERT_TRUE(m_receiver.Start([] { return Jpeg_TCP_Get_Image_Data_Thread(); }, "receive"));
    }

    std::uint32_t Consume() {
        AppGlobalState& app = *g_lpApp;
        for (;;) {
            const int which = platform::WaitForAny(
                {app.h_EndofGetJpegImageEvent.get(), app.h_SocketFilledSem.get()},
                platform::kInfinite);
            if (which != 1)
                return 0;
            const std::size_t slot = app.w_SocketReadIndex;
            ReceivedFrame frame;
            std::memcpy(&frame.record, app.lp_FrameHeaderTable.get() + slot * kFrameHeaderInfoBytes,
                        sizeof frame.record);
            const std::uint8_t* image = app.lp_SocketBuffer.get() + slot * kSocketSlotBytes;
            frame.image.assign(
                image, image + std::min<std::size_t>(frame.record.dwImageLength, kSocketSlotBytes));
            app.w_SocketReadIndex = static_cast<std::uint16_t>((slot + 1) % 2);
            {
                std::lock_guard lock(m_lock);
                m_received.push_back(std::move(frame));
            }
            m_changed.notify_all();
            app.h_SocketFreeSem->Release();
        }
    }

    bool WaitForFrames(std::size_t count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, kGenerous, [&] { return m_received.size() >= count; });
    }

    std::vector<ReceivedFrame> Received() {
        std::lock_guard lock(m_lock);
        return m_received;
    }

    // Waits for the receive thread to end on its own.
    bool WaitReceiverEnded() {
        const auto deadline = std::chrono::steady_clock::now() + kGenerous;
        while (m_receiver.Running()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    // Kernel message 1 was posted (nobody carries requests out here, so the
    // request stays in the mailbox).
    bool StreamFailurePosted() const {
        return g_lpApp->h_KernelMessagePostSem->Count() == 1 &&
               g_lpApp->dw_KernelMessage == Get_Image_TimeOut_Message;
    }

    std::vector<std::string> Trace() const { return TraceLines(m_folder.path()); }

    // The frames of `script` at `indices` arrived, in this order, byte-exact.
    void ExpectReceived(const StreamScript& script, const std::vector<std::size_t>& indices) {
        const std::vector<ReceivedFrame> received = Received();
        ASSERT_EQ(received.size(), indices.size());
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const ScriptFrame& sent = script.Frames().at(indices[i]);
            EXPECT_EQ(received[i].image, sent.image) << "frame " << indices[i];
            EXPECT_EQ(received[i].record.dwImageLength, sent.image.size())
                << "frame " << indices[i];
            EXPECT_EQ(received[i].record.dwHeaderLength, sent.header.size())
                << "frame " << indices[i];
        }
    }

    std::vector<std::size_t> Indices(std::initializer_list<std::size_t> list) { return list; }
    std::vector<std::size_t> Range(std::size_t from, std::size_t to) {
        std::vector<std::size_t> v;
        for (std::size_t i = from; i < to; ++i) v.push_back(i);
        return v;
    }

    test_support::TempDir m_folder;
    test_support::RecordingLiveView m_liveView;
    test_support::ScopedLiveViewRegistration m_registered{m_liveView};
    FakeDevice m_device;
    StreamReceiveSettings m_settings;
    platform::Thread m_receiver;
    platform::Thread m_consumer;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<ReceivedFrame> m_received;
};

class StreamReceiverLayoutTest : public StreamReceiverTest,
                                 public ::testing::WithParamInterface<FrameHeaderLayout> {};

INSTANTIATE_TEST_SUITE_P(Layouts, StreamReceiverLayoutTest,
                         ::testing::Values(FrameHeaderLayout::kNew, FrameHeaderLayout::kOld),
                         [](const auto& instance) {
                             return std::string(LayoutName(instance.param));
                         });

// ---- the request and the start -----------------------------------------------

TEST(GetVideoRequest, IsBuiltByteForByte) {
    EXPECT_EQ(BuildGetVideoRequest("ABC123", "10.1.2.3"),
              "GET /Getvideo.cgi?Cookie=ABC123 HTTP/1.1\r\n"
              "Accept: */* \r\n"
              "Accept-Language: zh-tw/r/nAccept-Encoding: gzip, deflate\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
              "1.1.4322)\r\n"
              "Host: 10.1.2.3\r\n"
              "Connection: Keep-Alive\r\n"
              "\r\n");
}

TEST(GetVideoRequest, RefusesTextThatWouldBreakTheRequestOrOverflowItsBuffer) {
    EXPECT_EQ(BuildGetVideoRequest("AB\r\nX-Evil: 1", "10.1.2.3"), "");
    EXPECT_EQ(BuildGetVideoRequest("AB", std::string("10.1.2.3\0", 9)), "");
    EXPECT_EQ(BuildGetVideoRequest(std::string(300, 'c'), "10.1.2.3"), "");
    // The longest cookie a login keeps, with the longest dotted address.
    EXPECT_LT(BuildGetVideoRequest(std::string(63, 'c'), "255.255.255.255").size(),
              kStreamRequestBytes);
}

TEST_F(StreamReceiverTest, ConnectsSendsTheRequestAndSetsTheFlagsAndCounters) {
    FakeStream stream(SmallFrames(FrameHeaderLayout::kNew, 1));
    AppGlobalState& app = *g_lpApp;
    app.dw_ByteCount = 99;
    app.dw_FrameCount = 98;
    app.dw_DataRate = 97;
    app.dw_FrameCountMark = 96;
    app.dw_FrameCountNow = 95;
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(WaitForFrames(1));

    const auto requests = m_device.RequestsTo("/Getvideo.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, BuildGetVideoRequest(kCookie, kHostIp));
    EXPECT_TRUE(app.f_Connected);
    EXPECT_TRUE(app.f_ReceiverRunning);
    EXPECT_TRUE(app.f_VideoConnected);
    EXPECT_TRUE(app.h_StartToShowImageEvent->IsSet());
    EXPECT_EQ(app.dw_FrameCount, 0u);
    EXPECT_EQ(app.dw_DataRate, 0u);
    EXPECT_EQ(app.dw_FrameCountMark, 0u);
    EXPECT_EQ(app.dw_FrameCountNow, 0u);
    // The stream counts a write once its send call has returned, which can be
    // after the client has already read and handed on the frame.
    ASSERT_TRUE(stream.WaitUntilFinished(kGenerous));
    EXPECT_EQ(app.dw_ByteCount, stream.SentBytes());
    EXPECT_EQ(Trace(), std::vector<std::string>{"Got start event"});
}

TEST_F(StreamReceiverTest, ResetRequestBeforeTheStartIsAnsweredAndEndsTheThread) {
    StartReceiver();
    g_lpApp->h_NotifyGetJPEGImageThreadResetEvent->Set();
    ASSERT_EQ(g_lpApp->h_FeedBackForNotifyResetEvent->Wait(kGenerous),
              platform::WaitResult::Signaled);
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(m_device.RequestCount(), 0u);
}

TEST_F(StreamReceiverTest, EndEventBeforeTheStartEndsTheThread) {
    StartReceiver();
    g_lpApp->h_EndofGetJpegImageEvent->Set();
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_TRUE(Trace().empty());
    EXPECT_FALSE(StreamFailurePosted());
}

// ---- framing ------------------------------------------------------------------

// Frame n of a stream of identical-sized frames is cut at byte n + 1, so the
// stream as a whole cuts a frame at every one of its offsets; the writes
// arrive as reads of the same bounds.
TEST_P(StreamReceiverLayoutTest, AFrameCutAtEveryOffsetArrivesWhole) {
    const auto jpeg = SmallJpegs().Frame(0);
    StreamScript script(GetParam());
    FrameHeaderDescription first = Describe(0);
    first.imageLength = static_cast<std::uint32_t>(jpeg.size());
    const std::size_t frameSize = WriteFrameHeader(first, GetParam()).size() + jpeg.size();
    ASSERT_LT(frameSize, kStreamReadBytes);
    const std::size_t count = frameSize - 1;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t frame = AddFrame(script, n, jpeg);
        ASSERT_EQ(script.Frames()[frame].size(), frameSize);
        script.CutFrameAt(frame, n + 1);
    }
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(count));

    ExpectReceived(script, Range(0, count));
    const auto received = Received();
    for (std::size_t n = 0; n < count; ++n) {
        ASSERT_EQ(received[n].record.dwTimeValue, StoredTimeValueOf(n)) << n;
    }
    // Every byte was counted once: no frame was carried over.
    EXPECT_EQ(g_lpApp->dw_ByteCount, script.size());
    EXPECT_TRUE(m_receiver.Running());
    EXPECT_FALSE(StreamFailurePosted());
}

struct CutCase {
    const char* name;
    // Cut offsets within each frame, given the frame's header and total size.
    std::vector<std::size_t> (*cuts)(std::size_t headerSize, std::size_t frameSize);
};

const CutCase kLargeFrameCuts[] = {
    {"OneWrite", [](std::size_t, std::size_t) { return std::vector<std::size_t>{}; }},
    {"HeaderAlone", [](std::size_t h, std::size_t) { return std::vector<std::size_t>{h}; }},
    {"HeaderAndOneImageByte",
     [](std::size_t h, std::size_t) { return std::vector<std::size_t>{h + 1}; }},
    {"HeaderAndThreeImageBytes",
     [](std::size_t h, std::size_t) { return std::vector<std::size_t>{h + 3}; }},
    {"InsideTheHeader",
     [](std::size_t h, std::size_t) {
         return std::vector<std::size_t>{1, h / 2, h - 1};
     }},
    {"HeaderByteByByte",
     [](std::size_t h, std::size_t) {
         std::vector<std::size_t> v;
         for (std::size_t i = 1; i <= h + 4; ++i) v.push_back(i);
         return v;
     }},
    {"AroundOneRead",
     [](std::size_t, std::size_t) {
         return std::vector<std::size_t>{1399, 1400, 1401, 2800};
     }},
    {"LastBytesAlone",
     [](std::size_t, std::size_t s) {
         return std::vector<std::size_t>{s - 2, s - 1};
     }},
    {"Every97Bytes",
     [](std::size_t, std::size_t s) {
         std::vector<std::size_t> v;
         for (std::size_t i = 97; i < s; i += 97) v.push_back(i);
         return v;
     }},
};

class StreamReceiverCutTest
    : public StreamReceiverTest,
      public ::testing::WithParamInterface<std::tuple<FrameHeaderLayout, CutCase>> {};

INSTANTIATE_TEST_SUITE_P(Cuts, StreamReceiverCutTest,
                         ::testing::Combine(::testing::Values(FrameHeaderLayout::kNew,
                                                              FrameHeaderLayout::kOld),
                                            ::testing::ValuesIn(kLargeFrameCuts)),
                         [](const auto& instance) {
                             return std::string(LayoutName(std::get<0>(instance.param))) +
                                    std::get<1>(instance.param).name;
                         });

// Frames of several reads each, cut as the case says; every frame arrives.
TEST_P(StreamReceiverCutTest, LargeFramesArriveWhole) {
    const auto [layout, cutCase] = GetParam();
    StreamScript script(layout);
    for (std::size_t n = 0; n < 6; ++n) {
        const std::size_t frame = AddFrame(script, n, LargeJpegs().Frame(n));
        const ScriptFrame& f = script.Frames()[frame];
        ASSERT_GT(f.size(), 2 * kStreamReadBytes);
        for (std::size_t cut : cutCase.cuts(f.header.size(), f.size()))
            script.CutFrameAt(frame, cut);
    }
    FakeStream stream(script);
    Start(stream, layout);
    ASSERT_TRUE(WaitForFrames(6));
    ExpectReceived(script, Range(0, 6));
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_P(StreamReceiverLayoutTest, TwoFramesInOneWriteBothArrive) {
    StreamScript script = SmallFrames(GetParam(), 7);
    script.JoinWithPrevious(1);
    script.JoinWithPrevious(3);
    script.JoinWithPrevious(4);
    // The second frame of a pair is itself cut inside its header.
    script.CutFrameAt(5, 3);
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(7));
    ExpectReceived(script, Range(0, 7));
}

// The read that completes a frame also brings whole frames behind it, and
// then the device falls silent: those frames are handed over at once, not
// after a next read that never brings anything. (The injected read time-out
// then ends the stream, so the test waits for nothing.)
struct HeldFramesCase {
    const char* name;
    // Adds what follows frame 0; returns the indices of the frames that
    // must arrive after it.
    std::vector<std::size_t> (*arrange)(StreamScript& script);
};

// A damaged frame as short as can be: an image that is no JPEG, ending in
// the end-of-image pair that resynchronisation looks for.
std::size_t AddShortDamagedFrame(StreamScript& script, std::size_t n) {
    std::vector<std::uint8_t> image(16, 0x00);
    image.insert(image.end(), {0xFF, 0xD9});
    return AddFrame(script, n, image);
}

const HeldFramesCase kHeldFramesCases[] = {
    {"AFrame",
     [](StreamScript& script) {
         AddFrame(script, 1, SmallJpegs().Frame(1));
         return std::vector<std::size_t>{1};
     }},
    {"ADamagedFrameThenAGoodOne",
     [](StreamScript& script) {
         AddShortDamagedFrame(script, 1);
         AddFrame(script, 2, SmallJpegs().Frame(2));
         return std::vector<std::size_t>{2};
     }},
    {"AHeaderWithoutImageThenAFrame",
     [](StreamScript& script) {
         FrameHeaderDescription empty = Describe(1);
         empty.imageLength = 0;
         script.AddFrame(empty, {});
         AddFrame(script, 2, SmallJpegs().Frame(2));
         return std::vector<std::size_t>{2};
     }},
};

class StreamReceiverHeldFramesTest
    : public StreamReceiverTest,
      public ::testing::WithParamInterface<std::tuple<HeldFramesCase, FrameHeaderLayout>> {};

INSTANTIATE_TEST_SUITE_P(HeldFrames, StreamReceiverHeldFramesTest,
                         ::testing::Combine(::testing::ValuesIn(kHeldFramesCases),
                                            ::testing::Values(FrameHeaderLayout::kNew,
                                                              FrameHeaderLayout::kOld)),
                         [](const auto& instance) {
                             return std::string(std::get<0>(instance.param).name) +
                                    LayoutName(std::get<1>(instance.param));
                         });

TEST_P(StreamReceiverHeldFramesTest, WholeFramesHeldArriveBeforeTheSilenceEndsTheStream) {
    const auto& [c, layout] = GetParam();
    StreamScript script(layout);
    AddFrame(script, 0, SmallJpegs().Frame(0));
    std::vector<std::size_t> expected{0};
    for (std::size_t n : c.arrange(script)) expected.push_back(n);

    // One write: the last 100 bytes of frame 0 and everything behind it.
    constexpr std::size_t kTail = 100;
    const ScriptFrame& first = script.Frames().front();
    script.CutFrameAt(0, first.size() - kTail);
    for (std::size_t frame = 1; frame < script.Frames().size(); ++frame)
        script.JoinWithPrevious(frame);
    ASSERT_LE(script.size() - (first.end() - kTail), kStreamReadBytes)
        << "the last write must fit one read";

    // Then the device closes: the next read fails and ends the stream, so a
    // frame that is only found by another read is never shown. (No time-out
    // is involved, so the outcome does not depend on how fast either side is.)
    script.SetEnd(StreamEnd::kClose);
    FakeStream stream(script);
    Start(stream, layout);
    ASSERT_TRUE(WaitReceiverEnded());

    ExpectReceived(script, expected);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{"Got start event", std::string(kTraceHeaderReadFailed)}));
    EXPECT_TRUE(StreamFailurePosted());
}

// ---- damaged frames and resynchronisation ----------------------------------------

TEST_P(StreamReceiverLayoutTest, AnImageEndSplitAcrossReadsIsStillFound) {
    StreamScript script(GetParam());
    AddFrame(script, 0, SmallJpegs().Frame(0));
    const std::size_t damaged = AddFrame(script, 1, WithApplicationMarker(SmallJpegs().Frame(1)));
    // FF in one read, D9 in the next.
    script.CutFrameAt(damaged, script.Frames()[damaged].size() - 1);
    AddFrame(script, 2, SmallJpegs().Frame(2));
    AddFrame(script, 3, SmallJpegs().Frame(3));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(3));
    ExpectReceived(script, Indices({0, 2, 3}));
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_P(StreamReceiverLayoutTest, AnImageOfTheWrongKindIsDroppedUpToItsEnd) {
    StreamScript script(GetParam());
    AddFrame(script, 0, WithApplicationMarker(SmallJpegs().Frame(0)));
    AddFrame(script, 1, SmallJpegs().Frame(1));
    const std::size_t large = AddFrame(script, 2, WithApplicationMarker(LargeJpegs().Frame(0)));
    script.CutFrameAt(large, 700);
    AddFrame(script, 3, SmallJpegs().Frame(3));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(2));
    ExpectReceived(script, Indices({1, 3}));
}

TEST_P(StreamReceiverLayoutTest, AHeaderWithoutImageLengthLetsTheNextHeaderFollow) {
    StreamScript script(GetParam());
    AddFrame(script, 0, SmallJpegs().Frame(0));
    FrameHeaderDescription empty = Describe(1);
    empty.imageLength = 0;
    script.AddFrame(empty, {});
    AddFrame(script, 2, SmallJpegs().Frame(2));
    // Once alone, once in one write with the frame behind it.
    const std::size_t joined = script.AddFrame(empty, {});
    const std::size_t next = AddFrame(script, 4, SmallJpegs().Frame(0));
    script.JoinWithPrevious(next);
    (void)joined;
    AddFrame(script, 5, SmallJpegs().Frame(1));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(4));
    ExpectReceived(script, Indices({0, 2, 4, 5}));
}

TEST_F(StreamReceiverTest, AnImageLengthBeyondTheSlotIsDroppedNeverCopied) {
    StreamScript script(FrameHeaderLayout::kOld);
    AddFrame(script, 0, SmallJpegs().Frame(0));
    for (std::uint32_t length : {std::uint32_t{kSocketSlotBytes + 1}, 0xFFFFFFFFu}) {
        FrameHeaderDescription huge = Describe(1);
        huge.imageLength = length;
        const std::size_t frame = script.AddFrame(huge, LargeJpegs().Frame(1));
        script.CutFrameAt(frame, 500);
    }
    AddFrame(script, 3, SmallJpegs().Frame(3));
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kOld);
    ASSERT_TRUE(WaitForFrames(2));
    ExpectReceived(script, Indices({0, 3}));
    EXPECT_TRUE(m_receiver.Running());
    EXPECT_FALSE(StreamFailurePosted());
}

// Each header announces fewer bytes than FF D8 FF DB, and a whole JPEG
// follows it: the start test must not pass on bytes behind the image, so no
// such frame is handed over, and the stream resumes behind each JPEG's end.
TEST_P(StreamReceiverLayoutTest, AnImageShorterThanTheJpegStartIsDroppedNeverHandedOver) {
    StreamScript script(GetParam());
    AddFrame(script, 0, SmallJpegs().Frame(0));
    for (std::uint32_t length : {1u, 2u, 3u}) {
        FrameHeaderDescription tiny = Describe(length);
        tiny.imageLength = length;
        script.AddFrame(tiny, SmallJpegs().Frame(length));
    }
    AddFrame(script, 4, SmallJpegs().Frame(0));
    AddFrame(script, 5, SmallJpegs().Frame(1));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(3));
    ExpectReceived(script, Indices({0, 4, 5}));
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, AQ9C0LengthShorterThanItsHeaderIsDropped) {
    g_lpApp->str_ProductID.Set("Q9C0");
    StreamScript script(FrameHeaderLayout::kNew);
    FrameHeaderDescription d = Describe(0);
    d.lengthIncludesHeader = true;
    script.AddFrame(d, SmallJpegs().Frame(0));
    FrameHeaderDescription shorter = Describe(1);
    shorter.imageLength = 5;  // less than the 8 bytes of header it should count
    script.AddFrame(shorter, SmallJpegs().Frame(1));
    d = Describe(2);
    d.lengthIncludesHeader = true;
    script.AddFrame(d, SmallJpegs().Frame(2));
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(WaitForFrames(2));
    ExpectReceived(script, Indices({0, 2}));
}

TEST_P(StreamReceiverLayoutTest, ADamagedHeaderIsDroppedAndTheStreamGoesOn) {
    StreamScript script(GetParam());
    AddFrame(script, 0, SmallJpegs().Frame(0));
    std::vector<std::uint8_t> header;
    if (GetParam() == FrameHeaderLayout::kNew) {
        header = WriteFrameHeader(Describe(1), GetParam());
        header[0] = 2;  // magic
    } else {
        FrameHeaderDescription d = Describe(1);
        d.channelIndex = 200;  // no such channel
        d.imageLength = static_cast<std::uint32_t>(SmallJpegs().Frame(1).size());
        header = WriteFrameHeader(d, GetParam());
    }
    script.AddFrameWithHeader(header, SmallJpegs().Frame(1));
    AddFrame(script, 2, SmallJpegs().Frame(2));
    AddFrame(script, 3, SmallJpegs().Frame(3));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(3));
    ExpectReceived(script, Indices({0, 2, 3}));
}

TEST_P(StreamReceiverLayoutTest, AStatusLineBeforeTheFirstFrameCostsOnlyThatFrame) {
    StreamScript script(GetParam());
    script.AddRaw("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
    for (std::size_t n = 0; n < 4; ++n) AddFrame(script, n, SmallJpegs().Frame(n));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(3));
    ExpectReceived(script, Indices({1, 2, 3}));
}

// ---- what the header does ------------------------------------------------------

TEST_P(StreamReceiverLayoutTest, HeaderFieldsReachTheSlotRecordUnchecked) {
    StreamScript script(GetParam());
    FrameHeaderDescription d = Describe(0);
    d.alarm = 0x0003;
    d.motion = 0x0028;
    d.packedDate = 0xFFFFFFFF;  // month 15, hour 31, ...
    d.status.videoLoss = true;
    d.status.qvga = 1;
    script.AddFrame(d, SmallJpegs().Frame(0));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(1));
    const FrameHeaderInfo record = Received()[0].record;
    EXPECT_EQ(record.wAlarm, 0x0003);
    EXPECT_EQ(record.wMotionDetect, 0x0028);
    EXPECT_EQ(record.byVideoLoss, 1);
    EXPECT_EQ(record.byQVGA, 1);
    EXPECT_EQ(record.stDate.year, 2063);
    EXPECT_EQ(record.stDate.month, 15);
    // The impossible date is not taken as the device's time.
    EXPECT_NE(g_lpApp->st_DeviceTime.Get().year, 2063);
}

// The header's side effects (here: the network-backup status text) run for
// accepted frames only.
TEST_P(StreamReceiverLayoutTest, OnlyAcceptedFramesActOnTheirHeaders) {
    StreamScript script(GetParam());
    FrameHeaderDescription backup = Describe(0);
    backup.status.networkBackup = true;
    script.AddFrame(backup, WithApplicationMarker(SmallJpegs().Frame(0)));
    FrameHeaderDescription empty = backup;
    empty.imageLength = 0;
    script.AddFrame(empty, {});
    AddFrame(script, 2, SmallJpegs().Frame(2));
    FakeStream stream(script);
    Start(stream, GetParam());
    ASSERT_TRUE(WaitForFrames(1));
    ExpectReceived(script, Indices({2}));
    EXPECT_TRUE(m_liveView.StatusTexts().empty());
}

TEST_F(StreamReceiverTest, AnAcceptedFrameActsOnItsHeader) {
    StreamScript script(FrameHeaderLayout::kNew);
    FrameHeaderDescription backup = Describe(0);
    backup.status.networkBackup = true;
    script.AddFrame(backup, SmallJpegs().Frame(0));
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(WaitForFrames(1));
    EXPECT_EQ(m_liveView.StatusTexts(), std::vector<std::string>{kNetworkBackupStatusText});
}

// ---- the ends of the thread -------------------------------------------------------

struct ExitCase {
    const char* name;
    // Sets the scene: the script, the settings, the receiver's options.
    void (*arrange)(StreamScript& script, StreamReceiveSettings& settings, bool& consume);
    std::uint32_t error;  // g_dwStreamError afterwards (0: unchanged)
    std::string_view trace;
    bool flagsCleared;
};

void TwoFramesThenClose(StreamScript& script, StreamReceiveSettings&, bool&) {
    script = SmallFrames(FrameHeaderLayout::kNew, 2);
    script.SetEnd(StreamEnd::kClose);
}
void CloseInsideAnImage(StreamScript& script, StreamReceiveSettings&, bool&) {
    AddFrame(script, 0, SmallJpegs().Frame(0));
    const std::size_t frame = AddFrame(script, 1, LargeJpegs().Frame(0));
    script.CloseAt(script.Frames()[frame].offset + 2000);
}
void ResetInsideAnImage(StreamScript& script, StreamReceiveSettings&, bool&) {
    const std::size_t frame = AddFrame(script, 0, LargeJpegs().Frame(0));
    script.ResetAt(script.Frames()[frame].offset + 3000);
}
void StallInsideAnImage(StreamScript& script, StreamReceiveSettings& settings, bool&) {
    const std::size_t frame = AddFrame(script, 0, LargeJpegs().Frame(0));
    script.StallAt(script.Frames()[frame].offset + 2000);
    settings.receiveTimeout = 50ms;
}
void StallBeforeAHeader(StreamScript& script, StreamReceiveSettings& settings, bool&) {
    script = SmallFrames(FrameHeaderLayout::kNew, 2);
    script.StallAt(script.Frames()[1].offset);
    settings.receiveTimeout = 50ms;
}
void NoSlotComesFree(StreamScript& script, StreamReceiveSettings& settings, bool& consume) {
    script = SmallFrames(FrameHeaderLayout::kNew, 3);
    settings.slotWait = 50ms;
    consume = false;
}

const ExitCase kExitCases[] = {
    {"ClosedBetweenFrames", TwoFramesThenClose, 0, kTraceHeaderReadFailed, false},
    {"ClosedInsideAnImage", CloseInsideAnImage, 0, kTraceImageReadFailed, false},
    {"ResetInsideAnImage", ResetInsideAnImage, 0, kTraceImageReadFailed, false},
    {"StalledInsideAnImage", StallInsideAnImage, 0, kTraceImageReadFailed, false},
    {"StalledBeforeAHeader", StallBeforeAHeader, 0, kTraceHeaderReadFailed, false},
    {"NoSlotComesFree", NoSlotComesFree, kStreamErrorSlotTimeout, kTraceSlotTimeout, true},
};

class StreamReceiverExitTest : public StreamReceiverTest,
                               public ::testing::WithParamInterface<ExitCase> {};

INSTANTIATE_TEST_SUITE_P(Exits, StreamReceiverExitTest, ::testing::ValuesIn(kExitCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_P(StreamReceiverExitTest, EndsWithItsErrorTraceLineFlagsAndARequestForANewLogin) {
    const ExitCase& c = GetParam();
    StreamScript script(FrameHeaderLayout::kNew);
    bool consume = true;
    c.arrange(script, m_settings, consume);
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew, true, consume);
    ASSERT_TRUE(WaitReceiverEnded());

    EXPECT_EQ(g_dwStreamError.load(), c.error);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Got start event", std::string(c.trace)}));
    EXPECT_EQ(g_lpApp->f_Connected.load(), !c.flagsCleared);
    EXPECT_EQ(g_lpApp->f_ReceiverRunning.load(), !c.flagsCleared);
    EXPECT_TRUE(StreamFailurePosted());
    EXPECT_FALSE(g_lpApp->h_FeedBackForNotifyResetEvent->IsSet());
}

struct ConnectCase {
    const char* name;
    const char* server;
    bool closedPort;
};

class StreamReceiverConnectTest : public StreamReceiverTest,
                                  public ::testing::WithParamInterface<ConnectCase> {};

INSTANTIATE_TEST_SUITE_P(Connects, StreamReceiverConnectTest,
                         ::testing::Values(ConnectCase{"Refused", "127.0.0.1", true},
                                           ConnectCase{"HostNameNotAddress", "dvr.example", false},
                                           ConnectCase{"Empty", "", false},
                                           ConnectCase{"OutOfRange", "300.1.1.1", false}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A port on which nothing listens any more.
std::uint16_t ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST_P(StreamReceiverConnectTest, NoConnectionIsReportedAs4098) {
    AppGlobalState& app = *g_lpApp;
    app.CSettingINI.m_strServerName = GetParam().server;
    if (GetParam().closedPort)
        app.CSettingINI.m_wWebPort = ClosedPort();
    StartReceiver();
    app.h_StartToGetJpegImageEvent->Set();
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_EQ(g_dwStreamError.load(), kStreamErrorConnect);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Got start event", "sClient.Connect failed"}));
    EXPECT_FALSE(app.f_Connected);
    EXPECT_FALSE(app.f_ReceiverRunning);
    EXPECT_TRUE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, ARequestThatCannotBeSentFailsAsAWriteFailure) {
    g_szSessionCookie.Set("AB\r\nX-Evil: 1");
    FakeStream stream(SmallFrames(FrameHeaderLayout::kNew, 1));
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_EQ(g_dwStreamError.load(), 0u);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Got start event", "sClient.Write failed"}));
    EXPECT_FALSE(g_lpApp->f_Connected);
    EXPECT_TRUE(StreamFailurePosted());
    EXPECT_TRUE(m_device.RequestsTo("/Getvideo.cgi").empty());
}

// Ending the stream stages while the thread waits for a slot is a stop, not
// a failure: no new login is asked for.
TEST_F(StreamReceiverTest, EndEventDuringTheSlotWaitEndsWith4099WithoutANewLogin) {
    FakeStream stream(SmallFrames(FrameHeaderLayout::kNew, 3));
    Start(stream, FrameHeaderLayout::kNew, true, false);
    // The first frame fills the only free slot; the next wait never ends by
    // itself.
    while (g_lpApp->h_SocketFilledSem->Count() == 0 && m_receiver.Running())
        std::this_thread::sleep_for(1ms);
    g_lpApp->h_EndofGetJpegImageEvent->Set();
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_EQ(g_dwStreamError.load(), kStreamErrorEndEvent);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{"Got start event", std::string(kTraceSlotEndEvent)}));
    EXPECT_FALSE(g_lpApp->f_Connected);
    EXPECT_FALSE(g_lpApp->f_ReceiverRunning);
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, StopDuringTheSlotWaitEndsWithoutANewLogin) {
    FakeStream stream(SmallFrames(FrameHeaderLayout::kNew, 3));
    Start(stream, FrameHeaderLayout::kNew, true, false);
    while (g_lpApp->h_SocketFilledSem->Count() == 0 && m_receiver.Running())
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(m_receiver.Stop(kGenerous), platform::StopOutcome::Ended);
    EXPECT_EQ(g_dwStreamError.load(), 0u);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{"Got start event", std::string(kTraceSlotWaitFailed)}));
    EXPECT_FALSE(g_lpApp->f_Connected);
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, StopDuringAStalledReadEndsWithoutANewLogin) {
    StreamScript script = SmallFrames(FrameHeaderLayout::kNew, 1);
    FakeStream stream(script);
    Start(stream, FrameHeaderLayout::kNew);
    ASSERT_TRUE(WaitForFrames(1));
    ASSERT_TRUE(stream.WaitUntilFinished());
    EXPECT_EQ(m_receiver.Stop(kGenerous), platform::StopOutcome::Ended);
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, ResetRequestEndsTheThreadQuietlyWithItsAnswer) {
    FakeStream stream(FrameCycle::FromJpegs(SmallJpegs(), FrameHeaderLayout::kNew));
    Start(stream, FrameHeaderLayout::kNew, false);
    ASSERT_TRUE(WaitForFrames(3));
    g_lpApp->h_NotifyGetJPEGImageThreadResetEvent->Set();
    ASSERT_EQ(g_lpApp->h_FeedBackForNotifyResetEvent->Wait(kGenerous),
              platform::WaitResult::Signaled);
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_FALSE(g_lpApp->f_Connected);
    EXPECT_FALSE(g_lpApp->f_ReceiverRunning);
    EXPECT_EQ(g_dwStreamError.load(), 0u);
    EXPECT_EQ(Trace(), std::vector<std::string>{"Got start event"});
    EXPECT_FALSE(StreamFailurePosted());
}

TEST_F(StreamReceiverTest, ConnectionTimeOutIsTheInjectedOne) {
    // An address outside this machine that does not answer; whether the
    // handshake times out or the network refuses at once, it is 4098.
    g_lpApp->CSettingINI.m_strServerName = "192.0.2.1";
    m_settings.connectTimeout = 50ms;
    StartReceiver();
    g_lpApp->h_StartToGetJpegImageEvent->Set();
    ASSERT_TRUE(WaitReceiverEnded());
    EXPECT_EQ(g_dwStreamError.load(), kStreamErrorConnect);
    EXPECT_TRUE(StreamFailurePosted());
}

}  // namespace
