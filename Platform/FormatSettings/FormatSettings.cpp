#include "Platform/FormatSettings/FormatSettings.h"

#include "Platform/SysUtils/SysUtils.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <optional>
#include <vector>

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view what)
{
    if (what.empty() || pos + what.size() > s.size()) return false;
    return SameTextAscii(s.substr(pos, what.size()), what);
}

std::string Padded(int value, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// ---- locale ---------------------------------------------------------------

bool IsPlainCLocale(const std::string& name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

class LocaleHandle {
public:
    LocaleHandle(int mask, const std::string& name)
        : loc_(IsPlainCLocale(name) ? static_cast<locale_t>(0)
                                    : newlocale(mask, name.c_str(), static_cast<locale_t>(0))) {}
    ~LocaleHandle()
    {
        if (loc_) freelocale(loc_);
    }
    LocaleHandle(const LocaleHandle&) = delete;
    LocaleHandle& operator=(const LocaleHandle&) = delete;
    explicit operator bool() const { return loc_ != static_cast<locale_t>(0); }
    std::string Info(nl_item item) const
    {
        const char* s = nl_langinfo_l(item, loc_);
        return s ? s : "";
    }

private:
    locale_t loc_;
};

// The literal text after the first conversion of a strftime pattern: the
// separator between its first two fields.
std::string PosixSeparator(std::string_view fmt, std::string fallback)
{
    if (fmt.find("%D") != std::string_view::npos) return "/";
    if (fmt.find("%F") != std::string_view::npos) return "-";
    if (fmt.find("%T") != std::string_view::npos || fmt.find("%R") != std::string_view::npos ||
        fmt.find("%r") != std::string_view::npos)
        return ":";
    std::size_t p = fmt.find('%');
    if (p == std::string_view::npos) return fallback;
    ++p;
    while (p < fmt.size() && (fmt[p] == '-' || fmt[p] == '_' || fmt[p] == '0' || fmt[p] == '^' ||
                              fmt[p] == '#' || IsDigit(fmt[p]) || fmt[p] == 'E' || fmt[p] == 'O'))
        ++p;
    ++p; // the conversion letter
    std::size_t q = p;
    while (q < fmt.size() && fmt[q] != '%') ++q;
    if (p >= fmt.size()) return fallback;
    std::string sep = TrimBlanks(fmt.substr(p, q - p));
    return sep.empty() ? fallback : sep;
}

// One element of a date-time pattern: a field (its upper-case letter, 'N'
// for minutes, 'A' for an am/pm marker) or literal text (Field 0).
struct PatternItem {
    char Field = 0;
    std::string Raw;  // as written in the pattern
    std::string Text; // literal text as it appears in formatted output
};

std::vector<PatternItem> Tokenize(std::string_view f, std::string_view dateSep,
                                  std::string_view timeSep)
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
        } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "ampm") ||
                   StartsWithNoCase(f, i, "a/p")) {
            std::size_t n = StartsWithNoCase(f, i, "am/pm") ? 5 : StartsWithNoCase(f, i, "ampm") ? 4 : 3;
            items.push_back({'A', std::string(f.substr(i, n)), {}});
            i += n;
        } else if (u == 'D' || u == 'M' || u == 'Y' || u == 'H' || u == 'N' || u == 'S' || u == 'Z') {
            std::size_t n = 0;
            while (i + n < f.size() && AsciiUpper(f[i + n]) == u) ++n;
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

// Literal text between the fields a pattern holds in the given order, and
// after the last of them; empty strings where there is none.
struct FieldLayout {
    std::vector<char> Order;             // fields in pattern order, each once
    std::vector<std::string> Separators; // text before Order[k + 1], trimmed
    std::string Tail;                    // text after the last field, trimmed
};

FieldLayout LayoutOfFields(std::string_view pattern, std::string_view fields,
                           std::string_view dateSep, std::string_view timeSep)
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
        for (char o : layout.Order) seen = seen || o == item.Field;
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

// A time pattern without its seconds: "hh:nn:ss" loses ":ss", a pattern
// naming each unit ("hh'h'nn'm'ss's'") loses the seconds and their unit.
std::string WithoutSeconds(const std::string& pattern)
{
    std::vector<PatternItem> items = Tokenize(pattern, "/", ":");
    std::size_t s = 0;
    while (s < items.size() && items[s].Field != 'S') ++s;
    if (s == items.size()) return pattern;
    std::string beforeMinutes;
    for (std::size_t k = 1; k < s; ++k)
        if (items[k].Field == 'N' && items[k - 1].Field == 0) beforeMinutes = items[k - 1].Raw;
    std::size_t from = s, to = s + 1;
    if (s > 0 && items[s - 1].Field == 0 && items[s - 1].Raw == beforeMinutes) from = s - 1;
    else if (s + 1 < items.size() && items[s + 1].Field == 0) to = s + 2;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(from),
                items.begin() + static_cast<std::ptrdiff_t>(to));
    std::string out;
    for (const auto& item : items) out += item.Raw;
    return TrimBlanks(out);
}

} // namespace

