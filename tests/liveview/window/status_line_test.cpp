// The status line around a disconnection and a reconnection made with the
// connect button, and the place of the frame title beside long rate texts.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "liveview/window/status_line_layout.h"
#include "media/frame_header.h"
#include "tests/liveview/window/live_window_fixture.h"
#include "tests/liveview/window/run_window.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"
#include "tools/streamgen/frame_header_writer.h"

namespace {

using namespace std::chrono_literals;
using test_support::ExpectReachable;
using test_support::PumpUntil;
using test_support::UserClick;

bool ShowsRates(const std::string& status) {
    return status.rfind("FR:", 0) == 0;
}

// ---- against the simulator's stream ----------------------------------------------

class StatusFromWindow : public window_test::LiveWindowTest {};

// Disconnected and connected again with the connect button: the line says
// "DISCONNECT!!" while no stream runs, and the first rates of the new
// stream count only its own frames.
TEST_F(StatusFromWindow, ReconnectionCountsOnlyTheNewStreamsFrames) {
    AppGlobalState& app = *g_lpApp;
    RunMainWindow([&](CDravelinDlg& main) {
        CQelButton* connect = main.FindButton(1002);
        ASSERT_NE(connect, nullptr);
        // A rate period over many frames of the first stream.
        ASSERT_TRUE(
            PumpUntil([&] { return app.f_VideoConnected.load() && app.dw_FrameCount >= 300; }));
        clock.Advance(2500ms);
        ASSERT_TRUE(PumpUntil([&] { return ShowsRates(main.StatusText()); }));

        ASSERT_TRUE(ExpectReachable(connect));
        UserClick(connect);
        EXPECT_FALSE(app.f_Connected.load());
        EXPECT_EQ(main.StatusText(), "DISCONNECT!!");
        clock.Advance(2500ms);
        test_support::detail::DeliverPostedMessages();
        EXPECT_EQ(main.StatusText(), "DISCONNECT!!");

        UserClick(connect);
        ASSERT_TRUE(PumpUntil([&] { return app.f_VideoConnected.load() && app.dw_FrameCount > 0; },
                              "the new stream's frames"));
        clock.Advance(2500ms);
        ASSERT_TRUE(PumpUntil([&] { return ShowsRates(main.StatusText()); }, "the first rates"));
        const std::string status = main.StatusText();
        // Read after the rates: the new stream has counted at least as many.
        const std::uint32_t counted = app.dw_FrameCount;
        double fps = -1;
        ASSERT_EQ(std::sscanf(status.c_str(), "FR:%lf fps", &fps), 1) << status;
        EXPECT_LE(fps * 2.5, counted + 0.01) << status << " after " << counted << " frames";
        test_support::SaveWidgetPicture(main, "main_window_after_reconnect.png");
    });
}

// ---- the window's own drawing ------------------------------------------------------

class StatusLineTest : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        picture.assign(320 * 240 * 3, 0x40);
    }

    // A frame as the kernel-message thread draws it, on a thread of its own.
    void DrawFrameElsewhere() {
        AppGlobalState& app = *g_lpApp;
        app.lp_CurrentImage = picture.data();
        app.w_ImageWidth = 320;
        app.w_ImageHeight = 240;
        std::thread kernel([this] { window->DrawVideoFrame(); });
        kernel.join();
        Pump();
    }

    std::vector<std::uint8_t> picture;
};

// A frame still being drawn while the stream is torn down ends a rate
// period: its rates do not replace "DISCONNECT!!", its alarm and title do
// not come back. The next status (a login step) ends that, and the rates
// of the next stream are shown again.
TEST_F(StatusLineTest, AFrameDrawnDuringTheTearDownLeavesTheDisconnectShown) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window_test::RunWindow(*window, [&](CDravelinDlg& main) {
        AppGlobalState& app = *g_lpApp;
        app.f_Connected = true;
        app.f_VideoConnected = true;
        app.dw_RateTick = static_cast<std::uint32_t>(clock.NowMs());
        DrawFrameElsewhere();
        C_FrameHeaderParser.m_wAlarmData = 0x0001;
        clock.Advance(2500ms);

        ASSERT_TRUE(ExpectReachable(main.FindButton(1002)));
        UserClick(main.FindButton(1002));
        ASSERT_EQ(main.StatusText(), "DISCONNECT!!");
        DrawFrameElsewhere();
        EXPECT_EQ(main.StatusText(), "DISCONNECT!!");
        EXPECT_EQ(main.AlarmText(), "");
        EXPECT_EQ(main.TitleText(), "");
        C_FrameHeaderParser.m_wAlarmData = 0;

        ASSERT_TRUE(platform::PostWindowMessage(main.Handle(), WM_SHOWLOGINSTATUS, 0, 1));
        Pump();
        EXPECT_EQ(main.StatusText(), "Start login");
        clock.Advance(2500ms);
        DrawFrameElsewhere();
        EXPECT_TRUE(ShowsRates(main.StatusText())) << main.StatusText();
    });
}

