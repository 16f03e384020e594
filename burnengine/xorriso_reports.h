#pragma once

// Readers of what xorriso prints with -pkt_output on: every line starts with
// its channel ("R:" results, "I:" notes and errors, "M:" marks), a flag digit
// and ": ". The reports come from a program of another project, so every
// reader takes any text: lines it does not know are skipped, numbers
// saturate, names are bounded.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xorriso {

// The payload of a packet line of channel `channel` ('R' or 'I'), or nullopt
// for a line of another channel or no packet line at all.
std::optional<std::string_view> Payload(std::string_view line, char channel);

struct DriveEntry {
    std::string address;  // as -dev takes it
    std::string name;     // vendor and product
};
// The drives of a -devices report.
std::vector<DriveEntry> ParseDevices(std::string_view report);

struct MediaReport {
    bool present = false;  // a "Media current:" line was seen
    std::string medium;    // its text ("CD-R", "DVD+RW", "stdio file, overwriteable")
    bool blank = false;
    bool appendable = false;
    bool closed = false;
    std::uint64_t writableBlocks = 0;
    std::uint32_t sessions = 0;
};
// The medium of a -toc report.
MediaReport ParseToc(std::string_view report);

struct TreeEntry {
    std::string name;  // without the leading '/'
    bool directory = false;
    std::uint64_t size = 0;
    // Calendar fields of the entry's time, as ls prints it (local time).
    int year = 0;  // 0: the year was not printed (a recent time)
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};
// The entries of a "-find / -maxdepth 1 -exec lsdl" report, without the root.
std::vector<TreeEntry> ParseLsdl(std::string_view report);

// The percentage of a "Writing:" progress note, or nullopt.
std::optional<int> ParseProgress(std::string_view line);

// Names at most this long are taken from a report.
inline constexpr std::size_t kNameLimit = 1024;

}  // namespace xorriso
