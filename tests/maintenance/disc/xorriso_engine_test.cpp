// The engine that ships, burning backups into ISO image files through its
// "Image Recorder" drive, read back with xorriso itself.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "burnengine/xorriso_process.h"
#include "burnengine/xorriso_reports.h"
#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/disc_writer.h"
#include "platform/registry_store.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/file_contents.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::mutex g_hookLock;
std::vector<std::pair<int, int>> g_hookCalls;
CDiscWriter* g_abortOnStart = nullptr;
void Hook(int phase, int value) {
    std::lock_guard lock(g_hookLock);
    g_hookCalls.emplace_back(phase, value);
    if (phase == kDiscBurnStarts && g_abortOnStart != nullptr) {
        g_abortOnStart->Abort();
    }
}

class XorrisoEngineTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        if (!xorriso::FindProgram()) {
            GTEST_SKIP() << "xorriso is not installed (scripts/setup.sh installs it)";
        }
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, KESTRUNE_XORRISO_ENGINE_DIR);
        image = (work.path() / "backup.iso").string();
        SetImageFileChooser([this] { return std::optional<std::string>(image); });
        {
            std::lock_guard lock(g_hookLock);
            g_hookCalls.clear();
            g_abortOnStart = nullptr;
        }
    }

    void TearDown() override {
        writer.reset();
        SetImageFileChooser({});
        UnloadBurnEngine();
        AppStateTest::TearDown();
    }

    // A backup file of `size` random bytes.
    std::string Backup(const std::string& name, std::size_t size) {
        std::mt19937 random(static_cast<unsigned>(size));
        std::string bytes(size, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        const fs::path path = work.path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    // Prepares and burns `source` on the image recorder as the backup page
    // and the download thread do; false when the preparation refused it.
    bool Burn(const std::string& source) {
        if (!writer->InitEngine(source, &Hook)) {
            return false;
        }
        const auto& names = writer->DriveNames();
        const auto found = std::find(names.begin(), names.end(), "Image Recorder");
        EXPECT_NE(found, names.end());
        writer->m_nDriveIndex = static_cast<int>(found - names.begin());
        writer->m_dwSourceSize = fs::file_size(source);
        if (!writer->PrepareDisc()) {
            return false;
        }
        int answer = -1;
        // The burn runs on a worker thread, as on the download thread.
        std::thread([&] { answer = writer->BurnFiles(); }).join();
        EXPECT_EQ(answer, 1);
        return true;
    }

    // The image's top-level entries, as xorriso reads them.
    std::map<std::string, std::uint64_t> Listing() {
        const auto run = xorriso::Run({"-pkt_output", "on", "-indev", "stdio:" + image, "-find",
                                       "/", "-maxdepth", "1", "-exec", "lsdl", "--"});
        std::map<std::string, std::uint64_t> entries;
        for (const auto& entry : xorriso::ParseLsdl(run.output)) {
            entries[entry.name] = entry.size;
        }
        return entries;
    }

    std::string Extract(const std::string& name) {
        const fs::path out = work.path() / ("extracted-" + name);
        const auto run = xorriso::Run(
            {"-osirrox", "on", "-indev", "stdio:" + image, "-extract", "/" + name, out.string()});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return test_support::ReadAll(out);
    }

    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& entry : boxes.sink().Entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    test_support::TempDir work;
    platform::ScopedRegistryFile registry{work.path() / "registry.ini"};
    test_support::ScopedEnv pathEnv{"PATH", std::string(::getenv("PATH") ? ::getenv("PATH") : "")};
    std::string image;
    std::unique_ptr<CDiscWriter> writer = std::make_unique<CDiscWriter>();
};

TEST_F(XorrisoEngineTest, ABackupIsWrittenIntoAnImageWithItsBytesIntact) {
    const std::string source = Backup("CH01_0001.dvr", 300000);
    ASSERT_TRUE(Burn(source));
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(Listing(), (std::map<std::string, std::uint64_t>{{"CH01_0001.dvr", 300000}}));
    EXPECT_EQ(Extract("CH01_0001.dvr"), test_support::ReadAll(source));
    std::lock_guard lock(g_hookLock);
    ASSERT_GE(g_hookCalls.size(), 3u);
    EXPECT_EQ(g_hookCalls.front(), std::make_pair(0, 0));
    EXPECT_EQ(g_hookCalls[g_hookCalls.size() - 2], std::make_pair(1, 100));
    EXPECT_EQ(g_hookCalls.back(), std::make_pair(2, 0));
}

TEST_F(XorrisoEngineTest, ASecondBackupIsAppendedAsANewSessionAndAClashIsCaught) {
    const std::string first = Backup("CH01_0001.dvr", 5000);
    const std::string second = Backup("CH02_0002.dvr", 7000);
    ASSERT_TRUE(Burn(first));
    ASSERT_TRUE(Burn(second));
    EXPECT_EQ(Listing(), (std::map<std::string, std::uint64_t>{{"CH01_0001.dvr", 5000},
                                                               {"CH02_0002.dvr", 7000}}));
    EXPECT_EQ(Extract("CH01_0001.dvr"), test_support::ReadAll(first));
    EXPECT_EQ(Extract("CH02_0002.dvr"), test_support::ReadAll(second));
    const auto toc = xorriso::ParseToc(
        xorriso::Run({"-pkt_output", "on", "-indev", "stdio:" + image, "-toc"}).output);
    EXPECT_EQ(toc.sessions, 2u);

    // The same name again, in another case: refused before anything is written.
    const std::string again = Backup("ch01_0001.DVR", 100);
    EXPECT_FALSE(Burn(again));
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "FileName is tha same as other existed file,please modify it"});
    EXPECT_EQ(xorriso::ParseToc(
                  xorriso::Run({"-pkt_output", "on", "-indev", "stdio:" + image, "-toc"}).output)
                  .sessions,
              2u);
}

TEST_F(XorrisoEngineTest, AnAbortedBurnEndsTheChildAndLeavesTheImageAsItWas) {
    const std::string first = Backup("CH01_0001.dvr", 5000);
    ASSERT_TRUE(Burn(first));
    {
        std::lock_guard lock(g_hookLock);
        g_abortOnStart = writer.get();
    }
    ASSERT_TRUE(Burn(Backup("CH02_0002.dvr", 7000)));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Write CD Error : user aborted"});
    EXPECT_EQ(writer->m_bAbort.load(), 0);
    EXPECT_EQ(Listing(), (std::map<std::string, std::uint64_t>{{"CH01_0001.dvr", 5000}}));
    EXPECT_EQ(Extract("CH01_0001.dvr"), test_support::ReadAll(first));
}

TEST_F(XorrisoEngineTest, WithoutXorrisoTheEngineIsNotOffered) {
    ::setenv("PATH", work.path().c_str(), 1);
    EXPECT_FALSE(writer->InitEngine(Backup("CH01_0001.dvr", 10), &Hook));
    EXPECT_EQ(Texts(), std::vector<std::string>{"You should install the burning engine first."});
}

TEST_F(XorrisoEngineTest, CancellingTheImageFileLeavesTheDriveUnopened) {
    SetImageFileChooser([] { return std::optional<std::string>(); });
    const std::string source = Backup("CH01_0001.dvr", 10);
    ASSERT_TRUE(writer->InitEngine(source, &Hook));
    writer->m_nDriveIndex = writer->m_nDriveCount - 1;
    EXPECT_FALSE(writer->PrepareDisc());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Device could not be opened: Image Recorder"});
    EXPECT_FALSE(fs::exists(image));
}

}  // namespace
