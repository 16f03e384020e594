#include "core/dialogs/lan_search_dialog.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <optional>
#include <thread>

#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "tests/core/lan_fixture.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/wait.h"

namespace {

using test_support::PumpUntil;

using namespace std::chrono_literals;
using lan_test::CountingClock;
using lan_test::FakeLanDevice;
using lan_test::WithByte;

constexpr unsigned kBadAddressBox = 0;  // the literal "IP Address is wrong."

std::vector<std::string> Devices(const std::string& reply, std::initializer_list<int> lastMacBytes,
                                 std::initializer_list<int> types = {}) {
    std::vector<std::string> out;
    auto type = types.begin();
    for (const int last : lastMacBytes) {
        std::string one = WithByte(reply, 23, static_cast<std::uint8_t>(last));
        if (type != types.end()) {
            one = WithByte(one, 17, static_cast<std::uint8_t>(*type++));
        }
        out.push_back(one);
    }
    return out;
}

class SearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        g_lpApp = new AppGlobalState();
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        dialog.reset();
        useClock.reset();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    // Opens the dialog; its search ends after `datagrams` datagrams without
    // waiting out a time-out.
    void Open(int datagrams, LanSearchTimings timings = Timings()) {
        StartClock(datagrams);
        CDeviceSearchDialog::Options options;
        options.endpoints = device.Endpoints();
        options.timings = timings;
        options.refreshHostIp = false;
        dialog = std::make_unique<CDeviceSearchDialog>(options);
        dialog->OnInitDialog();
    }

    void StartClock(int datagrams) {
        useClock.reset();
        clock.emplace(datagrams + 1);
        useClock.emplace(*clock);
    }

    static LanSearchTimings Timings() {
        LanSearchTimings timings;
        timings.replyWait = 10s;  // ample: every search here ends on the clock
        timings.applyWait = 10s;
        timings.resetWait = 10s;
        return timings;
    }

    bool SearchEnds() {
        return PumpUntil([&] { return !dialog->Searching(); });
    }

    // A search that found the one fake device, selected in the list.
    void OpenOnTheDevice() {
        Open(1);
        ASSERT_TRUE(SearchEnds());
        ASSERT_EQ(dialog->deviceList()->topLevelItemCount(), 1);
        Select(0);
        boxes.sink().Clear();
    }

    // Selects the row anew, so that the fields show its entry again.
    void Select(int row) {
        QTreeWidgetItem* item = dialog->deviceList()->topLevelItem(row);
        dialog->deviceList()->clearSelection();
        dialog->deviceList()->setCurrentItem(item);
        item->setSelected(true);
    }

    QString Cell(int row, int column) const {
        return dialog->deviceList()->topLevelItem(row)->text(column);
    }

    std::size_t RequestCount() const { return device.responder.Requests().size(); }

    FakeLanDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
    std::optional<CountingClock> clock;
    std::optional<platform::ScopedClockSource> useClock;
    std::unique_ptr<CDeviceSearchDialog> dialog;

    int prompts = 0;
    std::string promptUser = "admin";
    std::string promptPassword = "1234";
    bool promptAnswer = true;
    // The credentials dialog: fills in the user and password, then OK or
    // CANCEL as promptAnswer says.
    test_support::ModalScript<CConfirmAuthorityDialog> authority{
        [this](CConfirmAuthorityDialog& confirm) {
            ++prompts;
            // The edits' own limit would stop an entry that is too long; it
            // is lifted so that the check after the dialog is seen to hold
            // by itself.
            confirm.userEdit()->setMaxLength(32767);
            confirm.passwordEdit()->setMaxLength(32767);
            confirm.userEdit()->setText(QString::fromStdString(promptUser));
            confirm.passwordEdit()->setText(QString::fromStdString(promptPassword));
            if (promptAnswer)
                confirm.accept();
            else
                confirm.reject();
        }};
};

