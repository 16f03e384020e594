// The skinned login dialog against the generated skin and the scripted
// device: its window, its painting, logging in and failing, replaced runs,
// the port edit, and the buttons that open other windows or the player.

#include "core/dialogs/login_dialog.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/application/window_messages.h"
#include "core/dialogs/connect_wait_dialog.h"
#include "core/state/device_family.h"
#include "core/widgets/qel_button.h"
#include "tests/core/login_window_fixture.h"
#include "tests/support/artifacts.h"

namespace login_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LoginDialogTest : public LoginWindowTest {
protected:
    // Presets the texts as start-up does (plus a password) and sets the
    // window up.
    void Prepare(LoginDialog& dialog, const std::string& password = "tresk") {
        dialog.m_strServerName = "127.0.0.1";
        dialog.m_strUserName = "tresk";
        dialog.m_strPassword = password;
        dialog.m_strPort = Port();
        dialog.m_strBitRate = "1200";
        dialog.OnInitDialog();
    }

    static QImage Bitmap(std::string_view relative) {
        QImage image;
        image.load(QString::fromStdString((home->path() / fs::path(relative)).string()), "BMP");
        return image.convertToFormat(QImage::Format_RGB32);
    }

    // Pixels of the failure text colour (or near it, for smoothed edges).
    static int BluePixels(const QImage& image, const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                count += qBlue(pixel) > 200 && qRed(pixel) < 90 && qGreen(pixel) < 110;
            }
        }
        return count;
    }

    static void PressEnter(QWidget* widget) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }
};

TEST_F(LoginDialogTest, WindowIsSetUpFromTheSkin) {
    LoginDialog dialog;
    Prepare(dialog);
    ASSERT_TRUE(dialog.InitFinished());
    EXPECT_EQ(dialog.size(), QSize(304, 341));
    EXPECT_EQ(dialog.pos(), QPoint(0, 0));
    EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(dialog.mask().contains(QPoint(303, 340)));
    EXPECT_TRUE(dialog.mask().contains(QPoint(7, 7)));
    EXPECT_TRUE(dialog.mask().contains(QPoint(152, 170)));
    EXPECT_EQ(dialog.toolTip(), "LOGIN");

    struct Expected {
        int id;
        QRect rect;
        const char* tip;
        std::uint16_t style;
    };
    const std::vector<Expected> buttons{
        {LoginDialog::kIdAddress, {30, 50, 34, 34}, "Address", CQelButton::kStylePushHover},
        {LoginDialog::kIdSearch, {80, 50, 34, 34}, "Search", CQelButton::kStylePushHover},
        {LoginDialog::kIdPlayer, {130, 50, 34, 34}, "Player", CQelButton::kStylePushHover},
        {LoginDialog::kIdCopy, {180, 50, 34, 34}, "Copy", CQelButton::kStylePushHover},
        {LoginDialog::kIdUpgrade,
         {230, 50, 34, 34},
         "Upgrade Firmware",
         CQelButton::kStylePushHover},
        {LoginDialog::kIdConnect, {50, 275, 32, 32}, "Connect", CQelButton::kStylePushHover},
        {LoginDialog::kIdCancel, {215, 275, 32, 32}, "Cancel", CQelButton::kStylePushHover},
        {LoginDialog::kIdNameLabel, {30, 100, 28, 28}, "User Name", CQelButton::kStyleSingle},
        {LoginDialog::kIdPasswordLabel, {30, 136, 28, 28}, "Password", CQelButton::kStyleSingle},
        {LoginDialog::kIdIpLabel, {30, 172, 28, 28}, "IP", CQelButton::kStyleSingle},
        {LoginDialog::kIdPortLabel, {30, 208, 28, 28}, "Port", CQelButton::kStyleSingle},
    };
    for (const Expected& expected : buttons) {
        const CQelButton* button = dialog.Button(expected.id);
        ASSERT_NE(button, nullptr) << expected.id;
        EXPECT_EQ(button->geometry(), expected.rect) << expected.id;
        EXPECT_EQ(button->toolTip(), expected.tip) << expected.id;
        EXPECT_EQ(button->ButtonStyle(), expected.style) << expected.id;
        EXPECT_TRUE(button->BitmapLoaded()) << expected.id;
    }
    EXPECT_EQ(dialog.userEdit()->geometry(), QRect(93, 100, 180, 28));
    EXPECT_EQ(dialog.passwordEdit()->geometry(), QRect(93, 136, 180, 28));
    EXPECT_EQ(dialog.serverEdit()->geometry(), QRect(93, 172, 180, 28));
    EXPECT_EQ(dialog.portEdit()->geometry(), QRect(93, 208, 100, 28));
    EXPECT_EQ(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.bitRateEdit()->isHidden());
    EXPECT_FALSE(dialog.bitRateEdit()->isEnabled());
    EXPECT_EQ(dialog.bitRateEdit()->text(), "1200");
    EXPECT_EQ(dialog.serverEdit()->text(), "127.0.0.1");
    EXPECT_EQ(dialog.portEdit()->text().toStdString(), Port());
}

