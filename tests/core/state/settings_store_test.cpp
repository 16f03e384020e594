#include "core/state/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/support/file_contents.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

// Texts print as their value in failure messages.
void PrintTo(const CSettingINI::Text& text, std::ostream* os) {
    *os << '"' << text.Get() << '"';
}

namespace {

using namespace std::string_literals;
using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteAll;

// A program folder and a home folder (with its Desktop) in a scratch folder;
// message boxes are recorded.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest()
        : m_home("HOME", (m_scratch / "home").string()),
          m_config("XDG_CONFIG_HOME", (m_scratch / "home" / ".config").string()) {
        std::filesystem::create_directories(m_scratch / "home" / ".config");
        std::filesystem::create_directories(m_scratch / "prog");
    }

    std::filesystem::path Program() const { return m_scratch / "prog"; }
    std::filesystem::path SettingFile() const { return Program() / "Setting.ini"; }
    std::string Desktop() const { return (m_scratch / "home" / "Desktop").string(); }
    std::string Under(const char* name) const { return (m_scratch / name).string(); }

    // Loads Setting.ini holding `body` under [Kestrune] (no file for nullopt).
    std::uint8_t LoadWith(CSettingINI& settings, std::optional<std::string> body) {
        if (body) {
            WriteAll(SettingFile(), "[Kestrune]\r\n" + *body);
        }
        std::uint8_t turbo = 0;
        EXPECT_TRUE(settings.LoadFromFile(Program(), turbo));
        return turbo;
    }

    TempDir m_scratch;
    ScopedEnv m_home;
    ScopedEnv m_config;
    test_support::ScopedMessageBoxRecorder m_boxes;
};

TEST(SettingsKeys, TableHoldsTheSectionAndFortyEightKeys) {
    EXPECT_EQ(CSettingINI::m_strKeyName.size(), 49u);
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeySection], "Kestrune");
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeyImageQuility], "Image Quility");
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeyServerName], "Server Name");
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeyUnused17], "");
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeyAlarmAudioNewPath3],
              "Alarm Audio New Path III");
    EXPECT_EQ(CSettingINI::m_strKeyName[CSettingINI::kKeyWriteCdCloseOption],
              "Write CD Close Option");
}

TEST(SettingsDefaults, ConstructorValues) {
    const CSettingINI s;
    EXPECT_EQ(s.m_strPassword, "tresk");
    EXPECT_EQ(s.m_strUserName, "tresk");
    EXPECT_EQ(s.m_strServerName, "192.168.1.10");
    EXPECT_EQ(s.m_wWebPort, 80);
    EXPECT_EQ(s.m_dwSubPortNumber, 8888u);
    EXPECT_EQ(s.m_wZoomRatio, 100);
    EXPECT_EQ(s.m_dwContrast, 96u);
    EXPECT_EQ(s.m_dwImageResolution, 0u);
    EXPECT_EQ(s.m_wFrameRate, 0);
    EXPECT_EQ(s.m_wSearchListMaxNumber, 0);
    EXPECT_TRUE(s.m_szResolvedHost.empty());
    EXPECT_TRUE(s.m_strProgramDir.empty());
    EXPECT_TRUE(s.m_strRecordPath.empty());
    EXPECT_FALSE(s.m_fAppendPlayer);
    EXPECT_EQ(&s.m_bAppendPlayer, &s.m_fAppendPlayer);
    EXPECT_TRUE(s.SettingFilePath().empty());
}