TEST_F(SearchDialogTest, RepliesArriveAsPostedMessages) {
    device.responder.SetScript([](std::string_view, std::string reply) {
        return Devices(reply, {0x01, 0x02, 0x03}, {87, 119, 200});
    });
    g_lpApp->CSettingINI.m_wLastConnectionMAC1 = 0x17;
    g_lpApp->CSettingINI.m_wLastConnectionMAC2 = 0x02;
    Open(3);
    EXPECT_TRUE(dialog->Searching());
    EXPECT_FALSE(dialog->deviceList()->isEnabled());
    EXPECT_FALSE(dialog->okButton()->isEnabled());
    EXPECT_FALSE(dialog->serverIpEdit()->isEnabled());

    ASSERT_TRUE(SearchEnds());
    ASSERT_EQ(dialog->deviceList()->topLevelItemCount(), 3);
    // Newest on top.
    EXPECT_EQ(Cell(0, 1), "00:0e:5c:4a:17:03");
    EXPECT_EQ(Cell(1, 1), "00:0e:5c:4a:17:02");
    EXPECT_EQ(Cell(2, 1), "00:0e:5c:4a:17:01");
    EXPECT_EQ(Cell(0, 0), "192.168.1.77");
    EXPECT_EQ(Cell(0, 2), "8080");
    EXPECT_EQ(Cell(0, 3), "Video Server");
    EXPECT_EQ(Cell(1, 3), "16CH NETWORK DMR");
    EXPECT_EQ(Cell(2, 3), "16CH MPEG4 DVR");
    EXPECT_EQ(Cell(1, 4), "PREVIOUS");
    EXPECT_EQ(Cell(0, 4), "");
    EXPECT_EQ(dialog->Entries()[0].index, 0);
    EXPECT_EQ(dialog->Entries()[2].index, 2);
    // The fields show the last reply; they open once an entry is chosen.
    EXPECT_EQ(dialog->macEdit()->text(), "00:0e:5c:4a:17:03");
    EXPECT_EQ(dialog->gatewayEdit()->text(), "192.168.1.1");
    EXPECT_FALSE(dialog->serverIpEdit()->isEnabled());

    EXPECT_EQ(dialog->windowTitle(), "Stop_Search");
    EXPECT_TRUE(dialog->deviceList()->isEnabled());
    for (QPushButton* b : {dialog->searchAgainButton(), dialog->applyButton(),
                           dialog->resetButton(), dialog->okButton()}) {
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    }
}

TEST_F(SearchDialogTest, SelectedRowTakesTheEntryCountedFromTheEnd) {
    device.responder.SetScript([](std::string_view, std::string reply) {
        return Devices(reply, {0x01, 0x02, 0x03});
    });
    Open(3);
    ASSERT_TRUE(SearchEnds());
    Select(0);
    EXPECT_EQ(dialog->SelectedIndex(), 2);
    Select(2);
    EXPECT_EQ(dialog->SelectedIndex(), 0);
    EXPECT_EQ(dialog->macEdit()->text(), "00:0e:5c:4a:17:01");
    EXPECT_EQ(dialog->serverIpEdit()->text(), "192.168.1.77");
    EXPECT_EQ(dialog->maskEdit()->text(), "255.255.255.0");
    EXPECT_EQ(dialog->dnsEdit()->text(), "168.95.1.1");
    EXPECT_EQ(dialog->webPortEdit()->text(), "8080");
    EXPECT_TRUE(dialog->serverIpEdit()->isEnabled());
}

