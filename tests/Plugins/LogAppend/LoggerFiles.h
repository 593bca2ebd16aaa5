// A logger installation for the tests: the log database with its list of
// logs and QSO tables, rows given as column -> SQL literal, and the registry
// file that points at the installation.
#pragma once

#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/Registry/Registry.h"

#include <filesystem>
#include <map>
#include <string>

namespace logger {

namespace fs = std::filesystem;

// Column -> SQL literal of one QSO; the defaults make a complete row.
using TRow = std::map<std::string, std::string>;

inline TRow Qso(const std::string& call, const std::string& date, const std::string& time, TRow extra = {})
{
    TRow row{{"CallSign", "'" + call + "'"},
             {"QSODate", "'" + date + " 00:00:00'"},
             {"QSOTime", "'" + time + "'"},
             {"QSOBand", "'14074'"},
             {"DigiBand", "14.074"},
             {"QSOMode", "'FT8'"},
             {"QSOReportRecived", "'-10'"},
             {"QSOReportSent", "'-12'"},
             {"Continent", "'EU'"},
             {"ITUZone", "'28'"},
             {"CQZone", "'14'"}};
    for (auto& [column, value] : extra)
        row[column] = value;
    return row;
}

class TLogDatabase {
public:
    // Creates InstallDir/db/logs.mdb and, when registryFile is given, the
    // registry record pointing at InstallDir.
    explicit TLogDatabase(const fs::path& installDir, const fs::path& registryFile = {})
        : path_((installDir / "db" / "logs.mdb").string())
    {
        fs::create_directories(installDir / "db");
        CreateLogDatabaseFile(path_);
        if (!registryFile.empty())
            WriteRegistryString(registryFile.string(), "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "InstallPath",
                                installDir.string() + "/");
    }

    const std::string& Path() const { return path_; }

    void AddLog(const std::string& name, const std::string& operatorCall, const std::string& table,
                const std::string& qthLiteral = "NULL")
    {
        CreateQsoTable(path_, table);
        Exec("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) VALUES('" + name + "','" + operatorCall + "','" +
             table + "'," + qthLiteral + ")");
    }

    void Add(const std::string& table, const TRow& row)
    {
        std::string columns, values;
        for (const auto& [column, value] : row) {
            columns += (columns.empty() ? "" : ",") + column;
            values += (values.empty() ? "" : ",") + value;
        }
        Exec("INSERT INTO " + table + "(" + columns + ") VALUES(" + values + ")");
    }

    // A statement in SQLite's own dialect.
    void Exec(const std::string& sql)
    {
        TSqliteDatabase db(path_, TSqliteOptions{});
        db.Exec(sql);
    }

private:
    std::string path_;
};

} // namespace logger
