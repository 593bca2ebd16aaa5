// A statement's whole result, held in memory so that counting, moving,
// locating and rereading are cheap. Used by the ADO query and by the host's
// query handles.
#pragma once

#include "Platform/Ado/Sqlite.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

enum class TValueKind : std::uint8_t { Null, Integer, Real, Text };

// One cell as read: the text views into the result set and lives as long as it.
struct TValueView {
    TValueKind Kind = TValueKind::Null;
    std::int64_t Int = 0;
    double Real = 0;
    std::string_view Text;
};

class TResultSet {
public:
    // Steps statement to its end and holds every row; a blob is held as text.
    // On an error (from Step, or more rows than rowLimit) this result stays as
    // it was.
    void Fetch(TSqliteStatement& statement, std::size_t rowLimit = std::numeric_limits<std::size_t>::max());
    void Clear() { *this = TResultSet(); }

    std::size_t RowCount() const noexcept { return rows_; }
    std::size_t ColumnCount() const noexcept { return columns_.size(); }
    const std::string& ColumnName(std::size_t column) const { return columns_[column]; }
    // The column of that name regardless of ASCII case; the first of equal names.
    std::optional<std::size_t> FindColumn(std::string_view name) const;

    TValueView Cell(std::size_t row, std::size_t column) const;
    // The first row whose cell in column, as text, equals value exactly (or
    // regardless of ASCII case, as SQLite's NOCASE); NULL never matches. The
    // column's hash index is built on the first search of each kind.
    std::optional<std::size_t> Locate(std::size_t column, std::string_view value, bool caseInsensitive = false);

    // Numbers as text: integers in decimal, reals with 15 significant digits.
    static std::string IntegerText(std::int64_t value);
    static std::string RealText(double value);

private:
    // One stored cell: 16 bytes. Cells and texts are kept in fixed-size
    // blocks, so that a large result (a whole callbook) stays small in memory
    // and growing it never copies what was read.
    struct TSlot {
        std::uint64_t Payload = 0; // integer bits, real bits, or text block and offset
        std::uint32_t Length = 0;  // bytes of text
        TValueKind Kind = TValueKind::Null;
    };
    static_assert(sizeof(TSlot) == 16);
    static constexpr std::size_t SlotBlockBits = 12; // 4096 cells a block
    static constexpr std::size_t SlotBlockMask = (std::size_t{1} << SlotBlockBits) - 1;
    static constexpr std::size_t TextBlockSize = std::size_t{1} << 20;
    // A column's values, for Locate: views into the text blocks, or owned
    // text for numbers.
    struct TIndex {
        std::unordered_map<std::string_view, std::size_t> Rows;
        std::deque<std::string> Owned;
    };
    struct TNoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept;
    };
    struct TNoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };

    TSlot& Add();
    void AddText(TSlot& slot, std::string_view text);
    const TSlot& Slot(std::size_t row, std::size_t column) const
    {
        const std::size_t index = row * columns_.size() + column;
        return cells_[index >> SlotBlockBits][index & SlotBlockMask];
    }
    std::string_view TextOf(const TSlot& slot) const
    {
        return std::string_view(text_[slot.Payload >> 32]).substr(slot.Payload & 0xFFFFFFFFu, slot.Length);
    }

    std::vector<std::string> columns_;
    std::unordered_map<std::string, std::size_t, TNoCaseHash, TNoCaseEqual> columnIndex_;
    std::vector<std::unique_ptr<TSlot[]>> cells_; // row after row
    std::size_t cellCount_ = 0;
    std::vector<std::string> text_; // blocks of texts; a text never spans two
    std::size_t rows_ = 0;
    // Built on demand: one a column for exact searches, then one a column for
    // searches regardless of case.
    std::vector<std::unique_ptr<TIndex>> indexes_;
};
