#include "Platform/Ado/Ado.h"

#include "Platform/Ado/Access.h"
#include "Platform/Files/Files.h"
#include "Platform/JetSql/JetSql.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <deque>
#include <sys/stat.h>
#include <unordered_map>

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

struct TNoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept
    {
        std::size_t h = 1469598103934665603ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(UpperAscii(c))) * 1099511628211ull;
        return h;
    }
};

struct TNoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return EqualNoCase(a, b); }
};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
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

std::string FloatText(double value)
{
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, result.ptr);
}

std::string IntText(std::int64_t value)
{
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
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
        while (v < connectionString.size() && connectionString[v] == ' ') ++v;
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
            value = std::string(Trim(connectionString.substr(
                v, next == std::string_view::npos ? std::string_view::npos : next - v)));
        }
        if (EqualNoCase(key, "Data Source")) return value;
        if (next == std::string_view::npos) break;
        pos = next + 1;
    }
    // No Data Source: a plain path.
    if (connectionString.find(';') == std::string_view::npos &&
        connectionString.find('=') == std::string_view::npos)
        return std::string(connectionString);
    return {};
}

TSqliteStatement PrepareJetStatement(TSqliteDatabase& db, std::string_view jet)
{
    TSqliteStatement statement(db, JetToSqlite(jet));
    if (statement.ParameterCount() != 0)
        throw EOleException("No value given for one or more required parameters",
                            kSqliteStatementError, "SQLite");
    return statement;
}

std::int64_t ExecuteJetStatement(TSqliteDatabase& db, std::string_view jet)
{
    const TJetTranslation translation = TranslateJet(jet);
    TSqliteStatement statement(db, translation.Sql);
    if (statement.ParameterCount() != 0)
        throw EOleException("No value given for one or more required parameters",
                            kSqliteStatementError, "SQLite");
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
    for (TADOQuery* query : queries_) query->connection_ = nullptr;
    Close();
}

void TADOConnection::Open()
{
    if (Connected()) return;
    const std::string path = ConnectionStringDataSource(ConnectionString);
    if (path.empty())
        throw EOleException("The connection string names no database file (Data Source=...)",
                            kSqliteOpenError, "SQLite");
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
        if (!EqualNoCase(mode, "wal")) {
            TSqliteStatement pragma(db_, "PRAGMA journal_mode=WAL");
            if (pragma.Step() && EqualNoCase(pragma.ColumnText(0), "wal")) walSwitched_ = true;
            else return;
        }
        db_.Exec("PRAGMA synchronous=NORMAL");
    } catch (const Exception&) {
        // Busy or not possible here: statements run in the file's own mode.
    }
}

void TADOConnection::SetConnected(bool value)
{
    if (value) Open();
    else Close();
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

void TADOConnection::Attach(TADOQuery* query) { queries_.push_back(query); }

void TADOConnection::Detach(TADOQuery* query) noexcept
{
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

// --- TADOQuery storage ---

struct TADOQuery::TCell {
    std::uint64_t Payload = 0; // int64 bits, double bits or offset of the text
    std::uint32_t Length = 0;
    std::uint8_t Type = SQLITE_NULL;
};

struct TADOQuery::TIndex {
    std::unordered_map<std::string_view, int> Rows;
    std::deque<std::string> Owned; // text of non-text cells
};

struct TADOQuery::TData {
    std::vector<TField> Fields;
    std::unordered_map<std::string, int, TNoCaseHash, TNoCaseEqual> ByName;
    std::vector<TCell> Cells; // row after row
    std::string Text;
    int Rows = 0;
    int Row = 0;
    bool Eof = true;
    bool Bof = true;
    std::vector<std::unique_ptr<TIndex>> Indexes;
};

TADOQuery::TADOQuery(TADOConnection* connection) { SetConnection(connection); }

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
        throw EOleException("The statement does not return a result set", kSqliteStatementError,
                            "SQLite");

    auto data = std::make_unique<TData>();
    data->Fields.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        std::string name = statement.ColumnName(i);
        data->ByName.emplace(name, i); // the first of equal names wins
        data->Fields.push_back(TField(this, i, std::move(name)));
    }
    data->Indexes.resize(2 * static_cast<std::size_t>(columns)); // exact, then case-insensitive

    while (statement.Step()) {
        if (data->Rows == INT_MAX) throw EOleException("The result has too many rows", kSqliteStatementError);
        for (int i = 0; i < columns; ++i) {
            TCell cell;
            cell.Type = static_cast<std::uint8_t>(statement.ColumnType(i));
            switch (cell.Type) {
            case SQLITE_INTEGER:
                cell.Payload = static_cast<std::uint64_t>(statement.ColumnInt64(i));
                break;
            case SQLITE_FLOAT:
                cell.Payload = std::bit_cast<std::uint64_t>(statement.ColumnDouble(i));
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const std::string_view text = statement.ColumnText(i);
                cell.Type = SQLITE_TEXT;
                cell.Payload = data->Text.size();
                cell.Length = static_cast<std::uint32_t>(text.size());
                data->Text.append(text);
                break;
            }
            default:
                cell.Type = SQLITE_NULL;
                break;
            }
            data->Cells.push_back(cell);
        }
        ++data->Rows;
    }
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

int TADOQuery::FieldCount() const { return active_ ? static_cast<int>(data_->Fields.size()) : 0; }

TField& TADOQuery::Fields(int index)
{
    CheckActive();
    if (index < 0 || index >= static_cast<int>(data_->Fields.size()))
        throw EDatabaseError("Field index " + IntText(index) + " out of range");
    return data_->Fields[static_cast<std::size_t>(index)];
}

