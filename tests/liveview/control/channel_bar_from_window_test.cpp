// The channel bar of a multi-channel recorder as the operator uses it: the
// main window over the simulated recorder, run as the program runs it,
// its channel buttons clicked through the window system. The recorder
// switches its stream; the bar lights what the stream reports, also a
// channel that has no linked device of its own, and asks the device only
// for a channel other than the one shown.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/state/app_global_state.h"
#include "liveview/control/channel_bar.h"
#include "media/frame_header.h"
#include "tests/liveview/window/live_window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"

namespace {

using test_support::ExpectReachable;
using test_support::PumpUntil;
using test_support::UserClick;

class ChannelBarFromWindow : public window_test::LiveWindowTest {
protected:
    static constexpr int kLastChannel = 16;

    static std::uint8_t Reported() { return C_FrameHeaderParser.CurrentHeader().byChannelIndex; }

    std::size_t ChannelRequests() const {
        return device->server.RequestsTo("/SetChannel.cgi").size();
    }
    std::string LastChannelRequest() const {
        const auto requests = device->server.RequestsTo("/SetChannel.cgi");
        return requests.empty() ? std::string() : requests.back().target;
    }

    // Index of the one lit button, or -1 when none or several are lit.
    static int LitButton(const CChannelBar& bar) {
        int lit = -1;
        for (int i = 0; i < bar.ButtonCount(); ++i) {
            if (bar.Button(i) != nullptr && bar.Button(i)->StateIndex() == 0) {
                if (lit >= 0)
                    return -1;
                lit = i;
            }
        }
        return lit;
    }

    std::size_t TraceLinesAbout(std::uint8_t channel) const {
        const std::string log = TraceLog();
        const std::string needle = "no linked device for channel " + std::to_string(channel) + ";";
        std::size_t count = 0;
        for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
            ++count;
        return count;
    }
};

TEST_F(ChannelBarFromWindow, FollowsTheReportedChannelAndAsksOnlyForAnother) {
    // A 16-channel recorder that lists only itself as linked device: no
    // channel has a device of its own.
    devicesim::DeviceProfile profile = devicesim::ProfileForProduct("Q8A7").value();
    profile.multiChannel = 1;
    profile.slaves.clear();
    UseDevice(profile);
    std::uint8_t shown = 0;
    RunMainWindow([&](CDravelinDlg& main) {
        CChannelBar& bar = main.ChannelBar();
        ASSERT_TRUE(bar.Enabled());
        ASSERT_TRUE(PumpUntil([&] {
            return g_lpApp->f_VideoConnected.load() && bar.CurrentChannel() == Reported() &&
                   LitButton(bar) == Reported();
        }));
        const std::uint8_t first = Reported();
        const int device0 = g_lpApp->C_ControlD.CurrentMasterIndex();

        // The last channel of the page shown: the device is asked, switches,
        // and the bar lights what it reports.
        int channel = kLastChannel;
        while (channel > 1 && (bar.Button(channel) == nullptr || bar.Button(channel)->isHidden()))
            --channel;
        ASSERT_GE(channel, 3);
        ASSERT_TRUE(ExpectReachable(bar.Button(channel)));
        std::size_t asked = ChannelRequests();
        UserClick(bar.Button(channel));
        ASSERT_EQ(ChannelRequests(), asked + 1);
        EXPECT_TRUE(LastChannelRequest().ends_with("&CH=" + std::to_string(channel)))
            << LastChannelRequest();
        ASSERT_TRUE(PumpUntil([&] { return Reported() != first; }, "the stream's new channel"));
        shown = Reported();
        ASSERT_TRUE(
            PumpUntil([&] { return bar.CurrentChannel() == shown && LitButton(bar) == shown; },
                      "the bar to follow the stream"));
        EXPECT_EQ(settings().m_bySelectedChannel.load(), shown);
        // No linked device for it: the current device stays.
        EXPECT_EQ(g_lpApp->C_ControlD.CurrentMasterIndex(), device0);
        test_support::SaveWidgetPicture(main, "main_window_channel_bar_multichannel.png");

        // The channel shown is not asked for again.
        asked = ChannelRequests();
        ASSERT_TRUE(ExpectReachable(bar.Button(shown)));
        UserClick(bar.Button(shown));
        EXPECT_EQ(ChannelRequests(), asked);
        // The DVR view is.
        ASSERT_TRUE(ExpectReachable(bar.Button(0)));
        UserClick(bar.Button(0));
        ASSERT_EQ(ChannelRequests(), asked + 1);
        EXPECT_TRUE(LastChannelRequest().ends_with("&CH=0")) << LastChannelRequest();
        ASSERT_TRUE(
            PumpUntil([&] { return bar.CurrentChannel() == Reported() && Reported() != shown; },
                      "the bar to follow the stream back"));
    });

    // The channel without a device was traced once, not once per frame.
    EXPECT_EQ(TraceLinesAbout(shown), 1u) << TraceLog();
}

}  // namespace
