#include "liveview/dialogs/mount_table.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

namespace liveview {

namespace {

constexpr std::array<std::string_view, 14> kNetworkTypes{
    "cifs", "smb3",       "smbfs", "nfs",   "nfs4",        "ncpfs",          "afs",
    "ceph", "fuse.sshfs", "sshfs", "davfs", "fuse.davfs2", "fuse.glusterfs", "glusterfs",
};

constexpr std::array<std::string_view, 26> kPseudoTypes{
    "proc",     "sysfs",     "devtmpfs", "devpts",      "tmpfs",       "securityfs", "cgroup",
    "cgroup2",  "pstore",    "bpf",      "debugfs",     "tracefs",     "mqueue",     "hugetlbfs",
    "configfs", "fusectl",   "autofs",   "binfmt_misc", "efivarfs",    "rpc_pipefs", "nsfs",
    "ramfs",    "selinuxfs", "overlay",  "squashfs",    "fuse.portal",
};

static_assert(std::ranges::none_of(kNetworkTypes,
                                   [](std::string_view t) {
                                       return std::ranges::find(kPseudoTypes, t) !=
                                              kPseudoTypes.end();
                                   }),
              "a file system type is either network or pseudo, never both");

bool IsFieldBlank(char c) {
    return c == ' ' || c == '\t';
}

// Decodes the table's octal escapes (\040 blank, \011 tab, \012 newline,
// \134 backslash). A backslash that does not start three octal digits of a
// byte value stands for itself.
std::string Unescape(std::string_view field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF && value != 0) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

}  // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty() && entries.size() < kMaxMountEntries) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        std::array<std::string_view, 3> fields;
        std::size_t count = 0;
        std::size_t pos = 0;
        while (count < fields.size()) {
            while (pos < line.size() && IsFieldBlank(line[pos])) {
                ++pos;
            }
            if (pos >= line.size()) {
                break;
            }
            const std::size_t start = pos;
            while (pos < line.size() && !IsFieldBlank(line[pos]) && line[pos] != '\r') {
                ++pos;
            }
            if (pos == start) {
                break;
            }
            fields[count++] = line.substr(start, pos - start);
        }
        if (count < fields.size() || fields[0].starts_with('#')) {
            continue;
        }
        MountEntry entry{Unescape(fields[0]), Unescape(fields[1]), std::string(fields[2])};
        if (!entry.mountPoint.starts_with('/') ||
            entry.mountPoint.find('\0') != std::string::npos) {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::vector<MountEntry>> ReadMountTable(const std::filesystem::path& path) {
    // /proc files report size 0, so read in pieces up to the limit.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, 16384> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (text.size() + got > kMaxMountTableBytes) {
            return std::nullopt;
        }
        text.append(chunk.data(), got);
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return ParseMountTable(text);
}

bool IsNetworkFileSystem(std::string_view type) {
    return std::ranges::find(kNetworkTypes, type) != kNetworkTypes.end();
}

bool IsPseudoFileSystem(std::string_view type) {
    return std::ranges::find(kPseudoTypes, type) != kPseudoTypes.end();
}

std::string NetworkServerOf(std::string_view device) {
    if (device.size() > 2 && (device.starts_with("//") || device.starts_with("\\\\"))) {
        const std::string_view rest = device.substr(2);
        return std::string(rest.substr(0, rest.find_first_of("/\\")));
    }
    const std::size_t colon = device.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return {};
    }
    std::string_view host = device.substr(0, colon);
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) {
        host = host.substr(at + 1);
    }
    // A host name holds no path separator of either kind: "a\\b:/x" or
    // "dir/x:y" name no server.
    if (host.find_first_of("/\\") != std::string_view::npos) {
        return {};
    }
    return std::string(host);
}

}  // namespace liveview
