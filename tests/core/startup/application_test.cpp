#include "core/startup/application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/support/core/scoped_services.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs the real start-up and shutdown steps, recording their order; the
// login dialog and the main window are scripted, and any step can fail.
class RecordingApp : public CDravelinApp {
public:
    std::vector<std::string> steps;
    std::string failAt;
    std::vector<int> loginDialogResults{kIdOk};
    std::vector<unsigned> loginResults{30};

    bool Fails(const std::string& step) {
        steps.push_back(step);
        return step == failAt;
    }

protected:
    bool StartSockets() override { return !Fails("StartSockets") && CDravelinApp::StartSockets(); }
    void SetRegistryKey(const std::string& company) override {
        steps.push_back("SetRegistryKey");
        CDravelinApp::SetRegistryKey(company);
    }
    int StoreLocalAddress() override {
        return Fails("StoreLocalAddress") ? 0 : CDravelinApp::StoreLocalAddress();
    }
    int CreateGlobalState() override {
        const bool fail = Fails("CreateGlobalState");
        const int result = CDravelinApp::CreateGlobalState();
        return fail ? 0 : result;
    }
    int ReadDisplayDpi() override {
        return Fails("ReadDisplayDpi") ? 0 : CDravelinApp::ReadDisplayDpi();
    }
    int AllocateSystemBuffer() override {
        return Fails("AllocateSystemBuffer") ? 0 : CDravelinApp::AllocateSystemBuffer();
    }
    int InitialSemaphore() override {
        return Fails("InitialSemaphore") ? 0 : CDravelinApp::InitialSemaphore();
    }
    int LoadSettings() override { return Fails("LoadSettings") ? 0 : CDravelinApp::LoadSettings(); }
    void OpenTraceLogs() override {
        steps.push_back("OpenTraceLogs");
        CDravelinApp::OpenTraceLogs();
    }
    int RunLoginDialog() override {
        const std::size_t run = loginRuns++;
        if (Fails("RunLoginDialog"))
            return kIdCancel;
        const int dialog = loginDialogResults[std::min(run, loginDialogResults.size() - 1)];
        g_lpApp->w_LoginResult =
            static_cast<std::uint16_t>(loginResults[std::min(run, loginResults.size() - 1)]);
        return dialog;
    }
    int InitProcessResource() override {
        return Fails("InitProcessResource") ? 0 : CDravelinApp::InitProcessResource();
    }
    int InitLoginResource() override {
        return Fails("InitLoginResource") ? 0 : CDravelinApp::InitLoginResource();
    }
    void RunMainWindow() override { steps.push_back("RunMainWindow"); }

    int ExitLoginResource() override {
        return Fails("ExitLoginResource") ? 0 : CDravelinApp::ExitLoginResource();
    }
    int ExitProcessResource() override {
        return Fails("ExitProcessResource") ? 0 : CDravelinApp::ExitProcessResource();
    }
    int FreeSystemBuffer() override {
        return Fails("FreeSystemBuffer") ? 0 : CDravelinApp::FreeSystemBuffer();
    }
    int FreeSystemSemaphore() override {
        return Fails("FreeSystemSemaphore") ? 0 : CDravelinApp::FreeSystemSemaphore();
    }
    void FreeLanguageLibrary() override {
        steps.push_back("FreeLanguageLibrary");
        CDravelinApp::FreeLanguageLibrary();
    }
    void FreeTraceLog() override {
        steps.push_back("FreeTraceLog");
        CDravelinApp::FreeTraceLog();
    }
    void DeleteGlobalState() override {
        steps.push_back("DeleteGlobalState");
        CDravelinApp::DeleteGlobalState();
    }

private:
    std::size_t loginRuns = 0;
};

const std::vector<std::string> kStartup{
    "StartSockets",   "SetRegistryKey",       "StoreLocalAddress",   "CreateGlobalState",
    "ReadDisplayDpi", "AllocateSystemBuffer", "InitialSemaphore",    "LoadSettings",
    "OpenTraceLogs",  "RunLoginDialog",       "InitProcessResource", "InitLoginResource",
    "RunMainWindow"};
const std::vector<std::string> kShutdown{"ExitLoginResource", "ExitProcessResource",
                                         "FreeLanguageLibrary", "FreeTraceLog",
                                         "DeleteGlobalState"};
const std::vector<std::string> kFullShutdown{
    "ExitLoginResource",   "ExitProcessResource", "FreeSystemBuffer", "FreeSystemSemaphore",
    "FreeLanguageLibrary", "FreeTraceLog",        "DeleteGlobalState"};

std::vector<std::string> Upto(const std::string& last) {
    std::vector<std::string> out;
    for (const auto& s : kStartup) {
        out.push_back(s);
        if (s == last)
            break;
    }
    return out;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(folder.path());
        std::ofstream(folder.path() / "CtrlFile.ini") << "[EOF]\nEND\n";
    }
    void TearDown() override {
        platform::ResetProgramFolder();
        ASSERT_EQ(g_lpApp, nullptr) << "shutdown must delete the state record";
    }

    test_support::TempDir folder;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(ApplicationTest, RunsEveryStepInOrderAndReturnsFalse) {
    RecordingApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.steps, Concat(kStartup, kFullShutdown));
    EXPECT_EQ(app.RegistryKey(), "Marrowind");
    EXPECT_TRUE(boxes.Ids().empty());
}

// A failing start-up step ends start-up there; shutdown releases only what
// exists and runs every release step when the state record exists.
struct StartupFailure {
    const char* step;
    bool stateExists;
};