TEST_F(LoginDialogTest, ScreenshotShowsTheFinishedSkin) {
    LoginDialog dialog;
    Prepare(dialog, "");
    dialog.show();
    QApplication::processEvents();
    const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    test_support::SaveImagePicture(shot, "login_dialog.png");

    // The version 1.0.5.6 as seven glyphs from x = 182, the points from
    // login_point.
    const std::string version = g_lpApp->str_AppVersion.Get();
    ASSERT_EQ(version, "1.0.5.6");
    for (std::size_t i = 0; i < version.size(); ++i) {
        const std::string name = version[i] == '.' ? "point" : std::string(1, version[i]);
        EXPECT_EQ(shot.copy(182 + 10 * static_cast<int>(i), 13, 10, 20),
                  Bitmap("BMP/LOGIN/login_" + name + ".bmp"))
            << i;
    }
    // Frame pieces sit where the skin puts them.
    EXPECT_EQ(shot.copy(21, 0, 257, 12), Bitmap("BMP/LOGIN/top_middle1.bmp"));
    EXPECT_EQ(shot.copy(25, 319, 255, 22), Bitmap("BMP/LOGIN/down_middle.bmp"));
    // Buttons show their normal faces.
    EXPECT_EQ(shot.copy(50, 275, 32, 32), Bitmap("BMP/LOGIN/enter.bmp"));
    EXPECT_EQ(shot.copy(30, 136, 28, 28), Bitmap("BMP/LOGIN/password.BMP"));
}

TEST_F(LoginDialogTest, ConnectLogsInAndTheDialogEndsWithOk) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    dialog.m_strServerName = "127.0.0.1";
    dialog.m_strUserName = "tresk";
    dialog.m_strPort = Port();
    dialog.m_strBitRate = "1200";
    // The operator types the password and presses Connect.
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.passwordEdit()->setText("tresk");
        dialog.Button(LoginDialog::kIdConnect)->click();
    });
    // Only a fault could leave the dialog open; it then fails instead of hanging.
    QTimer::singleShot(30s, &dialog, &QDialog::reject);
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(g_lpApp->w_LoginResult.load(), 30);
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), "Q8A7");
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), device.port());
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName.Get(), "tresk");
    EXPECT_FALSE(g_szSessionCookie.Empty());
    EXPECT_EQ(device.RequestsTo("/Login.cgi").size(), 1u);
}

struct FailureCase {
    const char* name;
    std::optional<Reply> reply;  // nothing: the model refuses a wrong password
    const char* text;
};

