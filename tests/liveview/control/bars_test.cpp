// The channel bar and the command bar on real widgets: paging, the channel
// request on the wire, following the stream's channel from another thread,
// the command buttons per product and user level, and a picture of each bar.

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/state/app_global_state.h"
#include "liveview/control/channel_bar.h"
#include "liveview/control/command_button_bar.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/drawn_skin.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;

// A program folder with the drawn skin, shared by the whole suite.
const fs::path& SkinFolder() {
    return test_support::DrawnSkinFolder();
}

class BarTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        platform::SetProgramFolder(SkinFolder());
        window = std::make_unique<QWidget>();
        window->resize(722, 120);
    }
    void TearDown() override {
        window.reset();
        platform::ResetProgramFolder();
        DeviceCommandTest::TearDown();
    }

    // A device of `product`, `masters` linked masters, picture size code
    // `viewSize` (1 and 3 are QVGA) and "Selected Channel".
    void Device(const char* product, bool multi, std::uint8_t viewSize, std::uint8_t selected,
                int masters = 17) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->b_MultiChannel = multi ? 1 : 0;
        g_lpApp->b_ViewSize = viewSize;
        g_lpApp->w_ViewMode = viewSize;
        settings().m_bySelectedChannel = selected;
        for (int i = 0; i < masters; ++i) {
            g_lpApp->C_ControlD.AddDevice(static_cast<std::uint32_t>(i),
                                          static_cast<std::uint8_t>(i), 24, kDeviceMaster);
        }
    }

    // Indices of the visible buttons.
    std::vector<int> Visible(const CChannelBar& bar) const {
        std::vector<int> shown;
        for (int i = 0; i < bar.ButtonCount(); ++i) {
            if (bar.Button(i) != nullptr && !bar.Button(i)->isHidden()) {
                shown.push_back(i);
            }
        }
        return shown;
    }

    std::unique_ptr<QWidget> window;
};

// ---- paging --------------------------------------------------------------------

enum class Step { kNone, kLeft, kRight, kRightRight };

struct PagingCase {
    const char* name;
    const char* product;
    std::uint8_t viewSize;
    std::uint8_t selected;
    std::uint8_t pageStart;  // set after Create (255: as Create leaves it)
    Step step;
    std::uint8_t wantStart;
    std::vector<int> wantVisible;  // button indices; 17/18 (or the last two) are the arrows
};

class ChannelPaging : public BarTest, public ::testing::WithParamInterface<PagingCase> {};

