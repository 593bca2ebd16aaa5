// One store run of a large host callbook into a large logger callbook,
// through the real dialog and the real host in process, next to its floor:
// the same INSERT / UPDATE texts run by SQLite alone, one by one in
// autocommit, on a copy of the logger's file taken before the run.
//
//   CallbookStoreBench [HOST_STATIONS] [LOGGER_STATIONS] [OVERLAP_PERCENT]
//                      (defaults 100000 100000 50: half of the logger's
//                      stations are host stations as the logger knows them)
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDatabase.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Registry/Registry.h"
#include "Plugins/CallbookStore/uStoZemrakcb.h"
#include "bench/Common/Fill.h"
#include "bench/Common/Floor.h"

#include <cstdio>
#include <cstdlib>

namespace {

} // namespace

int main(int argc, char** argv)
{
    const std::size_t hostCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t loggerCount = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    const std::size_t percent = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 50;
    char pattern[] = "/tmp/callbookstore-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path work = pattern;
    try {
        const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
        TDataGenerator gen(dictionary, 11);
        TStopwatch watch;

        const std::vector<TStation> hostStations = gen.Stations(hostCount);
        const std::size_t known = std::min(hostCount, loggerCount * percent / 100);
        const std::vector<TStation> loggerStations = OverlappingStations(gen, hostStations, loggerCount, known);

        const fs::path profile = work / "profile";
        THost::InitProfile(profile);
        FillHostCallbook(profile / "host.db", hostStations);
        const std::string reference = (CreateLoggerInstallation(work) / "db" / "DB.mdb").string();
        WriteLoggerCallbook(reference, loggerStations);
        fs::copy_file(reference, work / "floor.db");
        std::printf("data: %zu host stations, %zu logger stations (%zu known to both) in %.1f s\n", hostStations.size(),
                    loggerStations.size(), known, watch.Seconds());

        // The run, as the Store button starts it, options as stored by default.
        double runSeconds = 0;
        std::vector<std::string> statements;
        std::vector<std::string> memo;
        {
            THostOptions options;
            options.Profile = profile;
            options.PluginDir = work;
            THost host(options);
            ICore* core = host.AttachCore("CallbookStore.ext");
            TfrmStoZemrakcb dialog(core);
            dialog.SetCaption("Store Callbook into Zemrak log");
            dialog.Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
            dialog.Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
            dialog.AppIni = (profile / "host.ini").string();
            dialog.Section = "Zemrak Callbook";
            statements.reserve(hostStations.size());
            dialog.OnStatement = [&](const std::string& statement) { statements.push_back(statement); };
            dialog.DoCreate();
            dialog.FormActivate();
            if (dialog.ModalResult() != Forms::mrNone) throw Exception("the dialog refused to open");
            watch.Restart();
            dialog.dbtStoreClickOk();
            runSeconds = watch.Seconds();
            memo = dialog.mProgress.Lines();
            Forms::TCloseAction action = Forms::TCloseAction::caHide;
            dialog.FormClose(action);
        }

        const TFloorResult floor = MeasureFloor(work / "floor.db", statements);
        for (const auto& line : memo)
            std::printf("run:   %s\n", line.c_str());
        std::printf("run:   %zu stations in %.3f s (%.1f us per station)\n", hostStations.size(), runSeconds,
                    runSeconds * 1e6 / static_cast<double>(std::max<std::size_t>(hostStations.size(), 1)));
        std::printf("floor: %zu statements in %.3f s (%zu rows, %zu refused)\n", floor.Statements, floor.Seconds,
                    floor.Rows, floor.Refused);
        std::printf("run/floor %.2f (goal at most 2.0)\n", floor.Seconds > 0 ? runSeconds / floor.Seconds : 0.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "CallbookStoreBench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
