#include "Platform/FormatSettings/FormatSettings.h"

#include "Platform/FormatSettings/FormatText.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <optional>
#include <vector>

using namespace FormatSettingsDetail;

namespace {

// ---- locale ---------------------------------------------------------------

bool IsPlainCLocale(const std::string& name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

class LocaleHandle {
public:
    LocaleHandle(int mask, const std::string& name)
        : loc_(IsPlainCLocale(name) ? static_cast<locale_t>(0)
                                    : newlocale(mask, name.c_str(), static_cast<locale_t>(0)))
    {
    }
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
    while (p < fmt.size() && (fmt[p] == '-' || fmt[p] == '_' || fmt[p] == '0' || fmt[p] == '^' || fmt[p] == '#' ||
                              IsDigit(fmt[p]) || fmt[p] == 'E' || fmt[p] == 'O'))
        ++p;
    ++p; // the conversion letter
    std::size_t q = p;
    while (q < fmt.size() && fmt[q] != '%')
        ++q;
    if (p >= fmt.size()) return fallback;
    std::string sep = TrimBlanks(fmt.substr(p, q - p));
    return sep.empty() ? fallback : sep;
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
                if (c == '"')
                    out += "'\"'";
                else
                    out += std::string("\"") + c + '"';
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
        while (i < fmt.size() &&
               (fmt[i] == '-' || fmt[i] == '_' || fmt[i] == '0' || fmt[i] == '^' || fmt[i] == '#' || IsDigit(fmt[i]))) {
            if (fmt[i] == '-' || fmt[i] == '_') unpadded = true;
            ++i;
        }
        while (i < fmt.size() && (fmt[i] == 'E' || fmt[i] == 'O'))
            ++i;
        if (i >= fmt.size()) break;
        switch (fmt[i]) {
        case 'd':
            emit(unpadded ? "d" : "dd");
            break;
        case 'e':
            emit("d");
            break;
        case 'm':
            emit(unpadded ? "m" : "mm");
            break;
        case 'y':
            emit("yy");
            break;
        case 'Y':
            emit("yyyy");
            break;
        case 'a':
            emit("ddd");
            break;
        case 'A':
            emit("dddd");
            break;
        case 'b':
        case 'h':
            emit("mmm");
            break;
        case 'B':
            emit("mmmm");
            break;
        case 'H':
        case 'I':
            emit(unpadded ? "h" : "hh");
            break;
        case 'k':
        case 'l':
            emit("h");
            break;
        case 'M':
            emit("nn");
            break;
        case 'S':
            emit("ss");
            break;
        case 'p':
        case 'P':
            emit("AMPM");
            break;
        case 'D':
            emit("mm/dd/yy");
            break;
        case 'F':
            emit("yyyy-mm-dd");
            break;
        case 'T':
            emit("hh:nn:ss");
            break;
        case 'R':
            emit("hh:nn");
            break;
        case 'r':
            emit("hh:nn:ss AMPM");
            break;
        case 'n':
        case 't':
            literal += ' ';
            break;
        case '%':
            literal += '%';
            break;
        default:
            break; // time zones, week numbers and the like are left out
        }
    }
    flushLiteral();
    return out;
}

TFormatSettings TFormatSettings::Invariant()
{
    return TFormatSettings{};
}

TFormatSettings TFormatSettings::FromLocale(const std::string& timeLocale, const std::string& numericLocale)
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