TEST_P(ChannelPaging, ShowsThePageOfTheRules) {
    const PagingCase& c = GetParam();
    Device(c.product, true, c.viewSize, c.selected);
    CChannelBar bar;
    ASSERT_EQ(bar.Create(window.get()), 1);
    if (c.pageStart != 255) {
        // Reach the page as the arrows would, from the first.
        while (bar.GetPageStart(bar.PageStart()) < c.pageStart) {
            const std::uint8_t before = bar.PageStart();
            bar.PageRight();
            ASSERT_NE(before, bar.PageStart());
        }
    }
    switch (c.step) {
        case Step::kLeft:
            bar.PageLeft();
            break;
        case Step::kRight:
            bar.PageRight();
            break;
        case Step::kRightRight:
            bar.PageRight();
            bar.PageRight();
            break;
        case Step::kNone:
            break;
    }
    EXPECT_EQ(bar.GetPageStart(bar.PageStart()), c.wantStart);
    EXPECT_EQ(Visible(bar), c.wantVisible);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChannelPaging,
    ::testing::Values(
        // VGA Q8A7: DVR and 1..8, or 9..16.
        PagingCase{
            "Q8A7VgaFirstPage", "Q8A7", 0, 0, 255, Step::kNone, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 18}},
        PagingCase{"Q8A7VgaSelected12",
                   "Q8A7",
                   0,
                   12,
                   255,
                   Step::kNone,
                   9,
                   {9, 10, 11, 12, 13, 14, 15, 16, 17}},
        PagingCase{"Q8A7VgaRight",
                   "Q8A7",
                   0,
                   0,
                   255,
                   Step::kRight,
                   9,
                   {9, 10, 11, 12, 13, 14, 15, 16, 17}},
        PagingCase{
            "Q8A7VgaLeftBack", "Q8A7", 2, 12, 255, Step::kLeft, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 18}},
        // QVGA Q8A7: four buttons a page; the last page holds channel 16.
        PagingCase{"Q8A7QvgaFirstPage", "Q8A7", 1, 0, 255, Step::kNone, 0, {0, 1, 2, 3, 18}},
        PagingCase{"Q8A7QvgaPage12Right", "Q8A7", 1, 0, 12, Step::kRight, 16, {16, 17}},
        PagingCase{"Q8A7QvgaLastPageStays", "Q8A7", 3, 0, 12, Step::kRightRight, 16, {16, 17}},
        PagingCase{"Q8A7QvgaSelected6", "Q8A7", 1, 6, 255, Step::kNone, 4, {4, 5, 6, 7, 17, 18}},
        // VGA Q8A5: page size 0, all nine fit below 350.
        PagingCase{
            "Q8A5VgaNoPaging", "Q8A5", 0, 3, 255, Step::kRight, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        PagingCase{"Q8A5QvgaRight", "Q8A5", 1, 0, 255, Step::kRight, 4, {4, 5, 6, 7, 9, 10}},
        PagingCase{"Q8A3VgaAll", "Q8A3", 0, 9, 255, Step::kNone, 0, {0, 1, 2, 3, 4}}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(BarTest, SelectedChannelBeyondTheModelFallsToTheDvrView) {
    Device("Q8A5", true, 0, 12);
    CChannelBar bar;
    bar.Create(window.get());
    EXPECT_EQ(settings().m_bySelectedChannel.load(), 0);
    EXPECT_EQ(bar.CurrentChannel(), 0);
    EXPECT_EQ(bar.Button(0)->StateIndex(), 0);
    EXPECT_EQ(bar.Button(1)->StateIndex(), 1);
}

TEST_F(BarTest, NoBarWithoutChannels) {
    for (const auto& [product, multi] : std::vector<std::pair<const char*, bool>>{
             {"Q8A7", false}, {"Q9C0", true}, {"Q7B5", true}}) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->b_MultiChannel = multi ? 1 : 0;
        CChannelBar bar;
        EXPECT_EQ(bar.Create(window.get()), 1);
        EXPECT_FALSE(bar.Enabled()) << product;
        EXPECT_EQ(bar.ButtonCount(), 0) << product;
        EXPECT_EQ(bar.RequestChannel(3), 1);
    }
    EXPECT_EQ(device.RequestCount(), 0u);
}

// ---- the channel request ------------------------------------------------------------

TEST_F(BarTest, RequestChannelSendsSetChannelWithCookieAndChannel) {
    Device("Q8A7", true, 0, 0);
    g_szSessionCookie.Set("5F3A9C0D11E2B7A4");
    device.SetReply("/SetChannel.cgi", command_test::Reply::Ok(""));
    CChannelBar bar;
    bar.Create(window.get());
    EXPECT_EQ(bar.RequestChannel(0), 1);  // the channel shown: nothing sent
    EXPECT_EQ(bar.RequestChannel(12), 1);
    EXPECT_EQ(RawRequest(0), "GET /SetChannel.cgi?Cookie=5F3A9C0D11E2B7A4&CH=12 HTTP/1.1\r\n" +
                                 command_test::FixedHeaders());
    EXPECT_EQ(device.RequestCount(), 1u);
    EXPECT_TRUE(boxes.Ids().empty());
    // The selection follows the stream, not the request.
    EXPECT_EQ(bar.CurrentChannel(), 0);
}

TEST_F(BarTest, RequestChannelWithoutCookieAndFailureShowsTimeout) {
    Device("Q3A2", false, 0, 1, 2);
    device.SetReply("/SetChannel.cgi", command_test::Reply::Status(500, "Error"));
    CChannelBar bar;
    bar.Create(window.get());
    EXPECT_EQ(bar.RequestChannel(2), 1);
    EXPECT_EQ(RawRequest(0),
              "GET /SetChannel.cgi?CH=2 HTTP/1.1\r\n" + command_test::FixedHeaders());
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4064});
    EXPECT_EQ(bar.CurrentChannel(), 1);
}

// ---- following the stream -------------------------------------------------------------

