#include "platform/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/support/file_contents.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using test_support::ScopedEnv;
using test_support::TempDir;

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(RuntimeFolderTest, LivesUnderXdgRuntimeDirWithMode0700) {
    TempDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    const auto folder = platform::RuntimeFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, runtime / "kestrune");
    EXPECT_EQ(ModeOf(*folder), 0700u);
}

TEST(RuntimeFolderTest, WithoutUsableXdgRuntimeDirFallsBackToTmp) {
    const fs::path expected = "/tmp/kestrune-" + std::to_string(::geteuid());
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/run")}) {
        ScopedEnv env("XDG_RUNTIME_DIR", value);
        const auto folder = platform::RuntimeFolder();
        ASSERT_TRUE(folder);
        EXPECT_EQ(*folder, expected);
        EXPECT_EQ(ModeOf(expected), 0700u);
    }
}

struct FolderCase {
    const char* name;
    std::function<void(const fs::path&)> prepare;
    bool accepted;
};

TEST(RuntimeFolderTest, PrivateFolderRules) {
    const FolderCase cases[] = {
        {"missing folder is made", [](const fs::path&) {}, true},
        {"own folder kept", [](const fs::path& p) { fs::create_directory(p); }, true},
        {"own open folder narrowed",
         [](const fs::path& p) {
             fs::create_directory(p);
             ::chmod(p.c_str(), 0777);
         },
         true},
        {"symbolic link refused",
         [](const fs::path& p) {
             fs::create_directory(p.string() + "-real");
             ::chmod((p.string() + "-real").c_str(), 0700);
             fs::create_directory_symlink(p.string() + "-real", p);
         },
         false},
        {"plain file refused", [](const fs::path& p) { std::ofstream(p) << "x"; }, false},
    };
    for (const FolderCase& c : cases) {
        TempDir scratch;
        const fs::path folder = scratch / "kestrune";
        c.prepare(folder);
        EXPECT_EQ(platform::EnsurePrivateFolder(folder), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(ModeOf(folder), 0700u) << c.name;
        }
    }
}

TEST(RuntimeFolderTest, FolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempDir runtime;
    const fs::path folder = runtime / "kestrune";
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0700);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::EnsurePrivateFolder(folder));
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    EXPECT_FALSE(platform::RuntimeFolder());
}

}  // namespace
