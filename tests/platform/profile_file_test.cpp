#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::string_literals;
using platform::ProfileFile;
using test_support::ReadAll;
using test_support::TempDir;
using test_support::WriteAll;

// ---------------------------------------------------------------- reading

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* defaultValue;
    std::size_t capacity;
    std::string expected;
};

constexpr std::size_t kNoCut = ProfileFile::kUnlimited;

const ReadCase kReadCases[] = {
    {"plain", "[Kestrune]\r\nServer Name=10.0.0.1\r\n", "Kestrune", "Server Name", "d", kNoCut,
     "10.0.0.1"},
    {"section_and_key_ignore_case", "[KESTRUNE]\r\nserver name=x\r\n", "Kestrune", "Server NAME",
     "d", kNoCut, "x"},
    {"missing_key", "[Kestrune]\r\na=1\r\n", "Kestrune", "b", "dflt", kNoCut, "dflt"},
    {"missing_section", "[Other]\r\na=1\r\n", "Kestrune", "a", "dflt", kNoCut, "dflt"},
    {"missing_file_content", "", "Kestrune", "a", "dflt", kNoCut, "dflt"},
    {"blanks_trimmed", "[S]\r\n  key \t=   some value \t \r\n", "S", "key", "d", kNoCut,
     "some value"},
    {"blank_section_name_trimmed", "[ S ]\r\nk=v\r\n", "S", "k", "d", kNoCut, "v"},
    {"double_quotes_removed", "[S]\r\nk=\"  spaced  \"\r\n", "S", "k", "d", kNoCut, "  spaced  "},
    {"single_quotes_removed", "[S]\r\nk='x'\r\n", "S", "k", "d", kNoCut, "x"},
    {"only_one_pair_removed", "[S]\r\nk=\"\"x\"\"\r\n", "S", "k", "d", kNoCut, "\"x\""},
    {"unmatched_quote_kept", "[S]\r\nk=\"x\r\n", "S", "k", "d", kNoCut, "\"x"},
    {"empty_quotes", "[S]\r\nk=\"\"\r\n", "S", "k", "d", kNoCut, ""},
    {"empty_value_is_not_missing", "[S]\r\nk=\r\n", "S", "k", "d", kNoCut, ""},
    {"equals_inside_value", "[S]\r\nk=a=b\r\n", "S", "k", "d", kNoCut, "a=b"},
    {"lf_lines", "[S]\nk=v\nj=w\n", "S", "j", "d", kNoCut, "w"},
    {"mixed_line_ends", "[S]\r\nk=v\nj=w\r\n", "S", "j", "d", kNoCut, "w"},
    {"no_final_line_end", "[S]\r\nk=last", "S", "k", "d", kNoCut, "last"},
    {"first_key_wins", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "d", kNoCut, "1"},
    {"second_block_of_section_searched", "[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n", "S", "b", "d",
     kNoCut, "2"},
    {"first_block_wins_over_second", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "d", kNoCut, "1"},
    {"key_before_any_section_ignored", "k=stray\r\n[S]\r\n", "S", "k", "d", kNoCut, "d"},
    {"comment_is_not_a_key", "[S]\r\n;k=v\r\n", "S", "k", "d", kNoCut, "d"},
    {"header_without_bracket_is_no_section", "[S\r\nk=v\r\n", "S", "k", "d", kNoCut, "d"},
    {"line_without_equals_ignored", "[S]\r\njunk line\r\nk=v\r\n", "S", "k", "d", kNoCut, "v"},
    {"capacity_cuts_value", "[S]\r\nk=abcdef\r\n", "S", "k", "d", 4, "abc"},
    {"capacity_one_gives_empty", "[S]\r\nk=abcdef\r\n", "S", "k", "d", 1, ""},
    {"capacity_zero_gives_empty", "[S]\r\nk=abcdef\r\n", "S", "k", "d", 0, ""},
    {"capacity_cuts_default", "[S]\r\n", "S", "k", "default", 4, "def"},
    {"value_exactly_fits", "[S]\r\nk=abc\r\n", "S", "k", "d", 4, "abc"},
    {"nul_bytes_in_junk", "[S]\r\n\0\0\0\r\nk=v\r\n"s, "S", "k", "d", kNoCut, "v"},
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FindsValueAsThePlatformDoes) {
    const ReadCase& c = GetParam();
    TempDir folder;
    const auto file = folder / "t.ini";
    if (!c.file.empty()) {
        WriteAll(file, c.file);
    }
    EXPECT_EQ(ProfileFile::Load(file).GetString(c.section, c.key, c.defaultValue, c.capacity),
              c.expected);
    EXPECT_EQ(platform::GetPrivateProfileString(c.section, c.key, c.defaultValue, c.capacity, file),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct IntCase {
    const char* value;
    std::int64_t expected;
};

TEST(ProfileInt, LeadingDigitsSaturatingWithDefault) {
    constexpr std::int64_t kDefault = 55;
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const IntCase cases[] = {
        {"42", 42},
        {"  -17", -17},
        {"+8", 8},
        {"12abc", 12},
        {"0x10", 0},
        {"1 2", 1},
        {"\"77\"", 77},
        {"007", 7},
        {"abc", kDefault},
        {"", kDefault},
        {"-", kDefault},
        {"+ 5", kDefault},
        {"9223372036854775807", kMax},
        {"9223372036854775808", kMax},
        {"99999999999999999999999999", kMax},
        {"-9223372036854775808", kMin},
        {"-99999999999999999999999999", kMin},
    };
    for (const auto& c : cases) {
        ProfileFile doc;
        ASSERT_TRUE(doc.SetString("S", "k", c.value));
        EXPECT_EQ(doc.GetInt("S", "k", kDefault), c.expected) << "value '" << c.value << "'";
    }
    EXPECT_EQ(ProfileFile().GetInt("S", "missing", kDefault), kDefault);
}

TEST(ProfileInt, FreeFunctionSaturatesToInt) {
    TempDir folder;
    const auto file = folder / "t.ini";
    WriteAll(file, "[S]\nbig=3000000000\nsmall=-3000000000\nok=-12\n");
    EXPECT_EQ(platform::GetPrivateProfileInt("S", "big", 1, file), std::numeric_limits<int>::max());
    EXPECT_EQ(platform::GetPrivateProfileInt("S", "small", 1, file),
              std::numeric_limits<int>::min());
    EXPECT_EQ(platform::GetPrivateProfileInt("S", "ok", 1, file), -12);
    EXPECT_EQ(platform::GetPrivateProfileInt("S", "none", 9, file), 9);
    EXPECT_EQ(platform::GetPrivateProfileInt("S", "k", 9, folder / "missing.ini"), 9);
}

// ---------------------------------------------------------------- writing

TEST(ProfileWrite, NewFileIsSectionThenKeysInCrLf) {
    TempDir folder;
    const auto file = folder / "new.ini";
    ProfileFile doc = ProfileFile::Load(file);
    EXPECT_FALSE(doc.ReadFailed());
    ASSERT_TRUE(doc.SetString("Kestrune", "a", "1"));
    ASSERT_TRUE(doc.SetInt("Kestrune", "b", -2));
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadAll(file), "[Kestrune]\r\na=1\r\nb=-2\r\n");
}

TEST(ProfileWrite, ReplacesInPlaceAndKeepsEverythingElse) {
    TempDir folder;
    const auto file = folder / "t.ini";
    WriteAll(file,
             "; header comment\n"
             "[One]\n"
             "x = old\n"
             "Y=keep\n"
             "\n"
             "; about Two\n"
             "[Two]\n"
             "z=1\n");
    ProfileFile doc = ProfileFile::Load(file);
    ASSERT_TRUE(doc.SetString("one", "X", "new"));    // replace, matched without case
    ASSERT_TRUE(doc.SetString("One", "added", "a"));  // after the last key of One
    ASSERT_TRUE(doc.SetString("Three", "w", "3"));    // new section at the end
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadAll(file),
              "; header comment\r\n"
              "[One]\r\n"
              "X=new\r\n"
              "Y=keep\r\n"
              "added=a\r\n"
              "\r\n"
              "; about Two\r\n"
              "[Two]\r\n"
              "z=1\r\n"
              "[Three]\r\n"
              "w=3\r\n");
}

