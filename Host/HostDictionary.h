// The country dictionary in the host database: COUNTRY, PROVINCE and
// UNIQUECALL filled from cty.dat, read back, and compared entity by entity.
#pragma once

#include "Host/Dictionary/DictionaryRows.h"

#include <sqlite3.h>

#include <string>
#include <vector>

// Inserts the rows (IDs from 1) inside the caller's transaction.
void InsertDictionaryRows(sqlite3* db, const TDictionaryRows& rows);
// Replaces the three tables' rows in one transaction; on any failure the
// old rows stay.
void ReplaceDictionaryTables(sqlite3* db, const TDictionaryRows& rows);
// The rows as stored (literals of expressions of the dictionary's own
// shapes; any other expression as one literal).
TDictionaryRows ReadDictionaryTables(sqlite3* db);
// Whether the three tables are empty.
bool DictionaryTablesEmpty(sqlite3* db);

// Entities (by main prefix) added, removed, or whose prefixes, exact calls
// or their data changed, from before to after.
struct TDictionaryChanges {
    std::vector<std::string> Added, Removed, Changed;
};
TDictionaryChanges CompareDictionaries(const TDictionaryRows& before, const TDictionaryRows& after);
