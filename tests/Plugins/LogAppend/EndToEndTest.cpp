// LogAppend as a user runs it: hamhost, the real plug-in, a logger
// installation whose log database is built here, dialog actions from a file.
#include "Platform/IniFile/IniFile.h"
#include "tests/Plugins/LogAppend/LoggerFiles.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* Caption = "Append Zemrak log data into current log";

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

int Count(const std::string& text, const std::string& piece)
{
    int n = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

class LogAppendEndToEnd : public ::testing::Test {
protected:
    LogAppendEndToEnd() : dir_("logappend-e2e")
    {
        auto init = RunHamhost(Profile(), {"init"});
        EXPECT_EQ(init.ExitCode, 0) << init.Err;
        logs_ = std::make_unique<logger::TLogDatabase>(dir_.Path() / "zemrak", Profile() / "hkcu.reg");
        logs_->AddLog("Main", "N0CALL", "LOG1", "'Berlin'");
        logs_->AddLog("Someone else", "W1AW", "LOG2");
        HostSetting("LOG.EXPIRE", "2024-06-30 12:00");
    }

    fs::path Profile() const { return dir_.Path() / "profile"; }
    void HostSetting(const std::string& key, const std::string& value)
    {
        TIniFile((Profile() / "host.ini").string(), "Host").WriteString(key, value);
    }

    TRunResult Run(const std::string& actions, const std::vector<std::string>& env = {})
    {
        WriteFileText(dir_.Path() / "actions.txt", actions);
        return RunHamhost(Profile(), {"run", Caption, "--actions", (dir_.Path() / "actions.txt").string()}, {}, env);
    }

    std::vector<std::string> Sql(const std::string& statement)
    {
        auto r = RunHamhost(Profile(), {"sql", statement});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        auto lines = SplitLines(r.Out);
        if (!lines.empty()) lines.erase(lines.begin()); // header
        return lines;
    }

    std::string HostLog() { return ReadFileText(Profile() / "host.log"); }

    TTempDir dir_;
    std::unique_ptr<logger::TLogDatabase> logs_;
};

} // namespace

