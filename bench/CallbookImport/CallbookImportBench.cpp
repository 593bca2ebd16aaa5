// One import run of a large update package into a large host callbook,
// through the real dialog and the real host in process, next to its floor:
// the host statements of the run (its SELECTs and its INSERT / UPDATE
// texts) run by SQLite alone, one by one in autocommit, on a copy of the
// host database taken before the run. Then the resolver's throughput over
// the real country dictionary, next to scans of every expression in order.
//
//   CallbookImportBench [PACKAGE_RECORDS] [HOST_STATIONS] [OVERLAP_PERCENT]
//                       (defaults 100000 100000 50: half of the package's
//                       records are host stations as the package knows them)
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDatabase.h"
#include "Includes/uCommDXCC/uCommDXCC.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Zip/Zip.h"
#include "Plugins/CallbookImport/uImpZemrak.h"
#include "bench/Common/Fill.h"
#include "bench/Common/Floor.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace {

// Peak resident memory of this process in MiB (VmHWM), and its reset.
double PeakMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}
bool ResetPeak()
{
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    return static_cast<bool>(refs.flush());
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t packageCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t hostCount = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    const std::size_t percent = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 50;
    char pattern[] = "/tmp/callbookimport-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path work = pattern;
    try {
        const fs::path profile = work / "profile";
        THost::InitProfile(profile);
        const fs::path package = profile / "download" / "DB.zip";
        std::vector<std::string> callsigns; // of the package, for the resolver
        TStopwatch watch;
        {
            const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
            TDataGenerator gen(dictionary, 7);
            const std::vector<TStation> hostStations = gen.Stations(hostCount);
            const std::size_t known = std::min(hostCount, packageCount * percent / 100);
            const std::vector<TStation> packageStations = OverlappingStations(gen, hostStations, packageCount, known);

            FillHostCallbook(profile / "host.db", hostStations,
                             DictionaryInsertStatements(
                                 LoadCountryData(InstalledDictionary(), EntityCodesBeside(InstalledDictionary()))));

            const std::string database = (work / "DB.mdb").string();
            WriteLoggerCallbook(database, packageStations);
            for (const auto& s : packageStations)
                callsigns.push_back(s.Call);
            CreateZipArchive(package.string(), {database});
            fs::remove(database);
            std::printf("data: package of %zu records (%zu known to the host), host callbook of %zu stations, "
                        "made in %.1f s\n",
                        packageStations.size(), known, hostStations.size(), watch.Seconds());
        }
        fs::copy_file(profile / "host.db", work / "floor.db");
        malloc_trim(0);

        // The run as the Import button starts it: mode 0, every field.
        std::string settings = "\n[Zemrak Import]\nLocation=Local\nResource=" + package.string() + "\nMode=0\n";
        for (int i = 1; i < UseFieldCount; ++i)
            settings += std::string(UseFieldKeys[i]) + "=1\n";
        {
            std::ofstream(profile / "host.ini", std::ios::app) << settings;
        }
        double runSeconds = 0, peak = 0;
        bool peakReset = false;
        // The statements of the run go to a file, so that they do not count
        // in the run's memory.
        const fs::path sent = work / "statements.txt";
        std::ofstream sentFile(sent, std::ios::binary);
        std::vector<std::string> memo;
        {
            THostOptions options;
            options.Profile = profile;
            options.PluginDir = work;
            THost host(options);
            ICore* core = host.AttachCore("CallbookImport.ext");
            TfrmImpZemrak dialog(core);
            dialog.SetCaption("Import Zemrak updates into Callbook");
            dialog.Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
            dialog.Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
            dialog.AppIni = (profile / "host.ini").string();
            dialog.Section = "Zemrak Import";
            dialog.LocalResource = package.string();
            dialog.OnStatement = [&](const std::string& statement) { sentFile << statement << '\0'; };
            dialog.DoCreate();
            dialog.FormActivate();
            peakReset = ResetPeak();
            watch.Restart();
            dialog.dbtUpdateClickOk();
            runSeconds = watch.Seconds();
            peak = PeakMiB();
            memo = dialog.mProgress.Lines();
        }
        sentFile.close();
        // The host statements of the run in its order: the dictionary, the
        // callbook and its callsigns, the merge, the count after the update.
        std::vector<std::string> statements{
            DictionaryStatement("UNIQUECALL", Date()), DictionaryStatement("PROVINCE", Date()),
            DictionaryStatement("COUNTRY", Date()), "SELECT * FROM CALLBOOK ORDER BY OMCALL",
            "SELECT DISTINCT OMCALL FROM CALLBOOK ORDER BY OMCALL"};
        {
            std::ifstream in(sent, std::ios::binary);
            std::string statement;
            while (std::getline(in, statement, '\0'))
                statements.push_back(statement);
        }
        statements.push_back("SELECT * FROM CALLBOOK ORDER BY OMCALL");

        const TFloorResult floor = MeasureFloor(work / "floor.db", statements);
        for (const auto& line : memo)
            std::printf("run:   %s\n", line.c_str());
        std::printf("run:   %zu records in %.3f s (%.1f us per record), peak memory %.0f MiB%s\n", packageCount,
                    runSeconds, runSeconds * 1e6 / static_cast<double>(std::max<std::size_t>(packageCount, 1)), peak,
                    peakReset ? " (goal under 256)" : " (whole process: the peak could not be reset)");
        std::printf("floor: %zu statements in %.3f s (%zu rows, %zu refused)\n", floor.Statements, floor.Seconds,
                    floor.Rows, floor.Refused);
        std::printf("run/floor %.2f (goal at most 2.0)\n", floor.Seconds > 0 ? runSeconds / floor.Seconds : 0.0);

        // The resolver over the real dictionary.
        {
            THostOptions options;
            options.Profile = profile;
            options.PluginDir = work;
            THost host(options);
            auto server = ComPtr<IHostServer>::Query(host.AttachCore("CallbookImport.ext"), IID_IHostServer);
            TCountryDictionary dictionary;
            watch.Restart();
            dictionary.LoadUniqueCalls(server.Get(), Date());
            dictionary.LoadProvinces(server.Get(), Date());
            dictionary.LoadCountries(server.Get(), Date());
            const double loadSeconds = watch.Seconds();
            std::vector<std::string> expressions;
            for (const auto& u : dictionary.UniqueCalls())
                expressions.push_back(u.Callsign);
            for (const auto& p : dictionary.Provinces())
                expressions.push_back(p.PrefixList);
            for (const auto& c : dictionary.Countries())
                expressions.push_back(c.PrefixList);
            std::printf("resolver: dictionary of %zu expressions loaded in %.3f s\n", expressions.size(), loadSeconds);

            TCallsignCountry country;
            std::size_t found = 0;
            watch.Restart();
            for (const auto& call : callsigns)
                found += dictionary.ResolveCallsign(call, country) ? 1 : 0;
            double seconds = watch.Seconds();
            std::printf("resolver: indexed, %zu callsigns in %.3f s: %.0f callsigns/s (%zu resolved)\n",
                        callsigns.size(), seconds, static_cast<double>(callsigns.size()) / seconds, found);

            // Portable forms: a location before or after the slash, a suffix
            // without one, maritime mobile.
            std::vector<std::string> portable;
            for (std::size_t i = 0; i < callsigns.size(); ++i) {
                const std::string& call = callsigns[i];
                portable.push_back(i % 4 == 0   ? call + "/P"
                                   : i % 4 == 1 ? "EA8/" + call
                                   : i % 4 == 2 ? call + "/KL7"
                                                : call + "/MM");
            }
            found = 0;
            watch.Restart();
            for (const auto& call : portable)
                found += dictionary.ResolveCallsign(call, country) ? 1 : 0;
            seconds = watch.Seconds();
            std::printf("resolver: indexed, %zu portable callsigns in %.3f s: %.0f callsigns/s (%zu resolved)\n",
                        portable.size(), seconds, static_cast<double>(portable.size()) / seconds, found);

            // An in-order scan of expressions compiled once.
            std::vector<TRegExpr> compiled;
            compiled.reserve(expressions.size());
            watch.Restart();
            for (const auto& e : expressions)
                compiled.emplace_back(e);
            const double compileSeconds = watch.Seconds();
            const std::size_t scanned = std::min<std::size_t>(callsigns.size(), 500);
            watch.Restart();
            for (std::size_t i = 0; i < scanned; ++i)
                for (auto& r : compiled)
                    if (r.MatchesWhole(callsigns[i])) break;
            seconds = watch.Seconds();
            std::printf("resolver: scan of compiled expressions (compiled once in %.3f s), %zu callsigns in "
                        "%.3f s: %.0f callsigns/s\n",
                        compileSeconds, scanned, seconds, static_cast<double>(scanned) / seconds);

            // Every expression compiled anew for every callsign.
            const std::size_t naive = std::min<std::size_t>(callsigns.size(), 5);
            watch.Restart();
            for (std::size_t i = 0; i < naive; ++i)
                for (const auto& e : expressions)
                    if (TRegExpr(e).MatchesWhole(callsigns[i])) break;
            seconds = watch.Seconds();
            std::printf("resolver: compiling every expression anew, %zu callsigns in %.3f s: %.2f callsigns/s\n", naive,
                        seconds, static_cast<double>(naive) / seconds);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "CallbookImportBench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
