#include "Platform/IniFile/IniFile.h"

#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Names compare with simple Unicode case folding; bytes that are not UTF-8
// must match exactly.
bool SameName(std::string_view a, std::string_view b)
{
    if (SameTextAscii(a, b)) return true;
    const auto* s = reinterpret_cast<const std::uint8_t*>(a.data());
    const auto* t = reinterpret_cast<const std::uint8_t*>(b.data());
    const auto n = static_cast<std::int32_t>(a.size()), m = static_cast<std::int32_t>(b.size());
    std::int32_t i = 0, j = 0;
    while (i < n && j < m) {
        const std::int32_t i0 = i, j0 = j;
        UChar32 c, d;
        U8_NEXT(s, i, n, c);
        U8_NEXT(t, j, m, d);
        if (c < 0 || d < 0) {
            if (a.substr(static_cast<std::size_t>(i0), static_cast<std::size_t>(i - i0)) !=
                b.substr(static_cast<std::size_t>(j0), static_cast<std::size_t>(j - j0)))
                return false;
        } else if (u_foldCase(c, U_FOLD_CASE_DEFAULT) != u_foldCase(d, U_FOLD_CASE_DEFAULT)) {
            return false;
        }
    }
    return i == n && j == m;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind Kind = LineKind::Other;
    std::string_view Name;      // section or key name, trimmed
    std::string_view Value;     // trimmed
    std::size_t ValueStart = 0; // where the value begins in the line
};

ParsedLine Classify(std::string_view text)
{
    ParsedLine p;
    std::string_view t = TrimBlanks(text);
    if (t.empty() || t[0] == ';' || t[0] == '#') return p;
    if (t[0] == '[') {
        std::size_t close = t.find(']');
        if (close == std::string_view::npos) return p;
        p.Kind = LineKind::Section;
        p.Name = TrimBlanks(t.substr(1, close - 1));
        return p;
    }
    std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return p;
    p.Name = TrimBlanks(text.substr(0, eq));
    if (p.Name.empty()) return p;
    p.Kind = LineKind::Key;
    p.ValueStart = eq + 1;
    while (p.ValueStart < text.size() && IsBlank(text[p.ValueStart]))
        ++p.ValueStart;
    p.Value = TrimBlanks(text.substr(eq + 1));
    return p;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view CheckedSection(std::string_view section)
{
    std::string_view s = TrimBlanks(section);
    if (s.empty() || HasLineBreak(s) || s.find(']') != std::string_view::npos)
        throw EArgumentException("Invalid settings section name \"" + std::string(section) + "\"");
    return s;
}

std::string_view CheckedKey(std::string_view key)
{
    std::string_view k = TrimBlanks(key);
    if (k.empty() || HasLineBreak(k) || k.find('=') != std::string_view::npos || k[0] == '[' || k[0] == ';' ||
        k[0] == '#')
        throw EArgumentException("Invalid settings key name \"" + std::string(key) + "\"");
    return k;
}

} // namespace

// ---- TIniDocument -------------------------------------------------------------

void TIniDocument::Parse(std::string_view text)
{
    bom_.clear();
    lines_.clear();
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (text.substr(0, bom.size()) == bom) {
        bom_ = bom;
        text.remove_prefix(bom.size());
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        std::string_view seg = text.substr(pos, nl - pos);
        if (!seg.empty() && seg.back() == '\r') {
            seg.remove_suffix(1);
            lines_.push_back({std::string(seg), "\r\n"});
        } else {
            lines_.push_back({std::string(seg), "\n"});
        }
        pos = nl + 1;
    }
}

std::string TIniDocument::Serialize() const
{
    std::string out = bom_;
    for (const auto& line : lines_)
        out += line.Text + line.End;
    return out;
}

std::string TIniDocument::NewLineEnd() const
{
    for (const auto& line : lines_)
        if (!line.End.empty()) return line.End;
    return "\n";
}

std::optional<std::string> TIniDocument::Value(std::string_view section, std::string_view key) const
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    bool inSection = false;
    for (const auto& line : lines_) {
        ParsedLine p = Classify(line.Text);
        if (p.Kind == LineKind::Section)
            inSection = SameName(p.Name, section);
        else if (p.Kind == LineKind::Key && inSection && SameName(p.Name, key))
            return std::string(p.Value);
    }
    return std::nullopt;
}

