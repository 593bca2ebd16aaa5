// The country dictionary in the host database: COUNTRY, PROVINCE and
// UNIQUECALL filled from cty.dat, read back, and compared entity by entity.
#pragma once

#include "Host/Dictionary/DictionaryRows.h"
#include "Platform/Ado/Sqlite.h"

#include <string>
#include <vector>

// Inserts the rows (IDs from 1) inside the caller's transaction.
void InsertDictionaryRows(TSqliteDatabase& db, const TDictionaryRows& rows);
// Replaces the three tables' rows in one transaction; on any failure the
// old rows stay.
void ReplaceDictionaryTables(TSqliteDatabase& db, const TDictionaryRows& rows);
// The rows as stored (literals of expressions of the dictionary's own
// shapes; any other expression as one literal).
TDictionaryRows ReadDictionaryTables(TSqliteDatabase& db);
// Whether the three tables are empty.
bool DictionaryTablesEmpty(TSqliteDatabase& db);

// Entities (by main prefix) added, removed, or whose prefixes, exact calls
// or their data changed, from before to after.
struct TDictionaryChanges {
    std::vector<std::string> Added, Removed, Changed;
};
TDictionaryChanges CompareDictionaries(const TDictionaryRows& before, const TDictionaryRows& after);
