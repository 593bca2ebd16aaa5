#include "Platform/Unicode/Unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Unicode, IteratesCodePointsAndReplacesIllFormedBytes)
{
    // A, e-acute (2 bytes), euro sign (3 bytes), G clef (4 bytes), a stray
    // continuation byte, a truncated 3-byte sequence at the end.
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E\x80Z\xE2\x82";
    std::vector<char32_t> seen;
    for (std::size_t pos = 0; pos < text.size();)
        seen.push_back(NextCodePoint(text, pos));
    EXPECT_EQ(seen, (std::vector<char32_t>{U'A', U'\u00E9', U'\u20AC', U'\U0001D11E', U'\uFFFD', U'Z', U'\uFFFD'}));
    EXPECT_EQ(CodePointCount(text), 7u);
    EXPECT_EQ(CodePointCount(""), 0u);
}

TEST(Unicode, LeftCodePointsNeverSplitsACharacter)
{
    const std::string text = "\xC3\xA9t\xC3\xA9\xF0\x9D\x84\x9E!"; // été + G clef + !
    EXPECT_EQ(LeftCodePoints(text, 0), "");
    EXPECT_EQ(LeftCodePoints(text, 1), "\xC3\xA9");
    EXPECT_EQ(LeftCodePoints(text, 4), "\xC3\xA9t\xC3\xA9\xF0\x9D\x84\x9E");
    EXPECT_EQ(LeftCodePoints(text, 5), text);
    EXPECT_EQ(LeftCodePoints(text, 99), text);
}

TEST(Unicode, CharacterClasses)
{
    struct Case {
        char32_t c;
        bool space, letter, digit, punct;
    };
    const Case cases[] = {
        {U' ', true, false, false, false},    {U'\t', true, false, false, false},
        {U'\r', true, false, false, false},   {0x1F, false, false, false, false}, // control, not white space
        {0x85, true, false, false, false},                                        // next line
        {0xA0, true, false, false, false},                                        // no-break space
        {0x2003, true, false, false, false},                                      // em space (Zs)
        {0x2028, true, false, false, false},                                      // line separator
        {0x2029, true, false, false, false},                                      // paragraph separator
        {0x200B, false, false, false, false},                                     // zero-width space is Cf
        {U'Q', false, true, false, false},    {U'z', false, true, false, false},
        {0xAA, false, true, false, false},                                        // feminine ordinal (Lo)
        {0xE9, false, true, false, false},                                        // e acute
        {0x416, false, true, false, false},                                       // Cyrillic capital zhe
        {0x5D0, false, true, false, false},                                       // Hebrew alef
        {0x2B0, false, true, false, false},                                       // modifier letter small h (Lm)
        {U'7', false, false, true, false},    {0xB2, false, false, false, false}, // superscript two: not a digit
        {0x663, false, false, true, false},                                       // Arabic-Indic three
        {0xFF15, false, false, true, false},                                      // fullwidth five
        {0x2163, false, false, false, false},                                     // Roman numeral four (Nl)
        {U'/', false, false, false, true},    {U'-', false, false, false, true},
        {U'.', false, false, false, true},    {U',', false, false, false, true},
        {U':', false, false, false, true},    {U'_', false, false, false, true},
        {U'(', false, false, false, true},    {0xAB, false, false, false, true}, // left guillemet (Pi)
        {0x2014, false, false, false, true},                                     // em dash
        {0x3001, false, false, false, true},                                     // ideographic comma
        {U'+', false, false, false, false},   {U'=', false, false, false, false},
        {U'$', false, false, false, false},   {0x301, false, false, false, false}, // combining acute (Mn)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << static_cast<unsigned>(c.c));
        EXPECT_EQ(CharIsWhiteSpace(c.c), c.space);
        EXPECT_EQ(CharIsLetter(c.c), c.letter);
        EXPECT_EQ(CharIsDigit(c.c), c.digit);
        EXPECT_EQ(CharIsPunctuation(c.c), c.punct);
    }
}

TEST(Unicode, TrimRemovesOnlyCodesUpTo32)
{
    EXPECT_EQ(Trim(" \t\r\n\x01 ab c \x1F "), "ab c");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0"); // no-break spaces stay
    EXPECT_EQ(Trim("\xC2\x85x"), "\xC2\x85x");                 // so does next line
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
    EXPECT_EQ(TrimRight("  a  "), "  a");
}

TEST(Unicode, UpperCaseChangesOnlyAToZ)
{
    EXPECT_EQ(UpperCase("bureau 20m"), "BUREAU 20M");
    EXPECT_EQ(UpperCase("\xC3\xA9t\xC3\xA9 stra\xC3\x9F"
                        "e"),
              "\xC3\xA9T\xC3\xA9 STRA\xC3\x9F"
              "E");
}
