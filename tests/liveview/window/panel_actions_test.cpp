// The control panel's buttons and the PTZ controls against the simulator's
// device model: the exact RS-485 bodies and request targets it logged, the
// gates per family and user level, and the panel's own state.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "liveview/control/ctrl_file.h"
#include "liveview/control/key_sender.h"
#include "liveview/dialogs/playback_search_dlg.h"
#include "liveview/dialogs/select_ptz_dlg.h"
#include "liveview/skin/skin_path.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/modal_script.h"

namespace {

using command_test::Reply;
using window_test::WindowTest;
using Bytes = std::vector<std::uint8_t>;

// Sequences of every form for the families the tests use.
constexpr const char* kFixture =
    "[DEVICE NUMBER]\n5\n"
    "[DEVICE NAME]\n16CH NETWORK DVR\n"
    "[CH1]\nX03X10X%BX%2\n"
    "[JOYSTICK_LEFT]\nX02X20X%1\n"
    "[JOYSTICK_MENU]\nX01X56\n"
    "[AUTO]\nX01X24\n"
    "[ZOOM_IN]\nX06X%AX11X0AX02X33X%2\n"
    "[PLAY]\nX07X%7X02X10X20X%7X01X30\n"
    "[SEARCH]\nX01X45\n"
    "[POWER]\nX02XF0X%2\n"
    "[DEVICE NAME]\nCAMERA\n"
    "[JOYSTICK_MENU]\nX01X57\n"
    "[DEVICE NAME]\n8CH NETWORK DMR\n"
    "[JOYSTICK_MENU]\nX01X58\n"
    "[DEVICE NAME]\nPTZ PELCO\n"
    "[CH2]\nX02X11X%B\n"
    "[AUTO]\nX01X24\n"
    "[DEVICE NAME]\nPTZ SLAVE\n"
    "[CH2]\nX07X%3X04X%DX%BX%2X00X00\n"
    "[TURBO]\nX3EX01\n"
    "[EOF]\nEND\n";

class PanelTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        CtrlFileContent content = ParseCtrlFile(kFixture);
        g_lpApp->lp_CtrlDevices = content.records;
        g_lpApp->dw_CtrlDeviceCount = content.count;
        MatchCtrlFileDevices();
        boxes.sink().Clear();  // the fixture's [TURBO] line is short of groups on purpose
    }
    void TearDown() override {
        FreeCtrlFileRecords();
        WindowTest::TearDown();
    }

    std::vector<devicesim::Rs485Command> Sent() const {
        return model->controlCommands().Rs485Log();
    }
    // The last body and the target's parameters after "/RS485Cmd.cgi?".
    Bytes LastBody() const {
        const auto sent = Sent();
        if (sent.empty())
            return {};
        return Bytes(sent.back().body.begin(), sent.back().body.end());
    }
    std::string LastQuery() const {
        const auto requests = device.RequestsTo("/RS485Cmd.cgi");
        if (requests.empty())
            return "(none)";
        std::string target = requests.back().target;
        target = target.substr(target.find('?') + 1);
        const std::string cookie = "&Cookie=" + g_szSessionCookie.Get();
        const auto at = target.find(cookie);
        return at == std::string::npos ? target : target.substr(0, at);
    }
    void Press(std::uint16_t id) { window->OnCommand(id); }
};

