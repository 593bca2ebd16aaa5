#include "Host/HostDemo.h"

#include "DemoData/DataGen.h"
#include "Host/HostDatabase.h"
#include "Host/HostDictionary.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/IniFile/IniFile.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Registry/Registry.h"
#include "Platform/SysUtils/SysUtils.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t DemoSeed = 20240330;
constexpr const char* Operator = "DL0DEMO";
constexpr const char* OtherOperator = "OK0DEMO";
constexpr const char* HostLogTable = "DEMO";

// One Jet-dialect statement on the host database; a refusal is an error
// naming the statement.
void RunJet(TSqliteDatabase& db, const std::string& jet)
{
    try {
        TSqliteStatement statement(db, JetToSqlite(jet), TSqliteStatement::TTail::Ignore);
        while (statement.Step()) {
        }
    } catch (const EOleException& e) {
        throw EOleException(e.Message() + " in: " + jet, E_FAIL, "SQLite");
    }
}

std::int64_t Count(TSqliteDatabase& db, const char* table)
{
    try {
        TSqliteStatement statement(db, std::string("SELECT count(*) FROM ") + table);
        return statement.Step() ? statement.ColumnInt64(0) : 0;
    } catch (const EOleException&) {
        return 0;
    }
}

void RunJetFile(TSqliteDatabase& db, const std::vector<std::string>& statements)
{
    db.Exec("BEGIN");
    try {
        for (const auto& jet : statements)
            ExecuteJetStatement(db, jet);
        db.Exec("COMMIT");
    } catch (...) {
        db.Exec("ROLLBACK");
        throw;
    }
}

struct TDemoLog {
    const char* Name;
    const char* Call;
    const char* Table;
    const char* Qth; // null: none recorded
    std::size_t Qsos;
    TDateTime First, Last;
};

} // namespace

