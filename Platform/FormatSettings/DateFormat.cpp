#include "Platform/FormatSettings/FormatSettings.h"

#include "Platform/FormatSettings/FormatText.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace FormatSettingsDetail;

namespace {

std::string Padded(int value, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

} // namespace

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
        } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") || StartsWithNoCase(f, i, "ampm")) {
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
        while (i + n < f.size() && AsciiUpper(f[i + n]) == letter)
            ++n;
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
            if (n == 1)
                out += std::to_string(p.Month);
            else if (n == 2)
                out += Padded(p.Month, 2);
            else if (n == 3)
                out += fs.ShortMonthNames[p.Month - 1];
            else
                out += fs.LongMonthNames[p.Month - 1];
            break;
        }
        case 'N': {
            int n = count(AsciiUpper(c)); // "m" after an hour, or "n"
            out += n == 1 ? std::to_string(p.Minute) : Padded(p.Minute, 2);
            break;
        }
        case 'D': {
            int n = count('D');
            if (n == 1)
                out += std::to_string(p.Day);
            else if (n == 2)
                out += Padded(p.Day, 2);
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
            AppendDateTime(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, value, p, fs, depth + 1);
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
        while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ')
            ++pos_;
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

int CurrentYear()
{
    return DecodeDateTime(Date()).Year;
}

int ExpandTwoDigitYear(int year, int window)
{
    int base = CurrentYear() - window;
    year += base / 100 * 100;
    if (window > 0 && year < base) year += 100;
    return year;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTime& value)
{
    FieldLayout layout = LayoutOfFields(fs.ShortDateFormat, "DMY", fs.DateSeparator, fs.TimeSeparator);
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
        if (layout.Order[k] == 'Y')
            y = parts[k];
        else if (layout.Order[k] == 'M')
            m = parts[k];
        else
            d = parts[k];
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
    const FieldLayout layout = LayoutOfFields(fs.LongTimeFormat, "HNS", fs.DateSeparator, fs.TimeSeparator);
    const bool ownSeparators =
        layout.Order.size() == 3 && layout.Order[0] == 'H' && layout.Order[1] == 'N' && layout.Order[2] == 'S';
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
    if (sc.MatchNoCase(fs.TimeAMString) || sc.MatchNoCase("AM"))
        marker = 1;
    else if (sc.MatchNoCase(fs.TimePMString) || sc.MatchNoCase("PM"))
        marker = 2;
    else
        sc.SetPos(keep);
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
    if (!TryStrToDateTime(text, v, fs)) throw EConvertError(Quoted(text) + " is not a valid date and time");
    return v;
}
