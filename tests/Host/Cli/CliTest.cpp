// hamhost as a user runs it.
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

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
    EXPECT_EQ(
        SplitLines(list.Out),
        (std::vector<std::string>{
            "Name\tVersion\tKind\tID",
            "Export Callbook as Zemrak updates\t1.04.019 (1730)\tExport (0)\t{DB195330-D19A-44AE-9D82-60CAE2F71C04}",
            "Import Zemrak updates into Callbook\t1.04.019 (1725)\tImport (2)\t{E17AD245-4828-48E9-B786-1E8C0850E86F}",
            "Store Callbook into Zemrak log\t1.04.019 (1730)\tExport (0)\t{6E370247-8E97-4B10-95D5-68875CEC2715}",
            "Append Zemrak log data into current log\t1.04.019 (1904)\tLogbook "
            "(1)\t{1A177FF2-5870-4621-B46F-D604003EFDB8}",
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
    auto run = RunHamhost(
        profile, {"--trace", "run", "Store Callbook to Zemrak log", "--actions", (dir / "actions.txt").string()});
    EXPECT_EQ(run.ExitCode, 2) << run.Err; // the failed action line
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
    auto insert =
        RunHamhost(profile, {"sql", "INSERT INTO CALLBOOK(OMCALL, OMNAME, CHK) VALUES('DL1ABC', \"Hans\", TRUE)"});
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
        // Local entries of the dynamic table (the sanitizers add some) bind
        // nothing; only external ones are exported.
        auto nm =
            RunProgram("/usr/bin/nm", {"-D", "--defined-only", "--extern-only", (PluginFolder() / name).string()});
        ASSERT_EQ(nm.ExitCode, 0) << nm.Err;
        std::vector<std::string> symbols;
        for (const auto& line : SplitLines(nm.Out))
            symbols.push_back(line.substr(line.rfind(' ') + 1));
        std::sort(symbols.begin(), symbols.end());
        EXPECT_EQ(symbols, (std::vector<std::string>{"983BEDA12B2347028D99FF042C551640",
                                                     "983BEDA12B2347028D99FF042C551640_done"}))
            << name;
    }
}

TEST(Cli, HelpVersionAndNoCommand)
{
    for (const char* flag : {"--help", "-h"}) {
        auto help = RunProgram(HamhostPath(), {flag});
        EXPECT_EQ(help.ExitCode, 0) << flag;
        EXPECT_TRUE(Contains(help.Out, "usage: hamhost")) << flag;
        EXPECT_EQ(help.Err, "") << flag;
    }
    auto version = RunProgram(HamhostPath(), {"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, "hamhost " HAM_VERSION "\n");
    auto none = RunProgram(HamhostPath(), {});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_EQ(none.Out, "");
    EXPECT_TRUE(Contains(none.Err, "usage: hamhost")) << none.Err;
}

// The exit status of run tells a script how the dialog went.
class CliRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TTempDir("cli-status");
        ASSERT_EQ(RunHamhost(*dir_ / "demo", {"init", "--demo"}).ExitCode, 0);
        ASSERT_EQ(RunHamhost(*dir_ / "plain", {"init"}).ExitCode, 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static TRunResult Run(const std::string& profile, const std::string& command, const std::string& actions)
    {
        const fs::path file = *dir_ / "actions.txt";
        WriteFileText(file, actions);
        return RunHamhost(*dir_ / profile, {"run", command, "--actions", file.string()});
    }
    static TTempDir* dir_;
};
TTempDir* CliRun::dir_ = nullptr;

TEST_F(CliRun, ACommandIsFoundByCaptionOrPluginNameInAnyCase)
{
    for (const char* name : {"Store Callbook to Zemrak log", "Store Callbook into Zemrak log",
                             "STORE CALLBOOK INTO ZEMRAK LOG", "store callbook to zemrak log"}) {
        auto run = Run("demo", name, "close\n");
        EXPECT_EQ(run.ExitCode, 0) << name << "\n" << run.Err;
        EXPECT_EQ(run.Err, "") << name;
    }
    auto unknown = Run("demo", "Store Callbook", "close\n");
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_TRUE(Contains(unknown.Err, "No menu command \"Store Callbook\"")) << unknown.Err;
    // The commands are listed, each with its plug-in's name where that differs.
    EXPECT_TRUE(Contains(unknown.Err, "  Store Callbook to Zemrak log  (Store Callbook into Zemrak log)\n"))
        << unknown.Err;
    EXPECT_TRUE(Contains(unknown.Err, "  Append Zemrak log data into current log\n")) << unknown.Err;
}

TEST_F(CliRun, ExitStatusOfARun)
{
    const fs::path logger = *dir_ / "demo" / "zemrak" / "db" / "DB.mdb";
    const std::string store = "Store Callbook to Zemrak log";
    {
        SCOPED_TRACE("a run that ends normally");
        auto run = Run("demo", store, "click Store\nclose\n");
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_TRUE(Contains(run.Out, "* Done.")) << run.Out;
    }
    {
        SCOPED_TRACE("the dialog refuses to open: no logger installation");
        auto run = Run("plain", store, "click Store\nclose\n");
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Contains(run.Err, "Zemrak_Log3 not installed")) << run.Err;
    }
    {
        // The dialog opens, shows the error of its activation and keeps its
        // run button disabled.
        SCOPED_TRACE("the dialog shows an error message");
        const std::string saved = ReadFileText(logger);
        WriteFileText(logger, "not a database\n");
        auto run = Run("demo", store, "close\n");
        WriteFileText(logger, saved);
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Contains(run.Err, "Error: ")) << run.Err;
    }
    {
        SCOPED_TRACE("a failed action line; the dialog plays to the end");
        auto run = Run("demo", store, "click Nothing\nclick Store\nclose\n");
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(Contains(run.Err, "line 1:")) << run.Err;
        EXPECT_TRUE(Contains(run.Out, "* Done.")) << run.Out;
    }
    {
        SCOPED_TRACE("actions that cannot be read");
        for (const fs::path& file : {*dir_ / "no-such-file", *dir_ / "demo"}) {
            auto run = RunHamhost(*dir_ / "demo", {"run", store, "--actions", file.string()});
            EXPECT_EQ(run.ExitCode, 2) << file;
            EXPECT_TRUE(Contains(run.Err, "cannot read actions file")) << run.Err;
            EXPECT_EQ(run.Out, "") << file;
        }
    }
}

TEST(Cli, SqlRefusesAnEmptyStatementAndTextAfterTheFirst)
{
    TTempDir dir("cli-sql-refused");
    auto profile = dir / "profile";
    ASSERT_EQ(RunHamhost(profile, {"init"}).ExitCode, 0);
    struct Case {
        const char* sql;
        int exitCode;
        const char* err;
    } cases[] = {
        {"", 2, "the statement is empty"},
        {"  ; ", 2, "the statement is empty"},
        {"INSERT INTO CALLBOOK(OMCALL) VALUES('Q1A'); DELETE FROM CALLBOOK", 2, "text after the first statement"},
        {"SELECT COUNT(*) AS N FROM CALLBOOK;  ", 0, ""},
    };
    for (const auto& c : cases) {
        auto run = RunHamhost(profile, {"sql", c.sql});
        EXPECT_EQ(run.ExitCode, c.exitCode) << c.sql;
        EXPECT_TRUE(Contains(run.Err, c.err)) << c.sql << "\n" << run.Err;
    }
    // Nothing of the refused text ran.
    EXPECT_EQ(RunHamhost(profile, {"sql", "SELECT COUNT(*) AS N FROM CALLBOOK"}).Out, "N\n0\n");
}

TEST(Cli, AnUnusableFileInThePluginFolderIsSkipped)
{
    TTempDir dir("cli-broken");
    auto profile = dir / "profile";
    ASSERT_EQ(RunHamhost(profile, {"init"}).ExitCode, 0);
    const fs::path plugins = dir / "plugins";
    fs::create_directory(plugins);
    for (const char* name : {"CallbookImport.ext", "LogAppend.ext"})
        fs::create_symlink(PluginFolder() / name, plugins / name);
    WriteFileText(plugins / "Empty.ext", "");
    WriteFileText(plugins / "Text.ext", "not a library\n");
    fs::copy_file(PluginFolder() / "liboleaut.so", plugins / "NoExports.ext"); // a library, not a plug-in
    auto list = RunHamhost(profile, {"--plugins", plugins.string(), "plugins"});
    EXPECT_EQ(list.ExitCode, 0) << list.Err;
    const auto lines = SplitLines(list.Out);
    ASSERT_EQ(lines.size(), 3u) << list.Out;
    EXPECT_EQ(lines[1].substr(0, lines[1].find('\t')), "Import Zemrak updates into Callbook");
    EXPECT_EQ(lines[2].substr(0, lines[2].find('\t')), "Append Zemrak log data into current log");
    for (const char* name : {"Empty.ext", "Text.ext", "NoExports.ext"})
        EXPECT_TRUE(Contains(list.Err, std::string("skipped ") + name + ": ")) << list.Err;
}
