#include "Host/HostQuery.h"

#include "Platform/JetSql/JetSql.h"
#include "Platform/OleAuto/OleAuto.h"
#include "Platform/SysUtils/SysUtils.h"

std::string TCell::AsText() const
{
    switch (Kind) {
    case TKind::Null:
        return {};
    case TKind::Integer:
        return std::to_string(Int);
    case TKind::Real:
        return TResultSet::RealText(Real);
    case TKind::Text:
        return Text;
    }
    return {};
}

void THostQuery::Open(TSqliteDatabase& db, const std::string& jet)
{
    Close();
    sql_ = JetToSqlite(jet);
    Fetch(db);
    active_ = true;
}

void THostQuery::Requery(TSqliteDatabase& db)
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    Fetch(db);
}

void THostQuery::Close()
{
    active_ = false;
    result_.Clear();
    pos_ = 0;
}

void THostQuery::Fetch(TSqliteDatabase& db)
{
    // Only the first statement of the text runs.
    TSqliteStatement statement(db, sql_, TSqliteStatement::TTail::Ignore);
    result_.Fetch(statement);
    pos_ = 0;
}

std::size_t THostQuery::ColumnIndex(const std::string& field) const
{
    const auto column = result_.FindColumn(field);
    if (!column) throw EOleException("Field '" + field + "' not found", E_FAIL, "hamhost");
    return *column;
}

bool THostQuery::Locate(const std::string& field, const std::string& value)
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    const auto row = result_.Locate(ColumnIndex(field), value);
    if (!row) return false;
    pos_ = *row;
    return true;
}

TCell THostQuery::Field(const std::string& field) const
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    const std::size_t column = ColumnIndex(field);
    if (pos_ >= result_.RowCount()) throw EOleException("No current record", E_FAIL, "hamhost");
    const TValueView value = result_.Cell(pos_, column);
    TCell cell;
    cell.Kind = value.Kind;
    cell.Int = value.Int;
    cell.Real = value.Real;
    cell.Text = value.Text;
    return cell;
}
