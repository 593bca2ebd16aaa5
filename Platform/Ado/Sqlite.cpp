#include "Platform/Ado/Sqlite.h"

#include <sqlite3.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const char* const kSource = "SQLite";

[[noreturn]] void Fail(std::string message, HRESULT code = kSqliteOpenError)
{
    throw EOleException(std::move(message), code, kSource);
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

[[noreturn]] void NotADatabase(const std::string& path, const char* why)
{
    Fail("File " + Quoted(path) + " is not a database (" + why + ")");
}

unsigned ReadBigEndian(const unsigned char* p, int bytes)
{
    unsigned v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool IsMemoryPath(const std::string& path)
{
    return path.empty() || path == ":memory:";
}

} // namespace

void CheckSqliteFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) Fail("File " + Quoted(path) + " does not exist");
        Fail("Cannot open file " + Quoted(path) + ": " + std::strerror(err));
    }
    if (S_ISDIR(st.st_mode)) NotADatabase(path, "it is a folder");
    if (!S_ISREG(st.st_mode)) NotADatabase(path, "it is not a regular file");
    if (st.st_size == 0) NotADatabase(path, "it is empty");

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("Cannot open file " + Quoted(path) + ": " + std::strerror(errno));
    unsigned char header[100];
    ssize_t n = 0;
    while (n < static_cast<ssize_t>(sizeof header)) {
        const ssize_t r = ::read(fd, header + n, sizeof header - static_cast<std::size_t>(n));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        n += r;
    }
    const int readErr = n < 0 ? errno : 0;
    ::close(fd);
    if (readErr != 0) Fail("Cannot read file " + Quoted(path) + ": " + std::strerror(readErr));

    if (n >= 19 &&
        (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 || std::memcmp(header + 4, "Standard ACE DB", 15) == 0))
        NotADatabase(path, "it is an Access file, not a SQLite file");
    if (n < 16 || std::memcmp(header, "SQLite format 3", 16) != 0) NotADatabase(path, "it is not a SQLite file");
    if (n < 100) NotADatabase(path, "it is truncated");

    unsigned pageSize = ReadBigEndian(header + 16, 2);
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        NotADatabase(path, "its header is damaged");
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size % pageSize != 0) NotADatabase(path, "it is truncated or damaged");
    // The page count in the header is valid when the two change counters agree.
    const unsigned pages = ReadBigEndian(header + 28, 4);
    if (pages != 0 && ReadBigEndian(header + 24, 4) == ReadBigEndian(header + 92, 4) &&
        size < static_cast<unsigned long long>(pages) * pageSize) {
        struct stat walSt {};
        if (::stat((path + "-wal").c_str(), &walSt) != 0) NotADatabase(path, "it is truncated");
    }
}

// --- TSqliteDatabase ---

TSqliteDatabase::TSqliteDatabase(const std::string& path, const TSqliteOptions& options)
{
    Open(path, options);
}

TSqliteDatabase::~TSqliteDatabase()
{
    Close();
}

TSqliteDatabase::TSqliteDatabase(TSqliteDatabase&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)), plainErrors_(other.plainErrors_)
{
}

TSqliteDatabase& TSqliteDatabase::operator=(TSqliteDatabase&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
        plainErrors_ = other.plainErrors_;
    }
    return *this;
}

void TSqliteDatabase::Open(const std::string& path, const TSqliteOptions& options)
{
    Close();
    if (!IsMemoryPath(path)) {
        struct stat st {};
        const bool exists = ::stat(path.c_str(), &st) == 0;
        // A new or empty file is fine only where creating one is wanted.
        if (!options.Create || (exists && (!S_ISREG(st.st_mode) || st.st_size != 0))) CheckSqliteFile(path);
    }

    int flags = options.ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (options.Create && !options.ReadOnly) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        Fail("Cannot open file " + Quoted(path) + " (" + message + ")");
    }
    db_ = db;
    path_ = path;
    plainErrors_ = options.PlainErrors;
    try {
        sqlite3_extended_result_codes(db_, 1);
        SetBusyTimeout(options.BusyTimeoutMs);
        // A double-quoted word is always a name, never a text in disguise.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        if (options.Untrusted) {
            sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
            sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
            Exec("PRAGMA cell_size_check=ON");
            Exec("PRAGMA mmap_size=0");
        }
        // Reading the schema now makes a damaged or foreign file fail here.
        Exec("SELECT count(*) FROM sqlite_schema");
        if (options.Untrusted) QuickCheck();
        if (options.Wal && !options.ReadOnly) {
            Exec("PRAGMA journal_mode=WAL");
            Exec("PRAGMA synchronous=NORMAL");
        }
        for (const std::string& pragma : options.Pragmas)
            Exec(pragma);
    } catch (...) {
        Close();
        throw;
    }
}

