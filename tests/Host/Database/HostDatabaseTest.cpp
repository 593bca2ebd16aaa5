// The host database through the real IHostServer of an in-process host, and
// the demo profile through hamhost itself.
#include "Host/Host.h"
#include "Platform/Ado/Ado.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/Registry/Registry.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

namespace {

std::string Day(TDateTime value)
{
    return DateTimeToCanonical(value).substr(0, 10);
}

class HostDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_.Options.PluginDir = host_.Dir() / "none";
        server_ = ComPtr<IHostServer>::Query(host_.Start("DatabaseTest.ext"), IID_IHostServer);
        ASSERT_TRUE(server_);
    }

    // ExecSQL's result; the call itself must succeed.
    std::int32_t Exec(const std::string& sql)
    {
        std::int32_t result = -1;
        EXPECT_EQ(server_->ExecSQL(WideString(sql).c_bstr(), &result), S_OK) << sql;
        return result;
    }
    QueryHandle Open(const std::string& sql)
    {
        QueryHandle h = 0;
        EXPECT_EQ(server_->CreateQuery(&h), S_OK);
        EXPECT_EQ(server_->OpenQuery(h, WideString(sql).c_bstr()), S_OK) << sql;
        return h;
    }
    std::int32_t Count(QueryHandle h)
    {
        std::int32_t n = -1;
        EXPECT_EQ(server_->GetRecordCount(h, &n), S_OK);
        return n;
    }
    // The current row's field; nullopt for NULL.
    std::optional<std::string> Get(QueryHandle h, const std::string& field)
    {
        WideString value;
        BOOL32 has = 0;
        EXPECT_EQ(server_->GetString(h, WideString(field).c_bstr(), value.Out(), &has), S_OK) << field;
        if (!has) {
            EXPECT_TRUE(value.Empty());
            return std::nullopt;
        }
        return value.Utf8();
    }
    bool Eof(QueryHandle h)
    {
        BOOL32 eof = 0;
        EXPECT_EQ(server_->Eof(h, &eof), S_OK);
        return eof != 0;
    }
    // Every value of field, walking the result as the plug-ins do.
    std::vector<std::string> Column(const std::string& sql, const std::string& field)
    {
        QueryHandle h = Open(sql);
        std::vector<std::string> out;
        EXPECT_EQ(server_->First(h), S_OK);
        while (!Eof(h)) {
            out.push_back(Get(h, field).value_or("<null>"));
            EXPECT_EQ(server_->Next(h), S_OK);
        }
        EXPECT_EQ(server_->CloseQuery(h), S_OK);
        EXPECT_EQ(server_->FreeQuery(h), S_OK);
        return out;
    }
    bool Locate(QueryHandle h, const std::string& field, const std::string& value)
    {
        BOOL32 found = 0;
        EXPECT_EQ(server_->Locate(h, WideString(field).c_bstr(), WideString(value).c_bstr(), &found), S_OK);
        return found != 0;
    }

    TTestHost host_{"host-database"};
    ComPtr<IHostServer> server_;
};

} // namespace

