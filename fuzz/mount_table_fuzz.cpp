// Fuzzes the mount-table parser: every entry it keeps has an absolute mount
// point and non-empty fields, the entry count stays bounded, and the server
// of every device is a plain host name.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"
#include "liveview/dialogs/mount_table.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = liveview::ParseMountTable(text);
    Check(entries.size() <= liveview::kMaxMountEntries);
    for (const liveview::MountEntry& e : entries) {
        Check(!e.device.empty() && !e.type.empty());
        Check(e.mountPoint.starts_with('/'));
        Check(e.mountPoint.find('\0') == std::string::npos);
        const std::string server = liveview::NetworkServerOf(e.device);
        Check(server.find_first_of("/\\") == std::string::npos);
        Check(server.size() <= e.device.size());
        (void)liveview::IsNetworkFileSystem(e.type);
        (void)liveview::IsPseudoFileSystem(e.type);
    }
    // Read through a file, the same text gives the same entries.
    const auto read = liveview::ReadMountTable(WriteFuzzFile("mounts", std::span(data, size)));
    Check(read.has_value() && read->size() == entries.size());
    return 0;
}