class LoginFailureTest : public LoginDialogTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LoginFailureTest, FailurePaintsItsTextAndKeepsTheDialogOpen) {
    const FailureCase& c = GetParam();
    device.EnableDeviceModel();
    if (c.reply) {
        device.SetReply("/Login.cgi", *c.reply);
    }
    LoginDialog dialog;
    Prepare(dialog, c.reply ? "tresk" : "wrong");
    dialog.show();
    dialog.OnConnectButton();
    ASSERT_TRUE(PumpUntil([&] { return dialog.LoginFailed(); }));
    EXPECT_EQ(dialog.FailureText(), c.text);
    EXPECT_FALSE(dialog.Animating());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.isVisible());
    const QImage shot = dialog.grab().toImage();
    EXPECT_GT(BluePixels(shot, QRect(74, 245, 220, 20)), 20);
    // Nothing of the text shows before the failure.
    LoginDialog fresh;
    Prepare(fresh);
    fresh.show();
    EXPECT_EQ(BluePixels(fresh.grab().toImage(), QRect(74, 245, 220, 20)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LoginFailureTest,
    ::testing::Values(FailureCase{"Refused", std::nullopt, "Login procedure failed"},
                      FailureCase{"TooManyUsers", Reply::Status(202, "Accepted"), "Too many user"},
                      FailureCase{"UnknownProduct", Reply::Ok("Session-ID=AB12;Product-ID=Q1X1;"),
                                  "No support this device"}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(LoginDialogTest, AReplacedRunNeitherClosesTheDialogNorKeepsItsIdentity) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    Prepare(dialog);
    dialog.OnConnectButton();
    const std::uint64_t first = dialog.CurrentRun();
    // The first run logs in and posts its success, which is not delivered yet.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (g_lpApp->w_LoginResult.load() != 30 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(g_lpApp->w_LoginResult.load(), 30);

    // Connect again, now with a password the device refuses: this run
    // replaces the first before its success is handled.
    dialog.passwordEdit()->setText("wrong");
    dialog.OnConnectButton();
    EXPECT_EQ(dialog.CurrentRun(), first + 1);
    ASSERT_TRUE(PumpUntil([&] { return dialog.LoginFailed(); }));
    platform::ProcessPostedMessages();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.FailureText(), "Login procedure failed");
    EXPECT_TRUE(g_szSessionCookie.Empty());
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), "");

    // A late message of the first run changes nothing either.
    dialog.HandleWindowMessage(WM_LOGINSUCCESS, 0, first);
    dialog.HandleWindowMessage(WM_LOGINFAILED, 2, first);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.FailureText(), "Login procedure failed");
}

TEST_F(LoginDialogTest, AnimationAdvancesWrapsAndIgnoresOtherRuns) {
    Reply stalled;
    stalled.stallAfter = 0;
    device.SetReply("/Login.cgi", stalled);
    LoginDialog dialog;
    Prepare(dialog);
    dialog.show();
    dialog.OnConnectButton();
    ASSERT_TRUE(device.WaitForStalls(1));
    // Messages are handed over directly; the animation thread's own stay queued.
    const std::uint64_t run = dialog.CurrentRun();
    dialog.HandleWindowMessage(WM_LOGINANIMATE, 0, run);
    EXPECT_TRUE(dialog.Animating());
    EXPECT_EQ(dialog.AnimationFrame(), 1);
    dialog.HandleWindowMessage(WM_LOGINANIMATE, 0, run - 1);
    EXPECT_EQ(dialog.AnimationFrame(), 1);
    for (int i = 0; i < 16; ++i) {
        dialog.HandleWindowMessage(WM_LOGINANIMATE, 0, run);
    }
    EXPECT_EQ(dialog.AnimationFrame(), 17);
    dialog.HandleWindowMessage(WM_LOGINANIMATE, 0, run);
    EXPECT_EQ(dialog.AnimationFrame(), 0);

    // The bar: filled from x = 74 over 18 steps of half the block's width,
    // with the block at the current step.
    const QImage running = Bitmap("BMP/LOGIN/running.bmp");
    const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int step = running.width() / 2;
    EXPECT_EQ(shot.copy(74, 245, running.width(), running.height()), running);
    EXPECT_EQ(shot.pixel(74 + 18 * step - 1, 246) & 0xFFFFFF, 0x9DD8F4u);
    EXPECT_NE(shot.pixel(74 + 18 * step + 1, 246) & 0xFFFFFF, 0x9DD8F4u);
}

TEST_F(LoginDialogTest, EnterInAnEditLogsInLikeConnect) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    Prepare(dialog);
    PressEnter(dialog.passwordEdit());
    ASSERT_TRUE(PumpUntil([&] { return dialog.result() == QDialog::Accepted; }));
    EXPECT_EQ(g_lpApp->w_LoginResult.load(), 30);
}

