#include "Platform/Registry/Registry.h"
#include "Platform/OleAuto/OleAuto.h"

#include "Platform/Files/Files.h"
#include "Platform/Registry/WineRegistry.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace {

// Key path with empty segments dropped and the root abbreviations spelled out.
std::string NormaliseKey(std::string_view key)
{
    std::string result;
    std::size_t pos = 0;
    bool first = true;
    while (pos <= key.size()) {
        std::size_t end = key.find('\\', pos);
        if (end == std::string_view::npos) end = key.size();
        std::string_view part = key.substr(pos, end - pos);
        if (!part.empty()) {
            if (first) {
                if (SameTextAscii(part, "HKCU"))
                    part = "HKEY_CURRENT_USER";
                else if (SameTextAscii(part, "HKLM"))
                    part = "HKEY_LOCAL_MACHINE";
                else if (SameTextAscii(part, "HKCR"))
                    part = "HKEY_CLASSES_ROOT";
                else if (SameTextAscii(part, "HKU"))
                    part = "HKEY_USERS";
            }
            if (!result.empty()) result += '\\';
            result += part;
            first = false;
        }
        pos = end + 1;
    }
    return result;
}

// Every key lies below a root such as HKEY_CURRENT_USER.
bool HasRoot(std::string_view normalisedKey)
{
    return normalisedKey.size() > 5 && SameTextAscii(normalisedKey.substr(0, 5), "HKEY_") &&
           normalisedKey.substr(0, normalisedKey.find('\\')).size() > 5;
}

// UTF-16LE bytes to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return Utf16ToUtf8(units);
}

