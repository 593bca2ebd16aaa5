// The floor of a benchmark: how long SQLite itself needs for the statements
// a run sends, one by one in autocommit, on a database opened as the host
// opens its own (write-ahead log, synchronous=NORMAL). A plug-in run cannot
// be faster than this; benchmarks print both.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

struct TFloorResult {
    std::size_t Statements = 0;
    std::size_t Refused = 0; // statements SQLite refused (counted, not fatal)
    std::size_t Rows = 0;    // rows read by SELECTs plus rows changed by the others
    double Seconds = 0;
};

// Translates every Jet-dialect statement first (not timed), then runs them
// in order on the SQLite file at database. SELECTs are read to the end.
TFloorResult MeasureFloor(const std::filesystem::path& database, const std::vector<std::string>& jetStatements);

// A stopwatch in seconds.
class TStopwatch {
public:
    TStopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    void Restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_;
};
