// The main window against the device simulator, product by product: the real
// pipeline, fed by devicesim's stream on 127.0.0.1, draws a moving picture of
// the family's own size in the layout row that size chooses, for every
// resolution and video standard; and a multi-channel recorder's channel
// buttons switch the picture, with the lit button following the stream.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "liveview/skin/skin_tables.h"
#include "liveview/window/main_window.h"
#include "tests/liveview/window/live_window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/drawn_skin.h"
#include "tests/support/wait.h"
#include "tools/devicesim/device_model.h"
#include "tools/streamgen/device_jpeg.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::PumpUntil;

const QRect kWorkArea(0, 0, 1920, 1080);

// The channel mark of the painted picture, read at the size it was painted
// from: the stream's pictures are painted at their width, and at twice their
// height when their lines are doubled.
int ChannelShown(const QImage& picture, int streamedHeight) {
    if (picture.isNull() || streamedHeight <= 0)
        return -1;
    const int scale = picture.height() / streamedHeight;
    if (scale < 1)
        return -1;
    return streamgen::ReadChannelMark(picture.width(), streamedHeight, [&](int x, int y) {
        return qGray(picture.pixel(x, y * scale + scale / 2)) > 128;
    });
}

class SimulatedFamily : public window_test::LiveWindowTest {
protected:
    // Acts as `profile`, logs in and opens the main window with the given
    // "Image Resolution" and "Selected Channel", as the program does after
    // its login dialog.
    void Open(devicesim::DeviceProfile profile, int resolution, int channel) {
        UseDevice(std::move(profile));
        settings().m_dwImageResolution = static_cast<std::uint32_t>(resolution);
        settings().m_bySelectedChannel = static_cast<std::uint8_t>(channel);
        ASSERT_TRUE(LogIn());
        window = std::make_unique<CDravelinDlg>();
        window->SetWorkArea(kWorkArea);
        ASSERT_EQ(window->OnInitDialog(), 1);
        window->show();
    }

    void TearDown() override {
        if (window)
            window->DestroyWindow();
        window.reset();
        LiveWindowTest::TearDown();
    }

    std::unique_ptr<CDravelinDlg> window;
};

// ---- every product, resolution and standard ------------------------------------

struct FamilyCase {
    std::string product;
    int videoMode;   // 0 NTSC, 1 PAL
    int resolution;  // "Image Resolution": 0 full, 1 half, 2 quarter size
    int row;         // the layout row the window keeps
    QSize streamed;  // the picture on the stream
    QSize painted;   // and as the window paints it
};

std::vector<FamilyCase> AllCases() {
    // Per family, by standard and resolution: the row and the streamed size;
    // recorders and video servers send field-height pictures, painted at
    // twice their height when 640 or more wide.
    struct Family {
        std::vector<std::string> products;
        bool pal;
        int rows[2][3];
        QSize sizes[2][3];
    };
    const Family families[] = {
        {{"Q8A7", "Q8A5", "Q8A3"},
         true,
         {{0, 1, 1}, {2, 3, 3}},
         {{{640, 228}, {320, 228}, {320, 228}}, {{640, 276}, {320, 276}, {320, 276}}}},
        {{"Q3A2", "Q7B7", "Q7B5", "Q7B3"},
         true,
         {{6, 7, 7}, {8, 9, 9}},
         {{{704, 240}, {352, 240}, {352, 240}}, {{704, 288}, {352, 288}, {352, 288}}}},
        {{"Q9C0"}, false, {{12, 13, 13}, {}}, {{{640, 480}, {320, 240}, {160, 120}}, {}}},
    };
    std::vector<FamilyCase> cases;
    for (const Family& family : families) {
        for (const std::string& product : family.products) {
            for (int standard = 0; standard < (family.pal ? 2 : 1); ++standard) {
                for (int resolution = 0; resolution < 3; ++resolution) {
                    const QSize streamed = family.sizes[standard][resolution];
                    const bool doubled = product != "Q9C0" && streamed.width() >= 640;
                    cases.push_back(
                        {product, standard, resolution, family.rows[standard][resolution], streamed,
                         QSize(streamed.width(), streamed.height() * (doubled ? 2 : 1))});
                }
            }
        }
    }
    return cases;
}

