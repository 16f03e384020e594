#include "burnengine/xorriso_reports.h"

#include <array>
#include <cctype>
#include <charconv>
#include <limits>

namespace xorriso {

namespace {

// Splits a report into its lines.
template <typename Fn>
void ForEachLine(std::string_view report, Fn&& fn) {
    while (!report.empty()) {
        const std::size_t end = report.find('\n');
        std::string_view line = report.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        fn(line);
        if (end == std::string_view::npos) {
            break;
        }
        report.remove_prefix(end + 1);
    }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A decimal number at the start of `text` (after blanks), saturating; the
// text after it is left in `text`.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
    text = TrimLeft(text);
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[digits] - '0');
        value = value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10
                    ? std::numeric_limits<std::uint64_t>::max()
                    : value * 10 + digit;
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    text.remove_prefix(digits);
    return value;
}

std::string_view TakeWord(std::string_view& text) {
    text = TrimLeft(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
        ++end;
    }
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// A shell-quoted text as xorriso prints names: '...' pieces, with a quote
// written as '"'"'. nullopt when it is not quoted that way or too long.
std::optional<std::string> Unquote(std::string_view text) {
    std::string out;
    text = Trim(text);
    if (text.empty()) {
        return std::nullopt;
    }
    while (!text.empty()) {
        const char quote = text.front();
        if (quote != '\'' && quote != '"') {
            return std::nullopt;
        }
        const std::size_t end = text.find(quote, 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        out.append(text.substr(1, end - 1));
        if (out.size() > kNameLimit) {
            return std::nullopt;
        }
        text.remove_prefix(end + 1);
    }
    return out;
}

// The first '...' piece of `text` and what follows it.
std::optional<std::string_view> TakeQuoted(std::string_view& text) {
    const std::size_t start = text.find('\'');
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t end = text.find('\'', start + 1);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view piece = text.substr(start + 1, end - start - 1);
    text.remove_prefix(end + 1);
    return piece;
}

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::optional<std::string_view> Payload(std::string_view line, char channel) {
    // "R:1: text": the channel, ':', one flag digit, ':', ' '.
    if (line.size() < 5 || line[0] != channel || line[1] != ':' ||
        std::isdigit(static_cast<unsigned char>(line[2])) == 0 || line[3] != ':' ||
        line[4] != ' ') {
        return std::nullopt;
    }
    return line.substr(5);
}

std::vector<DriveEntry> ParseDevices(std::string_view report) {
    std::vector<DriveEntry> drives;
    ForEachLine(report, [&](std::string_view line) {
        auto payload = Payload(line, 'R');
        if (!payload) {
            return;
        }
        std::string_view rest = *payload;
        const std::size_t dev = rest.find("-dev ");
        if (dev == std::string_view::npos || drives.size() >= 64) {
            return;
        }
        rest.remove_prefix(dev + 5);
        const auto address = TakeQuoted(rest);
        if (!address || address->empty() || address->size() > kNameLimit) {
            return;
        }
        std::string name;
        const std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos) {
            rest.remove_prefix(colon + 1);
            while (auto piece = TakeQuoted(rest)) {
                const std::string_view text = Trim(*piece);
                if (!text.empty()) {
                    if (!name.empty()) {
                        name += ' ';
                    }
                    name.append(text.substr(0, 63));
                }
            }
        }
        drives.push_back({std::string(*address), name.empty() ? std::string(*address) : name});
    });
    return drives;
}

MediaReport ParseToc(std::string_view report) {
    MediaReport media;
    ForEachLine(report, [&](std::string_view line) {
        auto payload = Payload(line, 'R');
        if (!payload) {
            return;
        }
        std::string_view text = *payload;
        if (StartsWith(text, "Media current:")) {
            media.present = true;
            media.medium = std::string(Trim(text.substr(14)).substr(0, 128));
        } else if (StartsWith(text, "Media status :")) {
            const std::string_view status = text.substr(14);
            media.blank = status.find("is blank") != std::string_view::npos;
            media.appendable = status.find("is appendable") != std::string_view::npos;
            media.closed = status.find("is closed") != std::string_view::npos;
        } else if (StartsWith(text, "Media blocks :")) {
            // "N readable , M writable , K overall"
            std::string_view rest = text.substr(14);
            const std::size_t comma = rest.find(',');
            if (comma != std::string_view::npos) {
                rest.remove_prefix(comma + 1);
                if (auto writable = TakeNumber(rest);
                    writable && StartsWith(TrimLeft(rest), "writable")) {
                    media.writableBlocks = *writable;
                }
            }
        } else if (StartsWith(text, "Media summary:")) {
            std::string_view rest = text.substr(14);
            if (auto sessions = TakeNumber(rest)) {
                media.sessions = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(*sessions, std::numeric_limits<std::uint32_t>::max()));
            }
        }
    });
    return media;
}

std::vector<TreeEntry> ParseLsdl(std::string_view report) {
    std::vector<TreeEntry> entries;
    ForEachLine(report, [&](std::string_view line) {
        auto payload = Payload(line, 'R');
        if (!payload || entries.size() >= 4096) {
            return;
        }
        std::string_view rest = *payload;
        // mode, links, owner, group, size, month, day, time or year, name
        const std::string_view mode = TakeWord(rest);
        if (mode.size() != 10) {
            return;
        }
        TreeEntry entry;
        entry.directory = mode[0] == 'd';
        if (!TakeNumber(rest)) {
            return;
        }
        TakeWord(rest);
        TakeWord(rest);
        const auto size = TakeNumber(rest);
        if (!size) {
            return;
        }
        entry.size = *size;
        const std::string_view month = TakeWord(rest);
        for (std::size_t m = 0; m < kMonths.size(); ++m) {
            if (month == kMonths[m]) {
                entry.month = static_cast<int>(m) + 1;
            }
        }
        const auto day = TakeNumber(rest);
        const std::string_view when = TakeWord(rest);
        if (entry.month == 0 || !day || *day < 1 || *day > 31 || when.empty()) {
            return;
        }
        entry.day = static_cast<int>(*day);
        const std::size_t colon = when.find(':');
        if (colon != std::string_view::npos) {
            std::string_view hours = when.substr(0, colon);
            std::string_view minutes = when.substr(colon + 1);
            const auto h = TakeNumber(hours);
            const auto m = TakeNumber(minutes);
            if (!h || !m || *h > 23 || *m > 59 || !hours.empty() || !minutes.empty()) {
                return;
            }
            entry.hour = static_cast<int>(*h);
            entry.minute = static_cast<int>(*m);
        } else {
            std::string_view year = when;
            const auto y = TakeNumber(year);
            if (!y || !year.empty() || *y < 1970 || *y > 9999) {
                return;
            }
            entry.year = static_cast<int>(*y);
        }
        auto name = Unquote(rest);
        if (!name || name->empty() || name->front() != '/') {
            return;
        }
        entry.name = name->substr(1);
        // The root itself, and anything deeper than the top level, is not an entry.
        if (entry.name.empty() || entry.name.find('/') != std::string::npos) {
            return;
        }
        entries.push_back(std::move(entry));
    });
    return entries;
}

std::optional<int> ParseProgress(std::string_view line) {
    const std::size_t writing = line.find("Writing:");
    if (writing == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(writing + 8);
    while (!rest.empty()) {
        std::string_view word = TakeWord(rest);
        if (word.empty()) {
            break;
        }
        if (word.back() != '%') {
            continue;
        }
        word.remove_suffix(1);
        const auto whole = TakeNumber(word);
        if (!whole) {
            return std::nullopt;
        }
        return static_cast<int>(std::min<std::uint64_t>(*whole, 100));
    }
    return std::nullopt;
}

}  // namespace xorriso
