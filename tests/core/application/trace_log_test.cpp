#include "core/application/trace_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadAll;
using test_support::WriteAll;

namespace fs = std::filesystem;

// Counts the file's lines the way the log bounds them: pieces ending after a
// line feed or after 99 characters.
std::size_t CountPieces(const std::string& content) {
    std::size_t pieces = 0;
    std::size_t inPiece = 0;
    for (char c : content) {
        ++inPiece;
        if (c == '\n' || inPiece == 99) {
            ++pieces;
            inPiece = 0;
        }
    }
    return pieces + (inPiece > 0 ? 1 : 0);
}

std::string Line(const std::string& text) {
    return text + "\r\n";
}

// Lines "L0" .. "L<count-1>".
std::string NumberedLines(int count) {
    std::string content;
    for (int i = 0; i < count; ++i) {
        content += Line("L" + std::to_string(i));
    }
    return content;
}

class TraceLogTest : public testing::Test {
protected:
    void SetUp() override { InitTraceLog(300, m_folder); }
    void TearDown() override { CloseTraceLog(); }
    fs::path LogPath() const { return m_folder / "trace.log"; }

    test_support::TempDir m_dir;
    const fs::path& m_folder = m_dir.path();
};

struct TraceCase {
    const char* name;
    std::function<std::string()> before;  // nullptr: no file
    std::string text;
    std::function<std::string()> after;
};

const std::string kLong150(150, 'x');

const TraceCase kTraceCases[] = {
    {"first line creates the file", nullptr, "first", [] { return Line("first"); }},
    {"299 lines grow to 300", [] { return NumberedLines(299); }, "new",
     [] { return NumberedLines(299) + Line("new"); }},
    {"300 lines drop the oldest", [] { return NumberedLines(300); }, "new",
     [] { return NumberedLines(300).substr(Line("L0").size()) + Line("new"); }},
    {"a long dropped line shortens the file",
     [] { return Line(std::string(60, 'a')) + NumberedLines(300).substr(Line("L0").size()); }, "n",
     [] { return NumberedLines(300).substr(Line("L0").size()) + Line("n"); }},
    // 298 short lines and one of 150 characters count as 300.
    {"a 150-character line counts twice", [] { return NumberedLines(298) + Line(kLong150); }, "new",
     [] { return NumberedLines(298).substr(Line("L0").size()) + Line(kLong150) + Line("new"); }},
    // An oldest line of two pieces goes whole, never leaving a fragment.
    {"a long oldest line goes whole", [] { return Line(kLong150) + NumberedLines(298); }, "new",
     [] { return NumberedLines(298) + Line("new"); }},
    // A file already over the limit is brought back within it.
    {"an over-full file is cut back", [] { return NumberedLines(400); }, "new",
     [] { return NumberedLines(400).substr(NumberedLines(101).size()) + Line("new"); }},
    // Only the tail of a huge file is read; the result keeps the newest 299.
    {"a huge file keeps its newest lines", [] { return NumberedLines(20000); }, "new",
     [] { return NumberedLines(20000).substr(NumberedLines(19701).size()) + Line("new"); }},
};

TEST_F(TraceLogTest, EdgeCases) {
    for (const TraceCase& c : kTraceCases) {
        SCOPED_TRACE(c.name);
        fs::remove(LogPath());
        if (c.before) {
            WriteAll(LogPath(), c.before());
        }
        WriteTraceLine(c.text);
        const std::string content = ReadAll(LogPath());
        EXPECT_EQ(content, c.after());
        EXPECT_LE(CountPieces(content), 300u);
    }
}

TEST_F(TraceLogTest, ManyLongLinesNeverExceedTheLimit) {
    // Lines of three pieces each: the file keeps whole lines only.
    for (int i = 0; i < 150; ++i) {
        WriteTraceLine(std::to_string(i) + std::string(250, 'y'));
    }
    const std::string content = ReadAll(LogPath());
    EXPECT_EQ(CountPieces(content), 300u);
    EXPECT_EQ(content.rfind("50" + std::string(250, 'y') + "\r\n", 0), 0u);
}

TEST_F(TraceLogTest, ALineLongerThanTheWholeLogIsCutToTheLimit) {
    WriteAll(LogPath(), NumberedLines(10));
    const std::string huge(300 * 99 + 500, 'z');
    WriteTraceLine(huge);
    const std::string content = ReadAll(LogPath());
    EXPECT_EQ(CountPieces(content), 300u);
    EXPECT_EQ(content.substr(content.size() - 3), "z\r\n");
    EXPECT_EQ(content.find('L'), std::string::npos);
}

TEST_F(TraceLogTest, ConcurrentWritersKeepEveryLineWhole) {
    std::vector<std::jthread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 25; ++i) {
                WriteTraceLine("writer " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    writers.clear();  // joins
    std::istringstream lines(ReadAll(LogPath()));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_EQ(line.rfind("writer ", 0), 0u);
        EXPECT_EQ(line.back(), '\r');
    }
    EXPECT_EQ(count, 100);
}

TEST_F(TraceLogTest, AnUnwritableFileLosesTheLineButNotLaterOnes) {
    InitTraceLog(300, m_folder / "missing-folder");
    WriteTraceLine("lost");
    // A second writer must not be blocked by the failed one.
    std::jthread([] { WriteTraceLine("also lost"); }).join();
    InitTraceLog(300, m_folder);
    WriteTraceLine("kept");
    EXPECT_EQ(ReadAll(LogPath()), Line("kept"));
}

TEST_F(TraceLogTest, NothingIsWrittenAfterClose) {
    CloseTraceLog();
    WriteTraceLine("late");
    EXPECT_FALSE(fs::exists(LogPath()));
}

class DebugTraceTest : public testing::Test {
protected:
    fs::path LogPath() const { return m_folder / "DebugTrace.log"; }

    test_support::TempDir m_dir;
    const fs::path& m_folder = m_dir.path();
};

TEST_F(DebugTraceTest, OpenEmptiesAnEarlierFileAndLinesAreAppended) {
    WriteAll(LogPath(), "from an earlier run\r\n");
    CDebugTrace trace;
    ASSERT_TRUE(trace.Open(m_folder));
    EXPECT_EQ(ReadAll(LogPath()), "");
    EXPECT_TRUE(trace.WriteLine("one"));
    EXPECT_TRUE(trace.WriteLine("two"));
    EXPECT_EQ(ReadAll(LogPath()), "one\r\ntwo\r\n");
    EXPECT_TRUE(trace.Close());
    EXPECT_FALSE(trace.WriteLine("after close"));
    EXPECT_TRUE(trace.Close());  // a second close is harmless
    EXPECT_EQ(ReadAll(LogPath()), "one\r\ntwo\r\n");
}

TEST_F(DebugTraceTest, OpenFailsWhenTheFileCannotBeCreated) {
    CDebugTrace trace;
    EXPECT_FALSE(trace.Open(m_folder / "missing-folder"));
    EXPECT_FALSE(trace.WriteLine("nowhere"));
}

TEST_F(DebugTraceTest, DeleteLogFileRemovesTheFile) {
    CDebugTrace trace;
    ASSERT_TRUE(trace.Open(m_folder));
    EXPECT_TRUE(trace.Close());
    EXPECT_TRUE(trace.DeleteLogFile());
    EXPECT_FALSE(fs::exists(LogPath()));
    EXPECT_TRUE(trace.DeleteLogFile());  // nothing left to delete
}

}  // namespace