TEST_F(SettingsTest, LoadWithoutFileGivesTheKeyDefaults) {
    CSettingINI s;
    const std::uint8_t turbo = LoadWith(s, std::nullopt);
    EXPECT_EQ(s.m_strProgramDir, Program().string() + "/");
    EXPECT_EQ(s.SettingFilePath(), SettingFile());
    EXPECT_EQ(s.m_strServerName, "192.168.1.10");
    EXPECT_EQ(s.m_wWebPort, 80);
    EXPECT_EQ(s.m_strUserName, "tresk");
    EXPECT_EQ(s.m_dwContrast, 96u);
    EXPECT_EQ(s.m_wSearchListMaxNumber, 128);
    EXPECT_EQ(s.m_strTriggerWavPath, (Program() / "alarm.wav").string());
    EXPECT_EQ(s.m_strRecordPath, Desktop());
    EXPECT_EQ(s.m_strSnapshotPath, Desktop());
    EXPECT_EQ(s.m_strDesktopPath, Desktop());
    EXPECT_EQ(s.m_strUpgradeFWPath, Desktop() + "/");
    EXPECT_EQ(s.m_strUpgradeDVRFWPath, Desktop());
    EXPECT_EQ(s.m_strNetworkFileDirectory, "c:\\");
    EXPECT_EQ(turbo, 5);
    EXPECT_EQ(s.m_dwImageResolution, 1u);
    EXPECT_EQ(s.m_dwSubPortNumber, 8888u);
    EXPECT_EQ(s.m_wZoomRatio, 100);
    EXPECT_EQ(s.m_wFrameRate, 30);
    EXPECT_EQ(s.m_wTargetBitRate, 400);
    EXPECT_EQ(s.m_wPeakBitRate, 450);
    EXPECT_EQ(s.m_wControlBitRateType, 1);
    EXPECT_EQ(s.m_byResolutionType, 3);
    EXPECT_EQ(s.m_bySelectedChannel, 1);
    EXPECT_EQ(s.m_wLastConnectionMAC1, 255);
    EXPECT_EQ(s.m_wLastConnectionMAC2, 255);
    EXPECT_EQ(s.m_byAlarmTriggerRecord, 1);
    EXPECT_EQ(s.m_byRETRAlarmRecord, 1);
    EXPECT_EQ(s.m_wAlarmEnableButton, 3);
    EXPECT_EQ(s.m_dwAlarmTriggerResolution, 1u);
    EXPECT_EQ(s.m_strPassword, "tresk");
    // The record and snapshot folder (the Desktop) is created; the file is not.
    EXPECT_TRUE(std::filesystem::is_directory(Desktop()));
    EXPECT_FALSE(std::filesystem::exists(SettingFile()));
    EXPECT_TRUE(m_boxes.Ids().empty());
}

TEST_F(SettingsTest, MissingKeysKeepTheValuesSetBeforeTheLoadWhereTheDefaultIsCurrent) {
    CSettingINI s;
    s.m_strUserName = "bob";
    s.m_wWebPort = 8081;
    s.m_dwSubPortNumber = 9999;
    s.m_strServerName = "10.9.9.9";  // its load default is fixed
    LoadWith(s, "brightness=4\r\n");
    EXPECT_EQ(s.m_strUserName, "bob");
    EXPECT_EQ(s.m_wWebPort, 8081);
    EXPECT_EQ(s.m_dwSubPortNumber, 9999u);
    EXPECT_EQ(s.m_strServerName, "192.168.1.10");
    EXPECT_EQ(s.m_dwBrightness, 4u);
}

TEST_F(SettingsTest, LoadFromTheProgramFolder) {
    platform::SetProgramFolder(Program());
    WriteAll(SettingFile(), "[kestrune]\nserver name=10.1.1.1\nServerPort=81\n");
    CSettingINI s;
    std::uint8_t turbo = 0;
    EXPECT_TRUE(s.LoadFromFile(turbo));
    platform::ResetProgramFolder();
    EXPECT_EQ(s.m_strProgramDir, Program().string() + "/");
    EXPECT_EQ(s.m_strServerName, "10.1.1.1");
    EXPECT_EQ(s.m_wWebPort, 81);
}

// ---------------------------------------------------------------- fix-ups

