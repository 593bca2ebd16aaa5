// The store run as a user runs it: hamhost with the real plug-in, a logger
// installation built here, the logger's callbook inspected with sqlite3.
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <sstream>

extern char** environ;

namespace {

using TStrings = std::vector<std::string>;
constexpr const char* Menu = "Store Callbook to Zemrak log";

fs::path FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((fs::path(dir) / name).c_str(), X_OK) == 0) return fs::path(dir) / name;
    return {};
}

// An interactive sqlite3 session on a file: statements in, output out.
class TSqliteShell {
public:
    explicit TSqliteShell(const fs::path& database)
    {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        const std::string program = FindProgram("sqlite3").string(), file = database.string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        if (rc != 0) throw std::runtime_error("cannot start sqlite3");
    }
    ~TSqliteShell() { Finish(); }

    void Send(const std::string& text)
    {
        if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("cannot write to sqlite3");
    }
    // Reads the output until it holds text; false when the shell ended first.
    bool WaitFor(const std::string& text)
    {
        char buf[4096];
        while (output_.find(text) == std::string::npos) {
            pollfd fd{out_, POLLIN, 0};
            if (poll(&fd, 1, 60000) <= 0) return false;
            const ssize_t n = read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            output_.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Ends the session; answers its exit status.
    int Finish()
    {
        if (pid_ <= 0) return -1;
        close(in_);
        char buf[4096];
        while (read(out_, buf, sizeof buf) > 0) {
        }
        close(out_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return output_; }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string output_;
};

class StoreEndToEnd : public ::testing::Test {
protected:
    StoreEndToEnd() : dir_("store-e2e") {}

    void SetUp() override
    {
        ASSERT_FALSE(FindProgram("sqlite3").empty()) << "the sqlite3 command is needed (Debian package sqlite3)";
        profile_ = dir_ / "profile";
        ASSERT_EQ(RunHamhost(profile_, {"init"}).ExitCode, 0);
        // The logger's installation: its callbook file and its registry record.
        fs::create_directories(dir_ / "Zemrak_Log3" / "db");
        logger_ = dir_ / "Zemrak_Log3" / "db" / "DB.mdb";
        Sqlite(CallbookTableScript());
        WriteFileText(profile_ / "hkcu.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Zemrak_Log3]\r\n\"InstallPath\"=\"" +
                                                 (dir_ / "Zemrak_Log3").string() + "/\"\r\n");
    }

    // sqlite3 on the logger's file; rows as a|b|c with <null> for NULL.
    std::string Sqlite(const std::string& sql)
    {
        TRunResult run = RunProgram(FindProgram("sqlite3"), {"-bail", "-nullvalue", "<null>", logger_.string()}, sql);
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        return run.Out;
    }
    void HostSql(const std::string& jet)
    {
        TRunResult run = RunHamhost(profile_, {"sql", jet});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
    }
    TRunResult Store(const std::string& actions, const std::vector<std::string>& env = {})
    {
        WriteFileText(dir_ / "actions.txt", actions);
        return RunHamhost(profile_, {"run", Menu, "--actions", (dir_ / "actions.txt").string()}, {}, env);
    }
    TStrings HostLog() const
    {
        TStrings lines;
        for (const std::string& line : SplitLines(ReadFileText(profile_ / "host.log")))
            lines.push_back(line.substr(line.find('\t') + 1));
        return lines;
    }
    std::string Callbook()
    {
        return Sqlite("SELECT CALL,NAME,QTH,GRID,MANAGER,STATE,NOTE,CHECKED FROM CALLBOOK ORDER BY CALL;");
    }

    TTempDir dir_;
    fs::path profile_, logger_;
};

const std::regex DoneLine(R"(\* Done\. Elapsed time \d\d:\d\d:\d\d)");
const std::regex Elapsed(R"( \(\d\d:\d\d:\d\d\)$)");

} // namespace

TEST_F(StoreEndToEnd, StoresTheHostCallbookIntoTheLoggersCallbook)
{
    Sqlite("INSERT INTO CALLBOOK(CALL,NAME,QTH,NOTE,CHECKED) VALUES('Q1KNOWN','Tina',NULL,'old note',0);");
    HostSql("INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH,NOTES,CHK) VALUES"
            "('Q1KNOWN','Tom','Town','LotW:2024-01-02 hello Email:t@q1.example',TRUE),"
            "('Q1NEW','Ann',NULL,'O''Neil''s note',FALSE),('Q1ONLY',NULL,NULL,NULL,NULL),"
            "('Q1VERYLONGCALLSIGN123','Long',NULL,NULL,TRUE)");
    HostSql("UPDATE CALLBOOK SET GRIDSQUARE='FN42AB' WHERE OMCALL='Q1NEW'");

    TRunResult run = Store("check cgProc use extra info keywords\nclick Store\nclose\n");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    // The run wrote its error file and says where it is.
    EXPECT_EQ(run.Err, "hamhost: lines of this run's errors are in " +
                           (profile_ / "download" / "CallbookStore.err").string() + "\n");
    TStrings memo = SplitLines(run.Out);
    ASSERT_EQ(memo.size(), 4u) << run.Out;
    EXPECT_EQ(memo[0], "* Use Callbook as source, Zemrak Log as target");
    EXPECT_EQ(memo[1], "   Callsigns: 4 in source, 1 in target");
    EXPECT_EQ(memo[2], "   Processed, All:4 Ins:1 Upd:1 Err:2");
    EXPECT_TRUE(std::regex_match(memo[3], DoneLine)) << memo[3];

    EXPECT_EQ(Callbook(), "Q1KNOWN|Tina|Town|<null>|<null>|<null>|LotW:2024-01-02 Email:t@q1.example|1\n"
                          "Q1NEW|Ann|<null>|FN42AB|<null>|<null>|O\"Neil\"s note|0\n");
    EXPECT_EQ(ReadFileText(profile_ / "download" / "CallbookStore.err"),
              "Q1ONLY\t: absent attributes\r\n"
              "Q1VERYLONGCALLSIGN123\t> INSERT INTO CALLBOOK(CALL,[NAME],Checked) "
              "VALUES('Q1VERYLONGCALLSIGN123','Long',TRUE);\r\n");
    TStrings log = HostLog();
    ASSERT_EQ(log.size(), 4u) << ReadFileText(profile_ / "host.log");
    EXPECT_EQ(log[0], "Connect Zemrak log database: " + logger_.string());
    EXPECT_EQ(log[1], "Disconnect Zemrak log database.");
    EXPECT_EQ(std::regex_replace(log[2], Elapsed, ""),
              "Exec: Store Callbook into Zemrak log, done. Processed, All:4 Ins:1 Upd:1 Err:2");
    EXPECT_TRUE(std::regex_search(log[2], Elapsed)) << log[2];
    EXPECT_EQ(log[3], "Command: REFRESH 0");
    const std::string settings = ReadFileText(profile_ / "host.ini");
    EXPECT_NE(settings.find("[Zemrak Callbook]"), std::string::npos) << settings;
    for (const char* line : {"Mark=1", "Over=0", "Xtra=1", "Save=0"})
        EXPECT_NE(settings.find(line), std::string::npos) << line << "\n" << settings;

    // Again without the keywords or the marks: everything is known and kept
    // now, so the run writes nothing, sends no refresh and forgets the changed
    // options.
    TRunResult again = Store("uncheck cgProc use extra info keywords\nuncheck cgProc checkmarks for verified\n"
                             "click Store\nclose\n");
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_EQ(SplitLines(again.Out)[2], "   Processed, All:4 Err:4");
    log = HostLog();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[6], "Exec: Store Callbook into Zemrak log, nothing to do.");
    EXPECT_EQ(ReadFileText(profile_ / "host.ini"), settings);
    EXPECT_EQ(Callbook(), "Q1KNOWN|Tina|Town|<null>|<null>|<null>|LotW:2024-01-02 Email:t@q1.example|1\n"
                          "Q1NEW|Ann|<null>|FN42AB|<null>|<null>|O\"Neil\"s note|0\n");
    EXPECT_EQ(Sqlite("PRAGMA integrity_check; PRAGMA journal_mode;"), "ok\ndelete\n");
}

TEST_F(StoreEndToEnd, RunsInAGermanLocale)
{
    const TLocaleEnv german = GermanLocaleEnv();
    if (german.Env.empty()) GTEST_SKIP() << german.Problem;
    Sqlite("INSERT INTO CALLBOOK(CALL,NAME,NOTE,CHECKED) VALUES('Q1KNOWN','Tina','old note',0);");
    HostSql("INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH,NOTES,CHK) VALUES"
            "('Q1KNOWN','Tom','Town','LotW:02.01.2024 hello',TRUE),('Q1NEW','Ann',NULL,'note',FALSE)");
    TRunResult run = Store("check cgProc use extra info keywords\nclick Store\nclose\n", german.Env);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(SplitLines(run.Out).at(2), "   Processed, All:2 Ins:1 Upd:1");
    EXPECT_EQ(Callbook(), "Q1KNOWN|Tina|Town|<null>|<null>|<null>|LotW:02.01.2024|1\n"
                          "Q1NEW|Ann|<null>|<null>|<null>|<null>|note|0\n");
}

TEST_F(StoreEndToEnd, ALoggerFileLockedByAnotherProgramIsReportedAndLeftWhole)
{
    Sqlite("INSERT INTO CALLBOOK(CALL,NAME) VALUES('Q1KNOWN','Tina');");
    HostSql("INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH) VALUES('Q1KNOWN','Tom','Town'),('Q1NEW','Ann',NULL)");

    TSqliteShell other(logger_);
    other.Send("BEGIN IMMEDIATE;\n.print locked\n");
    ASSERT_TRUE(other.WaitFor("locked\n")) << other.Output();

    TRunResult run = Store("click Store\nclose\n");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, "Error: File '" + logger_.string() +
                           "': database is locked (another program is using it). Nothing was written.\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(HostLog(),
              (TStrings{"Connect Zemrak log database: " + logger_.string(), "Disconnect Zemrak log database."}));
    EXPECT_EQ(ReadFileText(profile_ / "host.ini").find("[Zemrak Callbook]"), std::string::npos);