std::string CaseName(const FamilyCase& c) {
    return c.product + (c.videoMode != 0 ? "_pal" : "_ntsc") + "_res" +
           std::to_string(c.resolution);
}

void PrintTo(const FamilyCase& c, std::ostream* out) {
    *out << CaseName(c);
}

class EveryFamily : public SimulatedFamily, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(EveryFamily, MovingPictureInTheFamilysLayoutRow) {
    const FamilyCase& c = GetParam();
    AppGlobalState& app = *g_lpApp;
    devicesim::DeviceProfile profile = devicesim::ProfileForProduct(c.product).value();
    profile.videoMode = c.videoMode;
    // The setting as a fresh Setting.ini has it; the window fits it to the
    // product (a Q3A2 keeps 1, the cameras take 2).
    Open(profile, c.resolution, 1);
    if (HasFatalFailure())
        return;

    const auto shown = [&] {
        const QImage picture = window->CurrentPicture();
        return app.w_ViewMode.load() == c.row && picture.size() == c.painted;
    };
    ASSERT_TRUE(PumpUntil(shown, "the picture in its layout row"));
    const QImage first = window->CurrentPicture();
    ASSERT_TRUE(PumpUntil(
        [&] {
            const QImage now = window->CurrentPicture();
            return shown() && now != first;
        },
        "the next picture"));

    // The window wears the row's geometry and paints at its video origin.
    const ViewLayoutRow& v = ViewLayoutTable[static_cast<std::size_t>(c.row)];
    EXPECT_EQ(window->size(), QSize(v[kVlWindowLeft + 2] - v[kVlWindowLeft],
                                    v[kVlWindowLeft + 3] - v[kVlWindowLeft + 1]));
    EXPECT_EQ(window->CurrentPictureOrigin(), QPoint(v[kVlVideoLeft], v[kVlVideoTop]));
    EXPECT_EQ(app.w_ImageWidth.load(), c.streamed.width());
    EXPECT_EQ(app.w_ImageHeight.load(), c.streamed.height());

    // The rates count the drawn frames ("FR:0.00 fps" would be a stream
    // whose pictures the window never draws).
    clock.Advance(2500ms);
    ASSERT_TRUE(PumpUntil([&] { return window->StatusText().rfind("FR:", 0) == 0; },
                          "the rates in the status line"));
    EXPECT_EQ(window->StatusText().rfind("FR:0.00 ", 0), std::string::npos) << window->StatusText();

    // The stream's channel is the one the window keeps: a Q3A2 shows and
    // saves its first input.
    EXPECT_EQ(ChannelShown(window->CurrentPicture(), c.streamed.height()),
              device->model.LastStreamSettings().channel);
    if (c.product == "Q3A2") {
        EXPECT_EQ(int{settings().m_bySelectedChannel.load()}, 1);
        EXPECT_EQ(int{window->ChannelBar().CurrentChannel()}, 1);
    }
    test_support::SaveWidgetPicture(*window, "live_" + CaseName(c) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Simulator, EveryFamily, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<FamilyCase>& param) {
                             return CaseName(param.param);
                         });

// ---- channels ---------------------------------------------------------------------

// Waits until the stream shows `channel` in the picture and the bar lights
// its button alone.
::testing::AssertionResult Follows(CDravelinDlg& window, int channel, int streamedHeight) {
    return PumpUntil(
        [&] {
            CChannelBar& bar = window.ChannelBar();
            if (ChannelShown(window.CurrentPicture(), streamedHeight) != channel ||
                bar.CurrentChannel() != channel)
                return false;
            for (int i = 0; i < bar.ButtonCount(); ++i) {
                const CQelButton* button = bar.Button(i);
                const bool lit = button != nullptr && button->StateIndex() == 0;
                if (i <= 16 && lit != (i == channel))
                    return false;
            }
            return true;
        },
        "the picture and the lit button of the channel");
}