TEST_F(PanelTest, KeysSendTheirFixtureBodies) {
    ASSERT_EQ(Open("Q8A7"), 1);  // 16CH NETWORK DVR current, PTZ slave id 1
    struct Case {
        std::uint16_t id;
        bool turbo;
        bool preset;
        Bytes body;
    };
    const std::vector<Case> cases{
        {8250, false, false, {0x03, 0x10, 0x00, 0x10, 0x01, 0x32}},  // no slave chosen, sum
        {8240, false, false, {0x02, 0x20, 0x3C, 0x01, 0x32}},        // rights 60
        {8240, true, false, {0x02, 0x20, 0x3C, 0x05, 0x32}},         // turbo repeat
        {8291, true, false, {0x02, 0x33, 0x33, 0x05, 0x32}},         // 0x0A form, turbo
        {8232, true, false, {0x02, 0x10, 0x20, 0x01, 0x32}},         // ACTION, no turbo key
        {8232, false, true, {0x01, 0x30, 0x01, 0x32}},               // PRESET
        {8242, false, false, {0x01, 0x56, 0x01, 0x32}},              // supervisor: MENU
    };
    for (const Case& c : cases) {
        g_lpApp->f_Turbo = c.turbo;
        g_lpApp->f_PresetMode = c.preset;
        Press(c.id);
        EXPECT_EQ(LastBody(), c.body) << c.id;
        EXPECT_EQ(LastQuery(), "Control=Q8A7&MASTER=1") << c.id;
    }
    EXPECT_EQ(Sent().size(), cases.size());
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(PanelTest, KeysWithoutSequenceOrRecordSendNothing) {
    ASSERT_EQ(Open("Q8A7"), 1);
    Press(8251);                                       // no [CH2] line: 4084
    g_lpApp->C_ControlD.MakeCurrent(kDeviceSlave, 0);  // PTZ SLAVE
    Press(8265);                                       // no [CH16]
    SendDvrKeyCommand(false, 59);                      // [TURBO] holds more than the body: one 4084
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4084, 4084, 4084}));
    FreeCtrlFileRecords();  // no record at all: 4093
    Press(8250);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4084, 4084, 4084, 4093}));
}

TEST_F(PanelTest, CountedFormAndPelcoParameters) {
    ASSERT_EQ(Open("Q8A7", 30, 0,
                   [](devicesim::DeviceProfile& p) {
                       p.slaves = {{3, 1, 0}, {5, 1, 1}};
                   }),
              1);
    CControlDevice& devices = g_lpApp->C_ControlD;
    devices.MakeCurrent(kDeviceSlave, 0);  // PTZ SLAVE id 3
    Press(8251);
    // n 4: master id 0, slave id 3, the sum 3, zeros.
    EXPECT_EQ(LastBody(), (Bytes{0x04, 0x00, 0x03, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(LastQuery(), "Control=Q8A7&CH=0&MASTER=0");

    devices.MakeCurrent(kDeviceSlave, 1);  // PTZ PELCO id 5
    Press(8251);
    EXPECT_EQ(LastBody(), (Bytes{0x02, 0x11, 0x05, 0x01, 0x32}));
    EXPECT_EQ(LastQuery(), "Control=Q8A7&CH=1&MASTER=0&PELOCO=1&PROTOCOL=PELCO");
    Press(8283);  // [AUTO]: its row says no PELCO parameters
    EXPECT_EQ(LastQuery(), "Control=Q8A7&CH=1&MASTER=0");
}

TEST_F(PanelTest, MultiChannelRecorderItselfCarriesNoChannel) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.multiChannel = 1; }), 1);
    g_lpApp->C_ControlD.MakeCurrent(kDeviceMaster, 0);
    Press(8250);
    EXPECT_EQ(LastQuery(), "Control=Q8A7&MASTER=1");
    EXPECT_EQ(LastBody(), (Bytes{0x03, 0x10, 0x00, 0x10, 0x01, 0x32}));  // the master's id
}

TEST_F(PanelTest, JoystickMenuGatePerFamilyAndLevel) {
    struct Case {
        const char* product;
        int level;
        bool sent;
    };
    const std::vector<Case> cases{
        {"Q8A7", 30, true},  {"Q8A7", 20, true}, {"Q8A5", 0, false},
        {"Q8A3", 10, false}, {"Q3A2", 0, true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Open(c.product, c.level), 1) << c.product;
        Press(8242);
        EXPECT_EQ(Sent().size(), c.sent ? 1u : 0u) << c.product << " level " << c.level;
        window.reset();
    }
}