std::string PosixToDateTimeFormat(std::string_view fmt)
{
    std::string out;
    std::string literal;
    auto flushLiteral = [&] {
        if (literal.empty()) return;
        bool needsQuotes = false;
        for (char c : literal)
            if (IsAsciiLetter(c) || c == '\'' || c == '"') needsQuotes = true;
        if (!needsQuotes) {
            out += literal;
        } else if (literal.find('"') == std::string::npos) {
            out += '"' + literal + '"';
        } else if (literal.find('\'') == std::string::npos) {
            out += '\'' + literal + '\'';
        } else {
            for (char c : literal) {
                if (c == '"') out += "'\"'";
                else out += std::string("\"") + c + '"';
            }
        }
        literal.clear();
    };
    auto emit = [&](std::string_view token) {
        flushLiteral();
        out += token;
    };
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c == '/' || c == ':') {
            emit(std::string(1, c));
            continue;
        }
        if (c != '%' || i + 1 >= fmt.size()) {
            literal += c;
            continue;
        }
        ++i;
        bool unpadded = false;
        while (i < fmt.size() && (fmt[i] == '-' || fmt[i] == '_' || fmt[i] == '0' || fmt[i] == '^' ||
                                  fmt[i] == '#' || IsDigit(fmt[i]))) {
            if (fmt[i] == '-' || fmt[i] == '_') unpadded = true;
            ++i;
        }
        while (i < fmt.size() && (fmt[i] == 'E' || fmt[i] == 'O')) ++i;
        if (i >= fmt.size()) break;
        switch (fmt[i]) {
        case 'd': emit(unpadded ? "d" : "dd"); break;
        case 'e': emit("d"); break;
        case 'm': emit(unpadded ? "m" : "mm"); break;
        case 'y': emit("yy"); break;
        case 'Y': emit("yyyy"); break;
        case 'a': emit("ddd"); break;
        case 'A': emit("dddd"); break;
        case 'b':
        case 'h': emit("mmm"); break;
        case 'B': emit("mmmm"); break;
        case 'H':
        case 'I': emit(unpadded ? "h" : "hh"); break;
        case 'k':
        case 'l': emit("h"); break;
        case 'M': emit("nn"); break;
        case 'S': emit("ss"); break;
        case 'p':
        case 'P': emit("AMPM"); break;
        case 'D': emit("mm/dd/yy"); break;
        case 'F': emit("yyyy-mm-dd"); break;
        case 'T': emit("hh:nn:ss"); break;
        case 'R': emit("hh:nn"); break;
        case 'r': emit("hh:nn:ss AMPM"); break;
        case 'n':
        case 't': literal += ' '; break;
        case '%': literal += '%'; break;
        default: break; // time zones, week numbers and the like are left out
        }
    }
    flushLiteral();
    return out;
}