TEST_F(SearchDialogTest, SearchWithoutAnswerEndsIdle) {
    device.responder.SetScript(
        [](std::string_view, std::string) { return std::vector<std::string>{}; });
    LanSearchTimings timings = Timings();
    timings.replyWait = 20ms;
    Open(1000, timings);
    ASSERT_TRUE(SearchEnds());
    EXPECT_EQ(dialog->deviceList()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog->windowTitle(), "Stop_Search");
    EXPECT_TRUE(dialog->searchAgainButton()->isEnabled());
    EXPECT_FALSE(dialog->serverIpEdit()->isEnabled());
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(SearchDialogTest, BusyReplyPortLeavesOnlyOk) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);

    StartClock(1);
    CDeviceSearchDialog::Options options;
    options.endpoints = device.Endpoints();
    options.endpoints.replyPort = ntohs(address.sin_port);
    options.refreshHostIp = false;
    dialog = std::make_unique<CDeviceSearchDialog>(options);
    dialog->OnInitDialog();
    ASSERT_TRUE(SearchEnds());
    ::close(fd);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4006});
    EXPECT_EQ(dialog->windowTitle(), "Stop_Search");
    EXPECT_TRUE(dialog->okButton()->isEnabled());
    EXPECT_FALSE(dialog->searchAgainButton()->isEnabled());
    EXPECT_FALSE(dialog->applyButton()->isEnabled());
    EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(SearchDialogTest, SearchAgainStartsAFreshList) {
    device.responder.SetScript([](std::string_view, std::string reply) {
        return Devices(reply, {0x01, 0x02});
    });
    Open(2);
    ASSERT_TRUE(SearchEnds());
    ASSERT_EQ(dialog->deviceList()->topLevelItemCount(), 2);
    Select(1);

    device.responder.SetScript(
        [](std::string_view, std::string reply) { return Devices(reply, {0x09}); });
    StartClock(1);
    dialog->OnSearchAgain();
    EXPECT_EQ(dialog->deviceList()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog->SelectedIndex(), -1);
    EXPECT_FALSE(dialog->okButton()->isEnabled());
    ASSERT_TRUE(SearchEnds());
    ASSERT_EQ(dialog->deviceList()->topLevelItemCount(), 1);
    EXPECT_EQ(Cell(0, 1), "00:0e:5c:4a:17:09");
}

TEST_F(SearchDialogTest, ClosingDuringASearchStopsItsThread) {
    device.responder.SetScript(
        [](std::string_view, std::string) { return std::vector<std::string>{}; });
    LanSearchTimings timings = Timings();
    timings.replyWait = std::chrono::hours(1);
    Open(1000, timings);
    ASSERT_TRUE(device.responder.WaitForRequests(1, 10s));
    const auto start = std::chrono::steady_clock::now();
    dialog.reset();
    // Well inside the hour the thread would otherwise wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    platform::ProcessPostedMessages();  // anything it posted finds no window
}

TEST_F(SearchDialogTest, EscapeIsSwallowedAndTheCloseBoxEnds) {
    OpenOnTheDevice();
    int finished = 0;
    QObject::connect(dialog.get(), &QDialog::finished, [&] { ++finished; });
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &escape);
    EXPECT_EQ(finished, 0);
    dialog->reject();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(dialog->Taken());
}

// ------------------------------------------------------------ hand-back

TEST_F(SearchDialogTest, OkHandsBackTheChosenDevice) {
    OpenOnTheDevice();
    dialog->serverIpEdit()->setText("192.168.1.78");
    dialog->OnOK();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog->Taken());
    EXPECT_EQ(dialog->HandedBackIP(), "192.168.1.78");
    EXPECT_EQ(dialog->HandedBackPort(), 8080);
}

TEST_F(SearchDialogTest, OkWithoutChoiceHandsBackNothing) {
    device.responder.SetScript(
        [](std::string_view, std::string reply) { return Devices(reply, {0x01}); });
    Open(1);
    ASSERT_TRUE(SearchEnds());
    dialog->OnOK();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->Taken());
    EXPECT_EQ(dialog->HandedBackIP(), "");
}

TEST_F(SearchDialogTest, OkRefusesAPortOutOfRange) {
    OpenOnTheDevice();
    dialog->webPortEdit()->setText("0");
    dialog->OnOK();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4054});
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->Taken());
}

// ------------------------------------------------------------ APPLY

TEST_F(SearchDialogTest, ApplyWithoutSelectionAsksNothing) {
    Open(1);
    ASSERT_TRUE(SearchEnds());
    dialog->OnApply();
    dialog->OnResetDefault();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4044, 4044}));
    EXPECT_EQ(prompts, 0);
}

