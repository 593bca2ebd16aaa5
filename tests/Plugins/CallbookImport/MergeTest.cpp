// What one update record becomes: the column/value pairs, the existing-value
// check and the statement texts.
#include "Platform/JetSql/JetSql.h"
#include "Plugins/CallbookImport/uImpZemrakMerge.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>

namespace {

TFieldUse Use(std::initializer_list<TUseField> items)
{
    TFieldUse use{};
    for (TUseField item : items)
        use[item] = true;
    return use;
}

std::string Pairs(const TListFields& fields)
{
    std::string text;
    for (const TListRec& pair : fields)
        text += (text.empty() ? "" : " ") + pair.ItemName + "=" + pair.ItemValue;
    return text;
}

TUpdateRecord Record(std::string call)
{
    TUpdateRecord record;
    record.Call = std::move(call);
    return record;
}

// A resolver that knows one callsign.
bool ResolveQ1(std::string_view callsign, TCallsignCountry& country)
{
    if (callsign != "Q1ABC") return false;
    country = {"EU", "UA", "291", "UA3", "29", "16"};
    return true;
}

} // namespace

TEST(ImportMerge, WorkedExampleGivesTheInsertAndTheUpdate)
{
    TUpdateRecord record = Record("Q1ABC");
    record.Name = "Ivan";
    record.Grid = "FN42";
    record.Note = "Aka:Q9XYZ Bureau:";
    TListFields fields;
    std::string managerError;
    CollectFields(record, Use({ufBureau, ufName, ufGrid, ufAka}), nullptr, fields, managerError);
    EXPECT_EQ(
        BuildInsert("Q1ABC", fields),
        "INSERT INTO CALLBOOK(OMCALL,OMNAME,GRIDSQUARE,AKA,Use_BUREAU) VALUES('Q1ABC','Ivan','FN42','Q9XYZ',TRUE)");
    DropFilledColumns(fields, [](const std::string& column) { return column == "OMNAME"; });
    EXPECT_EQ(BuildUpdate("Q1ABC", fields),
              "UPDATE CALLBOOK SET GRIDSQUARE='FN42',AKA='Q9XYZ',Use_BUREAU=TRUE WHERE OMCALL='Q1ABC'");
    EXPECT_EQ(managerError, "");
}

TEST(ImportMerge, CollectedPairs)
{
    struct Case {
        const char* what;
        TUpdateRecord record;
        TFieldUse use;
        std::string pairs;
        std::string managerError;
    };
    auto with = [](auto setter) {
        TUpdateRecord r = Record("Q1ABC");
        setter(r);
        return r;
    };
    const TFieldUse all = Use(
        {ufBureau, ufBorn, ufName, ufDirect, ufSK, ufQTH, ufEmail, ufSkype, ufState, ufQSLvia, ufDXCC, ufGrid, ufAka});
    const Case cases[] = {
        {"texts are trimmed and quoted, in column order",
         with([](auto& r) { r.Grid = " KO85 ", r.State = "MO", r.Qth = "Moscow", r.Name = "  Ivan "; }), all,
         "OMNAME='Ivan' OMQTH='Moscow' STATE='MO' GRIDSQUARE='KO85' CONTINENT='EU' DXCCPFX='UA' MAINPFX='UA3' "
         "DXCC='291' CQZONE='16' ITUZONE='29'",
         ""},
        {"blank and NULL texts give nothing", with([](auto& r) { r.Name = "   ", r.Qth = ""; }), Use({ufName, ufQTH}),
         "", ""},
        {"an unchecked item gives nothing", with([](auto& r) { r.Name = "Ivan", r.Grid = "KO85"; }), Use({ufGrid}),
         "GRIDSQUARE='KO85'", ""},
        {"O'Brien keeps his apostrophe, doubled", with([](auto& r) { r.Name = "O'Brien"; }), Use({ufName}),
         "OMNAME='O''Brien'", ""},
        {"a checked record sets CHK whatever the items", with([](auto& r) { r.Checked = true; }), Use({}), "CHK=TRUE",
         ""},
        {"an unchecked record sets nothing", with([](auto& r) { r.Checked = false; }), all,
         "CONTINENT='EU' DXCCPFX='UA' MAINPFX='UA3' DXCC='291' CQZONE='16' ITUZONE='29'", ""},
        {"a callsign that does not resolve gives no country", Record("Q2XYZ"), Use({ufDXCC}), "", ""},
        // The manager rule, its four branches.
        {"manager: a callsign", with([](auto& r) { r.Manager = "UA3AAA"; }), Use({ufQSLvia}), "QSLMANAGER='UA3AAA'",
         ""},
        {"manager: the bureau, any case, blanks around", with([](auto& r) { r.Manager = "  bUrEaU "; }),
         Use({ufQSLvia, ufBureau}), "Use_BUREAU=TRUE", ""},
        {"manager: the bureau without its item stays a note word", with([](auto& r) { r.Manager = "BUREAU"; }),
         Use({ufQSLvia}), "NOTES='Bureau:'", ""},
        {"manager: direct", with([](auto& r) { r.Manager = "Direct", r.Note = "old"; }), Use({ufQSLvia, ufDirect}),
         "Use_DIRECT=TRUE NOTES='old'", ""},
        {"manager: several words are an error line", with([](auto& r) { r.Manager = "via W3HNK"; }), Use({ufQSLvia}),
         "", "Q1ABC\t? QSL Manager = \"via W3HNK\""},
        {"manager: punctuation is no callsign", with([](auto& r) { r.Manager = "Q9/XX"; }), Use({ufQSLvia}), "",
         "Q1ABC\t? QSL Manager = \"Q9/XX\""},
        {"manager: blank gives nothing", with([](auto& r) { r.Manager = "  "; }), Use({ufQSLvia}), "", ""},
        {"manager: not asked for", with([](auto& r) { r.Manager = "via W3HNK"; }), Use({ufName}), "", ""},
        // Keywords of the note.
        {"keywords with their gates, runs of blanks between words",
         with([](auto& r) { r.Note = "  Email:a@b.c   Skype:ab  old    remark "; }), Use({ufSkype}),
         "SKYPE='ab' NOTES='Email:a@b.c old remark'", ""},
        {"every keyword", with([](auto& r) {
             r.Note = "SK:2001 Born:1950 Email:x@y Skype:s Aka:Q9XYZ Direct: Bureau: LotW:2023-01-01 eQSL:";
         }),
         all,
         "CONTINENT='EU' DXCCPFX='UA' MAINPFX='UA3' DXCC='291' CQZONE='16' ITUZONE='29' SK='2001' BORN='1950' "
         "EMAIL='x@y' SKYPE='s' AKA='Q9XYZ' Use_DIRECT=TRUE Use_BUREAU=TRUE NOTES='LotW:2023-01-01 eQSL:'",
         ""},
        {"a keyword in another case is a note word", with([](auto& r) { r.Note = "aka:Q9XYZ SKYPE:ab"; }),
         Use({ufAka, ufSkype}), "NOTES='aka:Q9XYZ SKYPE:ab'", ""},
        {"a keyword twice gives its column twice", with([](auto& r) { r.Note = "Aka:Q9AA Aka:Q9BB"; }), Use({ufAka}),
         "AKA='Q9AA' AKA='Q9BB'", ""},
        {"a keyword with nothing after it", with([](auto& r) { r.Note = "Aka: Born:"; }), Use({ufAka, ufBorn}),
         "AKA='' BORN=''", ""},
        {"a keyword value with an apostrophe", with([](auto& r) { r.Note = "Skype:o'neil"; }), Use({ufSkype}),
         "SKYPE='o''neil'", ""},
    };
    for (const Case& c : cases) {
        TListFields fields;
        std::string managerError = "stale";
        CollectFields(c.record, c.use, ResolveQ1, fields, managerError);
        EXPECT_EQ(Pairs(fields), c.pairs) << c.what;
        EXPECT_EQ(managerError, c.managerError) << c.what;
    }
}

