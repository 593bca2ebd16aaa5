#include "Platform/RegExpr/RegExpr.h"

#include "Host/Dictionary/DictionaryRows.h"

#include "Platform/SysUtils/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(RegExprTest, BadExpressionNamesItselfOffsetAndReason)
{
    try {
        TRegExpr re("(?:AB|CD[A-Z");
        FAIL() << "compiled";
    } catch (const EParserError& e) {
        std::string m = e.Message();
        EXPECT_NE(m.find("(?:AB|CD[A-Z"), std::string::npos) << m;
        EXPECT_NE(m.find("offset 12"), std::string::npos) << m;
        EXPECT_NE(m.find("missing terminating ]"), std::string::npos) << m;
    }
    EXPECT_THROW(TRegExpr("AB)"), EParserError);
    // Not UTF-8.
    EXPECT_THROW(TRegExpr("A\xff"), EParserError);
}

TEST(RegExprTest, ExecFindsLeftmostFirstAlternativeWithGroups)
{
    TRegExpr re("(K|KA)([0-9])([A-Z]+)?");
    EXPECT_EQ(re.SubExprCount(), 3);
    ASSERT_TRUE(re.Exec("DL/KA1XYZ"));
    EXPECT_EQ(re.MatchPos(), 3u);
    // "K" is tried first and fails only because a digit must follow.
    EXPECT_EQ(re.Match(), "KA1XYZ");
    EXPECT_EQ(re.Match(1), "KA");
    EXPECT_EQ(re.Match(2), "1");
    EXPECT_EQ(re.Match(3), "XYZ");

    ASSERT_TRUE(re.Exec("K1"));
    EXPECT_EQ(re.Match(), "K1");
    EXPECT_EQ(re.MatchPos(3), std::string::npos);
    EXPECT_EQ(re.MatchLen(3), 0u);
    EXPECT_EQ(re.Match(3), "");

    // From an offset, and nothing past the end.
    ASSERT_TRUE(re.Exec("K1 K2", 1));
    EXPECT_EQ(re.Match(), "K2");
    EXPECT_FALSE(re.Exec("K1", 3));
    EXPECT_FALSE(re.Exec("XYZ"));
    EXPECT_EQ(re.MatchPos(), std::string::npos);
}

TEST(RegExprTest, CaseSensitiveUnlessAsked)
{
    TRegExpr strict("DL[0-9]");
    EXPECT_FALSE(strict.Exec("dl1abc"));
    TRegExpr loose("DL[0-9]", true);
    EXPECT_TRUE(loose.Exec("dl1abc"));
}

TEST(RegExprTest, Utf8SubjectsAndInvalidBytes)
{
    TRegExpr re("Ä.");
    ASSERT_TRUE(re.Exec("xÄö"));
    EXPECT_EQ(re.Match(), "Äö"); // '.' takes one code point, two bytes
    // Invalid UTF-8 in a subject is not an error, it simply does not match.
    TRegExpr any("[A-Z]+");
    EXPECT_FALSE(any.MatchesWhole("AB\xff"));
    EXPECT_TRUE(any.Exec("\xff"
                         "AB"));
    EXPECT_EQ(any.Match(), "AB");
}

// The whole-callsign rule: only the first match counts, and it must cover
// the whole subject.
TEST(RegExprTest, MatchesWholeUsesOnlyTheFirstMatch)
{
    struct Case {
        const char* expression;
        const char* subject;
        bool whole;
    } cases[] = {
        {"DL", "DL1ABC", false},               // prefix only
        {"DL[A-Z0-9/]*", "DL1ABC", true},      // written to cover the call
        {"^DL1ABC$", "DL1ABC", true},          // anchored
        {"1ABC", "DL1ABC", false},             // inside
        {"(?:D|DL1ABC)", "DL1ABC", false},     // first alternative wins at 0
        {"(?:DL1ABC|D)", "DL1ABC", true},      // swapped
        {"DL1ABC", "dl1abc", false},           // case matters
        {"[A-Z]+", "AB/C", false},             // first match "AB" stops at '/'
        {"(?:AB|A)[A-Z0-9/]*", "AB-1", false}, // tail stops at '-'
        {"", "", true},
        {"X*", "ABC", false}, // empty match at 0
    };
    for (const auto& c : cases) {
        TRegExpr re(c.expression);
        EXPECT_EQ(re.MatchesWhole(c.subject), c.whole) << c.expression << " on " << c.subject;
    }
}

