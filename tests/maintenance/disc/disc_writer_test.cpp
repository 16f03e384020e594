#include "maintenance/disc/disc_writer.h"

#include <sys/stat.h>
#include <utime.h>

#include <QJsonArray>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/track_adapters.h"
#include "platform/registry_store.h"
#include "tests/maintenance/disc/fake_engine_fixture.h"

namespace {

namespace fs = std::filesystem;
using disc_test::FakeEngineTest;

// What the progress hook saw, and an abort it pulls at a given phase/value.
std::mutex g_hookLock;
std::vector<std::pair<int, int>> g_hookCalls;
CDiscWriter* g_abortWriter = nullptr;
std::pair<int, int> g_abortAt{-1, -1};

void RecordingHook(int phase, int value) {
    std::lock_guard lock(g_hookLock);
    g_hookCalls.emplace_back(phase, value);
    if (g_abortWriter != nullptr && g_abortAt == std::make_pair(phase, value)) {
        g_abortWriter->Abort();
    }
}

std::vector<std::pair<int, int>> HookCalls() {
    std::lock_guard lock(g_hookLock);
    return g_hookCalls;
}

class DiscWriterTest : public FakeEngineTest {
protected:
    void SetUp() override {
        FakeEngineTest::SetUp();
        {
            std::lock_guard lock(g_hookLock);
            g_hookCalls.clear();
            g_abortWriter = nullptr;
            g_abortAt = {-1, -1};
        }
        source = (folder.path() / "CH01_0001.dvr").string();
        std::ofstream(source) << std::string(1000, 'x');
        settings().m_bAppendPlayer = false;
        Configure({{"drives", "Fake DVD-RW|Image Recorder"}});
    }

    void TearDown() override {
        writer.reset();  // shuts the engine down
        SetImageFileChooser({});
        if (checkLeaks) {
            const auto done = Calls("EngineDone");
            ASSERT_FALSE(done.empty());
            EXPECT_EQ(done.back()["live"].toInt(), 0) << "engine memory not given back";
        }
        FakeEngineTest::TearDown();
    }

    // InitEngine on the backup, then the choices the dialog would make.
    void Ready(int drive = 0) {
        ASSERT_TRUE(writer->InitEngine(source, &RecordingHook));
        writer->m_nDriveIndex = drive;
        writer->m_dwSourceSize = 1000;
        boxes.sink().Clear();
        ClearLog();
    }

    std::vector<std::string> BurnedNames() const {
        std::vector<std::string> names;
        const auto burns = Calls("EngineBurn");
        if (burns.empty()) {
            return names;
        }
        for (const auto& item : burns.back()["items"].toArray()) {
            names.push_back(item.toObject()["name"].toString().toStdString());
        }
        return names;
    }

    std::string source;
    std::unique_ptr<CDiscWriter> writer = std::make_unique<CDiscWriter>();
    bool checkLeaks = true;
};

TEST_F(DiscWriterTest, InitEngineListsTheDrivesAndFillsTheSettings) {
    ASSERT_TRUE(writer->InitEngine(source, &RecordingHook));
    EXPECT_EQ(writer->DriveNames(), (std::vector<std::string>{"Fake DVD-RW", "Image Recorder"}));
    EXPECT_EQ(writer->m_nDriveCount, 2);
    EXPECT_TRUE(writer->m_bEngineReady);
    EXPECT_EQ(DiscProgressHookInUse(), &RecordingHook);
    const auto init = Calls("EngineInit");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0]["job"].toString(), "KestruneBackup");
    EXPECT_EQ(init[0]["application"].toString(), "Kestrune");
    EXPECT_EQ(init[0]["vendor"].toString(), "");
    EXPECT_EQ(init[0]["language"].toString(), "BurnEngine.txt");
    EXPECT_EQ(Calls("EngineGetAvailableDrivesEx")[0]["media"].toInt(), 1);
    // A second call only lists the drives again.
    ASSERT_TRUE(writer->InitEngine(source, &RecordingHook));
    EXPECT_EQ(Calls("EngineInit").size(), 1u);
    EXPECT_EQ(Calls("EngineGetAvailableDrivesEx").size(), 2u);
    EXPECT_TRUE(boxes.sink().Entries().empty());
}