TEST_F(BarTest, StreamChannelFromAnotherThreadIsShownOnTheGuiThread) {
    Device("Q8A7", true, 0, 0);
    CChannelBar bar;
    bar.Create(window.get());
    std::vector<std::thread::id> reskins;
    bar.SetDeviceChangedHandler([&reskins] { reskins.push_back(std::this_thread::get_id()); });
    std::thread compose([&bar] { bar.SetCurrentChannel(5); });
    compose.join();
    // The selection is made at once; the buttons wait for the GUI thread.
    EXPECT_EQ(bar.CurrentChannel(), 5);
    EXPECT_EQ(settings().m_bySelectedChannel.load(), 5);
    EXPECT_EQ(g_lpApp->C_ControlD.CurrentMasterIndex(), 5);
    EXPECT_TRUE(reskins.empty());
    EXPECT_EQ(bar.Button(0)->StateIndex(), 0);
    platform::ProcessPostedMessages();
    QApplication::processEvents();
    EXPECT_EQ(bar.Button(0)->StateIndex(), 1);
    EXPECT_EQ(bar.Button(5)->StateIndex(), 0);
    ASSERT_EQ(reskins.size(), 1u);
    EXPECT_EQ(reskins[0], std::this_thread::get_id());
}

TEST_F(BarTest, Q3A2ChannelChoosesItsMaster) {
    Device("Q3A2", false, 1, 1, 2);
    CChannelBar bar;
    bar.Create(window.get());
    int reskins = 0;
    bar.SetDeviceChangedHandler([&reskins] { ++reskins; });
    bar.SetCurrentChannel(2);
    EXPECT_EQ(g_lpApp->C_ControlD.CurrentMasterIndex(), 1);
    EXPECT_EQ(bar.Button(1)->StateIndex(), 0);
    EXPECT_EQ(bar.Button(0)->StateIndex(), 1);
    bar.SetCurrentChannel(1);
    EXPECT_EQ(g_lpApp->C_ControlD.CurrentMasterIndex(), 0);
    EXPECT_EQ(bar.Button(0)->StateIndex(), 0);
    EXPECT_EQ(reskins, 2);
    EXPECT_EQ(bar.Button(1)->geometry(), QRect(55, 32, 35, 28));
}

// The device shows a channel that has no linked device: the bar follows the
// device all the same, and the current device stays as it was.
TEST_F(BarTest, ChannelWithoutALinkedDeviceIsShownAndKeepsTheCurrentDevice) {
    // Only the DVR view and channels 1..3 have linked devices.
    Device("Q8A7", true, 0, 2, 4);
    CChannelBar bar;
    bar.Create(window.get());
    int reskins = 0;
    bar.SetDeviceChangedHandler([&reskins] { ++reskins; });
    g_lpApp->C_ControlD.MakeCurrent(kDeviceMaster, 2);
    bar.SetCurrentChannel(9);
    QApplication::processEvents();
    EXPECT_EQ(bar.CurrentChannel(), 9);
    EXPECT_EQ(settings().m_bySelectedChannel.load(), 9);
    EXPECT_EQ(g_lpApp->C_ControlD.CurrentMasterIndex(), 2);
    EXPECT_EQ(bar.Button(2)->StateIndex(), 1);
    EXPECT_EQ(bar.Button(9)->StateIndex(), 0);
    EXPECT_EQ(reskins, 1);
    // The channel shown is asked for no more; another one is.
    device.SetReply("/SetChannel.cgi", command_test::Reply::Ok(""));
    bar.RequestChannel(9);
    EXPECT_EQ(device.RequestCount(), 0u);
    bar.RequestChannel(2);
    EXPECT_EQ(device.RequestCount(), 1u);
}

TEST_F(BarTest, ShowButtonsHidesAndRestoresThePage) {
    Device("Q8A7", true, 1, 0);
    CChannelBar bar;
    bar.Create(window.get());
    bar.ShowButtons(true);
    EXPECT_TRUE(Visible(bar).empty());
    bar.ShowButtons(false);
    EXPECT_EQ(Visible(bar), (std::vector<int>{0, 1, 2, 3, 18}));
}

// ---- command bar ---------------------------------------------------------------------

struct CommandCase {
    const char* product;
    bool multi;
    std::uint8_t group;
    std::vector<std::uint16_t> ids;
};

