#include "Platform/JetSql/JetSql.h"
#include "Platform/Ado/Ado.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TCase {
    const char* Jet;
    const char* Sqlite;
};

TEST(JetToSqlite, TranslatesEachForm)
{
    const TCase cases[] = {
        {"", ""},
        {"SELECT * FROM CALLBOOK ORDER BY CALL", "SELECT * FROM CALLBOOK ORDER BY CALL"},
        // text literals
        {"WHERE A>\"\"", "WHERE A>''"},
        {"VALUES(\"it's\")", "VALUES('it''s')"},
        {"VALUES(\"say \"\"hi\"\"\")", "VALUES('say \"hi\"')"},
        {"VALUES('O\"Neil','a''b')", "VALUES('O\"Neil','a''b')"},
        {"VALUES('')", "VALUES('')"},
        // dates
        {"X>=#2018-04-05#", "X>='2018-04-05 00:00:00'"},
        {"#2024-01-05 09:58#<=QSODATE", "'2024-01-05 09:58:00'<=QSODATE"},
        {"#2024-01-05 23:59:07#", "'2024-01-05 23:59:07'"},
        {"# 2024-1-5  9:05 #", "'2024-01-05 09:05:00'"},
        {"#2024-01-05 10.00#", "'2024-01-05 10:00:00'"},
        {"#1/2/2024#", "'2024-01-02 00:00:00'"},
        {"#12/31/1999 13:14#", "'1999-12-31 13:14:00'"},
        {"#2024-02-29#", "'2024-02-29 00:00:00'"},
        // not dates: left for SQLite to refuse
        {"#2023-02-29#", "#2023-02-29#"},
        {"#2024-01-05 24:00#", "#2024-01-05 24:00#"},
        {"#24-01-05#", "#24-01-05#"},
        {"#abc#", "#abc#"},
        {"#2024-01-05", "#2024-01-05"},
        // booleans
        {"SET Checked=TRUE,B=false", "SET Checked=1,B=0"},
        {"t.TRUE, TRUEX, 'TRUE', [FALSE]", "t.TRUE, TRUEX, 'TRUE', \"FALSE\""},
        // bracketed names
        {"INSERT INTO CALLBOOK(CALL,[NAME],[NOTE])", "INSERT INTO CALLBOOK(CALL,\"NAME\",\"NOTE\")"},
        {"[a\"b]", "\"a\"\"b\""},
        // make-table
        {"SELECT * INTO _CALLBOOK_ FROM CALLBOOK", "CREATE TABLE _CALLBOOK_ AS SELECT *  FROM CALLBOOK"},
        {"select a,b into [New T] from s where c", "CREATE TABLE \"New T\" AS select a,b  from s where c"},
        {"INSERT INTO T SELECT * FROM S", "INSERT INTO T SELECT * FROM S"},
        {"SELECT (SELECT 1 INTO x FROM y) FROM z", "SELECT (SELECT 1 INTO x FROM y) FROM z"},
        {"SELECT a FROM b INTO c", "SELECT a FROM b INTO c"},
        // Jet has no comments
        {"SELECT 2 --1", "SELECT 2 - -1"},
        {"SELECT 4 /*2*/", "SELECT 4 / *2*/"},
        // unterminated pieces stay as they are
        {"SELECT 'abc", "SELECT 'abc"},
        {"SELECT \"abc", "SELECT \"abc"},
        {"SELECT [abc", "SELECT [abc"},
        // quoted text is never read as SQL
        {"'--' \"#2024-01-01#\" 'TRUE' \"[x]\" ';DROP TABLE T;'", "'--' '#2024-01-01#' 'TRUE' '[x]' ';DROP TABLE T;'"},
        {"\"INTO x FROM\"", "'INTO x FROM'"},
        {"SELECT 'ü', \"ф\" FROM T", "SELECT 'ü', 'ф' FROM T"},
        {"1.5e+3 TRUE", "1.5e+3 1"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(JetToSqlite(c.Jet), c.Sqlite) << "Jet: " << c.Jet;
}

TEST(JetToSqlite, ReportsTheTableOfAMakeTableQuery)
{
    EXPECT_EQ(TranslateJet("SELECT * INTO _CALLBOOK_ FROM CALLBOOK").MakeTable, "_CALLBOOK_");
    EXPECT_EQ(TranslateJet("SELECT * INTO [a b] FROM c").MakeTable, "\"a b\"");
    EXPECT_EQ(TranslateJet("INSERT INTO a VALUES(1)").MakeTable, "");
}

// Both dialects' statements of the logger files and the host database run on
// SQLite schemas holding those tables.
class JetStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        TSqliteOptions options;
        options.Create = true;
        host.Open(":memory:", options);
        logger.Open(":memory:", options);
        host.Exec(R"(
CREATE TABLE CALLBOOK(OMCALL TEXT PRIMARY KEY, OMNAME TEXT, OMQTH TEXT, STATE TEXT, GRIDSQUARE TEXT,
  QSLMANAGER TEXT, NOTES TEXT, CHK BOOLEAN, Use_BUREAU BOOLEAN, Use_DIRECT BOOLEAN, Use_LOTW BOOLEAN,
  LOTWACTDATE DATETIME, Use_EQSL BOOLEAN, EQSLACTDATE DATETIME, AKA TEXT, SKYPE TEXT, EMAIL TEXT,
  BORN TEXT, SK TEXT, CONTINENT TEXT, DXCCPFX TEXT, MAINPFX TEXT, DXCC TEXT, CQZONE TEXT,
  ITUZONE TEXT, QRZRU TEXT);
CREATE TABLE COUNTRY(ID INTEGER PRIMARY KEY, PREFIXLIST TEXT, ARRLPrefix TEXT, Continent TEXT,
  DXCC TEXT, ITUZone TEXT, CQZone TEXT, STARTDATE DATETIME, ENDDATE DATETIME);
CREATE TABLE PROVINCE(ID INTEGER PRIMARY KEY, PREFIXLIST TEXT, ARRLPrefix TEXT, Prefix TEXT,
  Continent TEXT, DXCC INTEGER, ITUZone TEXT, CQZone TEXT, STARTDATE DATETIME, ENDDATE DATETIME);
CREATE TABLE UNIQUECALL(ID INTEGER PRIMARY KEY, CALLSIGN TEXT, ARRLPrefix TEXT, Prefix TEXT,
  Continent TEXT, DXCC INTEGER, ITUZone INTEGER, CQZone INTEGER, STARTDATE DATETIME, ENDDATE DATETIME);
CREATE TABLE LOGS(ID INTEGER PRIMARY KEY, LOGNAME TEXT, OMCALL TEXT, QSODATE DATETIME, QSOTIME TEXT,
  QSOBAND TEXT, QSOMODE TEXT, QSORSTRCVD TEXT, QSORSTSEND TEXT, OMNAME TEXT, OMQTH TEXT,
  CONTINENT TEXT, DXCCPFX TEXT, MAINPFX TEXT, QSOFREQ TEXT, ITUZONE TEXT, CQZONE TEXT,
  GRIDSQUARE TEXT, QSLMANAGER TEXT, IOTA TEXT, STATE TEXT, EQSLRCVD BOOLEAN, LOTWSENT BOOLEAN,
  LOTWRCVD BOOLEAN, QSLSENT BOOLEAN, QSLRECV BOOLEAN, QSLSTAT TEXT, LOTWRCVDDATE DATETIME,
  QSLSENTDATE DATETIME, QSLRECVDATE DATETIME, CALLSIGN TEXT, WPX TEXT, DXCC TEXT, QSLINFO TEXT);

INSERT INTO CALLBOOK(OMCALL,OMNAME,CHK,Use_LOTW,LOTWACTDATE,Use_EQSL,EQSLACTDATE) VALUES
  ('Q1AA','Ann',1,1,'2018-04-05 00:00:00',0,NULL),
  ('Q1BB',NULL,0,1,'2018-04-04 00:00:00',1,NULL),
  ('Q1CC','Cy',NULL,0,'2019-01-01 00:00:00',1,'2017-03-02 00:00:00'),
  ('Q1DD','Di',1,NULL,NULL,NULL,NULL);
INSERT INTO COUNTRY(ID,PREFIXLIST,STARTDATE,ENDDATE) VALUES
  (1,'Q1.*',NULL,NULL),(2,'',NULL,NULL),(3,NULL,NULL,NULL),
  (4,'Q2.*',NULL,'2024-03-10 00:00:00'),(5,'Q3.*','2024-03-11 00:00:00',NULL),
  (6,'Q4.*','2024-03-10 00:00:00','2024-03-09 00:00:00');
INSERT INTO PROVINCE(ID,PREFIXLIST,STARTDATE,ENDDATE) VALUES (1,'P1.*',NULL,'2024-03-10 00:00:00');
INSERT INTO UNIQUECALL(ID,CALLSIGN,STARTDATE,ENDDATE) VALUES (2,'Q9X',NULL,NULL),(1,'Q9Y','2024-03-10 00:00:00',NULL);
INSERT INTO LOGS(LOGNAME,OMCALL,QSODATE,QSOBAND,QSOMODE,QSLSENT) VALUES
  ('Main','Q1AA','2024-01-05 09:57:00','20M','SSB',0),
  ('Main','Q1AA','2024-01-05 09:58:00','20M','SSB',0),
  ('Main','Q1AA','2024-01-05 10:02:00','20M','SSB',0),
  ('Main','Q1AA','2024-01-05 10:03:00','20M','SSB',0),
  ('Other','Q1AA','2024-01-05 10:00:00','20M','SSB',0);
)");
        logger.Exec(R"(
CREATE TABLE CALLBOOK(CALL TEXT, NAME TEXT, QTH TEXT, GRID TEXT, STATE TEXT, MANAGER TEXT,
  NOTE TEXT, CHECKED BOOLEAN, EXTRA TEXT DEFAULT 'x');
CREATE TABLE ACONFIG(LOGNAME TEXT, CALLSIGN TEXT, LOGFILENAME TEXT, QTH TEXT);
CREATE TABLE LOG_Q1ABC(CallSign TEXT, QSODate DATETIME, QSOTime TEXT, QSOBand TEXT, DigiBand REAL,
  QSOMode TEXT);
CREATE TABLE LOG_EMPTY(CallSign TEXT, QSODate DATETIME);
INSERT INTO CALLBOOK(CALL,NAME,CHECKED) VALUES ('Q1AA','Ann',1),('Q1BB','Bo',0);
INSERT INTO ACONFIG VALUES ('Home','Q1ABC','LOG_Q1ABC','Town'),('Away','Q1ABC','LOG_EMPTY',''),
  ('Theirs','Q2XYZ','LOG_X','');
INSERT INTO LOG_Q1ABC VALUES ('q9zz','2023-12-31 00:00:00','23:59','14074',14.074,'usb'),
  ('Q9YY','2024-01-01 00:00:00','00:00','3,5',3.5,'CW'),
  ('Q9XX','2024-02-01 00:00:00','12:00','144,30',144.3,'FM');
)");
    }

    // Rows of a SELECT, or rows affected by any other statement.
    static std::int64_t Run(TSqliteDatabase& db, const std::string& jet)
    {
        {
            TSqliteStatement statement = PrepareJetStatement(db, jet);
            if (statement.ColumnCount() != 0) {
                std::int64_t rows = 0;
                while (statement.Step())
                    ++rows;
                return rows;
            }
        }
        return ExecuteJetStatement(db, jet);
    }

    static std::vector<std::string> Column(TSqliteDatabase& db, const std::string& jet)
    {
        TSqliteStatement statement = PrepareJetStatement(db, jet);
        std::vector<std::string> values;
        while (statement.Step())
            values.push_back(statement.ColumnIsNull(0) ? "<null>" : std::string(statement.ColumnText(0)));
        return values;
    }

    TSqliteDatabase host;
    TSqliteDatabase logger;
};