TEST_F(DiscWriterTest, InitEngineFailuresShowTheirTexts) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> config;
        std::string path;
        bool ready;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {"empty name", {}, "", false, {"File name is not valid"}},
        {"no list", {{"drives", "null"}}, "x.dvr", false, {"No available devices."}},
        {"no drives", {{"drives", ""}}, "x.dvr", false, {"The number of available devices is 0."}},
        {"bad arguments", {{"init_result", "1"}}, "x.dvr", true, {"The arguments are not valid."}},
        {"other error",
         {{"init_result", "7"}},
         "x.dvr",
         true,
         {"An error occured. The type of error cannot be determined."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDiscWriter fresh;
        Configure({{"drives", "Fake DVD-RW"}, {"init_result", "0"}});
        Configure(c.config);
        boxes.sink().Clear();
        EXPECT_EQ(fresh.InitEngine(c.path, &RecordingHook), c.ready);
        EXPECT_EQ(Texts(), c.texts);
    }
}

TEST_F(DiscWriterTest, WithoutAnEngineAskForItsInstallationAndTryAgainLater) {
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, engineDir.path().string());
    EXPECT_FALSE(writer->InitEngine(source, &RecordingHook));
    EXPECT_EQ(Texts(), std::vector<std::string>{"You should install the burning engine first."});
    EXPECT_FALSE(writer->m_bEngineReady);
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, disc_test::kFakeEngineDir.string());
    EXPECT_TRUE(writer->InitEngine(source, &RecordingHook));
}

TEST_F(DiscWriterTest, PrepareDiscChecksTheExtensionBeforeAnyDrive) {
    const std::pair<const char*, bool> cases[] = {
        {"CH01_0001.dvr", true},   {"CH01_0001.DVR", true}, {"a.DvR", true},
        {"CH01_0001.dvrx", false}, {"dvr", false},          {"", false},
    };
    Ready();
    for (const auto& [name, ok] : cases) {
        SCOPED_TRACE(name);
        writer->m_strDiscFile = (folder.path() / name).string();
        if (*name == '\0')
            writer->m_strDiscFile = "";
        ClearLog();
        boxes.sink().Clear();
        EXPECT_EQ(writer->PrepareDisc(), ok);
        if (!ok) {
            EXPECT_EQ(Texts(),
                      std::vector<std::string>{"The extension of file name should be (dvr)"});
            EXPECT_TRUE(Calls("EngineOpenDevice").empty());
        }
    }
}

TEST_F(DiscWriterTest, PrepareDiscClassifiesTheMedium) {
    struct Case {
        std::uint32_t bits;
        bool ok;
        std::uint32_t medium;
        const char* text;
    };
    const Case cases[] = {
        {0x0, false, kMediumNone, "NO DISC"},
        {0x1, true, kMediumCd, nullptr},
        {0x3, true, kMediumCd, nullptr},
        {0x10, true, kMediumDvd, nullptr},
        {0x80000, true, kMediumDvd, nullptr},
        {0x20, false, kMediumNotWritable, "Disc is non writable"},
    };
    Ready();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        Configure({{"media_bits", std::to_string(c.bits)}});
        boxes.sink().Clear();
        ClearLog();
        EXPECT_EQ(writer->PrepareDisc(), c.ok);
        EXPECT_EQ(writer->m_dwMediaType, c.medium);
        EXPECT_EQ(Texts(), c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{});
        // The device is closed on every path.
        EXPECT_EQ(Calls("EngineOpenDevice").size(), Calls("EngineCloseDevice").size());
    }
    Configure({{"cd_info", "0"}});
    boxes.sink().Clear();
    EXPECT_FALSE(writer->PrepareDisc());
    EXPECT_EQ(Texts(), std::vector<std::string>{"NO DISC"});
}

