// Text helpers shared by the format-settings sources (not part of the
// folder's interface).
#pragma once

#include "Platform/SysUtils/AsciiCase.h"

#include <string>
#include <string_view>
#include <vector>

namespace FormatSettingsDetail {

inline bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline std::string TrimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

inline bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view what)
{
    if (what.empty() || pos + what.size() > s.size()) return false;
    return SameTextAscii(s.substr(pos, what.size()), what);
}

inline std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

// Literal text between the fields a pattern holds in the given order, and
// after the last of them; empty strings where there is none.
struct FieldLayout {
    std::vector<char> Order;             // fields in pattern order, each once
    std::vector<std::string> Separators; // text before Order[k + 1], trimmed
    std::string Tail;                    // text after the last field, trimmed
};

FieldLayout LayoutOfFields(std::string_view pattern, std::string_view fields, std::string_view dateSep,
                           std::string_view timeSep);

// A time pattern without its seconds: "hh:nn:ss" loses ":ss", a pattern
// naming each unit ("hh'h'nn'm'ss's'") loses the seconds and their unit.
std::string WithoutSeconds(const std::string& pattern);

} // namespace FormatSettingsDetail