using TStrings = std::vector<std::string>;

TEST_F(JetStatements, DictionaryRowsValidToday)
{
    const std::string today = "2024-03-10";
    EXPECT_EQ(Column(host, "SELECT * FROM UNIQUECALL WHERE (CALLSIGN IS NOT NULL AND CALLSIGN>\"\") AND "
                           "(ENDDATE IS NULL OR #" +
                               today + "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" + today + "#) ORDER BY ID"),
              (TStrings{"1", "2"}));
    EXPECT_EQ(Column(host, "SELECT * FROM COUNTRY WHERE (PREFIXLIST IS NOT NULL AND PREFIXLIST>\"\") AND "
                           "(ENDDATE IS NULL OR #" +
                               today + "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" + today + "#) ORDER BY ID"),
              (TStrings{"1", "4"}));
    EXPECT_EQ(Run(host, "SELECT * FROM PROVINCE WHERE (PREFIXLIST IS NOT NULL AND PREFIXLIST>\"\") AND "
                        "(ENDDATE IS NULL OR #" +
                            today + "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" + today + "#) ORDER BY ID"),
              1);
}

TEST_F(JetStatements, HostCallbookStatements)
{
    EXPECT_EQ(Column(host, "SELECT * FROM CALLBOOK ORDER BY OMCALL"), (TStrings{"Q1AA", "Q1BB", "Q1CC", "Q1DD"}));
    EXPECT_EQ(Run(host, "SELECT DISTINCT OMCALL FROM CALLBOOK ORDER BY OMCALL"), 4);
    EXPECT_EQ(Run(host, "INSERT INTO CALLBOOK(OMCALL,OMNAME,GRIDSQUARE,AKA,Use_BUREAU) "
                        "VALUES('Q1ABC','Ivan','FN42','Q9XYZ',TRUE)"),
              1);
    EXPECT_EQ(Run(host, "UPDATE CALLBOOK SET GRIDSQUARE='FN42',AKA='Q9XYZ',Use_BUREAU=TRUE WHERE OMCALL='Q1BB'"), 1);
    EXPECT_EQ(Run(host, "UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='NOBODY'"), 0);
    EXPECT_EQ(Column(host, "SELECT Use_BUREAU FROM CALLBOOK WHERE Use_BUREAU ORDER BY OMCALL"), (TStrings{"1", "1"}));
    // Inserting a key twice is refused by the database.
    EXPECT_THROW(Run(host, "INSERT INTO CALLBOOK(OMCALL) VALUES('Q1AA')"), EOleException);
}

