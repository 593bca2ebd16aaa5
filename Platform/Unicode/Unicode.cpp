#include "Platform/Unicode/Unicode.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

char32_t NextCodePoint(std::string_view text, std::size_t& pos)
{
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    auto i = static_cast<std::int32_t>(pos);
    UChar32 c;
    U8_NEXT(s, i, length, c);
    pos = static_cast<std::size_t>(i);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

std::size_t CodePointCount(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count)
        NextCodePoint(text, pos);
    return count;
}

std::string LeftCodePoints(std::string_view text, std::size_t count)
{
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n)
        NextCodePoint(text, pos);
    return std::string(text.substr(0, pos));
}

bool CharIsWhiteSpace(char32_t c)
{
    if (c <= 0xFF) return (c >= 9 && c <= 13) || c == 32 || c == 0x85 || c == 0xA0;
    const auto mask = U_GET_GC_MASK(static_cast<UChar32>(c));
    return (mask & (U_GC_ZS_MASK | U_GC_ZL_MASK | U_GC_ZP_MASK)) != 0;
}

bool CharIsLetter(char32_t c)
{
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_L_MASK) != 0;
}

bool CharIsDigit(char32_t c)
{
    if (c <= 0xFF) return c >= '0' && c <= '9';
    return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER;
}

bool CharIsPunctuation(char32_t c)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0;
}

namespace {

bool IsTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

std::string TrimLeft(std::string_view text)
{
    std::size_t first = 0;
    while (first < text.size() && IsTrimmed(text[first]))
        ++first;
    return std::string(text.substr(first));
}

std::string TrimRight(std::string_view text)
{
    std::size_t last = text.size();
    while (last > 0 && IsTrimmed(text[last - 1]))
        --last;
    return std::string(text.substr(0, last));
}

std::string Trim(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmed(text[first]))
        ++first;
    while (last > first && IsTrimmed(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

std::string UpperCase(std::string_view text)
{
    return AsciiUpper(text);
}