TFormatSettings TFormatSettings::Invariant() { return TFormatSettings{}; }

TFormatSettings TFormatSettings::FromLocale(const std::string& timeLocale,
                                            const std::string& numericLocale)
{
    TFormatSettings fs;
    if (LocaleHandle loc(LC_TIME_MASK, timeLocale); loc) {
        fs = FromPosixFormats(loc.Info(D_FMT), loc.Info(T_FMT));
        if (std::string am = loc.Info(AM_STR); !am.empty()) fs.TimeAMString = am;
        if (std::string pm = loc.Info(PM_STR); !pm.empty()) fs.TimePMString = pm;
        for (int i = 0; i < 12; ++i) {
            if (std::string s = loc.Info(ABMON_1 + i); !s.empty()) fs.ShortMonthNames[i] = s;
            if (std::string s = loc.Info(MON_1 + i); !s.empty()) fs.LongMonthNames[i] = s;
        }
        for (int i = 0; i < 7; ++i) {
            if (std::string s = loc.Info(ABDAY_1 + i); !s.empty()) fs.ShortDayNames[i] = s;
            if (std::string s = loc.Info(DAY_1 + i); !s.empty()) fs.LongDayNames[i] = s;
        }
    }
    if (LocaleHandle loc(LC_NUMERIC_MASK, numericLocale); loc) {
        std::string dec = loc.Info(RADIXCHAR);
        std::string thou = loc.Info(THOUSEP);
        if (!dec.empty()) fs.DecimalSeparator = dec;
        if (thou != fs.DecimalSeparator) fs.ThousandSeparator = thou;
    }
    return fs;
}

TFormatSettings TFormatSettings::FromPosixFormats(std::string_view d, std::string_view t)
{
    TFormatSettings fs;
    if (!d.empty()) {
        fs.ShortDateFormat = PosixToDateTimeFormat(d);
        fs.DateSeparator = PosixSeparator(d, fs.DateSeparator);
    }
    if (!t.empty()) {
        fs.LongTimeFormat = PosixToDateTimeFormat(t);
        fs.ShortTimeFormat = WithoutSeconds(fs.LongTimeFormat);
        fs.TimeSeparator = PosixSeparator(t, fs.TimeSeparator);
    }
    return fs;
}

TFormatSettings TFormatSettings::FromEnvironment()
{
    auto env = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    auto pick = [&](const char* category) {
        for (const char* name : {"LC_ALL", category, "LANG"})
            if (std::string v = env(name); !v.empty()) return v;
        return std::string("C");
    };
    return FromLocale(pick("LC_TIME"), pick("LC_NUMERIC"));
}

const TFormatSettings& DefaultFormatSettings()
{
    static const TFormatSettings settings = TFormatSettings::FromEnvironment();
    return settings;
}

const TFormatSettings& InvariantFormatSettings()
{
    static const TFormatSettings settings = TFormatSettings::Invariant();
    return settings;
}

// ---- formatting dates and times ---------------------------------------------

namespace {

// True when the pattern (outside quotes) holds an am/pm marker.
bool HasAmPm(std::string_view f)
{
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '\'' || f[i] == '"') {
            std::size_t end = f.find(f[i], i + 1);
            if (end == std::string_view::npos) return false;
            i = end;
        } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") ||
                   StartsWithNoCase(f, i, "ampm")) {
            return true;
        }
    }
    return false;
}