TEST_F(DiscWriterTest, PrepareDiscNeedsRoomForTheBackupThePlayerAndFourKilobytes) {
    std::ofstream(folder.path() / kPlayerInstaller) << std::string(2048, 'p');
    struct Case {
        std::uint64_t sourceSize;
        const char* freeBlocks;
        bool appendPlayer;
        bool playerPresent;
        bool ok;
    };
    const Case cases[] = {
        {0, "2", false, true, true},     // needed + 4096 equal to the room
        {1, "2", false, true, false},    // one byte more
        {2048, "3", true, false, true},  // a missing installer counts nothing
        {2048, "3", true, true, false},  // a present one counts its bytes
        {2048, "4", true, true, true},
        {std::uint64_t{1} << 33, "4000000", false, true, false},  // 8 GB: compared in 64 bits
        {std::uint64_t{1} << 32, "2200000", false, true, true},
    };
    Ready();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sourceSize) + " in " + c.freeBlocks);
        settings().m_strProgramDir =
            (c.playerPresent ? folder.path() : folder.path() / "none").string() + "/";
        settings().m_bAppendPlayer = c.appendPlayer;
        Configure({{"free_blocks", c.freeBlocks}});
        writer->m_dwSourceSize = c.sourceSize;
        boxes.sink().Clear();
        EXPECT_EQ(writer->PrepareDisc(), c.ok);
        EXPECT_EQ(Texts(), c.ok ? std::vector<std::string>{}
                                : std::vector<std::string>{"No available space for writing CD."});
    }
}

TEST_F(DiscWriterTest, PrepareDiscRefusesANameThatClashesWithTheLastSession) {
    struct Case {
        const char* entries;
        bool ok;
    };
    const Case cases[] = {
        {"", true},  // a blank disc imports nothing
        {"OTHER.DVR@1000", true},
        {"CH01.DVR@1000", true},
        {"ch01_0001.dvr@1000", false},
        {"CH01_0001.DVR.OLD@1000", false},
        {"A.DVR@5|CH01_0001.DVR@6", false},
    };
    Ready();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        Configure({{"entries", c.entries}, {"tracks", "3"}, {"import_info", "1"}});
        boxes.sink().Clear();
        ClearLog();
        EXPECT_EQ(writer->PrepareDisc(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(Texts(), std::vector<std::string>{
                                   "FileName is tha same as other existed file,please modify it"});
        }
        const auto imports = Calls("EngineImportDataTrack");
        ASSERT_EQ(imports.size(), 1u);
        EXPECT_EQ(imports[0]["track"].toInt(), 2);
        EXPECT_EQ(Calls("EngineCloseDevice").size(), 1u);
    }
}

TEST_F(DiscWriterTest, TheImageRecorderSkipsTheDiscTests) {
    Ready(1);
    Configure({{"media_bits", "0"}, {"free_blocks", "0"}});
    EXPECT_TRUE(writer->PrepareDisc());
    for (const auto& call : Calls("EngineGetCDInfo")) {
        EXPECT_EQ(call["flags"].toInt(), 0);
    }
}

TEST_F(DiscWriterTest, AnUnopenedDriveIsReportedByName) {
    Ready();
    Configure({{"open_fail", "Fake DVD-RW"}});
    EXPECT_FALSE(writer->PrepareDisc());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Device could not be opened: Fake DVD-RW"});
    boxes.sink().Clear();
    EXPECT_EQ(writer->BurnFiles(), 1);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Device could not be opened: Fake DVD-RW"});
    EXPECT_TRUE(Calls("EngineBurn").empty());
    EXPECT_TRUE(HookCalls().empty());
}

