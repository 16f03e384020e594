#pragma once

// The simulator's command line: which device it acts as (product, firmware,
// user level, channels, linked devices, video standard, session lifetime),
// how it streams and serves recorded data, and where it listens.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/device_model.h"
#include "tools/devicesim/firmware_commands.h"
#include "tools/devicesim/live_stream.h"

namespace devicesim {

// The backup rate when none is given: about what a recorder's disk delivers
// over a fast network, slow enough to watch the progress.
inline constexpr std::uint64_t kDefaultBackupRate = 25ull * 1024 * 1024;

struct SimulatorOptions {
    std::uint16_t port = 8080;
    std::string user = "tresk";  // the client's built-in defaults
    std::string password = "tresk";
    LiveStreamOptions stream;
    // The LAN search endpoint: off unless a search port is given.
    std::optional<std::uint16_t> searchPort;
    std::uint16_t replyPort = 3332;
    DeviceProfile profile;
    FirmwareFaults firmwareFaults;
    std::uint64_t backupBytesPerSecond = kDefaultBackupRate;
};

// The options of a command line (the arguments after the program's name),
// or why it is refused.
struct CommandLine {
    std::optional<SimulatorOptions> options;
    std::string error;
};
CommandLine ParseCommandLine(std::span<const std::string_view> arguments);

// The usage text.
std::string Usage();

// Linked masters as "ID:TYPE,ID:TYPE,..." (the device itself first), or
// "none". Nothing when the text does not read so.
std::optional<std::vector<LinkedDevice>> ParseMasters(std::string_view text);
// Slaves as one "ID:TYPE[:PROTOCOL]" per channel from channel 1 on, "-" for
// a channel without one, or "none"; each slave keeps its channel.
std::optional<std::vector<LinkedDevice>> ParseSlaves(std::string_view text);

}  // namespace devicesim