void Click(CQelButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST_F(SimulatedFamily, RecorderChannelButtonsSwitchThePicture) {
    // A 16-channel recorder with a PTZ unit on every channel, so that every
    // channel has its linked device.
    devicesim::DeviceProfile profile = devicesim::ProfileForProduct("Q8A7").value();
    profile.multiChannel = 1;
    profile.slaves.clear();
    for (int ch = 1; ch <= 16; ++ch) profile.slaves.push_back({ch, 1, 0, ch});
    Open(profile, 0, 0);
    if (HasFatalFailure())
        return;
    CChannelBar& bar = window->ChannelBar();
    ASSERT_EQ(bar.ButtonCount(), 19);
    ASSERT_TRUE(Follows(*window, 0, 228));

    for (const int channel : {2, 8, 1}) {
        Click(bar.Button(channel));
        ASSERT_TRUE(Follows(*window, channel, 228)) << "channel " << channel;
        EXPECT_EQ(device->model.LastStreamSettings().channel, channel);
        EXPECT_EQ(int{settings().m_bySelectedChannel.load()}, channel);
        if (channel == 2)
            test_support::SaveWidgetPicture(*window, "live_Q8A7_multichannel_ch2.png");
    }
    // The next page, and its last channel: the frame headers' sixteenth.
    Click(bar.Button(18));
    Click(bar.Button(16));
    ASSERT_TRUE(Follows(*window, 16, 228));
    EXPECT_EQ(int{settings().m_bySelectedChannel.load()}, 16);
    test_support::SaveWidgetPicture(*window, "live_Q8A7_multichannel_ch16.png");

    // Back to the recorder's own view.
    Click(bar.Button(17));
    Click(bar.Button(0));
    ASSERT_TRUE(Follows(*window, 0, 228));
    EXPECT_EQ(device->server.RequestsTo("/PTZReset.cgi").size(), 5u);
    EXPECT_EQ(device->server.RequestsTo("/SetChannel.cgi").size(), 5u);
}

TEST_F(SimulatedFamily, VideoServerSecondInputIsShownAndKept) {
    Open(devicesim::ProfileForProduct("Q3A2").value(), 0, 1);
    if (HasFatalFailure())
        return;
    CChannelBar& bar = window->ChannelBar();
    ASSERT_EQ(bar.ButtonCount(), 2);
    ASSERT_TRUE(PumpUntil([&] { return ChannelShown(window->CurrentPicture(), 240) == 1; }));

    Click(bar.Button(1));
    ASSERT_TRUE(PumpUntil(
        [&] {
            return ChannelShown(window->CurrentPicture(), 240) == 2 &&
                   bar.Button(1)->StateIndex() == 0 && bar.Button(0)->StateIndex() == 1;
        },
        "the second input, lit"));
    EXPECT_EQ(int{settings().m_bySelectedChannel.load()}, 2);
    // Its second master, the linked recorder, is the current device now.
    EXPECT_EQ(g_lpApp->C_ControlD.GetCurrentType(), 12);
}

// ---- session lifetime ---------------------------------------------------------------

// A device whose sessions last under a minute reports a lifetime of 0
// minutes: the program's own count ends the stream and closes the window
// about 2 s after the picture started, with the session still open on the
// device, which would end it only later. (The lifetime text itself may be
// replaced at once by the rates of a frame still on its way, so the count
// is what is checked here.)
TEST_F(SimulatedFamily, SessionLifetimeClosesTheWindow) {
    devicesim::DeviceProfile profile = devicesim::ProfileForProduct("Q8A7").value();
    profile.lifetimeSeconds = 30;
    Open(profile, 1, 1);
    if (HasFatalFailure())
        return;
    AppGlobalState& app = *g_lpApp;
    EXPECT_EQ(app.dw_LifeTime.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return !window->isVisible(); }, "the window to close"));
    EXPECT_EQ(app.dw_LifeSeconds.load(), 2u);
    EXPECT_FALSE(app.f_ReceiverRunning.load());
    EXPECT_TRUE(device->model.IsSessionValid(g_szSessionCookie.Get()));
}

}  // namespace