TEST_F(SearchDialogTest, ApplyChangesTheDeviceAndHandsItBack) {
    OpenOnTheDevice();
    dialog->serverIpEdit()->setText("10.0.0.7");
    dialog->webPortEdit()->setText("81");
    dialog->OnApply();
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4005});
    EXPECT_TRUE(dialog->Taken());
    EXPECT_EQ(dialog->HandedBackIP(), "10.0.0.7");
    EXPECT_EQ(dialog->HandedBackPort(), 81);

    const auto requests = device.responder.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const DeviceNetworkText sent{"00:0e:5c:4a:17:b3", "10.0.0.7",   "255.255.255.0",
                                 "192.168.1.1",       "168.95.1.1", 81};
    const auto expected = BuildDeviceRequest(kSetIpCommand, sent, "admin", "1234").Encode();
    EXPECT_EQ(requests[1], std::string(expected.begin(), expected.end()));
    EXPECT_EQ(device.responder.Settings().ip, (std::array<std::uint8_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(device.responder.Settings().webPort, 81);
}

TEST_F(SearchDialogTest, ApplyRefusesSettingsThatCannotBeRight) {
    struct Case {
        const char* name;
        QLineEdit* (CDeviceSearchDialog::*field)() const;
        const char* text;
        unsigned box;
    };
    const Case cases[] = {
        {"address out of range", &CDeviceSearchDialog::serverIpEdit, "300.1.1.1", kBadAddressBox},
        {"address cut short", &CDeviceSearchDialog::serverIpEdit, "10.0.0", kBadAddressBox},
        {"host name", &CDeviceSearchDialog::serverIpEdit, "dvr", kBadAddressBox},
        {"mask", &CDeviceSearchDialog::maskEdit, "255.255.0", kBadAddressBox},
        {"gateway", &CDeviceSearchDialog::gatewayEdit, "", kBadAddressBox},
        {"dns", &CDeviceSearchDialog::dnsEdit, "1.1.1.256", kBadAddressBox},
        {"port zero", &CDeviceSearchDialog::webPortEdit, "0", 4054},
        {"port empty", &CDeviceSearchDialog::webPortEdit, "", 4054},
        {"port above range", &CDeviceSearchDialog::webPortEdit, "65536", 4054},
    };
    OpenOnTheDevice();
    for (const Case& c : cases) {
        Select(0);  // the device's own settings again
        (dialog.get()->*c.field)()->setText(c.text);
        boxes.sink().Clear();
        dialog->OnApply();
        dialog->OnResetDefault();
        EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{c.box, c.box})) << c.name;
        if (c.box == kBadAddressBox) {
            EXPECT_EQ(boxes.sink().Entries()[0].text, "IP Address is wrong.") << c.name;
        }
    }
    EXPECT_EQ(prompts, 0);
    EXPECT_EQ(RequestCount(), 1u) << "only the search went out";
    EXPECT_FALSE(dialog->Taken());
}

TEST_F(SearchDialogTest, ApplyWithNothingChangedSendsNothing) {
    OpenOnTheDevice();
    dialog->OnApply();
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4067});
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_FALSE(dialog->Taken());
}

TEST_F(SearchDialogTest, CredentialsAreCheckedBeforeSending) {
    struct Case {
        const char* user;
        const char* password;
        bool answer;
        std::vector<unsigned> boxes;
    };
    const std::string sixteen(16, 'k');
    const Case cases[] = {
        {"", "1234", true, {4080}},   {sixteen.c_str(), "1234", true, {4080}},
        {"admin", "", true, {4049}},  {"admin", sixteen.c_str(), true, {4049}},
        {"admin", "1234", false, {}},  // cancelled: nothing more
    };
    OpenOnTheDevice();
    dialog->serverIpEdit()->setText("10.0.0.8");
    for (const Case& c : cases) {
        promptUser = c.user;
        promptPassword = c.password;
        promptAnswer = c.answer;
        boxes.sink().Clear();
        dialog->OnApply();
        EXPECT_EQ(boxes.Ids(), c.boxes) << c.user << "/" << c.password;
    }
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_FALSE(dialog->Taken());
}

TEST_F(SearchDialogTest, DeviceTypesThatCannotChangeAreRefused) {
    device.responder.SetScript(
        [](std::string_view, std::string reply) { return Devices(reply, {0xb3}, {119}); });
    Open(1);
    ASSERT_TRUE(SearchEnds());
    Select(0);
    dialog->OnResetDefault();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4036});
    EXPECT_EQ(prompts, 0);
}

// What the device does with a set-address or reset request.
enum class Answer { kGenuine, kNotStatic, kOtherResult, kSilent };

