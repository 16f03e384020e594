#pragma once

// The shared state record for tests that need one but none of the start-up
// around it: created with its defaults for the scope, then freed, with the
// session cookie (which lives outside the record) emptied again.

#include <gtest/gtest.h>

#include <optional>

#include "core/state/app_global_state.h"

namespace test_support {

class ScopedGlobalState {
public:
    ScopedGlobalState() {
        delete g_lpApp;
        g_lpApp = new AppGlobalState();
    }
    ~ScopedGlobalState() {
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
    }
    ScopedGlobalState(const ScopedGlobalState&) = delete;
    ScopedGlobalState& operator=(const ScopedGlobalState&) = delete;

    AppGlobalState& operator*() const { return *g_lpApp; }
    AppGlobalState* operator->() const { return g_lpApp; }
};

// A test fixture holding the record from SetUp to TearDown.
class GlobalStateTest : public ::testing::Test {
protected:
    void SetUp() override { m_state.emplace(); }
    void TearDown() override { m_state.reset(); }

private:
    std::optional<ScopedGlobalState> m_state;
};

}  // namespace test_support
