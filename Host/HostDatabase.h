// The host's own database: a SQLite file with the callbook, the country
// dictionary and the logs.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>

struct TSqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using THostDb = std::unique_ptr<sqlite3, TSqliteCloser>;

// Opens (creating when asked) the host database in WAL mode.
THostDb OpenHostDatabase(const std::filesystem::path& path, bool create);
// Creates every host table and the indexes the plug-ins' statements need.
void CreateHostSchema(sqlite3* db);
// Runs a script of statements separated by semicolons; throws with SQLite's message.
void ExecScript(sqlite3* db, const std::string& sql);
