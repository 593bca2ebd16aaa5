#include "Host/Dictionary/CtyDat.h"

#include "Platform/SysUtils/SysUtils.h"

#include <algorithm>
#include <charconv>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsCallChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/';
}

[[noreturn]] void Fail(const std::string& source, int line, const std::string& message)
{
    throw EConvertError(source + ":" + std::to_string(line) + ": " + message);
}

std::optional<double> ToDouble(std::string_view s)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<int> ToInt(std::string_view s)
{
    s = Trim(s);
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < 0) return std::nullopt;
    return value;
}

bool IsContinent(std::string_view s)
{
    static constexpr std::string_view Known[] = {"AF", "AN", "AS", "EU", "NA", "OC", "SA"};
    return std::find(std::begin(Known), std::end(Known), s) != std::end(Known);
}

// "=CALL(cq)[itu]<lat/lon>{cont}~tz~" or a prefix with the same overrides.
TCtyItem ParseItem(std::string_view text, const std::string& source, int line)
{
    TCtyItem item;
    std::size_t p = 0;
    if (text.starts_with('=')) {
        item.Exact = true;
        ++p;
    }
    const std::size_t start = p;
    while (p < text.size() && IsCallChar(text[p]))
        ++p;
    item.Text.assign(text.substr(start, p - start));
    if (item.Text.empty()) Fail(source, line, "not a prefix or callsign: \"" + std::string(text) + "\"");
    while (p < text.size()) {
        const char open = text[p];
        const char close = open == '('   ? ')'
                           : open == '[' ? ']'
                           : open == '<' ? '>'
                           : open == '{' ? '}'
                           : open == '~' ? '~'
                                         : '\0';
        const std::size_t end = close ? text.find(close, p + 1) : std::string_view::npos;
        if (end == std::string_view::npos) Fail(source, line, "unexpected text in \"" + std::string(text) + "\"");
        const std::string_view inner = text.substr(p + 1, end - p - 1);
        bool ok = true;
        switch (open) {
        case '(':
            ok = (item.CqZone = ToInt(inner)).has_value();
            break;
        case '[':
            ok = (item.ItuZone = ToInt(inner)).has_value();
            break;
        case '{':
            ok = IsContinent(inner);
            item.Continent = std::string(inner);
            break;
        case '~':
            ok = (item.TimeOffset = ToDouble(inner)).has_value();
            break;
        case '<': {
            const std::size_t slash = inner.find('/');
            ok = slash != std::string_view::npos && (item.Latitude = ToDouble(inner.substr(0, slash))) &&
                 (item.Longitude = ToDouble(inner.substr(slash + 1)));
            break;
        }
        }
        if (!ok) Fail(source, line, "bad override in \"" + std::string(text) + "\"");
        p = end + 1;
    }
    return item;
}

} // namespace

std::vector<TCtyEntity> ParseCtyDat(std::string_view text, const std::string& source)
{
    std::vector<TCtyEntity> entities;
    std::size_t pos = 0;
    int line = 1;
    auto advance = [&](std::size_t to) {
        line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(pos),
                                            text.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
        pos = to;
    };
    if (text.starts_with("\xEF\xBB\xBF")) pos = 3;
    for (;;) {
        std::size_t next = pos;
        while (next < text.size() && IsBlank(text[next]))
            ++next;
        advance(next);
        if (pos >= text.size()) break;

        // Header: eight fields, each ended by ':', on one line.
        TCtyEntity entity;
        entity.Line = line;
        const std::size_t eol = std::min(text.find('\n', pos), text.size());
        std::string_view header = text.substr(pos, eol - pos);
        std::vector<std::string_view> fields;
        for (std::size_t f = 0; fields.size() < 8;) {
            const std::size_t colon = header.find(':', f);
            if (colon == std::string_view::npos) break;
            fields.push_back(Trim(header.substr(f, colon - f)));
            f = colon + 1;
            if (fields.size() == 8 && !Trim(header.substr(f)).empty())
                Fail(source, line, "text after the primary prefix");
        }
        if (fields.size() != 8) Fail(source, line, "expected an entity line \"name: CQ: ITU: continent: ...:\"");
        entity.Name = std::string(fields[0]);
        const auto cq = ToInt(fields[1]), itu = ToInt(fields[2]);
        const auto lat = ToDouble(fields[4]), lon = ToDouble(fields[5]), tz = ToDouble(fields[6]);
        if (entity.Name.empty() || !cq || !itu || !IsContinent(fields[3]) || !lat || !lon || !tz || fields[7].empty())
            Fail(source, line, "bad entity line \"" + std::string(Trim(header)) + "\"");
        entity.CqZone = *cq;
        entity.ItuZone = *itu;
        entity.Continent = std::string(fields[3]);
        entity.Latitude = *lat;
        entity.Longitude = *lon;
        entity.TimeOffset = *tz;
        std::string_view primary = fields[7];
        if (primary.starts_with('*')) {
            entity.WaeOnly = true;
            primary.remove_prefix(1);
        }
        entity.PrimaryPrefix = std::string(primary);
        advance(eol);

        // Items up to ';', separated by ','.
        const std::size_t semicolon = text.find(';', pos);
        if (semicolon == std::string_view::npos)
            Fail(source, entity.Line, "the list of \"" + entity.Name + "\" does not end with ';'");
        while (pos < semicolon) {
            const std::size_t comma = std::min(text.find(',', pos), semicolon);
            const std::string_view raw = text.substr(pos, comma - pos);
            const std::string_view item = Trim(raw);
            const int itemLine =
                line + static_cast<int>(std::count(raw.begin(), raw.begin() + (item.data() - raw.data()), '\n'));
            if (!item.empty()) {
                if (std::any_of(item.begin(), item.end(), IsBlank))
                    Fail(source, itemLine, "missing ',' in \"" + std::string(item) + "\"");
                entity.Items.push_back(ParseItem(item, source, itemLine));
            }
            advance(comma == semicolon ? comma : comma + 1);
        }
        advance(semicolon + 1);
        if (entity.Items.empty()) Fail(source, entity.Line, "\"" + entity.Name + "\" has no prefixes");
        entities.push_back(std::move(entity));
    }
    if (entities.empty()) throw EConvertError(source + ": no country entities");
    return entities;
}

std::map<std::string, int> ParseEntityCodes(std::string_view text, const std::string& source)
{
    std::map<std::string, int> codes;
    int line = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t eol = std::min(text.find('\n', pos), text.size());
        const std::string_view row = Trim(text.substr(pos, eol - pos));
        pos = eol + 1;
        ++line;
        if (row.empty()) continue;
        const std::size_t comma = row.find(',');
        const auto code = comma == std::string_view::npos ? std::nullopt : ToInt(row.substr(comma + 1));
        const std::string prefix(Trim(row.substr(0, comma)));
        if (!code) {
            if (line == 1) continue; // a header
            Fail(source, line, "expected \"prefix,entity code\"");
        }
        if (!codes.emplace(prefix, *code).second) Fail(source, line, "prefix " + prefix + " listed twice");
    }
    if (codes.empty()) throw EConvertError(source + ": no entity codes");
    return codes;
}
