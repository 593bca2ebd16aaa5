// hamhost as a user runs it.
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool Contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

std::vector<std::string> TraceLines(const std::string& err, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& line : SplitLines(err))
        if (line.rfind("trace: " + prefix, 0) == 0) out.push_back(line.substr(7));
    return out;
}

} // namespace

TEST(Cli, InitThenListPlugins)
{
    TTempDir dir("cli-init");
    auto profile = dir / "profile";
    auto init = RunHamhost(profile, {"init"});
    ASSERT_EQ(init.ExitCode, 0) << init.Err;
    EXPECT_TRUE(fs::exists(profile / "host.db"));
    EXPECT_TRUE(fs::exists(profile / "host.ini"));
    EXPECT_TRUE(fs::is_directory(profile / "download"));

    auto list = RunHamhost(profile, {"plugins"});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_EQ(SplitLines(list.Out),
              (std::vector<std::string>{
                  "Export Callbook as Zemrak updates\t1.04.019 (1730)\t0\t{DB195330-D19A-44AE-9D82-60CAE2F71C04}",
                  "Import Zemrak updates into Callbook\t1.04.019 (1725)\t2\t{E17AD245-4828-48E9-B786-1E8C0850E86F}",
                  "Store Callbook into Zemrak log\t1.04.019 (1730)\t0\t{6E370247-8E97-4B10-95D5-68875CEC2715}",
                  "Append Zemrak log data into current log\t1.04.019 (1904)\t1\t{1A177FF2-5870-4621-B46F-D604003EFDB8}",
              }));
}

TEST(Cli, UnknownCommandOrCaptionExitsWithTwo)
{
    TTempDir dir("cli-unknown");
    auto profile = dir / "profile";
    ASSERT_EQ(RunHamhost(profile, {"init"}).ExitCode, 0);
    auto run = RunHamhost(profile, {"run", "No such command"});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(Contains(run.Err, "No menu command \"No such command\"")) << run.Err;
    EXPECT_EQ(RunHamhost(profile, {"frobnicate"}).ExitCode, 2);
    auto noProfile = RunHamhost(dir / "missing", {"plugins"});
    EXPECT_EQ(noProfile.ExitCode, 1);
    EXPECT_TRUE(Contains(noProfile.Err, "hamhost init")) << noProfile.Err;
}

TEST(Cli, RunOpensTheDialogBetweenBeginAndEndModal)
{
    TTempDir dir("cli-run");
    auto profile = dir / "profile";
    // The demo profile has a logger installation, so the dialog stays open.
    ASSERT_EQ(RunHamhost(profile, {"init", "--demo"}).ExitCode, 0);
    WriteFileText(dir / "actions.txt", "# a comment\n\nset edNoSuchControl 1\nclose\n");
    auto run = RunHamhost(profile, {"--trace", "run", "Store Callbook to Zemrak log", "--actions",
                                    (dir / "actions.txt").string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "line 3:")) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "edNoSuchControl")) << run.Err;
    // The dialog ran (its error line) between the two calls.
    auto err = run.Err;
    auto begin = err.find("trace: IApplicationWindows.BeginModal");
    auto line3 = err.find("line 3:");
    auto end = err.find("trace: IApplicationWindows.EndModal");
    EXPECT_TRUE(begin < line3 && line3 < end) << err;
    EXPECT_EQ(TraceLines(run.Err, "IApplicationWindows.BeginModal").size(), 1u);
    EXPECT_EQ(TraceLines(run.Err, "IApplicationWindows.EndModal").size(), 1u);
}

TEST(Cli, SqlPrintsHeaderAndRows)
{
    TTempDir dir("cli-sql");
    auto profile = dir / "profile";
    ASSERT_EQ(RunHamhost(profile, {"init"}).ExitCode, 0);
    auto insert = RunHamhost(profile, {"sql", "INSERT INTO CALLBOOK(OMCALL, OMNAME, CHK) VALUES('DL1ABC', \"Hans\", TRUE)"});
    ASSERT_EQ(insert.ExitCode, 0) << insert.Err;
    auto select = RunHamhost(profile, {"sql", "SELECT OMCALL, OMNAME FROM CALLBOOK WHERE CHK ORDER BY OMCALL"});
    ASSERT_EQ(select.ExitCode, 0) << select.Err;
    EXPECT_EQ(select.Out, "OMCALL\tOMNAME\nDL1ABC\tHans\n");
    auto bad = RunHamhost(profile, {"sql", "SELEC nonsense"});
    EXPECT_EQ(bad.ExitCode, 1);
    EXPECT_TRUE(Contains(bad.Err, "syntax error")) << bad.Err;
}

TEST(Cli, PluginsExportOnlyTheirTwoFunctions)
{
    for (const char* name : {"CallbookImport.ext", "CallbookExport.ext", "LogAppend.ext", "CallbookStore.ext"}) {
        auto nm = RunProgram("/usr/bin/nm", {"-D", "--defined-only", (PluginFolder() / name).string()});
        ASSERT_EQ(nm.ExitCode, 0) << nm.Err;
        std::vector<std::string> symbols;
        for (const auto& line : SplitLines(nm.Out)) symbols.push_back(line.substr(line.rfind(' ') + 1));
        std::sort(symbols.begin(), symbols.end());
        EXPECT_EQ(symbols, (std::vector<std::string>{"983BEDA12B2347028D99FF042C551640",
                                                     "983BEDA12B2347028D99FF042C551640_done"}))
            << name;
    }
}