TEST_F(DiscWriterTest, BurnFilesWritesTheBackupAsANewSessionOrAClosedDisc) {
    for (const bool closeDisc : {false, true}) {
        SCOPED_TRACE(closeDisc);
        Ready();
        writer->m_bCloseDisc = closeDisc;
        EXPECT_EQ(writer->BurnFiles(), 1);
        const auto burns = Calls("EngineBurn");
        ASSERT_EQ(burns.size(), 1u);
        EXPECT_EQ(burns[0]["flags"].toInt(), closeDisc ? 4 : 20);
        EXPECT_EQ(burns[0]["media"].toInt(), 1);
        EXPECT_EQ(burns[0]["speed"].toInt(), 0);
        EXPECT_EQ(burns[0]["track"].toString(), "KestruneBackup");
        EXPECT_EQ(Calls("EngineCreateIsoTrackEx")[0]["flags"].toInt(), 11);
        const auto items = burns[0]["items"].toArray();
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].toObject()["name"].toString(), "CH01_0001.dvr");
        EXPECT_EQ(items[0].toObject()["source"].toString().toStdString(), source);
        EXPECT_TRUE(Texts().empty());
        EXPECT_EQ(writer->m_pFirstItem, nullptr);
        EXPECT_EQ(writer->m_pWriteRecord, nullptr);
    }
}

TEST_F(DiscWriterTest, BurnFilesReportsProgressThroughTheHook) {
    Ready();
    Configure({{"progress_steps", "4"}});
    EXPECT_EQ(writer->BurnFiles(), 1);
    EXPECT_EQ(HookCalls(), (std::vector<std::pair<int, int>>{
                               {0, 0}, {1, 25}, {1, 50}, {1, 75}, {1, 100}, {2, 0}}));
}

TEST_F(DiscWriterTest, BurnFilesShowsEachEngineResult) {
    const std::pair<int, const char*> cases[] = {
        {0, nullptr},
        {1, "Write CD Error : unknown CD format"},
        {2, "Write CD Error : invalid drive"},
        {3, "Write CD Error : burn failed"},
        {4, "Write CD Error : function not allowed"},
        {5, "Write CD Error : drive not allowed"},
        {6, "Write CD Error : user aborted"},
        {7, "Write CD Error : bad message file"},
        {8, "Write CD Error : unknown error"},
        {-3, "Write CD Error : unknown error"},
    };
    Ready();
    for (const auto& [result, text] : cases) {
        SCOPED_TRACE(result);
        Configure({{"burn_result", std::to_string(result)}});
        boxes.sink().Clear();
        EXPECT_EQ(writer->BurnFiles(), 1);
        EXPECT_EQ(Texts(), text ? std::vector<std::string>{text} : std::vector<std::string>{});
    }
}

TEST_F(DiscWriterTest, BurnFilesWithoutADiscEndsTheBarOnly) {
    Ready();
    Configure({{"media_bits", "0"}});
    EXPECT_EQ(writer->BurnFiles(), 0);
    EXPECT_EQ(Texts(), std::vector<std::string>{"NO DISC"});
    EXPECT_EQ(HookCalls(), (std::vector<std::pair<int, int>>{{2, 0}}));
    EXPECT_TRUE(Calls("EngineBurn").empty());
    EXPECT_EQ(Calls("EngineCloseDevice").size(), 1u);
}

TEST_F(DiscWriterTest, BurnFilesIsRefusedWhenNotReadyOrWithoutAName) {
    EXPECT_EQ(writer->BurnFiles(), 0);
    EXPECT_TRUE(Texts().empty());
    Ready();
    writer->m_strDiscFile.clear();
    EXPECT_EQ(writer->BurnFiles(), 0);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Filename is not valid!"});
}

TEST_F(DiscWriterTest, ThePlayerInstallerFollowsTheBackupEvenWhenMissing) {
    settings().m_strProgramDir = (folder.path() / "none").string() + "/";
    settings().m_bAppendPlayer = true;
    Ready();
    EXPECT_EQ(writer->BurnFiles(), 1);
    EXPECT_EQ(BurnedNames(), (std::vector<std::string>{"CH01_0001.dvr", "Videoplayer_setup.exe"}));
}