TEST_F(SettingsTest, FixUpsAtLoad) {
    struct Case {
        std::string body;
        std::function<std::string(const CSettingINI&)> read;
        std::string expected;
    };
    const auto fw = [](const CSettingINI& s) { return s.m_strUpgradeFWPath.Get(); };
    const auto dvr = [](const CSettingINI& s) { return s.m_strUpgradeDVRFWPath.Get(); };
    const auto retr = [](const CSettingINI& s) { return std::to_string(s.m_byRETRAlarmRecord); };
    const auto record = [](const CSettingINI& s) { return s.m_strRecordPath.Get(); };
    const auto snapshot = [](const CSettingINI& s) { return s.m_strSnapshotPath.Get(); };
    const Case cases[] = {
        {"Upgrade FW Path=/srv/fw\r\n", fw, "/srv/fw/"},
        {"Upgrade FW Path=/srv/fw/\r\n", fw, "/srv/fw/"},
        {"Upgrade FW Path=UnKnown\r\n", fw, "UnKnown/"},
        {"Upgrade DVR FW Path=/srv/dvr/\r\n", dvr, "/srv/dvr"},
        {"Upgrade DVR FW Path=/srv/dvr\r\n", dvr, "/srv/dvr"},
        {"RETR Alarm Record=0\r\n", retr, "1"},
        {"Record Path=\r\n", record, Desktop()},
        {"Snapshot Path=\"\"\r\n", snapshot, Desktop()},
        {"Record Path=" + Under("rec") + "\r\n", record, Under("rec")},
    };
    for (const auto& c : cases) {
        CSettingINI s;
        LoadWith(s, c.body);
        EXPECT_EQ(c.read(s), c.expected) << c.body;
    }
}