TEST(ProfileWrite, ReplacesTheOccurrenceThatReadsSee) {
    // A file with a duplicate key and a duplicate section.
    TempDir folder;
    WriteAll(folder / "d.ini", "[S]\nk=1\nk=2\n[S]\nk=3\nj=4\n");
    ProfileFile dup = ProfileFile::Load(folder / "d.ini");
    ASSERT_TRUE(dup.SetString("S", "k", "new"));
    ASSERT_TRUE(dup.SetString("S", "j", "J"));
    EXPECT_EQ(dup.Serialize(), "[S]\r\nk=new\r\nk=2\r\n[S]\r\nk=3\r\nj=J\r\n");
    EXPECT_EQ(dup.GetString("S", "k", ""), "new");
}

TEST(ProfileWrite, LineBreaksAndBadNamesAreRefused) {
    ProfileFile doc;
    ASSERT_TRUE(doc.SetString("S", "k", "good"));
    const std::string before = doc.Serialize();
    struct Bad {
        std::string section, key, value;
    };
    const Bad bad[] = {
        {"S", "k", "a\r\n[Evil]\r\nk=1"},
        {"S", "k", "a\nb"},
        {"S", "k", "a\rb"},
        {"S", "k", "a\0b"s},
        {"S", "new", "x\ny"},
        {"S", "a=b", "v"},
        {"S", "", "v"},
        {"S", " k", "v"},
        {"S", ";k", "v"},
        {"S", "[k", "v"},
        {"S", "k\n", "v"},
        {"a]b", "k", "v"},
        {"a\nb", "k", "v"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(doc.SetString(b.section, b.key, b.value)) << b.section << "/" << b.key;
    }
    EXPECT_EQ(doc.Serialize(), before);
    EXPECT_EQ(doc.GetString("S", "k", ""), "good");
}

TEST(ProfileWrite, FreeWriteRefusesLineBreakAndLeavesFileAlone) {
    TempDir folder;
    const auto file = folder / "t.ini";
    WriteAll(file, "[S]\r\nk=v\r\n");
    EXPECT_FALSE(platform::WritePrivateProfileString("S", "k", "x\n[Evil]\nk=1", file));
    EXPECT_EQ(ReadAll(file), "[S]\r\nk=v\r\n");
    EXPECT_TRUE(platform::WritePrivateProfileString("s", "K", "w", file));
    EXPECT_EQ(ReadAll(file), "[S]\r\nK=w\r\n");
}

TEST(ProfileWrite, ValuesRoundTripUnlessThePlatformRulesChangeThem) {
    TempDir folder;
    const auto file = folder / "t.ini";
    const std::string values[] = {
        "plain",      "with = sign",         "a;b", "[not a section]", "x\"y",
        "C:\\path\\", std::string(5000, 'p')};
    for (const auto& v : values) {
        ASSERT_TRUE(platform::WritePrivateProfileString("S", "k", v, file));
        EXPECT_EQ(platform::GetPrivateProfileString("S", "k", "", kNoCut, file), v);
    }
}

// ---------------------------------------------------------------- damaged files

TEST(ProfileDamage, RandomBytesNeverBreakReadOrWrite) {
    std::mt19937 rng(12345);
    const std::string alphabet = "[]=;\"' \t\r\nabS\0\x80\xff"s;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 400);
    TempDir folder;
    const auto file = folder / "junk.ini";
    for (int round = 0; round < 300; ++round) {
        std::string junk(length(rng), ' ');
        for (char& c : junk) {
            c = alphabet[pick(rng)];
        }
        WriteAll(file, junk);
        ProfileFile doc = ProfileFile::Load(file);
        ASSERT_FALSE(doc.ReadFailed());
        (void)doc.GetString("S", "a", "d", 8);
        (void)doc.GetInt("b", "S", 0);
        ASSERT_TRUE(doc.SetString("Kestrune", "Server Name", "10.1.2.3"));
        ASSERT_TRUE(doc.Save());
        // Whatever the junk was, the key written is the key read back, and
        // nothing of the junk became a second copy of it.
        const ProfileFile again = ProfileFile::Load(file);
        ASSERT_EQ(again.GetString("Kestrune", "Server Name", "d"), "10.1.2.3") << round;
    }
}

