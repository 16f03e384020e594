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

namespace {

namespace fs = std::filesystem;

class ProcessSpawnTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "spawn-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // Waits (bounded) for a file the started program writes; the program
    // renames it into place, so it is complete once it exists.
    std::string AwaitFile(const fs::path& path) const {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fs::exists(path) && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_folder;
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