TEST_F(SettingsTest, OnlyTheLastLevelOfTheRecordAndSnapshotFoldersIsCreated) {
    CSettingINI s;
    LoadWith(s, "Record Path=" + Under("rec") + "\r\nSnapshot Path=" + Under("a/b") + "\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(Under("rec")));
    EXPECT_FALSE(std::filesystem::exists(Under("a")));
    EXPECT_EQ(s.m_strSnapshotPath, Under("a/b"));
}

// ---------------------------------------------------------------- damaged values

TEST_F(SettingsTest, OutOfRangeAndJunkNumbersTakeTheKeyDefault) {
    struct Case {
        const char* line;
        std::function<std::uint64_t(const CSettingINI&)> read;
        std::uint64_t expected;
    };
    const auto port = [](const CSettingINI& s) { return std::uint64_t{s.m_wWebPort}; };
    const auto subPort = [](const CSettingINI& s) { return std::uint64_t{s.m_dwSubPortNumber}; };
    const auto channel = [](const CSettingINI& s) { return std::uint64_t{s.m_bySelectedChannel}; };
    const auto bright = [](const CSettingINI& s) { return std::uint64_t{s.m_dwBrightness}; };
    const auto contrast = [](const CSettingINI& s) { return std::uint64_t{s.m_dwContrast}; };
    const auto maxNumber = [](const CSettingINI& s) {
        return std::uint64_t{s.m_wSearchListMaxNumber};
    };
    const Case cases[] = {
        {"ServerPort=70000", port, 80},
        {"ServerPort=0", port, 80},
        {"ServerPort=-1", port, 80},
        {"ServerPort=65536", port, 80},
        {"ServerPort=65535", port, 65535},
        {"ServerPort=1", port, 1},
        {"ServerPort=8080abc", port, 8080},
        {"ServerPort= \"8081\" ", port, 8081},
        {"ServerPort=abc", port, 80},
        {"ServerPort=99999999999999999999999", port, 80},
        {"Sub Port Number=0", subPort, 8888},
        {"Selected Channel=256", channel, 1},
        {"Selected Channel=255", channel, 255},
        {"brightness=4294967296", bright, 0},
        {"brightness=4294967295", bright, 4294967295u},
        {"contrast=-5", contrast, 96},
        {"Search List Max Number=65536", maxNumber, 128},
        {"Search List Max Number=", maxNumber, 128},
    };
    for (const auto& c : cases) {
        CSettingINI s;
        LoadWith(s, std::string(c.line) + "\r\n");
        EXPECT_EQ(c.read(s), c.expected) << c.line;
    }
}

TEST_F(SettingsTest, TurboRepeatStepOutOfRangeTakesFive) {
    CSettingINI s;
    EXPECT_EQ(LoadWith(s, "Turbo repeat step=300\r\n"), 5);
    EXPECT_EQ(LoadWith(s, "Turbo repeat step=12\r\n"), 12);
    EXPECT_EQ(LoadWith(s, "Turbo repeat step=x\r\n"), 5);
}

TEST_F(SettingsTest, DamagedFileGivesDefaults) {
    WriteAll(SettingFile(), "\0\xff\xfe[Kestrune\r\n=ServerPort\r\n\r\r\n[Kestrune]"s +
                                std::string(2'000'000, 'x') + "\nServerPort");
    CSettingINI s;
    std::uint8_t turbo = 0;
    ASSERT_TRUE(s.LoadFromFile(Program(), turbo));
    EXPECT_EQ(s.m_wWebPort, 80);
    EXPECT_EQ(s.m_strServerName, "192.168.1.10");
    EXPECT_EQ(turbo, 5);
    EXPECT_EQ(s.m_strRecordPath, Desktop());
}

TEST_F(SettingsTest, TextsAreCutAt255ButPathsAreReadWhole) {
    const std::string longName(300, 'u');
    const std::string longPath = Under("") + std::string(200, 'p') + "/" + std::string(200, 'q');
    CSettingINI s;
    LoadWith(s, "Username=" + longName + "\r\nServer Name=" + std::string(1'000'000, 's') +
                    "\r\nTrigger Wav Path=" + longPath + "\r\n");
    EXPECT_EQ(s.m_strUserName, std::string(255, 'u'));
    EXPECT_EQ(s.m_strServerName.Get().size(), 255u);
    EXPECT_EQ(s.m_strTriggerWavPath, longPath);
}

// ---------------------------------------------------------------- saving

// Every stored setting set to a value of its own.
void SetDistinctValues(CSettingINI& s, const std::string& root) {
    s.m_dwBrightness = 4294967295u;
    s.m_dwContrast = 2;
    s.m_dwSaturation = 3;
    s.m_dwImageResolution = 2;
    s.m_strUserName = "operator";
    s.m_strServerName = "10.0.0.7";
    s.m_wWebPort = 8080;
    s.m_dwSubPortNumber = 9000;
    s.m_wZoomRatio = 150;
    s.m_wFrameRate = 25;
    s.m_wTargetBitRate = 500;
    s.m_wPeakBitRate = 600;
    s.m_wControlBitRateType = 2;
    s.m_byResolutionType = 4;
    s.m_byImageQuality = 5;
    s.m_bySelectedChannel = 16;
    s.m_dwDynamicDownloadOption = 1;
    s.m_dwWriteCdOption = 1;
    s.m_dwWriteCdCloseOption = 1;
    s.m_wLastConnectionMAC1 = 171;
    s.m_wLastConnectionMAC2 = 205;
    s.m_byAlarmTriggerRecord = 0;
    s.m_byRETRAlarmRecord = 1;
    s.m_wAlarmEnableButton = 7;
    s.m_dwAlarmTriggerQuality = 2;
    s.m_dwAlarmTriggerResolution = 0;
    s.m_dwTriggerWavPathLOWORD = 65535;
    s.m_byTriggerCloseTimeHour = 23;
    s.m_byTriggerCloseTimeMin = 59;
    s.m_byTriggerCloseTimeDate = 255;
    s.m_byAlarmAutoSwitchVideo = 1;
    s.m_wSearchListHDD = 3;
    s.m_bySearchListType = 2;
    s.m_wSearchListMaxNumber = 64;
    s.m_strRecordPath = root + "/rec";
    s.m_strSnapshotPath = root + "/snap";
    s.m_strUpgradeFWPath = root + "/fw/";
    s.m_strUpgradeDVRFWPath = root + "/dvr";
    s.m_strTriggerWavPath = root + "/sound.wav";
    s.m_strNetworkFileDirectory = root + "/net";
    s.m_strPassword = "secret-password";
}

TEST_F(SettingsTest, SaveWritesTheLayoutAndLoadGivesTheValuesBack) {
    CSettingINI s;
    LoadWith(s, std::nullopt);
    const std::string root = m_scratch.path().string();
    SetDistinctValues(s, root);
    ASSERT_TRUE(s.SaveToFile(12));

    const std::string expected =
        "[Kestrune]\r\n"
        "brightness=4294967295\r\n"
        "contrast=2\r\n"
        "saturation=3\r\n"
        "Image Resolution=2\r\n"
        "Username=operator\r\n"
        "Server Name=10.0.0.7\r\n"
        "ServerPort=8080\r\n"
        "Sub Port Number=9000\r\n"
        "Zoom Ratio=150\r\n"
        "Frame Rate=25\r\n"
        "Target Bit Rate=500\r\n"
        "Peak Bit Rate=600\r\n"
        "Control Bit Rate Type=2\r\n"
        "Resolution Type=4\r\n"
        "Image Quility=5\r\n"
        "Selected Channel=16\r\n"
        "Dynamic Download Option=1\r\n"
        "Write CD Option=1\r\n"
        "Write CD Close Option=1\r\n"
        "Last Connection MAC1=171\r\n"
        "Last Connection MAC2=205\r\n"
        "Alarm Trigger Record=0\r\n"
        "RETR Alarm Record=1\r\n"
        "Alarm Enable Button=7\r\n"
        "Turbo repeat step=12\r\n"
        "Alarm Trigger Quality=2\r\n"
        "Alarm Trigger Resolution=0\r\n"
        "Trigger Wav Path LOWORD=65535\r\n"
        "Trigger Close Time Hour=23\r\n"
        "Trigger Close Time Min=59\r\n"
        "Trigger Close Time date=255\r\n"
        "Alarm auto switch video=1\r\n"
        "Search List HDD=3\r\n"
        "Search List Type=2\r\n"
        "Search List Max Number=64\r\n"
        "Record Path=" +
        root +
        "/rec\r\n"
        "Snapshot Path=" +
        root +
        "/snap\r\n"
        "Upgrade FW Path=" +
        root +
        "/fw/\r\n"
        "Upgrade DVR FW Path=" +
        root +
        "/dvr\r\n"
        "Trigger Wav Path=" +
        root +
        "/sound.wav\r\n"
        "Network File Directory=" +
        root + "/net\r\n";
    const std::string bytes = ReadAll(SettingFile());
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.find("secret-password"), std::string::npos);

    // A fresh object loads the same values, and saving them again writes
    // the same bytes.
    CSettingINI again;
    const std::uint8_t turbo = LoadWith(again, std::nullopt);
    EXPECT_EQ(turbo, 12);
    EXPECT_EQ(again.m_dwBrightness, 4294967295u);
    EXPECT_EQ(again.m_strServerName, "10.0.0.7");
    EXPECT_EQ(again.m_wWebPort, 8080);
    EXPECT_EQ(again.m_byTriggerCloseTimeDate, 255);
    EXPECT_EQ(again.m_strUpgradeFWPath, root + "/fw/");
    EXPECT_EQ(again.m_strNetworkFileDirectory, root + "/net");
    EXPECT_EQ(again.m_strPassword, "tresk");
    ASSERT_TRUE(again.SaveToFile(turbo));
    EXPECT_EQ(ReadAll(SettingFile()), expected);
}