TEST(ProfileDamage, HugeLineWithoutLineEndIsDropped) {
    TempDir folder;
    const auto file = folder / "huge.ini";
    WriteAll(file, "[S]\nk=" + std::string(ProfileFile::kMaxFileBytes + 100, 'x'));
    const ProfileFile doc = ProfileFile::Load(file);
    EXPECT_FALSE(doc.ReadFailed());
    EXPECT_EQ(doc.GetString("S", "k", "d"), "d");
    EXPECT_EQ(doc.GetString("S", "missing", "d"), "d");
}

TEST(ProfileDamage, HugeValueWithinLimitIsCutByCapacity) {
    TempDir folder;
    const auto file = folder / "long.ini";
    WriteAll(file, "[S]\nk=" + std::string(1'000'000, 'x') + "\nj=1\n");
    const ProfileFile doc = ProfileFile::Load(file);
    EXPECT_EQ(doc.GetString("S", "k", "", 256), std::string(255, 'x'));
    EXPECT_EQ(doc.GetInt("S", "j", 0), 1);
}

TEST(ProfileDamage, OversizedFileIsReadUpToItsLimits) {
    TempDir folder;
    const auto bytes = folder / "bytes.ini";
    WriteAll(bytes, "[S]\nfirst=1\n" + std::string(ProfileFile::kMaxFileBytes, 'j') + "\nlate=2\n");
    const auto lines = folder / "lines.ini";
    WriteAll(lines, "[S]\nfirst=1\n" + std::string(ProfileFile::kMaxLines, '\n') + "late=2\n");
    for (const auto& file : {bytes, lines}) {
        const ProfileFile doc = ProfileFile::Load(file);
        EXPECT_FALSE(doc.ReadFailed());
        EXPECT_EQ(doc.GetInt("S", "first", 0), 1);
        EXPECT_EQ(doc.GetInt("S", "late", 0), 0);
    }
}