void AppendDateTime(std::string& out, std::string_view f, TDateTime value, const TDateParts& p,
                    const TFormatSettings& fs, int depth)
{
    if (depth > 2) return; // a short date pattern that refers to itself
    const bool twelveHour = HasAmPm(f);
    char lastToken = 0;
    std::size_t i = 0;
    auto count = [&](char letter) {
        std::size_t n = 0;
        while (i + n < f.size() && AsciiUpper(f[i + n]) == letter) ++n;
        i += n;
        return static_cast<int>(n);
    };
    while (i < f.size()) {
        const char c = f[i];
        char token = AsciiUpper(c);
        if (IsAsciiLetter(c)) {
            if (token == 'M' && lastToken == 'H') token = 'N';
            lastToken = token;
        }
        switch (token) {
        case 'Y': {
            int n = count('Y');
            out += n <= 2 ? Padded(p.Year % 100, 2) : Padded(p.Year, 4);
            break;
        }
        case 'M': {
            int n = count('M');
            if (n == 1) out += std::to_string(p.Month);
            else if (n == 2) out += Padded(p.Month, 2);
            else if (n == 3) out += fs.ShortMonthNames[p.Month - 1];
            else out += fs.LongMonthNames[p.Month - 1];
            break;
        }
        case 'N': {
            int n = count(AsciiUpper(c)); // "m" after an hour, or "n"
            out += n == 1 ? std::to_string(p.Minute) : Padded(p.Minute, 2);
            break;
        }
        case 'D': {
            int n = count('D');
            if (n == 1) out += std::to_string(p.Day);
            else if (n == 2) out += Padded(p.Day, 2);
            else if (n <= 4) {
                auto days = static_cast<long long>(std::floor(std::round(value * 86400000.0) / 86400000.0));
                int dow = static_cast<int>(((days + 6) % 7 + 7) % 7); // day 0 was a Saturday
                out += n == 3 ? fs.ShortDayNames[dow] : fs.LongDayNames[dow];
            } else {
                AppendDateTime(out, fs.ShortDateFormat, value, p, fs, depth + 1);
            }
            break;
        }
        case 'H': {
            int n = count('H');
            int h = p.Hour;
            if (twelveHour) {
                h %= 12;
                if (h == 0) h = 12;
            }
            out += n == 1 ? std::to_string(h) : Padded(h, 2);
            break;
        }
        case 'S': {
            int n = count('S');
            out += n == 1 ? std::to_string(p.Second) : Padded(p.Second, 2);
            break;
        }
        case 'Z': {
            int n = count('Z');
            out += Padded(p.MSec, n >= 3 ? 3 : n);
            break;
        }
        case 'T': {
            int n = count('T');
            AppendDateTime(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, value, p, fs,
                           depth + 1);
            break;
        }
        case 'C': {
            ++i;
            AppendDateTime(out, fs.ShortDateFormat, value, p, fs, depth + 1);
            if (p.Hour != 0 || p.Minute != 0 || p.Second != 0 || p.MSec != 0) {
                out += ' ';
                AppendDateTime(out, fs.LongTimeFormat, value, p, fs, depth + 1);
            }
            break;
        }
        case 'A': {
            const bool pm = p.Hour >= 12;
            if (StartsWithNoCase(f, i, "am/pm")) {
                out.append(f.substr(i + (pm ? 3 : 0), 2));
                i += 5;
            } else if (StartsWithNoCase(f, i, "a/p")) {
                out += f[i + (pm ? 2 : 0)];
                i += 3;
            } else if (StartsWithNoCase(f, i, "ampm")) {
                out += pm ? fs.TimePMString : fs.TimeAMString;
                i += 4;
            } else {
                out += c;
                ++i;
            }
            break;
        }
        case '/':
            out += fs.DateSeparator;
            ++i;
            break;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            break;
        case '\'':
        case '"': {
            std::size_t end = f.find(c, i + 1);
            if (end == std::string_view::npos) end = f.size();
            out.append(f.substr(i + 1, end - i - 1));
            i = end + 1;
            break;
        }
        default:
            out += c;
            ++i;
            break;
        }
    }
}

} // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs)
{
    // Days of the years 1 to 9999.
    if (!std::isfinite(value) || value < -693593.0 || value >= 2958466.0)
        throw EConvertError("Invalid date and time value");
    std::string out;
    AppendDateTime(out, format, value, DecodeDateTime(value), fs, 0);
    return out;
}

