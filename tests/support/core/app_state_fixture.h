#pragma once

// A state record as start-up leaves it before the login: settings loaded from
// a temporary program folder, the trace log open, the system buffers and ring
// semaphores created. Tear-down releases everything in the shutdown order, so
// a test may leave threads and resources of its own behind.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "core/application/trace_log.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/system_buffers.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/support/file_contents.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace core_test {

class AppStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(folder.path());
        g_lpApp = new AppGlobalState();
        std::uint8_t turbo = 5;
        settings().LoadFromFile(folder.path(), turbo);
        InitTraceLog(300, folder.path());
        ASSERT_EQ(AllocateSystemBuffer(), 1);
        ASSERT_EQ(InitialSemaphore(), 1);
    }

    void TearDown() override {
        ExitLoginResource();
        ExitProcessResource();
        FreeSystemBuffer();
        FreeSystemSemaphore();
        CloseTraceLog();
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
        platform::ResetProgramFolder();
    }

    static CSettingINI& settings() { return g_lpApp->CSettingINI; }

    std::string TraceLog() const { return test_support::ReadAll(folder.path() / "trace.log"); }

    test_support::TempDir folder;
    test_support::ScopedMessageBoxRecorder boxes;
};

}  // namespace core_test
