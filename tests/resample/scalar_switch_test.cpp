// The switch that forces the scalar kernels (KESTRUNE_RESAMPLE_SCALAR).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "resample/resize_internal.h"

namespace {

using resample::ResizeKernels;

const ResizeKernels& Fastest() {
    const auto sets = resample::VectorKernels();
    return sets.empty() ? resample::ReferenceKernels() : *sets.back();
}

struct SwitchCase {
    const char* name;
    std::optional<std::string> value;  // nullopt: not set
    bool scalar;
};

class ScalarSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ScalarSwitch, ChoosesTheKernels) {
    const SwitchCase& c = GetParam();
    const char* value = c.value ? c.value->c_str() : nullptr;
    EXPECT_EQ(resample::ScalarSwitchOn(value), c.scalar);
    const ResizeKernels& chosen = resample::ChooseKernels(value);
    EXPECT_EQ(&chosen, c.scalar ? &resample::ReferenceKernels() : &Fastest()) << chosen.name;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScalarSwitch,
    ::testing::Values(SwitchCase{"NotSet", std::nullopt, false}, SwitchCase{"Empty", "", false},
                      SwitchCase{"Zero", "0", false}, SwitchCase{"One", "1", true},
                      SwitchCase{"Yes", "yes", true}, SwitchCase{"Zeros", "00", true}),
    [](const auto& instance) { return std::string(instance.param.name); });

// The environment is read at the first resize of a process, so this runs in
// a fresh process (a re-run of this test program) where the variable is set
// before anything resizes; the exit code says which kernels were chosen.
TEST(ScalarSwitchProcess, TheEnvironmentVariableForcesTheScalarKernels) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv(resample::kScalarSwitchVariable, "1", 1);
            const ResizeKernels& selected = resample::SelectedKernels();
            // Read once: a later change is not seen.
            ::unsetenv(resample::kScalarSwitchVariable);
            const bool same = &resample::SelectedKernels() == &selected;
            std::_Exit(same && std::strcmp(selected.name, "scalar") == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