void TSqliteDatabase::Close() noexcept
{
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void TSqliteDatabase::Exec(std::string_view sql)
{
    if (db_ == nullptr) Fail("The database is not open", kSqliteStatementError);
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Raise(rc);
}

std::int64_t TSqliteDatabase::Changes() const noexcept
{
    return db_ ? sqlite3_changes64(db_) : 0;
}

std::int64_t TSqliteDatabase::TotalChanges() const noexcept
{
    return db_ ? sqlite3_total_changes64(db_) : 0;
}

std::int64_t TSqliteDatabase::LastInsertRowId() const noexcept
{
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

void TSqliteDatabase::SetBusyTimeout(int ms)
{
    if (db_ != nullptr) sqlite3_busy_timeout(db_, ms < 0 ? 0 : ms);
}

void TSqliteDatabase::QuickCheck()
{
    TSqliteStatement check(*this, "PRAGMA quick_check(1)");
    std::string result = check.Step() ? std::string(check.ColumnText(0)) : std::string("no answer");
    if (result != "ok") NotADatabase(path_, ("it is damaged: " + result).c_str());
}

bool TSqliteDatabase::FileFault() const noexcept
{
    if (db_ == nullptr) return false;
    switch (sqlite3_errcode(db_) & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_IOERR:
    case SQLITE_NOTADB:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
        return true;
    default:
        return false;
    }
}

bool TSqliteDatabase::InTransaction() const noexcept
{
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

void TSqliteDatabase::FailStatement(std::string message) const
{
    Fail(std::move(message), plainErrors_ ? E_FAIL : kSqliteStatementError);
}

void TSqliteDatabase::Raise(int rc) const
{
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (plainErrors_) Fail(message, E_FAIL);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        Fail("File " + Quoted(path_) + ": database is locked (another program is using it)");
    case SQLITE_NOTADB:
        NotADatabase(path_, message.c_str());
    case SQLITE_CORRUPT:
        Fail("File " + Quoted(path_) + " is damaged (" + message + ")");
    case SQLITE_CANTOPEN:
        Fail("Cannot open file " + Quoted(path_) + " (" + message + ")");
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_PERM:
        Fail("File " + Quoted(path_) + ": " + message);
    default:
        Fail(message, kSqliteStatementError);
    }
}

// --- TSqliteStatement ---

TSqliteStatement::TSqliteStatement(TSqliteDatabase& db, std::string_view sql, TTail tailRule) : db_(&db)
{
    if (!db.IsOpen()) Fail("The database is not open", kSqliteStatementError);
    if (sql.find('\0') != std::string_view::npos)
        db.FailStatement("Invalid SQL statement: the text holds a NUL character");
    if (sql.size() >= static_cast<std::size_t>(INT_MAX))
        db.FailStatement("Invalid SQL statement: the text is too long");
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) db.Raise(rc);
    if (stmt_ == nullptr) db.FailStatement("Invalid SQL statement: the text is empty");
    const char* end = sql.data() + sql.size();
    if (tailRule == TTail::Ignore) {
        if (tail != nullptr && tail < end) tail_.assign(tail, end);
        return;
    }
    for (const char* p = tail; p != nullptr && p < end; ++p) {
        const char c = *p;
        if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v') {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            Fail("Characters found after end of SQL statement", kSqliteStatementError);
        }
    }
}

TSqliteStatement::~TSqliteStatement()
{
    sqlite3_finalize(stmt_);
}

TSqliteStatement::TSqliteStatement(TSqliteStatement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), tail_(std::move(other.tail_))
{
}

TSqliteStatement& TSqliteStatement::operator=(TSqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
        tail_ = std::move(other.tail_);
    }
    return *this;
}

void TSqliteStatement::Check(int rc) const
{
    if (rc != SQLITE_OK) db_->Raise(rc);
}

bool TSqliteStatement::Step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_->Raise(rc);
}

void TSqliteStatement::Reset()
{
    sqlite3_reset(stmt_);
}

bool TSqliteStatement::ReadOnly() const
{
    return sqlite3_stmt_readonly(stmt_) != 0;
}
int TSqliteStatement::ParameterCount() const
{
    return sqlite3_bind_parameter_count(stmt_);
}

void TSqliteStatement::BindNull(int index)
{
    Check(sqlite3_bind_null(stmt_, index));
}
void TSqliteStatement::BindInt64(int index, std::int64_t value)
{
    Check(sqlite3_bind_int64(stmt_, index, value));
}
void TSqliteStatement::BindDouble(int index, double value)
{
    Check(sqlite3_bind_double(stmt_, index, value));
}
void TSqliteStatement::BindText(int index, std::string_view value)
{
    Check(sqlite3_bind_text64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

int TSqliteStatement::ColumnCount() const
{
    return sqlite3_column_count(stmt_);
}

std::string TSqliteStatement::ColumnName(int column) const
{
    const char* name = sqlite3_column_name(stmt_, column);
    return name != nullptr ? name : "";
}

int TSqliteStatement::ColumnType(int column) const
{
    return sqlite3_column_type(stmt_, column);
}
bool TSqliteStatement::ColumnIsNull(int column) const
{
    return ColumnType(column) == SQLITE_NULL;
}
std::int64_t TSqliteStatement::ColumnInt64(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}
double TSqliteStatement::ColumnDouble(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

std::string_view TSqliteStatement::ColumnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (text == nullptr) return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}
