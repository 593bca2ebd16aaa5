#include "Platform/Ado/Ado.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ConnectionFor(const std::string& path)
{
    return "Provider=Test.Provider;Data Source=" + path + ";";
}

// Expects fn to throw an exception of kind E whose message holds every part.
template <typename E, typename Fn> void ExpectMessage(Fn fn, const std::vector<std::string>& parts)
{
    try {
        fn();
        ADD_FAILURE() << "no exception";
    } catch (const E& e) {
        for (const std::string& part : parts)
            EXPECT_NE(e.Message().find(part), std::string::npos) << e.Message();
    }
}

class AdoFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = folder.File("DB.mdb");
        TSqliteOptions options;
        options.Create = true;
        TSqliteDatabase db(path, options);
        db.Exec(R"(
CREATE TABLE CALLBOOK(CALL TEXT, NAME TEXT, QTH TEXT, CHECKED BOOLEAN, FREQ REAL, SEEN DATETIME, N INTEGER);
INSERT INTO CALLBOOK VALUES
  ('Q1AA','Ann','Town',1,14.074,'2024-01-05 10:20:30',42),
  ('Q1BB',NULL,'',0,3.5,'2024-01-06',NULL),
  ('Q1AA','Second','',NULL,NULL,NULL,'17'),
  ('Q1CC','Cy','True','True',7,NULL,-3);
)");
    }

    void Connect(TADOConnection& connection)
    {
        connection.ConnectionString = ConnectionFor(path);
        connection.Mode = cmShareDenyNone;
        connection.LoginPrompt = false;
        connection.Open();
    }

    TTempDir folder{"adotest"};
    std::string path;
};

TEST(ConnectionString, DataSourceIsTakenOut)
{
    EXPECT_EQ(ConnectionStringDataSource("Provider=P.4.0;Data Source=/x/DB.mdb;"), "/x/DB.mdb");
    EXPECT_EQ(ConnectionStringDataSource("Provider=P;Data Source=/x/DB.mdb"), "/x/DB.mdb");
    EXPECT_EQ(ConnectionStringDataSource("provider=P; data source = /x/a b.mdb ;Mode=1"), "/x/a b.mdb");
    EXPECT_EQ(ConnectionStringDataSource("Data Source=\"/x/a;b.mdb\";"), "/x/a;b.mdb");
    EXPECT_EQ(ConnectionStringDataSource("/plain/path.mdb"), "/plain/path.mdb");
    EXPECT_EQ(ConnectionStringDataSource("Provider=P;"), "");
}

TEST_F(AdoFiles, OpenWithOptionsCreatesADatabase)
{
    const std::string hostDb = folder.File("a;\"b\".db");
    TSqliteOptions options;
    options.Create = true;
    options.Wal = true;
    TADOConnection connection;
    connection.Open(hostDb, options);
    EXPECT_EQ(ConnectionStringDataSource(connection.ConnectionString), hostDb);
    EXPECT_EQ(connection.DataSource(), hostDb);
    connection.Execute("CREATE TABLE T(A TEXT)");
    EXPECT_EQ(connection.Execute("INSERT INTO T VALUES('x')"), 1);
    TADOQuery query(&connection);
    query.SQL.SetText("PRAGMA journal_mode");
    query.Open();
    EXPECT_EQ(query.Fields(0).AsString(), "wal");
}

TEST_F(AdoFiles, QueryHoldsRowsAndNavigates)
{
    TADOConnection connection;
    Connect(connection);
    EXPECT_TRUE(connection.Connected());
    TADOQuery query(&connection);
    query.ParamCheck = false;
    query.EnableBCD = false;
    query.SQL.Add("SELECT * FROM CALLBOOK");
    query.SQL.Add("ORDER BY CALL, NAME");
    query.Open();
    ASSERT_TRUE(query.Active());
    EXPECT_EQ(query.RecordCount(), 4);
    EXPECT_EQ(query.FieldCount(), 7);
    EXPECT_EQ(query.Fields(1).FieldName(), "NAME");

    std::vector<std::string> names;
    query.First();
    EXPECT_TRUE(query.Bof());
    while (!query.Eof()) {
        names.push_back(query.FieldByName("call").AsString() + "/" + query.FieldByName("Name").AsString());
        query.Next();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Q1AA/Ann", "Q1AA/Second", "Q1BB/", "Q1CC/Cy"}));
    EXPECT_EQ(query.RecNo(), 4); // Eof stays on the last row
    query.Prior();
    EXPECT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldByName("CALL").AsString(), "Q1BB");
    query.Last();
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.FieldByName("CALL").AsString(), "Q1CC");
    query.First();
    query.Prior();
    EXPECT_TRUE(query.Bof());
    EXPECT_EQ(query.RecNo(), 1);

    EXPECT_THROW(query.FieldByName("NOSUCH"), EDatabaseError);
    EXPECT_EQ(query.FindField("NOSUCH"), nullptr);
    query.Close();
    EXPECT_FALSE(query.Active());
    EXPECT_THROW(query.RecordCount(), EDatabaseError);
}

