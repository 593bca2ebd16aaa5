// Query handles of the host database: each holds its whole result so that
// counting, rewinding, locating and requerying are cheap.
#pragma once

#include "Platform/Ado/ResultSet.h"
#include "Platform/Ado/Sqlite.h"

#include <cstdint>
#include <string>

// One cell: NULL, integer, real or text.
struct TCell {
    using TKind = TValueKind;
    TKind Kind = TKind::Null;
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
    void Open(TSqliteDatabase& db, const std::string& jet);
    void Requery(TSqliteDatabase& db);
    void Close();

    std::int32_t RecordCount() const { return static_cast<std::int32_t>(result_.RowCount()); }
    void First() { pos_ = 0; }
    void Next()
    {
        if (pos_ < result_.RowCount()) ++pos_;
    }
    bool Eof() const { return pos_ >= result_.RowCount(); }
    // Stands on the first row whose field equals value; hashed per column.
    bool Locate(const std::string& field, const std::string& value);
    // The current row's cell; throws for an unknown field or no current row.
    TCell Field(const std::string& field) const;

private:
    std::size_t ColumnIndex(const std::string& field) const;
    void Fetch(TSqliteDatabase& db);

    bool active_ = false;
    std::string sql_; // translated text
    TResultSet result_;
    std::size_t pos_ = 0;
};