TEST_F(JetStatements, ExportSelectionsAndEarliestDates)
{
    EXPECT_EQ(Column(host, "SELECT * FROM CALLBOOK WHERE (Use_LOTW AND LOTWACTDATE>=#2018-04-05#) OR "
                           "(Use_EQSL AND EQSLACTDATE IS NOT NULL) ORDER BY OMCALL"),
              (TStrings{"Q1AA", "Q1CC"}));
    EXPECT_EQ(Run(host, "SELECT * FROM CALLBOOK WHERE (Use_LOTW AND LOTWACTDATE IS NOT NULL) ORDER BY OMCALL"), 2);
    EXPECT_EQ(Run(host, "SELECT * FROM CALLBOOK WHERE NOT CHK ORDER BY OMCALL"), 1); // NULL is neither
    EXPECT_EQ(Run(host, "SELECT LOTWACTDATE FROM CALLBOOK WHERE LOTWACTDATE IS NOT NULL"), 3);
    EXPECT_EQ(Column(host, "SELECT MIN(LOTWACTDATE) AS MINDATE FROM CALLBOOK WHERE LOTWACTDATE IS NOT NULL"),
              (TStrings{"2018-04-04 00:00:00"}));
    EXPECT_EQ(Column(host, "SELECT MIN(EQSLACTDATE) AS MINDATE FROM CALLBOOK WHERE EQSLACTDATE IS NOT NULL"),
              (TStrings{"2017-03-02 00:00:00"}));
}

