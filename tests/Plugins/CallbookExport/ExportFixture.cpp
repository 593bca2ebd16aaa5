#include "tests/Plugins/CallbookExport/ExportFixture.h"

#include "Host/Host.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace {

struct TClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TDb = std::unique_ptr<sqlite3, TClose>;

TDb Open(const fs::path& path, int flags)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    TDb db(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path.string() + ": " + sqlite3_errstr(rc));
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

} // namespace

TRows QueryRows(const fs::path& path, const std::string& sql)
{
    TDb db = Open(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db.get()));
    TRows rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = sqlite3_column_text(stmt, i);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : NullText);
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errstr(rc));
    return rows;
}

void ExecSql(const fs::path& path, const std::string& sql)
{
    TDb db = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    char* error = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "error";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + message);
    }
}

bool IsValidDatabase(const fs::path& path)
{
    try {
        return QueryRows(path, "PRAGMA integrity_check") == TRows{{"ok"}};
    } catch (const std::exception&) {
        return false;
    }
}

TExportProfile::TExportProfile(const std::string& name, bool withHostRows) : host_(name)
{
    host_.Options.PluginDir = Profile() / "no-plugins";
    if (withHostRows) ExecSql(HostDb(), HostCallbookRows);
    fs::create_directories(RefDb().parent_path());
    CreateReferenceDatabaseFile(RefDb().string());
    ExecSql(RefDb(), "INSERT INTO CALLBOOK(CALL,NAME) VALUES('OLD1','Old'),('OLD2','Older')");
    WriteFileText(Registry(), "Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Zemrak_Log3]\r\n"
                              "\"InstallPath\"=\"" +
                                  (Profile() / "zemrak").string() + "/\"\r\n");
}

std::vector<std::string> TExportProfile::LogLines() const
{
    std::vector<std::string> lines;
    if (!fs::exists(HostLog())) return lines;
    for (const std::string& line : SplitLines(ReadFileText(HostLog()))) {
        const auto tab = line.find('\t');
        lines.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return lines;
}