TEST_F(LoginDialogTest, EmptyUserOrPasswordIsRefusedBeforeAnythingStarts) {
    LoginDialog dialog;
    Prepare(dialog, "");
    dialog.OnConnectButton();
    dialog.passwordEdit()->setText("tresk");
    dialog.userEdit()->setText("");
    dialog.OnConnectButton();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4081, 4081}));
    EXPECT_FALSE(dialog.LoginRunning());
    EXPECT_EQ(dialog.CurrentRun(), 0u);
    EXPECT_EQ(device.RequestCount(), 0u);
}

TEST_F(LoginDialogTest, PortZeroFailsWithoutSendingAnything) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    Prepare(dialog);
    dialog.portEdit()->setText("0");
    dialog.OnConnectButton();
    ASSERT_TRUE(PumpUntil([&] { return dialog.LoginFailed(); }));
    EXPECT_EQ(dialog.FailureText(), "Login procedure failed");
    EXPECT_EQ(device.RequestCount(), 0u);
}

TEST_F(LoginDialogTest, PortEditKeepsANumberFromOneDigitToFive) {
    struct Case {
        const char* typed;
        const char* shown;
    };
    const std::vector<Case> cases{
        {"80", "80"},       {"x", "80"},
        {"", "80"},         {"12a34", "1234"},
        {"007", "7"},       {"0", "0"},
        {"8080", "8080"},   {"65535", "65535"},
        {"99999", "65535"}, {"123456789012", "65535"},
        {"-5", "5"},
    };
    LoginDialog dialog;
    Prepare(dialog);
    for (const Case& c : cases) {
        dialog.portEdit()->setText(c.typed);
        EXPECT_EQ(dialog.portEdit()->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(dialog.portEdit()->cursorPosition(), dialog.portEdit()->text().size()) << c.typed;
    }
}

TEST_F(LoginDialogTest, WithoutItsSkinTheDialogStillLogsInAndCancels) {
    test_support::TempDir bare;
    skingen::WriteSkin(skingen::LoginSkin(), bare.path());
    fs::remove(bare.path() / "BMP/LOGIN/running.bmp");
    platform::SetProgramFolder(bare.path());
    device.EnableDeviceModel();

    LoginDialog dialog;
    Prepare(dialog);
    EXPECT_FALSE(dialog.InitFinished());
    EXPECT_EQ(dialog.Button(LoginDialog::kIdConnect), nullptr);
    EXPECT_TRUE(dialog.toolTip().isEmpty());
    EXPECT_NE(dialog.userEdit()->geometry(), QRect(93, 100, 180, 28));
    EXPECT_LT(dialog.userEdit()->geometry().y(), dialog.passwordEdit()->geometry().y());
    dialog.show();
    (void)dialog.grab();  // paints without its skin
    PressEnter(dialog.userEdit());
    ASSERT_TRUE(PumpUntil([&] { return dialog.result() == QDialog::Accepted; }));

    LoginDialog other;
    Prepare(other);
    QTimer::singleShot(0, &other, [&other] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(other.userEdit(), &escape);
    });
    EXPECT_EQ(other.DoModal(), 2);
}

TEST_F(LoginDialogTest, CancelEndsTheDialog) {
    LoginDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Button(LoginDialog::kIdCancel)->click(); });
    EXPECT_EQ(dialog.DoModal(), 2);
}

TEST_F(LoginDialogTest, DraggingTheBodyMovesTheWindow) {
    LoginDialog dialog;
    Prepare(dialog);
    dialog.show();
    const QPoint start = dialog.pos();
    const auto send = [&dialog](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(dialog.mapToGlobal(local)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&dialog, &event);
    };
    send(QEvent::MouseButtonPress, {150, 250}, Qt::LeftButton);
    send(QEvent::MouseMove, {170, 280}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {170, 280}, Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(20, 30));
}

// ---- player ---------------------------------------------------------------------

