#include "Platform/Registry/WineRegistry.h"

#include "Platform/OleAuto/OleAuto.h"
#include "Platform/Registry/Registry.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWineHeader = "WINE REGISTRY Version 2";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Wine's escapes: \\ \" \a \b \e \f \n \r \t \v, \xHHHH (UTF-16 units) and
// octal \ooo. Reads from s[pos] up to the unescaped terminator, which pos
// ends on; false when there is none.
bool Unescape(std::string_view s, std::size_t& pos, char terminator, std::string& out)
{
    out.clear();
    // Escaped UTF-16 units wait here until a plain byte or the end, so that
    // a surrogate pair written as two escapes makes one character.
    std::u16string units;
    auto unit = [&](char32_t u) { units.push_back(static_cast<char16_t>(u)); };
    auto flush = [&] {
        out += Utf16ToUtf8(units);
        units.clear();
    };
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == terminator) {
            flush();
            return true;
        }
        if (c != '\\' || pos + 1 >= s.size()) {
            flush();
            out += c; // plain bytes pass through (UTF-8 stays UTF-8)
            ++pos;
            continue;
        }
        const char e = s[pos + 1];
        pos += 2;
        switch (e) {
        case 'a':
            unit(7);
            break;
        case 'b':
            unit(8);
            break;
        case 'e':
            unit(27);
            break;
        case 'f':
            unit(12);
            break;
        case 'n':
            unit(10);
            break;
        case 'r':
            unit(13);
            break;
        case 't':
            unit(9);
            break;
        case 'v':
            unit(11);
            break;
        case 'x': {
            char32_t v = 0;
            int digits = 0;
            while (digits < 4 && pos < s.size() && HexDigit(s[pos]) >= 0) {
                v = v * 16 + static_cast<char32_t>(HexDigit(s[pos++]));
                ++digits;
            }
            unit(digits > 0 ? v : U'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                char32_t v = static_cast<char32_t>(e - '0');
                for (int k = 0; k < 2 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++k)
                    v = v * 8 + static_cast<char32_t>(s[pos++] - '0');
                unit(v);
            } else {
                unit(static_cast<unsigned char>(e)); // \\, \" and anything else: the character itself
            }
        }
    }
    return false;
}

std::string HexUtf16(std::string_view utf8, int terminatingNuls)
{
    // Code points to UTF-16LE bytes as "hh,hh,..."; the text comes from the
    // unescaper, so it is well-formed UTF-8 or plain bytes taken as Latin-1.
    std::vector<char16_t> units;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xC0) {
            const std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            if (i + extra < utf8.size()) {
                cp = c & (0x3F >> extra);
                for (std::size_t k = 1; k <= extra; ++k)
                    cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
                len = extra + 1;
            }
        }
        if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    for (int k = 0; k < terminatingNuls; ++k)
        units.push_back(0);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char16_t u : units)
        for (unsigned b : {static_cast<unsigned>(u & 0xFF), static_cast<unsigned>(u >> 8)}) {
            if (!out.empty()) out += ',';
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    return out;
}

std::string RegQuoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

bool HasControl(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// One Wine value line ("name"=data or @=data) in the registry-export form.
std::string ConvertValue(std::string_view line)
{
    std::size_t pos = 0;
    std::string name;
    std::string out;
    if (line.front() == '@') {
        out = "@";
        pos = 1;
    } else {
        pos = 1;
        if (!Unescape(line, pos, '"', name)) return {};
        ++pos;
        out = RegQuoted(name);
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos >= line.size() || line[pos] != '=') return {};
    ++pos;
    std::string_view data = line.substr(pos);
    int kind = 1;
    if (data.size() > 7 && data.compare(0, 4, "str(") == 0 && data[5] == ')' && data[6] == ':') {
        kind = data[4] == '2' ? 2 : data[4] == '7' ? 7 : 1;
        data.remove_prefix(7);
    }
    if (data.empty() || data.front() != '"') return out + "=" + std::string(data); // dword:, hex...: as they are
    std::size_t p = 1;
    std::string text;
    if (!Unescape(data, p, '"', text)) return {};
    if (kind == 2) return out + "=hex(2):" + HexUtf16(text, 1);
    if (kind == 7) return out + "=hex(7):" + HexUtf16(text, 2);
    if (HasControl(text)) return out + "=hex(1):" + HexUtf16(text, 1);
    return out + "=" + RegQuoted(text);
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return {};
}

bool IsFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

} // namespace

std::string WineUserRegistryPath()
{
    std::string prefix;
    if (const char* env = std::getenv("WINEPREFIX"); env != nullptr && env[0] == '/')
        prefix = env;
    else
        prefix = HomeFolder() + "/.wine";
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    return prefix + "/user.reg";
}

bool IsWineRegistryText(std::string_view text)
{
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.remove_prefix(3);
    return text.substr(0, kWineHeader.size()) == kWineHeader;
}

bool IsWindowsDrivePath(std::string_view path)
{
    return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::string ResolvePathNoCase(const std::string& base, std::string_view relative)
{
    fs::path current = base;
    bool searching = true;
    std::size_t pos = 0;
    while (pos < relative.size()) {
        std::size_t end = relative.find_first_of("\\/", pos);
        if (end == std::string_view::npos) end = relative.size();
        const std::string part(relative.substr(pos, end - pos));
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (searching) {
            std::error_code ec;
            if (fs::exists(current / part, ec)) {
                current /= part;
                continue;
            }
            searching = false;
            for (fs::directory_iterator it(current, ec), last; !ec && it != last; it.increment(ec)) {
                if (SameTextAscii(it->path().filename().string(), part)) {
                    current = it->path();
                    searching = true;
                    break;
                }
            }
            if (searching) continue;
        }
        current /= part;
    }
    std::string result = current.string();
    if (!relative.empty() && (relative.back() == '\\' || relative.back() == '/') && result.back() != '/') result += '/';
    return result;
}

std::string WinePathToUnix(const std::string& prefix, std::string_view windowsPath)
{
    if (!IsWindowsDrivePath(windowsPath)) return std::string(windowsPath);
    const char letter = AsciiLower(windowsPath[0]);
    fs::path root = fs::path(prefix) / "drive_c";
    if (letter != 'c' || !IsFolder(root)) root = fs::path(prefix) / "dosdevices" / (std::string(1, letter) + ":");
    std::string path = ResolvePathNoCase(root.string(), windowsPath.substr(3));
    if (windowsPath.size() == 3) path += '/';
    return path;
}

TRegistryData ParseWineRegistry(std::string_view text)
{
    // Each line in the registry-export form, parsed by the one parser.
    std::string converted = "Windows Registry Editor Version 5.00\n";
    bool header = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (header) { // the "WINE REGISTRY Version 2" line
            header = false;
            continue;
        }
        std::string_view trimmed = line;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.remove_prefix(1);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
            converted += '\n';
            continue;
        }
        if (trimmed.front() == '[') {
            // [Software\\Name] 1700000000: relative to HKEY_CURRENT_USER, a
            // time stamp after it.
            std::size_t p = 1;
            std::string key;
            if (!Unescape(trimmed, p, ']', key) || HasControl(key)) {
                converted += "[]\n";
                continue;
            }
            converted += "[HKEY_CURRENT_USER\\" + key + "]\n";
            continue;
        }
        if (trimmed.front() == '"' || trimmed.front() == '@')
            converted += ConvertValue(trimmed) + '\n';
        else
            converted += std::string(line) + '\n'; // a continued hex line
    }
    TRegistryData data = TRegistryData::Parse(converted);
    data.wine_ = true;
    return data;
}