TEST(RegExprTest, AnalyseLiteralPatternShapes)
{
    struct Case {
        const char* expression;
        bool literal;
        std::vector<std::string> literals;
        bool tail;
    } cases[] = {
        {"9M2/PG5M", true, {"9M2/PG5M"}, false},
        {"RI1AN[A-Z0-9/]*", true, {"RI1AN"}, true},
        {"(?:VK9FX|VK9KX|AX9X)[A-Z0-9/]*", true, {"VK9FX", "VK9KX", "AX9X"}, true},
        {"(?:3D2/c)[A-Z0-9/]*", true, {"3D2/c"}, true},
        {"(?:A|B)", true, {"A", "B"}, false},
        {"(?:A||B)[A-Z0-9/]*", false, {}, false}, // empty alternative
        {"(?:A)|(?:B)", false, {}, false},
        {"(?:A|B", false, {}, false},
        {"A.B", false, {}, false},
        {"AB[A-Z0-9]*", false, {}, false}, // another tail
        {"[A-Z0-9/]*", false, {}, false},
        {"", false, {}, false},
        {"A\\d", false, {}, false},
        {"Ä", false, {}, false}, // non-ASCII goes to the engine
    };
    for (const auto& c : cases) {
        auto p = AnalyseLiteralPattern(c.expression);
        ASSERT_EQ(p.has_value(), c.literal) << c.expression;
        if (!p) continue;
        EXPECT_EQ(p->Literals, c.literals) << c.expression;
        EXPECT_EQ(p->HasTail, c.tail) << c.expression;
    }
}

// Expressions of the dictionary made from the shipped cty.dat.
std::vector<std::string> DictionaryExpressions(const std::string& table)
{
    static const TDictionaryRows rows =
        LoadCountryData(HAM_SOURCE_DIR "/data/cty.dat", HAM_SOURCE_DIR "/data/prefix_to_entitycode.csv");
    const auto& list = table == "COUNTRY" ? rows.Countries : table == "PROVINCE" ? rows.Provinces : rows.UniqueCalls;
    std::vector<std::string> result;
    for (const auto& row : list)
        result.push_back(row.Expression());
    return result;
}

// Subjects around a pattern's literals: exact, extended by tail characters
// and by others, cut short, lower case.
void AddSubjects(const std::string& literal, std::vector<std::string>& out)
{
    out.push_back(literal);
    out.push_back(literal + "1AB");
    out.push_back(literal + "/P");
    out.push_back(literal + "-1");
    out.push_back(literal + "a");
    out.push_back("X" + literal);
    if (literal.size() > 1) out.push_back(literal.substr(0, literal.size() - 1));
    std::string lower = literal;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.push_back(lower);
}

