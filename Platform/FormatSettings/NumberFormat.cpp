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
    return a.find_first_not_of('0') == std::string::npos && b.find_first_not_of('0') == std::string::npos;
}

std::string Render(const NumberSection& s, std::string intPart, std::string fracPart, const TFormatSettings& fs)
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
    while (d.size() > 1 && d.back() == '0')
        d.pop_back();
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
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
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
    if (!digitSeen || plain[0] == 'e' || plain[0] == 'E' || plain[0] == '+' || plain[0] == '-') return false;
    double v = 0;
    auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec != std::errc() || ptr != plain.data() + plain.size()) return false;
    value = negative ? -v : v;
    return true;
}

double StrToFloat(std::string_view text, const TFormatSettings& fs)
{
    double v = 0;
    if (!TryStrToFloat(text, v, fs)) throw EConvertError(Quoted(text) + " is not a valid floating point value");
    return v;
}
