// The import as a user runs it: hamhost, the real plug-in, packages built
// on disk and served from a loopback HTTP(S) server.
#include "tests/Plugins/CallbookImport/ImportTestSupport.h"
#include "tests/Support/LoopbackTlsServer.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>

namespace {

const std::string Caption = "Import Zemrak updates into Callbook";

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

// Temporary names and times made fixed.
std::string Fixed(std::string text)
{
    text = std::regex_replace(text, std::regex("~(Db|Ar)[0-9A-F]+\\.tmp"), "~$1.tmp");
    return std::regex_replace(text, std::regex("\\(\\d\\d:\\d\\d:\\d\\d\\)"), "(time)");
}

class ImportEndToEnd : public ::testing::Test {
protected:
    ImportEndToEnd() : dir_("import-e2e"), profile_(dir_ / "profile")
    {
        auto init = RunHamhost(profile_, {"init"});
        EXPECT_EQ(init.ExitCode, 0) << init.Err;
    }

    TRunResult Run(const std::string& actions, std::vector<std::string> env = {})
    {
        const fs::path file = dir_ / "actions.txt";
        WriteFileText(file, actions);
        // Straight to the loopback server, whatever proxy the machine has.
        env.insert(env.end(), {"no_proxy=*", "NO_PROXY=*", "http_proxy=", "https_proxy=", "HTTPS_PROXY="});
        return RunHamhost(profile_, {"run", Caption, "--actions", file.string()}, "", env);
    }
    static std::string Local(const fs::path& package, int mode, const std::string& more = {})
    {
        return "select rgLocation Local data file\nclick edSource.button\n" + package.string() +
               "\nselect cbImportMode " + std::to_string(mode) + "\n" + more + "click Import\nclose\n";
    }
    static std::string Internet(const std::string& url, const std::string& more = {})
    {
        return "set edSource " + url + "\nselect cbImportMode 0\n" + more + "click Import\nclose\n";
    }
    std::vector<std::string> Sql(const std::string& statement)
    {
        auto r = RunHamhost(profile_, {"sql", statement});
        EXPECT_EQ(r.ExitCode, 0) << statement << "\n" << r.Err;
        auto lines = SplitLines(r.Out);
        if (!lines.empty() && statement.rfind("SELECT", 0) == 0) lines.erase(lines.begin()); // header
        return lines;
    }
    std::vector<std::string> HostLog()
    {
        std::vector<std::string> lines;
        for (const auto& line : SplitLines(ReadFileText(profile_ / "host.log")))
            lines.push_back(Fixed(line.substr(line.find('\t') + 1)));
        return lines;
    }
    // Temporary files of the plug-in left in the download folder.
    std::vector<std::string> Leftovers()
    {
        std::vector<std::string> names;
        for (const auto& name : Listing(Download()))
            if (name.rfind("~", 0) == 0) names.push_back(name);
        return names;
    }
    fs::path Download() const { return profile_ / "download"; }

    TTempDir dir_;
    fs::path profile_;
};

} // namespace