TEST_F(JetStatements, LogDuplicateWindowInsertAndUpdate)
{
    const std::string probe = "SELECT ID FROM LOGS WHERE LOGNAME='Main' AND OMCALL='Q1AA' AND QSOBAND='20M' "
                              "AND QSOMODE='SSB' AND #2024-01-05 09:58#<=QSODATE AND QSODATE<=#2024-01-05 10:02#";
    EXPECT_EQ(Run(host, probe), 2); // both ends included, the other log left out

    const std::string insert =
        "INSERT INTO LOGS(OMCALL,QSODATE,QSOBAND,QSOMODE,QSORSTRCVD,QSORSTSEND,OMNAME,OMQTH,CONTINENT,DXCCPFX,"
        "MAINPFX,QSOFREQ,ITUZONE,CQZONE,GRIDSQUARE,QSLMANAGER,IOTA,STATE,EQSLRCVD,LOTWSENT,LOTWRCVD,QSLSENT,"
        "QSLRECV,QSLSTAT,LOTWRCVDDATE,QSLSENTDATE,QSLRECVDATE,CALLSIGN,WPX,DXCC,QSLINFO,LOGNAME,QSOTIME) "
        "VALUES('Q9ZZ',#2024-01-05 10:00#,'20M','USB','59','57',NULL,'',"
        "'EU',NULL,NULL,'14.074','29','16',NULL,'Q1MGR',NULL,NULL,TRUE,FALSE,FALSE,TRUE,FALSE,'N',"
        "#2024-01-06 08:00#,NULL,NULL,'Q1ABC',NULL,NULL,\"O'Neil's \"\"info\"\"\",'Main','10:00')";
    EXPECT_EQ(Run(host, insert), 1);
    EXPECT_EQ(Column(host, "SELECT QSODATE FROM LOGS WHERE OMCALL='Q9ZZ'"), (TStrings{"2024-01-05 10:00:00"}));
    EXPECT_EQ(Column(host, "SELECT QSLINFO FROM LOGS WHERE OMCALL='Q9ZZ'"), (TStrings{"O'Neil's \"info\""}));

    const std::string update =
        "UPDATE LOGS SET QSLSENT=TRUE,QSLRECV=FALSE,QSLSTAT=NULL,QSLSENTDATE=#2024-02-01 12:30#,"
        "QSLRECVDATE=NULL,LOTWSENT=TRUE,LOTWRCVD=TRUE,LOTWRCVDDATE=#2024-02-02 00:00#,EQSLRCVD=FALSE "
        "WHERE OMCALL='Q9ZZ' AND QSODATE=#2024-01-05 10:00# AND QSOBAND='20M' AND QSOMODE='USB' AND LOGNAME='Main'";
    EXPECT_EQ(Run(host, update), 1);
    // A duplicate found only inside the window matches no row at the exact minute.
    EXPECT_EQ(Run(host, "UPDATE LOGS SET QSLSENT=TRUE WHERE OMCALL='Q1AA' AND QSODATE=#2024-01-05 10:00# "
                        "AND QSOBAND='20M' AND QSOMODE='SSB' AND LOGNAME='Main'"),
              0);
}

