#include "bench/Common/Floor.h"

#include "Host/HostDatabase.h"
#include "Platform/JetSql/JetSql.h"

#include <sqlite3.h>

TFloorResult MeasureFloor(const std::filesystem::path& database, const std::vector<std::string>& jetStatements)
{
    std::vector<std::string> sql;
    sql.reserve(jetStatements.size());
    for (const auto& jet : jetStatements)
        sql.push_back(JetToSqlite(jet));

    THostDb db = OpenHostDatabase(database, false);
    TFloorResult result;
    result.Statements = sql.size();
    TStopwatch watch;
    for (const auto& text : sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.Handle(), text.c_str(), -1, &stmt, nullptr) != SQLITE_OK || !stmt) {
            sqlite3_finalize(stmt);
            ++result.Refused;
            continue;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            ++result.Rows;
        const bool reads = sqlite3_stmt_readonly(stmt) != 0;
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            ++result.Refused;
        else if (!reads)
            result.Rows += static_cast<std::size_t>(sqlite3_changes(db.Handle()));
    }
    result.Seconds = watch.Seconds();
    return result;
}