TEST_F(SettingsTest, TypedHostNameIsSavedInsteadOfTheResolvedAddress) {
    CSettingINI s;
    LoadWith(s, std::nullopt);
    s.m_strServerName = "10.0.0.7";
    s.m_szResolvedHost = "dvr.example";
    ASSERT_TRUE(s.SaveToFile(5));
    CSettingINI again;
    LoadWith(again, std::nullopt);
    EXPECT_EQ(again.m_strServerName, "dvr.example");
}

TEST_F(SettingsTest, SaveKeepsWhatElseTheFileHolds) {
    WriteAll(SettingFile(), "[Other]\r\nx=1\r\n[Kestrune]\r\nLANGUAGE=2\r\nServerPort=81\r\n");
    CSettingINI s;
    LoadWith(s, std::nullopt);
    s.m_wWebPort = 82;
    ASSERT_TRUE(s.SaveToFile(5));
    const std::string bytes = ReadAll(SettingFile());
    EXPECT_EQ(bytes.rfind("[Other]\r\nx=1\r\n[Kestrune]\r\nLANGUAGE=2\r\nServerPort=82\r\n"
                          "brightness=0\r\n",
                          0),
              0u)
        << bytes;
}

TEST_F(SettingsTest, LineBreakInATextCannotForgeKeys) {
    CSettingINI s;
    LoadWith(s, std::nullopt);
    s.m_strServerName = "10.0.0.8";
    ASSERT_TRUE(s.SaveToFile(5));
    s.m_strServerName = "1.2.3.4\r\n[Evil]\r\nServerPort=1";
    s.m_strRecordPath = Under("rec\nServerPort=2");
    s.m_wWebPort = 8090;
    EXPECT_FALSE(s.SaveToFile(5));  // reported: two texts could not be stored

    const std::string bytes = ReadAll(SettingFile());
    EXPECT_EQ(bytes.find("Evil"), std::string::npos);
    CSettingINI again;
    LoadWith(again, std::nullopt);
    EXPECT_EQ(again.m_strServerName, "10.0.0.8");  // the old value stays
    EXPECT_EQ(again.m_wWebPort, 8090);             // the rest is saved
    EXPECT_EQ(again.m_strRecordPath, Desktop());
}