TField* TADOQuery::FindField(std::string_view name)
{
    CheckActive();
    const auto it = data_->ByName.find(name);
    return it == data_->ByName.end() ? nullptr : &data_->Fields[static_cast<std::size_t>(it->second)];
}

TField& TADOQuery::FieldByName(std::string_view name)
{
    TField* field = FindField(name);
    if (field == nullptr) throw EDatabaseError("Field '" + std::string(name) + "' not found");
    return *field;
}

std::string_view TADOQuery::CellText(const TCell& cell) const
{
    return std::string_view(data_->Text).substr(cell.Payload, cell.Length);
}

const TADOQuery::TCell* TADOQuery::CurrentCell(int column) const
{
    CheckActive();
    if (data_->Rows == 0) return nullptr;
    const std::size_t columns = data_->Fields.size();
    return &data_->Cells[static_cast<std::size_t>(data_->Row) * columns + static_cast<std::size_t>(column)];
}

namespace {

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

bool TADOQuery::Locate(std::string_view field, std::string_view value, TLocateOptions options)
{
    const int column = FieldByName(field).index_;
    const std::size_t columns = data_->Fields.size();
    const bool fold = options.CaseInsensitive;
    auto& slot = data_->Indexes[static_cast<std::size_t>(column) + (fold ? columns : 0)];
    if (!slot) {
        auto index = std::make_unique<TIndex>();
        index->Rows.reserve(static_cast<std::size_t>(data_->Rows));
        for (int row = 0; row < data_->Rows; ++row) {
            const TCell& cell =
                data_->Cells[static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(column)];
            std::string_view key;
            if (cell.Type == SQLITE_NULL) continue;
            if (cell.Type == SQLITE_TEXT) {
                key = CellText(cell);
            } else {
                index->Owned.push_back(cell.Type == SQLITE_INTEGER
                                           ? IntText(static_cast<std::int64_t>(cell.Payload))
                                           : FloatText(std::bit_cast<double>(cell.Payload)));
                key = index->Owned.back();
            }
            if (fold) {
                index->Owned.push_back(AsciiLower(key));
                key = index->Owned.back();
            }
            index->Rows.emplace(key, row); // the first row wins
        }
        slot = std::move(index);
    }
    const std::string folded = fold ? AsciiLower(value) : std::string();
    const auto it = slot->Rows.find(fold ? std::string_view(folded) : value);
    if (it == slot->Rows.end()) return false;
    data_->Row = it->second;
    data_->Eof = false;
    data_->Bof = false;
    return true;
}

// --- TField ---

bool TField::IsNull() const
{
    const auto* cell = query_->CurrentCell(index_);
    return cell == nullptr || cell->Type == SQLITE_NULL;
}

std::string TField::AsString() const
{
    const auto* cell = query_->CurrentCell(index_);
    if (cell == nullptr) return {};
    switch (cell->Type) {
    case SQLITE_INTEGER:
        return IntText(static_cast<std::int64_t>(cell->Payload));
    case SQLITE_FLOAT:
        return FloatText(std::bit_cast<double>(cell->Payload));
    case SQLITE_TEXT:
        return std::string(query_->CellText(*cell));
    default:
        return {};
    }
}

std::int64_t TField::AsLargeInt() const
{
    const auto* cell = query_->CurrentCell(index_);
    if (cell == nullptr) return 0;
    switch (cell->Type) {
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(cell->Payload);
    case SQLITE_FLOAT: {
        const double v = std::bit_cast<double>(cell->Payload);
        if (!std::isfinite(v) || v >= 9.2e18 || v <= -9.2e18)
            throw EConvertError("'" + FloatText(v) + "' is not a valid integer value");
        return std::llround(v);
    }
    case SQLITE_TEXT: {
        std::int64_t v = 0;
        const std::string_view text = query_->CellText(*cell);
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
        throw EConvertError("'" + IntText(v) + "' is out of range for an integer field");
    return static_cast<int>(v);
}

double TField::AsFloat() const
{
    const auto* cell = query_->CurrentCell(index_);
    if (cell == nullptr) return 0;
    switch (cell->Type) {
    case SQLITE_INTEGER:
        return static_cast<double>(static_cast<std::int64_t>(cell->Payload));
    case SQLITE_FLOAT:
        return std::bit_cast<double>(cell->Payload);
    case SQLITE_TEXT: {
        double v = 0;
        const std::string_view text = query_->CellText(*cell);
        if (!ParseDouble(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
        return v;
    }
    default:
        return 0;
    }
}

bool TField::AsBoolean() const
{
    const auto* cell = query_->CurrentCell(index_);
    if (cell == nullptr) return false;
    switch (cell->Type) {
    case SQLITE_INTEGER:
        return cell->Payload != 0;
    case SQLITE_FLOAT:
        return std::bit_cast<double>(cell->Payload) != 0.0;
    case SQLITE_TEXT: {
        const std::string_view text = Trim(query_->CellText(*cell));
        if (EqualNoCase(text, "TRUE") || EqualNoCase(text, "YES")) return true;
        if (EqualNoCase(text, "FALSE") || EqualNoCase(text, "NO")) return false;
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
    const auto* cell = query_->CurrentCell(index_);
    if (cell == nullptr) return 0;
    switch (cell->Type) {
    case SQLITE_INTEGER:
        return static_cast<double>(static_cast<std::int64_t>(cell->Payload));
    case SQLITE_FLOAT:
        return std::bit_cast<double>(cell->Payload);
    case SQLITE_TEXT: {
        const std::string_view text = query_->CellText(*cell);
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
