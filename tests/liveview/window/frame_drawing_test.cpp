// The frame drawing's paths (line doubling, the drawing surface's limit,
// full screen, the PTZ click mark, the frame copy, the snapshot), the
// frame-drawn event on every path, the rates and the status codes.

#include <gtest/gtest.h>

#include <QBackingStore>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "media/frame_header.h"
#include "resample/resize.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/wait.h"

namespace {

using namespace std::chrono_literals;
using window_test::WindowTest;

class FrameDrawingTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        AppGlobalState& app = *g_lpApp;
        app.lp_DoubleLineBuffer.reset(new std::uint8_t[kImageSlotBytes]());
        app.lp_FrameCopyBuffer.reset(new std::uint8_t[kImageSlotBytes]());
        app.h_FrameCopySem = std::make_unique<platform::Semaphore>(0, 1);
    }

    // A bottom-up picture whose every pixel is (b, g, r) = (x, y, 7) mod 256.
    void SetFrame(int width, int height) {
        picture.assign(static_cast<std::size_t>(width) * height * 3, 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(y);
                p[2] = 7;
            }
        }
        AppGlobalState& app = *g_lpApp;
        app.lp_CurrentImage = picture.data();
        app.w_ImageWidth = static_cast<std::uint16_t>(width);
        app.w_ImageHeight = static_cast<std::uint16_t>(height);
        app.f_VideoConnected = true;
    }

    // Draws one frame; checks the frame-drawn event was set.
    int Draw() {
        g_lpApp->h_FinishShowImageJobEvent->Reset();
        const int result = window->DrawVideoFrame();
        EXPECT_TRUE(g_lpApp->h_FinishShowImageJobEvent->IsSet());
        Pump();
        return result;
    }

    std::vector<std::uint8_t> picture;
};

struct PathCase {
    const char* name;
    const char* product;
    int width;
    int height;
    bool connected;
    bool fullScreen;
    int wantResult;
    QSize wantPicture;  // empty: nothing drawn
    QPoint wantOrigin;
};

class DrawPaths : public FrameDrawingTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(DrawPaths, DrawsWhatThePathSays) {
    const PathCase& c = GetParam();
    ASSERT_EQ(Open(c.product), 1);
    g_lpApp->w_ViewMode = 0;
    SetFrame(c.width, c.height);
    g_lpApp->f_VideoConnected = c.connected;
    if (c.fullScreen) {
        window->OnFitScreen();
    }
    EXPECT_EQ(Draw(), c.wantResult);
    const QImage shown = window->CurrentPicture();
    if (c.wantPicture.isEmpty()) {
        EXPECT_TRUE(shown.isNull());
        return;
    }
    EXPECT_EQ(shown.size(), c.wantPicture);
    EXPECT_EQ(window->CurrentPictureOrigin(), c.wantOrigin);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DrawPaths,
    ::testing::Values(PathCase{"NotConnected", "Q8A7", 640, 228, false, false, 0, {}, {}},
                      PathCase{"FieldHeightIsDoubled", "Q8A7", 640, 228, true, false, 1,
                               QSize(640, 456), QPoint(42, 96)},
                      PathCase{"PalFieldIsDoubled", "Q8A7", 720, 288, true, false, 1,
                               QSize(720, 576), QPoint(42, 96)},
                      PathCase{"FullFrameIsNotDoubled", "Q8A7", 704, 480, true, false, 1,
                               QSize(704, 480), QPoint(42, 96)},
                      PathCase{"Q9C0IsNotDoubled", "Q9C0", 640, 480, true, false, 1,
                               QSize(640, 480), QPoint(42, 96)},
                      PathCase{"QvgaIsNotDoubled", "Q8A7", 320, 240, true, false, 1,
                               QSize(320, 240), QPoint(42, 96)},
                      PathCase{"TallerThanTheSurfaceIsCut", "Q9C0", 640, 600, true, false, 1,
                               QSize(640, 576), QPoint(42, 96)},
                      PathCase{
                          "LargerThanTheSlotIsDropped", "Q8A7", 1280, 720, true, false, 0, {}, {}},
                      PathCase{"FullScreenFillsTheWorkArea", "Q8A7", 704, 240, true, true, 1,
                               QSize(1920, 1080), QPoint(0, 0)}),
    [](const ::testing::TestParamInfo<PathCase>& instance) {
        return std::string(instance.param.name);
    });