TEST_F(ImportEndToEnd, CompleteRunFromALocalFile)
{
    Sql("INSERT INTO CALLBOOK(OMCALL,OMNAME,QSLMANAGER) VALUES('Q1OLD','Known','Q9MGR')");
    const fs::path package = dir_ / "updates" / "package.bin"; // another extension, still a ZIP
    fs::create_directories(package.parent_path());
    WritePackage(package, {
                              {"Q1OLD", "Other", "Moscow", "KO85", {}, "Q8MGR", "Bureau: Skype:ivan"},
                              {"Q2NEW", "Anna", {}, {}, {}, "direct", "Born:1970 free text", true},
                              {"Q3ODD", {}, {}, {}, {}, "by mail", {}},
                          });
    const std::string archive = ReadBinary(package);
    const auto stamp = fs::last_write_time(package);

    auto run = Run(Local(package, 0,
                         "check cgUseFields Bureau\ncheck cgUseFields Skype\ncheck cgUseFields Direct\n"
                         "uncheck cgUseFields DXCC\n"));
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    // The run wrote its error file and says where it is.
    EXPECT_EQ(run.Err,
              "hamhost: lines of this run's errors are in " + (Download() / "CallbookImport.err").string() + "\n");
    const std::string download = Download().string();
    EXPECT_EQ(Fixed(run.Out), "* Use: " + package.string() +
                                  "\n"
                                  "   Update package dated 2024-03-17 09:41\n"
                                  "   Unarchive to " +
                                  download +
                                  "/~Db.tmp\n"
                                  "   Update package contains 3 records.\n"
                                  "   Callbook: 1 before, 2 after update.\n"
                                  "   Erase " +
                                  download +
                                  "/~Db.tmp\n"
                                  "* Done. Ins:1, Upd:1, Err:0 (time)\n");
    EXPECT_EQ(Sql("SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,QSLMANAGER,NOTES,CHK,Use_BUREAU,Use_DIRECT,SKYPE,BORN "
                  "FROM CALLBOOK ORDER BY OMCALL"),
              (std::vector<std::string>{
                  "Q1OLD\tKnown\tMoscow\tKO85\tQ9MGR\t\t\t1\t\tivan\t",
                  "Q2NEW\tAnna\t\t\t\tBorn:1970 free text\t1\t\t1\t\t",
              }))
        << "Q3ODD has nothing but a QSL route that is not understood";
    EXPECT_EQ(HostLog(), (std::vector<std::string>{
                             "Connect updates: " + download + "/~Db.tmp",
                             "Disconnect updates.",
                             "Exec: " + Caption + ", " + package.string() + " done, Ins:1, Upd:1, Err:0 (time)",
                             "Command: REFRESH 0",
                         }));
    EXPECT_EQ(ReadFileText(Download() / "CallbookImport.err"), "Q3ODD\t? QSL Manager = \"by mail\"\r\n");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
    EXPECT_EQ(ReadBinary(package), archive);
    EXPECT_EQ(fs::last_write_time(package), stamp);
    const std::string ini = ReadFileText(profile_ / "host.ini");
    EXPECT_TRUE(Contains(ini, "[Zemrak Import]\nLocation=Local\nResource=" + package.string() + "\nMode=0\n")) << ini;

    // The error file of the last run is gone when the dialog opens again.
    auto again = Run("close\n");
    EXPECT_EQ(again.ExitCode, 0);
    EXPECT_FALSE(fs::exists(Download() / "CallbookImport.err"));
}

// The package date is shown in the user's format (dd.mm.yyyy here); the
// merge itself does not depend on the locale.
TEST_F(ImportEndToEnd, RunsInAGermanLocale)
{
    const TLocaleEnv german = GermanLocaleEnv();
    if (german.Env.empty()) GTEST_SKIP() << german.Problem;
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package,
                 {{"Q1OLD", "Name1", "Qth1"}, {"Q2NEW", "Name2", "Qth2", {}, {}, {}, "LotW:05.04.2018", true}});
    Sql("INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('Q1OLD','Known')");
    auto run = Run(Local(package, 0), german.Env);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_TRUE(Contains(run.Out, "   Update package dated 17.03.2024 09:41\n")) << run.Out;
    EXPECT_TRUE(Contains(run.Out, "* Done. Ins:1, Upd:1, Err:0 (")) << run.Out;
    EXPECT_EQ(Sql("SELECT OMCALL,OMNAME,OMQTH,CHK FROM CALLBOOK ORDER BY OMCALL"),
              (std::vector<std::string>{"Q1OLD\tKnown\tQth1\t", "Q2NEW\tName2\tQth2\t1"}));
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

TEST_F(ImportEndToEnd, TheThreeModes)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1OLD", "Name1", "Qth1"}, {"Q2NEW", "Name2", "Qth2"}});
    struct Case {
        int mode;
        std::vector<std::string> rows;
        std::string summary;
    } cases[] = {
        {0, {"Q1OLD\tKnown\tQth1", "Q2NEW\tName2\tQth2", "Q3HOST\t\t"}, "Callbook: 2 before, 3 after update."},
        {1, {"Q1OLD\tKnown\t", "Q2NEW\tName2\tQth2", "Q3HOST\t\t"}, "Callbook: 2 before, 3 after update."},
        {2, {"Q1OLD\tKnown\tQth1", "Q3HOST\t\t"}, "Callbook: 2 before, 2 after update."},
    };
    for (const Case& c : cases) {
        Sql("DELETE FROM CALLBOOK");
        Sql("INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('Q1OLD','Known')");
        Sql("INSERT INTO CALLBOOK(OMCALL) VALUES('Q3HOST')");
        auto run = Run(Local(package, c.mode, c.mode == 2 ? "check cgUseFields Name\ncheck cgUseFields QTH\n" : ""));
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(Sql("SELECT OMCALL,OMNAME,OMQTH FROM CALLBOOK ORDER BY OMCALL"), c.rows) << c.mode;
        EXPECT_TRUE(Contains(run.Out, c.summary)) << c.mode << "\n" << run.Out;
    }
}