TEST_F(LoginDialogTest, NewestRecordingIsTheLatestKstFile) {
    test_support::TempDir records;
    const auto write = [&records](const std::string& name, int ageSeconds) {
        const fs::path file = records.path() / name;
        std::ofstream(file) << name;
        fs::last_write_time(file,
                            fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
        return file;
    };
    EXPECT_EQ(LoginDialog::NewestRecording(records.path()), std::nullopt);
    write("a.kst", 100);
    const fs::path newer = write("b.KST", 50);
    write("c.txt", 1);
    fs::create_directory(records.path() / "sub");
    write("sub/d.kst", 1);
    EXPECT_EQ(LoginDialog::NewestRecording(records.path()), newer);
    // Of equal times the first by name stays.
    const fs::path last = write("z.kst", 10);
    const fs::path first = write("a0.kst", 10);
    fs::last_write_time(last, fs::last_write_time(first));
    EXPECT_EQ(LoginDialog::NewestRecording(records.path()), first);
    EXPECT_EQ(LoginDialog::NewestRecording(records.path() / "missing"), std::nullopt);
}

TEST_F(LoginDialogTest, PlayerStartsWithTheNewestRecordingAsOneArgument) {
    // A stand-in player that writes down its arguments, one per line.
    const fs::path program = home->path() / "VideoPlayer.exe";
    const fs::path log = home->path() / "player-arguments.txt";
    {
        std::ofstream script(program);
        script << "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \""
               << log.string() << ".tmp\" && mv \"" << log.string() << ".tmp\" \"" << log.string()
               << "\"\n";
    }
    fs::permissions(program, fs::perms::owner_all);
    test_support::TempDir records;
    const fs::path folder = records.path() / "Record Folder";
    fs::create_directory(folder);
    std::ofstream(folder / "old.kst") << "x";
    fs::last_write_time(folder / "old.kst", fs::file_time_type::clock::now() - 100s);
    std::ofstream(folder / "New Clip.kst") << "x";
    g_lpApp->CSettingINI.m_strRecordPath = folder.string();

    const auto readLog = [&log] {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    LoginDialog dialog;
    Prepare(dialog);
    dialog.Button(LoginDialog::kIdPlayer)->click();
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(log); }));
    EXPECT_EQ(readLog(), "1\n" + (folder / "New Clip.kst").string() + "\n");

    fs::remove(log);
    g_lpApp->CSettingINI.m_strRecordPath = (records.path() / "empty").string();
    dialog.OnPlayerButton();
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(log); }));
    EXPECT_EQ(readLog(), "0\n");
    EXPECT_TRUE(boxes.Ids().empty());

    fs::remove(program);
    dialog.OnPlayerButton();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4098});
}

// ---- windows opened from the dialog ---------------------------------------------

TEST_F(LoginDialogTest, AddressBookAndSearchFillTheFields) {
    LoginDialogHooks hooks;
    hooks.runAddressBook = [] {
        return std::optional(AddressBookChoice{"viewer", "10.1.2.3", 8081});
    };
    hooks.runDeviceSearch = [](QWidget* parent) {
        EXPECT_NE(parent, nullptr);
        return std::optional(DeviceSearchChoice{"10.9.8.7", 9000});
    };
    SetLoginDialogHooks(hooks);
    LoginDialog dialog;
    Prepare(dialog);
    dialog.passwordEdit()->setText("secret");

    dialog.Button(LoginDialog::kIdAddress)->click();
    EXPECT_EQ(dialog.userEdit()->text(), "viewer");
    EXPECT_EQ(dialog.serverEdit()->text(), "10.1.2.3");
    EXPECT_EQ(dialog.portEdit()->text(), "8081");
    EXPECT_EQ(dialog.passwordEdit()->text(), "secret");
    // The address book does not touch the settings.
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), CSettingINI::kDefaultServerName);

    dialog.Button(LoginDialog::kIdSearch)->click();
    EXPECT_EQ(dialog.serverEdit()->text(), "10.9.8.7");
    EXPECT_EQ(dialog.portEdit()->text(), "9000");
    EXPECT_EQ(dialog.userEdit()->text(), "viewer");
    // The search changes the settings at once.
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), "10.9.8.7");
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), 9000);
}

