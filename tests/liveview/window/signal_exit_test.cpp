// SIGTERM while the GUI thread is held up: the whole program, started as a
// process of its own and logged in to the device on 127.0.0.1 through its
// login dialog, meets a device that stops answering one of the main
// window's set-up reads. The signal ends the program promptly, through its
// orderly close, with Setting.ini saved.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "tests/liveview/window/program_process.h"
#include "tests/support/fake_device.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tools/devicesim/http_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::FakeDevice;

// From the signal to the end of the process. The program needs well under
// a second; the bound only tells a program that ends from one that waits
// for the device's time-out (45 s a read).
constexpr auto kEndBound = 10s;

struct StallCase {
    const char* name;
    const char* path;
    const char* option;  // the "Option" of a section read; null: any request
    int occurrence;      // which matching request, from 1
};

void PrintTo(const StallCase& stall, std::ostream* out) {
    *out << stall.name;
}

// Every read of the main window's set-up, in its order, for a recorder at
// the supervisor's level.
const StallCase kStalls[] = {
    {"InformationSection", "/GetSysCfg.cgi", "INF", 1},
    {"DeviceInformation", "/Getdeviceinfo.cgi", nullptr, 1},
    {"SystemSection", "/GetSysCfg.cgi", "SYSTEM", 1},
    {"UserLevelSection", "/GetSysCfg.cgi", "INF", 2},
};

// The device: the model answers, except that one request of the case is
// never answered.
class StallingDevice {
public:
    explicit StallingDevice(const StallCase& stall) : m_stall(stall) {
        device.EnableDeviceModel();
        device.SetHandler(stall.path, [this](const devicesim::HttpRequest& request,
                                             devicesim::Connection& connection) {
            if (IsTheStalledOne(request)) {
                {
                    std::lock_guard lock(m_lock);
                    m_stalled = true;
                }
                m_changed.notify_all();
                connection.HoldUntilPeerCloses();
                return;
            }
            const auto reply = device.model()->Answer(request);
            ASSERT_TRUE(reply.has_value());
            connection.Send(devicesim::FormatResponse(reply->status, reply->reason,
                                                      reply->contentType, reply->body));
        });
    }

    // The device's threads use the members below: they end first.
    ~StallingDevice() { device.Stop(); }
    StallingDevice(const StallingDevice&) = delete;
    StallingDevice& operator=(const StallingDevice&) = delete;

    bool WaitUntilStalled() {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, FakeDevice::kGenerousWait, [this] { return m_stalled; });
    }

    FakeDevice device;

private:
    bool IsTheStalledOne(const devicesim::HttpRequest& request) {
        if (m_stall.option != nullptr && request.Param("Option") != m_stall.option)
            return false;
        return ++m_seen == m_stall.occurrence;
    }

    const StallCase m_stall;
    std::atomic<int> m_seen{0};
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_stalled = false;
};

using program_process::PrepareProgramFolder;
using program_process::StartProgram;
using program_process::WaitForExit;

class SignalExitTest : public ::testing::TestWithParam<StallCase> {};

TEST_P(SignalExitTest, SigtermEndsTheProgramWithTheSettingsSaved) {
    StallingDevice stalling(GetParam());
    test_support::TempDir home;
    PrepareProgramFolder(home.path(), stalling.device.port());
    const std::string before = test_support::ReadAll(home.path() / "Setting.ini");

    const pid_t pid = StartProgram(home.path());
    ASSERT_GT(pid, 0);
    const bool stalled = stalling.WaitUntilStalled();
    if (!stalled) {
        ::kill(pid, SIGKILL);
        WaitForExit(pid, 10s);
        FAIL() << "the program never reached the read";
    }

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const std::optional<int> status = WaitForExit(pid, kEndBound);
    const auto took = std::chrono::steady_clock::now() - signalled;
    if (!status) {
        ::kill(pid, SIGKILL);
        WaitForExit(pid, 10s);
    }
    ASSERT_TRUE(status.has_value()) << "still running " << kEndBound.count() << " s after SIGTERM";
    RecordProperty(
        "MillisecondsToEnd",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_TRUE(WIFEXITED(*status)) << "status " << *status;

    // The close saved every setting, not only the three the folder had.
    const std::string after = test_support::ReadAll(home.path() / "Setting.ini");
    EXPECT_NE(after, before);
    EXPECT_NE(after.find("Record Path="), std::string::npos) << after;
    EXPECT_NE(after.find("Server Name=127.0.0.1"), std::string::npos) << after;
}

INSTANTIATE_TEST_SUITE_P(Reads, SignalExitTest, ::testing::ValuesIn(kStalls),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