// UTF-8 to UTF-16LE bytes; invalid sequences become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text)
{
    std::string out;
    auto put = [&](char16_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else {
            const int extra = (c >= 0xF0 && c <= 0xF4)  ? 3
                              : (c >= 0xE0) && c < 0xF0 ? 2
                              : (c >= 0xC2 && c < 0xE0) ? 1
                                                        : -1;
            if (extra > 0 && i + static_cast<std::size_t>(extra) < text.size()) {
                char32_t v = c & (0x3F >> extra);
                bool ok = true;
                for (int k = 1; k <= extra; ++k) {
                    const unsigned char cc = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
                    if ((cc & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (cc & 0x3F);
                }
                const char32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
                if (ok && v >= min && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    cp = v;
                    len = static_cast<std::size_t>(extra) + 1;
                }
            }
        }
        if (cp >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A quoted string at s[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out)
{
    out.clear();
    std::size_t i = pos + 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            const char n = s[i + 1];
            if (n == '\\' || n == '"') {
                out += n;
            } else {
                out += c;
                out += n;
            }
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return false;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "aa,bb,cc" (blanks allowed) to bytes.
bool ReadHexBytes(std::string_view s, std::string& bytes)
{
    bytes.clear();
    s = TrimBlanks(s);
    if (s.empty()) return true;
    std::size_t pos = 0;
    for (;;) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos >= s.size()) return false;
        const int hi = HexDigit(s[pos]);
        const int lo = pos + 1 < s.size() ? HexDigit(s[pos + 1]) : -1;
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
        pos += 2;
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos >= s.size()) return true;
        if (s[pos] != ',') return false;
        ++pos;
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos >= s.size()) return true; // a trailing comma
    }
}

std::string StripTrailingNuls(std::string text)
{
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

// The value part after '='. False when it cannot be read; deleted is set
// for the "-" form.
bool ReadValueData(std::string_view data, TRegistryValue& value, bool& deleted)
{
    deleted = false;
    data = TrimBlanks(data);
    if (data.empty()) return false;
    if (data.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!ReadQuoted(data, pos, text) || !TrimBlanks(data.substr(pos)).empty()) return false;
        value.Type = TRegDataType::String;
        value.Text = std::move(text);
        return true;
    }
    if (data == "-") {
        deleted = true;
        return true;
    }
    const std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string type = AsciiUpper(TrimBlanks(data.substr(0, colon)));
    const std::string_view rest = data.substr(colon + 1);
    if (type == "DWORD") {
        const std::string_view digits = TrimBlanks(rest);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint64_t v = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
        value.Type = TRegDataType::DWord;
        value.Number = v;
        return true;
    }
    std::string bytes;
    if (type == "HEX") {
        if (!ReadHexBytes(rest, bytes)) return false;
        value.Type = TRegDataType::Binary;
        value.Bytes = std::move(bytes);
        return true;
    }
    if (type.size() > 5 && type.compare(0, 4, "HEX(") == 0 && type.back() == ')') {
        const std::string kind = type.substr(4, type.size() - 5);
        if (!ReadHexBytes(rest, bytes)) return false;
        if (kind == "1" || kind == "2") {
            value.Type = kind == "1" ? TRegDataType::String : TRegDataType::ExpandString;
            value.Text = StripTrailingNuls(Utf16LeToUtf8(bytes));
        } else if (kind == "7") {
            value.Type = TRegDataType::MultiString;
            value.Text = StripTrailingNuls(Utf16LeToUtf8(bytes));
        } else if (kind == "B" && bytes.size() == 8) {
            value.Type = TRegDataType::QWord;
            value.Number = 0;
            for (int i = 7; i >= 0; --i)
                value.Number = (value.Number << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        } else if (kind == "4" && bytes.size() == 4) {
            value.Type = TRegDataType::DWord;
            value.Number = 0;
            for (int i = 3; i >= 0; --i)
                value.Number = (value.Number << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        } else {
            value.Type = TRegDataType::Binary;
            value.Bytes = std::move(bytes);
        }
        return true;
    }
    return false;
}

std::string EscapeString(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string HexList(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += ',';
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

bool HasControl(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return {};
}

} // namespace

std::string RegistryFilePath()
{
    if (const char* file = std::getenv("HKCU_REGISTRY_FILE"); file != nullptr && *file != '\0') return file;
    std::string own;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        own = IncludeTrailingPathDelimiter(config) + "hkcu.reg";
    else
        own = IncludeTrailingPathDelimiter(HomeFolder()) + ".config/hkcu.reg";
    if (FileExists(own)) return own;
    // A logger installed under Wine is registered in Wine's own file.
    if (std::string wine = WineUserRegistryPath(); FileExists(wine)) return wine;
    return own;
}

// --- TRegistryKey / TRegistryData ---

const TRegistryValue* TRegistryKey::FindValue(std::string_view name) const
{
    for (const TRegistryValue& value : Values)
        if (SameTextAscii(value.Name, name)) return &value;
    return nullptr;
}

TRegistryData TRegistryData::Parse(std::string_view text)
{
    if (IsWineRegistryText(text)) return ParseWineRegistry(text);
    std::string decoded;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        decoded = Utf16LeToUtf8(text.substr(2));
        text = decoded;
    } else if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.remove_prefix(3);
    }

    TRegistryData data;
    std::string currentKey;
    bool inKey = false;
    std::string logical;
    bool continuing = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view raw = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (continuing)
            logical.append(raw);
        else
            logical.assign(raw);
        // A value may go on over several lines, each but the last ending in '\'.
        if (!logical.empty() && logical.back() == '\\' && logical.front() != '[' && pos < text.size()) {
            logical.pop_back();
            continuing = true;
            continue;
        }
        continuing = false;
        const std::string_view line = logical;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            inKey = false;
            if (close == std::string_view::npos || !TrimBlanks(line.substr(close + 1)).empty()) continue;
            std::string_view name = line.substr(1, close - 1);
            if (!name.empty() && name.front() == '-') {
                data.DeleteKey(name.substr(1));
                continue;
            }
            currentKey = NormaliseKey(name);
            if (!HasRoot(currentKey)) continue;
            data.AddKey(currentKey);
            inKey = true;
            continue;
        }
        if (!inKey) continue;

        TRegistryValue value;
        std::size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else if (line.front() == '"') {
            if (!ReadQuoted(line, p, value.Name)) continue;
        } else {
            continue;
        }
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
            ++p;
        if (p >= line.size() || line[p] != '=') continue;
        bool deleted = false;
        if (!ReadValueData(line.substr(p + 1), value, deleted)) continue;
        TRegistryKey& key = data.AddKey(currentKey);
        for (auto it = key.Values.begin(); it != key.Values.end(); ++it) {
            if (SameTextAscii(it->Name, value.Name)) {
                key.Values.erase(it);
                break;
            }
        }
        if (!deleted) key.Values.push_back(std::move(value));
    }
    return data;
}

TRegistryData TRegistryData::LoadFromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return {};
    return Parse(buffer.str());
}