class StartupFailureTest : public ApplicationTest,
                           public ::testing::WithParamInterface<StartupFailure> {};

TEST_P(StartupFailureTest, EndsAtTheFailingStepAndShutsDownCleanly) {
    RecordingApp app;
    app.failAt = GetParam().step;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 0);
    const auto expected = GetParam().stateExists ? Concat(Upto(GetParam().step), kFullShutdown)
                                                 : Upto(GetParam().step);
    EXPECT_EQ(app.steps, expected);
}

INSTANTIATE_TEST_SUITE_P(EachStep, StartupFailureTest,
                         ::testing::Values(StartupFailure{"StartSockets", false},
                                           StartupFailure{"CreateGlobalState", true},
                                           StartupFailure{"AllocateSystemBuffer", true},
                                           StartupFailure{"InitialSemaphore", true},
                                           StartupFailure{"RunLoginDialog", true},
                                           StartupFailure{"InitProcessResource", true},
                                           StartupFailure{"InitLoginResource", true}),
                         [](const auto& instance) { return std::string(instance.param.step); });

TEST_F(ApplicationTest, SettingsAndTraceFailuresDoNotEndStartup) {
    RecordingApp app;
    app.failAt = "StoreLocalAddress";
    app.InitInstance();
    app.ExitInstance();
    EXPECT_EQ(app.steps, Concat(kStartup, kFullShutdown));
}

TEST_F(ApplicationTest, LoginDialogRepeatsWhileTheResultIs100) {
    RecordingApp app;
    app.loginResults = {100, 100, 30};
    app.InitInstance();
    app.ExitInstance();
    EXPECT_EQ(std::count(app.steps.begin(), app.steps.end(), "RunLoginDialog"), 3);
    EXPECT_NE(std::find(app.steps.begin(), app.steps.end(), "RunMainWindow"), app.steps.end());
}

TEST_F(ApplicationTest, MainWindowOpensOnlyForTheLoggedInResults) {
    for (unsigned result : {0u, 10u, 20u, 30u, 102u}) {
        RecordingApp app;
        app.loginResults = {result};
        app.InitInstance();
        app.ExitInstance();
        const bool opened =
            std::find(app.steps.begin(), app.steps.end(), "RunMainWindow") != app.steps.end();
        EXPECT_EQ(opened, result != 102) << result;
    }
}

TEST_F(ApplicationTest, CancelledLoginStartsNoThreads) {
    RecordingApp app;
    app.loginDialogResults = {CDravelinApp::kIdCancel};
    app.InitInstance();
    app.ExitInstance();
    EXPECT_EQ(app.steps, Concat(Upto("RunLoginDialog"), kFullShutdown));
}

// A failing release step ends shutdown at once with 0.
TEST_F(ApplicationTest, FailingReleaseStepStopsShutdown) {
    for (const char* step :
         {"ExitLoginResource", "ExitProcessResource", "FreeSystemBuffer", "FreeSystemSemaphore"}) {
        RecordingApp app;
        app.failAt = step;
        app.InitInstance();
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(app.steps.back(), step);
        EXPECT_NE(g_lpApp, nullptr);
        // What the failed shutdown left is released by running it again.
        RecordingApp cleanup;
        cleanup.ExitInstance();
    }
}

TEST_F(ApplicationTest, MissingCtrlFileEndsBeforeTheLoginDialogWithMessage4094) {
    std::filesystem::remove(folder.path() / "CtrlFile.ini");
    class FailingLiveView : public PlaceholderLiveView {
    public:
        int LoadCtrlFile() override { return 0; }
    } liveView;
    test_support::ScopedLiveViewRegistration registered{liveView};
    RecordingApp app;
    app.InitInstance();
    app.ExitInstance();
    EXPECT_EQ(app.steps, Concat(Upto("CreateGlobalState"), kFullShutdown));
}

TEST_F(ApplicationTest, StateRecordDefaults) {
    RecordingApp app;
    app.failAt = "RunLoginDialog";
    app.InitInstance();
    ASSERT_NE(g_lpApp, nullptr);
    EXPECT_TRUE(g_szSessionCookie.Empty());
    EXPECT_EQ(g_lpApp->dw_LifeTime.load(), -1);
    EXPECT_EQ(g_lpApp->b_TurboRepeatStep.load(), 5);
    EXPECT_EQ(g_lpApp->str_AppVersion.Get(), "1.0.5.6");
    EXPECT_EQ(g_lpApp->b_RecordOptions[0], 4);
    EXPECT_EQ(g_lpApp->b_RecordOptions[1], 2);
    EXPECT_EQ(g_lpApp->w_LanguageID, 1033);
    // Two socket slots: semaphores (1, 1) and (0, 1); one image slot: (1, 1) and (0, 1).
    EXPECT_EQ(g_lpApp->h_SocketFreeSem->Count(), 1);
    EXPECT_EQ(g_lpApp->h_SocketFilledSem->Count(), 0);
    EXPECT_FALSE(g_lpApp->h_SocketFilledSem->Release(2));
    EXPECT_TRUE(g_lpApp->h_SocketFilledSem->Release(1));
    EXPECT_FALSE(g_lpApp->h_SocketFilledSem->Release(1));
    EXPECT_EQ(g_lpApp->h_ImageFreeSem->Count(), 1);
    EXPECT_EQ(g_lpApp->JPEGImageBufferRelSem->Count(), 0);
    EXPECT_NE(g_lpApp->lp_SocketBuffer, nullptr);
    app.ExitInstance();
}

}  // namespace