    other.Send("ROLLBACK;\n.print released\n");
    ASSERT_TRUE(other.WaitFor("released\n")) << other.Output();
    EXPECT_EQ(other.Finish(), 0) << other.Output();
    EXPECT_EQ(Sqlite("PRAGMA integrity_check;"), "ok\n");
    EXPECT_EQ(Callbook(), "Q1KNOWN|Tina|<null>|<null>|<null>|<null>|<null>|0\n");

    // Once the other program is done the same run goes through.
    TRunResult after = Store("click Store\nclose\n");
    EXPECT_EQ(after.Err, "");
    EXPECT_EQ(SplitLines(after.Out)[2], "   Processed, All:2 Ins:1 Upd:1");
    EXPECT_EQ(Callbook(),
              "Q1KNOWN|Tina|Town|<null>|<null>|<null>|<null>|0\nQ1NEW|Ann|<null>|<null>|<null>|<null>|<null>|0\n");
}

TEST_F(StoreEndToEnd, AnAccessFileAsTheLoggersCallbookIsRefusedAndLeftAsItWas)
{
    const std::string access = ReadFileText(fs::path(HAM_SOURCE_DIR) / "tests" / "data" / "jet" / "nwind.mdb");
    WriteFileText(logger_, access);
    HostSql("INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('Q1NEW','Ann')");

    TRunResult run = Store("click Store\nclose\n");
    EXPECT_EQ(run.ExitCode, 1); // the dialog refused to open
    EXPECT_NE(run.Err.find("Fatal error: The logger's database is an Access file:\r\n" + logger_.string() +
                           "\r\nAccess files are read, never written, here."),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(HostLog(), TStrings{}); // never connected
    EXPECT_TRUE(ReadFileText(logger_) == access);
    EXPECT_EQ(ReadFileText(profile_ / "host.ini").find("[Zemrak Callbook]"), std::string::npos);
}
