#include "Includes/uCommFunc/uCommFunc.h"

#include "Platform/SysUtils/SysUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Words = std::vector<std::string>;

TEST(SplitWords, Cases)
{
    struct Case {
        std::string text;
        int minLength;
        Words words;
    };
    const Case cases[] = {
        {"  Bureau:  Direct: ABC ", 1, {"Bureau:", "Direct:", "ABC"}},
        {"", 1, {}},
        {"     ", 1, {}},
        {"\t\r\n", 1, {}},
        {"one", 1, {"one"}},
        {"a\tb\nc", 1, {"a", "b", "c"}},
        // No-break space is a separator but not trimmed: the empty word it
        // leaves at the start of the remainder is dropped by MinLength 1 ...
        {"A\xC2\xA0\xC2\xA0"
         "B",
         1,
         {"A", "B"}},
        {"\xC2\xA0X ", 1, {"X"}},
        // ... and kept with MinLength 0.
        {"A\xC2\xA0\xC2\xA0"
         "B",
         0,
         {"A", "", "B"}},
        {"\xC2\xA0", 0, {""}},
        // Other Unicode separators split words too.
        {"a\xE2\x80\x83"
         "b\xC2\x85"
         "c\xE2\x80\xA8"
         "d",
         1,
         {"a", "b", "c", "d"}},
        // Zero-width space is no separator.
        {"a\xE2\x80\x8B"
         "b",
         1,
         {"a\xE2\x80\x8B"
          "b"}},
        // MinLength counts characters, not bytes.
        {"ab \xC3\xA9\xC3\xA9 abc \xC3\xA9\xC3\xA9\xC3\xA9", 3, {"abc", "\xC3\xA9\xC3\xA9\xC3\xA9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\" min " + std::to_string(c.minLength));
        Words list{"stale"};
        SplitWords(c.text, &list, c.minLength);
        EXPECT_EQ(list, c.words);
    }
}

TEST(SplitWords, MissingListIsAnAssertionFailure)
{
    try {
        SplitWords("a b", nullptr, 1);
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string(e.what()).find("Includes/uCommFunc/uCommFunc.cpp"), std::string::npos) << e.what();
    }
}

TEST(LooksLikeCallsign, Cases)
{
    struct Case {
        std::string text;
        bool expected;
    };
    const Case cases[] = {
        {"Q9XX", true},
        {"4Q4QQ", true},
        {"Q9/XX", false},  // punctuation
        {"AB CD1", false}, // space
        {"ABC", false},    // no digit
        {"123", false},    // no letter
        {"", false},
        {"Q9XX-", false},
        {"Q9.XX", false},
        {"Q9XX\t", false},
        {"Q9\xC2\xA0XX", false},     // no-break space
        {"Q9\xE2\x80\x83XX", false}, // em space
        {"Q9\xC2\xABX", false},      // guillemet is punctuation
        {"Q9+XX", true},             // symbols are neutral
        {"Q9=$X", true},
        {"+=$", false},
        {"\xD0\x96"
         "9",
         true}, // Cyrillic letter + ASCII digit
        {"\xC3\xA9"
         "1",
         true},                   // e-acute counts as a letter
        {"Q\xD9\xA3", true},      // Arabic-Indic digit
        {"Q\xEF\xBC\x95", true},  // fullwidth digit
        {"Q\xC2\xB2", false},     // superscript two is no digit
        {"Q\xE2\x85\xA3", false}, // Roman numeral four is no digit
        {"Q9\xCC\x81X", true},    // combining mark is neutral
        {"\xCC\x81"
         "9",
         false}, // a mark is no letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(LooksLikeCallsign(c.text), c.expected);
    }
}

TEST(AppendCommaItem, Cases)
{
    EXPECT_EQ(AppendCommaItem("", "CALL"), "CALL");
    EXPECT_EQ(AppendCommaItem("CALL", "NAME"), "CALL,NAME");
    EXPECT_EQ(AppendCommaItem("CALL,NAME", ""), "CALL,NAME,");
    EXPECT_EQ(AppendCommaItem("", ""), "");
}

TEST(QuoteSQLValue, Cases)
{
    struct Case {
        std::string text, literal;
    };
    const Case cases[] = {
        {"O'Neil", "'O\"Neil'"},
        {"a''b", "'a\"b'"},
        {"", "''"},
        {"say \"hi\"", "\"say 'hi'\""},
        {"x\"\"y", "\"x'y\""},
        {"plain", "'plain'"},
        {"'''", "'\"'"}, // a run of any length collapses
        {"a'b''c'''d", "'a\"b\"c\"d'"},
        {"\"", "\"'\""},
        {"it's \"x\"", "\"it's 'x'\""}, // apostrophes kept beside double quotes
        {"\xC3\xA9'", "'\xC3\xA9\"'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text [" + c.text + "]");
        const std::string literal = QuoteSQLValue(c.text);
        EXPECT_EQ(literal, c.literal);
        // The delimiter never occurs inside the literal.
        ASSERT_GE(literal.size(), 2u);
        EXPECT_EQ(literal.substr(1, literal.size() - 2).find(literal.front()), std::string::npos);
    }
}

namespace {

std::vector<std::string> Names(const TListFields& list)
{
    std::vector<std::string> names;
    for (const TListRec& item : list)
        names.push_back(item.ItemName + "=" + item.ItemValue);
    return names;
}

} // namespace

TEST(ListFields, AddKeepsOrderAndDuplicates)
{
    TListFields list;
    EXPECT_EQ(IndexOfField("A", list), -1);
    EXPECT_EQ(GetFieldValue(list, "A"), "");
    AddField("A", "1", list);
    AddField("B", "2", list);
    AddField("A", "3", list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A=1", "B=2", "A=3"}));
    EXPECT_EQ(IndexOfField("A", list), 0);
    EXPECT_EQ(IndexOfField("B", list), 1);
    EXPECT_EQ(IndexOfField("b", list), -1); // exact case only
    EXPECT_EQ(IndexOfField("", list), -1);
    EXPECT_EQ(GetFieldValue(list, "A"), "1");
    EXPECT_EQ(GetFieldValue(list, "a"), "");
    ClearFields(list);
    EXPECT_TRUE(list.empty());
}

TEST(ListFields, SetActsOnFirstMatchAndNeverAdds)
{
    TListFields list;
    AddField("NAME", "x", list);
    AddField("QTH", "y", list);
    AddField("NAME", "z", list);
    SetFieldValue(list, "NAME", "new");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"NAME=new", "QTH=y", "NAME=z"}));
    SetFieldValue(list, "GRID", "JO");
    SetFieldValue(list, "qth", "no");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"NAME=new", "QTH=y", "NAME=z"}));
}

TEST(ListFields, DeleteRemovesFirstMatchAndShiftsTheRest)
{
    TListFields list;
    AddField("A", "1", list);
    AddField("B", "2", list);
    AddField("C", "3", list);
    DeleteField(list, "B");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A=1", "C=3"}));
    EXPECT_EQ(IndexOfField("C", list), 1);
    DeleteField(list, "X");
    DeleteField(list, "a");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A=1", "C=3"}));

    AddField("A", "4", list);
    DeleteField(list, "A");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"C=3", "A=4"}));
    DeleteField(list, "C");
    DeleteField(list, "A");
    EXPECT_TRUE(list.empty());
    DeleteField(list, "A");
    EXPECT_TRUE(list.empty());
}