TEST(ImportMerge, ResolverAskedOnlyForTheCountryItem)
{
    int asked = 0;
    auto counting = [&asked](std::string_view callsign, TCallsignCountry& country) {
        ++asked;
        return ResolveQ1(callsign, country);
    };
    TListFields fields;
    std::string error;
    CollectFields(Record("Q1ABC"), Use({ufName}), counting, fields, error);
    EXPECT_EQ(asked, 0);
    CollectFields(Record(" Q1ABC"), Use({ufDXCC}), counting, fields, error);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Pairs(fields), "") << "the callsign goes to the resolver as read, blanks and all";
}

TEST(ImportMerge, ExistingValueCheckDropsFilledColumns)
{
    struct Case {
        const char* what;
        TListFields fields;
        std::set<std::string> filled;
        std::string left;
    };
    const Case cases[] = {
        {"nothing filled", {{"OMNAME", "'a'"}, {"CHK", "TRUE"}}, {}, "OMNAME='a' CHK=TRUE"},
        {"every column filled", {{"OMNAME", "'a'"}, {"CHK", "TRUE"}}, {"OMNAME", "CHK"}, ""},
        {"the last and the first",
         {{"OMNAME", "'a'"}, {"OMQTH", "'b'"}, {"NOTES", "'c'"}},
         {"OMNAME", "NOTES"},
         "OMQTH='b'"},
        {"a column twice goes with all its pairs",
         {{"AKA", "'x'"}, {"OMQTH", "'b'"}, {"AKA", "'y'"}, {"SK", "'s'"}},
         {"AKA"},
         "OMQTH='b' SK='s'"},
    };
    for (const Case& c : cases) {
        TListFields fields = c.fields;
        std::vector<std::string> asked;
        DropFilledColumns(fields, [&](const std::string& column) {
            asked.push_back(column);
            return c.filled.count(column) > 0;
        });
        EXPECT_EQ(Pairs(fields), c.left) << c.what;
    }
    // From the last pair to the first.
    TListFields fields{{"A", "1"}, {"B", "2"}, {"C", "3"}};
    std::vector<std::string> asked;
    DropFilledColumns(fields, [&](const std::string& column) {
        asked.push_back(column);
        return false;
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"C", "B", "A"}));
}

TEST(ImportMerge, BooleanColumns)
{
    for (const char* column : {"CHK", "Use_BUREAU", "Use_DIRECT"})
        EXPECT_TRUE(IsBooleanColumn(column)) << column;
    for (const char* column : {"OMNAME", "chk", "USE_BUREAU", "NOTES"})
        EXPECT_FALSE(IsBooleanColumn(column)) << column;
}

TEST(ImportMerge, StatementsQuoteTheCallsign)
{
    TListFields fields{{"OMNAME", "'x'"}};
    EXPECT_EQ(BuildInsert("O'K1", fields), "INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('O''K1','x')");
    EXPECT_EQ(BuildUpdate("O'K1", fields), "UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='O''K1'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(QuotedStr("a''b\"c"), "'a''''b\"c'");
}