TEST_F(DiscWriterTest, AnImportErrorSkipsTheBurnWithItsText) {
    const std::pair<int, const char*> cases[] = {
        {1, "a generic error"},    {2, "a drive error"},           {3, "a read error"},
        {4, "a filesystem error"}, {5, "an invalid track number"}, {6, "an unknown error"},
        {-1, "an unknown error"},
    };
    Ready();
    for (const auto& [code, text] : cases) {
        SCOPED_TRACE(code);
        Configure({{"entries", "OLD.DVR@1000"},
                   {"import_error", std::to_string(code)},
                   {"import_info", "1"}});
        boxes.sink().Clear();
        ClearLog();
        EXPECT_EQ(writer->BurnFiles(), 1);
        EXPECT_EQ(Texts(), std::vector<std::string>{std::string("There was ") + text +
                                                    " while importing the track!"});
        EXPECT_TRUE(Calls("EngineBurn").empty());
        EXPECT_EQ(Calls("EngineCloseDevice").size(), 1u);
    }
}

TEST_F(DiscWriterTest, TheLastSessionFollowsTheNewItemsAndNewerEntriesWin) {
    const fs::path player = folder.path() / kPlayerInstaller;
    std::ofstream(player) << "installer";
    const time_t local = 1'700'000'000;
    struct utimbuf times {
        local, local
    };
    ASSERT_EQ(::utime(player.c_str(), &times), 0);
    settings().m_strProgramDir = folder.path().string() + "/";
    settings().m_bAppendPlayer = true;
    struct Case {
        std::string entries;
        std::vector<std::string> burned;
        std::vector<bool> reference;
    };
    const std::vector<Case> cases = {
        {"A.DVR@1000|B.DVR@2000",
         {"CH01_0001.dvr", "Videoplayer_setup.exe", "A.DVR", "B.DVR"},
         {false, false, true, true}},
        // a later installer on the disc replaces the local one, an older one is dropped
        {"VIDEOPLAYER_SETUP.EXE@" + std::to_string(local + 60) + "|A.DVR@5",
         {"CH01_0001.dvr", "VIDEOPLAYER_SETUP.EXE", "A.DVR"},
         {false, true, true}},
        {"videoplayer_setup.exe@" + std::to_string(local - 60),
         {"CH01_0001.dvr", "Videoplayer_setup.exe"},
         {false, false}},
        {"Videoplayer_setup.exe@" + std::to_string(local),
         {"CH01_0001.dvr", "Videoplayer_setup.exe"},
         {false, false}},
        {"videoplayer_setup.exe@0", {"CH01_0001.dvr", "Videoplayer_setup.exe"}, {false, false}},
    };
    Ready();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        Configure({{"entries", c.entries}});
        ClearLog();
        EXPECT_EQ(writer->BurnFiles(), 1);
        EXPECT_EQ(BurnedNames(), c.burned);
        const auto burn = Calls("EngineBurn").back();
        EXPECT_TRUE(burn["stamp"].toBool());
        std::vector<bool> reference;
        for (const auto& item : burn["items"].toArray()) {
            reference.push_back(item.toObject()["reference"].toBool());
        }
        EXPECT_EQ(reference, c.reference);
        EXPECT_EQ(Calls("EngineFreeCDStamp").size(), 1u);
    }
}

TEST_F(DiscWriterTest, AnUnreadableSourceCountsAsOlderThanTheDiscEntry) {
    Ready();
    writer->m_strSourceFile = (folder.path() / "gone.dvr").string();
    Configure({{"entries", "CH01_0001.DVR@1000"}});
    EXPECT_EQ(writer->BurnFiles(), 1);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Could not open file: " + (folder.path() / "gone.dvr").string() + "."});
    EXPECT_EQ(BurnedNames(), std::vector<std::string>{"CH01_0001.DVR"});
}

