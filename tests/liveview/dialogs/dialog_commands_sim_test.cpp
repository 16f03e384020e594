// The device simulator's side of the small dialogs' commands, as the fake
// device serves it: sessions checked, the disk map of each family, and
// which colour, buzzer and search requests a device accepts.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/core/device_command_fixture.h"

namespace {

class DialogCommandsSimTest : public command_test::DeviceCommandTest {
protected:
    devicesim::DeviceModel& Model(const char* product) {
        auto& model =
            device.EnableDeviceModel("tresk", "tresk", *devicesim::ProfileForProduct(product));
        const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
        EXPECT_EQ(login.result, 1);
        session = ReplyItems(login.body).Find("Session-ID").value_or("");
        return model;
    }

    int Status(std::uint8_t row, const std::string& pathAndQuery) {
        const std::string target =
            pathAndQuery + (pathAndQuery.find('?') == std::string::npos ? "?Cookie=" : "&Cookie=") +
            session;
        const Outcome outcome = Send(row, target);
        return outcome.result == 1 ? 200 : static_cast<int>(outcome.status.status);
    }

    std::string session;
};

TEST_F(DialogCommandsSimTest, EveryCommandNeedsASession) {
    Model("Q8A7");
    for (const char* target : {"/GetDvrHDD.cgi", "/GetColor.cgi", "/SetColor.cgi?CON=1&BRI=1&HUE=1",
                               "/SetBuzzer.cgi?time=long", "/SearchPlayBack.cgi?searchType=time"}) {
        const Outcome outcome = Send(17, std::string(target));
        EXPECT_EQ(outcome.result, 0) << target;
        EXPECT_EQ(outcome.status.status, 401u) << target;
    }
}

TEST_F(DialogCommandsSimTest, DiskMapsOfTheFamilies) {
    auto& recorder = Model("Q8A5");
    const Outcome map = Send(17, "/GetDvrHDD.cgi?Cookie=" + session);
    ASSERT_EQ(map.result, 1);
    EXPECT_EQ(map.body, std::string("\x13") + std::string(31, '\0'));
    recorder.dialogCommands().SetDiskMap("short");
    EXPECT_EQ(Send(17, "/GetDvrHDD.cgi?Cookie=" + session).body, "short");

    Model("Q9C0");
    EXPECT_EQ(Status(17, "/GetDvrHDD.cgi"), 404);  // a camera has no disks
}

TEST_F(DialogCommandsSimTest, ColourIsKeptAndChecked) {
    auto& camera = Model("Q7B5");
    const Outcome read = Send(20, "/GetColor.cgi?Cookie=" + session);
    EXPECT_EQ(read.body, "BRI=47;CON=150;HUE=2;");
    EXPECT_EQ(Status(21, "/SetColor.cgi?CON=10&BRI=20&HUE=30"), 200);
    EXPECT_EQ(Send(20, "/GetColor.cgi?Cookie=" + session).body, "BRI=20;CON=10;HUE=30;");
    for (const char* bad : {"/SetColor.cgi?CON=256&BRI=0&HUE=0", "/SetColor.cgi?CON=1&BRI=-1&HUE=0",
                            "/SetColor.cgi?CON=1&BRI=1", "/SetColor.cgi?CON=a&BRI=1&HUE=1"}) {
        EXPECT_EQ(Status(21, bad), 400) << bad;
    }
    EXPECT_EQ(camera.dialogCommands().Colour().contrast, 10);
}

TEST_F(DialogCommandsSimTest, BuzzerTakesLongShortAndStop) {
    auto& model = Model("Q8A7");
    for (const char* time : {"long", "stop", "short"}) {
        EXPECT_EQ(Status(38, std::string("/SetBuzzer.cgi?time=") + time), 200) << time;
    }
    EXPECT_EQ(Status(38, "/SetBuzzer.cgi?time=forever"), 400);
    EXPECT_EQ(Status(38, "/SetBuzzer.cgi"), 400);
    EXPECT_EQ(model.dialogCommands().BuzzerLog(),
              (std::vector<std::string>{"long", "stop", "short"}));
}

TEST_F(DialogCommandsSimTest, SearchesAreChecked) {
    struct Case {
        const char* query;
        int status;
    };
    auto& model = Model("Q8A3");  // 4 channels; MASTER1, SLAVE1 and EXT-01
    const std::string date = "&year=6&month=3&day=1&hour=14&min=5&sec=9";
    for (const Case& c : {
             Case{"searchType=event&channelNum=3&eventType=1", 200},
             Case{"searchType=time", 200},
             Case{"searchType=event&channelNum=4&eventType=1", 400},  // past the 4 channels
             Case{"searchType=event&channelNum=-1&eventType=0", 400},
             Case{"searchType=event&channelNum=0&eventType=2", 400},
             Case{"searchType=event&eventType=0", 400},
             Case{"searchType=other", 400},
         }) {
        EXPECT_EQ(Status(39, std::string("/SearchPlayBack.cgi?") + c.query + date + "&hddNum=ALL"),
                  c.status)
            << c.query;
    }
    EXPECT_EQ(Status(39, "/SearchPlayBack.cgi?searchType=time" + date + "&hddNum=4"), 200);
    EXPECT_EQ(Status(39, "/SearchPlayBack.cgi?searchType=time" + date + "&hddNum=2"), 404);
    EXPECT_EQ(Status(39, "/SearchPlayBack.cgi?searchType=time" + date + "&hddNum="), 400);
    EXPECT_EQ(Status(39,
                     "/SearchPlayBack.cgi?searchType=time&year=6&month=13&day=1&hour=0"
                     "&min=0&sec=0&hddNum=ALL"),
              400);
    EXPECT_EQ(model.dialogCommands().SearchCount(), 3);
}

}  // namespace