// The list must answer exactly what a scan in order with the engine answers,
// on the real dictionary's expressions mixed with expressions of other shapes.
TEST(RegExprTest, WholeMatchListAgreesWithInOrderEngineScan)
{
    auto countries = DictionaryExpressions("COUNTRY");
    auto provinces = DictionaryExpressions("PROVINCE");
    auto uniques = DictionaryExpressions("UNIQUECALL");
    ASSERT_FALSE(countries.empty());

    std::vector<std::string> expressions = {
        "^DL[0-9][A-Z]{1,3}$", "(?:A|AB)", "(?:AB|A)", "K[0-9]+", "(VE|VA)[1-9][A-Z]*",
    };
    for (std::size_t i = 0; i < provinces.size(); i += 20)
        expressions.push_back(provinces[i]);
    expressions.push_back("[A-Z]{2}[0-9][A-Z]{2,3}");
    for (std::size_t i = 0; i < uniques.size(); i += 100)
        expressions.push_back(uniques[i]);
    expressions.insert(expressions.end(), countries.begin(), countries.end());
    expressions.push_back("(?:DL|DA)[A-Z0-9]*");

    std::vector<std::string> subjects = {"", "DL1ABC", "A", "AB", "ABC", "K123", "VE3XYZ", "dl1abc"};
    for (const auto& e : expressions) {
        // The first, a middle and the last alternative of each.
        if (auto p = AnalyseLiteralPattern(e)) {
            const auto& l = p->Literals;
            AddSubjects(l.front(), subjects);
            if (l.size() > 2) AddSubjects(l[l.size() / 2], subjects);
            if (l.size() > 1) AddSubjects(l.back(), subjects);
        }
    }

    TWholeMatchList list;
    std::vector<TRegExpr> engines;
    for (const auto& e : expressions) {
        list.Add(e);
        engines.emplace_back(e);
    }
    ASSERT_EQ(list.Count(), expressions.size());

    std::size_t found = 0;
    for (const auto& s : subjects) {
        std::optional<std::size_t> expected;
        for (std::size_t i = 0; i < engines.size(); ++i) {
            if (engines[i].MatchesWhole(s)) {
                expected = i;
                break;
            }
        }
        if (expected) ++found;
        ASSERT_EQ(list.FirstWholeMatch(s), expected) << "subject '" << s << "'";
        if (auto p = AnalyseLiteralPattern(expressions[expected.value_or(0)]); p && expected) {
            EXPECT_TRUE(LiteralPatternMatchesWhole(*p, s));
        }
    }
    // The subjects exercise both outcomes in earnest.
    EXPECT_GT(found, subjects.size() / 4);
    EXPECT_LT(found, subjects.size());
}

TEST(RegExprTest, WholeMatchListOrderAndLazyCompileErrors)
{
    TWholeMatchList list;
    list.Add("(?:D|DL)[A-Z0-9/]*");                // 0
    list.Add("DL1ABC");                            // 1
    list.Add("(?:DL)[A-Z0-9/]*");                  // 2
    list.Add("(broken");                           // 3
    list.Add("K[0-9]+");                           // 4
    list.Add("K1");                                // 5
    EXPECT_EQ(list.FirstWholeMatch("DL1ABC"), 0u); // smallest index wins
    // The broken expression sits before anything that could match these:
    // an in-order scan reaches it and fails.
    EXPECT_THROW(list.FirstWholeMatch("D-1"), EParserError);
    EXPECT_THROW(list.FirstWholeMatch("K1"), EParserError);
    EXPECT_THROW(list.FirstWholeMatch("Q"), EParserError);
    EXPECT_EQ(list.Expression(3), "(broken");

    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.FirstWholeMatch("DL1ABC"), std::nullopt);
    list.Add("K1");
    list.Add("(broken");
    EXPECT_EQ(list.FirstWholeMatch("K1"), 0u); // never reaches the broken one

    // Duplicate literals in one element and across elements.
    list.Clear();
    list.Add("(?:AB|AB)[A-Z0-9/]*");
    list.Add("AB");
    EXPECT_EQ(list.FirstWholeMatch("AB"), 0u);
    EXPECT_EQ(list.FirstWholeMatch("AB1"), 0u);
}

TEST(RegExprTest, WholeMatcherDecidesLiteralsWithoutCompiling)
{
    // A literal shape never reaches the engine, so nothing to throw.
    TWholeMatcher literal("(?:3D2/c)[A-Z0-9/]*");
    ASSERT_TRUE(literal.Literal().has_value());
    EXPECT_TRUE(literal.Matches("3D2/c"));
    EXPECT_FALSE(literal.Matches("3D2/C"));
    EXPECT_FALSE(literal.Matches("3D2/cX/a"));

    TWholeMatcher broken("K[");
    EXPECT_FALSE(broken.Literal().has_value());
    EXPECT_THROW(broken.Matches("K"), EParserError);
}

} // namespace
