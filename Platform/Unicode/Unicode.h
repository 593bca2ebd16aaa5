// Code points of UTF-8 text and the character classes the text routines use.
// A "character" is a Unicode code point, never a byte. An ill-formed byte
// sequence reads as one U+FFFD per maximal ill-formed part and counts as one
// character; the bytes themselves are never rewritten.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The code point starting at byte position pos; pos moves past it.
// Requires pos < text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Number of characters in text.
std::size_t CodePointCount(std::string_view text);

// The first count characters of text (all of it when it is shorter); a
// multi-byte character is never split.
std::string LeftCodePoints(std::string_view text, std::size_t count);

// White space: 9 to 13, 32, 0x85 and 0xA0, and above 0xFF the Unicode space,
// line and paragraph separators (Zs, Zl, Zp).
bool CharIsWhiteSpace(char32_t c);
// Letter: A-Z and a-z, and any other code point of a letter category
// (Lu, Ll, Lt, Lm, Lo).
bool CharIsLetter(char32_t c);
// Digit: 0-9 up to 0xFF (so no superscripts), and above 0xFF the decimal
// digits (Nd).
bool CharIsDigit(char32_t c);
// Punctuation: Pc, Pd, Ps, Pe, Pi, Pf, Po ("/", "-", ".", ",", ":"), but not
// symbols such as "+", "=", "$".
bool CharIsPunctuation(char32_t c);

// Remove leading and/or trailing characters with a code of 32 or less
// (blanks and control characters). 0x85, 0xA0 and other Unicode spaces stay.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Upper-case the letters a to z only; every other character stays as it is,
// so the byte length never changes.
std::string UpperCase(std::string_view text);