std::string DateToStr(TDateTime value, const TFormatSettings& fs)
{
    return FormatDateTime("ddddd", value, fs);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& fs)
{
    return FormatDateTime("tt", value, fs);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs)
{
    return FormatDateTime("c", value, fs);
}

// ---- parsing dates and times ------------------------------------------------

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}
    std::size_t Pos() const { return pos_; }
    void SetPos(std::size_t p) { pos_ = p; }
    bool AtEnd() const { return pos_ >= s_.size(); }
    // Skips blanks; true when there were any.
    bool SkipBlanks()
    {
        std::size_t start = pos_;
        while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ') ++pos_;
        return pos_ != start;
    }
    bool Match(std::string_view what)
    {
        if (what.empty() || s_.substr(pos_, what.size()) != what) return false;
        pos_ += what.size();
        return true;
    }
    bool MatchNoCase(std::string_view what)
    {
        if (!StartsWithNoCase(s_, pos_, what)) return false;
        pos_ += what.size();
        return true;
    }
    // One to maxDigits digits; the number of digits read goes to digits.
    std::optional<int> Number(int maxDigits, int* digits = nullptr)
    {
        int n = 0, value = 0;
        while (pos_ < s_.size() && IsDigit(s_[pos_]) && n < maxDigits) {
            value = value * 10 + (s_[pos_] - '0');
            ++pos_;
            ++n;
        }
        if (n == 0 || (pos_ < s_.size() && IsDigit(s_[pos_]))) return std::nullopt;
        if (digits) *digits = n;
        return value;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

int CurrentYear() { return DecodeDateTime(Date()).Year; }

int ExpandTwoDigitYear(int year, int window)
{
    int base = CurrentYear() - window;
    year += base / 100 * 100;
    if (window > 0 && year < base) year += 100;
    return year;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTime& value)
{
    FieldLayout layout =
        LayoutOfFields(fs.ShortDateFormat, "DMY", fs.DateSeparator, fs.TimeSeparator);
    if (layout.Order.size() != 3) layout = FieldLayout{{'Y', 'M', 'D'}, {"", ""}, ""};
    const std::string dateSep = TrimBlanks(fs.DateSeparator);
    auto separator = [&](const std::string& own) {
        bool blanks = sc.SkipBlanks();
        bool ok = sc.Match(dateSep) || sc.Match(own) || (blanks && (dateSep.empty() || own.empty()));
        sc.SkipBlanks();
        return ok;
    };
    int parts[3] = {0, 0, 0};
    int yearDigits = 4;
    sc.SkipBlanks();
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && !separator(layout.Separators[k - 1])) return false;
        const bool isYear = layout.Order[k] == 'Y';
        int digits = 0;
        auto n = sc.Number(isYear ? 4 : 2, &digits);
        if (!n) return false;
        parts[k] = *n;
        if (isYear) yearDigits = digits;
    }
    if (!layout.Tail.empty()) {
        std::size_t keep = sc.Pos();
        sc.SkipBlanks();
        if (!sc.Match(layout.Tail) && !sc.Match(dateSep)) sc.SetPos(keep);
    }
    int y = 0, m = 0, d = 0;
    for (int k = 0; k < 3; ++k) {
        if (layout.Order[k] == 'Y') y = parts[k];
        else if (layout.Order[k] == 'M') m = parts[k];
        else d = parts[k];
    }
    if (yearDigits <= 2) y = ExpandTwoDigitYear(y, fs.TwoDigitYearCenturyWindow);
    if (!IsValidDate(y, m, d)) return false;
    value = EncodeDate(y, m, d);
    return true;
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTime& value)
{
    const std::string timeSep = TrimBlanks(fs.TimeSeparator);
    // The pattern's own separators ("h", "m" or the like) are accepted too.
    const FieldLayout layout =
        LayoutOfFields(fs.LongTimeFormat, "HNS", fs.DateSeparator, fs.TimeSeparator);
    const bool ownSeparators = layout.Order.size() == 3 && layout.Order[0] == 'H' &&
                               layout.Order[1] == 'N' && layout.Order[2] == 'S';
    auto separator = [&](int k) {
        return sc.Match(timeSep) || sc.Match(":") || (ownSeparators && sc.Match(layout.Separators[k]));
    };
    sc.SkipBlanks();
    auto hour = sc.Number(2);
    if (!hour) return false;
    int minute = 0, second = 0, msec = 0;
    bool hasMinutes = false, hasSeconds = false;
    if (separator(0)) {
        auto m = sc.Number(2);
        if (!m) return false;
        minute = *m;
        hasMinutes = true;
        std::size_t afterMinutes = sc.Pos();
        if (separator(1)) {
            if (auto s = sc.Number(2)) {
                second = *s;
                hasSeconds = true;
                if (sc.Match(fs.DecimalSeparator) || sc.Match(".")) {
                    int digits = 0;
                    auto z = sc.Number(3, &digits);
                    if (!z) return false;
                    msec = *z * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
                }
            } else {
                sc.SetPos(afterMinutes);
            }
        }
    }
    if (ownSeparators && hasMinutes) {
        // A unit after the last number: "s" after seconds, "m" after minutes
        // when the minutes carry a unit of their own.
        const std::string& unit = hasSeconds ? layout.Tail : layout.Separators[1];
        if (hasSeconds || layout.Separators[1] != layout.Separators[0]) sc.Match(unit);
    }
    std::size_t keep = sc.Pos();
    sc.SkipBlanks();
    int marker = 0; // 1 am, 2 pm
    if (sc.MatchNoCase(fs.TimeAMString) || sc.MatchNoCase("AM")) marker = 1;
    else if (sc.MatchNoCase(fs.TimePMString) || sc.MatchNoCase("PM")) marker = 2;
    else sc.SetPos(keep);
    int h = *hour;
    if (marker != 0) {
        if (h < 1 || h > 12) return false;
        h = h % 12 + (marker == 2 ? 12 : 0);
    } else if (!hasMinutes) {
        return false;
    }
    if (h > 23 || minute > 59 || second > 59) return false;
    value = EncodeTime(h, minute, second, msec);
    return true;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

} // namespace

bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& fs)
{
    Scanner sc(text);
    TDateTime v = 0;
    if (!ScanDate(sc, fs, v)) return false;
    sc.SkipBlanks();
    if (!sc.AtEnd()) return false;
    value = v;
    return true;
}

bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& fs)
{
    Scanner sc(text);
    TDateTime v = 0;
    if (!ScanTime(sc, fs, v)) return false;
    sc.SkipBlanks();
    if (!sc.AtEnd()) return false;
    value = v;
    return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& fs)
{
    Scanner sc(text);
    TDateTime date = 0, time = 0;
    if (ScanDate(sc, fs, date)) {
        sc.SkipBlanks();
        if (!sc.AtEnd()) {
            if (!ScanTime(sc, fs, time)) return false;
            sc.SkipBlanks();
            if (!sc.AtEnd()) return false;
        }
    } else {
        sc.SetPos(0);
        if (!ScanTime(sc, fs, time)) return false;
        sc.SkipBlanks();
        if (!sc.AtEnd()) return false;
    }
    value = date + time;
    return true;
}

TDateTime StrToDate(std::string_view text, const TFormatSettings& fs)
{
    TDateTime v = 0;
    if (!TryStrToDate(text, v, fs)) throw EConvertError(Quoted(text) + " is not a valid date");
    return v;
}

TDateTime StrToTime(std::string_view text, const TFormatSettings& fs)
{
    TDateTime v = 0;
    if (!TryStrToTime(text, v, fs)) throw EConvertError(Quoted(text) + " is not a valid time");
    return v;
}

