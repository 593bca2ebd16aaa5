// The logger's tables as SQLite creation scripts: the callbook of the
// reference database (DB.mdb), the list of logs and the per-log QSO tables of
// the log database (logs.mdb). Text columns refuse values longer than the
// logger's own files take; yes/no columns default to false; dates are
// canonical text 'yyyy-mm-dd hh:nn:ss'.
#pragma once

#include <string>
#include <string_view>

// Longest texts of the CALLBOOK columns, in characters.
namespace CallbookLength {
inline constexpr int Call = 20;
inline constexpr int Name = 15;
inline constexpr int Qth = 30;
inline constexpr int Grid = 6;
inline constexpr int State = 10;
inline constexpr int Manager = 12;
inline constexpr int Note = 255;
} // namespace CallbookLength

// Longest text of a plain text column elsewhere in the logger's files; memo
// columns (QSOAddInfo) are unlimited.
inline constexpr int LoggerTextLength = 255;

// CREATE statements (SQLite) for the callbook with its key on CALL (compared
// without regard to case, as the logger does), for ACONFIG, and for one QSO
// table. A QSO table name must be a plain identifier (letters, digits, '_',
// not starting with a digit): it is placed verbatim after FROM; anything else
// is EArgumentException.
std::string CallbookTableScript();
std::string AconfigTableScript();
std::string QsoTableScript(std::string_view table);

// Create a new SQLite file holding CALLBOOK (reference database) or ACONFIG
// (log database, QSO tables added with CreateQsoTable). An existing file is
// an error; a file that fails half-way is removed.
void CreateReferenceDatabaseFile(const std::string& path);
void CreateLogDatabaseFile(const std::string& path);
void CreateQsoTable(const std::string& logDatabasePath, std::string_view table);
