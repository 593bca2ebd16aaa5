// One append run of a large logger log into a large host log, through the
// real dialog and the real host in process, next to its floor: the same
// duplicate probes and INSERT / UPDATE texts run by SQLite alone, one by one
// in autocommit, on a copy of the host database taken before the run.
//
//   LogAppendBench [QSOS] [HOSTROWS] [DUPLICATE_PERCENT]   (defaults 50000 500000 10)
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDatabase.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Unicode/Unicode.h"
#include "Plugins/LogAppend/uAppZemrak.h"
#include "bench/Common/Fill.h"
#include "bench/Common/Floor.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

constexpr const char* HostLog = "MAIN";
constexpr const char* Operator = "DL0BNC";
constexpr const char* LoggerTable = "LOG_BENCH";

void RunAll(const std::string& file, const std::vector<std::string>& jet, bool host)
{
    if (host)
        FillHostDatabase(file, jet);
    else
        FillLoggerDatabase(file, jet);
}

std::string Key(const std::string& call, TDateTime start)
{
    return UpperCase(call) + " " + SqlMoment(start);
}

// The texts the run sends for each source row, in the order the logger
// returns the rows.
std::vector<std::string> RunStatements(const std::string& logFile, const std::string& sourceSql,
                                       const std::set<std::string>& duplicates, int delta)
{
    TADOConnection connection;
    connection.ConnectionString = logFile;
    connection.Open();
    TADOQuery query(&connection);
    query.SQL.Add(sourceSql);
    query.Open();
    const TSourceFields fields(query);
    std::vector<std::string> statements;
    std::vector<std::string> corrections;
    for (query.First(); !query.Eof(); query.Next()) {
        const TQsoKey key = ReadQsoKey(fields);
        const TQsoWindow window = DuplicateWindow(key.Start, delta);
        statements.push_back(DuplicateProbeStatement(HostLog, key.Callsign, key.Band, key.Mode, window));
        const TQsoValues values = BuildQsoValues(fields, key, Operator, HostLog, corrections);
        statements.push_back(duplicates.count(Key(key.Callsign, key.Start))
                                 ? UpdateStatement(values, static_cast<std::int32_t>(statements.size()))
                                 : InsertStatement(values));
    }
    return statements;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t qsos = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 50000;
    const std::size_t hostRows = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 500000;
    const std::size_t percent = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 10;
    char pattern[] = "/tmp/logappend-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path work = pattern;
    try {
        const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
        TDataGenerator gen(dictionary, 7);
        TStopwatch watch;

        // The host log: earlier years. The logger log: a tenth of its QSOs
        // are host QSOs whose confirmations changed since, the rest are new.
        const std::vector<TStation> worked = gen.Stations(20000);
        const std::vector<TQso> hostQsos = gen.Log(worked, hostRows, EncodeDate(2014, 1, 1), EncodeDate(2023, 12, 31));
        const std::size_t dupCount = qsos * percent / 100;
        std::vector<TQso> loggerQsos =
            gen.Log(worked, qsos - dupCount, EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31));
        std::set<std::string> duplicates;
        for (std::size_t i = 0; i < dupCount; ++i) {
            TQso again = hostQsos[i * hostQsos.size() / std::max<std::size_t>(dupCount, 1)];
            again.QslRcvd = !again.QslRcvd;
            again.LotwRcvd = true;
            again.LotwRcvdDate = again.Start + 30;
            if (duplicates.insert(Key(again.Call, again.Start)).second) loggerQsos.push_back(std::move(again));
        }

        const fs::path profile = work / "profile";
        THost::InitProfile(profile);
        {
            std::vector<std::string> inserts;
            inserts.reserve(hostQsos.size());
            for (const auto& q : hostQsos)
                inserts.push_back(HostLogInsert(q, HostLog, Operator));
            RunAll((profile / "host.db").string(), inserts, true);
        }
        const fs::path install = CreateLoggerInstallation(work);
        const std::string logFile = (install / "db" / "logs.mdb").string();
        CreateLogDatabaseFile(logFile);
        CreateQsoTable(logFile, LoggerTable);
        {
            std::vector<std::string> inserts{std::string("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) "
                                                         "VALUES('Bench','") +
                                             Operator + "','" + LoggerTable + "','Berlin')"};
            for (const auto& q : loggerQsos)
                inserts.push_back(LoggerQsoInsert(LoggerTable, q));
            RunAll(logFile, inserts, false);
        }
        fs::copy_file(profile / "host.db", work / "floor.db");
        std::printf("data: %zu host rows, %zu logger QSOs (%zu duplicates) in %.1f s\n", hostQsos.size(),
                    loggerQsos.size(), duplicates.size(), watch.Seconds());

        // The run, as the Load button starts it.
        double runSeconds = 0;
        std::string summary, sourceSql;
        {
            THostOptions options;
            options.Profile = profile;
            options.PluginDir = work;
            THost host(options);
            ICore* core = host.AttachCore("LogAppend.ext");
            TfrmAppZemrak dialog(core);
            dialog.SetCaption("Append Zemrak log data into current log");
            dialog.Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
            dialog.Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
            dialog.AppIni = (profile / "host.ini").string();
            dialog.Section = "Zemrak Log";
            dialog.LogExpire = EncodeDate(2030, 12, 31);
            dialog.LogOperator = Operator;
            dialog.HostLogName = HostLog;
            dialog.DoCreate();
            dialog.FormActivate();
            dialog.dtMinDate.Clear();
            dialog.dtMaxDate.Clear();
            sourceSql = BuildSourceQuery(dialog.LogTable, dialog.dtMinDate, dialog.dtMaxDate, dialog.LogExpire);
            watch.Restart();
            dialog.dbtLoadClickOk();
            runSeconds = watch.Seconds();
            summary = dialog.mProgress.Lines().back();
            Forms::TCloseAction action = Forms::TCloseAction::caHide;
            dialog.FormClose(action);
        }

        const std::vector<std::string> statements = RunStatements(logFile, sourceSql, duplicates, 2);
        const TFloorResult floor = MeasureFloor(work / "floor.db", statements);
        std::printf("run:   %s\n", summary.c_str());
        std::printf("run:   %zu QSOs in %.3f s (%.1f us per QSO)\n", loggerQsos.size(), runSeconds,
                    runSeconds * 1e6 / static_cast<double>(loggerQsos.size()));
        std::printf("floor: %zu statements in %.3f s (%zu rows, %zu refused)\n", floor.Statements, floor.Seconds,
                    floor.Rows, floor.Refused);
        std::printf("run/floor %.2f (goal at most 2.0)\n", floor.Seconds > 0 ? runSeconds / floor.Seconds : 0.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "LogAppendBench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