TEST_F(SettingsTest, FailedSavesAreReportedAndLeaveTheFileAlone) {
    {
        CSettingINI neverLoaded;
        EXPECT_FALSE(neverLoaded.SaveToFile(5));
    }
    {
        // A folder in the file's place.
        std::filesystem::create_directory(SettingFile());
        CSettingINI s;
        LoadWith(s, std::nullopt);
        EXPECT_FALSE(s.SaveToFile(5));
        EXPECT_TRUE(std::filesystem::is_directory(SettingFile()));
        std::filesystem::remove(SettingFile());
    }
    {
        // The program's folder went away after the load.
        CSettingINI s;
        std::uint8_t turbo = 0;
        s.LoadFromFile(m_scratch / "gone", turbo);
        EXPECT_FALSE(s.SaveToFile(5));
    }
    {
        // A folder no one may create files in.
        CSettingINI s;
        std::uint8_t turbo = 0;
        s.LoadFromFile("/proc", turbo);
        EXPECT_FALSE(s.SaveToFile(5));
    }
    EXPECT_EQ(std::vector<std::filesystem::path>(std::filesystem::directory_iterator(Program()),
                                                 std::filesystem::directory_iterator()),
              std::vector<std::filesystem::path>());
}

TEST_F(SettingsTest, AFailedSaveIsToldOnceUntilASaveSucceeds) {
    // A program folder below a plain file cannot be written, not even by the
    // superuser.
    const std::filesystem::path blocker = m_scratch / "blocker";
    const std::filesystem::path folder = blocker / "prog";
    WriteAll(blocker, "not a folder");
    CSettingINI s;
    std::uint8_t turbo = 0;
    s.LoadFromFile(folder, turbo);
    m_boxes.sink().Clear();
    const auto told = [&] {
        std::vector<std::string> texts;
        for (const auto& entry : m_boxes.sink().Entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    };
    const std::string message =
        std::string(CSettingINI::kSaveFailedText) + "\n" + (folder / "Setting.ini").string();

    EXPECT_FALSE(s.SaveToFile(5));
    EXPECT_EQ(told(), std::vector<std::string>{message});
    EXPECT_FALSE(s.SaveToFile(5));  // the exit's second save says nothing new
    EXPECT_EQ(told().size(), 1u);

    std::filesystem::remove(blocker);
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(s.SaveToFile(5));
    EXPECT_EQ(told().size(), 1u);

    std::filesystem::remove_all(blocker);
    WriteAll(blocker, "not a folder");
    EXPECT_FALSE(s.SaveToFile(5));
    EXPECT_EQ(told(), (std::vector<std::string>{message, message}));
}

TEST_F(SettingsTest, ReadOnlyProgramFolderIsReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write into a read-only folder";
    }
    CSettingINI s;
    LoadWith(s, "ServerPort=81\r\n");
    std::filesystem::permissions(
        Program(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    s.m_wWebPort = 82;
    EXPECT_FALSE(s.SaveToFile(5));
    EXPECT_EQ(ReadAll(SettingFile()), "[Kestrune]\r\nServerPort=81\r\n");
}

// ---------------------------------------------------------------- threads

TEST_F(SettingsTest, ReadersWriterAndSaverTogether) {
    CSettingINI s;
    LoadWith(s, std::nullopt);
    constexpr int kRounds = 300;
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            std::size_t seen = 0;
            while (!done.load()) {
                const std::string host = s.m_strServerName;
                const std::uint16_t port = s.m_wWebPort;
                seen += host.size() + port + s.m_strRecordPath.Get().size();
                EXPECT_TRUE(host == "192.168.1.10" || host.rfind("10.0.", 0) == 0) << host;
            }
            EXPECT_GT(seen, 0u);
        });
    }
    std::thread writer([&] {
        for (int i = 1; i <= kRounds; ++i) {
            s.m_strServerName = "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
            s.m_wWebPort = static_cast<std::uint16_t>(1000 + i);
            s.m_strRecordPath = Under("rec") + std::to_string(i);
        }
    });
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(s.SaveToFile(5));
    }
    writer.join();
    done = true;
    for (auto& reader : readers) {
        reader.join();
    }
    ASSERT_TRUE(s.SaveToFile(5));
    CSettingINI again;
    LoadWith(again, std::nullopt);
    EXPECT_EQ(again.m_strServerName, "10.0.1.44");
    EXPECT_EQ(again.m_wWebPort, 1000 + kRounds);
}

