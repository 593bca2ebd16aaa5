// The export's pure parts: selection, INSERT texts with their cuts and note
// tokens, the description lines, the key list and the packed percentage.
#include "Plugins/CallbookExport/XpoPackage.h"
#include "Plugins/CallbookExport/XpoTransfer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TExtInfo Items(std::initializer_list<TExtInfoItem> items)
{
    TExtInfo ext{};
    for (TExtInfoItem i : items)
        ext[i] = true;
    return ext;
}

TExtInfo AllItems()
{
    TExtInfo ext;
    ext.fill(true);
    return ext;
}

TCallbookRow Row(std::string call)
{
    TCallbookRow r;
    r.Call = std::move(call);
    return r;
}

} // namespace

TEST(XpoSelect, StatementsForTheOmitOptions)
{
    const TDateTime april5 = EncodeDate(2018, 4, 5);
    struct Case {
        TOmitOption LotW, EQSL;
        const char* Sql;
    } cases[] = {
        {{true, april5},
         {true, std::nullopt},
         "SELECT * FROM CALLBOOK WHERE (Use_LOTW AND LOTWACTDATE>=#2018-04-05#) OR "
         "(Use_EQSL AND EQSLACTDATE IS NOT NULL) ORDER BY OMCALL"},
        {{}, {}, "SELECT * FROM CALLBOOK ORDER BY OMCALL"},
        // A date left in the edit of an unchecked box selects nothing.
        {{false, april5}, {false, april5}, "SELECT * FROM CALLBOOK ORDER BY OMCALL"},
        {{true, std::nullopt},
         {},
         "SELECT * FROM CALLBOOK WHERE (Use_LOTW AND LOTWACTDATE IS NOT NULL) ORDER BY OMCALL"},
        {{},
         {true, EncodeDate(2020, 12, 31)},
         "SELECT * FROM CALLBOOK WHERE (Use_EQSL AND EQSLACTDATE>=#2020-12-31#) ORDER BY OMCALL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildSelectStatement(c.LotW, c.EQSL), c.Sql);
}

TEST(XpoInsert, CutsEveryColumnToItsLengthInCharacters)
{
    TCallbookRow r = Row("ÄBCDEFGHIJKLMNOPQRSTUVWXYZ"); // 26 characters, the first of two bytes
    r.Name = "Jürgen-Friedrich Müller";                 // 23
    r.Qth = std::string(29, 'q') + "éé";                // 31
    r.Grid = "JO62QM12";
    r.State = "Nordrhein-Westfalen";
    r.Manager = "DL/ÖVSV-BUREAU";
    r.Aka = std::string(300, 'a');
    const std::string sql = BuildInsertStatement(r, Items({eiAka}), false);
    EXPECT_EQ(sql, "INSERT INTO CALLBOOK(CALL,[NAME],QTH,GRID,STATE,MANAGER,[NOTE]) VALUES("
                   "'ÄBCDEFGHIJKLMNOPQRST','Jürgen-Friedric','" +
                       std::string(29, 'q') + "é','JO62QM','Nordrhein-','DL/ÖVSV-BURE','Aka:" + std::string(251, 'a') +
                       "')");
}

TEST(XpoInsert, ColumnsPresentOnlyWhenTheHostHasAValue)
{
    TCallbookRow absent = Row("K1ABC");
    TCallbookRow empty = Row("K1ABC");
    empty.Name = "";
    EXPECT_EQ(BuildInsertStatement(absent, {}, false), "INSERT INTO CALLBOOK(CALL) VALUES('K1ABC')");
    EXPECT_EQ(BuildInsertStatement(empty, {}, false), "INSERT INTO CALLBOOK(CALL,[NAME]) VALUES('K1ABC','')");
    // An absent callsign is an empty text.
    EXPECT_EQ(BuildInsertStatement(Row(""), {}, false), "INSERT INTO CALLBOOK(CALL) VALUES('')");
}

TEST(XpoInsert, CheckmarkCarriedOnlyWithTheHostColumn)
{
    TCallbookRow r = Row("K1ABC");
    EXPECT_EQ(BuildInsertStatement(r, {}, true), "INSERT INTO CALLBOOK(CALL,CHECKED) VALUES('K1ABC',FALSE)");
    r.Checked = true;
    EXPECT_EQ(BuildInsertStatement(r, {}, true), "INSERT INTO CALLBOOK(CALL,CHECKED) VALUES('K1ABC',TRUE)");
    EXPECT_EQ(BuildInsertStatement(r, {}, false), "INSERT INTO CALLBOOK(CALL) VALUES('K1ABC')");
}

TEST(XpoInsert, QuotesValuesWithoutTheirOwnDelimiter)
{
    TCallbookRow r = Row("EI2AB");
    r.Name = "O'Neil";
    r.Qth = "\"Big\" Town";
    EXPECT_EQ(BuildInsertStatement(r, {}, false),
              "INSERT INTO CALLBOOK(CALL,[NAME],QTH) VALUES('EI2AB','O\"Neil',\"'Big' Town\")");
}

TEST(XpoNote, TokensInTheirFixedOrder)
{
    TCallbookRow r = Row("DL1ABC");
    r.Aka = "DL0XYZ";
    r.Skype = "hans.b";
    r.Email = "hans@example.org";
    r.Bureau = r.Direct = r.LotW = r.EQSL = true;
    r.LotWDate = EncodeDate(2018, 4, 5);
    r.EQSLDate = EncodeDate(2019, 6, 30);
    r.Born = "1960";
    r.SK = "2021";
    EXPECT_EQ(BuildNote(r, AllItems()), "Aka:DL0XYZ Skype:hans.b Email:hans@example.org Bureau: Direct: "
                                        "LotW:2018-04-05 eQSL:2019-06-30 Born:1960 SK:2021");
    // Only checked items give pieces.
    EXPECT_EQ(BuildNote(r, Items({eiSK, eiBureau, eiAka})), "Aka:DL0XYZ Bureau: SK:2021");
    EXPECT_EQ(BuildNote(r, {}), "");
}

TEST(XpoNote, PiecesOnlyForValuesThatAreSet)
{
    TCallbookRow r = Row("W1AW");
    r.LotW = true; // active on LotW, date unknown
    EXPECT_EQ(BuildNote(r, AllItems()), "LotW:");
    EXPECT_EQ(BuildInsertStatement(r, AllItems(), false), "INSERT INTO CALLBOOK(CALL,[NOTE]) VALUES('W1AW','LotW:')");
    r.LotW = false;
    r.LotWDate = EncodeDate(2018, 1, 1); // a date without the flag counts for nothing
    r.Bureau = false;
    EXPECT_EQ(BuildNote(r, AllItems()), "");
    EXPECT_EQ(BuildInsertStatement(r, AllItems(), false), "INSERT INTO CALLBOOK(CALL) VALUES('W1AW')");
}

TEST(XpoNote, NoteIsCutTo255Characters)
{
    TCallbookRow r = Row("X");
    r.Aka = std::string(100, 'a');
    r.Skype = std::string(100, 's');
    r.Born = std::string(37, 'b') + "üzzz";
    // 217 characters up to "Born:", then 38 more: the last is the two-byte ü.
    EXPECT_EQ(BuildNote(r, AllItems()), "Aka:" + std::string(100, 'a') + " Skype:" + std::string(100, 's') +
                                            " Born:" + std::string(37, 'b') + "ü");
}

TEST(XpoPackage, KeysListInTheDescriptionOrder)
{
    EXPECT_EQ(BuildKeysList({}), "");
    EXPECT_EQ(BuildKeysList(Items({eiSK, eiLotW, eiAka})), "Aka, LotW, SK");
    EXPECT_EQ(BuildKeysList(AllItems()), "Aka, Bureau, Direct, LotW, eQSL, Skype, Email, Born, SK");
}

TEST(XpoPackage, PackedPercentRoundsHalvesToEven)
{
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        std::uint64_t Archive, Target, Percent;
    } cases[] = {
        {2'000'000, 8'000'000, 25},
        {1, 8, 12},    // 12.5
        {3, 8, 38},    // 37.5
        {5, 1000, 0},  // 0.5
        {15, 1000, 2}, // 1.5
        {1, 3, 33},
        {2, 3, 67},
        {30'000'000, 40'000'000, 75}, // above 21 MB the 32-bit product overflows
        {2'147'483'647, 2'147'483'648, 100},
        {1'000'000'007, 2'000'000'000, 50},
        {max, max, 100},
        {max / 2, max, 50},
        {123, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PackedPercent(c.Archive, c.Target), c.Percent) << c.Archive << "/" << c.Target;
}

TEST(XpoPackage, DescriptionLines)
{
    TDescription d;
    d.TargetName = "DB.mdb";
    d.Written = EncodeDateTime({2024, 3, 9, 7, 5, 4, 0});
    d.Size = 1'234'567;
    d.Saved = 1234;
    d.Application = "hamhost";
    d.AppVersion = "1.04.019";
    d.Keys = "Aka, LotW";
    EXPECT_EQ(DescriptionLines(d),
              (std::vector<std::string>{
                  "#",
                  "# Database file DB.mdb created 2024-03-09 07:05:04 by hamhost 1.04.019",
                  "# Contains 1,234,567 bytes, 1,234 records as updates/replacement for Zemrak_Log",
                  "# Use keys: Aka, LotW",
                  "#",
              }));
    d.Keys.clear();
    EXPECT_EQ(DescriptionLines(d)[3], "# Use keys: ");
}

TEST(XpoPackage, FileTimesAtTwoSecondPrecision)
{
    EXPECT_EQ(TwoSecondTime(EncodeDateTime({2024, 3, 9, 12, 34, 57, 900})),
              EncodeDateTime({2024, 3, 9, 12, 34, 56, 0}));
    EXPECT_EQ(TwoSecondTime(EncodeDateTime({2024, 3, 9, 12, 34, 56, 10})), EncodeDateTime({2024, 3, 9, 12, 34, 56, 0}));
}