TEST_F(JetStatements, LoggerLogStatements)
{
    EXPECT_EQ(Column(logger, "SELECT LOGNAME FROM ACONFIG WHERE CALLSIGN='Q1ABC' ORDER BY LOGNAME"),
              (TStrings{"Away", "Home"}));
    EXPECT_EQ(Column(logger, "SELECT LOGFILENAME,QTH FROM ACONFIG WHERE LOGNAME='Home'"), (TStrings{"LOG_Q1ABC"}));
    EXPECT_EQ(Column(logger, "SELECT MIN(QSODATE) AS MINDATE FROM LOG_Q1ABC"), (TStrings{"2023-12-31 00:00:00"}));
    EXPECT_EQ(Column(logger, "SELECT MAX(QSODATE) AS MAXDATE FROM LOG_Q1ABC"), (TStrings{"2024-02-01 00:00:00"}));
    EXPECT_EQ(Column(logger, "SELECT MAX(QSODATE) AS MAXDATE FROM LOG_EMPTY"), (TStrings{"<null>"}));
    EXPECT_EQ(Run(logger, "SELECT * FROM LOG_Q1ABC WHERE QSODATE<=#2024-01-01#"), 2);
    EXPECT_EQ(Run(logger, "SELECT * FROM LOG_Q1ABC WHERE #2024-01-01#<=QSODATE AND QSODATE<=#2024-01-31# "
                          "AND QSODATE<=#2024-12-31#"),
              1);
    EXPECT_EQ(Run(logger, "SELECT * FROM LOG_Q1ABC WHERE QSODATE<=#2024-02-01# AND QSODATE<=#2025-01-01#"), 3);
}