std::vector<std::string> Answering(std::string_view request, std::string reply, Answer answer) {
    if (static_cast<std::uint8_t>(request[16]) == kSearchCommand || answer == Answer::kGenuine) {
        return {reply};
    }
    switch (answer) {
        case Answer::kNotStatic:
            return {WithByte(reply, 17, kResultNotStatic)};
        case Answer::kOtherResult:
            return {WithByte(reply, 17, 5)};
        default:
            return {};
    }
}

struct OutcomeCase {
    const char* name;
    bool reset;
    const char* password;
    Answer answer;
    unsigned box;
};

class SearchDialogOutcomes : public SearchDialogTest,
                             public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(SearchDialogOutcomes, AreReportedAndHandBackNothing) {
    const OutcomeCase& c = GetParam();
    device.responder.SetScript([answer = c.answer](std::string_view request, std::string reply) {
        return Answering(request, std::move(reply), answer);
    });
    LanSearchTimings timings = Timings();
    if (c.answer == Answer::kSilent) {
        // No reply ever comes, so the wait runs out whatever its length;
        // a device that answers ends the ample wait as its reply arrives.
        timings.applyWait = 20ms;
        timings.resetWait = 20ms;
    }
    Open(1, timings);
    ASSERT_TRUE(SearchEnds());
    Select(0);
    dialog->serverIpEdit()->setText("10.0.0.9");
    promptPassword = c.password;
    if (c.reset) {
        dialog->OnResetDefault();
    } else {
        dialog->OnApply();
    }
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{c.box});
    EXPECT_EQ(RequestCount(), 2u);
    EXPECT_FALSE(dialog->Taken());
    EXPECT_EQ(dialog->HandedBackIP(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SearchDialogOutcomes,
    ::testing::Values(OutcomeCase{"apply_wrong_password", false, "9999", Answer::kGenuine, 4081},
                      OutcomeCase{"apply_not_static", false, "1234", Answer::kNotStatic, 4102},
                      OutcomeCase{"apply_other_result", false, "1234", Answer::kOtherResult, 4004},
                      OutcomeCase{"apply_silent", false, "1234", Answer::kSilent, 4064},
                      OutcomeCase{"reset_wrong_password", true, "9999", Answer::kGenuine, 4081},
                      OutcomeCase{"reset_not_static", true, "1234", Answer::kNotStatic, 4102},
                      OutcomeCase{"reset_other_result", true, "1234", Answer::kOtherResult, 4061},
                      OutcomeCase{"reset_silent", true, "1234", Answer::kSilent, 4064}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(SearchDialogTest, ResetRestoresTheDeviceAndKeepsTheHandBack) {
    OpenOnTheDevice();
    dialog->serverIpEdit()->setText("10.0.0.7");
    dialog->OnApply();
    ASSERT_EQ(boxes.Ids(), std::vector<unsigned>{4005});
    ASSERT_NE(device.responder.Settings(), FakeLanDevice::DefaultOptions().settings);

    boxes.sink().Clear();
    Select(0);  // the settings the search found
    dialog->OnResetDefault();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4062});
    EXPECT_EQ(device.responder.Settings(), FakeLanDevice::DefaultOptions().settings);
    const auto requests = device.responder.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const DeviceNetworkText found{"00:0e:5c:4a:17:b3", "192.168.1.77", "255.255.255.0",
                                  "192.168.1.1",       "168.95.1.1",   8080};
    const auto expected = BuildDeviceRequest(kResetCommand, found, "admin", "1234").Encode();
    EXPECT_EQ(requests[2], std::string(expected.begin(), expected.end()));
    // Where a reset device comes back is not known: the hand-back is still
    // the address the device confirmed last.
    EXPECT_TRUE(dialog->Taken());
    EXPECT_EQ(dialog->HandedBackIP(), "10.0.0.7");
}

TEST(ConfirmAuthorityDialog, FieldsHoldFifteenCharactersAndMaskThePassword) {
    test_support::EnsureQtApp();
    CConfirmAuthorityDialog confirm;
    confirm.userEdit()->insert(QString(16, 'u'));
    confirm.passwordEdit()->insert(QString(16, 'p'));
    EXPECT_EQ(confirm.UserName(), std::string(15, 'u'));
    EXPECT_EQ(confirm.Password(), std::string(15, 'p'));
    EXPECT_EQ(confirm.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(confirm.windowTitle(), "Confirm Authority");
}

}  // namespace
