#include "Platform/Ado/Ado.h"

#include "Platform/Ado/Access.h"
#include "Platform/Files/Files.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/SysUtils/AsciiCase.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <sys/stat.h>

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

bool ParseInt64(std::string_view s, std::int64_t& value)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double& value)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

[[noreturn]] void ClosedDataset()
{
    throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

} // namespace

// --- free functions ---

std::string ConnectionStringDataSource(std::string_view connectionString)
{
    std::size_t pos = 0;
    while (pos < connectionString.size()) {
        std::size_t eq = connectionString.find('=', pos);
        std::size_t semi = connectionString.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            if (semi == std::string_view::npos) break;
            pos = semi + 1;
            continue;
        }
        const std::string_view key = Trim(connectionString.substr(pos, eq - pos));
        std::size_t v = eq + 1;
        while (v < connectionString.size() && connectionString[v] == ' ')
            ++v;
        std::string value;
        std::size_t next;
        if (v < connectionString.size() && (connectionString[v] == '"' || connectionString[v] == '\'')) {
            const char quote = connectionString[v];
            std::size_t k = v + 1;
            while (k < connectionString.size()) {
                if (connectionString[k] == quote) {
                    if (k + 1 < connectionString.size() && connectionString[k + 1] == quote) {
                        value += quote;
                        k += 2;
                        continue;
                    }
                    break;
                }
                value += connectionString[k++];
            }
            next = connectionString.find(';', k);
        } else {
            next = connectionString.find(';', v);
            value = std::string(
                Trim(connectionString.substr(v, next == std::string_view::npos ? std::string_view::npos : next - v)));
        }
        if (SameTextAscii(key, "Data Source")) return value;
        if (next == std::string_view::npos) break;
        pos = next + 1;
    }
    // No Data Source: a plain path.
    if (connectionString.find(';') == std::string_view::npos && connectionString.find('=') == std::string_view::npos)
        return std::string(connectionString);
    return {};
}

TSqliteStatement PrepareJetStatement(TSqliteDatabase& db, std::string_view jet)
{
    TSqliteStatement statement(db, JetToSqlite(jet));
    if (statement.ParameterCount() != 0)
        throw EOleException("No value given for one or more required parameters", kSqliteStatementError, "SQLite");
    return statement;
}

std::int64_t ExecuteJetStatement(TSqliteDatabase& db, std::string_view jet)
{
    const TJetTranslation translation = TranslateJet(jet);
    TSqliteStatement statement(db, translation.Sql);
    if (statement.ParameterCount() != 0)
        throw EOleException("No value given for one or more required parameters", kSqliteStatementError, "SQLite");
    const std::int64_t before = db.TotalChanges();
    while (statement.Step()) {
    }
    if (!translation.MakeTable.empty()) {
        TSqliteStatement count(db, "SELECT count(*) FROM " + translation.MakeTable);
        return count.Step() ? count.ColumnInt64(0) : 0;
    }
    // changes() keeps the count of the last INSERT, UPDATE or DELETE, so it
    // is only looked at when this statement changed rows.
    return db.TotalChanges() == before ? 0 : db.Changes();
}

// --- TADOConnection ---

TADOConnection::~TADOConnection()
{
    for (TADOQuery* query : queries_)
        query->connection_ = nullptr;
    Close();
}

void TADOConnection::Open()
{
    if (Connected()) return;
    const std::string path = ConnectionStringDataSource(ConnectionString);
    if (path.empty())
        throw EOleException("The connection string names no database file (Data Source=...)", kSqliteOpenError,
                            "SQLite");
    TSqliteOptions options;
    options.ReadOnly = ReadOnly;
    options.Create = false;
    options.BusyTimeoutMs = BusyTimeoutMs;
    options.Untrusted = Untrusted;
    Open(path, options);
}

void TADOConnection::Open(const std::string& path, const TSqliteOptions& options)
{
    Close();
    if (IsAccessFile(path)) return OpenAccess(path);
    db_.Open(path, options);
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    ConnectionString = "Data Source=" + quoted + "\";";
    // A database already in WAL mode needs no switching.
    tuned_ = options.Wal;
    walSwitched_ = false;
}

