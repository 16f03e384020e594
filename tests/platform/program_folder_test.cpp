#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include "tests/support/file_contents.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteAll;

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ResetProgramFolder(); }
    void TearDown() override { platform::ResetProgramFolder(); }

    // An installed layout: an executable folder nobody can write into (it
    // does not exist) and an assets folder with a subfolder.
    platform::ProgramFolderSources Installed() {
        std::filesystem::create_directories(m_folder / "assets" / "BMP");
        WriteAll(m_folder / "assets" / "CtrlFile.ini", "[EOF]\r\n");
        WriteAll(m_folder / "assets" / "alarm.wav", "RIFF");
        WriteAll(m_folder / "assets" / "BMP" / "skin.bmp", "BM");
        return {m_folder / "bin-read-only", {m_folder / "missing-assets", m_folder / "assets"}};
    }

    TempDir m_folder;
};

TEST_F(ProgramFolderTest, KestruneHomeWinsOverEverything) {
    ScopedEnv home("KESTRUNE_HOME", (m_folder / "kh").string());
    EXPECT_EQ(platform::ResolveProgramFolder({m_folder.path(), {}}), m_folder / "kh");
    EXPECT_EQ(platform::ProgramFolder(), m_folder / "kh");
}

TEST_F(ProgramFolderTest, WritableExecutableFolderIsUsedAsIs) {
    ScopedEnv home("KESTRUNE_HOME", std::nullopt);
    EXPECT_EQ(platform::ResolveProgramFolder({m_folder.path(), {}}), m_folder.path());
    // The test program's own folder (the build tree) is writable.
    const auto exe = platform::ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(exe / "kestrune_platform_tests"));
    EXPECT_EQ(platform::ProgramFolder(), exe);
}

TEST_F(ProgramFolderTest, ReadOnlyInstallUsesSeededDataFolder) {
    ScopedEnv home("KESTRUNE_HOME", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", (m_folder / "data").string());
    const auto sources = Installed();
    const auto expected = m_folder / "data" / "kestrune";

    EXPECT_EQ(platform::ResolveProgramFolder(sources), expected);
    EXPECT_EQ(ReadAll(expected / "CtrlFile.ini"), "[EOF]\r\n");
    EXPECT_EQ(ReadAll(expected / "alarm.wav"), "RIFF");
    EXPECT_EQ(ReadAll(expected / "BMP" / "skin.bmp"), "BM");

    // The user's own changes survive; what went missing comes back.
    WriteAll(expected / "CtrlFile.ini", "changed");
    std::filesystem::remove(expected / "BMP" / "skin.bmp");
    EXPECT_EQ(platform::ResolveProgramFolder(sources), expected);
    EXPECT_EQ(ReadAll(expected / "CtrlFile.ini"), "changed");
    EXPECT_EQ(ReadAll(expected / "BMP" / "skin.bmp"), "BM");
}

TEST_F(ProgramFolderTest, DataFolderFallsBackToHomeAndFinallyToTheExecutable) {
    ScopedEnv home("KESTRUNE_HOME", std::nullopt);
    const auto sources = Installed();
    {
        ScopedEnv data("XDG_DATA_HOME", std::string("relative"));  // not absolute: ignored
        ScopedEnv userHome("HOME", (m_folder / "home").string());
        const auto expected = m_folder / "home" / ".local" / "share" / "kestrune";
        EXPECT_EQ(platform::ResolveProgramFolder(sources), expected);
        EXPECT_TRUE(std::filesystem::is_regular_file(expected / "alarm.wav"));
    }
    {
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        ScopedEnv userHome("HOME", std::nullopt);
        EXPECT_EQ(platform::ResolveProgramFolder(sources), sources.executableFolder);
    }
}

TEST_F(ProgramFolderTest, NoAssetsGivesAnEmptyDataFolder) {
    ScopedEnv home("KESTRUNE_HOME", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", (m_folder / "data").string());
    const auto folder = platform::ResolveProgramFolder({m_folder / "gone", {m_folder / "none"}});
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(ProgramFolderTest, OverrideAndRememberedChoice) {
    ScopedEnv home("KESTRUNE_HOME", (m_folder / "first").string());
    EXPECT_EQ(platform::ProgramFolder(), m_folder / "first");
    {
        // The choice is made once per process: a later change of the
        // environment does not move the program's files.
        ScopedEnv later("KESTRUNE_HOME", (m_folder / "second").string());
        EXPECT_EQ(platform::ProgramFolder(), m_folder / "first");
        platform::SetProgramFolder(m_folder / "fixed");
        EXPECT_EQ(platform::ProgramFolder(), m_folder / "fixed");
        platform::ResetProgramFolder();
        EXPECT_EQ(platform::ProgramFolder(), m_folder / "second");
    }
}

}  // namespace
