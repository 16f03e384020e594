// The dialogs no command opens, on real widgets: the wait box's dots, its
// closing on the done event and giving up; the buzzer requests on the wire
// and the private messages; the stream-setting ranges; the skinned
// information box; the empty address list; and a picture of each.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "core/widgets/qel_button.h"
#include "liveview/dialogs/address_list_dialog.h"
#include "liveview/dialogs/application_info_dialog.h"
#include "liveview/dialogs/buzzer_test_dialog.h"
#include "liveview/dialogs/stream_setting_dialog.h"
#include "liveview/dialogs/wait_progress_dialog.h"
#include "platform/program_folder.h"
#include "platform/sync.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using test_support::Reply;

void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// ---- wait box ---------------------------------------------------------------------

class WaitProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        liveview::CWaitProgressDialog::ResetDotCount();
    }

    liveview::CWaitProgressDialog::ExitProgram Recorder() {
        return [this](int code) { exits.push_back(code); };
    }

    platform::Event done{false, false};
    std::vector<int> exits;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(WaitProgressTest, DotsGrowToElevenAndStartAgain) {
    liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
    EXPECT_TRUE(box.TimersRunning());
    std::vector<std::string> texts;
    for (int i = 0; i < 12; ++i) {
        box.OnTimer(liveview::CWaitProgressDialog::kDotsTimerId);
        texts.push_back(box.textLabel()->text().toStdString());
    }
    EXPECT_EQ(texts[0], "Connecting.");
    EXPECT_EQ(texts[1], "Connecting..");
    EXPECT_EQ(texts[10], "Connecting...........");
    EXPECT_EQ(texts[11], "Connecting.");
    // The count is shared: a second box goes on where the first stopped.
    liveview::CWaitProgressDialog second(nullptr, &done, Recorder());
    second.OnTimer(liveview::CWaitProgressDialog::kDotsTimerId);
    EXPECT_EQ(second.textLabel()->text().toStdString(), "Connecting..");
    EXPECT_FALSE(box.Done());
    EXPECT_TRUE(exits.empty());
}

TEST_F(WaitProgressTest, TheDoneEventClosesTheBox) {
    liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
    box.show();
    box.OnTimer(liveview::CWaitProgressDialog::kDotsTimerId);
    EXPECT_TRUE(box.isVisible());
    done.Set();
    box.OnTimer(liveview::CWaitProgressDialog::kDotsTimerId);
    EXPECT_TRUE(box.Done());
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), 0);
    EXPECT_FALSE(box.TimersRunning());
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(WaitProgressTest, GivingUpAndCancelEndTheProgram) {
    {
        liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
        box.OnTimer(liveview::CWaitProgressDialog::kGiveUpTimerId);
        EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4008}));
        EXPECT_EQ(exits, (std::vector<int>{0}));
        EXPECT_FALSE(box.TimersRunning());
    }
    {
        liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
        box.cancelButton()->click();
        EXPECT_EQ(exits, (std::vector<int>{0, 0}));
        EXPECT_EQ(boxes.Ids().size(), 1u);
    }
    {
        // Closed another way, the box gives up on nothing later.
        liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
        box.reject();
        EXPECT_FALSE(box.TimersRunning());
        EXPECT_EQ(exits.size(), 2u);
    }
}

TEST_F(WaitProgressTest, Picture) {
    liveview::CWaitProgressDialog box(nullptr, &done, Recorder());
    for (int i = 0; i < 5; ++i) {
        box.OnTimer(liveview::CWaitProgressDialog::kDotsTimerId);
    }
    test_support::SaveWidgetPicture(box, "wait_progress.png");
    box.reject();
}

// ---- buzzer -----------------------------------------------------------------------

class BuzzerTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        g_szSessionCookie.Set("C00C1E");
        device.SetReply("/SetBuzzer.cgi", Reply::Ok());
    }

    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const auto& request : device.RequestsTo("/SetBuzzer.cgi")) {
            targets.push_back(request.target);
        }
        return targets;
    }
};

