#include "bench/Common/Fill.h"

#include "Host/HostDatabase.h"
#include "Platform/Ado/Ado.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/JetSql/JetSql.h"

void FillHostDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet)
{
    THostDb db = OpenHostDatabase(file, false);
    ExecScript(db.get(), "BEGIN");
    for (const auto& statement : jet) ExecScript(db.get(), JetToSqlite(statement));
    ExecScript(db.get(), "COMMIT");
}

void FillLoggerDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet)
{
    TSqliteDatabase db(file.string(), TSqliteOptions{});
    db.Exec("BEGIN");
    for (const auto& statement : jet) ExecuteJetStatement(db, statement);
    db.Exec("COMMIT");
}
