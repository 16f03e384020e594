#include "maintenance/disc/burn_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry_store.h"
#include "platform/shared_library.h"
#include "tests/maintenance/disc/fake_engine_fixture.h"

namespace {

namespace fs = std::filesystem;
using disc_test::FakeEngineTest;
using disc_test::kFakeEngineDir;
using disc_test::kLeanEngineDir;

using BurnEngineLoaderTest = FakeEngineTest;

std::string Stored(std::string_view key, std::string_view name) {
    return platform::ReadValue(key, name).value_or("<none>");
}

TEST_F(BurnEngineLoaderTest, LoadsTheEngineOfTheStoredFolderAndAcceptsItsVersion) {
    ASSERT_TRUE(LoadBurnEngine());
    EXPECT_NE(GetBurnEngineModule(), nullptr);
    EXPECT_EQ(BurnEngineFolder(), kFakeEngineDir.string());
    const auto calls = Calls("EngineSetExpectedAPIVersionEx");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["version"].toString(), "6.6.0.14");
    UnloadBurnEngine();
    EXPECT_EQ(GetBurnEngineModule(), nullptr);
}

TEST_F(BurnEngineLoaderTest, AFolderWithATrailingSlashIsStoredBackWithoutIt) {
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, kFakeEngineDir.string() + "/");
    ASSERT_TRUE(LoadBurnEngine());
    EXPECT_EQ(Stored(kBurnEngineKey, kBurnEngineValue), kFakeEngineDir.string());
}

TEST_F(BurnEngineLoaderTest, TheAppPathsFolderIsCopiedIntoTheEngineKey) {
    fs::remove(platform::RegistryFilePath());
    platform::WriteValue(kBurnEngineAppPathsKey, kBurnEngineAppPathsValue, kFakeEngineDir.string());
    ASSERT_TRUE(LoadBurnEngine());
    EXPECT_EQ(Stored(kBurnEngineKey, kBurnEngineValue), kFakeEngineDir.string());
}

