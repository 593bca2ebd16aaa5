// One export run of a large host callbook through the real dialog and the
// real host in process, next to its floor: the same INSERT texts run by
// SQLite alone, one by one in autocommit, on a copy of the reference
// database rebuilt as the run rebuilds it, then the same VACUUM INTO and the
// same ZIP (Deflate, fastest level) of the compacted file.
//
//   CallbookExportBench [HOST_STATIONS] [REFERENCE_STATIONS] [ROUNDS]
//                       (defaults 100000 1000 3)
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDatabase.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Zip/Zip.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"
#include "bench/Common/Fill.h"
#include "bench/Common/Floor.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// The floor's copy: the reference database with its CALLBOOK rebuilt empty,
// as the run's rebuild statements leave it.
void PrepareFloorCopy(const std::string& reference, const fs::path& copy)
{
    fs::copy_file(reference, copy);
    TSqliteDatabase db(copy.string(), TSqliteOptions{});
    for (const char* sql : {"DELETE FROM CALLBOOK", "SELECT * INTO _CALLBOOK_ FROM CALLBOOK", "DROP TABLE CALLBOOK",
                            "SELECT * INTO CALLBOOK FROM _CALLBOOK_", "DROP TABLE _CALLBOOK_"})
        ExecuteJetStatement(db, sql);
}

struct TRunFigures {
    double Seconds = 0, FirstInsert = 0, LastInsert = 0;
    double HostQuerySeconds = 0;
    int HostRows = 0;
    std::vector<std::string> Statements;
    std::vector<std::string> Memo;
};

// The run, as the Export button starts it, every extra-info item checked.
TRunFigures RunExport(const fs::path& profile, const fs::path& work)
{
    TRunFigures figures;
    THostOptions options;
    options.Profile = profile;
    options.PluginDir = work;
    THost host(options);
    {
        // What the host alone needs to hand over the selection.
        TStopwatch watch;
        THostQuery query;
        query.Open(host.Connection(), "SELECT * FROM CALLBOOK ORDER BY OMCALL");
        figures.HostQuerySeconds = watch.Seconds();
        figures.HostRows = query.RecordCount();
    }
    ICore* core = host.AttachCore("CallbookExport.ext");
    TfrmXpoZemrak dialog(core);
    dialog.SetCaption("Export Callbook as Zemrak updates");
    dialog.Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
    dialog.Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
    dialog.AppIni = (profile / "host.ini").string();
    dialog.Section = "Zemrak Export";
    dialog.DefaultTarget = (profile / "download" / "DB.mdb").string();
    TStopwatch watch;
    dialog.OnStatement = [&](const std::string& statement) {
        if (figures.Statements.empty()) figures.FirstInsert = watch.Seconds();
        figures.LastInsert = watch.Seconds();
        figures.Statements.push_back(statement);
    };
    dialog.DoCreate();
    dialog.FormActivate();
    if (dialog.ModalResult() != Forms::mrNone) throw Exception("the dialog refused to open");
    for (int i = 0; i < eiCount; ++i)
        dialog.cgExtInfo.SetItemChecked(i, true);
    figures.Statements.reserve(static_cast<std::size_t>(figures.HostRows));
    watch.Restart();
    dialog.dbtExportClickOk();
    figures.Seconds = watch.Seconds();
    if (!dialog.LastRunDone) throw Exception("the export failed");
    figures.Memo = dialog.mProgress.Lines();
    return figures;
}

struct TFloorFigures {
    TFloorResult Inserts;
    double VacuumSeconds = 0, ZipSeconds = 0;
    std::uintmax_t ZipBytes = 0;
    double Total() const { return Inserts.Seconds + VacuumSeconds + ZipSeconds; }
};

// The same statements on a rebuilt copy of the reference, then the same
// compaction and archive.
TFloorFigures Floor(const std::string& reference, const fs::path& work, const std::vector<std::string>& statements)
{
    const fs::path folder = work / "floor";
    fs::remove_all(folder);
    fs::create_directories(folder);
    PrepareFloorCopy(reference, folder / "filled.db");
    TFloorFigures figures;
    figures.Inserts = MeasureFloor(folder / "filled.db", statements);
    TStopwatch watch;
    CompactDatabase((folder / "filled.db").string(), (folder / "DB.mdb").string());
    figures.VacuumSeconds = watch.Seconds();
    {
        std::ofstream nfo(folder / "DB.nfo", std::ios::binary);
        nfo << "#\r\n# Database file DB.mdb\r\n#\r\n";
    }
    watch.Restart();
    CreateZipArchive((folder / "DB.zip").string(), {(folder / "DB.mdb").string(), (folder / "DB.nfo").string()}, 1);
    figures.ZipSeconds = watch.Seconds();
    figures.ZipBytes = fs::file_size(folder / "DB.zip");
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t hostCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t referenceCount = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000;
    const std::size_t rounds = std::max<std::size_t>(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 3, 1);
    char pattern[] = "/tmp/callbookexport-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path work = pattern;
    try {
        const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
        TDataGenerator gen(dictionary, 17);
        TStopwatch watch;

        const std::vector<TStation> hostStations = gen.Stations(hostCount);
        const std::vector<TStation> referenceStations = gen.Stations(referenceCount);
        const fs::path profile = work / "profile";
        THost::InitProfile(profile);
        FillHostCallbook(profile / "host.db", hostStations);
        const std::string reference = (CreateLoggerInstallation(work) / "db" / "DB.mdb").string();
        WriteLoggerCallbook(reference, referenceStations);
        std::printf("data: %zu host stations, reference callbook of %zu stations, in %.1f s\n", hostStations.size(),
                    referenceStations.size(), watch.Seconds());

        // Run and floor take turns, so both see the same machine; the best
        // time of each counts.
        double bestRun = 0, bestFloor = 0;
        for (std::size_t round = 1; round <= rounds; ++round) {
            const TRunFigures run = RunExport(profile, work);
            const TFloorFigures floor = Floor(reference, work, run.Statements);
            if (round == 1) {
                for (const auto& line : run.Memo)
                    std::printf("run:   %s\n", line.c_str());
                std::printf("host query alone: %d rows in %.3f s\n", run.HostRows, run.HostQuerySeconds);
            }
            std::printf("round %zu: run %.3f s (%.1f us per station; %.3f s to the first INSERT, %.3f s of "
                        "transfer, %.3f s after the last)\n",
                        round, run.Seconds, run.Seconds * 1e6 / double(std::max<std::size_t>(hostCount, 1)),
                        run.FirstInsert, run.LastInsert - run.FirstInsert, run.Seconds - run.LastInsert);
            std::printf("round %zu: floor %zu INSERTs %.3f s (%zu refused), VACUUM INTO %.3f s, ZIP %.3f s "
                        "(%lld bytes), total %.3f s; run/floor %.2f\n",
                        round, floor.Inserts.Statements, floor.Inserts.Seconds, floor.Inserts.Refused,
                        floor.VacuumSeconds, floor.ZipSeconds, static_cast<long long>(floor.ZipBytes), floor.Total(),
                        run.Seconds / floor.Total());
            bestRun = round == 1 ? run.Seconds : std::min(bestRun, run.Seconds);
            bestFloor = round == 1 ? floor.Total() : std::min(bestFloor, floor.Total());
        }
        std::printf("best run %.3f s, best floor %.3f s: run/floor %.2f (goal at most 1.5)\n", bestRun, bestFloor,
                    bestFloor > 0 ? bestRun / bestFloor : 0.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "CallbookExportBench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
