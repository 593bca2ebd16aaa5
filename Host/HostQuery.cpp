#include "Host/HostQuery.h"

#include "Platform/JetSql/JetSql.h"
#include "Platform/OleAuto/OleAuto.h"
#include "Platform/SysUtils/SysUtils.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace {

struct TStmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
} // namespace

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string TCell::AsText() const
{
    switch (Kind) {
    case TKind::Null: return {};
    case TKind::Integer: return std::to_string(Int);
    case TKind::Real: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", Real);
        return buf;
    }
    case TKind::Text: return Text;
    }
    return {};
}

void THostQuery::Open(sqlite3* db, const std::string& jet)
{
    Close();
    sql_ = JetToSqlite(jet);
    Fetch(db);
    active_ = true;
}

void THostQuery::Requery(sqlite3* db)
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    Fetch(db);
}

void THostQuery::Close()
{
    active_ = false;
    columns_.clear();
    columnIndex_.clear();
    store_ = TStore();
    rowCount_ = 0;
    locateIndex_.clear();
    pos_ = 0;
}

void THostQuery::Fetch(sqlite3* db)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql_.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw EOleException(sqlite3_errmsg(db), E_FAIL, "SQLite");
    std::unique_ptr<sqlite3_stmt, TStmtCloser> stmt(raw);
    if (!raw) throw EOleException("Empty statement", E_FAIL, "SQLite");
    // Read into fresh storage: a statement that fails part-way leaves the
    // previous result as it was.
    int n = sqlite3_column_count(raw);
    std::vector<std::string> columns;
    std::unordered_map<std::string, std::size_t> columnIndex;
    for (int i = 0; i < n; ++i) {
        columns.emplace_back(sqlite3_column_name(raw, i));
        columnIndex.emplace(UpperAscii(columns.back()), static_cast<std::size_t>(i));
    }
    TStore store;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            TSlot& c = store.Add();
            switch (sqlite3_column_type(raw, i)) {
            case SQLITE_INTEGER:
                c.Kind = TCell::TKind::Integer;
                c.Payload = static_cast<std::uint64_t>(sqlite3_column_int64(raw, i));
                break;
            case SQLITE_FLOAT:
                c.Kind = TCell::TKind::Real;
                c.Payload = std::bit_cast<std::uint64_t>(sqlite3_column_double(raw, i));
                break;
            case SQLITE_NULL: break;
            default: {
                c.Kind = TCell::TKind::Text;
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, i));
                const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(raw, i));
                store.AddText(c, text ? text : "", bytes);
            }
            }
        }
        ++store.Rows;
    }
    if (rc != SQLITE_DONE) throw EOleException(sqlite3_errmsg(db), E_FAIL, "SQLite");
    columns_ = std::move(columns);
    columnIndex_ = std::move(columnIndex);
    store_ = std::move(store);
    rowCount_ = store_.Rows;
    locateIndex_.clear();
    pos_ = 0;
}

THostQuery::TSlot& THostQuery::TStore::Add()
{
    const std::size_t block = CellCount >> SlotBlockBits;
    if (block == Cells.size()) Cells.push_back(std::make_unique<TSlot[]>(std::size_t{1} << SlotBlockBits));
    TSlot& slot = Cells[block][CellCount & ((std::size_t{1} << SlotBlockBits) - 1)];
    ++CellCount;
    return slot;
}

void THostQuery::TStore::AddText(TSlot& slot, const char* text, std::size_t bytes)
{
    if (Text.empty() || Text.back().size() + bytes > Text.back().capacity()) {
        // Small results take small blocks; large ones grow to TextBlockSize.
        const std::size_t last = Text.empty() ? 0 : Text.back().capacity();
        const std::size_t size = std::min(TextBlockSize, std::max<std::size_t>(4096, 2 * last));
        Text.emplace_back();
        Text.back().reserve(std::max(size, bytes));
    }
    slot.Payload = (static_cast<std::uint64_t>(Text.size() - 1) << 32) | Text.back().size();
    slot.Length = static_cast<std::uint32_t>(bytes);
    Text.back().append(text, bytes);
}

TCell THostQuery::CellOf(const TSlot& slot) const
{
    TCell cell;
    cell.Kind = slot.Kind;
    switch (slot.Kind) {
    case TCell::TKind::Integer: cell.Int = static_cast<std::int64_t>(slot.Payload); break;
    case TCell::TKind::Real: cell.Real = std::bit_cast<double>(slot.Payload); break;
    case TCell::TKind::Text: cell.Text = store_.TextOf(slot); break;
    case TCell::TKind::Null: break;
    }
    return cell;
}

std::size_t THostQuery::ColumnIndex(const std::string& field) const
{
    auto it = columnIndex_.find(UpperAscii(field));
    if (it == columnIndex_.end())
        throw EOleException("Field '" + field + "' not found", E_FAIL, "hamhost");
    return it->second;
}

bool THostQuery::Locate(const std::string& field, const std::string& value)
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    std::size_t col = ColumnIndex(field);
    auto [it, fresh] = locateIndex_.try_emplace(col);
    TLocateIndex& index = it->second;
    if (fresh) {
        index.Rows.reserve(rowCount_);
        for (std::size_t r = 0; r < rowCount_; ++r) {
            const TSlot& slot = Slot(r, col);
            if (slot.Kind == TCell::TKind::Null) continue;
            std::string_view key;
            if (slot.Kind == TCell::TKind::Text) {
                key = store_.TextOf(slot);
            } else {
                index.Owned.push_back(std::make_unique<std::string>(CellOf(slot).AsText()));
                key = *index.Owned.back();
            }
            index.Rows.try_emplace(key, r);
        }
    }
    auto hit = index.Rows.find(value);
    if (hit == index.Rows.end()) return false;
    pos_ = hit->second;
    return true;
}

TCell THostQuery::Field(const std::string& field) const
{
    if (!active_) throw EOleException("Query is not open", E_FAIL, "hamhost");
    std::size_t col = ColumnIndex(field);
    if (pos_ >= rowCount_) throw EOleException("No current record", E_FAIL, "hamhost");
    return CellOf(Slot(pos_, col));
}