// ---------------------------------------------------------------- Desktop folder

TEST_F(SettingsTest, NoDesktopFolderShowsMessage4056AndLeavesPathsEmpty) {
    ScopedEnv noHome("HOME", std::nullopt);
    CSettingINI s;
    LoadWith(s, "ServerPort=81\r\nSnapshot Path=" + Under("snap") + "\r\n");
    EXPECT_EQ(m_boxes.Ids(), std::vector<unsigned>{4056});
    EXPECT_EQ(m_boxes.sink().Entries().at(0).text, "Read DeskTop Path Error!!");
    EXPECT_TRUE(s.m_strDesktopPath.empty());
    EXPECT_TRUE(s.m_strRecordPath.empty());
    EXPECT_EQ(s.m_strSnapshotPath, Under("snap"));
    EXPECT_EQ(s.m_strUpgradeFWPath, "/");
    EXPECT_TRUE(s.m_strUpgradeDVRFWPath.empty());
    EXPECT_EQ(s.m_wWebPort, 81);  // the rest of the file is read as usual
}

TEST_F(SettingsTest, DesktopFromTheUserDirectories) {
    WriteAll(m_scratch / "home" / ".config" / "user-dirs.dirs",
             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    CSettingINI s;
    LoadWith(s, std::nullopt);
    const std::string desk = (m_scratch / "home" / "Schreibtisch").string();
    EXPECT_EQ(s.m_strRecordPath, desk);
    EXPECT_EQ(s.m_strUpgradeFWPath, desk + "/");
    EXPECT_TRUE(m_boxes.Ids().empty());
}

}  // namespace