TEST_F(PanelTest, PowerKey) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_Connected = false;
    Press(8311);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4034});
    EXPECT_FALSE(g_lpApp->f_PowerState.load());

    g_lpApp->f_Connected = true;
    Press(8311);
    EXPECT_EQ(LastBody(), (Bytes{0x02, 0xF0, 0xF0, 0x01, 0x32}));
    EXPECT_TRUE(g_lpApp->f_PowerState.load());

    // A refused send still toggles the power state.
    device.SetReply("/RS485Cmd.cgi", Reply::Status(500, "Error"));
    Press(8311);
    EXPECT_FALSE(g_lpApp->f_PowerState.load());
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4034, 4065}));
}

TEST_F(PanelTest, RetrAsksForTheOtherState) {
    ASSERT_EQ(Open("Q8A7"), 1);
    Press(8331);
    g_lpApp->C_ControlD.StoreRetrState(1);
    Press(32781);
    EXPECT_EQ(model->controlCommands().RetrRequests(), (std::vector<int>{1, 0}));
    device.SetReply("/SetRetr.cgi", Reply::Status(500, "Error"));
    Press(8331);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4065});
}

TEST_F(PanelTest, TurboAndActionPresetToggle) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window->OnCommand(kPanelUpId);
    Press(8310);
    EXPECT_TRUE(g_lpApp->f_Turbo.load());
    EXPECT_EQ(window->SkinButton(59)->StateIndex(), 1);
    EXPECT_EQ(window->SkinButton(59)->toolTip().toStdString(), "TURBO_ON");
    const int skin = SkinSlot(LayoutSlot(g_lpApp->w_ViewMode));
    const auto faceIs = [this](int row, CQelButton::FaceKind kind, const char* file) {
        const QImage shown = window->SkinButton(row)->FaceImage({kind, 0});
        const QImage expected(QString::fromStdString(SkinBitmapPath(file).string()));
        return !expected.isNull() && shown.convertToFormat(QImage::Format_RGB32) ==
                                         expected.convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_TRUE(faceIs(54, CQelButton::FaceKind::Flat, kTurboArrowFiles[0][skin][0]));
    EXPECT_TRUE(faceIs(54, CQelButton::FaceKind::Selected, kTurboArrowFiles[0][skin][1]));
    EXPECT_TRUE(faceIs(30, CQelButton::FaceKind::Focus, "2Col_zoom_turbo_in_a"));
    Press(8310);
    EXPECT_TRUE(faceIs(58, CQelButton::FaceKind::Flat,
                       SkinButtonTable[24].rows[58].files[static_cast<std::size_t>(skin) * 3]));
    EXPECT_TRUE(faceIs(33, CQelButton::FaceKind::Selected,
                       SkinButtonTable[24].rows[33].files[static_cast<std::size_t>(skin) * 3 + 1]));
    EXPECT_FALSE(g_lpApp->f_Turbo.load());
    EXPECT_EQ(window->SkinButton(59)->StateIndex(), 0);
    EXPECT_EQ(window->SkinButton(59)->toolTip().toStdString(), "TURBO_OFF");

    Press(8356);
    EXPECT_TRUE(g_lpApp->f_PresetMode.load());
    EXPECT_EQ(window->SkinButton(67)->toolTip().toStdString(), "PRESET");
    Press(8356);
    EXPECT_FALSE(g_lpApp->f_PresetMode.load());
    EXPECT_EQ(window->SkinButton(67)->toolTip().toStdString(), "ACTION");
}

TEST_F(PanelTest, PanelOpensAndCloses) {
    ASSERT_EQ(Open("Q8A7"), 1);
    const QSize closed = window->size();
    window->OnCommand(kPanelUpId);
    EXPECT_TRUE(window->IsPanelShown());
    EXPECT_GT(window->height(), closed.height());
    EXPECT_FALSE(window->SkinButton(54)->isHidden());
    window->OnCommand(kPanelDownId);
    EXPECT_FALSE(window->IsPanelShown());
    EXPECT_EQ(window->size(), closed);
    EXPECT_TRUE(window->SkinButton(54)->isHidden());
}