TEST_F(FrameDrawingTest, DoubledLinesRepeatTheField) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->w_ViewMode = 0;
    SetFrame(640, 228);
    ASSERT_EQ(Draw(), 1);
    const QImage shown = window->CurrentPicture().convertToFormat(QImage::Format_RGB888);
    // Top row of the picture is the last bottom-up row: y = 227.
    EXPECT_EQ(qGreen(shown.pixel(10, 0)), 227);
    EXPECT_EQ(qBlue(shown.pixel(10, 0)), 10);
    EXPECT_EQ(qRed(shown.pixel(10, 0)), 7);
}

struct FullScreenCase {
    int width;
    int height;
    QRect area;
    std::size_t bufferBytes = 0;  // 0: the buffer as allocated
};

// The full-screen picture is, pixel for pixel, what the resize routine makes
// of the (doubled) frame for the whole work area, turned top-down.
TEST_F(FrameDrawingTest, FullScreenPictureIsTheWorkAreaResize) {
    const FullScreenCase cases[] = {
        {704, 480, window_test::kWorkArea},
        {704, 240, window_test::kWorkArea},
        {352, 240, window_test::kWorkArea},
        {720, 288, QRect(0, 0, 1366, 768)},
        {320, 240, QRect(0, 0, 1280, 1024)},
        {640, 480, QRect(0, 0, 600, 400)},
        // A buffer that holds the work area but not the picture's rows.
        {640, 480, QRect(0, 0, 600, 400), 600 * 400 * 3},
    };
    ASSERT_EQ(Open("Q8A7"), 1);
    for (const FullScreenCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " on " << c.area.width()
                                        << "x" << c.area.height());
        window->SetWorkArea(c.area);
        if (c.bufferBytes != 0)
            g_lpApp->dw_FullScreenBufferBytes = c.bufferBytes;
        if (!window->IsFullScreen())
            window->OnFitScreen();
        SetFrame(c.width, c.height);
        // What the frame drawing starts from: the frame, or its doubled lines.
        std::vector<std::uint8_t> frame = picture;
        int height = c.height;
        if (c.width >= 640 && c.height * 2 <= 576) {
            frame.assign(static_cast<std::size_t>(c.width) * height * 6, 0);
            ASSERT_GE(ResizeImage_8u_C3R(picture.data(), {c.width, height}, c.width * 3,
                                         {0, 0, c.width, height}, frame.data(), c.width * 3,
                                         {c.width, height * 2}, 1.0, 2.0, kResizeLinear),
                      kResizeOk);
            height *= 2;
        }
        const int w = c.area.width();
        const int h = c.area.height();
        std::vector<std::uint8_t> whole(static_cast<std::size_t>(w) * h * 3, 0);
        ASSERT_GE(ResizeImage_8u_C3R(frame.data(), {c.width, height}, c.width * 3,
                                     {0, 0, c.width, height}, whole.data(), w * 3, {w, h},
                                     static_cast<double>(w) / c.width,
                                     static_cast<double>(h) / height, kResizeNearest),
                  kResizeOk);
        ASSERT_EQ(Draw(), 1);
        const QImage shown = window->CurrentPicture();
        ASSERT_EQ(shown.size(), QSize(w, h));
        ASSERT_EQ(shown.format(), QImage::Format_RGB32);
        int wrongRows = 0;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = &whole[static_cast<std::size_t>(h - 1 - y) * w * 3];
            const auto* out = reinterpret_cast<const std::uint32_t*>(shown.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const std::uint32_t want = 0xFF000000u | (std::uint32_t{in[x * 3 + 2]} << 16) |
                                           (std::uint32_t{in[x * 3 + 1]} << 8) | in[x * 3];
                if (out[x] != want) {
                    ++wrongRows;
                    break;
                }
            }
        }
        EXPECT_EQ(wrongRows, 0);
    }
}

