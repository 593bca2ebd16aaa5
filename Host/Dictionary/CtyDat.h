// The cty.dat country file: entities with their zones, continent, position
// and prefixes or exact calls (with per-item overrides), and the table that
// gives each entity's primary prefix its DXCC entity code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One prefix or exact call ("=CALL") of an entity, with what it overrides.
struct TCtyItem {
    std::string Text; // upper-case letters, digits and '/'
    bool Exact = false;
    std::optional<int> CqZone;            // (n)
    std::optional<int> ItuZone;           // [n]
    std::optional<std::string> Continent; // {XX}
    std::optional<double> Latitude;       // <lat/lon>
    std::optional<double> Longitude;
    std::optional<double> TimeOffset; // ~h~
};

struct TCtyEntity {
    std::string Name;
    int CqZone = 0;
    int ItuZone = 0;
    std::string Continent;
    double Latitude = 0;       // degrees north
    double Longitude = 0;      // degrees west, as the file gives it
    double TimeOffset = 0;     // hours, as the file gives it
    std::string PrimaryPrefix; // without the WAE mark
    bool WaeOnly = false;      // '*': counts for the WAE list only
    std::vector<TCtyItem> Items;
    int Line = 0; // of the header, for messages
};

// Parses a whole cty.dat text. Throws EConvertError naming source and line
// for anything that is not a well-formed entity record.
std::vector<TCtyEntity> ParseCtyDat(std::string_view text, const std::string& source);

// Parses "primary prefix,entity code" lines (a header line without a number
// is skipped). Throws EConvertError naming source and line.
std::map<std::string, int> ParseEntityCodes(std::string_view text, const std::string& source);
