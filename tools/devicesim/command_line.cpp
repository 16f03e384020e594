#include "tools/devicesim/command_line.h"

#include <chrono>
#include <limits>

#include "tools/devicesim/http_request.h"
#include "tools/devicesim/recorded_data.h"

namespace devicesim {

namespace {

constexpr std::size_t kMaxMasters = 30;  // the client's linked-device table
constexpr std::size_t kMaxSlaveChannels = 16;

std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t high) {
    const auto value = ParseDecimal(text);
    if (!value || *value > high)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// "ID:TYPE" or, when `withProtocol`, "ID:TYPE[:PROTOCOL]"; every number a byte.
std::optional<LinkedDevice> ParseDevice(std::string_view text, bool withProtocol) {
    const auto fields = Split(text, ':');
    if (fields.size() < 2 || fields.size() > (withProtocol ? 3u : 2u))
        return std::nullopt;
    std::vector<int> numbers;
    for (const auto field : fields) {
        const auto n = Number(field, 255);
        if (!n)
            return std::nullopt;
        numbers.push_back(static_cast<int>(*n));
    }
    LinkedDevice device;
    device.id = numbers[0];
    device.type = numbers[1];
    device.protocol = numbers.size() > 2 ? numbers[2] : 0;
    return device;
}

std::optional<std::uint16_t> Port(std::string_view text) {
    const auto port = Number(text, 65535);
    if (!port || *port == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

// What the command line names, before the device is put together from it.
struct Given {
    std::optional<std::string> product;
    std::optional<int> userLevel;
    std::optional<std::string> firmware;
    bool multiChannel = false;
    std::optional<std::vector<LinkedDevice>> masters;
    std::optional<std::vector<LinkedDevice>> slaves;
    std::optional<int> videoMode;
    std::optional<int> lifetimeSeconds;
    std::vector<std::string> refusedSections;
    std::vector<std::string> stalledSections;
};

CommandLine Refuse(std::string why) {
    return CommandLine{std::nullopt, std::move(why)};
}

// The device the options describe, or why they do not fit together.
std::optional<std::string> BuildProfile(const Given& given, SimulatorOptions& options) {
    DeviceProfile profile = ProfileForProduct(given.product.value_or("Q8A7")).value();
    if (given.userLevel)
        profile.userLevel = *given.userLevel;
    if (given.firmware)
        profile.firmwareVersion = *given.firmware;
    if (given.masters) {
        profile.masters = *given.masters;
    } else if (options.stream.alarmPeriod.count() > 0 && !given.product) {
        // The client evaluates alarm bits only for a linked DVR: with
        // periodic alarms the recorder reports itself as one ("ZRT 417 DVR").
        profile.masters = {{0, 19, 0}};
    }
    if (given.slaves)
        profile.slaves = *given.slaves;
    if (given.multiChannel) {
        if (!IsRecorder(profile.productId))
            return "--multich: only the recorders (Q8A7, Q8A5, Q8A3) have channels";
        profile.multiChannel = 1;
        const int channels = RecorderChannelCount(profile.productId);
        for (const LinkedDevice& slave : profile.slaves) {
            if (slave.channel > channels)
                return "--slaves: a " + profile.productId + " has " + std::to_string(channels) +
                       " channels";
        }
    }
    if (given.videoMode) {
        if (*given.videoMode != 0 && profile.productId == "Q9C0")
            return "--standard pal: the Q9C0 camera has no PAL picture";
        profile.videoMode = *given.videoMode;
    }
    if (given.lifetimeSeconds)
        profile.lifetimeSeconds = *given.lifetimeSeconds;
    profile.refusedSections = given.refusedSections;
    profile.stalledSections = given.stalledSections;
    options.profile = std::move(profile);
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<LinkedDevice>> ParseMasters(std::string_view text) {
    std::vector<LinkedDevice> masters;
    if (text == "none")
        return masters;
    for (const auto part : Split(text, ',')) {
        const auto device = ParseDevice(part, false);
        if (!device || masters.size() == kMaxMasters)
            return std::nullopt;
        masters.push_back(*device);
    }
    return masters;
}

std::optional<std::vector<LinkedDevice>> ParseSlaves(std::string_view text) {
    std::vector<LinkedDevice> slaves;
    if (text == "none")
        return slaves;
    const auto parts = Split(text, ',');
    if (parts.size() > kMaxSlaveChannels)
        return std::nullopt;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == "-")
            continue;
        auto device = ParseDevice(parts[i], true);
        if (!device)
            return std::nullopt;
        device->channel = static_cast<int>(i + 1);
        slaves.push_back(*device);
    }
    return slaves;
}

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
    SimulatorOptions options;
    Given given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--multich") {
            given.multiChannel = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return Refuse(std::string(name) + ": a value is missing");
        const std::string_view value = arguments[++i];
        const std::string bad =
            std::string(name) + ": \"" + std::string(value) + "\" is not a value it takes";
        if (name == "--port" || name == "--search-port" || name == "--reply-port") {
            const auto port = Port(value);
            if (!port)
                return Refuse(bad);
            if (name == "--port")
                options.port = *port;
            else if (name == "--reply-port")
                options.replyPort = *port;
            else
                options.searchPort = *port;
        } else if (name == "--product") {
            if (!ProfileForProduct(value))
                return Refuse(bad);
            given.product = std::string(value);
        } else if (name == "--user-level") {
            if (value != "30" && value != "20" && value != "10" && value != "0")
                return Refuse(bad);
            given.userLevel = static_cast<int>(*ParseDecimal(value));
        } else if (name == "--firmware") {
            if (value.size() != 4 || !ParseDecimal(value))
                return Refuse(bad);
            given.firmware = std::string(value);
        } else if (name == "--fw-refuse-at" || name == "--fw-close-at" || name == "--fw-stall-at") {
            const auto piece = Number(value, 0xFFFFFFFFu);
            if (!piece || *piece == 0)
                return Refuse(bad);
            const auto n = static_cast<std::uint32_t>(*piece);
            auto& faults = options.firmwareFaults;
            (name == "--fw-refuse-at"  ? faults.refuseAt
             : name == "--fw-close-at" ? faults.closeAt
                                       : faults.stallAt) = n;
        } else if (name == "--user") {
            options.user = value;
        } else if (name == "--password") {
            options.password = value;
        } else if (name == "--fps" || name == "--alarm-period" || name == "--alarm-length") {
            const auto number = Number(value, 3600);
            if (!number || (name == "--fps" && *number == 0))
                return Refuse(bad);
            const int n = static_cast<int>(*number);
            if (name == "--fps")
                options.stream.framesPerSecond = n;
            if (name == "--alarm-period")
                options.stream.alarmPeriod = std::chrono::seconds(n);
            if (name == "--alarm-length")
                options.stream.alarmLength = std::chrono::seconds(n);
        } else if (name == "--masters") {
            given.masters = ParseMasters(value);
            if (!given.masters)
                return Refuse(bad);
        } else if (name == "--slaves") {
            given.slaves = ParseSlaves(value);
            if (!given.slaves)
                return Refuse(bad);
        } else if (name == "--standard") {
            if (value != "ntsc" && value != "pal")
                return Refuse(bad);
            given.videoMode = value == "pal" ? 1 : 0;
        } else if (name == "--lifetime") {
            const auto seconds = Number(value, std::numeric_limits<int>::max());
            if (!seconds)
                return Refuse(bad);
            given.lifetimeSeconds = static_cast<int>(*seconds);
        } else if (name == "--refuse-sections" || name == "--stall-sections") {
            auto& sections =
                name == "--refuse-sections" ? given.refusedSections : given.stalledSections;
            sections.clear();
            for (const auto part : Split(value, ',')) {
                if (!IsSectionName(part))
                    return Refuse(bad);
                sections.emplace_back(part);
            }
        } else if (name == "--nb-rate") {
            const auto rate = Number(value, kMaxBackupRate);
            if (!rate)
                return Refuse(bad);
            options.backupBytesPerSecond = *rate;
        } else {
            return Refuse(std::string(name) + ": no such option");
        }
    }
    if (const auto error = BuildProfile(given, options))
        return Refuse(*error);
    return CommandLine{std::move(options), {}};
}

std::string Usage() {
    return "usage: devicesim [--port N] [--user NAME] [--password TEXT]\n"
           "                 [--product Q8A7|Q8A5|Q8A3|Q3A2|Q7B7|Q7B5|Q7B3|Q9C0]\n"
           "                 [--multich] [--masters ID:TYPE,...|none]\n"
           "                 [--slaves ID:TYPE[:PROTOCOL]|-,...|none]\n"
           "                 [--standard ntsc|pal] [--user-level 30|20|10|0]\n"
           "                 [--firmware VERSION (four digits)] [--lifetime SECONDS]\n"
           "                 [--fps N] [--alarm-period SECONDS [--alarm-length SECONDS]]\n"
           "                 [--nb-rate BYTES_PER_S] [--search-port N [--reply-port N]]\n"
           "                 [--fw-refuse-at N] [--fw-close-at N] [--fw-stall-at N]\n"
           "                 [--refuse-sections NAME,...] [--stall-sections NAME,...]\n"
           "  --multich: a recorder streams one of its channels (Q8A7 16, Q8A5 8, Q8A3 4)\n"
           "  --masters: the linked masters, the device itself first\n"
           "  --slaves: the PTZ unit of each channel from channel 1 on, - for none\n"
           "  --lifetime: sessions end after SECONDS (reported in whole minutes)\n"
           "  --nb-rate: the backup stream's pace, 0 unpaced (default 26214400)\n"
           "  --fw-*-at N: at the Nth piece of a firmware upload (old protocol: request;\n"
           "  new protocol: unit) answer 500, close without a reply, or stall\n"
           "  --refuse-sections: configuration sections whose writes are refused (SECURE,SYSTEM)\n"
           "  --stall-sections: configuration sections whose reads are never answered (INF)\n";
}

}  // namespace devicesim
