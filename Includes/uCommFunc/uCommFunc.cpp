#include "Includes/uCommFunc/uCommFunc.h"

#include "Platform/SysUtils/SysUtils.h"
#include "Platform/Unicode/Unicode.h"

#include <cstddef>

void SplitWords(std::string_view Text, std::vector<std::string>* List, int MinLength)
{
    HAM_ASSERT(List != nullptr);
    List->clear();
    std::string s = Trim(Text);
    while (!s.empty()) {
        std::size_t wordEnd = s.size();
        std::size_t restStart = s.size();
        for (std::size_t pos = 0; pos < s.size();) {
            const std::size_t start = pos;
            if (CharIsWhiteSpace(NextCodePoint(s, pos))) {
                wordEnd = start;
                restStart = pos;
                break;
            }
        }
        std::string_view word(s.data(), wordEnd);
        if (MinLength <= 0 || CodePointCount(word) >= static_cast<std::size_t>(MinLength)) List->emplace_back(word);
        s = Trim(std::string_view(s).substr(restStart));
    }
}

bool LooksLikeCallsign(std::string_view Text)
{
    bool hasDigit = false;
    bool hasLetter = false;
    for (std::size_t pos = 0; pos < Text.size();) {
        const char32_t c = NextCodePoint(Text, pos);
        if (CharIsWhiteSpace(c) || CharIsPunctuation(c)) return false;
        hasDigit = hasDigit || CharIsDigit(c);
        hasLetter = hasLetter || CharIsLetter(c);
    }
    return hasDigit && hasLetter;
}

std::string AppendCommaItem(std::string_view List, std::string_view Item)
{
    std::string result(List);
    if (!result.empty()) result += ',';
    result += Item;
    return result;
}

namespace {

// Every run of `from` becomes a single `to`.
std::string CollapseAndExchange(std::string_view text, char from, char to)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != from) {
            result += text[i];
        } else if (i == 0 || text[i - 1] != from) {
            result += to;
        }
    }
    return result;
}

} // namespace

std::string QuoteSQLValue(std::string_view Text)
{
    const bool hasDouble = Text.find('"') != std::string_view::npos;
    const char delimiter = hasDouble ? '"' : '\'';
    const char inner = hasDouble ? '\'' : '"';
    return delimiter + CollapseAndExchange(Text, delimiter, inner) + delimiter;
}

void ClearFields(TListFields& List)
{
    List.clear();
}

void AddField(std::string_view ItemName, std::string_view ItemValue, TListFields& List)
{
    List.push_back(TListRec{std::string(ItemName), std::string(ItemValue)});
}

int IndexOfField(std::string_view ItemName, const TListFields& List)
{
    for (std::size_t i = 0; i < List.size(); ++i)
        if (List[i].ItemName == ItemName) return static_cast<int>(i);
    return -1;
}

std::string GetFieldValue(const TListFields& List, std::string_view ItemName)
{
    const int index = IndexOfField(ItemName, List);
    return index < 0 ? std::string() : List[static_cast<std::size_t>(index)].ItemValue;
}

void SetFieldValue(TListFields& List, std::string_view ItemName, std::string_view ItemValue)
{
    const int index = IndexOfField(ItemName, List);
    if (index >= 0) List[static_cast<std::size_t>(index)].ItemValue = ItemValue;
}

void DeleteField(TListFields& List, std::string_view ItemName)
{
    const int index = IndexOfField(ItemName, List);
    if (index >= 0) List.erase(List.begin() + index);
}
