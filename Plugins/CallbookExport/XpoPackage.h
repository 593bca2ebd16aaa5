// The package's pure parts: the description file's lines and the packed
// percentage.
#pragma once

#include "Plugins/CallbookExport/XpoTransfer.h"

#include <cstdint>
#include <string>
#include <vector>

// Words of the checked extra-info items in the description's order
// ("Aka, Bureau, Direct, LotW, eQSL, Skype, Email, Born, SK"), joined by ", ".
std::string BuildKeysList(const TExtInfo& ExtInfo);

// ArchiveSize x 100 / TargetSize rounded to the nearest whole number, halves
// to the even neighbour, exact for any sizes; 0 for an empty target.
std::uint64_t PackedPercent(std::uint64_t ArchiveSize, std::uint64_t TargetSize);

struct TDescription {
    std::string TargetName;  // file name of the database
    TDateTime Written = 0;   // its last-write time (local)
    std::int64_t Size = 0;   // its size in bytes
    int Saved = 0;           // records transferred
    std::string Application; // host's APPLICATION parameter
    std::string AppVersion;  // host's APPVERSION parameter
    std::string Keys;        // BuildKeysList
};
// The five lines of the ".nfo" file.
std::vector<std::string> DescriptionLines(const TDescription& Description);
// Writes the lines, each ended by CR LF, replacing a file of that name.
// EFCreateError / EInOutError naming the file on failure.
void WriteDescriptionFile(const std::string& Path, const std::vector<std::string>& Lines);

// A file time at the two-second precision of archive entries (seconds
// rounded down to even, no milliseconds).
TDateTime TwoSecondTime(TDateTime Value);
