#pragma once

// Waiting in tests for something another thread does. Every wait has the same
// generous bound, so a fault fails the test with a message naming the wait
// instead of hanging it; a passing test never waits that long, and no test
// depends on the bound to pass.

#include <gtest/gtest.h>

#include <chrono>
#include <source_location>
#include <thread>

namespace test_support {

inline constexpr std::chrono::seconds kWaitBound{30};

namespace detail {

void DeliverPostedMessages();

inline ::testing::AssertionResult GaveUp(const char* what, const std::source_location& where) {
    return ::testing::AssertionFailure()
           << "gave up after " << kWaitBound.count() << " s waiting for " << what << " ("
           << where.file_name() << ":" << where.line() << ")";
}

}  // namespace detail

// Polls the condition until it holds or the bound passes. Use as
// ASSERT_TRUE(WaitUntil([&] { ... })).
template <class Condition>
::testing::AssertionResult WaitUntil(Condition condition, const char* what = "the condition",
                                     std::source_location where = std::source_location::current()) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return detail::GaveUp(what, where);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::testing::AssertionSuccess();
}

// The same on the GUI thread: delivers the window messages other threads
// posted while it waits.
template <class Condition>
::testing::AssertionResult PumpUntil(Condition condition, const char* what = "the condition",
                                     std::source_location where = std::source_location::current()) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return detail::GaveUp(what, where);
        detail::DeliverPostedMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support
