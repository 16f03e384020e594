#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// A private-profile (INI) document: "[section]" lines and "key=value" lines.
//
// Reading follows the rules the program's settings files were written for:
// - sections and keys match without regard to ASCII case;
// - a value is the text after the first '=', with surrounding blanks removed
//   and then one pair of matching surrounding quotes ('"' or '\'') removed;
// - lines end in CR LF or LF; a missing final line end is fine;
// - lines starting with ';' are comments; lines that are neither a section,
//   a key nor a comment are kept as they are but carry no value;
// - when a section or a key appears twice, the first occurrence wins (a key
//   is looked up through every block of its section, in file order);
// - a damaged file never fails a read: junk lines are ignored and a file
//   longer than kMaxFileBytes is read only up to its last complete line
//   within that limit.
//
// Writing replaces the value of the key that a read would find, or appends
// the key at the end of the first block of its section (creating the section
// at the end of the file when needed). A value holding CR, LF or NUL could
// split the file into lines the program never wrote, so such values are
// refused (SetString returns false and the document is unchanged); the same
// holds for section and key names that cannot be written back unambiguously.
// Lines are written with CR LF, as the Windows build of the program writes
// them, so the files stay interchangeable.
//
// Save() writes the whole document to a temporary file in the same folder,
// flushes it to disk and renames it over the file, so a crash leaves either
// the old file or the new one, never a mix.
class ProfileFile {
public:
    // Upper bounds of what Load() reads; settings files are a few kilobytes.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
    static constexpr std::size_t kMaxLines = 64 * 1024;
    // Capacity meaning "no cut" for GetString.
    static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

    // An empty document with no file behind it.
    ProfileFile() = default;
    // An empty document that Save() writes to `path`.
    explicit ProfileFile(std::filesystem::path path);

    // Reads `path`. A missing file gives an empty document bound to `path`;
    // an existing file that cannot be read gives an empty document whose
    // ReadFailed() is true, and Save() then refuses so it cannot overwrite
    // contents it never saw.
    static ProfileFile Load(const std::filesystem::path& path);

    const std::filesystem::path& Path() const { return m_path; }
    bool ReadFailed() const { return m_readFailed; }

    // The value of section/key, or nullopt when either is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // The value (or `defaultValue` when section/key is missing), cut to
    // capacity − 1 bytes as a call with a buffer of `capacity` bytes would
    // return it; a capacity of 0 gives an empty text.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t capacity = kUnlimited) const;

    // The integer of the value's leading characters: blanks, an optional sign
    // and decimal digits up to the first other character. Missing key or no
    // digits gives `defaultValue`; a number beyond the 64-bit range saturates.
    std::int64_t GetInt(std::string_view section, std::string_view key,
                        std::int64_t defaultValue) const;

    // Creates or replaces section/key. False (document unchanged) when the
    // value holds CR, LF or NUL, the key is empty or holds '=', CR, LF or
    // NUL, or the section holds ']', CR, LF or NUL.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    // Writes the value as decimal text.
    bool SetInt(std::string_view section, std::string_view key, std::int64_t value);

    // Writes the document to Path() (see above). False when there is no path,
    // the original could not be read, or any step of the write fails; the
    // file on disk is then as it was.
    bool Save() const;

    // The bytes Save() writes.
    std::string Serialize() const;

private:
    enum class LineKind { kOther, kSection, kKey };
    struct Line {
        LineKind kind = LineKind::kOther;
        std::string text;   // the line as read or as written, without its line end
        std::string name;   // section name or key, blanks trimmed
        std::string value;  // a key's value as a read returns it
    };

    static Line ParseLine(std::string text);
    void Parse(std::string_view content);
    void Reindex();
    std::optional<std::size_t> FindKeyLine(std::string_view section, std::string_view key) const;

    std::filesystem::path m_path;
    bool m_readFailed = false;
    std::vector<Line> m_lines;
    // Lower-cased "section\nkey" → first key line; lower-cased section →
    // first header line. Rebuilt after every insertion.
    std::unordered_map<std::string, std::size_t> m_keyIndex;
    std::unordered_map<std::string, std::size_t> m_sectionIndex;
};

// Integer of a profile value's leading characters (see ProfileFile::GetInt);
// nullopt when there are no digits.
std::optional<std::int64_t> ParseProfileInt(std::string_view value);

// One-value calls for code that reads or writes a single setting. Each reads
// the file anew; writes in this process are serialised with each other.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t capacity,
                                    const std::filesystem::path& file);
// As ProfileFile::GetInt, saturated to the range of int.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::filesystem::path& file);
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file);

// Writes `bytes` to `path` through a temporary file in the same folder that
// is flushed and then renamed over `path`. An existing file keeps its
// permission bits; a new one gets 0666 less the umask. False on any failure,
// with `path` untouched and the temporary file removed.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace platform
