// A small RAII layer over SQLite: one database connection, one prepared
// statement. Errors are EOleException carrying SQLite's message; messages about
// the file name the file.
#pragma once

#include "Platform/OleAuto/OleAuto.h"
#include "Platform/SysUtils/SysUtils.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Result codes carried by the exceptions of this layer.
constexpr HRESULT kSqliteOpenError = E_FAIL;
constexpr HRESULT kSqliteStatementError = static_cast<HRESULT>(0x80040E14u); // errors in command

struct TSqliteOptions {
    bool ReadOnly = false;
    // Create the file when it does not exist (never for files handed in from
    // outside: a missing file is then an error).
    bool Create = false;
    // How long a statement waits for another connection's write lock.
    int BusyTimeoutMs = 5000;
    // Write-ahead log with synchronous=NORMAL: cheap autocommit statements.
    bool Wal = false;
    // A file from outside (a downloaded package): defensive settings and an
    // integrity check before first use.
    bool Untrusted = false;
    // Further "PRAGMA ..." statements run after opening.
    std::vector<std::string> Pragmas;
    // Every error of a statement carries SQLite's own message and E_FAIL, as
    // the host reports them to plug-ins.
    bool PlainErrors = false;
};

// Refuses anything that is not a SQLite database file before SQLite reads it:
// a missing file, a folder, an empty or truncated file, an Access file, text.
// Throws EOleException naming the file and saying what it is not.
void CheckSqliteFile(const std::string& path);

class TSqliteDatabase {
public:
    TSqliteDatabase() = default;
    TSqliteDatabase(const std::string& path, const TSqliteOptions& options);
    ~TSqliteDatabase();
    TSqliteDatabase(TSqliteDatabase&& other) noexcept;
    TSqliteDatabase& operator=(TSqliteDatabase&& other) noexcept;
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    void Open(const std::string& path, const TSqliteOptions& options);
    void Close() noexcept;
    bool IsOpen() const noexcept { return db_ != nullptr; }
    sqlite3* Handle() const noexcept { return db_; }
    const std::string& Path() const noexcept { return path_; }

    // Runs one or more statements that return no rows.
    void Exec(std::string_view sql);
    std::int64_t Changes() const noexcept;
    std::int64_t TotalChanges() const noexcept;
    std::int64_t LastInsertRowId() const noexcept;
    void SetBusyTimeout(int ms);
    // PRAGMA quick_check; throws when the file is damaged.
    void QuickCheck();
    // Whether the last error was a fault of the file (damaged, not a
    // database, unreadable, full) rather than of a statement.
    bool FileFault() const noexcept;
    // Begins, commits and rolls back a transaction.
    void BeginTransaction() { Exec("BEGIN"); }
    void Commit() { Exec("COMMIT"); }
    void Rollback() { Exec("ROLLBACK"); }
    bool InTransaction() const noexcept;

    // Throws the EOleException for result code rc with the connection's
    // current message.
    [[noreturn]] void Raise(int rc) const;

private:
    friend class TSqliteStatement;
    [[noreturn]] void FailStatement(std::string message) const;
    sqlite3* db_ = nullptr;
    std::string path_;
    bool plainErrors_ = false;
};

class TSqliteStatement {
public:
    enum class TTail { Refuse, Ignore };
    TSqliteStatement() = default;
    // Prepares exactly one statement; text after it other than blanks and
    // semicolons is refused (or, with TTail::Ignore, left unrun), as is an
    // empty text.
    TSqliteStatement(TSqliteDatabase& db, std::string_view sql, TTail tail = TTail::Refuse);
    ~TSqliteStatement();
    TSqliteStatement(TSqliteStatement&& other) noexcept;
    TSqliteStatement& operator=(TSqliteStatement&& other) noexcept;
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    bool IsPrepared() const noexcept { return stmt_ != nullptr; }
    // With TTail::Ignore: the text after the statement, left unrun.
    std::string_view Tail() const noexcept { return tail_; }
    sqlite3_stmt* Handle() const noexcept { return stmt_; }

    // True when a row is ready, false when the statement has finished.
    bool Step();
    void Reset();
    bool ReadOnly() const;
    int ParameterCount() const;

    void BindNull(int index);
    void BindInt64(int index, std::int64_t value);
    void BindDouble(int index, double value);
    void BindText(int index, std::string_view value);

    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int ColumnType(int column) const;
    bool ColumnIsNull(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    // Valid until the next Step, Reset or column call on this column.
    std::string_view ColumnText(int column) const;

private:
    void Check(int rc) const;
    TSqliteDatabase* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    std::string tail_;
};
