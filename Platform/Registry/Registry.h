// The per-user registry, kept in a file of the registry-export text format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Zemrak_Log3]
//   "InstallPath"="/opt/zemrak/"
//
// Strings escape \ as \\ and " as \"; dword:, hex: and hex(n): values are
// understood too. Key and value names are compared without regard to case.
// Lines that cannot be read are skipped.
#pragma once

#include "Platform/SysUtils/SysUtils.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class ERegistryException : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "ERegistryException"; }
};

// The registry file read, the first of: $HKCU_REGISTRY_FILE when set;
// $XDG_CONFIG_HOME/hkcu.reg (~/.config/hkcu.reg) when it exists; Wine's
// per-user file $WINEPREFIX/user.reg (~/.wine/user.reg) when it exists;
// else the hkcu.reg path, which then holds no keys.
std::string RegistryFilePath();

enum class TRegDataType { String, ExpandString, MultiString, DWord, QWord, Binary };

struct TRegistryValue {
    std::string Name; // as written; empty for the default value (@)
    TRegDataType Type = TRegDataType::String;
    std::string Text;         // String, ExpandString; MultiString joined by '\0'
    std::uint64_t Number = 0; // DWord, QWord
    std::string Bytes;        // Binary and other raw data
};

struct TRegistryKey {
    std::string Name; // full path as written, e.g. HKEY_CURRENT_USER\Software\X
    std::vector<TRegistryValue> Values;
    const TRegistryValue* FindValue(std::string_view name) const;
};

// The keys of one registry file. Full key paths start with the root name
// (HKCU and HKLM are taken for HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE).
class TRegistryData;
// Wine's "WINE REGISTRY Version 2" text, keys relative to HKEY_CURRENT_USER.
TRegistryData ParseWineRegistry(std::string_view text);

class TRegistryData {
public:
    // The registry-export text format, or Wine's own (told by its first line).
    static TRegistryData Parse(std::string_view text);
    // A missing or unreadable file holds no keys.
    static TRegistryData LoadFromFile(const std::string& path);

    const TRegistryKey* FindKey(std::string_view fullKey) const;
    bool KeyExists(std::string_view fullKey) const { return FindKey(fullKey) != nullptr; }
    const std::vector<TRegistryKey>& Keys() const noexcept { return keys_; }

    // Creates the key (and its parents) when missing; replaces a value of
    // the same name.
    void SetString(std::string_view fullKey, std::string_view name, std::string_view value);
    void SetDWord(std::string_view fullKey, std::string_view name, std::uint32_t value);
    void DeleteKey(std::string_view fullKey);
    // True when read from a Wine registry file: its paths are Windows paths
    // inside a Wine prefix.
    bool IsWine() const noexcept { return wine_; }

    std::string ToText() const;
    // Written to a temporary file beside path and renamed into place; the
    // folder is created when missing. EOSError on failure.
    void SaveToFile(const std::string& path) const;

private:
    friend TRegistryData ParseWineRegistry(std::string_view text);
    TRegistryKey& AddKey(std::string_view fullKey);
    void SetValue(std::string_view fullKey, TRegistryValue value);
    bool wine_ = false;
    std::vector<TRegistryKey> keys_;
    std::map<std::string, std::size_t> index_; // upper-case normalised path -> keys_
};

// Sets one string value in the registry file at path, keeping the rest.
void WriteRegistryString(const std::string& path, std::string_view fullKey, std::string_view name,
                         std::string_view value);

class TRegistry {
public:
    // The file of RegistryFilePath(), read on first use.
    TRegistry();
    explicit TRegistry(std::string filePath);

    std::string RootKey = "HKEY_CURRENT_USER";

    // key is relative to the open key, or to the root when it starts with
    // '\' or no key is open. Never creates a key.
    bool OpenKeyReadOnly(std::string_view key);
    bool KeyExists(std::string_view key);
    void CloseKey() noexcept;
    // Path of the open key below the root, without a leading '\'.
    const std::string& CurrentPath() const noexcept { return currentPath_; }

    bool ValueExists(std::string_view name) const;
    // Empty text for a missing value (or no open key); ERegistryException for
    // a value that is not a string. Read from Wine's registry, a Windows
    // drive path is answered as the path inside the Wine prefix.
    std::string ReadString(std::string_view name) const;
    // ERegistryException for a missing or non-integer value.
    int ReadInteger(std::string_view name) const;
    std::vector<std::string> GetValueNames() const;

private:
    const TRegistryData& Data();
    std::string Resolve(std::string_view key) const;
    std::string filePath_;
    bool loaded_ = false;
    TRegistryData data_;
    std::string currentPath_;
    const TRegistryKey* current_ = nullptr;
};
