#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include "tests/support/file_contents.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::string_literals;
using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteAll;

constexpr const char* kEngineKey = "Software\\Marrowind\\Kestrune";

TEST(RegistryStore, WriteThenReadAndMissingValues) {
    TempDir folder;
    const auto file = folder / "sub" / "registry.ini";  // the folder is created on write
    platform::ScopedRegistryFile scoped(file);
    EXPECT_EQ(platform::RegistryFilePath(), file);

    EXPECT_EQ(platform::ReadValue(kEngineKey, "BurnEngine"), std::nullopt);
    ASSERT_TRUE(platform::WriteValue(kEngineKey, "BurnEngine", "/opt/engine"));
    EXPECT_EQ(platform::ReadValue(kEngineKey, "BurnEngine"), "/opt/engine");
    // Keys and names match without case, as registry keys do.
    EXPECT_EQ(platform::ReadValue("software\\MARROWIND\\kestrune", "burnengine"), "/opt/engine");
    EXPECT_EQ(platform::ReadValue(kEngineKey, "Other"), std::nullopt);
    EXPECT_EQ(platform::ReadValue("Software\\Other", "BurnEngine"), std::nullopt);

    ASSERT_TRUE(platform::WriteValue(kEngineKey, "BurnEngine", ""));
    EXPECT_EQ(platform::ReadValue(kEngineKey, "BurnEngine"), "");  // empty is not missing
    EXPECT_EQ(ReadAll(file), "[Software\\Marrowind\\Kestrune]\r\nBurnEngine=\r\n");
}

TEST(RegistryStore, LineBreaksCannotForgeOtherValues) {
    TempDir folder;
    platform::ScopedRegistryFile scoped(folder / "registry.ini");
    ASSERT_TRUE(platform::WriteValue(kEngineKey, "A", "1"));
    EXPECT_FALSE(platform::WriteValue(kEngineKey, "A", "x\r\nB=forged"));
    EXPECT_FALSE(platform::WriteValue("K]\n[Evil", "A", "1"));
    EXPECT_EQ(platform::ReadValue(kEngineKey, "A"), "1");
    EXPECT_EQ(platform::ReadValue(kEngineKey, "B"), std::nullopt);
}

TEST(RegistryStore, DamagedFileReadsAsMissingAndIsRepairedByAWrite) {
    TempDir folder;
    const auto file = folder / "registry.ini";
    platform::ScopedRegistryFile scoped(file);
    WriteAll(file, "\0\xff[\n=\n[Software\\X\n"s);
    EXPECT_EQ(platform::ReadValue("Software\\X", "v"), std::nullopt);
    ASSERT_TRUE(platform::WriteValue("Software\\X", "v", "ok"));
    EXPECT_EQ(platform::ReadValue("Software\\X", "v"), "ok");
}

TEST(RegistryStore, DefaultFileFollowsTheConfigurationFolder) {
    TempDir folder;
    platform::SetRegistryFile({});
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (folder / "cfg").string());
        EXPECT_EQ(platform::RegistryFilePath(), folder / "cfg" / "kestrune" / "registry.ini");
        ASSERT_TRUE(platform::WriteValue("K", "n", "v"));
        EXPECT_EQ(ReadAll(folder / "cfg" / "kestrune" / "registry.ini"), "[K]\r\nn=v\r\n");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", std::string("relative/cfg"));  // not absolute: ignored
        ScopedEnv home("HOME", folder.path().string());
        EXPECT_EQ(platform::RegistryFilePath(), folder / ".config" / "kestrune" / "registry.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv home("HOME", std::nullopt);
        EXPECT_EQ(platform::RegistryFilePath(), std::filesystem::path());
        EXPECT_EQ(platform::ReadValue("K", "n"), std::nullopt);
        EXPECT_FALSE(platform::WriteValue("K", "n", "v"));
    }
}

// ---------------------------------------------------------------- Desktop folder

struct DesktopCase {
    const char* name;
    std::optional<std::string> userDirs;  // nullopt: no user-dirs.dirs file
    std::string expected;                 // "~" stands for the home folder
};

const DesktopCase kDesktopCases[] = {
    {"no_file", std::nullopt, "~/Desktop"},
    {"no_entry", "XDG_MUSIC_DIR=\"$HOME/Music\"\n", "~/Desktop"},
    {"home_relative", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "~/Schreibtisch"},
    {"braced_home", "XDG_DESKTOP_DIR=\"${HOME}/Bureau\"\n", "~/Bureau"},
    {"absolute", "XDG_DESKTOP_DIR=\"/data/desk\"\n", "/data/desk"},
    {"unquoted", "XDG_DESKTOP_DIR=$HOME/Desk\n", "~/Desk"},
    {"home_itself", "XDG_DESKTOP_DIR=\"$HOME/\"\n", "~"},
    {"escapes", "XDG_DESKTOP_DIR=\"$HOME/a \\\"b\\\"\"\n", "~/a \"b\""},
    {"last_wins", "XDG_DESKTOP_DIR=\"$HOME/one\"\nXDG_DESKTOP_DIR=\"$HOME/two\"\n", "~/two"},
    {"indented_and_crlf", "  XDG_DESKTOP_DIR=\"$HOME/D\"\r\n", "~/D"},
    {"relative_ignored", "XDG_DESKTOP_DIR=\"Desk\"\n", "~/Desktop"},
    {"other_variable_ignored", "XDG_DESKTOP_DIR=\"$HOMEPATH/x\"\n", "~/Desktop"},
    {"unterminated_ignored", "XDG_DESKTOP_DIR=\"$HOME/x\n", "~/Desktop"},
    {"commented_out", "#XDG_DESKTOP_DIR=\"$HOME/x\"\n", "~/Desktop"},
    {"binary_junk", "\0\xff\"XDG_DESKTOP_DIR=\n\n"s, "~/Desktop"},
};

class Desktop : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(Desktop, FromUserDirsOrHome) {
    const DesktopCase& c = GetParam();
    TempDir folder;
    const std::string home = (folder / "home").string();
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv xdg("XDG_CONFIG_HOME", (folder / "cfg").string());
    std::filesystem::create_directories(folder / "cfg");
    if (c.userDirs) {
        WriteAll(folder / "cfg" / "user-dirs.dirs", *c.userDirs);
    }
    std::string expected = c.expected;
    if (expected.front() == '~') {
        expected = home + expected.substr(1);
    }
    EXPECT_EQ(platform::DesktopFolder(), std::filesystem::path(expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, Desktop, ::testing::ValuesIn(kDesktopCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(DesktopFolder, UserDirsUnderHomeConfigWhenNoXdgConfigHome) {
    TempDir folder;
    ScopedEnv homeEnv("HOME", folder.path().string());
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    std::filesystem::create_directories(folder / ".config");
    WriteAll(folder / ".config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n");
    EXPECT_EQ(platform::DesktopFolder(), folder / "Pulpit");
}

TEST(DesktopFolder, NoneWithoutHome) {
    TempDir folder;
    std::filesystem::create_directories(folder / "cfg");
    WriteAll(folder / "cfg" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"/data/desk\"\n");
    ScopedEnv xdg("XDG_CONFIG_HOME", (folder / "cfg").string());
    for (const std::optional<std::string>& home :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        ScopedEnv homeEnv("HOME", home);
        EXPECT_EQ(platform::DesktopFolder(), std::nullopt);
    }
}

}  // namespace