TEST_F(PanelTest, SearchButtonRunsTheDialog) {
    ASSERT_EQ(Open("Q8A7"), 1);
    // The second time the dialog ends as one that could not be created.
    test_support::ModalScript<liveview::CPlaybackSearchDlg> search(
        [&search](liveview::CPlaybackSearchDlg& dialog) {
            dialog.done(search.Runs() == 1 ? 1 : -1);
        });
    Press(8319);
    Press(8319);
    EXPECT_EQ(search.Runs(), 2);
    const auto entries = boxes.sink().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "Dialog box could not be created!");
}

TEST_F(PanelTest, ChannelButtonsRefreshTheSlavesFirst) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.multiChannel = 1; }), 1);
    model->controlCommands().SetSlaves({{2, 1, 1}});
    RunWindow([&](CDravelinDlg&) {
        // The channel bar's buttons for channels 3 and 4.
        if (!ClickButton(8413))
            return;
        EXPECT_EQ(model->controlCommands().PtzResetCount(), 1);
        const auto& devices = g_lpApp->C_ControlD;
        EXPECT_EQ(devices.Count(), 2);
        EXPECT_EQ(devices.Entry(1).type, 18);
        EXPECT_EQ(devices.Entry(1).id, 2);
        EXPECT_EQ(model->LastStreamSettings().channel, 3);

        device.SetReply("/PTZReset.cgi", Reply::Status(500, "Error"));
        // Channel 4 is on the bar's next page.
        ClickButton(8428);
        ClickButton(8414);  // the channel is still asked for
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4065});
        EXPECT_EQ(model->LastStreamSettings().channel, 4);
    });
}

// ---- PTZ control ---------------------------------------------------------------

class PtzTest : public PanelTest {
protected:
    // Runs the dialog from the PTZ button: types the number and ends it
    // with the button of `result`.
    void Choose(int result, int number) {
        test_support::ModalScript<CSelectPtzDlg> select([result, number](CSelectPtzDlg& dialog) {
            dialog.NumberEdit()->setText(QString::number(number));
            if (result == CSelectPtzDlg::kResultOk)
                dialog.OkButton()->click();
            else if (result == CSelectPtzDlg::kResultEsc)
                dialog.EscButton()->click();
            else
                dialog.CancelButton()->click();
        });
        Press(8312);
    }
};

TEST_F(PtzTest, ChoosingAndLeavingAPtzUnit) {
    ASSERT_EQ(Open("Q8A7"), 1);  // one PTZ slave, id 1
    auto& devices = g_lpApp->C_ControlD;
    Choose(CSelectPtzDlg::kResultOk, 1);
    EXPECT_EQ(model->controlCommands().PtzResetCount(), 1);
    EXPECT_EQ(LastBody(), (Bytes{0x02, 0x05, 0x06, 0x01, 0x32}));
    EXPECT_EQ(LastQuery(), "Control=Q8A7&MASTER=1");
    EXPECT_EQ(devices.IsCurrentMaster(), 0);
    EXPECT_EQ(window->SkinButton(60)->StateIndex(), 1);

    Choose(CSelectPtzDlg::kResultEsc, 0);
    EXPECT_EQ(LastBody(), (Bytes{0x01, 0x10, 0x01, 0x32}));
    EXPECT_NE(devices.IsCurrentMaster(), 0);
    EXPECT_EQ(g_lpApp->b_PtzClickMode.load(), 1);

    Choose(CSelectPtzDlg::kResultCancel, 0);  // the list is read again
    EXPECT_EQ(model->controlCommands().PtzResetCount(), 4);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(PtzTest, InvalidNumbersAndGuests) {
    ASSERT_EQ(Open("Q8A7"), 1);
    Choose(CSelectPtzDlg::kResultOk, 17);
    Choose(CSelectPtzDlg::kResultOk, 2);  // no slave 2
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4095, 4095}));
    EXPECT_TRUE(Sent().empty());
    EXPECT_NE(g_lpApp->C_ControlD.IsCurrentMaster(), 0);
    window.reset();

    ASSERT_EQ(Open("Q8A7", 0), 1);  // a guest: nothing happens
    Choose(CSelectPtzDlg::kResultOk, 1);
    EXPECT_EQ(model->controlCommands().PtzResetCount(), 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PtzTest, HotPointTogglesTheClickMode) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->b_PtzClickMode = 1;
    Press(8352);
    EXPECT_EQ(g_lpApp->b_PtzClickMode.load(), 2);
    Press(32782);
    EXPECT_EQ(g_lpApp->b_PtzClickMode.load(), 1);
    g_lpApp->b_PtzClickMode = 3;
    Press(8352);
    EXPECT_EQ(g_lpApp->b_PtzClickMode.load(), 3);
}