// The paint writes a picture painted from a row list (the doubled field,
// full screen) into the window's backing store: after the paint of a new
// frame the store holds the picture pixel for pixel, repeated and blended
// rows and all, wherever the buttons left over it do not cover it.
TEST_F(FrameDrawingTest, PaintPutsThePictureIntoTheBackingStore) {
    struct StoreCase {
        bool fullScreen;
        int width;
        int height;
        const char* picture;  // saved for a person to look at, or null
    };
    const StoreCase cases[] = {
        {false, 704, 240, "main_window_doubled_frame.png"},
        {true, 704, 480, "main_window_full_screen_frame.png"},
        {true, 352, 240, nullptr},
        {true, 704, 240, nullptr},
    };
    ASSERT_EQ(Open("Q8A7"), 1);
    // The view mode whose picture rectangle takes the doubled field, in a
    // window large enough for it.
    g_lpApp->w_ViewMode = 6;
    window->clearMask();
    window->resize(722, 608);
    window->show();
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height
                                        << (c.fullScreen ? " full screen" : " windowed"));
        if (c.fullScreen && !window->IsFullScreen())
            window->OnFitScreen();
        // Two frames: the second repaints just the picture.
        SetFrame(c.width, c.height);
        ASSERT_EQ(Draw(), 1);
        for (std::uint8_t& b : picture) b = static_cast<std::uint8_t>(255 - b);
        ASSERT_EQ(Draw(), 1);
        Pump();
        const QImage shown = window->CurrentPicture();
        const QRect at(window->CurrentPictureOrigin(), shown.size());
        ASSERT_TRUE(window->rect().contains(at));
        QBackingStore* store = window->backingStore();
        ASSERT_NE(store, nullptr);
        ASSERT_EQ(store->paintDevice()->devType(), QInternal::Image);
        const QImage stored = static_cast<QImage*>(store->paintDevice())
                                  ->copy(at)
                                  .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(stored.size(), shown.size());
        // The buttons left over the picture are painted over it.
        QRegion buttons;
        for (const QWidget* child : window->findChildren<QWidget*>()) {
            if (child->isVisible())
                buttons += child->geometry();
        }
        int wrongRows = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (stored.pixel(x, y) != shown.pixel(x, y) &&
                    !buttons.contains(at.topLeft() + QPoint(x, y))) {
                    ++wrongRows;
                    break;
                }
            }
        }
        EXPECT_EQ(wrongRows, 0);
        if (c.picture != nullptr)
            test_support::SaveImagePicture(stored, c.picture);
    }
}

TEST_F(FrameDrawingTest, FullScreenHidesTheButtonsAndIgnoresStatusTexts) {
    ASSERT_EQ(Open("Q8A7"), 1);
    SetFrame(352, 240);
    window->SetStatusText("before");
    window->OnFitScreen();
    EXPECT_TRUE(window->IsFullScreen());
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->geometry(), window_test::kWorkArea);
    EXPECT_TRUE(window->TitleButton(2)->isHidden());
    EXPECT_TRUE(window->PanelUpButton()->isHidden());
    window->SetStatusText("during");
    EXPECT_EQ(window->StatusText(), "before");
    // Esc leaves: the layout's size, centred, buttons back.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &esc);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->geometry(), QRect((1920 - 370) / 2, (1080 - 366) / 2, 370, 366));
    EXPECT_FALSE(window->TitleButton(2)->isHidden());
}

TEST_F(FrameDrawingTest, HotPointCrossOnlyInWindowedMode) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    g_lpApp->w_ViewMode = 0;
    SetFrame(320, 240);
    app.b_PtzClickMode = 2;
    app.w_HotPointFrames = 2;
    app.w_HotPointRect[0] = 100;
    app.w_HotPointRect[1] = 50;
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(app.w_HotPointFrames.load(), 1);
    const QImage shown = window->CurrentPicture().convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(shown.pixel(100, 50), qRgb(255, 0, 0));
    EXPECT_NE(shown.pixel(10, 10), qRgb(255, 0, 0));

    window->OnFitScreen();
    SetFrame(320, 240);
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(app.w_HotPointFrames.load(), 1);
}

TEST_F(FrameDrawingTest, FrameCopyHandsTheDoubledFrameOver) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    SetFrame(704, 240);
    app.f_FrameCopyRequest = true;
    ASSERT_EQ(Draw(), 1);
    EXPECT_FALSE(app.f_FrameCopyRequest.load());
    EXPECT_EQ(app.w_CopyWidth, 704);
    EXPECT_EQ(app.w_CopyHeight, 480);
    EXPECT_EQ(app.h_FrameCopySem->Wait(0ms), platform::WaitResult::Signaled);
    EXPECT_EQ(
        0, std::memcmp(app.lp_FrameCopyBuffer.get(), app.lp_DoubleLineBuffer.get(), 704 * 480 * 3));
}

TEST_F(FrameDrawingTest, SnapshotFailureIsReported) {
    ASSERT_EQ(Open("Q8A7"), 1);
    SetFrame(320, 240);
    settings().m_strSnapshotPath = (window_test::SkinFolder() / "no" / "such" / "folder").string();
    g_lpApp->f_SnapshotRequest = true;
    ASSERT_EQ(Draw(), 1);
    EXPECT_FALSE(g_lpApp->f_SnapshotRequest.load());
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4116});

    test_support::TempDir shots;
    settings().m_strSnapshotPath = shots.path().string();
    g_lpApp->f_SnapshotRequest = true;
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shots.path()), {}), 1);
}

