// AccessLoadBench [FILE [TABLE [REPEATS]]]: loads one table of an Access file
// into a private temporary SQLite database REPEATS times, as a connection
// does when it opens, and prints rows per second and the time a table of
// 100,000 rows would take at that rate. Defaults: the Jet 3 test file, its
// largest table, 50 repeats.
#include "Platform/Ado/Access.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string file = argc > 1 ? argv[1] : std::string(HAM_SOURCE_DIR) + "/tests/data/jet/nwind.mdb";
    const std::string table = argc > 2 ? argv[2] : "Order Details";
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 50;
    try {
        std::int64_t rows = 0;
        double seconds = 0;
        for (int i = 0; i < repeats; ++i) {
            TSqliteOptions options;
            options.Create = true;
            options.Pragmas = {"PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF"};
            TSqliteDatabase db("", options);
            const auto start = std::chrono::steady_clock::now();
            const TAccessLoadStats stats =
                LoadAccessDatabase(file, db, [&](const std::string& name) { return name == table; });
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            rows += stats.Rows;
            if (stats.Tables != 1) {
                std::fprintf(stderr, "no table '%s' in %s\n", table.c_str(), file.c_str());
                return 2;
            }
        }
        const double rate = static_cast<double>(rows) / seconds;
        std::printf("%s, table '%s': %lld rows in %d loads, %.3f s\n", file.c_str(), table.c_str(),
                    static_cast<long long>(rows), repeats, seconds);
        std::printf("rate: %.0f rows/s; 100,000 rows would take %.2f s\n", rate, 100000.0 / rate);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
