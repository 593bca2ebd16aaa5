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

TEST(TestSupport, TempDirsAreFreshNamedAndRemovedWithTheirContents)
{
    fs::path kept;
    {
        TTempDir a("probe"), b("probe");
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_EQ(a.Path().filename().string().rfind("probe-", 0), 0u) << a.Path();
        EXPECT_TRUE(a.Names().empty());
        WriteFileText(a / "one.txt", "1");
        fs::create_directories(a / "sub" / "deeper");
        WriteFileText(a.File("sub/deeper/two.txt"), "2");
        EXPECT_EQ(a.Names(), (std::set<std::string>{"one.txt", "sub"}));
        kept = a.Path();
    }
    EXPECT_FALSE(fs::exists(kept));
}
