#include "tests/Plugins/CallbookImport/ImportTestSupport.h"

#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/Files/Files.h"
#include "Platform/Zip/Zip.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

void WritePackageDatabase(const fs::path& path, const std::vector<TPackageRow>& rows)
{
    fs::remove(path);
    CreateReferenceDatabaseFile(path.string());
    TSqliteOptions options;
    TSqliteDatabase db(path.string(), options);
    db.Exec("BEGIN");
    TSqliteStatement insert(db, "INSERT INTO CALLBOOK(CALL, NAME, QTH, GRID, STATE, MANAGER, NOTE, CHECKED) "
                                "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    for (const TPackageRow& row : rows) {
        insert.Reset();
        insert.BindText(1, row.Call);
        int index = 2;
        for (const auto* value : {&row.Name, &row.Qth, &row.Grid, &row.State, &row.Manager, &row.Note}) {
            if (*value)
                insert.BindText(index, **value);
            else
                insert.BindNull(index);
            ++index;
        }
        insert.BindInt64(8, row.Checked.value_or(false) ? 1 : 0); // the logger's column takes no NULL
        insert.Step();
    }
    db.Exec("COMMIT");
}

void WriteZip(const fs::path& zipPath, const std::string& entryName, const std::string& content, int year, int month,
              int day, int hour, int minute)
{
    const fs::path folder = zipPath.parent_path() / (zipPath.filename().string() + ".parts");
    fs::create_directories(folder);
    const fs::path file = folder / entryName;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    FileSetDateOrThrow(file.string(), EncodeDateTime(TDateParts{year, month, day, hour, minute, 0, 0}));
    fs::remove(zipPath);
    CreateZipArchive(zipPath.string(), {file.string()});
    fs::remove_all(folder);
}

void WritePackage(const fs::path& zipPath, const std::vector<TPackageRow>& rows)
{
    const fs::path database = zipPath.parent_path() / (zipPath.filename().string() + ".mdb");
    WritePackageDatabase(database, rows);
    WriteZip(zipPath, "DB.mdb", ReadBinary(database));
    fs::remove(database);
}

std::string ReadBinary(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