TEST_F(BuzzerTest, StopsASoundingBuzzerBeforeTheNext) {
    liveview::CBuzzerTestDialog dialog;
    EXPECT_TRUE(dialog.TimerRunning());
    dialog.longButton()->click();
    EXPECT_EQ(dialog.BuzzerState(), liveview::CBuzzerTestDialog::kLongSounding);
    dialog.longButton()->click();
    dialog.shortButton()->click();
    EXPECT_EQ(dialog.BuzzerState(), liveview::CBuzzerTestDialog::kShortSounding);
    g_szSessionCookie.Clear();
    dialog.shortButton()->click();
    EXPECT_EQ(Targets(), (std::vector<std::string>{
                             "/SetBuzzer.cgi?time=long&Cookie=C00C1E",
                             "/SetBuzzer.cgi?time=stop&Cookie=C00C1E",
                             "/SetBuzzer.cgi?time=long&Cookie=C00C1E",
                             "/SetBuzzer.cgi?Cookie=C00C1E&time=stop",
                             "/SetBuzzer.cgi?time=short&Cookie=C00C1E",
                             "/SetBuzzer.cgi?time=stop",
                             "/SetBuzzer.cgi?time=short",
                         }));
    EXPECT_EQ(
        device.RequestsTo("/SetBuzzer.cgi")[0].raw,
        "GET /SetBuzzer.cgi?time=long&Cookie=C00C1E HTTP/1.1\r\n" + command_test::FixedHeaders());
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(BuzzerTest, AFailingDeviceIsNotReported) {
    device.SetReply("/SetBuzzer.cgi", Reply::Status(500, "Internal Server Error"));
    liveview::CBuzzerTestDialog dialog;
    dialog.longButton()->click();
    EXPECT_EQ(Targets().size(), 1u);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(BuzzerTest, PrivateMessagesAndTheCheckBox) {
    liveview::CBuzzerTestDialog dialog;
    dialog.show();
    EXPECT_FALSE(dialog.checkBox()->isVisible());
    ASSERT_TRUE(platform::PostWindowMessage(dialog.Handle(),
                                            liveview::CBuzzerTestDialog::kMsgShowCheck, 0, 0));
    platform::ProcessPostedMessages();
    EXPECT_TRUE(dialog.checkBox()->isVisible());
    dialog.checkBox()->click();
    EXPECT_TRUE(dialog.CheckFlag());
    EXPECT_TRUE(dialog.checkBox()->isChecked());
    dialog.checkBox()->click();
    EXPECT_FALSE(dialog.CheckFlag());
    EXPECT_FALSE(dialog.checkBox()->isChecked());
    for (std::uint32_t message : {0x1100u, 0x1101u, 0x1102u, 0x1105u}) {
        platform::PostWindowMessage(dialog.Handle(), message, 0, 0);
    }
    platform::PostWindowMessage(dialog.Handle(), liveview::CBuzzerTestDialog::kMsgHideCheck, 0, 0);
    platform::ProcessPostedMessages();
    EXPECT_FALSE(dialog.checkBox()->isVisible());

    // The timer posts its tick only while the picture is connected.
    g_lpApp->f_VideoConnected = false;
    dialog.OnTimer();
    EXPECT_EQ(dialog.TicksPosted(), 0);
    g_lpApp->f_VideoConnected = true;
    dialog.OnTimer();
    EXPECT_EQ(dialog.TicksPosted(), 1);
    platform::ProcessPostedMessages();
    dialog.reject();
    EXPECT_FALSE(dialog.TimerRunning());
    EXPECT_TRUE(Targets().empty());
}

TEST_F(BuzzerTest, AgainstTheDeviceModel) {
    device.ClearReply("/SetBuzzer.cgi");
    auto& model = device.EnableDeviceModel();
    const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
    ASSERT_EQ(login.result, 1);
    g_szSessionCookie.Set(*ReplyItems(login.body).Find("Session-ID"));
    liveview::CBuzzerTestDialog dialog;
    dialog.shortButton()->click();
    dialog.longButton()->click();
    EXPECT_EQ(model.dialogCommands().BuzzerLog(),
              (std::vector<std::string>{"short", "stop", "long"}));
}

TEST_F(BuzzerTest, Picture) {
    liveview::CBuzzerTestDialog dialog;
    test_support::SaveWidgetPicture(dialog, "buzzer_test.png");
    dialog.reject();
}

// ---- stream setting ---------------------------------------------------------------

class StreamSettingTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    void Fill(liveview::CStreamSettingDialog& dialog, const std::array<const char*, 4>& texts) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            dialog.edit(i)->setText(texts[i]);
        }
    }

    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(StreamSettingTest, RangesAreCheckedOnOk) {
    struct Case {
        std::array<const char*, 4> texts;
        const char* message;  // nullptr: accepted
        int badField;
    };
    const Case cases[] = {
        {{"50", "1", "1", "1"}, nullptr, -1},
        {{"2000", "65535", "720", "576"}, nullptr, -1},
        {{" 384 ", "+30", "352", "240"}, nullptr, -1},
        {{"49", "1", "1", "1"}, "Please enter an integer between 50 and 2000.", 0},
        {{"2001", "1", "1", "1"}, "Please enter an integer between 50 and 2000.", 0},
        {{"100", "0", "1", "1"}, "Please enter an integer between 1 and 65535.", 1},
        {{"100", "65536", "1", "1"}, "Please enter an integer between 1 and 65535.", 1},
        {{"100", "1", "721", "1"}, "Please enter an integer between 1 and 720.", 2},
        {{"100", "1", "1", "577"}, "Please enter an integer between 1 and 576.", 3},
        {{"100", "1", "-5", "1"}, "Please enter an integer between 1 and 720.", 2},
        {{"abc", "1", "1", "1"}, "Please enter an integer.", 0},
        {{"100", "12x", "1", "1"}, "Please enter an integer.", 1},
        {{"100", "1", "", "1"}, "Please enter an integer.", 2},
        {{"100", "1", "1", "99999999999"}, "Please enter an integer.", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.texts[0]) + "," + c.texts[1] + "," + c.texts[2] + "," +
                     c.texts[3]);
        boxes.sink().Clear();
        liveview::CStreamSettingDialog dialog;
        EXPECT_EQ(dialog.m_nValues, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
        dialog.show();
        Fill(dialog, c.texts);
        dialog.OnOK();
        if (c.message == nullptr) {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_TRUE(boxes.Ids().empty());
        } else {
            EXPECT_TRUE(dialog.isVisible());
            const auto entries = boxes.sink().Entries();
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].text, c.message);
            EXPECT_EQ(dialog.m_nValues, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
            EXPECT_EQ(QApplication::focusWidget() == dialog.edit(std::size_t(c.badField)) ||
                          dialog.focusWidget() == dialog.edit(std::size_t(c.badField)),
                      true);
            dialog.reject();
        }
    }
}

