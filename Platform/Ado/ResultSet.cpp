#include "Platform/Ado/ResultSet.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <charconv>

std::size_t TResultSet::TNoCaseHash::operator()(std::string_view s) const noexcept
{
    std::size_t h = 1469598103934665603ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(AsciiUpper(c))) * 1099511628211ull;
    return h;
}

bool TResultSet::TNoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    return SameTextAscii(a, b);
}

std::string TResultSet::IntegerText(std::int64_t value)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string TResultSet::RealText(double value)
{
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, result.ptr);
}

void TResultSet::Fetch(TSqliteStatement& statement, std::size_t rowLimit)
{
    // Read into fresh storage: a statement that fails part-way leaves the
    // previous result as it was.
    TResultSet fresh;
    const int n = statement.ColumnCount();
    for (int i = 0; i < n; ++i) {
        fresh.columns_.push_back(statement.ColumnName(i));
        fresh.columnIndex_.emplace(fresh.columns_.back(), static_cast<std::size_t>(i));
    }
    while (statement.Step()) {
        if (fresh.rows_ == rowLimit) throw EOleException("The result has too many rows", kSqliteStatementError);
        for (int i = 0; i < n; ++i) {
            TSlot& slot = fresh.Add();
            switch (statement.ColumnType(i)) {
            case SQLITE_INTEGER:
                slot.Kind = TValueKind::Integer;
                slot.Payload = static_cast<std::uint64_t>(statement.ColumnInt64(i));
                break;
            case SQLITE_FLOAT:
                slot.Kind = TValueKind::Real;
                slot.Payload = std::bit_cast<std::uint64_t>(statement.ColumnDouble(i));
                break;
            case SQLITE_NULL:
                break;
            default:
                slot.Kind = TValueKind::Text;
                fresh.AddText(slot, statement.ColumnText(i));
                break;
            }
        }
        ++fresh.rows_;
    }
    fresh.indexes_.resize(2 * fresh.columns_.size());
    *this = std::move(fresh);
}

TResultSet::TSlot& TResultSet::Add()
{
    const std::size_t block = cellCount_ >> SlotBlockBits;
    if (block == cells_.size()) cells_.push_back(std::make_unique<TSlot[]>(SlotBlockMask + 1));
    TSlot& slot = cells_[block][cellCount_ & SlotBlockMask];
    ++cellCount_;
    return slot;
}

void TResultSet::AddText(TSlot& slot, std::string_view text)
{
    if (text_.empty() || text_.back().size() + text.size() > text_.back().capacity()) {
        // Small results take small blocks; large ones grow to TextBlockSize.
        const std::size_t last = text_.empty() ? 0 : text_.back().capacity();
        const std::size_t size = std::min(TextBlockSize, std::max<std::size_t>(4096, 2 * last));
        text_.emplace_back();
        text_.back().reserve(std::max(size, text.size()));
    }
    slot.Payload = (static_cast<std::uint64_t>(text_.size() - 1) << 32) | text_.back().size();
    slot.Length = static_cast<std::uint32_t>(text.size());
    text_.back().append(text);
}

std::optional<std::size_t> TResultSet::FindColumn(std::string_view name) const
{
    const auto it = columnIndex_.find(name);
    if (it == columnIndex_.end()) return std::nullopt;
    return it->second;
}

TValueView TResultSet::Cell(std::size_t row, std::size_t column) const
{
    const TSlot& slot = Slot(row, column);
    TValueView value;
    value.Kind = slot.Kind;
    switch (slot.Kind) {
    case TValueKind::Integer:
        value.Int = static_cast<std::int64_t>(slot.Payload);
        break;
    case TValueKind::Real:
        value.Real = std::bit_cast<double>(slot.Payload);
        break;
    case TValueKind::Text:
        value.Text = TextOf(slot);
        break;
    case TValueKind::Null:
        break;
    }
    return value;
}

std::optional<std::size_t> TResultSet::Locate(std::size_t column, std::string_view value, bool caseInsensitive)
{
    auto& index = indexes_[column + (caseInsensitive ? columns_.size() : 0)];
    if (!index) {
        auto fresh = std::make_unique<TIndex>();
        fresh->Rows.reserve(rows_);
        for (std::size_t row = 0; row < rows_; ++row) {
            const TSlot& slot = Slot(row, column);
            std::string_view key;
            switch (slot.Kind) {
            case TValueKind::Null:
                continue;
            case TValueKind::Text:
                key = TextOf(slot);
                break;
            case TValueKind::Integer:
                key = fresh->Owned.emplace_back(IntegerText(static_cast<std::int64_t>(slot.Payload)));
                break;
            case TValueKind::Real:
                key = fresh->Owned.emplace_back(RealText(std::bit_cast<double>(slot.Payload)));
                break;
            }
            if (caseInsensitive) key = fresh->Owned.emplace_back(AsciiLower(key));
            fresh->Rows.try_emplace(key, row); // the first row wins
        }
        index = std::move(fresh);
    }
    const std::string folded = caseInsensitive ? AsciiLower(value) : std::string();
    const auto it = index->Rows.find(caseInsensitive ? std::string_view(folded) : value);
    if (it == index->Rows.end()) return std::nullopt;
    return it->second;
}
