// The pieces of the QSO transfer: frequency, band, mode, the values of a
// host row read from a real logger table, and the statement texts.
#include "Plugins/LogAppend/QsoTransfer.h"
#include "Platform/JetSql/JetSql.h"
#include "tests/Plugins/LogAppend/LoggerFiles.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0)
{
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, 0);
}

} // namespace

TEST(AppendParseFrequency, PlacesTheDigitsByTheMagnitude)
{
    struct Case {
        const char* text;
        double digi;
        long double expected;
    };
    const Case cases[] = {
        {"14074", 14.074, 14.074L},
        {"14.074", 14.074, 14.074L},
        {"14,074", 14.074, 14.074L},
        {"3,5", 3.5, 3.5L},
        {"144,30", 144.3, 144.3L},
        {"1296200", 1296.2, 1296.2L},
        {"7", 7.0, 7.0L},
        {"1838", 1.838, 1.838L},
        {"10136", 10.136, 10.136L},
        {"432.100.5", 432.1, 432.1005L},
        {"10368100", 10368.1, 10368.1L},
        {"", 14.0, 0.0L},
        // No magnitude to go by: the text's own mark decides.
        {"14.074", 0.0, 14.074L},
        {"3,5", 0.0, 3.5L},
        {"", 0.0, 0.0L},
        {"14074", 0.0, 14074.0L},
        {"123456", 123456.0, 123456.0L},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseFrequency(c.text, c.digi, TFormatSettings::Invariant()), c.expected)
            << c.text << " with " << c.digi;
}

TEST(AppendParseFrequency, FollowsTheUsersDecimalSeparator)
{
    TFormatSettings comma = TFormatSettings::Invariant();
    comma.DecimalSeparator = ",";
    EXPECT_EQ(ParseFrequency("14.074", 14.074, comma), 14.074L);
    EXPECT_EQ(ParseFrequency("14,35", 14.35, comma), 14.35L);
    EXPECT_EQ(FrequencyToBand(ParseFrequency("14,35", 14.35, comma)), "20M");
}

TEST(AppendParseFrequency, TextThatFormsNoNumberIsAConversionErrorNamingIt)
{
    for (const char* text : {"14O74", "abc", "14 074"}) {
        try {
            ParseFrequency(text, 14.074, TFormatSettings::Invariant());
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_NE(e.Message().find(std::string("'") + text + "'"), std::string::npos) << e.Message();
        }
    }
}

TEST(AppendBands, EdgesBelongToTheirBand)
{
    ASSERT_EQ(Bands().size(), 17u);
    for (const TBandField& band : Bands()) {
        EXPECT_EQ(FrequencyToBand(band.Low), band.Name);
        EXPECT_EQ(FrequencyToBand(band.High), band.Name);
        EXPECT_EQ(FrequencyToBand((band.Low + band.High) / 2), band.Name);
        EXPECT_EQ(FrequencyToBand(band.Low - 0.001L), "") << band.Name;
        EXPECT_EQ(FrequencyToBand(band.High + 0.001L), "") << band.Name;
    }
    // As the logger writes them.
    EXPECT_EQ(FrequencyToBand(ParseFrequency("14350", 14.35, TFormatSettings::Invariant())), "20M");
    EXPECT_EQ(FrequencyToBand(ParseFrequency("14360", 14.36, TFormatSettings::Invariant())), "");
    EXPECT_EQ(FrequencyToBand(ParseFrequency("10,15", 10.15, TFormatSettings::Invariant())), "30M");
    EXPECT_EQ(FrequencyToBand(ParseFrequency("18168", 18.168, TFormatSettings::Invariant())), "17M");
    EXPECT_EQ(FrequencyToBand(3.9L), "");
    EXPECT_EQ(FrequencyToBand(0), "");
}

TEST(AppendModes, MapsTheLoggersModes)
{
    ASSERT_EQ(Modes().size(), 41u);
    const std::pair<const char*, const char*> cases[] = {
        {"BPSK31", "PSK31"}, {"BPSK63", "PSK63"}, {"BPSK125", "PSK125"}, {"USB", "USB"}, {"CW", "CW"},
        {"JT9-2", "JT9-2"},  {"SSTV", "SSTV"},    {"FSK441", ""},        {"usb", ""},    {"", ""}};
    for (auto [mode, stored] : cases)
        EXPECT_EQ(NormalizeMode(mode), stored) << mode;
    for (const TModeField& mode : Modes())
        EXPECT_EQ(NormalizeMode(mode.SourceName), mode.StoredName);
}

TEST(AppendLiterals, StatementTextIsFixedWhateverTheLocale)
{
    EXPECT_EQ(SqlMoment(At(2024, 3, 5, 9, 7) + EncodeTime(0, 0, 59)), "2024-03-05 09:07");
    EXPECT_EQ(SqlDate(At(2024, 3, 5, 23, 59)), "2024-03-05");
    EXPECT_EQ(QuotedStr("O'Neil"), "'O''Neil'");
    EXPECT_EQ(QuotedStr(""), "''");
}