TEST_F(AdoFiles, FieldsConvertAndReportNull)
{
    TADOConnection connection;
    Connect(connection);
    TADOQuery query(&connection);
    query.SQL.SetText("SELECT * FROM CALLBOOK ORDER BY CALL, NAME");
    query.Open();

    // Q1AA / Ann
    EXPECT_FALSE(query.FieldByName("NAME").IsNull());
    EXPECT_TRUE(query.FieldByName("CHECKED").AsBoolean());
    EXPECT_DOUBLE_EQ(query.FieldByName("FREQ").AsFloat(), 14.074);
    EXPECT_EQ(query.FieldByName("FREQ").AsString(), "14.074");
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 42);
    EXPECT_EQ(query.FieldByName("N").AsString(), "42");
    EXPECT_DOUBLE_EQ(query.FieldByName("SEEN").AsDateTime(), EncodeDateTime({2024, 1, 5, 10, 20, 30, 0}));

    query.Next(); // Q1AA / Second: NULLs and a number stored as text
    EXPECT_TRUE(query.FieldByName("CHECKED").IsNull());
    EXPECT_FALSE(query.FieldByName("CHECKED").AsBoolean());
    EXPECT_EQ(query.FieldByName("FREQ").AsString(), "");
    EXPECT_EQ(query.FieldByName("FREQ").AsFloat(), 0.0);
    EXPECT_EQ(query.FieldByName("SEEN").AsDateTime(), 0.0);
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 17);

    query.Next(); // Q1BB: NULL name, empty text QTH
    EXPECT_TRUE(query.FieldByName("NAME").IsNull());
    EXPECT_FALSE(query.FieldByName("QTH").IsNull());
    EXPECT_EQ(query.FieldByName("QTH").AsString(), "");
    EXPECT_FALSE(query.FieldByName("CHECKED").AsBoolean());
    EXPECT_DOUBLE_EQ(query.FieldByName("SEEN").AsDateTime(), EncodeDate(2024, 1, 6));
    EXPECT_TRUE(query.FieldByName("N").IsNull());

    query.Next();                                          // Q1CC: text that is no number or date
    EXPECT_TRUE(query.FieldByName("CHECKED").AsBoolean()); // 'True'
    EXPECT_EQ(query.FieldByName("N").AsInteger(), -3);
    EXPECT_THROW(query.FieldByName("NAME").AsInteger(), EConvertError);
    EXPECT_THROW(query.FieldByName("NAME").AsFloat(), EConvertError);
    EXPECT_THROW(query.FieldByName("NAME").AsDateTime(), EConvertError);
    EXPECT_THROW(query.FieldByName("NAME").AsBoolean(), EConvertError);
}

TEST_F(AdoFiles, EmptyResult)
{
    TADOConnection connection;
    Connect(connection);
    TADOQuery query(&connection);
    query.SQL.SetText("SELECT MAX(SEEN) AS MAXDATE FROM CALLBOOK WHERE CALL='NONE'");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 1);
    EXPECT_TRUE(query.FieldByName("MAXDATE").IsNull());
    query.Close();
    query.SQL.SetText("SELECT * FROM CALLBOOK WHERE CALL='NONE'");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 0);
    EXPECT_TRUE(query.Eof());
    EXPECT_TRUE(query.Bof());
    EXPECT_EQ(query.RecNo(), 0);
    EXPECT_TRUE(query.FieldByName("CALL").IsNull());
    EXPECT_FALSE(query.Locate("CALL", "Q1AA"));
}