void TADOConnection::OpenAccess(const std::string& path)
{
    // A private temporary database, removed when closed; it holds a copy
    // that nobody else sees, so it needs no journal.
    TSqliteOptions options;
    options.Create = true;
    options.Pragmas = {"PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF", "PRAGMA cache_size=-32768"};
    db_.Open("", options);
    try {
        LoadAccessDatabase(path, db_);
        db_.Exec("PRAGMA query_only=1");
    } catch (...) {
        db_.Close();
        throw;
    }
    accessPath_ = path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    ConnectionString = "Data Source=" + quoted + "\";";
    tuned_ = true;
    walSwitched_ = false;
}

void TADOConnection::Close() noexcept
{
    if (walSwitched_ && db_.IsOpen()) {
        try {
            db_.Exec("PRAGMA journal_mode=DELETE");
        } catch (const Exception&) {
            // Another program has the file open: it stays in WAL mode.
        }
    }
    walSwitched_ = false;
    tuned_ = false;
    accessPath_.clear();
    db_.Close();
}

void TADOConnection::TuneForWrites() noexcept
{
    tuned_ = true;
    if (ReadOnly) return;
    try {
        std::string mode;
        {
            TSqliteStatement pragma(db_, "PRAGMA journal_mode");
            if (pragma.Step()) mode = pragma.ColumnText(0);
        }
        if (!SameTextAscii(mode, "wal")) {
            TSqliteStatement pragma(db_, "PRAGMA journal_mode=WAL");
            if (pragma.Step() && SameTextAscii(pragma.ColumnText(0), "wal"))
                walSwitched_ = true;
            else
                return;
        }
        db_.Exec("PRAGMA synchronous=NORMAL");
    } catch (const Exception&) {
        // Busy or not possible here: statements run in the file's own mode.
    }
}

void TADOConnection::SetConnected(bool value)
{
    if (value)
        Open();
    else
        Close();
}

TSqliteDatabase& TADOConnection::Database()
{
    if (!db_.IsOpen()) throw EDatabaseError("The connection is not open");
    return db_;
}

std::int64_t TADOConnection::Execute(std::string_view jet)
{
    TSqliteDatabase& db = Database();
    if (IsAccess() && !PrepareJetStatement(db, jet).ReadOnly())
        throw EOleException("Cannot write into '" + accessPath_ +
                                "': it is an Access database, which is read here, never written",
                            kSqliteStatementError, "Access");
    if (!tuned_) TuneForWrites();
    return ExecuteJetStatement(db, jet);
}

void TADOConnection::ExecuteScript(std::string_view sql)
{
    Database().Exec(sql);
}

void TADOConnection::BeginTrans()
{
    Database().BeginTransaction();
}

void TADOConnection::BeginWriteTrans()
{
    Database().Exec("BEGIN IMMEDIATE");
}

void TADOConnection::CommitTrans()
{
    Database().Commit();
}

void TADOConnection::RollbackTrans()
{
    Database().Rollback();
}

std::string TADOConnection::ObjectType(std::string_view name)
{
    TSqliteStatement kind(Database(), "SELECT type FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE");
    kind.BindText(1, name);
    return kind.Step() ? std::string(kind.ColumnText(0)) : std::string();
}

bool TADOConnection::HasComputedColumns(std::string_view table)
{
    TSqliteStatement columns(Database(), "SELECT count(*) FROM pragma_table_xinfo(?1) WHERE hidden <> 0");
    columns.BindText(1, table);
    return columns.Step() && columns.ColumnInt64(0) != 0;
}

void TADOConnection::Attach(TADOQuery* query)
{
    queries_.push_back(query);
}