TEST_F(ImportEndToEnd, FromTheInternet)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1NEW", "Anna"}});
    TLoopbackServer server;
    server.Serve("/files/DB.zip", "200 OK", ReadBinary(package), "Content-Type: application/zip\r\n");
    const std::string url = server.Url("/files/DB.zip");
    auto run = Run(Internet(url));
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Fixed(run.Out).substr(0, run.Out.find('\n') + 1), "* Use: " + url + "\n");
    EXPECT_TRUE(Contains(run.Out, "* Done. Ins:1, Upd:0, Err:0")) << run.Out;
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"/files/DB.zip"});
    EXPECT_EQ(Sql("SELECT OMCALL,OMNAME FROM CALLBOOK"), std::vector<std::string>{"Q1NEW\tAnna"});
    EXPECT_EQ(Listing(Download()), std::vector<std::string>{}) << "neither the archive nor the database is left";
    EXPECT_EQ(HostLog().at(2), "Exec: " + Caption + ", " + url + " done, Ins:1, Upd:0, Err:0 (time)");
}

// A TLS server with a certificate made for the test: refused until the
// plug-in is told to trust it (CURL_CA_BUNDLE).
TEST_F(ImportEndToEnd, FromASecureServer)
{
    if (auto why = TLoopbackTlsServer::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1TLS", "Secure"}});
    TLoopbackTlsServer server(dir_ / "tls", ReadBinary(package));
    const std::string url = server.Url("/DB.zip");

    auto untrusted = Run(Internet(url), {"CURL_CA_BUNDLE="});
    EXPECT_TRUE(Contains(untrusted.Out, "   Resource not found or unaccessable\n")) << untrusted.Out;
    auto trusted = Run(Internet(url), {"CURL_CA_BUNDLE=" + server.CertFile()});
    EXPECT_TRUE(Contains(trusted.Out, "* Done. Ins:1, Upd:0, Err:0")) << trusted.Out << trusted.Err;
    EXPECT_EQ(Sql("SELECT OMCALL,OMNAME FROM CALLBOOK"), std::vector<std::string>{"Q1TLS\tSecure"});
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// Packages that cannot be used: each ends the run with its message, leaves
// no temporary file behind and the host callbook as it was.
TEST_F(ImportEndToEnd, UnusablePackages)
{
    Sql("INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('Q0HOST','Host')");
    const fs::path good = dir_ / "good.zip";
    WritePackage(good, {{"Q1NEW", "Anna"}, {"Q2NEW", "Boris"}});
    const std::string goodZip = ReadBinary(good);
    const fs::path goodDb = dir_ / "good.mdb";
    WritePackageDatabase(goodDb, {{"Q1NEW", "Anna"}});

    TLoopbackServer server;
    server.Serve("/error", "404 Not Found", "<html><body>Not found</body></html>", "Content-Type: text/html\r\n");
    server.Serve("/redirect", "302 Found", "moved", "Location: /good\r\n");
    server.Serve("/good", "200 OK", goodZip);
    fs::path other = dir_ / "other.zip";
    WriteZip(other, "Export.mdb", ReadBinary(goodDb));
    server.Serve("/other", "200 OK", ReadBinary(other));

    auto package = [&](const std::string& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        return path;
    };
    auto zipOf = [&](const std::string& name, const std::string& database) {
        const fs::path path = dir_ / name;
        WriteZip(path, "DB.mdb", database);
        return path;
    };
    auto sqliteFile = [&](const std::string& name, const std::string& script) {
        const fs::path path = dir_ / name;
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        return ReadBinary(path);
    };
    // A database whose pages past the first are overwritten.
    std::string damaged = ReadBinary(goodDb);
    for (std::size_t i = 4096 + 100; i < damaged.size(); i += 7)
        damaged[i] = static_cast<char>(0xA5);
    const std::string view = sqliteFile(
        "view.db", "CREATE VIEW CALLBOOK AS WITH RECURSIVE r(CALL) AS (SELECT 'Q1' UNION ALL SELECT CALL||'A' FROM r) "
                   "SELECT CALL, NULL AS NAME, NULL AS QTH, NULL AS GRID, NULL AS STATE, NULL AS MANAGER, "
                   "NULL AS NOTE, 0 AS CHECKED FROM r;");
    const std::string computed = sqliteFile(
        "computed.db", "CREATE TABLE CALLBOOK(CALL TEXT, NAME TEXT, QTH TEXT, GRID TEXT, STATE TEXT, MANAGER TEXT, "
                       "CHECKED INTEGER, NOTE TEXT AS (zeroblob(100000000)));"
                       "INSERT INTO CALLBOOK(CALL) VALUES('Q1NEW');");
    const std::string noTable = sqliteFile("notable.db", "CREATE TABLE OTHER(X);");
    // Real Access files: read, and found to hold no callbook.
    const fs::path jet = fs::path(HAM_SOURCE_DIR) / "tests" / "data" / "jet";
    const std::string jet3 = ReadBinary(jet / "nwind.mdb");
    fs::path ace = dir_ / "ace.zip";
    WriteZip(ace, "DB.mdb", ReadBinary(jet / "ASampleDatabase.accdb"));
    server.Serve("/ace", "200 OK", ReadBinary(ace));

    const std::string notFound = "   Resource not found or unaccessable\n";
    const std::string cannotProcess = "   Received archive cannot be processed\n";
    struct Case {
        const char* what;
        std::string actions;
        std::string memo;  // a piece of the memo
        std::string error; // a piece of the error message, empty when the run ends without one
        bool logged;       // the host log's "nothing to update" line
    } cases[] = {
        // The cause of a failed download goes to standard error (and the host log).
        {"an HTML error page", Internet(server.Url("/error")), notFound,
         "Download of " + server.Url("/error") + " failed: HTTP status 404\n", true},
        {"a redirect, not followed", Internet(server.Url("/redirect")), notFound,
         "Download of " + server.Url("/redirect") + " failed: HTTP status 302\n", true},
        {"no server", Internet("http://127.0.0.1:9/DB.zip"), notFound,
         "Download of http://127.0.0.1:9/DB.zip failed: Cannot load http://127.0.0.1:9/DB.zip: ", true},
        {"a ZIP without DB.mdb", Internet(server.Url("/other")), cannotProcess, "", true},
        {"an empty ZIP", Local(package("empty.zip", std::string("PK\5\6", 4) + std::string(18, '\0')), 0),
         cannotProcess, "", true},
        {"text named .zip", Local(package("text.zip", "just text\n"), 0), notFound, "", true},
        {"a truncated ZIP", Local(package("cut.zip", goodZip.substr(0, goodZip.size() / 2)), 0),
         "* Use: ", "Error: ", false},
        {"a DB.mdb that is no database", Local(zipOf("nodb.zip", "Standard Jet DB, not really\n"), 0), "   Erase ",
         "Error: ", false},
        {"a damaged database", Local(zipOf("damaged.zip", damaged), 0), "   Erase ", "Error: ", false},
        {"a view in place of the table", Local(zipOf("view.zip", view), 0), "   Erase ", "holds no CALLBOOK table",
         false},
        {"computed columns", Local(zipOf("computed.zip", computed), 0), "   Erase ", "computed columns", false},
        {"no CALLBOOK at all", Local(zipOf("notable.zip", noTable), 0), "   Erase ", "holds no CALLBOOK table", false},
        {"a Jet 3 database without CALLBOOK", Local(zipOf("jet3.zip", jet3), 0), "   Erase ", "holds no CALLBOOK table",
         false},
        {"a Jet 4 database without CALLBOOK", Local(zipOf("jet4.zip", ReadBinary(jet / "DateTestDatabase.mdb")), 0),
         "   Erase ", "holds no CALLBOOK table", false},
        {"an ACE database without CALLBOOK, downloaded",
         "select rgLocation Internet resource\n" + Internet(server.Url("/ace")), "   Erase ", "holds no CALLBOOK table",
         false},
        {"a truncated Access database", Local(zipOf("jetcut.zip", jet3.substr(0, 4096)), 0), "   Erase ",
         "cannot be read as an Access database", false},
    };
    for (const Case& c : cases) {
        fs::remove(profile_ / "host.log");
        auto run = Run(c.actions);
        // A failed download ends the run with its memo line and the cause on
        // standard error, but no error message: the run itself ended normally.
        const bool messageShown = !c.error.empty() && !c.error.starts_with("Download of ");
        EXPECT_EQ(run.ExitCode, messageShown ? 1 : 0) << c.what;
        EXPECT_TRUE(Contains(run.Out, c.memo)) << c.what << "\n" << run.Out;
        EXPECT_TRUE(Contains(run.Out, "* Done. Ins:0, Upd:0, Err:0 (")) << c.what << "\n" << run.Out;
        if (c.error.empty())
            EXPECT_EQ(run.Err, "") << c.what;
        else
            EXPECT_TRUE(Contains(run.Err, c.error)) << c.what << "\n" << run.Err;
        const auto log = HostLog();
        const bool nothing = !log.empty() && Contains(log.back(), ", nothing to update");
        EXPECT_EQ(nothing, c.logged) << c.what;
        if (Contains(c.error, "Download of ")) {
            EXPECT_TRUE(Contains(ReadFileText(profile_ / "host.log"), c.error.substr(0, c.error.find('\n')))) << c.what;
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>{}) << c.what;
        EXPECT_EQ(Sql("SELECT OMCALL FROM CALLBOOK"), std::vector<std::string>{"Q0HOST"}) << c.what;
    }
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/error", "/redirect", "/other", "/ace"}));
    EXPECT_EQ(ReadBinary(dir_ / "cut.zip"), goodZip.substr(0, goodZip.size() / 2)) << "a local file is never changed";
}

// A record whose CHECKED is no yes/no value stops the run naming the record
// and the field; a package in WAL mode leaves no side files in download/,
// and temporary files of a run that was killed are cleaned up by the next.
TEST_F(ImportEndToEnd, ABadValueNamesItsRecordAndNothingIsLeftBehind)
{
    const fs::path db = dir_ / "bad.mdb";
    WritePackageDatabase(db, {{"Q1A", "A"}, {"Q2B", "B"}, {"Q3C", "C"}});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    const char* script = "PRAGMA journal_mode=WAL; PRAGMA ignore_check_constraints=ON;"
                         "UPDATE CALLBOOK SET CHECKED='maybe' WHERE CALL='Q3C';";
    EXPECT_EQ(sqlite3_exec(raw, script, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close(raw);
    const fs::path package = dir_ / "bad.zip";
    WriteZip(package, "DB.mdb", ReadBinary(db));
    // Left by a run that was killed.
    for (const char* stale : {"~Db1A2B.tmp", "~Db1A2B.tmp-wal", "~Ar3C4D.tmp"})
        WriteFileText(Download() / stale, "x");
    WriteFileText(Download() / "~notes.txt", "not the plug-in's");

    auto run = Run(Local(package, 0));
    EXPECT_EQ(run.ExitCode, 1); // the run ended with an error message
    EXPECT_TRUE(Contains(run.Err, "record Q3C, field CHECKED")) << run.Err;
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"~notes.txt"});
}

TEST_F(ImportEndToEnd, DictionaryExpressionThatDoesNotCompile)
{
    // The first row of the dictionary that init filled.
    Sql("DELETE FROM UNIQUECALL");
    Sql("INSERT INTO UNIQUECALL(ID,CALLSIGN) VALUES(1,'Q1(AB')");
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1AB", "Anna"}});
    auto run = Run(Local(package, 1));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, "Error: ")) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "Q1(AB")) << run.Err;
    EXPECT_TRUE(Contains(run.Out, "   Callbook: 0 before, 0 after update.\n")) << run.Out;
    EXPECT_TRUE(Contains(run.Out, "* Done. Ins:0, Upd:0, Err:0 (")) << run.Out;
    EXPECT_EQ(Sql("SELECT OMCALL FROM CALLBOOK"), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
    EXPECT_EQ(HostLog().size(), 2u) << "connect and disconnect, no Exec line";
}

TEST_F(ImportEndToEnd, MissingDictionaryTables)
{
    auto drop = RunHamhost(profile_, {"sql", "DROP TABLE UNIQUECALL"});
    ASSERT_EQ(drop.ExitCode, 0) << drop.Err;
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1AB", "Anna"}});
    auto run = Run(Local(package, 0));
    EXPECT_EQ(run.Out, "");
    EXPECT_TRUE(Contains(run.Err, "Missing information: You need to load actual dictionary data from Internet\r\n"
                                  "or local source, use menu: Set -> Countries list."))
        << run.Err;
    EXPECT_EQ(Sql("SELECT OMCALL FROM CALLBOOK"), std::vector<std::string>{});
}