TEST_F(FrameDrawingTest, AlarmTextIsTheLowestAlarmedChannel) {
    ASSERT_EQ(Open("Q8A7"), 1);
    SetFrame(320, 240);
    C_FrameHeaderParser.m_wAlarmData = 0x0004;
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->AlarmText(), "3");
    C_FrameHeaderParser.m_wAlarmData = 0;
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->AlarmText(), "");
}

TEST_F(FrameDrawingTest, RatesEveryTwoSeconds) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    SetFrame(320, 240);
    app.dw_RateTick = static_cast<std::uint32_t>(clock.NowMs());
    const std::uint32_t start = app.dw_FrameCount;
    window->OnRateTimer();  // the period's start count
    clock.Advance(1999ms);
    app.dw_FrameCount = start + 50;
    app.dw_ByteCount = 400'000;
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->StatusText(), "Start to get image!!");
    clock.Advance(1ms);
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->StatusText(), "FR:25.00 fps DR:1562 kbps ");
    app.f_VideoLoss = true;
    clock.Advance(2000ms);
    ASSERT_EQ(Draw(), 1);
    EXPECT_EQ(window->StatusText(), "Video Loss!");
}

struct StatusCase {
    std::uint64_t code;
    std::uint64_t value;
    const char* want;  // null: unchanged
};

TEST_F(FrameDrawingTest, LoginStatusCodes) {
    ASSERT_EQ(Open("Q8A7"), 1);
    const StatusCase cases[] = {
        {0, 125, "ESCAPED TIME:  02:05"},
        {0, 6000, "ESCAPED TIME:  00:00"},
        {1, 0, "Start login"},
        {2, 0, "Server is too busy!! Try later !!"},
        {3, 0, "Login process is failed,wait a moment !!"},
        {4, 0, nullptr},
        {7, 0, "System relogin too many user.Wait for 40 sec!!\nApplication will try again."},
        {8, 0, nullptr},
        {9, 0, nullptr},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.code);
        window->SetStatusText("unchanged");
        ASSERT_TRUE(
            platform::PostWindowMessage(window->Handle(), WM_SHOWLOGINSTATUS, c.value, c.code));
        Pump();
        EXPECT_EQ(window->StatusText(), c.want != nullptr ? c.want : "unchanged");
    }
    // 5 and 6 paint the connect button's states.
    CQelButton* connect = window->FindButton(1002);
    ASSERT_NE(connect, nullptr);
    platform::PostWindowMessage(window->Handle(), WM_SHOWLOGINSTATUS, 0, 6);
    Pump();
    EXPECT_EQ(connect->StateIndex(), 1);
    platform::PostWindowMessage(window->Handle(), WM_SHOWLOGINSTATUS, 0, 5);
    Pump();
    EXPECT_EQ(connect->StateIndex(), 0);
}

// While frames arrive as fast as the drawing thread can take them, the GUI
// thread still handles its input: each posted mouse move is seen within a
// bounded number of event-loop turns. Each move waits for a frame drawn
// after the one before, so frames really arrive all along, however slowly
// a loaded machine runs the drawing thread.
TEST_F(FrameDrawingTest, InputIsHandledWhileFramesArrive) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    app.w_ViewMode = 0;
    SetFrame(704, 240);
    window->show();
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread drawing([&] {
        while (!stop) {
            window->DrawVideoFrame();
            ++drawn;
        }
    });
    for (int i = 0; i < 20; ++i) {
        const int before = drawn.load();
        if (!test_support::WaitUntil([&] { return drawn.load() > before; }, "a new frame")) {
            ADD_FAILURE() << "no frame drawn before move " << i;
            break;
        }
        const QPointF point(10 + i, 20 + i);
        QCoreApplication::postEvent(
            window.get(), new QMouseEvent(QEvent::MouseMove, point, window->mapToGlobal(point),
                                          Qt::NoButton, Qt::NoButton, Qt::NoModifier));
        int turns = 0;
        while (app.pt_MousePoint[0] != 10 + i && turns < 50) {
            Pump();
            ++turns;
        }
        EXPECT_LT(turns, 50) << "move " << i;
    }
    stop = true;
    drawing.join();
    EXPECT_GT(drawn.load(), 0);
}

}  // namespace