void TADOConnection::Detach(TADOQuery* query) noexcept
{
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

// --- TADOQuery storage ---

struct TADOQuery::TData {
    std::vector<TField> Fields;
    TResultSet Result;
    int Rows = 0;
    int Row = 0;
    bool Eof = true;
    bool Bof = true;
};

TADOQuery::TADOQuery(TADOConnection* connection)
{
    SetConnection(connection);
}

TADOQuery::~TADOQuery()
{
    if (connection_ != nullptr) connection_->Detach(this);
}

void TADOQuery::SetConnection(TADOConnection* connection)
{
    if (connection == connection_) return;
    if (connection_ != nullptr) connection_->Detach(this);
    connection_ = connection;
    if (connection_ != nullptr) connection_->Attach(this);
}

void TADOQuery::CheckActive() const
{
    if (!active_) ClosedDataset();
}

void TADOQuery::Open()
{
    if (active_) return;
    if (connection_ == nullptr) throw EDatabaseError("Missing Connection or ConnectionString");
    TSqliteStatement statement = PrepareJetStatement(connection_->Database(), SQL.Text());
    const int columns = statement.ColumnCount();
    if (columns == 0)
        throw EOleException("The statement does not return a result set", kSqliteStatementError, "SQLite");

    auto data = std::make_unique<TData>();
    data->Result.Fetch(statement, INT_MAX);
    data->Fields.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i)
        data->Fields.push_back(TField(this, i, data->Result.ColumnName(static_cast<std::size_t>(i))));
    data->Rows = static_cast<int>(data->Result.RowCount());
    data->Row = 0;
    data->Bof = true;
    data->Eof = data->Rows == 0;
    data_ = std::move(data);
    active_ = true;
}

void TADOQuery::Close() noexcept
{
    active_ = false;
    data_.reset();
}

void TADOQuery::Requery()
{
    Close();
    Open();
}

std::int64_t TADOQuery::ExecSQL()
{
    if (connection_ == nullptr) throw EDatabaseError("Missing Connection or ConnectionString");
    return connection_->Execute(SQL.Text());
}

int TADOQuery::RecordCount() const
{
    CheckActive();
    return data_->Rows;
}

int TADOQuery::RecNo() const
{
    CheckActive();
    return data_->Rows == 0 ? 0 : data_->Row + 1;
}

void TADOQuery::First()
{
    CheckActive();
    data_->Row = 0;
    data_->Bof = true;
    data_->Eof = data_->Rows == 0;
}

void TADOQuery::Last()
{
    CheckActive();
    data_->Row = data_->Rows == 0 ? 0 : data_->Rows - 1;
    data_->Eof = true;
    data_->Bof = data_->Rows == 0;
}

void TADOQuery::Next()
{
    CheckActive();
    if (data_->Eof) return;
    if (data_->Row + 1 < data_->Rows) {
        ++data_->Row;
        data_->Bof = false;
    } else {
        data_->Eof = true;
    }
}

void TADOQuery::Prior()
{
    CheckActive();
    if (data_->Bof) return;
    if (data_->Row > 0) {
        --data_->Row;
        data_->Eof = false;
    } else {
        data_->Bof = true;
    }
}

bool TADOQuery::Eof() const
{
    CheckActive();
    return data_->Eof;
}

bool TADOQuery::Bof() const
{
    CheckActive();
    return data_->Bof;
}

int TADOQuery::FieldCount() const
{
    return active_ ? static_cast<int>(data_->Fields.size()) : 0;
}

TField& TADOQuery::Fields(int index)
{
    CheckActive();
    if (index < 0 || index >= static_cast<int>(data_->Fields.size()))
        throw EDatabaseError("Field index " + TResultSet::IntegerText(index) + " out of range");
    return data_->Fields[static_cast<std::size_t>(index)];
}

TField* TADOQuery::FindField(std::string_view name)
{
    CheckActive();
    const auto column = data_->Result.FindColumn(name);
    return column ? &data_->Fields[*column] : nullptr;
}

TField& TADOQuery::FieldByName(std::string_view name)
{
    TField* field = FindField(name);
    if (field == nullptr) throw EDatabaseError("Field '" + std::string(name) + "' not found");
    return *field;
}

TValueView TADOQuery::CurrentCell(int column) const
{
    CheckActive();
    if (data_->Rows == 0) return {};
    return data_->Result.Cell(static_cast<std::size_t>(data_->Row), static_cast<std::size_t>(column));
}

bool TADOQuery::Locate(std::string_view field, std::string_view value, TLocateOptions options)
{
    const int column = FieldByName(field).index_;
    const auto row = data_->Result.Locate(static_cast<std::size_t>(column), value, options.CaseInsensitive);
    if (!row) return false;
    data_->Row = static_cast<int>(*row);
    data_->Eof = false;
    data_->Bof = false;
    return true;
}

// --- TField ---

bool TField::IsNull() const
{
    const TValueView cell = query_->CurrentCell(index_);
    return cell.Kind == TValueKind::Null;
}