TEST_F(AdoFiles, LocateFindsTheFirstExactMatch)
{
    TADOConnection connection;
    Connect(connection);
    TADOQuery query(&connection);
    query.SQL.SetText("SELECT * FROM CALLBOOK ORDER BY CALL, NAME");
    query.Open();
    query.Last();

    ASSERT_TRUE(query.Locate("CALL", "Q1AA"));
    EXPECT_EQ(query.FieldByName("NAME").AsString(), "Ann"); // the first of two
    EXPECT_FALSE(query.Eof());
    ASSERT_TRUE(query.Locate("call", "Q1CC"));
    EXPECT_EQ(query.RecNo(), 4);
    EXPECT_FALSE(query.Locate("CALL", "q1cc")); // exact
    EXPECT_FALSE(query.Locate("CALL", "Q1CC "));
    EXPECT_EQ(query.RecNo(), 4);            // a miss keeps the position
    EXPECT_FALSE(query.Locate("NAME", "")); // NULL is not empty text
    ASSERT_TRUE(query.Locate("QTH", ""));
    EXPECT_EQ(query.FieldByName("NAME").AsString(), "Second");
    ASSERT_TRUE(query.Locate("N", "42"));
    EXPECT_EQ(query.FieldByName("CALL").AsString(), "Q1AA");
    ASSERT_TRUE(query.Locate("FREQ", "3.5"));
    EXPECT_EQ(query.FieldByName("CALL").AsString(), "Q1BB");
    EXPECT_THROW(query.Locate("NOSUCH", "x"), EDatabaseError);

    // The index is rebuilt for a new result.
    query.Requery();
    EXPECT_TRUE(query.Locate("CALL", "Q1BB"));
}

TEST_F(AdoFiles, ExecuteAnswersRowsAffected)
{
    TADOConnection connection;
    Connect(connection);
    EXPECT_EQ(connection.Execute("UPDATE CALLBOOK SET CHECKED=TRUE WHERE CALL='Q1AA'"), 2);
    EXPECT_EQ(connection.Execute("UPDATE CALLBOOK SET CHECKED=TRUE WHERE CALL='NONE'"), 0);
    EXPECT_EQ(connection.Execute("INSERT INTO CALLBOOK(CALL,[NAME]) VALUES('Q1DD',\"D'Arcy\")"), 1);
    EXPECT_EQ(connection.Execute("SELECT * INTO COPY FROM CALLBOOK"), 5);
    EXPECT_EQ(connection.Execute("DROP TABLE COPY"), 0);

    TADOQuery query(&connection);
    query.SQL.SetText("DELETE FROM CALLBOOK WHERE CALL LIKE 'Q1A%'");
    EXPECT_EQ(query.ExecSQL(), 2);
    query.SQL.SetText("SELECT COUNT(*) AS N FROM CALLBOOK");
    query.Open();
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 3);
    query.Close();
    // A statement that returns no rows cannot be opened.
    query.SQL.SetText("DELETE FROM CALLBOOK");
    EXPECT_THROW(query.Open(), EOleException);
    query.SQL.SetText("SELECT COUNT(*) AS N FROM CALLBOOK");
    query.Open();
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 3);
}

TEST_F(AdoFiles, RefusedStatementsCarrySqliteMessages)
{
    TADOConnection connection;
    Connect(connection);
    ExpectMessage<EOleException>([&] { connection.Execute("INSERT INTO NOTABLE(A) VALUES(1)"); },
                                 {"no such table: NOTABLE"});
    // One statement only: nothing of a second one runs.
    ExpectMessage<EOleException>([&] { connection.Execute("DELETE FROM CALLBOOK; DROP TABLE CALLBOOK"); },
                                 {"after end of SQL statement"});
    ExpectMessage<EOleException>([&] { connection.Execute("DELETE FROM CALLBOOK WHERE CALL=:call"); }, {"parameters"});
    EXPECT_THROW(connection.Execute("   ;"), EOleException);
    EXPECT_EQ(connection.Execute("UPDATE CALLBOOK SET NAME='a:b ?' WHERE CALL='Q1CC';"), 1);
    TADOQuery query(&connection);
    query.SQL.SetText("SELECT * FROM CALLBOOK");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 4);
}