TEST_F(PtzTest, ClickToPositionSendsTheCell) {
    // A high user (rights 40) on a PTZ slave with id 3.
    ASSERT_EQ(Open("Q8A7", 20, 0, [](devicesim::DeviceProfile& p) { p.slaves = {{3, 1, 0}}; }), 1);
    AppGlobalState& app = *g_lpApp;
    app.C_ControlD.MakeCurrent(kDeviceSlave, 0);
    app.w_ViewMode = 0;  // the 640 x 456 picture at (42, 96)
    struct Case {
        int x, y;
        std::optional<Bytes> body;
    };
    const std::vector<Case> cases{
        {362, 324, Bytes{0x07, 0xD0, 0x03, 0x28, 0x52, 0x57, 0x00, 0xA4, 0x01, 0x32}},
        {42, 324, std::nullopt},  // on the edge
        {43, 97, Bytes{0x07, 0xD0, 0x03, 0x28, 0x52, 0x00, 0x00, 0x4D, 0x01, 0x32}},
    };
    std::size_t sent = 0;
    for (const Case& c : cases) {
        app.w_HotPointFrames = 0;
        app.w_PtzPointX = static_cast<std::uint16_t>(c.x);
        app.w_PtzPointY = static_cast<std::uint16_t>(c.y);
        window->OnPtzClick();
        if (c.body) {
            ++sent;
            EXPECT_EQ(LastBody(), *c.body) << c.x;
            EXPECT_EQ(LastQuery(), "Control=Q8A7&CH=0&MASTER=0");
            EXPECT_EQ(app.w_HotPointFrames.load(), 4);
        }
        EXPECT_EQ(Sent().size(), sent) << c.x;
    }
    EXPECT_EQ(app.w_HotPointRect[0].load(), 1);
    EXPECT_EQ(app.w_HotPointRect[1].load(), 1);

    // The recorder itself has no click command.
    app.C_ControlD.MakeCurrent(kDeviceMaster, 0);
    app.w_PtzPointX = 362;
    app.w_PtzPointY = 324;
    window->OnPtzClick();
    EXPECT_EQ(Sent().size(), sent);

    // A refused click.
    app.C_ControlD.MakeCurrent(kDeviceSlave, 0);
    device.SetReply("/RS485Cmd.cgi", Reply::Status(500, "Error"));
    app.w_HotPointFrames = 0;
    window->OnPtzClick();
    EXPECT_EQ(app.w_HotPointFrames.load(), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4065});
}

TEST_F(PtzTest, ClickMessageFromTheMouse) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.slaves = {{3, 1, 0}}; }), 1);
    AppGlobalState& app = *g_lpApp;
    app.C_ControlD.MakeCurrent(kDeviceSlave, 0);
    app.w_ViewMode = 0;
    app.w_PtzPointX = 362;
    app.w_PtzPointY = 324;
    platform::PostWindowMessage(window->Handle(), WM_PTZCLICK, 0, 0);
    Pump();
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(LastBody()[5], 0x57);
}

}  // namespace