TEST(ProfileDamage, NonRegularFileInItsPlaceIsUnreadableAndNotOverwritten) {
    TempDir folder;
    const auto dir = folder / "dir.ini";
    std::filesystem::create_directory(dir);
    const auto fifo = folder / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& path : {dir, fifo}) {
        ProfileFile doc = ProfileFile::Load(path);  // must not block on the FIFO
        EXPECT_TRUE(doc.ReadFailed());
        EXPECT_EQ(doc.GetString("S", "k", "d"), "d");
        EXPECT_TRUE(doc.SetString("S", "k", "v"));
        EXPECT_FALSE(doc.Save());
        EXPECT_FALSE(platform::WritePrivateProfileString("S", "k", "v", path));
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// ---------------------------------------------------------------- saving

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProfileSave, FailuresAreReportedAndLeaveNoTemporaryFile) {
    TempDir folder;
    // A folder in the file's place.
    std::filesystem::create_directory(folder / "Setting.ini");
    EXPECT_FALSE(platform::WriteFileAtomically(folder / "Setting.ini", "x"));
    // A folder that does not exist.
    EXPECT_FALSE(platform::WriteFileAtomically(folder / "no" / "Setting.ini", "x"));
    // A folder nobody may create files in, not even the superuser.
    EXPECT_FALSE(platform::WriteFileAtomically("/proc/kestrune-test.ini", "x"));
    // No path at all.
    EXPECT_FALSE(ProfileFile().Save());
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"Setting.ini"});
}

TEST(ProfileSave, ReadOnlyFolderIsReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write into a read-only folder";
    }
    TempDir folder;
    const auto sub = folder / "ro";
    std::filesystem::create_directory(sub);
    WriteAll(sub / "t.ini", "[S]\r\nk=v\r\n");
    std::filesystem::permissions(
        sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(platform::WritePrivateProfileString("S", "k", "w", sub / "t.ini"));
    EXPECT_EQ(ReadAll(sub / "t.ini"), "[S]\r\nk=v\r\n");
}

TEST(ProfileSave, ReplacesAtomicallyKeepingModeAndLinks) {
    TempDir folder;
    const auto real = folder / "real.ini";
    WriteAll(real, "[S]\nk=1\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink("real.ini", folder / "link.ini");

    ASSERT_TRUE(platform::WritePrivateProfileString("S", "k", "2", folder / "link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.ini"));
    EXPECT_EQ(ReadAll(real), "[S]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(folder.path()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST(ProfileSave, ConcurrentSingleWritesLoseNothing) {
    TempDir folder;
    const auto file = folder / "t.ini";
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
                EXPECT_TRUE(platform::WritePrivateProfileString("S", key, std::to_string(k), file));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const ProfileFile doc = ProfileFile::Load(file);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(doc.GetInt("S", "t" + std::to_string(t) + "k" + std::to_string(k), -1), k);
        }
    }
}

}  // namespace
