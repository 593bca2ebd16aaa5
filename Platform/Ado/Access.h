// Access databases (Jet 3, Jet 4, ACE), read through MDB Tools' libmdb and
// copied into a SQLite database so that the same translated statements run
// on them. Access files are only ever read.
#pragma once

#include "Platform/Ado/Sqlite.h"

#include "Platform/DateTime/DateTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// True when the file starts as an Access database does.
bool IsAccessFile(const std::string& path);

// A stored Access Date/Time: days since 1899-12-30 with the time of day as
// the fraction's magnitude, also before that day (-1.25 is 1899-12-29 06:00).
// Nothing for values outside the years 100 to 9999, which Access never stores.
std::optional<TDateTime> AccessDateToDateTime(double stored);

struct TAccessLoadStats {
    int Tables = 0;
    std::int64_t Rows = 0;
};

// Copies every user table of the Access database at path (those wanted
// answers true for, when given) into db, an open
// and writable SQLite database, in one transaction. Text and memo arrive as
// UTF-8 text (text columns compare without regard to case, as in Access),
// Yes/No as 1/0, numbers and currency as numbers, Date/Time as canonical
// text made from the stored day count, binary and OLE data as blobs, NULL as
// NULL (a zero-length text reads as NULL, as MDB Tools gives it).
// EOleException naming the file when it cannot be read.
TAccessLoadStats LoadAccessDatabase(const std::string& path, TSqliteDatabase& db,
                                    const std::function<bool(const std::string& table)>& wanted = {});