TEST_F(AdoFiles, QueriesOutliveTheirConnection)
{
    TADOQuery query;
    EXPECT_THROW(query.Open(), EDatabaseError);
    {
        TADOConnection connection;
        Connect(connection);
        query.SetConnection(&connection);
        query.SQL.SetText("SELECT * FROM CALLBOOK");
        query.Open();
    }
    EXPECT_EQ(query.Connection(), nullptr);
    EXPECT_EQ(query.RecordCount(), 4); // the held result stays readable
    EXPECT_THROW(query.ExecSQL(), EDatabaseError);

    TADOConnection closed;
    TADOQuery other(&closed);
    other.SQL.SetText("SELECT 1");
    EXPECT_THROW(other.Open(), EDatabaseError);
}

TEST_F(AdoFiles, FilesThatAreNotDatabasesAreRefused)
{
    const std::string text = folder.File("notes.mdb");
    WriteBytes(text, "Callsign list\nQ1AA Ann\n");
    const std::string access = folder.File("access.mdb");
    std::string header("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    header.resize(4096, '\0');
    WriteBytes(access, header);
    const std::string truncated = folder.File("truncated.mdb");
    {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 1000u);
        WriteBytes(truncated, bytes.substr(0, 1000));
    }
    const std::string shortHeader = folder.File("short.mdb");
    WriteBytes(shortHeader, std::string("SQLite format 3\0", 16) + "abc");
    const std::string empty = folder.File("empty.mdb");
    WriteBytes(empty, "");
    const std::string missing = folder.File("missing.mdb");

    struct TCase {
        std::string File;
        std::string Says;
    };
    const TCase cases[] = {
        {text, "is not a database (it is not a SQLite file)"},
        {access, "its catalog cannot be read"}, // an Access header, nothing behind it
        {truncated, "is not a database (it is truncated"},
        {shortHeader, "is not a database (it is truncated)"},
        {empty, "is not a database (it is empty)"},
        {missing, "does not exist"},
        {folder.File(""), "is not a database (it is a folder)"},
    };
    for (const TCase& c : cases) {
        for (const bool untrusted : {false, true}) {
            TADOConnection connection;
            connection.Untrusted = untrusted;
            connection.ConnectionString = ConnectionFor(c.File);
            ExpectMessage<EOleException>([&] { connection.Open(); }, {"File '" + c.File + "'", c.Says});
            EXPECT_FALSE(connection.Connected());
        }
    }
    EXPECT_FALSE(fs::exists(missing)); // never created
}

