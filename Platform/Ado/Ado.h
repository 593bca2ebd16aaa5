// The database connection, query and compaction that the plug-ins use on the
// logger's files, over SQLite. Statements are written in the Jet dialect and
// translated by Platform/JetSql. Provider errors are EOleException; misuse of
// a query (closed query, unknown field) is EDatabaseError.
#pragma once

#include "Platform/Ado/ResultSet.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/SysUtils/SysUtils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The result code of a statement the database refused (errors in command).
inline constexpr HRESULT DB_E_ERRORSINCOMMAND = kSqliteStatementError;

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

// The Data Source value of a connection string ("Provider=...;Data Source=PATH;"),
// or the text itself when it names no Data Source (a plain path).
std::string ConnectionStringDataSource(std::string_view connectionString);

// Prepares one Jet-dialect statement on db. Statements with parameter markers
// are refused: every statement is a complete text.
TSqliteStatement PrepareJetStatement(TSqliteDatabase& db, std::string_view jet);
// Runs one Jet-dialect statement; answers the rows it inserted, changed or
// deleted (the rows copied, for SELECT ... INTO).
std::int64_t ExecuteJetStatement(TSqliteDatabase& db, std::string_view jet);

enum TConnectMode {
    cmUnknown,
    cmRead,
    cmWrite,
    cmReadWrite,
    cmShareDenyRead,
    cmShareDenyWrite,
    cmShareExclusive,
    cmShareDenyNone
};

// How TADOQuery::Locate compares.
struct TLocateOptions {
    bool CaseInsensitive = false; // ASCII letters, as SQLite's NOCASE
};

class TADOQuery;

class TADOConnection {
public:
    TADOConnection() = default;
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    // "Provider=...;Data Source=PATH;" (the provider is not looked at).
    std::string ConnectionString;
    // Accepted for compatibility; sharing is SQLite's locking.
    TConnectMode Mode = cmUnknown;
    bool LoginPrompt = true;
    // A file from outside: defensive settings and an integrity check on open.
    bool Untrusted = false;
    bool ReadOnly = false;
    // How long a statement waits for another program's write lock.
    int BusyTimeoutMs = 5000;

    // Opens the file named by ConnectionString. A missing file or one that is
    // neither a SQLite nor an Access database is refused with a message
    // naming it. An Access database is read-only: its tables are copied
    // into a private temporary SQLite database when the connection opens.
    void Open();
    // Opens path with explicit options (the host's own database: created
    // when missing, WAL); ConnectionString is set to name it.
    void Open(const std::string& path, const TSqliteOptions& options);
    void Close() noexcept;
    bool Connected() const noexcept { return db_.IsOpen(); }
    void SetConnected(bool value);
    const std::string& DataSource() const noexcept { return accessPath_.empty() ? db_.Path() : accessPath_; }
    // True while the open database is an Access file (read, never written).
    bool IsAccess() const noexcept { return !accessPath_.empty(); }

    // Runs one Jet-dialect statement; answers the rows affected. A statement
    // that would write into an Access database is refused. The first
    // statement switches the file to write-ahead logging for the rest of the
    // connection (one statement per record stays cheap); Close switches it
    // back, so the file is whole on its own afterwards.
    std::int64_t Execute(std::string_view jet);
    // Runs a script of statements in the database's own dialect, as it is
    // (schema scripts).
    void ExecuteScript(std::string_view sql);
    // Transactions. BeginWriteTrans takes the write lock at once, so it fails
    // now when another program is writing.
    void BeginTrans();
    void BeginWriteTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const noexcept { return db_.InTransaction(); }
    // "table", "view", "index" or "trigger" for a schema object of that name
    // (regardless of case); empty when there is none.
    std::string ObjectType(std::string_view name);
    // Whether table has columns computed on reading (generated columns).
    bool HasComputedColumns(std::string_view table);
    // The open database; EDatabaseError when closed.
    TSqliteDatabase& Database();

private:
    friend class TADOQuery;
    void Attach(TADOQuery* query);
    void Detach(TADOQuery* query) noexcept;
    void TuneForWrites() noexcept;
    void OpenAccess(const std::string& path);

    TSqliteDatabase db_;
    std::string accessPath_;
    bool tuned_ = false;
    bool walSwitched_ = false;
    std::vector<TADOQuery*> queries_;
};

// One field (column) of an open query, read at the query's current row.
// A NULL reads as empty text, 0, false.
class TField {
public:
    const std::string& FieldName() const noexcept { return name_; }
    bool IsNull() const;
    std::string AsString() const;
    int AsInteger() const;
    std::int64_t AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    // Canonical date text, or a number of days.
    TDateTime AsDateTime() const;

private:
    friend class TADOQuery;
    TField(const TADOQuery* query, int index, std::string name) : query_(query), index_(index), name_(std::move(name))
    {
    }
    const TADOQuery* query_;
    int index_;
    std::string name_;
};

// The statement text of a query, set whole or line by line.
class TSQLText {
public:
    void Clear() { text_.clear(); }
    void Add(std::string_view line)
    {
        if (!text_.empty()) text_ += '\n';
        text_ += line;
    }
    const std::string& Text() const noexcept { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }

private:
    std::string text_;
};

class TADOQuery {
public:
    explicit TADOQuery(TADOConnection* connection = nullptr);
    ~TADOQuery();
    TADOQuery(const TADOQuery&) = delete;
    TADOQuery& operator=(const TADOQuery&) = delete;

    TADOConnection* Connection() const noexcept { return connection_; }
    void SetConnection(TADOConnection* connection);

    TSQLText SQL;
    // Accepted for compatibility: statements never carry parameters and
    // numbers always arrive as floating point.
    bool ParamCheck = true;
    bool EnableBCD = true;

    // Runs the statement and holds its whole result.
    void Open();
    // Opens path with explicit options (the host's own database: created
    // when missing, WAL); ConnectionString is set to name it.
    void Open(const std::string& path, const TSqliteOptions& options);
    void Close() noexcept;
    bool Active() const noexcept { return active_; }
    // Runs the open statement again; the position returns to the first row.
    void Requery();
    // Runs a statement that returns no rows; answers the rows affected.
    std::int64_t ExecSQL();

    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    // 1-based number of the current row, 0 when there is none.
    int RecNo() const;
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;

    int FieldCount() const;
    TField& Fields(int index);
    TField& FieldByName(std::string_view name);
    TField* FindField(std::string_view name);

    // Moves to the first row whose field's value, as text, equals value
    // exactly (or without regard to ASCII letter case, as a NOCASE key
    // compares); NULL never matches. An index of the column is built on the
    // first search, so later searches do not scan.
    bool Locate(std::string_view field, std::string_view value, TLocateOptions options = {});

private:
    friend class TField;
    friend class TADOConnection;
    struct TData;
    void CheckActive() const;
    // The current row's cell; NULL when there is no row.
    TValueView CurrentCell(int column) const;

    TADOConnection* connection_ = nullptr;
    bool active_ = false;
    std::unique_ptr<TData> data_;
};

// Writes a compacted copy of the database source to dest (both a path or a
// connection string). dest must not exist; it appears only when complete.
void CompactDatabase(const std::string& source, const std::string& dest);
