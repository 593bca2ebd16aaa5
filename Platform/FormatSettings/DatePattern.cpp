// Date-time patterns taken apart into fields and literal text.
#include "Platform/FormatSettings/FormatText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace FormatSettingsDetail {

namespace {

// One element of a date-time pattern: a field (its upper-case letter, 'N'
// for minutes, 'A' for an am/pm marker) or literal text (Field 0).
struct PatternItem {
    char Field = 0;
    std::string Raw;  // as written in the pattern
    std::string Text; // literal text as it appears in formatted output
};

std::vector<PatternItem> Tokenize(std::string_view f, std::string_view dateSep, std::string_view timeSep)
{
    std::vector<PatternItem> items;
    auto literal = [&](std::string_view raw, std::string_view text) {
        if (items.empty() || items.back().Field != 0) items.push_back({});
        items.back().Raw += raw;
        items.back().Text += text;
    };
    char lastField = 0;
    for (std::size_t i = 0; i < f.size();) {
        const char c = f[i];
        const char u = AsciiUpper(c);
        if (c == '\'' || c == '"') {
            std::size_t close = f.find(c, i + 1);
            if (close == std::string_view::npos) close = f.size();
            std::size_t next = std::min(close + 1, f.size());
            literal(f.substr(i, next - i), f.substr(i + 1, close - i - 1));
            i = next;
        } else if (c == '/') {
            literal("/", dateSep);
            ++i;
        } else if (c == ':') {
            literal(":", timeSep);
            ++i;
        } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "ampm") || StartsWithNoCase(f, i, "a/p")) {
            std::size_t n = StartsWithNoCase(f, i, "am/pm") ? 5 : StartsWithNoCase(f, i, "ampm") ? 4 : 3;
            items.push_back({'A', std::string(f.substr(i, n)), {}});
            i += n;
        } else if (u == 'D' || u == 'M' || u == 'Y' || u == 'H' || u == 'N' || u == 'S' || u == 'Z') {
            std::size_t n = 0;
            while (i + n < f.size() && AsciiUpper(f[i + n]) == u)
                ++n;
            char field = (u == 'M' && lastField == 'H') ? 'N' : u;
            items.push_back({field, std::string(f.substr(i, n)), {}});
            lastField = field;
            i += n;
        } else {
            if (IsAsciiLetter(c)) lastField = u;
            literal(f.substr(i, 1), f.substr(i, 1));
            ++i;
        }
    }
    return items;
}

} // namespace

FieldLayout LayoutOfFields(std::string_view pattern, std::string_view fields, std::string_view dateSep,
                           std::string_view timeSep)
{
    FieldLayout layout;
    std::string pending;
    bool tailOpen = false;
    for (const PatternItem& item : Tokenize(pattern, dateSep, timeSep)) {
        if (item.Field == 0) {
            pending += item.Text;
            continue;
        }
        bool seen = false;
        for (char o : layout.Order)
            seen = seen || o == item.Field;
        if (fields.find(item.Field) != std::string_view::npos && !seen) {
            if (!layout.Order.empty()) layout.Separators.push_back(TrimBlanks(pending));
            layout.Order.push_back(item.Field);
            layout.Tail.clear();
            tailOpen = true;
        } else if (tailOpen) {
            layout.Tail = TrimBlanks(pending);
            tailOpen = false;
        }
        pending.clear();
    }
    if (tailOpen) layout.Tail = TrimBlanks(pending);
    return layout;
}

std::string WithoutSeconds(const std::string& pattern)
{
    std::vector<PatternItem> items = Tokenize(pattern, "/", ":");
    std::size_t s = 0;
    while (s < items.size() && items[s].Field != 'S')
        ++s;
    if (s == items.size()) return pattern;
    std::string beforeMinutes;
    for (std::size_t k = 1; k < s; ++k)
        if (items[k].Field == 'N' && items[k - 1].Field == 0) beforeMinutes = items[k - 1].Raw;
    std::size_t from = s, to = s + 1;
    if (s > 0 && items[s - 1].Field == 0 && items[s - 1].Raw == beforeMinutes)
        from = s - 1;
    else if (s + 1 < items.size() && items[s + 1].Field == 0)
        to = s + 2;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(from), items.begin() + static_cast<std::ptrdiff_t>(to));
    std::string out;
    for (const auto& item : items)
        out += item.Raw;
    return TrimBlanks(out);
}

} // namespace FormatSettingsDetail