TEST_F(AdoFiles, UntrustedFilesAreCheckedBeforeUse)
{
    TADOConnection good;
    good.Untrusted = true;
    good.ReadOnly = true;
    good.ConnectionString = ConnectionFor(path);
    good.Open();
    TADOQuery query(&good);
    query.SQL.SetText("SELECT * FROM CALLBOOK ORDER BY CALL");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 4);
    EXPECT_THROW(good.Execute("DELETE FROM CALLBOOK"), EOleException); // read-only
    good.Close();

    // Damage the table's page (page 2) while the header stays intact.
    {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(4096 + 8);
        const std::string junk(600, '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    TADOConnection damaged;
    damaged.Untrusted = true;
    damaged.ConnectionString = ConnectionFor(path);
    ExpectMessage<EOleException>([&] { damaged.Open(); }, {"File '" + path + "'", "damaged"});
}

TEST_F(AdoFiles, LockedDatabaseNamesTheFile)
{
    TSqliteOptions options;
    TSqliteDatabase writer(path, options);
    writer.Exec("BEGIN IMMEDIATE");
    writer.Exec("INSERT INTO CALLBOOK(CALL) VALUES('Q1EE')");

    TADOConnection connection;
    connection.BusyTimeoutMs = 20;
    Connect(connection);
    ExpectMessage<EOleException>([&] { connection.Execute("INSERT INTO CALLBOOK(CALL) VALUES('Q1FF')"); },
                                 {"File '" + path + "'", "database is locked"});
    writer.Exec("ROLLBACK");
    EXPECT_EQ(connection.Execute("INSERT INTO CALLBOOK(CALL) VALUES('Q1FF')"), 1);
}

TEST_F(AdoFiles, ALargeResultSpansTextBlocksWhole)
{
    TADOConnection connection;
    Connect(connection);
    // Texts fill several blocks; one is larger than a block on its own.
    connection.ExecuteScript(
        "CREATE TABLE BIG(K TEXT, V TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO BIG SELECT 'K' || i, printf('%d', i) || substr(hex(zeroblob(600)), 1, 1000 + i % 7) FROM n;"
        "INSERT INTO BIG VALUES('HUGE', substr(hex(zeroblob(1200000)), 1, 2300000));");
    TADOQuery query(&connection);
    query.SQL.Add("SELECT K, V FROM BIG");
    query.Open();
    ASSERT_EQ(query.RecordCount(), 3001);
    for (int i : {1, 1234, 2999, 3000}) {
        ASSERT_TRUE(query.Locate("K", "K" + std::to_string(i)));
        const std::string v = query.FieldByName("V").AsString();
        EXPECT_EQ(v.size(), std::to_string(i).size() + 1000 + i % 7) << i;
        EXPECT_EQ(v.rfind(std::to_string(i), 0), 0u) << i;
    }
    ASSERT_TRUE(query.Locate("K", "HUGE"));
    EXPECT_EQ(query.FieldByName("V").AsString(), std::string(2300000, '0'));
    query.Next();
    EXPECT_TRUE(query.Eof());
}

TEST_F(AdoFiles, TransactionsKeepOrDropTheirRows)
{
    TADOConnection connection;
    Connect(connection);
    const auto count = [&] {
        TADOQuery query(&connection);
        query.SQL.Add("SELECT count(*) AS N FROM CALLBOOK");
        query.Open();
        return query.FieldByName("N").AsInteger();
    };
    connection.BeginTrans();
    EXPECT_TRUE(connection.InTransaction());
    connection.Execute("INSERT INTO CALLBOOK(CALL) VALUES('Q1DD')");
    connection.RollbackTrans();
    EXPECT_FALSE(connection.InTransaction());
    EXPECT_EQ(count(), 4);
    connection.BeginTrans();
    connection.Execute("INSERT INTO CALLBOOK(CALL) VALUES('Q1DD')");
    connection.CommitTrans();
    EXPECT_EQ(count(), 5);

    // The write lock is taken at once, so another writer is refused now.
    TADOConnection other;
    other.BusyTimeoutMs = 20;
    Connect(other);
    connection.BeginWriteTrans();
    ExpectMessage<EOleException>([&] { other.BeginWriteTrans(); }, {"database is locked"});
    connection.RollbackTrans();
    other.BeginWriteTrans();
    other.RollbackTrans();
}

TEST_F(AdoFiles, SchemaChecksTellTablesViewsAndComputedColumns)
{
    TADOConnection connection;
    Connect(connection);
    connection.ExecuteScript("CREATE VIEW V AS SELECT CALL FROM CALLBOOK;"
                             "CREATE TABLE G(A INTEGER, B INTEGER AS (A * 2));");
    EXPECT_EQ(connection.ObjectType("callbook"), "table");
    EXPECT_EQ(connection.ObjectType("V"), "view");
    EXPECT_EQ(connection.ObjectType("NONE"), "");
    EXPECT_FALSE(connection.HasComputedColumns("CALLBOOK"));
    EXPECT_TRUE(connection.HasComputedColumns("G"));
}

TEST_F(AdoFiles, CompactWritesAWholeCopy)
{
    {
        TADOConnection connection;
        Connect(connection);
        for (int i = 0; i < 300; ++i)
            connection.Execute("INSERT INTO CALLBOOK(CALL,QTH) VALUES('X" + std::to_string(i) + "','" +
                               std::string(200, 'n') + "')");
        EXPECT_EQ(connection.Execute("DELETE FROM CALLBOOK WHERE CALL LIKE 'X%'"), 300);
    }
    const std::string target = folder.File("mdb1234.tmp");
    CompactDatabase("Provider=P;Data Source=" + path, "Provider=P;Data Source=" + target);
    EXPECT_LT(fs::file_size(target), fs::file_size(path));

    TADOConnection copy;
    copy.ConnectionString = ConnectionFor(target);
    copy.Open();
    TADOQuery query(&copy);
    query.SQL.SetText("SELECT * FROM CALLBOOK");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 4);

    // An existing destination is refused and left alone.
    ExpectMessage<EOleException>([&] { CompactDatabase(path, target); }, {"already exists"});
    ExpectMessage<EOleException>([&] { CompactDatabase(folder.File("none.mdb"), folder.File("out.mdb")); },
                                 {"does not exist"});
    // The written file is back in rollback-journal mode with no side files.
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"DB.mdb", "mdb1234.tmp"}));
    std::ifstream in(path, std::ios::binary);
    char header[20] = {};
    in.read(header, sizeof header);
    EXPECT_EQ(header[18], 1);
    EXPECT_EQ(header[19], 1);
}

} // namespace