const TRegistryKey* TRegistryData::FindKey(std::string_view fullKey) const
{
    const auto it = index_.find(AsciiUpper(NormaliseKey(fullKey)));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

TRegistryKey& TRegistryData::AddKey(std::string_view fullKey)
{
    const std::string name = NormaliseKey(fullKey);
    // Parents exist as soon as a child does.
    std::size_t slash = name.find('\\');
    while (slash != std::string::npos) {
        const std::string parent = name.substr(0, slash);
        const std::string upper = AsciiUpper(parent);
        if (index_.find(upper) == index_.end()) {
            index_.emplace(upper, keys_.size());
            keys_.push_back(TRegistryKey{parent, {}});
        }
        slash = name.find('\\', slash + 1);
    }
    const std::string upper = AsciiUpper(name);
    const auto it = index_.find(upper);
    if (it != index_.end()) return keys_[it->second];
    index_.emplace(upper, keys_.size());
    keys_.push_back(TRegistryKey{name, {}});
    return keys_.back();
}

void TRegistryData::DeleteKey(std::string_view fullKey)
{
    const std::string upper = AsciiUpper(NormaliseKey(fullKey));
    if (upper.empty()) return;
    std::vector<TRegistryKey> kept;
    kept.reserve(keys_.size());
    for (TRegistryKey& key : keys_) {
        const std::string name = AsciiUpper(key.Name);
        const bool inside = name == upper || (name.size() > upper.size() && name.compare(0, upper.size(), upper) == 0 &&
                                              name[upper.size()] == '\\');
        if (!inside) kept.push_back(std::move(key));
    }
    keys_ = std::move(kept);
    index_.clear();
    for (std::size_t i = 0; i < keys_.size(); ++i)
        index_.emplace(AsciiUpper(keys_[i].Name), i);
}

void TRegistryData::SetValue(std::string_view fullKey, TRegistryValue value)
{
    if (!HasRoot(NormaliseKey(fullKey)))
        throw ERegistryException("Invalid registry key '" + std::string(fullKey) + "'");
    TRegistryKey& key = AddKey(fullKey);
    for (TRegistryValue& existing : key.Values) {
        if (SameTextAscii(existing.Name, value.Name)) {
            existing = std::move(value);
            return;
        }
    }
    key.Values.push_back(std::move(value));
}

void TRegistryData::SetString(std::string_view fullKey, std::string_view name, std::string_view text)
{
    TRegistryValue value;
    value.Name = name;
    value.Type = TRegDataType::String;
    value.Text = text;
    SetValue(fullKey, std::move(value));
}

void TRegistryData::SetDWord(std::string_view fullKey, std::string_view name, std::uint32_t number)
{
    TRegistryValue value;
    value.Name = name;
    value.Type = TRegDataType::DWord;
    value.Number = number;
    SetValue(fullKey, std::move(value));
}

std::string TRegistryData::ToText() const
{
    std::string out = "Windows Registry Editor Version 5.00\n";
    for (const TRegistryKey& key : keys_) {
        // A key without values is implied by any key below it.
        if (key.Values.empty()) {
            const std::string prefix = AsciiUpper(key.Name) + "\\";
            bool implied = false;
            for (const TRegistryKey& other : keys_)
                if (AsciiUpper(other.Name).compare(0, prefix.size(), prefix) == 0) implied = true;
            if (implied) continue;
        }
        out += "\n[" + key.Name + "]\n";
        for (const TRegistryValue& value : key.Values) {
            out += value.Name.empty() ? std::string("@") : EscapeString(value.Name);
            out += '=';
            switch (value.Type) {
            case TRegDataType::String:
                // Line breaks cannot stand in a quoted string: such text is
                // written as UTF-16 bytes.
                if (HasControl(value.Text))
                    out += "hex(1):" + HexList(Utf8ToUtf16Le(value.Text) + std::string(2, '\0'));
                else
                    out += EscapeString(value.Text);
                break;
            case TRegDataType::ExpandString:
                out += "hex(2):" + HexList(Utf8ToUtf16Le(value.Text) + std::string(2, '\0'));
                break;
            case TRegDataType::MultiString:
                out += "hex(7):" + HexList(Utf8ToUtf16Le(value.Text) + std::string(4, '\0'));
                break;
            case TRegDataType::DWord: {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(value.Number));
                out += buf;
                break;
            }
            case TRegDataType::QWord: {
                std::string bytes;
                for (int i = 0; i < 8; ++i)
                    bytes += static_cast<char>((value.Number >> (8 * i)) & 0xFF);
                out += "hex(b):" + HexList(bytes);
                break;
            }
            case TRegDataType::Binary:
                out += "hex:" + HexList(value.Bytes);
                break;
            }
            out += '\n';
        }
    }
    return out;
}