// The title beside a status text of any length: after it, never over it,
// and cut before the alarm mark.
TEST_F(StatusLineTest, TitleNeverCoversTheStatusText) {
    struct Case {
        int viewMode;
        const char* status;
        const char* title;
    };
    const Case cases[] = {
        {0, "FR:25.04 fps DR:2965 kbps ", "HU: CH01"},
        {1, "FR:25.04 fps DR:2965 kbps ", "HU: CH01"},
        {1, "FR:1234.56 fps DR:4294967295 kbps ", "HU: ENTRANCE NORTH 1"},
        {0, "Video Loss!", "HU: CH01"},
        {1, "System relogin too many user.Wait for 40 sec!!", "HU: GATE"},
        {13, "FR:9.50 fps DR:12 kbps ", "HU: PARKING LEVEL 2"},
    };
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.viewMode << " " << c.status << " / " << c.title);
        const ViewLayoutRow& v = ViewLayoutTable[static_cast<std::size_t>(c.viewMode)];
        const QString status = QString::fromLatin1(c.status);
        const StatusLineLayout line =
            LayOutStatusLine(metrics, v, status, QString::fromLatin1(c.title));
        const QRect statusRect(line.statusAt,
                               QSize(metrics.horizontalAdvance(status), metrics.height()));
        EXPECT_EQ(line.statusAt, QPoint(v[16] + 5, v[17] + 2));
        if (line.title.isEmpty()) {
            // No room left before the alarm mark.
            EXPECT_GT(statusRect.right(), v[75] - 34 - 30);
            continue;
        }
        const QRect titleRect(line.titleAt,
                              QSize(metrics.horizontalAdvance(line.title), metrics.height()));
        EXPECT_FALSE(statusRect.intersects(titleRect));
        EXPECT_GE(line.titleAt.x(), v[16] + 160);
        EXPECT_LE(titleRect.right(), v[75] - 34);
        // A short status leaves the title at its place.
        if (statusRect.right() < v[16] + 150) {
            EXPECT_EQ(line.titleAt.x(), v[16] + 160);
        }
    }
    const StatusLineLayout none =
        LayOutStatusLine(metrics, ViewLayoutTable[0], QStringLiteral("CONNECT!!"), QString());
    EXPECT_TRUE(none.title.isEmpty());
}

// The window's status line with long rates and a frame title from the
// stream's header, for a person to look at.
TEST_F(StatusLineTest, PictureOfLongRatesAndATitle) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->w_ViewMode = 1;  // the narrow QVGA line
    streamgen::FrameHeaderDescription header;
    header.channelIndex = 1;
    std::array<char, 16> title{};
    const std::string name = "ENTRANCE NORTH 1";
    std::copy(name.begin(), name.end(), title.begin());
    header.title = title;
    const std::vector<std::uint8_t> image{0xFF, 0xD8, 0xFF, 0xDB, 0, 0, 0, 0};
    header.imageLength = static_cast<std::uint32_t>(image.size());
    std::vector<std::uint8_t> bytes =
        streamgen::WriteFrameHeader(header, streamgen::FrameHeaderLayout::kNew);
    bytes.insert(bytes.end(), image.begin(), image.end());
    C_FrameHeaderParser.SetNewLayout(true);
    std::uint32_t length = 0;
    FrameHeaderInfo record{};
    ASSERT_EQ(C_FrameHeaderParser.Parse(bytes, length, record), FrameHeaderStatus::kOk);
    ASSERT_TRUE(C_FrameHeaderParser.Evaluate(std::span(bytes).subspan(length)));

    AppGlobalState& app = *g_lpApp;
    app.f_VideoConnected = true;
    app.dw_RateTick = static_cast<std::uint32_t>(clock.NowMs());
    app.dw_FrameCount = 62;
    app.dw_ByteCount = 926'600;
    clock.Advance(2477ms);
    DrawFrameElsewhere();
    EXPECT_EQ(window->StatusText(), "FR:25.03 fps DR:2922 kbps ");
    EXPECT_EQ(window->TitleText(), "HU: " + name);
    test_support::SaveWidgetPicture(*window, "main_window_status_line_title.png");
}

// The title bar's info text (a camera's or video server's clock, a
// recorder's title) fits between its place and the title bar's buttons:
// nothing of it runs under them, whatever the font at hand.
class InfoTextTest : public StatusLineTest,
                     public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(InfoTextTest, EndsBeforeTheTitleButtons) {
    const auto [product, title] = GetParam();
    ASSERT_EQ(Open(product), 1);
    AppGlobalState& app = *g_lpApp;
    app.st_DeviceTime.Set(
        SystemTime{.year = 2026, .month = 12, .day = 28, .hour = 23, .minute = 58, .second = 58});
    if (*title != '\0')
        app.str_DeviceTitle.Set(title);
    window_test::RunWindow(*window, [&](CDravelinDlg& main) {
        Pump();
        const ViewLayoutRow& v = ViewLayoutTable[static_cast<std::size_t>(
            std::min<int>(app.w_ViewMode, kViewModeCount - 1))];
        // The window's own drawing, without the buttons over it.
        QImage drawn(main.size(), QImage::Format_RGB32);
        main.render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        int rightmost = -1;
        for (int y = v[kVlInfoY] - 4; y < v[kVlInfoY] + 18; ++y) {
            for (int x = v[kVlInfoX]; x < drawn.width(); ++x) {
                const QColor color = drawn.pixelColor(x, y);
                if (color.red() > 200 && color.green() > 200 && color.blue() < 80)
                    rightmost = std::max(rightmost, x);
            }
        }
        EXPECT_GT(rightmost, v[kVlInfoX]) << "no info text drawn";
        EXPECT_LT(rightmost, v[kVlTitleX]) << "the text runs under the title buttons";
        test_support::SaveWidgetPicture(main,
                                        std::string("main_window_info_text_") + product + ".png");
    });
}

INSTANTIATE_TEST_SUITE_P(Products, InfoTextTest,
                         ::testing::Values(std::pair{"Q9C0", ""}, std::pair{"Q3A2", ""},
                                           std::pair{"Q8A7", "WWWWWWWW"}),
                         [](const auto& instance) { return std::string(instance.param.first); });

}  // namespace
