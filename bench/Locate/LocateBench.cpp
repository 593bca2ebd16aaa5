// Locate on a large host result, through the real IHostServer of an
// in-process host: the time must grow linearly with the number of calls
// (an index of the column, built on the first call), not with calls x rows.
// Then the floor harness on a batch of callbook INSERTs, next to the same
// statements sent through IHostServer.ExecSQL.
//
//   LocateBench [ROWS] [CALLS]     (defaults 100000 100000)
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDatabase.h"
#include "Platform/JetSql/JetSql.h"
#include "bench/Common/Fill.h"
#include "bench/Common/Floor.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

void Check(HRESULT hr, const char* what)
{
    if (hr < 0) {
        std::fprintf(stderr, "%s failed (0x%08X)\n", what, static_cast<unsigned>(hr));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t calls = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    char pattern[] = "/tmp/locate-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path work = pattern;
    try {
        const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
        TDataGenerator gen(dictionary, 1);

        const fs::path profile = work / "profile";
        THost::InitProfile(profile);
        TStopwatch watch;
        std::vector<TStation> stations = gen.Stations(rows);
        std::vector<std::string> inserts;
        inserts.reserve(rows);
        for (const auto& s : stations)
            inserts.push_back(HostCallbookInsert(s));
        FillHostDatabase(profile / "host.db", inserts);
        std::printf("callbook: %zu rows written in %.2f s\n", rows, watch.Seconds());

        // Lookups: nine in ten find their station, in random order.
        std::vector<WideString> keys;
        keys.reserve(calls);
        for (std::size_t i = 0; i < calls; ++i) {
            if (gen.Random().Percent(90))
                keys.emplace_back(stations[static_cast<std::size_t>(gen.Random().Below(rows))].Call);
            else
                keys.emplace_back("ZZ" + std::to_string(i) + "ZZ");
        }

        THostOptions options;
        options.Profile = profile;
        options.PluginDir = work / "no-plugins";
        THost host(options);
        ICore* core = host.AttachCore("LocateBench.ext");
        auto server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
        QueryHandle handle = 0;
        Check(server->CreateQuery(&handle), "CreateQuery");
        watch.Restart();
        Check(server->OpenQuery(handle, WideString("SELECT OMCALL FROM CALLBOOK").c_bstr()), "OpenQuery");
        std::int32_t count = 0;
        Check(server->GetRecordCount(handle, &count), "GetRecordCount");
        std::printf("OpenQuery: %d rows in %.3f s\n", count, watch.Seconds());

        const WideString field("OMCALL");
        BOOL32 found = 0;
        std::size_t hits = 0;
        watch.Restart();
        Check(server->Locate(handle, field.c_bstr(), keys[0].c_bstr(), &found), "Locate");
        hits += found != 0;
        std::printf("first Locate (builds the index): %.3f s\n", watch.Seconds());

        std::printf("%10s %12s %14s\n", "calls", "seconds", "us per call");
        watch.Restart();
        std::size_t nextMark = 10000;
        for (std::size_t i = 1; i < calls; ++i) {
            Check(server->Locate(handle, field.c_bstr(), keys[i].c_bstr(), &found), "Locate");
            hits += found != 0;
            const std::size_t done = i + 1;
            if (done == nextMark || done == calls) {
                const double s = watch.Seconds();
                std::printf("%10zu %12.3f %14.3f\n", done, s, s * 1e6 / static_cast<double>(done - 1));
                nextMark = done < 50000 ? 50000 : (done < 100000 ? 100000 : done * 2);
            }
        }
        std::printf("found %zu of %zu\n", hits, calls);
        Check(server->FreeQuery(handle), "FreeQuery");

        // Floor: new stations sent one by one through ExecSQL, and the same
        // statements run by SQLite itself on a copy of the database.
        const std::size_t batch = std::min<std::size_t>(10000, rows);
        std::vector<std::string> more;
        std::vector<WideString> moreWide;
        for (const auto& s : gen.Stations(batch)) {
            more.push_back(HostCallbookInsert(s));
            moreWide.emplace_back(more.back());
        }
        fs::copy_file(profile / "host.db", work / "floor.db");
        watch.Restart();
        std::int32_t changed = 0, failed = 0;
        for (const auto& statement : moreWide) {
            std::int32_t result = 0;
            Check(server->ExecSQL(statement.c_bstr(), &result), "ExecSQL");
            changed += result;
            failed += result == 0;
        }
        const double hostSeconds = watch.Seconds();
        const TFloorResult floor = MeasureFloor(work / "floor.db", more);
        std::printf("ExecSQL: %zu INSERTs in %.3f s (%d rows, %d refused)\n", more.size(), hostSeconds, changed,
                    failed);
        std::printf("floor:   %zu INSERTs in %.3f s (%zu rows, %zu refused); host/floor %.2f\n", floor.Statements,
                    floor.Seconds, floor.Rows, floor.Refused, floor.Seconds > 0 ? hostSeconds / floor.Seconds : 0.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "LocateBench: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
