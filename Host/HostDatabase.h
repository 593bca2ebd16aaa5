// The host's own database: a SQLite file with the callbook, the country
// dictionary and the logs.
#pragma once

#include "Platform/Ado/Sqlite.h"

#include <filesystem>
#include <string>

using THostDb = TSqliteDatabase;

// Opens (creating when asked) the host database in WAL mode. Statement
// errors carry SQLite's own message and E_FAIL.
THostDb OpenHostDatabase(const std::filesystem::path& path, bool create);
// Creates every host table and the indexes the plug-ins' statements need.
void CreateHostSchema(TSqliteDatabase& db);
// Runs a script of statements separated by semicolons; throws with SQLite's message.
void ExecScript(TSqliteDatabase& db, const std::string& sql);
