#include "Platform/Ado/Access.h"

#include "Platform/DateTime/DateTime.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const char* const kSource = "Access";

[[noreturn]] void Fail(const std::string& path, const std::string& why)
{
    throw EOleException("File '" + path + "' cannot be read as an Access database (" + why + ")", kSqliteOpenError,
                        kSource);
}

struct TMdbClose {
    void operator()(MdbHandle* mdb) const noexcept { mdb_close(mdb); }
};
struct TTableFree {
    void operator()(MdbTableDef* table) const noexcept { mdb_free_tabledef(table); }
};
struct TGFree {
    void operator()(void* p) const noexcept { g_free(p); }
};
struct TFree {
    void operator()(void* p) const noexcept { std::free(p); }
};

std::uint32_t Le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

template <typename T> T ReadLe(const unsigned char* p)
{
    T value;
    std::memcpy(&value, p, sizeof value); // the file is little-endian, as is this platform
    return value;
}

std::string QuoteName(const char* name)
{
    std::string quoted = "\"";
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c == '"') quoted += '"';
        quoted += *c;
    }
    return quoted + '"';
}

const char* ColumnType(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return "INTEGER";
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return "REAL";
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
        return "TEXT COLLATE NOCASE";
    case MDB_DATETIME:
        return "TEXT";
    default:
        return "BLOB";
    }
}

class TTableCopy {
public:
    TTableCopy(MdbHandle* mdb, MdbTableDef* table, TSqliteDatabase& db) : mdb_(mdb), table_(table), db_(db)
    {
        std::string create = "CREATE TABLE " + QuoteName(table->name) + " (";
        std::string insert = "INSERT INTO " + QuoteName(table->name) + " VALUES (";
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            columns_.push_back(col);
            if (i > 0) {
                create += ", ";
                insert += ", ";
            }
            create += QuoteName(col->name) + " " + ColumnType(col->col_type);
            insert += "?" + std::to_string(i + 1);
            if (col->col_type == MDB_OLE) {
                // libmdb reads OLE data through the column's bound buffer,
                // one chunk of at most this size at a time.
                oleBuffers_.emplace_back(std::make_unique<char[]>(kOleChunk));
                mdb_bind_column(table, static_cast<int>(i + 1), oleBuffers_.back().get(), nullptr);
            }
        }
        db_.Exec(create + ")");
        insert_ = TSqliteStatement(db_, insert + ")");
    }

    std::int64_t Copy()
    {
        std::int64_t rows = 0;
        mdb_rewind_table(table_);
        while (mdb_fetch_row(table_)) {
            for (std::size_t i = 0; i < columns_.size(); ++i)
                BindValue(static_cast<int>(i + 1), columns_[i]);
            insert_.Step();
            insert_.Reset();
            ++rows;
        }
        return rows;
    }