void TRegistryData::SaveToFile(const std::string& path) const
{
    const std::string folder = ExtractFileDir(path);
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec)
            throw EOSError("Cannot create folder '" + folder + "': " + ec.message(),
                           static_cast<std::uint32_t>(ec.value()));
    }
    TTempFile temp(folder, ".hkcu");
    const std::string text = ToText();
    {
        std::ofstream out(temp.Path(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) throw EOSError("Cannot write file '" + temp.Path() + "'", EIO);
    }
    RenameFileOrThrow(temp.Path(), path);
    temp.Release();
}

void WriteRegistryString(const std::string& path, std::string_view fullKey, std::string_view name,
                         std::string_view value)
{
    TRegistryData data = TRegistryData::LoadFromFile(path);
    data.SetString(fullKey, name, value);
    data.SaveToFile(path);
}

// --- TRegistry ---

TRegistry::TRegistry() : filePath_(RegistryFilePath()) {}

TRegistry::TRegistry(std::string filePath) : filePath_(std::move(filePath)) {}

const TRegistryData& TRegistry::Data()
{
    if (!loaded_) {
        data_ = TRegistryData::LoadFromFile(filePath_);
        loaded_ = true;
    }
    return data_;
}

std::string TRegistry::Resolve(std::string_view key) const
{
    std::string path;
    if (!key.empty() && key.front() == '\\')
        path = NormaliseKey(key);
    else if (current_ != nullptr && !currentPath_.empty())
        path = NormaliseKey(currentPath_ + "\\" + std::string(key));
    else
        path = NormaliseKey(key);
    return path;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key)
{
    const std::string path = Resolve(key);
    const TRegistryKey* found = Data().FindKey(RootKey + "\\" + path);
    if (found == nullptr) return false;
    current_ = found;
    currentPath_ = path;
    return true;
}

bool TRegistry::KeyExists(std::string_view key)
{
    return Data().KeyExists(RootKey + "\\" + Resolve(key));
}

void TRegistry::CloseKey() noexcept
{
    current_ = nullptr;
    currentPath_.clear();
}

bool TRegistry::ValueExists(std::string_view name) const
{
    return current_ != nullptr && current_->FindValue(name) != nullptr;
}

std::string TRegistry::ReadString(std::string_view name) const
{
    const TRegistryValue* value = current_ != nullptr ? current_->FindValue(name) : nullptr;
    if (value == nullptr) return {};
    if (value->Type != TRegDataType::String && value->Type != TRegDataType::ExpandString)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    if (data_.IsWine() && IsWindowsDrivePath(value->Text))
        return WinePathToUnix(ExtractFileDir(filePath_), value->Text);
    return value->Text;
}

int TRegistry::ReadInteger(std::string_view name) const
{
    const TRegistryValue* value = current_ != nullptr ? current_->FindValue(name) : nullptr;
    if (value == nullptr || value->Type != TRegDataType::DWord)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    return static_cast<int>(static_cast<std::uint32_t>(value->Number));
}

std::vector<std::string> TRegistry::GetValueNames() const
{
    std::vector<std::string> names;
    if (current_ != nullptr)
        for (const TRegistryValue& value : current_->Values)
            names.push_back(value.Name);
    return names;
}
