// The helpers the other suites rely on.
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(TestSupport, EnvironmentAdditionsReplaceInheritedVariables)
{
    setenv("HAM_SUPPORT_PROBE", "inherited", 1);
    auto run = RunProgram("/usr/bin/env", {}, "", {"HAM_SUPPORT_PROBE=added", "HAM_SUPPORT_OTHER=x"});
    unsetenv("HAM_SUPPORT_PROBE");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    int probes = 0;
    for (const auto& line : SplitLines(run.Out))
        if (line.rfind("HAM_SUPPORT_PROBE=", 0) == 0) {
            ++probes;
            EXPECT_EQ(line, "HAM_SUPPORT_PROBE=added");
        }
    EXPECT_EQ(probes, 1);
    EXPECT_NE(run.Out.find("HAM_SUPPORT_OTHER=x\n"), std::string::npos);
}
