// The simulator as its command line sets it up: which options it takes and
// refuses, the device each product acts as (channels, linked devices,
// standard, session lifetime) and what it then answers.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/command_line.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/live_stream.h"

namespace {

using devicesim::CommandLine;
using devicesim::DeviceProfile;
using devicesim::HttpRequest;
using devicesim::LinkedDevice;

CommandLine Parse(std::vector<std::string_view> arguments) {
    return devicesim::ParseCommandLine(arguments);
}

// A request as the device's own server reads it off the wire.
HttpRequest Request(const std::string& target) {
    HttpRequest request;
    EXPECT_TRUE(devicesim::ParseRequestHead("GET " + target + " HTTP/1.1\r\n\r\n", request));
    request.peer = "127.0.0.1:40000";
    return request;
}

TEST(SimulatorCommandLine, RefusesWhatItDoesNotTake) {
    const std::vector<std::vector<std::string_view>> refused{
        {"--port"},
        {"--port", "0"},
        {"--port", "65536"},
        {"--product", "Q1A1"},
        {"--nosuch", "1"},
        {"--multich", "--product", "Q3A2"},
        {"--product", "Q9C0", "--multich"},
        {"--standard", "secam"},
        {"--product", "Q9C0", "--standard", "pal"},
        {"--lifetime", "-5"},
        {"--lifetime", "2147483648"},
        {"--nb-rate", "fast"},
        {"--nb-rate", "1000000000001"},
        {"--masters", "0"},
        {"--masters", "0:24:1"},
        {"--masters", "256:1"},
        {"--slaves", "1:1,,2:1"},
        {"--slaves", "1:1:0:4"},
        {"--slaves", "1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1,1:1"},
        {"--product", "Q8A3", "--multich", "--slaves", "-,-,-,-,5:1"},
        {"--user-level", "15"},
        {"--firmware", "10a2"},
        {"--refuse-sections", "SECURE,NOPE"},
        {"--refuse-sections", "secure"},
        {"--refuse-sections", ""},
        {"--stall-sections", "INF,"},
    };
    for (const auto& line : refused) {
        std::string text;
        for (const auto word : line) text += std::string(word) + " ";
        const CommandLine parsed = Parse(line);
        EXPECT_FALSE(parsed.options) << text;
        EXPECT_FALSE(parsed.error.empty()) << text;
    }
}

TEST(SimulatorCommandLine, DescribesTheDeviceWhateverTheOrder) {
    // The device options apply to the product's own profile, before or
    // after --product.
    const CommandLine parsed =
        Parse({"--standard", "pal", "--multich", "--slaves", "3:1,-,7:1:1", "--product", "Q8A5",
               "--lifetime", "90", "--masters", "0:20,4:0", "--user-level", "20", "--nb-rate", "0",
               "--port", "8090"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const DeviceProfile& p = parsed.options->profile;
    EXPECT_EQ(p.productId, "Q8A5");
    EXPECT_EQ(p.hostName, "Q8A5-DVR");
    EXPECT_EQ(p.videoMode, 1);
    EXPECT_EQ(p.multiChannel, 1);
    EXPECT_EQ(p.userLevel, 20);
    EXPECT_EQ(p.lifetimeSeconds, 90);
    EXPECT_EQ(p.masters, (std::vector<LinkedDevice>{{0, 20, 0, 0}, {4, 0, 0, 0}}));
    EXPECT_EQ(p.slaves, (std::vector<LinkedDevice>{{3, 1, 0, 1}, {7, 1, 1, 3}}));
    EXPECT_EQ(parsed.options->backupBytesPerSecond, 0u);
    EXPECT_EQ(parsed.options->port, 8090);
}

TEST(SimulatorCommandLine, DefaultsAndTheAlarmRecorder) {
    const CommandLine plain = Parse({});
    ASSERT_TRUE(plain.options);
    EXPECT_EQ(plain.options->profile.productId, "Q8A7");
    EXPECT_EQ(plain.options->profile.multiChannel, 0);
    EXPECT_EQ(plain.options->profile.lifetimeSeconds, -1);
    EXPECT_EQ(plain.options->backupBytesPerSecond, devicesim::kDefaultBackupRate);

    // Periodic alarms make the recorder report itself as a linked DVR,
    // unless the masters are given.
    const CommandLine alarms = Parse({"--alarm-period", "10"});
    ASSERT_TRUE(alarms.options);
    EXPECT_EQ(alarms.options->profile.masters, (std::vector<LinkedDevice>{{0, 19, 0, 0}}));
    const CommandLine given = Parse({"--alarm-period", "10", "--masters", "none"});
    ASSERT_TRUE(given.options);
    EXPECT_TRUE(given.options->profile.masters.empty());
}

TEST(SimulatorCommandLine, LinkedDeviceForms) {
    EXPECT_EQ(devicesim::ParseSlaves("none"), std::vector<LinkedDevice>{});
    EXPECT_EQ(devicesim::ParseSlaves("-,-"), std::vector<LinkedDevice>{});
    EXPECT_EQ(devicesim::ParseSlaves("-,2:18:1"), (std::vector<LinkedDevice>{{2, 18, 1, 2}}));
    EXPECT_EQ(devicesim::ParseMasters("0:24"), (std::vector<LinkedDevice>{{0, 24, 0, 0}}));
    EXPECT_FALSE(devicesim::ParseMasters(""));
    EXPECT_FALSE(devicesim::ParseSlaves("1:x"));
}

// ---- the device so described ------------------------------------------------

struct ChannelCase {
    const char* product;
    int multiChannel;
    int first;
    int last;
};

TEST(SimulatedDevice, TakesTheChannelsItHas) {
    const ChannelCase cases[] = {
        {"Q8A7", 1, 0, 16}, {"Q8A5", 1, 0, 8}, {"Q8A3", 1, 0, 4}, {"Q8A7", 0, 0, 0},
        {"Q3A2", 0, 1, 2},  {"Q7B7", 0, 2, 2}, {"Q9C0", 0, 2, 2},
    };
    for (const ChannelCase& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " multi-channel " + std::to_string(c.multiChannel));
        DeviceProfile profile = devicesim::ProfileForProduct(c.product).value();
        profile.multiChannel = c.multiChannel;
        devicesim::DeviceModel model("tresk", "tresk", profile);
        const auto login = model.Answer(Request("/Login.cgi?Username=tresk&Password=tresk"));
        ASSERT_TRUE(login);
        const std::string cookie = login->body.substr(11, 16);
        const std::string prefix = "?Cookie=" + cookie + "&CH=";
        for (int ch = -1; ch <= 17; ++ch) {
            const auto reply =
                model.Answer(Request("/SetChannel.cgi" + prefix + std::to_string(ch)));
            ASSERT_TRUE(reply);
            const bool held = ch >= c.first && ch <= c.last;
            EXPECT_EQ(reply->status, held ? 200 : 400) << ch;
            if (held) {
                EXPECT_EQ(model.LastStreamSettings().channel, ch);
            }
        }
        // A channel the device does not have, asked for with the device
        // information, becomes its first.
        model.Answer(Request("/Getdeviceinfo.cgi" + prefix + "17"));
        EXPECT_EQ(model.LastStreamSettings().channel, c.first);
        const std::string info = model.Answer(Request("/Getdeviceinfo.cgi" + prefix + "1"))->body;
        EXPECT_NE(info.find("MULTICH=" + std::to_string(c.multiChannel) + ";"), std::string::npos);
    }
}

TEST(SimulatedDevice, PictureSizesOfEachFamily) {
    struct Case {
        const char* product;
        int videoMode;
        int sizes[3][2];  // resolutions 0, 1, 2
    };
    const Case cases[] = {
        {"Q8A5", 0, {{640, 228}, {320, 228}, {320, 228}}},
        {"Q8A5", 1, {{640, 276}, {320, 276}, {320, 276}}},
        {"Q3A2", 0, {{704, 240}, {352, 240}, {352, 240}}},
        {"Q7B3", 1, {{704, 288}, {352, 288}, {352, 288}}},
        {"Q9C0", 0, {{640, 480}, {320, 240}, {160, 120}}},
    };
    for (const Case& c : cases) {
        DeviceProfile profile = devicesim::ProfileForProduct(c.product).value();
        profile.videoMode = c.videoMode;
        for (int resolution = 0; resolution < 3; ++resolution) {
            const auto [width, height] = devicesim::LiveStream::PictureSize(profile, resolution);
            EXPECT_EQ(width, c.sizes[resolution][0]) << c.product << " " << resolution;
            EXPECT_EQ(height, c.sizes[resolution][1]) << c.product << " " << resolution;
        }
    }
}

TEST(SimulatedDevice, SlavesSitOnTheirChannels) {
    const CommandLine parsed = Parse({"--multich", "--slaves", "-,5:1,-,9:1:1"});
    ASSERT_TRUE(parsed.options);
    devicesim::DeviceModel model("tresk", "tresk", parsed.options->profile);
    // The slave list names the slave of each channel that has one.
    const auto reply = model.controlCommands().Answer(Request("/PTZReset.cgi"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, "SLAVENUM=2;SID=5;STYPE=1;SPROTOCOL=0;SID=9;STYPE=1;SPROTOCOL=1;");
    // The RS-485 section has them on channels 2 and 4: address, on, protocol.
    const std::string rs485 = model.Section("RS485").value();
    EXPECT_EQ(rs485[12 + 1], 5);
    EXPECT_EQ(rs485[28 + 1], 1);
    EXPECT_EQ(rs485[12 + 3], 9);
    EXPECT_EQ(rs485[28 + 3], 1);
    EXPECT_EQ(rs485[44 + 3], 1);
    EXPECT_EQ(rs485[28 + 0], 0);
    EXPECT_EQ(rs485[28 + 2], 0);
}

// The session lifetime: reported in whole minutes, and the device's own end
// of a session comes after the client's, counted from its stream's start.
TEST(SimulatedDevice, SessionEndsWhenItsLifetimeIsUp) {
    struct Case {
        int seconds;
        int reported;
        int endsAfter;
    };
    const Case cases[] = {{-1, -1, -1}, {0, 0, 7},   {30, 0, 30},
                          {60, 1, 65},  {90, 1, 90}, {600, 10, 605}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        DeviceProfile profile;
        profile.lifetimeSeconds = c.seconds;
        EXPECT_EQ(devicesim::ReportedLifetimeMinutes(profile), c.reported);
        const auto endAfter = devicesim::SessionEndAfter(profile);
        EXPECT_EQ(endAfter ? static_cast<int>(endAfter->count()) : -1, c.endsAfter);
    }

    DeviceProfile profile;
    profile.lifetimeSeconds = 60;
    devicesim::DeviceModel model("tresk", "tresk", profile);
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    model.SetClock([&now] { return now; });
    const auto login = model.Answer(Request("/Login.cgi?Username=tresk&Password=tresk"));
    const std::string cookie = login->body.substr(11, 16);
    const std::string info = model.Answer(Request("/Getdeviceinfo.cgi?Cookie=" + cookie))->body;
    EXPECT_EQ(info.rfind("LIFETIME=1;", 0), 0u) << info;

    // Without a stream nothing counts; the stream starts the count.
    now += std::chrono::hours(2);
    ASSERT_TRUE(model.IsSessionValid(cookie));
    ASSERT_TRUE(model.StartSessionStream(cookie));
    now += std::chrono::seconds(64);
    EXPECT_TRUE(model.IsSessionValid(cookie));
    EXPECT_EQ(model.Section("ONLINE")->size(), 24u);
    now += std::chrono::seconds(1);
    EXPECT_FALSE(model.IsSessionValid(cookie));
    EXPECT_FALSE(model.StartSessionStream(cookie));
    EXPECT_EQ(model.Answer(Request("/Getdeviceinfo.cgi?Cookie=" + cookie))->status, 401);
    EXPECT_EQ(model.Section("ONLINE")->size(), 0u);
}

// A device that refuses writes of some sections answers them 400 and keeps
// what it had; the other sections are still stored.
TEST(SimulatedDevice, RefusesWritesOfTheNamedSections) {
    const CommandLine parsed = Parse({"--refuse-sections", "SECURE,SYSTEM"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->profile.refusedSections,
              (std::vector<std::string>{"SECURE", "SYSTEM"}));
    devicesim::DeviceModel model("tresk", "tresk", parsed.options->profile);
    const auto login = model.Answer(Request("/Login.cgi?Username=tresk&Password=tresk"));
    const std::string cookie = login->body.substr(11, 16);
    for (const char* option : {"SECURE", "SYSTEM", "SNTP"}) {
        SCOPED_TRACE(option);
        const std::string before = model.Section(option).value();
        HttpRequest request =
            Request("/SetSysCfg.cgi?Option=" + std::string(option) + "&Cookie=" + cookie);
        request.body = std::string(before.size(), '\x01');
        const auto reply = model.Answer(request);
        ASSERT_TRUE(reply);
        const bool refused = std::string_view(option) != "SNTP";
        EXPECT_EQ(reply->status, refused ? 400 : 200);
        EXPECT_EQ(model.Section(option).value(), refused ? before : request.body);
        ASSERT_FALSE(model.ReceivedSections().empty());
        EXPECT_EQ(model.ReceivedSections().back().stored, !refused);
    }
}

// A device that never answers the reads of some sections.
TEST(SimulatedDevice, StallsReadsOfTheNamedSections) {
    const CommandLine parsed = Parse({"--stall-sections", "INF"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    devicesim::DeviceModel model("tresk", "tresk", parsed.options->profile);
    EXPECT_TRUE(model.Stalls(Request("/GetSysCfg.cgi?Option=INF&Size=44&Cookie=1")));
    EXPECT_FALSE(model.Stalls(Request("/GetSysCfg.cgi?Option=SYSTEM&Cookie=1")));
    EXPECT_FALSE(model.Stalls(Request("/SetSysCfg.cgi?Option=INF&Cookie=1")));
    EXPECT_FALSE(model.Stalls(Request("/Getdeviceinfo.cgi?Option=INF")));
}

}  // namespace
