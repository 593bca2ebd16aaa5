// Query handles of the host database: each holds its whole result so that
// counting, rewinding, locating and requerying are cheap.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One cell: NULL, integer, real or text.
struct TCell {
    enum class TKind : std::uint8_t { Null, Integer, Real, Text } Kind = TKind::Null;
    std::int64_t Int = 0;
    double Real = 0;
    std::string Text;
    // The value as text (integers in decimal); empty for NULL.
    std::string AsText() const;
};

class THostQuery {
public:
    bool Active() const { return active_; }
    // Runs a SELECT in the Jet dialect and stands on the first row.
    void Open(sqlite3* db, const std::string& jet);
    void Requery(sqlite3* db);
    void Close();

    std::int32_t RecordCount() const { return static_cast<std::int32_t>(rows_.size()); }
    void First() { pos_ = 0; }
    void Next()
    {
        if (pos_ < rows_.size()) ++pos_;
    }
    bool Eof() const { return pos_ >= rows_.size(); }
    // Stands on the first row whose field equals value; hashed per column.
    bool Locate(const std::string& field, const std::string& value);
    // The current row's cell; throws for an unknown field or no current row.
    const TCell& Field(const std::string& field) const;

private:
    std::size_t ColumnIndex(const std::string& field) const;
    void Fetch(sqlite3* db);

    bool active_ = false;
    std::string sql_; // translated text
    std::vector<std::string> columns_;
    std::unordered_map<std::string, std::size_t> columnIndex_; // upper-case names
    std::vector<std::vector<TCell>> rows_;
    std::size_t pos_ = 0;
    std::map<std::size_t, std::unordered_map<std::string, std::size_t>> locateIndex_;
};

// Upper-case ASCII copy (column names match without regard to case).
std::string UpperAscii(std::string text);