bool TIniDocument::SectionExists(std::string_view section) const
{
    section = TrimBlanks(section);
    for (const auto& line : lines_) {
        ParsedLine p = Classify(line.Text);
        if (p.Kind == LineKind::Section && SameName(p.Name, section)) return true;
    }
    return false;
}

std::vector<std::string> TIniDocument::Sections() const
{
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        ParsedLine p = Classify(line.Text);
        if (p.Kind != LineKind::Section) continue;
        bool known = false;
        for (const auto& n : names)
            known = known || SameName(n, p.Name);
        if (!known) names.emplace_back(p.Name);
    }
    return names;
}

std::vector<std::string> TIniDocument::Keys(std::string_view section) const
{
    section = TrimBlanks(section);
    std::vector<std::string> names;
    bool inSection = false;
    for (const auto& line : lines_) {
        ParsedLine p = Classify(line.Text);
        if (p.Kind == LineKind::Section) {
            inSection = SameName(p.Name, section);
        } else if (p.Kind == LineKind::Key && inSection) {
            bool known = false;
            for (const auto& n : names)
                known = known || SameName(n, p.Name);
            if (!known) names.emplace_back(p.Name);
        }
    }
    return names;
}

void TIniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = CheckedSection(section);
    key = CheckedKey(key);
    if (HasLineBreak(value))
        throw EArgumentException("The value of settings key \"" + std::string(key) + "\" contains a line break");
    bool inSection = false;
    std::optional<std::size_t> insertAfter; // last header or key line of the first such section
    bool firstSectionDone = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        ParsedLine p = Classify(lines_[i].Text);
        if (p.Kind == LineKind::Section) {
            if (inSection) firstSectionDone = true;
            inSection = SameName(p.Name, section);
            if (inSection && !firstSectionDone && !insertAfter) insertAfter = i;
        } else if (p.Kind == LineKind::Key && inSection) {
            if (SameName(p.Name, key)) {
                lines_[i].Text = lines_[i].Text.substr(0, p.ValueStart) + std::string(value);
                return;
            }
            if (!firstSectionDone) insertAfter = i;
        }
    }
    const std::string end = NewLineEnd();
    std::string entry = std::string(key) + "=" + std::string(value);
    if (insertAfter) {
        Line& before = lines_[*insertAfter];
        if (before.End.empty()) before.End = end;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1, Line{std::move(entry), end});
        return;
    }
    if (!lines_.empty()) {
        if (lines_.back().End.empty()) lines_.back().End = end;
        if (!TrimBlanks(lines_.back().Text).empty()) lines_.push_back({"", end});
    }
    lines_.push_back({"[" + std::string(section) + "]", end});
    lines_.push_back({std::move(entry), end});
}

bool TIniDocument::DeleteKey(std::string_view section, std::string_view key)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    bool inSection = false, removed = false;
    for (std::size_t i = 0; i < lines_.size();) {
        ParsedLine p = Classify(lines_[i].Text);
        if (p.Kind == LineKind::Section) inSection = SameName(p.Name, section);
        if (p.Kind == LineKind::Key && inSection && SameName(p.Name, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            removed = true;
        } else {
            ++i;
        }
    }
    return removed;
}

bool TIniDocument::EraseSection(std::string_view section)
{
    section = TrimBlanks(section);
    bool inSection = false, removed = false;
    for (std::size_t i = 0; i < lines_.size();) {
        ParsedLine p = Classify(lines_[i].Text);
        if (p.Kind == LineKind::Section) inSection = SameName(p.Name, section);
        if (inSection) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            removed = true;
        } else {
            ++i;
        }
    }
    return removed;
}

// ---- TIniFile -------------------------------------------------------------------