TEST_F(LogAppendEndToEnd, FirstRunInsertsSecondRunUpdatesConfirmations)
{
    const std::string longInfo = "Met at the rally; " + std::string(290, 'x');
    logs_->Add("LOG1", logger::Qso("dl1abc", "2024-05-01", "10:00", {{"OMName", "'Hans'"}, {"QSLSentAdv", "'N'"}}));
    logs_->Add(
        "LOG1",
        logger::Qso("G4XYZ", "2024-05-02", "18:30",
                    {{"QSOBand", "'3,5'"}, {"DigiBand", "3.5"}, {"QSOMode", "'usb'"}, {"QSLManager", "'G4XYZ/P'"}}));
    logs_->Add("LOG1", logger::Qso("UA3AAA", "2024-06-30", "21:15",
                                   {{"QSOBand", "'14360'"},
                                    {"DigiBand", "14.36"},
                                    {"QSOMode", "'FSK441'"},
                                    {"QSOAddInfo", "'" + longInfo + "'"}}));
    logs_->Add("LOG1", logger::Qso("W1AW", "2024-07-01", "00:01"));  // after the expiry day
    logs_->Add("LOG2", logger::Qso("K1ABC", "2024-05-01", "10:00")); // another operator's log

    auto first = Run("select cbLog Main\nclick Load\nclose\n");
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    EXPECT_TRUE(Contains(first.Out, "* Use log \"Main (Berlin)\" for N0CALL\n")) << first.Out;
    EXPECT_TRUE(Contains(first.Out, "* Done. Processed: All:3, Ins:3, Cor:2 (00:00:")) << first.Out;
    EXPECT_TRUE(
        Contains(HostLog(), "\tExec: Append Zemrak log data into current log; processed: All:3, Ins:3, Cor:2 ("))
        << HostLog();
    EXPECT_EQ(Count(HostLog(), "\tCommand: REFRESH 0\n"), 1);
    EXPECT_TRUE(Contains(HostLog(), "\tConnect Zemrak log database: " + logs_->Path() + "\n"));
    EXPECT_TRUE(Contains(HostLog(), "\tDisconnect Zemrak log database.\n"));

    EXPECT_EQ(Sql("SELECT OMCALL,QSODATE,QSOBAND,QSOMODE,QSOFREQ,OMNAME,QSLSTAT,QSLMANAGER,length(QSLINFO),"
                  "CALLSIGN,LOGNAME FROM LOGS ORDER BY QSODATE"),
              (std::vector<std::string>{
                  "DL1ABC\t2024-05-01 10:00:00\t20M\tFT8\t14.074\tHans\tN\t\t\tN0CALL\tMAIN",
                  "G4XYZ\t2024-05-02 18:30:00\t80M\tUSB\t3.5\t\t\t\t\tN0CALL\tMAIN",
                  "UA3AAA\t2024-06-30 21:15:00\t\t\t14.36\t\t\t\t255\tN0CALL\tMAIN",
              }));
    const auto errors = SplitLines(ReadFileText(Profile() / "download" / "LogAppend.err"));
    EXPECT_EQ(errors,
              (std::vector<std::string>{"G4XYZ\t? \"G4XYZ/P\" instead of QSL Manager", "UA3AAA\t? " + longInfo}));

    // Confirmations arrive in the logger; the second run brings them over.
    logs_->Exec("UPDATE LOG1 SET QSLRec=1, QSLRecDate='2024-07-10 00:00:00', LoTWRec=1 WHERE CallSign='dl1abc'");
    auto second = Run("click Load\n");
    ASSERT_EQ(second.ExitCode, 0) << second.Err;
    EXPECT_TRUE(Contains(second.Out, "* Done. Processed: All:3, Upd:3, Cor:2 (")) << second.Out;
    EXPECT_TRUE(Contains(HostLog(), "processed: All:3, Upd:3, Cor:2 ("));
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM LOGS"), std::vector<std::string>{"3"});
    EXPECT_EQ(Sql("SELECT OMCALL,QSLRECV,QSLRECVDATE,LOTWRCVD FROM LOGS ORDER BY QSODATE"),
              (std::vector<std::string>{"DL1ABC\t1\t2024-07-10 00:00:00\t1", "G4XYZ\t0\t\t0", "UA3AAA\t0\t\t0"}));
    EXPECT_EQ(Count(HostLog(), "\tCommand: REFRESH 0\n"), 2);

    // Settings of the last close.
    TIniFile ini((Profile() / "host.ini").string(), "Zemrak Log");
    EXPECT_EQ(ini.ReadString("Log", ""), "Main");
    EXPECT_EQ(ini.ReadString("Delta", ""), "2");
}

// The host hands LOG.EXPIRE in its one documented form; the user's locale
// (dd.mm.yyyy here) must not change how it is read.
TEST_F(LogAppendEndToEnd, RunsInAGermanLocale)
{
    const TLocaleEnv german = GermanLocaleEnv();
    if (german.Env.empty()) GTEST_SKIP() << german.Problem;
    HostSetting("LOG.EXPIRE", "2030-12-31 23:59:59");
    logs_->Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00", {{"QSOBand", "'3,5'"}, {"DigiBand", "3.5"}}));
    logs_->Add("LOG1", logger::Qso("W1AW", "2031-01-01", "00:01")); // after the expiry day
    auto run = Run("click Load\nclose\n", german.Env);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Out, "* Done. Processed: All:1, Ins:1")) << run.Out << run.Err;
    EXPECT_EQ(Sql("SELECT OMCALL,QSODATE,QSOBAND,QSOFREQ FROM LOGS"),
              std::vector<std::string>{"DL1ABC\t2024-05-01 10:00:00\t80M\t3.5"});
}

// Two QSOs with one station on one band and mode a minute apart: each source
// QSO updates its own host row only, whatever the window.
TEST_F(LogAppendEndToEnd, NeighbouringQsosKeepTheirOwnConfirmations)
{
    logs_->Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:07"));
    logs_->Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:08"));
    auto first = Run("select cbLog Main\nclick Load\nclose\n");
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    EXPECT_TRUE(Contains(first.Out, "* Done. Processed: All:2, Ins:2 (")) << first.Out;

    logs_->Exec("UPDATE LOG1 SET QSLRec=1, QSLRecDate='2024-07-10 00:00:00' WHERE QSOTime='10:08'");
    auto second = Run("click Load\nclose\n");
    ASSERT_EQ(second.ExitCode, 0) << second.Err;
    EXPECT_TRUE(Contains(second.Out, "* Done. Processed: All:2, Upd:2 (")) << second.Out;
    EXPECT_EQ(Sql("SELECT QSODATE,QSLRECV,QSLRECVDATE FROM LOGS ORDER BY QSODATE"),
              (std::vector<std::string>{"2024-05-01 10:07:00\t0\t", "2024-05-01 10:08:00\t1\t2024-07-10 00:00:00"}));
}