TEST_F(BarTest, CommandButtonsPerProduct) {
    const std::vector<CommandCase> cases{
        {"Q8A7", true, 2, {1002, 1007, 1008, 999, 1004, 1005, 1006}},
        {"Q8A3", false, 1, {1002, 1007, 1008, 1004, 1005, 1006}},
        {"Q3A2", false, 2, {1002, 1007, 1008, 999, 1004, 1005, 1006}},
        {"Q9C0", false, 2, {1002, 1007, 1008, 999, 1004, 1005, 1006}},
        {"Q7B3", false, 4, {1002, 1007, 1008, 999, 1004, 1005, 1006}},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.product);
        g_lpApp->b_MultiChannel = c.multi ? 1 : 0;
        QWidget host;
        CCommandButtonBar bar;
        ASSERT_EQ(bar.Create(c.product, &host), 1);
        EXPECT_EQ(bar.GetGroup(), c.group);
        std::vector<std::uint16_t> ids;
        for (int i = 0; i < bar.Count(); ++i) {
            ids.push_back(bar.Row(i)->wControlId);
        }
        EXPECT_EQ(ids, c.ids);
        bar.ArrangeButtons();
        // Right-aligned: the last button at 688, each before it 26 further left.
        EXPECT_EQ(bar.Button(bar.Count() - 1)->geometry(), QRect(688, 34, 26, 26));
        EXPECT_EQ(bar.Button(0)->geometry().left(), 688 - 26 * (bar.Count() - 1));
    }
    QWidget host;
    CCommandButtonBar unknown;
    EXPECT_EQ(unknown.Create("Q1Z9", &host), 0);
    EXPECT_EQ(unknown.Count(), 0);
}

TEST_F(BarTest, GuestGetsOnlyTheConnectButton) {
    g_lpApp->b_MultiChannel = 1;
    CCommandButtonBar bar;
    bar.Create("Q8A7", window.get());
    bar.SetUserLevelRow(2);
    bar.LoadBitmaps();
    for (int i = 0; i < bar.Count(); ++i) {
        const bool connect = bar.Row(i)->wControlId == 1002;
        EXPECT_EQ(bar.Button(i)->isEnabled(), connect) << bar.Row(i)->wControlId;
        EXPECT_TRUE(bar.Button(i)->BitmapLoaded()) << bar.Row(i)->wControlId;
    }
    // The disabled face is the _n file.
    QImage disabled;
    disabled.load(QString::fromStdString((SkinFolder() / "BMP" / "snapshoot_n.bmp").string()));
    const int snapshot = 4;
    ASSERT_EQ(bar.Row(snapshot)->wControlId, 1004);
    EXPECT_EQ(bar.Button(snapshot)
                  ->FaceImage({CQelButton::FaceKind::Flat, 0})
                  .convertToFormat(QImage::Format_RGB32),
              disabled.convertToFormat(QImage::Format_RGB32));
}

TEST_F(BarTest, SetButtonsStateChangesOneButtonFromAnyThread) {
    g_lpApp->b_MultiChannel = 1;
    CCommandButtonBar bar;
    bar.Create("Q8A7", window.get());
    bar.LoadBitmaps();
    std::thread login([&bar] { bar.SetButtonsState(0x20 | 0x01, 1); });
    login.join();
    platform::ProcessPostedMessages();
    EXPECT_EQ(bar.Button(0)->StateIndex(), 1);  // connect: the first match
    EXPECT_EQ(bar.Button(5)->StateIndex(), 0);  // record untouched
    bar.SetButtonsState(0x20, 1);
    EXPECT_EQ(bar.Button(5)->StateIndex(), 1);
}

// ---- pictures -----------------------------------------------------------------------------

TEST_F(BarTest, PictureOfEachBar) {
    Device("Q8A7", true, 0, 3);
    window->setStyleSheet("background-color: #DDE6F0;");
    CChannelBar channels;
    channels.Create(window.get());
    CCommandButtonBar commands;
    commands.Create("Q8A7", window.get());
    commands.SetUserLevelRow(3);
    commands.LoadBitmaps();
    commands.ArrangeButtons();
    commands.SetButtonsState(0x20, 1);
    test_support::SaveWidgetPicture(*window, "channel_and_command_bars_vga.png");

    auto qvgaWindow = std::make_unique<QWidget>();
    qvgaWindow->resize(370, 100);
    qvgaWindow->setStyleSheet("background-color: #DDE6F0;");
    g_lpApp->b_ViewSize = 1;
    g_lpApp->w_ViewMode = 1;
    CChannelBar qvgaChannels;
    qvgaChannels.Create(qvgaWindow.get());
    qvgaChannels.PageRight();
    CCommandButtonBar qvgaCommands;
    qvgaCommands.Create("Q8A7", qvgaWindow.get());
    qvgaCommands.LoadBitmaps();
    qvgaCommands.ArrangeButtons();
    test_support::SaveWidgetPicture(*qvgaWindow, "channel_and_command_bars_qvga.png");
}

}  // namespace