TEST_F(DiscWriterTest, AbortStopsTheBurnInEachPhase) {
    struct Case {
        std::pair<int, int> at;
        std::size_t progressReports;
    };
    const Case cases[] = {{{0, 0}, 0}, {{1, 25}, 1}, {{1, 75}, 3}};
    Ready();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at.second);
        {
            std::lock_guard lock(g_hookLock);
            g_hookCalls.clear();
            g_abortWriter = writer.get();
            g_abortAt = c.at;
        }
        boxes.sink().Clear();
        EXPECT_EQ(writer->BurnFiles(), 1);
        EXPECT_EQ(Texts(), std::vector<std::string>{"Write CD Error : user aborted"});
        std::size_t reports = 0;
        for (const auto& call : HookCalls()) reports += call.first == 1 ? 1 : 0;
        EXPECT_EQ(reports, c.progressReports);
        EXPECT_EQ(HookCalls().back(), std::make_pair(2, 0));
        // Every burn clears the request at its end.
        EXPECT_EQ(writer->m_bAbort.load(), 0);
    }
}

TEST_F(DiscWriterTest, ABurnOnAnotherThreadIsAbortedFromThisOne) {
    Ready();
    Configure({{"progress_steps", "1000000"}});
    std::atomic<int> answer{-1};
    std::thread burner([&] { answer = writer->BurnFiles(); });
    // Wait until the engine reports progress, then cancel.
    while (HookCalls().size() < 3) {
        std::this_thread::yield();
    }
    writer->Abort();
    burner.join();
    EXPECT_EQ(answer.load(), 1);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Write CD Error : user aborted"});
}

TEST_F(DiscWriterTest, AnEngineWithoutBurnAnswersUnknownFormat) {
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, disc_test::kLeanEngineDir.string());
    Ready();
    EXPECT_EQ(writer->BurnFiles(), 1);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Write CD Error : unknown CD format"});
}

TEST_F(DiscWriterTest, ABurnWithAnOlderEngineEndsAsWithTheCurrentOne) {
    struct Engine {
        const char* what;
        fs::path dir;
        std::map<std::string, std::string> config;
        bool oldDrives;
        bool oldTracks;
    };
    const Engine engines[] = {
        {"current", disc_test::kFakeEngineDir, {}, false, false},
        {"5554, before the Ex calls",
         disc_test::kOldEngineDir,
         {{"api_number", "5554"}},
         true,
         true},
        {"5.5.5.4", disc_test::kFakeEngineDir, {{"version", "5.5.5.4"}}, true, true},
        {"5.5.9.10", disc_test::kFakeEngineDir, {{"version", "5.5.9.10"}}, false, true},
        {"5.5.9.20", disc_test::kFakeEngineDir, {{"version", "5.5.9.20"}}, false, false},
        {"unreadable", disc_test::kFakeEngineDir, {{"version", "unknown"}}, true, true},
    };
    // What a burn ends with, as the operator and the disc see it.
    struct Outcome {
        std::vector<std::string> drives;
        std::vector<std::string> texts;
        std::vector<std::pair<int, int>> hook;
        std::vector<std::string> burned;
        QJsonObject burn;
    };
    std::optional<Outcome> current;
    for (const Engine& engine : engines) {
        SCOPED_TRACE(engine.what);
        ResetConfig();
        Configure({{"drives", "Fake DVD-RW|Image Recorder"},
                   {"entries", "OLD.DVR@1000"},
                   {"tracks", "2"},
                   {"import_info", "1"}});
        Configure(engine.config);
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, engine.dir.string());
        {
            std::lock_guard lock(g_hookLock);
            g_hookCalls.clear();
        }
        boxes.sink().Clear();
        ClearLog();
        Outcome outcome;
        {
            CDiscWriter burner;
            ASSERT_TRUE(burner.InitEngine(source, &RecordingHook));
            outcome.drives = burner.DriveNames();
            burner.m_nDriveIndex = 0;
            burner.m_dwSourceSize = 1000;
            EXPECT_TRUE(burner.PrepareDisc());
            EXPECT_EQ(burner.BurnFiles(), 1);
            outcome.texts = Texts();
            outcome.hook = HookCalls();
            outcome.burned = BurnedNames();
            outcome.burn = Calls("EngineBurn").at(0);
        }
        // The engine was given everything back when the writer shut it down.
        EXPECT_EQ(Calls("EngineDone").at(0)["live"].toInt(), 0);
        // It was met in its own forms.
        for (const auto& open : Calls("EngineOpenDevice")) {
            EXPECT_EQ(open["form"].toString(), engine.oldDrives ? "old" : "current");
        }
        EXPECT_EQ(outcome.burn["form"].toString(), engine.oldTracks ? "old" : "current");
        EXPECT_EQ(Calls("EngineFreeIsoTrack").size(), 1u);
        EXPECT_EQ(Calls("TrackDestroyed").size(), 1u);
        EXPECT_EQ(LiveTrackAdapters(), 0);
        if (!current) {
            current = outcome;
            EXPECT_EQ(outcome.burned, (std::vector<std::string>{"CH01_0001.dvr", "OLD.DVR"}));
            EXPECT_TRUE(outcome.texts.empty());
            continue;
        }
        EXPECT_EQ(outcome.drives, current->drives);
        EXPECT_EQ(outcome.texts, current->texts);
        EXPECT_EQ(outcome.hook, current->hook);
        EXPECT_EQ(outcome.burned, current->burned);
        for (const char* key : {"track", "flags", "media", "stamp", "speed", "type"}) {
            EXPECT_EQ(outcome.burn[key], current->burn[key]) << key;
        }
    }
}