namespace {

std::string Describe(const std::string& fileName, int error)
{
    return "\"" + fileName + "\": " + std::strerror(error);
}

[[noreturn]] void WriteFailed(const std::string& fileName, int error)
{
    throw EFCreateError("Cannot write settings file " + Describe(fileName, error));
}

bool ParseInteger(std::string_view text, long long& value)
{
    text = TrimBlanks(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || text[0] == '+') return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

TIniFile::TIniFile(std::string fileName, std::string section)
    : fileName_(std::move(fileName)), section_(std::move(section))
{
}

void TIniFile::SetFileName(std::string fileName)
{
    fileName_ = std::move(fileName);
    loaded_ = false;
}

TIniFile::Stamp TIniFile::StampOf() const
{
    Stamp s;
    struct stat st {};
    if (fileName_.empty() || ::stat(fileName_.c_str(), &st) != 0) return s;
    s.Exists = true;
    s.Device = st.st_dev;
    s.Inode = st.st_ino;
    s.Size = static_cast<std::uint64_t>(st.st_size);
    s.MTimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return s;
}

TIniDocument TIniFile::ReadFile(Stamp& stamp) const
{
    stamp = Stamp();
    if (fileName_.empty()) return {};
    int fd = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {}; // a missing file reads as empty
        throw EFOpenError("Cannot open settings file " + Describe(fileName_, errno));
    }
    std::string text;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            int error = errno;
            ::close(fd);
            throw EFOpenError("Cannot read settings file " + Describe(fileName_, error));
        }
    }
    ::close(fd);
    stamp = StampOf();
    return TIniDocument(text);
}

const TIniDocument& TIniFile::Document()
{
    if (!loaded_) {
        doc_ = ReadFile(stamp_);
        loaded_ = true;
    }
    return doc_;
}

void TIniFile::Save(const std::string& text)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = fileName_;
    if (fs::is_symlink(target, ec)) { // replace the file the link points to, not the link
        target = fs::weakly_canonical(target, ec);
        if (ec) WriteFailed(fileName_, ec.value());
    }
    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::random_device rd;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", rd(), rd());
        tmp = (dir / ("." + target.filename().string() + suffix)).string();
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) WriteFailed(fileName_, errno);
    }
    if (fd < 0) WriteFailed(fileName_, EEXIST);

    auto fail = [&](int error) {
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        WriteFailed(fileName_, error);
    };
    if (existed) ::fchmod(fd, old.st_mode & 07777); // keep the file's permissions
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail(errno);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) fail(errno);
    if (::rename(tmp.c_str(), target.c_str()) != 0) fail(errno);
}

template <class Edit> void TIniFile::Change(Edit edit)
{
    if (fileName_.empty()) throw EFCreateError("Cannot write settings: no settings file name is set");
    // Nothing in memory changes unless the file was written.
    Stamp stamp = stamp_;
    TIniDocument copy = loaded_ && StampOf() == stamp_ ? doc_ : ReadFile(stamp);
    if (edit(copy)) {
        Save(copy.Serialize());
        stamp = StampOf();
    }
    doc_ = std::move(copy);
    stamp_ = stamp;
    loaded_ = true;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def)
{
    auto v = Document().Value(section, key);
    return v ? *v : std::string(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def)
{
    auto v = Document().Value(section, key);
    long long n = 0;
    if (!v || !ParseInteger(*v, n) || n < INT32_MIN || n > INT32_MAX) return def;
    return static_cast<int>(n);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def)
{
    auto v = Document().Value(section, key);
    long long n = 0;
    if (!v || !ParseInteger(*v, n)) return def;
    return n != 0;
}

TDateTime TIniFile::ReadDate(std::string_view section, std::string_view key, TDateTime def)
{
    auto v = Document().Value(section, key);
    TDateTime date = 0;
    if (!v || !TryStrToDate(*v, date, formatSettings_)) return def;
    return date;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Change([&](TIniDocument& d) {
        d.SetValue(section, key, value);
        return true;
    });
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteDate(std::string_view section, std::string_view key, TDateTime value)
{
    WriteString(section, key, DateToStr(value, formatSettings_));
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key)
{
    Change([&](TIniDocument& d) { return d.DeleteKey(section, key); });
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key)
{
    return Document().Value(section, key).has_value();
}

bool TIniFile::SectionExists(std::string_view section)
{
    return Document().SectionExists(section);
}

std::vector<std::string> TIniFile::ReadSections()
{
    return Document().Sections();
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section)
{
    return Document().Keys(section);
}

void TIniFile::EraseSection(std::string_view section)
{
    Change([&](TIniDocument& d) { return d.EraseSection(section); });
}
