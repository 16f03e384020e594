// The device simulator's clock command as the fake device serves it: the
// session checked, the parameter sets a device takes or refuses, and the
// last accepted set kept.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/core/device_command_fixture.h"

namespace {

class SyncTimeSimTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        model = &device.EnableDeviceModel("tresk", "tresk", *devicesim::ProfileForProduct("Q3A2"));
        const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
        ASSERT_EQ(login.result, 1);
        session = ReplyItems(login.body).Find("Session-ID").value_or("");
    }
    int Status(const std::string& query) {
        const Outcome outcome = Send(22, "/SyncTime.cgi?Cookie=" + session + "&" + query);
        return outcome.result == 1 ? 200 : static_cast<int>(outcome.status.status);
    }

    devicesim::DeviceModel* model = nullptr;
    std::string session;
};

struct SyncCase {
    const char* query;
    int status;
};

TEST_F(SyncTimeSimTest, TakesOrRefusesTheParameters) {
    for (const SyncCase& c : {
             SyncCase{"Mode=1&ServerMode=1&NationID=18&Hour=-3&Minute=-30", 200},
             {"Mode=1&ServerMode=0&Server=pool.ntp.org&NationID=49&Hour=5&Minute=45", 200},
             {"Mode=1&ServerMode=1", 200},  // no zone: the device keeps its own
             {"Mode=0&Year=2026&Month=3&Day=9&Hour=7&Minute=5&Second=42", 200},
             {"Mode=1&ServerMode=0", 400},  // a named server without its name
             {"Mode=1&ServerMode=0&Server=abcdefghijklmnopqrstuvwxyz0123", 400},
             {"Mode=1&ServerMode=1&NationID=75&Hour=0&Minute=0", 400},
             {"Mode=1&ServerMode=1&NationID=3", 400},
             {"Mode=0&Year=2026&Month=13&Day=9&Hour=7&Minute=5&Second=42", 400},
             {"Mode=0&Year=2026&Month=3&Day=9", 400},
             {"Mode=2", 400},
             {"Mode=x1", 400},
         }) {
        EXPECT_EQ(Status(c.query), c.status) << c.query;
    }
    EXPECT_EQ(model->timeCommands().SyncCount(), 4);
    const auto last = model->timeCommands().LastSync();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->front(), (std::pair<std::string, std::string>{"Mode", "0"}));
}

TEST_F(SyncTimeSimTest, NeedsASession) {
    const Outcome outcome = Send(22, "/SyncTime.cgi?Mode=1&ServerMode=1");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.status.status, 401u);
    EXPECT_EQ(model->timeCommands().SyncCount(), 0);
}

}  // namespace