void CreateDemoProfile(const fs::path& profile, const fs::path& dataFolder)
{
    const fs::path ctyFile = dataFolder / "cty.dat";
    if (!fs::exists(ctyFile))
        throw EFOpenError("Country data not found: " + ctyFile.string() + " (it is installed beside hamhost in data/)");
    const fs::path install = fs::absolute(profile / "zemrak");
    if (fs::exists(install / "db"))
        throw EInOutError("A logger installation exists already in " + install.string() +
                          "; the demo needs a new profile");

    THostDb host = OpenHostDatabase(profile / "host.db", false);
    for (const char* table : {"CALLBOOK", "LOGS"})
        if (Count(host, table) > 0)
            throw EInOutError("The profile " + profile.string() + " holds " + table +
                              " rows already; the demo needs a new profile");

    const TDictionaryRows rows = LoadCountryData(ctyFile, EntityCodesBeside(ctyFile));
    const bool fillDictionary = DictionaryTablesEmpty(host);
    const auto dictionary = TCallsignDictionary::FromRows(rows);
    TDataGenerator gen(dictionary, DemoSeed);

    // Stations: the host's callbook, a part of it as the logger knows it,
    // the logger's own, and stations known to neither.
    const std::vector<TStation> hostStations = gen.Stations(400);
    std::vector<TStation> loggerStations;
    for (std::size_t i = 0; i < hostStations.size(); i += 3)
        loggerStations.push_back(gen.Variant(hostStations[i]));
    for (auto& s : gen.Stations(170))
        loggerStations.push_back(std::move(s));
    std::vector<TStation> worked = hostStations;
    worked.insert(worked.end(), loggerStations.end() - 170, loggerStations.end());
    for (auto& s : gen.Stations(120))
        worked.push_back(std::move(s));

    const std::vector<TDemoLog> logs = {
        {"DL0DEMO Home", Operator, "LOG_DL0DEMO_HOME", "Berlin", 320, EncodeDate(2022, 1, 1), EncodeDate(2023, 12, 31)},
        {"DL0DEMO Portable", Operator, "LOG_DL0DEMO_PORTABLE", nullptr, 70, EncodeDate(2023, 6, 1),
         EncodeDate(2023, 9, 30)},
        {"DL0DEMO Contest 2024", Operator, "LOG_DL0DEMO_CONTEST", "Potsdam", 160, EncodeDate(2024, 3, 30),
         EncodeDate(2024, 3, 31) + EncodeTime(23, 59, 0)},
        {"OK0DEMO", OtherOperator, "LOG_OK0DEMO", "Praha", 90, EncodeDate(2023, 1, 1), EncodeDate(2024, 5, 31)},
    };
    std::vector<std::vector<TQso>> logQsos;
    for (const auto& log : logs)
        logQsos.push_back(gen.Log(worked, log.Qsos, log.First, log.Last));

    // Host database: callbook, and the current log that already holds an
    // earlier append of the home log (its QSL state since changed in the
    // logger) besides QSOs of its own; the dictionary when it is empty.
    std::vector<std::string> hostStatements;
    for (const auto& s : hostStations)
        hostStatements.push_back(HostCallbookInsert(s));
    for (std::size_t i = 0; i < 60; ++i) {
        TQso earlier = logQsos[0][i];
        earlier.QslRcvd = false;
        earlier.QslRcvdDate.reset();
        earlier.LotwRcvd = false;
        earlier.LotwRcvdDate.reset();
        hostStatements.push_back(HostLogInsert(earlier, HostLogTable, Operator));
    }
    for (const auto& q : gen.Log(worked, 40, EncodeDate(2024, 4, 1), EncodeDate(2024, 6, 30)))
        hostStatements.push_back(HostLogInsert(q, HostLogTable, Operator));
    for (const auto& q : gen.Log(worked, 25, EncodeDate(2021, 1, 1), EncodeDate(2021, 12, 31)))
        hostStatements.push_back(HostLogInsert(q, "OLD2021", Operator));
    // The logger's installation first: it is removed again when anything
    // below fails, and the host's rows go in one transaction.
    fs::create_directories(install / "db");
    try {
        const std::string reference = (install / "db" / "DB.mdb").string();
        const std::string logFile = (install / "db" / "logs.mdb").string();
        CreateReferenceDatabaseFile(reference);
        CreateLogDatabaseFile(logFile);
        for (const auto& log : logs)
            CreateQsoTable(logFile, log.Table);
        CreateQsoTable(logFile, "LOG_DL0DEMO_2025");
        {
            TSqliteDatabase db(reference, TSqliteOptions{});
            std::vector<std::string> statements;
            for (const auto& s : loggerStations)
                statements.push_back(LoggerCallbookInsert(s));
            RunJetFile(db, statements);
        }
        {
            TSqliteDatabase db(logFile, TSqliteOptions{});
            std::vector<std::string> statements;
            for (std::size_t i = 0; i < logs.size(); ++i) {
                const auto& log = logs[i];
                statements.push_back("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) VALUES(" +
                                     QuotedStr(log.Name) + "," + QuotedStr(log.Call) + "," + QuotedStr(log.Table) +
                                     "," + (log.Qth ? QuotedStr(log.Qth) : std::string("NULL")) + ")");
                for (const auto& q : logQsos[i])
                    statements.push_back(LoggerQsoInsert(log.Table, q));
            }
            // A log without QSOs yet.
            statements.push_back("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) VALUES('DL0DEMO 2025',"
                                 "'DL0DEMO','LOG_DL0DEMO_2025','Berlin')");
            RunJetFile(db, statements);
        }

        RunJet(host, "BEGIN");
        try {
            if (fillDictionary) InsertDictionaryRows(host, rows);
            for (const auto& jet : hostStatements)
                RunJet(host, jet);
            RunJet(host, "COMMIT");
        } catch (...) {
            try {
                host.Rollback();
            } catch (const EOleException&) {
            }
            throw;
        }
    } catch (...) {
        std::error_code ec;
        fs::remove_all(install, ec);
        throw;
    }
    host.Close();

    // The registry record of the installation (with its trailing separator).
    WriteRegistryString((profile / "hkcu.reg").string(), "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "InstallPath",
                        install.string() + "/");

    TIniFile ini((profile / "host.ini").string());
    ini.WriteString("Host", "LOG.NAME", "DL0DEMO home log");
    ini.WriteString("Host", "LOG.TABLE", HostLogTable);
    ini.WriteString("Host", "LOG.OPERATOR", Operator);
    ini.WriteString("Host", "LOG.EXPIRE",
                    DateTimeToStr(EncodeDate(2030, 12, 31) + EncodeTime(23, 59, 59), InvariantFormatSettings()));
}
