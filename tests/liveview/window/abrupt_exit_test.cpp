// exit() in the middle of the program's life, as Qt's X11 platform calls it
// when the connection to the display server breaks: the whole program,
// started as a process of its own and logged in to the simulated recorder
// through its login dialog, is told to exit while its picture runs. Its
// threads (the stream's receiver among them) are still running then: the
// process must end with the exit's own status, with no sanitizer report,
// and with Setting.ini saved.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "tests/liveview/window/program_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/simulated_device.h"
#include "tests/support/temp_dir.h"
#include "tools/devicesim/http_server.h"

namespace {

using namespace std::chrono_literals;

// The recorder, telling when its live stream has been asked for.
class StreamingDevice {
public:
    StreamingDevice() {
        sim.server.SetHandler("/Getvideo.cgi", [this](const devicesim::HttpRequest& request,
                                                      devicesim::Connection& connection) {
            {
                std::lock_guard lock(m_lock);
                m_streaming = true;
            }
            m_changed.notify_all();
            sim.stream.Serve(request, connection);
        });
    }
    ~StreamingDevice() { sim.server.Stop(); }
    StreamingDevice(const StreamingDevice&) = delete;
    StreamingDevice& operator=(const StreamingDevice&) = delete;

    bool WaitUntilStreaming() {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, test_support::FakeDevice::kGenerousWait,
                                  [this] { return m_streaming; });
    }

    test_support::SimulatedDevice sim;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_streaming = false;
};

// The abrupt exit ends the process on purpose with the program's threads
// still standing, so the thread checker's count of threads never joined
// says nothing here; every other report still fails the test.
std::string ThreadCheckerOptions() {
    const char* inherited = std::getenv("TSAN_OPTIONS");
    std::string options = "TSAN_OPTIONS=";
    if (inherited != nullptr && *inherited != '\0')
        options.append(inherited).append(":");
    return options + "report_thread_leaks=0";
}

TEST(AbruptExitTest, ExitWhileThePictureRunsEndsCleanlyWithTheSettingsSaved) {
    StreamingDevice device;
    test_support::TempDir home;
    program_process::PrepareProgramFolder(home.path(), device.sim.server.port());
    const std::string before = test_support::ReadAll(home.path() / "Setting.ini");
    const auto exitFile = home.path() / "exit-now";
    const auto errors = home.path() / "stderr.txt";

    const pid_t pid = program_process::StartProgram(
        home.path(),
        {"KESTRUNE_DRIVER_EXIT_FILE=" + exitFile.string(),
         "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1", ThreadCheckerOptions()},
        errors);
    ASSERT_GT(pid, 0);
    if (!device.WaitUntilStreaming()) {
        ::kill(pid, SIGKILL);
        program_process::WaitForExit(pid, 10s);
        FAIL() << "the program never asked for the stream";
    }
    std::ofstream(exitFile) << "now";

    const std::optional<int> status = program_process::WaitForExit(pid, 30s);
    if (!status) {
        ::kill(pid, SIGKILL);
        program_process::WaitForExit(pid, 10s);
    }
    ASSERT_TRUE(status.has_value()) << "still running 30 s after exit()";
    const std::string report = test_support::ReadAll(errors);
    EXPECT_TRUE(WIFEXITED(*status)) << "status " << *status << "\n" << report;
    EXPECT_EQ(WEXITSTATUS(*status), 1) << report;
    EXPECT_EQ(report.find("runtime error"), std::string::npos) << report;
    EXPECT_EQ(report.find("Sanitizer"), std::string::npos) << report;

    const std::string after = test_support::ReadAll(home.path() / "Setting.ini");
    EXPECT_NE(after, before);
    EXPECT_NE(after.find("Record Path="), std::string::npos) << after;
}

}  // namespace