// The loaders' statement shapes: a row is valid today when its ENDDATE is
// NULL or not before today and its STARTDATE NULL or not after today; rows
// whose expression is NULL or empty are never loaded.
TEST_F(HostDatabase, DictionaryRowsValidToday)
{
    const std::string yesterday = Day(Date() - 1), today = Day(Date()), tomorrow = Day(Date() + 1);
    struct TRow {
        int Id;
        std::string Expression, Start, End; // Jet literals
    };
    const std::vector<TRow> rows = {
        {1, "'A1'", "NULL", "NULL"},                // valid every day
        {2, "'A2'", "NULL", "#" + today + "#"},     // last day today
        {3, "'A3'", "#" + tomorrow + "#", "NULL"},  // not yet
        {4, "'A4'", "#" + today + "#", "NULL"},     // first day today
        {5, "'A5'", "NULL", "#" + yesterday + "#"}, // over
        {6, "\"\"", "NULL", "NULL"},                // empty expression
        {7, "NULL", "NULL", "NULL"},                // no expression
        {8, "'A8'", "#" + yesterday + " 12:00#", "#" + tomorrow + " 00:00#"},
    };
    for (const auto& r : rows) {
        const std::string dates = r.Start + "," + r.End + ")";
        ASSERT_EQ(Exec("INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE,STARTDATE,ENDDATE) "
                       "VALUES(" +
                       std::to_string(r.Id) + "," + r.Expression + ",'X','EU','1','1','1'," + dates),
                  1);
        ASSERT_EQ(Exec("INSERT INTO PROVINCE(ID,PREFIXLIST,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE,STARTDATE,"
                       "ENDDATE) VALUES(" +
                       std::to_string(r.Id) + "," + r.Expression + ",'X','X','EU',1,'1','1'," + dates),
                  1);
        ASSERT_EQ(Exec("INSERT INTO UNIQUECALL(ID,CALLSIGN,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE,STARTDATE,"
                       "ENDDATE) VALUES(" +
                       std::to_string(r.Id) + "," + r.Expression + ",'X','X','EU',1,1,1," + dates),
                  1);
    }
    const std::string tail = "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" + today + "#) ORDER BY ID";
    const std::vector<std::string> expected = {"1", "2", "4", "8"};
    EXPECT_EQ(
        Column("SELECT * FROM UNIQUECALL WHERE (CALLSIGN IS NOT NULL AND CALLSIGN>\"\") AND (ENDDATE IS NULL OR #" +
                   today + tail,
               "ID"),
        expected);
    for (const char* table : {"PROVINCE", "COUNTRY"})
        EXPECT_EQ(Column(std::string("SELECT * FROM ") + table +
                             " WHERE (PREFIXLIST IS NOT NULL AND PREFIXLIST>\"\") AND (ENDDATE IS NULL OR #" + today +
                             tail,
                         "ID"),
                  expected)
            << table;

    // The dates read back in parts; NULL has no value.
    QueryHandle h = Open("SELECT STARTDATE, ENDDATE FROM COUNTRY WHERE ID=8");
    WORD y, mo, d, hh, mi, s;
    BOOL32 has = 0;
    ASSERT_EQ(server_->GetDateTime(h, WideString("StartDate").c_bstr(), &y, &mo, &d, &hh, &mi, &s, &has), S_OK);
    EXPECT_TRUE(has);
    EXPECT_EQ(DateTimeToCanonical(EncodeDate(y, mo, d) + EncodeTime(hh, mi, s)), yesterday + " 12:00:00");
    EXPECT_EQ(server_->OpenQuery(h, WideString("SELECT STARTDATE FROM COUNTRY WHERE ID=1").c_bstr()), S_OK);
    ASSERT_EQ(server_->GetDateTime(h, WideString("STARTDATE").c_bstr(), &y, &mo, &d, &hh, &mi, &s, &has), S_OK);
    EXPECT_FALSE(has);
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}