TEST_F(LoginDialogTest, WindowsNotBuiltYetSayTheyAreNotAvailable) {
    LoginDialog dialog;
    Prepare(dialog);
    dialog.OnCopyProgramButton();
    const auto entries = boxes.sink().Entries();
    ASSERT_EQ(entries.size(), 1u);
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.text, kNotAvailableText);
    }
    EXPECT_EQ(dialog.serverEdit()->text(), "127.0.0.1");
}

TEST_F(LoginDialogTest, CopyProgramMakesTheSkinFolderAndCopiesFromTheProgramFolder) {
    test_support::TempDir destination;
    std::vector<std::pair<fs::path, fs::path>> copies;
    fs::path pickerStart;
    LoginDialogHooks hooks;
    hooks.pickFolder = [&](QWidget*, const fs::path& start) {
        pickerStart = start;
        return std::optional(destination.path());
    };
    hooks.copyProgram = [&](QWidget*, const fs::path& source, const fs::path& target) {
        copies.emplace_back(source, target);
    };
    SetLoginDialogHooks(hooks);
    LoginDialog dialog;
    Prepare(dialog);
    dialog.Button(LoginDialog::kIdCopy)->click();
    EXPECT_EQ(pickerStart, fs::path("/"));
    EXPECT_TRUE(fs::is_directory(destination.path() / "BMP"));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].first, fs::path(home->path().string() + "/"));
    EXPECT_EQ(copies[0].second, destination.path());
}

struct UpgradeCase {
    const char* name;
    std::string password;
    devicesim::DeviceProfile profile;
    std::vector<std::string> boxes;  // texts shown, in order
    bool upgradeRuns;
};

devicesim::DeviceProfile Profile(std::string product, std::string firmware, int level) {
    devicesim::DeviceProfile profile;
    profile.productId = std::move(product);
    profile.firmwareVersion = std::move(firmware);
    profile.userLevel = level;
    return profile;
}

class UpgradeTest : public LoginDialogTest, public ::testing::WithParamInterface<UpgradeCase> {};

TEST_P(UpgradeTest, UpgradeLogsInFirstAndChecksTheDevice) {
    const UpgradeCase& c = GetParam();
    device.EnableDeviceModel("tresk", "tresk", c.profile);
    int upgrades = 0;
    LoginDialogHooks hooks;
    hooks.runUpgradeFirmware = [&upgrades] { ++upgrades; };
    SetLoginDialogHooks(hooks);
    LoginDialog dialog;
    Prepare(dialog, c.password);
    dialog.Button(LoginDialog::kIdUpgrade)->click();
    std::vector<std::string> texts;
    for (const auto& entry : boxes.sink().Entries()) {
        texts.push_back(entry.text);
    }
    EXPECT_EQ(texts, c.boxes);
    EXPECT_EQ(upgrades, c.upgradeRuns ? 1 : 0);
    // The wait dialog's worker has ended; the login dialog stays open.
    EXPECT_FALSE(TheLogin().WorkerRunning());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, UpgradeTest,
    ::testing::Values(
        UpgradeCase{"Recorder", "tresk", Profile("Q8A7", "1052", 30), {}, true},
        UpgradeCase{"RecorderAtTheGate", "tresk", Profile("Q8A3", "1031", 30), {}, true},
        UpgradeCase{"OtherFamilyWithoutGate", "tresk", Profile("Q3A2", "1000", 30), {}, true},
        UpgradeCase{"NotAdministrator",
                    "tresk",
                    Profile("Q8A7", "1052", 20),
                    {"Only administrator could use upgrade firmware function"},
                    false},
        UpgradeCase{"UnknownProduct",
                    "tresk",
                    Profile("Q5X1", "1052", 30),
                    {"Device doesn't support network upgrade FW"},
                    false},
        UpgradeCase{"OldRecorderFirmware",
                    "tresk",
                    Profile("Q8A5", "1030", 30),
                    {"Device doesn't support network upgrade FW"},
                    false},
        UpgradeCase{
            "RefusedLogin", "wrong", Profile("Q8A7", "1052", 30), {"Login error !!"}, false},
        UpgradeCase{"NoPassword",
                    "",
                    Profile("Q8A7", "1052", 30),
                    {"Username or password is not correct"},
                    false}),
    [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace login_test
