#pragma once

// The kernel's table of mounted file systems (/proc/self/mounts, the fstab
// format): one mount per line, "device mount-point type options dump pass",
// blanks inside a field written as octal escapes (\040). The folder picker
// shows these mounts as the roots of its tree, network file systems apart.
//
// The table comes from outside the program (another mount namespace can put
// anything there), so the parser trusts nothing: lines without the three
// fields it needs, or with a mount point that is not absolute, are skipped,
// and the number of entries is bounded.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace liveview {

struct MountEntry {
    std::string device;      // what is mounted: /dev/sda1, //server/share, host:/export
    std::string mountPoint;  // absolute path, escapes decoded, bytes as on disk
    std::string type;        // ext4, cifs, nfs4, fuse.sshfs, ...
};

inline constexpr std::size_t kMaxMountEntries = 4096;
inline constexpr std::size_t kMaxMountTableBytes = 4 * 1024 * 1024;

// Parses the text of a mount table; at most kMaxMountEntries entries.
std::vector<MountEntry> ParseMountTable(std::string_view text);

// Reads and parses the table at path; nullopt when it cannot be read or is
// larger than kMaxMountTableBytes (a cut table would hide mounts silently).
std::optional<std::vector<MountEntry>> ReadMountTable(const std::filesystem::path& path);

// A file system reached over the network (cifs, nfs, sshfs and the like).
bool IsNetworkFileSystem(std::string_view type);

// A file system of the kernel's own (proc, sysfs, cgroup, tmpfs...), never a
// place to keep files chosen by an operator.
bool IsPseudoFileSystem(std::string_view type);

// The server of a network mount's device: "//nas/data" and "\\nas\data" give
// "nas", "nas:/export" and "user@nas:/export" give "nas"; empty when the
// device names no server.
std::string NetworkServerOf(std::string_view device);

}  // namespace liveview