TEST_F(LogAppendEndToEnd, AnEmptySelectionStillSendsRefresh)
{
    logs_->Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00"));
    auto run = Run("set dtMinDate 2024-05-02\nclick Load\n");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Out, "* Done. Processed: All:0 (")) << run.Out;
    EXPECT_TRUE(Contains(HostLog(), "processed: All:0 ("));
    EXPECT_EQ(Count(HostLog(), "\tCommand: REFRESH 0\n"), 1);
    EXPECT_TRUE(Sql("SELECT ID FROM LOGS").empty());
}

TEST_F(LogAppendEndToEnd, AnExpiryThatIsNoDateEndsTheClickAction)
{
    HostSetting("LOG.EXPIRE", "sometime");
    auto run = Run("click Load\n");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, "'sometime'")) << run.Err;
    EXPECT_FALSE(Contains(HostLog(), "Connect Zemrak log database"));
}

// The logger installed under Wine: found through Wine's own registry file,
// its folders and files in other letter cases than the registered path, with
// no registry file of our own.
TEST_F(LogAppendEndToEnd, ALoggerInstalledUnderWineIsFound)
{
    logs_->Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00"));
    const fs::path prefix = dir_.Path() / "wine";
    const fs::path install = prefix / "drive_c" / "program files" / "ZEMRAK_LOG3";
    fs::create_directories(install / "DB");
    fs::copy_file(logs_->Path(), install / "DB" / "Logs.MDB");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    WriteFileText(prefix / "user.reg", "WINE REGISTRY Version 2\n"
                                       ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                                       "#arch=win64\n\n"
                                       "[Software\\\\Zemrak_Log3] 1733900001\n"
                                       "#time=1d94bbf5b0c0e11\n"
                                       "\"InstallPath\"=\"C:\\\\Program Files\\\\Zemrak_Log3\\\\\"\n");
    fs::remove(Profile() / "hkcu.reg");
    fs::create_directories(dir_.Path() / "home");

    WriteFileText(dir_.Path() / "actions.txt", "select cbLog Main\nclick Load\nclose\n");
    auto run = RunHamhost(Profile(), {"run", Caption, "--actions", (dir_.Path() / "actions.txt").string()}, "",
                          {"HKCU_REGISTRY_FILE=", "XDG_CONFIG_HOME=", "HOME=" + (dir_.Path() / "home").string(),
                           "WINEPREFIX=" + prefix.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_TRUE(Contains(run.Out, "* Done. Processed: All:1, Ins:1")) << run.Out;
    EXPECT_TRUE(Contains(HostLog(), "\tConnect Zemrak log database: " + (install / "DB" / "Logs.MDB").string() + "\n"))
        << HostLog();
    EXPECT_EQ(Sql("SELECT OMCALL FROM LOGS"), std::vector<std::string>{"DL1ABC"});
}

// A real Access file as the log database is read (not refused as "not a
// database"); this one holds no log list, which is reported, and nothing is
// appended.
TEST_F(LogAppendEndToEnd, AnAccessLogDatabaseIsReadAndItsMissingLogListReported)
{
    fs::copy_file(fs::path(HAM_SOURCE_DIR) / "tests" / "data" / "jet" / "nwind.mdb", logs_->Path(),
                  fs::copy_options::overwrite_existing);
    const std::string before = ReadFileText(logs_->Path());
    auto run = Run("click Load\nclose\n");
    EXPECT_TRUE(Contains(run.Err, "no such table: ACONFIG")) << run.Err;
    EXPECT_FALSE(Contains(run.Err, "not a database")) << run.Err;
    EXPECT_TRUE(Contains(HostLog(), "\tConnect Zemrak log database: " + logs_->Path() + "\n")) << HostLog();
    EXPECT_TRUE(Sql("SELECT ID FROM LOGS").empty());
    EXPECT_TRUE(ReadFileText(logs_->Path()) == before);
}
