// Query handles of the host database: each holds its whole result so that
// counting, rewinding, locating and requerying are cheap.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

    std::int32_t RecordCount() const { return static_cast<std::int32_t>(rowCount_); }
    void First() { pos_ = 0; }
    void Next()
    {
        if (pos_ < rowCount_) ++pos_;
    }
    bool Eof() const { return pos_ >= rowCount_; }
    // Stands on the first row whose field equals value; hashed per column.
    bool Locate(const std::string& field, const std::string& value);
    // The current row's cell; throws for an unknown field or no current row.
    TCell Field(const std::string& field) const;

private:
    // One stored cell: 16 bytes. Cells and texts are kept in fixed-size
    // blocks, so that a large result (a whole callbook) stays small in memory
    // and growing it never copies what was read.
    struct TSlot {
        std::uint64_t Payload = 0; // integer bits, real bits, or text block and offset
        std::uint32_t Length = 0;  // bytes of text
        TCell::TKind Kind = TCell::TKind::Null;
    };
    static constexpr std::size_t SlotBlockBits = 12; // 4096 cells a block
    static constexpr std::size_t TextBlockSize = std::size_t{1} << 20;
    struct TStore {
        std::vector<std::unique_ptr<TSlot[]>> Cells; // row after row
        std::size_t CellCount = 0;
        std::vector<std::string> Text; // blocks of texts; a text never spans two
        std::size_t Rows = 0;
        TSlot& Add();
        void AddText(TSlot& slot, const char* text, std::size_t bytes);
        const TSlot& At(std::size_t index) const
        {
            return Cells[index >> SlotBlockBits][index & ((std::size_t{1} << SlotBlockBits) - 1)];
        }
        std::string_view TextOf(const TSlot& slot) const
        {
            return std::string_view(Text[slot.Payload >> 32]).substr(slot.Payload & 0xFFFFFFFFu, slot.Length);
        }
    };
    // A column's values, for Locate: views into the text buffer, or owned
    // text for numbers.
    struct TLocateIndex {
        std::unordered_map<std::string_view, std::size_t> Rows;
        std::vector<std::unique_ptr<std::string>> Owned;
    };

    std::size_t ColumnIndex(const std::string& field) const;
    const TSlot& Slot(std::size_t row, std::size_t column) const { return store_.At(row * columns_.size() + column); }
    TCell CellOf(const TSlot& slot) const;
    void Fetch(sqlite3* db);

    bool active_ = false;
    std::string sql_; // translated text
    std::vector<std::string> columns_;
    std::unordered_map<std::string, std::size_t> columnIndex_; // upper-case names
    TStore store_;
    std::size_t rowCount_ = 0;
    std::size_t pos_ = 0;
    std::map<std::size_t, TLocateIndex> locateIndex_;
};

// Upper-case ASCII copy (column names match without regard to case).
std::string UpperAscii(std::string text);
