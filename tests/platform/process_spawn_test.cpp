#include "platform/process_spawn.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;

class ProcessSpawnTest : public testing::Test {
protected:
    // Waits (bounded) for a file the started program writes; the program
    // renames it into place, so it is complete once it exists.
    std::string AwaitFile(const fs::path& path) const {
        EXPECT_TRUE(test_support::WaitUntil([&] { return fs::exists(path); }, "the file"));
        return test_support::ReadAll(path);
    }

    test_support::TempDir m_dir;
    const fs::path& m_folder = m_dir.path();
};

// The shell writes $1 into $2 through a temporary name.
constexpr const char* kWriteFirstArgument = "printf %s \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\"";

TEST_F(ProcessSpawnTest, ArgumentsArriveUnsplit) {
    const fs::path out = m_folder / "out";
    const std::string argument = "two  words, 'quotes' \"and\" $HOME; * |";
    ASSERT_TRUE(platform::SpawnDetached("/bin/sh",
                                        {"-c", kWriteFirstArgument, "sh", argument, out.string()}));
    EXPECT_EQ(AwaitFile(out), argument);
}

TEST_F(ProcessSpawnTest, NoChildIsLeftBehind) {
    const fs::path out = m_folder / "out";
    ASSERT_TRUE(
        platform::SpawnDetached("/bin/sh", {"-c", kWriteFirstArgument, "sh", "x", out.string()}));
    // The program is not our child, and the intermediate was reaped.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(AwaitFile(out), "x");
}

TEST_F(ProcessSpawnTest, TheProgramRunsInASessionOfItsOwn) {
    const fs::path out = m_folder / "out";
    // Field 6 of /proc/<pid>/stat is the session id.
    ASSERT_TRUE(platform::SpawnDetached(
        "/bin/sh",
        {"-c", "cut -d' ' -f6 /proc/$$/stat | tr -d '\\n' > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"",
         "sh", out.string()}));
    const std::string session = AwaitFile(out);
    ASSERT_FALSE(session.empty());
    EXPECT_NE(std::stol(session), static_cast<long>(::getsid(0)));
}

TEST_F(ProcessSpawnTest, ProgramsThatCannotStartReportFailure) {
    const fs::path notExecutable = m_folder / "plain.txt";
    std::ofstream(notExecutable) << "#!/bin/sh\n";
    ::chmod(notExecutable.c_str(), 0644);
    for (const fs::path& program :
         {m_folder / "missing-program", fs::path(m_folder), notExecutable, fs::path()}) {
        EXPECT_FALSE(platform::SpawnDetached(program, {"argument"})) << program;
    }
    EXPECT_FALSE(platform::SpawnDetached("/bin/sh", {"-c", std::string("true\0x", 6)}));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