TDateTime StrToDateTime(std::string_view text, const TFormatSettings& fs)
{
    TDateTime v = 0;
    if (!TryStrToDateTime(text, v, fs))
        throw EConvertError(Quoted(text) + " is not a valid date and time");
    return v;
}

// ---- numbers -----------------------------------------------------------------

namespace {

// Fifteen significant decimal digits of |value| (value != 0, finite) and the
// exponent of the first one: value = 0.d1d2...d15 * 10^(exp + 1).
void SignificantDigits(double value, std::string& digits, int& exp)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    digits.clear();
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (IsDigit(*p)) digits += *p;
    exp = *p == 'e' ? std::atoi(p + 1) : 0;
}

std::string NonFinite(double value)
{
    if (std::isnan(value)) return "NAN";
    return value > 0 ? "INF" : "-INF";
}

struct NumberSection {
    std::string Prefix, Suffix;
    bool HasPlaceholders = false;
    int MinIntDigits = 0;
    int MinFracDigits = 0;
    int MaxFracDigits = 0;
    bool Grouping = false;
};

NumberSection AnalyzeSection(std::string_view f)
{
    NumberSection s;
    bool inFraction = false;
    int fracPos = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        std::string literal;
        if (c == '\'' || c == '"') {
            std::size_t end = f.find(c, i + 1);
            if (end == std::string_view::npos) end = f.size();
            literal = std::string(f.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '0' || c == '#') {
            s.HasPlaceholders = true;
            if (inFraction) {
                ++fracPos;
                s.MaxFracDigits = fracPos;
                if (c == '0') s.MinFracDigits = fracPos;
            } else if (c == '0') {
                ++s.MinIntDigits;
            }
            continue;
        } else if (c == '.' && !inFraction) {
            inFraction = true;
            s.HasPlaceholders = true;
            continue;
        } else if (c == ',') {
            if (!inFraction) s.Grouping = true;
            continue;
        } else {
            literal = std::string(1, c);
        }
        (s.HasPlaceholders ? s.Suffix : s.Prefix) += literal;
    }
    return s;
}

// |value| rounded (halves away from zero) to the given number of decimals:
// the integer digits (no leading zeros, possibly empty) and the decimals.
void RoundedDigits(double value, int decimals, std::string& intPart, std::string& fracPart)
{
    intPart.clear();
    fracPart.assign(static_cast<std::size_t>(decimals), '0');
    if (value == 0) return;
    std::string d;
    int exp = 0;
    SignificantDigits(value, d, exp);
    int point = exp + 1; // digits before the decimal point
    if (point < 1) {
        d.insert(0, static_cast<std::size_t>(1 - point), '0');
        point = 1;
    }
    const std::size_t keep = static_cast<std::size_t>(point + decimals);
    if (keep < d.size()) {
        bool up = d[keep] >= '5';
        d.resize(keep);
        for (std::size_t k = keep; up && k-- > 0;) {
            if (d[k] == '9') {
                d[k] = '0';
            } else {
                ++d[k];
                up = false;
            }
        }
        if (up) {
            d.insert(d.begin(), '1');
            ++point;
        }
    }
    d.resize(static_cast<std::size_t>(point + decimals), '0');
    intPart = d.substr(0, static_cast<std::size_t>(point));
    fracPart = d.substr(static_cast<std::size_t>(point));
    std::size_t nz = intPart.find_first_not_of('0');
    intPart.erase(0, nz == std::string::npos ? intPart.size() : nz);
}

bool AllZero(const std::string& a, const std::string& b)
{
    return a.find_first_not_of('0') == std::string::npos &&
           b.find_first_not_of('0') == std::string::npos;
}