TEST_F(JetStatements, ReferenceCallbookRebuildAndFill)
{
    EXPECT_EQ(Column(logger, "SELECT * FROM CALLBOOK ORDER BY CALL"), (TStrings{"Q1AA", "Q1BB"}));
    EXPECT_EQ(Run(logger, "DELETE FROM CALLBOOK"), 2);
    EXPECT_EQ(Run(logger, "SELECT * INTO _CALLBOOK_ FROM CALLBOOK"), 0);
    EXPECT_EQ(Run(logger, "DROP TABLE CALLBOOK"), 0);
    EXPECT_EQ(Run(logger, "SELECT * INTO CALLBOOK FROM _CALLBOOK_"), 0);
    EXPECT_EQ(Run(logger, "DROP TABLE _CALLBOOK_"), 0);
    EXPECT_EQ(Run(logger, "SELECT * FROM CALLBOOK"), 0);

    EXPECT_EQ(Run(logger, "INSERT INTO CALLBOOK(CALL,[NAME],QTH,GRID,STATE,MANAGER,[NOTE],CHECKED) "
                          "VALUES('Q1ABC','Ivan','Town','FN42','NY','BUREAU','Aka:Q9XYZ Bureau: LotW:',TRUE)"),
              1);
    // Store: QuoteSQLValue literals in both quotings, a closing semicolon.
    EXPECT_EQ(Run(logger, "INSERT INTO CALLBOOK(CALL,[NAME],GRID,Checked) VALUES('Q2ABC',\"say 'hi'\",'FN43',FALSE);"),
              1);
    EXPECT_EQ(Run(logger, "UPDATE CALLBOOK SET [NAME]='O\"Neil',GRID='FN44',Checked=TRUE WHERE CALL='Q2ABC';"), 1);
    EXPECT_EQ(Column(logger, "SELECT NAME FROM CALLBOOK WHERE CHECKED ORDER BY CALL"), (TStrings{"Ivan", "O\"Neil"}));
    EXPECT_EQ(Column(logger, "SELECT NOTE FROM CALLBOOK WHERE CALL='Q1ABC'"), (TStrings{"Aka:Q9XYZ Bureau: LotW:"}));
}

TEST_F(JetStatements, MakeTableAnswersTheRowsCopied)
{
    EXPECT_EQ(ExecuteJetStatement(logger, "SELECT * INTO COPY1 FROM CALLBOOK"), 2);
    EXPECT_EQ(ExecuteJetStatement(logger, "SELECT CALL INTO [COPY 2] FROM CALLBOOK WHERE CHECKED"), 1);
}

// Quoted values holding quotes, semicolons, #, --, SQL words land as text.
TEST_F(JetStatements, QuotedTextIsStoredAsIs)
{
    const std::vector<std::string> values = {
        "a;b",
        "x'; DROP TABLE CALLBOOK; --",
        "#2024-01-01#",
        "-- not a comment",
        "/* nor this */",
        "[NAME]",
        "TRUE",
        "SELECT * INTO T FROM CALLBOOK",
        "back\\slash",
        "\"",
        "'",
        "",
        "tab\tline\nbreak",
        "ünïcödé ✓",
        ":param ?1 @x $y",
    };
    int n = 0;
    for (const std::string& value : values) {
        for (const char quote : {'\'', '"'}) {
            std::string literal(1, quote);
            for (char c : value) {
                if (c == quote) literal += quote;
                literal += c;
            }
            literal += quote;
            const std::string call = "K" + std::to_string(++n);
            ASSERT_EQ(Run(logger, "INSERT INTO CALLBOOK(CALL,[NOTE]) VALUES('" + call + "'," + literal + ")"), 1)
                << literal;
            EXPECT_EQ(Column(logger, "SELECT NOTE FROM CALLBOOK WHERE CALL='" + call + "'"), (TStrings{value}))
                << literal;
        }
    }
    EXPECT_EQ(Run(logger, "SELECT * FROM CALLBOOK"), 2 + n);
}

TEST_F(JetStatements, WhatIsNotUnderstoodFailsInSqlite)
{
    EXPECT_THROW(Run(logger, "SELECT * FROM CALLBOOK WHERE CALL=#2023-02-30#"), EOleException);
    EXPECT_THROW(Run(logger, "SELECT * FROM CALLBOOK WHERE CALL='abc"), EOleException);
    // A bracketed name that does not exist is an error, not a text.
    EXPECT_THROW(Run(logger, "SELECT [NOSUCH] FROM CALLBOOK"), EOleException);
    EXPECT_EQ(Column(logger, "SELECT 2 --1"), (TStrings{"3"}));
}

} // namespace
