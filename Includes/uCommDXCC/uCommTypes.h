// Records of the host's country dictionary: single callsigns, provinces and
// countries, each with a regular expression a whole callsign must match.
#pragma once

#include "Platform/DateTime/DateTime.h"

#include <string>
#include <vector>

// One UNIQUECALL row.
struct TUniqueCallField {
    std::string Callsign; // expression for a whole callsign
    std::string Continent;
    std::string ARRLPrefix;
    std::string Prefix;
    std::string DXCC;    // decimal text of the integer column
    std::string ITUZone; // decimal text of the integer column
    std::string CQZone;  // decimal text of the integer column
    TDateTime StartDate = 0;
    TDateTime EndDate = 0;
};

// One PROVINCE row.
struct TProvinceField {
    std::string Continent;
    std::string ARRLPrefix;
    std::string Prefix;
    std::string DXCC; // decimal text of the integer column
    std::string ITUZone;
    std::string CQZone;
    TDateTime StartDate = 0;
    TDateTime EndDate = 0;
    std::string PrefixList; // expression for a whole callsign
};

// One COUNTRY row.
struct TCountryField {
    std::string Continent;
    std::string ARRLPrefix;
    std::string DXCC;
    std::string ITUZone;
    std::string CQZone;
    TDateTime StartDate = 0;
    TDateTime EndDate = 0;
    std::string PrefixList; // expression for a whole callsign
};

using TUniqueCallList = std::vector<TUniqueCallField>;
using TProvinceList = std::vector<TProvinceField>;
using TCountryList = std::vector<TCountryField>;

// What a resolved callsign gives, already cut to the lengths the callbook
// columns take.
struct TCallsignCountry {
    std::string Continent;  // 2 characters
    std::string DXCCPrefix; // 5
    std::string DXCC;       // whole
    std::string MainPrefix; // 5
    std::string ITUZone;    // 2
    std::string CQZone;     // 2
};
