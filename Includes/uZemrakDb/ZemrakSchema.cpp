#include "Includes/uZemrakDb/ZemrakSchema.h"

#include "Platform/Ado/Ado.h"
#include "Platform/SysUtils/SysUtils.h"

#include <filesystem>

namespace {

std::string Text(const char* column, int length, const char* extra = "")
{
    return std::string("  ") + column + " TEXT" + extra + " CHECK (length(" + column +
           ") <= " + std::to_string(length) + ")";
}

std::string YesNo(const char* column)
{
    return std::string("  ") + column + " INTEGER NOT NULL DEFAULT 0";
}

bool IsPlainIdentifier(std::string_view name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

void CreateFile(const std::string& path, const std::string& script)
{
    if (std::filesystem::exists(path))
        throw EOleException("Cannot create database '" + path + "': the file exists", E_FAIL, "SQLite");
    try {
        TSqliteOptions options;
        options.Create = true;
        TADOConnection db;
        db.Open(path, options);
        db.BeginTrans();
        db.ExecuteScript(script);
        db.CommitTrans();
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw;
    }
}

} // namespace

std::string CallbookTableScript()
{
    using namespace CallbookLength;
    return "CREATE TABLE CALLBOOK (\n" + Text("CALL", Call, " NOT NULL COLLATE NOCASE") + ",\n" + Text("NAME", Name) +
           ",\n" + Text("QTH", Qth) + ",\n" + Text("GRID", Grid) + ",\n" + Text("STATE", State) + ",\n" +
           Text("MANAGER", Manager) + ",\n" + Text("NOTE", Note) + ",\n" + YesNo("CHECKED") + ",\n" +
           // Columns of the logger's own that the plug-ins leave at their defaults.
           Text("COUNTRY", 40, " NOT NULL DEFAULT ''") + ",\n" + "  QSLCOUNT INTEGER NOT NULL DEFAULT 0\n" +
           ");\n"
           "CREATE UNIQUE INDEX CALLBOOK_CALL ON CALLBOOK(CALL);\n";
}

std::string AconfigTableScript()
{
    return "CREATE TABLE ACONFIG (\n"
           "  ID INTEGER PRIMARY KEY AUTOINCREMENT,\n" +
           Text("LOGNAME", LoggerTextLength, " NOT NULL") + ",\n" + Text("CALLSIGN", LoggerTextLength, " NOT NULL") +
           ",\n" + Text("LOGFILENAME", LoggerTextLength, " NOT NULL") + ",\n" + Text("QTH", LoggerTextLength) +
           "\n);\n"
           "CREATE UNIQUE INDEX ACONFIG_LOGNAME ON ACONFIG(LOGNAME);\n";
}

std::string QsoTableScript(std::string_view table)
{
    if (!IsPlainIdentifier(table))
        throw EArgumentException("'" + std::string(table) + "' is not a valid QSO table name");
    const std::string name(table);
    std::string script = "CREATE TABLE " + name + " (\n  ID INTEGER PRIMARY KEY AUTOINCREMENT,\n";
    script += Text("CallSign", LoggerTextLength, " NOT NULL") + ",\n";
    script += "  QSODate TEXT NOT NULL,\n";
    for (const char* column : {"QSOTime", "QSOBand", "QSOMode", "QSOReportRecived", "QSOReportSent", "OMName", "OMQTH",
                               "Continent", "DXCCPrefix", "MainPrefix", "ITUZone", "CQZone", "Grid", "IOTA", "State",
                               "WPX", "DXCC", "QSLManager", "QSLSentAdv"})
        script += Text(column, LoggerTextLength) + ",\n";
    script += "  DigiBand REAL,\n";
    for (const char* column : {"QSLReceQSLcc", "LoTWSent", "LoTWRec", "QSLSent", "QSLRec"})
        script += YesNo(column) + ",\n";
    script += "  LoTWRecDate TEXT,\n  QSLSentDate TEXT,\n  QSLRecDate TEXT,\n"
              "  QSOAddInfo TEXT\n);\n";
    script += "CREATE INDEX " + name + "_QSODATE ON " + name + "(QSODate);\n";
    return script;
}

void CreateReferenceDatabaseFile(const std::string& path)
{
    CreateFile(path, CallbookTableScript());
}

void CreateLogDatabaseFile(const std::string& path)
{
    CreateFile(path, AconfigTableScript());
}

void CreateQsoTable(const std::string& logDatabasePath, std::string_view table)
{
    const std::string script = QsoTableScript(table);
    TADOConnection db;
    db.Open(logDatabasePath, TSqliteOptions{});
    db.ExecuteScript(script);
}
