#include "Host/HostDatabase.h"

#include "Platform/OleAuto/OleAuto.h"
#include "Platform/SysUtils/SysUtils.h"

namespace {

constexpr const char* Schema = R"SQL(
CREATE TABLE IF NOT EXISTS CALLBOOK (
  OMCALL TEXT NOT NULL,
  OMNAME TEXT, OMQTH TEXT, STATE TEXT, GRIDSQUARE TEXT, QSLMANAGER TEXT, NOTES TEXT,
  CHK INTEGER, Use_BUREAU INTEGER, Use_DIRECT INTEGER,
  Use_LOTW INTEGER, LOTWACTDATE TEXT, Use_EQSL INTEGER, EQSLACTDATE TEXT,
  AKA TEXT, SKYPE TEXT, EMAIL TEXT, BORN TEXT, SK TEXT,
  CONTINENT TEXT, DXCCPFX TEXT, MAINPFX TEXT, DXCC TEXT, CQZONE TEXT, ITUZONE TEXT,
  QRZRU TEXT
);
CREATE UNIQUE INDEX IF NOT EXISTS CALLBOOK_OMCALL ON CALLBOOK(OMCALL);
CREATE TABLE IF NOT EXISTS COUNTRY (
  ID INTEGER PRIMARY KEY, PREFIXLIST TEXT, ARRLPREFIX TEXT, CONTINENT TEXT, DXCC TEXT,
  ITUZONE TEXT, CQZONE TEXT, STARTDATE TEXT, ENDDATE TEXT
);
CREATE TABLE IF NOT EXISTS PROVINCE (
  ID INTEGER PRIMARY KEY, PREFIXLIST TEXT, ARRLPREFIX TEXT, PREFIX TEXT, CONTINENT TEXT,
  DXCC INTEGER, ITUZONE TEXT, CQZONE TEXT, STARTDATE TEXT, ENDDATE TEXT
);
CREATE TABLE IF NOT EXISTS UNIQUECALL (
  ID INTEGER PRIMARY KEY, CALLSIGN TEXT, ARRLPREFIX TEXT, PREFIX TEXT, CONTINENT TEXT,
  DXCC INTEGER, ITUZONE INTEGER, CQZONE INTEGER, STARTDATE TEXT, ENDDATE TEXT
);
CREATE TABLE IF NOT EXISTS LOGS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  LOGNAME TEXT, OMCALL TEXT, QSODATE TEXT, QSOTIME TEXT, QSOBAND TEXT, QSOMODE TEXT,
  QSORSTRCVD TEXT, QSORSTSEND TEXT, OMNAME TEXT, OMQTH TEXT,
  CONTINENT TEXT, DXCCPFX TEXT, MAINPFX TEXT, QSOFREQ TEXT, ITUZONE TEXT, CQZONE TEXT,
  GRIDSQUARE TEXT, QSLMANAGER TEXT, IOTA TEXT, STATE TEXT,
  EQSLRCVD INTEGER, LOTWSENT INTEGER, LOTWRCVD INTEGER, QSLSENT INTEGER, QSLRECV INTEGER,
  QSLSTAT TEXT, LOTWRCVDDATE TEXT, QSLSENTDATE TEXT, QSLRECVDATE TEXT,
  CALLSIGN TEXT, WPX TEXT, DXCC TEXT, QSLINFO TEXT
);
CREATE INDEX IF NOT EXISTS LOGS_DUPLICATE ON LOGS(LOGNAME, OMCALL, QSOBAND, QSOMODE, QSODATE);
)SQL";

} // namespace

void ExecScript(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw EOleException(message, E_FAIL, "SQLite");
    }
}

THostDb OpenHostDatabase(const std::filesystem::path& path, bool create)
{
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    THostDb db(raw);
    if (rc != SQLITE_OK)
        throw EOleException("Cannot open host database '" + path.string() + "': " +
                                (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)),
                            E_FAIL, "SQLite");
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_extended_result_codes(raw, 1);
    ExecScript(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    // Probe that the file really is a database before anyone relies on it.
    ExecScript(raw, "SELECT count(*) FROM sqlite_master;");
    return db;
}

void CreateHostSchema(sqlite3* db) { ExecScript(db, Schema); }