TEST_F(DiscWriterTest, ADriveListThatDoesNotFitItsBlockCountsAsNone) {
    const std::pair<const char*, fs::path> engines[] = {
        {"current record", disc_test::kFakeEngineDir},
        {"old record", disc_test::kOldEngineDir},
    };
    for (const auto& [what, dir] : engines) {
        SCOPED_TRACE(what);
        Configure({{"drives", "Fake DVD-RW|Image Recorder"},
                   {"drive_count_extra", "1"},
                   {"api_number", "5554"}});
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, dir.string());
        boxes.sink().Clear();
        ClearLog();
        {
            CDiscWriter burner;
            EXPECT_FALSE(burner.InitEngine(source, &RecordingHook));
            EXPECT_EQ(Texts(), std::vector<std::string>{"No available devices."});
            EXPECT_TRUE(burner.DriveNames().empty());
        }
        UnloadBurnEngine();
    }
    checkLeaks = false;
}

TEST_F(DiscWriterTest, ExitEngineReportsAnEngineThatLeaked) {
    Ready();
    Configure({{"done_result", "1"}});
    writer->ExitEngine();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Detected memory leaks"});
    EXPECT_EQ(GetBurnEngineModule(), nullptr);
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"EngineClearErrors", "EngineDone"}));
}

TEST_F(DiscWriterTest, UserDialogRequestsAreAnsweredWithoutAsking) {
    const std::pair<int, int> cases[] = {{2, 5},  {6, 3},  {7, 5},  {10, 0}, {11, 0},
                                         {12, 5}, {13, 1}, {14, 0}, {15, 0}, {99, 0}};
    Ready();
    for (const auto& [request, answer] : cases) {
        SCOPED_TRACE(request);
        std::int32_t waitType = 3;
        EXPECT_EQ(
            CDiscWriter::OnEngineUserDialog(writer.get(), request, &waitType, sizeof waitType),
            answer);
    }
    EXPECT_EQ(Calls("EngineGetLocalizedWaitCDTexts").at(0)["type"].toInt(), 3);
}