private:
    static constexpr std::size_t kOleChunk = MDB_BIND_SIZE * 64;

    void BindValue(int index, MdbColumn* col)
    {
        const unsigned char* value = mdb_->pg_buf + col->cur_value_start;
        const int length = col->cur_value_len;
        // A Yes/No value lives in the row's null mask: set means No.
        if (col->col_type == MDB_BOOL) return insert_.BindInt64(index, length == 0 ? 1 : 0);
        if (length <= 0) return insert_.BindNull(index);
        const auto fits = [&](int size) {
            return length >= size && col->cur_value_start + size <= static_cast<int>(sizeof mdb_->pg_buf);
        };
        switch (col->col_type) {
        case MDB_BYTE:
            return insert_.BindInt64(index, value[0]);
        case MDB_INT:
            if (!fits(2)) break;
            return insert_.BindInt64(index, ReadLe<std::int16_t>(value));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            if (!fits(4)) break;
            return insert_.BindInt64(index, ReadLe<std::int32_t>(value));
        case MDB_FLOAT:
            if (!fits(4)) break;
            return insert_.BindDouble(index, ReadLe<float>(value));
        case MDB_DOUBLE:
            if (!fits(8)) break;
            return insert_.BindDouble(index, ReadLe<double>(value));
        case MDB_MONEY:
            // Currency: a 64-bit count of ten-thousandths.
            if (!fits(8)) break;
            return insert_.BindDouble(index, static_cast<double>(ReadLe<std::int64_t>(value)) / 10000.0);
        case MDB_DATETIME: {
            if (!fits(8)) break;
            const double stored = ReadLe<double>(value);
            if (const auto value = AccessDateToDateTime(stored))
                return insert_.BindText(index, DateTimeToCanonical(*value));
            return insert_.BindDouble(index, stored);
        }
        case MDB_NUMERIC: {
            std::unique_ptr<char, TGFree> text(
                mdb_numeric_to_string(mdb_, col->cur_value_start, col->col_scale, col->col_prec));
            if (!text) break;
            char* end = nullptr;
            const double number = std::strtod(text.get(), &end);
            if (end != text.get() && *end == '\0') return insert_.BindDouble(index, number);
            return insert_.BindText(index, text.get());
        }
        case MDB_TEXT:
        case MDB_MEMO:
        case MDB_REPID:
            return BindText(index, col, length);
        case MDB_OLE:
            return BindOle(index, col);
        default:
            if (!fits(length)) break;
            return BindBlob(index, value, static_cast<std::size_t>(length));
        }
        insert_.BindNull(index);
    }

    void BindText(int index, MdbColumn* col, int length)
    {
        // libmdb converts into a buffer of the handle's bind size: make room
        // for the whole memo (at most three UTF-8 bytes per stored byte).
        std::size_t room = MDB_BIND_SIZE;
        if (col->col_type == MDB_MEMO && length >= MDB_MEMO_OVERHEAD)
            room = std::max<std::size_t>(
                room, 3 * static_cast<std::size_t>(Le32(mdb_->pg_buf + col->cur_value_start) & 0x00FFFFFFu) + 16);
        mdb_set_bind_size(mdb_, room);
        std::unique_ptr<char, TGFree> text(
            mdb_col_to_string(mdb_, mdb_->pg_buf, col->cur_value_start, col->col_type, length));
        mdb_set_bind_size(mdb_, MDB_BIND_SIZE);
        if (!text || *text == '\0') return insert_.BindNull(index);
        insert_.BindText(index, text.get());
    }

    void BindOle(int index, MdbColumn* col)
    {
        std::size_t size = 0;
        std::unique_ptr<void, TFree> data(mdb_ole_read_full(mdb_, col, &size));
        if (!data) return insert_.BindNull(index);
        BindBlob(index, data.get(), size);
    }

    void BindBlob(int index, const void* data, std::size_t size)
    {
        const int rc = sqlite3_bind_blob64(insert_.Handle(), index, data, size, SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) db_.Raise(rc);
    }

    MdbHandle* mdb_;
    MdbTableDef* table_;
    TSqliteDatabase& db_;
    std::vector<MdbColumn*> columns_;
    std::vector<std::unique_ptr<char[]>> oleBuffers_;
    TSqliteStatement insert_;
};

bool IsSqliteInternalName(const char* name)
{
    return g_ascii_strncasecmp(name, "sqlite_", 7) == 0;
}

} // namespace

std::optional<TDateTime> AccessDateToDateTime(double stored)
{
    if (!std::isfinite(stored) || stored < -657434.0 || stored >= 2958466.0) return std::nullopt;
    const double days = std::trunc(stored);
    return days + std::fabs(stored - days);
}

bool IsAccessFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char header[19] = {};
    const ssize_t n = ::pread(fd, header, sizeof header, 0);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof header) &&
           (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 || std::memcmp(header + 4, "Standard ACE DB", 15) == 0);
}

TAccessLoadStats LoadAccessDatabase(const std::string& path, TSqliteDatabase& db,
                                    const std::function<bool(const std::string& table)>& wanted)
{
    if (!IsAccessFile(path)) Fail(path, "it is not an Access database");
    std::unique_ptr<MdbHandle, TMdbClose> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb) Fail(path, "the file cannot be opened or its header is damaged");
    if (mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr) Fail(path, "its catalog cannot be read");

    TAccessLoadStats stats;
    db.Exec("BEGIN");
    try {
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
            if (IsSqliteInternalName(entry->object_name)) continue;
            if (wanted && !wanted(entry->object_name)) continue;
            std::unique_ptr<MdbTableDef, TTableFree> table(mdb_read_table(entry));
            if (!table) Fail(path, std::string("table '") + entry->object_name + "' cannot be read");
            if (mdb_read_columns(table.get()) == nullptr)
                Fail(path, std::string("the columns of table '") + entry->object_name + "' cannot be read");
            TTableCopy copy(mdb.get(), table.get(), db);
            stats.Rows += copy.Copy();
            ++stats.Tables;
        }
        db.Exec("COMMIT");
    } catch (...) {
        try {
            db.Exec("ROLLBACK");
        } catch (const Exception&) {
            // The transaction is gone already.
        }
        throw;
    }
    return stats;
}