std::string TField::AsString() const
{
    const TValueView cell = query_->CurrentCell(index_);
    switch (cell.Kind) {
    case TValueKind::Integer:
        return TResultSet::IntegerText(cell.Int);
    case TValueKind::Real:
        return TResultSet::RealText(cell.Real);
    case TValueKind::Text:
        return std::string(cell.Text);
    default:
        return {};
    }
}

std::int64_t TField::AsLargeInt() const
{
    const TValueView cell = query_->CurrentCell(index_);
    switch (cell.Kind) {
    case TValueKind::Integer:
        return cell.Int;
    case TValueKind::Real: {
        const double v = cell.Real;
        if (!std::isfinite(v) || v >= 9.2e18 || v <= -9.2e18)
            throw EConvertError("'" + TResultSet::RealText(v) + "' is not a valid integer value");
        return std::llround(v);
    }
    case TValueKind::Text: {
        std::int64_t v = 0;
        const std::string_view text = cell.Text;
        if (!ParseInt64(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
        return v;
    }
    default:
        return 0;
    }
}

int TField::AsInteger() const
{
    const std::int64_t v = AsLargeInt();
    if (v < INT_MIN || v > INT_MAX)
        throw EConvertError("'" + TResultSet::IntegerText(v) + "' is out of range for an integer field");
    return static_cast<int>(v);
}

double TField::AsFloat() const
{
    const TValueView cell = query_->CurrentCell(index_);
    switch (cell.Kind) {
    case TValueKind::Integer:
        return static_cast<double>(cell.Int);
    case TValueKind::Real:
        return cell.Real;
    case TValueKind::Text: {
        double v = 0;
        const std::string_view text = cell.Text;
        if (!ParseDouble(text, v))
            throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
        return v;
    }
    default:
        return 0;
    }
}

bool TField::AsBoolean() const
{
    const TValueView cell = query_->CurrentCell(index_);
    switch (cell.Kind) {
    case TValueKind::Integer:
        return cell.Int != 0;
    case TValueKind::Real:
        return cell.Real != 0.0;
    case TValueKind::Text: {
        const std::string_view text = Trim(cell.Text);
        if (SameTextAscii(text, "TRUE") || SameTextAscii(text, "YES")) return true;
        if (SameTextAscii(text, "FALSE") || SameTextAscii(text, "NO")) return false;
        double v = 0;
        if (ParseDouble(text, v)) return v != 0.0;
        throw EConvertError("'" + std::string(text) + "' is not a valid boolean value");
    }
    default:
        return false;
    }
}

TDateTime TField::AsDateTime() const
{
    const TValueView cell = query_->CurrentCell(index_);
    switch (cell.Kind) {
    case TValueKind::Integer:
        return static_cast<double>(cell.Int);
    case TValueKind::Real:
        return cell.Real;
    case TValueKind::Text: {
        const std::string_view text = cell.Text;
        if (auto value = CanonicalToDateTime(Trim(text))) return *value;
        throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
    }
    default:
        return 0;
    }
}

// --- compaction ---

void CompactDatabase(const std::string& source, const std::string& dest)
{
    const std::string sourcePath = ConnectionStringDataSource(source);
    const std::string destPath = ConnectionStringDataSource(dest);
    if (sourcePath.empty() || destPath.empty())
        throw EOleException("Cannot compact: no database file named", kSqliteOpenError, "SQLite");
    struct stat st {};
    if (::lstat(destPath.c_str(), &st) == 0 && !(S_ISREG(st.st_mode) && st.st_size == 0))
        throw EOleException("Cannot compact '" + sourcePath + "' into '" + destPath +
                                "': the destination file already exists",
                            kSqliteOpenError, "SQLite");

    TSqliteOptions options;
    options.ReadOnly = true;
    TSqliteDatabase db(sourcePath, options);
    // Written beside the destination and renamed into place when complete.
    TTempFile temp(ExtractFilePath(destPath), "~cp");
    {
        TSqliteStatement vacuum(db, "VACUUM INTO ?1");
        vacuum.BindText(1, temp.Path());
        vacuum.Step();
    }
    db.Close();
    RenameFileOrThrow(temp.Path(), destPath);
    temp.Release();
}
