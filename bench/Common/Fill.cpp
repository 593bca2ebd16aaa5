#include "bench/Common/Fill.h"

#include "DemoData/DataGen.h"
#include "Host/HostDatabase.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Registry/Registry.h"

#include <algorithm>
#include <cstdlib>

void FillHostDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet)
{
    THostDb db = OpenHostDatabase(file, false);
    ExecScript(db, "BEGIN");
    for (const auto& statement : jet)
        ExecScript(db, JetToSqlite(statement));
    ExecScript(db, "COMMIT");
}

void FillLoggerDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet)
{
    TSqliteDatabase db(file.string(), TSqliteOptions{});
    db.Exec("BEGIN");
    for (const auto& statement : jet)
        ExecuteJetStatement(db, statement);
    db.Exec("COMMIT");
}

std::vector<TStation> OverlappingStations(TDataGenerator& gen, const std::vector<TStation>& host, std::size_t count,
                                          std::size_t known)
{
    std::vector<TStation> stations;
    stations.reserve(count);
    for (std::size_t i = 0; i < known; ++i)
        stations.push_back(gen.Variant(host[i * host.size() / std::max<std::size_t>(known, 1)]));
    for (auto& s : gen.Stations(count - known))
        stations.push_back(std::move(s));
    return stations;
}

void FillHostCallbook(const std::filesystem::path& hostDb, const std::vector<TStation>& stations,
                      std::vector<std::string> before)
{
    before.reserve(before.size() + stations.size());
    for (const auto& s : stations)
        before.push_back(HostCallbookInsert(s));
    FillHostDatabase(hostDb, before);
}

void WriteLoggerCallbook(const std::filesystem::path& file, const std::vector<TStation>& stations)
{
    CreateReferenceDatabaseFile(file.string());
    std::vector<std::string> inserts;
    inserts.reserve(stations.size());
    for (const auto& s : stations)
        inserts.push_back(LoggerCallbookInsert(s));
    FillLoggerDatabase(file, inserts);
}

std::filesystem::path CreateLoggerInstallation(const std::filesystem::path& work)
{
    const auto install = work / "zemrak";
    std::filesystem::create_directories(install / "db");
    const auto registry = work / "hkcu.reg";
    WriteRegistryString(registry.string(), "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "InstallPath",
                        install.string() + "/");
    setenv("HKCU_REGISTRY_FILE", registry.c_str(), 1);
    return install;
}