TEST(AppendSourceQuery, DateEditsNarrowTheExpiryCap)
{
    Forms::TForm form;
    Forms::TDateEdit first(form, "first"), last(form, "last");
    const TDateTime expire = At(2024, 6, 30, 23, 59);
    EXPECT_EQ(BuildSourceQuery("LOG1", first, last, expire), "SELECT * FROM LOG1 WHERE QSODATE<=#2024-06-30#");
    first.SetDate(EncodeDate(2024, 1, 2));
    EXPECT_EQ(BuildSourceQuery("LOG1", first, last, expire),
              "SELECT * FROM LOG1 WHERE #2024-01-02#<=QSODATE AND QSODATE<=#2024-06-30#");
    last.SetDate(EncodeDate(2024, 2, 3));
    EXPECT_EQ(BuildSourceQuery("LOG1", first, last, expire),
              "SELECT * FROM LOG1 WHERE #2024-01-02#<=QSODATE AND QSODATE<=#2024-02-03# AND QSODATE<=#2024-06-30#");
    first.Clear();
    EXPECT_EQ(BuildSourceQuery("LOG1", first, last, expire),
              "SELECT * FROM LOG1 WHERE QSODATE<=#2024-02-03# AND QSODATE<=#2024-06-30#");
}

TEST(AppendDuplicateProbe, TheNearestRowNotTakenAndNotAddedByTheRun)
{
    const TDateTime start = At(2024, 1, 1, 10, 8);
    const std::vector<TProbeRow> rows{
        {5, At(2024, 1, 1, 10, 7)}, {6, At(2024, 1, 1, 10, 8)}, {7, At(2024, 1, 1, 10, 9)}, {9, At(2024, 1, 1, 10, 8)}};
    struct Case {
        std::unordered_set<std::int32_t> Taken;
        std::int32_t LastId;
        std::optional<std::int32_t> Expected;
    } cases[] = {
        {{}, 8, 6},                                   // the exact minute
        {{6}, 8, 5},                                  // taken: the next nearest, ties to the lower ID
        {{5, 6}, 8, 7}, {{5, 6, 7}, 8, std::nullopt}, // row 9 was added by this run
        {{}, 100, 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NearestDuplicate(rows, start, c.Taken, c.LastId), c.Expected);
    EXPECT_EQ(NearestDuplicate({}, start, {}, 8), std::nullopt);
}

TEST(AppendDuplicateProbe, WindowAroundTheStart)
{
    const TQsoWindow window = DuplicateWindow(At(2024, 1, 1, 0, 1), 2);
    EXPECT_EQ(SqlMoment(window.From), "2023-12-31 23:59");
    EXPECT_EQ(SqlMoment(window.To), "2024-01-01 00:03");
    EXPECT_EQ(
        DuplicateProbeStatement("MAIN", "DL1ABC", "20M", "FT8", window),
        "SELECT ID,QSODATE FROM LOGS WHERE LOGNAME='MAIN' AND OMCALL='DL1ABC' AND QSOBAND='20M' AND QSOMODE='FT8' "
        "AND #2023-12-31 23:59#<=QSODATE AND QSODATE<=#2024-01-01 00:03#");
    const TQsoWindow own = DuplicateWindow(At(2024, 1, 1, 10, 0), 0);
    EXPECT_EQ(SqlMoment(own.From), "2024-01-01 10:00");
    EXPECT_EQ(SqlMoment(own.To), "2024-01-01 10:00");
}

TEST(AppendCorrections, QslManager)
{
    struct Case {
        std::optional<std::string> text;
        const char* value;
        const char* line; // empty: no correction
    };
    const Case cases[] = {
        {std::nullopt, "NULL", ""},
        {"", "NULL", ""},
        {"  \t", "NULL", ""},
        {"EA7FTR", "'EA7FTR'", ""},
        {" W3HNK ", "'W3HNK'", ""},
        {"DL1ABC/P", "NULL", "G4XYZ\t? \"DL1ABC/P\" instead of QSL Manager"},
        {" via bureau ", "NULL", "G4XYZ\t? \"via bureau\" instead of QSL Manager"},
        {"BUREAU", "NULL", "G4XYZ\t? \"BUREAU\" instead of QSL Manager"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        EXPECT_EQ(QslManagerValue(c.text, "G4XYZ", lines), c.value) << c.text.value_or("(null)");
        if (*c.line)
            EXPECT_EQ(lines, std::vector<std::string>{c.line});
        else
            EXPECT_TRUE(lines.empty()) << c.text.value_or("(null)");
    }
}

TEST(AppendCorrections, QslStatAcceptsOnlyCapitalN)
{
    EXPECT_EQ(QslStatValue(std::string("N")), "'N'");
    for (const TNullableText& text :
         {TNullableText{}, TNullableText("n"), TNullableText(""), TNullableText("Y"), TNullableText("N ")})
        EXPECT_EQ(QslStatValue(text), "NULL") << text.value_or("(null)");
}

TEST(AppendCorrections, AdditionalInformationIsCutAt255Characters)
{
    std::vector<std::string> lines;
    EXPECT_EQ(AddInfoValue(std::nullopt, "K1A", lines), "NULL");
    EXPECT_EQ(AddInfoValue(std::string(), "K1A", lines), "NULL");
    // QuoteSQLValue: quotes exchanged, not doubled.
    EXPECT_EQ(AddInfoValue(std::string("it's"), "K1A", lines), "'it\"s'");
    EXPECT_EQ(AddInfoValue(std::string("say \"hi\""), "K1A", lines), "\"say 'hi'\"");
    EXPECT_TRUE(lines.empty());

    // Characters, not bytes: 255 two-byte letters stay whole.
    std::string exact;
    for (int i = 0; i < 255; ++i)
        exact += "\xC3\xA9";
    EXPECT_EQ(AddInfoValue(exact, "K1A", lines), "'" + exact + "'");
    EXPECT_TRUE(lines.empty());

    const std::string longer = exact + "x";
    EXPECT_EQ(AddInfoValue(longer, "K1A", lines), "'" + exact + "'");
    EXPECT_EQ(lines, std::vector<std::string>{"K1A\t? " + longer});
}

TEST(AppendRunSummary, ListsAllAndTheNonZeroCounts)
{
    EXPECT_EQ(RunSummary({}), "All:0");
    EXPECT_EQ(RunSummary({5, 3, 1, 0, 1}), "All:5, Ins:3, Upd:1, Err:1");
    EXPECT_EQ(RunSummary({4, 0, 4, 2, 0}), "All:4, Upd:4, Cor:2");
}

// Values read from a real logger table.
class AppendQsoValues : public ::testing::Test {
protected:
    AppendQsoValues() : dir_("logappend-values"), db_(dir_.Path() / "zemrak") { db_.AddLog("Main", "N0CALL", "LOG1"); }

    TQsoValues Values(const logger::TRow& row, std::vector<std::string>& corrections, TQsoKey* keyOut = nullptr)
    {
        db_.Exec("DELETE FROM LOG1");
        db_.Add("LOG1", row);
        TADOConnection connection;
        connection.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db_.Path() + ";";
        connection.Open();
        TADOQuery query(&connection);
        query.SQL.Add("SELECT * FROM LOG1");
        query.Open();
        const TSourceFields fields(query);
        const TQsoKey key = ReadQsoKey(fields, TFormatSettings::Invariant());
        if (keyOut) *keyOut = key;
        return BuildQsoValues(fields, key, "N0CALL", "MAIN", corrections);
    }

    TTempDir dir_;
    logger::TLogDatabase db_;
};

TEST_F(AppendQsoValues, NullAgainstEmptyForEachNullableColumn)
{
    // OMName and OMQTH keep an empty text; the others take it for NULL.
    const std::pair<const char*, TLogColumn> keepEmpty[] = {{"OMName", lcOMNAME}, {"OMQTH", lcOMQTH}};
    const std::pair<const char*, TLogColumn> emptyIsNull[] = {
        {"DXCCPrefix", lcDXCCPFX}, {"MainPrefix", lcMAINPFX}, {"Grid", lcGRIDSQUARE},
        {"IOTA", lcIOTA},          {"State", lcSTATE},        {"WPX", lcWPX},
        {"DXCC", lcDXCC},          {"QSOAddInfo", lcQSLINFO}, {"QSLManager", lcQSLMANAGER},
        {"QSLSentAdv", lcQSLSTAT}};
    logger::TRow nulls = logger::Qso("DL1ABC", "2024-01-01", "10:00");
    logger::TRow empties = nulls, filled = nulls;
    for (auto [column, host] : keepEmpty)
        nulls[column] = "NULL", empties[column] = "''", filled[column] = "'Z9Z'";
    for (auto [column, host] : emptyIsNull)
        nulls[column] = "NULL", empties[column] = "''", filled[column] = "'Z9Z'";
    for (const char* date : {"LoTWRecDate", "QSLSentDate", "QSLRecDate"})
        nulls[date] = "NULL";

    std::vector<std::string> corrections;
    const TQsoValues n = Values(nulls, corrections);
    const TQsoValues e = Values(empties, corrections);
    const TQsoValues f = Values(filled, corrections);
    EXPECT_TRUE(corrections.empty());
    for (auto [column, host] : keepEmpty) {
        EXPECT_EQ(n[host], "NULL") << column;
        EXPECT_EQ(e[host], "''") << column;
        EXPECT_EQ(f[host], "'Z9Z'") << column;
    }
    for (auto [column, host] : emptyIsNull) {
        EXPECT_EQ(n[host], "NULL") << column;
        EXPECT_EQ(e[host], "NULL") << column;
        if (host != lcQSLSTAT) {
            EXPECT_EQ(f[host], "'Z9Z'") << column;
        }
    }
    for (TLogColumn date : {lcLOTWRCVDDATE, lcQSLSENTDATE, lcQSLRECVDATE})
        EXPECT_EQ(n[date], "NULL");
    // Yes/no columns at the file's default.
    for (TLogColumn flag : {lcEQSLRCVD, lcLOTWSENT, lcLOTWRCVD, lcQSLSENT, lcQSLRECV})
        EXPECT_EQ(n[flag], "FALSE");
}

TEST_F(AppendQsoValues, EveryColumnOfACompleteRow)
{
    std::vector<std::string> corrections;
    TQsoKey key;
    const TQsoValues v = Values(logger::Qso("dl1abc", "2024-03-05", "09:07",
                                            {{"QSOBand", "'3,5'"},
                                             {"DigiBand", "3.5"},
                                             {"QSOMode", "'bpsk31'"},
                                             {"OMName", "'Hans'"},
                                             {"OMQTH", "'O''Higgins'"},
                                             {"QSLReceQSLcc", "1"},
                                             {"LoTWSent", "1"},
                                             {"QSLRec", "1"},
                                             {"QSLSentAdv", "'N'"},
                                             {"LoTWRecDate", "'2024-04-01 00:00:00'"},
                                             {"QSLRecDate", "'2024-05-02 13:45:30'"},
                                             {"QSLManager", "'DL1ABC/P'"}}),
                                corrections, &key);
    EXPECT_EQ(key.Callsign, "DL1ABC");
    EXPECT_EQ(key.Band, "80M");
    EXPECT_EQ(key.Mode, "PSK31");
    EXPECT_EQ(corrections, std::vector<std::string>{"DL1ABC\t? \"DL1ABC/P\" instead of QSL Manager"});
    EXPECT_EQ(InsertStatement(v),
              "INSERT INTO LOGS(OMCALL,QSODATE,QSOBAND,QSOMODE,QSORSTRCVD,QSORSTSEND,OMNAME,OMQTH,CONTINENT,DXCCPFX,"
              "MAINPFX,QSOFREQ,ITUZONE,CQZONE,GRIDSQUARE,QSLMANAGER,IOTA,STATE,EQSLRCVD,LOTWSENT,LOTWRCVD,QSLSENT,"
              "QSLRECV,QSLSTAT,LOTWRCVDDATE,QSLSENTDATE,QSLRECVDATE,CALLSIGN,WPX,DXCC,QSLINFO,LOGNAME,QSOTIME) "
              "VALUES('DL1ABC',#2024-03-05 09:07#,'80M','PSK31','-10','-12','Hans','O''Higgins','EU',NULL,NULL,"
              "'3.5','28','14',NULL,NULL,NULL,NULL,TRUE,TRUE,FALSE,FALSE,TRUE,'N',#2024-04-01 00:00#,NULL,"
              "#2024-05-02 13:45#,'N0CALL',NULL,NULL,NULL,'MAIN','09:07')");
    EXPECT_EQ(UpdateStatement(v, 42),
              "UPDATE LOGS SET QSLSENT=FALSE,QSLRECV=TRUE,QSLSTAT='N',QSLSENTDATE=NULL,QSLRECVDATE=#2024-05-02 13:45#,"
              "LOTWSENT=TRUE,LOTWRCVD=FALSE,LOTWRCVDDATE=#2024-04-01 00:00#,EQSLRCVD=TRUE WHERE ID=42");
}

TEST_F(AppendQsoValues, ConversionErrorsNameTheCallsignAndTheText)
{
    std::vector<std::string> corrections;
    const std::pair<logger::TRow, std::string> cases[] = {
        {logger::Qso("ok1xyz", "2024-01-01", "25:61"), "QSO with OK1XYZ: '25:61'"},
        {logger::Qso("OK1XYZ", "2024-01-01", "10:00", {{"QSOBand", "'14x074'"}}), "QSO with OK1XYZ: '14x074'"},
        {logger::Qso("OK1XYZ", "2024-01-01", "10:00", {{"QSLRecDate", "'soon'"}}), "QSO with OK1XYZ: 'soon'"},
    };
    for (const auto& [row, start] : cases) {
        try {
            Values(row, corrections);
            ADD_FAILURE() << start;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.Message();
        }
    }
}