TEST_F(HostDatabase, BareBooleanConditionsAndNulls)
{
    ASSERT_EQ(
        Exec("INSERT INTO CALLBOOK(OMCALL,OMNAME,Use_LOTW,LOTWACTDATE,CHK) VALUES('K1A','Al',TRUE,#2023-05-01#,TRUE)"),
        1);
    ASSERT_EQ(
        Exec("INSERT INTO CALLBOOK(OMCALL,OMNAME,Use_LOTW,LOTWACTDATE,CHK) VALUES('K1B','',TRUE,#2019-05-01#,FALSE)"),
        1);
    ASSERT_EQ(Exec("INSERT INTO CALLBOOK(OMCALL,Use_LOTW,LOTWACTDATE) VALUES('K1C',FALSE,#2023-05-01#)"), 1);
    ASSERT_EQ(Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('K1D')"), 1);

    EXPECT_EQ(
        Column("SELECT OMCALL FROM CALLBOOK WHERE Use_LOTW AND LOTWACTDATE>=#2020-01-01# ORDER BY OMCALL", "OMCALL"),
        (std::vector<std::string>{"K1A"}));
    EXPECT_EQ(Column("SELECT OMCALL FROM CALLBOOK WHERE CHK OR (Use_LOTW AND LOTWACTDATE<#2020-01-01#) ORDER BY OMCALL",
                     "OMCALL"),
              (std::vector<std::string>{"K1A", "K1B"}));
    EXPECT_EQ(Column("SELECT OMCALL FROM CALLBOOK WHERE NOT Use_LOTW ORDER BY OMCALL", "OMCALL"),
              (std::vector<std::string>{"K1C"}));
    // NULL has no value, an empty text has one.
    EXPECT_EQ(Column("SELECT OMCALL, OMNAME FROM CALLBOOK ORDER BY OMCALL", "OMNAME"),
              (std::vector<std::string>{"Al", "", "<null>", "<null>"}));
    // The empty string in a condition excludes empty texts and NULLs.
    EXPECT_EQ(Column("SELECT OMCALL FROM CALLBOOK WHERE OMNAME>\"\" ORDER BY OMCALL", "OMCALL"),
              (std::vector<std::string>{"K1A"}));

    QueryHandle h = Open("SELECT OMCALL, CHK FROM CALLBOOK WHERE OMCALL='K1D'");
    BOOL32 value = 1, has = 1;
    ASSERT_EQ(server_->GetBoolean(h, WideString("chk").c_bstr(), &value, &has), S_OK);
    EXPECT_FALSE(has);
    EXPECT_FALSE(value);
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}

// A statement the database refuses answers 0 with a success code and the
// next one runs; the count is the statement's own, never a stale one.
TEST_F(HostDatabase, ExecSqlCountsRowsOfTheStatementItself)
{
    EXPECT_EQ(Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('DL1ABC')"), 1);
    EXPECT_EQ(Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('DL1ABC')"), 0); // duplicate key
    EXPECT_EQ(Exec("INSERT INTO NOSUCHTABLE(X) VALUES(1)"), 0);
    EXPECT_EQ(Exec("INSERT INTO CALLBOOK(OMCALL, OMNAME) VALUES('DL2ABC', 'it''s \"quoted\"; DROP TABLE CALLBOOK --')"),
              1);
    EXPECT_EQ(Exec("UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='NOBODY'"), 0);
    EXPECT_EQ(Exec("UPDATE CALLBOOK SET CHK=TRUE"), 2);
    // Statements that change no row answer 0 after a statement that did.
    EXPECT_EQ(Exec("SELECT * FROM CALLBOOK"), 0);
    EXPECT_EQ(Exec("CREATE TABLE EXTRA(X TEXT)"), 0);
    EXPECT_EQ(Exec("DELETE FROM CALLBOOK WHERE OMCALL='DL1ABC'"), 1);
    EXPECT_EQ(Column("SELECT OMNAME FROM CALLBOOK", "OMNAME"),
              (std::vector<std::string>{"it's \"quoted\"; DROP TABLE CALLBOOK --"}));
}

TEST_F(HostDatabase, QueryHandleLifecycle)
{
    for (const char* call : {"A1A", "B1B", "C1C"})
        Exec(std::string("INSERT INTO CALLBOOK(OMCALL) VALUES('") + call + "')");
    QueryHandle h = Open("SELECT OMCALL FROM CALLBOOK ORDER BY OMCALL");
    // Standing on the first row right after opening.
    EXPECT_EQ(Get(h, "OMCALL"), "A1A");
    EXPECT_EQ(server_->CloseQuery(h), S_OK);
    std::int32_t n = 0;
    EXPECT_LT(server_->GetRecordCount(h, &n), 0); // closed
    EXPECT_EQ(
        server_->OpenQuery(h, WideString("SELECT OMCALL FROM CALLBOOK WHERE OMCALL>'A1A' ORDER BY OMCALL").c_bstr()),
        S_OK);
    EXPECT_EQ(Count(h), 2);
    EXPECT_EQ(Get(h, "omcall"), "B1B");
    // A second handle at the same time, empty.
    QueryHandle other = Open("SELECT OMCALL FROM CALLBOOK WHERE OMCALL='ZZZ'");
    EXPECT_EQ(Count(other), 0);
    EXPECT_TRUE(Eof(other));
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
    EXPECT_EQ(server_->FreeQuery(other), S_OK);                           // still open: accepted
    EXPECT_LT(server_->OpenQuery(h, WideString("SELECT 1").c_bstr()), 0); // freed
    EXPECT_LT(server_->FreeQuery(h), 0);
    // A statement the database refuses fails the open.
    QueryHandle bad = 0;
    ASSERT_EQ(server_->CreateQuery(&bad), S_OK);
    EXPECT_LT(server_->OpenQuery(bad, WideString("SELECT * FROM NOSUCHTABLE").c_bstr()), 0);
    EXPECT_EQ(server_->FreeQuery(bad), S_OK);
}

TEST_F(HostDatabase, LocateStandsOnTheFirstMatchingRow)
{
    for (int i = 0; i < 6; ++i)
        Exec("INSERT INTO LOGS(LOGNAME,OMCALL,QSOBAND) VALUES('L','" + std::string(i % 2 ? "K1X" : "G4Y") + "','" +
             std::to_string(20 + i) + "M')");
    QueryHandle h = Open("SELECT ID, OMCALL, QSOBAND FROM LOGS ORDER BY ID DESC");
    EXPECT_TRUE(Locate(h, "OMCALL", "K1X"));
    EXPECT_EQ(Get(h, "QSOBAND"), "25M"); // the first in the result's order
    EXPECT_TRUE(Locate(h, "omcall", "G4Y"));
    EXPECT_EQ(Get(h, "QSOBAND"), "24M");
    EXPECT_FALSE(Locate(h, "OMCALL", "k1x")); // exact
    EXPECT_FALSE(Locate(h, "OMCALL", "N0NE"));
    EXPECT_TRUE(Locate(h, "ID", "1"));
    EXPECT_EQ(Get(h, "QSOBAND"), "20M");
    BOOL32 found = 0;
    EXPECT_LT(server_->Locate(h, WideString("NOSUCHFIELD").c_bstr(), WideString("1").c_bstr(), &found), 0);
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}

// Requery runs the statement again: the count includes rows inserted since
// the open, and Locate finds them.
TEST_F(HostDatabase, RequerySeesNewRows)
{
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('A1A')");
    QueryHandle h = Open("SELECT OMCALL FROM CALLBOOK");
    EXPECT_EQ(Count(h), 1);
    EXPECT_FALSE(Locate(h, "OMCALL", "B1B"));
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('B1B')");
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('C1C')");
    EXPECT_EQ(Count(h), 1);
    EXPECT_EQ(server_->Requery(h), S_OK);
    EXPECT_EQ(Count(h), 3);
    EXPECT_TRUE(Locate(h, "OMCALL", "B1B"));
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}

// A Requery that fails part-way keeps the result it had; it never presents
// the rows read before the failure as the whole result.
TEST_F(HostDatabase, FailedRequeryKeepsThePreviousResult)
{
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('A1A')");
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('C1C')");
    // abs() of the smallest integer fails, here only on the row of B1B.
    QueryHandle h = Open("SELECT OMCALL, CASE WHEN OMCALL='B1B' THEN abs(-9223372036854775807-1) END AS X "
                         "FROM CALLBOOK ORDER BY OMCALL");
    EXPECT_EQ(Count(h), 2);
    Exec("INSERT INTO CALLBOOK(OMCALL) VALUES('B1B')");
    EXPECT_LT(server_->Requery(h), 0);
    EXPECT_EQ(Count(h), 2);
    EXPECT_TRUE(Locate(h, "OMCALL", "C1C"));
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}

// hamhost init --demo: host database, logger files and registry file that
// hamhost itself reads back.
TEST(HostDemo, InitDemoProfile)
{
    TTempDir dir("host-demo");
    const fs::path profile = dir / "profile";
    auto init = RunHamhost(profile, {"init", "--demo"});
    ASSERT_EQ(init.ExitCode, 0) << init.Err;

    auto counts = RunHamhost(profile, {"sql", "SELECT (SELECT COUNT(*) FROM CALLBOOK) AS CB, (SELECT COUNT(*) FROM "
                                              "COUNTRY) AS C, (SELECT COUNT(*) FROM PROVINCE) AS P, (SELECT COUNT(*) "
                                              "FROM UNIQUECALL) AS U"});
    ASSERT_EQ(counts.ExitCode, 0) << counts.Err;
    EXPECT_EQ(counts.Out, "CB\tC\tP\tU\n400\t340\t82\t20808\n");
    auto log =
        RunHamhost(profile, {"sql", "SELECT COUNT(*) AS N, MIN(CALLSIGN) AS OP FROM LOGS WHERE LOGNAME=\"DEMO\""});
    ASSERT_EQ(log.ExitCode, 0) << log.Err;
    EXPECT_EQ(log.Out, "N\tOP\n100\tDL0DEMO\n");

    const std::string ini = ReadFileText(profile / "host.ini");
    for (const char* line : {"LOG.OPERATOR=DL0DEMO", "LOG.TABLE=DEMO", "LOG.EXPIRE=2030-12-31 23:59:59"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;

    // The registry file points at the installation, with its separator.
    TRegistry registry((profile / "hkcu.reg").string());
    ASSERT_TRUE(registry.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    const std::string install = registry.ReadString("InstallPath");
    EXPECT_EQ(install, fs::absolute(profile / "zemrak").string() + "/");

    TADOConnection logs;
    logs.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + install + "db/logs.mdb;";
    logs.Open();
    TADOQuery q(&logs);
    q.SQL.SetText("SELECT LOGNAME, LOGFILENAME FROM ACONFIG WHERE CALLSIGN='DL0DEMO' ORDER BY LOGNAME");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 4);
    int withQsos = 0;
    for (q.First(); !q.Eof(); q.Next()) {
        TADOQuery qsos(&logs);
        qsos.SQL.SetText("SELECT COUNT(*) AS N, MIN(QSODATE) AS FIRST FROM " + q.FieldByName("LOGFILENAME").AsString());
        qsos.Open();
        withQsos += qsos.FieldByName("N").AsInteger() > 0;
    }
    EXPECT_EQ(withQsos, 3);

    TADOConnection callbook;
    callbook.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + install + "db/DB.mdb;";
    callbook.Open();
    TADOQuery cb(&callbook);
    cb.SQL.SetText("SELECT CALL FROM CALLBOOK ORDER BY CALL");
    cb.Open();
    EXPECT_GT(cb.RecordCount(), 250);

    // Without HKCU_REGISTRY_FILE, hamhost takes the profile's registry file:
    // the append dialog finds and opens the demo's log database.
    unsetenv("HKCU_REGISTRY_FILE");
    auto run = RunProgram(HamhostPath(),
                          {"--profile", profile.string(), "--plugins", PluginFolder().string(), "run",
                           "Append Zemrak log data into current log"},
                          "close\n");
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err.find("Fatal error"), std::string::npos) << run.Err;
    EXPECT_NE(ReadFileText(profile / "host.log").find("Connect Zemrak log database: " + install + "db/logs.mdb"),
              std::string::npos);
    // A variable that is set wins.
    auto other = RunProgram(HamhostPath(),
                            {"--profile", profile.string(), "--plugins", PluginFolder().string(), "run",
                             "Append Zemrak log data into current log"},
                            "close\n", {"HKCU_REGISTRY_FILE=" + (dir / "none.reg").string()});
    EXPECT_NE(other.Err.find("Fatal error: Zemrak_Log3 not installed."), std::string::npos) << other.Err;

    // Another demo on the same profile is refused and changes nothing.
    auto again = RunHamhost(profile, {"init", "--demo"});
    EXPECT_EQ(again.ExitCode, 1);
    EXPECT_NE(again.Err.find("new profile"), std::string::npos) << again.Err;
    EXPECT_EQ(RunHamhost(profile, {"sql", "SELECT COUNT(*) AS N FROM CALLBOOK"}).Out, "N\n400\n");
}

// Cells of every kind come back as stored, row after row, from a result held
// in the handle's compact storage; Locate finds texts and numbers.
TEST_F(HostDatabase, ValuesOfEveryKindReadBack)
{
    const std::string long_(300, 'x');
    for (int i = 0; i < 1000; ++i)
        Exec("INSERT INTO LOGS(LOGNAME,OMCALL,QSOFREQ,QSLINFO,EQSLRCVD) VALUES('L','C" + std::to_string(i) + "'," +
             (i % 3 ? std::to_string(i) + ".25" : "NULL") + ",'" + (i % 2 ? long_ : "ünï") + "'," +
             (i % 2 ? "TRUE" : "FALSE") + ")");
    QueryHandle h = Open("SELECT ID, OMCALL, QSOFREQ + 0 AS F, QSLINFO, EQSLRCVD FROM LOGS ORDER BY ID");
    EXPECT_EQ(Count(h), 1000); // more cells and texts than one block holds
    for (int i = 0; i < 1000; ++i) {
        ASSERT_FALSE(Eof(h)) << i;
        EXPECT_EQ(Get(h, "ID"), std::to_string(i + 1));
        EXPECT_EQ(Get(h, "OMCALL"), "C" + std::to_string(i));
        EXPECT_EQ(Get(h, "F"), i % 3 ? std::optional<std::string>(std::to_string(i) + ".25") : std::nullopt);
        EXPECT_EQ(Get(h, "QSLINFO"), i % 2 ? long_ : "ünï");
        BOOL32 value = 0, has = 0;
        EXPECT_EQ(server_->GetBoolean(h, WideString("EQSLRCVD").c_bstr(), &value, &has), S_OK);
        EXPECT_EQ(value != 0, i % 2 == 1);
        EXPECT_EQ(server_->Next(h), S_OK);
    }
    EXPECT_TRUE(Eof(h));
    EXPECT_TRUE(Locate(h, "F", "7.25"));
    EXPECT_EQ(Get(h, "OMCALL"), "C7");
    EXPECT_TRUE(Locate(h, "QSLINFO", long_));
    EXPECT_EQ(Get(h, "OMCALL"), "C1");
    EXPECT_TRUE(Locate(h, "ID", "1000"));
    EXPECT_EQ(Get(h, "OMCALL"), "C999");
    EXPECT_FALSE(Locate(h, "F", "0.25")) << "a NULL is never found";
    EXPECT_EQ(server_->FreeQuery(h), S_OK);
}