TEST_F(BurnEngineLoaderTest, RefusesWithoutAUsableFolderOrLibrary) {
    struct Case {
        const char* what;
        std::string folder;  // empty: no value at all
    };
    const Case cases[] = {
        {"no folder", ""},
        {"folder too long", "/" + std::string(242, 'x')},
        {"no library in the folder", engineDir.path().string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(platform::RegistryFilePath());
        if (!c.folder.empty()) {
            platform::WriteValue(kBurnEngineKey, kBurnEngineValue, c.folder);
        }
        EXPECT_FALSE(LoadBurnEngine());
        EXPECT_EQ(GetBurnEngineModule(), nullptr);
    }
}

TEST_F(BurnEngineLoaderTest, AnEngineRefusingTheVersionIsUnloadedAgain) {
    Configure({{"accept_version", "0"}});
    EXPECT_FALSE(LoadBurnEngine());
    EXPECT_EQ(GetBurnEngineModule(), nullptr);
}

TEST_F(BurnEngineLoaderTest, PutsTheFolderInFrontOfPathUnlessItIsThere) {
    const std::string engine = kFakeEngineDir.string();
    struct Case {
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"/usr/bin:/bin", engine + ":/usr/bin:/bin"},
        {"/usr/bin:" + engine, "/usr/bin:" + engine},
        {"/usr/bin:" + engine + "/:/bin", "/usr/bin:" + engine + "/:/bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        ::setenv("PATH", c.before.c_str(), 1);
        ASSERT_TRUE(LoadBurnEngine());
        EXPECT_EQ(std::string(::getenv("PATH")), c.after);
    }
}

TEST(BurnEnginePathList, MatchesEntriesIgnoringCaseAndOneTrailingSlash) {
    struct Case {
        const char* list;
        const char* folder;
        bool found;
    };
    const Case cases[] = {
        {"/a:/opt/Engine:/b", "/opt/engine", true},
        {"/opt/engine/", "/opt/Engine", true},
        {"/opt/engine", "/opt/engine/", true},
        {"::/opt/engine", "/opt/engine", true},
        {"/opt/engines", "/opt/engine", false},
        {"/opt/eng", "/opt/engine", false},
        {"", "/opt/engine", false},
        {nullptr, "/opt/engine", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list != nullptr ? c.list : "null");
        EXPECT_EQ(IsFolderInPathList(c.list, c.folder), c.found);
    }
}

TEST(BurnEngineForwarders, AnswerTheirFallbacksWithoutAnEngine) {
    UnloadBurnEngine();
    EXPECT_EQ(burn::EngineBurn(nullptr, 0, nullptr, 4, 0, nullptr), 1);
    EXPECT_EQ(burn::EngineInit(nullptr, nullptr), 1);
    EXPECT_EQ(burn::EngineDone(), 1);
    EXPECT_EQ(burn::EngineOpenDevice(nullptr), nullptr);
    EXPECT_EQ(burn::EngineGetCDInfo(nullptr, 0), nullptr);
    EXPECT_EQ(burn::EngineGetAvailableDrivesEx(1, nullptr), nullptr);
    EXPECT_EQ(burn::EngineCreateIsoItemOfSize(64), nullptr);
    EXPECT_EQ(burn::EngineGetAPIVersion(), 0);
    std::uint16_t major = 7;
    EXPECT_EQ(burn::EngineGetAPIVersionEx(&major, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(burn::EngineSetExpectedAPIVersionEx(6, 6, 0, 14, nullptr), 0);
    std::int32_t error = 0;
    EXPECT_EQ(burn::EngineImportDataTrack(nullptr, 0, nullptr, nullptr, 0, &error, nullptr),
              nullptr);
    EXPECT_EQ(error, 1);
    const std::pair<int, int> answers[] = {
        {burn::EngineGetLastDriveError(nullptr), 0},
        {burn::EngineGetLastError(), 0},
        {burn::EngineGetDeviceOption(nullptr, 0), 0},
        {burn::EngineWaitForMedia(nullptr, 1, 0, 0), 0},
        {burn::EngineWaitForDisc(nullptr, 1, 0, 0), 0},
        {burn::EngineSetDesiredUDFRevision(0), 0},
        {burn::EngineSetDesiredUDFPartitionType(0), 0},
        {burn::EngineUpdateDeviceInfo(nullptr, 1), 1},
        {burn::EngineDAE(nullptr, nullptr), 1},
        {burn::EngineIsDeviceReady(nullptr), 1},
        {burn::EngineWaitForDeviceReady(nullptr, 0), 1},
        {burn::EngineInitImageRecorder(nullptr, 0), 1},
        {burn::EngineSetOption(0, nullptr), -1},
        {burn::EngineSetDeviceOption(nullptr, 0, nullptr), -1},
        {burn::EngineEstimateTrackSize(nullptr, 0, nullptr), -1},
        {burn::EngineEjectLoadCD(nullptr, 0), -1},
        {burn::EngineGetCDRWErasingTime(nullptr, 0), -1},
        {burn::EngineEraseCDRW(nullptr, 0), -1},
        {burn::EngineEraseDisc(nullptr, 0, 0, nullptr), -1},
        {burn::EngineRegisterDriveStatusCallback(nullptr, nullptr), -1},
        {burn::EngineUnregisterDriveStatusCallback(nullptr, nullptr), -1},
        {burn::EngineRegisterDriveChangeCallback(nullptr, nullptr), -1},
        {burn::EngineUnregisterDriveChangeCallback(nullptr, nullptr), -1},
    };
    for (std::size_t i = 0; i < std::size(answers); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(answers[i].first, answers[i].second);
    }
    for (void* none :
         {burn::EngineGetAvailableSpeeds(nullptr, 0, 1), burn::EngineGetVMSInfo(nullptr),
          burn::EngineGetDiscImageInfo(nullptr), burn::EngineCreateFileSystemContainer(nullptr),
          burn::EngineAudioCreateTargetItem(nullptr, nullptr), burn::EngineAudioCloseItem(nullptr),
          burn::EngineAudioGUIConfigureItem(nullptr, nullptr),
          burn::EngineAudioGetFormatInfo(nullptr), burn::EngineCreateProgress(0),
          static_cast<void*>(burn::EngineCopyIsoItem(nullptr)),
          static_cast<void*>(burn::EngineGetLastErrors()),
          static_cast<void*>(burn::EngineConvertToValidFileSystemName(nullptr, 0)),
          static_cast<void*>(burn::EngineGetTypeNameOfMedia(1))}) {
        EXPECT_EQ(none, nullptr);
    }
    burn::EngineFreeIsoItem(nullptr);
    burn::EngineFreeMem(nullptr);
    burn::EngineCloseDevice(nullptr);
    burn::EngineFreeIsoItemTree(nullptr);
    burn::EngineFreeIsoTrack(nullptr);
    burn::EngineFreeCDStamp(nullptr);
    burn::EngineClearErrors();
}

TEST_F(BurnEngineLoaderTest, AnEngineWithoutBurnOrVersionCallsLoadsAndBurnAnswersOne) {
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, kLeanEngineDir.string());
    ASSERT_TRUE(LoadBurnEngine());
    EXPECT_FALSE(ReadBurnEngineVersion().readable);
    BurnWriteRecord record{};
    EXPECT_EQ(burn::EngineBurn(nullptr, 0, &record, 4, 0, nullptr), 1);
    // An unreadable version takes the oldest DVD mask.
    EXPECT_EQ(AdaptMediaType(BURN_MEDIA_DVD, MediaDirection::ToEngine), 0xCu);
}

TEST_F(BurnEngineLoaderTest, MediumMasksFollowTheEngineVersion) {
    struct Case {
        const char* version;
        std::uint32_t mask;
        MediaDirection direction;
        std::uint32_t adapted;
    };
    const Case cases[] = {
        {"6.6.0.14", BURN_MEDIA_DVD, MediaDirection::ToEngine, BURN_MEDIA_DVD},
        {"6.3.0.5", 0xCu, MediaDirection::FromEngine, 0xCu},
        {"6.3.0.4", BURN_MEDIA_DVD, MediaDirection::ToEngine, 0x1Cu},
        {"6.0.0.10", 0x1Cu, MediaDirection::FromEngine, BURN_MEDIA_DVD},
        {"6.0.0.10", 0xCu, MediaDirection::FromEngine, 0xCu},
        {"6.0.0.9", BURN_MEDIA_DVD, MediaDirection::ToEngine, 0xCu},
        {"5.5.9.16", 0xCu, MediaDirection::FromEngine, BURN_MEDIA_DVD},
        {"5.5.9.16", BURN_MEDIA_CD, MediaDirection::ToEngine, BURN_MEDIA_CD},
        {"5.5.9.16", 0x4u, MediaDirection::FromEngine, 0x4u},
    };
    ASSERT_TRUE(LoadBurnEngine());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Configure({{"version", c.version}});
        EXPECT_EQ(AdaptMediaType(c.mask, c.direction), c.adapted);
    }
}

TEST_F(BurnEngineLoaderTest, ForwardersStandInForMissingFunctionsWithTheirNeighbours) {
    ASSERT_TRUE(LoadBurnEngine());
    // Missing in the engine: answered by the older function beside them.
    EXPECT_EQ(burn::EngineWaitForDisc(nullptr, 1, 2, 3), 7);
    EXPECT_EQ(burn::EngineEraseDisc(nullptr, 4, 0, nullptr), 8);
    EXPECT_EQ(Calls("EngineWaitForMedia").at(0)["wait"].toInt(), 2);
    EXPECT_EQ(Calls("EngineEraseCDRW").at(0)["mode"].toInt(), 4);
    char* name = burn::EngineGetTypeNameOfMedia(1);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "CD-R/RW");
    burn::EngineFreeMem(name);
}

