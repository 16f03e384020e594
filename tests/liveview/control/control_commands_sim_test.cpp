// The simulator's device-control commands on their own: what it takes, what
// it refuses and what it reports.

#include "tools/devicesim/control_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devicesim/device_model.h"

namespace {

using devicesim::ControlCommands;
using devicesim::HttpRequest;

HttpRequest Request(const std::string& target, std::string body = {}) {
    HttpRequest request;
    request.target = target;
    const auto question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string::npos)
        request.query = devicesim::ParseQuery(target.substr(question + 1));
    request.body = std::move(body);
    return request;
}

TEST(ControlCommandsSim, Rs485BodiesMustHoldWhatTheyAnnounce) {
    ControlCommands commands({});
    struct Case {
        std::string body;
        int status;
    };
    const std::vector<Case> cases{
        {std::string("\x01\x20\x01\x32", 4), 200},
        {std::string("\x04\x00\x03\x03\x00\x00\x00", 7), 200},
        {"", 400},
        {std::string("\x05\x20\x01\x32", 4), 400},
        {std::string(65, '\x3E'), 400},
    };
    for (const Case& c : cases) {
        const auto reply = commands.Answer(Request("/RS485Cmd.cgi?Control=Q8A7&MASTER=1", c.body));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, c.status) << c.body.size();
    }
    const auto log = commands.Rs485Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].body, std::string("\x01\x20\x01\x32", 4));
    EXPECT_EQ(log[0].query, (devicesim::NameValueList{{"Control", "Q8A7"}, {"MASTER", "1"}}));
}

TEST(ControlCommandsSim, SlaveListRetrAndCameraState) {
    ControlCommands commands({{1, 1, 0}, {4, 1, 1}});
    const auto slaves = commands.Answer(Request("/PTZReset.cgi"));
    ASSERT_TRUE(slaves);
    EXPECT_EQ(slaves->body, "SLAVENUM=2;SID=1;STYPE=1;SPROTOCOL=0;SID=4;STYPE=1;SPROTOCOL=1;");
    EXPECT_EQ(commands.PtzResetCount(), 1);

    EXPECT_EQ(commands.Answer(Request("/SetRetr.cgi?SET=1"))->status, 200);
    EXPECT_EQ(commands.Answer(Request("/SetRetr.cgi?SET=2"))->status, 400);
    EXPECT_EQ(commands.RetrState(), 1);

    struct Case {
        std::string target;
        int status;
        std::uint8_t state;
    };
    const std::vector<Case> cases{
        {"/OV9653Zoom.cgi?MODE=3", 200, 0x03},
        {"/OV9653Rotate.cgi?HR=1&VR=0", 200, 0x83},
        {"/OV9653Rotate.cgi?VR=1&HR=1", 200, 0xC3},
        {"/OV9653Zoom.cgi?MODE=6", 400, 0xC3},
        {"/OV9653Zoom.cgi", 400, 0xC3},
        {"/OV9653Rotate.cgi?HR=1", 400, 0xC3},
        {"/OV9653Zoom.cgi?MODE=0", 200, 0xC0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commands.Answer(Request(c.target))->status, c.status) << c.target;
        EXPECT_EQ(commands.CameraState(), c.state) << c.target;
    }
    EXPECT_FALSE(commands.Answer(Request("/Other.cgi")));
}

}  // namespace