TEST_F(DiscWriterTest, TheImageFileRequestIsBoundedByTheEnginesBuffer) {
    struct Case {
        std::optional<std::string> chosen;
        int answer;
        std::string copied;
    };
    const std::vector<Case> cases = {
        {std::string("/tmp/Image.nrg"), 1, "/tmp/Image.nrg"},
        {std::nullopt, 21, ""},
        {std::string(15, 'x'), 1, std::string(15, 'x')},
        {std::string(16, 'x'), 21, ""},  // would not fit with its terminating zero
    };
    for (const Case& c : cases) {
        SetImageFileChooser([&] { return c.chosen; });
        char buffer[16] = {};
        EXPECT_EQ(CDiscWriter::OnEngineUserDialog(writer.get(), 20, buffer, sizeof buffer),
                  c.answer);
        EXPECT_EQ(std::string(buffer, strnlen(buffer, sizeof buffer)), c.copied);
    }
    // Off the GUI thread, without a chooser, nobody is asked.
    SetImageFileChooser({});
    int answer = 0;
    std::thread([&] {
        char buffer[16] = {};
        answer = CDiscWriter::OnEngineUserDialog(writer.get(), 20, buffer, sizeof buffer);
    }).join();
    EXPECT_EQ(answer, 21);
    checkLeaks = false;
}

TEST_F(DiscWriterTest, TheEngineAsksForTheImageFileWhenTheImageRecorderOpens) {
    struct Case {
        std::optional<std::string> chosen;
        int answer;
        std::string image;
    };
    const std::vector<Case> cases = {
        {std::string("/tmp/backup.iso"), 1, "/tmp/backup.iso"},
        {std::nullopt, 21, ""},
        {std::string(64, 'x'), 21, ""},  // longer than the engine's buffer
    };
    Configure({{"ask_image", "1"}});
    Ready(1);
    for (const Case& c : cases) {
        SetImageFileChooser([&] { return c.chosen; });
        ClearLog();
        EXPECT_TRUE(writer->PrepareDisc());
        const auto opens = Calls("EngineOpenDevice");
        ASSERT_EQ(opens.size(), 1u);
        EXPECT_EQ(opens[0]["ask_answer"].toInt(), c.answer);
        EXPECT_EQ(opens[0]["image"].toString().toStdString(), c.image);
    }
}

TEST_F(DiscWriterTest, TheIdleAndAbortedCallbacksAnswerTheAbortRequest) {
    EXPECT_EQ(CDiscWriter::OnEngineIdle(writer.get()), 0);
    EXPECT_EQ(CDiscWriter::OnEngineAborted(writer.get()), 0);
    writer->Abort();
    EXPECT_EQ(CDiscWriter::OnEngineIdle(writer.get()), 1);
    EXPECT_EQ(CDiscWriter::OnEngineAborted(writer.get()), 1);
    checkLeaks = false;
}

TEST(DiscMedium, ClassesFollowTheBits) {
    const std::pair<std::uint32_t, std::optional<std::uint32_t>> cases[] = {
        {0x0, kMediumNone},    {0x1, kMediumCd},     {0x11, kMediumCd},     {0x2, kMediumDvd},
        {0x4, kMediumDvd},     {0x8, kMediumDvd},    {0x10, kMediumDvd},    {0x800, kMediumDvd},
        {0x1000, kMediumDvd},  {0x2000, kMediumDvd}, {0x4000, kMediumDvd},  {0x40000, kMediumDvd},
        {0x80000, kMediumDvd}, {0x20, std::nullopt}, {0x400, std::nullopt},
    };
    for (const auto& [bits, medium] : cases) {
        SCOPED_TRACE(bits);
        BurnDiscInfo info{};
        info.mediaType = bits;
        EXPECT_EQ(ClassifyMedium(&info), medium);
    }
    EXPECT_EQ(ClassifyMedium(nullptr), kMediumNone);
}

}  // namespace