TEST_F(BurnEngineLoaderTest, TheDeviceOptionQuirkOfOneEngineVersion) {
    struct Case {
        const char* version;
        std::int32_t option;
        std::int32_t passed;
    };
    const Case cases[] = {
        {"6.6.0.0", 0, 1}, {"6.6.0.0", 2, 1},  {"6.6.0.0", 1, 3},
        {"6.6.0.1", 0, 3}, {"6.6.0.14", 2, 3},
    };
    ASSERT_TRUE(LoadBurnEngine());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " option " + std::to_string(c.option));
        Configure({{"version", c.version}});
        ClearLog();
        std::int32_t value = 3;
        EXPECT_EQ(burn::EngineSetDeviceOption(nullptr, c.option, &value), 0);
        EXPECT_EQ(Calls("EngineSetDeviceOption").at(0)["value"].toInt(), c.passed);
    }
}

TEST(BurnEngineVersion, ComparesMajorThenMinorThenReleaseThenBuild) {
    const BurnEngineVersion v{true, 6, 3, 0, 5};
    EXPECT_TRUE(IsEngineVersionAtLeast(v, 6, 3, 0, 5));
    EXPECT_TRUE(IsEngineVersionAtLeast(v, 6, 2, 9, 99));
    EXPECT_FALSE(IsEngineVersionAtLeast(v, 6, 3, 0, 6));
    EXPECT_FALSE(IsEngineVersionAtLeast(v, 7, 0, 0, 0));
    EXPECT_FALSE(IsEngineVersionAtLeast(BurnEngineVersion{}, 0, 0, 0, 0));
}

TEST_F(BurnEngineLoaderTest, AnEngineOf5564HasItsDvdWriterModuleMovedAsideForTheDriveScan) {
    // A copy of the engine in a folder of its own, beside the module.
    const fs::path copy = engineDir.path() / "engine";
    fs::create_directories(copy);
    fs::copy_file(kFakeEngineDir / BURN_ENGINE_LIBRARY_NAME, copy / BURN_ENGINE_LIBRARY_NAME);
    std::ofstream(copy / "DVDR.DLL") << "module";
    platform::WriteValue(kBurnEngineKey, kBurnEngineValue, copy.string());
    Configure({{"api_number", "5564"}, {"watch", (copy / "DVDR.DLL").string()}});
    ASSERT_TRUE(LoadBurnEngine());

    BurnDriveList* list = burn::EngineGetAvailableDrivesEx(BURN_MEDIA_CD, nullptr);
    ASSERT_NE(list, nullptr);
    burn::EngineFreeMem(list);
    const auto scans = Calls("EngineGetAvailableDrivesEx");
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_FALSE(scans[0]["watched"].toBool());
    EXPECT_TRUE(fs::exists(copy / "DVDR.DLL"));
    // This engine is not shut down; the unload alone ends it.
    EXPECT_EQ(burn::EngineDone(), 1);
    EXPECT_TRUE(Calls("EngineDone").empty());
}

}  // namespace