std::string Render(const NumberSection& s, std::string intPart, std::string fracPart,
                   const TFormatSettings& fs)
{
    if (!s.HasPlaceholders) return s.Prefix + s.Suffix;
    if (static_cast<int>(intPart.size()) < s.MinIntDigits)
        intPart.insert(0, static_cast<std::size_t>(s.MinIntDigits) - intPart.size(), '0');
    if (s.Grouping && intPart.size() > 3) {
        std::string grouped;
        for (std::size_t k = 0; k < intPart.size(); ++k) {
            if (k > 0 && (intPart.size() - k) % 3 == 0) grouped += fs.ThousandSeparator;
            grouped += intPart[k];
        }
        intPart = grouped;
    }
    while (static_cast<int>(fracPart.size()) > s.MinFracDigits && fracPart.back() == '0')
        fracPart.pop_back();
    std::string out = s.Prefix + intPart;
    if (!fracPart.empty()) out += fs.DecimalSeparator + fracPart;
    return out + s.Suffix;
}

std::vector<std::string> SplitSections(std::string_view f)
{
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : f) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

} // namespace

std::string FloatToStr(double value, const TFormatSettings& fs)
{
    if (!std::isfinite(value)) return NonFinite(value);
    if (value == 0) return "0";
    std::string d;
    int exp = 0;
    SignificantDigits(value, d, exp);
    while (d.size() > 1 && d.back() == '0') d.pop_back();
    std::string out = value < 0 ? "-" : "";
    if (exp >= 15 || exp < -4) {
        out += d[0];
        if (d.size() > 1) out += fs.DecimalSeparator + d.substr(1);
        out += "E" + std::to_string(exp);
    } else if (exp >= 0) {
        const auto point = static_cast<std::size_t>(exp + 1);
        if (d.size() <= point) {
            out += d + std::string(point - d.size(), '0');
        } else {
            out += d.substr(0, point) + fs.DecimalSeparator + d.substr(point);
        }
    } else {
        out += "0" + fs.DecimalSeparator + std::string(static_cast<std::size_t>(-exp - 1), '0') + d;
    }
    return out;
}

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs)
{
    if (format.empty()) return FloatToStr(value, fs);
    if (!std::isfinite(value)) return NonFinite(value);
    const std::vector<std::string> sections = SplitSections(format);
    const bool negative = value < 0;
    bool sign = negative;
    std::size_t which = 0;
    if (negative && sections.size() > 1 && !sections[1].empty()) {
        which = 1;
        sign = false;
    }
    const NumberSection s = AnalyzeSection(sections[which]);
    std::string intPart, fracPart;
    RoundedDigits(value, s.MaxFracDigits, intPart, fracPart);
    if (AllZero(intPart, fracPart)) {
        if (sections.size() > 2 && !sections[2].empty()) {
            const NumberSection z = AnalyzeSection(sections[2]);
            RoundedDigits(0, z.MaxFracDigits, intPart, fracPart);
            return Render(z, intPart, fracPart, fs);
        }
        sign = false;
    }
    return (sign ? "-" : "") + Render(s, intPart, fracPart, fs);
}

bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& fs)
{
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    std::string_view t = text.substr(b, e - b);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    std::string plain;
    bool digitSeen = false;
    for (std::size_t i = 0; i < t.size();) {
        const char c = t[i];
        if (!fs.DecimalSeparator.empty() && t.substr(i, fs.DecimalSeparator.size()) == fs.DecimalSeparator) {
            plain += '.';
            i += fs.DecimalSeparator.size();
        } else if (IsDigit(c) || c == 'e' || c == 'E' || c == '+' || c == '-') {
            digitSeen = digitSeen || IsDigit(c);
            plain += c;
            ++i;
        } else {
            return false;
        }
    }
    if (!digitSeen || plain[0] == 'e' || plain[0] == 'E' || plain[0] == '+' || plain[0] == '-')
        return false;
    double v = 0;
    auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec != std::errc() || ptr != plain.data() + plain.size()) return false;
    value = negative ? -v : v;
    return true;
}

double StrToFloat(std::string_view text, const TFormatSettings& fs)
{
    double v = 0;
    if (!TryStrToFloat(text, v, fs))
        throw EConvertError(Quoted(text) + " is not a valid floating point value");
    return v;
}
