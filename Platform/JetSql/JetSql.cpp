#include "Platform/JetSql/JetSql.h"

#include "Platform/DateTime/DateTime.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <algorithm>
#include <cstddef>

namespace {

bool IsIdentStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsIdentChar(unsigned char c)
{
    return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$';
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

bool IsSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Case-insensitive comparison with an upper-case ASCII keyword.
bool IsKeyword(std::string_view token, std::string_view upper)
{
    return SameTextAscii(token, upper);
}

// Reads 1..maxDigits decimal digits at pos.
bool ReadNumber(std::string_view s, std::size_t& pos, int minDigits, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (pos < s.size() && IsDigit(static_cast<unsigned char>(s[pos])) && n < maxDigits) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= minDigits && (pos >= s.size() || !IsDigit(static_cast<unsigned char>(s[pos])));
}

// The inside of a #...# literal: "yyyy-mm-dd" or "m/d/yyyy", optionally
// followed by blanks and "hh:nn" or "hh:nn:ss" (':' or '.' between them).
bool ParseJetDate(std::string_view s, TDateParts& d)
{
    std::size_t p = 0;
    while (p < s.size() && s[p] == ' ')
        ++p;
    std::size_t end = s.size();
    while (end > p && s[end - 1] == ' ')
        --end;
    s = s.substr(0, end);

    int a = 0, b = 0, c = 0;
    const std::size_t first = p;
    if (!ReadNumber(s, p, 1, 4, a) || p >= s.size()) return false;
    const std::size_t firstDigits = p - first;
    const char sep = s[p];
    if (sep == '-') {
        if (firstDigits != 4) return false; // four-digit year first
        ++p;
        if (!ReadNumber(s, p, 1, 2, b) || p >= s.size() || s[p] != '-') return false;
        ++p;
        if (!ReadNumber(s, p, 1, 2, c)) return false;
        d.Year = a, d.Month = b, d.Day = c;
    } else if (sep == '/') {
        if (firstDigits > 2) return false;
        ++p;
        if (!ReadNumber(s, p, 1, 2, b) || p >= s.size() || s[p] != '/') return false;
        ++p;
        std::size_t yearStart = p;
        if (!ReadNumber(s, p, 4, 4, c) || p - yearStart != 4) return false;
        d.Year = c, d.Month = a, d.Day = b;
    } else {
        return false;
    }
    if (!IsValidDate(d.Year, d.Month, d.Day)) return false;
    d.Hour = d.Minute = d.Second = d.MSec = 0;
    if (p == s.size()) return true;

    if (s[p] != ' ') return false;
    while (p < s.size() && s[p] == ' ')
        ++p;
    int h = 0, n = 0, sec = 0;
    if (!ReadNumber(s, p, 1, 2, h) || p >= s.size() || (s[p] != ':' && s[p] != '.')) return false;
    const char tsep = s[p++];
    if (!ReadNumber(s, p, 2, 2, n)) return false;
    if (p < s.size()) {
        if (s[p] != tsep) return false;
        ++p;
        if (!ReadNumber(s, p, 2, 2, sec)) return false;
    }
    if (p != s.size() || h > 23 || n > 59 || sec > 59) return false;
    d.Hour = h, d.Minute = n, d.Second = sec;
    return true;
}

void PutDigits(std::string& out, int value, int width)
{
    char buf[8];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(buf, static_cast<std::size_t>(width));
}

void PutCanonical(std::string& out, const TDateParts& d)
{
    out += '\'';
    PutDigits(out, d.Year, 4);
    out += '-';
    PutDigits(out, d.Month, 2);
    out += '-';
    PutDigits(out, d.Day, 2);
    out += ' ';
    PutDigits(out, d.Hour, 2);
    out += ':';
    PutDigits(out, d.Minute, 2);
    out += ':';
    PutDigits(out, d.Second, 2);
    out += '\'';
}

// Longest text accepted between the number signs of a date literal.
constexpr std::size_t kMaxDateLiteral = 40;

class TTranslator {
public:
    explicit TTranslator(std::string_view in) : in_(in) { out_.reserve(in.size() + in.size() / 4 + 16); }

    TJetTranslation Run()
    {
        while (i_ < in_.size())
            Step();
        TJetTranslation result;
        if (!target_.empty()) {
            result.Sql.reserve(out_.size() + target_.size() + 20);
            result.Sql += "CREATE TABLE ";
            result.Sql += target_;
            result.Sql += " AS ";
            result.Sql += out_;
            result.MakeTable = std::move(target_);
        } else {
            result.Sql = std::move(out_);
        }
        return result;
    }

private:
    void Step()
    {
        const unsigned char c = static_cast<unsigned char>(in_[i_]);
        if (c == '\'') {
            CopyQuoted('\'');
        } else if (c == '"') {
            DoubleQuoted();
        } else if (c == '[') {
            Bracketed(out_);
        } else if (c == '`') {
            CopyQuoted('`');
        } else if (c == '#') {
            DateLiteral();
        } else if (IsIdentStart(c)) {
            Word();
        } else if (IsDigit(c) ||
                   (c == '.' && i_ + 1 < in_.size() && IsDigit(static_cast<unsigned char>(in_[i_ + 1])))) {
            Number();
        } else {
            Other(c);
        }
    }

    // '...' has the same form in both dialects, and `name` (no Jet syntax)
    // is one identifier to SQLite: both are copied whole, doubled quotes
    // included, so that both sides agree where they end. An unterminated
    // one runs to the end and SQLite rejects it.
    void CopyQuoted(char quote)
    {
        std::size_t j = i_ + 1;
        for (;;) {
            while (j < in_.size() && in_[j] != quote)
                ++j;
            if (j + 1 < in_.size() && in_[j + 1] == quote) {
                j += 2;
                continue;
            }
            break;
        }
        const std::size_t end = j < in_.size() ? j + 1 : j;
        out_.append(in_.data() + i_, end - i_);
        i_ = end;
        prevDot_ = false;
    }

    // "..." is a text literal: "" inside stands for one ", and every '
    // must be doubled in the SQLite form.
    void DoubleQuoted()
    {
        // Find the end first; an unterminated literal is left as it is.
        std::size_t j = i_ + 1;
        for (;;) {
            while (j < in_.size() && in_[j] != '"')
                ++j;
            if (j >= in_.size()) {
                out_.append(in_.data() + i_, in_.size() - i_);
                i_ = in_.size();
                return;
            }
            if (j + 1 < in_.size() && in_[j + 1] == '"') {
                j += 2;
                continue;
            }
            break;
        }
        out_ += '\'';
        std::size_t k = i_ + 1;
        while (k < j) {
            std::size_t run = k;
            while (run < j && in_[run] != '"' && in_[run] != '\'')
                ++run;
            out_.append(in_.data() + k, run - k);
            if (run >= j) break;
            if (in_[run] == '"') {
                out_ += '"';
                k = run + 2; // "" stands for one "
            } else {
                out_ += "''";
                k = run + 1;
            }
        }
        out_ += '\'';
        i_ = j + 1;
        prevDot_ = false;
    }

    // [name] becomes "name" (a " inside is doubled). Unterminated: copied.
    void Bracketed(std::string& out)
    {
        std::size_t j = i_ + 1;
        while (j < in_.size() && in_[j] != ']')
            ++j;
        if (j >= in_.size()) {
            out.append(in_.data() + i_, in_.size() - i_);
            i_ = in_.size();
            return;
        }
        out += '"';
        for (std::size_t k = i_ + 1; k < j; ++k) {
            if (in_[k] == '"') out += '"';
            out += in_[k];
        }
        out += '"';
        i_ = j + 1;
        prevDot_ = false;
    }

    void DateLiteral()
    {
        const std::size_t limit = std::min(in_.size(), i_ + 1 + kMaxDateLiteral + 1);
        std::size_t j = i_ + 1;
        while (j < limit && in_[j] != '#' && in_[j] != '\n' && in_[j] != '\'' && in_[j] != '"')
            ++j;
        TDateParts parts;
        if (j < limit && in_[j] == '#' && ParseJetDate(in_.substr(i_ + 1, j - i_ - 1), parts)) {
            PutCanonical(out_, parts);
            i_ = j + 1;
        } else {
            out_ += '#';
            ++i_;
        }
        prevDot_ = false;
    }

    void Word()
    {
        std::size_t j = i_ + 1;
        while (j < in_.size() && IsIdentChar(static_cast<unsigned char>(in_[j])))
            ++j;
        const std::string_view word = in_.substr(i_, j - i_);
        const bool qualified = prevDot_;
        i_ = j;
        prevDot_ = false;
        ++words_;

        if (words_ == 1) selectStatement_ = IsKeyword(word, "SELECT");
        if (!qualified) {
            if (IsKeyword(word, "TRUE")) {
                out_ += '1';
                return;
            }
            if (IsKeyword(word, "FALSE")) {
                out_ += '0';
                return;
            }
            if (selectStatement_ && depth_ == 0 && !seenFrom_) {
                if (IsKeyword(word, "FROM")) {
                    seenFrom_ = true;
                } else if (IsKeyword(word, "INTO") && target_.empty() && MakeTableTarget()) {
                    return;
                }
            }
        }
        out_.append(word);
    }

    // After INTO of a make-table query: takes the table name out of the
    // statement. False (nothing consumed) when no name follows.
    bool MakeTableTarget()
    {
        std::size_t j = i_;
        while (j < in_.size() && IsSpace(static_cast<unsigned char>(in_[j])))
            ++j;
        if (j >= in_.size()) return false;
        const unsigned char c = static_cast<unsigned char>(in_[j]);
        if (c == '[') {
            std::size_t close = in_.find(']', j + 1);
            if (close == std::string_view::npos || close == j + 1) return false;
            i_ = j;
            Bracketed(target_);
            return true;
        }
        if (!IsIdentStart(c)) return false;
        std::size_t k = j + 1;
        while (k < in_.size() && IsIdentChar(static_cast<unsigned char>(in_[k])))
            ++k;
        const std::string_view name = in_.substr(j, k - j);
        if (IsKeyword(name, "FROM")) return false;
        target_.assign(name);
        i_ = k;
        return true;
    }

    void Number()
    {
        std::size_t j = i_ + 1;
        while (j < in_.size()) {
            const unsigned char c = static_cast<unsigned char>(in_[j]);
            if (IsIdentChar(c) || c == '.') {
                ++j;
            } else if ((c == '+' || c == '-') && (in_[j - 1] == 'e' || in_[j - 1] == 'E')) {
                ++j;
            } else {
                break;
            }
        }
        out_.append(in_.data() + i_, j - i_);
        i_ = j;
        prevDot_ = false;
    }

    void Other(unsigned char c)
    {
        // Jet has no comments: "--" is two minus signs and "/*" a division
        // followed by "*". A blank keeps SQLite from reading a comment.
        if ((c == '-' || c == '/') && i_ + 1 < in_.size() && in_[i_ + 1] == (c == '-' ? '-' : '*')) {
            out_ += static_cast<char>(c);
            out_ += ' ';
            ++i_;
            prevDot_ = false;
            return;
        }
        if (c == '(') {
            ++depth_;
        } else if (c == ')') {
            if (depth_ > 0) --depth_;
        }
        if (!IsSpace(c)) prevDot_ = c == '.';
        out_ += static_cast<char>(c);
        ++i_;
    }

    std::string_view in_;
    std::size_t i_ = 0;
    std::string out_;
    std::string target_;
    int depth_ = 0;
    unsigned words_ = 0;
    bool selectStatement_ = false;
    bool seenFrom_ = false;
    bool prevDot_ = false;
};

} // namespace

TJetTranslation TranslateJet(std::string_view jet)
{
    return TTranslator(jet).Run();
}

std::string JetToSqlite(std::string_view jet)
{
    return TranslateJet(jet).Sql;
}

std::string QuotedStr(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    for (char c : text) {
        if (c == '\'') quoted += '\'';
        quoted += c;
    }
    quoted += '\'';
    return quoted;
}
