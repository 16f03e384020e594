// Fuzzes the profile-file reader (Setting.ini and the like): the input is
// written to a temporary file and loaded; the keys the program reads are
// looked up with small and unlimited capacities, and what Serialize() makes
// of the document must load back to the same document.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"
#include "platform/profile_file.h"

using platform::ProfileFile;

namespace {

struct Lookup {
    std::string_view section;
    std::string_view key;
};

constexpr std::array<Lookup, 8> kLookups{{
    {"Setting", "Server Name"},
    {"Setting", "Web Port"},
    {"setting", "web port"},
    {"Record", "Record Path"},
    {"DEVICE NUMBER", "1"},
    {"", ""},
    {"Setting", ""},
    {"a", "b"},
}};

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = WriteFuzzFile("Setting.ini", std::span(data, size));
    const ProfileFile profile = ProfileFile::Load(path);
    Check(!profile.ReadFailed());
    for (const Lookup& l : kLookups) {
        const auto found = profile.Find(l.section, l.key);
        const std::string whole = profile.GetString(l.section, l.key, "none");
        Check(!found || *found == whole);
        for (const std::size_t capacity : {std::size_t{0}, std::size_t{1}, std::size_t{16}}) {
            const std::string cut = profile.GetString(l.section, l.key, "default", capacity);
            Check(cut.size() + 1 <= std::max<std::size_t>(capacity, 1));
            Check(whole.starts_with(cut) || std::string_view("default").starts_with(cut));
        }
        (void)profile.GetInt(l.section, l.key, -7);
    }

    // Written out and read back, the document holds the same values.
    const std::string text = profile.Serialize();
    const auto again = ProfileFile::Load(WriteFuzzFile(
        "Again.ini", std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    Check(again.Serialize() == text);

    // Setting a value on the loaded document keeps it loadable.
    ProfileFile edited = profile;
    if (edited.SetString("Setting", "Server Name", "192.168.1.30")) {
        Check(edited.GetString("Setting", "Server Name", "") == "192.168.1.30");
    }
    return 0;
}
