// Settings files in the INI format: "[Section]" lines open sections, followed
// by "Key=Value" lines. Section and key names match without regard to case;
// names and values are trimmed of blanks. Lines this code does not change
// (other sections, comments starting with ; or #, blank and unknown lines)
// are written back byte for byte. Text is UTF-8.
#pragma once

#include "Platform/DateTime/DateTime.h"
#include "Platform/FormatSettings/FormatSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text of one settings file in memory: parsing, look-up and edits.
// Serialize() of an unedited document gives back exactly the parsed bytes.
class TIniDocument {
public:
    TIniDocument() = default;
    explicit TIniDocument(std::string_view text) { Parse(text); }

    void Parse(std::string_view text);
    std::string Serialize() const;

    // The value of the first Key=Value line with this key in a section of this name.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    // Distinct names, in file order.
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // Replaces the value of the first line with this key, or adds a line at
    // the end of the section (adding the section at the end of the file).
    // Throws EArgumentException for a name or value that cannot be stored:
    // a line break anywhere, "=" in a key, "]" in a section name, an empty
    // name or a key starting with "[", ";" or "#".
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every line with this key in sections of this name; true when
    // there was one.
    bool DeleteKey(std::string_view section, std::string_view key);
    // Removes every section of this name with all its lines.
    bool EraseSection(std::string_view section);

private:
    struct Line {
        std::string Text; // without the line end
        std::string End;  // "\r\n", "\n" or "" for a last line without one
    };
    std::string NewLineEnd() const;
    std::string bom_;
    std::vector<Line> lines_;
};

// A settings file bound to one section. The whole file is read at the first
// read or write after FileName is set, and written back after every change.
// Writing goes to a temporary file in the same folder that then replaces the
// original, so the file is never left half-written; when another program
// has changed the file since it was read, it is read again before the change
// is applied, so that program's changes are kept. A missing file reads as
// empty and is created by the first write. Failures to read or write throw
// EFOpenError / EFCreateError naming the file.
class TIniFile {
public:
    TIniFile() = default;
    explicit TIniFile(std::string fileName, std::string section = {});

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string fileName);
    const std::string& Section() const { return section_; }
    void SetSection(std::string section) { section_ = std::move(section); }
    // Settings used for dates; the user's by default.
    const TFormatSettings& FormatSettings() const { return formatSettings_; }
    void SetFormatSettings(const TFormatSettings& fs) { formatSettings_ = fs; }

    // Reads give the default for an absent key; integers are decimal
    // (unreadable: the default); booleans read any non-zero integer as true
    // and anything unreadable as the default, and are written "1" or "0";
    // dates use the short date format (unreadable: the default).
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def);
    int ReadInteger(std::string_view section, std::string_view key, int def);
    bool ReadBool(std::string_view section, std::string_view key, bool def);
    TDateTime ReadDate(std::string_view section, std::string_view key, TDateTime def);
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteDate(std::string_view section, std::string_view key, TDateTime value);
    void DeleteKey(std::string_view section, std::string_view key);
    bool ValueExists(std::string_view section, std::string_view key);
    bool SectionExists(std::string_view section);
    std::vector<std::string> ReadSections();
    std::vector<std::string> ReadSection(std::string_view section); // key names
    void EraseSection(std::string_view section);

    // The same in the bound Section.
    std::string ReadString(std::string_view key, std::string_view def) { return ReadString(section_, key, def); }
    int ReadInteger(std::string_view key, int def) { return ReadInteger(section_, key, def); }
    bool ReadBool(std::string_view key, bool def) { return ReadBool(section_, key, def); }
    TDateTime ReadDate(std::string_view key, TDateTime def) { return ReadDate(section_, key, def); }
    void WriteString(std::string_view key, std::string_view value) { WriteString(section_, key, value); }
    void WriteInteger(std::string_view key, int value) { WriteInteger(section_, key, value); }
    void WriteBool(std::string_view key, bool value) { WriteBool(section_, key, value); }
    void WriteDate(std::string_view key, TDateTime value) { WriteDate(section_, key, value); }
    void DeleteKey(std::string_view key) { DeleteKey(section_, key); }
    bool ValueExists(std::string_view key) { return ValueExists(section_, key); }

private:
    struct Stamp {
        bool Exists = false;
        std::uint64_t Device = 0, Inode = 0, Size = 0;
        std::int64_t MTimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    const TIniDocument& Document();
    // Applies edit to a copy (read anew when the file changed on disk),
    // writes the copy and keeps it only when the write succeeded.
    template <class Edit> void Change(Edit edit);
    TIniDocument ReadFile(Stamp& stamp) const;
    Stamp StampOf() const;
    void Save(const std::string& text);

    std::string fileName_;
    std::string section_;
    TFormatSettings formatSettings_ = DefaultFormatSettings();
    TIniDocument doc_;
    bool loaded_ = false;
    Stamp stamp_;
};