TEST_F(StreamSettingTest, KeepsTheNumbersItRead) {
    liveview::CStreamSettingDialog dialog;
    Fill(dialog, {"384", "30", "352", "240"});
    dialog.OnOK();
    EXPECT_EQ(dialog.m_nValues, (std::array<std::int32_t, 4>{384, 30, 352, 240}));
}

TEST_F(StreamSettingTest, Picture) {
    liveview::CStreamSettingDialog dialog;
    test_support::SaveWidgetPicture(dialog, "stream_setting.png");
    dialog.reject();
}

// ---- information box and address list ---------------------------------------------

class SkinnedBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(KESTRUNE_BUILT_PROGRAM_DIR);
    }
    void TearDown() override { platform::ResetProgramFolder(); }
};

TEST_F(SkinnedBoxTest, InformationBox) {
    liveview::CApplicationInfoDialog box;
    EXPECT_TRUE(box.OnInitDialog());
    EXPECT_TRUE(box.PicturesLoaded());
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(box.size(), QSize(304, 238));
    EXPECT_FALSE(box.mask().contains(QPoint(0, 0)));
    EXPECT_EQ(box.VersionText(), "Version : 0.0.1.8");
    EXPECT_EQ(box.okButton()->geometry(), QRect(250, 200, 49, 25));
    EXPECT_EQ(box.okButton()->ButtonStyle(), CQelButton::kStylePush);
    test_support::SaveWidgetPicture(box, "application_info.png");
    box.okButton()->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(SkinnedBoxTest, InformationBoxWithoutItsPictures) {
    test_support::TempDir empty;
    platform::SetProgramFolder(empty.path());
    liveview::CApplicationInfoDialog box;
    EXPECT_FALSE(box.OnInitDialog());
    EXPECT_EQ(box.VersionText(), "Version : 0.0.1.8");
    EXPECT_EQ(box.okButton()->geometry(), QRect(250, 200, 49, 25));
}

TEST_F(SkinnedBoxTest, AddressListIsEmptyAndClosesWithEnterOrEscape) {
    for (const int key : {Qt::Key_Return, Qt::Key_Escape}) {
        liveview::CAddressListDialog list;
        list.show();
        EXPECT_EQ(list.windowTitle(), "Address Book");
        EXPECT_EQ(list.list()->topLevelItemCount(), 0);
        list.list()->setFocus();
        Key(list.list(), key);
        EXPECT_FALSE(list.isVisible());
        EXPECT_EQ(list.result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    }
    liveview::CAddressListDialog list;
    test_support::SaveWidgetPicture(list, "address_list.png");
    list.reject();
}

}  // namespace
